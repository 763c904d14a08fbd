// Finalising, undo and roll-back of a file-patch run, and the recovery of a run that was killed.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "foundation/CXTime.h"

#include <atomic>
#include <set>

namespace {

constexpr const char* kPrefix = "MervaneTask_ApplyFilePatches::";

std::atomic<int> gTemporaryCounter{0};
std::atomic<MervaneTask_ApplyFilePatches::RetrySleep> gRetrySleep{nullptr};
std::atomic<MervaneTask_ApplyFilePatches::FinaliseStepHook> gFinaliseStepHook{nullptr};

void RetrySleepFor(uint32_t milliseconds)
{
    MervaneTask_ApplyFilePatches::RetrySleep sleep = gRetrySleep.load();
    if (sleep != nullptr)
        sleep(milliseconds);
    else
        CXThread::Sleep(milliseconds);
}

// A file directly inside the temporary folder.
bool IsTemporaryFolderPath(const CXString& path)
{
    CXString folder = PatchJournal::kTemporaryFolderName;
    CXString leaf = GetRelativePath(path, folder);
    return !leaf.IsEmpty() && IsAcceptableTargetPath(leaf) && GetParentPath(leaf).IsEmpty();
}

} // namespace

void MervaneTask_ApplyFilePatches::SetRetrySleepForTesting(RetrySleep sleep)
{
    gRetrySleep.store(sleep);
}

void MervaneTask_ApplyFilePatches::SetFinaliseStepHookForTesting(FinaliseStepHook hook)
{
    gFinaliseStepHook.store(hook);
}

namespace {

void FinaliseStepDone(int& renamesDone)
{
    ++renamesDone;
    if (MervaneTask_ApplyFilePatches::FinaliseStepHook hook = gFinaliseStepHook.load())
        hook(renamesDone);
}

} // namespace

CXString MervaneTask_ApplyFilePatches::GetTemporaryFolder() const
{
    return PatchJournal::TemporaryFolderFor(fTarget);
}

CXString MervaneTask_ApplyFilePatches::CreateTemporaryFilepathFor(const CXString& path)
{
    CXString folder = GetTemporaryFolder();
    CXResultCode made = fTarget.MakeDirectory(folder);
    if (made != kCXOK && made != kCXAlreadyExists)
        return CXString();
    for (int attempt = 0; attempt < 16; ++attempt) {
        int counter = ++gTemporaryCounter;
        CXString candidate = folder;
        AppendPathComponent(candidate, CXString::FromFormat("temp-%lld-%d.tmp",
                                                            static_cast<long long>(CXTime::GetPerformanceTime(1000000000)), counter));
        if (!fTarget.Exists(candidate)) {
            AppendLogFormat("%sCreateTemporaryFilepathFor> '%s' -> '%s'", kPrefix, path.c_str(), candidate.c_str());
            return candidate;
        }
    }
    AppendLogFormat("%sCreateTemporaryFilepathFor> failed", kPrefix);
    return CXString();
}

void MervaneTask_ApplyFilePatches::CreateParentFolders(const CXString& path)
{
    CXString parent = GetParentPath(path);
    if (parent.IsEmpty() || parent == path)
        return;
    // Inside the target every step stays below it; the target folder itself and the folders
    // above it are the user's choice and are made as named.
    bool inside = !fTarget.Relative(parent).IsEmpty();
    if (inside ? fTarget.Exists(parent) : CXFileSystem::Exists(parent))
        return;
    CreateParentFolders(parent);
    CXResultCode result = inside ? fTarget.MakeDirectory(parent) : CXFileSystem::MakeDirectory(parent);
    if (result == kCXOK)
        fCreatedFolders.push_back(parent);
}

CXResultCode MervaneTask_ApplyFilePatches::DeleteWithAutoRetry(const CXString& path)
{
    bool inside = !fTarget.Relative(path).IsEmpty();
    for (int retry = 0; retry < 10; ++retry) {
        CXResultCode result = inside ? fTarget.Delete(path) : CXFileSystem::Delete(path);
        if (result != kCXBusy)
            return result;
        AppendLogFormat("DeleteWithAutoRetry> node busy while deleting '%s' (retry: %d)", path.c_str(), retry);
        RetrySleepFor(1000);
    }
    return kCXBusy;
}

bool MervaneTask_ApplyFilePatches::FinaliseRename(const PatchChangeRecord& record, const CXString& plannedBackup,
                                                  std::vector<UndoPair>& undo, std::vector<CXString>& backups)
{
    const CXString& write = record.writePath;
    const CXString& destination = record.destination;
    if (write == destination) {
        AppendLogFormat("%sFinaliseRename> no rename necessary: %s", kPrefix, destination.c_str());
        return true;
    }
    if (!destination.IsEmpty() && write.IsEmpty()) {
        AppendLogFormat("%sFinaliseRename> creation? no rename necessary: %s", kPrefix, destination.c_str());
        return true;
    }
    // A backup that was not foreseen when the renames were journalled is journalled on its own.
    auto journalBackup = [&](const CXString& backup) {
        if (!fJournal.IsWritten() || backup == plannedBackup)
            return true;
        PatchJournal::RenameEntry entry;
        entry.isDeletion = destination.IsEmpty();
        entry.backup = fTarget.Relative(backup);
        entry.destination = fTarget.Relative(destination.IsEmpty() ? write : destination);
        entry.written = destination.IsEmpty() ? CXString() : fTarget.Relative(write);
        return fJournal.WriteRenames({entry}) == kCXOK;
    };

    if (!destination.IsEmpty()) {
        if (fTarget.Exists(destination)) {
            if (record.keepDestinationMode) {
                Platform::FileInfo info;
                if (fTarget.Stat(destination, info) == kCXOK && info.isFile)
                    (void)fTarget.SetMode(write, info.mode);
            }
            CXString backup = plannedBackup;
            while (backup.IsEmpty()) {
                backup = CreateTemporaryFilepathFor(destination);
                if (!backup.IsEmpty())
                    break;
                CXString question = Localise("$mervane_task_failed_generate_temp_file");
                CXString details = CXString::FromFormat("FinaliseRename> failed to create temporary filepath for '%s'", destination.c_str());
                AppendLogFormat("%s - %s", question.c_str(), details.c_str());
                if (!AskUserAndWait(0, question, details))
                    return false;
            }
            if (!journalBackup(backup))
                return false;
            for (;;) {
                CXResultCode result = fTarget.Move(backup, destination);
                if (result == kCXOK) {
                    FinaliseStepDone(fRenamesDone);
                    break;
                }
                CXString question = LocaliseFormat("$mervane_task_failed_move_file", LocalisePath(destination), LocalisePath(backup));
                CXString details = CXString::FromFormat(
                    "FinaliseRename> rename(backupLocation='%s', destinationFilepath='%s') failed with result %d.", backup.c_str(),
                    destination.c_str(), static_cast<int32_t>(result));
                AppendLogFormat("%s - %s", question.c_str(), details.c_str());
                if (!AskUserAndWait(0, question, details))
                    return false;
            }
            backups.push_back(backup);
            undo.push_back({backup, destination});
        }
        for (;;) {
            CXResultCode result = fTarget.Move(destination, write);
            if (result == kCXOK) {
                FinaliseStepDone(fRenamesDone);
                break;
            }
            CXString question = LocaliseFormat("$mervane_task_failed_move_file", LocalisePath(write), LocalisePath(destination));
            CXString details = CXString::FromFormat("FinaliseRename> rename(destinationFilepath='%s', sourceFilepath='%s') failed with result %d.",
                                                    destination.c_str(), write.c_str(), static_cast<int32_t>(result));
            AppendLogFormat("%s - %s", question.c_str(), details.c_str());
            if (!AskUserAndWait(0, question, details))
                return false;
        }
        undo.push_back({destination, write});
        return true;
    }

    // A queued deletion.
    Platform::FileInfo info;
    if (fTarget.Stat(write, info) == kCXNotFound) {
        AppendLogFormat("%sFinaliseRename> file was already deleted: %s", kPrefix, write.c_str());
        return true;
    }
    if (info.isDirectory) {
        bool empty = false;
        if (fTarget.IsFolderEmpty(write, empty) != kCXOK || !empty) {
            // Its content was named by no operation: it stays, and so does the folder.
            AppendLogFormat("%sFinaliseRename> folder not empty, left in place: %s", kPrefix, write.c_str());
            return true;
        }
    }
    CXString backup = plannedBackup;
    while (backup.IsEmpty()) {
        backup = CreateTemporaryFilepathFor(write);
        if (!backup.IsEmpty())
            break;
        AppendLogFormat("%sFinaliseRename> !backupLocation", kPrefix);
        if (!AskUserAndWait(0, Localise("$mervane_task_retry_create_temporary"),
                            CXString::FromFormat("%sFinaliseRename> %s", kPrefix, write.c_str())))
            return false;
    }
    if (!journalBackup(backup))
        return false;
    for (;;) {
        CXResultCode result = fTarget.Move(backup, write);
        if (result == kCXOK) {
            FinaliseStepDone(fRenamesDone);
            break;
        }
        CXString question = LocaliseFormat("$mervane_task_failed_move_file", LocalisePath(write), LocalisePath(backup));
        CXString details = CXString::FromFormat("FinaliseRename> rename(backupLocation='%s', sourceFilepath='%s') failed with result %d.",
                                                backup.c_str(), write.c_str(), static_cast<int32_t>(result));
        AppendLogFormat("%s - %s", question.c_str(), details.c_str());
        if (!AskUserAndWait(0, question, details))
            return false;
    }
    backups.push_back(backup);
    undo.push_back({backup, write});
    return true;
}

bool MervaneTask_ApplyFilePatches::FinalisePatchOperations()
{
    // Backups are named up front, so the journal can say where every original goes before the
    // first of them moves.
    std::vector<CXString> planned(fChanges.size());
    std::vector<PatchJournal::RenameEntry> entries;
    for (size_t i = 0; i < fChanges.size(); ++i) {
        const PatchChangeRecord& record = fChanges[i];
        if (record.writePath == record.destination || record.writePath.IsEmpty())
            continue;
        PatchJournal::RenameEntry entry;
        entry.isDeletion = record.destination.IsEmpty();
        const CXString& moved = entry.isDeletion ? record.writePath : record.destination;
        entry.destination = fTarget.Relative(moved);
        if (!entry.isDeletion)
            entry.written = fTarget.Relative(record.writePath);
        Platform::FileInfo info;
        bool needsBackup = fTarget.Stat(moved, info) != kCXNotFound;
        if (needsBackup && entry.isDeletion && info.isDirectory) {
            bool empty = false;
            needsBackup = fTarget.IsFolderEmpty(moved, empty) == kCXOK && empty;
        }
        if (needsBackup) {
            planned[i] = CreateTemporaryFilepathFor(moved);
            entry.backup = fTarget.Relative(planned[i]);
        }
        if (entry.isDeletion && entry.backup.IsEmpty())
            continue;
        entries.push_back(entry);
    }

    // Every written file's data is made durable in one batch before anything is renamed.
    std::set<CXString> folders;
    for (const PatchChangeRecord& record : fChanges) {
        if (record.destination.IsEmpty())
            continue;
        const CXString& written = record.writePath.IsEmpty() ? record.destination : record.writePath;
        // A file that was never written (its operation failed and was excused) has nothing to sync.
        CXResultCode result = fTarget.Sync(written);
        if (result != kCXOK && result != kCXNotFound) {
            AppendLogFormat("%sFinalisePatchOperations> sync failed for %s (result %d)", kPrefix, written.c_str(), static_cast<int32_t>(result));
            return false;
        }
        folders.insert(GetParentPath(record.destination));
    }
    if (fJournal.IsWritten() && fJournal.WriteRenames(entries) != kCXOK) {
        AppendLogFormat("%sFinalisePatchOperations> journal could not be written", kPrefix);
        return false;
    }

    std::vector<UndoPair> undo;
    std::vector<CXString> backups;
    fRenamesDone = 0;
    bool succeeded = true;
    for (size_t i = 0; i < fChanges.size(); ++i) {
        if (!FinaliseRename(fChanges[i], planned[i], undo, backups)) {
            AppendLogFormat("%sFinalisePatchOperations> FinaliseRename failed; undoing cleanup", kPrefix);
            succeeded = false;
            break;
        }
        ClearRetriedQuestion();
    }
    if (succeeded) {
        // The renames are made durable, then the commit mark says so.
        folders.insert(GetTemporaryFolder());
        for (const CXString& folder : folders) {
            CXResultCode result = folder == fTarget.GetRoot() || !fTarget.Relative(folder).IsEmpty() ? fTarget.Sync(folder) : kCXOK;
            if (result != kCXOK && result != kCXNotFound)
                AppendLogFormat("%sFinalisePatchOperations> sync failed for %s (result %d)", kPrefix, folder.c_str(), static_cast<int32_t>(result));
        }
        if (fJournal.IsWritten() && fJournal.WriteCommit() != kCXOK) {
            AppendLogFormat("%sFinalisePatchOperations> journal could not be committed; undoing cleanup", kPrefix);
            succeeded = false;
        }
    }
    if (!succeeded) {
        UndoCleanupOperations(undo);
        return false;
    }
    for (const CXString& backup : backups) {
        AppendLogFormat("%sFinalisePatchOperations> deleting: %s", kPrefix, backup.c_str());
        (void)DeleteWithAutoRetry(backup);
    }
    return true;
}

void MervaneTask_ApplyFilePatches::UndoCleanupOperations(std::vector<UndoPair>& undo)
{
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
        const CXString& from = it->from;
        const CXString& to = it->to;
        if (!from.IsEmpty() && !fTarget.Exists(from)) {
            if (!to.IsEmpty())
                AppendLogFormat("%sUndoCleanupOperations> backup file doesn't exist: %s", kPrefix, from.c_str());
            continue;
        }
        if (!to.IsEmpty() && fTarget.Exists(to)) {
            AppendLogFormat("%sUndoCleanupOperations> deleting: %s", kPrefix, to.c_str());
            (void)DeleteWithAutoRetry(to);
        }
        if (!to.IsEmpty()) {
            AppendLogFormat("%sUndoCleanupOperations> rename(dst='%s', src='%s')", kPrefix, to.c_str(), from.c_str());
            if (fTarget.Move(to, from) != kCXOK)
                AppendLogFormat("%sUndoCleanupOperations> rename(dst='%s', src='%s') failed", kPrefix, to.c_str(), from.c_str());
        } else {
            (void)DeleteWithAutoRetry(from);
        }
    }
    undo.clear();
}

void MervaneTask_ApplyFilePatches::CancelCleanupOperations(std::vector<PatchChangeRecord>& changes)
{
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        if (it->writePath.IsEmpty() || it->destination.IsEmpty())
            continue;
        AppendLogFormat("%sCancelCleanupOperations> deleting: %s", kPrefix, it->writePath.c_str());
        CXResultCode result = DeleteWithAutoRetry(it->writePath);
        if (result != kCXOK)
            AppendLogFormat("%sCancelCleanupOperations> deleted failed (%d)", kPrefix, static_cast<int32_t>(result));
    }
    changes.clear();
}

void MervaneTask_ApplyFilePatches::DeleteDirectoriesCreatedDuringPatchAttempt()
{
    for (auto it = fCreatedFolders.rbegin(); it != fCreatedFolders.rend(); ++it) {
        AppendLogFormat("%sDeleteDirectoriesCreatedDuringPatchAttempt> %s", kPrefix, it->c_str());
        CXResultCode result = DeleteWithAutoRetry(*it);
        if (result != kCXOK)
            AppendLogFormat("%sDeleteDirectoriesCreatedDuringPatchAttempt> failed to delete (result %d)", kPrefix, static_cast<int32_t>(result));
    }
    fCreatedFolders.clear();
}

void MervaneTask_ApplyFilePatches::DeleteTemporaryPatchFilesDirectory()
{
    CXString folder = GetTemporaryFolder();
    AppendLogFormat("%sDeleteTemporaryPatchFilesDirectory> %s", kPrefix, folder.c_str());
    CXResultCode result = DeleteWithAutoRetry(folder);
    if (result != kCXOK)
        AppendLogFormat("%sDeleteTemporaryPatchFilesDirectory> failed to delete (result %d)", kPrefix, static_cast<int32_t>(result));
}

CXResultCode MervaneTask_ApplyFilePatches::WriteJournalPlan()
{
    CXResultCode result = fJournal.WritePlan();
    if (result != kCXOK)
        AppendLogFormat("%sWriteJournalPlan> failed (result %d)", kPrefix, static_cast<int32_t>(result));
    return result;
}

void MervaneTask_ApplyFilePatches::RemoveJournal()
{
    if (!fJournal.IsWritten())
        return;
    CXResultCode result = fJournal.Remove();
    if (result != kCXOK)
        AppendLogFormat("%sRemoveJournal> failed (result %d)", kPrefix, static_cast<int32_t>(result));
}

namespace {

CXString AbsoluteIn(const PatchTargetFolder& target, const CXString& relative)
{
    CXString path = target.GetRoot();
    AppendPathComponent(path, relative);
    return path;
}

} // namespace

CXResultCode MervaneTask_ApplyFilePatches::RecoverInterruptedRun()
{
    PatchJournal::Contents contents;
    return RecoverInterruptedRun(false, contents);
}

CXResultCode MervaneTask_ApplyFilePatches::RecoverInterruptedRun(bool keepCommitted, PatchJournal::Contents& kept)
{
    kept = PatchJournal::Contents();
    PatchJournal::Contents contents;
    CXResultCode result = ReadInterruptedRun(contents);
    if (result == kCXNotFound) {
        RemoveLeftoverTemporaryFolder();
        return kCXOK;
    }
    if (result != kCXOK)
        return result;
    if (contents.committed) {
        if (keepCommitted && !contents.patchId.IsEmpty()) {
            AppendLogFormat("%sRecoverInterruptedRun> the interrupted run had committed: finished once this run's patch is known", kPrefix);
            kept = contents;
            return kCXOK;
        }
        AppendLogFormat("%sRecoverInterruptedRun> the interrupted run had committed: completing it", kPrefix);
    } else {
        AppendLogFormat("%sRecoverInterruptedRun> the interrupted run had not committed: rolling back", kPrefix);
        RollBackInterruptedRun(contents);
    }
    return CloseInterruptedRun(contents);
}

void MervaneTask_ApplyFilePatches::RemoveLeftoverTemporaryFolder()
{
    // A run killed after its journal went, before its temporary folder did, left only that
    // folder (empty, or with temporary files of its own).
    CXString folder = GetTemporaryFolder();
    if (!fTarget.Exists(folder))
        return;
    AppendLogFormat("%sRecoverInterruptedRun> removing a temporary folder left behind", kPrefix);
    (void)fTarget.EmptyFolder(folder);
    DeleteTemporaryPatchFilesDirectory();
}

CXResultCode MervaneTask_ApplyFilePatches::ReadInterruptedRun(PatchJournal::Contents& contents)
{
    CXResultCode result = PatchJournal::Read(fTarget, contents);
    if (result == kCXNotFound)
        return result;
    if (result != kCXOK) {
        AppendLogFormat("%sRecoverInterruptedRun> journal cannot be read (result %d)", kPrefix, static_cast<int32_t>(result));
        return kCXBadFormat;
    }
    return CheckInterruptedRun(contents) ? kCXOK : kCXBadFormat;
}

bool MervaneTask_ApplyFilePatches::CheckInterruptedRun(const PatchJournal::Contents& contents)
{
    auto refuse = [this](const char* what, const CXString& path) {
        AppendLogFormat("%sRecoverInterruptedRun> journal names a refused %s: %s", kPrefix, what, path.c_str());
        return false;
    };
    for (const PatchJournal::PlanEntry& entry : contents.plan) {
        if (!IsAcceptableTargetPath(entry.relative))
            return refuse("path", entry.relative);
    }
    for (const PatchJournal::RenameEntry& entry : contents.renames) {
        bool good = IsAcceptableTargetPath(entry.destination) && (entry.backup.IsEmpty() || IsTemporaryFolderPath(entry.backup)) &&
                    (entry.isDeletion ? entry.written.IsEmpty() : IsTemporaryFolderPath(entry.written));
        if (!good)
            return refuse("path", entry.destination);
    }
    for (const PatchJournal::ModeEntry& entry : contents.modes) {
        if (!IsAcceptableTargetPath(entry.relative))
            return refuse("path", entry.relative);
    }
    for (const CXString& leaf : contents.dataFiles) {
        // A data file is a name the run gives in the folder that holds the target, nothing else:
        // the journal lies in the target, which may be another user's to write.
        if (!IsAcceptableTargetPath(leaf) || !GetParentPath(leaf).IsEmpty() || !IsDataFileName(leaf))
            return refuse("data file", leaf);
    }
    return true;
}

void MervaneTask_ApplyFilePatches::RollBackInterruptedRun(const PatchJournal::Contents& contents)
{
    std::set<CXString> touched;
    UndoInterruptedRenames(contents, touched);
    DeleteInterruptedCreations(contents, touched);
    // Permission bits go back to what they were, the earliest record last.
    for (auto it = contents.modes.rbegin(); it != contents.modes.rend(); ++it) {
        CXString path = AbsoluteIn(fTarget, it->relative);
        AppendLogFormat("%sRecoverInterruptedRun> mode %o: %s", kPrefix, static_cast<unsigned>(it->mode), path.c_str());
        if (fTarget.SetMode(path, it->mode) != kCXOK)
            AppendLogFormat("%sRecoverInterruptedRun> mode change failed", kPrefix);
    }
    // The restored tree is durable before the journal that could restore it goes.
    for (const CXString& folder : touched) {
        if (folder == fTarget.GetRoot() || (!fTarget.Relative(folder).IsEmpty() && fTarget.Exists(folder)))
            (void)fTarget.Sync(folder);
    }
}

void MervaneTask_ApplyFilePatches::UndoInterruptedRenames(const PatchJournal::Contents& contents, std::set<CXString>& touched)
{
    // Latest rename first: a placed file goes back to its written name, then the original comes
    // back from its backup. Each step looks at what is there, so a recovery that is itself
    // interrupted can run again.
    for (auto it = contents.renames.rbegin(); it != contents.renames.rend(); ++it) {
        CXString destination = AbsoluteIn(fTarget, it->destination);
        if (!it->isDeletion) {
            CXString written = AbsoluteIn(fTarget, it->written);
            if (!fTarget.Exists(written) && fTarget.Exists(destination)) {
                AppendLogFormat("%sRecoverInterruptedRun> rename(dst='%s', src='%s')", kPrefix, written.c_str(), destination.c_str());
                if (fTarget.Move(written, destination) != kCXOK)
                    AppendLogFormat("%sRecoverInterruptedRun> rename failed", kPrefix);
            }
        }
        if (!it->backup.IsEmpty()) {
            CXString backup = AbsoluteIn(fTarget, it->backup);
            if (fTarget.Exists(backup)) {
                AppendLogFormat("%sRecoverInterruptedRun> rename(dst='%s', src='%s')", kPrefix, destination.c_str(), backup.c_str());
                if (fTarget.Move(destination, backup) != kCXOK)
                    AppendLogFormat("%sRecoverInterruptedRun> rename failed", kPrefix);
            }
        }
        touched.insert(GetParentPath(destination));
    }
}

void MervaneTask_ApplyFilePatches::DeleteInterruptedCreations(const PatchJournal::Contents& contents, std::set<CXString>& touched)
{
    // What the run created goes: files first, then folders, innermost first; a folder that holds
    // anything stays.
    for (auto it = contents.plan.rbegin(); it != contents.plan.rend(); ++it) {
        if (it->existedBefore)
            continue;
        CXString path = AbsoluteIn(fTarget, it->relative);
        if (!fTarget.Exists(path))
            continue;
        AppendLogFormat("%sRecoverInterruptedRun> deleting: %s", kPrefix, path.c_str());
        CXResultCode deleted = DeleteWithAutoRetry(path);
        if (deleted != kCXOK)
            AppendLogFormat("%sRecoverInterruptedRun> failed to delete (result %d)", kPrefix, static_cast<int32_t>(deleted));
        touched.insert(GetParentPath(path));
    }
}

CXResultCode MervaneTask_ApplyFilePatches::CloseInterruptedRun(const PatchJournal::Contents& contents)
{
    // Everything the interrupted run left goes while its journal still names it, so a kill here
    // leaves the journal for the next run to finish with.
    if (contents.committed) {
        for (const PatchJournal::RenameEntry& entry : contents.renames) {
            CXString backup = entry.backup.IsEmpty() ? CXString() : AbsoluteIn(fTarget, entry.backup);
            if (backup.IsEmpty() || !fTarget.Exists(backup))
                continue;
            AppendLogFormat("%sRecoverInterruptedRun> deleting: %s", kPrefix, backup.c_str());
            (void)DeleteWithAutoRetry(backup);
        }
    }
    // A data file the run made beside the target goes whether the run had committed or not.
    CXString besideTarget = fTarget.GetRoot();
    (void)SplitPathLeafName(besideTarget);
    for (const CXString& leaf : contents.dataFiles) {
        CXString path = besideTarget;
        AppendPathComponent(path, leaf);
        if (!CXFileSystem::Exists(path))
            continue;
        AppendLogFormat("%sRecoverInterruptedRun> deleting data file: %s", kPrefix, path.c_str());
        CXResultCode deleted = CXFileSystem::DeletePlainFile(path);
        if (deleted != kCXOK)
            AppendLogFormat("%sRecoverInterruptedRun> failed to delete (result %d)", kPrefix, static_cast<int32_t>(deleted));
    }
    CXString journal = PatchJournal::PathFor(fTarget);
    CXResultCode result = fTarget.Delete(journal);
    if (result != kCXOK) {
        AppendLogFormat("%sRecoverInterruptedRun> journal could not be removed (result %d)", kPrefix, static_cast<int32_t>(result));
        return result;
    }
    CXString folder = GetTemporaryFolder();
    (void)fTarget.Sync(folder);
    (void)fTarget.EmptyFolder(folder);
    DeleteTemporaryPatchFilesDirectory();
    AppendLogFormat("%sRecoverInterruptedRun> done", kPrefix);
    return kCXOK;
}

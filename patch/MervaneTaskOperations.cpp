// The operations loop of a file-patch run: each operation writes a new file to a free
// destination or to a temporary file, or queues a deletion, and records what it did so that
// finalising can swap it into place and a roll-back can take it back.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "foundation/CXPath.h"
#include "streams/CXStreamDigest.h"
#include "streams/CXStreamFile.h"

namespace {

constexpr const char* kProc = "MervaneTask_ApplyFilePatches::Proc> ";

enum PermissionKind { kCreatedFile = 0, kFolder = 1, kEditedFile = 2 };

} // namespace

namespace {

// The MD5 text of a file of the target; empty when it cannot be read.
CXString TargetFileChecksum(const PatchTargetFolder& target, const CXString& path)
{
    CXStreamFile stream;
    if (target.Open(path, PatchTargetFolder::kOpenReading, stream) != kCXOK)
        return CXString();
    CXString checksum = MD5HexDigestOfStream(stream, stream.GetSize());
    return stream.Failed() ? CXString() : checksum;
}

} // namespace

bool MervaneTask_ApplyFilePatches::RunOperations(uint64_t& progressBase, uint64_t progressTotal)
{
    for (const PatchOperation& operation : fOperations) {
        if (IsStopRequested()) {
            AppendLogFormat("%spatch cancelled by user", kProc);
            return true;
        }
        CXString sourcePath, destinationPath;
        if (!operation.sourceFilepath.IsEmpty()) {
            sourcePath = fTargetPath;
            AppendPathComponent(sourcePath, operation.sourceFilepath);
        }
        if (!operation.destinationFilepath.IsEmpty()) {
            destinationPath = fTargetPath;
            AppendPathComponent(destinationPath, operation.destinationFilepath);
        }
        AppendLogFormat("cmd:%d %s", static_cast<int>(operation.command), destinationPath.c_str());
        if (operation.command < COMMAND_CREATE_FILE || operation.command > COMMAND_DELETE_FOLDER) {
            AppendLogFormat("%sunknown command %d", kProc, static_cast<int>(operation.command));
            FailDetail(Localise("$mervane_task_failed_unable_read_installation_data"), CXString());
            return true;
        }
        fDataStreamInStep = true;
        if (!RunOperation(operation, sourcePath, destinationPath)) {
            if ((operation.flags & kPatchFlagIgnoreFailure) == 0) {
                AppendLogFormat("%s(patch failed)", kProc);
                return true;
            }
            // An excused failure must not leave the next operation reading this one's record.
            if (!fDataStreamInStep) {
                AppendLogFormat("%s(failure cannot be ignored: the data records are out of step)", kProc);
                return true;
            }
            AppendLogFormat("%s(failure ignored)", kProc);
        }
        progressBase = operation.estimatedEffort > UINT64_MAX - progressBase ? UINT64_MAX : progressBase + operation.estimatedEffort;
        CXCriticalSectionLocker lock(fLock);
        fStatus.progress = static_cast<float>(progressBase) / static_cast<float>(progressTotal);
    }
    return false;
}

bool MervaneTask_ApplyFilePatches::RunOperation(const PatchOperation& operation, const CXString& sourcePath, const CXString& destinationPath)
{
    switch (operation.command) {
    case COMMAND_CREATE_FILE:
        return RunCreateFile(operation, destinationPath);
    case COMMAND_DELETE_FILE:
    case COMMAND_DELETE_FOLDER:
        fChanges.push_back({destinationPath, CXString()});
        return true;
    case COMMAND_CREATE_FOLDER:
        return RunCreateFolder(operation, destinationPath);
    default:
        return RunEditOrMoveFile(operation, sourcePath, destinationPath);
    }
}

void MervaneTask_ApplyFilePatches::ConsumeRecordOf(const PatchOperation& operation)
{
    // Only an excused failure lets the run go on to the next record.
    if ((operation.flags & kPatchFlagIgnoreFailure) == 0)
        return;
    if (operation.command == COMMAND_CREATE_FILE || operation.command == COMMAND_EDIT_FILE)
        (void)SkipBinaryDiff();
}

bool MervaneTask_ApplyFilePatches::RunCreateFile(const PatchOperation& operation, const CXString& destinationPath)
{
    CXString targetFilepath = destinationPath;
    if (fTarget.Exists(destinationPath)) {
        // A file a previous run already put there is left as it is.
        if (!operation.destinationChecksum.IsEmpty() &&
            TargetFileChecksum(fTarget, destinationPath) == operation.destinationChecksum) {
            AppendLogFormat("PatchOperation::COMMAND_CREATE_FILE> already up to date: %s", destinationPath.c_str());
            if (!SkipBinaryDiff()) {
                FailDetail(LocaliseFormat("$mervane_task_failed_unable_skip_file", LocalisePath(destinationPath)), CXString());
                return false;
            }
            return ApplyPermissions(operation, destinationPath, kCreatedFile, true, {});
        }
        AppendLogFormat("PatchOperation::COMMAND_CREATE_FILE> already exists: %s", destinationPath.c_str());
        if ((operation.flags & kPatchFlagReplaceDestination) == 0) {
            AppendLogFormat("%sCOMMAND_CREATE_FILE - file already exists: %s", kProc, targetFilepath.c_str());
            FailDetail(LocaliseFormat("$mervane_task_failed_unexpected_file", LocalisePath(targetFilepath)), CXString());
            ConsumeRecordOf(operation);
            return false;
        }
        targetFilepath = CreateTemporaryFilepathFor(destinationPath);
        if (targetFilepath.IsEmpty()) {
            AppendLogFormat("%sCOMMAND_CREATE_FILE - !targetFilepath", kProc);
            FailDetail(LocaliseFormat("$mervane_task_failed_to_create_temp_for", LocalisePath(destinationPath)), CXString());
            ConsumeRecordOf(operation);
            return false;
        }
        fChanges.push_back({targetFilepath, destinationPath, operation.destinationPermissions.IsEmpty()});
    } else {
        fChanges.push_back({destinationPath, destinationPath});
    }

    CreateParentFolders(targetFilepath);
    CXStreamFile file;
    // A new file only: whatever appeared at the path since is never written through or over.
    CXResultCode opened = fTarget.Open(targetFilepath, PatchTargetFolder::kOpenCreateNew, file);
    if (opened != kCXOK) {
        fChanges.pop_back();
        AppendLogFormat("%sCOMMAND_CREATE_FILE - file creation failed: %s", kProc, targetFilepath.c_str());
        FailDetail(LocaliseFormat("$mervane_task_failed_unable_create_new_file", LocalisePath(targetFilepath)), CXString());
        ConsumeRecordOf(operation);
        return false;
    }
    CXString error;
    bool written = CopyPatchFileData(file, error, operation.destinationChecksum);
    CXResultCode closed = file.Close();
    if (written && closed != kCXOK) {
        written = false;
        error = LocaliseFormat("$mervane_task_error_on_stream", static_cast<int32_t>(closed));
    }
    if (!written) {
        CXString text = LocaliseFormat("$mervane_task_failed_unable_write_new_file", LocalisePath(targetFilepath));
        AppendLogFormat("%sCOMMAND_CREATE_FILE - file write failed '%s' (%s)", kProc, targetFilepath.c_str(), text.c_str());
        FailDetail(text, error);
        // A file whose record failed may hold damaged bytes: it never stays.
        (void)DeleteWithAutoRetry(targetFilepath);
        fChanges.pop_back();
        return false;
    }
    return ApplyPermissions(operation, targetFilepath, kCreatedFile, false, {});
}

bool MervaneTask_ApplyFilePatches::RunEditOrMoveFile(const PatchOperation& operation, const CXString& sourcePath,
                                                     const CXString& destinationPath)
{
    bool isEdit = operation.command == COMMAND_EDIT_FILE;
    bool keepMode = operation.destinationPermissions.IsEmpty();
    CXString targetFilepath = destinationPath;
    if (targetFilepath == sourcePath) {
        targetFilepath = CreateTemporaryFilepathFor(destinationPath);
        if (targetFilepath.IsEmpty()) {
            AppendLogFormat("%sCOMMAND_EDIT_FILE - !targetFilepath", kProc);
            FailDetail(LocaliseFormat("$mervane_task_failed_to_create_temp_for", LocalisePath(destinationPath)), CXString());
            ConsumeRecordOf(operation);
            return false;
        }
        fChanges.push_back({targetFilepath, destinationPath, keepMode});
    } else if (fTarget.Exists(targetFilepath)) {
        if ((operation.flags & kPatchFlagReplaceDestination) == 0) {
            if (!operation.destinationChecksum.IsEmpty() &&
                TargetFileChecksum(fTarget, targetFilepath) == operation.destinationChecksum) {
                AppendLogFormat("%s%s - matching file already exists: %s", kProc, isEdit ? "COMMAND_EDIT_FILE" : "COMMAND_MOVE_FILE",
                                targetFilepath.c_str());
                if (isEdit && !SkipBinaryDiff()) {
                    FailDetail(LocaliseFormat("$mervane_task_failed_unable_skip_file", LocalisePath(destinationPath)), CXString());
                    return false;
                }
                return ApplyPermissions(operation, targetFilepath, kEditedFile, true, {});
            }
            AppendLogFormat("%sCOMMAND_EDIT_FILE - file already exists: %s", kProc, targetFilepath.c_str());
            FailDetail(LocaliseFormat("$mervane_task_failed_unexpected_file", LocalisePath(targetFilepath)), CXString());
            ConsumeRecordOf(operation);
            return false;
        }
        targetFilepath = CreateTemporaryFilepathFor(destinationPath);
        if (targetFilepath.IsEmpty()) {
            FailDetail(LocaliseFormat("$mervane_task_failed_unable_create_file", LocalisePath(destinationPath)), CXString());
            ConsumeRecordOf(operation);
            return false;
        }
        fChanges.push_back({targetFilepath, destinationPath, keepMode});
    } else {
        // Written straight to its free destination: recorded like a created file, so a roll-back
        // removes it and a re-run finds the path free.
        fChanges.push_back({destinationPath, destinationPath});
    }

    CXStreamFile source;
    if (fTarget.Open(sourcePath, PatchTargetFolder::kOpenReading, source) != kCXOK) {
        fChanges.pop_back();
        AppendLogFormat("%sCOMMAND_EDIT_FILE - unable to open sourceFilepath: %s", kProc, sourcePath.c_str());
        FailDetail(LocaliseFormat("$mervane_task_failed_read_file", LocalisePath(sourcePath)), CXString());
        ConsumeRecordOf(operation);
        return false;
    }
    CreateParentFolders(targetFilepath);
    CXStreamFile file;
    if (fTarget.Open(targetFilepath, PatchTargetFolder::kOpenCreateNew, file) != kCXOK) {
        fChanges.pop_back();
        AppendLogFormat("%sCOMMAND_EDIT_FILE - unable to create targetFilepath: %s", kProc, targetFilepath.c_str());
        FailDetail(LocaliseFormat("$mervane_task_failed_create_file", LocalisePath(targetFilepath)), CXString());
        ConsumeRecordOf(operation);
        return false;
    }
    bool written;
    if (isEdit) {
        written = PerformBinaryDiff(source, file, operation.destinationChecksum);
        if (!written) {
            AppendLogFormat("%sCOMMAND_EDIT_FILE - binary diff application failed", kProc);
            FailDetail(LocaliseFormat("$mervane_task_failed_apply_patches_file", LocalisePath(sourcePath)), CXString());
        }
    } else {
        written = CopyStreamAll(file, source, {}) == kCXOK;
        if (!written) {
            AppendLogFormat("%sCOMMAND_MOVE_FILE - copy failed", kProc);
            FailDetail(LocaliseFormat("$mervane_task_failed_copy_existing_file", LocalisePath(sourcePath)), CXString());
        }
    }
    (void)source.Close();
    CXResultCode closed = file.Close();
    if (written && closed != kCXOK) {
        written = false;
        AppendLogFormat("%sCOMMAND_EDIT_FILE - unable to write targetFilepath: %s (result %d)", kProc, targetFilepath.c_str(),
                        static_cast<int32_t>(closed));
        FailDetail(LocaliseFormat("$mervane_task_failed_create_file", LocalisePath(targetFilepath)), CXString());
    }
    if (!written) {
        (void)DeleteWithAutoRetry(targetFilepath);
        fChanges.pop_back();
        return false;
    }
    return ApplyPermissions(operation, targetFilepath, kEditedFile, false, {});
}

bool MervaneTask_ApplyFilePatches::RunCreateFolder(const PatchOperation& operation, const CXString& destinationPath)
{
    bool oldTreePath = false;
    auto makeFolder = [&]() {
        CreateParentFolders(destinationPath);
        // A folder that is already there is fine; one made here goes again on roll-back.
        CXResultCode made = fTarget.MakeDirectory(destinationPath);
        if (made == kCXOK) {
            fCreatedFolders.push_back(destinationPath);
        } else {
            oldTreePath = true;
            for (const CXString& folder : fCreatedFolders)
                oldTreePath = oldTreePath && folder != destinationPath;
        }
    };
    // The folder must stand there, made now or before: a path that cannot be made (too long, a
    // file or a link in the way) is a failure, not a folder that is "already there".
    for (;;) {
        makeFolder();
        Platform::FileInfo info;
        CXResultCode result = fTarget.Stat(destinationPath, info);
        if (result == kCXOK && info.isDirectory && !info.isLink)
            break;
        CXString question = LocaliseFormat("$mervane_task_failed_unable_perm_folder", LocalisePath(destinationPath));
        CXString details = CXString::FromFormat("%sCOMMAND_CREATE_FOLDER - no folder at '%s' (result %d)", kProc, destinationPath.c_str(),
                                                static_cast<int32_t>(result == kCXOK ? kCXAlreadyExists : result));
        AppendLogFormat("%s - %s", question.c_str(), details.c_str());
        if (!AskUserAndWait(operation, question, details)) {
            FailDetail(question, details);
            return false;
        }
    }
    return ApplyPermissions(operation, destinationPath, kFolder, oldTreePath, makeFolder);
}

bool MervaneTask_ApplyFilePatches::ApplyPermissions(const PatchOperation& operation, const CXString& path, int kind, bool oldTreePath,
                                                    const std::function<void()>& beforeRetry)
{
    static const char* const kCommandNames[] = {"COMMAND_CREATE_FILE", "COMMAND_CREATE_FOLDER", "COMMAND_EDIT_FILE"};
    static const char* const kQuestions[] = {"$mervane_task_failed_unable_perm_new_file", "$mervane_task_failed_unable_perm_folder",
                                             "$mervane_task_failed_unable_perm_file"};
    for (;;) {
        AppendLog(kind == kFolder ? "CXFileSystem::SetFilePermissions (folder)" : "CXFileSystem::SetFilePermissions");
        if (oldTreePath && !operation.destinationPermissions.IsEmpty())
            RememberMode(path);
        CXResultCode result = CXFileSystem::SetFilePermissions(path, operation.destinationPermissions);
        if (result == kCXOK) {
            ClearRetriedQuestion();
            return true;
        }
        AppendLog("CXFileSystem::GetFilePermissions");
        CXString current;
        if (CXFileSystem::GetFilePermissions(path, current) != kCXOK)
            current.Clear();
        CXString question = LocaliseFormat(kQuestions[kind], LocalisePath(path));
        CXString details = CXString::FromFormat("%s%s - permissions change failed for '%s' (%s, from %s, result %d)", kProc,
                                                kCommandNames[kind], path.c_str(), operation.destinationPermissions.c_str(),
                                                current.c_str(), static_cast<int32_t>(result));
        AppendLogFormat("%s - %s", question.c_str(), details.c_str());
        if (!AskUserAndWait(operation, question, details))
            return false;
        if (beforeRetry)
            beforeRetry();
    }
}

void MervaneTask_ApplyFilePatches::RememberMode(const CXString& path)
{
    for (const ModeChange& change : fModeChanges) {
        if (change.path == path)
            return;
    }
    Platform::FileInfo info;
    if (fTarget.Stat(path, info) != kCXOK || info.isLink)
        return;
    // Journalled before the change, so a recovery after a kill puts the bits back too.
    if (fJournal.IsWritten() && fJournal.WriteModeChange(fTarget.Relative(path), info.mode) != kCXOK)
        AppendLogFormat("%sjournal could not record the mode of %s", kProc, path.c_str());
    fModeChanges.push_back({path, info.mode});
}

void MervaneTask_ApplyFilePatches::RestoreChangedModes()
{
    for (auto it = fModeChanges.rbegin(); it != fModeChanges.rend(); ++it) {
        AppendLogFormat("%smode %o restored: %s", kProc, static_cast<unsigned>(it->mode), it->path.c_str());
        if (fTarget.SetMode(it->path, it->mode) != kCXOK)
            AppendLogFormat("%smode could not be restored: %s", kProc, it->path.c_str());
    }
    fModeChanges.clear();
}

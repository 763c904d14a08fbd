#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "foundation/CXTime.h"
#include "platform/AtomicFile.h"
#include "streams/CXStreamFile.h"
#include "streams/CXStreamDigest.h"
#include "streams/CXStreamProcessorWrapper.h"

#include <cstdarg>
#include <string>

namespace {

// How often a waiting question looks for its answer when nothing wakes it.
constexpr uint32_t kAnswerPollMilliseconds = 100;

} // namespace

MervaneTask_ApplyFilePatches::MervaneTask_ApplyFilePatches()
    : CXThread("MervaneTask_ApplyFilePatches")
{
}

MervaneTask_ApplyFilePatches::~MervaneTask_ApplyFilePatches()
{
    // The procedure uses this object's members: it must be over before any of them goes.
    if (IsRunning())
        RequestStop();
    fGoEvent.Set();
    fAnswerEvent.Set();
    StopAndWait();
    fDataReader.reset();
    fDataStream.reset();

    CXString path = CXFileSystem::GetTempFolder();
    AppendPathComponent(path, "mervane-log.txt");
    CXString native = CXFileSystem::ToNativePath(path);
    if (!native.IsEmpty()) {
        // Written beside and renamed over: a link planted at the log's name is replaced, never
        // written through. Failures are not reported.
        CXString text = GetLog();
        (void)Platform::WriteFileAtomically(std::string(native.c_str(), native.length()),
                                            std::string_view(text.c_str(), text.length()), 0644);
    }
}

void MervaneTask_ApplyFilePatches::SetPatchSources(const CXURI& controlSource, const CXURI& dataSource)
{
    // A procedure waiting for the go signal or an answer must wake to see the stop request.
    Cancel();
    Stop();
    fControlSource = controlSource;
    fDataSource = dataSource;
    CXCriticalSectionLocker lock(fLock);
    fStatus.state = kMervaneTaskReady;
    fStatus.progress = 0.0f;
    fStatus.text = Localise("$mervane_task_loading_installation_data");
}

bool MervaneTask_ApplyFilePatches::Start(const CXString& targetPath)
{
    Cancel();
    Stop();
    fGoEvent.Reset();
    fAnswerEvent.Reset();
    CXString target = targetPath;
    StripTrailingSlashes(target);
    // A target of "/" alone strips to nothing: it is refused like an empty one, never patched.
    if (!target.IsEmpty()) {
        fTargetPath = target;
        fTarget.SetRoot(fTargetPath);
        CXThread::Start();
        return true;
    }
    {
        CXCriticalSectionLocker lock(fLock);
        fStatus.state = kMervaneTaskFailed;
        fStatus.progress = 1.0f;
        fStatus.text = Localise("$mervane_task_invalid_target");
        fStatus.detail = LocaliseFormat("$mervane_task_invalid_input_filepath", LocalisePath(targetPath));
        fStatus.detail2.Clear();
    }
    AppendFailureLine();
    return false;
}

void MervaneTask_ApplyFilePatches::Proceed()
{
    fGoEvent.Set();
}

void MervaneTask_ApplyFilePatches::Cancel()
{
    if (IsRunning())
        RequestStop();
    fGoEvent.Set();
    fAnswerEvent.Set();
}

void MervaneTask_ApplyFilePatches::GetStatus(MervaneTaskStatus& status)
{
    CXCriticalSectionLocker lock(fLock);
    status = fStatus;
}

void MervaneTask_ApplyFilePatches::Answer(bool yes)
{
    {
        CXCriticalSectionLocker lock(fLock);
        if (fStatus.state != kMervaneTaskQuestion || fAnsweredNo)
            return;
        if (yes)
            fStatus.state = kMervaneTaskAnsweredYes;
        else
            fAnsweredNo = true;
    }
    fAnswerEvent.Set();
}

void MervaneTask_ApplyFilePatches::AppendLog(const CXStringArgument& text)
{
    CXCriticalSectionLocker lock(fLock);
    (void)fLog.Append(text);
    (void)fLog.AppendCharacter('\n');
}

void MervaneTask_ApplyFilePatches::AppendLogFormat(const char* format, ...)
{
    CXStringEdit line;
    va_list args;
    va_start(args, format);
    (void)line.FormatV(format, args);
    va_end(args);
    AppendLog(CXStringArgument(line));
}

void MervaneTask_ApplyFilePatches::AppendFailureLine()
{
    CXString text, detail, detail2;
    {
        CXCriticalSectionLocker lock(fLock);
        text = fStatus.text;
        detail = fStatus.detail;
        detail2 = fStatus.detail2;
    }
    AppendLogFormat("STATE_FAILED - %s - %s - %s", text.c_str(), detail.c_str(), detail2.c_str());
}

CXString MervaneTask_ApplyFilePatches::GetLog()
{
    CXCriticalSectionLocker lock(fLock);
    return CXString(CXStringArgument(fLog));
}

void MervaneTask_ApplyFilePatches::SetStatus(int32_t state, float progress, const CXString& text)
{
    CXCriticalSectionLocker lock(fLock);
    fStatus.state = state;
    fStatus.progress = progress;
    fStatus.text = text;
}

void MervaneTask_ApplyFilePatches::SetStatusDetail(const CXString& detail, const CXString& detail2)
{
    CXCriticalSectionLocker lock(fLock);
    fStatus.detail = detail;
    fStatus.detail2 = detail2;
    fQuestionRetried = false;
}

void MervaneTask_ApplyFilePatches::ClearRetriedQuestion()
{
    CXCriticalSectionLocker lock(fLock);
    if (!fQuestionRetried)
        return;
    fStatus.detail.Clear();
    fStatus.detail2.Clear();
    fQuestionRetried = false;
}

void MervaneTask_ApplyFilePatches::Fail(const CXString& text, const CXString& detail, const CXString& detail2)
{
    {
        CXCriticalSectionLocker lock(fLock);
        fStatus.state = kMervaneTaskFailed;
        fStatus.progress = 1.0f;
        fStatus.text = text;
        fStatus.detail = detail;
        fStatus.detail2 = detail2;
        fQuestionRetried = false;
    }
    AppendFailureLine();
}

bool MervaneTask_ApplyFilePatches::AskUserAndWait(uint32_t operationFlags, const CXString& question, const CXString& details)
{
    if (IsStopRequested() || (operationFlags & 1) != 0)
        return false;
    int32_t previous;
    {
        CXCriticalSectionLocker lock(fLock);
        previous = fStatus.state;
        fStatus.state = kMervaneTaskQuestion;
        fAnsweredNo = false;
        fAnswerEvent.Reset();
        if (!question.IsEmpty()) {
            fStatus.detail = question;
            fStatus.detail2 = details;
        }
    }
    bool yes = false;
    for (;;) {
        {
            CXCriticalSectionLocker lock(fLock);
            bool waiting = fStatus.state == kMervaneTaskQuestion && !fAnsweredNo;
            if (!waiting || IsStopRequested()) {
                yes = fStatus.state == kMervaneTaskAnsweredYes && !IsStopRequested();
                fStatus.state = previous;
                fAnsweredNo = false;
                if (!question.IsEmpty())
                    fQuestionRetried = yes;
                break;
            }
        }
        // Never sleeps holding the lock; an answer or a stop sets the event.
        (void)fAnswerEvent.WaitFor(kAnswerPollMilliseconds);
        fAnswerEvent.Reset();
    }
    return yes;
}

bool MervaneTask_ApplyFilePatches::AskUserAndWait(const PatchOperation& operation, const CXString& question, const CXString& details)
{
    return AskUserAndWait(static_cast<uint32_t>(operation.flags), question, details);
}

CXString MervaneTask_ApplyFilePatches::DownloadProgressText(const CXString& baseText,
                                                            const CXStreamProgressCallbackData& record, CXTimestamp now)
{
    CXStringEdit text(baseText);
    double elapsed = static_cast<double>(now - record.startTime) / 1000.0;
    if (elapsed > 5.0) {
        double rate = static_cast<double>(record.bytesDone) / 1024.0 / elapsed;
        if (rate > 512.0) {
            (void)text.Append(LocaliseFormat("$mervane_task_rate_mib", CXString::FromFormat("%0.1f", rate / 1024.0)));
        } else {
            (void)text.Append(LocaliseFormat("$mervane_task_rate_kib", static_cast<int64_t>(rate)));
        }
        if (!record.fractionUnknown && record.fraction > 0.0f) {
            double remaining = elapsed / static_cast<double>(record.fraction) - elapsed;
            if (remaining > 3540.0) {
                int64_t hours = static_cast<int64_t>(remaining / 60.0 / 60.0 + 0.5);
                (void)text.Append(hours == 1 ? Localise("$mervane_task_hour_remain")
                                             : LocaliseFormat("$mervane_task_hours_remain", hours));
            } else if (remaining > 59.0) {
                int64_t minutes = static_cast<int64_t>(remaining / 60.0 + 0.5);
                (void)text.Append(minutes == 1 ? Localise("$mervane_task_minute_remain")
                                               : LocaliseFormat("$mervane_task_minutes_remain", minutes));
            } else {
                (void)text.Append(Localise("$mervane_task_seconds_remain"));
            }
        }
    }
    return CXString(text);
}

CXStreamProgressCallback MervaneTask_ApplyFilePatches::MakeDownloadProgress(const CXString& baseText)
{
    return [this, baseText](const CXStreamProgressCallbackData& record) {
        CXString text = DownloadProgressText(baseText, record, CXTime::GetCurrentTimestamp());
        {
            CXCriticalSectionLocker lock(fLock);
            fStatus.progress = record.fraction;
            fStatus.text = text;
        }
        return !IsStopRequested();
    };
}

std::function<void(float)> MervaneTask_ApplyFilePatches::MakeOperationProgress(uint64_t start, uint64_t span, uint64_t total)
{
    return [this, start, span, total](float x) {
        CXCriticalSectionLocker lock(fLock);
        fStatus.progress = (static_cast<float>(span) * x + static_cast<float>(start)) / static_cast<float>(total);
    };
}

void MervaneTask_ApplyFilePatches::FailDetail(const CXString& detail, const CXString& detail2)
{
    SetStatusDetail(detail, detail2);
    AppendFailureLine();
}

bool MervaneTask_ApplyFilePatches::ReadControlFilePhase()
{
    for (;;) {
        SetStatus(kMervaneTaskBusy, 0.0f, Localise("$mervane_task_reading_configuration"));
        CXResultCode result = ReadControlFile();
        if (result == kCXOK) {
            ClearRetriedQuestion();
            return true;
        }
        if (result == kCXNotFound) {
            Fail(Localise("$mervane_task_newer_patcher_required"), CXString(), CXString());
            return false;
        }
        CXString question = LocaliseFormat("$mervane_task_failed_read_source_data", fControlSource.ToLogString());
        if (AskUserAndWait(0, question, CXString()))
            continue;
        SetStatus(kMervaneTaskFailed, 1.0f, CXString());
        AppendFailureLine();
        return false;
    }
}

CXString MervaneTask_ApplyFilePatches::DefaultDataFilePath()
{
    CXString path = CXFileSystem::GetExecutablePath();
    if (path.IsEmpty())
        return path;
    (void)SplitPathLeafName(path);
    (void)SplitPathLeafName(path);
    AppendPathComponent(path, "Resources");
    AppendPathComponent(path, "patch.bin");
    return path;
}

bool MervaneTask_ApplyFilePatches::OpenDataFile()
{
    fDataReader.reset();
    fDataStream.reset();
    auto stream = std::make_unique<CXStreamFile>();
    // A file the run made beside the target is never read through a link swapped in for it.
    uint32_t mode = CXStreamFile::kModeRead | (fMadeDataFile ? CXStreamFile::kModeNoFollow : 0);
    if (!stream->Open(fDataPath, mode)) {
        FailDetail(LocaliseFormat("$mervane_task_install_failed_read_src_data", LocalisePath(fDataPath)), CXString());
        return false;
    }
    uint64_t size = stream->GetSize();
    if (fDataFileSize > 0 && size != fDataFileSize) {
        FailDetail(LocaliseFormat("$mervane_task_install_failed_wrong_size", static_cast<int64_t>(fDataFileSize), static_cast<int64_t>(size)),
                   CXString());
        return false;
    }
    if (!fDataFileChecksum.IsEmpty()) {
        SetStatus(kMervaneTaskBusy, 0.0f, Localise("$mervane_task_checking_payload_data"));
        CXString computed = MD5HexDigestOfStream(*stream, size);
        if (computed != fDataFileChecksum) {
            AppendLogFormat("MervaneTask_ApplyFilePatches::Proc> data file checksum %s, expected %s", computed.c_str(), fDataFileChecksum.c_str());
            FailDetail(Localise("$mervane_task_installation_data_checksum"), CXString());
            return false;
        }
        (void)stream->Seek(0, CXStream::kSeekSet);
    }
    fDataStream = std::move(stream);
    fDataReader = std::make_unique<CXStreamProcessorWrapper>(fDataStream.get(), &fDecompressor);
    return true;
}

void MervaneTask_ApplyFilePatches::Proc()
{
    fDataPath.Clear();
    fMadeDataFile = false;
    fModeChanges.clear();

    // A run that was killed is undone before this run reads anything of the target. One that had
    // committed and names its patch waits for the control file: when this run brings the same
    // patch, the target already is its result, and finishing that run completes this one.
    PatchJournal::Contents interrupted;
    if (RecoverInterruptedRun(true, interrupted) != kCXOK) {
        Fail(CXString(), LocaliseFormat("$mervane_task_failed_recover_interrupted", LocalisePath(fTargetPath)), CXString());
        return;
    }

    // A committed journal kept so far stays for the next run when this one ends here.
    if (!ReadControlFilePhase())
        return;

    SetStatus(kMervaneTaskReady, 0.0f, Localise("$mervane_task_ready_to_install"));
    fGoEvent.Wait();
    if (IsStopRequested()) {
        Fail(CXString(), Localise("$mervane_task_patch_cancelled"), CXString());
        return;
    }

    if (interrupted.committed) {
        if (interrupted.patchId == fPatchId) {
            CompleteInterruptedRun(interrupted);
            return;
        }
        AppendLogFormat("MervaneTask_ApplyFilePatches::Proc> the interrupted run of another patch (%s) had committed: completing it",
                        interrupted.patchId.c_str());
        if (CloseInterruptedRun(interrupted) != kCXOK) {
            Fail(CXString(), LocaliseFormat("$mervane_task_failed_recover_interrupted", LocalisePath(fTargetPath)), CXString());
            return;
        }
    }
    ApplyPhase();
}

void MervaneTask_ApplyFilePatches::CompleteInterruptedRun(const PatchJournal::Contents& kept)
{
    AppendLog("MervaneTask_ApplyFilePatches::Proc> the interrupted run of this patch had committed: nothing to apply");
    SetStatus(kMervaneTaskBusy, 1.0f, Localise("$mervane_task_cleaning_up"));
    if (CloseInterruptedRun(kept) != kCXOK) {
        Fail(CXString(), LocaliseFormat("$mervane_task_failed_recover_interrupted", LocalisePath(fTargetPath)), CXString());
        return;
    }
    SetStatus(kMervaneTaskComplete, 1.0f, CXString());
}

void MervaneTask_ApplyFilePatches::ApplyPhase()
{
    SetStatus(kMervaneTaskBusy, 0.0f, Localise("$mervane_task_checking_target"));
    CXString error;
    if (!CheckTarget(error)) {
        Fail(CXString(), Localise("$mervane_task_patch_not_viable"), error);
        return;
    }
    CXString dummy = fTargetPath;
    AppendPathComponent(dummy, "dummy.txt");
    CreateParentFolders(dummy);

    // Everything the operations may create is planned before anything is written.
    for (const PatchOperation& operation : fOperations) {
        bool folder = operation.command == COMMAND_CREATE_FOLDER;
        if (folder || operation.command == COMMAND_CREATE_FILE || operation.command == COMMAND_EDIT_FILE ||
            operation.command == COMMAND_MOVE_FILE)
            fJournal.PlanPath(operation.destinationFilepath, folder);
    }
    fJournal.SetPatchId(fPatchId);
    if (WriteJournalPlan() != kCXOK) {
        FailDetail(LocaliseFormat("$mervane_task_failed_to_create_temp_for", LocalisePath(fTargetPath)), CXString());
        EndRun(true);
        return;
    }

    uint64_t progressBase = 0;
    uint64_t progressTotal = 0;
    if (!DataFilePhase(progressBase, progressTotal) || !OpenDataFile()) {
        EndRun(true);
        return;
    }

    SetStatus(kMervaneTaskRunning, 0.0f, Localise("$mervane_task_installing"));
    bool failed = RunOperations(progressBase, progressTotal);
    if (!failed) {
        SetStatus(kMervaneTaskBusy, 1.0f, Localise("$mervane_task_finalising_installation"));
        if (!FinalisePatchOperations()) {
            AppendLog("MervaneTask_ApplyFilePatches::Proc> failed to finalise patch");
            FailDetail(Localise("$mervane_task_failed_unable_move_final"), CXString());
            failed = true;
        }
    }
    EndRun(failed);
}

bool MervaneTask_ApplyFilePatches::DataFilePhase(uint64_t& progressBase, uint64_t& progressTotal)
{
    fDataPath = DefaultDataFilePath();
    const CXURI& source = fDataSource;
    bool emptySource = source.scheme.IsEmpty() && source.host.IsEmpty() && source.port == 0 && source.user.IsEmpty() &&
                       source.password.IsEmpty() && source.path.IsEmpty() && source.query.IsEmpty();
    if (!emptySource) {
        if (CXStringArgument(source.scheme).CompareNoCase("file") == 0) {
            fDataPath = source.GetLocalFilePath();
            if (fDataPath.IsEmpty() || !CXFileSystem::Exists(fDataPath)) {
                FailDetail(LocaliseFormat("$mervane_task_missing_data", source.ToLogString()), CXString());
                return false;
            }
        } else if (!DownloadPhase()) {
            return false;
        }
    }

    SetStatus(kMervaneTaskRunning, 0.0f, Localise("$mervane_task_checking_payload_data"));
    progressBase = 0;
    progressTotal = 0;
    if (!SumEstimatedEffort(fOperations, 0, progressTotal))
        progressTotal = UINT64_MAX;
    if (progressTotal == 0)
        progressTotal = 1;
    if (CXFileSystem::Exists(fDataPath))
        return true;

    SetStatus(kMervaneTaskRunning, 0.0f, Localise("$mervane_task_copying_payload_data"));
    fDataPath = CreateDataFileBesideTarget();
    if (fDataPath.IsEmpty()) {
        FailDetail(LocaliseFormat("$mervane_task_failed_to_create_temp_under", LocalisePath(GetParentPath(fTargetPath))), CXString());
        return false;
    }
    fMadeDataFile = true;
    uint64_t span = progressTotal / 2;
    progressBase = span;
    progressTotal = progressTotal > UINT64_MAX - span ? UINT64_MAX : progressTotal + span;
    CXString volumeFolder = GetDataFolderFilepath("..");
    NormalizePath(volumeFolder);
    if (!JoinPatchVolumes(fDataPath, volumeFolder, CXString(), MakeOperationProgress(0, span, progressTotal))) {
        FailDetail(LocaliseFormat("$mervane_task_failed_copying_payload_data", LocalisePath(fDataPath)), CXString());
        return false;
    }
    return true;
}

void MervaneTask_ApplyFilePatches::EndRun(bool failed)
{
    SetStatus(kMervaneTaskBusy, 1.0f, Localise(failed ? "$mervane_task_rolling_back" : "$mervane_task_cleaning_up"));
    if (failed) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::Proc> rolling back %d changes", static_cast<int>(fChanges.size()));
        CancelCleanupOperations(fChanges);
        RestoreChangedModes();
    }
    fDataReader.reset();
    fDataStream.reset();
    // The data file goes while the journal still names it, so a kill here leaves nothing behind.
    if (fMadeDataFile) {
        AppendLogFormat("Deleting downloaded installation data file: %s", fDataPath.c_str());
        CXResultCode result = DeleteWithAutoRetry(fDataPath);
        if (result != kCXOK)
            AppendLogFormat("Failed to delete patch installation file (result %d.)", static_cast<int32_t>(result));
        fMadeDataFile = false;
    }
    // Folders made inside the target go while the journal could still remove them; the target
    // folder and those above it hold "patcher-temp" until the end.
    std::vector<CXString> outside;
    if (failed) {
        std::vector<CXString> all;
        all.swap(fCreatedFolders);
        for (const CXString& folder : all)
            (fTarget.Relative(folder).IsEmpty() ? outside : fCreatedFolders).push_back(folder);
        DeleteDirectoriesCreatedDuringPatchAttempt();
    }
    // The journal goes before its folder; once it is gone nothing is left to recover.
    RemoveJournal();
    DeleteTemporaryPatchFilesDirectory();
    if (failed) {
        fCreatedFolders.swap(outside);
        DeleteDirectoriesCreatedDuringPatchAttempt();
    }
    SetStatus(failed ? kMervaneTaskFailed : kMervaneTaskComplete, 1.0f, CXString());
}

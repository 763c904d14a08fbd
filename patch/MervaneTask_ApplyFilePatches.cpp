#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "foundation/CXTime.h"
#include "platform/AtomicFile.h"
#include "streams/CXStreamFile.h"
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

void MervaneTask_ApplyFilePatches::Proc()
{
    // The go signal. (Reading the control file comes before it; the target check, the data file
    // and the operations after the recovery below.)
    SetStatus(kMervaneTaskReady, 0.0f, Localise("$mervane_task_ready_to_install"));
    fGoEvent.Wait();
    if (IsStopRequested()) {
        Fail(CXString(), Localise("$mervane_task_patch_cancelled"), CXString());
        return;
    }

    // A run that was killed is finished or undone before this run looks at the target.
    SetStatus(kMervaneTaskBusy, 0.0f, Localise("$mervane_task_checking_target"));
    if (RecoverInterruptedRun() != kCXOK) {
        Fail(CXString(), LocaliseFormat("$mervane_task_failed_recover_interrupted", LocalisePath(fTargetPath)), CXString());
        return;
    }
    if (WriteJournalPlan() != kCXOK) {
        Fail(CXString(), LocaliseFormat("$mervane_task_failed_to_create_temp_for", LocalisePath(fTargetPath)), CXString());
        EndRun(true);
        return;
    }

    SetStatus(kMervaneTaskBusy, 1.0f, Localise("$mervane_task_finalising_installation"));
    bool failed = false;
    if (!FinalisePatchOperations()) {
        AppendLog("MervaneTask_ApplyFilePatches::Proc> failed to finalise patch");
        SetStatusDetail(Localise("$mervane_task_failed_unable_move_final"), CXString());
        AppendFailureLine();
        failed = true;
    }
    EndRun(failed);
}

void MervaneTask_ApplyFilePatches::EndRun(bool failed)
{
    SetStatus(kMervaneTaskBusy, 1.0f, Localise(failed ? "$mervane_task_rolling_back" : "$mervane_task_cleaning_up"));
    if (failed) {
        AppendLogFormat("MervaneTask_ApplyFilePatches::Proc> rolling back %d changes", static_cast<int>(fChanges.size()));
        CancelCleanupOperations(fChanges);
    }
    // The journal goes before its folder; once it is gone nothing is left to recover.
    RemoveJournal();
    DeleteTemporaryPatchFilesDirectory();
    if (failed)
        DeleteDirectoriesCreatedDuringPatchAttempt();
    SetStatus(failed ? kMervaneTaskFailed : kMervaneTaskComplete, 1.0f, CXString());
}

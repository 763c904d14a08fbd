#pragma once

#include "foundation/CXEvent.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMutex.h"
#include "foundation/CXStringEdit.h"
#include "foundation/CXThread.h"
#include "patch/MervaneTask.h"
#include "patch/PatchJournal.h"
#include "patch/PatchOperation.h"
#include "patch/PatchTargetFolder.h"
#include "streams/CXStreamCopy.h"
#include "streams/CXURI.h"
#include "streams/StreamProcessorZLib.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

class CXStreamFile;
class CXStreamProcessorWrapper;

// The file-patch task: applies one patch to one target folder on a thread of its own, while the
// patch page polls its status and answers its questions (MervaneTask). It never overwrites or
// removes a file of the installation while the operations run: files are written to free
// destinations or to temporary files under the target's "patcher-temp", deletions are queued,
// and finalising swaps everything into place through backups, which an undo can put back. A
// journal in "patcher-temp" lets the next run finish or undo a run that was killed; a run of the
// same patch that finds the killed run past its commit only finishes it, and ends complete.
class MervaneTask_ApplyFilePatches : public MervaneTask, public CXThread {
public:
    MervaneTask_ApplyFilePatches();
    // Stops the thread (it finishes its current step and ends), then writes the task log to
    // "mervane-log.txt" in the temporary folder, replacing the previous run's.
    ~MervaneTask_ApplyFilePatches() override;

    // Before Start: stops a running thread, takes both addresses, publishes state 1.
    void SetPatchSources(const CXURI& controlSource, const CXURI& dataSource);

    bool Start(const CXString& targetPath) override;
    // The thread's own start stays callable beside the task's.
    using CXThread::Start;
    void Proceed() override;
    void Cancel() override;
    void GetStatus(MervaneTaskStatus& status) override;
    // Yes publishes state 7. No keeps state 6 published (the page must not take the task for
    // ended) and is seen by the waiting question privately; the task then moves on to its next
    // state. An answer when no question waits, or a second answer, changes nothing.
    void Answer(bool yes) override;

    void Proc() override;

    // One line of the task log (a line feed is added).
    void AppendLog(const CXStringArgument& text);
    void AppendLogFormat(const char* format, ...) CX_PRINTF_FORMAT(2, 3);
    // The failure line, with the three status texts.
    void AppendFailureLine();
    CXString GetLog();

    // Puts a yes-or-no question to the page and waits for the answer, looking every 100 ms (an
    // answer or a stop wakes it at once). False at once, with nothing shown, when the task is
    // asked to stop or the operation's flags excuse its failures (bit 0). The published state
    // comes back to what it was; detail and detail2 keep the question (until the step it repeats
    // succeeds, ClearRetriedQuestion).
    bool AskUserAndWait(uint32_t operationFlags, const CXString& question, const CXString& details);
    // The same for a question about one operation (its flags decide).
    bool AskUserAndWait(const PatchOperation& operation, const CXString& question, const CXString& details);

    // The largest control file read: its tree takes many times the text's size in memory, so a
    // larger file is refused (-6) before anything is parsed.
    static constexpr uint64_t kMaximumControlFileSize = 4ull * 1024 * 1024;
    // Reads the control file named by the control source into the operations list, the expected
    // data file size and its checksum (ParseControlFileText). OK; -5 for a scheme other than
    // "file", "http" or "https"; the failure of fetching the text (-6 when it is larger than
    // kMaximumControlFileSize, -12 when a local file cannot be read); the failures of
    // ParseControlFileText, with the reason logged.
    CXResultCode ReadControlFile();
    const std::vector<PatchOperation>& GetOperations() const { return fOperations; }
    uint64_t GetDataFileSize() const { return fDataFileSize; }
    const CXString& GetDataFileChecksum() const { return fDataFileChecksum; }
    // The MD5 text of the control file's bytes once ReadControlFile succeeded, else empty: the
    // patch the run applies, as its journal names it.
    const CXString& GetPatchId() const { return fPatchId; }

    // The data records, read in order from the decompressed data stream; each routine consumes
    // one record and leaves the stream at the next when it succeeds. A record counts only when
    // its checksum (at most 64 bytes; a longer one is refused) is present and matches, and the
    // data stream recorded no failure on the way: the decompressor may deliver damaged bytes
    // before it reports bad data.
    //
    // Each consumes its whole record whatever happens to the file it writes (a failed copy or
    // diff passes over the rest); afterwards IsDataStreamInStep says whether the stream sits at
    // the next record, which it does unless the data stream itself failed.
    //
    // Copies a create record's file into output (open for reading and writing) and checks the
    // MD5 of output's first L bytes, and that the record's checksum is `expected` when that is
    // not empty. False with a localised error text.
    bool CopyPatchFileData(CXStream& output, CXString& error, const CXString& expected = CXString());
    // Applies an edit record's diff to source into output and checks the MD5 of output's whole
    // size, and the record's checksum against `expected` as above. Failures are logged.
    bool PerformBinaryDiff(CXStream& source, CXStream& output, const CXString& expected = CXString());
    // Passes over one record. Failures are logged.
    bool SkipBinaryDiff();
    bool IsDataStreamInStep() const { return fDataStreamInStep; }

    // The target check: free space on the target's volume, nothing in the way of the operations,
    // source files with their checksums. Writes nothing. True with error cleared, else false with
    // the localised reason; publishes state 3 and its progress while it runs.
    bool CheckTarget(CXString& error);
    // The free-space demand of the operations list: twice the summed effort plus 10^8 bytes, and
    // the data file's size when it lands on the target's volume; saturates instead of wrapping.
    static uint64_t FreeSpaceDemand(uint64_t totalEffort, uint64_t dataFileBytes);
    // The bytes the run may use on the volume mounted at mountPath (program form with its
    // trailing '/'): available to an unprivileged process, or free when privileged. False when
    // no listed volume is mounted there (the target is then not limited).
    static bool SpaceOnVolume(const std::vector<CXVolumeInfo>& volumes, const CXString& mountPath, bool privileged, uint64_t& bytes);

    // The data source. The default data file: the executable's path less two components, then
    // "Resources" and "patch.bin".
    static CXString DefaultDataFilePath();
    // Makes a new, empty data file in the folder that holds the target ("patch.bin" when that is
    // free, else a generated name), created exclusively and, once the journal is written, named
    // in it first, so a recovery removes it. Empty when none can be made.
    CXString CreateDataFileBesideTarget();
    // A name CreateDataFileBesideTarget gives: "patch.bin" or "temp-<hex>-<decimal>.bin". A
    // recovery deletes no other file beside the target, whatever the journal in the target says.
    static bool IsDataFileName(const CXString& leaf);
    // Joins the media volumes "patch-<n>.bin" into the new file at outputPath: each is looked for
    // in volumeFolder, then on removable volumes, then asked for with the disc question on the
    // main thread. volumeFolder follows the folder the user picked a volume from. False when a
    // volume cannot be had (the question cancelled, the task stopped) or the output fails; the
    // output then holds only the volumes appended in full.
    bool JoinPatchVolumes(const CXString& outputPath, CXString& volumeFolder, const CXString& identifier,
                          const std::function<void(float)>& progress);
    // Appends the payload of the volume at volumePath when it is the expected one (magic, version
    // 0, identifier, index; the count of volume 0 is taken, a later one must agree). A failed copy
    // cuts output back to where it was. False when it is not the volume or the copy failed.
    bool AppendPatchVolume(CXStreamFile& output, const CXString& volumePath, const CXString& identifier, uint32_t index,
                           uint32_t& count);
    // Downloads the data-file address into destination (GET; with resume, only the bytes after
    // those the file holds). When the control file names the data file's size, a body running
    // past it is stopped there and the bytes past it are cut away, so a failed attempt leaves a
    // prefix to resume from; a body stopped at the size counts as downloaded (the data file's
    // checks judge it). True on success with both
    // texts emptied; false with a user text and a detail text.
    bool DownloadPatchData(const CXURI& source, const CXString& destination, const CXStreamProgressCallback& progress,
                           CXStringEdit& userText, CXStringEdit& detailText, bool resume);
    // The download status text for a data file of that size (MiB below 1 GiB, else GiB).
    static CXString DownloadText(uint64_t dataFileSize);
    // The disc question, run on the main thread: a file dialog for "*.bin" titled "Please insert
    // disc <index + 1>." starting in volumeFolder; the chosen path, or empty on cancel, goes to
    // *result.
    static void PromptForPatchVolume(const std::shared_ptr<CXString>& result, const CXString& volumeFolder, uint32_t index);

    // The operations loop: each operation in order, progress weighted by effort. True when the run
    // failed or was cancelled (the ending rolls back).
    bool RunOperations(uint64_t& progressBase, uint64_t progressTotal);

    // The download progress callback: progress, and the base text extended with the rate and the
    // time remaining after the first 5 seconds. Returns false once a stop is requested.
    CXStreamProgressCallback MakeDownloadProgress(const CXString& baseText);
    // The text the download callback publishes for a record at the time now.
    static CXString DownloadProgressText(const CXString& baseText, const CXStreamProgressCallbackData& record, CXTimestamp now);
    // The operation progress callback: progress = (span * x + start) / total.
    std::function<void(float)> MakeOperationProgress(uint64_t start, uint64_t span, uint64_t total);

    // Sets the published status in one hold of the lock.
    void SetStatus(int32_t state, float progress, const CXString& text);
    void SetStatusDetail(const CXString& detail, const CXString& detail2);
    // The step that a question answered yes repeated has succeeded: that question's texts leave
    // detail and detail2, so a finished run does not show a failure it got past. Nothing when
    // other texts were published since the answer.
    void ClearRetriedQuestion();

    // Finalising, undo and roll-back (the change list and the created-folder list are the
    // task's). Each logs what it does to the task log.
    bool FinalisePatchOperations();
    struct UndoPair {
        CXString from;
        CXString to;
    };
    bool FinaliseRename(const PatchChangeRecord& record, const CXString& plannedBackup, std::vector<UndoPair>& undo,
                        std::vector<CXString>& backups);
    void UndoCleanupOperations(std::vector<UndoPair>& undo);
    void CancelCleanupOperations(std::vector<PatchChangeRecord>& changes);
    void DeleteDirectoriesCreatedDuringPatchAttempt();
    void DeleteTemporaryPatchFilesDirectory();
    // A new free path "temp-<ns>-<n>.tmp" in the temporary folder (made when missing); empty
    // when none can be had. The path is used only in the log line.
    CXString CreateTemporaryFilepathFor(const CXString& path);
    // Makes the missing folders above the path inside the target, outermost first, each noted
    // for the roll-back.
    void CreateParentFolders(const CXString& path);
    // Deletes a file, link or empty folder of the target, retrying about ten seconds while busy.
    CXResultCode DeleteWithAutoRetry(const CXString& path);

    // The journal. The procedure plans every path it may create (relative to the target), then
    // writes the plan, naming its patch, once the target check passed; finalising writes the
    // renames and the commit mark; the ending removes it after everything else the run leaves.
    PatchJournal& GetJournal() { return fJournal; }
    CXResultCode WriteJournalPlan();
    // Removes the journal of a run that has ended (successfully or rolled back).
    void RemoveJournal();
    // When the target holds the journal of a run that did not end, puts the target back: forward
    // when the run had committed, else back to the tree before the run; then removes the
    // journal and empties "patcher-temp". OK when there was nothing to do; -12 when the journal
    // cannot be read, names a path the control-file rules refuse or a data file of a name the run
    // never gives (IsDataFileName); nothing is touched then.
    CXResultCode RecoverInterruptedRun();

    // The ending of a run: roll-back or clean-up (the permission changes put back), the data file
    // the run made deleted, the journal removed, the final state.
    void EndRun(bool failed);

    // The data file of the run and whether the run made it (the ending then deletes it).
    const CXString& GetDataPath() const { return fDataPath; }
    bool MadeDataFile() const { return fMadeDataFile; }

    std::vector<PatchChangeRecord>& GetChanges() { return fChanges; }
    std::vector<CXString>& GetCreatedFolders() { return fCreatedFolders; }
    const PatchTargetFolder& GetTarget() const { return fTarget; }
    const CXString& GetTargetPath() const { return fTargetPath; }
    // The temporary folder of the target ("patcher-temp").
    CXString GetTemporaryFolder() const;

    // Test seams. The pause between delete retries (1000 ms); null restores the real sleep.
    using RetrySleep = void (*)(uint32_t milliseconds);
    static void SetRetrySleepForTesting(RetrySleep sleep);
    // Called after each rename finalising makes, with the number made so far (to stop a run there).
    using FinaliseStepHook = void (*)(int renamesDone);
    static void SetFinaliseStepHookForTesting(FinaliseStepHook hook);

protected:
    // The text of the control file: a local file for a "file" address, a download for "http" and
    // "https". -5 for any other scheme; -12 when a local file cannot be opened or read; -6 when
    // the text is larger than kMaximumControlFileSize.
    CXResultCode FetchControlFileText(CXString& text);

    // Publishes the failure state and texts and appends the failure line.
    void Fail(const CXString& text, const CXString& detail, const CXString& detail2);
    // Sets detail and detail2 and appends the failure line (the state stays).
    void FailDetail(const CXString& detail, const CXString& detail2);

    // The phases of the procedure; each false ends the run (the texts set).
    bool ReadControlFilePhase();
    // Downloads the data file into a new file beside the target, asking whether to retry (with
    // resume) after a failure.
    bool DownloadPhase();
    // Opens the data file, checks its size and checksum and puts the decompressor over it.
    bool OpenDataFile();
    // From the target check to the ending: plans and journals the run, gets the data file, runs
    // the operations and finalises them.
    void ApplyPhase();
    // Finds the data file (the data source, a download, or the media volumes joined beside the
    // target) and sets the progress base and total of the operations.
    bool DataFilePhase(uint64_t& progressBase, uint64_t& progressTotal);

    // One operation; false when it failed. The record reading routines say whether the data
    // stream stayed in step.
    bool RunOperation(const PatchOperation& operation, const CXString& sourcePath, const CXString& destinationPath);
    bool RunCreateFile(const PatchOperation& operation, const CXString& destinationPath);
    bool RunEditOrMoveFile(const PatchOperation& operation, const CXString& sourcePath, const CXString& destinationPath);
    bool RunCreateFolder(const PatchOperation& operation, const CXString& destinationPath);
    // The permissions step on path (kind: 0 created file, 1 folder, 2 edited or moved file); a
    // yes to its question runs beforeRetry (when given) and tries again. oldTreePath: the path
    // was there before the run, so its bits are remembered for the roll-back first.
    bool ApplyPermissions(const PatchOperation& operation, const CXString& path, int kind, bool oldTreePath,
                          const std::function<void()>& beforeRetry);
    void RememberMode(const CXString& path);
    // Passes over the record of a create or edit that failed before it read it.
    void ConsumeRecordOf(const PatchOperation& operation);
    // A path of the tree before the run whose permission bits the run changed: put back on roll-back.
    struct ModeChange {
        CXString path;
        uint32_t mode = 0;
    };
    void RestoreChangedModes();

    // The recovery at the start of a run: as RecoverInterruptedRun, except that with keepCommitted
    // the journal of a run that had committed and names its patch is only read and checked. It
    // then stays in the target and its contents go to kept (kept.committed is true only then):
    // CloseInterruptedRun finishes that run once this run's patch is known.
    CXResultCode RecoverInterruptedRun(bool keepCommitted, PatchJournal::Contents& kept);
    // The phases of the recovery of an interrupted run.
    // Reads and checks the journal: -7 when there is none, -12 when it is refused (logged).
    CXResultCode ReadInterruptedRun(PatchJournal::Contents& contents);
    bool CheckInterruptedRun(const PatchJournal::Contents& contents);
    // Puts the tree before the run back (renames undone, created paths deleted, modes restored)
    // and makes it durable.
    void RollBackInterruptedRun(const PatchJournal::Contents& contents);
    void UndoInterruptedRenames(const PatchJournal::Contents& contents, std::set<CXString>& touched);
    void DeleteInterruptedCreations(const PatchJournal::Contents& contents, std::set<CXString>& touched);
    // Deletes what the run left besides its tree (the backups of a committed run, its data files),
    // then the journal, then "patcher-temp". OK, or the failure to remove the journal.
    CXResultCode CloseInterruptedRun(const PatchJournal::Contents& contents);
    void RemoveLeftoverTemporaryFolder();
    // Ends a run that found its own patch's interrupted run committed: that run is finished and
    // this one completes as if it had applied the patch.
    void CompleteInterruptedRun(const PatchJournal::Contents& kept);

    // Record reading (MervaneTaskDataRecords.cpp).
    bool ReadRecordLength(uint64_t& length, CXResultCode& failure);
    CXResultCode FinishRecord(CXString& recorded);

    CXCriticalSection fLock;
    MervaneTaskStatus fStatus;
    CXStringEdit fLog;
    CXURI fControlSource;
    CXURI fDataSource;
    uint64_t fDataFileSize = 0;
    CXString fDataFileChecksum;
    CXString fPatchId;
    CXEvent fGoEvent;
    CXString fTargetPath;
    std::unique_ptr<CXStreamProcessorWrapper> fDataReader;
    std::unique_ptr<CXStreamFile> fDataStream;
    StreamProcessorZLibDecompress fDecompressor;
    std::vector<PatchOperation> fOperations;
    std::vector<PatchChangeRecord> fChanges;
    std::vector<CXString> fCreatedFolders;

    PatchTargetFolder fTarget;
    PatchJournal fJournal{fTarget};
    // Set by Answer and Cancel, so a waiting question wakes at once.
    CXEvent fAnswerEvent;
    // A "no" given to the pending question (state 6 stays published).
    bool fAnsweredNo = false;
    // detail and detail2 hold a question that was answered yes (guarded by fLock).
    bool fQuestionRetried = false;
    // Final renames made by the current finalise.
    int fRenamesDone = 0;
    bool fDataStreamInStep = true;
    CXString fDataPath;
    bool fMadeDataFile = false;
    std::vector<ModeChange> fModeChanges;
};

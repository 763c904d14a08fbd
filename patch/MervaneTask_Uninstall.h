#pragma once

#include "foundation/CXEvent.h"
#include "foundation/CXMutex.h"
#include "foundation/CXThread.h"
#include "patch/MervaneTask.h"

#include <cstdint>

// The uninstall task: removes the shortcuts that the folder's uninstall record lists, then the
// whole installation folder, on a thread of its own while the patch page polls its status. A
// folder that cannot be deleted is put to the page as a question (yes retries); a declined
// retry or a cancel ends the task failed, with the failure's details, since files remain.
//
// Before deleting anything the task makes sure the folder is an installation: an absolute
// folder that is no root, home, data home or system folder and holds none of them, and that
// holds the uninstall record or the anchor file, and is not itself a symbolic link. Anything else
// ends the task failed at once.
// The texts are plain English.
class MervaneTask_Uninstall : public MervaneTask, public CXThread {
public:
    MervaneTask_Uninstall();
    // Stops the thread and waits for it to end.
    ~MervaneTask_Uninstall() override;

    // The installed program's path relative to the folder ("patch-anchor-file"); its presence
    // marks the folder as an installation when there is no uninstall record. Before Start.
    void SetAnchorFile(const CXString& anchorFile) { fAnchorFile = anchorFile; }

    // Stores the target folder; false while the thread runs. The thread starts on Proceed.
    bool Start(const CXString& targetPath) override;
    // The thread's own start stays callable beside the task's.
    using CXThread::Start;
    void Proceed() override;
    // Asks the thread to stop; a pending question then ends as declined.
    void Cancel() override;
    void GetStatus(MervaneTaskStatus& status) override;
    // A pending question (state 6) becomes state 7 for yes, 5 for no; otherwise nothing changes.
    void Answer(bool yes) override;

    void Proc() override;

    // Why the folder may not be uninstalled, in plain English; empty when it may.
    static CXString RefusalReason(const CXString& targetPath, const CXString& anchorFile);

    // Test seam: the wait between looks at a pending question (100 ms); an answer or a cancel
    // wakes it at once anyway.
    static void SetAnswerPollForTesting(uint32_t milliseconds);

private:
    void SetStatus(int32_t state, float progress, const CXString& text);
    void Fail(const CXString& detail, const CXString& detail2);
    void RemoveRecordedShortcuts();

    CXCriticalSection fLock;
    MervaneTaskStatus fStatus;
    CXString fTargetPath;
    CXString fAnchorFile;
    // Set by Answer and Cancel, so a waiting question wakes at once.
    CXEvent fAnswerEvent;
};

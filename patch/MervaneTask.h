#pragma once

#include "foundation/CXString.h"

#include <cstdint>

// The states a patch task publishes.
enum MervaneTaskState : int32_t {
    kMervaneTaskWaiting = 0,     // created, nothing handed in yet
    kMervaneTaskReady = 1,       // sources set, or control file read and waiting for the go signal
    kMervaneTaskBusy = 2,        // reading, checking, finalising, cleaning up
    kMervaneTaskRunning = 3,     // downloading, copying or installing
    kMervaneTaskComplete = 4,    // ended, everything applied
    kMervaneTaskFailed = 5,      // ended without applying; always final
    kMervaneTaskQuestion = 6,    // a question waits for the page's answer
    kMervaneTaskAnsweredYes = 7, // the page answered yes
};

// The status record a task publishes; copied out whole, never shared. The texts are localised
// when the status is set.
struct MervaneTaskStatus {
    int32_t state = kMervaneTaskWaiting;
    float progress = 0.0f; // 0.0 to 1.0
    CXString text;         // the current activity; empty when the task has ended
    CXString detail;       // the message of a failure or of a question
    CXString detail2;      // further details of that failure or question
};

// One change a patch run made or queued, both paths absolute program paths. A written file has
// its write path (where it was written) and its destination (where it must end up; the same path
// when it was written straight there, and an empty write path for an edit or move written
// straight to a free destination). A queued deletion has the path to delete as its write path
// and an empty destination.
struct PatchChangeRecord {
    CXString writePath;
    CXString destination;
    // The written file takes the permission bits of the file it replaces (the operation gives no
    // permissions of its own).
    bool keepDestinationMode = false;
};

// What the patch page sees of a patch task. The page calls every operation on the main thread.
class MervaneTask {
public:
    virtual ~MervaneTask() = default;
    // Hands over the target folder and starts the task's work; false when it cannot start.
    virtual bool Start(const CXString& targetPath)
    {
        (void)targetPath;
        return true;
    }
    // The go signal.
    virtual void Proceed() {}
    virtual void Cancel() {}
    virtual void GetStatus(MervaneTaskStatus& status) = 0;
    // The answer to the pending question (state 6); ignored in any other state.
    virtual void Answer(bool yes) { (void)yes; }
};

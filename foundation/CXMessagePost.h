#pragma once

#include "foundation/CXMessage.h"
#include "foundation/CXMutex.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXTask.h"
#include "foundation/CXTime.h"

#include <cstdint>
#include <map>
#include <vector>

// A time-ordered queue of messages delivered later, one at a time, on the thread that calls
// Update (the main thread in the program). Post may be called from any thread; the queue's lock
// is never held while a handler runs.
//
// Due times are kept on the monotonic clock, so a wall clock set back or forward stalls nothing.
// A posted wall-clock time becomes a due time through the offset between the two clocks. The
// offset is measured at the first post and again only when it has moved by more than
// kClockTolerance milliseconds (the wall clock was set); in between, equal posted times get equal
// due times, so messages for the same millisecond keep their posting order and later times wait.
class CXMessagePost {
public:
    CXMessagePost() = default;
    // Entries still queued are discarded undelivered.
    ~CXMessagePost();
    CXMessagePost(const CXMessagePost&) = delete;
    CXMessagePost& operator=(const CXMessagePost&) = delete;

    // The queue of the process-wide CXMessagePostTask, made on first use from any thread.
    static CXMessagePost& GetSingleton();

    // Queues the message (the queue owns it from now on) for the target at a wall-clock time in
    // milliseconds since 1970; the current time means "at the next delivery". The parameter is
    // referenced until the entry is freed (may be null). A target that dies before delivery gets
    // nothing. A null message is reported and nothing is queued.
    void Post(CXMessageTarget* target, CXMessage* message, DynamicReferenceCount* parameter, CXTimestamp time);
    // Delivers at most one due entry: the earliest, first posted first. A target answering -2 is
    // logged as "CXMessagePost::Update> message '%s' was ignored by %s". True when an entry was
    // taken (also one whose target had died).
    bool Update();
    // Entries queued.
    uint64_t GetCount();

    // Test seam: the monotonic clock in nanoseconds that due times are measured on (null:
    // CXMonotonicNanoseconds). The wall clock is CXTime's and has a seam of its own.
    using Clock = int64_t (*)();
    static void SetClockForTesting(Clock clock);

    static constexpr int64_t kClockTolerance = 5;

private:
    struct Entry;

    static int64_t MonotonicMilliseconds();
    // With fLock held.
    int64_t ToDueTime(CXTimestamp time);

    std::map<int64_t, std::vector<Entry*>> fQueue;
    uint64_t fCount = 0;
    CXMutex fLock;
    int64_t fClockOffset = 0;
    bool fClockOffsetKnown = false;
};

// The message queue as a task on the main thread's host: each idle pass delivers the entries that
// are due, at most as many as were queued when the pass began, so messages posted by a handler
// wait for a later pass. Its TaskHostThread part is never started.
class CXMessagePostTask : public CXTask, public TaskHostThread, public CXMessagePost {
public:
    // Adds the task to the main thread's task host, whichever thread makes it.
    CXMessagePostTask();
    ~CXMessagePostTask() override;

    void Idle() override;

    // Deletes the process-wide task (program end); a later GetSingleton makes a new one.
    static void DeleteSingleton();
};

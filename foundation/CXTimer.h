#pragma once

#include "foundation/CXGenericEvent.h"
#include "foundation/CXLinkedList.h"
#include "foundation/CXMutex.h"
#include "foundation/CXThread.h"

#include <cstdint>
#include <set>

class CXTimerManager;

// A queued run of a timer's callback. Due times are on the monotonic clock (nanoseconds), so a
// wall clock set back stalls nothing.
struct CXTimerEntry : CXLinkedListNode {
    uint64_t userValue = 0;
    uint64_t userData = 0;
    int64_t due = 0;
};

// A callback that a timer manager runs at the due times of its queued entries.
//
// A subclass calls RemoveAllTimers in its own destructor, so that no callback runs on a
// half-destroyed object.
class CXTimer : private CXNonCopyable {
public:
    CXTimer(CXTimerManager* manager, const char* name);
    virtual ~CXTimer();

    virtual void OnTimer(uint64_t userValue, uint64_t userData) = 0;

    // Queues a run at a wall-clock due time (file time), turned into the monotonic clock now.
    void QueueTimer(uint64_t fileTimeDue, uint64_t userValue, uint64_t userData);
    // Queues a run at a monotonic due time (CXMonotonicNanoseconds).
    void QueueTimerMonotonic(int64_t due, uint64_t userValue, uint64_t userData);
    // Drops every queued entry and waits for a callback running on another thread.
    void RemoveAllTimers();
    // When set, the timer deletes itself once its last entry has run.
    void SetSelfDelete(bool selfDelete) { fSelfDelete = selfDelete; }

    const char* GetName() const { return fName != nullptr ? fName : ""; }
    int64_t GetNextDue() const { return fNextDue; }

private:
    friend class CXTimerManager;
    // With the manager's lock held.
    void ExecuteClosestTimer();
    bool Reschedule();

    CXLinkedListHead fEntries;
    CXLinkedListHead fSuspendedEntries;
    int64_t fNextDue = 0;
    CXTimerManager* fManager;
    int32_t fRemoveDepth = 0;
    int64_t fExecutingThread = -1;
    uint32_t fTag = 0;
    const char* fName;
    bool fSelfDelete = false;
    bool fFiled = false;
};

// A thread that runs timer callbacks at their due times, earliest first. Timers due at the same
// time are all kept and run.
class CXTimerManager : public CXThread {
public:
    CXTimerManager();
    ~CXTimerManager() override;

    void Proc() override;
    void Stop() override;

    // Test seam: the clock the manager compares due times with (null: CXMonotonicNanoseconds).
    using Clock = int64_t (*)();
    static void SetClockForTesting(Clock clock);

private:
    friend class CXTimer;
    struct ByDue {
        bool operator()(const CXTimer* a, const CXTimer* b) const
        {
            return a->fNextDue != b->fNextDue ? a->fNextDue < b->fNextDue : a < b;
        }
    };

    static int64_t Now();

    CXConditionMutex fLock;
    std::set<CXTimer*, ByDue> fTimers;
    std::set<CXTimer*> fAllTimers; // every timer made on this manager, filed or not
    CXLinkedListHead fFreeEntries;
};

// An event that embeds a timer whose callback does nothing; it is never set.
class CXGenericEventTimer : public CXGenericEvent, public CXTimer {
public:
    explicit CXGenericEventTimer(CXTimerManager* manager) : CXTimer(manager, "CXGenericEventTimer") {}
    ~CXGenericEventTimer() override { RemoveAllTimers(); }
    bool IsSet() override { return false; }
    void OnTimer(uint64_t, uint64_t) override {}
};

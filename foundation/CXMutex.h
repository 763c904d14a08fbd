#pragma once

#include "foundation/CXLinkedList.h"
#include "foundation/CXNativeSync.h"

#include <atomic>
#include <cstdint>

// Lock classes that check themselves: each carries a validity tag and its owner's thread id, and
// every misuse is reported with CXDebugError, after which the operation goes on. None throws or
// returns an error.

// A lock meant to be taken once at a time. It sits on a re-entrant lock, so a second lock by the
// holder passes (and is reported as recursion), and an unlock by another thread is reported and
// changes nothing but the owner record.
class CXMutex {
public:
    CXMutex();
    ~CXMutex();
    CXMutex(const CXMutex&) = delete;
    CXMutex& operator=(const CXMutex&) = delete;

    void LockMutex();
    void UnlockMutex();
    // The holder's thread id, -1 when free.
    int64_t GetOwner() const { return fOwner.load(std::memory_order_relaxed); }

private:
    bool CheckTag() const;

    std::atomic<uint32_t> fTag;
    std::atomic<int64_t> fOwner;
    CXNativeMutex fMutex;
};

// A re-entrant lock with an owner and a depth.
class CXRecursiveMutex {
public:
    CXRecursiveMutex();
    ~CXRecursiveMutex();
    CXRecursiveMutex(const CXRecursiveMutex&) = delete;
    CXRecursiveMutex& operator=(const CXRecursiveMutex&) = delete;

    void LockMutex();
    void UnlockMutex();
    // Reports when the calling thread does not hold the lock.
    void DebugCheckLocked() const;
    // Reports unless the calling thread holds the lock exactly once.
    void DebugCheckLockedExactlyOnce() const;
    // Bookkeeping of an unlock made directly on the host lock: depth - 1, owner cleared at 0.
    void DebugMarkUnlocked();

    int32_t GetOwner() const { return fOwner.load(std::memory_order_relaxed); }
    int32_t GetDepth() const { return fDepth.load(std::memory_order_relaxed); }

protected:
    bool CheckTag(const char* message) const;
    // Takes the host lock and records the caller as owner.
    void LockAndRecord();

    std::atomic<uint32_t> fTag;
    std::atomic<int32_t> fOwner;
    std::atomic<int32_t> fDepth;
    CXNativeMutex fMutex;
};

// A recursive lock with condition waits: waiters queue first in, first out; a notification marks
// queued waiters signalled and sets one shared event, which the last woken waiter resets.
class CXConditionMutex : public CXRecursiveMutex {
public:
    CXConditionMutex();
    ~CXConditionMutex();

    // Waits for a notification. The caller holds the lock exactly once; it holds it again on
    // return.
    void Wait();
    // Waits for a notification until a wall-clock deadline (file time), at most 10,000 ms per
    // call (callers that need longer loop). The deadline is turned into the monotonic clock once,
    // when the wait starts. True when notified.
    bool WaitUntil(uint64_t fileTimeDeadline);
    // The same with a monotonic deadline (CXMonotonicNanoseconds).
    bool WaitUntilMonotonic(int64_t monotonicDeadline);
    // Callable with or without the lock held.
    void NotifyOne();
    void NotifyAll();

    // Waiters marked signalled that have not woken yet.
    int32_t GetPending();

    static constexpr uint32_t kMaximumWaitMilliseconds = 10000;

    // Test seam: called on the waiting thread when a timed wait has timed out, before it takes
    // the lock back (the moment a notification can still arrive).
    using TimeoutHook = void (*)(CXConditionMutex* condition);
    static void SetTimeoutHookForTesting(TimeoutHook hook);

private:
    struct Waiter : CXLinkedListNode {
        std::atomic<bool> signalled{false};
    };

    bool WaitLoop(bool timed, int64_t monotonicDeadline);

    CXNativeEvent fEvent;
    CXLinkedListHead fWaiters;
    int32_t fPending = 0;
};

// Unlocks a CXMutex when the scope ends, with the same checks as UnlockMutex. A null mutex is
// nothing to release.
class CXMutexLocker {
public:
    explicit CXMutexLocker(CXMutex* mutex) : fMutex(mutex)
    {
        if (fMutex != nullptr)
            fMutex->LockMutex();
    }
    ~CXMutexLocker()
    {
        if (fMutex != nullptr)
            fMutex->UnlockMutex();
    }
    CXMutexLocker(const CXMutexLocker&) = delete;
    CXMutexLocker& operator=(const CXMutexLocker&) = delete;

private:
    CXMutex* fMutex;
};

class CXRecursiveMutexLocker {
public:
    explicit CXRecursiveMutexLocker(CXRecursiveMutex* mutex) : fMutex(mutex)
    {
        if (fMutex != nullptr)
            fMutex->LockMutex();
    }
    ~CXRecursiveMutexLocker()
    {
        if (fMutex != nullptr)
            fMutex->UnlockMutex();
    }
    CXRecursiveMutexLocker(const CXRecursiveMutexLocker&) = delete;
    CXRecursiveMutexLocker& operator=(const CXRecursiveMutexLocker&) = delete;

private:
    CXRecursiveMutex* fMutex;
};

// A plain re-entrant critical section without checks, for code that keeps one as a member.
class CXCriticalSection {
public:
    CXCriticalSection() = default;
    CXCriticalSection(const CXCriticalSection&) = delete;
    CXCriticalSection& operator=(const CXCriticalSection&) = delete;
    void Enter() { fMutex.Lock(); }
    void Leave() { (void)fMutex.Unlock(); }

private:
    CXNativeMutex fMutex;
};

class CXCriticalSectionLocker {
public:
    explicit CXCriticalSectionLocker(CXCriticalSection& section) : fSection(section) { fSection.Enter(); }
    ~CXCriticalSectionLocker() { fSection.Leave(); }
    CXCriticalSectionLocker(const CXCriticalSectionLocker&) = delete;
    CXCriticalSectionLocker& operator=(const CXCriticalSectionLocker&) = delete;

private:
    CXCriticalSection& fSection;
};

#pragma once

// The host's lock and wait primitives under the lock classes: a re-entrant mutex, a manual-reset
// event, the release-and-wait step of a condition wait, thread ids, sleeping, and the monotonic
// clock that every timed wait runs on. Implemented in CXNativeSyncLinux.cpp.

#include <atomic>
#include <cstdint>

// The id of the calling thread (the kernel's thread id); never 0.
uint32_t CXGetCurrentThreadId();
// Sleeps the calling thread; 0 yields the processor.
void CXSleepMilliseconds(uint32_t milliseconds);

// Nanoseconds of the host's monotonic clock. Timed waits and timed queues run on it, so a wall
// clock set back or forward stalls nothing.
int64_t CXMonotonicNanoseconds();
// Converts a wall-clock deadline (file time: 100-ns units since 1601) into the monotonic clock,
// as an offset from now. Callers convert once, when a wait or a queue entry starts.
int64_t CXMonotonicDeadlineFromFileTime(uint64_t fileTimeDeadline);
// Milliseconds from now to a monotonic deadline: 0 when it has passed, at most cap.
uint32_t CXMillisecondsUntil(int64_t monotonicDeadline, uint32_t cap);

// A re-entrant mutex: the holder may lock it again; each lock needs its unlock. An unlock by a
// thread that does not hold it is refused (returns false) and changes nothing.
class CXNativeMutex {
public:
    CXNativeMutex();
    ~CXNativeMutex();
    CXNativeMutex(const CXNativeMutex&) = delete;
    CXNativeMutex& operator=(const CXNativeMutex&) = delete;

    void Lock();
    bool TryLock();
    bool Unlock();

private:
    friend class CXNativeEvent;
    alignas(8) unsigned char fStorage[48];
    // The holder and its depth, so an unlock by another thread is refused before it reaches the
    // host mutex (where it would be undefined for some mutex kinds and flagged by checkers).
    std::atomic<uint32_t> fHolder{0};
    uint32_t fDepth = 0;
};

// A manual-reset event: stays set until reset; every waiter sees it while it is set.
class CXNativeEvent {
public:
    CXNativeEvent();
    ~CXNativeEvent();
    CXNativeEvent(const CXNativeEvent&) = delete;
    CXNativeEvent& operator=(const CXNativeEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet();
    // Waits until the event is set, at most timeoutMs (kInfinite: no limit). True when set.
    bool Wait(uint32_t timeoutMs);
    // Releases one level of the mutex and waits for the event in one step, so a Set made by a
    // thread that took the mutex after the release cannot be missed. Does not lock the mutex
    // again. True when the event was set, false on time-out.
    bool UnlockAndWait(CXNativeMutex& mutex, uint32_t timeoutMs);

    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

private:
    alignas(8) unsigned char fStorage[112];
};

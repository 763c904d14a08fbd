#include "foundation/CXMutex.h"

#include "foundation/CXDebug.h"

namespace {

constexpr uint32_t kMutexTag = 0xCAFEF00D;
constexpr uint32_t kRecursiveMutexTag = 0xCAFEF01D;
constexpr uint32_t kDeadTag = 0xDEADBEEF;

std::atomic<CXConditionMutex::TimeoutHook> gTimeoutHook{nullptr};

int64_t CurrentThread()
{
    return static_cast<int64_t>(CXGetCurrentThreadId());
}

} // namespace

CXMutex::CXMutex()
    : fTag(kMutexTag)
    , fOwner(-1)
{
}

CXMutex::~CXMutex()
{
    (void)CheckTag();
    fTag.store(kDeadTag, std::memory_order_relaxed);
    if (fOwner.load(std::memory_order_relaxed) != -1)
        CXDebugError("~CXMutex> mutex locked");
}

bool CXMutex::CheckTag() const
{
    if (fTag.load(std::memory_order_relaxed) == kMutexTag)
        return true;
    CXDebugError("~CXMutex> not a valid CXMutex");
    return false;
}

void CXMutex::LockMutex()
{
    (void)CheckTag();
    fMutex.Lock();
    if (fOwner.load(std::memory_order_relaxed) != -1)
        CXDebugError("CXMutex::LockMutex> recursion detected");
    fOwner.store(CurrentThread(), std::memory_order_relaxed);
}

void CXMutex::UnlockMutex()
{
    (void)CheckTag();
    if (fOwner.load(std::memory_order_relaxed) != CurrentThread())
        CXDebugError("CXMutex::UnlockMutex> mutex not locked");
    fOwner.store(-1, std::memory_order_relaxed);
    // A thread that does not hold the host lock cannot release it; the refusal is ignored.
    (void)fMutex.Unlock();
}

CXRecursiveMutex::CXRecursiveMutex()
    : fTag(kRecursiveMutexTag)
    , fOwner(-1)
    , fDepth(0)
{
}

CXRecursiveMutex::~CXRecursiveMutex()
{
    (void)CheckTag("~CXRecursiveMutex> not a valid CXRecursiveMutex");
    fTag.store(kDeadTag, std::memory_order_relaxed);
    if (fOwner.load(std::memory_order_relaxed) != -1)
        CXDebugError("~CXRecursiveMutex> mutex locked");
}

bool CXRecursiveMutex::CheckTag(const char* message) const
{
    if (fTag.load(std::memory_order_relaxed) == kRecursiveMutexTag)
        return true;
    CXDebugError("%s", message);
    return false;
}

void CXRecursiveMutex::LockAndRecord()
{
    fMutex.Lock();
    fDepth.fetch_add(1, std::memory_order_relaxed);
    fOwner.store(static_cast<int32_t>(CXGetCurrentThreadId()), std::memory_order_relaxed);
}

void CXRecursiveMutex::LockMutex()
{
    (void)CheckTag("~CXRecursiveMutex> not a valid CXRecursiveMutex");
    LockAndRecord();
}

void CXRecursiveMutex::UnlockMutex()
{
    (void)CheckTag("~CXRecursiveMutex> not a valid CXRecursiveMutex");
    if (fOwner.load(std::memory_order_relaxed) != static_cast<int32_t>(CXGetCurrentThreadId())) {
        CXDebugError("CXRecursiveMutex::UnlockMutex> mutex not locked");
        // The host lock refuses a release by a thread that does not hold it; the holder's
        // bookkeeping is left alone.
        (void)fMutex.Unlock();
        return;
    }
    if (fDepth.fetch_sub(1, std::memory_order_relaxed) == 1)
        fOwner.store(-1, std::memory_order_relaxed);
    (void)fMutex.Unlock();
}

void CXRecursiveMutex::DebugCheckLocked() const
{
    (void)CheckTag("CXRecursiveMutex::DebugCheckLocked> not a valid CXRecursiveMutex");
    if (fOwner.load(std::memory_order_relaxed) != static_cast<int32_t>(CXGetCurrentThreadId()))
        CXDebugError("CXRecursiveMutex::DebugCheckLocked> mutex is not locked by this thread");
}

void CXRecursiveMutex::DebugCheckLockedExactlyOnce() const
{
    if (fOwner.load(std::memory_order_relaxed) != static_cast<int32_t>(CXGetCurrentThreadId()))
        CXDebugError("CXRecursiveMutex::DebugCheckLockedExactlyOnce> mutex is not locked by this thread");
    else if (fDepth.load(std::memory_order_relaxed) != 1)
        CXDebugError("CXRecursiveMutex::DebugCheckLockedExactlyOnce> mutex is locked multiple times");
}

void CXRecursiveMutex::DebugMarkUnlocked()
{
    (void)CheckTag("CXRecursiveMutex::DebugMarkUnlocked> not a valid CXRecursiveMutex");
    if (fOwner.load(std::memory_order_relaxed) != static_cast<int32_t>(CXGetCurrentThreadId())) {
        CXDebugError("CXRecursiveMutex::DebugMarkUnlocked> mutex is not locked by this thread");
        return;
    }
    if (fDepth.fetch_sub(1, std::memory_order_relaxed) == 1)
        fOwner.store(-1, std::memory_order_relaxed);
}

CXConditionMutex::CXConditionMutex() = default;

CXConditionMutex::~CXConditionMutex()
{
    // The waiter list reports itself when it is not empty; the records live on the waiters'
    // stacks, so unlink them to keep the report the only consequence.
    if (!fWaiters.IsEmpty())
        CXDebugError("~CXLinkedListHead> List not empty.");
    while (!fWaiters.IsEmpty())
        fWaiters.Remove(*fWaiters.first());
}

int32_t CXConditionMutex::GetPending()
{
    LockMutex();
    int32_t pending = fPending;
    UnlockMutex();
    return pending;
}

void CXConditionMutex::SetTimeoutHookForTesting(TimeoutHook hook)
{
    gTimeoutHook.store(hook, std::memory_order_release);
}

void CXConditionMutex::Wait()
{
    (void)WaitLoop(false, 0);
}

bool CXConditionMutex::WaitUntil(uint64_t fileTimeDeadline)
{
    return WaitLoop(true, CXMonotonicDeadlineFromFileTime(fileTimeDeadline));
}

bool CXConditionMutex::WaitUntilMonotonic(int64_t monotonicDeadline)
{
    return WaitLoop(true, monotonicDeadline);
}

bool CXConditionMutex::WaitLoop(bool timed, int64_t monotonicDeadline)
{
    DebugCheckLocked();
    Waiter waiter;
    fWaiters.InsertLast(waiter);
    bool timedOut = false;
    for (;;) {
        DebugCheckLockedExactlyOnce();
        DebugMarkUnlocked();
        uint32_t timeout = timed ? CXMillisecondsUntil(monotonicDeadline, kMaximumWaitMilliseconds) : CXNativeEvent::kInfinite;
        bool woken = fEvent.UnlockAndWait(fMutex, timeout);
        if (!woken) {
            timedOut = true;
            if (TimeoutHook hook = gTimeoutHook.load(std::memory_order_acquire))
                hook(this);
        } else if (!waiter.signalled.load(std::memory_order_acquire))
            CXSleepMilliseconds(0); // the event is set for other waiters: let them run first
        LockAndRecord();
        if (waiter.signalled.load(std::memory_order_relaxed) || timedOut)
            break;
    }
    // A notification that arrived between the time-out and the re-lock still counts: the
    // decision rests on this waiter's own flag, so the pending count is always consumed.
    if (waiter.signalled.load(std::memory_order_relaxed)) {
        if (--fPending == 0)
            fEvent.Reset();
        if (waiter.list() != nullptr)
            fWaiters.Remove(waiter);
        return true;
    }
    if (waiter.list() != nullptr)
        fWaiters.Remove(waiter);
    return false;
}

void CXConditionMutex::NotifyOne()
{
    LockMutex();
    if (!fWaiters.IsEmpty()) {
        Waiter* waiter = static_cast<Waiter*>(fWaiters.first());
        fWaiters.Remove(*waiter);
        waiter->signalled.store(true, std::memory_order_release);
        ++fPending;
        fEvent.Set();
    }
    UnlockMutex();
}

void CXConditionMutex::NotifyAll()
{
    LockMutex();
    bool any = false;
    while (!fWaiters.IsEmpty()) {
        Waiter* waiter = static_cast<Waiter*>(fWaiters.first());
        fWaiters.Remove(*waiter);
        waiter->signalled.store(true, std::memory_order_release);
        ++fPending;
        any = true;
    }
    if (any)
        fEvent.Set();
    UnlockMutex();
}

#include "foundation/CXTimer.h"

#include "foundation/CXDebug.h"
#include "foundation/CXNativeSync.h"

#include <atomic>

namespace {

std::atomic<CXTimerManager::Clock> gClock{nullptr};

void DeleteEntries(CXLinkedListHead& list)
{
    while (!list.IsEmpty()) {
        CXTimerEntry* entry = static_cast<CXTimerEntry*>(list.first());
        list.Remove(*entry);
        delete entry;
    }
}

} // namespace

CXTimer::CXTimer(CXTimerManager* manager, const char* name)
    : fManager(manager)
    , fName(name)
{
    if (fManager != nullptr) {
        CXRecursiveMutexLocker lock(&fManager->fLock);
        fManager->fAllTimers.insert(this);
    }
}

CXTimer::~CXTimer()
{
    if (fManager != nullptr)
        fManager->fLock.LockMutex();
    if (!fEntries.IsEmpty())
        CXDebugError("~CXTimer> timers are still queued (for '%s')", GetName());
    if (!fSuspendedEntries.IsEmpty())
        CXDebugError("~CXTimer> suspended timers are still queued (for '%s')", GetName());
    if (fManager != nullptr)
        fManager->fLock.UnlockMutex();
    RemoveAllTimers();
    fTag = 0xDEADBEEF;
    if (fManager != nullptr) {
        fManager->fLock.LockMutex();
        if (fFiled)
            fManager->fTimers.erase(this);
        fFiled = false;
        fManager->fAllTimers.erase(this);
        DeleteEntries(fSuspendedEntries);
        fManager->fLock.UnlockMutex();
    } else {
        DeleteEntries(fEntries);
        DeleteEntries(fSuspendedEntries);
    }
}

void CXTimer::QueueTimer(uint64_t fileTimeDue, uint64_t userValue, uint64_t userData)
{
    QueueTimerMonotonic(CXMonotonicDeadlineFromFileTime(fileTimeDue), userValue, userData);
}

void CXTimer::QueueTimerMonotonic(int64_t due, uint64_t userValue, uint64_t userData)
{
    if (fManager == nullptr) {
        CXDebugError("CXTimer::QueueTimer> timer '%s' has no manager", GetName());
        return;
    }
    CXConditionMutex& lock = fManager->fLock;
    lock.LockMutex();
    CXTimerEntry* entry;
    if (!fManager->fFreeEntries.IsEmpty()) {
        entry = static_cast<CXTimerEntry*>(fManager->fFreeEntries.first());
        fManager->fFreeEntries.Remove(*entry);
    } else {
        entry = new CXTimerEntry;
    }
    entry->userValue = userValue;
    entry->userData = userData;
    entry->due = due;
    // In due order; entries due at the same time run in the order they were queued.
    CXLinkedListNode* before = nullptr;
    for (CXLinkedListIterator it = fEntries.begin(); it; ++it)
        if (it.Get<CXTimerEntry>()->due > due) {
            before = it.node();
            break;
        }
    if (before != nullptr)
        fEntries.InsertBefore(*entry, *before);
    else
        fEntries.InsertLast(*entry);
    if (Reschedule())
        lock.NotifyAll();
    lock.UnlockMutex();
}

bool CXTimer::Reschedule()
{
    if (fFiled) {
        fManager->fTimers.erase(this);
        fFiled = false;
    }
    if (fEntries.IsEmpty())
        return false;
    if (!fManager->IsRunning()) {
        CXDebugError("CXTimer::Reschedule> host is not running");
        return false;
    }
    fNextDue = static_cast<CXTimerEntry*>(fEntries.first())->due;
    fManager->fTimers.insert(this);
    fFiled = true;
    return *fManager->fTimers.begin() == this;
}

void CXTimer::ExecuteClosestTimer()
{
    CXConditionMutex& lock = fManager->fLock;
    if (fExecutingThread != -1)
        CXDebugError("CXTimer::ExecuteClosestTimer> already in timer execution?");
    if (!fEntries.IsEmpty()) {
        CXTimerEntry* entry = static_cast<CXTimerEntry*>(fEntries.first());
        fEntries.Remove(*entry);
        fExecutingThread = CXGetCurrentThreadId();
        lock.UnlockMutex();
        OnTimer(entry->userValue, entry->userData);
        lock.LockMutex();
        fManager->fFreeEntries.InsertLast(*entry);
        fExecutingThread = -1;
    }
    (void)Reschedule();
    if (fSelfDelete && fEntries.IsEmpty()) {
        // The destructor takes the manager's lock again (it is re-entrant).
        delete this;
    }
}

void CXTimer::RemoveAllTimers()
{
    if (fManager == nullptr)
        return;
    CXConditionMutex& lock = fManager->fLock;
    lock.LockMutex();
    while (!fEntries.IsEmpty()) {
        CXLinkedListNode* entry = fEntries.first();
        fEntries.Remove(*entry);
        fManager->fFreeEntries.InsertLast(*entry);
    }
    (void)Reschedule();
    ++fRemoveDepth;
    int64_t caller = CXGetCurrentThreadId();
    while (fExecutingThread != -1 && fExecutingThread != caller) {
        lock.UnlockMutex();
        CXSleepMilliseconds(10);
        lock.LockMutex();
    }
    if (!fEntries.IsEmpty())
        CXDebugError("CXTimer::RemoveAllTimers> a timer event was added during RemoveAllTimers?");
    --fRemoveDepth;
    lock.UnlockMutex();
}

CXTimerManager::CXTimerManager()
    : CXThread(CXString("CXTimerManager"))
{
}

CXTimerManager::~CXTimerManager()
{
    Stop();
    fLock.LockMutex();
    for (CXTimer* timer : fTimers) {
        CXDebugLog("~CXTimerManager> '%s' still attached", timer->GetName());
        timer->fFiled = false;
    }
    fTimers.clear();
    // Timers that outlive their manager must not reach it again; their queued entries go back to
    // them to free.
    for (CXTimer* timer : fAllTimers)
        timer->fManager = nullptr;
    fAllTimers.clear();
    DeleteEntries(fFreeEntries);
    fLock.UnlockMutex();
}

void CXTimerManager::SetClockForTesting(Clock clock)
{
    gClock.store(clock, std::memory_order_release);
}

int64_t CXTimerManager::Now()
{
    Clock clock = gClock.load(std::memory_order_acquire);
    return clock != nullptr ? clock() : CXMonotonicNanoseconds();
}

void CXTimerManager::Stop()
{
    if (!IsRunning())
        return;
    RequestStop();
    fLock.NotifyAll();
    StopAndWait();
}

void CXTimerManager::Proc()
{
    constexpr int64_t kFiftyMilliseconds = 50 * 1000000;
    fLock.LockMutex();
    while (!IsStopRequested()) {
        if (fTimers.empty()) {
            fLock.Wait();
            continue;
        }
        CXTimer* timer = *fTimers.begin();
        int64_t now = Now();
        if (timer->fNextDue > now) {
            int64_t wait = timer->fNextDue - now;
            int64_t mono = CXMonotonicNanoseconds();
            (void)fLock.WaitUntilMonotonic(wait > INT64_MAX - mono ? INT64_MAX : mono + wait);
            continue;
        }
        if (now - timer->fNextDue > kFiftyMilliseconds)
            CXDebugLog("Timer %s missed scheduled time by %dms", timer->GetName(), static_cast<int>((now - timer->fNextDue) / 1000000));
        const char* name = timer->GetName();
        int64_t before = Now();
        timer->ExecuteClosestTimer(); // may delete a self-deleting timer
        int64_t after = Now();
        if (after - before > kFiftyMilliseconds)
            CXDebugLog("Timer %s took %dms", name, static_cast<int>((after - before) / 1000000));
    }
    fLock.UnlockMutex();
}

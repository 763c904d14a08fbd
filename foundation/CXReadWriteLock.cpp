#include "foundation/CXReadWriteLock.h"

#include "foundation/CXDebug.h"

namespace {

int64_t CurrentThread()
{
    return static_cast<int64_t>(CXGetCurrentThreadId());
}

} // namespace

CXReadWriteLock::CXReadWriteLock() = default;

CXReadWriteLock::~CXReadWriteLock()
{
    fGuard.Enter();
    bool held = fReadCount != 0 || fWriterCount != 0;
    fGuard.Leave();
    if (held)
        CXDebugError("~CXReadWriteLock> locks held during destruction");
}

int32_t* CXReadWriteLock::FindReader(int64_t thread)
{
    for (int32_t i = 0; i < fInlineUsed; ++i)
        if (fInline[i].thread == thread)
            return &fInline[i].count;
    auto it = fOverflow.find(thread);
    return it != fOverflow.end() ? &it->second : nullptr;
}

bool CXReadWriteLock::AddReader(int64_t thread)
{
    int32_t* count = FindReader(thread);
    if (count != nullptr) {
        ++*count;
        return true;
    }
    if (fInlineUsed < 4) {
        fInline[fInlineUsed++] = ReaderSlot{thread, 1};
        return true;
    }
    fOverflow[thread] = 1;
    return true;
}

void CXReadWriteLock::DropReader(int64_t thread)
{
    for (int32_t i = 0; i < fInlineUsed; ++i) {
        if (fInline[i].thread != thread)
            continue;
        if (--fInline[i].count == 0)
            fInline[i] = fInline[--fInlineUsed]; // the last used slot fills the gap
        return;
    }
    auto it = fOverflow.find(thread);
    if (it != fOverflow.end() && --it->second == 0)
        fOverflow.erase(it);
}

void CXReadWriteLock::LockForRead()
{
    int64_t caller = CurrentThread();
    for (;;) {
        fGuard.Enter();
        if (fWriterCount == 0 || fWriter == caller)
            break;
        int32_t* count = FindReader(caller);
        if (count != nullptr) {
            ++fReadCount;
            ++*count;
            fGuard.Leave();
            return;
        }
        fWritersGone.Reset();
        fGuard.Leave();
        fWritersGone.Wait();
    }
    ++fReadCount;
    (void)AddReader(caller);
    fGuard.Leave();
}

void CXReadWriteLock::UnlockForRead()
{
    int64_t caller = CurrentThread();
    fGuard.Enter();
    if (FindReader(caller) == nullptr) {
        CXDebugError("CXReadWriteLock::UnlockForRead> current thread does not hold read lock");
        fGuard.Leave();
        return;
    }
    --fReadCount;
    DropReader(caller);
    // A waiting writer looks again whenever a reader leaves: a reader upgrading to writer counts
    // its own read locks, so the count never reaches 0 for it.
    if (fWriterCount != 0)
        fReadersGone.Set();
    fGuard.Leave();
}

void CXReadWriteLock::LockForWrite()
{
    int64_t caller = CurrentThread();
    fGuard.Enter();
    ++fWriterCount;
    if (fWriter == caller) {
        ++fWriteDepth;
        fGuard.Leave();
        fWriteMutex.LockMutex();
        return;
    }
    // Readers other than this thread must leave; its own read locks cannot block it.
    int32_t* ownReads = FindReader(caller);
    int32_t others = fReadCount - (ownReads != nullptr ? *ownReads : 0);
    if (ownReads != nullptr)
        CXDebugError("CXReadWriteLock::UnlockForRead> potential deadlock: current thread attempting upgrade from read lock");
    if (others > 0)
        fReadersGone.Reset();
    else
        fReadersGone.Set();
    fGuard.Leave();
    for (;;) {
        fReadersGone.Wait();
        fWriteMutex.LockMutex();
        fGuard.Enter();
        ownReads = FindReader(caller);
        others = fReadCount - (ownReads != nullptr ? *ownReads : 0);
        if (others <= 0)
            break;
        // A reader re-entered between the event and the lock: wait for it too.
        fReadersGone.Reset();
        fGuard.Leave();
        fWriteMutex.UnlockMutex();
    }
    ++fWriteDepth;
    fWriter = caller;
    fGuard.Leave();
}

void CXReadWriteLock::UnlockForWrite()
{
    int64_t caller = CurrentThread();
    fGuard.Enter();
    if (fWriter != caller) {
        CXDebugError("CXReadWriteLock::UnlockForWrite> current thread does not hold write lock");
        fGuard.Leave();
        return;
    }
    if (fWriteDepth == 1)
        fWriter = -1;
    fWriteMutex.UnlockMutex();
    --fWriteDepth;
    if (--fWriterCount == 0)
        fWritersGone.Set();
    fGuard.Leave();
}

int32_t CXReadWriteLock::GetReadDepth()
{
    CXCriticalSectionLocker lock(fGuard);
    int32_t* count = FindReader(CurrentThread());
    return count != nullptr ? *count : 0;
}

size_t CXReadWriteLock::GetOverflowReaders()
{
    CXCriticalSectionLocker lock(fGuard);
    return fOverflow.size();
}

namespace {

struct ScopeLockState {
    CXConditionMutex condition;
    struct Owner {
        int64_t thread;
        int64_t count;
    };
    std::map<const void*, Owner> objects;
};

ScopeLockState& ScopeLocks()
{
    static ScopeLockState* state = new ScopeLockState;
    return *state;
}

[[maybe_unused]] ScopeLockState& gEarlyScopeLocks = ScopeLocks();

} // namespace

CXScopeLockPointer::CXScopeLockPointer(const void* object)
    : fObject(object)
    , fThread(CurrentThread())
{
    if (object == nullptr)
        return;
    ScopeLockState& state = ScopeLocks();
    state.condition.LockMutex();
    for (;;) {
        ScopeLockState::Owner& entry = state.objects.try_emplace(object, ScopeLockState::Owner{fThread, 0}).first->second;
        if (entry.count == 0 || entry.thread == fThread) {
            ++entry.count;
            entry.thread = fThread;
            break;
        }
        state.condition.Wait();
    }
    state.condition.UnlockMutex();
}

void CXScopeLockPointer::Unlock()
{
    if (fObject == nullptr)
        return;
    if (fThread != CurrentThread()) {
        CXDebugError("CXScopeLockPointer::Unlock> called on wrong thread!");
        return;
    }
    ScopeLockState& state = ScopeLocks();
    state.condition.LockMutex();
    auto it = state.objects.find(fObject);
    if (it == state.objects.end()) {
        CXDebugError("CXScopeLockPointer::Unlock> internal error: not locked");
    } else if (it->second.thread != fThread) {
        CXDebugError("CXScopeLockPointer::Unlock> internal error: not locked by this thread");
    } else {
        if (--it->second.count == 0)
            state.objects.erase(it);
        state.condition.NotifyAll();
    }
    state.condition.UnlockMutex();
    fObject = nullptr;
}

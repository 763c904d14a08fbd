#include "foundation/CXThread.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMutex.h"
#include "foundation/CXNativeSync.h"

#include <atomic>
#include <cstdlib>
#include <condition_variable>
#include <mutex>

namespace {

// The process-wide thread list and its lock. Never destroyed: a detached thread may end while the
// process exits. At exit a list that still holds threads is reported as the list's own check
// would report it.
struct ThreadRegistry {
    CXMutex mutex;
    CXLinkedListHead list;
};

ThreadRegistry& Registry();

void ReportThreadsAtExit()
{
    ThreadRegistry& registry = Registry();
    registry.mutex.LockMutex();
    bool empty = registry.list.IsEmpty();
    registry.mutex.UnlockMutex();
    if (!empty)
        CXDebugError("~CXLinkedListHead> List not empty.");
}

ThreadRegistry& Registry()
{
    static ThreadRegistry* registry = [] {
        ThreadRegistry* made = new ThreadRegistry;
        std::atexit(ReportThreadsAtExit);
        return made;
    }();
    return *registry;
}

[[maybe_unused]] ThreadRegistry& gEarlyRegistry = Registry();

std::atomic<bool> gSlotAllocated{false};
std::atomic<uint32_t> gMainThreadId{0};
thread_local CXThread* tCurrentThread = nullptr;
std::atomic<bool> gRemoveReported{false};

// Thread ends are announced here instead of on the thread object, which its owner may destroy
// the moment the body has returned. Never destroyed: a detached thread may still be announcing
// its end while the process exits.
struct EndSignal {
    std::mutex mutex;
    std::condition_variable condition;
};

EndSignal& End()
{
    static EndSignal* signal = new EndSignal;
    return *signal;
}

void AnnounceThreadEnd()
{
    EndSignal& end = End();
    std::lock_guard<std::mutex> lock(end.mutex);
    end.condition.notify_all();
}

struct StartArgument {
    CXThread* thread;
    CXNativeEvent idKnown;
};

} // namespace

CXThread::CXThread(const CXString& name)
    : fName(name)
{
}

CXThread::~CXThread()
{
    if (IsRunning()) {
        // The subclass part is gone already: the body may be using it. Subclasses stop their
        // thread in their own destructor; this is the last resort.
        CXDebugError("~CXThread> thread '%s' still running while destroyed", fName.c_str());
        RequestStop();
        WaitUntilFinished();
    }
    if (list() != nullptr) {
        ThreadRegistry& registry = Registry();
        registry.mutex.LockMutex();
        if (list() == &registry.list)
            registry.list.Remove(*this);
        registry.mutex.UnlockMutex();
    }
}

CXGenericEvent* CXThread::CreateEvent(int condition)
{
    switch (condition) {
    case 0:
        return new CXGenericEventBoolVariable(&fStopRequested, 0);
    case 1:
        return new CXGenericEventBoolVariable(&fRunning, 1);
    case 2:
        return new CXGenericEventBoolVariable(&fRunning, 0);
    default:
        return new CXGenericEvent;
    }
}

void CXThread::Start()
{
    if (IsRunning()) {
        CXDebugError("CXThread::Start> Already running.");
        return;
    }
    fStopRequested.store(0, std::memory_order_relaxed);
    fRunning.store(1, std::memory_order_release);
    StartArgument argument{this, {}};
    auto body = [](void* raw) {
        StartArgument* start = static_cast<StartArgument*>(raw);
        CXThread* thread = start->thread;
        thread->fThreadId.store(CXGetCurrentThreadId(), std::memory_order_release);
        start->idKnown.Set(); // the starter's record is gone after this
        Run(thread);
    };
    if (!CXThreadHostStart(body, &argument)) {
        CXDebugError("CXThread::Start> could not create thread '%s'", fName.c_str());
        fRunning.store(0, std::memory_order_release);
        return;
    }
    (void)argument.idKnown.Wait(CXNativeEvent::kInfinite);
}

void CXThread::Run(CXThread* thread)
{
    tCurrentThread = thread;
    ThreadRegistry& registry = Registry();
    registry.mutex.LockMutex();
    registry.list.Insert(*thread);
    registry.mutex.UnlockMutex();
    CXThreadHostSetName(thread->fName.c_str());

    thread->Proc();

    registry.mutex.LockMutex();
    if (thread->list() == &registry.list)
        registry.list.Remove(*thread);
    else if (!gRemoveReported.exchange(true))
        CXDebugError("CXLinkedListHead::Remove> Node is not in this list.");
    registry.mutex.UnlockMutex();
    tCurrentThread = nullptr;
    // The owner may destroy the object as soon as this store is seen.
    thread->fRunning.store(0, std::memory_order_release);
    AnnounceThreadEnd();
}

void CXThread::WaitUntilFinished()
{
    EndSignal& end = End();
    std::unique_lock<std::mutex> lock(end.mutex);
    while (IsRunning())
        end.condition.wait_for(lock, std::chrono::milliseconds(30));
}

void CXThread::Stop()
{
    if (!IsRunning())
        return;
    RequestStop();
    WaitUntilFinished();
}

void CXThread::StopAndWait()
{
    if (IsRunning()) {
        RequestStop();
        WaitUntilFinished();
    }
}

void CXThread::CXInit()
{
    uint32_t caller = CXGetCurrentThreadId();
    if (!gSlotAllocated.exchange(true)) {
        gMainThreadId.store(caller);
        return;
    }
    if (gMainThreadId.load() != caller)
        CXDebugError("CXThread::CXInit> called from different thread");
    gMainThreadId.store(caller);
}

bool CXThread::IsMainThread()
{
    uint32_t caller = CXGetCurrentThreadId();
    if (!gSlotAllocated.exchange(true))
        gMainThreadId.store(caller);
    return gMainThreadId.load() == caller;
}

bool CXThread::IsInitialised()
{
    return gSlotAllocated.load();
}

uint32_t CXThread::GetMainThreadId()
{
    return gMainThreadId.load();
}

CXThread* CXThread::GetCurrentThread()
{
    return tCurrentThread;
}

uint32_t CXThread::GetCurrentThreadId()
{
    return CXGetCurrentThreadId();
}

void CXThread::Sleep(uint32_t milliseconds)
{
    CXSleepMilliseconds(milliseconds);
}

void CXThread::Yield()
{
    CXDebugError("CXThread::Yield> cooperative threading not supported on this platform");
}

void CXThread::CXShutdown()
{
    gSlotAllocated.store(false);
    ThreadRegistry& registry = Registry();
    registry.mutex.LockMutex();
    bool reported = false;
    for (CXLinkedListIterator it = registry.list.begin(); it; ++it) {
        CXThread* thread = it.Get<CXThread>();
        if (!reported) {
            CXDebugLog("! Program Termination. Threads still allocated:");
            reported = true;
        }
        if (thread->IsRunning()) {
            thread->RequestStop();
            CXDebugLog("  - %d running ('%s')", static_cast<int>(thread->GetThreadId()), thread->fName.c_str());
        } else {
            CXDebugLog("  - stopped ('%s')", thread->fName.c_str());
        }
    }
    registry.mutex.UnlockMutex();
    if (reported)
        DebugBreakIfAttached();
}

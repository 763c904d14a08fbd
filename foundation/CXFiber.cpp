#include "foundation/CXFiber.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMutex.h"

#include <map>

namespace {

struct FiberMap {
    CXCriticalSection lock;
    std::map<CXThread*, CXFiber*> fibers;
};

FiberMap& Fibers()
{
    static FiberMap* map = new FiberMap;
    return *map;
}

} // namespace

CXFiber::CXFiber(CXThread* owner, Function function, void* data)
    : fOwner(owner)
    , fFunction(std::move(function))
    , fData(data)
{
    fFiberThread = new FiberThread(this);
    {
        CXCriticalSectionLocker lock(Fibers().lock);
        Fibers().fibers[fFiberThread] = this;
    }
    fFiberThread->Start();
}

CXFiber::~CXFiber()
{
    fExitRequested.store(true, std::memory_order_release);
    while (IsRunning())
        (void)Resume();
    delete fFiberThread;
    CXCriticalSectionLocker lock(Fibers().lock);
    Fibers().fibers.erase(fFiberThread);
}

void CXFiber::FiberThread::Proc()
{
    fFiber->fFiberEvent.Wait();
    if (!fFiber->WantToExit())
        fFiber->fFunction(fFiber, fFiber->fData);
    fFiber->fRunning.store(0, std::memory_order_release);
    fFiber->fFiberEvent.Reset();
    fFiber->fOwnerEvent.Set();
}

bool CXFiber::Resume()
{
    if (!IsRunning())
        return false;
    fOwnerEvent.Reset();
    fFiberEvent.Set();
    fOwnerEvent.Wait();
    return IsRunning();
}

bool CXFiber::WantToExit()
{
    uint32_t caller = CXGetCurrentThreadId();
    bool ownerThread = fOwner != nullptr && fOwner->GetThreadId() == caller;
    if (!ownerThread && fFiberThread->GetThreadId() != caller)
        CXDebugError("CXFiber::WantToExit> called on thread other than owner or fiber");
    return fOwner == nullptr || fOwner->IsStopRequested() || fExitRequested.load(std::memory_order_acquire);
}

CXFiber* CXFiber::GetCurrentFiber()
{
    CXThread* thread = CXThread::GetCurrentThread();
    if (thread == nullptr)
        return nullptr;
    FiberMap& map = Fibers();
    CXCriticalSectionLocker lock(map.lock);
    auto it = map.fibers.find(thread);
    return it != map.fibers.end() ? it->second : nullptr;
}

bool CXFiber::Sleep()
{
    CXFiber* fiber = GetCurrentFiber();
    if (fiber == nullptr) {
        CXDebugError("CXFiber::Sleep> called from non-fiber");
        CXSleepMilliseconds(0);
        return false;
    }
    if (fiber->WantToExit())
        return false;
    fiber->fFiberEvent.Reset();
    fiber->fOwnerEvent.Set();
    fiber->fFiberEvent.Wait();
    return true;
}

uint32_t CXFiber::GetFiberThreadId()
{
    CXFiber* fiber = GetCurrentFiber();
    return fiber != nullptr ? fiber->fFiberThread->GetThreadId() : CXGetCurrentThreadId();
}

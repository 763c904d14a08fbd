#include "foundation/CXGenericEventContext.h"

#include "foundation/CXDebug.h"
#include "foundation/CXRandom.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<CXGenericEventContextManual*> gSingleton{nullptr};
std::mutex gSingletonMutex;

} // namespace

CXGenericEventContextManual::CXGenericEventContextManual()
    : CXTask("CXGenericEventContextManual")
{
    CXTaskHost::GetCurrentThreadTaskHost()->AddTask(this);
}

CXGenericEventContextManual::~CXGenericEventContextManual()
{
    DetachFromHost();
    fLock.LockMutex();
    for (uint64_t i = 0; i < fHandlers.count(); ++i)
        delete fHandlers[i];
    fHandlers.SetCount(0);
    for (CXGenericEventHandler* handler : fRetired)
        delete handler;
    fRetired.clear();
    fLock.UnlockMutex();
}

CXGenericEventContextManual* CXGenericEventContextManual::GetSingleton()
{
    CXGenericEventContextManual* context = gSingleton.load(std::memory_order_acquire);
    if (context != nullptr)
        return context;
    std::lock_guard<std::mutex> lock(gSingletonMutex);
    context = gSingleton.load(std::memory_order_relaxed);
    if (context == nullptr) {
        context = new CXGenericEventContextManual;
        gSingleton.store(context, std::memory_order_release);
    }
    return context;
}

void CXGenericEventContextManual::DeleteSingleton()
{
    std::lock_guard<std::mutex> lock(gSingletonMutex);
    delete gSingleton.exchange(nullptr, std::memory_order_acq_rel);
}

void CXGenericEventContextManual::AddHandler(const CXGenericEventRef& ref, void* owner, CXGenericEventHandlerCallable callable)
{
    CXGenericEventHandler* handler = new CXGenericEventHandler;
    handler->ref = ref;
    handler->owner = owner;
    handler->callable = std::move(callable);
    CXRecursiveMutexLocker lock(&fLock);
    if (!fHandlers.Append(handler))
        delete handler;
}

void CXGenericEventContextManual::AddHandler(const CXGenericEventRef& ref, void* owner, CXGenericEventHandlerFunction function, void* data)
{
    CXRecursiveMutexLocker lock(&fLock);
    for (uint64_t i = 0; i < fHandlers.count(); ++i) {
        CXGenericEventHandler* h = fHandlers[i];
        if (h->ref == ref && h->owner == owner && h->function == function && h->data == data)
            return;
    }
    CXGenericEventHandler* handler = new CXGenericEventHandler;
    handler->ref = ref;
    handler->owner = owner;
    handler->function = function;
    handler->data = data;
    if (!fHandlers.Append(handler))
        delete handler;
}

void CXGenericEventContextManual::RemoveAt(uint64_t index)
{
    CXGenericEventHandler* handler = fHandlers[index];
    fHandlers.Remove(index);
    if (fInPass) {
        if (index < fPassIndex)
            --fPassIndex;
        else if (index == fPassIndex)
            fCurrentRemoved = true;
        // The handler may be the one running now: free it after the pass.
        fRetired.push_back(handler);
    } else {
        delete handler;
    }
}

template <class Match>
void CXGenericEventContextManual::RemoveMatching(Match match)
{
    CXRecursiveMutexLocker lock(&fLock);
    for (uint64_t i = fHandlers.count(); i-- > 0;)
        if (match(fHandlers[i]))
            RemoveAt(i);
}

void CXGenericEventContextManual::RemoveHandler(const CXGenericEventRef& ref, void* owner)
{
    CXGenericEvent* event = ref.GetEvent();
    RemoveMatching([&](CXGenericEventHandler* h) { return h->owner == owner && h->ref.GetEvent() == event; });
}

void CXGenericEventContextManual::RemoveHandlers(void* owner, CXGenericEventHandlerFunction function, void* data)
{
    RemoveMatching([&](CXGenericEventHandler* h) { return h->owner == owner && h->function == function && h->data == data; });
}

void CXGenericEventContextManual::RemoveHandlers(void* owner)
{
    RemoveMatching([&](CXGenericEventHandler* h) { return h->owner == owner; });
}

uint64_t CXGenericEventContextManual::GetHandlerCount()
{
    CXRecursiveMutexLocker lock(&fLock);
    return fHandlers.count();
}

void CXGenericEventContextManual::Idle()
{
    uint64_t stamp = GetUniqueID();
    fLock.LockMutex();
    bool nested = fInPass;
    uint64_t savedIndex = fPassIndex;
    bool savedRemoved = fCurrentRemoved;
    fInPass = true;
    fPassIndex = 0;
    fCurrentRemoved = false;
    while (fPassIndex < fHandlers.count()) {
        CXGenericEventHandler* handler = fHandlers[fPassIndex];
        if (!handler->ref.IsSet(&fLastPassStamp)) {
            ++fPassIndex;
            continue;
        }
        int result = 0;
        if (handler->function != nullptr)
            result = handler->function(handler->owner, handler->data, handler);
        else if (handler->callable)
            result = handler->callable();
        else
            CXDebugError("CXGenericEventContextManual::Idle> handler without a callback");
        if (fCurrentRemoved) {
            fCurrentRemoved = false;
            continue;
        }
        if (result == 1) {
            ++fPassIndex;
        } else {
            RemoveAt(fPassIndex);
            fCurrentRemoved = false;
        }
    }
    if (!nested) {
        fInPass = false;
        for (CXGenericEventHandler* retired : fRetired)
            delete retired;
        fRetired.clear();
    } else {
        fPassIndex = savedIndex;
        fCurrentRemoved = savedRemoved;
    }
    fLock.UnlockMutex();
    fLastPassStamp = stamp;
}

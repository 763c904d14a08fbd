#include "foundation/CXGenericEvent.h"

#include "foundation/CXDebug.h"

CXRecursiveMutex& CXGenericEventLock()
{
    // Never destroyed: events may die in static destructors at exit.
    static CXRecursiveMutex* lock = new CXRecursiveMutex;
    return *lock;
}

namespace {

// The global lock is created before main runs.
[[maybe_unused]] CXRecursiveMutex& gEarlyGenericEventLock = CXGenericEventLock();

} // namespace

CXGenericEvent::~CXGenericEvent()
{
    DetachAllRefs();
}

void CXGenericEvent::DetachAllRefs()
{
    CXRecursiveMutexLocker lock(&CXGenericEventLock());
    while (!fRefs.IsEmpty()) {
        CXGenericEventRef* ref = static_cast<CXGenericEventRef*>(fRefs.first());
        fRefs.Remove(*ref);
        ref->fEvent = nullptr;
    }
}

CXGenericEventRef::CXGenericEventRef(CXGenericEvent* event)
{
    CXRecursiveMutexLocker lock(&CXGenericEventLock());
    AttachLocked(event);
}

CXGenericEventRef::CXGenericEventRef(const CXGenericEventRef& other)
    : CXLinkedListNode()
{
    CXRecursiveMutexLocker lock(&CXGenericEventLock());
    AttachLocked(other.fEvent);
}

CXGenericEventRef& CXGenericEventRef::operator=(const CXGenericEventRef& other)
{
    if (&other == this)
        return *this;
    CXRecursiveMutexLocker lock(&CXGenericEventLock());
    CXGenericEvent* event = other.fEvent;
    if (fEvent != nullptr) {
        fEvent->fRefs.Remove(*this);
        fEvent = nullptr;
    }
    AttachLocked(event);
    return *this;
}

CXGenericEventRef::~CXGenericEventRef()
{
    Detach();
}

void CXGenericEventRef::AttachLocked(CXGenericEvent* event)
{
    if (event == nullptr)
        return;
    event->fRefs.InsertLast(*this);
    if (list() == &event->fRefs)
        fEvent = event;
}

void CXGenericEventRef::Detach()
{
    CXRecursiveMutexLocker lock(&CXGenericEventLock());
    if (fEvent != nullptr) {
        fEvent->fRefs.Remove(*this);
        fEvent = nullptr;
    }
}

bool CXGenericEventRef::IsSet(const uint64_t* stamp) const
{
    CXRecursiveMutexLocker lock(&CXGenericEventLock());
    if (fEvent == nullptr)
        return true;
    return stamp != nullptr ? fEvent->IsSet(stamp) : fEvent->IsSet();
}

bool CXGenericEventRef::IsEmpty() const
{
    return GetEvent() == nullptr;
}

CXGenericEvent* CXGenericEventRef::GetEvent() const
{
    CXRecursiveMutexLocker lock(&CXGenericEventLock());
    return fEvent;
}

CXGenericEventSource::~CXGenericEventSource()
{
    DeleteEvents();
}

CXGenericEvent* CXGenericEventSource::CreateEvent(int condition)
{
    (void)condition;
    return new CXGenericEvent;
}

CXGenericEventRef CXGenericEventSource::GetPrimaryEvent()
{
    CXRecursiveMutexLocker lock(&CXGenericEventLock());
    if (fEvents.count() == 0) {
        CXGenericEvent* event = CreateEvent(0);
        if (event == nullptr)
            return CXGenericEventRef();
        if (!fEvents.Append(event)) {
            delete event;
            return CXGenericEventRef();
        }
    }
    return CXGenericEventRef(fEvents[0]);
}

void CXGenericEventSource::DeleteEvents()
{
    CXRecursiveMutexLocker lock(&CXGenericEventLock());
    while (fEvents.count() != 0) {
        CXGenericEvent* event = fEvents[0];
        fEvents.Remove(static_cast<uint64_t>(0));
        delete event;
    }
}

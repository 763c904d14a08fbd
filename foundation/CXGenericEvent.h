#pragma once

#include "foundation/CXArray.h"
#include "foundation/CXLinkedList.h"
#include "foundation/CXMutex.h"
#include "foundation/CXReferenceCount.h"

#include <atomic>
#include <cstdint>

class CXGenericEventRef;

// The one process-wide recursive lock that guards every link between events and refs and every
// test made through a ref.
CXRecursiveMutex& CXGenericEventLock();

// A testable condition. Nothing here blocks: events are polled.
class CXGenericEvent : private CXNonCopyable {
public:
    CXGenericEvent() = default;
    // Detaches every ref still attached; they read as empty (set) afterwards.
    virtual ~CXGenericEvent();

    virtual bool IsSet() { return true; }
    // The test against a reference stamp (the last pass of the watching context).
    virtual bool IsSet(const uint64_t* stamp)
    {
        (void)stamp;
        return IsSet();
    }

    void DetachAllRefs();

private:
    friend class CXGenericEventRef;
    CXLinkedListHead fRefs;
};

// A handle to an event that survives the event's death: once the event is gone the ref is empty,
// and an empty ref reads as set.
class CXGenericEventRef : public CXLinkedListNode {
public:
    CXGenericEventRef() = default;
    explicit CXGenericEventRef(CXGenericEvent* event);
    CXGenericEventRef(const CXGenericEventRef& other);
    CXGenericEventRef& operator=(const CXGenericEventRef& other);
    virtual ~CXGenericEventRef();

    void Detach();
    // True for an empty ref; otherwise the event's test, made under the event lock.
    bool IsSet(const uint64_t* stamp = nullptr) const;
    bool IsEmpty() const;
    CXGenericEvent* GetEvent() const;

    bool operator==(const CXGenericEventRef& other) const { return GetEvent() == other.GetEvent(); }

private:
    friend class CXGenericEvent;
    void AttachLocked(CXGenericEvent* event);

    CXGenericEvent* fEvent = nullptr;
};

// Set while a watched byte differs from its inactive value. The byte is read atomically, so the
// thread that owns it may change it at any time.
class CXGenericEventBoolVariable : public CXGenericEvent {
public:
    CXGenericEventBoolVariable(const std::atomic<uint8_t>* variable, uint8_t inactive) : fVariable(variable), fInactive(inactive) {}
    bool IsSet() override { return fVariable->load(std::memory_order_acquire) != fInactive; }

private:
    const std::atomic<uint8_t>* fVariable;
    uint8_t fInactive;
};

// Set while a function of user data says so.
class CXGenericEventPredicate : public CXGenericEvent {
public:
    using Function = bool (*)(void* data);
    CXGenericEventPredicate(Function function, void* data) : fFunction(function), fData(data) {}
    bool IsSet() override { return fFunction(fData); }

private:
    Function fFunction;
    void* fData;
};

// Set while a watched 64-bit stamp is not 0; against a reference stamp, set when the watched
// stamp is newer.
class CXGenericEventTimestampVariable : public CXGenericEvent {
public:
    explicit CXGenericEventTimestampVariable(const std::atomic<uint64_t>* stamp) : fStamp(stamp) {}
    bool IsSet() override { return fStamp->load(std::memory_order_acquire) != 0; }
    bool IsSet(const uint64_t* stamp) override { return *stamp < fStamp->load(std::memory_order_acquire); }

private:
    const std::atomic<uint64_t>* fStamp;
};

// Base of objects that hand out events for numbered conditions. The events are made on demand by
// CreateEvent and owned by the source.
class CXGenericEventSource : private CXNonCopyable {
public:
    CXGenericEventSource() = default;
    virtual ~CXGenericEventSource();

    // The event of a condition; the base gives a plain event (always set). Null is allowed.
    virtual CXGenericEvent* CreateEvent(int condition);

    // A ref to the source's first event, made by CreateEvent(0) on first use; empty when the
    // factory gives none.
    CXGenericEventRef GetPrimaryEvent();
    // Deletes the events from the front until none is left.
    void DeleteEvents();

private:
    Array<CXGenericEvent*> fEvents;
};

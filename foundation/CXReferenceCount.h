#pragma once

#include "foundation/CXDebug.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// Empty marker base that forbids copying.
class CXNonCopyable {
protected:
    CXNonCopyable() = default;
    ~CXNonCopyable() = default;

public:
    CXNonCopyable(const CXNonCopyable&) = delete;
    CXNonCopyable& operator=(const CXNonCopyable&) = delete;
};

// The process-wide reference locks. Lock order: an object's own lock, then the handle lock, then
// one count stripe; a stripe is a leaf. Objects are destroyed and payloads freed only after all
// of them are released. The locks are made on first use and never destroyed.
void InitReferenceCountLocks();

// Index of the count stripe that guards the counter at an address.
inline unsigned CXReferenceStripeIndex(const void* address)
{
    uintptr_t a = reinterpret_cast<uintptr_t>(address);
    return static_cast<unsigned>(((a >> 12) ^ (a >> 3) ^ (a >> 7)) & 15);
}

std::mutex& CXReferenceStripe(const void* address);
std::recursive_mutex& CXHandleLockMutex();

// Holds the process-wide handle lock, which serialises every read-and-reference of a shared
// handle (CXString, CXAutoReference) against every store into a handle.
class CXHandleLockScope {
public:
    CXHandleLockScope() : fMutex(CXHandleLockMutex()) { fMutex.lock(); }
    ~CXHandleLockScope() { fMutex.unlock(); }
    CXHandleLockScope(const CXHandleLockScope&) = delete;
    CXHandleLockScope& operator=(const CXHandleLockScope&) = delete;

private:
    std::recursive_mutex& fMutex;
};

// The header word of a shared payload block: the reference count in bits 8-63 and the id of the
// allocator that frees the block in bits 0-7. It must be the first field of the block.
struct ReferenceCount {
    static constexpr uint64_t kOne = 256;

    uint64_t word;

    // Count 1, allocator 2. Makes the reference locks and the default allocator on first use.
    ReferenceCount();

    void AddReference();
    // Drops one reference; frees the whole block through its allocator when the count reaches 0.
    // An underflow is reported and the block is not freed.
    void RemoveReference();
    uint64_t GetCount() const;
};

// Base of intrusively reference-counted objects. The count starts at 1 (the creator's reference,
// usually adopted with CXAutoReference::Swallow); the object deletes itself when it drops to 0.
class DynamicReferenceCount : private CXNonCopyable {
public:
    DynamicReferenceCount();
    virtual ~DynamicReferenceCount();

    // Deletes the object; a subclass may dispose of itself differently.
    virtual void DeleteThis();

    // Does nothing once the count reached 0 (the object is being destroyed).
    void AddReference();
    // A count of 0 is left alone; going from 1 to 0 calls DeleteThis outside every lock.
    void RemoveReference();
    uint32_t GetReferenceCount() const;

private:
    uint32_t fCount = 1;
};

// A lighter intrusive count for callback objects, changed with atomic operations instead of the
// stripes. Starts at 1.
class CXLightReferenceCount {
public:
    virtual ~CXLightReferenceCount() = default;
    void AddReference() { fCount.fetch_add(1, std::memory_order_relaxed); }
    void RemoveReference()
    {
        if (fCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }
    uint32_t GetReferenceCount() const { return fCount.load(std::memory_order_relaxed); }

protected:
    CXLightReferenceCount() = default;

private:
    std::atomic<uint32_t> fCount{1};
};

// Owning handle of a CXLightReferenceCount object. Assignment references the new object before
// it releases the old one.
template <class T>
class CXLightReference {
public:
    CXLightReference() = default;
    CXLightReference(const CXLightReference& other) : fObject(other.fObject)
    {
        if (fObject != nullptr)
            fObject->AddReference();
    }
    CXLightReference& operator=(const CXLightReference& other)
    {
        T* old = fObject;
        if (other.fObject != nullptr)
            other.fObject->AddReference();
        fObject = other.fObject;
        if (old != nullptr)
            old->RemoveReference();
        return *this;
    }
    ~CXLightReference()
    {
        if (fObject != nullptr)
            fObject->RemoveReference();
    }
    // Adopts a new object without adding a reference.
    void Swallow(T* object)
    {
        T* old = fObject;
        fObject = object;
        if (old != nullptr)
            old->RemoveReference();
    }
    T* get() const { return fObject; }
    T* operator->() const { return fObject; }
    explicit operator bool() const { return fObject != nullptr; }

private:
    T* fObject = nullptr;
};

// Owning handle of a DynamicReferenceCount object. Copies and stores take the handle lock, so one
// thread may copy a handle while another assigns to it.
template <class T>
class CXAutoReference {
public:
    CXAutoReference() = default;

    CXAutoReference(const CXAutoReference& other)
    {
        if (other.fObject.load(std::memory_order_relaxed) == nullptr)
            return;
        CXHandleLockScope lock;
        T* object = other.fObject.load(std::memory_order_relaxed);
        if (object != nullptr)
            object->AddReference();
        fObject.store(object, std::memory_order_relaxed);
    }

    CXAutoReference(CXAutoReference&& other) noexcept
    {
        CXHandleLockScope lock;
        fObject.store(other.fObject.exchange(nullptr, std::memory_order_relaxed), std::memory_order_relaxed);
    }

    CXAutoReference& operator=(const CXAutoReference& other)
    {
        T* old;
        {
            CXHandleLockScope lock;
            old = fObject.load(std::memory_order_relaxed);
            T* object = other.fObject.load(std::memory_order_relaxed);
            if (object != nullptr)
                object->AddReference();
            fObject.store(object, std::memory_order_relaxed);
        }
        if (old != nullptr)
            old->RemoveReference();
        return *this;
    }

    CXAutoReference& operator=(CXAutoReference&& other) noexcept
    {
        if (&other == this || fObject.load(std::memory_order_relaxed) == other.fObject.load(std::memory_order_relaxed))
            return *this;
        T* old;
        {
            CXHandleLockScope lock;
            old = fObject.load(std::memory_order_relaxed);
            fObject.store(other.fObject.exchange(nullptr, std::memory_order_relaxed), std::memory_order_relaxed);
        }
        if (old != nullptr)
            old->RemoveReference();
        return *this;
    }

    ~CXAutoReference()
    {
        T* object = fObject.load(std::memory_order_relaxed);
        if (object != nullptr)
            object->RemoveReference();
    }

    // Adopts an object without adding a reference (right after new, whose count is already 1).
    void Swallow(T* object)
    {
        if ((reinterpret_cast<uintptr_t>(object) & 3) != 0)
            CXDebugError("CXAutoReference::Swallow(T*)> bad object pointer");
        Store(object);
    }

    // Stores an object and adds a reference to it.
    void Reference(T* object)
    {
        if ((reinterpret_cast<uintptr_t>(object) & 3) != 0)
            CXDebugError("CXAutoReference::Reference(T*)> bad object pointer");
        if (object != nullptr)
            object->AddReference();
        Store(object);
    }

    void Clear() { Store(nullptr); }

    T* get() const { return fObject.load(std::memory_order_relaxed); }
    explicit operator bool() const { return get() != nullptr; }

    T* operator->() const
    {
        T* object = get();
        if (object == nullptr)
            CXDebugError("CXAutoReference::operator->> Dereferenced NULL CXAutoReference");
        return object;
    }

    T& operator*() const
    {
        T* object = get();
        if (object == nullptr)
            CXDebugError("CXAutoReference::operator*> Dereferenced NULL CXAutoReference");
        return *object;
    }

    friend bool operator==(const CXAutoReference& a, const CXAutoReference& b) { return a.get() == b.get(); }

private:
    void Store(T* object)
    {
        T* old;
        {
            CXHandleLockScope lock;
            old = fObject.exchange(object, std::memory_order_relaxed);
        }
        if (old != nullptr)
            old->RemoveReference();
    }

    std::atomic<T*> fObject{nullptr};
};

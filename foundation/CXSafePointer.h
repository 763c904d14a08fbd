#pragma once

#include <atomic>

class CXSafePointerTarget;

// A node of a target's ring of safe pointers.
struct CXSafePointerLink {
    CXSafePointerLink* next;
    CXSafePointerLink* prev;
    class CXSafePointerBase* owner; // null for the target's own node
};

// Untyped part of CXSafePointer: the target and the ring links.
class CXSafePointerBase {
public:
    // Reads as null once the target died.
    CXSafePointerTarget* GetTarget() const { return fTarget.load(std::memory_order_acquire); }

protected:
    CXSafePointerBase() = default;
    CXSafePointerBase(const CXSafePointerBase& other);
    CXSafePointerBase& operator=(const CXSafePointerBase& other);
    ~CXSafePointerBase();

    void Set(CXSafePointerTarget* target);

private:
    friend class CXSafePointerTarget;
    void Unlink();

    std::atomic<CXSafePointerTarget*> fTarget{nullptr};
    CXSafePointerLink fLink{nullptr, nullptr, this};
};

// Base of objects that safe pointers may point to. Its death clears every safe pointer to it.
class CXSafePointerTarget {
public:
    CXSafePointerTarget();
    // A copy is a new target with no pointers of its own.
    CXSafePointerTarget(const CXSafePointerTarget&);
    CXSafePointerTarget& operator=(const CXSafePointerTarget&) { return *this; }
    virtual ~CXSafePointerTarget();

    // Points the pointer at the target (null clears it) and links it into the target's ring. A
    // pointer that is still linked elsewhere is reported and unlinked first.
    static void ChainPointer(CXSafePointerBase& pointer, CXSafePointerTarget* target);

    // Number of safe pointers linked to this target.
    int CountPointers() const;

private:
    friend class CXSafePointerBase;
    CXSafePointerLink fRing;
};

// Non-owning link to a T (which derives from CXSafePointerTarget). Copies link themselves to the
// same target; the link reads as null once the target is destroyed.
template <class T>
class CXSafePointer : public CXSafePointerBase {
public:
    CXSafePointer() = default;
    CXSafePointer(T* target) { Set(target); }
    CXSafePointer(const CXSafePointer& other) : CXSafePointerBase(other) {}
    CXSafePointer(CXSafePointer&& other) : CXSafePointerBase(other) { other.Set(nullptr); }
    CXSafePointer& operator=(const CXSafePointer& other)
    {
        CXSafePointerBase::operator=(other);
        return *this;
    }
    CXSafePointer& operator=(CXSafePointer&& other)
    {
        if (&other != this) {
            CXSafePointerBase::operator=(other);
            other.Set(nullptr);
        }
        return *this;
    }
    CXSafePointer& operator=(T* target)
    {
        Set(target);
        return *this;
    }

    T* get() const { return static_cast<T*>(GetTarget()); }
    T* operator->() const { return get(); }
    explicit operator bool() const { return GetTarget() != nullptr; }
};

#include "foundation/CXSafePointer.h"

#include "foundation/CXDebug.h"

#include <cstdint>
#include <mutex>

namespace {

// One lock for every ring, made before main runs.
std::mutex gSafePointerLock;

CXSafePointerLink* const kDeadLink = reinterpret_cast<CXSafePointerLink*>(static_cast<uintptr_t>(0xDEADBEEF));

void UnlinkLocked(CXSafePointerLink& link)
{
    link.next->prev = link.prev;
    link.prev->next = link.next;
    link.next = nullptr;
    link.prev = nullptr;
}

void LinkAfterLocked(CXSafePointerLink& ring, CXSafePointerLink& link)
{
    link.prev = &ring;
    link.next = ring.next;
    ring.next->prev = &link;
    ring.next = &link;
}

} // namespace

CXSafePointerTarget::CXSafePointerTarget()
    : fRing{&fRing, &fRing, nullptr}
{
}

CXSafePointerTarget::CXSafePointerTarget(const CXSafePointerTarget&)
    : fRing{&fRing, &fRing, nullptr}
{
}

CXSafePointerTarget::~CXSafePointerTarget()
{
    {
        std::lock_guard<std::mutex> lock(gSafePointerLock);
        while (fRing.next != &fRing) {
            CXSafePointerLink* link = fRing.next;
            CXSafePointerBase* pointer = link->owner;
            UnlinkLocked(*link);
            pointer->fTarget.store(nullptr, std::memory_order_release);
        }
    }
    fRing.next = kDeadLink;
    fRing.prev = kDeadLink;
}

void CXSafePointerTarget::ChainPointer(CXSafePointerBase& pointer, CXSafePointerTarget* target)
{
    if (pointer.GetTarget() != nullptr) {
        CXDebugError("CXSafePointerTarget::ChainPointer> bad param");
        pointer.Unlink();
    }
    std::lock_guard<std::mutex> lock(gSafePointerLock);
    pointer.fTarget.store(target, std::memory_order_release);
    if (target != nullptr)
        LinkAfterLocked(target->fRing, pointer.fLink);
}

int CXSafePointerTarget::CountPointers() const
{
    std::lock_guard<std::mutex> lock(gSafePointerLock);
    int n = 0;
    for (const CXSafePointerLink* link = fRing.next; link != &fRing; link = link->next)
        ++n;
    return n;
}

CXSafePointerBase::CXSafePointerBase(const CXSafePointerBase& other)
{
    std::lock_guard<std::mutex> lock(gSafePointerLock);
    CXSafePointerTarget* target = other.fTarget.load(std::memory_order_acquire);
    fTarget.store(target, std::memory_order_release);
    if (target != nullptr)
        LinkAfterLocked(target->fRing, fLink);
}

CXSafePointerBase& CXSafePointerBase::operator=(const CXSafePointerBase& other)
{
    if (&other == this)
        return *this;
    std::lock_guard<std::mutex> lock(gSafePointerLock);
    if (fTarget.load(std::memory_order_acquire) != nullptr)
        UnlinkLocked(fLink);
    CXSafePointerTarget* target = other.fTarget.load(std::memory_order_acquire);
    fTarget.store(target, std::memory_order_release);
    if (target != nullptr)
        LinkAfterLocked(target->fRing, fLink);
    return *this;
}

CXSafePointerBase::~CXSafePointerBase()
{
    Unlink();
}

void CXSafePointerBase::Set(CXSafePointerTarget* target)
{
    Unlink();
    CXSafePointerTarget::ChainPointer(*this, target);
}

void CXSafePointerBase::Unlink()
{
    // A pointer whose target already died is on no ring: nothing to lock.
    if (fTarget.load(std::memory_order_acquire) == nullptr)
        return;
    std::lock_guard<std::mutex> lock(gSafePointerLock);
    if (fTarget.load(std::memory_order_acquire) != nullptr) {
        UnlinkLocked(fLink);
        fTarget.store(nullptr, std::memory_order_release);
    }
}

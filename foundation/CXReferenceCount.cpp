#include "foundation/CXReferenceCount.h"

#include "foundation/CXMemory.h"

namespace {

struct ReferenceLocks {
    std::mutex stripes[16];
    std::recursive_mutex handleLock;
};

ReferenceLocks& Locks()
{
    // Made once, never destroyed: handles may be released by static destructors at exit.
    static ReferenceLocks* locks = new ReferenceLocks;
    return *locks;
}

} // namespace

void InitReferenceCountLocks()
{
    (void)Locks();
}

std::mutex& CXReferenceStripe(const void* address)
{
    return Locks().stripes[CXReferenceStripeIndex(address)];
}

std::recursive_mutex& CXHandleLockMutex()
{
    return Locks().handleLock;
}

ReferenceCount::ReferenceCount()
    : word(kOne | CXAllocatorSet::kDefaultAllocatorID)
{
    InitReferenceCountLocks();
    CXAllocatorSet::EnsureDefaultAllocator();
}

void ReferenceCount::AddReference()
{
    std::lock_guard<std::mutex> lock(CXReferenceStripe(this));
    word += kOne;
}

void ReferenceCount::RemoveReference()
{
    bool underflow = false;
    bool free = false;
    {
        std::lock_guard<std::mutex> lock(CXReferenceStripe(this));
        if (word < kOne)
            underflow = true;
        else {
            word -= kOne;
            free = word < kOne;
        }
    }
    if (underflow)
        CXDebugError("ReferenceCount::RemoveReference> Reference-count underflow");
    if (free)
        CXAllocator_Dealloc(this);
}

uint64_t ReferenceCount::GetCount() const
{
    std::lock_guard<std::mutex> lock(CXReferenceStripe(this));
    return word >> 8;
}

DynamicReferenceCount::DynamicReferenceCount()
{
    InitReferenceCountLocks();
}

DynamicReferenceCount::~DynamicReferenceCount()
{
    uint32_t count = GetReferenceCount();
    if (count > 1)
        CXDebugError("~DynamicReferenceCount> bad referenceCount (%d) on %p", static_cast<int>(count), static_cast<void*>(this));
}

void DynamicReferenceCount::DeleteThis()
{
    delete this;
}

void DynamicReferenceCount::AddReference()
{
    std::lock_guard<std::mutex> lock(CXReferenceStripe(this));
    if (fCount != 0)
        ++fCount;
}

void DynamicReferenceCount::RemoveReference()
{
    bool last = false;
    {
        std::lock_guard<std::mutex> lock(CXReferenceStripe(this));
        if (fCount != 0) {
            last = fCount == 1;
            --fCount;
        }
    }
    if (last)
        DeleteThis();
}

uint32_t DynamicReferenceCount::GetReferenceCount() const
{
    std::lock_guard<std::mutex> lock(CXReferenceStripe(this));
    return fCount;
}

#include "foundation/CXDebug.h"
#include "foundation/CXMemory.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXSafePointer.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

std::atomic<int> gLiveObjects{0};

class Counted : public DynamicReferenceCount {
public:
    explicit Counted(int v) : value(v) { ++gLiveObjects; }
    ~Counted() override { --gLiveObjects; }
    int value;
};

TEST(CXReferenceCountTest, StripeFormulaUsesBits3To15)
{
    struct Case {
        uintptr_t address;
        unsigned stripe;
    };
    const Case cases[] = {
        {0x0, 0},
        {0x8, 1},        // bit 3
        {0x80, 1},       // bit 7
        {0x88, 0},       // bits 3 and 7 cancel
        {0x1000, 1},     // bit 12
        {0x40, 8},       // bit 6 through a >> 3
        {0x400, 8},      // bit 10 through a >> 7, bit 10 through a >> 3 gone (0x80 & 15 = 0)
        {0x7, 0},        // bits 0-2 never count
        {0x10000, 0},    // bit 16 falls outside every term's low four bits
        {0xF000, 15},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CXReferenceStripeIndex(reinterpret_cast<void*>(c.address)), c.stripe) << std::hex << c.address;
    // Addresses that differ only in bits 0-2 always share a stripe.
    for (uintptr_t base = 0; base < 0x20000; base += 0x1238)
        for (uintptr_t low = 0; low < 8; ++low)
            EXPECT_EQ(CXReferenceStripeIndex(reinterpret_cast<void*>(base & ~uintptr_t(7))),
                      CXReferenceStripeIndex(reinterpret_cast<void*>((base & ~uintptr_t(7)) | low)));
}

TEST(CXReferenceCountTest, DynamicCountLifecycle)
{
    CXDebugCapture capture;
    {
        CXAutoReference<Counted> a;
        a.Swallow(new Counted(5));
        EXPECT_EQ(a->GetReferenceCount(), 1u);
        CXAutoReference<Counted> b(a);
        EXPECT_EQ(a->GetReferenceCount(), 2u);
        CXAutoReference<Counted>& alias = b;
        b = alias;
        EXPECT_EQ(a->GetReferenceCount(), 2u) << "self-assignment keeps the count";
        CXAutoReference<Counted> c;
        c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(a->GetReferenceCount(), 2u);
        c.Reference(a.get());
        EXPECT_EQ(a->GetReferenceCount(), 2u);
        EXPECT_EQ(gLiveObjects.load(), 1);
    }
    EXPECT_EQ(gLiveObjects.load(), 0);
    EXPECT_TRUE(capture.Lines().empty());
}

TEST(CXReferenceCountTest, DestructionReports)
{
    CXDebugCapture capture;
    delete new Counted(1); // count 1: destroyed directly, never shared
    EXPECT_TRUE(capture.Lines().empty());

    Counted* shared = new Counted(3);
    shared->AddReference();
    shared->AddReference();
    char expected[128];
    snprintf(expected, sizeof expected, "~DynamicReferenceCount> bad referenceCount (3) on %p", static_cast<void*>(shared));
    delete shared;
    EXPECT_EQ(capture.Count(expected), 1u);
}

class Dying : public DynamicReferenceCount {
public:
    // A reference taken while the object is being destroyed must not revive it.
    void DeleteThis() override
    {
        AddReference();
        EXPECT_EQ(GetReferenceCount(), 0u);
        delete this;
    }
};

TEST(CXReferenceCountTest, AddReferenceAtZeroStaysZero)
{
    Dying* d = new Dying;
    d->RemoveReference();
}

TEST(CXReferenceCountTest, NullHandleDereferenceIsReported)
{
    CXDebugCapture capture;
    CXAutoReference<Counted> empty;
    EXPECT_EQ(empty.operator->(), nullptr);
    EXPECT_EQ(capture.Count("CXAutoReference::operator->> Dereferenced NULL CXAutoReference"), 1u);
}

// Several threads copy and reassign a handful of shared handles at once; afterwards every object
// must be destroyed exactly when its last handle goes.
TEST(CXReferenceCountTest, ConcurrentCopyAndAssign)
{
    {
        std::vector<CXAutoReference<Counted>> sources(3);
        for (int i = 0; i < 3; ++i)
            sources[i].Swallow(new Counted(i));
        std::vector<CXAutoReference<Counted>> shared(4);
        for (int i = 0; i < 4; ++i)
            shared[i] = sources[i % 3];

        std::atomic<int> bad{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < 20000; ++i) {
                    if ((i + t) % 2 == 0) {
                        shared[(i + t) % 4] = sources[(i * 5 + t) % 3];
                    } else {
                        CXAutoReference<Counted> copy(shared[(i + t) % 4]);
                        if (!copy || copy->value < 0 || copy->value > 2)
                            bad.fetch_add(1);
                    }
                }
            });
        for (auto& thread : threads)
            thread.join();
        EXPECT_EQ(bad.load(), 0);
        uint32_t total = 0;
        for (auto& s : sources)
            total += s->GetReferenceCount();
        EXPECT_EQ(total, 3u + 4u);
        EXPECT_EQ(gLiveObjects.load(), 3);
    }
    EXPECT_EQ(gLiveObjects.load(), 0);
}

TEST(CXReferenceCountTest, PayloadCountUnderflowIsReportedNotFreed)
{
    void* block = std::malloc(32);
    ReferenceCount* ref = new (block) ReferenceCount;
    EXPECT_EQ(ref->word, 258u);
    ref->AddReference();
    EXPECT_EQ(ref->GetCount(), 2u);
    ref->RemoveReference();
    EXPECT_EQ(ref->GetCount(), 1u);
    // Take the count to zero by hand, so the block survives the next release.
    ref->word = 2;
    CXDebugCapture capture;
    ref->RemoveReference();
    EXPECT_EQ(capture.Count("ReferenceCount::RemoveReference> Reference-count underflow"), 1u);
    std::free(block);
}

TEST(CXReferenceCountTest, AllocatorSet)
{
    CXAllocatorSet::EnsureDefaultAllocator();
    CXDebugCapture capture;
    CXAllocatorSet::RegisterDefaultAllocator();
    EXPECT_EQ(capture.Count("CXAllocatorSet> allocator ID conflict"), 1u);

    // ID 2 still frees payloads.
    void* block = std::malloc(32);
    new (block) ReferenceCount;
    static_cast<ReferenceCount*>(block)->RemoveReference();

    uint64_t foreign[4] = {(1u << 8) | 7, 0, 0, 0};
    CXAllocator_Dealloc(foreign);
    EXPECT_EQ(capture.Count("CXAllocator_Dealloc> no allocator for syskind 7"), 1u);
}

TEST(CXReferenceCountTest, ThreadSafetyScope)
{
    int object = 0;
    CXDebugCapture capture;
    {
        CXDebugThreadSafetyScope first(&object);
        EXPECT_EQ(capture.ErrorCount(), 0u);
        {
            CXDebugThreadSafetyScope second(&object);
            EXPECT_EQ(capture.Count("CXDebugThreadSafetyScope> thread safety check failed"), 1u);
        }
    }
    CXDebugThreadSafetyScope again(&object);
    EXPECT_EQ(capture.Count("CXDebugThreadSafetyScope> thread safety check failed"), 1u);
}

TEST(CXReferenceCountTest, CachedAllocReusesAndReportsLeftovers)
{
    void* a = CXCachedAlloc::Allocate(48);
    CXCachedAlloc::Free(a, 48);
    void* b = CXCachedAlloc::Allocate(48);
    EXPECT_EQ(a, b) << "a freed block is reused";
    CXDebugCapture capture;
    EXPECT_EQ(CXCachedAlloc::CheckAtExit(), 1u);
    EXPECT_EQ(capture.Count("~CXCachedAlloc> allocations of size 48 remain at shutdown"), 1u);
    CXCachedAlloc::Free(b, 48);
    EXPECT_EQ(CXCachedAlloc::CheckAtExit(), 0u);
}

class Target : public CXSafePointerTarget {
public:
    int value = 9;
};

TEST(CXSafePointerTest, PointersClearWhenTheTargetDies)
{
    Target* target = new Target;
    CXSafePointer<Target> a(target);
    CXSafePointer<Target> b(a);
    CXSafePointer<Target> c;
    c = b;
    EXPECT_EQ(target->CountPointers(), 3);
    EXPECT_EQ(c->value, 9);
    {
        CXSafePointer<Target> temporary(a);
        CXSafePointer<Target> moved(std::move(temporary));
        EXPECT_EQ(temporary.get(), nullptr);
        EXPECT_EQ(target->CountPointers(), 4);
    }
    EXPECT_EQ(target->CountPointers(), 3);
    delete target;
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(b.get(), nullptr);
    EXPECT_EQ(c.get(), nullptr);
    // Destroying, copying and re-pointing cleared pointers touches no ring.
    CXSafePointer<Target> d(a);
    EXPECT_EQ(d.get(), nullptr);
}

TEST(CXSafePointerTest, RepointingAndChaining)
{
    Target first;
    Target second;
    CXSafePointer<Target> p(&first);
    p = &second;
    EXPECT_EQ(first.CountPointers(), 0);
    EXPECT_EQ(second.CountPointers(), 1);
    CXDebugCapture capture;
    CXSafePointerTarget::ChainPointer(p, &first);
    EXPECT_EQ(capture.Count("CXSafePointerTarget::ChainPointer> bad param"), 1u);
    EXPECT_EQ(first.CountPointers(), 1);
    EXPECT_EQ(second.CountPointers(), 0);
    EXPECT_EQ(p.get(), &first);
    Target copy(first);
    EXPECT_EQ(copy.CountPointers(), 0) << "a copied target has no pointers of its own";
}

} // namespace

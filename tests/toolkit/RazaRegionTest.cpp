#include "toolkit/RazaRegion.h"

#include "win32/testing/Pixels.h"

#include <gtest/gtest.h>

namespace {

size_t LiveRegions()
{
    return win32::testing::LiveGdiObjects().regions;
}

// Which value a set operation's result shares: none (the empty region), an operand's, or a new
// one.
enum class Shares { kNothing, kFirst, kSecond, kNew };

TEST(RazaRegionTest, SetOperationsShareInsteadOfCombiningEmptyOperands)
{
    const RazaRegion none;
    const RazaRegion noArea(Box2i{10, 10, 10, 20});
    const RazaRegion a(Box2i{0, 0, 10, 10});
    const RazaRegion b(Box2i{5, 5, 20, 20});
    using Operation = RazaRegion (RazaRegion::*)(const RazaRegion&) const;
    struct Case {
        const char* name;
        Operation operation;
        const RazaRegion* first;
        const RazaRegion* second;
        Shares shares;
    };
    const Case cases[] = {
        {"a & none", &RazaRegion::Intersect, &a, &none, Shares::kNothing},
        {"none & a", &RazaRegion::Intersect, &none, &a, Shares::kNothing},
        {"a & no area", &RazaRegion::Intersect, &a, &noArea, Shares::kNothing},
        {"a & b", &RazaRegion::Intersect, &a, &b, Shares::kNew},
        {"a | none", &RazaRegion::Union, &a, &none, Shares::kFirst},
        {"none | a", &RazaRegion::Union, &none, &a, Shares::kSecond},
        {"no area | a", &RazaRegion::Union, &noArea, &a, Shares::kSecond},
        {"a | no area", &RazaRegion::Union, &a, &noArea, Shares::kFirst},
        {"none | no area", &RazaRegion::Union, &none, &noArea, Shares::kSecond},
        {"a | b", &RazaRegion::Union, &a, &b, Shares::kNew},
        {"a ^ none", &RazaRegion::Xor, &a, &none, Shares::kFirst},
        {"none ^ a", &RazaRegion::Xor, &none, &a, Shares::kSecond},
        {"a ^ b", &RazaRegion::Xor, &a, &b, Shares::kNew},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t before = LiveRegions();
        RazaRegion result = (c.first->*c.operation)(*c.second);
        const RazaRegion::RazaRegionInternal* internal = result.GetInternal();
        switch (c.shares) {
        case Shares::kNothing:
            EXPECT_EQ(internal, nullptr);
            break;
        case Shares::kFirst:
            EXPECT_EQ(internal, c.first->GetInternal());
            break;
        case Shares::kSecond:
            EXPECT_EQ(internal, c.second->GetInternal());
            break;
        case Shares::kNew:
            EXPECT_NE(internal, nullptr);
            EXPECT_NE(internal, c.first->GetInternal());
            EXPECT_NE(internal, c.second->GetInternal());
            break;
        }
        EXPECT_EQ(LiveRegions(), before + (c.shares == Shares::kNew ? 1 : 0));
    }
    // The operands are as they were.
    EXPECT_EQ(a.GetBounds(), (Box2i{0, 0, 10, 10, false}));
    EXPECT_EQ(b.GetBounds(), (Box2i{5, 5, 20, 20, false}));
}

TEST(RazaRegionTest, CombinedRegions)
{
    const RazaRegion a(Box2i{0, 0, 10, 10});
    const RazaRegion b(Box2i{5, 5, 20, 20});
    struct Probe {
        Vector2i point;
        bool inIntersection, inUnion, inXor;
    };
    const Probe probes[] = {
        {{0, 0}, false, true, true},     {{5, 5}, true, true, false},  {{9, 9}, true, true, false},
        {{10, 10}, false, true, true},   {{19, 19}, false, true, true}, {{20, 20}, false, false, false},
        {{2, 15}, false, false, false},  {{-1, 0}, false, false, false},
    };
    RazaRegion intersection = a.Intersect(b);
    RazaRegion both = a.Union(b);
    RazaRegion either = a.Xor(b);
    EXPECT_EQ(intersection.GetBounds(), (Box2i{5, 5, 10, 10, false}));
    EXPECT_EQ(both.GetBounds(), (Box2i{0, 0, 20, 20, false}));
    EXPECT_EQ(either.GetBounds(), (Box2i{0, 0, 20, 20, false}));
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << p.point.x << "," << p.point.y);
        EXPECT_EQ(intersection.Contains(p.point), p.inIntersection);
        EXPECT_EQ(both.Contains(p.point), p.inUnion);
        EXPECT_EQ(either.Contains(p.point), p.inXor);
    }
    // Disjoint boxes have no common part.
    EXPECT_FALSE(a.Intersect(RazaRegion(Box2i{10, 0, 20, 10})).IsNotEmpty());
}

TEST(RazaRegionTest, OffsetMakesANewRegionOnlyForAMove)
{
    const RazaRegion a(Box2i{10, 20, 30, 40});
    EXPECT_EQ(a.Offset({0, 0}).GetInternal(), a.GetInternal());
    RazaRegion moved = a.Offset({5, 0});
    EXPECT_NE(moved.GetInternal(), a.GetInternal());
    EXPECT_EQ(moved.GetBounds(), (Box2i{15, 20, 35, 40, false}));
    EXPECT_EQ(a.GetBounds(), (Box2i{10, 20, 30, 40, false}));
    const RazaRegion noArea(Box2i{3, 3, 3, 3});
    EXPECT_EQ(noArea.Offset({1, 1}).GetInternal(), noArea.GetInternal());
    EXPECT_EQ(RazaRegion().Offset({1, 1}).GetInternal(), nullptr);
}

TEST(RazaRegionTest, EmptyRegions)
{
    const RazaRegion none;
    const RazaRegion noArea(Box2i{10, 10, 10, 20});
    const RazaRegion inverted(Box2i{10, 10, 5, 20});
    for (const RazaRegion* region : {&none, &noArea, &inverted}) {
        EXPECT_FALSE(region->IsNotEmpty());
        EXPECT_EQ(region->GetBounds(), (Box2i{0, 0, 0, 0, true}));
        for (Vector2i point : {Vector2i{0, 0}, Vector2i{10, 10}, Vector2i{7, 15}})
            EXPECT_FALSE(region->Contains(point));
    }
    EXPECT_NE(noArea.GetInternal(), nullptr); // a box always makes a handle
    EXPECT_TRUE(RazaRegion(Box2i{0, 0, 1, 1}).IsNotEmpty());
}

TEST(RazaRegionTest, NativeHandleOfTheEmptyRegionIsMadeOnceAndKept)
{
    RazaRegion region;
    win32::HRGN handle = region.GetNativeHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(region.GetNativeHandle(), handle);
    win32::RECT bounds{};
    EXPECT_EQ(win32::GetRgnBox(handle, &bounds), win32::NULLREGION);
    EXPECT_FALSE(region.IsNotEmpty());

    RazaRegion box(Box2i{1, 2, 3, 4});
    RazaRegion copy = box;
    EXPECT_EQ(copy.GetNativeHandle(), box.GetNativeHandle());
}

TEST(RazaRegionTest, TheLastValueDeletesTheHandle)
{
    size_t before = LiveRegions();
    {
        RazaRegion a(Box2i{0, 0, 4, 4});
        RazaRegion copy = a;
        RazaRegion assigned;
        assigned = copy;
        EXPECT_EQ(assigned.GetInternal(), a.GetInternal());
        a = RazaRegion();
        EXPECT_EQ(LiveRegions(), before + 1);
        RazaRegion u = copy.Union(RazaRegion(Box2i{8, 8, 9, 9}));
        EXPECT_EQ(LiveRegions(), before + 2);
    }
    EXPECT_EQ(LiveRegions(), before);
}

} // namespace

#include "toolkit/ScrollAxisRef.h"

#include "foundation/CXDebug.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Every notification of every client, in order: "b:[0,50]/20" for a range, "b=30" for a position.
std::string gTrace;
int gDepth = 0;
int gDeepest = 0;

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A client that answers a fixed range and records what it is told. The hooks run at the end of
// each call, so a hook may destroy the client.
struct FakeClient : Scrollable {
    explicit FakeClient(std::string clientName, double low = 0, double high = 0, double extent = 0,
                        bool answers = true)
        : name(std::move(clientName)), minimum(low), maximum(high), page(extent), answersRange(answers)
    {}

    bool GetAxisRange(const ScrollAxisRef&, double& low, double& high, double& extent) override
    {
        ++queries;
        if (!answersRange)
            return false;
        low = minimum;
        high = maximum;
        extent = page;
        std::function<void(FakeClient&)> run = onQuery; // may destroy this client
        if (run)
            run(*this);
        return true;
    }
    void AxisRangeChanged(ScrollAxisRef& told) override
    {
        Enter();
        gTrace += " " + name + ":[" + Number(told.GetMinimum()) + "," + Number(told.GetMaximum()) + "]/" +
                  Number(told.GetPage());
        Leave(onRange);
    }
    void AxisPositionChanged(ScrollAxisRef& told) override
    {
        Enter();
        gTrace += " " + name + "=" + Number(told.GetPosition());
        Leave(onPosition);
    }

    void Enter()
    {
        ++gDepth;
        if (gDepth > gDeepest)
            gDeepest = gDepth;
    }
    void Leave(const std::function<void(FakeClient&)>& hook)
    {
        // Copied: the hook may destroy this client, and the hook with it.
        std::function<void(FakeClient&)> run = hook;
        if (run)
            run(*this);
        --gDepth;
    }

    std::string name;
    double minimum, maximum, page;
    bool answersRange;
    int queries = 0;
    std::function<void(FakeClient&)> onQuery, onRange, onPosition;
    ScrollAxisRef axis{this};
};

const char* NameOf(const ScrollAxisRef* axis)
{
    auto* client = static_cast<const FakeClient*>(axis->GetClient());
    return client != nullptr ? client->name.c_str() : "?";
}

// The ring from `start` as "a b c"; checks that the backward links mirror the forward ones.
std::string Ring(const ScrollAxisRef& start)
{
    std::string names;
    const ScrollAxisRef* member = &start;
    int count = 0;
    do {
        names += std::string(names.empty() ? "" : " ") + NameOf(member);
        EXPECT_EQ(member->GetNext()->GetPrevious(), member) << "after " << NameOf(member);
        member = member->GetNext();
    } while (member != &start && ++count < 100);
    return names;
}

// The axis holds the range, page and position given.
void ExpectAxis(const ScrollAxisRef& axis, double minimum, double maximum, double page, double position)
{
    SCOPED_TRACE(NameOf(&axis));
    EXPECT_EQ(axis.GetMinimum(), minimum);
    EXPECT_EQ(axis.GetMaximum(), maximum);
    EXPECT_EQ(axis.GetPage(), page);
    EXPECT_EQ(axis.GetPosition(), position);
}

class ScrollAxisRefTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    static void Reset()
    {
        gTrace.clear();
        gDepth = 0;
        gDeepest = 0;
    }
};

TEST_F(ScrollAxisRefTest, RingCasesTable)
{
    enum Action { kLink, kSetPosition, kScrollBy, kJoinSelf, kJoinMember, kDetachFirst };
    struct Range {
        bool answers;
        double minimum, maximum, page;
    };
    struct Case {
        const char* what;
        Range ranges[3];
        double alonePositions[3]; // set on each axis alone, before the ring is linked
        double ringPosition;      // set through a once linked (NaN: none)
        bool unclamped;           // on a
        Action action;
        double value;
        const char* ring;    // from b afterwards
        Range combined;      // on every member of b's ring
        double positions[3]; // a, b, c
        const char* trace;   // what the action told, in order
    };
    const Range none = {false, 0, 0, 0};
    const Case cases[] = {
        {"clients that all answer false give [0, 0]; a position set becomes 0",
         {none, none, none}, {0, 0, 0}, kNaN, false, kSetPosition, 25,
         "b c a", {true, 0, 0, 0}, {0, 0, 0}, ""},
        {"two ranges combine to the wider one and the larger page",
         {{true, -10, 50, 5}, {true, 0, 30, 20}, none}, {0, 0, 0}, kNaN, false, kLink, 0,
         "b c a", {true, -10, 50, 20}, {0, 0, 0}, " a:[-10,50]/20 b:[-10,50]/20 c:[-10,50]/20"},
        {"a range that leaves out 0 still holds it",
         {{true, 10, 50, 5}, none, none}, {0, 0, 0}, kNaN, false, kLink, 0,
         "b c a", {true, 0, 50, 5}, {0, 0, 0}, " b:[0,50]/5 c:[0,50]/5"},
        {"70 above a maximum of 50 stores 50; only members that moved are told",
         {{true, 0, 50, 0}, {true, 0, 50, 0}, none}, {0, 50, 0}, kNaN, false, kSetPosition, 70,
         "b c a", {true, 0, 50, 0}, {50, 50, 50}, " a=50 c=50"},
        {"a position below the minimum stores the minimum",
         {{true, -10, 50, 0}, none, none}, {0, 0, 0}, 20, false, kSetPosition, -70,
         "b c a", {true, -10, 50, 0}, {-10, -10, -10}, " a=-10 b=-10 c=-10"},
        {"scrolling by a delta clamps at the end",
         {{true, 0, 50, 0}, none, none}, {0, 0, 0}, 45, false, kScrollBy, 15,
         "b c a", {true, 0, 50, 0}, {50, 50, 50}, " a=50 b=50 c=50"},
        {"an unclamped axis stores 70 on every member",
         {{true, 0, 50, 0}, none, none}, {0, 0, 0}, kNaN, true, kSetPosition, 70,
         "b c a", {true, 0, 50, 0}, {70, 70, 70}, " a=70 b=70 c=70"},
        {"joining the ring with itself changes nothing",
         {{true, 0, 50, 0}, none, none}, {0, 0, 0}, 10, false, kJoinSelf, 0,
         "b c a", {true, 0, 50, 0}, {10, 10, 10}, ""},
        {"joining the ring with one of its members changes nothing",
         {{true, 0, 50, 0}, none, none}, {0, 0, 0}, 10, false, kJoinMember, 0,
         "b c a", {true, 0, 50, 0}, {10, 10, 10}, ""},
        {"after a detach the rest recombine without the detached range",
         {{true, -10, 50, 40}, {true, 0, 30, 20}, none}, {0, 0, 0}, kNaN, false, kDetachFirst, 0,
         "b c", {true, 0, 30, 20}, {0, 0, 0}, " b:[0,30]/20 c:[0,30]/20"},
        {"a detach that shrinks the range below the position moves it, range first",
         {{true, -10, 50, 40}, {true, 0, 30, 20}, none}, {0, 0, 0}, 45, false, kDetachFirst, 0,
         "b c", {true, 0, 30, 20}, {0, 30, 30}, " b:[0,30]/20 b=30 c:[0,30]/20 c=30"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto make = [&c](const char* name, int i) {
            const Range& range = c.ranges[i];
            return FakeClient(name, range.minimum, range.maximum, range.page, range.answers);
        };
        FakeClient clients[3] = {make("a", 0), make("b", 1), make("c", 2)};
        ScrollAxisRef& a = clients[0].axis;
        ScrollAxisRef& b = clients[1].axis;
        ScrollAxisRef& cc = clients[2].axis;
        for (int i = 0; i < 3; ++i) {
            clients[i].axis.Recompute();
            clients[i].axis.SetPosition(c.alonePositions[i]);
        }
        a.SetUnclamped(c.unclamped);
        if (c.action != kLink) {
            a.AddClient(&b);
            b.AddClient(&cc);
            if (!std::isnan(c.ringPosition))
                a.SetPosition(c.ringPosition);
        }
        Reset();

        switch (c.action) {
        case kLink:
            a.AddClient(&b);
            b.AddClient(&cc);
            break;
        case kSetPosition:
            a.SetPosition(c.value);
            break;
        case kScrollBy:
            a.ScrollBy(c.value);
            break;
        case kJoinSelf:
            a.AddClient(&a);
            break;
        case kJoinMember:
            b.AddClient(&a);
            cc.AddClient(&b);
            break;
        case kDetachFirst:
            a.DetachClient();
            break;
        }

        EXPECT_EQ(gTrace, c.trace);
        EXPECT_EQ(Ring(b), c.ring);
        const ScrollAxisRef* member = &b;
        do {
            SCOPED_TRACE(NameOf(member));
            EXPECT_EQ(member->GetMinimum(), c.combined.minimum);
            EXPECT_EQ(member->GetMaximum(), c.combined.maximum);
            EXPECT_EQ(member->GetPage(), c.combined.page);
            member = member->GetNext();
        } while (member != &b);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(clients[i].axis.GetPosition(), c.positions[i]) << clients[i].name;
    }
}


TEST_F(ScrollAxisRefTest, LinkingJoinsWholeRingsOnce)
{
    FakeClient a("a", 0, 50), b("b"), c("c", 0, 100), d("d");
    a.axis.AddClient(&b.axis);
    c.axis.AddClient(&d.axis);
    a.axis.SetPosition(10);
    c.axis.SetPosition(20);
    Reset();

    // Other's ring follows a, other first; only the members whose range grew are told, and
    // nobody's position moves.
    a.axis.AddClient(&c.axis);
    EXPECT_EQ(Ring(a.axis), "a c d b");
    EXPECT_EQ(gTrace, " a:[0,100]/0 b:[0,100]/0");
    ExpectAxis(b.axis, 0, 100, 0, 10);
    ExpectAxis(d.axis, 0, 100, 0, 20);

    // Joining two axes that already share a ring neither splits it nor tells anyone.
    Reset();
    b.axis.AddClient(&d.axis);
    d.axis.AddClient(&a.axis);
    EXPECT_EQ(Ring(a.axis), "a c d b");
    EXPECT_EQ(gTrace, "");

    CXDebugCapture capture;
    a.axis.AddClient(nullptr);
    EXPECT_EQ(capture.Count("ScrollAxisRef::AddClient> null reference"), 1u);
    EXPECT_EQ(Ring(a.axis), "a c d b");
}

TEST_F(ScrollAxisRefTest, AxisDestroyedWhileLinkedLeavesItsRing)
{
    FakeClient a("a", 0, 30), c("c");
    auto b = std::make_unique<FakeClient>("b", 0, 100);
    a.axis.AddClient(&b->axis);
    b->axis.AddClient(&c.axis);
    a.axis.SetPosition(80);
    Reset();

    b.reset(); // the owner never called DetachClient
    EXPECT_EQ(Ring(a.axis), "a c");
    EXPECT_EQ(gTrace, " c:[0,30]/0 c=30 a:[0,30]/0 a=30");

    Reset();
    a.axis.SetPosition(10);
    EXPECT_EQ(gTrace, " a=10 c=10");

    // Detaching first and destroying later tells nobody twice.
    auto e = std::make_unique<FakeClient>("e", 0, 60);
    a.axis.AddClient(&e->axis);
    e->axis.DetachClient();
    Reset();
    e.reset();
    EXPECT_EQ(gTrace, "");
    ExpectAxis(c.axis, 0, 30, 0, 10);
}

TEST_F(ScrollAxisRefTest, PositionHandlersThatChangeTheRing)
{
    // Four clients on [0, 100] in the ring a b c d; b's first position notification does
    // something, while a.SetPosition(20) is being told.
    using Clients = std::unique_ptr<FakeClient>[5];
    struct Case {
        const char* what;
        std::function<void(Clients&)> onB;
        const char* trace;
        const char* ring; // from a
        double positions[4];
    };
    const Case cases[] = {
        {"b unlinks itself", [](Clients& all) { all[1]->axis.Unlink(); },
         " a=20 b=20 c=20 d=20", "a c d", {20, 20, 20, 20}},
        {"b unlinks c, which still hears of the change it had", [](Clients& all) { all[2]->axis.Unlink(); },
         " a=20 b=20 c=20 d=20", "a b d", {20, 20, 20, 20}},
        {"b destroys c before it was told", [](Clients& all) { all[2].reset(); },
         " a=20 b=20 d=20", "a b d", {20, 20, kNaN, 20}},
        {"b destroys itself", [](Clients& all) { all[1].reset(); },
         " a=20 b=20 c=20 d=20", "a c d", {20, kNaN, 20, 20}},
        // c and d, still waiting, hear only the last value; a and b hear it in b's ring order.
        {"b sets the position again", [](Clients& all) { all[1]->axis.SetPosition(10); },
         " a=20 b=20 c=10 d=10 b=10 a=10", "a b c d", {10, 10, 10, 10}},
        {"b links a new client with a wider range", [](Clients& all) { all[1]->axis.AddClient(&all[4]->axis); },
         " a=20 b=20 c=20 d=20 b:[0,200]/0 e:[0,200]/0 c:[0,200]/0 d:[0,200]/0 a:[0,200]/0", "a b e c d",
         {20, 20, 20, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clients all;
        const char* names[] = {"a", "b", "c", "d"};
        for (int i = 0; i < 4; ++i) {
            all[i] = std::make_unique<FakeClient>(names[i], 0, 100);
            if (i > 0)
                all[i - 1]->axis.AddClient(&all[i]->axis);
        }
        all[4] = std::make_unique<FakeClient>("e", 0, 200);
        bool fired = false;
        all[1]->onPosition = [&](FakeClient&) {
            if (!fired) {
                fired = true;
                c.onB(all);
            }
        };
        Reset();

        all[0]->axis.SetPosition(20);
        EXPECT_EQ(gTrace, c.trace);
        EXPECT_EQ(gDeepest, 1);
        EXPECT_EQ(Ring(all[0]->axis), c.ring);
        for (int i = 0; i < 4; ++i) {
            if (all[i] != nullptr) {
                EXPECT_EQ(all[i]->axis.GetPosition(), c.positions[i]) << names[i];
            }
        }
        if (all[1] != nullptr)
            all[1]->onPosition = nullptr; // the clients go before the hook's captures
    }
}

TEST_F(ScrollAxisRefTest, HandlerThatMovesOnEveryNotificationSettlesWithoutNesting)
{
    FakeClient a("a", 0, 100), b("b");
    a.axis.AddClient(&b.axis);
    b.onPosition = [](FakeClient& self) { self.axis.ScrollBy(10); };
    Reset();

    // a, still waiting while b moves on, hears every other step once.
    a.axis.SetPosition(10);
    EXPECT_EQ(gTrace, " a=10 b=10 b=20 a=30 b=30 b=40 a=50 b=50 b=60 a=70 b=70 b=80 a=90 b=90 b=100 a=100");
    EXPECT_EQ(gDeepest, 1);
    ExpectAxis(a.axis, 0, 100, 0, 100);
}

TEST_F(ScrollAxisRefTest, RangeHandlerThatAsksAgainIsToldOnceMore)
{
    FakeClient a("a", 0, 50), b("b"), c("c");
    a.axis.AddClient(&b.axis);
    b.axis.AddClient(&c.axis);
    b.answersRange = true;
    b.maximum = 100;
    b.onRange = [](FakeClient& self) {
        if (self.maximum < 200) {
            self.maximum = 200;
            self.axis.Recompute();
        }
    };
    Reset();

    b.axis.Recompute();
    EXPECT_EQ(gTrace, " b:[0,100]/0 c:[0,100]/0 a:[0,100]/0 b:[0,200]/0 c:[0,200]/0 a:[0,200]/0");
    EXPECT_EQ(gDeepest, 1);
}

TEST_F(ScrollAxisRefTest, RangeQueriesThatChangeTheRing)
{
    // a b c d need up to 10, 20, 30 and 40; d drops to 5 and a recombines. b's query does
    // something while it is asked.
    using Clients = std::unique_ptr<FakeClient>[5];
    struct Case {
        const char* what;
        bool everyTime;
        std::function<void(Clients&)> onB;
        int from; // the member the ring is read from afterwards
        const char* ring;
        double maximum;
    };
    const Case cases[] = {
        {"b destroys c, not yet asked", false, [](Clients& all) { all[2].reset(); }, 0, "a b d", 20},
        {"b destroys a, the axis recombining", false, [](Clients& all) { all[0].reset(); }, 1, "b c d", 30},
        {"b destroys itself", false, [](Clients& all) { all[1].reset(); }, 0, "a c d", 30},
        {"b unlinks itself", false, [](Clients& all) { all[1]->axis.Unlink(); }, 0, "a c d", 30},
        {"b links e", false, [](Clients& all) { all[1]->axis.AddClient(&all[4]->axis); }, 0, "a b e c d", 60},
        {"b asks its own axis to recombine", true, [](Clients& all) { all[1]->axis.Recompute(); }, 0, "a b c d",
         30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clients all;
        const char* names[] = {"a", "b", "c", "d"};
        for (int i = 0; i < 4; ++i) {
            all[i] = std::make_unique<FakeClient>(names[i], 0, 10.0 * (i + 1));
            if (i > 0)
                all[i - 1]->axis.AddClient(&all[i]->axis);
        }
        all[4] = std::make_unique<FakeClient>("e", 0, 60);
        int fired = 0;
        all[1]->onQuery = [&](FakeClient&) {
            // Bounded, so that a query that recombined itself for ever shows as a failure.
            if ((c.everyTime || fired == 0) && fired < 50) {
                ++fired;
                c.onB(all);
            }
        };
        all[3]->maximum = 5;
        all[0]->axis.Recompute();

        EXPECT_EQ(fired, 1);
        const ScrollAxisRef& start = all[c.from]->axis;
        EXPECT_EQ(Ring(start), c.ring);
        const ScrollAxisRef* member = &start;
        do {
            EXPECT_EQ(member->GetMaximum(), c.maximum) << NameOf(member);
            member = member->GetNext();
        } while (member != &start);
        if (all[1] != nullptr)
            all[1]->onQuery = nullptr; // the clients go before the hook's captures
    }
}

TEST_F(ScrollAxisRefTest, ValuesBeyondAnyIntegerStayDefined)
{
    struct Operation {
        bool scrollBy;
        double value;
    };
    struct Case {
        const char* what;
        double aRange[3], bRange[3]; // minimum, maximum, page
        bool unclamped;
        std::vector<Operation> operations; // through a
        double minimum, maximum, page, position;
        size_t refused;
    };
    const Case cases[] = {
        {"range values that are not a number are passed over", {-5, kNaN, kNaN}, {kNaN, 10, 3}, false, {},
         -5, 10, 3, 0, 0},
        {"an infinite range keeps huge positions", {-kInfinity, kInfinity, kInfinity}, {0, 0, 0}, false,
         {{false, 1e300}, {true, kInfinity}}, -kInfinity, kInfinity, kInfinity, kInfinity, 0},
        {"infinity minus infinity is refused", {-kInfinity, kInfinity, 0}, {0, 0, 0}, false,
         {{false, kInfinity}, {true, -kInfinity}}, -kInfinity, kInfinity, 0, kInfinity, 1},
        {"an unclamped axis keeps 1e12 and minus infinity", {0, 100, 10}, {0, 0, 0}, true,
         {{false, 1e12}, {true, 5}, {false, -kInfinity}}, 0, 100, 10, -kInfinity, 0},
        {"a clamped axis takes infinity as its end", {0, 100, 10}, {0, 0, 0}, false,
         {{false, kInfinity}}, 0, 100, 10, 100, 0},
        {"a NaN position is refused", {0, 100, 10}, {0, 0, 0}, true, {{false, 40}, {false, kNaN}}, 0, 100, 10,
         40, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeClient a("a", c.aRange[0], c.aRange[1], c.aRange[2]);
        FakeClient b("b", c.bRange[0], c.bRange[1], c.bRange[2]);
        a.axis.SetUnclamped(c.unclamped);
        a.axis.AddClient(&b.axis);
        CXDebugCapture capture;
        for (const Operation& operation : c.operations) {
            if (operation.scrollBy)
                a.axis.ScrollBy(operation.value);
            else
                a.axis.SetPosition(operation.value);
        }
        ExpectAxis(a.axis, c.minimum, c.maximum, c.page, c.position);
        ExpectAxis(b.axis, c.minimum, c.maximum, c.page, c.position);
        EXPECT_EQ(capture.Count("ScrollAxisRef::SetPosition> not a number"), c.refused);
    }
}

} // namespace

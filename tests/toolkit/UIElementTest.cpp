#include "toolkit/UIElement.h"

#include "ElementTesting.h"
#include "foundation/CXDebug.h"
#include "foundation/CXMessage.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

class UIElementTest : public ElementTest {};

TEST_F(UIElementTest, AnchorLayoutTable)
{
    // The parent is 300 x 200; each row lays out one child in it.
    struct Case {
        const char* what;
        int32_t left, top, right, bottom, horizontal, vertical;
        int32_t minimumWidth, minimumHeight;
        bool layoutEnabled;
        Box2i frame;
        int32_t requiredWidth, requiredHeight;
    };
    const Case cases[] = {
        {"near edges", 10, 5, 50, 25, 0, 0, 0, 0, true, {10, 5, 50, 25}, 50, 25},
        {"far edges", -90, -30, -10, -10, 1, 1, 0, 0, true, {210, 170, 290, 190}, 90, 30},
        // right and bottom are measured from the far edges: 300 - 10 - 10 wide.
        {"stretch", 10, 5, -10, -5, 2, 2, 0, 0, true, {10, 5, 290, 195}, 20, 10},
        {"stretch under a minimum", 10, 5, -10, -5, 2, 2, 400, 250, true, {10, 5, 410, 255}, 420, 260},
        {"near edges under a minimum", 10, 5, 50, 25, 0, 0, 60, 30, true, {10, 5, 70, 35}, 70, 35},
        {"far edge under a minimum", -90, -30, -10, -10, 1, 1, 100, 0, true, {210, 170, 310, 190}, 110, 30},
        {"mixed axes", -90, 5, -10, -5, 1, 2, 0, 0, true, {210, 5, 290, 195}, 90, 10},
        {"anchors ignored", -90, -30, -10, -10, 1, 1, 0, 0, false, {-90, -30, -10, -10}, 90, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UIElement parent;
        parent.SetLayout(0, 0, 300, 200, 0, 0);
        auto* child = new UIElement;
        child->SetMinimumSize(c.minimumWidth, c.minimumHeight);
        child->SetLayoutEnabled(c.layoutEnabled);
        child->SetLayout(c.left, c.top, c.right, c.bottom, c.horizontal, c.vertical);
        ASSERT_EQ(parent.AddChild(child, nullptr), child);
        EXPECT_EQ(child->GetFrame(), c.frame);
        EXPECT_EQ(child->GetWidth(), c.frame.Width());
        int32_t width = 0, height = 0;
        child->GetRequiredParentSize(width, height);
        EXPECT_EQ(width, c.requiredWidth);
        EXPECT_EQ(height, c.requiredHeight);
        EXPECT_EQ(child->GetBounds(), (Box2i{0, 0, c.frame.Width(), c.frame.Height()}));
        parent.DestroyChildren();
    }
}

TEST_F(UIElementTest, LayoutPassesReachAnchoredChildrenOnly)
{
    Trace trace;
    SpyElement parent("P", &trace);
    parent.Init();
    parent.SetLayout(0, 0, 300, 200, 0, 0);
    auto* fixed = new SpyElement("F", &trace);
    fixed->SetLayout(10, 10, 50, 50, 0, 0);
    auto* stretched = new SpyElement("S", &trace);
    stretched->Init();
    stretched->SetLayout(10, 10, -10, -10, 2, 2);
    auto* grandchild = new SpyElement("G", &trace);
    grandchild->SetLayout(-20, -20, 0, 0, 1, 1);
    stretched->AddChild(grandchild, nullptr);
    parent.AddChild(fixed, nullptr);
    parent.AddChild(stretched, nullptr);

    trace.clear();
    parent.SetLayout(0, 0, 300, 200, 0, 0);
    EXPECT_TRUE(trace.empty()) << "unchanged values run no layout at all";

    parent.SetLayout(0, 0, 400, 300, 0, 0);
    EXPECT_EQ(trace, (Trace{"P:ApplyLayout", "S:ApplyLayout", "G:ApplyLayout", "P:ChildLayoutChanged"}));
    EXPECT_EQ(stretched->GetFrame(), (Box2i{10, 10, 390, 290}));
    EXPECT_EQ(grandchild->GetFrame(), (Box2i{360, 260, 380, 280}));
    EXPECT_EQ(fixed->GetFrame(), (Box2i{10, 10, 50, 50}));

    // MoveTo shifts the offsets and the frame at once, without a layout pass.
    trace.clear();
    fixed->MoveTo(100, 120);
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(fixed->GetFrame(), (Box2i{100, 120, 140, 160}));
    fixed->SetSize(60, 70);
    EXPECT_EQ(fixed->GetFrame(), (Box2i{100, 120, 160, 190}));
    // A new frame is told to the parent, from a child not yet initialised too.
    EXPECT_EQ(trace, (Trace{"F:ApplyLayout", "P:ChildLayoutChanged"}));

    // SetSize takes the frame origin as offsets: under a far anchor the parent's width counts twice.
    grandchild->SetSize(20, 20);
    EXPECT_EQ(grandchild->GetFrame().left, 360 + 380);
    parent.DestroyChildren();
}

TEST_F(UIElementTest, HookOrderOfAddMoveRemoveAndVisibility)
{
    Trace trace;
    SpyElement root("R", &trace, true);
    auto* first = new SpyElement("P1", &trace);
    auto* second = new SpyElement("P2", &trace);
    first->SetLayout(0, 0, 100, 100, 0, 0);
    second->SetLayout(0, 0, 200, 200, 0, 0);
    root.AddChild(first, nullptr);
    root.AddChild(second, nullptr);
    auto* moving = new SpyElement("A", &trace);
    moving->Init();
    moving->SetLayout(0, 0, 0, 0, 2, 2);
    auto* inner = new SpyElement("C", &trace);
    inner->SetLayout(0, 0, 0, 0, 2, 2);
    moving->AddChild(inner, nullptr);

    trace.clear();
    first->AddChild(moving, nullptr);
    EXPECT_EQ(trace, (Trace{"A:ApplyLayout", "C:ApplyLayout", "P1:ChildLayoutChanged", "P1:ChildrenChanged",
                            "A:Shown", "C:Shown"}));

    trace.clear();
    second->AddChild(moving, nullptr);
    EXPECT_EQ(trace, (Trace{"P1:ChildrenChanged", "A:Hidden", "C:Hidden", "A:ApplyLayout", "C:ApplyLayout",
                            "P2:ChildLayoutChanged", "P2:ChildrenChanged", "A:Shown", "C:Shown"}));
    EXPECT_EQ(moving->GetParent(), second);
    EXPECT_EQ(first->FirstChild(), nullptr);

    trace.clear();
    second->SetVisible(false);
    second->SetVisible(false);
    EXPECT_EQ(trace, (Trace{"P2:Hidden", "A:Hidden", "C:Hidden", "R:ChildVisibilityChanged"}));
    EXPECT_FALSE(inner->IsShown());
    trace.clear();
    inner->SetVisible(false);
    EXPECT_EQ(trace, (Trace{"A:ChildVisibilityChanged"})) << "a change out of sight is not announced";
    trace.clear();
    second->SetVisible(true);
    EXPECT_EQ(trace, (Trace{"P2:Shown", "A:Shown", "R:ChildVisibilityChanged"})) << "the hidden child hears nothing";
    EXPECT_TRUE(moving->IsShown());

    trace.clear();
    moving->RemoveFromParent();
    moving->RemoveFromParent();
    EXPECT_EQ(trace, (Trace{"P2:ChildrenChanged", "A:Hidden"}));
    EXPECT_FALSE(moving->IsShown()) << "no parent, not shown";
    EXPECT_EQ(moving->NextSibling(), nullptr);

    moving->Destroy();
    root.DestroyChildren();
}

TEST_F(UIElementTest, RefusalsAndSiblingOrder)
{
    CXDebugCapture capture;
    UIElement root;
    auto* a = new UIElement;
    auto* b = new UIElement;
    root.AddChild(a, nullptr);
    a->AddChild(b, nullptr);

    EXPECT_EQ(root.AddChild(nullptr, nullptr), nullptr);
    EXPECT_EQ(capture.Count("UIElement::AddChild> null child"), 1u);
    EXPECT_EQ(b->AddChild(&root, nullptr), nullptr);
    EXPECT_EQ(b->AddChild(b, nullptr), nullptr);
    EXPECT_EQ(b->AddChild(a, nullptr), nullptr);
    EXPECT_EQ(capture.Count("UIElement::AddChild> loop"), 3u);
    EXPECT_EQ(root.GetParent(), nullptr);
    EXPECT_EQ(Children(&root), std::vector<UIElement*>{a});
    EXPECT_EQ(Children(a), std::vector<UIElement*>{b});
    EXPECT_TRUE(Children(b).empty());

    // Ordering: first, before a sibling, last; the walks stop at the ends.
    auto* c = new UIElement;
    auto* d = new UIElement;
    EXPECT_EQ(root.AddChildFirst(c), c);
    EXPECT_EQ(root.AddChild(d, a), d);
    EXPECT_EQ(root.AddChild(b, nullptr), b);
    EXPECT_EQ(Children(&root), (std::vector<UIElement*>{c, d, a, b}));
    EXPECT_EQ(root.FirstChild(), c);
    EXPECT_EQ(root.LastChild(), b);
    EXPECT_EQ(a->PreviousSibling(), d);
    EXPECT_EQ(c->PreviousSibling(), nullptr);
    EXPECT_TRUE(root.IsAncestorOrSelfOf(&root));
    EXPECT_TRUE(root.IsAncestorOrSelfOf(b));
    EXPECT_FALSE(a->IsAncestorOrSelfOf(b));
    root.DestroyChildren();
}

// A subclass whose RemoveFromParent keeps the element where it is.
class StickyElement : public UIElement {
public:
    void RemoveFromParent() override
    {
        if (!sticky)
            UIElement::RemoveFromParent();
    }
    bool sticky = true;
};

TEST_F(UIElementTest, ListMessagesAppearOnceInTheTreeWording)
{
    CXDebugCapture capture;
    UIElement home;
    UIElement other;
    UIElement stranger;
    auto* foreignSibling = new UIElement;
    stranger.AddChild(foreignSibling, nullptr);
    auto* sibling = new UIElement;
    other.AddChild(sibling, nullptr);

    // A sibling that is not a child: reported, the child goes last, parent and list agree.
    for (int i = 0; i < 2; ++i) {
        auto* child = new UIElement;
        EXPECT_EQ(other.AddChild(child, foreignSibling), child);
        EXPECT_EQ(child->GetParent(), &other);
        EXPECT_EQ(other.LastChild(), child);
    }
    EXPECT_EQ(capture.Count("CXLinkedListHead<T>::InsertBetween> 'before' is not a member of this list."), 1u);

    // An element still linked in its old parent is not linked again; it stays where it is.
    auto* sticky = new StickyElement;
    home.AddChild(sticky, nullptr);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(other.AddChild(sticky, nullptr), nullptr);
        EXPECT_EQ(other.AddChild(sticky, sibling), nullptr);
    }
    EXPECT_EQ(sticky->GetParent(), &home);
    EXPECT_EQ(home.FirstChild(), sticky);
    EXPECT_EQ(Children(&other).size(), 3u);
    EXPECT_EQ(capture.Count("CXLinkedListHead::InsertLast> Node is already in list."), 1u);
    EXPECT_EQ(capture.Count("CXLinkedListHead::Insert> Node is already in list."), 1u);
    EXPECT_EQ(capture.Count("InsertBefore"), 0u);

    sticky->sticky = false;
    home.DestroyChildren();
    other.DestroyChildren();
    stranger.DestroyChildren();
}

TEST_F(UIElementTest, TwoPhaseLifeAndEmbeddedDestroy)
{
    Trace trace;
    CXDebugCapture capture;
    struct Owner {
        explicit Owner(Trace* trace) : element("E", trace), embeddedChild("E2", trace), embeddedGrandchild("EG", trace)
        {
            element.SetNotHeapOwned(true);
            embeddedChild.SetNotHeapOwned(true);
            embeddedGrandchild.SetNotHeapOwned(true);
        }
        SpyElement element;
        SpyElement embeddedChild;
        SpyElement embeddedGrandchild;
    } owner(&trace);

    UIElement& e = owner.element;
    auto* heapChild = new SpyElement("H1", &trace);
    auto* heapGrandchild = new SpyElement("G", &trace);
    auto* heapUnderEmbedded = new SpyElement("K", &trace);
    auto* lastChild = new SpyElement("H2", &trace);
    e.AddChild(heapChild, nullptr);
    heapChild->AddChild(heapGrandchild, nullptr);
    heapChild->AddChild(&owner.embeddedGrandchild, nullptr);
    e.AddChild(&owner.embeddedChild, nullptr);
    owner.embeddedChild.AddChild(heapUnderEmbedded, nullptr);
    e.AddChild(lastChild, nullptr);

    trace.clear();
    e.Init();
    EXPECT_EQ(trace, (Trace{"E:CreateSystemContext", "H1:ParentSystemContextCreated", "E2:ParentSystemContextCreated",
                            "H2:ParentSystemContextCreated"}));
    EXPECT_TRUE(e.IsInitialised());
    EXPECT_TRUE(e.HasSystemContext());
    e.Init();
    e.CreateSystemContext();
    EXPECT_EQ(capture.Count("UIElement::Init> already initialised"), 1u);
    EXPECT_EQ(capture.Count("UIElement::CreateSystemContext> already has system context"), 2u);

    trace.clear();
    e.Destroy();
    // Heap-owned descendants are destroyed, embedded ones detached and left allocated.
    EXPECT_EQ(trace, (Trace{"H1:ChildrenChanged", "G:~", "H1:ChildrenChanged", "E:ChildrenChanged", "H1:~",
                            "E:ChildrenChanged", "E:ChildrenChanged", "H2:~", "E:DestroySystemContext"}));
    EXPECT_EQ(owner.embeddedGrandchild.GetParent(), nullptr);
    EXPECT_EQ(owner.embeddedChild.GetParent(), nullptr);
    EXPECT_EQ(owner.embeddedChild.FirstChild(), heapUnderEmbedded) << "a detached element keeps its own children";
    EXPECT_EQ(e.FirstChild(), nullptr);
    EXPECT_FALSE(e.IsInitialised());
    EXPECT_FALSE(e.HasSystemContext());

    e.DestroySystemContext();
    EXPECT_EQ(capture.Count("UIElement::DestroySystemContext> doesn't have system context"), 1u);
    owner.embeddedChild.DestroyChildren();
}

TEST_F(UIElementTest, MessageChain)
{
    UIElement root;
    root.SetName("root");
    auto* child = new UIElement;
    root.AddChild(child, nullptr);
    std::vector<std::string> calls;
    root.AddMessageHandler([&](const CXMessage& message) -> CXResultCode {
        calls.push_back("root");
        return message.GetName() == "ping" ? kCXOK : kCXNotSupported;
    });
    child->AddMessageHandler([&](const CXMessage& message) -> CXResultCode {
        calls.push_back("child-1");
        return message.GetName() == "update-command-status" ? CXResultCode(-11) : kCXNotSupported;
    });
    child->AddMessageHandler([&](const CXMessage&) -> CXResultCode {
        calls.push_back("child-2");
        return kCXNotSupported;
    });

    struct Case {
        const char* name;
        int32_t result;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"update-command-status", -11, {"child-1"}},
        {"ping", 0, {"child-1", "child-2", "root"}},
        {"unknown", -2, {"child-1", "child-2", "root"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        EXPECT_EQ(int32_t(child->HandleMessage(CXMessage(c.name, child))), c.result);
        EXPECT_EQ(calls, c.calls);
    }
    EXPECT_EQ(root.GetDelegate(), nullptr);
    EXPECT_EQ(child->GetDelegate(), &root);
    EXPECT_STREQ(root.GetName().c_str(), "root");

    // A handler that destroys its own element ends the chain there.
    auto* doomed = new UIElement;
    root.AddChild(doomed, nullptr);
    doomed->AddMessageHandler([doomed](const CXMessage&) -> CXResultCode {
        doomed->Destroy();
        return kCXNotSupported;
    });
    calls.clear();
    EXPECT_EQ(int32_t(doomed->HandleMessage(CXMessage("ping", nullptr))), -2);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(Children(&root), std::vector<UIElement*>{child});
    root.DestroyChildren();
}

TEST_F(UIElementTest, SuppressionCounter)
{
    CXDebugCapture capture;
    UIElement element;
    EXPECT_FALSE(element.AreNotificationsSuppressed());
    element.InternalSuppressNotifications(1);
    EXPECT_TRUE(element.AreNotificationsSuppressed());
    element.InternalSuppressNotifications(-1);
    element.InternalSuppressNotifications(-1);
    EXPECT_EQ(capture.Count("UIElement::InternalSuppressNotifications> unbalanced"), 1u);
    element.InternalSuppressNotifications(1);
    EXPECT_TRUE(element.AreNotificationsSuppressed()) << "the counter was left at 0, not below";
    element.InternalSuppressNotifications(-1);
    EXPECT_FALSE(element.AreNotificationsSuppressed());
}

TEST_F(UIElementTest, LeakReport)
{
    CXDebugCapture capture;
    UIElement::DebugCheckLeaks();
    EXPECT_TRUE(capture.Lines().empty());

    auto* leaked = new StickyElement;
    UIElement::DebugCheckLeaks();
    char line[128];
    std::snprintf(line, sizeof line, "UIElement::DebugCheckLeaks> leaked %p (class (anonymous namespace)::StickyElement)",
                  static_cast<const void*>(leaked));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, line);
    EXPECT_EQ(lines[1].text, "UIElement::DebugCheckLeaks> we have leaked UIElements");

    delete leaked;
    capture.Clear();
    UIElement::DebugCheckLeaks();
    EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(UIElementTest, DeletedParentLeavesNoDanglingChildren)
{
    Trace trace;
    CXDebugCapture capture;
    auto* parent = new SpyElement("P", &trace, true);
    auto* first = new SpyElement("A", &trace);
    auto* second = new SpyElement("B", &trace);
    auto* grandchild = new SpyElement("C", &trace);
    parent->AddChild(first, nullptr);
    parent->AddChild(second, nullptr);
    first->AddChild(grandchild, nullptr);

    trace.clear();
    delete parent;
    EXPECT_EQ(capture.Count("~CXLinkedListHead> List not empty."), 1u);
    EXPECT_EQ(trace, Trace{"P:~"}) << "no hooks run";
    for (UIElement* orphan : {static_cast<UIElement*>(first), static_cast<UIElement*>(second)}) {
        EXPECT_EQ(orphan->GetParent(), nullptr);
        EXPECT_EQ(orphan->NextSibling(), nullptr);
        EXPECT_EQ(orphan->PreviousSibling(), nullptr);
        EXPECT_FALSE(orphan->IsShown());
        EXPECT_EQ(int32_t(orphan->HandleMessage(CXMessage("ping", nullptr))), -2);
        orphan->SetLayout(-10, -10, 0, 0, 1, 1);
        orphan->RemoveFromParent();
    }
    EXPECT_EQ(first->GetFrame(), (Box2i{-10, -10, 0, 0}));
    EXPECT_EQ(grandchild->GetParent(), first);

    // A child deleted under a live parent leaves its list quietly.
    trace.clear();
    delete grandchild;
    EXPECT_EQ(first->FirstChild(), nullptr);
    EXPECT_EQ(trace, Trace{"C:~"});
    first->Destroy();
    second->Destroy();
    EXPECT_EQ(capture.Count("~CXLinkedListHead> List not empty."), 1u);
}

TEST_F(UIElementTest, CoordinatesAndVisibleBox)
{
    SpyElement root("R", nullptr);
    root.SetLayout(0, 0, 300, 200, 0, 0);
    auto* scroller = new SpyElement("A", nullptr);
    scroller->SetLayout(10, 20, 110, 70, 0, 0);
    scroller->contentOrigin = {5, 5};
    auto* content = new SpyElement("B", nullptr);
    content->SetLayout(30, 10, 230, 110, 0, 0);
    root.AddChild(scroller, nullptr);
    scroller->AddChild(content, nullptr);

    EXPECT_EQ(content->ConvertPointToAncestor({1, 1}, &root), (Vector2i{36, 26}));
    EXPECT_EQ(content->ConvertPointToAncestor({1, 1}, scroller), (Vector2i{31, 11}));
    EXPECT_EQ(content->ConvertPointToAncestor({1, 1}, content), (Vector2i{1, 1}));
    EXPECT_EQ(content->ConvertPointToAncestor({1, 1}, nullptr), (Vector2i{36, 26})) << "up to the root";
    EXPECT_EQ(content->ConvertPointFromAncestor({36, 26}, &root), (Vector2i{1, 1}));
    EXPECT_EQ(content->ConvertBoxToAncestor({0, 0, 10, 10, true}, &root), (Box2i{35, 25, 45, 35, false}));
    EXPECT_EQ(content->ConvertBoxFromAncestor({35, 25, 45, 35}, &root), (Box2i{0, 0, 10, 10}));

    struct Case {
        const char* what;
        Box2i box;
        bool visible;
        Box2i result;
    };
    const Case cases[] = {
        {"clipped by the scroller", {0, 0, 200, 100}, true, {0, 0, 75, 45}},
        {"inside everything", {10, 10, 20, 20}, true, {10, 10, 20, 20}},
        {"scrolled out of sight", {150, 0, 200, 10}, false, {150, 0, 200, 10}},
        {"outside its own frame", {-20, -20, -1, -1}, false, {-20, -20, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Box2i box = c.box;
        EXPECT_EQ(content->GetVisibleBox(box), c.visible);
        EXPECT_EQ(box, c.result);
    }
    Box2i rootBox{-50, -50, 50, 50};
    EXPECT_TRUE(root.GetVisibleBox(rootBox));
    EXPECT_EQ(rootBox, (Box2i{0, 0, 50, 50}));
    root.DestroyChildren();
}

} // namespace

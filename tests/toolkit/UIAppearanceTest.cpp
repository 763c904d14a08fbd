#include "toolkit/UIAppearance.h"

#include "ElementTesting.h"
#include "foundation/CXThread.h"
#include "toolkit/UIElement.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using Trace = std::vector<std::string>;

const UIAppearanceImplementation* Native()
{
    return UIAppearanceWin32_Implementation::Get();
}

const UIAppearanceImplementation* Generic()
{
    return UIAppearanceGeneric_Implementation::Get();
}

// Stand-ins for the families of later classes: a native control, a top-level window and a
// custom-drawn control with its compositing hint, each choosing its family the way those do.
class NativeControl : public SpyElement {
public:
    explicit NativeControl(const char* label = "native", Trace* trace = nullptr) : SpyElement(label, trace) {}
    const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation*,
                                                                      UIElement*) const override
    {
        return Native();
    }
};

class Window : public SpyElement {
public:
    Window() : SpyElement("window", nullptr, true) {}
    const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation*,
                                                                      UIElement*) const override
    {
        return Native();
    }
};

class CustomControl : public SpyElement {
public:
    explicit CustomControl(int hint, const char* label = "custom", Trace* trace = nullptr)
        : SpyElement(label, trace)
        , fHint(hint)
    {
    }
    const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation* requested,
                                                                      UIElement* parent) const override
    {
        if (fHint == 3 && (dynamic_cast<CustomControl*>(parent) != nullptr || dynamic_cast<Window*>(parent) != nullptr))
            return Generic();
        return requested == Native() ? Native() : Generic();
    }

private:
    int fHint;
};

// The wrapper: a custom-drawn control of hint 4 that hosts one native control and destroys itself
// once that control has left it.
class FakeWrapper : public CustomControl {
public:
    explicit FakeWrapper(Trace* trace) : CustomControl(4, "wrapper", trace) {}
    bool IsAdapter() const override { return true; }
    void Destroy() override
    {
        wrapped = nullptr;
        CustomControl::Destroy();
    }
    void ChildrenChanged() override
    {
        CustomControl::ChildrenChanged();
        if (wrapped != nullptr && wrapped->GetParent() != this) {
            wrapped = nullptr;
            Destroy();
        }
    }
    UIElement* wrapped = nullptr;
};

class FakeAdapter : public UIAppearanceImplementationAdapter {
public:
    UIElement* CreateWrapperForUIElement(UIElement* element) override
    {
        if (dynamic_cast<NativeControl*>(element) == nullptr)
            return nullptr;
        element->RemoveFromParent();
        auto* wrapper = new FakeWrapper(trace);
        wrapper->Init();
        wrapper->wrapped = element;
        wrapper->AddChild(element, nullptr);
        wrapper->SetVisible(element->IsVisible());
        ++made;
        return wrapper;
    }
    Trace* trace = nullptr;
    int made = 0;
};

class UIAppearanceTest : public ElementTest {
protected:
    void SetUp() override
    {
        ElementTest::SetUp();
        UIAppearanceImplementationAdapter::RegisterAdapter(&adapter, Generic(), Native());
    }
    void TearDown() override
    {
        UIAppearanceImplementationAdapter::UnregisterAdapter(&adapter);
        EXPECT_EQ(UIAppearanceImplementationAdapter::FindAdapter(Generic(), Native()), nullptr);
        ElementTest::TearDown();
    }

    FakeAdapter adapter;
};

TEST_F(UIAppearanceTest, FamiliesAndFallback)
{
    struct Case {
        const UIAppearance* appearance;
        CXColor color;
        const UIAppearanceImplementation* implementation;
    };
    const Case cases[] = {
        {UIAppearanceWin32::Get(), {0.94f, 0.94f, 0.94f, 1.0f}, Native()},
        {UIAppearanceGeneric::Get(), {0.95f, 0.95f, 0.95f, 1.0f}, Generic()},
        {UIAppearance::GetFallback(), {1.0f, 1.0f, 1.0f, 1.0f}, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.appearance->GetColor(), c.color);
        EXPECT_EQ(c.appearance->GetImplementation(), c.implementation);
        EXPECT_EQ(c.appearance->GetOwnerThread(), -1);
        EXPECT_TRUE(c.appearance->ChecksThroughThreadRegistry());
        EXPECT_TRUE(c.appearance->CheckOwnerThread());
        if (c.implementation != nullptr) {
            EXPECT_EQ(c.implementation->GetAppearance(), c.appearance);
        }
    }
    EXPECT_EQ(UIAppearance::GetFallback(), UIAppearance::GetFallback());
}

TEST_F(UIAppearanceTest, OwnerThread)
{
    CXThread::CXInit();
    const UIAppearance owned({1, 1, 1, 1}, Generic(), CXThread::GetMainThreadId());
    const UIAppearance foreign({1, 1, 1, 1}, Generic(), int64_t(CXThread::GetCurrentThreadId()) + 1);
    EXPECT_TRUE(owned.CheckOwnerThread());
    EXPECT_FALSE(foreign.CheckOwnerThread());
    bool ownedElsewhere = true;
    bool anyElsewhere = false;
    std::thread other([&] {
        ownedElsewhere = owned.CheckOwnerThread();
        anyElsewhere = UIAppearanceGeneric::Get()->CheckOwnerThread();
    });
    other.join();
    EXPECT_FALSE(ownedElsewhere);
    EXPECT_TRUE(anyElsewhere);
    UIElement element;
    EXPECT_TRUE(element.CheckOwnerThread());
}

enum class Kind { kPlain, kNative, kCustom0, kCustom3, kWindow };

UIElement* Make(Kind kind)
{
    switch (kind) {
    case Kind::kPlain:
        return new UIElement;
    case Kind::kNative:
        return new NativeControl;
    case Kind::kCustom0:
        return new CustomControl(0);
    case Kind::kCustom3:
        return new CustomControl(3);
    case Kind::kWindow:
        return new Window;
    }
    return nullptr;
}

TEST_F(UIAppearanceTest, ResolutionAndWrapping)
{
    // The parent is a root of its kind, or for custom controls a control inside a window.
    struct Case {
        Kind parent;
        Kind child;
        const UIAppearanceImplementation* family;
        bool wrapped;
    };
    const Case cases[] = {
        {Kind::kPlain, Kind::kPlain, Generic(), false},
        {Kind::kPlain, Kind::kNative, Native(), true},
        {Kind::kPlain, Kind::kCustom0, Generic(), false},
        {Kind::kPlain, Kind::kCustom3, Generic(), false},
        {Kind::kWindow, Kind::kPlain, Generic(), false},
        {Kind::kWindow, Kind::kNative, Native(), false},
        {Kind::kWindow, Kind::kCustom0, Native(), false},
        {Kind::kWindow, Kind::kCustom3, Generic(), false},
        {Kind::kCustom3, Kind::kPlain, Generic(), false},
        {Kind::kCustom3, Kind::kNative, Native(), true},
        {Kind::kCustom3, Kind::kCustom0, Generic(), false},
        {Kind::kCustom3, Kind::kCustom3, Generic(), false},
        {Kind::kCustom0, Kind::kPlain, Generic(), false},
        {Kind::kCustom0, Kind::kNative, Native(), false},
        {Kind::kCustom0, Kind::kCustom0, Native(), false},
        {Kind::kCustom0, Kind::kCustom3, Generic(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "parent " << int(c.parent) << ", child " << int(c.child));
        UIElement* root = Make(c.parent == Kind::kCustom0 || c.parent == Kind::kCustom3 ? Kind::kWindow : c.parent);
        UIElement* parent = root;
        if (c.parent == Kind::kCustom0 || c.parent == Kind::kCustom3)
            parent = root->AddChild(Make(c.parent), nullptr);
        UIElement* child = Make(c.child);
        UIElement* added = parent->AddChild(child, nullptr);
        EXPECT_EQ(child->GetAppearance()->GetImplementation(), c.family);
        EXPECT_EQ(child->GetAppearanceImplementation(), c.family);
        if (c.wrapped) {
            ASSERT_NE(added, child);
            EXPECT_TRUE(added->IsAdapter());
            EXPECT_EQ(Children(parent), std::vector<UIElement*>{added});
            EXPECT_EQ(Children(added), std::vector<UIElement*>{child});
        } else {
            EXPECT_EQ(added, child);
            EXPECT_EQ(child->GetParent(), parent);
        }
        root->Destroy();
    }
}

TEST_F(UIAppearanceTest, WrapperTakesTheControlsVisibility)
{
    UIElement page;
    auto* hidden = new NativeControl;
    hidden->SetVisible(false);
    UIElement* wrapper = page.AddChild(hidden, nullptr);
    ASSERT_NE(wrapper, hidden);
    EXPECT_FALSE(wrapper->IsVisible());
    EXPECT_EQ(hidden->GetParent(), wrapper);

    // A wrapper added again is never wrapped, nor is anything put into a wrapper.
    UIElement other;
    EXPECT_EQ(other.AddChild(wrapper, nullptr), wrapper);
    auto* second = new NativeControl;
    EXPECT_EQ(wrapper->AddChild(second, nullptr), second);
    EXPECT_EQ(adapter.made, 1);
    other.DestroyChildren();
}

// A family record whose appearance is a tinted variant of the native family.
class TintedImplementation : public UIAppearanceImplementation {
public:
    const UIAppearance* GetAppearance() const override { return &fTinted; }

private:
    UIAppearance fTinted{{1.0f, 0.0f, 0.0f, 1.0f}, Native()};
};

class Chooser : public UIElement {
public:
    explicit Chooser(const UIAppearanceImplementation* choice) : fChoice(choice) {}
    const UIAppearanceImplementation* ChooseAppearanceImplementation(const UIAppearanceImplementation*,
                                                                      UIElement*) const override
    {
        return fChoice;
    }

private:
    const UIAppearanceImplementation* fChoice;
};

TEST_F(UIAppearanceTest, ResolutionWithoutParentAndThroughVariants)
{
    // Without parent or record, the element's own choice decides; no choice gives the fallback.
    UIElement plain;
    NativeControl control;
    Chooser undecided(nullptr);
    EXPECT_EQ(plain.GetAppearance(), UIAppearanceGeneric::Get());
    EXPECT_EQ(control.GetAppearance(), UIAppearanceWin32::Get());
    EXPECT_EQ(undecided.GetAppearance(), UIAppearance::GetFallback());
    EXPECT_EQ(undecided.GetAppearanceImplementation(), nullptr);

    // A child of the same family as a variant appearance shares the variant; another family
    // takes its own.
    TintedImplementation tinted;
    Chooser variantParent(&tinted);
    variantParent.SetAppearanceImplementation(nullptr);
    EXPECT_EQ(variantParent.GetAppearance()->GetColor().green, 0.0f);
    auto* nativeChild = new NativeControl;
    auto* customChild = new CustomControl(0);
    auto* plainChild = new UIElement;
    EXPECT_EQ(variantParent.AddChild(nativeChild, nullptr), nativeChild);
    variantParent.AddChild(customChild, nullptr);
    variantParent.AddChild(plainChild, nullptr);
    EXPECT_EQ(nativeChild->GetAppearance(), variantParent.GetAppearance());
    EXPECT_EQ(customChild->GetAppearance(), variantParent.GetAppearance()) << "asked for native, took the variant";
    EXPECT_EQ(plainChild->GetAppearance(), UIAppearanceGeneric::Get());
    variantParent.DestroyChildren();
}

TEST_F(UIAppearanceTest, FamilyChangeRewrapsInOrderAndRecreatesTheContextOnce)
{
    Trace trace;
    adapter.trace = &trace;
    auto* page = new CustomControl(0, "P", &trace);
    page->Init();
    auto* first = new NativeControl("a", &trace);
    auto* middle = new UIElement;
    auto* last = new NativeControl("c", &trace);
    first->SetVisible(false);
    page->AddChild(first, nullptr);
    page->AddChild(middle, nullptr);
    page->AddChild(last, nullptr);
    auto wrapperOf = [](UIElement* element) { return element->GetParent(); };
    ASSERT_TRUE(wrapperOf(first)->IsAdapter());
    EXPECT_EQ(Children(page), (std::vector<UIElement*>{wrapperOf(first), middle, wrapperOf(last)}));
    size_t live = UIElement::CountLiveElements();

    struct Step {
        const UIAppearanceImplementation* family;
        bool wrapped;
    };
    for (const Step& step : {Step{Native(), false}, Step{Generic(), true}, Step{Native(), false}}) {
        trace.clear();
        page->SetAppearanceImplementation(step.family);
        EXPECT_EQ(page->GetAppearance()->GetImplementation(), step.family);
        EXPECT_EQ(std::count(trace.begin(), trace.end(), "P:DestroySystemContext"), 1);
        EXPECT_EQ(std::count(trace.begin(), trace.end(), "P:CreateSystemContext"), 1);
        EXPECT_TRUE(page->HasSystemContext());
        if (step.wrapped) {
            EXPECT_EQ(Children(page), (std::vector<UIElement*>{wrapperOf(first), middle, wrapperOf(last)}));
            EXPECT_FALSE(wrapperOf(first)->IsVisible());
            EXPECT_TRUE(wrapperOf(last)->IsVisible());
            EXPECT_EQ(UIElement::CountLiveElements(), live);
        } else {
            EXPECT_EQ(Children(page), (std::vector<UIElement*>{first, middle, last}));
            EXPECT_EQ(UIElement::CountLiveElements(), live - 2) << "the wrappers are gone";
        }
        EXPECT_EQ(first->GetAppearanceImplementation(), Native());
        EXPECT_EQ(middle->GetAppearanceImplementation(), Generic());
    }
    EXPECT_EQ(adapter.made, 4);

    // The same family again changes nothing.
    trace.clear();
    page->SetAppearanceImplementation(Native());
    EXPECT_TRUE(trace.empty());
    page->Destroy();
}

TEST_F(UIAppearanceTest, UninitialisedElementOnlyStoresItsFamily)
{
    Trace trace;
    auto* page = new CustomControl(0, "P", &trace);
    page->AddChild(new NativeControl, nullptr);
    UIElement* wrapper = page->FirstChild();
    ASSERT_TRUE(wrapper->IsAdapter());
    trace.clear();
    page->SetAppearanceImplementation(Native());
    EXPECT_EQ(page->GetAppearanceImplementation(), Native());
    EXPECT_EQ(page->FirstChild(), wrapper) << "children are left as they are";
    EXPECT_TRUE(trace.empty());
    page->Destroy();
}

// Probes, while it builds a wrapper, whether another wrapper could be made on this thread.
class ProbingAdapter : public UIAppearanceImplementationAdapter {
public:
    UIElement* CreateWrapperForUIElement(UIElement* element) override
    {
        UIElement parent;
        probed = FindAdapterWrapper(UIAppearanceGeneric::Get(), &parent, element);
        probedAdapter = FindAdapter(Generic(), Native());
        return nullptr;
    }
    UIElement* probed = reinterpret_cast<UIElement*>(1);
    UIAppearanceImplementationAdapter* probedAdapter = nullptr;
};

TEST_F(UIAppearanceTest, AdapterRegistry)
{
    FakeAdapter other;
    UIAppearanceImplementationAdapter::RegisterAdapter(&other, Native(), Generic());
    EXPECT_EQ(UIAppearanceImplementationAdapter::FindAdapter(Generic(), Native()), &adapter);
    EXPECT_EQ(UIAppearanceImplementationAdapter::FindAdapter(Native(), Generic()), &other);
    EXPECT_EQ(other.GetFrom(), Native());
    EXPECT_EQ(other.GetTo(), Generic());

    {
        // A replacement takes the pair; the replaced adapter leaving takes nothing with it; an
        // adapter that dies registered leaves the registry.
        ProbingAdapter probe;
        UIAppearanceImplementationAdapter::RegisterAdapter(&probe, Generic(), Native());
        EXPECT_EQ(adapter.GetFrom(), nullptr);
        UIAppearanceImplementationAdapter::UnregisterAdapter(&adapter);
        EXPECT_EQ(UIAppearanceImplementationAdapter::FindAdapter(Generic(), Native()), &probe);

        NativeControl control;
        EXPECT_EQ(UIAppearanceImplementationAdapter::FindAdapterWrapper(UIAppearanceGeneric::Get(), nullptr, &control),
                  nullptr);
        EXPECT_EQ(probe.probed, nullptr) << "no wrapping while a wrapper is built";
        EXPECT_EQ(probe.probedAdapter, &probe);
        EXPECT_EQ(UIAppearanceImplementationAdapter::FindAdapterWrapper(UIAppearance::GetFallback(), nullptr, &control),
                  nullptr);
    }
    EXPECT_EQ(UIAppearanceImplementationAdapter::FindAdapter(Generic(), Native()), nullptr);

    UIAppearanceImplementationAdapter::UnregisterAdapter(&other);
    EXPECT_EQ(UIAppearanceImplementationAdapter::FindAdapter(Native(), Generic()), nullptr);
    UIAppearanceImplementationAdapter::RegisterAdapter(&adapter, Generic(), Native());
}

} // namespace

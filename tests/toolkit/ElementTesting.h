#pragma once

#include "toolkit/UIElement.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// An element that records its hooks as "<name>:<hook>" lines in a shared trace. A top-level spy
// answers IsShown by its own flag, as a window does, so a tree under it can be shown without a
// window.
class SpyElement : public UIElement {
public:
    SpyElement(const char* label, std::vector<std::string>* trace, bool topLevel = false)
        : fLabel(label)
        , fTrace(trace)
        , fTopLevel(topLevel)
    {
    }
    ~SpyElement() override { Record("~"); }

    void ApplyLayout() override
    {
        Record("ApplyLayout");
        UIElement::ApplyLayout();
    }
    void ChildrenChanged() override { Record("ChildrenChanged"); }
    void ChildLayoutChanged() override { Record("ChildLayoutChanged"); }
    void ChildVisibilityChanged() override { Record("ChildVisibilityChanged"); }
    void NotifyHierarchyVisibilityChanged(bool shown) override
    {
        Record(shown ? "Shown" : "Hidden");
        UIElement::NotifyHierarchyVisibilityChanged(shown);
    }
    void CreateSystemContext() override
    {
        Record("CreateSystemContext");
        UIElement::CreateSystemContext();
    }
    void DestroySystemContext() override
    {
        Record("DestroySystemContext");
        UIElement::DestroySystemContext();
    }
    void ParentSystemContextCreated() override { Record("ParentSystemContextCreated"); }
    void ParentSystemContextDestroyed() override { Record("ParentSystemContextDestroyed"); }
    bool IsShown() const override { return fTopLevel ? IsVisible() : UIElement::IsShown(); }
    Vector2i GetContentOrigin() const override { return contentOrigin; }

    Vector2i contentOrigin{0, 0};

private:
    void Record(const char* hook)
    {
        if (fTrace != nullptr)
            fTrace->push_back(fLabel + ":" + hook);
    }

    std::string fLabel;
    std::vector<std::string>* fTrace;
    bool fTopLevel;
};

// The children of an element, first to last.
inline std::vector<UIElement*> Children(const UIElement* parent)
{
    std::vector<UIElement*> children;
    for (UIElement* child = parent->FirstChild(); child != nullptr; child = child->NextSibling())
        children.push_back(child);
    return children;
}

// Every test leaves no element behind; the registry would report it at exit.
class ElementTest : public testing::Test {
protected:
    void SetUp() override { fLiveBefore = UIElement::CountLiveElements(); }
    void TearDown() override { EXPECT_EQ(UIElement::CountLiveElements(), fLiveBefore) << "elements left alive"; }

private:
    size_t fLiveBefore = 0;
};

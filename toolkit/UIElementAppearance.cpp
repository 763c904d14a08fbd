// The element's side of appearances: resolving the family in effect and rebuilding a subtree
// when an element changes family.

#include "foundation/CXSafePointer.h"
#include "toolkit/UIAppearance.h"
#include "toolkit/UIElement.h"

#include <vector>

const UIAppearanceImplementation* UIElement::ChooseAppearanceImplementation(const UIAppearanceImplementation*,
                                                                             UIElement*) const
{
    return UIAppearanceGeneric_Implementation::Get();
}

const UIAppearance* UIElement::GetAppearance(UIElement* parent)
{
    if (parent == nullptr)
        parent = fParent;
    if (parent == nullptr && fAppearanceImplementation != nullptr)
        return fAppearanceImplementation->GetAppearance();
    if (parent != nullptr) {
        const UIAppearance* inherited = parent->GetAppearance();
        const UIAppearanceImplementation* inheritedImplementation = inherited->GetImplementation();
        if (fAppearanceImplementation != nullptr) {
            return fAppearanceImplementation == inheritedImplementation ? inherited
                                                                        : fAppearanceImplementation->GetAppearance();
        }
        if (ChooseAppearanceImplementation(inheritedImplementation, parent) == inheritedImplementation)
            return inherited;
    }
    const UIAppearanceImplementation* own = ChooseAppearanceImplementation(nullptr, parent);
    return own != nullptr ? own->GetAppearance() : UIAppearance::GetFallback();
}

bool UIElement::CheckOwnerThread()
{
    return GetAppearance()->CheckOwnerThread();
}

void UIElement::SetAppearanceImplementation(const UIAppearanceImplementation* requested, UIElement* parent)
{
    if (parent == nullptr)
        parent = fParent;
    const UIAppearanceImplementation* chosen = ChooseAppearanceImplementation(requested, parent);
    if (chosen == fAppearanceImplementation)
        return;
    if (!fInitialised) {
        fAppearanceImplementation = chosen;
        return;
    }
    bool recreateContext = false;
    if (fHasSystemContext && chosen != GetAppearance(parent)->GetImplementation()) {
        DestroySystemContext();
        recreateContext = true;
    }
    fAppearanceImplementation = chosen;
    RewrapChildren(chosen);
    if (recreateContext)
        CreateSystemContext();
}

void UIElement::RewrapChildren(const UIAppearanceImplementation* implementation)
{
    // Hooks run by the removals and additions below may reshape the tree: every element kept
    // across them is held by a safe pointer, and the walk goes on only through this element's
    // own children.
    auto childNode = [this](UIElement* element) -> CXLinkedListNode* {
        return element != nullptr && element->fParent == this ? &element->fSiblingLink : nullptr;
    };
    CXLinkedListNode* node = fChildren.first();
    while (node != nullptr) {
        UIElement* child = FromLink(node);
        if (child->IsAdapter()) {
            CXSafePointer<UIElement> wrapper(child);
            CXSafePointer<UIElement> next(child->NextSibling());
            std::vector<CXSafePointer<UIElement>> wrapped;
            while (wrapper) {
                UIElement* inner = wrapper->FirstChild();
                if (inner == nullptr)
                    break;
                wrapped.emplace_back(inner);
                inner->RemoveFromParent();
                if (inner->GetParent() == wrapper.get())
                    break; // it would not leave
            }
            // A wrapper may destroy itself once it has lost what it wrapped.
            if (wrapper)
                wrapper->Destroy();
            UIElement* lastAdded = nullptr;
            for (const CXSafePointer<UIElement>& element : wrapped) {
                if (!element)
                    continue;
                if (UIElement* added = AddChild(element.get(), next.get()))
                    lastAdded = added;
            }
            node = lastAdded != nullptr ? (lastAdded->fParent == this ? lastAdded->fSiblingLink.next() : nullptr)
                                        : childNode(next.get());
            continue;
        }
        child->SetAppearanceImplementation(implementation, nullptr);
        CXSafePointer<UIElement> next(child->NextSibling());
        if (UIElement* wrapper = UIAppearanceImplementationAdapter::FindAdapterWrapper(GetAppearance(), this, child))
            (void)AddChild(wrapper, next.get());
        node = childNode(next.get());
    }
}

#include "toolkit/UIElement.h"

#include "foundation/CXDebug.h"
#include "foundation/CXSafeCast.h"
#include "foundation/CXSafePointer.h"
#include "toolkit/UIAppearance.h"

#include <algorithm>
#include <set>
#include <typeinfo>

namespace {

// Every live element, in address order. Main thread only, so unlocked; never destroyed, so
// elements that outlive static destruction still find it.
std::set<const UIElement*>& LiveElements()
{
    static auto* elements = new std::set<const UIElement*>;
    return *elements;
}

// Child-list misuse is reported once per process, in the tree's wording.
void ReportOnce(bool& reported, const char* text)
{
    if (reported)
        return;
    reported = true;
    CXDebugError("%s", text);
}

bool gReportedNotMember = false;
bool gReportedInsertLinked = false;
bool gReportedInsertLastLinked = false;

} // namespace

UIElement::UIElement()
{
    LiveElements().insert(this);
}

UIElement::~UIElement()
{
    LiveElements().erase(this);
    fMessageHandlers.clear();
    fName.Clear();
    fTitle.Clear();
    if (!fChildren.IsEmpty()) {
        // The children outlive this element: leave none of them pointing at it.
        CXDebugError("~CXLinkedListHead> List not empty.");
        while (CXLinkedListNode* node = fChildren.first()) {
            FromLink(node)->fParent = nullptr;
            fChildren.Remove(*node);
        }
    }
    if (CXLinkedListHead* list = fSiblingLink.list())
        list->Remove(fSiblingLink);
    fParent = nullptr;
}

UIElement* UIElement::FromLink(CXLinkedListNode* node)
{
    return node != nullptr ? static_cast<UIElementSiblingLink*>(node)->GetOwner() : nullptr;
}

// --- Message chain ---

CXMessageTarget* UIElement::GetDelegate() const
{
    return fParent;
}

CXString UIElement::GetName() const
{
    return fName;
}

CXResultCode UIElement::HandleMessage(const CXMessage& message)
{
    if (!fMessageHandlers.empty()) {
        // A handler may add handlers (the vector moves) or destroy this element.
        CXSafePointer<UIElement> self(this);
        for (size_t i = 0; i < fMessageHandlers.size(); ++i) {
            MessageHandler handler = fMessageHandlers[i];
            CXResultCode result = handler(message);
            if (result != kCXNotSupported || !self)
                return result;
        }
    }
    return CXMessageTarget::HandleMessage(message);
}

void UIElement::AddMessageHandler(MessageHandler handler)
{
    fMessageHandlers.push_back(std::move(handler));
}

// --- Life ---

void UIElement::Init()
{
    if (fInitialised)
        CXDebugError("UIElement::Init> already initialised");
    fInitialised = 1;
    CreateSystemContext();
}

void UIElement::CreateSystemContext()
{
    if (fHasSystemContext)
        CXDebugError("UIElement::CreateSystemContext> already has system context");
    fHasSystemContext = 1;
    for (CXLinkedListNode* node = fChildren.first(); node != nullptr;) {
        UIElement* child = FromLink(node);
        node = node->next();
        child->ParentSystemContextCreated();
    }
}

void UIElement::DestroySystemContext()
{
    if (!fHasSystemContext)
        CXDebugError("UIElement::DestroySystemContext> doesn't have system context");
    for (CXLinkedListNode* node = fChildren.first(); node != nullptr;) {
        UIElement* child = FromLink(node);
        node = node->next();
        child->ParentSystemContextDestroyed();
    }
    fHasSystemContext = 0;
}

void UIElement::ParentSystemContextCreated() {}

void UIElement::ParentSystemContextDestroyed() {}

void UIElement::Destroy()
{
    DestroyChildren();
    if (fHasSystemContext)
        DestroySystemContext();
    RemoveFromParent();
    if (fNotHeapOwned)
        fInitialised = 0;
    else
        delete this;
}

void UIElement::DestroyChildren()
{
    while (UIElement* child = FirstChild()) {
        if (child->fNotHeapOwned)
            child->RemoveFromParent();
        else
            child->Destroy();
    }
}

// --- Tree ---

UIElement* UIElement::FirstChild() const
{
    return FromLink(fChildren.first());
}

UIElement* UIElement::LastChild() const
{
    return FromLink(fChildren.last());
}

UIElement* UIElement::NextSibling() const
{
    return fParent != nullptr ? FromLink(fSiblingLink.next()) : nullptr;
}

UIElement* UIElement::PreviousSibling() const
{
    return fParent != nullptr ? FromLink(fSiblingLink.prev()) : nullptr;
}

bool UIElement::IsAncestorOrSelfOf(const UIElement* element) const
{
    for (; element != nullptr; element = element->fParent) {
        if (element == this)
            return true;
    }
    return false;
}

UIElement* UIElement::AddChildFirst(UIElement* child)
{
    return AddChild(child, FirstChild());
}

UIElement* UIElement::AddChild(UIElement* child, UIElement* before)
{
    if (child == nullptr) {
        CXDebugError("UIElement::AddChild> null child");
        return nullptr;
    }
    if (child->IsAncestorOrSelfOf(this)) {
        CXDebugError("UIElement::AddChild> loop");
        return nullptr;
    }
    if (child->fParent != nullptr)
        child->RemoveFromParent();

    child->SetAppearanceImplementation(GetAppearance()->GetImplementation(), this);
    UIElement* added = child;
    if (!child->IsAdapter()) {
        if (UIElement* wrapper = UIAppearanceImplementationAdapter::FindAdapterWrapper(GetAppearance(), this, child))
            added = wrapper;
    }

    if (!LinkChild(added, before))
        return nullptr;
    ReapplyLayout(added);
    ChildrenChanged();
    if (added->IsShown())
        added->NotifyHierarchyVisibilityChanged(true);
    return added;
}

bool UIElement::LinkChild(UIElement* element, UIElement* before)
{
    CXLinkedListNode& node = element->fSiblingLink;
    if (before != nullptr && before->fSiblingLink.list() != &fChildren) {
        ReportOnce(gReportedNotMember, "CXLinkedListHead<T>::InsertBetween> 'before' is not a member of this list.");
        before = nullptr;
    }
    if (node.list() != nullptr) {
        // Linked elsewhere still (a subclass kept it in its old parent): the parent pointer stays
        // with the list that holds the element.
        if (before != nullptr)
            ReportOnce(gReportedInsertLinked, "CXLinkedListHead::Insert> Node is already in list.");
        else
            ReportOnce(gReportedInsertLastLinked, "CXLinkedListHead::InsertLast> Node is already in list.");
        return false;
    }
    element->fParent = this;
    if (before != nullptr)
        fChildren.InsertBefore(node, before->fSiblingLink);
    else
        fChildren.InsertLast(node);
    return true;
}

void UIElement::RemoveFromParent()
{
    UIElement* parent = fParent;
    if (parent == nullptr)
        return;
    bool wasShown = IsShown();
    if (fSiblingLink.list() != nullptr)
        fSiblingLink.list()->Remove(fSiblingLink);
    fParent = nullptr;
    parent->ChildrenChanged();
    if (wasShown)
        NotifyHierarchyVisibilityChanged(false);
}

// --- Visibility ---

void UIElement::SetVisible(bool visible)
{
    if ((fVisible != 0) == visible)
        return;
    bool wasShown = fVisible != 0 && IsShown();
    fVisible = visible ? 1 : 0;
    bool nowShown = visible && IsShown();
    if (wasShown || nowShown)
        NotifyHierarchyVisibilityChanged(visible);
    if (fParent != nullptr)
        fParent->ChildVisibilityChanged();
}

bool UIElement::IsShown() const
{
    return fVisible != 0 && fParent != nullptr && fParent->IsShown();
}

void UIElement::NotifyHierarchyVisibilityChanged(bool shown)
{
    for (CXLinkedListNode* node = fChildren.first(); node != nullptr;) {
        UIElement* child = FromLink(node);
        node = node->next();
        if (child->fVisible)
            child->NotifyHierarchyVisibilityChanged(shown);
    }
}

void UIElement::ChildrenChanged() {}

void UIElement::ChildLayoutChanged() {}

void UIElement::ChildVisibilityChanged() {}

bool UIElement::IsAppearingActive() const
{
    return true;
}

// --- Layout ---

void UIElement::ApplyLayout()
{
    int32_t x = fLeft;
    int32_t y = fTop;
    int32_t width = fRight - fLeft;
    int32_t height = fBottom - fTop;
    if (fLayoutEnabled && fParent != nullptr) {
        if (fHorizontalAnchor == 1)
            x += fParent->GetWidth();
        else if (fHorizontalAnchor == 2)
            width += fParent->GetWidth();
        if (fVerticalAnchor == 1)
            y += fParent->GetHeight();
        else if (fVerticalAnchor == 2)
            height += fParent->GetHeight();
    }
    int32_t minimumWidth = 0;
    int32_t minimumHeight = 0;
    GetMinimumSize(minimumWidth, minimumHeight);
    width = std::max(width, minimumWidth);
    height = std::max(height, minimumHeight);
    fX = x;
    fY = y;
    fWidth = width;
    fHeight = height;

    auto required = [](int32_t anchor, int32_t nearOffset, int32_t farOffset, int32_t size, int32_t minimum) {
        switch (anchor) {
        case 0:
            return nearOffset + size;
        case 1:
            return size - farOffset;
        default:
            return minimum + nearOffset - farOffset;
        }
    };
    fRequiredParentWidth = required(fHorizontalAnchor, fLeft, fRight, width, minimumWidth);
    fRequiredParentHeight = required(fVerticalAnchor, fTop, fBottom, height, minimumHeight);
}

void UIElement::SetLayout(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t horizontalAnchor,
                          int32_t verticalAnchor)
{
    if (left == fLeft && top == fTop && right == fRight && bottom == fBottom && horizontalAnchor == fHorizontalAnchor &&
        verticalAnchor == fVerticalAnchor)
        return;
    Box2i before = GetFrame();
    fLeft = left;
    fTop = top;
    fRight = right;
    fBottom = bottom;
    fHorizontalAnchor = horizontalAnchor;
    fVerticalAnchor = verticalAnchor;
    ApplyLayout();
    const bool frameChanged = GetFrame() != before;
    // LayoutChildren tells the parent itself; otherwise a new frame is told here, so that a parent
    // that sizes itself by its children hears of it.
    if (fInitialised && (frameChanged || NeedsRelayout()))
        LayoutChildren();
    else if (frameChanged && fParent != nullptr)
        fParent->ChildLayoutChanged();
}

void UIElement::ReapplyLayout(UIElement* element)
{
    Box2i before = element->GetFrame();
    element->ApplyLayout();
    if (element->fInitialised && (element->GetFrame() != before || element->NeedsRelayout()))
        element->LayoutChildren();
}

void UIElement::LayoutChildren()
{
    bool relayoutAll = NeedsRelayout();
    for (CXLinkedListNode* node = fChildren.first(); node != nullptr;) {
        UIElement* child = FromLink(node);
        node = node->next();
        bool anchored = child->fLayoutEnabled && (child->fHorizontalAnchor != 0 || child->fVerticalAnchor != 0);
        if (anchored || relayoutAll)
            ReapplyLayout(child);
    }
    if (fParent != nullptr)
        fParent->ChildLayoutChanged();
}

void UIElement::MoveTo(int32_t x, int32_t y)
{
    fRight += x - fLeft;
    fBottom += y - fTop;
    fLeft = x;
    fTop = y;
    fX = x;
    fY = y;
}

void UIElement::SetSize(int32_t width, int32_t height)
{
    SetLayout(fX, fY, fX + width, fY + height, fHorizontalAnchor, fVerticalAnchor);
}

void UIElement::GetRequiredParentSize(int32_t& width, int32_t& height) const
{
    width = fRequiredParentWidth;
    height = fRequiredParentHeight;
}

void UIElement::SetMinimumSize(int32_t width, int32_t height)
{
    fMinimumWidth = width;
    fMinimumHeight = height;
}

Box2i UIElement::GetFrame() const
{
    return {fX, fY, fX + fWidth, fY + fHeight, false};
}

int32_t UIElement::GetWidth() const
{
    return fWidth;
}

int32_t UIElement::GetHeight() const
{
    return fHeight;
}

void UIElement::GetMinimumSize(int32_t& width, int32_t& height) const
{
    width = fMinimumWidth;
    height = fMinimumHeight;
}

void UIElement::GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const
{
    left = 0;
    top = 0;
    right = 0;
    bottom = 0;
}

Box2i UIElement::GetBounds() const
{
    return {0, 0, std::max(fWidth, fMinimumWidth), std::max(fHeight, fMinimumHeight), false};
}

bool UIElement::NeedsRelayout() const
{
    return false;
}

// --- Content, drawing and focus hooks ---

void UIElement::SetTitle(const CXString& title)
{
    fTitle = title;
}

void UIElement::InvalidateRegion(const RazaRegion&) {}

void UIElement::InvalidateBox(const Box2i&) {}

void UIElement::InvalidateAll() {}

void UIElement::SetFocus() {}

bool UIElement::HasFocus() const
{
    return false;
}

Vector2i UIElement::GetContentOrigin() const
{
    return {0, 0};
}

void UIElement::HandleScrollWheel(const UIScrollWheelEvent& event)
{
    if (fParent != nullptr)
        fParent->HandleScrollWheel(event);
}

void UIElement::ScrollBoxIntoView(const Box2i& box)
{
    if (fParent != nullptr)
        fParent->ScrollBoxIntoView(ConvertBoxToAncestor(box, fParent));
}

bool UIElement::IsAdapter() const
{
    return false;
}

// --- Coordinates ---

Vector2i UIElement::ConvertPointToAncestor(Vector2i point, const UIElement* ancestor) const
{
    if (this == ancestor)
        return point;
    Vector2i converted = point + Vector2i{fX, fY} - GetContentOrigin();
    return fParent != nullptr ? fParent->ConvertPointToAncestor(converted, ancestor) : converted;
}

Vector2i UIElement::ConvertPointFromAncestor(Vector2i point, const UIElement* ancestor) const
{
    if (this == ancestor)
        return point;
    Vector2i converted = point - Vector2i{fX, fY} + GetContentOrigin();
    return fParent != nullptr ? fParent->ConvertPointFromAncestor(converted, ancestor) : converted;
}

Box2i UIElement::ConvertBoxToAncestor(const Box2i& box, const UIElement* ancestor) const
{
    Vector2i topLeft = ConvertPointToAncestor({box.left, box.top}, ancestor);
    Vector2i bottomRight = ConvertPointToAncestor({box.right, box.bottom}, ancestor);
    return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y, false};
}

Box2i UIElement::ConvertBoxFromAncestor(const Box2i& box, const UIElement* ancestor) const
{
    Vector2i topLeft = ConvertPointFromAncestor({box.left, box.top}, ancestor);
    Vector2i bottomRight = ConvertPointFromAncestor({box.right, box.bottom}, ancestor);
    return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y, false};
}

bool UIElement::GetVisibleBox(Box2i& box) const
{
    Vector2i origin = GetContentOrigin();
    Box2i clipped = box.Intersect({origin.x, origin.y, origin.x + fWidth, origin.y + fHeight, false});
    if (clipped.IsEmpty())
        return false;
    if (fParent == nullptr) {
        box = clipped;
        return true;
    }
    Box2i inParent = ConvertBoxToAncestor(clipped, fParent);
    bool visible = fParent->GetVisibleBox(inParent);
    box = ConvertBoxFromAncestor(inParent, fParent);
    return visible;
}

// --- Notifications ---

void UIElement::InternalSuppressNotifications(int32_t delta)
{
    fNotificationSuppression += delta;
    if (fNotificationSuppression < 0) {
        CXDebugError("UIElement::InternalSuppressNotifications> unbalanced");
        fNotificationSuppression = 0;
    }
}

// --- Registry ---

size_t UIElement::CountLiveElements()
{
    return LiveElements().size();
}

void UIElement::DebugCheckLeaks()
{
    const std::set<const UIElement*>& elements = LiveElements();
    for (const UIElement* element : elements) {
        CXDebugError("UIElement::DebugCheckLeaks> leaked %p (%s)", static_cast<const void*>(element),
                     CXTypeName(typeid(*element)).c_str());
    }
    if (!elements.empty())
        CXDebugError("UIElement::DebugCheckLeaks> we have leaked UIElements");
}

// The custom control's windowless children: their regions, the routing of mouse, context clicks
// and the wheel to them, the keyboard focus down a chain of them, and the counts of their drag
// types, hover tracking and activation in their ancestors.

#include "toolkit/UICustomControl.h"

#include "foundation/CXDebug.h"
#include "foundation/CXSafePointer.h"
#include "toolkit/UIUserActionEvent.h"
#include "win32/user/Queue.h"

using namespace win32;

namespace {

// A visible child drawn by its parent, as its custom part; null otherwise.
UICustomControlBase* WindowlessPart(UIElement* child)
{
    auto* custom = dynamic_cast<UICustomControlBase*>(child);
    return custom != nullptr && child->IsVisible() && custom->IsWindowless() ? custom : nullptr;
}

// A point of the parent's content in the child's own content coordinates.
Vector2i PointInChild(const UIElement* child, Vector2i point)
{
    const Box2i frame = child->GetFrame();
    return point + child->GetContentOrigin() - Vector2i{frame.left, frame.top};
}

bool FrameHolds(const UIElement* child, Vector2i point)
{
    const Box2i frame = child->GetFrame();
    return !frame.IsEmpty() && point.x >= frame.left && point.x < frame.right && point.y >= frame.top &&
           point.y < frame.bottom;
}

// The focus rests in the control's chain: a windowed control's window has the window focus; a
// windowless one is its parent's focused child and the parent's chain holds it.
bool ChainHoldsFocus(const UICustomControlBase* control)
{
    const auto* element = dynamic_cast<const UIElement*>(control);
    if (element == nullptr)
        return false;
    if (!control->IsWindowless()) {
        HWND handle = NativeUIElement::GetNativeHandle(element);
        return handle != nullptr && GetFocus() == handle;
    }
    const auto* parent = dynamic_cast<const UICustomControlBase*>(element->GetParent());
    return parent != nullptr && parent->focusedChild == control && ChainHoldsFocus(parent);
}

} // namespace

// --- Regions ---

RazaRegion UICustomControl::GetRegion(int32_t kind)
{
    const bool fromChildren = (kind == kRegionHit && compositingHint == 4) ||
                              (kind == kRegionDrawn && (compositingHint == kWindowlessHint || compositingHint == 4));
    if (fromChildren)
        return ChildrenRegion(kind);
    return RazaRegion(Box2i{0, 0, GetWidth(), GetHeight(), false});
}

RazaRegion UICustomControl::ChildrenRegion(int32_t kind)
{
    const Box2i bounds{0, 0, GetWidth(), GetHeight(), false};
    RazaRegion united;
    for (UIElement* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
        UICustomControlBase* custom = WindowlessPart(child);
        if (custom == nullptr || child->GetFrame().Intersect(bounds).IsEmpty())
            continue;
        const Box2i frame = child->GetFrame();
        united = united.Union(custom->GetRegion(kind).Offset(Vector2i{frame.left, frame.top} - contentOrigin));
    }
    return united.Intersect(RazaRegion(bounds));
}

bool UICustomControl::ContainsPoint(Vector2i point)
{
    return GetRegion(kRegionHit).Contains(point);
}

// --- Routing ---

UICustomControlBase* UICustomControl::HitChild(Vector2i point) const
{
    for (UIElement* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
        UICustomControlBase* custom = WindowlessPart(child);
        if (custom == nullptr)
            continue;
        const Box2i frame = child->GetFrame();
        const RazaRegion region = custom->GetRegion(kRegionHit);
        if (region.IsNotEmpty() && region.Contains(point - Vector2i{frame.left, frame.top}))
            return custom;
    }
    return nullptr;
}

UIElement* UICustomControl::ChildWhoseFrameHolds(Vector2i point) const
{
    for (UIElement* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
        if (WindowlessPart(child) != nullptr && FrameHolds(child, point))
            return child;
    }
    return nullptr;
}

bool UICustomControl::HandleMouse(Vector2i point, int32_t modifiers, int32_t phase)
{
    CXSafePointer<UIElement> alive(this);
    if (phase == kMousePress || phase == kMouseDoubleClick || phase == kMouseHover) {
        UICustomControlBase* hit = HitChild(point);
        if (phase == kMouseHover && hit != nullptr && !hit->tracksHover)
            hit = nullptr;
        if (hit != trackedChild) {
            UICustomControlBase* old = trackedChild;
            trackedChild = hit;
            if (old != nullptr && old->tracksHover)
                old->MouseExited();
            if (!alive)
                return true;
            if (hit != nullptr && hit == trackedChild && hit->tracksHover)
                hit->MouseEntered(PointInChild(dynamic_cast<UIElement*>(hit), point));
            if (!alive)
                return true;
        }
        if (phase != kMouseHover && trackedChild != nullptr) {
            SetKeyboardFocus(trackedChild);
            if (!alive)
                return true;
        }
    }
    // A drag and the release go to the child that took the press, wherever the pointer is.
    if (trackedChild == nullptr)
        return false;
    (void)trackedChild->HandleMouse(PointInChild(dynamic_cast<UIElement*>(trackedChild), point), modifiers, phase);
    return true;
}

bool UICustomControl::HandleContextClick(Vector2i point, Vector2i screenPoint)
{
    UIElement* child = ChildWhoseFrameHolds(point);
    if (child == nullptr)
        return false;
    return dynamic_cast<UICustomControlBase*>(child)->HandleContextClick(PointInChild(child, point), screenPoint);
}

bool UICustomControl::HandleWheel(const UIScrollWheelEvent& wheel)
{
    UIElement* child = ChildWhoseFrameHolds(wheel.point);
    if (child == nullptr) {
        HandleScrollWheel(wheel);
        return true;
    }
    UIScrollWheelEvent inChild = wheel;
    inChild.point = PointInChild(child, wheel.point);
    return dynamic_cast<UICustomControlBase*>(child)->HandleWheel(inChild);
}

void UICustomControl::MouseExited()
{
    UICustomControlBase* child = trackedChild;
    trackedChild = nullptr;
    if (child != nullptr)
        child->MouseExited();
}

bool UICustomControl::HandleText(const char16_t* text, int32_t byteLength, int32_t modifiers)
{
    if (focusedChild == nullptr)
        return false;
    return focusedChild->HandleText(text, byteLength, modifiers);
}

void UICustomControl::ChildrenChanged()
{
    CXUIControl::ChildrenChanged();
    // Compared with the children's parts only: a pointer kept is never followed, as its control may
    // be gone.
    bool focusedIsChild = false;
    bool trackedIsChild = false;
    for (UIElement* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
        auto* custom = dynamic_cast<UICustomControlBase*>(child);
        if (custom == nullptr)
            continue;
        focusedIsChild = focusedIsChild || custom == focusedChild;
        trackedIsChild = trackedIsChild || custom == trackedChild;
    }
    if (!focusedIsChild)
        focusedChild = nullptr;
    if (!trackedIsChild)
        trackedChild = nullptr;
}

// --- Keyboard focus ---

void UICustomControl::SetFocus()
{
    SetKeyboardFocus(this);
}

bool UICustomControl::HasFocus() const
{
    return HasKeyboardFocus();
}

void UICustomControl::TakeNativeFocus()
{
    CXUIControl::SetFocus();
}

void UICustomControl::LostKeyboardFocus()
{
    FocusLost();
}

void UICustomControl::FocusLost()
{
    UICustomControlBase* child = focusedChild;
    focusedChild = nullptr;
    if (child == nullptr)
        return;
    if (auto* control = dynamic_cast<CXUIControl*>(child))
        control->FocusLost();
    else
        child->LostKeyboardFocus();
}

void UICustomControl::SetKeyboardFocus(UICustomControlBase* control)
{
    if (control == nullptr)
        return;
    if (!control->IsWindowless()) {
        control->TakeNativeFocus();
        return;
    }
    auto* element = dynamic_cast<UIElement*>(control);
    auto* parent = element != nullptr ? dynamic_cast<UICustomControlBase*>(element->GetParent()) : nullptr;
    if (parent == nullptr || parent->focusedChild == control)
        return;
    if (UICustomControlBase* old = parent->focusedChild) {
        parent->focusedChild = nullptr;
        old->LostKeyboardFocus();
        if (parent->focusedChild != nullptr)
            CXDebugError("UICustomControl::SetKeyboardFocus> focus changed during LostFocus() notification");
    }
    // The whole chain up to the window takes the focus first.
    SetKeyboardFocus(parent);
    if (parent->focusedChild != nullptr && parent->focusedChild != control)
        CXDebugError("UICustomControl::SetKeyboardFocus> focus changed during SetKeyboardFocus() notification");
    parent->focusedChild = control;
    control->GotKeyboardFocus();
}

bool UICustomControl::HasKeyboardFocus() const
{
    return focusedChild == nullptr && ChainHoldsFocus(this);
}

// --- Activation ---

void UICustomControl::SetAppearingActive(bool active)
{
    for (UIElement* child = FirstChild(); child != nullptr; child = child->NextSibling()) {
        UICustomControlBase* custom = WindowlessPart(child);
        if (custom == nullptr || (!custom->receivesActivation && custom->activationDescendants == 0) ||
            (custom->appearingActive != 0) == active)
            continue;
        custom->appearingActive = active ? 1 : 0;
        custom->SetAppearingActive(active);
    }
}

void UICustomControl::SetReceivesActivation(bool receives)
{
    if ((receivesActivation != 0) == receives)
        return;
    ActivationTrackingChanged(false);
    UpdateParentDrawnAttributes(false);
    receivesActivation = receives ? 1 : 0;
    UpdateParentDrawnAttributes(true);
    ActivationTrackingChanged(true);
}

void UICustomControl::SetTracksHover(bool tracks)
{
    if ((tracksHover != 0) == tracks)
        return;
    UpdateParentDrawnAttributes(false);
    tracksHover = tracks ? 1 : 0;
    UpdateParentDrawnAttributes(true);
    HoverTrackingChanged();
}

void UICustomControl::AdjustActivationCount(bool oldFlag, bool newFlag)
{
    if (oldFlag == newFlag)
        return;
    ActivationTrackingChanged(false);
    UpdateParentDrawnAttributes(false);
    activationDescendants += newFlag ? 1 : -1;
    UpdateParentDrawnAttributes(true);
    ActivationTrackingChanged(true);
}

void UICustomControl::AdjustHoverCount(bool oldFlag, bool newFlag)
{
    if (oldFlag == newFlag)
        return;
    UpdateParentDrawnAttributes(false);
    hoverDescendants += newFlag ? 1 : -1;
    UpdateParentDrawnAttributes(true);
    HoverTrackingChanged();
}

// --- Counts in the parents ---

void UICustomControl::UpdateParentDrawnAttributes(bool attach)
{
    attach = attach && IsVisible() && IsWindowless();
    if (attach == (attachedToParent != 0))
        return;
    auto* parent = dynamic_cast<UICustomControl*>(GetParent());
    if (parent == nullptr) {
        // Attaching without a custom-drawn parent counts nothing.
        if (!attach)
            CXDebugError("UICustomControl::UpdateParentDrawnAttributes> attached with no valid parent?");
        attachedToParent = 0;
        return;
    }
    attachedToParent = attach ? 1 : 0;
    parent->CountChild(*this, attach ? 1 : -1);
}

void UICustomControl::CountChild(UICustomControlBase& child, int32_t sign)
{
    std::vector<CXString> types = child.dragTypes;
    for (const auto& [type, count] : child.descendantDragTypes)
        types.push_back(type);
    const bool hover = child.tracksHover || child.hoverDescendants != 0;
    const bool activation = child.receivesActivation || child.activationDescendants != 0;
    if (types.empty() && !hover && !activation)
        return;
    if (activation)
        ActivationTrackingChanged(false);
    // This control's own contribution changes with its counts: its parent counts it again.
    UpdateParentDrawnAttributes(false);
    bool typesChanged = false;
    for (const CXString& type : types) {
        if (sign > 0) {
            typesChanged = descendantDragTypes[type]++ == 0 || typesChanged;
            continue;
        }
        auto entry = descendantDragTypes.find(type);
        if (entry != descendantDragTypes.end() && --entry->second <= 0) {
            descendantDragTypes.erase(entry);
            typesChanged = true;
        }
    }
    if (hover)
        hoverDescendants += sign;
    if (activation)
        activationDescendants += sign;
    UpdateParentDrawnAttributes(true);
    if (activation)
        ActivationTrackingChanged(true);
    if (hover)
        HoverTrackingChanged();
    if (typesChanged)
        UpdateDropRegistration();
}

#include "toolkit/UICustomControlGenericNativeAdapter.h"

#include "foundation/CXDebug.h"
#include "foundation/CXThread.h"
#include "toolkit/CXUIWindow.h"
#include "win32/user/User.h"

using namespace win32;

namespace {

constexpr int32_t kTransparentHint = 4;
constexpr UINT kMoveFlags = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER;
constexpr UINT kZOrderFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER;

UIAppearanceAdapterGenericNative& ProcessAdapter()
{
    static UIAppearanceAdapterGenericNative adapter;
    return adapter;
}

} // namespace

// --- The adapter element ---

UICustomControlGenericNativeAdapter::UICustomControlGenericNativeAdapter()
{
    SetCompositingHint(kTransparentHint);
}

void UICustomControlGenericNativeAdapter::Wrap(CXUIControl* control)
{
    fWrapped = control;
    (void)AddChild(control, nullptr);
    ChildLayoutChanged();
    SetVisible(control->IsVisible());
}

int32_t UICustomControlGenericNativeAdapter::GetWidth() const
{
    return GetParent() != nullptr ? GetParent()->GetWidth() : 0;
}

int32_t UICustomControlGenericNativeAdapter::GetHeight() const
{
    return GetParent() != nullptr ? GetParent()->GetHeight() : 0;
}

void UICustomControlGenericNativeAdapter::LayoutChildren()
{
    UICustomControl::LayoutChildren();
    const int32_t width = GetWidth();
    const int32_t height = GetHeight();
    if (width == fLastWidth && height == fLastHeight)
        return;
    fLastWidth = width;
    fLastHeight = height;
    if (fWrapped)
        fWrapped->LayoutChildren();
}

void UICustomControlGenericNativeAdapter::GetMinimumSize(int32_t& width, int32_t& height) const
{
    if (fWrapped)
        fWrapped->GetMinimumSize(width, height);
    else
        UICustomControl::GetMinimumSize(width, height);
}

void UICustomControlGenericNativeAdapter::GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const
{
    if (fWrapped)
        fWrapped->GetInsets(left, top, right, bottom);
    else
        UICustomControl::GetInsets(left, top, right, bottom);
}

Box2i UICustomControlGenericNativeAdapter::GetBounds() const
{
    return fWrapped ? fWrapped->GetBounds() : UICustomControl::GetBounds();
}

Vector2i UICustomControlGenericNativeAdapter::GetContentOrigin() const
{
    if (!fWrapped)
        return {};
    const Box2i frame = fWrapped->GetFrame();
    return {frame.left, frame.top};
}

bool UICustomControlGenericNativeAdapter::IsAdapter() const
{
    return true;
}

void UICustomControlGenericNativeAdapter::Destroy()
{
    fWrapped = CXSafePointer<CXUIControl>();
    UICustomControl::Destroy();
}

UIElement* UICustomControlGenericNativeAdapter::WindowAncestor() const
{
    for (UIElement* ancestor = GetParent(); ancestor != nullptr; ancestor = ancestor->GetParent()) {
        if (NativeUIElement::GetNativeHandle(ancestor) != nullptr)
            return ancestor;
    }
    return nullptr;
}

void UICustomControlGenericNativeAdapter::PlaceWindowIn(UIElement* ancestor)
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    Box2i box = GetFrame();
    if (ancestor != nullptr) {
        // The ancestor's client area shows its content from its content origin on (and, for a
        // control clamped to the window range, shifted by its native offset).
        Vector2i client = ancestor->GetContentOrigin();
        if (auto* control = dynamic_cast<CXUIControl*>(ancestor))
            client = client + control->GetNativeOffset();
        box = GetParent()->ConvertBoxToAncestor(box, ancestor).Offset(Vector2i{} - client);
    }
    SetWindowPos(handle, nullptr, box.left, box.top, box.Width(), box.Height(), kMoveFlags);
}

void UICustomControlGenericNativeAdapter::ApplyLayout()
{
    UIElement::ApplyLayout();
    PlaceWindowIn(WindowAncestor());
}

void UICustomControlGenericNativeAdapter::ChildrenChanged()
{
    UICustomControl::ChildrenChanged();
    if (!fWrapped || fWrapped->GetParent() == this)
        return;
    fWrapped = CXSafePointer<CXUIControl>();
    Destroy();
}

void UICustomControlGenericNativeAdapter::ChildLayoutChanged()
{
    if (!fWrapped)
        return;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t ownLeft = 0, ownTop = 0, ownRight = 0, ownBottom = 0;
    fWrapped->GetLayoutOffsets(left, top, right, bottom);
    GetLayoutOffsets(ownLeft, ownTop, ownRight, ownBottom);
    const int32_t horizontal = fWrapped->GetHorizontalAnchor();
    const int32_t vertical = fWrapped->GetVerticalAnchor();
    SetLayoutEnabled(fWrapped->IsLayoutEnabled());
    if (left == ownLeft && top == ownTop && right == ownRight && bottom == ownBottom &&
        horizontal == GetHorizontalAnchor() && vertical == GetVerticalAnchor())
        return;
    SetLayout(left, top, right, bottom, horizontal, vertical);
}

void UICustomControlGenericNativeAdapter::ChildVisibilityChanged()
{
    if (fWrapped)
        SetVisible(fWrapped->IsVisible());
}

void UICustomControlGenericNativeAdapter::NotifyHierarchyVisibilityChanged(bool shown)
{
    if (!CXThread::IsMainThread())
        CXDebugError("UICustomControlGenericNativeAdapter::NotifyHierarchyVisibilityChanged> called on background thread");
    HWND handle = GetLiveNativeHandle();
    if (handle != nullptr)
        ParkNativeWindow();
    UIElement* ancestor = shown ? WindowAncestor() : nullptr;
    if (handle != nullptr && ancestor != nullptr) {
        PlaceWindowIn(ancestor);
        win32::SetParent(handle, NativeUIElement::GetNativeHandle(ancestor));
        SetWindowPos(handle, HWND_BOTTOM, 0, 0, 0, 0, kZOrderFlags);
    }
    UIElement::NotifyHierarchyVisibilityChanged(shown);
}

const UIAppearanceImplementation* UICustomControlGenericNativeAdapter::ChooseAppearanceImplementation(
    const UIAppearanceImplementation*, UIElement*) const
{
    return UIAppearanceWin32_Implementation::Get();
}

// --- The adapter of the registry ---

UIElement* UIAppearanceAdapterGenericNative::CreateWrapperForUIElement(UIElement* element)
{
    auto* control = dynamic_cast<CXUIControl*>(element);
    if (control == nullptr)
        return nullptr;
    if (element->IsAdapter()) {
        CXDebugError("UIAppearanceAdapterGenericNative::CreateWrapperForUIElement> oops?");
        return nullptr;
    }
    element->RemoveFromParent();
    auto* adapter = new UICustomControlGenericNativeAdapter;
    adapter->Init();
    adapter->Wrap(control);
    return adapter;
}

void UIAppearanceAdapterGenericNative::Register()
{
    RegisterAdapter(&ProcessAdapter(), UIAppearanceGeneric_Implementation::Get(), UIAppearanceWin32_Implementation::Get());
}

void UIAppearanceAdapterGenericNative::Unregister()
{
    UnregisterAdapter(&ProcessAdapter());
}

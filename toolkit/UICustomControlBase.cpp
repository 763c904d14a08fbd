#include "toolkit/UICustomControlBase.h"

#include "toolkit/RazaGraf.h"

void UICustomControlBase::InvalidateRegion(const RazaRegion&) {}

void UICustomControlBase::InvalidateBox(const Box2i&) {}

void UICustomControlBase::InvalidateAll() {}

CXAutoReference<RazaGraf> UICustomControlBase::CreateGraf()
{
    return {};
}

RazaRegion UICustomControlBase::GetRegion(int32_t)
{
    return {};
}

void UICustomControlBase::Draw(RazaGraf&) {}

bool UICustomControlBase::HandleMouse(Vector2i, int32_t, int32_t)
{
    return false;
}

bool UICustomControlBase::HandleContextClick(Vector2i, Vector2i)
{
    return false;
}

bool UICustomControlBase::HandleWheel(const UIScrollWheelEvent&)
{
    return false;
}

void UICustomControlBase::SetAppearingActive(bool) {}

void UICustomControlBase::TakeNativeFocus() {}

void UICustomControlBase::GotKeyboardFocus() {}

void UICustomControlBase::LostKeyboardFocus() {}

bool UICustomControlBase::HandleText(const char16_t*, int32_t, int32_t)
{
    return false;
}

void UICustomControlBase::NoOperation() {}

bool UICustomControlBase::HandleKey(int32_t, int32_t)
{
    return false;
}

void UICustomControlBase::UpdateDropRegistration() {}

void UICustomControlBase::HoverTrackingChanged() {}

void UICustomControlBase::ActivationTrackingChanged(bool) {}

void UICustomControlBase::MouseEntered(Vector2i point)
{
    MouseEnteredHook(point);
}

void UICustomControlBase::MouseExited() {}

void UICustomControlBase::MouseEnteredHook(Vector2i) {}

void UICustomControlBase::SetCompositingHint(int32_t hint)
{
    compositingHint = hint;
}

#include "toolkit/UICustomControlBase.h"

void UICustomControlBase::Draw(RazaGraf&) {}

bool UICustomControlBase::HandleMouse(Vector2i, int32_t, int32_t)
{
    return false;
}

bool UICustomControlBase::HandleContextClick(Vector2i, Vector2i)
{
    return false;
}

void UICustomControlBase::SetAppearingActive(bool) {}

void UICustomControlBase::MouseExited() {}

// The custom control's drag types and its drop target on the window.

#include "toolkit/UICustomControl.h"

#include "toolkit/UICustomControlDropTarget.h"
#include "win32/user/DragDrop.h"

void UICustomControl::SetDragTypes(const std::vector<CXString>& types)
{
    if (types == dragTypes)
        return;
    UpdateParentDrawnAttributes(false);
    dragTypes = types;
    UpdateParentDrawnAttributes(true);
    UpdateDropRegistration();
}

void UICustomControl::UpdateDropRegistration()
{
    if (fDropTarget != nullptr)
        return;
    fDropTarget = new UICustomControlDropTarget(this);
    RegisterDropTarget();
}

void UICustomControl::RegisterDropTarget()
{
    win32::HWND handle = GetLiveNativeHandle();
    if (fDropTarget == nullptr || handle == nullptr)
        return;
    (void)win32::RegisterDragDrop(handle, fDropTarget);
}

void UICustomControl::RevokeDropTarget()
{
    win32::HWND handle = GetLiveNativeHandle();
    if (fDropTarget == nullptr || handle == nullptr)
        return;
    (void)win32::RevokeDragDrop(handle);
}

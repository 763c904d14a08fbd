#include "toolkit/UICustomControlDropTarget.h"

#include "toolkit/CXOSSoup.h"
#include "toolkit/UIElement.h"

using namespace win32;

UIDragMessage::UIDragMessage(const CXString& name, CXMessageTarget* sender, CXOSSoupDrag* dragData, Vector2i point)
    : CXMessage(name, sender)
    , fDragData(dragData)
    , fPoint(point)
{
}

UICustomControlDropTarget::UICustomControlDropTarget(UIElement* control) : fControl(control) {}

HRESULT UICustomControlDropTarget::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDropTarget)) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
}

ULONG UICustomControlDropTarget::AddRef()
{
    AddReference();
    return GetReferenceCount();
}

ULONG UICustomControlDropTarget::Release()
{
    uint32_t count = GetReferenceCount();
    RemoveReference();
    return count > 0 ? count - 1 : 0;
}

CXResultCode UICustomControlDropTarget::Send(const char* name, IDataObject* data, POINTL point)
{
    UIElement* control = fControl.get();
    if (control == nullptr)
        return kCXNotSupported;
    CXOSSoupDrag soup(data);
    return control->HandleMessage(UIDragMessage(name, control, &soup, {point.x, point.y}));
}

HRESULT UICustomControlDropTarget::DragEnter(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    if (data == nullptr || effect == nullptr)
        return E_INVALIDARG;
    CXResultCode result = Send(UIDragMessage::kEnter, data, point);
    fEnterEffect = result == kCXOK ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    *effect = fEnterEffect;
    return S_OK;
}

HRESULT UICustomControlDropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (effect == nullptr)
        return E_INVALIDARG;
    *effect = fEnterEffect;
    return S_OK;
}

HRESULT UICustomControlDropTarget::DragLeave()
{
    fEnterEffect = DROPEFFECT_NONE;
    if (UIElement* control = fControl.get())
        (void)control->HandleMessage(UIDragMessage(UIDragMessage::kLeave, control));
    return S_OK;
}

HRESULT UICustomControlDropTarget::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect)
{
    if (data == nullptr || effect == nullptr)
        return E_INVALIDARG;
    fEnterEffect = DROPEFFECT_NONE;
    CXResultCode result = Send(UIDragMessage::kReceive, data, point);
    *effect = result == kCXOK ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
}

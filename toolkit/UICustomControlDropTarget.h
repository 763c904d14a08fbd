#pragma once

// The drop target a windowed custom control registers on its window: it turns the window
// system's drags into messages to the control. "Drag-Enter" and "Drag-Receive" carry the dragged
// data and the pointer; "Drag-Leave" carries neither. A control that answers 0 to "Drag-Enter"
// takes the drag: the pointer shows the copy effect while it moves over the control, and the
// drop is "Drag-Receive", which the control takes by answering 0 again. Any other answer refuses.
//
// The control holds the target's first reference; the window's registration holds another while
// the window has the target. Main thread only.

#include "foundation/CXMessage.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXSafePointer.h"
#include "toolkit/Box2i.h"
#include "win32/api/DropTarget.h"

class CXOSSoupDrag;
class UIElement;

// A drag message. Receivers tell the kinds apart by name.
class UIDragMessage : public CXMessage {
public:
    static constexpr const char* kEnter = "Drag-Enter";
    static constexpr const char* kLeave = "Drag-Leave";
    static constexpr const char* kReceive = "Drag-Receive";

    // Drag-Leave: no data, the point (0, 0).
    UIDragMessage(const CXString& name, CXMessageTarget* sender, CXOSSoupDrag* dragData = nullptr,
                  Vector2i point = {});

    // The dragged data for the length of the message (its "filepath" items are the dropped files
    // or text); null for Drag-Leave.
    CXOSSoupDrag* GetDragData() const { return fDragData; }
    // The pointer on the screen.
    Vector2i GetPoint() const { return fPoint; }

private:
    CXOSSoupDrag* fDragData;
    Vector2i fPoint;
};

class UICustomControlDropTarget final : public win32::IDropTarget, public DynamicReferenceCount {
public:
    // A count of 1, the control's reference. The control is not owned; once it is gone every
    // drag is refused without a message.
    explicit UICustomControlDropTarget(UIElement* control);

    // IUnknown and IDropTarget. Null pointers give E_INVALIDARG (QueryInterface: E_POINTER); only
    // IUnknown and IDropTarget are answered.
    win32::HRESULT QueryInterface(win32::REFIID iid, void** object) override;
    win32::ULONG AddRef() override;
    win32::ULONG Release() override;
    // Sends "Drag-Enter" and answers DROPEFFECT_COPY when the control answered 0, else
    // DROPEFFECT_NONE.
    win32::HRESULT DragEnter(win32::IDataObject* data, win32::DWORD keyState, win32::POINTL point,
                             win32::DWORD* effect) override;
    // Sends nothing; repeats the answer of the drag's "Drag-Enter", so a refused drag stays
    // refused.
    win32::HRESULT DragOver(win32::DWORD keyState, win32::POINTL point, win32::DWORD* effect) override;
    // Sends "Drag-Leave".
    win32::HRESULT DragLeave() override;
    // Sends "Drag-Receive"; answers as DragEnter.
    win32::HRESULT Drop(win32::IDataObject* data, win32::DWORD keyState, win32::POINTL point,
                        win32::DWORD* effect) override;

private:
    ~UICustomControlDropTarget() override = default;

    // The control's answer to a message carrying the data and the point; -2 without a control.
    CXResultCode Send(const char* name, win32::IDataObject* data, win32::POINTL point);

    CXSafePointer<UIElement> fControl;
    // The answer of the current drag's "Drag-Enter".
    win32::DWORD fEnterEffect = win32::DROPEFFECT_NONE;
};

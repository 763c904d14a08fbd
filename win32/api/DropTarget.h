#pragma once

// The drop-target interface a window registers to receive drags (RegisterDragDrop), with the
// effects a drag may have and the registration results.
//
// Emulation limits: drags come only from the test harness (no drag source, no feedback cursors,
// no modal drag loop); the target is called on the UI thread.

#include "win32/api/DataObject.h"

namespace win32 {

using DROPEFFECT = DWORD;
inline constexpr DROPEFFECT DROPEFFECT_NONE = 0;
inline constexpr DROPEFFECT DROPEFFECT_COPY = 1;
inline constexpr DROPEFFECT DROPEFFECT_MOVE = 2;
inline constexpr DROPEFFECT DROPEFFECT_LINK = 4;

inline constexpr HRESULT DRAGDROP_E_NOTREGISTERED = static_cast<HRESULT>(0x80040100u);
inline constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = static_cast<HRESULT>(0x80040101u);
inline constexpr HRESULT DRAGDROP_E_INVALIDHWND = static_cast<HRESULT>(0x80040102u);

// A point on the screen.
struct POINTL {
    LONG x;
    LONG y;
};

// What a drag tells the window under the pointer, in this order: DragEnter when the pointer comes
// over it, DragOver for each further move over it, then Drop when the button is released where
// the last answer was not DROPEFFECT_NONE, else DragLeave (also when the pointer moves away).
// keyState holds the MK_* bits; effect comes in as the effects the source allows and goes out as
// the one the target would take (DROPEFFECT_NONE to refuse). The data object is borrowed for the
// call; a target that keeps it adds a reference.
class IDropTarget : public IUnknown {
public:
    virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;

protected:
    ~IDropTarget() = default;
};

} // namespace win32

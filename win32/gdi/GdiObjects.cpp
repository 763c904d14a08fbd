// The drawing objects: the lock, the handle bookkeeping, stock objects and system colours,
// brushes and pens, and the calls that take any object.

#include "win32/gdi/GdiInternal.h"

#include <atomic>
#include <cstring>

namespace win32::gdi {

namespace {

struct ObjectState {
    CXRecursiveMutex lock;
    size_t live[128] = {};
    HGDIOBJ stock[DEFAULT_GUI_FONT + 1] = {};
    HBRUSH systemBrushes[COLOR_MENUBAR + 1] = {};
    StockFontFactory fontFactory = nullptr;
};

ObjectState& State()
{
    // Never destroyed: objects may be used until the very end of the process.
    static ObjectState* state = new ObjectState();
    return *state;
}

constexpr COLORREF kNoColor = CLR_INVALID;

// The system colours, by index (kNoColor: no such colour).
constexpr COLORREF kSystemColors[COLOR_MENUBAR + 1] = {
    RGB(200, 200, 200), // COLOR_SCROLLBAR
    RGB(0, 0, 0),       // COLOR_BACKGROUND
    RGB(153, 180, 209), // COLOR_ACTIVECAPTION
    RGB(191, 205, 219), // COLOR_INACTIVECAPTION
    RGB(240, 240, 240), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(100, 100, 100), // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(0, 0, 0),       // COLOR_CAPTIONTEXT
    RGB(180, 180, 180), // COLOR_ACTIVEBORDER
    RGB(244, 247, 252), // COLOR_INACTIVEBORDER
    RGB(171, 171, 171), // COLOR_APPWORKSPACE
    RGB(0, 120, 215),   // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(240, 240, 240), // COLOR_BTNFACE
    RGB(160, 160, 160), // COLOR_BTNSHADOW
    RGB(109, 109, 109), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(0, 0, 0),       // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(105, 105, 105), // COLOR_3DDKSHADOW
    RGB(227, 227, 227), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
    kNoColor,           // 25: none
    RGB(0, 102, 204),   // COLOR_HOTLIGHT
    RGB(185, 209, 234), // COLOR_GRADIENTACTIVECAPTION
    RGB(215, 228, 242), // COLOR_GRADIENTINACTIVECAPTION
    RGB(0, 120, 215),   // COLOR_MENUHILIGHT
    RGB(240, 240, 240), // COLOR_MENUBAR
};

bool IsDrawingKind(core::HandleKind kind)
{
    switch (kind) {
    case core::HandleKind::DC:
    case core::HandleKind::Bitmap:
    case core::HandleKind::Brush:
    case core::HandleKind::Pen:
    case core::HandleKind::Region:
    case core::HandleKind::Font:
        return true;
    default:
        return false;
    }
}

HGDIOBJ MakeStock(int index)
{
    switch (index) {
    case WHITE_BRUSH:
        return AddObject(new Brush(RGB(255, 255, 255), false), true);
    case LTGRAY_BRUSH:
        return AddObject(new Brush(RGB(192, 192, 192), false), true);
    case GRAY_BRUSH:
        return AddObject(new Brush(RGB(128, 128, 128), false), true);
    case DKGRAY_BRUSH:
        return AddObject(new Brush(RGB(64, 64, 64), false), true);
    case BLACK_BRUSH:
        return AddObject(new Brush(RGB(0, 0, 0), false), true);
    case NULL_BRUSH:
        return AddObject(new Brush(RGB(0, 0, 0), true), true);
    case WHITE_PEN:
        return AddObject(new Pen(RGB(255, 255, 255), 1, false), true);
    case BLACK_PEN:
        return AddObject(new Pen(RGB(0, 0, 0), 1, false), true);
    case NULL_PEN:
        return AddObject(new Pen(RGB(0, 0, 0), 1, true), true);
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
    case SYSTEM_FIXED_FONT:
    case DEFAULT_GUI_FONT: {
        StockFontFactory factory = State().fontFactory;
        Object* font = factory != nullptr ? factory(index) : nullptr;
        return font != nullptr ? AddObject(font, true) : nullptr;
    }
    default:
        return nullptr;
    }
}

} // namespace

CXRecursiveMutex& Lock()
{
    return State().lock;
}

int Object::Describe(int, void*) const
{
    return 0;
}

HGDIOBJ AddObject(Object* object, bool stock)
{
    if (object == nullptr)
        return nullptr;
    CXRecursiveMutexLocker locker(&Lock());
    uint32_t value = core::Handles().Add(object->fKind, object);
    if (value == 0) {
        delete object;
        return nullptr;
    }
    object->fHandle = core::ToHandle<HGDIOBJ>(value);
    object->fLive = true;
    object->fStock = stock;
    object->fReferences = 1;
    if (!stock)
        State().live[static_cast<uint8_t>(object->fKind) & 0x7F]++;
    return object->fHandle;
}

Object* FindObject(HGDIOBJ handle, core::HandleKind kind)
{
    return static_cast<Object*>(core::Handles().Find(core::HandleValue(handle), kind));
}

Object* FindAnyObject(HGDIOBJ handle)
{
    uint32_t value = core::HandleValue(handle);
    core::HandleKind kind = core::KindOfHandle(value);
    if (!IsDrawingKind(kind))
        return nullptr;
    return static_cast<Object*>(core::Handles().Find(value, kind));
}

bool RemoveObject(Object* object)
{
    if (object == nullptr || object->fStock || !object->fLive)
        return false;
    core::Handles().Remove(core::HandleValue(object->fHandle), object->fKind);
    object->fLive = false;
    State().live[static_cast<uint8_t>(object->fKind) & 0x7F]--;
    Release(object);
    return true;
}

void Retain(Object* object)
{
    if (object != nullptr)
        object->fReferences++;
}

void Release(Object* object)
{
    if (object != nullptr && --object->fReferences == 0)
        delete object;
}

size_t LiveCount(core::HandleKind kind)
{
    CXRecursiveMutexLocker locker(&Lock());
    return State().live[static_cast<uint8_t>(kind) & 0x7F];
}

void SetStockFontFactory(StockFontFactory factory)
{
    CXRecursiveMutexLocker locker(&Lock());
    State().fontFactory = factory;
}

} // namespace win32::gdi

namespace win32 {

using namespace gdi;

HGDIOBJ GetStockObject(int index)
{
    if (index < 0 || index > DEFAULT_GUI_FONT)
        return nullptr;
    CXRecursiveMutexLocker locker(&Lock());
    HGDIOBJ& stock = State().stock[index];
    if (stock == nullptr)
        stock = MakeStock(index);
    return stock;
}

BOOL DeleteObject(HGDIOBJ handle)
{
    CXRecursiveMutexLocker locker(&Lock());
    Object* object = FindAnyObject(handle);
    if (object == nullptr || object->Kind() == core::HandleKind::DC)
        return FALSE;
    if (object->IsStock())
        return TRUE;
    return RemoveObject(object) ? TRUE : FALSE;
}

int GetObjectW(HANDLE handle, int size, LPVOID buffer)
{
    CXRecursiveMutexLocker locker(&Lock());
    Object* object = FindAnyObject(static_cast<HGDIOBJ>(handle));
    if (object == nullptr || (buffer != nullptr && size <= 0))
        return 0;
    return object->Describe(size, buffer);
}

DWORD GetObjectType(HGDIOBJ handle)
{
    CXRecursiveMutexLocker locker(&Lock());
    Object* object = FindAnyObject(handle);
    if (object == nullptr)
        return 0;
    switch (object->Kind()) {
    case core::HandleKind::Pen:
        return OBJ_PEN;
    case core::HandleKind::Brush:
        return OBJ_BRUSH;
    case core::HandleKind::DC:
        return static_cast<DeviceContext*>(object)->type == DeviceContext::Type::Memory ? OBJ_MEMDC : OBJ_DC;
    case core::HandleKind::Font:
        return OBJ_FONT;
    case core::HandleKind::Bitmap:
        return OBJ_BITMAP;
    case core::HandleKind::Region:
        return OBJ_REGION;
    default:
        return 0;
    }
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    return static_cast<HBRUSH>(AddObject(new Brush(color & 0x00FFFFFF, false)));
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    if (style != PS_SOLID && style != PS_NULL)
        return nullptr;
    return static_cast<HPEN>(AddObject(new Pen(color & 0x00FFFFFF, width < 1 ? 1 : width, style == PS_NULL)));
}

DWORD GetSysColor(int index)
{
    if (index < 0 || index > COLOR_MENUBAR || kSystemColors[index] == kNoColor)
        return 0;
    return kSystemColors[index];
}

HBRUSH GetSysColorBrush(int index)
{
    if (index < 0 || index > COLOR_MENUBAR || kSystemColors[index] == kNoColor)
        return nullptr;
    CXRecursiveMutexLocker locker(&Lock());
    HBRUSH& brush = State().systemBrushes[index];
    if (brush == nullptr)
        brush = static_cast<HBRUSH>(AddObject(new Brush(kSystemColors[index], false), true));
    return brush;
}

} // namespace win32

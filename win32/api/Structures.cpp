#include "win32/api/DataObject.h"
#include "win32/api/Structures.h"

// The sizes the toolkit passes in cbSize and length fields, on the 64-bit host.
namespace win32 {

static_assert(sizeof(POINT) == 8);
static_assert(sizeof(RECT) == 16);
static_assert(sizeof(CREATESTRUCTW) == 80);
static_assert(sizeof(WNDCLASSW) == 72);
static_assert(sizeof(WNDCLASSEXW) == 80);
static_assert(sizeof(WINDOWPLACEMENT) == 44);
static_assert(sizeof(MENUBARINFO) == 48);
static_assert(sizeof(MENUITEMINFOW) == 80);
static_assert(sizeof(MENUINFO) == 40);
static_assert(sizeof(MINMAXINFO) == 40);
static_assert(sizeof(MSG) == 48);
static_assert(sizeof(PAINTSTRUCT) == 72);
static_assert(sizeof(NMHDR) == 24);
static_assert(sizeof(TRACKMOUSEEVENT) == 24);
static_assert(sizeof(STYLESTRUCT) == 8);
static_assert(sizeof(SCROLLINFO) == 28);
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8);
static_assert(sizeof(BITMAP) == 32);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPINFO) == 44);
static_assert(sizeof(DIBSECTION) == 104);
static_assert(sizeof(BLENDFUNCTION) == 4);
static_assert(sizeof(LOGFONTW) == 92);
static_assert(sizeof(TEXTMETRICW) == 60);
static_assert(sizeof(CHARFORMATW) == 92);
static_assert(sizeof(FORMATETC) == 32);
static_assert(sizeof(STGMEDIUM) == 24);
static_assert(sizeof(DROPFILES) == 20);

} // namespace win32

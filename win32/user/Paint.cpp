#include "win32/user/Paint.h"

#include "foundation/CXMutex.h"
#include "win32/core/Core.h"
#include "win32/gdi/GdiSurface.h"
#include "win32/user/User.h"

#include <set>

namespace win32 {

namespace {

// The DCs GetDC handed out and ReleaseDC has not taken back.
struct LentDCs {
    CXMutex lock;
    std::set<HDC> dcs;
};

LentDCs& Lent()
{
    static LentDCs* lent = new LentDCs();
    return *lent;
}

} // namespace

HDC GetDC(HWND hwnd)
{
    if (hwnd != nullptr && !IsWindow(hwnd))
        return nullptr;
    HDC hdc = gdi::CreateDisplayDC();
    if (hdc != nullptr) {
        CXMutexLocker locker(&Lent().lock);
        Lent().dcs.insert(hdc);
    }
    return hdc;
}

int ReleaseDC(HWND, HDC hdc)
{
    {
        CXMutexLocker locker(&Lent().lock);
        if (Lent().dcs.erase(hdc) == 0)
            return 0;
    }
    return gdi::DestroySurfaceDC(hdc) || DeleteDC(hdc) ? 1 : 0;
}

} // namespace win32

namespace win32 {

BOOL InvalidateRect(HWND, const RECT*, BOOL) { return FALSE; }
BOOL InvalidateRgn(HWND, HRGN, BOOL) { return FALSE; }
BOOL ValidateRect(HWND, const RECT*) { return FALSE; }
BOOL ValidateRgn(HWND, HRGN) { return FALSE; }
BOOL GetUpdateRect(HWND, RECT* rect, BOOL)
{
    if (rect != nullptr)
        *rect = RECT{0, 0, 0, 0};
    return FALSE;
}
int GetUpdateRgn(HWND, HRGN, BOOL) { return ERROR; }
BOOL UpdateWindow(HWND) { return FALSE; }
HDC BeginPaint(HWND, PAINTSTRUCT*) { return nullptr; }
BOOL EndPaint(HWND, const PAINTSTRUCT*) { return FALSE; }
int GetRandomRgn(HDC, HRGN, INT) { return -1; }
HDC GetWindowDC(HWND hwnd) { return GetDC(hwnd); }
HWND WindowFromDC(HDC) { return nullptr; }
int ScrollWindowEx(HWND, int, int, const RECT*, const RECT*, HRGN, RECT*, UINT) { return ERROR; }

} // namespace win32

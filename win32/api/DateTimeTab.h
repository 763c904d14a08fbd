#pragma once

// The numbers and structures of the date picker ("SysDateTimePick32") and the tab control
// ("SysTabControl32").

#include "win32/api/Structures.h"

namespace win32 {

// A calendar date and time of day, as the date picker takes and gives it. wDayOfWeek counts from
// Sunday = 0; months from January = 1.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);

// Date-picker messages.
inline constexpr UINT DTM_FIRST = 0x1000;
// lParam: the SYSTEMTIME to fill; answers GDT_VALID (GDT_ERROR for a null lParam).
inline constexpr UINT DTM_GETSYSTEMTIME = DTM_FIRST + 1;
// wParam GDT_VALID, lParam the SYSTEMTIME to show; answers TRUE, or FALSE for a date it cannot
// hold (the shown date stays).
inline constexpr UINT DTM_SETSYSTEMTIME = DTM_FIRST + 2;
// lParam: the display format (UTF-16, NUL-terminated), NULL for the default one.
inline constexpr UINT DTM_SETFORMATW = DTM_FIRST + 50;

// The kinds of DTM_GETSYSTEMTIME and DTM_SETSYSTEMTIME (a picker never holds "no date": GDT_NONE
// is refused).
inline constexpr WPARAM GDT_VALID = 0;
inline constexpr WPARAM GDT_NONE = 1;
// DTM_GETSYSTEMTIME's answer without a SYSTEMTIME to fill.
inline constexpr LRESULT GDT_ERROR = -1;

// Date-picker notifications (NMHDR code; sent as WM_NOTIFY).
inline constexpr UINT DTN_DATETIMECHANGE = static_cast<UINT>(-759);

// DTN_DATETIMECHANGE's parameter.
struct NMDATETIMECHANGE {
    NMHDR nmhdr;
    DWORD dwFlags;
    SYSTEMTIME st;
};

// Tab-control messages.
inline constexpr UINT TCM_FIRST = 0x1300;
// Answers the selected tab's index, -1 when there is none.
inline constexpr UINT TCM_GETCURSEL = TCM_FIRST + 11;
// wParam: the tab to select; answers the previous selection, or -1 (nothing changed) for an index
// out of range. Sends no notification.
inline constexpr UINT TCM_SETCURSEL = TCM_FIRST + 12;
// wParam FALSE: lParam's window rectangle (RECT*) becomes the display area inside it; TRUE: the
// display area becomes the window rectangle around it.
inline constexpr UINT TCM_ADJUSTRECT = TCM_FIRST + 40;
// wParam: the index to insert at (past the end: appended), lParam: the TCITEMW; answers the new
// tab's index, or -1.
inline constexpr UINT TCM_INSERTITEMW = TCM_FIRST + 62;

// TCITEMW's mask.
inline constexpr UINT TCIF_TEXT = 0x0001;

// One tab; only the fields the mask names are read.
struct TCITEMW {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};

// Tab-control notifications (NMHDR code; sent as WM_NOTIFY with an NMHDR). A non-zero answer to
// TCN_SELCHANGING keeps the selection.
inline constexpr UINT TCN_SELCHANGE = static_cast<UINT>(-551);
inline constexpr UINT TCN_SELCHANGING = static_cast<UINT>(-552);

// Tab-control styles.
inline constexpr DWORD TCS_MULTILINE = 0x0200;

} // namespace win32

// "SysDateTimePick32": a date shown through a format of fields, the field under the caret changed
// with the arrow keys. Emulation limits: no drop-down calendar, no typed digits, no time-of-day
// fields, no "no date" state or range; English names only.

#include "win32/controls/ControlCommon.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTime.h"
#include "platform/LocalTime.h"
#include "win32/api/DateTimeTab.h"
#include "win32/gdi/Text.h"
#include "win32/user/Queue.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace win32::controls {

namespace {

// The years a SYSTEMTIME holds.
constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;
// What a picker shows before DTM_SETFORMATW, and after it with NULL.
constexpr char16_t kDefaultFormat[] = u"dd MMM yyy";
constexpr int kMarginX = 2;
constexpr UINT kTextFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT;

const char16_t* const kWeekdayNames[] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
const char16_t* const kMonthNames[] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                       u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

// The fields a format can hold: "ddd", "MMM", "dd" and "yyy" (the full year).
enum class Field { Literal, Weekday, Month, Day, Year };

// One piece of the format: a field, or text shown as it is.
struct Piece {
    Field field = Field::Literal;
    std::u16string text;
};

struct DatePickState : ControlState {
    SYSTEMTIME value = {};
    std::vector<Piece> pieces;
    // The index in pieces of the field under the caret; -1 when the format has no field.
    int caret = -1;
};

using Table = StateTable<DatePickState>;

// --- The calendar (proleptic Gregorian) ---

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a date, and back.
int64_t DaysFromDate(int64_t year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void DateFromDays(int64_t days, int64_t& year, int& month, int& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

// 1 January 1970 was a Thursday (4).
WORD WeekdayOf(const SYSTEMTIME& date)
{
    const int64_t days = DaysFromDate(date.wYear, date.wMonth, date.wDay);
    return static_cast<WORD>((days % 7 + 11) % 7);
}

bool IsValid(const SYSTEMTIME& date)
{
    return date.wYear >= kFirstYear && date.wYear <= kLastYear && date.wMonth >= 1 && date.wMonth <= 12 &&
           date.wDay >= 1 && date.wDay <= DaysInMonth(date.wYear, date.wMonth) && date.wHour < 24 &&
           date.wMinute < 60 && date.wSecond < 60 && date.wMilliseconds < 1000;
}

// The local date and time now; 1 January 1970 when the clock's time cannot be shown.
SYSTEMTIME Now()
{
    const CXTimestamp milliseconds = CXTime::GetCurrentTimestamp();
    const int64_t seconds = milliseconds / 1000 - (milliseconds % 1000 < 0 ? 1 : 0);
    Platform::LocalTime local;
    if (!Platform::ToLocalTime(seconds, local) || local.year < kFirstYear || local.year > kLastYear)
        return {1970, 1, 4, 1, 0, 0, 0, 0};
    return {static_cast<WORD>(local.year), static_cast<WORD>(local.month), static_cast<WORD>(local.weekday),
           static_cast<WORD>(local.day), static_cast<WORD>(local.hour), static_cast<WORD>(local.minute),
           static_cast<WORD>(local.second), static_cast<WORD>(milliseconds - seconds * 1000)};
}

// The date with one field moved by step (1 or -1): the day and the month wrap round within their
// month and year, the year stops at the ends of the range, the weekday moves the date by a day.
// A day past the end of a shorter month becomes its last day.
SYSTEMTIME Stepped(const SYSTEMTIME& date, Field field, int step)
{
    int year = date.wYear;
    int month = date.wMonth;
    int day = date.wDay;
    switch (field) {
    case Field::Day: {
        const int days = DaysInMonth(year, month);
        day = (day - 1 + step + days) % days + 1;
        break;
    }
    case Field::Month:
        month = (month - 1 + step + 12) % 12 + 1;
        break;
    case Field::Year:
        year = std::clamp(year + step, kFirstYear, kLastYear);
        break;
    case Field::Weekday: {
        int64_t movedYear = 0;
        DateFromDays(DaysFromDate(year, month, day) + step, movedYear, month, day);
        if (movedYear < kFirstYear || movedYear > kLastYear)
            return date;
        year = static_cast<int>(movedYear);
        break;
    }
    case Field::Literal:
        return date;
    }
    SYSTEMTIME moved = date;
    moved.wYear = static_cast<WORD>(year);
    moved.wMonth = static_cast<WORD>(month);
    moved.wDay = static_cast<WORD>(std::min(day, DaysInMonth(year, month)));
    moved.wDayOfWeek = WeekdayOf(moved);
    return moved;
}

// --- The format ---

bool IsPatternLetter(char16_t c)
{
    return c == u'd' || c == u'M' || c == u'y' || c == u'h' || c == u'H' || c == u'm' || c == u's' || c == u't' ||
           c == u'g';
}

Field FieldOf(char16_t letter, size_t count)
{
    if (letter == u'd' && count == 3)
        return Field::Weekday;
    if (letter == u'd' && count == 2)
        return Field::Day;
    if (letter == u'M' && count == 3)
        return Field::Month;
    if (letter == u'y' && count == 3)
        return Field::Year;
    return Field::Literal;
}

void AddLiteral(std::vector<Piece>& pieces, std::u16string_view text)
{
    if (text.empty())
        return;
    if (pieces.empty() || pieces.back().field != Field::Literal)
        pieces.push_back({Field::Literal, {}});
    pieces.back().text.append(text);
}

// The pieces of a format: the four fields; text in single quotes (two quotes for one) and every
// character that is no pattern letter shown as it is; another pattern is logged and shown as
// written.
std::vector<Piece> ParseFormat(std::u16string_view format)
{
    std::vector<Piece> pieces;
    size_t at = 0;
    while (at < format.size()) {
        const char16_t c = format[at];
        if (c == u'\'') {
            if (at + 1 < format.size() && format[at + 1] == u'\'') {
                AddLiteral(pieces, u"'");
                at += 2;
                continue;
            }
            std::u16string quoted;
            for (++at; at < format.size(); ++at) {
                if (format[at] != u'\'') {
                    quoted += format[at];
                } else if (at + 1 < format.size() && format[at + 1] == u'\'') {
                    quoted += u'\'';
                    ++at;
                } else {
                    ++at;
                    break;
                }
            }
            AddLiteral(pieces, quoted);
            continue;
        }
        if (!IsPatternLetter(c)) {
            AddLiteral(pieces, format.substr(at, 1));
            ++at;
            continue;
        }
        size_t end = at;
        while (end < format.size() && format[end] == c)
            ++end;
        const Field field = FieldOf(c, end - at);
        if (field == Field::Literal) {
            // Pattern letters are ASCII.
            const std::string pattern(end - at, static_cast<char>(c));
            CXDebugLog("SysDateTimePick32> the format pattern \"%s\" is not supported; it is shown as written",
                       pattern.c_str());
            AddLiteral(pieces, format.substr(at, end - at));
        } else {
            pieces.push_back({field, {}});
        }
        at = end;
    }
    return pieces;
}

int FirstField(const std::vector<Piece>& pieces)
{
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].field != Field::Literal)
            return static_cast<int>(i);
    }
    return -1;
}

// The field step fields after the caret (before it for a negative step), round from the end to the
// start.
int NextField(const DatePickState& state, int step)
{
    const int count = static_cast<int>(state.pieces.size());
    if (state.caret < 0)
        return -1;
    int at = state.caret;
    do
        at = (at + step + count) % count;
    while (state.pieces[static_cast<size_t>(at)].field == Field::Literal);
    return at;
}

void SetFormat(DatePickState& state, const char16_t* format)
{
    state.pieces = ParseFormat(format != nullptr ? format : kDefaultFormat);
    state.caret = FirstField(state.pieces);
}

std::u16string Decimal(int value, size_t digits)
{
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value > 0);
    if (text.size() < digits)
        text.insert(0, digits - text.size(), u'0');
    return text;
}

std::u16string PieceText(const Piece& piece, const SYSTEMTIME& date)
{
    switch (piece.field) {
    case Field::Weekday:
        return kWeekdayNames[date.wDayOfWeek % 7];
    case Field::Month:
        return kMonthNames[(date.wMonth + 11) % 12];
    case Field::Day:
        return Decimal(date.wDay, 2);
    case Field::Year:
        return Decimal(date.wYear, 1);
    case Field::Literal:
        break;
    }
    return piece.text;
}

// The text of the pieces [0, end).
std::u16string ShownText(const DatePickState& state, size_t end)
{
    std::u16string text;
    for (size_t i = 0; i < end && i < state.pieces.size(); ++i)
        text += PieceText(state.pieces[i], state.value);
    return text;
}

// --- Drawing and input ---

int TextWidth(HDC hdc, const std::u16string& text)
{
    SIZE size = {0, 0};
    GetTextExtentPoint32W(hdc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// The field under the caret, highlighted: its place is the width of the text before it, since
// widths add up.
void PaintCaretField(HDC hdc, const DatePickState& state, const RECT& client, const RECT& line)
{
    const auto caret = static_cast<size_t>(state.caret);
    const std::u16string field = PieceText(state.pieces[caret], state.value);
    const int left = line.left + TextWidth(hdc, ShownText(state, caret));
    const int right = std::min(left + TextWidth(hdc, field), static_cast<int>(line.right));
    if (left >= right)
        return;
    FillColor(hdc, {left, client.top + 1, right, client.bottom - 1}, COLOR_HIGHLIGHT);
    SetTextColor(hdc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    RECT box = {left, line.top, right, line.bottom};
    DrawTextW(hdc, field.c_str(), static_cast<int>(field.size()), &box, kTextFormat);
}

void Paint(DatePickState& state, HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr)
        return;
    HBRUSH brush = AskColors(state, hwnd, WM_CTLCOLOREDIT, hdc);
    if (brush != nullptr) {
        const RECT client = ClientArea(hwnd);
        FillRect(hdc, &client, brush);
        const bool enabled = IsWindowEnabled(hwnd) != FALSE;
        if (!enabled)
            SetTextColor(hdc, GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(hdc, TRANSPARENT);
        HGDIOBJ oldFont = SelectControlFont(hdc, state);
        RECT line = {client.left + kMarginX, client.top, client.right - kMarginX, client.bottom};
        const std::u16string text = ShownText(state, state.pieces.size());
        DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &line, kTextFormat);
        if (enabled && state.caret >= 0 && GetFocus() == hwnd)
            PaintCaretField(hdc, state, client, line);
        SelectObject(hdc, oldFont);
    }
    EndPaint(hwnd, &paint);
}

// The field under a client x, or -1.
int FieldAt(const DatePickState& state, int x)
{
    HDC measure = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectControlFont(measure, state);
    int found = -1;
    int left = kMarginX;
    for (size_t i = 0; i < state.pieces.size() && found < 0; ++i) {
        const int right = left + TextWidth(measure, PieceText(state.pieces[i], state.value));
        if (state.pieces[i].field != Field::Literal && x >= left && x < right)
            found = static_cast<int>(i);
        left = right;
    }
    SelectObject(measure, oldFont);
    DeleteDC(measure);
    return found;
}

void NotifyChange(DatePickState& state, HWND hwnd)
{
    NMDATETIMECHANGE change = {};
    change.nmhdr.hwndFrom = hwnd;
    change.nmhdr.idFrom = static_cast<UINT_PTR>(GetWindowLongPtrW(hwnd, GWLP_ID));
    change.nmhdr.code = DTN_DATETIMECHANGE;
    change.dwFlags = static_cast<DWORD>(GDT_VALID);
    change.st = state.value;
    NotifyParent(state, hwnd, WM_NOTIFY, change.nmhdr.idFrom, reinterpret_cast<LPARAM>(&change));
}

void HandleKey(DatePickState& state, HWND hwnd, WPARAM key)
{
    if (state.caret < 0)
        return;
    if (key == VK_LEFT || key == VK_RIGHT) {
        state.caret = NextField(state, key == VK_LEFT ? -1 : 1);
        Redraw(hwnd);
        return;
    }
    if (key != VK_UP && key != VK_DOWN)
        return;
    const SYSTEMTIME moved = Stepped(state.value, state.pieces[static_cast<size_t>(state.caret)].field,
                                     key == VK_UP ? 1 : -1);
    if (moved.wYear == state.value.wYear && moved.wMonth == state.value.wMonth && moved.wDay == state.value.wDay)
        return;
    state.value = moved;
    Redraw(hwnd);
    NotifyChange(state, hwnd);
}

void Press(DatePickState& state, HWND hwnd, LPARAM lParam)
{
    if (GetFocus() != hwnd) {
        SetFocus(hwnd);
        if (state.dead)
            return;
    }
    const int field = FieldAt(state, GET_X_LPARAM(lParam));
    if (field >= 0 && field != state.caret) {
        state.caret = field;
        Redraw(hwnd);
    }
}

LRESULT SetSystemTime(DatePickState& state, HWND hwnd, WPARAM kind, const SYSTEMTIME* date)
{
    if (kind != GDT_VALID || date == nullptr || !IsValid(*date))
        return FALSE;
    state.value = *date;
    state.value.wDayOfWeek = WeekdayOf(state.value);
    Redraw(hwnd);
    return TRUE;
}

LRESULT Handle(DatePickState& state, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
        state.value = Now();
        SetFormat(state, nullptr);
        break;
    case WM_PAINT:
        Paint(state, hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_STYLECHANGED:
        Redraw(hwnd);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
        Press(state, hwnd, lParam);
        return 0;
    case WM_KEYDOWN:
        HandleKey(state, hwnd, wParam);
        return 0;
    case WM_CHAR:
        return 0;
    case DTM_GETSYSTEMTIME: {
        auto* date = reinterpret_cast<SYSTEMTIME*>(lParam);
        if (date == nullptr)
            return GDT_ERROR;
        *date = state.value;
        return static_cast<LRESULT>(GDT_VALID);
    }
    case DTM_SETSYSTEMTIME:
        return SetSystemTime(state, hwnd, wParam, reinterpret_cast<const SYSTEMTIME*>(lParam));
    case DTM_SETFORMATW:
        SetFormat(state, reinterpret_cast<const char16_t*>(lParam));
        Redraw(hwnd);
        return TRUE;
    default:
        break;
    }
    return DefaultControlMessage(state, hwnd, message, wParam, lParam);
}

} // namespace

LRESULT DateTimePickProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Table::Dispatch(hwnd, message, wParam, lParam, Handle);
}

} // namespace win32::controls

// The edit controls' view: lines, the password mask, horizontal scrolling, hit-testing, painting.

#include "win32/controls/EditState.h"

#include "win32/gdi/Text.h"
#include "win32/user/Queue.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace win32::controls {

namespace {

constexpr int kMarginX = 2;
constexpr int kMarginY = 1;
// What a password edit shows for each character.
constexpr char16_t kMaskCharacter = 0x25CF;

using Line = std::pair<size_t, size_t>;

// The lines of the text, each [start, end) without its break. A single-line edit shows the whole
// text as one line.
std::vector<Line> LinesOf(const EditState& state, HWND hwnd)
{
    const std::u16string& text = state.buffer.Text();
    if (!IsMultiLine(hwnd))
        return {{0, text.size()}};
    std::vector<Line> lines;
    size_t start = 0;
    for (;;) {
        size_t end = state.buffer.LineEnd(start);
        lines.emplace_back(start, end);
        if (end == text.size())
            return lines;
        start = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? end + 2 : end + 1;
    }
}

size_t LineIndexOf(const std::vector<Line>& lines, size_t position)
{
    size_t index = 0;
    while (index + 1 < lines.size() && lines[index + 1].first <= position)
        ++index;
    return index;
}

// The units shown for [start, end): the text itself, or one mask character per character.
std::u16string Shown(const EditState& state, bool password, size_t start, size_t end)
{
    if (!password)
        return state.buffer.Text().substr(start, end - start);
    std::u16string mask;
    for (size_t p = start; p < end; p = state.buffer.Next(p))
        mask += kMaskCharacter;
    return mask;
}

// A memory DC with the edit's font, to measure with.
class Measurer {
public:
    explicit Measurer(const EditState& state) : fDC(CreateCompatibleDC(nullptr))
    {
        fOld = SelectObject(fDC, EditFont(state));
    }
    ~Measurer()
    {
        SelectObject(fDC, fOld);
        DeleteDC(fDC);
    }
    Measurer(const Measurer&) = delete;
    Measurer& operator=(const Measurer&) = delete;

    int Width(const std::u16string& units) const
    {
        SIZE size = {0, 0};
        GetTextExtentPoint32W(fDC, units.data(), static_cast<int>(units.size()), &size);
        return size.cx;
    }
    int LineHeight() const
    {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(fDC, &metrics);
        return std::max<int>(metrics.tmHeight, 1);
    }

private:
    HDC fDC;
    HGDIOBJ fOld;
};

// The x of a position in its line, before scrolling, from the text's left edge.
int XOf(const Measurer& measurer, const EditState& state, bool password, size_t lineStart, size_t position)
{
    return measurer.Width(Shown(state, password, lineStart, position));
}

void FillSolid(HDC hdc, const RECT& rect, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(hdc, &rect, brush);
    DeleteObject(brush);
}

struct LinePainter {
    HDC hdc;
    const EditState& state;
    const Measurer& measurer;
    bool password;
    RECT clip;
    int lineHeight;
    COLORREF textColor;

    // Draws [start, end) of the line that starts at lineStart, at y.
    void Piece(size_t lineStart, size_t start, size_t end, int y, bool selected) const
    {
        if (start >= end)
            return;
        int x = kMarginX - state.scroll + XOf(measurer, state, password, lineStart, start);
        std::u16string shown = Shown(state, password, start, end);
        if (selected) {
            RECT band = {std::max<int>(x, clip.left), y, std::min<int>(x + measurer.Width(shown), clip.right),
                         y + lineHeight};
            FillColor(hdc, band, COLOR_HIGHLIGHT);
            SetTextColor(hdc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetTextColor(hdc, textColor);
        }
        ExtTextOutW(hdc, x, y, ETO_CLIPPED, &clip, shown.data(), static_cast<UINT>(shown.size()), nullptr);
    }

    void Draw(const Line& line, int y, size_t selectionStart, size_t selectionEnd) const
    {
        size_t from = std::clamp(selectionStart, line.first, line.second);
        size_t to = std::clamp(selectionEnd, line.first, line.second);
        Piece(line.first, line.first, from, y, false);
        Piece(line.first, from, to, y, true);
        Piece(line.first, to, line.second, y, false);
    }
};

void DrawContent(EditState& state, HWND hwnd, HDC hdc, const RECT& client)
{
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    COLORREF textColor = GetTextColor(hdc);
    if (!enabled)
        textColor = GetSysColor(COLOR_GRAYTEXT);
    else if (state.formatColored)
        textColor = state.formatColor;
    SetBkMode(hdc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(hdc, EditFont(state));
    Measurer measurer(state);
    bool password = IsPassword(hwnd);
    bool focused = GetFocus() == hwnd;
    LinePainter painter{hdc, state, measurer, password, {kMarginX, 0, client.right - kMarginX, client.bottom},
                        measurer.LineHeight(), textColor};
    // The selection shows only while the control has the focus.
    size_t selectionStart = focused ? state.buffer.SelectionStart() : 0;
    size_t selectionEnd = focused ? state.buffer.SelectionEnd() : 0;
    std::vector<Line> lines = LinesOf(state, hwnd);
    for (size_t i = 0; i < lines.size(); ++i) {
        int y = kMarginY + static_cast<int>(i) * painter.lineHeight;
        if (y >= client.bottom)
            break;
        painter.Draw(lines[i], y, selectionStart, selectionEnd);
    }
    if (focused && state.caretOn) {
        const Line& line = lines[LineIndexOf(lines, state.buffer.Caret())];
        int x = kMarginX - state.scroll + XOf(measurer, state, password, line.first, state.buffer.Caret());
        int y = kMarginY + static_cast<int>(LineIndexOf(lines, state.buffer.Caret())) * painter.lineHeight;
        RECT caret = {std::min(x, painter.clip.right - 1), y, std::min(x, painter.clip.right - 1) + 1, y + painter.lineHeight};
        FillSolid(hdc, caret, textColor);
    }
    SelectObject(hdc, oldFont);
}

} // namespace

bool IsMultiLine(HWND hwnd)
{
    return (StyleOf(hwnd) & ES_MULTILINE) != 0;
}

bool IsPassword(HWND hwnd)
{
    return (StyleOf(hwnd) & ES_PASSWORD) != 0;
}

bool IsReadOnly(HWND hwnd)
{
    return (StyleOf(hwnd) & ES_READONLY) != 0;
}

EditState::~EditState()
{
    if (formatFont != nullptr)
        DeleteObject(formatFont);
}

HGDIOBJ EditFont(const EditState& state)
{
    if (state.formatFont != nullptr)
        return state.formatFont;
    return GetObjectType(state.font) == OBJ_FONT ? state.font : GetStockObject(DEFAULT_GUI_FONT);
}

void ScrollToCaret(EditState& state, HWND hwnd)
{
    Measurer measurer(state);
    bool password = IsPassword(hwnd);
    std::vector<Line> lines = LinesOf(state, hwnd);
    const Line& line = lines[LineIndexOf(lines, state.buffer.Caret())];
    int x = XOf(measurer, state, password, line.first, state.buffer.Caret());
    int width = XOf(measurer, state, password, line.first, line.second);
    int visible = std::max(1, static_cast<int>(ClientArea(hwnd).right) - 2 * kMarginX);
    if (x - state.scroll >= visible)
        state.scroll = x - visible + 1;
    if (x < state.scroll)
        state.scroll = x;
    state.scroll = std::max(0, std::min(state.scroll, width - visible + 1));
}

size_t PositionAt(const EditState& state, HWND hwnd, POINT point, bool nearest)
{
    Measurer measurer(state);
    bool password = IsPassword(hwnd);
    std::vector<Line> lines = LinesOf(state, hwnd);
    int row = (point.y - kMarginY) / measurer.LineHeight();
    const Line& line = lines[static_cast<size_t>(std::clamp(row, 0, static_cast<int>(lines.size()) - 1))];
    int x = point.x - kMarginX + state.scroll;
    int reached = 0;
    for (size_t p = line.first; p < line.second;) {
        size_t next = state.buffer.Next(p);
        int width = measurer.Width(Shown(state, password, p, next));
        if (x < reached + (nearest ? width / 2 : width))
            return p;
        reached += width;
        p = next;
    }
    return line.second;
}

void PaintEdit(EditState& state, HWND hwnd)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(hwnd, &paint);
    if (hdc == nullptr)
        return;
    bool plain = IsReadOnly(hwnd) || !IsWindowEnabled(hwnd);
    HBRUSH brush = AskColors(state, hwnd, plain ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, hdc);
    if (brush != nullptr) {
        RECT client = ClientArea(hwnd);
        FillRect(hdc, &client, brush);
        DrawContent(state, hwnd, hdc, client);
    }
    EndPaint(hwnd, &paint);
}

} // namespace win32::controls

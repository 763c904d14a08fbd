#include "toolkit/UIRazaStaticText.h"

#include "foundation/CXDebug.h"
#include "toolkit/RazaFont.h"
#include "toolkit/RazaGraf.h"

#include <string_view>

namespace {

bool IsBreakSpace(char byte)
{
    return byte == '\t' || byte == '\n' || byte == '\r' || byte == ' ';
}

CXStringArgument Piece(std::string_view text)
{
    return {text.data(), text.size()};
}

// Splits off what fits the width, breaking at the last white space that fits (the white space
// there is dropped), else cutting the word; the rest is left in `rest`. A line of which not even
// one character fits stays whole, so wrapping always ends.
std::string_view TakeWrappedLine(std::string_view& rest, RazaFont& font, int32_t width)
{
    const std::string_view line = rest;
    rest = {};
    const size_t fit = font.FitPrefix(Piece(line), width);
    if (fit >= line.size())
        return line;
    size_t cut = fit;
    for (size_t at = fit; at >= 1; --at) {
        if (IsBreakSpace(line[at])) {
            cut = at;
            break;
        }
    }
    if (cut == 0)
        return line;
    size_t next = cut;
    while (next < line.size() && IsBreakSpace(line[next]))
        ++next;
    // White space up to the end of the line leaves no further line.
    rest = line.substr(next);
    return line.substr(0, cut);
}

// DrawString puts a line's bottom edge this far below the y it is given.
constexpr int32_t kLineBottomBelowY = 3;

// The lines as the label draws them, top to bottom: visit(line, y) for each, y being where the
// line is drawn; answers the last line's y. The first line lies at ascent + descent, each next one
// ascent + descent + internal leading lower. There is always at least one line.
template <class Visit>
int32_t WalkLines(std::string_view text, bool wrap, RazaFont& font, int32_t width, Visit&& visit)
{
    font.CreateFontHandle();
    RazaFontMetrics metrics;
    (void)font.GetMetrics(metrics);
    const int32_t advance = metrics.ascent + metrics.descent + metrics.internalLeading;
    int32_t y = metrics.ascent + metrics.descent;
    int32_t lastY = y;
    for (;;) {
        const size_t end = text.find('\n');
        std::string_view rest = text.substr(0, end);
        do {
            std::string_view line = rest;
            if (wrap && !rest.empty())
                line = TakeWrappedLine(rest, font, width);
            else
                rest = {};
            visit(line, y);
            lastY = y;
            y += advance;
        } while (!rest.empty());
        if (end == std::string_view::npos)
            return lastY;
        text.remove_prefix(end + 1);
    }
}

} // namespace

UIRazaStaticText::UIRazaStaticText()
{
    SetCompositingHint(kWindowlessHint);
}

void UIRazaStaticText::SetText(const CXString& text)
{
    if (text.length() == fText.length() && text == fText)
        return;
    fText = text;
    InvalidateAll();
}

void UIRazaStaticText::EnableWordWrap()
{
    if (fWordWrap == 1)
        return;
    fWordWrap = 1;
    InvalidateAll();
}

void UIRazaStaticText::LayoutChildren()
{
    UICustomControl::LayoutChildren();
    InvalidateAll();
}

void UIRazaStaticText::GetMinimumSize(int32_t& width, int32_t& height) const
{
    if (fWordWrap) {
        width = 0;
        height = 0;
        return;
    }
    RazaFont font = GetFont();
    if (font.GetSize() == 0)
        font.SetSize(12);
    if (font.GetFace().length() == 0)
        font.SetFace("Segoe UI");
    width = static_cast<int32_t>(font.MeasureWidth(fText));
    height = static_cast<int32_t>(font.MeasureWrappedHeight(fText, width));
}

void UIRazaStaticText::GetInsets(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const
{
    left = 8;
    top = 13;
    right = 8;
    bottom = 13;
}

void UIRazaStaticText::SetFont(const RazaFont& font)
{
    UICustomControl::SetFont(font);
    InvalidateAll();
    ApplyLayout();
}

RazaRegion UIRazaStaticText::GetRegion(int32_t kind)
{
    if (kind == kRegionHit && !fClickable)
        return RazaRegion();
    return UICustomControl::GetRegion(kind);
}

void UIRazaStaticText::Draw(RazaGraf& graf)
{
    RazaFont font = GetFont();
    const int32_t width = GetWidth();
    WalkLines(std::string_view(fText.c_str(), fText.length()), fWordWrap != 0, font, width,
              [&](std::string_view line, int32_t y) { DrawLine(graf, Piece(line), y, font, width); });
}

int32_t UIRazaStaticText::MeasureHeight(int32_t width) const
{
    RazaFont font = GetFont();
    const int32_t lastY = WalkLines(std::string_view(fText.c_str(), fText.length()), fWordWrap != 0, font, width,
                                    [](std::string_view, int32_t) {});
    return lastY + kLineBottomBelowY;
}

void UIRazaStaticText::DrawLine(RazaGraf& graf, const CXStringArgument& line, int32_t y, RazaFont& font, int32_t width)
{
    const int32_t alignment = font.GetAlignment();
    CXString shown(line.data(), line.length());
    if (alignment == RazaFont::kAlignRight || alignment == RazaFont::kAlignLeftEndInView)
        shown = font.Truncate(shown, width);
    const Box2f extent = graf.MeasureString(shown, 0, 0, width, true, font);
    const int32_t textWidth = static_cast<int32_t>(extent.right - extent.left);
    int32_t x = 0;
    if (alignment == RazaFont::kAlignCenter)
        x = (width - textWidth) / 2;
    else if (alignment == RazaFont::kAlignRight && textWidth < width)
        x = width - textWidth;
    else if (alignment == RazaFont::kAlignLeftEndInView && textWidth > width)
        x = width - textWidth;
    graf.DrawString(x + fTextOrigin.x, y + fTextOrigin.y, shown, font);
}

bool UIRazaStaticText::HandleMouse(Vector2i point, int32_t modifiers, int32_t phase)
{
    if (!fClickable)
        return false;
    if (phase == kMouseRelease && GetRegion(kRegionHit).Contains(point))
        (void)HandleMessage(UIRazaStaticTextClick(this, point, modifiers));
    return true;
}

void UIRazaStaticText::CreateNativeWindow()
{
    if (!IsWindowless())
        CXDebugError("uhoh");
    UICustomControl::CreateNativeWindow();
}

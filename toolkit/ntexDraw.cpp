// Drawing of ntex: margins, lines in pieces of one style, tabs, backgrounds and strike lines, the
// selection pass, the caret, and code mode's colouring.

#include "toolkit/GTextData.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/ntex.h"

#include <algorithm>
#include <cmath>

namespace {

const CXColor kBlack{0.0f, 0.0f, 0.0f, 1.0f};
const CXColor kCommentColor{1.0f, 0.0f, 0.0f, 1.0f};
const CXColor kStringColor{0.0f, 1.0f, 0.0f, 1.0f};
const CXColor kKeywordColor{0.0f, 0.0f, 1.0f, 1.0f};

int32_t Round(double x)
{
    return static_cast<int32_t>(std::lround(x));
}

bool IsWordByte(char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || byte == '_';
}

void FillIfAny(RazaGraf& graf, const Box2i& box, const CXColor& color)
{
    if (!box.IsEmpty())
        graf.FillBox(box, color);
}

} // namespace

void ntex::Draw(RazaGraf& graf, const Box2i& clip)
{
    if (fDocument == nullptr)
        return;
    if ((fFlags & kNoBackground) == 0)
        FillMargins(graf);
    if ((fDocument->GetFlags() & GTextData::kDeferLayout) != 0)
        return;
    int32_t first = 0;
    int32_t last = -1;
    LinesInRect(clip, first, last);
    if (last < first)
        return;

    const std::vector<TextLine>& lines = fDocument->GetLines();
    graf.PushClipRegion(RazaRegion(fTextRect), {0, 0});
    Box2i band{fTextRect.left, lines[static_cast<size_t>(first)].top + fOrigin.y, fTextRect.right,
               lines[static_cast<size_t>(last) + 1].top + fOrigin.y};
    if (last == fDocument->GetLineCount() - 1)
        band.bottom = std::max(band.bottom, fTextRect.bottom);
    if ((fFlags & kNoBackground) == 0)
        FillIfAny(graf, band, fBackground);
    for (int32_t line = first; line <= last; ++line)
        DrawLine(graf, line);

    int32_t start = 0;
    int32_t end = 0;
    fDocument->GetSelection(start, end);
    if (start != end) {
        const RazaRegion selected = RazaRegion(band).Intersect(SelectionRegion());
        graf.PushClipRegion(selected, {0, 0});
        graf.FillRegionHighlight(selected, (fFlags & (kReadOnly | kCaretHidden)) == 0);
        fDrawingSelection = 1;
        for (int32_t line = first; line <= last; ++line)
            DrawLine(graf, line);
        fDrawingSelection = 0;
        graf.PopClipRegion();
    } else if (fCaretOn != 0) {
        const Box2i caret = FindRect(start);
        graf.FillBox(Box2i{caret.left - 1, caret.top, caret.left, caret.bottom}, kBlack);
    }
    graf.PopClipRegion();
}

void ntex::FillMargins(RazaGraf& graf)
{
    const Box2i& t = fTextRect;
    const int32_t top = t.top - fMarginTop;
    const int32_t bottom = t.bottom + fMarginBottom;
    FillIfAny(graf, Box2i{t.left, top, t.right, t.top}, fBackground);
    FillIfAny(graf, Box2i{t.left - fMarginLeft, top, t.left, bottom}, fBackground);
    FillIfAny(graf, Box2i{t.right, top, t.right + fMarginRight, bottom}, fBackground);
    FillIfAny(graf, Box2i{t.left, t.bottom, t.right, bottom}, fBackground);
}

void ntex::DrawLine(RazaGraf& graf, int32_t line)
{
    const std::vector<TextLine>& lines = fDocument->GetLines();
    const TextLine& record = lines[static_cast<size_t>(line)];
    const TextLine& next = lines[static_cast<size_t>(line) + 1];
    const char* text = fDocument->GetBytes();
    int32_t end = next.start;
    while (end > record.start && (text[end - 1] == '\r' || text[end - 1] == '\n') &&
           !fDocument->GetStyle(fDocument->GetStyleRunForCharacterAtIndex(end - 1).style).IsHidden())
        --end;
    const int32_t top = record.top + fOrigin.y;
    const int32_t bottom = next.top + fOrigin.y;
    fBaseline = record.top + next.ascentAbove + fOrigin.y;

    if (fDrawingSelection == 0) {
        for (const TextLineBand& band : fDocument->GetLineBands()) {
            if (line >= band.firstLine && line < band.endLine) {
                FillIfAny(graf, Box2i{fTextRect.left, top, fTextRect.right, bottom}, band.color);
                break;
            }
        }
    }

    // x is in text coordinates: tabs stop at multiples of the text's x.
    double x = 1.0 + fDocument->IndentAt(record.start);
    GTextWalker walker(*fDocument, record.start, LineRun(line, "ntex::DrawLine"));
    TextStyle* style = &walker.Style();
    int32_t pieceRun = walker.Run();
    ApplyStyle(graf, *style);
    int32_t pieceStart = record.start;
    double pieceX = x;
    const bool strikeToEdge = (fDocument->GetFlags() & GTextData::kStrikeToEdge) != 0;
    for (; walker.Index() < end; walker.Step()) {
        const int32_t index = walker.Index();
        if (walker.Run() != pieceRun) {
            if (index > pieceStart)
                FinishPiece(graf, *style, pieceStart, index, pieceX, x, x, true);
            style = &walker.Style();
            pieceRun = walker.Run();
            ApplyStyle(graf, *style);
            pieceStart = index;
            pieceX = x;
        }
        const double advance = walker.Advance(x);
        if (walker.Character() == '\t' && !style->IsHidden()) {
            // A tab ends the piece before it, which reaches over the tab; a tab that starts a piece
            // is a gap, struck through only when strike lines run on through tabs.
            const bool startsPiece = index == pieceStart;
            FinishPiece(graf, *style, pieceStart, index, pieceX, x + advance, x + advance, !startsPiece || strikeToEdge);
            pieceStart = index + 1;
            pieceX = x + advance;
        }
        x += advance;
    }
    const double textRight = fTextRect.right - fOrigin.x;
    FinishPiece(graf, *style, pieceStart, end, pieceX, std::max(textRight, x), strikeToEdge ? textRight + 1 : x, true);
    fPenColor = kBlack;
}

// Draws one piece of a line in one style: its background from startX to backgroundEnd, its text,
// and with strike-through a line from startX to strikeEnd - 1 (all in text x).
void ntex::FinishPiece(RazaGraf& graf, TextStyle& style, int32_t from, int32_t to, double startX, double backgroundEnd,
                       double strikeEnd, bool drawStrike)
{
    if (style.IsHidden())
        return;
    const int32_t pieceTop = fBaseline - style.ascent;
    if (style.backgroundColor.alpha > 0.0f)
        FillIfAny(graf, Box2i{Round(fOrigin.x + startX), pieceTop, Round(fOrigin.x + backgroundEnd), pieceTop + style.lineHeight},
                  style.backgroundColor);
    if (to > from) {
        fPenX = fOrigin.x + startX;
        DrawSegment(graf, from, to);
    }
    if (drawStrike && (style.flags & TextStyle::kStrikeThrough) != 0)
        DrawStrikeLine(graf, Round(fOrigin.x + startX), Round(fOrigin.x + strikeEnd) - 1, pieceTop + style.lineHeight / 2);
}

void ntex::ApplyStyle(RazaGraf& graf, TextStyle& style)
{
    fFont.SetSize(style.size);
    fFont.SetFace(style.face);
    fFont.SetStyle(style.font.GetStyle());
    if (fDrawingSelection != 0)
        fPenColor = graf.GetColor((fFlags & (kReadOnly | kCaretHidden)) != 0 ? 10 : 9);
    else
        fPenColor = style.textColor;
}

void ntex::DrawSegment(RazaGraf& graf, int32_t from, int32_t to)
{
    if ((fDocument->GetFlags() & GTextData::kCodeMode) == 0) {
        DrawText(graf, from, to);
        return;
    }
    const char* text = fDocument->GetBytes();
    int32_t plain = from;
    auto colored = [&](int32_t start, int32_t stop, const CXColor& color) {
        DrawText(graf, plain, start);
        fPenColor = color;
        DrawText(graf, start, stop);
        fPenColor = kBlack;
        plain = stop;
    };
    int32_t i = from;
    while (i < to) {
        const char byte = text[i];
        if (byte == '/' && i + 1 < to && text[i + 1] == '/') {
            colored(i, to, kCommentColor);
            return;
        }
        if (byte == '"' || byte == '\'') {
            int32_t close = i + 1;
            while (close < to && text[close] != byte)
                close += text[close] == '\\' ? 2 : 1;
            close = std::min(close + 1, to);
            colored(i, close, kStringColor);
            i = close;
            continue;
        }
        if (i == from || !IsWordByte(text[i - 1])) {
            const int32_t match = fDocument->MatchKeyword(i, to - i);
            if (match > 0) {
                colored(i, i + match, kKeywordColor);
                i += match;
                continue;
            }
        }
        ++i;
    }
    DrawText(graf, plain, to);
}

void ntex::DrawText(RazaGraf& graf, int32_t from, int32_t to)
{
    if (to <= from)
        return;
    const CXStringArgument piece(fDocument->GetBytes() + from, static_cast<size_t>(to - from));
    fFont.SetColor(fPenColor);
    graf.DrawString(Round(fPenX), fBaseline, piece, fFont);
    const Box2f extent = graf.MeasureString(piece, 0, 0, 10000, true, fFont);
    fPenX += extent.right - extent.left;
}

void ntex::DrawStrikeLine(RazaGraf& graf, int32_t fromX, int32_t toX, int32_t y)
{
    graf.DrawLine(Vector2i{fromX, y}, Vector2i{toX, y}, fPenColor);
}

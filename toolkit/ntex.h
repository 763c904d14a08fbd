#pragma once

#include "toolkit/Box2i.h"
#include "toolkit/CXColor.h"
#include "toolkit/RazaFont.h"
#include "toolkit/RazaRegion.h"

#include <cstdint>

class GTextData;
class RazaGraf;
class TextStyle;

// What a text view asks of the control that shows it. All boxes and regions are in view
// coordinates.
class NtexOwner {
public:
    // The message name the owner takes for TextScrollChanged.
    static constexpr const char* kScrollChangedMessage = "ntex-scroll-changed";

    virtual ~NtexOwner() = default;
    virtual void InvalidateTextBox(const Box2i& box) = 0;
    virtual void InvalidateTextRegion(const RazaRegion& region) = 0;
    // "ntex-scroll-changed": the scroll range or position may have changed.
    virtual void TextScrollChanged() = 0;
};

// One view of a GTextData document: a frame with margins (4, 0, 4, 0) around the text rectangle, a
// scroll origin (where text (0, 0) lands in view coordinates), the caret and the drawing state. It
// measures and hit-tests characters on the document's lines, draws lines, selection and caret into
// a RazaGraf, and tells its owner what to repaint. Text coordinates put characters of a line at
// x = 1 + indent and the first line's top at y = 0.
//
// Neither the owner nor the document is owned. Without an owner nothing is invalidated or posted;
// without a document (never given, or destroyed first) every operation does nothing and answers 0
// or empty. Main thread only.
class ntex {
public:
    // Flags.
    static constexpr int32_t kCaretHidden = 0x10;
    static constexpr int32_t kCaretDisabled = 0x20;
    static constexpr int32_t kLockVertical = 0x40;
    static constexpr int32_t kLockHorizontal = 0x80;
    static constexpr int32_t kNoBackground = 0x400;
    // A text shorter than the view sits at its bottom, and resizing keeps the bottom in view.
    static constexpr int32_t kBottomAnchored = 0x1000;
    static constexpr int32_t kReadOnly = 0x2000;

    // The modifier word of keys and presses.
    static constexpr int32_t kModifierLine = 0x1;
    static constexpr int32_t kModifierShift = 0x2;
    // Vertical moves by the page; Alt on the keyboard.
    static constexpr int32_t kModifierPage = 0x8;
    // Horizontal moves by the word; Ctrl on the keyboard.
    static constexpr int32_t kModifierWord = 0x10;

    // Key codes of HandleKey; any other code is a typed code point.
    static constexpr uint32_t kKeyHome = 1;
    static constexpr uint32_t kKeyEnd = 4;
    static constexpr uint32_t kKeyBackspace = 8;
    static constexpr uint32_t kKeyTab = 9;
    static constexpr uint32_t kKeyPageUp = 11;
    static constexpr uint32_t kKeyPageDown = 12;
    static constexpr uint32_t kKeyReturn = 13;
    static constexpr uint32_t kKeyEscape = 27;
    static constexpr uint32_t kKeyLeft = 28;
    static constexpr uint32_t kKeyRight = 29;
    static constexpr uint32_t kKeyUp = 30;
    static constexpr uint32_t kKeyDown = 31;
    static constexpr uint32_t kKeyDelete = 127;

    // The caret's blink half-period, and the time and distance that make presses one multi-click.
    static constexpr int64_t kBlinkMilliseconds = 560;
    static constexpr int64_t kMultiClickMilliseconds = 400;
    static constexpr int32_t kMultiClickPixels = 2;

    // The text rectangle is the frame less the margins; the origin its top-left corner.
    explicit ntex(const Box2i& frame);
    // Leaves its document.
    virtual ~ntex();
    ntex(const ntex&) = delete;
    ntex& operator=(const ntex&) = delete;

    void SetOwner(NtexOwner* owner) { fOwner = owner; }
    NtexOwner* GetOwner() const { return fOwner; }
    // Leaves the old document and joins the new one (null: none), giving it the text width as its
    // wrap width unless it has GTextData::kFixedContentWidth.
    void SetTextData(GTextData* document);
    GTextData* GetTextData() const { return fDocument; }
    int32_t GetFlags() const { return fFlags; }
    // Sets, then clears bits; hiding the caret turns it off at once. The text rectangle is
    // repainted.
    void ChangeFlags(int32_t set, int32_t clear);

    // Takes a new frame (its empty flag is kept as the frame flag): the origin follows the left
    // edge and keeps its distance to the top, the document's wrap width follows the text width
    // (unless kFixedContentWidth), a bottom-anchored view keeps the text's distance to its bottom.
    // Nothing when neither the text rectangle nor the flag changed.
    void SetFrame(const Box2i& frame);
    const Box2i& GetTextRect() const { return fTextRect; }
    Vector2i GetOrigin() const { return fOrigin; }

    // --- Scrolling ---
    // 0..content width - text width and 0..text height - text height, each maximum raised to its
    // minimum; bottom anchored, a short text's range is the single negative y that puts it at the
    // bottom.
    void GetScrollRange(int32_t& minX, int32_t& minY, int32_t& maxX, int32_t& maxY) const;
    // The text rectangle's top-left less the origin.
    Vector2i GetScrollPosition() const;
    // By the offset; a locked axis stays.
    void ScrollBy(int32_t dx, int32_t dy);
    // To the position clamped into the range; the pending lines are repainted first and the text
    // rectangle after a move (not while layout is deferred).
    void ScrollTo(int32_t x, int32_t y);
    // Tells the owner NtexOwner::kScrollChangedMessage.
    void PostScrollChanged();

    // --- Geometry ---
    // The character index at a view point: 0 above the text, the length below it, the line's
    // start left of its characters; a point right of a line's end gives the start of its last
    // character (the text length on the last line).
    int32_t HitTest(Vector2i point);
    // The box of the character at the index in view coordinates: its line's top and bottom, its
    // left and right edges rounded (right = left at the text's end).
    Box2i FindRect(int32_t index);
    // The selection's area: one box on one line; over several lines the first line from the
    // start to the text's right edge, the lines between across the text, and the last line from
    // the text's left edge. Empty for an empty selection.
    RazaRegion SelectionRegion();
    // Repaints the difference between the selection area last repainted and the present one.
    void InvalidateSelection();
    // Lines [first, end) of the document to repaint at the next FlushDirtyLines.
    void AddPendingLines(int32_t first, int32_t end);
    // Repaints the pending lines that are visible as one box across the text (down to the text
    // rectangle's bottom when the last line is among them); then none is pending.
    void FlushDirtyLines();
    // The first and last line at the box's top and bottom edges, clamped to the lines.
    void LinesInRect(const Box2i& box, int32_t& first, int32_t& last);
    void VisibleLines(int32_t& first, int32_t& last) { LinesInRect(fTextRect, first, last); }
    // Pending lines, first to last; first is -1 when none.
    void GetPendingLines(int32_t& first, int32_t& last) const
    {
        first = fPendingFirst;
        last = fPendingLast;
    }

    // --- Drawing (ntexDraw.cpp) ---
    // The margins and the lines meeting the clip box (view coordinates), then the selection and
    // the caret. Nothing but the margins while the document defers layout.
    void Draw(RazaGraf& graf, const Box2i& clip);

    // --- Caret ---
    // Unless hidden, disabled or on: turns it on (repainting it when the selection is empty) and
    // restarts the blink clock.
    void ShowCaret();
    // When on: repaints it, turns it off and restarts the blink clock.
    void HideCaret();
    // HideCaret, and the blink clock restarted even when the caret was off.
    void HideCaretAndRestartClock();
    // With an empty selection repaints the caret's box (one pixel to the left of the character's
    // box) and answers true; else false.
    bool InvalidateCaret();
    // Scrolls the unlocked axes just enough to show the moving end of the selection.
    void ScrollToCaret();
    // The goal x becomes the left edge of the caret's box.
    void UpdateGoalColumn();
    bool IsCaretOn() const { return fCaretOn != 0; }
    int64_t GetCaretTime() const { return fCaretTime; }
    int32_t GetGoalX() const { return fGoalX; }

    // --- Editing controller (ntexEdit.cpp) ---
    // A key code with the modifier word; true when handled. Home and End move by the line, Page
    // Up and Page Down by the page (they neither show the caret nor scroll); Backspace and Delete
    // remove the selection or the character before or after the caret; Return inserts a line
    // break (GTextData::InsertNewline); arrows move. A code above 31, a tab, or any code while the
    // document has kTypeControlCharacters is typed as UTF-8; a surrogate or a code above 0x10FFFF
    // types nothing. Read-only (kReadOnly): Backspace, Delete and Return are not handled and typed
    // codes change nothing but are handled. Escape and other codes below 32 are not handled.
    // After any other handled key the pending lines are repainted, the caret shown and scrolled
    // into view.
    [[nodiscard]] bool HandleKey(uint32_t code, int32_t modifiers);
    // Shift extends the selection from its moving end to the previous boundary; otherwise an
    // empty selection (or, with kModifierWord, any) becomes a caret at the boundary before its
    // start, and a non-empty one a caret at its start. The goal x follows.
    void MoveLeft(int32_t modifiers);
    // The mirror image of MoveLeft.
    void MoveRight(int32_t modifiers);
    // A line (kModifierPage: a page) up at the goal x; a selection without modifiers first
    // collapses to its start. Shift extends from the moving end. The goal x changes only when the
    // move reached index 0.
    void MoveUp(int32_t modifiers);
    // The mirror image of MoveUp, to the end of the text.
    void MoveDown(int32_t modifiers);
    // The index a line below the index's line at the goal x (kModifierPage: at the text
    // rectangle's bottom, or a page further when the caret lies outside the view); the text length
    // from the last line.
    int32_t PositionBelow(int32_t index, int32_t modifiers);
    // The index a line (or page) above; 0 from the first line.
    int32_t PositionAbove(int32_t index, int32_t modifiers);
    // A press at a view point: presses within kMultiClickMilliseconds and under kMultiClickPixels
    // of the last one count up to 3 (characters, words, lines); Shift keeps the far end of the
    // selection as the press index. Then MouseDrag.
    void MouseDown(Vector2i point, int32_t modifiers);
    // Selects from the press index to the point, by characters, words or lines as the click count
    // says, scrolls towards a point outside the text rectangle and shows the caret.
    void MouseDrag(Vector2i point);
    // Called on every idle pass: repaints pending lines, and once kBlinkMilliseconds have passed
    // since the caret time turns the caret off, or on unless hidden or disabled.
    void BlinkCaret();
    int32_t GetClickCount() const { return fClickCount; }
    int32_t GetPressIndex() const { return fPressIndex; }

    // Called by the document when it goes.
    void DetachDocument() { fDocument = nullptr; }

private:
    void Invalidate(const Box2i& box);
    void Invalidate(const RazaRegion& region);
    // The run in force at a line's start, from its record, checked.
    int32_t LineRun(int32_t line, const char* caller);

    // ntexEdit.cpp
    void AutoScrollTowards(Vector2i point);

    // ntexDraw.cpp
    void FillMargins(RazaGraf& graf);
    void DrawLine(RazaGraf& graf, int32_t line);
    void ApplyStyle(RazaGraf& graf, TextStyle& style);
    void FinishPiece(RazaGraf& graf, TextStyle& style, int32_t from, int32_t to, double startX, double backgroundEnd,
                     double strikeEnd, bool drawStrike);
    void DrawSegment(RazaGraf& graf, int32_t from, int32_t to);
    void DrawText(RazaGraf& graf, int32_t from, int32_t to);
    void DrawStrikeLine(RazaGraf& graf, int32_t fromX, int32_t toX, int32_t y);

    NtexOwner* fOwner = nullptr;
    GTextData* fDocument = nullptr;
    Vector2i fOrigin;
    Box2i fTextRect;
    uint8_t fFrameFlag = 0;
    uint8_t fCaretOn = 0;
    int64_t fCaretTime = 0;
    int32_t fGoalX = 0;
    int32_t fPressIndex = 0;
    Vector2i fLastClickPoint;
    int64_t fLastClickTime = 0;
    // 0 before the first press.
    int32_t fClickCount = 0;
    int32_t fMarginLeft = 4;
    int32_t fMarginTop = 0;
    int32_t fMarginRight = 4;
    int32_t fMarginBottom = 0;
    CXColor fBackground{1.0f, 1.0f, 1.0f, 1.0f};
    RazaRegion fShownSelection;
    int32_t fPendingFirst = -1;
    int32_t fPendingLast = -1;
    int32_t fFlags = 0;
    // Drawing state.
    double fPenX = 0.0;
    int32_t fBaseline = 0;
    RazaFont fFont;
    CXColor fPenColor{0.0f, 0.0f, 0.0f, 1.0f};
    uint8_t fDrawingSelection = 0;
};

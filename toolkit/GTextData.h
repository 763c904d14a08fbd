#pragma once

#include "foundation/CXGenericEvent.h"
#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"
#include "foundation/CXStringEdit.h"
#include "toolkit/CXColor.h"
#include "toolkit/TextStyle.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ntex;

// A range of the style table's use: the text from start up to the next run's start has the style.
struct StyleRun {
    int32_t start = 0;
    int32_t style = 0;

    constexpr bool operator==(const StyleRun&) const = default;
};

// One laid-out line: its first byte, its top (text coordinates), the largest ascent of the line
// before it (so the baseline of line i is top(i) + ascentAbove(i + 1)) and the run in force at its
// start.
struct TextLine {
    int32_t start = 0;
    int32_t top = 0;
    int32_t ascentAbove = 0;
    int32_t run = 0;

    constexpr bool operator==(const TextLine&) const = default;
};

// Lines [firstLine, endLine) painted across the view in a colour before their text.
struct TextLineBand {
    int32_t firstLine = 0;
    int32_t endLine = 0;
    CXColor color;
};

// Lines [first, end); empty when first >= end.
struct TextLineRange {
    int32_t first = 0;
    int32_t end = 0;

    bool IsEmpty() const { return first >= end; }
    // Becomes [a, b) when empty, else takes it in.
    void Widen(int32_t a, int32_t b);
    void Clear() { first = end = 0; }
};

// The document of the text engine: UTF-8 text with one selection, a table of styles and the runs
// that give each byte its style, the laid-out lines, one undo step that also redoes, flags and a
// change stamp. Views (ntex) attach to it and are told of every change; the document never owns
// them, and its destruction detaches those still attached.
//
// Positions are byte indices. Every change of the text goes through Insert, which keeps runs,
// lines, views, the undo step and the change stamp consistent. Runs always start with one at 0,
// start strictly increasing, none is empty, no two neighbours share a style, and the sentinel
// {kSentinelStart, 0} comes last. Bytes that do not decode read as '.' one byte long.
//
// Main thread only, except the change stamp, which the event of CreateEvent(0) reads from any
// thread.
class GTextData : public CXGenericEventSource {
public:
    // Flags.
    static constexpr int32_t kAutoIndent = 0x1;
    static constexpr int32_t kNoWrap = 0x2;
    // Changes only widen the relayout and redraw ranges; clearing the flag catches up.
    static constexpr int32_t kDeferLayout = 0x4;
    static constexpr int32_t kModified = 0x8;
    static constexpr int32_t kCodeMode = 0x80;
    static constexpr int32_t kFixedContentWidth = 0x100;
    static constexpr int32_t kTypeControlCharacters = 0x200;
    static constexpr int32_t kStrikeToEdge = 0x800;
    static constexpr int32_t kKeepStyleOnCaretMove = 0x2000;
    static constexpr int32_t kNoChangeStamp = 0x4000;

    static constexpr int32_t kSentinelStart = 0x7FFFFFFF;

    // What the layouts since the document was made have done: the first line of the last one and
    // the lines every one of them walked.
    struct LayoutStats {
        int32_t lastFirstLine = 0;
        int64_t linesWalked = 0;
    };

    // An empty text in the default style, laid out for a content width of 100.
    GTextData();
    ~GTextData() override;

    // --- Text ---
    // Nothing when the text is the same; else the text is replaced (null empties it), undo is
    // cleared, the styles and runs become the current style alone, the selection a caret at 0, and
    // everything is laid out and redrawn. No change stamp. A text of kSentinelStart bytes or more
    // is refused with a log line.
    void SetText(const char* bytes, int32_t length);
    // The first min(length, text length) bytes.
    CXString GetText(int32_t length) const;
    int32_t GetLength() const { return static_cast<int32_t>(fText.length()); }
    // The text's bytes, NUL-terminated.
    const char* GetBytes() const { return fText.length() != 0 ? fText.data() : ""; }

    // --- Selection ---
    void GetSelection(int32_t& start, int32_t& end) const
    {
        start = fSelectionStart;
        end = fSelectionEnd;
    }
    int32_t GetAnchor() const { return fAnchor; }
    // The selection's fixed end, clamped to the text. One that is neither end makes the start the
    // moving end until the next SetSelection.
    void SetAnchor(int32_t anchor);
    // The moving end: the start, or the end when the start is the anchor.
    int32_t GetCaret() const { return fSelectionStart == fAnchor ? fSelectionEnd : fSelectionStart; }
    // Orders and clamps the ends to the text; a caret becomes the anchor, and an anchor that is
    // neither end becomes the end. A change hides the carets and repaints what changed of the
    // selection in every view (not while layout is deferred), and with updateGoalX sets their
    // goal x. Then, unless kKeepStyleOnCaretMove, the current style becomes that of the character
    // before the start (of the first character at 0).
    void SetSelection(int32_t start, int32_t end, bool updateGoalX);

    // --- Editing ---
    // Replaces the selection by length bytes (null inserts nothing) in the current style, leaving
    // them selected or a caret after them. Records the undo step, moves the runs and lines, lays
    // out again from the first line the edit can change (the line before the edit's, or the one
    // before the start of the word it touches) to the end unless deferred, repaints what changed
    // in every view, takes a change stamp and scrolls every view to its caret. Nothing for an
    // empty insertion into an empty selection; refused with a log line when the text would reach
    // kSentinelStart bytes or memory runs out.
    void Insert(const char* bytes, int32_t length, bool keepSelected);
    // With an empty selection first selects the character before (-1) or after (+1) the caret;
    // then removes the selection.
    void DeleteCharacter(int32_t direction);
    // Puts back what the last replacement removed, selected; the step recorded then undoes this
    // one, so a second Undo redoes. Nothing when there is no step.
    void Undo();
    bool CanUndo() const { return fUndoStart != -1; }
    void ClearUndo();

    // --- Editing controller (GTextDataEdit.cpp) ---
    // Replaces the selection by a CR, with kAutoIndent followed by the spaces and tabs that begin
    // the line of the selection start, up to that start and at most 253 of them.
    void InsertNewline();
    // Puts the selected bytes, less those in hidden styles, on the clipboard as "TEXT", replacing
    // what it held. Nothing for an empty selection.
    void Copy();
    // Replaces the selection by the clipboard's "TEXT"; nothing when there is none or it cannot be
    // read.
    void Paste();
    // Whether the clipboard holds "TEXT".
    [[nodiscard]] bool CanPaste() const;
    // The boundary after the index (the length at or past the end): with ntex::kModifierLine the
    // next line's start, one less after a tab, space, CR or LF; with ntex::kModifierWord past the
    // punctuation and then the word characters (digits, ASCII letters, '_' and every code point
    // from 0x80); else the next character.
    int32_t NextBoundary(int32_t index, int32_t modifiers) const;
    // The boundary before the index (0 at 0): the line's start, back over punctuation and then
    // word characters, or the previous character.
    int32_t PreviousBoundary(int32_t index, int32_t modifiers) const;
    // The word of the index: the index's line cut into pieces, each ending before a space, tab, CR
    // or LF or after one (in code mode also at a punctuation break), never inside hidden text; the
    // first piece ending at or after the index. An empty line gives index .. index.
    void WordRangeAt(int32_t index, int32_t& first, int32_t& end) const;
    // first moves to its line's start and end to the next line's start (the length on the last).
    void LineRangeAt(int32_t& first, int32_t& end) const;

    // --- Styles ---
    // The style given to inserted text.
    const TextStyle& GetCurrentStyle() const { return fCurrentStyle; }
    // Takes a copy and computes its metrics.
    void SetCurrentStyle(const TextStyle& style);
    // The index of an equal style in the table, else of a copy appended (metrics computed).
    int32_t FindOrAddStyle(const TextStyle& style);
    int32_t GetStyleCount() const { return static_cast<int32_t>(fStyles.size()); }
    // The table's entry; an index outside the table gives entry 0.
    TextStyle& GetStyle(int32_t index);
    // first: the current style becomes the default with its metrics. Then the table holds a copy
    // of the current style alone, as style 0, and the runs become {0, 0} and the sentinel.
    void ResetStyles(bool first);

    // --- Runs ---
    const std::vector<StyleRun>& GetRuns() const { return fRuns; }
    // The run holding the index (clamped to the text), never the sentinel; 0 for a broken table.
    int32_t FindCharRun(int32_t index) const;
    // The run holding the character at the index: the first for an index at or below 0, the last
    // real run at or past the sentinel.
    StyleRun GetStyleRunForCharacterAtIndex(int32_t index) const;
    // Inserts the run after the run at `after` (-1: in front), then checks the order, logging a
    // broken one.
    void AddRun(int32_t after, StyleRun run);
    // Removes the run; the line records' run indices follow.
    void RemoveRun(int32_t index);
    // From the last real run down to run 1, removes a run with its predecessor's style or one
    // that starts where its successor starts.
    void MergeRuns();

    // --- Flags and change stamp ---
    int32_t GetFlags() const { return fFlags; }
    // Sets, then clears bits. A change of kNoWrap or kCodeMode lays everything out again; clearing
    // kDeferLayout lays out and redraws what waited.
    void ChangeFlags(int32_t set, int32_t clear);
    // Unless kNoChangeStamp: takes the next value of the process-wide change counter and sets
    // kModified.
    void MarkChanged();
    uint64_t GetChangeStamp() const { return fChangeStamp.load(std::memory_order_acquire); }
    // Kind 0: an event set once the document has changed, or, against a reference stamp, when it
    // changed after it; other kinds: a plain event.
    CXGenericEvent* CreateEvent(int kind) override;

    // --- Characters ---
    // The start of the character after the one at the index (the length at or past the end). An
    // index outside the text is logged and clamped.
    int32_t NextUTF8(int32_t index) const;
    // The start of the character before the index (0 at or before 0). Logged and clamped like
    // NextUTF8.
    int32_t PrevUTF8(int32_t index) const;
    // The character holding the index and the bytes from the index to its end; '.' and 1 outside
    // the text and for bytes that do not decode.
    uint32_t CharacterAt(int32_t index, int32_t& count) const;
    // The character after the one holding the index; 0 at the end, outside the text or when it does
    // not decode.
    uint32_t FollowingCharacter(int32_t index) const;

    // --- Views ---
    void AddView(ntex* view);
    void RemoveView(ntex* view);
    const std::vector<ntex*>& GetViews() const { return fViews; }
    // Turns every view's caret off and restarts its blink clock.
    void HideCarets();

    // --- Layout (GTextDataLayout.cpp) ---
    // Lays the text out again from line `from` (negative: the whole text) to the end. Changed
    // line records widen the redraw range; a change of content width or text height is told to
    // every view.
    void Layout(int32_t from);
    // A changed width is stored and everything laid out again (while deferred: waits).
    void SetWrapWidth(int32_t width);
    int32_t GetContentWidth() const { return fContentWidth; }
    int32_t GetTextHeight() const { return fTextHeight; }
    // The line records followed by the end record {text length, text height, ...}.
    const std::vector<TextLine>& GetLines() const { return fLines; }
    int32_t GetLineCount() const { return fLines.size() < 2 ? 0 : static_cast<int32_t>(fLines.size()) - 1; }
    // The line holding the index: 0 before line 1, the last line at or past the end.
    int32_t FindLine(int32_t index) const;
    // The line at text y: -1 above line 0, the line count at or below the text's end.
    int32_t FindLineAtY(int32_t y) const;
    // The line's first and last byte; both the text length past the last line.
    void GetLineRange(int32_t line, int32_t& first, int32_t& last) const;
    // Stores a line record when it changed, widening the redraw range by the line and the one
    // before it.
    void SetLine(int32_t index, const TextLine& record);
    // Whether a line may break between the two characters, current in the style.
    bool IsBreakBetween(uint32_t previous, uint32_t current, const TextStyle& style) const;
    // The x offset of a line starting at the index: the first-line indent at 0 and after a CR or
    // LF that is not hidden, else the left indent, of the style there.
    int32_t IndentAt(int32_t lineStart);
    // Whether the byte at the index is a CR or LF that ends a line (one not hidden).
    bool EndsLine(int32_t index);
    const LayoutStats& GetLayoutStats() const { return fLayoutStats; }

    // --- Keywords and bands ---
    // The keywords of code mode: entries of a length byte and that many bytes, ended by a length
    // byte 0 or the table's end. Copied.
    void SetKeywords(const CXStringArgument& table);
    // The length of the keyword at the position within the next `rest` bytes: the first entry
    // that fits the rest, equals the text there and ends at the rest's end or before a byte that
    // is not a letter, digit or '_'. 0 when none matches.
    int32_t MatchKeyword(int32_t position, int32_t rest) const;
    void AddLineBand(const TextLineBand& band);
    const std::vector<TextLineBand>& GetLineBands() const { return fBands; }

    // --- Redraw ---
    const TextLineRange& GetRedrawRange() const { return fRedraw; }
    // Widens every view's pending lines by the redraw range and clears it.
    void PushRedrawRange();

private:
    struct LayoutWalk;

    bool IsDeferred() const { return (fFlags & kDeferLayout) != 0; }
    void RecordUndo(int32_t length, int32_t start, int32_t end);
    void ReplaceRuns(int32_t start, int32_t end, int32_t length);
    void RemoveRunsInside(int32_t start, int32_t end, int32_t length);
    void RemoveRunsPastEnd(int32_t newLength);
    void ShiftLinesAfter(int32_t line, int32_t delta);
    int32_t FirstLineToRelayout(int32_t index);
    void RelayoutAfterEdit(int32_t lineOfStart, int32_t from, int32_t insertedEnd);
    void FinishEdit();
    void CheckRunOrder(int32_t index) const;
    void FinishLayout(int32_t oldWidth, int32_t oldHeight);

    std::string fKeywords;
    std::vector<TextLineBand> fBands;
    CXStringEdit fText;
    TextLineRange fRedraw;
    TextLineRange fRelayout;
    std::vector<TextLine> fLines;
    // The widest right edge of each line, for the content width of no-wrap mode.
    std::vector<int32_t> fLineRights;
    std::vector<std::unique_ptr<TextStyle>> fStyles;
    std::vector<StyleRun> fRuns;
    int32_t fContentWidth = 100;
    int32_t fTextHeight = 0;
    int32_t fSelectionStart = 0;
    int32_t fSelectionEnd = 0;
    int32_t fAnchor = 0;
    TextStyle fCurrentStyle;
    int32_t fFlags = 0;
    int32_t fUndoStart = -1;
    int32_t fUndoInsertedLength = 0;
    std::unique_ptr<char[]> fUndoRemoved;
    int32_t fUndoRemovedLength = 0;
    std::vector<ntex*> fViews;
    std::atomic<uint64_t> fChangeStamp{0};
    LayoutStats fLayoutStats;
};

// Steps through the characters of a document from an index, following its runs: the character
// there and its byte count (as CharacterAt gives them), the character after it and the style in
// force. The document must not change while a walker is in use.
class GTextWalker {
public:
    // run: the run in force at the index, or one before it (moved on to the right one).
    GTextWalker(GTextData& document, int32_t index, int32_t run);

    int32_t Index() const { return fIndex; }
    uint32_t Character() const { return fCharacter; }
    int32_t Run() const { return fRun; }
    TextStyle& Style() const { return *fStyle; }
    // The character's advance at pen x (text coordinates).
    double Advance(double x) const { return fStyle->Advance(x, fCharacter, fNext); }
    // On to the next character.
    void Step();

private:
    void FollowRuns();

    GTextData& fDocument;
    int32_t fIndex;
    int32_t fRun;
    uint32_t fCharacter = 0;
    int32_t fCount = 1;
    uint32_t fNext = 0;
    int32_t fNextCount = 1;
    TextStyle* fStyle = nullptr;
};

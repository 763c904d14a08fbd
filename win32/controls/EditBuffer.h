#pragma once

// Private to the controls: the text of an edit control with its selection, its length limit and
// its one undo step, all in UTF-16 units, knowing nothing of windows.
//
// No position ever splits a surrogate pair or a CR LF: a position inside one moves outward (the
// lower end of a selection back, the higher end forward), and the caret steps over either whole.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace win32::controls {

class EditBuffer {
public:
    // The highest limit; EM_LIMITTEXT 0 asks for it.
    static constexpr size_t kMaximumLimit = 0x7FFFFFFE;
    static constexpr size_t kDefaultLimit = 0x7FFF;

    const std::u16string& Text() const { return fText; }
    size_t Anchor() const { return fAnchor; }
    size_t Caret() const { return fCaret; }
    size_t SelectionStart() const { return fAnchor < fCaret ? fAnchor : fCaret; }
    size_t SelectionEnd() const { return fAnchor < fCaret ? fCaret : fAnchor; }
    bool HasSelection() const { return fAnchor != fCaret; }
    std::u16string SelectedText() const;

    // Replaces the text whatever the limit: the caret at its end, nothing selected, the undo step
    // dropped.
    void Assign(std::u16string text);
    // Positions are clamped to the text, then moved out of a pair they split.
    void Select(size_t anchor, size_t caret);
    // The caret to position, extending the selection from its anchor or leaving nothing selected.
    void MoveCaret(size_t position, bool extend);

    // The position one character after or before (a pair or a CR LF is one character).
    size_t Next(size_t position) const;
    size_t Previous(size_t position) const;
    // Word moves: to the start of the next word, or of this or the previous one. A word is a run
    // of one kind: letters and digits (every non-ASCII character counts as one), spaces and line
    // breaks, other marks.
    size_t NextWord(size_t position) const;
    size_t PreviousWord(size_t position) const;
    // The run of one kind at position (the character before it at the end of the text).
    std::pair<size_t, size_t> WordAt(size_t position) const;
    // The start and end of the line holding position (lines end at CR or LF).
    size_t LineStart(size_t position) const;
    size_t LineEnd(size_t position) const;

    // Counts UTF-16 units; 0 is the highest limit. A text already longer stays as it is.
    void SetLimit(size_t units) { fLimit = units == 0 || units > kMaximumLimit ? kMaximumLimit : units; }
    size_t Limit() const { return fLimit; }

    // Replaces the selection by as much of insert as the limit leaves room for, never splitting a
    // pair. False, changing nothing, when nothing would change or none of a non-empty insert fits.
    // Typing (typed true) at the caret continues one undo step until something else happens.
    bool ReplaceSelection(std::u16string_view insert, bool typed);
    // Backspace and Delete: the selection, else the character before or after the caret.
    bool DeleteBackward();
    bool DeleteForward();

    // Off drops the undo step and keeps none.
    void SetUndoEnabled(bool enabled);
    bool CanUndo() const { return fUndo.has_value(); }
    // Swaps the text and selection with those of the undo step, so a second undo redoes.
    bool Undo();

private:
    struct Snapshot {
        std::u16string text;
        size_t anchor = 0;
        size_t caret = 0;
    };

    bool Splits(size_t position) const;
    size_t SnapBack(size_t position) const;
    size_t SnapForward(size_t position) const;
    int KindAt(size_t position) const;

    std::u16string fText;
    size_t fAnchor = 0;
    size_t fCaret = 0;
    size_t fLimit = kDefaultLimit;
    bool fUndoEnabled = true;
    // A run of typing is open: the next typed character joins its undo step.
    bool fTyping = false;
    std::optional<Snapshot> fUndo;
};

} // namespace win32::controls

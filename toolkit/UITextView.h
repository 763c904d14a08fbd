#pragma once

#include "foundation/CXString.h"
#include "foundation/CXTask.h"
#include "toolkit/ScrollAxisRef.h"
#include "toolkit/UICustomControl.h"
#include "toolkit/ntex.h"

#include <cstdint>
#include <memory>

class CXGenericEventPredicate;
class GTextData;
struct CXGenericEventHandler;

// The custom-drawn multi-line text control: one ntex view of a GTextData document, fed with the
// typed characters, navigation codes and mouse presses of its window. It answers the edit
// commands and their "update-command-status" queries (-10 for an edit refused while read-only,
// -11 for a command unavailable now), takes dropped text ("TEXT"), offers a context menu, and
// scrolls through two axes that a scroll bar or a scroll frame can join.
//
// Notifications go through the control's own HandleMessage (its handlers, then its parent), with
// the control as source: "UITextView::text-changed" once per idle pass of the process-wide event
// context in which the document's change stamp moved (SetText takes none), then "Changed" when the
// document's modified bit differs from what was last reported; "UITextView::text-open" and
// "UITextView::text-closed" on gaining and losing the focus; "UITextView::text-enter" for Return in
// single-line mode.
//
// Ownership: a document the control made in Init is the control's and is deleted after its view
// has left it; a document given to Init stays with its owner, who keeps it alive while the control
// shows it. Main thread only.
class UITextView : public UICustomControl, public Scrollable, public CXTask, public NtexOwner {
public:
    static constexpr const char* kTextChanged = "UITextView::text-changed";
    static constexpr const char* kTextOpen = "UITextView::text-open";
    static constexpr const char* kTextClosed = "UITextView::text-closed";
    static constexpr const char* kTextEnter = "UITextView::text-enter";

    // Compositing hint 1, a tab stop, multi-line, both axes rings of their own.
    UITextView();
    // Leaves the idle host and the event context, detaches the axes, deletes the view and then a
    // document of its own.
    ~UITextView() override;

    // Init with a document made by the control.
    void Init() override;
    // Shows the document (borrowed; null: the control makes one and owns it), registers for its
    // changes, joins the thread's task host, accepts dragged "TEXT" and makes the window. A second
    // call is reported and changes nothing.
    void Init(GTextData* document);

    // The whole text; multi-line as given, single-line with every run of CR and LF bytes made one
    // ';'. Sends no "UITextView::text-changed". Nothing before Init.
    void SetText(const CXString& text);
    CXString GetText() const;

    // Single-line: Return sends "UITextView::text-enter" and Tab is left to focus navigation.
    void SetMultiLine(bool multiLine) { fMultiLine = multiLine ? 1 : 0; }
    bool IsMultiLine() const { return fMultiLine != 0; }
    // In multi-line mode, Return without Shift is left to the parent.
    void SetReturnReserved(bool reserved) { fReturnReserved = reserved ? 1 : 0; }
    bool IsReturnReserved() const { return fReturnReserved != 0; }
    // Edits are refused; copying and selecting still work. Nothing before Init.
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const;

    // Null before Init. Borrowed.
    ntex* GetView() const { return fView.get(); }
    GTextData* GetDocument() const;
    ScrollAxisRef& GetHorizontalAxis() { return fHorizontal; }
    ScrollAxisRef& GetVerticalAxis() { return fVertical; }

    // Removes the tab, or up to two spaces, that begins each line from the selection start's line
    // to the line of the character before its end; then selects those lines whole.
    void ShiftLeft();
    // Inserts a tab at the start of each line from the selection start's line to its end's line;
    // then selects those lines whole.
    void ShiftRight();
    // Brings both axes up to date with the view's range and scroll position.
    void SyncScrollAxes();

    // --- UIElement ---
    // The edit commands, their status, the drag messages and "ntex-scroll-changed"; the rest goes
    // to the custom control.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // Leaves the idle host and the event context, then destroys the element.
    void Destroy() override;
    // The element's layout, then the view's frame follows the size.
    void LayoutChildren() override;
    // Scrolls the unlocked axes (vertical back by the pixel step, horizontal forward); what they
    // could not take goes to the parent, rounded half away from zero, with lines of 16 pixels.
    void HandleScrollWheel(const UIScrollWheelEvent& event) override;

    // --- CXUIControl ---
    // Shows the caret, then sends "UITextView::text-open".
    void FocusGained() override;
    // Sends "UITextView::text-closed", hides the caret, then the custom control's handling.
    void FocusLost() override;

    // --- UICustomControlBase ---
    void Draw(RazaGraf& graf) override;
    // Press and double-click press start a selection, drags extend it; the rest is consumed.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;
    // The context menu of the edit commands at the screen point. True.
    bool HandleContextClick(Vector2i point, Vector2i screenPoint) override;
    void SetAppearingActive(bool active) override;
    void GotKeyboardFocus() override;
    // One typed character or navigation code (UTF-16, a surrogate pair whole); true when handled.
    bool HandleText(const char16_t* text, int32_t byteLength, int32_t modifiers) override;

    // --- Scrollable ---
    bool GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum, double& page) override;
    void AxisPositionChanged(ScrollAxisRef& axis) override;

    // --- CXTask ---
    // Blinks the caret.
    void Idle() override;

    // --- NtexOwner ---
    void InvalidateTextBox(const Box2i& box) override;
    void InvalidateTextRegion(const RazaRegion& region) override;
    // Sends "ntex-scroll-changed" to the control.
    void TextScrollChanged() override;

protected:
    // The view's owner becomes the control while its window lives.
    void NativeWindowCreated() override;
    void NativeWindowDestroying() override;

private:
    static bool HasStampMoved(void* view);
    static int OnTextChanged(void* owner, void* data, CXGenericEventHandler* record);
    int TextChanged();
    void LeaveEventContext();
    void SendNotification(const char* name);
    // The edit commands; null when the message is not one.
    CXResultCode PerformCommand(const CXString& name, bool& handled);
    CXResultCode CommandStatus(const CXString& command, bool& handled);
    CXResultCode HandleDrag(const CXMessage& message);
    // The first bytes of the lines from first to last, and the offset the shift must select up to.
    void ShiftLines(bool right);
    void ShowContextMenu(Vector2i screenPoint);

    ScrollAxisRef fHorizontal{this};
    ScrollAxisRef fVertical{this};
    std::unique_ptr<ntex> fView;
    // Set only when the control made the document.
    std::unique_ptr<GTextData> fOwnedDocument;
    // Set while the document's change stamp differs from the one last reported. The document's
    // own change event compares its stamps with the event context's pass stamps, which come from
    // another counter, so it cannot tell a pass that saw a change from one that did not.
    std::unique_ptr<CXGenericEventPredicate> fChangeEvent;
    uint64_t fStampReported = 0;
    uint8_t fModifiedShown = 0;
    uint8_t fMultiLine = 1;
    uint8_t fReturnReserved = 0;
    uint8_t fRegistered = 0;
    // While the axes are set from the view, their position changes do not move it.
    uint8_t fSyncingAxes = 0;
};

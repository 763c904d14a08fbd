// The text view control: its life with the view and the document, the message table, the
// notifications, typed text, mouse, focus, the wheel, drops and the context menu.

#include "toolkit/UITextView.h"

#include "foundation/CXDebug.h"
#include "foundation/CXGenericEventContext.h"
#include "foundation/CXSafePointer.h"
#include "toolkit/CXMenu.h"
#include "toolkit/CXOSSoup.h"
#include "toolkit/GTextData.h"
#include "toolkit/RazaGraf.h"
#include "toolkit/UICustomControlDropTarget.h"
#include "toolkit/UIUserActionEvent.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr CXResultCode kReadOnlyRefusal{-10};
constexpr CXResultCode kCommandUnavailable{-11};

constexpr uint32_t kReturn = 13;
constexpr uint32_t kTab = 9;

// Pixels of one line for a wheel record handed on.
constexpr int32_t kPixelsPerLine = 16;

int32_t ToViewInteger(double value)
{
    const double clamped = std::clamp(value, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                      static_cast<double>(std::numeric_limits<int32_t>::max()));
    return static_cast<int32_t>(std::lround(clamped));
}

// The wheel accumulator's rounding: to the nearest integer, halves away from zero, clamped.
int32_t RoundWheelRest(double rest)
{
    return ToViewInteger(std::round(rest));
}

// The code point that a typed text holds; false when it holds none (too short, or a surrogate
// without its other half).
bool DecodeTyped(const char16_t* text, int32_t byteLength, uint32_t& codePoint)
{
    if (text == nullptr || byteLength < 2)
        return false;
    const char16_t first = text[0];
    if (first >= 0xDC00 && first <= 0xDFFF)
        return false;
    if (first < 0xD800 || first > 0xDBFF) {
        codePoint = first;
        return true;
    }
    if (byteLength < 4 || text[1] < 0xDC00 || text[1] > 0xDFFF)
        return false;
    codePoint = 0x10000 + ((static_cast<uint32_t>(first) - 0xD800) << 10) + (static_cast<uint32_t>(text[1]) - 0xDC00);
    return true;
}

bool IsEditCommand(const CXString& name)
{
    return name == "edit-undo" || name == "edit-redo" || name == "edit-cut" || name == "edit-copy" ||
           name == "edit-paste" || name == "edit-clear" || name == "edit-select-all" || name == "edit-shift-left" ||
           name == "edit-shift-right";
}

// The commands a read-only view still performs.
bool ReadsOnly(const CXString& name)
{
    return name == "edit-copy" || name == "edit-select-all";
}

} // namespace

UITextView::UITextView()
    : CXTask("UITextView")
{
    SetCompositingHint(1);
    SetTabStop(true);
}

UITextView::~UITextView()
{
    DetachFromHost();
    LeaveEventContext();
    fHorizontal.DetachClient();
    fVertical.DetachClient();
    if (fView != nullptr) {
        fView->SetOwner(nullptr);
        // The view leaves its document as it goes; only then may a document of our own go.
        fView.reset();
    }
    fOwnedDocument.reset();
    fChangeEvent.reset();
}

void UITextView::Init()
{
    Init(nullptr);
}

void UITextView::Init(GTextData* document)
{
    if (fView != nullptr) {
        // Reported as a second initialisation.
        UICustomControl::Init();
        return;
    }
    if (document == nullptr) {
        fOwnedDocument = std::make_unique<GTextData>();
        document = fOwnedDocument.get();
    }
    fView = std::make_unique<ntex>(Box2i{0, 0, GetWidth(), GetHeight(), false});
    fView->ChangeFlags(ntex::kCaretHidden, 0);
    fView->SetTextData(document);
    fModifiedShown = (document->GetFlags() & GTextData::kModified) != 0 ? 1 : 0;

    fStampReported = document->GetChangeStamp();
    fChangeEvent = std::make_unique<CXGenericEventPredicate>(&UITextView::HasStampMoved, this);
    CXGenericEventContextManual::GetSingleton()->AddHandler(CXGenericEventRef(fChangeEvent.get()), this,
                                                            &UITextView::OnTextChanged, this);
    fRegistered = 1;
    if (CXTaskHost* host = CXTaskHost::GetCurrentThreadTaskHost())
        host->AddTask(this);
    SetDragTypes({CXString("TEXT")});
    UICustomControl::Init();
}

void UITextView::Destroy()
{
    DetachFromHost();
    LeaveEventContext();
    UICustomControl::Destroy();
}

void UITextView::LeaveEventContext()
{
    if (fRegistered == 0)
        return;
    fRegistered = 0;
    CXGenericEventContextManual::GetSingleton()->RemoveHandlers(this);
}

GTextData* UITextView::GetDocument() const
{
    return fView != nullptr ? fView->GetTextData() : nullptr;
}

// --- Text ---

void UITextView::SetText(const CXString& text)
{
    GTextData* document = GetDocument();
    if (document == nullptr)
        return;
    if (fMultiLine != 0) {
        document->SetText(text.c_str(), static_cast<int32_t>(text.length()));
        return;
    }
    std::string single;
    single.reserve(text.length());
    bool inBreak = false;
    for (const char c : std::string_view(text.c_str(), text.length())) {
        const bool isBreak = c == '\r' || c == '\n';
        if (isBreak && !inBreak)
            single += ';';
        else if (!isBreak)
            single += c;
        inBreak = isBreak;
    }
    document->SetText(single.data(), static_cast<int32_t>(single.size()));
}

CXString UITextView::GetText() const
{
    GTextData* document = GetDocument();
    return document != nullptr ? document->GetText(document->GetLength()) : CXString();
}

void UITextView::SetReadOnly(bool readOnly)
{
    if (fView != nullptr)
        fView->ChangeFlags(readOnly ? ntex::kReadOnly : 0, readOnly ? 0 : ntex::kReadOnly);
}

bool UITextView::IsReadOnly() const
{
    return fView != nullptr && (fView->GetFlags() & ntex::kReadOnly) != 0;
}

// --- Notifications ---

bool UITextView::HasStampMoved(void* view)
{
    auto* self = static_cast<UITextView*>(view);
    const GTextData* document = self->GetDocument();
    return document != nullptr && document->GetChangeStamp() != self->fStampReported;
}

int UITextView::OnTextChanged(void* owner, void*, CXGenericEventHandler*)
{
    return static_cast<UITextView*>(owner)->TextChanged();
}

int UITextView::TextChanged()
{
    GTextData* document = GetDocument();
    if (document == nullptr)
        return 1;
    fStampReported = document->GetChangeStamp();
    CXSafePointer<UIElement> alive(this);
    SendNotification(kTextChanged);
    if (!alive || fRegistered == 0)
        return 0;
    document = GetDocument();
    if (document == nullptr)
        return 1;
    const uint8_t modified = (document->GetFlags() & GTextData::kModified) != 0 ? 1 : 0;
    if (modified != fModifiedShown) {
        fModifiedShown = modified;
        SendNotification("Changed");
    }
    return 1;
}

void UITextView::SendNotification(const char* name)
{
    (void)HandleMessage(CXMessage(name, this));
}

// --- Messages ---

CXResultCode UITextView::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    if (fView != nullptr && GetDocument() != nullptr) {
        if (name == NtexOwner::kScrollChangedMessage) {
            SyncScrollAxes();
            return kCXOK;
        }
        if (name == UIDragMessage::kEnter || name == UIDragMessage::kReceive || name == "Drag-Within")
            return HandleDrag(message);
        bool handled = false;
        CXResultCode result = kCXOK;
        if (name == "update-command-status")
            result = CommandStatus(message.GetFirstArgument(), handled);
        else
            result = PerformCommand(name, handled);
        if (handled)
            return result;
    }
    return UICustomControl::HandleMessage(message);
}

CXResultCode UITextView::PerformCommand(const CXString& name, bool& handled)
{
    handled = IsEditCommand(name);
    if (!handled)
        return kCXNotSupported;
    if (IsReadOnly() && !ReadsOnly(name))
        return kReadOnlyRefusal;
    GTextData& document = *GetDocument();
    // Redo has no step of its own: the undo step redoes what it undid.
    if (name == "edit-undo" || name == "edit-redo") {
        document.Undo();
    } else if (name == "edit-cut") {
        document.Copy();
        document.Insert(nullptr, 0, false);
    } else if (name == "edit-copy") {
        document.Copy();
    } else if (name == "edit-paste") {
        document.Paste();
    } else if (name == "edit-clear") {
        document.Insert(nullptr, 0, false);
    } else if (name == "edit-select-all") {
        document.SetSelection(0, document.GetLength(), true);
    } else if (name == "edit-shift-left") {
        ShiftLeft();
    } else {
        ShiftRight();
    }
    return kCXOK;
}

CXResultCode UITextView::CommandStatus(const CXString& command, bool& handled)
{
    handled = IsEditCommand(command);
    if (!handled)
        return kCXNotSupported;
    GTextData& document = *GetDocument();
    int32_t start = 0;
    int32_t end = 0;
    document.GetSelection(start, end);
    const bool selected = start < end;
    bool enabled = false;
    if (command == "edit-undo")
        enabled = document.CanUndo();
    else if (command == "edit-redo")
        enabled = false;
    else if (command == "edit-cut")
        enabled = !IsReadOnly() && selected;
    else if (command == "edit-copy" || command == "edit-clear")
        enabled = selected;
    else if (command == "edit-paste")
        enabled = document.CanPaste();
    else if (command == "edit-select-all")
        enabled = true;
    else
        enabled = !IsReadOnly();
    return enabled ? kCXOK : kCommandUnavailable;
}

CXResultCode UITextView::HandleDrag(const CXMessage& message)
{
    if (IsReadOnly())
        return kReadOnlyRefusal;
    const auto& drag = static_cast<const UIDragMessage&>(message);
    const CXString& name = message.GetName();
    if (name == "Drag-Within") {
        const int32_t index = fView->HitTest(drag.GetPoint());
        GetDocument()->SetSelection(index, index, true);
        return kCXOK;
    }
    CXOSSoupDrag* data = drag.GetDragData();
    const int32_t items = data != nullptr ? data->GetItemCount() : 0;
    if (name == UIDragMessage::kEnter) {
        for (int32_t item = 0; item < items; ++item) {
            if (data->HasFlavour(item, "TEXT"))
                return kCXOK;
        }
        return kCXNotSupported;
    }
    CXSafePointer<UIElement> alive(this);
    for (int32_t item = 0; item < items && alive && GetDocument() != nullptr; ++item) {
        // An item without text must not replace the selection with nothing.
        if (!data->HasFlavour(item, "TEXT"))
            continue;
        std::vector<char> bytes(data->GetDataSize(item, "TEXT"));
        if (data->GetData(item, "TEXT", bytes.data(), bytes.size()) != kCXOK)
            continue;
        GetDocument()->Insert(bytes.data(), static_cast<int32_t>(bytes.size()), false);
    }
    return kCXOK;
}

// --- Typed text and mouse ---

bool UITextView::HandleText(const char16_t* text, int32_t byteLength, int32_t modifiers)
{
    uint32_t code = 0;
    if (fView == nullptr || !DecodeTyped(text, byteLength, code))
        return false;
    if (code == kReturn && fMultiLine == 0) {
        SendNotification(kTextEnter);
        return true;
    }
    if (code == kReturn && fReturnReserved != 0 && (modifiers & kModifierShift) == 0)
        return false;
    if (code == kTab && fMultiLine == 0)
        return false;
    return fView->HandleKey(code, modifiers);
}

bool UITextView::HandleMouse(Vector2i point, int32_t modifiers, int32_t phase)
{
    if (fView == nullptr)
        return false;
    if (phase == kMousePress || phase == kMouseDoubleClick)
        fView->MouseDown(point, modifiers);
    else if (phase == kMouseDrag || phase == 3)
        fView->MouseDrag(point);
    return true;
}

void UITextView::Draw(RazaGraf& graf)
{
    if (fView == nullptr)
        return;
    fView->Draw(graf, graf.VisibleBox({0, 0, GetWidth(), GetHeight(), false}));
}

void UITextView::LayoutChildren()
{
    UICustomControl::LayoutChildren();
    if (fView != nullptr)
        fView->SetFrame({0, 0, GetWidth(), GetHeight(), false});
}

// --- Focus and activation ---

void UITextView::FocusGained()
{
    if (fView != nullptr) {
        fView->ChangeFlags(0, ntex::kCaretHidden);
        InvalidateAll();
    }
    SendNotification(kTextOpen);
}

void UITextView::FocusLost()
{
    CXSafePointer<UIElement> alive(this);
    SendNotification(kTextClosed);
    if (!alive)
        return;
    if (fView != nullptr) {
        fView->ChangeFlags(ntex::kCaretHidden, 0);
        fView->HideCaretAndRestartClock();
        InvalidateAll();
    }
    UICustomControl::FocusLost();
}

void UITextView::GotKeyboardFocus()
{
    FocusGained();
}

void UITextView::SetAppearingActive(bool active)
{
    UICustomControl::SetAppearingActive(active);
    if (fView == nullptr)
        return;
    if (active) {
        if (!HasKeyboardFocus())
            return;
        fView->ChangeFlags(0, ntex::kCaretHidden);
    } else {
        fView->ChangeFlags(ntex::kCaretHidden, 0);
        fView->HideCaretAndRestartClock();
    }
    InvalidateAll();
}

void UITextView::Idle()
{
    if (fView != nullptr)
        fView->BlinkCaret();
}

// --- Scrolling ---

bool UITextView::GetAxisRange(const ScrollAxisRef& axis, double& minimum, double& maximum, double& page)
{
    if (fView == nullptr || (&axis != &fHorizontal && &axis != &fVertical))
        return false;
    int32_t minX = 0;
    int32_t minY = 0;
    int32_t maxX = 0;
    int32_t maxY = 0;
    fView->GetScrollRange(minX, minY, maxX, maxY);
    const bool horizontal = &axis == &fHorizontal;
    minimum = horizontal ? minX : minY;
    maximum = horizontal ? maxX : maxY;
    page = horizontal ? GetWidth() : GetHeight();
    return true;
}

void UITextView::AxisPositionChanged(ScrollAxisRef&)
{
    if (fView == nullptr || fSyncingAxes != 0)
        return;
    fView->ScrollTo(ToViewInteger(fHorizontal.GetPosition()), ToViewInteger(fVertical.GetPosition()));
}

void UITextView::SyncScrollAxes()
{
    if (fView == nullptr)
        return;
    const Vector2i position = fView->GetScrollPosition();
    fSyncingAxes = 1;
    fHorizontal.Recompute();
    fVertical.Recompute();
    fHorizontal.SetPosition(position.x);
    fVertical.SetPosition(position.y);
    fSyncingAxes = 0;
    // A ring whose range clamped the position takes the view with it.
    const int32_t x = ToViewInteger(fHorizontal.GetPosition());
    const int32_t y = ToViewInteger(fVertical.GetPosition());
    if (x != position.x || y != position.y)
        fView->ScrollTo(x, y);
}

void UITextView::HandleScrollWheel(const UIScrollWheelEvent& event)
{
    if (fView == nullptr) {
        UICustomControl::HandleScrollWheel(event);
        return;
    }
    CXSafePointer<UIElement> alive(this);
    const int32_t flags = fView->GetFlags();
    double restY = event.pixelStep.y;
    if ((flags & ntex::kLockVertical) == 0 && event.pixelStep.y != 0) {
        const double before = fVertical.GetPosition();
        fVertical.ScrollBy(-static_cast<double>(event.pixelStep.y));
        if (!alive)
            return;
        restY += fVertical.GetPosition() - before;
    }
    double restX = event.pixelStep.x;
    if ((flags & ntex::kLockHorizontal) == 0 && event.pixelStep.x != 0) {
        const double before = fHorizontal.GetPosition();
        fHorizontal.ScrollBy(event.pixelStep.x);
        if (!alive)
            return;
        restX -= fHorizontal.GetPosition() - before;
    }
    const Vector2i rest{RoundWheelRest(restX), RoundWheelRest(restY)};
    if (rest.x == 0 && rest.y == 0)
        return;
    UIScrollWheelEvent passed = event;
    passed.pixelStep = rest;
    passed.lineStep = {rest.x / kPixelsPerLine, rest.y / kPixelsPerLine};
    passed.changed = true;
    if (UIElement* parent = UIElement::GetParent())
        parent->HandleScrollWheel(passed);
}

// --- NtexOwner ---

void UITextView::InvalidateTextBox(const Box2i& box)
{
    InvalidateBox(box);
}

void UITextView::InvalidateTextRegion(const RazaRegion& region)
{
    InvalidateRegion(region);
}

void UITextView::TextScrollChanged()
{
    (void)HandleMessage(CXMessage(NtexOwner::kScrollChangedMessage, this));
}

void UITextView::NativeWindowCreated()
{
    if (fView == nullptr)
        return;
    fView->SetOwner(this);
    SyncScrollAxes();
}

void UITextView::NativeWindowDestroying()
{
    if (fView != nullptr)
        fView->SetOwner(nullptr);
}

// --- Shifting ---

void UITextView::ShiftLeft()
{
    ShiftLines(false);
}

void UITextView::ShiftRight()
{
    ShiftLines(true);
}

void UITextView::ShiftLines(bool right)
{
    GTextData* document = GetDocument();
    if (document == nullptr)
        return;
    int32_t start = 0;
    int32_t end = 0;
    document->GetSelection(start, end);
    const int32_t firstLine = document->FindLine(start);
    const int32_t lastLine = std::max(firstLine, document->FindLine(right ? end : end - 1));
    int32_t lineEnd = 0;
    std::vector<int32_t> starts;
    for (int32_t line = firstLine; line <= lastLine; ++line) {
        int32_t first = 0;
        document->GetLineRange(line, first, lineEnd);
        starts.push_back(first);
    }
    const bool lastIsFinal = lastLine + 1 >= document->GetLineCount();
    int32_t nextStart = 0;
    int32_t unused = 0;
    if (!lastIsFinal)
        document->GetLineRange(lastLine + 1, nextStart, unused);
    // From the last line up, so the starts of the lines above stay where they are.
    int32_t delta = 0;
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        const int32_t at = *it;
        const char* bytes = document->GetBytes();
        const int32_t length = document->GetLength();
        if (right) {
            document->SetSelection(at, at, false);
            document->Insert("\t", 1, false);
            ++delta;
            continue;
        }
        int32_t count = 0;
        if (at < length && bytes[at] == '\t')
            count = 1;
        else if (at < length && bytes[at] == ' ')
            count = at + 1 < length && bytes[at + 1] == ' ' ? 2 : 1;
        if (count == 0)
            continue;
        document->SetSelection(at, at + count, false);
        document->Insert(nullptr, 0, false);
        delta -= count;
    }
    const int32_t selectionEnd = lastIsFinal ? document->GetLength() : nextStart + delta - 1;
    document->SetSelection(starts.front(), std::max(starts.front(), selectionEnd), true);
}

// --- Context menu ---

bool UITextView::HandleContextClick(Vector2i, Vector2i screenPoint)
{
    ShowContextMenu(screenPoint);
    return true;
}

void UITextView::ShowContextMenu(Vector2i screenPoint)
{
    auto menu = std::make_unique<CXMenu>(this);
    menu->AddCommandItem("Cut", "edit-cut", 0);
    menu->AddCommandItem("Copy", "edit-copy", 0);
    menu->AddCommandItem("Paste", "edit-paste", 0);
    menu->AddCommandItem("Clear", "edit-clear", 0);
    menu->AddCommandItem("Select All", "edit-select-all", 0);
    menu->SetHierarchical();
    (void)menu->TrackAsContextualMenu(screenPoint);
}

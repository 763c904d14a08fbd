// The process-wide window list and what is stated on it: the front window, the quit rule, modal
// windows, the parking window and the placement record.

#include "datanode/CXApplicationSettings.h"
#include "datanode/DNMemoryValue.h"
#include "datanode/DNRawData.h"
#include "foundation/CXDebug.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/UICustomControlBase.h"

using namespace win32;

// The list and the flags, main thread only.
class CXUIWindowList {
public:
    static CXLinkedListHead& List()
    {
        static auto* list = new CXLinkedListHead;
        return *list;
    }
    static CXUIWindow* FromLink(CXLinkedListNode* node)
    {
        return node != nullptr ? static_cast<CXUIWindowListLink*>(node)->GetOwner() : nullptr;
    }

    static inline bool sWindowShown = false;
    static inline bool sQuitRequested = false;
    static inline CXUIWindow* sParkingWindow = nullptr;
};

void CXUIWindow::NoteWindowShown()
{
    CXUIWindowList::sWindowShown = true;
}

void CXUIWindow::MoveToListHead()
{
    UnlinkFromWindowList();
    CXUIWindowList::List().Insert(fListLink);
}

void CXUIWindow::UnlinkFromWindowList()
{
    if (fListLink.list() != nullptr)
        fListLink.list()->Remove(fListLink);
}

CXUIWindow* CXUIWindow::GetFrontWindow(bool includeHidden)
{
    for (CXLinkedListNode* node = CXUIWindowList::List().first(); node != nullptr; node = node->next()) {
        CXUIWindow* window = CXUIWindowList::FromLink(node);
        if (window != CXUIWindowList::sParkingWindow && (includeHidden || window->IsVisible()))
            return window;
    }
    return nullptr;
}

bool CXUIWindow::CloseFrontWindow()
{
    CXUIWindow* front = nullptr;
    for (CXLinkedListNode* node = CXUIWindowList::List().first(); node != nullptr; node = node->next()) {
        CXUIWindow* window = CXUIWindowList::FromLink(node);
        if (window->IsVisible()) {
            front = window;
            break;
        }
    }
    if (front == nullptr || !front->IsClosable())
        return false;
    return RequestClose(front) == 0;
}

CXResultCode CXUIWindow::RequestClose(CXUIWindow* window)
{
    if (window == nullptr)
        return kCXNotSupported;
    return window->HandleMessage(CXMessage("Close", window));
}

void CXUIWindow::BringToFront()
{
    HWND handle = GetNativeHandle();
    if (handle == nullptr)
        return;
    if (IsIconic(handle))
        ShowWindow(handle, SW_RESTORE);
    BringWindowToTop(handle);
}

UIElement* CXUIWindow::GetFocusedElement(CXUIWindow* window)
{
    UIElement* element = NativeUIElement::ElementFromHandle(GetFocus());
    if (element == nullptr || window == nullptr || !window->IsAncestorOrSelfOf(element))
        return nullptr;
    if (auto* custom = dynamic_cast<UICustomControlBase*>(element)) {
        while (custom->focusedChild != nullptr)
            custom = custom->focusedChild;
        if (auto* innermost = dynamic_cast<UIElement*>(custom))
            return innermost;
    }
    return element;
}

CXUIWindow* CXUIWindow::GetContainingWindow(UIElement* element)
{
    for (UIElement* ancestor = element != nullptr ? element->GetParent() : nullptr; ancestor != nullptr;
         ancestor = ancestor->GetParent()) {
        if (auto* window = dynamic_cast<CXUIWindow*>(ancestor))
            return window;
    }
    return nullptr;
}

// --- Quitting ---

void CXUIWindow::QuitIfNoWindowVisible()
{
    for (CXLinkedListNode* node = CXUIWindowList::List().first(); node != nullptr; node = node->next()) {
        if (CXUIWindowList::FromLink(node)->IsVisible()) {
            NoteWindowShown();
            return;
        }
    }
    if (CXUIWindowList::sWindowShown)
        QuitNow();
}

void CXUIWindow::QuitNow()
{
    CXUIWindowList::sQuitRequested = true;
    PostQuitMessage(0);
}

bool CXUIWindow::IsQuitRequested()
{
    return CXUIWindowList::sQuitRequested;
}

void CXUIWindow::ResetProcessStateForTesting()
{
    CXUIWindowList::sWindowShown = false;
    CXUIWindowList::sQuitRequested = false;
}

// --- Modal windows ---

void CXUIWindow::SetModal(bool modal)
{
    if ((fModal != 0) == modal)
        return;
    fModal = modal ? 1 : 0;
    if (modal) {
        for (CXLinkedListNode* node = CXUIWindowList::List().first(); node != nullptr; node = node->next()) {
            CXUIWindow* window = CXUIWindowList::FromLink(node);
            // Windows that belong to an element (sheets, windows placed in the tree) are left alone.
            if (window == this || window->GetDelegate() != nullptr)
                continue;
            fModalDisabled.emplace_back(window);
            window->RaiseModalDisable();
        }
        return;
    }
    // Only the windows this one disabled, and only those still alive, are released.
    std::vector<CXSafePointer<CXUIWindow>> disabled = std::move(fModalDisabled);
    fModalDisabled.clear();
    for (CXSafePointer<CXUIWindow>& window : disabled) {
        if (window)
            window->LowerModalDisable();
    }
}

// --- The parking window ---

CXUIWindow* CXUIWindow::EnsureParkingWindow()
{
    if (CXUIWindowList::sParkingWindow == nullptr) {
        auto* parking = new CXUIWindow;
        parking->SetHasMenuBar(false);
        CXUIWindowList::sParkingWindow = parking;
        parking->Init();
        if (parking->GetNativeHandle() == nullptr)
            CXDebugError("CXUIControl::CreateSystemContext> unable to create dummy parent window");
    }
    return CXUIWindowList::sParkingWindow;
}

CXUIWindow* CXUIWindow::GetParkingWindow()
{
    return CXUIWindowList::sParkingWindow;
}

HWND CXUIWindow::GetParkingWindowHandle()
{
    CXUIWindow* parking = CXUIWindowList::sParkingWindow;
    return parking != nullptr ? parking->GetNativeHandle() : nullptr;
}

void CXUIWindow::DestroyParkingWindow()
{
    CXUIWindow* parking = CXUIWindowList::sParkingWindow;
    if (parking == nullptr)
        return;
    parking->Destroy();
    CXUIWindowList::sParkingWindow = nullptr;
}

// --- Placement ---

void CXUIWindow::SetPlacementStore(CXApplicationSettings* settings, const CXString& label)
{
    fPlacementSettings.Reference(settings);
    fPlacementLabel = label;
}

void CXUIWindow::SavePlacement()
{
    HWND handle = GetNativeHandle();
    if (!fPlacementSettings || fPlacementLabel.length() == 0 || handle == nullptr)
        return;
    DNValueRef record;
    record.Swallow(new DNMemoryValue);
    record->SetChildData(DNRawData("version"), DNRawData::FromInt(0));
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(handle, &placement);
    RECT insets = {0, 0, 0, 0};
    AdjustWindowRect(&insets, static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)), FALSE);
    if (GetMenu(handle) != nullptr)
        insets.top -= GetSystemMetrics(SM_CYMENU);
    const RECT& normal = placement.rcNormalPosition;
    DNBox2iRecord bounds = {{normal.left - insets.left, normal.top - insets.top, normal.right - insets.right,
                             normal.bottom - insets.bottom},
                            false};
    bounds.empty = bounds.coordinates[0] >= bounds.coordinates[2] || bounds.coordinates[1] >= bounds.coordinates[3];
    record->SetChildData(DNRawData("bounds"), DNRawData::FromBox2i(bounds));
    if (IsZoomed(handle))
        record->SetChildData(DNRawData("is-maximised"), DNRawData::FromBool(true));
    fPlacementSettings->SetSettingsByLabel(fPlacementLabel, record);
}

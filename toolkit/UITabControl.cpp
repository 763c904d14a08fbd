// The tab strip: the pages laid out in its display area, the selected tab's page shown.

#include "toolkit/UITabControl.h"

#include "win32/api/DateTimeTab.h"
#include "win32/user/User.h"

#include <algorithm>

using namespace win32;

namespace {

constexpr DWORD kTabStyle = WS_CHILD | WS_VISIBLE | TCS_MULTILINE;

} // namespace

void UITabControl::CreateNativeWindow()
{
    (void)CreateControlWindow(0, u"SysTabControl32", kTabStyle, CXString());
}

void UITabControl::ApplyLayout()
{
    CXUIControl::ApplyLayout();
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    const Box2i frame = GetFrame();
    RECT area = {frame.left, frame.top, frame.right, frame.bottom};
    SendMessageW(handle, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    // A control too small for its tab row leaves its pages an empty area rather than an inverted one.
    area.right = std::max(area.right, area.left);
    area.bottom = std::max(area.bottom, area.top);
    for (const CXSafePointer<UIElement>& page : pages) {
        if (UIElement* element = page.get())
            element->SetLayout(area.left, area.top, area.right, area.bottom, 0, 0);
    }
}

LRESULT UITabControl::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND handle = GetLiveNativeHandle();
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (message != WM_NOTIFY || handle == nullptr || header == nullptr || header->hwndFrom != handle ||
        header->code != TCN_SELCHANGE)
        return CXUIControl::HandleNativeMessage(message, wParam, lParam);
    const auto selected = static_cast<size_t>(SendMessageW(handle, TCM_GETCURSEL, 0, 0));
    // Showing a page may run code that changes the list.
    const std::vector<CXSafePointer<UIElement>> shown = pages;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (UIElement* page = shown[i].get())
            page->SetVisible(i == selected);
    }
    return 0;
}

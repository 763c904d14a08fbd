// The date picker: the moment shown in the local zone, the user's changes reported.

#include "toolkit/UIDateTimeControl.h"

#include "foundation/CXDebug.h"
#include "foundation/CXSafePointer.h"
#include "platform/LocalTime.h"
#include "win32/api/DateTimeTab.h"
#include "win32/user/User.h"

using namespace win32;

namespace {

constexpr DWORD kPickerStyle = WS_CHILD | WS_VISIBLE | WS_BORDER;
constexpr char16_t kFormat[] = u"dddMMMdd', 'yyy";
// The years a SYSTEMTIME holds.
constexpr int64_t kFirstYear = 1601;
constexpr int64_t kLastYear = 30827;

} // namespace

void UIDateTimeControl::CreateNativeWindow()
{
    static const bool commonControls = [] {
        const INITCOMMONCONTROLSEX classes = {sizeof(INITCOMMONCONTROLSEX), ICC_DATE_CLASSES};
        return InitCommonControlsEx(&classes) != FALSE;
    }();
    (void)commonControls;
    HWND handle = CreateControlWindow(0, u"SysDateTimePick32", kPickerStyle, "DateTime");
    if (handle == nullptr)
        return;
    SendMessageW(handle, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(kFormat));
    if (fPendingValue) {
        (void)ShowValue(handle, *fPendingValue);
        fPendingValue.reset();
    }
}

void UIDateTimeControl::SetValue(CXTimestamp timestamp)
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr) {
        fPendingValue = timestamp;
        return;
    }
    (void)ShowValue(handle, timestamp);
}

bool UIDateTimeControl::ShowValue(HWND handle, CXTimestamp timestamp)
{
    // Whole seconds towards the past, so a moment before 1970 keeps a positive millisecond part.
    const int64_t milliseconds = (timestamp % 1000 + 1000) % 1000;
    const int64_t seconds = (timestamp - milliseconds) / 1000;
    Platform::LocalTime local;
    if (!Platform::ToLocalTime(seconds, local) || local.year < kFirstYear || local.year > kLastYear) {
        CXDebugLog("UIDateTimeControl::SetValue> %lld cannot be shown as a date", static_cast<long long>(timestamp));
        return false;
    }
    SYSTEMTIME date = {static_cast<WORD>(local.year),   static_cast<WORD>(local.month),
                       static_cast<WORD>(local.weekday), static_cast<WORD>(local.day),
                       static_cast<WORD>(local.hour),    static_cast<WORD>(local.minute),
                       static_cast<WORD>(local.second),  static_cast<WORD>(milliseconds)};
    return SendMessageW(handle, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date)) != FALSE;
}

LRESULT UIDateTimeControl::HandleNativeMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND handle = GetLiveNativeHandle();
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (message == WM_NOTIFY && handle != nullptr && header != nullptr && header->hwndFrom == handle &&
        header->code == DTN_DATETIMECHANGE && !AreNotificationsSuppressed()) {
        CXSafePointer<UIElement> alive(this);
        (void)HandleMessage(CXMessage("UIDateTimeControl::value-changed", this));
        // A handler may have destroyed the control.
        if (!alive)
            return 0;
    }
    return CXUIControl::HandleNativeMessage(message, wParam, lParam);
}

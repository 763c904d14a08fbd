#pragma once

#include "foundation/CXTime.h"
#include "toolkit/CXUIControl.h"

#include <cstdint>
#include <optional>

// A date picker: a window of the layer's "SysDateTimePick32" class showing weekday, month, day
// and year ("ThuJan01, 1970"). When the user changes the date it sends
// "UIDateTimeControl::value-changed", with itself as source, to its own HandleMessage and so up
// the message chain; not while notifications are suppressed, and never for SetValue. The window
// holds the date. Main thread only.
class UIDateTimeControl : public CXUIControl {
public:
    UIDateTimeControl() = default;

    // Shows the moment (milliseconds since 1970, UTC) as the date and time in the local time
    // zone. Before the window exists the moment is kept and shown once it is made. A moment whose
    // local year lies outside 1601 to 30827 is logged and changes nothing.
    void SetValue(CXTimestamp timestamp);

    // --- NativeUIElement ---
    // DTN_DATETIMECHANGE from the control's own window sends "value-changed" (see above); every
    // message, that one included, then goes to CXUIControl.
    win32::LRESULT HandleNativeMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override;

protected:
    // The picker with the weekday-month-day-year format, showing a moment kept by SetValue.
    void CreateNativeWindow() override;

private:
    // Gives the window the moment; false when it cannot be shown.
    bool ShowValue(win32::HWND handle, CXTimestamp timestamp);

    // Set before the window existed, shown when it is made.
    std::optional<CXTimestamp> fPendingValue;
};

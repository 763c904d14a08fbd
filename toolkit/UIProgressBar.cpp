// The progress bar: the determinate range and value, or the marquee, kept in step with its window.

#include "toolkit/UIProgressBar.h"

#include "win32/user/User.h"

#include <algorithm>
#include <limits>

using namespace win32;

void UIProgressBar::SetMinimum(int32_t minimum)
{
    if (minimum == fMinimum)
        return;
    fMinimum = minimum;
    ApplyState();
}

void UIProgressBar::SetMaximum(int32_t maximum)
{
    if (maximum == fMaximum)
        return;
    fMaximum = maximum;
    ApplyState();
}

void UIProgressBar::SetValue(int32_t value)
{
    if (value == fValue)
        return;
    fValue = value;
    ApplyState();
}

void UIProgressBar::SetValueToMaximum()
{
    SetValue(fMaximum);
}

void UIProgressBar::SetDeterminate(bool determinate)
{
    if (determinate == IsDeterminate())
        return;
    fDeterminate = determinate ? 1 : 0;
    ApplyState();
}

void UIProgressBar::CreateNativeWindow()
{
    static const bool commonControls = [] {
        const INITCOMMONCONTROLSEX classes = {sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
        return InitCommonControlsEx(&classes) != FALSE;
    }();
    (void)commonControls;
    if (CreateControlWindow(0, u"msctls_progress32", WS_CHILD, CXString()) == nullptr)
        return;
    // A window made again starts over in the window's own first state.
    fShownDeterminate = 1;
    fSentLow = 0;
    fSentHigh = 100;
    ApplyState();
}

void UIProgressBar::ApplyState()
{
    HWND handle = GetLiveNativeHandle();
    if (handle == nullptr)
        return;
    const auto style = static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE));
    if (!IsDeterminate()) {
        if (fShownDeterminate == 0)
            return;
        SetWindowLongW(handle, GWL_STYLE, static_cast<LONG>(style | PBS_MARQUEE));
        SendMessageW(handle, PBM_SETMARQUEE, TRUE, 0);
        fShownDeterminate = 0;
        return;
    }
    if (fShownDeterminate == 0) {
        fShownDeterminate = 1;
        SendMessageW(handle, PBM_SETMARQUEE, FALSE, 0);
        SetWindowLongW(handle, GWL_STYLE, static_cast<LONG>(style & ~PBS_MARQUEE));
    }
    const int32_t low = std::min(fMinimum, std::numeric_limits<int32_t>::max() - 1);
    // In 64 bits: low + 1 overflows nothing, and the result fits, as low stays below INT32_MAX.
    const auto high = static_cast<int32_t>(std::max<int64_t>(fMaximum, int64_t{low} + 1));
    if (low != fSentLow || high != fSentHigh) {
        SendMessageW(handle, PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
        fSentLow = low;
        fSentHigh = high;
    }
    SendMessageW(handle, PBM_SETPOS, static_cast<WPARAM>(std::clamp(fValue, low, high)), 0);
}

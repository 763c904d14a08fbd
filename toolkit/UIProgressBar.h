#pragma once

#include "toolkit/CXUIControl.h"

#include <cstdint>

// A progress bar, a window of the layer's "msctls_progress32" class: determinate (the value's
// share of the range filled) or indeterminate (the marquee, a block crossing the bar). A new bar
// shows the marquee until it is made determinate. The state is kept here and given to the window
// by ApplyState, which runs whenever the window is made. Main thread only.
class UIProgressBar : public CXUIControl {
public:
    // Range 0 to 100, value 0, indeterminate.
    UIProgressBar() = default;

    // Each stores its value and, when that changed, runs ApplyState.
    void SetMinimum(int32_t minimum);
    void SetMaximum(int32_t maximum);
    void SetValue(int32_t value);
    // The value becomes the maximum.
    void SetValueToMaximum();
    void SetDeterminate(bool determinate);

    int32_t GetMinimum() const { return fMinimum; }
    int32_t GetMaximum() const { return fMaximum; }
    int32_t GetValue() const { return fValue; }
    bool IsDeterminate() const { return fDeterminate != 0; }

    // Brings the window to the stored state. Determinate: the marquee stops; the range runs from
    // low = min(minimum, INT32_MAX - 1) to max(maximum, low + 1), given to the window only when it
    // differs from the last one given; the value is shown clamped into it. Indeterminate: the
    // marquee starts unless it runs. Nothing without a window.
    void ApplyState();

protected:
    // A hidden bar in the window's own first state (determinate, 0 to 100), then ApplyState.
    void CreateNativeWindow() override;

private:
    int32_t fMinimum = 0;
    int32_t fMaximum = 100;
    int32_t fValue = 0;
    // The mode the window is in now, and the one wanted.
    uint8_t fShownDeterminate = 1;
    uint8_t fDeterminate = 0;
    // The range last given to the window.
    int32_t fSentLow = 0;
    int32_t fSentHigh = 100;
};

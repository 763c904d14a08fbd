#pragma once

#include "foundation/CXTask.h"
#include "toolkit/Box2i.h"

#include <cstdint>
#include <functional>
#include <limits>

// Tells a single click from a double click for a custom-drawn control, which derives from it and
// feeds it every mouse event (the HandleMouse phases of UICustomControlBase). A press and release
// less than 500 ms apart whose points lie at most 8 pixels apart (by the control's approximate
// distance) is a click. With a double-click callback a click waits 500 ms on the thread's task
// host for a second press: a double-click press (phase 1) then fires the double click and the
// single click never fires; a hover move more than 8 pixels away fires the single click at once.
// Without a double-click callback every click fires on its release, the second press of a fast
// pair included.
//
// Times come from the performance clock, so a wall clock set back or forward changes nothing.
// Main thread only; the task host idles the recogniser on the same thread.
class CXGestureRecognizer : public CXTask {
public:
    using Callback = std::function<void()>;

    // How long a click waits, and the longest press that still clicks, in milliseconds.
    static constexpr int64_t kClickInterval = 500;
    // The farthest a release or hover may lie from the press and still count as the same place.
    static constexpr int64_t kClickSlop = 8;

    CXGestureRecognizer();
    // Leaves the task host, then releases the callbacks.
    ~CXGestureRecognizer() override;

    // A mouse event at a point in the control's coordinates. The callbacks run inside this call
    // (a click without a double-click callback, a double click, a far hover).
    void HandleGestureMouse(Vector2i point, int32_t phase);
    // Fires a waiting click once its 500 ms have passed.
    void Idle() override;
    // Forgets a waiting click without firing it; nothing when none waits.
    void CancelPendingClick();
    // Forgets the press and any waiting click.
    void ResetGesture();

    // An empty click callback is logged and skipped when a click fires. An empty double-click
    // callback means the control has no double clicks.
    void SetClickCallback(Callback callback) { fClick = std::move(callback); }
    void SetDoubleClickCallback(Callback callback) { fDoubleClick = std::move(callback); }

    bool IsClickPending() const { return fReleaseTime != kNoTime; }
    bool IsPressed() const { return fPressTime != kNoTime; }

    // True when the offset is farther than kClickSlop by the approximate distance.
    static bool IsFarMove(Vector2i from, Vector2i to);

private:
    static constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();

    static int64_t Now();
    void ClearTimes();
    void JoinHost();
    void FireClick();
    void Press(Vector2i point, int64_t now);
    void Release(Vector2i point, int64_t now);

    Callback fClick;
    Callback fDoubleClick;
    Vector2i fPressPoint;
    // Milliseconds of the performance clock; kNoTime for none.
    int64_t fPressTime = kNoTime;
    int64_t fReleaseTime = kNoTime;
};

// Single and double clicks of a custom-drawn control: the press, the release, the wait for a
// second press on the thread's task host.

#include "toolkit/CXGestureRecognizer.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTime.h"
#include "toolkit/UICustomControl.h"

CXGestureRecognizer::CXGestureRecognizer() : CXTask("CXGestureRecognizer") {}

CXGestureRecognizer::~CXGestureRecognizer()
{
    DetachFromHost();
}

int64_t CXGestureRecognizer::Now()
{
    return CXTime::GetPerformanceMilliseconds();
}

bool CXGestureRecognizer::IsFarMove(Vector2i from, Vector2i to)
{
    return UICustomControl::ApproximateDistance({to.x - from.x, to.y - from.y}) > kClickSlop;
}

void CXGestureRecognizer::ClearTimes()
{
    fPressTime = kNoTime;
    fReleaseTime = kNoTime;
}

void CXGestureRecognizer::JoinHost()
{
    if (GetHost() != nullptr)
        return;
    if (CXTaskHost* host = CXTaskHost::GetCurrentThreadTaskHost())
        host->AddTask(this);
}

void CXGestureRecognizer::FireClick()
{
    if (!fClick) {
        CXDebugLog("CXGestureRecognizer> click without a click callback");
        return;
    }
    // The callback may replace itself; run a copy.
    Callback click = fClick;
    click();
}

void CXGestureRecognizer::HandleGestureMouse(Vector2i point, int32_t phase)
{
    const int64_t now = Now();
    switch (phase) {
    case UICustomControlBase::kMousePress:
        Press(point, now);
        break;
    case UICustomControlBase::kMouseDoubleClick:
        Press(point, now);
        // Without double clicks the second press of a fast pair is a press like any other.
        if (fDoubleClick) {
            fPressTime = kNoTime;
            Callback doubleClick = fDoubleClick;
            doubleClick();
        }
        break;
    case UICustomControlBase::kMouseCancel:
        ResetGesture();
        break;
    case UICustomControlBase::kMouseRelease:
        Release(point, now);
        break;
    case UICustomControlBase::kMouseHover:
        if (IsClickPending() && IsFarMove(fPressPoint, point)) {
            ClearTimes();
            DetachFromHost();
            FireClick();
        }
        break;
    default:
        break;
    }
}

void CXGestureRecognizer::Press(Vector2i point, int64_t now)
{
    DetachFromHost();
    fPressPoint = point;
    fReleaseTime = kNoTime;
    fPressTime = now;
}

void CXGestureRecognizer::Release(Vector2i point, int64_t now)
{
    // A release without a press (the double click took it) clicks nothing.
    if (!IsPressed()) {
        ClearTimes();
        return;
    }
    fReleaseTime = now;
    if (IsFarMove(fPressPoint, point) || now > fPressTime + kClickInterval) {
        ClearTimes();
        return;
    }
    if (fDoubleClick) {
        JoinHost();
        return;
    }
    ClearTimes();
    FireClick();
}

void CXGestureRecognizer::Idle()
{
    if (!IsClickPending() || Now() <= fReleaseTime + kClickInterval)
        return;
    ClearTimes();
    DetachFromHost();
    FireClick();
}

void CXGestureRecognizer::CancelPendingClick()
{
    if (!IsClickPending())
        return;
    ClearTimes();
    DetachFromHost();
}

void CXGestureRecognizer::ResetGesture()
{
    ClearTimes();
    DetachFromHost();
}

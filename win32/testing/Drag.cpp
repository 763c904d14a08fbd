#include "win32/testing/Harness.h"

#include "win32/user/DragDrop.h"

namespace win32::testing {

namespace {

POINTL ToPointL(POINT point)
{
    return {point.x, point.y};
}

// The target the pointer is over, referenced while it is, with its last answer.
class DragState {
public:
    explicit DragState(IDataObject* data, DWORD allowed) : fData(data), fAllowed(allowed) {}
    ~DragState() { Leave(); }
    DragState(const DragState&) = delete;
    DragState& operator=(const DragState&) = delete;

    void MoveTo(POINT screen, DWORD keyState)
    {
        IDropTarget* target = DropTargetAtPoint(screen, nullptr);
        if (target != fTarget) {
            Leave();
            if (target == nullptr)
                return;
            target->AddRef();
            fTarget = target;
            DROPEFFECT effect = fAllowed;
            HRESULT answer = fTarget->DragEnter(fData, keyState, ToPointL(screen), &effect);
            fEffect = Effect(answer, effect);
            return;
        }
        if (fTarget == nullptr)
            return;
        DROPEFFECT effect = fAllowed;
        HRESULT answer = fTarget->DragOver(keyState, ToPointL(screen), &effect);
        fEffect = Effect(answer, effect);
    }

    DragResult Release(POINT screen, DWORD keyState)
    {
        DragResult result;
        if (fTarget == nullptr)
            return result;
        if (fEffect == DROPEFFECT_NONE) {
            Leave();
            return result;
        }
        DROPEFFECT effect = fAllowed;
        HRESULT answer = fTarget->Drop(fData, keyState, ToPointL(screen), &effect);
        result.effect = Effect(answer, effect);
        result.dropped = result.effect != DROPEFFECT_NONE;
        Forget();
        return result;
    }

private:
    // The effect a call answered; DROPEFFECT_NONE when it failed.
    static DROPEFFECT Effect(HRESULT answer, DROPEFFECT effect) { return SUCCEEDED(answer) ? effect : DROPEFFECT_NONE; }

    void Leave()
    {
        if (fTarget == nullptr)
            return;
        fTarget->DragLeave();
        Forget();
    }

    void Forget()
    {
        IDropTarget* target = fTarget;
        fTarget = nullptr;
        fEffect = DROPEFFECT_NONE;
        target->Release();
    }

    IDataObject* fData;
    DWORD fAllowed;
    IDropTarget* fTarget = nullptr;
    DROPEFFECT fEffect = DROPEFFECT_NONE;
};

} // namespace

DragResult Harness::Drag(IDataObject* data, const std::vector<POINT>& screenPoints, DWORD keyState, DROPEFFECT allowed)
{
    if (screenPoints.empty())
        return {};
    DragState drag(data, allowed);
    for (POINT point : screenPoints)
        drag.MoveTo(point, keyState | MK_LBUTTON);
    return drag.Release(screenPoints.back(), keyState & ~static_cast<DWORD>(MK_LBUTTON));
}

} // namespace win32::testing

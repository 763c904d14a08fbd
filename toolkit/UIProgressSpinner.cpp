#include "toolkit/UIProgressSpinner.h"

#include "foundation/CXPath.h"
#include "toolkit/RazaGraf.h"

#include <cstdio>

namespace {

constexpr CXColor kOpaque{1.0f, 1.0f, 1.0f, 1.0f};

uint32_t PerformanceMilliseconds32()
{
    return static_cast<uint32_t>(CXTime::GetPerformanceMilliseconds());
}

// The clock wraps every 49.7 days: times are compared by their signed distance.
bool IsBefore(uint32_t time, uint32_t other)
{
    return static_cast<int32_t>(time - other) < 0;
}

} // namespace

UIProgressSpinner::UIProgressSpinner() : CXTask("UIProgressSpinner")
{
    SetCompositingHint(4);
    for (int32_t i = 0; i < kFrameCount; ++i) {
        char name[40];
        std::snprintf(name, sizeof(name), "spinner-anim/spinner%d.bmp", static_cast<int>(i));
        fFrames[i] = UIBitmap::Load(GetDataFolderFilepath(name));
    }
    fNextRedraw = PerformanceMilliseconds32();
}

UIProgressSpinner::~UIProgressSpinner()
{
    DetachFromHost();
}

int32_t UIProgressSpinner::FrameIndexAt(CXTimestamp time)
{
    // Before 1970 the remainder is negative: take the one in [0, 500).
    int64_t inTurn = time % kTurnMilliseconds;
    if (inTurn < 0)
        inTurn += kTurnMilliseconds;
    return static_cast<int32_t>(inTurn * kFrameCount / kTurnMilliseconds);
}

UIBitmap* UIProgressSpinner::GetFrameBitmap(int32_t index) const
{
    if (index < 0 || index >= kFrameCount)
        return nullptr;
    return fFrames[index].get();
}

void UIProgressSpinner::NotifyHierarchyVisibilityChanged(bool shown)
{
    if (!shown) {
        DetachFromHost();
        return;
    }
    if (GetHost() == nullptr)
        CXTaskHost::GetCurrentThreadTaskHost()->AddTask(this);
}

void UIProgressSpinner::Draw(RazaGraf& graf)
{
    UICustomControl::Draw(graf);
    UIBitmap* frame = GetFrameBitmap(FrameIndexAt(CXTime::GetCurrentTimestamp()));
    if (frame != nullptr)
        graf.DrawBitmap(*frame, {0, 0, GetWidth(), GetHeight(), false}, kOpaque);
}

void UIProgressSpinner::Idle()
{
    const uint32_t now = PerformanceMilliseconds32();
    if (IsBefore(now, fNextRedraw))
        return;
    InvalidateAll();
    fNextRedraw += kRedrawInterval;
    if (!IsBefore(now, fNextRedraw))
        fNextRedraw = now;
}

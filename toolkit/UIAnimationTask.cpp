#include "toolkit/UIAnimationTask.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTime.h"
#include "toolkit/UICustomControl.h"

#include <cmath>
#include <vector>

UIAnimationTask::UIAnimationTask() : CXTask("UIAnimationTask") {}

UIAnimationTask::~UIAnimationTask()
{
    DetachFromHost();
}

void UIAnimationTask::AddAnimation(const CXString& key, Step step)
{
    fAnimations[key] = std::move(step);
}

void UIAnimationTask::Start()
{
    if (GetHost() != nullptr)
        return;
    fLastStep = CXTime::GetPerformanceMilliseconds();
    CXTaskHost::GetCurrentThreadTaskHost()->AddTask(this);
}

void UIAnimationTask::Idle()
{
    // The performance clock never goes back, whatever happens to the wall clock.
    const int64_t now = CXTime::GetPerformanceMilliseconds();
    if (now == fLastStep)
        return;
    const double dt = static_cast<double>(now - fLastStep) * 0.001;
    fLastStep = now;
    bool anyStopped = false;
    // A step may add animations or change the map: walk a copy of the keys.
    std::vector<CXString> keys;
    for (const auto& entry : fAnimations)
        keys.push_back(entry.first);
    for (const CXString& key : keys) {
        auto it = fAnimations.find(key);
        if (it == fAnimations.end())
            continue;
        Step step = it->second;
        double remaining = 0.0;
        bool keepGoing = true;
        step(dt, remaining, keepGoing);
        if (keepGoing && remaining == 0.0)
            fAnimations.erase(key);
        if (!keepGoing)
            anyStopped = true;
    }
    if (!anyStopped) {
        DetachFromHost();
        return;
    }
    if (!fCompletion) {
        CXDebugError("UIAnimationTask::Idle> no completion callback");
        return;
    }
    fCompletion();
}

double UIAnimationTask::EaseInOut(double x)
{
    constexpr double kPi = 3.1415927410125732;
    constexpr double kHalfPi = 1.5707963705062866;
    return (std::sin(x * kPi - kHalfPi) + 1.0) * 0.5;
}

uint32_t UIAnimationTask::ApproximateDistance(int32_t dx, int32_t dy)
{
    return static_cast<uint32_t>(UICustomControl::ApproximateDistance(Vector2i{dx, dy}));
}

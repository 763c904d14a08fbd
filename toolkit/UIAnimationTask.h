#pragma once

#include "foundation/CXString.h"
#include "foundation/CXTask.h"

#include <cstdint>
#include <functional>
#include <map>

// A task on the main thread's host that steps time-driven animations. Each idle pass that finds
// the performance clock moved on gives every running animation the seconds since the pass before;
// an animation answers how long it still has to run and whether it keeps going. One that keeps
// going with no time remaining has finished and is dropped. When an animation stops keeping going
// the completion is called once, after the pass, and the task stays on its host; a pass in which
// every animation keeps going takes the task off its host. Main thread only.
class UIAnimationTask : public CXTask {
public:
    // One step of an animation: dt seconds have passed; remaining (0 on entry) takes the seconds
    // still to run, and keepGoing (true on entry) may be cleared.
    using Step = std::function<void(double dt, double& remaining, bool& keepGoing)>;

    UIAnimationTask();
    // Off its host first.
    ~UIAnimationTask() override;

    // Runs the animation under the key from the next pass on, in place of one of the same key.
    void AddAnimation(const CXString& key, Step step);
    bool HasAnimation(const CXString& key) const { return fAnimations.count(key) != 0; }
    size_t GetAnimationCount() const { return fAnimations.size(); }
    // Called once after a pass in which an animation stopped keeping going.
    void SetCompletion(std::function<void()> completion) { fCompletion = std::move(completion); }
    // Onto the calling thread's task host, timing from now; nothing more while on a host.
    void Start();

    // --- CXTask ---
    void Idle() override;

    // 0 at 0, 1/2 at 1/2, 1 at 1, slow at both ends: (sin(x π - π/2) + 1) / 2, with π and π/2 as
    // their single-precision values.
    static double EaseInOut(double x);
    // The cheap length of (dx, dy) that click and drag thresholds use (UICustomControl's).
    static uint32_t ApproximateDistance(int32_t dx, int32_t dy);

private:
    std::map<CXString, Step> fAnimations;
    // Performance-clock milliseconds of the last step.
    int64_t fLastStep = 0;
    std::function<void()> fCompletion;
};

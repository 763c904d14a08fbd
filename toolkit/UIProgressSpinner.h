#pragma once

#include "foundation/CXReferenceCount.h"
#include "foundation/CXTask.h"
#include "foundation/CXTime.h"
#include "toolkit/UIBitmap.h"
#include "toolkit/UICustomControl.h"

#include <cstdint>

// A busy indicator: twelve frames, "spinner-anim/spinner0.bmp" to "spinner11.bmp" of the data
// folder, turning once every 500 ms of wall-clock time. While the spinner is shown in a shown
// hierarchy it is a task on the main thread's task host that asks for a repaint at most every
// kRedrawInterval ms of the performance clock; a late idle restarts that schedule from the current
// time instead of catching up. A frame file that is missing or cannot be read leaves its slice of
// the turn empty. Drawn straight onto its window without a background (hint 4). Main thread only.
class UIProgressSpinner : public UICustomControl, public CXTask {
public:
    static constexpr int32_t kFrameCount = 12;
    static constexpr int64_t kTurnMilliseconds = 500;
    static constexpr uint32_t kRedrawInterval = 41;

    // Reads the frames; the first repaint is due at once.
    UIProgressSpinner();
    // Off the task host first, then the frames go.
    ~UIProgressSpinner() override;

    // The frame shown at a wall-clock time (milliseconds since 1970, earlier times too): 0 to 11.
    static int32_t FrameIndexAt(CXTimestamp time);
    // The frame of an index; null when its file could not be read. Borrowed.
    UIBitmap* GetFrameBitmap(int32_t index) const;

    // --- UIElement ---
    // Shown: onto the current thread's task host; hidden: off it.
    void NotifyHierarchyVisibilityChanged(bool shown) override;

    // --- UICustomControlBase ---
    // The default drawing, then the frame of the current wall-clock time stretched over the
    // control.
    void Draw(RazaGraf& graf) override;

    // --- CXTask ---
    // Repaints when the next repaint is due (on the 32-bit millisecond performance clock, whose
    // wrap it crosses), and schedules the one after.
    void Idle() override;

private:
    CXAutoReference<UIBitmap> fFrames[kFrameCount];
    // Performance-clock milliseconds, cut to 32 bits.
    uint32_t fNextRedraw = 0;
};

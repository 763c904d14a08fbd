#pragma once

#include "foundation/CXGenericEvent.h"
#include "foundation/CXNativeSync.h"

#include <cstdint>

// A waitable manual-reset event that is also a generic event (set while signalled).
class CXEvent : public CXGenericEvent {
public:
    CXEvent() = default;
    // Refs are detached before the host event goes, so a test through a ref on another thread
    // never reaches a destroyed event.
    ~CXEvent() override { DetachAllRefs(); }

    void Set() { fEvent.Set(); }
    void Reset() { fEvent.Reset(); }
    void Wait() { (void)fEvent.Wait(CXNativeEvent::kInfinite); }
    // A zero-time test.
    bool Test() { return fEvent.IsSet(); }
    // Waits until a wall-clock deadline (file time), converted to the monotonic clock once. A
    // deadline 0xFFFFFFFF ms or more away waits without limit. True when signalled.
    bool WaitUntil(uint64_t fileTimeDeadline);
    // Waits at most the given milliseconds (CXNativeEvent::kInfinite: no limit).
    bool WaitFor(uint32_t milliseconds) { return fEvent.Wait(milliseconds); }

    bool IsSet() override { return Test(); }

private:
    CXNativeEvent fEvent;
};

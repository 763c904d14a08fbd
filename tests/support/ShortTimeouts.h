#pragma once

#include "streams/CXStreamTCP.h"

#include <cstdint>

// Shortens the connections' send and receive time-outs (and so the reply deadlines) for the life
// of the object, then restores the real ones, also when an assertion leaves the test early.
struct ShortTimeouts {
    explicit ShortTimeouts(uint32_t milliseconds) { CXStreamTCP::SetTimeoutsForTesting(milliseconds); }
    ~ShortTimeouts() { CXStreamTCP::SetTimeoutsForTesting(0); }
    ShortTimeouts(const ShortTimeouts&) = delete;
    ShortTimeouts& operator=(const ShortTimeouts&) = delete;
};

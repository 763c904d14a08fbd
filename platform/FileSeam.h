#pragma once

// The fault seam of File.h for the other files of the host layer whose primitives pass it too.

#include "platform/File.h"

namespace Platform {

// Counts one call of the kind; returns the armed error when this is the call to fail, else 0.
int FaultSeamTrip(FaultKind kind);

} // namespace Platform

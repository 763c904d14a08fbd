#pragma once

#include <cstdint>

namespace Platform {

// The Win32 error number a Windows file, folder or process call would have reported for the
// failure that set this errno value. Code above the host layer maps it on with its result-code
// table, so each call site reports what it reports on Windows. Unknown values give 0xFFFFFFFF.
uint32_t Win32ErrorFromErrno(int error);

} // namespace Platform

#pragma once

#include <cstdint>

// Console control types, as a console delivers them to its handler.
inline constexpr uint32_t kCXConsoleCtrlC = 0;
inline constexpr uint32_t kCXConsoleCtrlBreak = 1;
inline constexpr uint32_t kCXConsoleClose = 2;
inline constexpr uint32_t kCXConsoleLogoff = 5;
inline constexpr uint32_t kCXConsoleShutdown = 6;

// Handler for a console interrupt (nothing registers it): logs "HandleConsoleInterrupt> %d" with
// the type and sets the interrupted flag. For a type above kCXConsoleCtrlBreak (close, log-off,
// shutdown) it then waits, in steps of 100 ms, while the busy flag is set. Returns 1 (handled).
int HandleConsoleInterrupt(uint32_t controlType);

// The two process-wide flags of the handler: set by it, and set around work that a closing
// console should wait for.
bool CXConsoleWasInterrupted();
void CXConsoleSetBusy(bool busy);

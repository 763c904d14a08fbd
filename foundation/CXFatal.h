#pragma once

// Ends the process after a failure it cannot go on from (for example a FastArray that cannot
// grow while appending): reports the message with CXDebugError, writes the crash report and ends
// the process. Never returns. The message is reported exactly as given, not as a format.
[[noreturn]] void CXFatalError(const char* message);

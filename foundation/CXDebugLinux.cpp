// Debugger services on Linux: the debugger output is standard error, "is a debugger attached" reads
// TracerPid from /proc/self/status, and a break raises SIGTRAP (any tracer counts as a debugger).
#include "foundation/CXDebug.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool CXDebugIsDebuggerAttached()
{
    FILE* status = std::fopen("/proc/self/status", "re");
    if (status == nullptr)
        return false;
    char line[256];
    bool attached = false;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "TracerPid:", 10) == 0) {
            attached = std::strtol(line + 10, nullptr, 10) != 0;
            break;
        }
    }
    std::fclose(status);
    return attached;
}

void CXDebugBreakIntoDebugger()
{
    std::raise(SIGTRAP);
}

void CXDebugWriteDebuggerOutput(const char* text, size_t length)
{
    std::fwrite(text, 1, length, stderr);
}

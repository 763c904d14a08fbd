#include "foundation/CXFatal.h"

#include "foundation/CXCrashHandler.h"
#include "foundation/CXDebug.h"

#include <cstdlib>

void CXFatalError(const char* message)
{
    CXDebugError("%s", message != nullptr ? message : "");
    WriteCrashDump();
    std::abort();
}

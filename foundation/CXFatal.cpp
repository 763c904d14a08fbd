#include "foundation/CXFatal.h"

#include "foundation/CXDebug.h"

#include <cstdlib>

void CXFatalError(const char* message)
{
    CXDebugError("%s", message != nullptr ? message : "");
    std::abort();
}

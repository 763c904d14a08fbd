#include "foundation/CXFastArray.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFatal.h"

void CXFastArrayDetail::Report(const char* text)
{
    CXDebugError("%s", text);
}

void CXFastArrayDetail::ReportIndexOutOfRange(uint64_t index)
{
    CXDebugError("FastArray::operator[]> index '%lu' out of range.", static_cast<unsigned long>(index));
}

void CXFastArrayDetail::GrowthFailed()
{
    CXFatalError("FastArray::Resize> realloc failed");
}

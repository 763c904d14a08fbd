#include "foundation/CXArray.h"

#include "foundation/CXDebug.h"

void CXArrayDetail::Report(const char* text)
{
    CXDebugError("%s", text);
}

void CXArrayDetail::ReportIndexOutOfRange(uint64_t index)
{
    CXDebugError("Array::operator[]> index '%lu' out of range.", static_cast<unsigned long>(index));
}

void CXArrayDetail::ReportNullIterator()
{
    CXDebugError("CXArrayIterator> NULL iterator dereferenced");
}

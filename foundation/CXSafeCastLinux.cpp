// Type names from the C++ ABI's demangler, prefixed with "class " as the diagnostics show them.
#include "foundation/CXSafeCast.h"

#include <cstdlib>
#include <cxxabi.h>

CXString CXTypeName(const std::type_info& type)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    const char* name = status == 0 && demangled != nullptr ? demangled : type.name();
    // Class types are mangled as names (optionally nested); everything else by a code letter.
    const char* mangled = type.name();
    bool isClass = (mangled[0] >= '1' && mangled[0] <= '9') || mangled[0] == 'N';
    CXString result = isClass ? CXString::FromFormat("class %s", name) : CXString(name);
    std::free(demangled);
    return result;
}

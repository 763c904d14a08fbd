#pragma once

#include "foundation/CXDebug.h"
#include "foundation/CXString.h"

#include <typeinfo>

// The name of a type as diagnostics show it: the class keyword, a blank and the qualified name
// ("class Foo"). Fundamental types are shown by their plain name.
CXString CXTypeName(const std::type_info& type);

// Down-cast of a pointer to a polymorphic base, verified by run-time type information. A failed
// check is reported (with both dynamic type names) and gives null; a dynamic result that differs
// from the static cast is reported and the verified pointer is returned.
template <class T, class Base>
T* cx_safe_cast(Base* pointer)
{
    if (pointer == nullptr)
        return nullptr;
    T* verified = dynamic_cast<T*>(pointer);
    if (verified == nullptr) {
        CXDebugError("cx_safe_cast<> failed");
        CXDebugLog("cx_safe_cast> cast from '%s' to '%s' failed", CXTypeName(typeid(*pointer)).c_str(), CXTypeName(typeid(T)).c_str());
        return nullptr;
    }
    // Up-casting is always defined: when the verified object's Base is not the one we were given,
    // a static down-cast would have landed on the wrong address.
    if (static_cast<Base*>(verified) != pointer)
        CXDebugError("cx_safe_cast> static cast from '%s' to '%s' failed", CXTypeName(typeid(*pointer)).c_str(), CXTypeName(typeid(T)).c_str());
    return verified;
}

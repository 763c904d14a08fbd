#pragma once

#include "foundation/CXString.h"

#include <cstdint>
#include <type_traits>
#include <vector>

class DNValue;

// The process-wide localised text table: user-facing texts are looked up by key (the
// application's strings that begin with '$', such as "$mervane_task_result_checksum_mismatch").
// A key without a text shows as the key itself. Texts may hold numbered placeholders, a '$'
// followed by the argument's number counted from 1. The table lives in the data-node layer
// because it is filled from a data-node folder; lookups may come from any thread.

// The key's text, or the key itself.
CXString Localise(const CXString& key);

// The key's text with its placeholders replaced, the highest number first; every pass works on
// the text the earlier passes left, so a placeholder inside an argument is replaced by a later
// pass. A placeholder is '$' and the whole run of digits after it: "$10" is argument 10 and stays
// as it is when there are fewer arguments. With no arguments the result is Localise(key).
CXString LocaliseFormatArguments(const CXString& key, const std::vector<CXString>& arguments);

// Fills the table from a folder whose entries are key and text pairs, both converted to
// strings; a key given twice keeps the later text.
void LoadLocalisationTable(DNValue* folder);

// Empties the table (tests load a table of their own).
void ClearLocalisationTable();

// A path argument: shown in its host form (CXFileSystem::ToNativePath).
struct CXLocalisationPath {
    CXString path;
};
inline CXLocalisationPath LocalisePath(const CXString& path)
{
    return CXLocalisationPath{path};
}

// The text of one argument of LocaliseFormat.
CXString LocaliseArgumentText(const CXString& text);
CXString LocaliseArgumentText(const CXLocalisationPath& path);
CXString LocaliseArgumentText(int32_t value);
CXString LocaliseArgumentText(int64_t value);

// Up to three arguments, each a CXString (as it is), a path (LocalisePath: its host form), a
// 32-bit integer ("%d") or a 64-bit integer ("%lld").
template <class... Arguments>
CXString LocaliseFormat(const CXString& key, const Arguments&... arguments)
{
    static_assert(sizeof...(Arguments) <= 3, "LocaliseFormat takes up to three arguments");
    std::vector<CXString> texts{LocaliseArgumentText(arguments)...};
    return LocaliseFormatArguments(key, texts);
}

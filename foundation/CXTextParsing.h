#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

#include <cstdint>
#include <map>

// Splitting, number parsing over character cursors, four-character codes, line endings and
// variable references. Every function works on bytes and is independent of the process locale.

// Splits the text at the first occurrence of codePoint's UTF-8 form (values above 0x10FFFF never
// match; a NUL byte ends the search). Found: before and after get the bytes on either side and the
// result is true. Not found: before = the whole text, after = empty, false.
bool SplitAtCharacter(const CXStringArgument& text, uint32_t codePoint, CXString& before, CXString& after);

// Parse an optional '-' and at least one decimal digit at cursor, stopping at the first byte that
// is not a digit. On success out holds the value, the cursor moves past the digits and the result
// is true. No digit, an overflow or a null cursor gives false with cursor and out unchanged.
bool ParseInt32(const char*& cursor, int32_t& out);
bool ParseInt64(const char*& cursor, int64_t& out);

// A four-character code as text: codes above 0x2020201F as their four bytes from the highest,
// bytes outside 0x20-0x7E shown as '.'; smaller codes as "<<%d>>".
CXString FourCCToString(uint32_t code);

// A copy of the text with every line break replaced by lineBreak (empty: breaks removed). A break
// is a CR or an LF; CR LF and LF CR count as one break, two equal bytes in a row as two.
CXString ConvertLineEndings(const CXStringArgument& text, const CXStringArgument& lineBreak);

// Expands the references "$(NAME)" in text by the values of variables (a name is upper-cased, ASCII
// only, before it is looked up, so the map's keys must be upper case). "$()" expands to nothing and "$($)" to
// '$'; an unknown name stays as "$(NAME)", upper-cased. "$(NAME(KEY=VALUE,...))" first expands the
// value of NAME with the given keys as its variables; the reference ends at the ')' of the list.
// Returns kCXOK with the expansion (null when empty), or kCXBadFormat with an empty expansion when a
// reference is not closed, a parameter list is malformed or repeats a key, or parameters are given
// to "$()" or "$($)"; kCXNoResources with an empty expansion when memory ran out.
CXResultCode ExpandVariableReferences(const CXStringArgument& text, const std::map<CXString, CXString>& variables,
                                      CXString& expanded);

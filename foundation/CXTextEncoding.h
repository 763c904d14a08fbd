#pragma once

#include "foundation/CXString.h"

#include <cstddef>
#include <cstdint>

// UTF-16 text and its conversion to and from UTF-8.
//
// A UTF-16 holder is a CXString whose payload bytes are UTF-16 code units in machine byte order
// followed by one extra zero byte, so that with the payload's own NUL the units end with a 16-bit
// zero and the text can go to any call that takes a NUL-terminated wide string. Its length in
// units is the payload length divided by 2. Made by CXString::FromUTF16, FromUTF16CString and the
// converters below; a holder made from no units is a one-byte payload holding the zero byte.
// Anything that cannot be decoded or encoded becomes '?'.

// The number of units a holder carries (payload length / 2).
size_t UTF16UnitCount(const CXString& holder);
// The holder's units, ended by a zero unit; a shared empty wide string for the null handle.
const char16_t* UTF16Units(const CXString& holder);

// Writes codePoint as 1 unit (at most 0xFFFF and not a surrogate value) or 2 units (0x10000 to
// 0x10FFFF, room at least 2). Returns the units written: 0 for other values, no room or no buffer.
size_t EncodeUTF16(char16_t* units, size_t room, uint32_t codePoint);

// Decodes the character at units[0]: a unit outside 0xD800-0xDFFF (1 unit), or a high surrogate
// (0xD800-0xDBFF) followed by a low surrogate (0xDC00-0xDFFF) (2 units). A lone low surrogate, or a
// high surrogate followed by anything else or by nothing, gives '?', unitCount 0 and false; the
// caller skips that one unit.
bool DecodeUTF16(const char16_t* units, size_t count, uint32_t& codePoint, size_t& unitCount);

// UTF-8 to a holder. Undecodable bytes become '?' each. A null text gives the empty holder.
CXString ConvertUTF8ToUTF16(const char* bytes, size_t length);
CXString ConvertUTF8CStringToUTF16(const char* text);

// Converts UTF-8 into at most room units at out and returns the number written (no terminator).
// A character that needs 2 units when only 1 is left, and each undecodable byte, becomes '?'.
size_t ConvertUTF8ToUTF16Units(char16_t* out, size_t room, const char* bytes, size_t length);

// A holder to UTF-8. Surrogate pairs are joined; each run of consecutive invalid units (lone or
// unpaired surrogates) becomes a single '?'. An empty result is the null string.
CXString ConvertUTF16ToUTF8(const CXString& holder);

// Appends one code point to a holder: 1 unit, a surrogate pair for 0x10000-0x10FFFF, or nothing for
// surrogate values and values above 0x10FFFF. The holder is unchanged when memory runs out.
void AppendUTF16Character(CXString& holder, uint32_t codePoint);

// Appends the units of a zero-terminated UTF-16 text up to the first zero unit or invalid unit
// (see DecodeUTF16) and returns the unit that stopped it: 0 at the terminator, else the invalid
// unit. A null text appends nothing and returns 0.
char16_t AppendUTF16CString(CXString& holder, const char16_t* units);

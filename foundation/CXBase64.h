#pragma once

#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

// Base64 (RFC 4648): the standard alphabet "A-Z a-z 0-9 + /", one character per 6-bit value,
// "=" as padding. The stream encoder and decoder are in streams/CXStreamBase64.h.

// The encoding of the bytes, with the separator appended after every 76 characters (19 whole
// groups of 3 bytes) when it is not empty. Only whole groups count, so the text ends with a
// separator when the length is a positive multiple of 57. A tail of 2 bytes ends in "=", one
// of 1 byte in "==". Empty bytes give the empty string.
CXString Base64Encode(const CXStringArgument& bytes, const CXStringArgument& separator);

// The 6-bit value of a Base64 alphabet character, or -1 for any other character (nothing logged).
int Base64DecodeValue(char ch);

// The alphabet character of a value 0..63; any other value is logged and gives 0.
char ConvertIntToUUChar(int value);
// The value of an alphabet character; "=" gives 0, any other character is logged and gives 0.
int ConvertUUCharToInt(char ch);

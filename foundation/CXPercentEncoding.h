#pragma once

#include "foundation/CXString.h"

// Percent-encodes text up to its end or a NUL byte: letters, digits, '-', '.', '_' and '~' are
// copied, as is any byte in keep; every other byte becomes '%' and two lower-case hexadecimal
// digits. An empty result is the null string.
CXString CXPercentEncode(const CXStringArgument& text, const CXStringArgument& keep);

// Percent-decodes text up to its end or a NUL byte: '%' and two hexadecimal digits (either case)
// become that byte, which may be NUL; a '%' without two digits after it is copied as it is. With
// plusIsSpace a '+' becomes a space (the form-encoding of query values); without it a '+' is kept,
// as in a path. An empty result is the null string.
CXString CXPercentDecode(const CXStringArgument& text, bool plusIsSpace);

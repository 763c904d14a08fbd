#pragma once

#include "foundation/CXString.h"

// Percent-encodes text up to its end or a NUL byte: letters, digits, '-', '.', '_' and '~' are
// copied, as is any byte in keep; every other byte becomes '%' and two lower-case hexadecimal
// digits. An empty result is the null string.
CXString CXPercentEncode(const CXStringArgument& text, const CXStringArgument& keep);

#pragma once

#include "foundation/CXStringEdit.h"

#include <cstddef>
#include <cstdint>

// Number texts of the translators, written and scanned byte by byte: independent of the process
// locale (a decimal point is always '.') and identical to the C locale's printf forms.

// "%d" and "%lld".
bool DNAppendInt32Text(CXStringEditBase& edit, int32_t value);
bool DNAppendInt64Text(CXStringEditBase& edit, int64_t value);
// "%g" (six significant digits) and "%f" (six decimals) of the value widened to double.
bool DNAppendFloatGText(CXStringEditBase& edit, float value);
bool DNAppendFloatFText(CXStringEditBase& edit, float value);

// Integer text over exactly length bytes: blanks (space, tab), an optional '-', one or more
// digits (leading zeros allowed) within [minimum, maximum], then only blanks. Any other byte, a
// NUL included, an overflow or no digit gives false.
bool DNParseIntegerText(const char* data, size_t length, int64_t minimum, int64_t maximum, int64_t& out);
// Decimal text over exactly length bytes: blanks, an optional '-', digits with an optional '.'
// and at least one digit in all (no exponent), then only blanks. A value outside the range of a
// float gives false.
bool DNParseDecimalText(const char* data, size_t length, float& out);

// Scanning steps shared with the list forms; pos is an index into data and moves past what was
// read. Each reads one element (sign and digits, no blanks) and fails without moving pos.
bool DNScanInteger(const char* data, size_t length, size_t& pos, int64_t minimum, int64_t maximum, int64_t& out);
bool DNScanDecimal(const char* data, size_t length, size_t& pos, float& out);

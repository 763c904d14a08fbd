#include "datanode/DNNumberText.h"

#include <charconv>
#include <system_error>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

void SkipBlanks(const char* data, size_t length, size_t& pos)
{
    while (pos < length && IsBlank(data[pos]))
        ++pos;
}

template <class T, class... Format>
bool AppendChars(CXStringEditBase& edit, T value, Format... format)
{
    char buffer[128];
    std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
    if (result.ec != std::errc())
        return false;
    return edit.Append(buffer, static_cast<size_t>(result.ptr - buffer));
}

} // namespace

bool DNAppendInt32Text(CXStringEditBase& edit, int32_t value)
{
    return AppendChars(edit, value);
}

bool DNAppendInt64Text(CXStringEditBase& edit, int64_t value)
{
    return AppendChars(edit, value);
}

bool DNAppendFloatGText(CXStringEditBase& edit, float value)
{
    return AppendChars(edit, static_cast<double>(value), std::chars_format::general, 6);
}

bool DNAppendFloatFText(CXStringEditBase& edit, float value)
{
    return AppendChars(edit, static_cast<double>(value), std::chars_format::fixed, 6);
}

bool DNScanInteger(const char* data, size_t length, size_t& pos, int64_t minimum, int64_t maximum, int64_t& out)
{
    size_t at = pos;
    bool negative = at < length && data[at] == '-';
    if (negative)
        ++at;
    uint64_t limit = negative ? uint64_t(0) - static_cast<uint64_t>(minimum) : static_cast<uint64_t>(maximum);
    if (negative && minimum >= 0)
        return false;
    uint64_t magnitude = 0;
    size_t first = at;
    for (; at < length && IsDigit(data[at]); ++at) {
        uint64_t digit = static_cast<uint64_t>(data[at] - '0');
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    if (at == first)
        return false;
    out = negative ? static_cast<int64_t>(uint64_t(0) - magnitude) : static_cast<int64_t>(magnitude);
    pos = at;
    return true;
}

bool DNScanDecimal(const char* data, size_t length, size_t& pos, float& out)
{
    size_t at = pos;
    if (at < length && data[at] == '-')
        ++at;
    size_t digits = 0;
    for (; at < length && IsDigit(data[at]); ++at)
        ++digits;
    if (at < length && data[at] == '.') {
        ++at;
        for (; at < length && IsDigit(data[at]); ++at)
            ++digits;
    }
    if (digits == 0)
        return false;
    float value = 0;
    std::from_chars_result result = std::from_chars(data + pos, data + at, value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range && result.ptr == data + at) {
        // Too small for a float rounds to zero, as a scan does; too large fails (no infinity).
        bool wholePartZero = true;
        for (size_t i = pos; i < at && data[i] != '.'; ++i)
            if (data[i] >= '1' && data[i] <= '9')
                wholePartZero = false;
        if (!wholePartZero)
            return false;
        value = data[pos] == '-' ? -0.0f : 0.0f;
    } else if (result.ec != std::errc() || result.ptr != data + at) {
        return false;
    }
    out = value;
    pos = at;
    return true;
}

namespace {

// A whole payload holding one number with optional blanks around it.
template <class T, class Scan>
bool ParseWholeText(const char* data, size_t length, T& out, Scan scan)
{
    size_t pos = 0;
    SkipBlanks(data, length, pos);
    T value;
    if (!scan(pos, value))
        return false;
    SkipBlanks(data, length, pos);
    if (pos != length)
        return false;
    out = value;
    return true;
}

} // namespace

bool DNParseIntegerText(const char* data, size_t length, int64_t minimum, int64_t maximum, int64_t& out)
{
    return ParseWholeText(data, length, out, [&](size_t& pos, int64_t& value) { return DNScanInteger(data, length, pos, minimum, maximum, value); });
}

bool DNParseDecimalText(const char* data, size_t length, float& out)
{
    return ParseWholeText(data, length, out, [&](size_t& pos, float& value) { return DNScanDecimal(data, length, pos, value); });
}

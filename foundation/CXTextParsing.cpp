#include "foundation/CXTextParsing.h"

#include "foundation/CXStringEdit.h"

#include <limits>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads decimal digits from text[pos] while pos < length, into a magnitude of at most limit.
// Returns false on overflow; pos ends at the first byte that is not a digit.
template <typename Unsigned>
bool ReadMagnitude(const char* text, size_t length, size_t& pos, Unsigned limit, Unsigned& magnitude)
{
    magnitude = 0;
    for (; pos < length && IsDigit(text[pos]); ++pos) {
        Unsigned digit = static_cast<Unsigned>(text[pos] - '0');
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    return true;
}

// An optional '-' and at least one digit from text[0]; pos ends after the digits.
template <typename Signed>
bool ReadSigned(const char* text, size_t length, size_t& pos, Signed& value)
{
    using Unsigned = std::make_unsigned_t<Signed>;
    pos = 0;
    bool negative = length > 0 && text[0] == '-';
    if (negative)
        pos = 1;
    if (pos >= length || !IsDigit(text[pos]))
        return false;
    Unsigned limit = static_cast<Unsigned>(std::numeric_limits<Signed>::max()) + (negative ? 1 : 0);
    Unsigned magnitude;
    if (!ReadMagnitude(text, length, pos, limit, magnitude))
        return false;
    // Modular conversion: the negated magnitude of the minimum is the minimum itself.
    value = static_cast<Signed>(negative ? Unsigned(0) - magnitude : magnitude);
    return true;
}

// A view's number must run to the view's end or to a NUL byte.
bool EndsNumber(const CXStringArgument& text, size_t pos)
{
    return pos == text.length() || text.data()[pos] == 0;
}

template <typename Signed>
bool ParseCursor(const char*& cursor, Signed& out)
{
    if (cursor == nullptr)
        return false;
    size_t pos;
    Signed value;
    // The text is NUL-terminated and the NUL is not a digit, so no length is needed.
    if (!ReadSigned(cursor, std::numeric_limits<size_t>::max(), pos, value))
        return false;
    out = value;
    cursor += pos;
    return true;
}

} // namespace

bool SplitAtCharacter(const CXStringArgument& text, uint32_t codePoint, CXString& before, CXString& after)
{
    CXStringEditT<8> needle;
    if (codePoint <= 0x10FFFF)
        (void)needle.AppendUTF8Character(codePoint);
    int64_t at = needle.IsEmpty() ? -1 : StringPos(text, needle, 0);
    // Both parts are made before either output is assigned: text may view one of them.
    if (at < 0) {
        CXString whole(text);
        before = whole;
        after.Clear();
        return false;
    }
    size_t split = static_cast<size_t>(at);
    size_t rest = split + needle.length();
    CXString head(text.data(), split);
    CXString tail(text.data() + rest, text.length() - rest);
    before = head;
    after = tail;
    return true;
}

void CXStringArgument::Split(uint32_t codePoint, std::vector<CXString>& parts) const
{
    CXStringEditT<8> needle;
    if (codePoint <= 0x10FFFF)
        (void)needle.AppendUTF8Character(codePoint);
    CXStringArgument rest(*this);
    while (!rest.IsEmpty()) {
        int64_t at = needle.IsEmpty() ? -1 : StringPos(rest, needle, 0);
        if (at < 0) {
            parts.emplace_back(rest);
            return;
        }
        size_t split = static_cast<size_t>(at);
        parts.emplace_back(rest.data(), split);
        size_t next = split + needle.length();
        rest = CXStringArgument(rest.data() + next, rest.length() - next);
    }
}

bool CXStringArgument::IsInteger(bool allowLeadingZero) const
{
    size_t pos = fLength > 0 && fData[0] == '-' ? 1 : 0;
    if (pos >= fLength || (fData[pos] == '0' && !allowLeadingZero))
        return false;
    for (; pos < fLength; ++pos)
        if (!IsDigit(fData[pos]))
            return false;
    return true;
}

bool CXStringArgument::IsCanonicalDecimal() const
{
    size_t pos = fLength > 0 && fData[0] == '-' ? 1 : 0;
    if (pos >= fLength || !IsDigit(fData[pos]) || fData[pos] == '0')
        return false;
    bool seenPoint = false;
    for (; pos < fLength; ++pos) {
        if (fData[pos] == '.') {
            if (seenPoint)
                return false;
            seenPoint = true;
        } else if (!IsDigit(fData[pos])) {
            return false;
        }
    }
    char last = fData[fLength - 1];
    return last != '.' && !(seenPoint && last == '0');
}

int32_t CXStringArgument::ToInt32() const
{
    size_t pos;
    int32_t value;
    if (!ReadSigned(fData, fLength, pos, value) || !EndsNumber(*this, pos))
        return 0;
    return value;
}

int64_t CXStringArgument::ToInt64(int64_t defaultValue) const
{
    size_t pos;
    int64_t value;
    if (!ReadSigned(fData, fLength, pos, value) || !EndsNumber(*this, pos))
        return defaultValue;
    return value;
}

uint64_t CXStringArgument::ToUInt64(uint64_t defaultValue) const
{
    if (fLength == 0 || !IsDigit(fData[0]))
        return defaultValue;
    size_t pos = 0;
    uint64_t value;
    if (!ReadMagnitude(fData, fLength, pos, std::numeric_limits<uint64_t>::max(), value) || !EndsNumber(*this, pos))
        return defaultValue;
    return value;
}

bool ParseInt32(const char*& cursor, int32_t& out)
{
    return ParseCursor(cursor, out);
}

bool ParseInt64(const char*& cursor, int64_t& out)
{
    return ParseCursor(cursor, out);
}

CXString FourCCToString(uint32_t code)
{
    if (code <= 0x2020201F)
        return CXString::FromFormat("<<%d>>", static_cast<int>(code));
    char text[4];
    for (int i = 0; i < 4; ++i) {
        unsigned int byte = (code >> (24 - 8 * i)) & 0xFF;
        text[i] = byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.';
    }
    return CXString(text, 4);
}

CXString ConvertLineEndings(const CXStringArgument& text, const CXStringArgument& lineBreak)
{
    CXStringEdit edit;
    const char* data = text.data();
    size_t length = text.length();
    for (size_t pos = 0; pos < length; ++pos) {
        char c = data[pos];
        bool ok;
        if (c == '\r' || c == '\n') {
            char partner = c == '\r' ? '\n' : '\r';
            if (pos + 1 < length && data[pos + 1] == partner)
                ++pos;
            ok = edit.Append(lineBreak);
        } else {
            ok = edit.AppendCharacter(c);
        }
        if (!ok)
            return CXString();
    }
    return CXString(edit);
}

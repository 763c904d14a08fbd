#include "foundation/CXStringArgument.h"

#include "foundation/CXDebug.h"

#include <cstring>

const char kCXEmptyText[1] = {0};

CXStringArgument::CXStringArgument(const char* text)
{
    if (text != nullptr && text[0] != 0) {
        fData = text;
        fLength = std::strlen(text);
    }
}

char CXStringArgument::operator[](size_t pos) const
{
    if (pos < fLength)
        return fData[pos];
    if (pos > fLength)
        CXDebugError("CXStringArgument::operator[]> pos %lu overflows length %lu", static_cast<unsigned long>(pos), static_cast<unsigned long>(fLength));
    return 0;
}

char CXStringArgument::operator[](int pos) const
{
    if (pos >= 0 && static_cast<size_t>(pos) < fLength)
        return fData[pos];
    if (pos < 0 || static_cast<size_t>(pos) > fLength)
        CXDebugError("CXStringArgument::operator[]> pos %d overflows length %llu", pos, static_cast<unsigned long long>(fLength));
    return 0;
}

char CXStringArgument::operator[](int64_t pos) const
{
    if (pos >= 0 && static_cast<size_t>(pos) < fLength)
        return fData[pos];
    if (pos < 0 || static_cast<size_t>(pos) > fLength)
        CXDebugError("CXStringArgument::operator[]> pos %lld overflows length %llu", static_cast<long long>(pos), static_cast<unsigned long long>(fLength));
    return 0;
}

CXStringArgument& CXStringArgument::operator+=(int64_t n)
{
    if (n < 0)
        CXDebugError("CXStringArgument::operator+= > probable negative input?");
    if (n < 0 || static_cast<size_t>(n) >= fLength) {
        fData = kCXEmptyText;
        fLength = 0;
    } else {
        fData += n;
        fLength -= static_cast<size_t>(n);
    }
    return *this;
}

bool CXStringArgument::DecodeUTF8Character(uint32_t& codePoint, size_t& byteCount) const
{
    codePoint = '?';
    byteCount = 0;
    if (fLength == 0)
        return false;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(fData);
    unsigned char lead = bytes[0];
    if (lead < 0x80) {
        codePoint = lead;
        byteCount = 1;
        return true;
    }
    size_t count;
    uint32_t value;
    uint32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return false;
    }
    if (count > fLength)
        return false;
    for (size_t i = 1; i < count; ++i) {
        if (!IsUTF8ContinuationByte(bytes[i]))
            return false;
        value = (value << 6) | (bytes[i] & 0x3F);
    }
    // Overlong forms would let one text spell the same character (a '/', say) several ways.
    if (value < minimum || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        return false;
    codePoint = value;
    byteCount = count;
    return true;
}

int64_t CXStringArgument::Find(const CXStringArgument& search, int64_t startIndex) const
{
    return StringPos(*this, search, startIndex);
}

int64_t CXStringArgument::FindCharacter(char character, int64_t startIndex) const
{
    return StringPos(*this, character, startIndex);
}

int64_t StringPos(const CXStringArgument& text, const CXStringArgument& search, int64_t startIndex)
{
    if (text.IsEmpty() || search.IsEmpty())
        return -1;
    if (startIndex < 0 || static_cast<size_t>(startIndex) > text.length()) {
        CXDebugError("StringPos> invalid startIndex=%d", static_cast<int>(startIndex));
        return -1;
    }
    const char* data = text.data();
    size_t length = text.length();
    for (size_t i = static_cast<size_t>(startIndex); i < length; ++i) {
        if (data[i] == 0)
            return -1;
        if (length - i < search.length())
            return -1;
        if (std::memcmp(data + i, search.data(), search.length()) == 0)
            return static_cast<int64_t>(i);
    }
    return -1;
}

int64_t StringPos(const CXStringArgument& text, char character, int64_t startIndex)
{
    if (text.IsEmpty())
        return -1;
    if (startIndex < 0 || static_cast<size_t>(startIndex) > text.length()) {
        CXDebugError("StringPos> invalid startIndex=%d", static_cast<int>(startIndex));
        return -1;
    }
    const char* data = text.data();
    for (size_t i = static_cast<size_t>(startIndex); i < text.length(); ++i) {
        if (data[i] == 0)
            return -1;
        if (data[i] == character)
            return static_cast<int64_t>(i);
    }
    return -1;
}

size_t UTF8CharacterLength(const char* text)
{
    if (text == nullptr || text[0] == 0)
        return 0;
    size_t available = 1;
    while (available < 4 && text[available] != 0)
        ++available;
    uint32_t codePoint;
    size_t count;
    if (CXStringArgument(text, available).DecodeUTF8Character(codePoint, count))
        return count;
    return 1;
}

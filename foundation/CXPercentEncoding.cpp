#include "foundation/CXPercentEncoding.h"

#include "foundation/CXStringEdit.h"

#include <cstring>

CXString CXPercentEncode(const CXStringArgument& text, const CXStringArgument& keep)
{
    static const char kDigits[] = "0123456789abcdef";
    CXStringEdit out;
    for (size_t i = 0; i < text.length() && text.data()[i] != 0; ++i) {
        unsigned char c = static_cast<unsigned char>(text.data()[i]);
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (plain || (keep.length() != 0 && std::memchr(keep.data(), c, keep.length()) != nullptr)) {
            if (!out.AppendCharacter(static_cast<char>(c)))
                return CXString();
        } else {
            const char escaped[3] = {'%', kDigits[c >> 4], kDigits[c & 15]};
            if (!out.Append(escaped, 3))
                return CXString();
        }
    }
    return CXString(out);
}

namespace {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

CXString CXPercentDecode(const CXStringArgument& text, bool plusIsSpace)
{
    const char* s = text.data();
    size_t n = text.length();
    CXStringEdit out;
    for (size_t i = 0; i < n && s[i] != 0; ++i) {
        char c = s[i];
        int high = -1;
        int low = -1;
        if (c == '%' && i + 2 < n) {
            high = HexDigitValue(s[i + 1]);
            low = HexDigitValue(s[i + 2]);
        }
        if (high >= 0 && low >= 0) {
            c = static_cast<char>(high << 4 | low);
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            c = ' ';
        }
        if (!out.AppendCharacter(c))
            return CXString();
    }
    return CXString(out);
}

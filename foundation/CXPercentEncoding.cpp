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

#include "foundation/CXBase64.h"

#include "foundation/CXDebug.h"
#include "foundation/CXStringEdit.h"

#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kGroupsPerLine = 19; // 76 characters

} // namespace

char ConvertIntToUUChar(int value)
{
    if (value < 0 || value > 63) {
        CXDebugLog("ConvertIntToUUChar> invalid value %d", value);
        return 0;
    }
    return kAlphabet[value];
}

int Base64DecodeValue(char ch)
{
    if (ch >= 'A' && ch <= 'Z')
        return ch - 'A';
    if (ch >= 'a' && ch <= 'z')
        return ch - 'a' + 26;
    if (ch >= '0' && ch <= '9')
        return ch - '0' + 52;
    if (ch == '+')
        return 62;
    if (ch == '/')
        return 63;
    return -1;
}

int ConvertUUCharToInt(char ch)
{
    int value = Base64DecodeValue(ch);
    if (value >= 0)
        return value;
    if (ch != '=')
        CXDebugLog("ConvertUUCharToInt> invalid char %d", static_cast<int>(static_cast<unsigned char>(ch)));
    return 0;
}

CXString Base64Encode(const CXStringArgument& bytes, const CXStringArgument& separator)
{
    const uint8_t* in = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t length = bytes.length();
    if (length == 0)
        return CXString();
    size_t groups = length / 3;
    size_t lines = separator.IsEmpty() ? 0 : groups / kGroupsPerLine;
    CXStringEdit edit;
    if (!edit.Upsize((groups + 1) * 4 + lines * separator.length(), 1))
        return CXString();

    size_t inLine = 0;
    for (size_t g = 0; g < groups; ++g, in += 3) {
        uint32_t bits = (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8) | in[2];
        char chars[4] = {kAlphabet[bits >> 18], kAlphabet[(bits >> 12) & 63], kAlphabet[(bits >> 6) & 63],
                         kAlphabet[bits & 63]};
        (void)edit.Append(chars, 4);
        if (lines != 0 && ++inLine == kGroupsPerLine) {
            (void)edit.Append(separator);
            inLine = 0;
        }
    }
    size_t tail = length % 3;
    if (tail != 0) {
        uint32_t bits = uint32_t(in[0]) << 16;
        if (tail == 2)
            bits |= uint32_t(in[1]) << 8;
        char chars[4] = {kAlphabet[bits >> 18], kAlphabet[(bits >> 12) & 63], tail == 2 ? kAlphabet[(bits >> 6) & 63] : '=',
                         '='};
        (void)edit.Append(chars, 4);
    }
    return CXString(edit);
}

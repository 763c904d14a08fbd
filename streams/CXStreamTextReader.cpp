#include "streams/CXStreamTextReader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint8_t kCR = 0x0D;
constexpr uint8_t kLF = 0x0A;

bool IsLineEnd(uint8_t byte)
{
    return byte == kCR || byte == kLF;
}

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

} // namespace

bool CXStreamTextReader::NextByte(uint8_t& byte)
{
    uint64_t count = fPushBack.count();
    if (count != 0) {
        uint16_t entry = fPushBack[count - 1];
        if (entry & kGivenBack)
            return false; // never under a peeked byte; GetChar takes it first
        byte = static_cast<uint8_t>(entry);
        fPushBack.Remove(count - 1);
        return true;
    }
    if (fStream == nullptr)
        return false;
    return fStream->Read(&byte, 1) == 1;
}

bool CXStreamTextReader::GetChar(char& ch)
{
    uint64_t count = fPushBack.count();
    if (count != 0 && (fPushBack[count - 1] & kGivenBack)) {
        uint16_t entry = fPushBack[count - 1];
        fPushBack.Remove(count - 1);
        fPendingLineEnd = (entry & kPendingCR) ? kCR : (entry & kPendingLF) ? kLF : 0;
        ch = static_cast<char>(static_cast<uint8_t>(entry));
        return true;
    }
    for (;;) {
        uint8_t byte;
        if (!NextByte(byte)) {
            ch = 0;
            fPendingLineEnd = 0;
            return false;
        }
        if (!IsLineEnd(byte)) {
            fPendingLineEnd = 0;
            ch = static_cast<char>(byte);
            return true;
        }
        if (fPendingLineEnd != 0 && byte != fPendingLineEnd) {
            // The second half of a pair already reported.
            fPendingLineEnd = 0;
            fLookAhead = true;
            continue;
        }
        if (fLookAhead) {
            uint8_t next;
            if (NextByte(next)) {
                if (!(IsLineEnd(next) && next != byte)) {
                    Push(next);
                    fLookAhead = false;
                }
            }
            fPendingLineEnd = 0;
        } else {
            fPendingLineEnd = byte;
        }
        ch = static_cast<char>(kCR);
        return true;
    }
}

void CXStreamTextReader::UngetChar(char ch)
{
    if (fStream == nullptr)
        return;
    uint16_t entry = kGivenBack | static_cast<uint8_t>(ch);
    if (IsLineEnd(static_cast<uint8_t>(ch)))
        entry |= fPendingLineEnd == kCR ? kPendingCR : fPendingLineEnd == kLF ? kPendingLF : 0;
    fPendingLineEnd = 0;
    Push(entry);
}

void CXStreamTextReader::TakePushedBack(CXStringEditBase& bytes)
{
    for (uint64_t i = fPushBack.count(); i > 0; --i)
        (void)bytes.AppendCharacter(static_cast<char>(static_cast<uint8_t>(fPushBack[i - 1])));
    (void)fPushBack.SetCount(0);
    fPendingLineEnd = 0;
}

bool CXStreamTextReader::MatchLiteral(const char* text)
{
    for (const char* p = text; *p != 0; ++p) {
        char ch;
        // After a failed read there is nothing to give back: a NUL given back would be read as
        // a character of the input.
        if (!GetChar(ch))
            return false;
        if (ch != *p) {
            UngetChar(ch);
            return false;
        }
    }
    return true;
}

bool CXStreamTextReader::ReadDigits(CXStringEditBase& builder)
{
    builder.Clear();
    if (fStream == nullptr)
        return false;
    char ch;
    while (GetChar(ch)) {
        if (IsBlank(ch) && builder.IsEmpty())
            continue;
        if (ch >= '0' && ch <= '9') {
            builder.AppendCharacter(ch);
            continue;
        }
        UngetChar(ch);
        break;
    }
    return true;
}

bool CXStreamTextReader::ReadInt64(int64_t& value)
{
    bool negative = MatchLiteral("-");
    CXStringEdit digits;
    if (!ReadDigits(digits) || digits.IsEmpty())
        return false;
    CXStringEdit text;
    if (negative)
        text.AppendCharacter('-');
    text.Append(digits);
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno == ERANGE || end == text.c_str() || *end != 0)
        return false;
    value = parsed;
    return true;
}

bool CXStreamTextReader::ReadUInt32(uint32_t& value)
{
    CXStringEdit digits;
    if (!ReadDigits(digits) || !CXStringArgument(digits).IsInteger(true))
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(digits.c_str(), &end, 10);
    if (errno == ERANGE || *end != 0 || parsed > UINT32_MAX)
        return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool CXStreamTextReader::ReadWord(CXStringEditBase& builder)
{
    builder.Clear();
    if (fStream == nullptr)
        return false;
    char ch;
    while (GetChar(ch)) {
        if (IsBlank(ch)) {
            if (builder.IsEmpty())
                continue;
            break;
        }
        if (static_cast<uint8_t>(ch) == kCR)
            break;
        if (static_cast<uint8_t>(ch) == 0xEF && builder.IsEmpty()) {
            char second = 0;
            char third = 0;
            bool haveSecond = GetChar(second);
            bool haveThird = haveSecond && static_cast<uint8_t>(second) == 0xBB && GetChar(third);
            if (haveThird && static_cast<uint8_t>(third) == 0xBF)
                continue;
            // Not a byte-order mark: give back what was read, the latest first.
            if (haveThird)
                UngetChar(third);
            if (haveSecond)
                UngetChar(second);
        }
        builder.AppendCharacter(ch);
    }
    return true;
}

bool CXStreamTextReader::ReadLine(CXStringEditBase& builder)
{
    builder.Clear();
    if (fStream == nullptr)
        return false;
    char ch;
    while (GetChar(ch)) {
        if (static_cast<uint8_t>(ch) == kCR)
            return true;
        builder.AppendCharacter(ch);
    }
    return !builder.IsEmpty();
}

bool CXStreamTextReader::WriteText(CXStream& stream, const CXStringArgument& text)
{
    return stream.Write(text.data(), text.length()) == text.length();
}

CXStreamTextReaderBuffer::CXStreamTextReaderBuffer(const void* data, uint64_t size)
{
    (void)fBuffer.OpenReadOnly(data, size);
    SetStream(&fBuffer);
}

CXStreamTextReaderBuffer::CXStreamTextReaderBuffer(const CXString& text)
{
    (void)fBuffer.OpenReadOnly(text);
    SetStream(&fBuffer);
}

#include "foundation/CXStringEdit.h"

#include "foundation/CXMemory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kGrowthBlock = 4096;

bool IsTrimmed(char c)
{
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

} // namespace

CXStringEditBase::~CXStringEditBase()
{
    if (fData != fInline)
        CXHeapFree(fData);
}

const char* CXStringEditBase::c_str()
{
    if (fLength >= fCapacity && !Upsize(fLength, 1))
        return kCXEmptyText;
    fData[fLength] = 0;
    return fData;
}

bool CXStringEditBase::Upsize(size_t len, size_t extra)
{
    if (len > SIZE_MAX - extra) {
        CXDebugError("CXStringEdit::Upsize> length overflow");
        return false;
    }
    size_t need = len + extra;
    if (need < fCapacity)
        return true;
    size_t grown = fCapacity > SIZE_MAX / 2 ? need : std::max(2 * fCapacity, need);
    if (grown <= SIZE_MAX - (kGrowthBlock - 1))
        grown = (grown + kGrowthBlock - 1) / kGrowthBlock * kGrowthBlock;

    char* buffer;
    if (grown <= fInlineSize) {
        buffer = fInline;
    } else {
        buffer = static_cast<char*>(CXHeapAlloc(grown));
        if (buffer == nullptr) {
            // The text stays as it was: a caller that cannot append keeps what it had.
            CXDebugError("CXStringEdit::Upsize> failed to allocate new buffer");
            return false;
        }
    }
    if (buffer != fData) {
        std::memcpy(buffer, fData, std::min(grown, fLength));
        if (fData != fInline)
            CXHeapFree(fData);
    }
    fData = buffer;
    fCapacity = grown;
    return true;
}

void CXStringEditBase::CopyFrom(const CXStringEditBase& other)
{
    if (&other == this)
        return;
    Assign(other.fData, other.fLength);
}

void CXStringEditBase::MoveFrom(CXStringEditBase& other)
{
    if (other.fData != other.fInline) {
        if (fData != fInline)
            CXHeapFree(fData);
        fData = other.fData;
        fCapacity = other.fCapacity;
        fLength = other.fLength;
        other.fData = other.fInline;
        other.fCapacity = other.fInlineSize;
        other.fLength = 0;
    } else {
        Assign(other.fData, other.fLength);
    }
}

void CXStringEditBase::Assign(const char* chars, size_t count)
{
    if (chars == nullptr || count == 0) {
        fLength = 0;
        return;
    }
    if (chars >= fData && chars < fData + fCapacity) {
        // Assigning a part of our own text.
        std::memmove(fData, chars, std::min(count, static_cast<size_t>(fData + fCapacity - chars)));
        fLength = std::min(count, static_cast<size_t>(fData + fCapacity - chars));
        return;
    }
    fLength = 0;
    if (!Upsize(count, 1))
        return;
    std::memcpy(fData, chars, count);
    fLength = count;
}

bool CXStringEditBase::Append(const char* chars, size_t count)
{
    if (chars == nullptr || count == 0)
        return true;
    if (count == SIZE_MAX) {
        CXDebugError("CXStringEdit::Upsize> length overflow");
        return false;
    }
    if (chars >= fData && chars < fData + fCapacity) {
        // The source lies in our own buffer, which growth may move.
        size_t offset = static_cast<size_t>(chars - fData);
        if (!Upsize(fLength, count + 1))
            return false;
        std::memmove(fData + fLength, fData + offset, count);
    } else {
        if (!Upsize(fLength, count + 1))
            return false;
        std::memcpy(fData + fLength, chars, count);
    }
    fLength += count;
    return true;
}

bool CXStringEditBase::AppendCharacter(char byte)
{
    if (fCapacity - 2 < fLength && !Upsize(fLength, 2))
        return false;
    fData[fLength++] = byte;
    return true;
}

bool CXStringEditBase::AppendUTF8Character(uint32_t cp)
{
    char bytes[6];
    size_t n;
    if (cp <= 0x7F) {
        bytes[0] = static_cast<char>(cp);
        n = 1;
    } else if (cp <= 0x7FF) {
        bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        n = 2;
    } else if (cp <= 0xFFFF) {
        bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        n = 3;
    } else if (cp <= 0x1FFFFF) {
        bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
        n = 4;
    } else if (cp <= 0x3FFFFFF) {
        bytes[0] = static_cast<char>(0xF8 | (cp >> 24));
        n = 5;
    } else if (cp <= 0x7FFFFFFF) {
        bytes[0] = static_cast<char>(0xFC | (cp >> 30));
        n = 6;
    } else {
        return false;
    }
    for (size_t i = n - 1; i >= 1; --i) {
        bytes[i] = static_cast<char>(0x80 | (cp & 0x3F));
        cp >>= 6;
    }
    return Append(bytes, n);
}

bool CXStringEditBase::AppendFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool ok = AppendFormatV(format, args);
    va_end(args);
    return ok;
}

bool CXStringEditBase::AppendFormatV(const char* format, va_list args)
{
    for (;;) {
        size_t room = fCapacity - fLength;
        int r = -1;
        if (room >= 1) {
            va_list copy;
            va_copy(copy, args);
            r = vsnprintf(fData + fLength, room, format, copy);
            va_end(copy);
            // An encoding error gives the same result however large the buffer: give up.
            if (r < 0)
                return false;
            if (static_cast<size_t>(r) < room) {
                fLength += static_cast<size_t>(r);
                return true;
            }
            if (!Upsize(fLength, static_cast<size_t>(r) + 1))
                return false;
        } else if (!Upsize(fCapacity, kGrowthBlock)) {
            return false;
        }
    }
}

bool CXStringEditBase::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool ok = FormatV(format, args);
    va_end(args);
    return ok;
}

bool CXStringEditBase::FormatV(const char* format, va_list args)
{
    fLength = 0;
    return AppendFormatV(format, args);
}

void CXStringEditBase::SetLength(size_t length)
{
    if (length >= fCapacity && !Upsize(length, 1))
        return;
    if (length > fLength)
        std::memset(fData + fLength, 0, length - fLength);
    fLength = length;
}

void CXStringEditBase::Erase(size_t pos, size_t count)
{
    size_t end = count > fLength - std::min(pos, fLength) ? fLength : pos + count;
    if (pos >= end)
        return;
    std::memmove(fData + pos, fData + end, fLength - end);
    fLength -= end - pos;
}

CXStringEdit CXStringEditBase::Substring(int64_t start, int64_t end) const
{
    CXStringEdit result;
    if (start < 0)
        start = 0;
    if (end > 0 && static_cast<uint64_t>(end) > fLength)
        end = static_cast<int64_t>(fLength);
    if (start < end)
        result.Assign(fData + start, static_cast<size_t>(end - start));
    return result;
}

void CXStringEditBase::Replace(size_t pos, size_t count, const CXStringArgument& text)
{
    if (pos > fLength) {
        CXDebugError("CXStringEdit::Replace> target area is out of string bounds");
        return;
    }
    const char* source = text.data();
    size_t sourceLength = text.length();
    if (sourceLength != 0 && source < fData + fCapacity && source + sourceLength > fData) {
        CXDebugError("CXStringEdit::Replace> source area is inside string buffer");
        return;
    }
    count = std::min(count, fLength - pos);
    if (sourceLength <= count) {
        std::memcpy(fData + pos, source, sourceLength);
        if (sourceLength < count) {
            std::memmove(fData + pos + sourceLength, fData + pos + count, fLength - pos - count);
            fLength -= count - sourceLength;
        }
        return;
    }
    size_t oldLength = fLength;
    size_t newLength = fLength - count + sourceLength;
    if (!Upsize(newLength, 1))
        return;
    SetLength(newLength);
    std::memmove(fData + pos + sourceLength, fData + pos + count, oldLength - pos - count);
    std::memcpy(fData + pos, source, sourceLength);
}

void CXStringEditBase::ReplaceAll(const CXStringArgument& search, const CXStringArgument& replacement)
{
    int64_t found = StringPos(*this, search, 0);
    if (found < 0)
        return;
    CXString copy(*this);
    if (copy.length() != fLength)
        return; // no memory for the copy: leave the text as it is
    CXStringArgument original(copy);
    fLength = 0;
    size_t from = 0;
    while (found >= 0) {
        size_t at = static_cast<size_t>(found);
        if (!Append(original.data() + from, at - from) || !Append(replacement)) {
            Assign(copy.c_str(), copy.length());
            return;
        }
        from = at + search.length();
        found = from < original.length() ? StringPos(original, search, static_cast<int64_t>(from)) : -1;
    }
    if (!Append(original.data() + from, original.length() - from))
        Assign(copy.c_str(), copy.length());
}

void CXStringEditBase::TrimLeft()
{
    size_t n = 0;
    while (n < fLength && IsTrimmed(fData[n]))
        ++n;
    Erase(0, n);
}

void CXStringEditBase::TrimRight()
{
    while (fLength > 0 && IsTrimmed(fData[fLength - 1]))
        --fLength;
}

void CXStringEditBase::MakeUpper()
{
    for (size_t i = 0; i < fLength; ++i)
        if (fData[i] >= 'a' && fData[i] <= 'z')
            fData[i] = static_cast<char>(fData[i] - 32);
}

void CXStringEditBase::MakeLower()
{
    for (size_t i = 0; i < fLength; ++i)
        if (fData[i] >= 'A' && fData[i] <= 'Z')
            fData[i] = static_cast<char>(fData[i] + 32);
}

void CXStringEditBase::MapCharacters(const std::function<uint32_t(uint32_t)>& map)
{
    size_t pos = 0;
    while (pos < fLength) {
        uint32_t cp;
        size_t count;
        if (!CXStringArgument(fData + pos, fLength - pos).DecodeUTF8Character(cp, count)) {
            ++pos;
            continue;
        }
        uint32_t mapped = map(cp);
        if (mapped == cp) {
            pos += count;
            continue;
        }
        if (count == 1 && mapped <= 0x7F) {
            fData[pos++] = static_cast<char>(mapped);
            continue;
        }
        // The length changes from here on: finish in a new builder.
        CXStringEdit rest;
        if (!rest.Append(fData, pos))
            return;
        while (pos < fLength) {
            if (!CXStringArgument(fData + pos, fLength - pos).DecodeUTF8Character(cp, count)) {
                if (!rest.AppendCharacter(fData[pos]))
                    return;
                ++pos;
                continue;
            }
            mapped = map(cp);
            if (mapped <= 0x10FFFF && !rest.AppendUTF8Character(mapped))
                return;
            pos += count;
        }
        Assign(rest.data(), rest.length());
        return;
    }
}

bool CXStringEditBase::operator==(const CXStringArgument& text) const
{
    return fLength == text.length() && (fLength == 0 || std::memcmp(fData, text.data(), fLength) == 0);
}

namespace {
// What an out-of-range index reads and writes after the report.
thread_local char gOutOfRangeByte;
}

char& CXStringEditBase::operator[](size_t index)
{
    if (index > fLength) {
        CXDebugError("CXStringEdit::operator[] > index out of range: %llu", static_cast<unsigned long long>(index));
        gOutOfRangeByte = 0;
        return gOutOfRangeByte;
    }
    if (index == fLength)
        (void)c_str();
    return fData[index];
}

char& CXStringEditBase::operator[](int index)
{
    if (index < 0 || static_cast<size_t>(index) > fLength) {
        CXDebugError("CXStringEdit::operator[] > index out of range: %d", index);
        gOutOfRangeByte = 0;
        return gOutOfRangeByte;
    }
    return (*this)[static_cast<size_t>(index)];
}

char& CXStringEditBase::operator[](int64_t index)
{
    if (index < 0 || static_cast<uint64_t>(index) > fLength) {
        CXDebugError("CXStringEdit::operator[] > index out of range: %lld", static_cast<long long>(index));
        gOutOfRangeByte = 0;
        return gOutOfRangeByte;
    }
    return (*this)[static_cast<size_t>(index)];
}

size_t CXStringEditBase::CountUTF8Characters() const
{
    size_t characters = 0;
    size_t pos = 0;
    while (pos < fLength) {
        uint32_t cp;
        size_t count;
        if (!CXStringArgument(fData + pos, fLength - pos).DecodeUTF8Character(cp, count))
            count = 1;
        pos += count;
        ++characters;
    }
    return characters;
}

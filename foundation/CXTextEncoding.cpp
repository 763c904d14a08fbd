#include "foundation/CXTextEncoding.h"

#include "foundation/CXStringEdit.h"

namespace {

const char16_t kEmptyUTF16[1] = {0};

bool IsHighSurrogate(uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Units are appended byte-wise: a builder's buffer need not be aligned for char16_t.
bool AppendUnits(CXStringEditBase& edit, const char16_t* units, size_t count)
{
    return edit.Append(reinterpret_cast<const char*>(units), count * sizeof(char16_t));
}

bool AppendHolderUnits(CXStringEditBase& edit, const CXString& holder)
{
    return AppendUnits(edit, UTF16Units(holder), UTF16UnitCount(holder));
}

// The extra zero byte that, with the payload's NUL, ends the units with a 16-bit zero. A builder
// that could not be completed gives the null handle.
CXString FinishHolder(CXStringEditBase& edit, bool ok)
{
    if (!ok || !edit.AppendCharacter(0))
        return CXString();
    return CXString(edit);
}

// Decodes UTF-8 and hands each resulting unit sequence (1 or 2 units, '?' for an undecodable byte)
// to emit, which returns false to stop.
template <typename Emit>
void DecodeUTF8Units(const char* bytes, size_t length, Emit&& emit)
{
    size_t pos = 0;
    while (pos < length) {
        uint32_t codePoint;
        size_t count;
        char16_t units[2];
        size_t unitCount;
        if (CXStringArgument(bytes + pos, length - pos).DecodeUTF8Character(codePoint, count)) {
            unitCount = EncodeUTF16(units, 2, codePoint);
            pos += count;
        } else {
            unitCount = 0;
            pos += 1;
        }
        if (unitCount == 0) {
            units[0] = u'?';
            unitCount = 1;
        }
        if (!emit(units, unitCount))
            return;
    }
}

} // namespace

size_t UTF16UnitCount(const CXString& holder)
{
    return holder.length() / 2;
}

const char16_t* UTF16Units(const CXString& holder)
{
    // Payload text follows an 8-byte aligned header, so it is aligned for char16_t.
    return holder.IsEmpty() ? kEmptyUTF16 : reinterpret_cast<const char16_t*>(holder.c_str());
}

size_t EncodeUTF16(char16_t* units, size_t room, uint32_t codePoint)
{
    if (units == nullptr || room == 0)
        return 0;
    if (codePoint <= 0xFFFF) {
        if (IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint))
            return 0;
        units[0] = static_cast<char16_t>(codePoint);
        return 1;
    }
    if (codePoint > 0x10FFFF || room < 2)
        return 0;
    codePoint -= 0x10000;
    units[0] = static_cast<char16_t>(0xD800 | (codePoint >> 10));
    units[1] = static_cast<char16_t>(0xDC00 | (codePoint & 0x3FF));
    return 2;
}

bool DecodeUTF16(const char16_t* units, size_t count, uint32_t& codePoint, size_t& unitCount)
{
    codePoint = '?';
    unitCount = 0;
    if (units == nullptr || count == 0)
        return false;
    uint32_t first = units[0];
    if (!IsHighSurrogate(first) && !IsLowSurrogate(first)) {
        codePoint = first;
        unitCount = 1;
        return true;
    }
    // Only a real low half completes a pair; anything else after a high surrogate is its own
    // character and must not be swallowed.
    if (IsLowSurrogate(first) || count < 2 || !IsLowSurrogate(units[1]))
        return false;
    codePoint = 0x10000 + ((first - 0xD800) << 10) + (static_cast<uint32_t>(units[1]) - 0xDC00);
    unitCount = 2;
    return true;
}

CXString CXString::FromUTF16(const char16_t* units, size_t count)
{
    if (units == nullptr || count > (SIZE_MAX - 2) / sizeof(char16_t))
        count = 0;
    CXStringEdit edit;
    return FinishHolder(edit, AppendUnits(edit, units, count));
}

CXString CXString::FromUTF16CString(const char16_t* units)
{
    size_t count = 0;
    if (units != nullptr)
        while (units[count] != 0)
            ++count;
    return FromUTF16(units, count);
}

size_t ConvertUTF8ToUTF16Units(char16_t* out, size_t room, const char* bytes, size_t length)
{
    if (out == nullptr || bytes == nullptr)
        return 0;
    size_t written = 0;
    DecodeUTF8Units(bytes, length, [&](const char16_t* units, size_t count) {
        if (written >= room)
            return true; // keep decoding to the end; nothing more is stored
        if (count > room - written) {
            out[written++] = u'?';
            return true;
        }
        for (size_t i = 0; i < count; ++i)
            out[written++] = units[i];
        return true;
    });
    return written;
}

CXString ConvertUTF8ToUTF16(const char* bytes, size_t length)
{
    CXStringEdit edit;
    if (bytes == nullptr)
        length = 0;
    // Every input byte yields at most one unit.
    if (length > (SIZE_MAX - 2) / sizeof(char16_t) || !edit.Upsize(length * sizeof(char16_t), 2))
        return CXString();
    bool ok = true;
    DecodeUTF8Units(bytes, length, [&](const char16_t* units, size_t count) {
        ok = AppendUnits(edit, units, count);
        return ok;
    });
    return FinishHolder(edit, ok);
}

CXString ConvertUTF8CStringToUTF16(const char* text)
{
    CXStringArgument view(text);
    return ConvertUTF8ToUTF16(view.data(), view.length());
}

CXString ConvertUTF16ToUTF8(const CXString& holder)
{
    const char16_t* units = UTF16Units(holder);
    size_t count = UTF16UnitCount(holder);
    CXStringEdit edit;
    bool inInvalidRun = false;
    size_t pos = 0;
    while (pos < count) {
        uint32_t codePoint;
        size_t used;
        bool ok;
        if (DecodeUTF16(units + pos, count - pos, codePoint, used)) {
            ok = edit.AppendUTF8Character(codePoint);
            inInvalidRun = false;
            pos += used;
        } else {
            ok = inInvalidRun || edit.AppendCharacter('?');
            inInvalidRun = true;
            pos += 1;
        }
        if (!ok)
            return CXString();
    }
    return CXString(edit);
}

void AppendUTF16Character(CXString& holder, uint32_t codePoint)
{
    char16_t units[2];
    size_t count = EncodeUTF16(units, 2, codePoint);
    if (count == 0)
        return;
    CXStringEdit edit;
    CXString result = FinishHolder(edit, AppendHolderUnits(edit, holder) && AppendUnits(edit, units, count));
    if (!result.IsEmpty())
        holder = result;
}

char16_t AppendUTF16CString(CXString& holder, const char16_t* units)
{
    if (units == nullptr)
        return 0;
    size_t count = 0;
    char16_t stop = 0;
    while (units[count] != 0) {
        uint32_t codePoint;
        size_t used;
        // The unit after a non-zero unit is at worst the terminator, so two units can be read.
        if (!DecodeUTF16(units + count, 2, codePoint, used)) {
            stop = units[count];
            break;
        }
        count += used;
    }
    if (count == 0)
        return stop;
    CXStringEdit edit;
    CXString result = FinishHolder(edit, AppendHolderUnits(edit, holder) && AppendUnits(edit, units, count));
    if (!result.IsEmpty())
        holder = result;
    return stop;
}

#include "toolkit/CXOSSoupBlocks.h"

#include "foundation/CXTextEncoding.h"
#include "foundation/CXTextParsing.h"
#include "win32/api/DataObject.h"

#include <cstring>
#include <string>

namespace {

// The units of UTF-16 text at bytes (any alignment), up to the first zero unit or the last whole
// unit inside size.
std::u16string UnitsUpToZero(const uint8_t* bytes, size_t size)
{
    std::u16string units;
    for (size_t offset = 0; offset + sizeof(char16_t) <= size; offset += sizeof(char16_t)) {
        char16_t unit;
        std::memcpy(&unit, bytes + offset, sizeof(unit));
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    return units;
}

// Appends the names of a list of zero-ended names; stops at an empty name or at one without its
// zero.
void ReadWideNames(const uint8_t* list, size_t size, std::vector<CXString>& names)
{
    size_t offset = 0;
    while (offset < size) {
        std::u16string name = UnitsUpToZero(list + offset, size - offset);
        size_t end = offset + (name.size() + 1) * sizeof(char16_t);
        if (name.empty() || end > size)
            return;
        names.push_back(ConvertUTF16ToUTF8(CXString::FromUTF16(name.data(), name.size())));
        offset = end;
    }
}

void ReadNarrowNames(const uint8_t* list, size_t size, std::vector<CXString>& names)
{
    size_t offset = 0;
    while (offset < size) {
        const void* zero = std::memchr(list + offset, 0, size - offset);
        if (zero == nullptr)
            return;
        size_t length = static_cast<const uint8_t*>(zero) - (list + offset);
        if (length == 0)
            return;
        names.emplace_back(reinterpret_cast<const char*>(list + offset), length);
        offset += length + 1;
    }
}

} // namespace

CXString ReadUnicodeTextBlock(const uint8_t* bytes, size_t size)
{
    if (bytes == nullptr)
        return CXString();
    std::u16string units = UnitsUpToZero(bytes, size);
    CXString text = ConvertUTF16ToUTF8(CXString::FromUTF16(units.data(), units.size()));
    return ConvertLineEndings(text, "\n");
}

bool ReadRegisteredFormatBlock(const uint8_t* bytes, size_t size, const uint8_t*& data, size_t& length)
{
    data = nullptr;
    length = 0;
    uint32_t field = 0;
    if (bytes == nullptr || size < sizeof(field))
        return false;
    std::memcpy(&field, bytes, sizeof(field));
    if (field > size - sizeof(field))
        return false;
    data = bytes + sizeof(field);
    length = field;
    return true;
}

CXString ReadNarrowTextBlock(const uint8_t* bytes, size_t size)
{
    if (bytes == nullptr)
        return CXString();
    const void* zero = std::memchr(bytes, 0, size);
    size_t length = zero != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes) : size;
    return CXString(reinterpret_cast<const char*>(bytes), length);
}

std::vector<CXString> ReadFileListBlock(const uint8_t* bytes, size_t size)
{
    std::vector<CXString> names;
    win32::DROPFILES head;
    if (bytes == nullptr || size < sizeof(head))
        return names;
    std::memcpy(&head, bytes, sizeof(head));
    if (head.pFiles < sizeof(head) || head.pFiles > size)
        return names;
    if (head.fWide)
        ReadWideNames(bytes + head.pFiles, size - head.pFiles, names);
    else
        ReadNarrowNames(bytes + head.pFiles, size - head.pFiles, names);
    return names;
}

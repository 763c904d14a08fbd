#include "datanode/DNRawData.h"

#include <bit>
#include <cstring>

DNRawData::DNRawData(const void* bytes, size_t size, DNTypeID type)
    : fPayload(size != 0 ? CXString(static_cast<const char*>(bytes), size) : CXString())
    , fType(type)
{
}

DNRawData::DNRawData(const char* text) : fPayload(text), fType(kDNTypeString) {}

DNRawData DNRawData::FromInt(int32_t value)
{
    char bytes[4];
    DNWriteInt32(bytes, value);
    return DNRawData(bytes, sizeof bytes, kDNTypeInt);
}

DNRawData DNRawData::FromBool(bool value)
{
    char byte = value ? 1 : 0;
    return DNRawData(&byte, 1, kDNTypeBool);
}

DNRawData DNRawData::FromString(const CXString& text)
{
    return DNRawData(text, kDNTypeString);
}

DNRawData DNRawData::FromBox2i(const DNBox2iRecord& box)
{
    char bytes[16];
    for (int i = 0; i < 4; ++i)
        DNWriteInt32(bytes + 4 * i, box.empty ? 0 : box.coordinates[i]);
    return DNRawData(bytes, sizeof bytes, kDNTypeBox2i);
}

int32_t DNReadInt32(const char* bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    uint32_t value = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    return static_cast<int32_t>(value);
}

int64_t DNReadInt64(const char* bytes)
{
    uint64_t low = static_cast<uint32_t>(DNReadInt32(bytes));
    uint64_t high = static_cast<uint32_t>(DNReadInt32(bytes + 4));
    return static_cast<int64_t>(low | (high << 32));
}

float DNReadFloat(const char* bytes)
{
    return std::bit_cast<float>(static_cast<uint32_t>(DNReadInt32(bytes)));
}

void DNWriteInt32(char* bytes, int32_t value)
{
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void DNWriteInt64(char* bytes, int64_t value)
{
    uint64_t v = static_cast<uint64_t>(value);
    DNWriteInt32(bytes, static_cast<int32_t>(static_cast<uint32_t>(v)));
    DNWriteInt32(bytes + 4, static_cast<int32_t>(static_cast<uint32_t>(v >> 32)));
}

void DNWriteFloat(char* bytes, float value)
{
    DNWriteInt32(bytes, static_cast<int32_t>(std::bit_cast<uint32_t>(value)));
}

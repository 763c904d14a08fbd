#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

#include <cstddef>
#include <cstdint>

// What the bytes of a raw value mean: small numbers for the built-in kinds, four-character codes
// for registered structure types (DNRawDataType).
using DNTypeID = uint32_t;

inline constexpr DNTypeID kDNTypeNone = 0;       // no value
inline constexpr DNTypeID kDNTypeFolder = 1;     // only the type number of folders
inline constexpr DNTypeID kDNTypeInt = 2;        // 4 bytes, signed, little-endian
inline constexpr DNTypeID kDNTypeFloat = 3;      // 4 bytes, IEEE single
inline constexpr DNTypeID kDNTypeString = 4;     // the text's bytes, no terminator counted
inline constexpr DNTypeID kDNTypeRaw = 5;        // any bytes
inline constexpr DNTypeID kDNTypeCompressed = 6; // any bytes; nothing converts it
inline constexpr DNTypeID kDNTypeFloats = 7;     // 4 bytes per element, IEEE single
inline constexpr DNTypeID kDNTypeBool = 8;       // 1 byte, 0 false, anything else true
inline constexpr DNTypeID kDNTypeInts = 9;       // 4 bytes per element, signed
inline constexpr DNTypeID kDNTypeInt64 = 10;     // 8 bytes, signed
inline constexpr DNTypeID kDNTypeBox2i = 0x62783269;    // 'bx2i': four 32-bit ints
inline constexpr DNTypeID kDNTypeVector2i = 0x76633269; // 'vc2i': two 32-bit ints
inline constexpr DNTypeID kDNTypeVector2 = 0x76633266;  // 'vc2f': two floats
inline constexpr DNTypeID kDNTypeCXColor = 0x636F6C34;  // 'col4': red, green, blue, alpha floats

// A box of four 32-bit coordinates and a flag that marks it empty.
struct DNBox2iRecord {
    int32_t coordinates[4];
    bool empty;
};

// A typed value: a shared byte payload (the shared string payload, so copies share it and
// nothing is copied byte by byte) and the type that says what the bytes mean. Numbers are stored
// little-endian whatever the host.
class DNRawData {
public:
    // The empty value: no payload, type 0.
    DNRawData() = default;
    DNRawData(const CXString& payload, DNTypeID type) : fPayload(payload), fType(type) {}
    DNRawData(const void* bytes, size_t size, DNTypeID type);
    // A STRING holding the bytes up to the terminating NUL (a null text gives an empty STRING).
    explicit DNRawData(const char* text);

    static DNRawData FromInt(int32_t value);
    static DNRawData FromBool(bool value);
    // A STRING sharing the string's buffer.
    static DNRawData FromString(const CXString& text);
    // The four coordinates in order; 16 zero bytes when the box is marked empty.
    static DNRawData FromBox2i(const DNBox2iRecord& box);

    const CXString& GetPayload() const { return fPayload; }
    const char* GetBytes() const { return fPayload.c_str(); }
    size_t GetSize() const { return fPayload.length(); }
    DNTypeID GetType() const { return fType; }

    // Payload bytes only (same length, same bytes); the type is compared separately.
    bool operator==(const DNRawData& other) const { return fPayload == other.fPayload; }

    // Converts source into target through a direct translator or a path of two (DNTranslator),
    // the translator list's order deciding between competing paths. Returns 0; -12 when a
    // translator met a payload of the wrong size; -15 when no path converts the value (then out
    // is empty and, unless quiet is set or the source has type 0, the failure is logged). A
    // value of the target type is passed on sharing its payload.
    static CXResultCode Coerce(const DNRawData& source, DNTypeID target, DNRawData& out, bool quiet);

private:
    CXString fPayload;
    DNTypeID fType = kDNTypeNone;
};

// Little-endian element access for payload bytes; the caller checks the size.
int32_t DNReadInt32(const char* bytes);
int64_t DNReadInt64(const char* bytes);
float DNReadFloat(const char* bytes);
void DNWriteInt32(char* bytes, int32_t value);
void DNWriteInt64(char* bytes, int64_t value);
void DNWriteFloat(char* bytes, float value);

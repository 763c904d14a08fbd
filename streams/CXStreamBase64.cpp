#include "streams/CXStreamBase64.h"

#include "foundation/CXBase64.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Whether BytesRemaining can answer; otherwise it answers 0, which would read as empty input.
bool KnowsRemaining(const CXStream& stream)
{
    uint32_t caps = stream.GetCaps();
    return (caps & CXStream::kCapsSizeKnown) && (caps & (CXStream::kCapsAvailableKnown | CXStream::kCapsPositionKnown));
}

CXResultCode SourceFailure(const CXStream& source)
{
    return source.Failed() ? source.GetResult() : kCXEndOfData;
}

CXResultCode DestinationFailure(const CXStream& destination)
{
    return destination.Failed() ? destination.GetResult() : kCXFailed;
}

// Both directions move the text in blocks, so a large input costs a few stream calls per block
// rather than one per group or character.
constexpr uint64_t kGroupsPerBlock = 16384;

struct Alphabet {
    char character[64];
    int8_t value[256];
};

const Alphabet& Tables()
{
    static const Alphabet tables = [] {
        Alphabet a;
        for (int i = 0; i < 64; ++i)
            a.character[i] = ConvertIntToUUChar(i);
        for (int c = 0; c < 256; ++c)
            a.value[c] = static_cast<int8_t>(Base64DecodeValue(static_cast<char>(c)));
        return a;
    }();
    return tables;
}

bool WriteAll(CXStream& destination, const void* data, uint64_t size)
{
    return size == 0 || destination.Write(data, size) == size;
}

} // namespace

CXResultCode Base64EncodeStream(CXStream& destination, CXStream& source)
{
    if (!KnowsRemaining(source)) {
        source.SetResult(kCXNotSupported);
        return kCXNotSupported;
    }
    uint64_t remaining = source.BytesRemaining();
    const char* characters = Tables().character;
    std::vector<uint8_t> inBlock(3 * kGroupsPerBlock);
    std::vector<char> outBlock(4 * kGroupsPerBlock);
    uint8_t* in = inBlock.data();
    char* out = outBlock.data();
    while (remaining != 0) {
        uint64_t want = std::min<uint64_t>(inBlock.size(), remaining);
        uint64_t got = source.Read(in, want);
        // A short read ends the text after the last whole group that arrived.
        uint64_t usable = got == want ? got : got - got % 3;
        char* cursor = out;
        for (uint64_t i = 0; i < usable; i += 3) {
            uint64_t count = std::min<uint64_t>(3, usable - i);
            uint32_t bits = uint32_t(in[i]) << 16;
            if (count > 1)
                bits |= uint32_t(in[i + 1]) << 8;
            if (count > 2)
                bits |= in[i + 2];
            *cursor++ = characters[bits >> 18];
            *cursor++ = characters[(bits >> 12) & 63];
            *cursor++ = count == 1 ? '=' : characters[(bits >> 6) & 63];
            *cursor++ = count < 3 ? '=' : characters[bits & 63];
        }
        if (!WriteAll(destination, out, static_cast<uint64_t>(cursor - out)))
            return DestinationFailure(destination);
        if (got != want)
            return SourceFailure(source);
        remaining -= got;
    }
    return kCXOK;
}

CXResultCode Base64DecodeStream(CXStream& destination, CXStream& source)
{
    if (!KnowsRemaining(source)) {
        source.SetResult(kCXNotSupported);
        return kCXNotSupported;
    }
    uint64_t remaining = source.BytesRemaining();
    uint32_t bits = 0;
    int place = 0;      // characters of the current group taken so far
    int firstPad = 0;   // place (3 or 4) of the first "=", 0 before any
    const int8_t* values = Tables().value;
    std::vector<char> inBlock(4 * kGroupsPerBlock);
    std::vector<uint8_t> outBlock(3 * kGroupsPerBlock);
    char* in = inBlock.data();
    uint8_t* out = outBlock.data();
    while (remaining != 0) {
        uint64_t want = std::min<uint64_t>(inBlock.size(), remaining);
        uint64_t got = source.Read(in, want);
        uint8_t* cursor = out;
        CXResultCode failure = kCXOK;
        for (uint64_t i = 0; i < got; ++i) {
            char ch = in[i];
            if (ch == '\t' || ch == '\n' || ch == '\r' || ch == ' ')
                continue;
            int value;
            if (ch == '=') {
                if (place < 2) {
                    failure = kCXBadFormat;
                    break;
                }
                if (firstPad == 0)
                    firstPad = place + 1;
                value = 0;
            } else {
                value = values[static_cast<uint8_t>(ch)];
                if (value < 0 || firstPad != 0) {
                    failure = kCXBadFormat;
                    break;
                }
            }
            bits = (bits << 6) | static_cast<uint32_t>(value);
            if (++place < 4)
                continue;
            *cursor++ = static_cast<uint8_t>(bits >> 16);
            if (firstPad == 0 || firstPad == 4)
                *cursor++ = static_cast<uint8_t>(bits >> 8);
            if (firstPad == 0)
                *cursor++ = static_cast<uint8_t>(bits);
            bits = 0;
            place = 0;
        }
        // The groups completed before a failure are written all the same.
        if (!WriteAll(destination, out, static_cast<uint64_t>(cursor - out)))
            return DestinationFailure(destination);
        if (failure != kCXOK)
            return failure;
        if (got != want)
            return SourceFailure(source);
        remaining -= got;
    }
    return place == 0 ? kCXOK : kCXEndOfData;
}

#include "streams/CXStreamBase64.h"

#include "foundation/CXBase64.h"

#include <algorithm>
#include <cstdint>

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

} // namespace

CXResultCode Base64EncodeStream(CXStream& destination, CXStream& source)
{
    if (!KnowsRemaining(source)) {
        source.SetResult(kCXNotSupported);
        return kCXNotSupported;
    }
    uint64_t remaining = source.BytesRemaining();
    while (remaining != 0) {
        uint8_t group[3] = {0, 0, 0};
        uint64_t count = std::min<uint64_t>(3, remaining);
        if (source.Read(group, count) != count)
            return SourceFailure(source);
        remaining -= count;
        uint32_t bits = (uint32_t(group[0]) << 16) | (uint32_t(group[1]) << 8) | group[2];
        char chars[4] = {ConvertIntToUUChar(static_cast<int>(bits >> 18)), ConvertIntToUUChar(static_cast<int>((bits >> 12) & 63)),
                         count == 1 ? '=' : ConvertIntToUUChar(static_cast<int>((bits >> 6) & 63)),
                         count < 3 ? '=' : ConvertIntToUUChar(static_cast<int>(bits & 63))};
        if (destination.Write(chars, 4) != 4)
            return DestinationFailure(destination);
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
    for (; remaining != 0; --remaining) {
        char ch;
        if (source.Read(&ch, 1) != 1)
            return SourceFailure(source);
        if (ch == '\t' || ch == '\n' || ch == '\r' || ch == ' ')
            continue;
        int value;
        if (ch == '=') {
            if (place < 2)
                return kCXBadFormat;
            if (firstPad == 0)
                firstPad = place + 1;
            value = 0;
        } else {
            value = Base64DecodeValue(ch);
            if (value < 0 || firstPad != 0)
                return kCXBadFormat;
        }
        bits = (bits << 6) | static_cast<uint32_t>(value);
        if (++place < 4)
            continue;
        uint8_t bytes[3] = {static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
        uint64_t count = firstPad == 0 ? 3 : firstPad == 4 ? 2 : 1;
        if (destination.Write(bytes, count) != count)
            return DestinationFailure(destination);
        bits = 0;
        place = 0;
    }
    return place == 0 ? kCXOK : kCXEndOfData;
}

// The stream string encoding and the big-endian integer routines.
#include "foundation/CXStringEdit.h"
#include "streams/CXStream.h"

#include <algorithm>

namespace {

constexpr uint64_t kScratchSize = 2048;
// Long strings are read in pieces into a growing builder, so a length that promises more than
// the stream holds costs no more memory than the bytes that really came.
constexpr uint64_t kLongPieceSize = 64 * 1024;

} // namespace

CXStream& WriteUInt32BEToStream(CXStream& stream, uint32_t value)
{
    uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    (void)stream.Write(bytes, 4);
    return stream;
}

CXStream& ReadUInt64BEFromStream(CXStream& stream, uint64_t& value)
{
    uint8_t bytes[8];
    value = 0;
    if (stream.Read(bytes, 8) != 8)
        return stream;
    for (uint8_t byte : bytes)
        value = (value << 8) | byte;
    return stream;
}

CXStream& WriteStringToStream(CXStream& stream, const CXStringArgument& string)
{
    uint64_t length = string.length();
    if (length > kCXStreamStringMaximum) {
        stream.SetResult(kCXBadParameter);
        return stream;
    }
    if (length > 254) {
        uint8_t marker = 0xFF;
        (void)stream.Write(&marker, 1);
        WriteUInt32BEToStream(stream, static_cast<uint32_t>(length));
    } else {
        uint8_t byte = static_cast<uint8_t>(length);
        (void)stream.Write(&byte, 1);
    }
    (void)stream.Write(string.data(), length);
    return stream;
}

CXStream& ReadStringFromStream(CXStream& stream, CXString& string)
{
    string.Clear();
    uint64_t length = stream.ReadByte();
    if (length == 0xFF)
        length = ReadUInt32BEFromStream(stream);
    if (stream.Failed() || length == 0)
        return stream;
    if (length == 0xFFFFFFFFu || length > kCXStreamStringMaximum) {
        stream.SetResult(kCXNoResources);
        return stream;
    }
    uint32_t caps = stream.GetCaps();
    if ((caps & CXStream::kCapsPositionKnown) && (caps & CXStream::kCapsSizeKnown) && stream.BytesRemaining() < length) {
        stream.SetResult(kCXBadFormat);
        return stream;
    }

    if (length <= kScratchSize) {
        char scratch[kScratchSize];
        uint64_t got = stream.Read(scratch, length);
        if (got < length)
            stream.SetResult(kCXEndOfData); // kept only when the stream recorded nothing itself
        if (!stream.Failed())
            string.Assign(scratch, static_cast<size_t>(length));
        return stream;
    }

    CXStringEdit builder;
    uint64_t total = 0;
    while (total < length) {
        uint64_t piece = std::min(kLongPieceSize, length - total);
        if (!builder.Upsize(static_cast<size_t>(total), static_cast<size_t>(piece))) {
            stream.SetResult(kCXNoResources);
            return stream;
        }
        builder.SetLength(static_cast<size_t>(total + piece));
        uint64_t got = stream.Read(builder.MutableData() + total, piece);
        total += got;
        if (got < piece)
            break;
    }
    if (total < length)
        stream.SetResult(kCXEndOfData);
    if (!stream.Failed())
        string = CXString(builder.data(), builder.length());
    return stream;
}

#include "patch/PatchDataRecord.h"

#include "foundation/CXDebug.h"
#include "streams/CXStreamCopy.h"

#include <cstdint>
#include <limits>

namespace {

constexpr uint64_t kUnknown = std::numeric_limits<uint64_t>::max();

CXResultCode ShortReadResult(const CXStream& stream)
{
    return stream.Failed() ? stream.GetResult() : kCXEndOfData;
}

uint64_t Left(CXStream& stream, uint64_t size)
{
    int64_t position = stream.GetPosition();
    if (position < 0)
        return size;
    return static_cast<uint64_t>(position) < size ? size - static_cast<uint64_t>(position) : 0;
}

// What the source has left to read, or kUnknown when it cannot tell without recording a failure.
uint64_t SourceLeft(CXStream& source)
{
    uint32_t caps = source.GetCaps();
    if (!(caps & CXStream::kCapsSizeKnown) || !(caps & (CXStream::kCapsPositionKnown | CXStream::kCapsAvailableKnown)))
        return kUnknown;
    return source.BytesRemaining();
}

} // namespace

CXResultCode ReadRecordChecksum(CXStream& stream, CXString& checksum)
{
    checksum.Clear();
    if (stream.Failed())
        return stream.GetResult();
    uint8_t first = 0;
    if (stream.Read(&first, 1) != 1)
        return ShortReadResult(stream);
    uint64_t length = first;
    if (first == 0xFF) {
        uint8_t bytes[4];
        if (stream.Read(bytes, 4) != 4)
            return ShortReadResult(stream);
        length = (uint64_t(bytes[0]) << 24) | (uint64_t(bytes[1]) << 16) | (uint64_t(bytes[2]) << 8) | uint64_t(bytes[3]);
    }
    if (length > kRecordChecksumMaximum)
        return kCXBadFormat;
    char text[kRecordChecksumMaximum];
    if (stream.Read(text, length) != length)
        return ShortReadResult(stream);
    checksum = CXString(text, static_cast<size_t>(length));
    return kCXOK;
}

bool RecordChecksumMatches(const CXString& recorded, const CXString& computed)
{
    return !recorded.IsEmpty() && !computed.IsEmpty() && recorded == computed;
}

CXResultCode ApplyDiffFromStream(CXStream& source, CXStream& output, CXStream& diff, CXString& error)
{
    error.Clear();
    uint64_t size = diff.GetSize();
    CXDebugLog("ApplyDiffFromStream> %llu", static_cast<unsigned long long>(size));
    while (Left(diff, size) > 0) {
        uint8_t command = 0;
        if (diff.Read(&command, 1) != 1) {
            CXResultCode result = ShortReadResult(diff);
            error = CXString::FromFormat("ApplyDiffFromStream> error on input stream: %d", static_cast<int32_t>(result));
            return result;
        }
        if (command != kDiffCommandCopy && command != kDiffCommandReplace) {
            error = CXString::FromFormat("ApplyDiffFromStream> unknown command: %d", command);
            return kCXBadFormat;
        }
        uint64_t operandBytes = command == kDiffCommandCopy ? 4 : 8;
        if (Left(diff, size) < operandBytes) {
            error = CXString::FromFormat("ApplyDiffFromStream> operands of command %d cut short", command);
            return kCXBadFormat;
        }
        uint32_t skip = command == kDiffCommandReplace ? ReadUInt32BEFromStream(diff) : 0;
        uint32_t count = ReadUInt32BEFromStream(diff);
        if (diff.Failed()) {
            error = CXString::FromFormat("ApplyDiffFromStream> error on input stream: %d", static_cast<int32_t>(diff.GetResult()));
            return diff.GetResult();
        }

        uint64_t sourceLeft = SourceLeft(source);
        CXResultCode result = kCXOK;
        if (command == kDiffCommandCopy) {
            if (count > sourceLeft) {
                error = CXString::FromFormat("ApplyDiffFromStream> copy(%u) beyond the source (%llu left)", count,
                                             static_cast<unsigned long long>(sourceLeft));
                return kCXBadFormat;
            }
            result = CopyStreamBytes(output, source, count, {});
        } else {
            if (skip > sourceLeft) {
                error = CXString::FromFormat("ApplyDiffFromStream> skip(%u) beyond the source (%llu left)", skip,
                                             static_cast<unsigned long long>(sourceLeft));
                return kCXBadFormat;
            }
            if (count > Left(diff, size)) {
                error = CXString::FromFormat("ApplyDiffFromStream> replace(%u) beyond the diff (%llu left)", count,
                                             static_cast<unsigned long long>(Left(diff, size)));
                return kCXBadFormat;
            }
            if (source.Skip(skip) != skip) {
                result = ShortReadResult(source);
                error = CXString::FromFormat("ApplyDiffFromStream> skip(%u) returned %d", skip, static_cast<int32_t>(result));
                return result;
            }
            result = CopyStreamBytes(output, diff, count, {});
        }
        if (result != kCXOK) {
            error = CXString::FromFormat("ApplyDiffFromStream> copy(%u) returned %d", count, static_cast<int32_t>(result));
            return result;
        }
        if (diff.Failed()) {
            error = CXString::FromFormat("ApplyDiffFromStream> error on input stream: %d", static_cast<int32_t>(diff.GetResult()));
            return diff.GetResult();
        }
    }
    CXDebugLog("ApplyDiffFromStream> total: tell=%lld (size=%llu)", static_cast<long long>(output.GetPosition()),
               static_cast<unsigned long long>(output.GetSize()));
    return kCXOK;
}

#include "streams/CXStreamCopy.h"

#include <algorithm>

namespace {

constexpr uint64_t kPieceSize = 16384;

// The failure of a destination that took fewer bytes than it was given.
CXResultCode ShortWriteResult(const CXStream& destination)
{
    return destination.Failed() ? destination.GetResult() : kCXFailed;
}

} // namespace

CXStreamProgressCallbackData::CXStreamProgressCallbackData()
    : startTime(CXTime::GetCurrentTimestamp())
{
}

CXResultCode CopyStreamBytes(CXStream& destination, CXStream& source, uint64_t count, const CXStreamProgressCallback& progress)
{
    CXStreamProgressCallbackData record;
    record.fractionUnknown = false;
    (void)destination.Control(CXStream::kControlReserve, static_cast<uint32_t>(count));
    uint8_t buffer[kPieceSize];
    uint64_t copied = 0;
    while (copied < count) {
        uint64_t got = source.Read(buffer, std::min(kPieceSize, count - copied));
        // A source that runs dry without saying why must not pass for a complete copy.
        if (got == 0)
            return source.Failed() ? source.GetResult() : kCXEndOfData;
        if (destination.Write(buffer, got) < got)
            return ShortWriteResult(destination);
        copied += got;
        if (progress) {
            record.bytesDone += got;
            record.fraction = static_cast<float>(static_cast<double>(copied) / static_cast<double>(count));
            if (!progress(record))
                return kCXCancelled;
        }
    }
    return kCXOK;
}

CXResultCode CopyStreamAll(CXStream& destination, CXStream& source, const CXStreamProgressCallback& progress)
{
    uint32_t caps = source.GetCaps();
    if ((caps & CXStream::kCapsAvailableKnown) && (caps & CXStream::kCapsSizeKnown))
        return CopyStreamBytes(destination, source, source.GetSize(), progress);
    if ((caps & CXStream::kCapsPositionKnown) && (caps & CXStream::kCapsSizeKnown)) {
        uint64_t size = source.GetSize();
        int64_t position = source.GetPosition();
        uint64_t left = position < 0 ? size : (size > static_cast<uint64_t>(position) ? size - static_cast<uint64_t>(position) : 0);
        return CopyStreamBytes(destination, source, left, progress);
    }

    CXStreamProgressCallbackData record;
    uint8_t buffer[kPieceSize];
    for (;;) {
        uint64_t got = source.Read(buffer, kPieceSize);
        if (got == 0)
            return source.GetResult();
        if (destination.Write(buffer, got) < got)
            return ShortWriteResult(destination);
        if (progress) {
            record.bytesDone += got;
            if (!progress(record))
                return kCXCancelled;
        }
    }
}

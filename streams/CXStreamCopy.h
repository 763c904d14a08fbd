#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXTime.h"
#include "streams/CXStream.h"

#include <cstdint>
#include <functional>

// What a copy tells its progress callback after each piece.
struct CXStreamProgressCallbackData {
    CXTimestamp startTime = 0;     // when the copy began
    float fraction = 0;            // share done, 0..1
    bool fractionUnknown = true;   // the total is unknown and fraction means nothing
    uint64_t callbackState1 = 0;   // zero at the start; the callback's own
    uint64_t callbackState2 = 0;
    uint64_t bytesDone = 0;

    // Starts the record now, with the fraction unknown.
    CXStreamProgressCallbackData();
};

// Called after each piece; false cancels the copy. An empty function reports nothing.
using CXStreamProgressCallback = std::function<bool(const CXStreamProgressCallbackData&)>;

// Copies count bytes in pieces of 16 KiB, reserving room in a growable destination once. Returns
// OK when all were copied; -16 when the callback said stop; otherwise the failure of the side
// that came up short: the source's result when a read gave nothing (-3 when the source recorded
// no failure), the destination's when a write was short (-1 when it recorded none). Nothing
// already written is undone.
CXResultCode CopyStreamBytes(CXStream& destination, CXStream& source, uint64_t count, const CXStreamProgressCallback& progress);

// Copies what the source has left: its available bytes, or its size less its position, through
// CopyStreamBytes; a source that knows neither is copied until a read gives nothing, and the
// result is then the source's result at that point (often -3 at the natural end), or the
// destination's after a short write (-1 when it recorded none).
CXResultCode CopyStreamAll(CXStream& destination, CXStream& source, const CXStreamProgressCallback& progress);

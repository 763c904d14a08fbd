#include "streams/CXStreamDigest.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMD5.h"
#include "foundation/CXMemory.h"
#include "streams/CXStreamConcat.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXStreamSubfile.h"

#include <algorithm>
#include <cstdint>

namespace {

// Whole blocks are read in pieces of this size: large enough that the span's bytes go from the
// parent straight into the piece, without the concatenation's buffer in between.
constexpr size_t kPieceSize = 64 * 1024;
constexpr size_t kFallbackPieceSize = 4096;

// Digests the span and its padding queued in `chain`; false after a short read.
bool DigestChain(CXStreamConcat& chain, uint64_t padded, CXMD5& md5)
{
    uint8_t fallback[kFallbackPieceSize];
    uint8_t* piece = static_cast<uint8_t*>(CXHeapAlloc(kPieceSize));
    size_t pieceSize = kPieceSize;
    if (piece == nullptr) {
        piece = fallback;
        pieceSize = sizeof fallback;
    }
    bool complete = true;
    for (uint64_t remaining = padded; remaining != 0;) {
        uint64_t wanted = std::min<uint64_t>(remaining, pieceSize);
        if (chain.Read(piece, wanted) != wanted) {
            complete = false;
            break;
        }
        md5.ProcessBlocks(piece, static_cast<size_t>(wanted / CXMD5::kBlockSize));
        remaining -= wanted;
    }
    if (piece != fallback)
        CXHeapFree(piece);
    return complete;
}

} // namespace

CXString MD5HexDigestOfStream(CXStream& stream, uint64_t length)
{
    CXResultCode reason = kCXOK;
    uint8_t digest[CXMD5::kDigestSize];
    {
        // Destroying the span leaves the stream at its end, read or not.
        CXStreamSubfile span;
        span.Open(&stream, length);
        uint8_t paddingBytes[CXMD5::kMaximumPadding];
        size_t paddingLength = CXMD5::MakePadding(length, paddingBytes);
        // A length no stream position can reach would wrap the padded length.
        if (length > static_cast<uint64_t>(INT64_MAX) - CXMD5::kMaximumPadding) {
            CXDebugLog("fail at %d / %d [%d.%d]", 0, static_cast<int>(length + paddingLength), static_cast<int>(length),
                       static_cast<int>(paddingLength));
            reason = kCXBadParameter;
        } else {
            CXStreamStaticBuffer padding;
            if (!padding.Allocate()) {
                reason = kCXNoResources;
            } else {
                (void)padding.Write(paddingBytes, paddingLength);
                (void)padding.Seek(0, CXStream::kSeekSet);
                CXStreamConcat chain;
                chain.AddSource(&span);
                chain.AddSource(&padding);
                uint64_t padded = length + paddingLength;
                CXMD5 md5;
                if (DigestChain(chain, padded, md5)) {
                    md5.GetDigest(digest);
                } else {
                    CXDebugLog("fail at %d / %d [%d.%d]", static_cast<int>(chain.GetPosition()), static_cast<int>(padded),
                               static_cast<int>(length), static_cast<int>(paddingLength));
                    // The chain took the stream's failure up into the span and the chain; it
                    // goes back where the caller looks for it.
                    reason = span.Failed() ? span.GetResult() : chain.Failed() ? chain.GetResult() : kCXEndOfData;
                }
            }
        }
    }
    if (reason != kCXOK) {
        stream.SetResult(reason);
        return CXString();
    }
    return CXString::BytesToHex(digest, sizeof digest);
}

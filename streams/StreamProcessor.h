#pragma once

#include "foundation/CXResultCode.h"

#include <cstdint>

class CXStream;

// Turns bytes into other bytes through a fixed pair of buffers: input is moved in from a stream,
// Process runs the transformation once, and the produced bytes are taken out of the output
// buffer. CXStreamProcessorWrapper pulls a stream through one.
class StreamProcessor {
public:
    virtual ~StreamProcessor() = default;

    // Free bytes in the input buffer.
    virtual uint64_t InputSpace() const = 0;
    // Reads up to n bytes of the stream into the input buffer and keeps all that came. OK when
    // all n came, or when some did and the stream recorded no failure (a stream that delivers in
    // pieces); -5 when n is more than InputSpace (nothing read); after a short read otherwise,
    // the stream's result, or -17 when nothing came and it recorded none.
    virtual CXResultCode WriteStreamToInputBuffer(CXStream& stream, uint64_t n) = 0;
    // Bytes waiting in the output buffer.
    virtual uint64_t OutputAvailable() const = 0;
    // Takes the first n waiting bytes; -5 when fewer wait (nothing taken).
    virtual CXResultCode ReadOutput(void* buffer, uint64_t n) = 0;
    // Writes the first n waiting bytes to the stream; -5 when fewer wait. After a short write the
    // bytes that were written are gone from the buffer and the stream's result (-17 when it
    // recorded none) is returned.
    virtual CXResultCode WriteOutputToStream(CXStream& stream, uint64_t n) = 0;
    // Runs the transformation once. OK: progress was made; -3: the end of the produced stream, or
    // no progress is possible with the input and output room there is; -15: the data are bad;
    // -17: the processor could not be set up.
    virtual CXResultCode Process() = 0;
    // Process, writing the produced bytes straight into the caller's buffer (at most n of them)
    // instead of the output buffer, so that large reads skip a copy and let the transformation work
    // in longer runs. Only while no output is waiting (else -5). `produced` tells how many bytes
    // were written.
    virtual CXResultCode ProcessInto(void* buffer, uint64_t n, uint64_t& produced) = 0;
    // True once the produced stream is complete: a decompressor has met its data's end marker, a
    // compressor has written its own.
    virtual bool ReachedEnd() const = 0;
};

#pragma once

#include "streams/StreamProcessor.h"

#include <cstdint>
#include <zlib.h>

// A zlib processor over two 4096-byte buffers. The unconsumed input is described by the z_stream's
// next_in/avail_in and is moved to the front of the input buffer before new input is added; the
// produced bytes always start at the output buffer's first byte, and the buffer is compacted after
// every take so that zlib writes into one contiguous free tail. Not copyable: the z_stream points
// into the object.
class StreamProcessorZLib : public StreamProcessor {
public:
    static constexpr uint64_t kBufferSize = 4096;

    StreamProcessorZLib(const StreamProcessorZLib&) = delete;
    StreamProcessorZLib& operator=(const StreamProcessorZLib&) = delete;

    uint64_t InputSpace() const override { return kBufferSize - fZStream.avail_in; }
    // Logs "StreamProcessorZLib::WriteStreamToInputBuffer> stream already finished" when the
    // compressor has finished, and reads all the same.
    CXResultCode WriteStreamToInputBuffer(CXStream& stream, uint64_t n) override;
    uint64_t OutputAvailable() const override { return kBufferSize - fZStream.avail_out; }
    CXResultCode ReadOutput(void* buffer, uint64_t n) override;
    CXResultCode WriteOutputToStream(CXStream& stream, uint64_t n) override;
    CXResultCode ProcessInto(void* buffer, uint64_t n, uint64_t& produced) override;
    bool ReachedEnd() const override { return fReachedEnd; }

    // Whether zlib could set up its state; without it every Process gives -17.
    bool IsInitialised() const { return fInitialised; }

protected:
    // Points the z_stream at the empty input and the free output buffer, with zlib's default
    // allocators; the subclass then initialises it.
    StreamProcessorZLib();
    // Drops the first n bytes of the output buffer.
    void DropOutput(uint64_t n);

    uint8_t fInputBuffer[kBufferSize];
    uint8_t fOutputBuffer[kBufferSize];
    z_stream fZStream;
    bool fFinished = false;    // the compressor found no input left and is finishing its stream
    bool fInitialised = false;
    bool fReachedEnd = false;
};

// Inflates data in the zlib format (zlib header, 15-bit window, Adler-32 trailer); neither raw
// deflate data nor gzip. Once the end marker has been read it keeps answering -3.
class StreamProcessorZLibDecompress : public StreamProcessorZLib {
public:
    StreamProcessorZLibDecompress();
    ~StreamProcessorZLibDecompress() override;

    // One inflate call: OK for progress, -3 at the end of the data's stream or when no progress is
    // possible (more input or output room is needed), -15 for bad data, -17 when not initialised.
    CXResultCode Process() override;
};

// Deflates into the zlib format at the default level. A Process that finds the input buffer empty
// finishes the stream: input must be moved in before each Process until the data are used up,
// then Process is called until it gives -3.
class StreamProcessorZLibCompress : public StreamProcessorZLib {
public:
    StreamProcessorZLibCompress();
    ~StreamProcessorZLibCompress() override;

    // One deflate call, finishing the stream once the input buffer was found empty: OK for
    // progress, -3 when the stream is complete, -15 for any other outcome (also no progress
    // possible), -17 when not initialised.
    CXResultCode Process() override;
};

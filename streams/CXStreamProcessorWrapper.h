#pragma once

#include "streams/CXStream.h"
#include "streams/StreamProcessor.h"

#include <cstdint>

// The stream that reads another stream through a processor, so that callers read, say,
// decompressed data as if it were a plain stream. The source and the processor are not owned and
// must outlive the wrapper. The wrapper has no window; its position counts the bytes delivered.
// It cannot be written (-2).
//
// Reads end at the end of the produced stream with -3 and the end-of-data bit. When the source
// ends (-3) before the processor has met the end of its stream, the data were cut short: -15.
// Bad data give -15 as well, and the wrapper then delivers nothing more. Other failures of the
// source are passed on unchanged.
class CXStreamProcessorWrapper : public CXStream {
public:
    // Reads of at least this many bytes, while no output is waiting, let the processor write
    // straight into the caller's buffer.
    static constexpr uint64_t kDirectReadMinimum = 4096;

    // Without a read processor the wrapper cannot be read (-2) and has no read caps bit.
    CXStreamProcessorWrapper(CXStream* source, StreamProcessor* readProcessor);
    // Flushes as Flush(1) does.
    ~CXStreamProcessorWrapper() override;

    // The source's flush.
    CXResultCode Flush(uint32_t hard) override;

protected:
    uint64_t VirtualRead(void* buffer, uint64_t size) override;

private:
    // Moves what the source has into the processor's input: all the room there is, or less when
    // the source knows that fewer bytes are left. False when the read must end (the failure is
    // recorded).
    bool Feed();

    CXStream* fSource;
    StreamProcessor* fReadProcessor;
    bool fInputEnded = false; // the source has nothing more
    bool fBroken = false;     // bad or cut-short data: nothing more is delivered
};

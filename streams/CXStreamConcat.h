#pragma once

#include "streams/CXStream.h"
#include "streams/CXStreamCacheHelper.h"

#include <cstdint>
#include <deque>

// Reads a queue of streams one after the other, buffered like a file. Sources are neither owned
// nor closed: they must outlive the concat. It cannot be written (-2) or seek outside its read
// buffer.
class CXStreamConcat : public CXStream, public CXStreamCacheHelper {
public:
    CXStreamConcat();
    ~CXStreamConcat() override;

    // Queues a source and opens the concat. A source that cannot be read is logged and queued all
    // the same.
    void AddSource(CXStream* source);
    // Frees the buffers and empties the queue. Always OK.
    CXResultCode Close() override;
    // The cache control codes of CXStreamCacheHelper.
    bool Control(uint32_t code, uint64_t value) override;

protected:
    uint64_t VirtualRead(void* buffer, uint64_t size) override { return CachedRead(buffer, size); }

    int64_t NativePosition() override { return static_cast<int64_t>(fDelivered); }
    uint64_t RawWrite(const void* data, uint64_t size, bool setResult, CXResultCode& failure) override;
    // Reads across the sources, dropping each that reports its end. A source that comes up short
    // without reporting its end hands its failure up and ends the read. Coming up short because
    // no source is left records -3 and sets the end-of-data bit (with setResult).
    uint64_t RawRead(void* buffer, uint64_t size, bool setResult) override;
    // Records -11 unless the position asked for is where the sources already are.
    void RawSeek(int64_t position) override;
    uint64_t NativeSize() override { return 0; }
    const char* CacheOwnerName() const override { return "CXStreamConcat"; }

private:
    std::deque<CXStream*> fSources;
    uint64_t fDelivered = 0;
};

#pragma once

#include "foundation/CXMutex.h"
#include "streams/CXStream.h"

#include <cstdint>

// A byte queue that is safe across threads: writers append, readers take from the front and wait
// for a writer while bytes are missing. Close makes it drain-only: readers get what is queued,
// then end of data (-3). With kCapsNonBlocking a read returns what is queued at once.
class CXStreamFIFO : public CXStream {
public:
    CXStreamFIFO();
    // Frees every queued byte.
    ~CXStreamFIFO() override;

    // The bytes queued.
    uint64_t GetSize() override;
    // Takes kCapsNonBlocking only.
    void SetCaps(uint32_t value, uint32_t mask) override;
    // Clears the open bit and wakes every waiting reader. Always OK.
    CXResultCode Close() override;

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override;
    uint64_t VirtualRead(void* buffer, uint64_t size) override;

private:
    struct Chunk;

    Chunk* fHead = nullptr;
    Chunk* fTail = nullptr;
    uint64_t fHeadOffset = 0; // bytes of the head chunk already read
    CXConditionMutex fLock;   // guards everything here, the caps and the result
    bool fWritable = true;
};

#pragma once

#include "foundation/CXMutex.h"
#include "foundation/CXReferenceCount.h"
#include "streams/CXStreamFIFO.h"

#include <memory>

class CXStreamPipe;

// Told when bytes arrive at a pipe end: called on the writer's thread, with the pair's lock held
// (it must not write to either end).
class CXStreamPipeListener : public DynamicReferenceCount {
public:
    virtual void DataArrived(CXStreamPipe* pipe) = 0;
};

// One end of a connected pair: what one end writes, the other reads, each through a FIFO of its
// own, so the two ends may be used from two threads. Closing either end closes both directions:
// each reader gets what is queued, then end of data, and writes are dropped (0 bytes).
class CXStreamPipe : public CXStream {
public:
    CXStreamPipe();
    // Closes the pair.
    ~CXStreamPipe() override;

    // Connects two ends that are not connected yet; false (reported) otherwise.
    static bool Connect(CXStreamPipe& first, CXStreamPipe& second);

    // The listener told of bytes arriving at this end (may be empty).
    void SetListener(const CXAutoReference<CXStreamPipeListener>& listener);

    // The bytes queued for this end.
    uint64_t GetSize() override;
    // Takes kCapsNonBlocking only: a read then returns what is queued at once.
    void SetCaps(uint32_t value, uint32_t mask) override;
    CXResultCode Close() override;

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override;
    uint64_t VirtualRead(void* buffer, uint64_t size) override;

private:
    // One lock for the pair, shared so that either end may go first.
    std::shared_ptr<CXMutex> fLock;
    CXStreamPipe* fPeer = nullptr;
    CXStreamFIFO fInbound;
    CXAutoReference<CXStreamPipeListener> fListener;
};

#pragma once

#include "streams/CXStream.h"

#include <cstdint>

// A window of a given length onto another stream, starting at that stream's position when the
// window is opened: one record of a data file, one checksummed span. The parent is not owned and
// must outlive the window. Closing (or destroying) the window leaves the parent at the window's
// end, however much of it was read, so the next record starts where it should. Without a parent
// every operation records -11.
class CXStreamSubfile : public CXStream {
public:
    CXStreamSubfile();
    // Closes as Close does.
    ~CXStreamSubfile() override;

    // Opens a window of `length` bytes from the parent's current position. Takes the parent's
    // write, size-known and thread-check bits. A parent known to be smaller is logged; the window
    // opens all the same and comes up short at the parent's end.
    void Open(CXStream* parent, uint64_t length);
    // Moves the parent to the window's end and forgets it. OK, or -11 without a parent.
    CXResultCode Close() override;
    // The parent's flush.
    CXResultCode Flush(uint32_t hard) override;
    uint64_t GetSize() override;

protected:
    // Reads at most the room left in the window; asking for more records -3 and sets the
    // end-of-data bit. A parent that comes up short hands its failure up.
    uint64_t VirtualRead(void* buffer, uint64_t size) override;
    uint64_t VirtualWrite(const void* data, uint64_t size) override;
    int64_t VirtualSeekSet(int64_t target) override;

private:
    // The room left in the window (never negative) and the point that stands for the position.
    uint64_t RoomLeft() const;
    // A read or write clipped to the window, with the position and failures handed up.
    template <class Transfer>
    uint64_t TransferInWindow(uint64_t size, Transfer transfer);

    CXStream* fParent = nullptr;
    int64_t fOffset = 0;
    uint64_t fLength = 0;
};

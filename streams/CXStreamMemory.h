#pragma once

#include "foundation/CXFastArray.h"
#include "foundation/CXString.h"
#include "streams/CXStream.h"

#include <cstdint>

// A stream over a memory block of fixed capacity: `length` bytes of it are valid data. Seeking
// past the data stops at its end; writing past the capacity writes what fits and records -3.
class CXStreamStaticBuffer : public CXStream {
public:
    // The size of the block Allocate makes: what the checksum padding needs.
    static constexpr uint64_t kAllocateSize = 72;

    CXStreamStaticBuffer();
    ~CXStreamStaticBuffer() override;

    // Closes first, then opens over the caller's block (which stays the caller's and must outlive
    // the stream) with length cut to the capacity. A null block is logged and records -5; false
    // then.
    bool Open(void* data, uint64_t capacity, uint64_t length);
    // Opens over bytes that must not change; writes record -10. The string form keeps a reference
    // to the string; the pointer form's block must outlive the stream.
    bool OpenReadOnly(const CXString& bytes);
    bool OpenReadOnly(const void* data, uint64_t size);
    // Closes first, then opens over a new block of kAllocateSize bytes that the stream owns,
    // empty. False with -6 when the block cannot be had.
    bool Allocate();

    // Frees an owned block and forgets the block. Always OK.
    CXResultCode Close() override;
    uint64_t GetSize() override;

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override;
    uint64_t VirtualRead(void* buffer, uint64_t size) override;
    // Stops at the end of the data without a failure; a negative target records -5 and goes to 0.
    int64_t VirtualSeekSet(int64_t target) override;

private:
    // Counts the bytes written through the window since the last sync into the length.
    void SyncLength();

    uint8_t* fData = nullptr;
    uint64_t fCapacity = 0;
    uint64_t fLength = 0;
    bool fOwned = false;
    bool fReadOnly = false;
    CXString fHeld;
};

// A growable memory stream, open for its whole life. Its position is the cursor's offset in the
// storage.
class CXStreamDynamicBuffer : public CXStream {
public:
    // Reservations asked for through Control are cut to this: the length they come from is a
    // peer's word, and the storage still grows with the data that really arrive.
    static constexpr uint64_t kReserveMaximum = 64ull * 1024 * 1024;

    CXStreamDynamicBuffer();

    // Grows the storage to hold `total` bytes, in steps of 4096 bytes below 16 KiB and of half
    // the total (rounded down to 4096) above. False when the storage cannot grow that far.
    bool Reserve(uint64_t total);
    uint64_t GetSize() override;
    // 'RESV': reserves room for min(value as a 32-bit count, kReserveMaximum) bytes after the
    // position.
    bool Control(uint32_t code, uint64_t value) override;

protected:
    // Grows as needed; -6 when the storage cannot grow.
    uint64_t VirtualWrite(const void* data, uint64_t size) override;
    uint64_t VirtualRead(void* buffer, uint64_t size) override;
    // A target past the data stops at its end, records -3, sets the end-of-data bit and returns
    // the end. A negative target records -5 and stays.
    int64_t VirtualSeekSet(int64_t target) override;

private:
    void SyncSize();
    // Points the window at the storage as a write window over everything it holds, keeping the
    // cursor's and the high water's offsets.
    void PointWindowAtStorage();
    uint64_t Offset(const uint8_t* pointer) const { return static_cast<uint64_t>(pointer - fWindowStart); }

    FastArray<uint8_t> fBlocks;
    uint64_t fSize = 0;
};

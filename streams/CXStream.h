#pragma once

#include "foundation/CXGenericEvent.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

#include <atomic>
#include <cstdint>

class CXStreamCacheHelper;

// The byte stream every file, memory block, window, chain, decompressor and connection of the
// system is read and written through.
//
// A subclass may lend the base a window onto a memory region: five pointers (start, cursor, write
// limit, high water, read limit) and the stream position of the start. Read, Write, ReadByte and
// Seek are served from the window without a virtual call while a request stays inside it; only
// requests that leave it reach VirtualRead, VirtualWrite or VirtualSeekSet. Without a window all
// five pointers are null. The five pointers always point into one block, or are all null.
//
// Operations return counts; failures are kept in the stream as its last result, which callers
// inspect afterwards. A recorded failure is sticky: only a successful open, a constructor, and a
// chain that hands a child's failure up (resetting the child) ever put OK back.
class CXStream : public CXGenericEventSource {
public:
    // Capability bits: what the stream can do, two state bits and two mode bits.
    static constexpr uint32_t kCapsRead = 0x1;
    static constexpr uint32_t kCapsWrite = 0x2;
    static constexpr uint32_t kCapsSizeKnown = 0x4;          // GetSize gives the total size
    static constexpr uint32_t CAPS_SEEK = 0x8;               // VirtualSeekSet is implemented
    static constexpr uint32_t kCapsPositionKnown = 0x10;     // the window base tracks the position
    static constexpr uint32_t kCapsThreadCheck = 0x20;       // Read and Write check single-thread use
    static constexpr uint32_t kCapsAvailableKnown = 0x40;    // GetSize gives the bytes left to read
    static constexpr uint32_t kCapsSeekInWritten = 0x80;     // Seek may move inside written data
    static constexpr uint32_t kCapsOpen = 0x100;
    static constexpr uint32_t kCapsEndOfData = 0x200;        // a read came up short at the end
    static constexpr uint32_t kCapsNonBlocking = 0x400;

    // Control code asking a growable stream to reserve room for `value` more bytes.
    static constexpr uint32_t kControlReserve = 0x52455356; // 'RESV'
    // Control code asking a stream to cut its data to 0 bytes and move to position 0 (`value`
    // unused). A stream that knows it answers true and records a failure of the cut.
    static constexpr uint32_t kControlTruncate = 0x5452554E; // 'TRUN'

    enum SeekMode { kSeekSet = 0, kSeekCurrent = 1, kSeekEnd = 2 };

    CXStream() = default;
    // Subclasses do their own close work first; the base then deletes the events.
    ~CXStream() override = default;

    // Condition 1: an event set while the end-of-data bit is clear; condition 3: set while the
    // last result is a failure; any other: a plain event.
    CXGenericEvent* CreateEvent(int condition) override;

    // The total size (with kCapsSizeKnown) or the bytes available (with kCapsAvailableKnown); 0
    // otherwise.
    virtual uint64_t GetSize();
    virtual uint64_t WriteBytes(const void* data, uint64_t size);
    // Only streams that allow non-blocking reads take it, and they change bit 0x400 only. The
    // base logs that the stream does not support it.
    virtual void SetCaps(uint32_t value, uint32_t mask);
    // A control request; false when the stream does not know the code.
    virtual bool Control(uint32_t code, uint64_t value);
    // Closes the stream. Returns the failure of the close work (a buffered write that could not
    // be written out, a failed host close), else OK. The base cannot close: -2.
    virtual CXResultCode Close();
    // Writes out buffered data; `hard` 1 also makes a file's data durable (every caller passes
    // 1). Returns the failure of this flush, else OK; the failure is recorded as well.
    virtual CXResultCode Flush(uint32_t hard);

    // Bytes read into buffer (up to size). A null buffer with a non-zero size is logged and
    // reads nothing.
    uint64_t Read(void* buffer, uint64_t size);
    // Bytes written. A null buffer with a non-zero size is logged and writes nothing.
    uint64_t Write(const void* data, uint64_t size);
    // Moves to offset from the start (kSeekSet), the current position or the end (offset +
    // GetSize); returns the new position. Clears the end-of-data bit. An unknown mode is logged
    // and gives 0.
    int64_t Seek(int64_t offset, int mode);
    // The next byte, 0..255; 0 also when nothing could be read (the last result tells which).
    uint8_t ReadByte();
    // Moves count bytes on, by a seek when the stream can seek and knows its position, else by
    // reading in 4096-byte pieces until a read returns nothing. Returns the bytes passed over.
    uint64_t Skip(uint64_t count);
    // Bytes still to read: the available count, or the size less the position; 0 with result -2
    // when the stream knows neither.
    uint64_t BytesRemaining();

    int64_t GetPosition() const { return fWindowBase + (fCursor - fWindowStart); }
    uint32_t GetCaps() const { return fCaps; }
    CXResultCode GetResult() const { return fResult; }
    bool Failed() const { return fResult != kCXOK; }
    // Records a failure; OK is ignored, so a recorded failure is never overwritten.
    void SetResult(CXResultCode result);

protected:
    explicit CXStream(uint32_t caps) : fCaps(caps) {}

    virtual uint64_t VirtualWrite(const void* data, uint64_t size);
    virtual uint64_t VirtualRead(void* buffer, uint64_t size);
    // Moves to an absolute position outside the window; returns the position reached.
    virtual int64_t VirtualSeekSet(int64_t target);

    // For a successful open only.
    void ResetResult() { fResult = kCXOK; }
    // A read came up short at the end: result -3 and the end-of-data bit.
    void MarkEndOfData()
    {
        SetResult(kCXEndOfData);
        fCaps |= kCapsEndOfData;
    }
    // Copies a child's failure into this stream and sets the child's back to OK.
    void HandUpFailure(CXStream& child);

    void SetWindow(uint8_t* start, uint8_t* cursor, uint8_t* writeLimit, uint8_t* highWater, uint8_t* readLimit)
    {
        fWindowStart = start;
        fCursor = cursor;
        fWriteLimit = writeLimit;
        fHighWater = highWater;
        fReadLimit = readLimit;
    }
    void ClearWindow() { SetWindow(nullptr, nullptr, nullptr, nullptr, nullptr); }

    uint32_t fCaps = 0;
    CXResultCode fResult = kCXOK;
    uint8_t* fWindowStart = nullptr;
    uint8_t* fCursor = nullptr;
    uint8_t* fWriteLimit = nullptr;
    uint8_t* fHighWater = nullptr;
    uint8_t* fReadLimit = nullptr;
    int64_t fWindowBase = 0;

private:
    friend class CXStreamCacheHelper;
    // Claimed by Read and Write while kCapsThreadCheck is set.
    std::atomic<bool> fInUse{false};
};

// The stream string encoding: lengths 0..254 as one byte, longer ones as 0xFF and a 32-bit
// big-endian length; then the bytes, no terminator. The routines return the stream so calls
// chain; failures are left in the stream's result.

// Strings longer than this are neither written nor read: every stream string of the system is
// small, and a corrupt length must not make the reader allocate gigabytes.
inline constexpr uint64_t kCXStreamStringMaximum = 64ull * 1024 * 1024;

// A string longer than kCXStreamStringMaximum records -5 and writes nothing.
CXStream& WriteStringToStream(CXStream& stream, const CXStringArgument& string);
// The string, or empty on failure: a failure recorded before the length was read in full
// (nothing more is read then), a length of 0xFFFFFFFF or above kCXStreamStringMaximum (-6), more
// than a sized, positioned stream has left (-12, only the prefix consumed), or a short read (-3
// unless the stream recorded another failure).
CXStream& ReadStringFromStream(CXStream& stream, CXString& string);
CXStream& WriteUInt32BEToStream(CXStream& stream, uint32_t value);
// 8 bytes, most significant first; the value is 0 when fewer than 8 came.
CXStream& ReadUInt64BEFromStream(CXStream& stream, uint64_t& value);

// 4 bytes, most significant first; 0 when fewer than 4 came.
inline uint32_t ReadUInt32BEFromStream(CXStream& stream)
{
    uint8_t bytes[4];
    if (stream.Read(bytes, 4) != 4)
        return 0;
    return (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | uint32_t(bytes[3]);
}

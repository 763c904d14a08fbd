#pragma once

#include "streams/CXStream.h"

#include <cstdint>

// The buffering of a stream over raw input and output (a file handle, a chain of sources). It
// lends its owner's window either a read buffer (write limit at the start, data up to the read
// limit) or a write buffer (read limit at the start, written bytes up to the larger of cursor and
// high water), never both; the owner's window base is always the raw position of the buffer's
// first byte. Small requests are memory copies; requests above half a buffer go straight to the
// raw operations.
class CXStreamCacheHelper {
public:
    static constexpr uint32_t kControlReadKeepBack = 0x4652424F;   // 'FRBO'
    static constexpr uint32_t kControlReadBufferSize = 0x46524253; // 'FRBS'
    static constexpr uint32_t kControlWriteBufferSize = 0x46574253; // 'FWBS'

    explicit CXStreamCacheHelper(CXStream* owner) : fOwner(owner) {}
    // Logs "~CXStreamCacheHelper> caches not flushed" when a buffer is still in place, and frees
    // it (its bytes are lost).
    virtual ~CXStreamCacheHelper();
    CXStreamCacheHelper(const CXStreamCacheHelper&) = delete;
    CXStreamCacheHelper& operator=(const CXStreamCacheHelper&) = delete;

protected:
    // The raw position; failures are recorded and give 0.
    virtual int64_t NativePosition() = 0;
    // Writes until all is written or a call fails; returns the bytes written. A failure is put in
    // `failure` and, with setResult, recorded in the owner.
    virtual uint64_t RawWrite(const void* data, uint64_t size, bool setResult, CXResultCode& failure) = 0;
    // Reads until a call comes up short; with setResult a short read records -3 and sets the
    // end-of-data bit, and a failed call records its failure.
    virtual uint64_t RawRead(void* buffer, uint64_t size, bool setResult) = 0;
    virtual void RawSeek(int64_t position) = 0;
    virtual uint64_t NativeSize() = 0;
    // The class name that begins this stream's diagnostics.
    virtual const char* CacheOwnerName() const = 0;

    // The owner's VirtualRead and VirtualWrite over the buffers.
    uint64_t CachedRead(void* buffer, uint64_t size);
    uint64_t CachedWrite(const void* data, uint64_t size);
    // The size: the cached size or the raw size, raised to the end of the buffered written data.
    uint64_t CachedSize();
    // Takes the 'FRBO', 'FRBS' and 'FWBS' codes; false for any other.
    bool CacheControl(uint32_t code, uint64_t value);

    // Writes out the write buffer and keeps it, emptied. Returns the failure of the write (then
    // also recorded in the owner, and the cached size forgotten), else OK.
    CXResultCode FlushFileWriteBuffer();
    // Writes out and frees the write buffer; returns as FlushFileWriteBuffer.
    CXResultCode FreeWriteBuffer();
    // Frees the read buffer, moving the raw position to the logical one.
    void DropReadBuffer();
    // Writes out the write buffer and frees every buffer without moving the raw position, for a
    // close. Returns the failure of the write, else OK.
    CXResultCode ReleaseBuffers();
    bool HasBuffer() const { return fBlock != nullptr; }

    int64_t fCachedSize = -1; // -1: unknown
    CXStream* fOwner;
    uint64_t fWriteBufferSize = 4096;
    uint64_t fReadBufferSize = 4096;
    uint64_t fReadKeepBack = 128; // bytes of the old read buffer kept in front on a refill

private:
    enum Mode { kNoBuffer, kReadBuffer, kWriteBuffer };

    void FillFileReadBuffer();
    void BeginFileWriteBuffer();
    void AppendToWriteBuffer(const void* data, uint64_t size);
    // Copies what the read buffer holds after the cursor, at most size bytes.
    uint64_t CopyFromReadBuffer(uint8_t* to, uint64_t size);
    void FreeBlock();
    void RaiseCachedSize(int64_t end);

    uint8_t* fBlock = nullptr;
    uint64_t fBlockSize = 0;
    Mode fMode = kNoBuffer;
};

#pragma once

#include "foundation/CXString.h"
#include "streams/CXStream.h"
#include "streams/CXStreamCacheHelper.h"

#include <cstdint>

// A stream over a file of the local file system, buffered through CXStreamCacheHelper: reads and
// writes of up to half a buffer (2048 bytes by default) are served from 4096-byte buffers, larger
// ones go straight to the file. Used by one thread at a time; Read and Write check it.
class CXStreamFile : public CXStream, public CXStreamCacheHelper {
public:
    // Open mode bits.
    static constexpr uint32_t kModeRead = 0x1;
    static constexpr uint32_t kModeWrite = 0x2;     // read and write access
    static constexpr uint32_t kModeCreate = 0x8;    // with write: create when missing
    static constexpr uint32_t kModeTruncate = 0x10; // with write and create: start empty
    static constexpr uint32_t kModeExclusive = 0x40; // with write: claim the path in this process
    // With write: a new file; the open fails (-13) when anything, a link included, is at the path.
    static constexpr uint32_t kModeCreateNew = 0x100;
    // The open fails when the path names a symbolic link, instead of following it.
    static constexpr uint32_t kModeNoFollow = 0x200;

    CXStreamFile();
    // Closes an open file as Close does and releases a claimed path.
    ~CXStreamFile() override;

    // Opens a file by its program path. Modes in use: 0x01 read an existing file; 0x02 write an
    // existing file keeping its contents (fails when missing); 0x0A the same, creating it when
    // missing; 0x0B read and write, creating when missing; 0x1A a new, empty file. With 0x42 the
    // path is claimed process-wide, and a second such open of it fails with -9 until the first
    // stream closes (other processes are not stopped). Without the write bit the stream cannot be
    // written (-10). False on failure, with the result: -11 already open, -7 a path without a
    // host form, or the failure of the host open.
    bool Open(const CXString& path, uint32_t mode);
    // Takes over a descriptor the host layer opened (for instance one resolved below a folder
    // without following links) with the access of mode (kModeRead, or kModeWrite for read and
    // write), at position 0; the stream closes it. False, with -11, when the stream is already open (the
    // descriptor then stays the caller's); false with -5 for a negative descriptor.
    bool AdoptDescriptor(int descriptor, uint32_t mode);

    // Writes out and frees the buffers and closes the file. Returns the failure of writing out
    // the buffered data or of closing, else OK; a closed stream gives OK.
    CXResultCode Close() override;
    // Writes out the write buffer; with `hard` 1 (what every caller passes) on a writable file
    // also makes its data durable. Returns the failure, else OK; -1 when not open.
    CXResultCode Flush(uint32_t hard) override;
    uint64_t GetSize() override;
    // The cache control codes of CXStreamCacheHelper, and kControlTruncate (Truncate).
    bool Control(uint32_t code, uint64_t value) override;
    // Cuts the file to `size` bytes (0 when not given) and moves to that position. Returns the
    // failure, else OK.
    CXResultCode Truncate(uint64_t size = 0);

    uint32_t GetMode() const { return fMode; }

protected:
    uint64_t VirtualWrite(const void* data, uint64_t size) override;
    uint64_t VirtualRead(void* buffer, uint64_t size) override;
    int64_t VirtualSeekSet(int64_t target) override;

    int64_t NativePosition() override;
    uint64_t RawWrite(const void* data, uint64_t size, bool setResult, CXResultCode& failure) override;
    uint64_t RawRead(void* buffer, uint64_t size, bool setResult) override;
    void RawSeek(int64_t position) override;
    uint64_t NativeSize() override;
    const char* CacheOwnerName() const override { return "CXStreamFile"; }

private:
    bool IsOpen() const { return fHandle != -1; }
    // Records the result of a host error; with genericWhenOK an error that maps to OK records
    // -17. Returns what was recorded.
    CXResultCode RecordHostError(int error, bool genericWhenOK);
    bool ClaimPath(const CXString& path);
    void ReleasePath();

    // Host side (CXStreamFileLinux.cpp). Each returns 0 or the host error.
    int HostOpen(const CXString& nativePath, uint32_t mode, bool createAlways);
    int HostClose();
    int HostSeek(int64_t position);
    int HostSync();
    int HostTruncate(uint64_t size);

    int fHandle = -1;
    // Where the next host read or write goes. Reads and writes name it themselves (pread, pwrite),
    // so the descriptor's own position is never used and asking for it costs nothing.
    int64_t fHostPosition = 0;
    uint32_t fMode = 0;
    CXString fClaimedPath;
};

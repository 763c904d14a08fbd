// Emulates a Win32 file handle with a POSIX descriptor through the host layer's file primitives.
// Share modes are not emulated: only the in-process exclusive registry keeps writers apart.
// The file position lives in the stream (pread/pwrite at it), not in the descriptor.
#include "streams/CXStreamFile.h"

#include "foundation/CXHostError.h"
#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <string>

namespace {

// No single host read or write asks for more than this.
constexpr uint64_t kHostPiece = 0x8000000;

} // namespace

int CXStreamFile::HostOpen(const CXString& nativePath, uint32_t mode, bool createAlways)
{
    unsigned flags = (mode & kModeWrite) ? Platform::kOpenWrite : Platform::kOpenRead;
    if ((mode & (kModeCreateNew | kModeWrite)) == (kModeCreateNew | kModeWrite))
        flags |= Platform::kOpenExclusive;
    else if (createAlways)
        flags |= Platform::kOpenCreate | Platform::kOpenTruncate;
    else if ((mode & (kModeCreate | kModeWrite)) == (kModeCreate | kModeWrite))
        flags |= Platform::kOpenCreate;
    if (mode & kModeNoFollow)
        flags |= Platform::kOpenNoFollow;
    int fd = -1;
    int error = Platform::OpenFile(std::string(nativePath.c_str(), nativePath.length()), flags, 0666, fd);
    if (error != 0)
        return error;
    // A folder opens for reading here; as a file stream it must fail as it fails on Windows.
    Platform::FileInfo info;
    if (Platform::StatFile(fd, info) == 0 && info.isDirectory) {
        (void)Platform::CloseFile(fd);
        return EISDIR;
    }
    fHandle = fd;
    fHostPosition = 0;
    return 0;
}

int CXStreamFile::HostClose()
{
    int error = Platform::CloseFile(fHandle);
    fHandle = -1;
    fHostPosition = 0;
    return error;
}

int CXStreamFile::HostSeek(int64_t position)
{
    if (position < 0)
        return EINVAL;
    fHostPosition = position;
    return 0;
}

int CXStreamFile::HostSync()
{
    return Platform::SyncFile(fHandle);
}

int CXStreamFile::HostTruncate(uint64_t size)
{
    return Platform::TruncateFile(fHandle, size);
}

int64_t CXStreamFile::NativePosition()
{
    return fHostPosition;
}

uint64_t CXStreamFile::RawWrite(const void* data, uint64_t size, bool setResult, CXResultCode& failure)
{
    const uint8_t* in = static_cast<const uint8_t*>(data);
    uint64_t total = 0;
    while (total < size) {
        uint64_t piece = std::min(kHostPiece, size - total);
        size_t written = 0;
        int error = Platform::WriteFileAt(fHandle, in + total, static_cast<size_t>(piece), fHostPosition, written);
        total += written;
        fHostPosition += static_cast<int64_t>(written);
        if (error != 0) {
            failure = CXResultFromHostError(error);
            if (failure == kCXOK)
                failure = kCXSystemError;
            if (setResult)
                SetResult(failure);
            break;
        }
    }
    return total;
}

uint64_t CXStreamFile::RawRead(void* buffer, uint64_t size, bool setResult)
{
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint64_t total = 0;
    while (total < size) {
        uint64_t piece = std::min(kHostPiece, size - total);
        size_t got = 0;
        int error = Platform::ReadFileAt(fHandle, out + total, static_cast<size_t>(piece), fHostPosition, got);
        if (error != 0) {
            if (setResult)
                (void)RecordHostError(error, false);
            break;
        }
        total += got;
        fHostPosition += static_cast<int64_t>(got);
        if (got < piece) {
            if (setResult) {
                MarkEndOfData();
            }
            break;
        }
    }
    return total;
}

void CXStreamFile::RawSeek(int64_t position)
{
    int error = HostSeek(position);
    if (error != 0)
        (void)RecordHostError(error, true);
}

uint64_t CXStreamFile::NativeSize()
{
    if (!IsOpen())
        return 0;
    Platform::FileInfo info;
    int error = Platform::StatFile(fHandle, info);
    if (error != 0) {
        (void)RecordHostError(error, false);
        return 0;
    }
    return info.size;
}

// Whole-file reads with a size bound, and whole-file writes that replace a file atomically (write a
// temporary file beside it, sync, rename). A crash can leave the temporary file behind, never a torn file.
#include "platform/AtomicFile.h"

#include "platform/File.h"

#include <atomic>
#include <cerrno>
#include <unistd.h>

namespace Platform {

int ReadWholeFile(const std::string& path, size_t limit, std::string& text)
{
    text.clear();
    int fd;
    int error = OpenFile(path, kOpenRead, 0, fd);
    if (error != 0)
        return error;
    char buffer[65536];
    for (;;) {
        size_t n = 0;
        error = ReadFile(fd, buffer, sizeof buffer, n);
        if (error != 0 || n == 0)
            break;
        if (text.size() + n > limit) {
            text.append(buffer, limit - text.size());
            error = EFBIG;
            break;
        }
        text.append(buffer, n);
    }
    int closeError = CloseFile(fd);
    return error != 0 ? error : closeError;
}

std::string AtomicTemporaryName(const std::string& path)
{
    static std::atomic<unsigned long> counter{0};
    return path + ".tmp-" + std::to_string(static_cast<long>(getpid())) + "-" + std::to_string(counter++);
}

bool IsAtomicTemporaryName(std::string_view name, std::string_view leaf)
{
    return name.size() > leaf.size() + 5 && name.substr(0, leaf.size()) == leaf &&
           name.substr(leaf.size(), 5) == ".tmp-";
}

int WriteFileAtomically(const std::string& path, std::string_view text, unsigned mode, long long giveToUid,
                        long long giveToGid)
{
    if (path.empty())
        return ENOENT;
    std::string temporary = AtomicTemporaryName(path);
    int fd;
    int error = OpenFile(temporary, kOpenWrite | kOpenExclusive, mode, fd);
    if (error != 0)
        return error;
    size_t written;
    error = WriteFile(fd, text.data(), text.size(), written);
    if (error == 0 && giveToUid >= 0 && fchown(fd, static_cast<uid_t>(giveToUid), static_cast<gid_t>(giveToGid)) < 0)
        error = errno;
    if (error == 0)
        error = SyncFile(fd);
    int closeError = CloseFile(fd);
    if (error == 0)
        error = closeError;
    if (error == 0)
        error = RenameReplace(temporary, path);
    if (error != 0) {
        (void)UnlinkPath(temporary);
        return error;
    }
    // The rename is durable once the folder is synced; a failure here loses nothing already read.
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (OpenFile(folder, kOpenDirectory, 0, fd) == 0) {
        (void)SyncFile(fd);
        (void)CloseFile(fd);
    }
    return 0;
}

} // namespace Platform

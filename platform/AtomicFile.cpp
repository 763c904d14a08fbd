// Whole-file reads with a size bound, and whole-file writes that replace a file atomically (write a
// temporary file beside it, sync, rename). A crash can leave the temporary file behind, never a
// torn file; the next write of the same file removes what writers that died left.
#include "platform/AtomicFile.h"

#include "platform/File.h"

#include <atomic>
#include <cerrno>
#include <limits>
#include <signal.h>
#include <unistd.h>
#include <vector>

namespace Platform {

namespace {

// Tries of fresh temporary names when one is taken: a process that died with this process's id
// may have left the next names behind.
constexpr int kTemporaryNameTries = 16;

// A decimal number without leading zeros, at most max.
bool ParseDecimal(std::string_view digits, unsigned long long max, unsigned long long& value)
{
    value = 0;
    if (digits.empty() || (digits[0] == '0' && digits.size() > 1))
        return false;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

// False only when no process has the id; one of another user (EPERM) exists.
bool ProcessExists(long pid)
{
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

void SplitFolderAndLeaf(const std::string& path, std::string& folder, std::string& leaf)
{
    size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    leaf = slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes text to a new temporary file of path (never to one that exists) and syncs it; temporary
// is its name. Returns 0 or the errno value, with nothing left behind on failure.
int WriteTemporary(const std::string& path, std::string_view text, unsigned mode, long long giveToUid,
                   long long giveToGid, std::string& temporary)
{
    int fd = -1;
    int error = EEXIST;
    for (int i = 0; i < kTemporaryNameTries && error == EEXIST; ++i) {
        temporary = AtomicTemporaryName(path);
        error = OpenFile(temporary, kOpenWrite | kOpenExclusive, mode, fd);
    }
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
    if (error != 0)
        (void)UnlinkPath(temporary);
    return error;
}

} // namespace

int ReadWholeFile(const std::string& path, size_t limit, std::string& text)
{
    text.clear();
    int fd;
    int error = OpenFile(path, kOpenRead, 0, fd);
    if (error != 0)
        return error;
    error = ReadWholeFile(fd, limit, text);
    int closeError = CloseFile(fd);
    return error != 0 ? error : closeError;
}

int ReadWholeFile(int fd, size_t limit, std::string& text)
{
    text.clear();
    char buffer[65536];
    for (;;) {
        size_t n = 0;
        int error = ReadFile(fd, buffer, sizeof buffer, n);
        if (error != 0 || n == 0)
            return error;
        if (text.size() + n > limit) {
            text.append(buffer, limit - text.size());
            return EFBIG;
        }
        text.append(buffer, n);
    }
}

std::string AtomicTemporaryName(const std::string& path)
{
    static std::atomic<unsigned long> counter{0};
    return path + ".tmp-" + std::to_string(static_cast<long>(getpid())) + "-" + std::to_string(counter++);
}

bool IsAtomicTemporaryName(std::string_view name, std::string_view leaf, long& pid)
{
    pid = 0;
    constexpr std::string_view kMark = ".tmp-";
    if (leaf.empty() || name.size() <= leaf.size() + kMark.size() || name.substr(0, leaf.size()) != leaf ||
        name.substr(leaf.size(), kMark.size()) != kMark)
        return false;
    std::string_view numbers = name.substr(leaf.size() + kMark.size());
    size_t dash = numbers.find('-');
    unsigned long long process, call;
    if (dash == std::string_view::npos ||
        !ParseDecimal(numbers.substr(0, dash), static_cast<unsigned long long>(std::numeric_limits<pid_t>::max()), process) ||
        process == 0 || !ParseDecimal(numbers.substr(dash + 1), std::numeric_limits<unsigned long>::max(), call))
        return false;
    pid = static_cast<long>(process);
    return true;
}

void RemoveAtomicLeftovers(const std::string& path)
{
    std::string folder, leaf;
    SplitFolderAndLeaf(path, folder, leaf);
    std::vector<DirectoryEntry> entries;
    if (leaf.empty() || ListDirectory(folder, entries) != 0)
        return;
    for (const DirectoryEntry& entry : entries) {
        long pid;
        if (entry.isDirectory || entry.isLink || !IsAtomicTemporaryName(entry.name, leaf, pid) || ProcessExists(pid))
            continue;
        // unlink never follows a link, should one have been swapped in since the listing.
        (void)UnlinkPath((folder == "/" ? std::string() : folder) + "/" + entry.name);
    }
}

int WriteFileAtomically(const std::string& path, std::string_view text, unsigned mode, long long giveToUid,
                        long long giveToGid)
{
    if (path.empty())
        return ENOENT;
    RemoveAtomicLeftovers(path);
    std::string temporary;
    int error = WriteTemporary(path, text, mode, giveToUid, giveToGid, temporary);
    if (error != 0)
        return error;
    error = RenameReplace(temporary, path);
    if (error != 0) {
        (void)UnlinkPath(temporary);
        return error;
    }
    // The rename is durable once the folder is synced; a failure here loses nothing already read.
    std::string folder, leaf;
    SplitFolderAndLeaf(path, folder, leaf);
    int fd;
    if (OpenFile(folder, kOpenDirectory, 0, fd) == 0) {
        (void)SyncFile(fd);
        (void)CloseFile(fd);
    }
    return 0;
}

} // namespace Platform

#include "platform/File.h"
#include "support/ScratchFolder.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace Platform;

class FileTest : public testing::Test {
protected:
    void TearDown() override { ClearFaults(); }

    static void Put(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Get(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    ScratchFolder fScratch;
};

TEST_F(FileTest, OpenReadWriteSeekTruncate)
{
    std::string path = fScratch / "f";
    int fd;
    ASSERT_EQ(OpenFile(path, kOpenRead, 0644, fd), ENOENT);
    EXPECT_EQ(fd, -1);
    ASSERT_EQ(OpenFile(path, kOpenWrite | kOpenCreate, 0644, fd), 0);
    size_t n;
    ASSERT_EQ(WriteFile(fd, "hello world", 11, n), 0);
    EXPECT_EQ(n, 11u);
    int64_t position;
    ASSERT_EQ(SeekFile(fd, 6, kSeekSet, position), 0);
    char buffer[16] = {};
    ASSERT_EQ(ReadFile(fd, buffer, sizeof buffer, n), 0);
    EXPECT_EQ(std::string(buffer, n), "world");
    ASSERT_EQ(ReadFile(fd, buffer, sizeof buffer, n), 0);
    EXPECT_EQ(n, 0u) << "the end reads as 0 bytes, not as an error";
    ASSERT_EQ(TruncateFile(fd, 5), 0);
    ASSERT_EQ(SyncFile(fd), 0);
    FileInfo info;
    ASSERT_EQ(StatFile(fd, info), 0);
    EXPECT_EQ(info.size, 5u);
    EXPECT_TRUE(info.isFile);
    EXPECT_EQ(CloseFile(fd), 0);
    EXPECT_EQ(Get(path), "hello");

    ASSERT_EQ(OpenFile(path, kOpenWrite | kOpenExclusive, 0644, fd), EEXIST);
    ASSERT_EQ(OpenFile("", kOpenRead, 0, fd), ENOENT);
}

TEST_F(FileTest, FaultSeamFailsTheNthCall)
{
    std::string path = fScratch / "f";
    int fd;
    ASSERT_EQ(OpenFile(path, kOpenWrite | kOpenCreate, 0644, fd), 0);
    ArmFault(kFaultWrite, 2, ENOSPC);
    size_t n;
    EXPECT_EQ(WriteFile(fd, "abc", 3, n), 0);
    EXPECT_EQ(WriteFile(fd, "def", 3, n), ENOSPC);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(WriteFile(fd, "ghi", 3, n), 0) << "only the Nth call fails";
    EXPECT_EQ(FaultSeamCalls(kFaultWrite), 3);

    ArmFault(kFaultWrite, 1, EIO, 2);
    EXPECT_EQ(WriteFile(fd, "12345", 5, n), EIO);
    EXPECT_EQ(n, 3u) << "a short write lets all but the last bytes through";
    EXPECT_EQ(CloseFile(fd), 0);
    EXPECT_EQ(Get(path), "abcghi123");

    ArmFault(kFaultOpen, 1, EMFILE);
    EXPECT_EQ(OpenFile(path, kOpenRead, 0, fd), EMFILE);
    EXPECT_EQ(fd, -1);
}

TEST_F(FileTest, FaultSeamActionRunsAtTheNthCallOfAnyKind)
{
    std::string path = fScratch / "f";
    struct Seen {
        int totalAtAction = -1;
    } seen;
    ArmFaultAction(3, [](void* context) { static_cast<Seen*>(context)->totalAtAction = FaultSeamTotalCalls(); }, &seen);
    int fd;
    ASSERT_EQ(OpenFile(path, kOpenWrite | kOpenCreate, 0644, fd), 0);
    size_t n;
    EXPECT_EQ(WriteFile(fd, "abc", 3, n), 0);
    EXPECT_EQ(seen.totalAtAction, -1);
    EXPECT_EQ(CloseFile(fd), 0) << "the call at which the action runs goes on as usual";
    EXPECT_EQ(seen.totalAtAction, 3);
    FileInfo info;
    EXPECT_EQ(StatPath(path, info), 0);
    EXPECT_EQ(FaultSeamTotalCalls(), 4);
    EXPECT_EQ(seen.totalAtAction, 3) << "the action runs once";
    EXPECT_EQ(Get(path), "abc");

    // The kill action ends the process before the call does anything.
    ClearFaults();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ArmFaultAction(2, KillProcessAction, nullptr);
        int descriptor;
        (void)OpenFile(path + ".1", kOpenWrite | kOpenCreate, 0644, descriptor);
        (void)OpenFile(path + ".2", kOpenWrite | kOpenCreate, 0644, descriptor);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_TRUE(std::filesystem::exists(path + ".1"));
    EXPECT_FALSE(std::filesystem::exists(path + ".2"));
}

TEST_F(FileTest, RenameNeverReplaces)
{
    std::string a = fScratch / "a", b = fScratch / "b", c = fScratch / "c";
    Put(a, "A");
    Put(b, "B");
    EXPECT_EQ(RenameNoReplace(a, b), EEXIST);
    EXPECT_EQ(Get(b), "B");
    EXPECT_EQ(RenameNoReplace(a, c), 0);
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_EQ(Get(c), "A");

    std::filesystem::create_directory(fScratch / "d1");
    std::filesystem::create_directory(fScratch / "d2");
    EXPECT_EQ(RenameNoReplace(fScratch / "d1", fScratch / "d2"), EEXIST) << "not even over an empty folder";
    EXPECT_EQ(RenameNoReplace(fScratch / "d1", fScratch / "d3"), 0);

    EXPECT_EQ(RenameReplace(c, b), 0);
    EXPECT_EQ(Get(b), "A");
    EXPECT_EQ(RenameNoReplace(fScratch / "missing", fScratch / "x"), ENOENT);
}

TEST_F(FileTest, FoldersAndListing)
{
    std::string dir = fScratch / "dir";
    ASSERT_EQ(MakeDirectory(dir, 0755), 0);
    EXPECT_EQ(MakeDirectory(dir, 0755), EEXIST);
    Put(dir + "/file", "x");
    ASSERT_EQ(MakeDirectory(dir + "/sub", 0755), 0);
    std::filesystem::create_directory_symlink(dir + "/sub", dir + "/link");
    std::vector<DirectoryEntry> entries;
    ASSERT_EQ(ListDirectory(dir, entries), 0);
    std::sort(entries.begin(), entries.end(), [](auto& x, auto& y) { return x.name < y.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "file");
    EXPECT_FALSE(entries[0].isDirectory);
    EXPECT_EQ(entries[1].name, "link");
    EXPECT_TRUE(entries[1].isLink);
    EXPECT_FALSE(entries[1].isDirectory) << "a link to a folder is not a folder";
    EXPECT_EQ(entries[2].name, "sub");
    EXPECT_TRUE(entries[2].isDirectory);

    FileInfo info;
    ASSERT_EQ(LinkStatPath(dir + "/link", info), 0);
    EXPECT_TRUE(info.isLink);
    ASSERT_EQ(StatPath(dir + "/link", info), 0);
    EXPECT_TRUE(info.isDirectory);

    EXPECT_EQ(RemoveDirectory(dir), ENOTEMPTY);
    EXPECT_EQ(ChangeMode(dir + "/file", 0600), 0);
    ASSERT_EQ(StatPath(dir + "/file", info), 0);
    EXPECT_EQ(info.mode, 0600u);
    EXPECT_EQ(UnlinkPath(dir + "/link"), 0);
    EXPECT_TRUE(std::filesystem::exists(dir + "/sub")) << "unlinking a link leaves its target";
    EXPECT_EQ(ListDirectory(dir + "/file", entries), ENOTDIR);
}

} // namespace

namespace {

TEST(FileLinkTest, ModeChangesNeverFollowALink)
{
    ScratchFolder scratch;
    std::string target = scratch / "target";
    std::ofstream(target) << "x";
    std::filesystem::permissions(target, std::filesystem::perms(0600));
    std::filesystem::create_symlink(target, scratch / "link");
    EXPECT_EQ(Platform::ChangeMode(scratch / "link", 0777), ELOOP);
    EXPECT_EQ(static_cast<unsigned>(std::filesystem::status(target).permissions()) & 0777, 0600u);
    EXPECT_EQ(Platform::ChangeMode(target, 0640), 0);
    EXPECT_EQ(static_cast<unsigned>(std::filesystem::status(target).permissions()) & 0777, 0640u);
}

} // namespace

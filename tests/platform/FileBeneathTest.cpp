#include "platform/FileBeneath.h"

#include "support/ScratchFolder.h"
#include "support/TreeSnapshot.h"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace Platform;

namespace {

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Runs each test twice: through openat2 and through the component walk.
class FileBeneathTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        SetBeneathWalkForTesting(GetParam());
        root = scratch / "root";
        outside = scratch / "outside";
        mkdir(root.c_str(), 0755);
        mkdir(outside.c_str(), 0755);
        mkdir((root + "/a").c_str(), 0755);
        mkdir((root + "/a/b").c_str(), 0755);
        WriteText(root + "/a/b/file", "inside");
        WriteText(root + "/src", "source");
        WriteText(outside + "/secret", "outside");
        mkdir((outside + "/b").c_str(), 0755);
        WriteText(outside + "/b/file", "outside b");
        chmod((outside + "/secret").c_str(), 0600);
    }
    void TearDown() override { SetBeneathWalkForTesting(false); }

    // Every operation of the family on the path; each must fail without touching the outside.
    // With last, the link is the path's last component, and names beside it are plain paths.
    void ExpectEveryCallRefused(const std::string& relative, bool last, const char* label)
    {
        TreeSnapshot before(outside);
        int fd = -1;
        EXPECT_NE(0, OpenBeneath(root, relative, kOpenRead, 0, fd)) << label;
        EXPECT_NE(0, OpenBeneath(root, relative, kOpenWrite, 0, fd)) << label;
        EXPECT_NE(0, OpenBeneath(root, relative, kOpenWrite | kOpenCreate | kOpenTruncate, 0644, fd)) << label;
        EXPECT_NE(0, OpenBeneath(root, relative, kOpenWrite | kOpenExclusive, 0644, fd)) << label;
        EXPECT_NE(0, OpenBeneath(root, relative, kOpenDirectory, 0, fd)) << label;
        EXPECT_EQ(-1, fd);
        EXPECT_NE(0, ChangeModeBeneath(root, relative, 0777)) << label;
        EXPECT_NE(0, MakeDirectoryBeneath(root, relative, 0755)) << label;
        EXPECT_NE(0, RenameBeneath(root, relative, "src")) << label;
        if (!last) {
            EXPECT_NE(0, RenameBeneath(root, "moved", relative)) << label;
            EXPECT_NE(0, UnlinkBeneath(root, relative)) << label;
            EXPECT_NE(0, RemoveDirectoryBeneath(root, relative)) << label;
        }
        EXPECT_EQ(TreeSnapshot(outside), before) << label;
    }

    ScratchFolder scratch;
    std::string root;
    std::string outside;
};

TEST_P(FileBeneathTest, WorksOnPlainPaths)
{
    int fd = -1;
    ASSERT_EQ(0, OpenBeneath(root, "a/b/new", kOpenWrite | kOpenExclusive, 0644, fd));
    size_t written = 0;
    ASSERT_EQ(0, WriteFile(fd, "abc", 3, written));
    ASSERT_EQ(0, CloseFile(fd));
    EXPECT_EQ(EEXIST, OpenBeneath(root, "a/b/new", kOpenWrite | kOpenExclusive, 0644, fd));

    FileInfo info;
    ASSERT_EQ(0, StatBeneath(root, "a/b/new", info));
    EXPECT_TRUE(info.isFile);
    EXPECT_EQ(3u, info.size);
    ASSERT_EQ(0, StatBeneath(root, "", info));
    EXPECT_TRUE(info.isDirectory);

    ASSERT_EQ(0, ChangeModeBeneath(root, "a/b/new", 0751));
    ASSERT_EQ(0, StatBeneath(root, "a/b/new", info));
    EXPECT_EQ(0751u, info.mode);

    EXPECT_EQ(EEXIST, RenameBeneath(root, "a/b/file", "a/b/new"));
    ASSERT_EQ(0, RenameBeneath(root, "a/moved", "a/b/new"));
    ASSERT_EQ(0, MakeDirectoryBeneath(root, "a/c", 0755));
    std::vector<DirectoryEntry> entries;
    ASSERT_EQ(0, ListDirectoryBeneath(root, "a", entries));
    EXPECT_EQ(3u, entries.size());
    EXPECT_EQ(ENOTEMPTY, RemoveDirectoryBeneath(root, "a/b"));
    ASSERT_EQ(0, RemoveDirectoryBeneath(root, "a/c"));
    ASSERT_EQ(0, UnlinkBeneath(root, "a/moved"));
    EXPECT_EQ(ENOENT, StatBeneath(root, "a/moved", info));

    ASSERT_EQ(0, OpenBeneath(root, "", kOpenDirectory, 0, fd));
    EXPECT_EQ(0, SyncFile(fd));
    EXPECT_EQ(0, CloseFile(fd));
}

TEST_P(FileBeneathTest, RefusesMalformedRelativePaths)
{
    const char* cases[] = {"/etc/passwd", "../outside/secret", "a/../../outside/secret", "a//b/file", "./a/b/file",
                           "a/b/file/", "a/./b/file"};
    FileInfo info;
    for (const char* relative : cases)
        EXPECT_EQ(EINVAL, StatBeneath(root, relative, info)) << relative;
    EXPECT_EQ(EINVAL, UnlinkBeneath(root, ""));
    EXPECT_EQ(EINVAL, StatBeneath(root, std::string("a\0b", 3), info));
}

TEST_P(FileBeneathTest, LinkAtAnyComponentIsNeverFollowed)
{
    struct Case {
        const char* link;     // where the link is planted (the original moved aside first)
        const char* target;   // where it points
        const char* relative; // the path then used
    };
    const Case cases[] = {
        {"a", "outside", "a/b/secret"},
        {"a/b", "outside/b", "a/b/file"},
        {"a/b", "outside", "a/b/secret"},
        {"a/b/file", "outside/secret", "a/b/file"},
    };
    for (const Case& c : cases) {
        std::string planted = root + "/" + c.link;
        ASSERT_EQ(0, rename(planted.c_str(), (planted + ".orig").c_str()));
        ASSERT_EQ(0, symlink((scratch / c.target).c_str(), planted.c_str()));
        ExpectEveryCallRefused(c.relative, std::string(c.link) == c.relative, c.link);
        FileInfo info;
        if (std::string(c.link) == c.relative) {
            // The last component: stat describes the link itself, unlink removes only the link.
            ASSERT_EQ(0, StatBeneath(root, c.relative, info));
            EXPECT_TRUE(info.isLink);
        } else {
            EXPECT_EQ(ELOOP, StatBeneath(root, c.relative, info)) << c.link;
        }
        std::vector<DirectoryEntry> entries;
        EXPECT_EQ(ELOOP, ListDirectoryBeneath(root, c.link, entries)) << c.link;
        TreeSnapshot before(outside);
        ASSERT_EQ(0, UnlinkBeneath(root, c.link));
        EXPECT_EQ(TreeSnapshot(outside), before);
        ASSERT_EQ(0, rename((planted + ".orig").c_str(), planted.c_str()));
    }
}

TEST_P(FileBeneathTest, FifoIsRefusedWithoutBlocking)
{
    ASSERT_EQ(0, mkfifo((root + "/a/fifo").c_str(), 0644));
    int fd = -1;
    EXPECT_EQ(EINVAL, OpenBeneath(root, "a/fifo", kOpenRead, 0, fd));
    EXPECT_EQ(-1, fd);
}

TEST_P(FileBeneathTest, PassesTheFaultSeam)
{
    ArmFault(kFaultRename, 2, EBUSY);
    EXPECT_EQ(0, RenameBeneath(root, "a/one", "a/b/file"));
    EXPECT_EQ(EBUSY, RenameBeneath(root, "a/two", "a/one"));
    EXPECT_EQ(2, FaultSeamCalls(kFaultRename));
    ClearFaults();
}

INSTANTIATE_TEST_SUITE_P(Resolve, FileBeneathTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Walk" : "Openat2"; });

} // namespace

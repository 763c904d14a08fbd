#include "platform/AtomicFile.h"
#include "support/ScratchFolder.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace Platform;
namespace fs = std::filesystem;

void Put(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The id of a child that has ended and been waited for: no process has it (until the system hands
// it out again, which it does only after going round all the others).
pid_t EndedChildPid()
{
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    return child;
}

// A child that lives until the object dies: it waits for the end of a pipe.
class LiveChild {
public:
    LiveChild()
    {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        fPid = fork();
        if (fPid == 0) {
            close(ends[1]);
            char byte;
            while (read(ends[0], &byte, 1) != 0) {
            }
            _exit(0);
        }
        close(ends[0]);
        fWriteEnd = ends[1];
    }
    ~LiveChild()
    {
        close(fWriteEnd);
        int status;
        (void)waitpid(fPid, &status, 0);
    }
    LiveChild(const LiveChild&) = delete;
    LiveChild& operator=(const LiveChild&) = delete;

    pid_t Pid() const { return fPid; }

private:
    pid_t fPid = -1;
    int fWriteEnd = -1;
};

TEST(AtomicFileTest, WriteRemovesOnlyTheLeftoversOfDeadWriters)
{
    ScratchFolder scratch;
    const std::string folder = scratch / "tmp";
    const std::string outside = scratch / "outside.txt";
    fs::create_directories(folder);
    Put(outside, "not the writer's");
    const std::string leaf = "mervane-log.txt";
    const std::string path = folder + "/" + leaf;
    Put(path, "old log");

    LiveChild live;
    const std::string dead = std::to_string(EndedChildPid());
    const std::string self = std::to_string(getpid());
    // A pid beyond the largest the kernel hands out (pid_max is at most 2^22) is never alive.
    const std::string neverAlive = "4194305";
    struct Case {
        std::string name;
        bool removed;
    };
    const Case cases[] = {
        {leaf + ".tmp-" + dead + "-0", true},
        {leaf + ".tmp-" + dead + "-12", true},
        {leaf + ".tmp-" + neverAlive + "-3", true},
        // Another running writer's file, and this process's own.
        {leaf + ".tmp-" + std::to_string(live.Pid()) + "-0", false},
        {leaf + ".tmp-" + self + "-999999", false},
        {leaf + ".tmp-1-0", false},
        // Not exactly the pattern of this file.
        {leaf + ".tmp-", false},
        {leaf + ".tmp-" + dead, false},
        {leaf + ".tmp-" + dead + "-", false},
        {leaf + ".tmp-" + dead + "-0x", false},
        {leaf + ".tmp-" + dead + "-0.bak", false},
        {leaf + ".tmp-" + dead + "-00", false},
        {leaf + ".tmp-0" + dead + "-0", false},
        {leaf + ".tmp-0-0", false},
        {leaf + ".tmp--" + dead + "-0", false},
        {leaf + ".tmp-+" + dead + "-0", false},
        {leaf + ".tmp-99999999999-0", false},
        {leaf + ".tmp-" + dead + "-99999999999999999999999", false},
        {leaf + ".TMP-" + dead + "-0", false},
        {leaf + ".bak.tmp-" + dead + "-0", false},
        {"x" + leaf + ".tmp-" + dead + "-0", false},
        {"settings.dat.tmp-" + dead + "-0", false},
        {".tmp-" + dead + "-0", false},
    };
    for (const Case& c : cases)
        Put(folder + "/" + c.name, "half");
    // Named like a leftover of a dead writer, but a link and a folder: neither is touched.
    const std::string link = leaf + ".tmp-" + dead + "-1";
    fs::create_symlink(outside, folder + "/" + link);
    const std::string subfolder = leaf + ".tmp-" + dead + "-2";
    fs::create_directories(folder + "/" + subfolder);
    Put(folder + "/" + subfolder + "/inside", "kept");

    ASSERT_EQ(WriteFileAtomically(path, "new log", 0644), 0);

    std::vector<std::string> expected = {leaf, link, subfolder};
    for (const Case& c : cases)
        if (!c.removed)
            expected.push_back(c.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(folder), expected);
    EXPECT_EQ(Get(path), "new log");
    EXPECT_EQ(Get(outside), "not the writer's");
    EXPECT_EQ(Get(folder + "/" + subfolder + "/inside"), "kept");
}

TEST(AtomicFileTest, TemporaryNamesRoundTrip)
{
    long pid = 0;
    std::string name = AtomicTemporaryName("/some/folder/settings.dat");
    ASSERT_EQ(name.rfind("/some/folder/", 0), 0u);
    EXPECT_TRUE(IsAtomicTemporaryName(name.substr(13), "settings.dat", pid)) << name;
    EXPECT_EQ(pid, static_cast<long>(getpid()));
    EXPECT_FALSE(IsAtomicTemporaryName(name.substr(13), "settings", pid));
    EXPECT_FALSE(IsAtomicTemporaryName(name.substr(13), "", pid));
}

// A process that died with this process's id leaves names this process would pick next: the write
// passes over them, and they stay, since a process with that id is alive.
TEST(AtomicFileTest, TakenTemporaryNamesArePassedOver)
{
    ScratchFolder scratch;
    const std::string path = scratch / "settings.dat";
    std::string next = AtomicTemporaryName(path);
    size_t dash = next.rfind('-');
    unsigned long counter = std::stoul(next.substr(dash + 1));
    std::vector<std::string> expected = {"settings.dat"};
    for (unsigned long n = counter + 1; n <= counter + 3; ++n) {
        std::string taken = next.substr(0, dash + 1) + std::to_string(n);
        Put(taken, "a dead writer's");
        expected.push_back(taken.substr(scratch.Path().size() + 1));
    }
    std::sort(expected.begin(), expected.end());

    ASSERT_EQ(WriteFileAtomically(path, "saved", 0600), 0);
    EXPECT_EQ(Get(path), "saved");
    EXPECT_EQ(Names(scratch.Path()), expected);
}

} // namespace

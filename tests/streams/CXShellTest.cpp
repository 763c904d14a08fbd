#include "streams/CXShell.h"
#include "support/WaitFor.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string ReadAll(CXShell& shell)
{
    std::string text;
    char buffer[100];
    for (;;) {
        uint64_t n = shell.Read(buffer, sizeof buffer);
        text.append(buffer, static_cast<size_t>(n));
        if (n == 0)
            break;
    }
    return text;
}

TEST(CXShellTest, TalksToAChild)
{
    CXShell shell("cat", {});
    ASSERT_EQ(shell.GetResult(), kCXOK);
    EXPECT_TRUE(shell.IsRunning());
    EXPECT_EQ(shell.GetExitCode(), -1);
    EXPECT_EQ(shell.Write("hello\n", 6), 6u);
    EXPECT_GE(shell.GetSize(), 1u);
    shell.CloseInput();
    EXPECT_EQ(ReadAll(shell), "hello\n");
    EXPECT_EQ(shell.GetResult(), kCXEndOfData);
    EXPECT_TRUE(shell.GetCaps() & CXStream::kCapsEndOfData);
    ASSERT_TRUE(WaitFor([&] { return !shell.IsRunning(); }));
    EXPECT_EQ(shell.GetExitCode(), 0);
    EXPECT_EQ(shell.Write("late", 4), 0u) << "the input is closed";
}

TEST(CXShellTest, ExitCodesAndMissingPrograms)
{
    CXShell failing("sh", {"-c", "echo out; exit 3"});
    EXPECT_EQ(ReadAll(failing), "out\n");
    ASSERT_TRUE(WaitFor([&] { return !failing.IsRunning(); }));
    EXPECT_EQ(failing.GetExitCode(), 3);

    CXShell missing("/nonexistent/program", {});
    EXPECT_EQ(missing.GetResult(), kCXNotFound);
    EXPECT_FALSE(missing.IsRunning());
    char byte;
    EXPECT_EQ(missing.Read(&byte, 1), 0u);
}

} // namespace

namespace {

// The child gets standard input, output and error only, default signal actions, and a child that
// stopped reading makes a write fail (broken pipe) instead of ending this process.
TEST(CXShellTest, ChildStartsCleanAndAGoneReaderIsABrokenPipe)
{
    FILE* leaked = std::fopen("/proc/self/status", "r"); // opened without close-on-exec
    ASSERT_NE(leaked, nullptr);
    std::string fd = std::to_string(fileno(leaked));
    CXShell listing("sh", {"-c", "if test -e /proc/$$/fd/" + fd + "; then echo open; else echo closed; fi; grep SigIgn /proc/$$/status"});
    std::string text = ReadAll(listing);
    std::fclose(leaked);
    EXPECT_EQ(text.substr(0, text.find('\n')), "closed") << "descriptor " << fd;
    EXPECT_NE(text.find("SigIgn:\t0000000000000000"), std::string::npos) << text;

    CXShell gone("true", {});
    ASSERT_TRUE(WaitFor([&] { return !gone.IsRunning(); }));
    std::string block(100000, 'x');
    EXPECT_LT(gone.Write(block.data(), block.size()), block.size());
    EXPECT_EQ(gone.GetResult(), kCXBrokenPipe);
}

} // namespace

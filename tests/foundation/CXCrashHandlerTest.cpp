#include "foundation/CXCrashHandler.h"

#include "foundation/CXFatal.h"
#include "foundation/CXThread.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A whole report: one header, one thread, the signal line and a backtrace.
void ExpectOneReport(const std::string& path, const std::string& signalLine)
{
    ASSERT_TRUE(fs::exists(path)) << path;
    std::string report = ReadFile(path);
    EXPECT_EQ(CountOf(report, "Crash report\n"), 1u) << report;
    EXPECT_EQ(CountOf(report, "\nThread: "), 1u) << report;
    EXPECT_NE(report.find(signalLine), std::string::npos) << report;
    EXPECT_NE(report.find("\nBacktrace:\n"), std::string::npos) << report;
    EXPECT_EQ(report.find('\0'), std::string::npos) << "interleaved writes";
}

volatile bool gNeverTrue = false;

int Recurse(int depth)
{
    volatile char pad[512];
    pad[0] = static_cast<char>(depth);
    if (gNeverTrue)
        return pad[0];
    return Recurse(depth + 1) + pad[0];
}

class CXCrashHandlerTest : public testing::Test {
protected:
    void SetUp() override
    {
        // The dying child must be a fork of this very test, so that it writes into this scratch
        // folder (the "threadsafe" style would run the test again in a new process and folder).
        GTEST_FLAG_SET(death_test_style, "fast");
    }

    std::string Report() const { return fScratch / "crashdump.dmp"; }

    ScratchFolder fScratch;
};

TEST_F(CXCrashHandlerTest, EachCrashSignalWritesReportAndEndsWithThatSignal)
{
    struct Case {
        int signalNumber;
        const char* line;
    };
    const Case cases[] = {
        {SIGSEGV, "(SIGSEGV)"}, {SIGBUS, "(SIGBUS)"}, {SIGILL, "(SIGILL)"}, {SIGFPE, "(SIGFPE)"}, {SIGABRT, "(SIGABRT)"},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                fs::current_path(fScratch.Path());
                InstallCrashHandler();
                std::raise(c.signalNumber);
            },
            testing::KilledBySignal(c.signalNumber), "");
        ExpectOneReport(Report(), std::string("\nSignal: ") + std::to_string(c.signalNumber) + " " + c.line + "\nFault address: none\n");
        fs::remove(Report());
    }
}

TEST_F(CXCrashHandlerTest, FaultRecordsAddressAndStackOverflowIsCaught)
{
    EXPECT_EXIT(
        {
            fs::current_path(fScratch.Path());
            InstallCrashHandler();
            volatile uintptr_t bad = 16;
            *reinterpret_cast<volatile int*>(bad) = 1;
        },
        testing::KilledBySignal(SIGSEGV), "");
    ExpectOneReport(Report(), "\nFault address: 0x" + std::string(2 * sizeof(void*) - 2, '0') + "10\n");
    fs::remove(Report());

    // The handler runs on its own stack when the thread's stack is used up.
    EXPECT_EXIT(
        {
            fs::current_path(fScratch.Path());
            InstallCrashHandler();
            std::_Exit(Recurse(0));
        },
        testing::KilledBySignal(SIGSEGV), "");
    ExpectOneReport(Report(), "\nSignal: 11 (SIGSEGV)\n");
}

// A thread started after the handler was installed has an alternate stack of its own.
class OverflowingThread : public CXThread {
public:
    OverflowingThread() : CXThread(CXString("overflow")) {}
    void Proc() override { std::_Exit(Recurse(0)); }
};

TEST_F(CXCrashHandlerTest, StackOverflowOnAWorkerThreadIsReported)
{
    EXPECT_EXIT(
        {
            fs::current_path(fScratch.Path());
            CXThread::CXInit();
            InstallCrashHandler();
            OverflowingThread worker;
            worker.Start();
            for (;;)
                pause(); // the worker's crash ends the process
        },
        testing::KilledBySignal(SIGSEGV), "");
    ExpectOneReport(Report(), "\nSignal: 11 (SIGSEGV)\n");
}

TEST_F(CXCrashHandlerTest, ThreadsFaultingTogetherWriteOneReport)
{
    EXPECT_EXIT(
        {
            fs::current_path(fScratch.Path());
            InstallCrashHandler();
            static std::atomic<bool> go{false};
            std::vector<std::thread> threads;
            for (int i = 0; i < 4; ++i)
                threads.emplace_back([] {
                    while (!go.load())
                        std::this_thread::yield();
                    std::raise(SIGSEGV);
                });
            go = true;
            std::raise(SIGSEGV);
            for (std::thread& t : threads)
                t.join();
        },
        testing::KilledBySignal(SIGSEGV), "");
    ExpectOneReport(Report(), "\nSignal: 11 (SIGSEGV)\n");
}

TEST_F(CXCrashHandlerTest, UnwritableCurrentFolderSendsReportToTemporaryFolder)
{
    ScratchFolder temporary;
    ScopedEnv tmpdir("TMPDIR", temporary.Path() + "/");
    struct Case {
        const char* what;
        void (*spoil)(const std::string& folder);
    };
    const Case cases[] = {
        {"current folder removed", [](const std::string& folder) { fs::remove_all(folder); }},
        // A link in the current folder is not followed: its target stays as it was.
        {"report name is a link", [](const std::string& folder) { fs::create_symlink(folder + "/target", folder + "/crashdump.dmp"); }},
    };
    for (const Case& c : cases) {
        std::string folder = fScratch / c.what;
        fs::create_directory(folder);
        std::ofstream(folder + "/target") << "untouched";
        EXPECT_EXIT(
            {
                fs::current_path(folder);
                c.spoil(folder);
                InstallCrashHandler();
                std::raise(SIGSEGV);
            },
            testing::KilledBySignal(SIGSEGV), "")
            << c.what;
        ExpectOneReport(temporary / "crashdump.dmp", "\nSignal: 11 (SIGSEGV)\n");
        if (fs::exists(folder)) {
            EXPECT_EQ(ReadFile(folder + "/target"), "untouched");
        }
        fs::remove(temporary / "crashdump.dmp");
    }
}

TEST_F(CXCrashHandlerTest, WriteCrashDumpWritesOnceAndLeavesProcessRunning)
{
    EXPECT_EXIT(
        {
            fs::current_path(fScratch.Path());
            WriteCrashDump();
            fs::rename("crashdump.dmp", "first.dmp");
            WriteCrashDump();
            // Neither the second request nor a later crash writes another report.
            InstallCrashHandler();
            std::raise(SIGSEGV);
        },
        testing::KilledBySignal(SIGSEGV), "");
    ExpectOneReport(fScratch / "first.dmp", "\nSignal: none (written on request)\n");
    EXPECT_FALSE(fs::exists(Report()));
}

TEST_F(CXCrashHandlerTest, FatalErrorWritesReportThenAborts)
{
    EXPECT_EXIT(
        {
            fs::current_path(fScratch.Path());
            InstallCrashHandler();
            CXFatalError("FastArray::Resize> realloc failed");
        },
        testing::KilledBySignal(SIGABRT), "FastArray::Resize> realloc failed");
    // The report comes from the request, before the abort; the abort adds none.
    ExpectOneReport(Report(), "\nSignal: none (written on request)\n");
}

} // namespace

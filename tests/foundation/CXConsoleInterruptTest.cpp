#include "foundation/CXConsoleInterrupt.h"

#include "foundation/CXDebug.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(CXConsoleInterruptTest, InterruptsSetFlagAndOnlyClosingWaitsForBusyWork)
{
    CXDebugCapture capture;
    CXConsoleSetBusy(true);

    // Ctrl-C and Ctrl-Break never wait.
    EXPECT_EQ(HandleConsoleInterrupt(kCXConsoleCtrlC), 1);
    EXPECT_EQ(HandleConsoleInterrupt(kCXConsoleCtrlBreak), 1);
    EXPECT_EQ(capture.Count("HandleConsoleInterrupt> 0"), 1u);
    EXPECT_EQ(capture.Count("HandleConsoleInterrupt> 1"), 1u);
    EXPECT_TRUE(CXConsoleWasInterrupted());

    // Closing waits until the busy work is over.
    std::atomic<bool> returned{false};
    std::thread closing([&] {
        EXPECT_EQ(HandleConsoleInterrupt(kCXConsoleClose), 1);
        returned = true;
    });
    ASSERT_TRUE(WaitFor([&] { return capture.Count("HandleConsoleInterrupt> 2") == 1; }));
    EXPECT_FALSE(returned.load());
    CXConsoleSetBusy(false);
    closing.join();
    EXPECT_TRUE(returned.load());
}

} // namespace

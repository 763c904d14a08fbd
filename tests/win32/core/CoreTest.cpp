#include "win32/core/Core.h"

#include "foundation/CXDebug.h"
#include "win32/WindowTesting.h"

#include <gtest/gtest.h>

#include <thread>

using namespace win32;

namespace {

TEST(CoreTest, NothingWorksBeforeInitialiseAndInitialiseHappensOnce)
{
    CXDebugCapture capture;
    SetLastError(0);
    EXPECT_EQ(CreateWindowExW(0, u"x", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
    EXPECT_TRUE(capture.Contains("CreateWindowExW> the layer is not initialised"));
    EXPECT_FALSE(Initialize(nullptr, Options{}));

    win32::testing::Harness harness;
    headless::HeadlessBackend other;
    EXPECT_FALSE(Initialize(&other, Options{}));
    EXPECT_TRUE(capture.Contains("win32::Initialize> already initialised"));
    EXPECT_EQ(GetBackend(), &harness.Backend());
}

bool gStartupCheckPasses = true;

bool StartupCheckForTest(std::string* problem)
{
    if (!gStartupCheckPasses)
        *problem = "the test check fails";
    return gStartupCheckPasses;
}

TEST(CoreTest, AFailingStartupCheckLeavesTheLayerUninitialised)
{
    core::AddStartupCheck(&StartupCheckForTest);
    core::AddStartupCheck(&StartupCheckForTest);
    CXDebugCapture capture;
    headless::HeadlessBackend backend;
    gStartupCheckPasses = false;
    EXPECT_FALSE(Initialize(&backend, Options{}));
    EXPECT_TRUE(capture.Contains("win32::Initialize> the test check fails"));
    EXPECT_FALSE(IsInitialized());
    // The program shows the user the same problem.
    std::string problem;
    EXPECT_FALSE(Initialize(&backend, Options{}, &problem));
    EXPECT_EQ(problem, "the test check fails");

    gStartupCheckPasses = true;
    ASSERT_TRUE(Initialize(&backend, Options{}));
    EXPECT_EQ(GetBackend(), &backend);
    Shutdown();
}

TEST(CoreTest, ShutdownDestroysWhatIsLeftOnlyFromTheUIThread)
{
    auto harness = std::make_unique<win32::testing::Harness>();
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.lpszClassName = u"Left";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    HWND left = CreateWindowExW(0, u"Left", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExW(0, u"Left", u"", WS_CHILD, 0, 0, 1, 1, left, nullptr, nullptr, nullptr);
    ASSERT_TRUE(left && child);

    CXDebugCapture capture;
    std::thread([] { Shutdown(); }).join();
    EXPECT_TRUE(capture.Contains("win32::Shutdown> not on the UI thread"));
    EXPECT_TRUE(IsInitialized());
    EXPECT_TRUE(IsWindow(left));

    harness->Spy().Clear();
    Shutdown();
    EXPECT_FALSE(IsInitialized());
    EXPECT_EQ(harness->Spy().Only({WM_NCDESTROY}).size(), 2u);
    EXPECT_TRUE(harness->Backend().TopLevels().empty());
    harness.reset();

    // A new start finds no window and no class of the old one.
    win32::testing::Harness again;
    EXPECT_FALSE(IsWindow(left));
    EXPECT_NE(RegisterClassW(&windowClass), 0);
}

TEST(CoreTest, TheClockIsTheHarnessesAndTheLastErrorIsPerThread)
{
    win32::testing::Harness harness;
    DWORD start = GetTickCount();
    harness.Advance(1500);
    EXPECT_EQ(GetTickCount() - start, 1500u);

    SetLastError(7);
    DWORD seen = 1;
    std::thread([&] {
        seen = GetLastError();
        SetLastError(9);
    }).join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), 7u);
}

TEST(CoreTest, ThereIsOneModuleAndEveryLibraryIsIt)
{
    win32::testing::Harness harness;
    HMODULE program = GetModuleHandleW(nullptr);
    EXPECT_NE(program, nullptr);
    EXPECT_EQ(GetModuleHandleW(nullptr), program);
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleW(u"other.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    HMODULE library = LoadLibraryW(u"riched20.dll");
    EXPECT_EQ(library, program);
    EXPECT_TRUE(FreeLibrary(library));
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(program)));
}

} // namespace

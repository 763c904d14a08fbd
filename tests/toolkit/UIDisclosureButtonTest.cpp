#include "toolkit/UIDisclosureButton.h"

#include "ToolkitWindowTesting.h"
#include "support/BmpFile.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "win32/testing/Pixels.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

using win32::testing::OpaquePixel;

class UIDisclosureButtonTest : public WindowElementTest {
protected:
    void SetUp() override
    {
        WindowElementTest::SetUp();
        std::filesystem::create_directories(fScratch / "data");
        ASSERT_TRUE(BmpFile(1, 1, 32, {0xFFFF0000u}).Write(fScratch / "data/disclosure-closed.bmp"));
        ASSERT_TRUE(BmpFile(1, 1, 32, {0xFF00FF00u}).Write(fScratch / "data/disclosure-open.bmp"));
        window = MakeWindow();
    }
    void TearDown() override
    {
        window->Destroy();
        WindowElementTest::TearDown();
    }

    // A button at (20, 20), 16 x 16, recording "changed" and "callback".
    UIDisclosureButton* AddButton()
    {
        auto* button = new UIDisclosureButton;
        button->SetLayout(20, 20, 36, 36, 0, 0);
        window->AddChild(button, nullptr);
        button->Init();
        button->AddMessageHandler([this, button](const CXMessage& message) -> CXResultCode {
            if (message.GetName() == UIDisclosureButton::kChangedMessage && message.GetSource() == button)
                trace.push_back(std::string("changed ") + (button->IsOpen() ? "open" : "closed"));
            return -2;
        });
        button->SetOnChange([this] { trace.push_back("callback"); });
        return button;
    }
    uint64_t ScreenPixel(POINT client)
    {
        ClientToScreen(window->GetNativeHandle(), &client);
        return harness.Pixel(client);
    }

    ScratchFolder fScratch;
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch.Path()};
    CXUIWindow* window = nullptr;
    std::vector<std::string> trace;
};

TEST_F(UIDisclosureButtonTest, OnlyAChangeIsSentAndThenCalledBack)
{
    UIDisclosureButton* button = AddButton();
    constexpr int32_t kRelease = UICustomControlBase::kMouseRelease;
    struct Case {
        const char* what;
        std::function<void()> act;
        bool open;
        std::vector<std::string> trace;
    };
    const Case cases[] = {
        {"set to its own state", [&] { button->SetOpen(false); }, false, {}},
        {"opened", [&] { button->SetOpen(true); }, true, {"changed open", "callback"}},
        {"opened again", [&] { button->SetOpen(true); }, true, {}},
        {"a release inside", [&] { (void)button->HandleMouse({15, 0}, 0, kRelease); }, false,
         {"changed closed", "callback"}},
        {"a release outside", [&] { (void)button->HandleMouse({16, 5}, 0, kRelease); }, false, {}},
        {"a press inside", [&] { (void)button->HandleMouse({5, 5}, 0, UICustomControlBase::kMousePress); }, false,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        trace.clear();
        c.act();
        EXPECT_EQ(button->IsOpen(), c.open);
        EXPECT_EQ(trace, c.trace);
    }
    button->Destroy();
}

TEST_F(UIDisclosureButtonTest, AButtonDestroyedByItsOwnerIsNotCalledBack)
{
    UIDisclosureButton* button = AddButton();
    button->AddMessageHandler([button](const CXMessage& message) -> CXResultCode {
        if (message.GetName() != UIDisclosureButton::kChangedMessage)
            return -2;
        button->Destroy();
        return 0;
    });
    (void)button->HandleMouse({5, 5}, 0, UICustomControlBase::kMouseRelease);
    EXPECT_EQ(trace, (std::vector<std::string>{"changed open"}));
}

TEST_F(UIDisclosureButtonTest, TheStatesPictureFillsTheButton)
{
    UIDisclosureButton* button = AddButton();
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(ScreenPixel({21, 21}), OpaquePixel(RGB(255, 0, 0)));
    EXPECT_EQ(ScreenPixel({35, 35}), OpaquePixel(RGB(255, 0, 0)));
    button->SetOpen(true);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(ScreenPixel({21, 21}), OpaquePixel(RGB(0, 255, 0)));
    EXPECT_EQ(ScreenPixel({35, 35}), OpaquePixel(RGB(0, 255, 0)));
    EXPECT_NE(ScreenPixel({36, 36}), OpaquePixel(RGB(0, 255, 0)));
    button->Destroy();
}

} // namespace
} // namespace toolkittest

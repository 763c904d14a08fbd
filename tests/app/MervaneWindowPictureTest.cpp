// The main window as a person sees it: the demo installation's welcome page with the licence sheet
// over it, compared pixel for pixel with a kept picture. Every face is drawn as the test face and
// the metrics are the display backend's, so the picture holds on any machine. A mismatch writes
// the picture taken beside the kept one (".actual.png"); CX_UPDATE_GOLDEN=1 rewrites the kept one.

#include "DemoKit.h"
#include "app/MervaneEULASheet.h"
#include "app/MervaneWindow.h"
#include "app/MervaneWindowWelcomePage.h"
#include "toolkit/UIButton.h"
#include "win32/testing/Pixels.h"
#include "wizard/WizardDriver.h"
#include "wizard/WizardEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using wizard::WizardDriver;
using wizard::WizardEnvironment;
using win32::RECT;

namespace {

const std::string kGoldenFolder = CX_GOLDEN_FOLDER;

// The switch has to be on before the driver makes its harness.
struct TestFaceSwitch {
    TestFaceSwitch() { win32::testing::Harness::UseTestFaceAndDisplayMetrics(true); }
    ~TestFaceSwitch() { win32::testing::Harness::UseTestFaceAndDisplayMetrics(false); }
};

struct Crop {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

Crop CropScreen(const win32::testing::ScreenPicture& screen, const RECT& area)
{
    Crop crop;
    crop.width = static_cast<int>(area.right - area.left);
    crop.height = static_cast<int>(area.bottom - area.top);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            crop.pixels.push_back(static_cast<uint32_t>(screen.At(x, y) & 0xFFFFFFFFu));
    return crop;
}

TEST(MervaneWindowPictureTest, TheWelcomePageWithTheLicenceSheetLooksAsKept)
{
    WizardEnvironment env;
    demokit::Options options;
    options.out = env.Host("app/data");
    std::string problem;
    ASSERT_TRUE(demokit::WriteDataFolder(options, &problem)) << problem;

    TestFaceSwitch testFace;
    WizardDriver driver;
    ASSERT_EQ(driver.Start({"--target", env.Host("product")}), -1);
    ASSERT_TRUE(driver.TurnUntil([&] {
        MervaneWindow* window = driver.MainWindow();
        return window != nullptr && window->IsShown() && window->GetPageIndex() >= 0;
    }));
    ASSERT_EQ(driver.MainWindow()->GetPageIndex(), MervaneWindow::kWelcomePage);
    ASSERT_NE(driver.MainWindow(), nullptr);
    auto* page = dynamic_cast<MervaneWindowWelcomePage*>(driver.MainWindow()->GetPage());
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(driver.Click(page->GetNextButton()));
    ASSERT_TRUE(driver.TurnUntil([&] {
        return dynamic_cast<MervaneEULASheet*>(driver.FrontWindow()) != nullptr && driver.FrontWindow()->IsShown();
    }));
    driver.TurnWhileQueued();
    // Let the paints of the new sheet and the disabled main window settle.
    for (int i = 0; i < 10; ++i)
        driver.Turn();

    RECT mainRect{};
    RECT sheetRect{};
    ASSERT_TRUE(GetWindowRect(driver.MainWindow()->GetNativeHandle(), &mainRect));
    ASSERT_TRUE(GetWindowRect(driver.FrontWindow()->GetNativeHandle(), &sheetRect));
    RECT area{std::min(mainRect.left, sheetRect.left), std::min(mainRect.top, sheetRect.top),
              std::max(mainRect.right, sheetRect.right), std::max(mainRect.bottom, sheetRect.bottom)};
    Crop actual = CropScreen(driver.Harness().ScreenImage(), area);

    const std::string golden = kGoldenFolder + "/welcome-licence.png";
    const std::string actualPath = kGoldenFolder + "/welcome-licence.actual.png";
    const char* update = std::getenv("CX_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        ASSERT_TRUE(win32::testing::WritePixelsPng(actual.width, actual.height, actual.pixels, golden));
        GTEST_SKIP() << "rewrote " << golden;
    }

    Crop kept;
    ASSERT_TRUE(win32::testing::ReadPixelsPng(golden, kept.width, kept.height, kept.pixels)) << golden;
    bool same = kept.width == actual.width && kept.height == actual.height && kept.pixels == actual.pixels;
    if (!same) {
        win32::testing::WritePixelsPng(actual.width, actual.height, actual.pixels, actualPath);
        size_t differing = 0;
        if (kept.pixels.size() == actual.pixels.size())
            for (size_t i = 0; i < kept.pixels.size(); ++i)
                differing += kept.pixels[i] != actual.pixels[i] ? 1 : 0;
        ADD_FAILURE() << "the window differs from " << golden << " (" << kept.width << "x" << kept.height
                      << " kept, " << actual.width << "x" << actual.height << " now, " << differing
                      << " pixels differ); the picture taken is " << actualPath;
    } else {
        std::filesystem::remove(actualPath);
    }
    EXPECT_EQ(driver.Finish(), 0);
}

} // namespace

#include "MervaneWindowTesting.h"

#include "app/MervaneSettings.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "platform/Registry.h"
#include "streams/CXURI.h"
#include "toolkit/UIIconControl.h"

#include <memory>
#include <string>
#include <vector>

namespace mervanetest {
namespace {

const char* const kOnlinePatch = "patch-anchor-file KELD.exe\r"
                                 "application-bundle-id org.example.keld\r"
                                 "installation-id keld\r"
                                 "window-name \"KELD Updater\"\r"
                                 "start-menu-shortcut-folder Brannock\r"
                                 "shortcut-filename KELD\r"
                                 "registry-edits { entry { root HKCU path Software\\Keld type string name a value b } }\r";
const char* const kOfflinePatch = "application-bundle-id org.example.keld\r"
                                  "patch-control-file control.dat\r"
                                  "patch-data-file data.dat\r"
                                  "patch-anchor-checksum 0123abcd\r"
                                  "patch-offline-description \"From the disc\"\r";
const char* const kInstallation = "application-bundle-id org.example.keld\r"
                                  "patch-is-installation true\r";

// The local path a "file" URL names; empty for an empty URL.
std::string LocalPath(const CXString& url)
{
    return url.IsEmpty() ? std::string() : Str(CXURI(url).GetLocalFilePath());
}

// The association's default value, as the registry edits of an installation write it.
void Associate(const std::string& command)
{
    const char* key = "rxbfile\\shell\\open\\command";
    ASSERT_EQ(Platform::CreateRegistryKey(Platform::kRegistryClassesRoot, key), 0);
    ASSERT_EQ(Platform::SetRegistryValue(Platform::kRegistryClassesRoot, key, "", Platform::RegistryValue::String(command)), 0);
}

std::string KeldCommand(const std::string& folder, char separator)
{
    return "\"" + folder + separator + "KELD.exe\" --installcontent \"%1\"";
}

// A 24-bit BMP of one pixel.
std::string OnePixelBmp()
{
    // File header, information header (1 x 1, one plane, 24 bits, 4 bytes of pixels), the pixel
    // with its row padding; each a little-endian field of the given size.
    const std::pair<uint32_t, int> fields[] = {
        {0x4D42, 2}, {58, 4}, {0, 4}, {54, 4},                        //
        {40, 4}, {1, 4}, {1, 4}, {1, 2}, {24, 2}, {0, 4}, {4, 4},     //
        {2835, 4}, {2835, 4}, {0, 4}, {0, 4}, {0x3366CC, 3}, {0, 1}, //
    };
    std::string bytes;
    for (const auto& field : fields) {
        for (int i = 0; i < field.second; ++i)
            bytes.push_back(static_cast<char>((field.first >> (8 * i)) & 0xFF));
    }
    return bytes;
}

TEST_F(MervaneWindowTest, ReadsTheConfigurationIntoTheFields)
{
    struct Case {
        const char* what;
        const char* config;
        bool uninstall;
        bool offline;
        bool installation;
        bool launch;
        std::string controlFile; // the local path of the control file URL
        std::string dataFile;
        const char* checksum;
        const char* description;
        const char* title;
        const char* folderName;
    };
    const std::string data = ScratchPath("app/data/");
    const Case cases[] = {
        {"online patch", kOnlinePatch, false, false, false, false, "", "", "", "", "KELD Updater", "untitled.app"},
        {"offline patch", kOfflinePatch, false, true, false, false, data + "control.dat", data + "data.dat", "0123abcd",
         "From the disc", "Patch Installer", "untitled.app"},
        {"offline without data file or description", "patch-control-file control.dat\r", false, true, false, false,
         data + "control.dat", "", "", "$(patch-offline-description)", "Patch Installer", "untitled.app"},
        {"offline installation: no checksum, launch on exit",
         "patch-control-file control.dat\rpatch-is-installation true\rpatch-anchor-checksum 0123abcd\r"
         "installation-folder-name KELD\r",
         false, true, true, true, data + "control.dat", "", "", "$(patch-offline-description)", "Patch Installer", "KELD"},
        {"uninstall forces both flags over an online configuration", kOnlinePatch, true, true, true, false, "", "", "", "",
         "KELD Updater", "untitled.app"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LaunchTargetRequested = false;
        UninstallMode = c.uninstall;
        ASSERT_TRUE(Configure(c.config));
        auto window = std::make_unique<MervaneWindow>();
        ASSERT_TRUE(window->ReadPatchConfig());
        EXPECT_EQ(window->IsOffline(), c.offline);
        EXPECT_EQ(window->IsInstallation(), c.installation);
        EXPECT_EQ(LaunchTargetRequested, c.launch);
        EXPECT_EQ(LocalPath(window->GetSettings().patchControlFileURL), c.controlFile);
        EXPECT_EQ(LocalPath(window->GetSettings().patchDataFileURL), c.dataFile);
        EXPECT_EQ(Str(window->GetPatchAnchorChecksum()), c.checksum);
        EXPECT_EQ(Str(window->GetOfflineDescription()), c.description);
        EXPECT_EQ(Str(window->GetTitle()), c.title);
        EXPECT_EQ(Str(window->GetInstallationFolderName()), c.folderName);
    }

    UninstallMode = false;
    ASSERT_TRUE(Configure(kOnlinePatch));
    MervaneWindow window;
    ASSERT_TRUE(window.ReadPatchConfig());
    EXPECT_EQ(Str(window.GetPatchAnchorFile()), "KELD.exe");
    EXPECT_EQ(Str(window.GetApplicationBundleId()), "org.example.keld");
    EXPECT_EQ(Str(window.GetInstallationId()), "keld");
    EXPECT_EQ(Str(window.GetStartMenuShortcutFolder()), "Brannock");
    EXPECT_EQ(Str(window.GetShortcutFilename()), "KELD");
    EXPECT_EQ(window.GetRegistryEdits()->Count(), 1u);

    // Nothing to read: false, and nothing changes; the edits are never a null handle.
    MervaneWindow unread;
    for (const char* config : {"", " \r"}) {
        EXPECT_FALSE(Configure(config));
        EXPECT_FALSE(unread.ReadPatchConfig());
    }
    ConfigTree.Clear();
    EXPECT_FALSE(unread.ReadPatchConfig());
    EXPECT_TRUE(unread.GetTitle().IsEmpty());
    EXPECT_FALSE(unread.IsOffline());
    ASSERT_NE(unread.GetRegistryEdits().get(), nullptr);
    EXPECT_EQ(unread.GetRegistryEdits()->Count(), 0u);
}

TEST_F(MervaneWindowTest, FirstPageFollowsTheMode)
{
    struct Case {
        const char* what;
        const char* config;
        bool uninstall;
        const char* target; // on the command line
        bool start;
        int32_t page;
    };
    const Case cases[] = {
        {"patch", kOnlinePatch, false, nullptr, false, MervaneWindow::kTargetPage},
        {"installation", kInstallation, false, nullptr, false, MervaneWindow::kWelcomePage},
        {"uninstall", kOnlinePatch, true, nullptr, false, MervaneWindow::kWelcomePage},
        {"patch with a target and start", kOnlinePatch, false, "C:/Games/KELD", true, MervaneWindow::kPatchPage},
        {"start without any target", kOnlinePatch, false, nullptr, true, MervaneWindow::kTargetPage},
        {"offline patch with a target, no start", kOfflinePatch, false, "C:/Games/KELD", false, MervaneWindow::kTargetPage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXUIWindow::ResetProcessStateForTesting();
        LaunchTargetRequested = false;
        UninstallMode = c.uninstall;
        StartRequested = c.start;
        TargetPath = c.target != nullptr ? CXString(c.target) : CXString();
        ASSERT_TRUE(Configure(c.config));
        CXSafePointer<MervaneWindow> window(OpenWindow());
        ASSERT_TRUE(window);
        EXPECT_EQ(window->GetPageIndex(), c.page);
        // Page 0 is the welcome page; the others are still stand-ins that name their index.
        if (c.page != MervaneWindow::kWelcomePage) {
            EXPECT_EQ(InertIndex(window.get()), c.page);
        }
        EXPECT_EQ(window->GetPage()->GetFrame(), (Box2i{77, 0, 550, 260, false}));
        EXPECT_EQ(window->GetPage()->GetParent(), window.get());
        EXPECT_TRUE(TargetPath.IsEmpty()) << "the command line's target is taken once";
        EXPECT_EQ(FrontSheet(), nullptr);
        ForceClose(window.get());
        EXPECT_FALSE(window);
    }

    // 550 x 260 in the middle of the harness's 1920 x 1040 work area, not resizable, titled.
    ASSERT_TRUE(Configure(kOnlinePatch));
    MervaneWindow* window = OpenWindow();
    EXPECT_EQ(window->GetFrame(), (Box2i{685, 390, 1235, 650, false}));
    EXPECT_FALSE(window->IsResizable());
    EXPECT_EQ(Str(window->GetTitle()), "KELD Updater");
}

TEST_F(MervaneWindowTest, EmptyConfigurationShowsTheDamagedMessageWhoseOKQuits)
{
    EXPECT_FALSE(Configure(""));
    CXSafePointer<MervaneWindow> window(OpenWindow());
    Settle();
    TextPromptSheet* sheet = FrontSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(Str(sheet->GetMessageText()->GetText()), "This application is damaged. Please redownload it.");
    EXPECT_FALSE(sheet->GetSecondButton()->IsVisible());
    EXPECT_EQ(window->GetPageIndex(), MervaneWindow::kTargetPage);
    EXPECT_FALSE(CXUIWindow::IsQuitRequested());

    Press(sheet->GetFirstButton());
    EXPECT_TRUE(CXUIWindow::IsQuitRequested());
    EXPECT_EQ(FrontSheet(), nullptr);
}

TEST_F(MervaneWindowTest, ImagesOnlyForTheBitmapsThatExist)
{
    ASSERT_TRUE(Configure(kOnlinePatch));
    MervaneWindow* bare = OpenWindow();
    EXPECT_EQ(bare->GetBackgroundImage(), nullptr);
    EXPECT_EQ(bare->GetProductImage(), nullptr) << "no control, so no placeholder is drawn";
    ForceClose(bare);

    WriteFile("app/data/mervane-background.bmp", OnePixelBmp());
    WriteFile("app/data/patch.bmp", OnePixelBmp());
    CXUIWindow::ResetProcessStateForTesting();
    MervaneWindow* window = OpenWindow();
    UIIconControl* background = window->GetBackgroundImage();
    UIIconControl* product = window->GetProductImage();
    ASSERT_NE(background, nullptr);
    ASSERT_NE(product, nullptr);
    EXPECT_NE(background->GetBitmap(), nullptr);
    EXPECT_NE(product->GetBitmap(), nullptr);
    EXPECT_EQ(background->GetFrame(), (Box2i{0, 0, 550, 260, false}));
    EXPECT_EQ(product->GetFrame(), (Box2i{13, 13, 77, 77, false}));
    EXPECT_EQ(window->GetPage()->GetParent(), window);
}

TEST_F(MervaneWindowTest, ContentAssociationNamesTheProductFolder)
{
    const std::string tail = "\\KELD.exe\" --installcontent \"%1\"";
    // Values of 1023 and 1024 bytes.
    const std::string longFolder = "D:\\" + std::string(1023 - 1 - 3 - tail.size(), 'a');
    struct Case {
        std::string value;
        std::string folder;
    };
    const Case cases[] = {
        {KeldCommand("D:\\Apps\\Product", '\\'), "D:/Apps/Product"},
        {KeldCommand("\\\\?\\D:\\Apps", '\\'), "D:/Apps"},
        {KeldCommand("\\\\?\\UNC\\host\\share\\Apps", '\\'), "//host/share/Apps"},
        {KeldCommand(fScratch / "c/Games/KELD", '/'), "C:/Games/KELD"},
        {KeldCommand("/opt/keld", '/'), "Z:/opt/keld"},
        {"D:\\Apps\\Product\\KELD.exe --installcontent \"%1\"", ""},
        {KeldCommand("D:\\Apps\\Product", '\\').substr(0, 30), ""},
        {"\"D:\\Apps\\Product\\Other.exe\" --installcontent \"%1\"", ""},
        {"\"D:\\Apps\\Product\\KELD.exe\" \"%1\"", ""},
        {KeldCommand("Apps\\Product", '\\'), ""},
        {KeldCommand("", '\\'), ""},
        {"", ""},
        {"\"" + longFolder + tail, "D:/" + longFolder.substr(3)},
        {"\"" + longFolder + "a" + tail, ""},
    };
    ASSERT_EQ(cases[12].value.size(), 1023u);
    for (const Case& c : cases)
        EXPECT_EQ(Str(ParseContentAssociation(CXString(c.value.c_str(), c.value.size()))), c.folder) << c.value;
}

TEST_F(MervaneWindowTest, TargetIsChosenByTheMode)
{
    struct Case {
        const char* what;
        std::string config;
        bool uninstall;
        std::string association; // empty: none
        std::string target;
    };
    const std::string keld = fScratch / "c/Games/KELD";
    const Case cases[] = {
        {"patch: the association's folder", kOnlinePatch, false, KeldCommand(keld, '/'), "C:/Games/KELD"},
        {"patch: a Windows association", kOnlinePatch, false, KeldCommand("D:\\Apps\\Product", '\\'), "D:/Apps/Product"},
        {"patch without an association", kOnlinePatch, false, "", ""},
        {"patch with another program associated", kOnlinePatch, false, "\"D:\\Apps\\Other.exe\" \"%1\"", ""},
        {"uninstall: the installer's own folder", kOnlinePatch, true, KeldCommand(keld, '/'), ScratchPath("app")},
        {"installation without a folder name", kInstallation, false, KeldCommand(keld, '/'),
         "C:/Program Files/Brannock Games/untitled.app"},
        {"installation", std::string(kInstallation) + "installation-folder-name KELD\r", false, "",
         "C:/Program Files/Brannock Games/KELD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CXUIWindow::ResetProcessStateForTesting();
        LaunchTargetRequested = false;
        UninstallMode = c.uninstall;
        Platform::DeleteRegistryKey(Platform::kRegistryClassesRoot, "rxbfile\\shell\\open\\command");
        if (!c.association.empty())
            Associate(c.association);
        ASSERT_TRUE(Configure(c.config));
        MervaneWindow* window = OpenWindow();
        EXPECT_EQ(Str(window->GetTargetPath()), c.target);
        ForceClose(window);
    }
    // The installation root is a program path: its files live where the drive map puts C:.
    EXPECT_EQ(Str(CXFileSystem::ToNativePath("C:/Program Files/Brannock Games/KELD")),
              fScratch / "c/Program Files/Brannock Games/KELD");
}

TEST_F(MervaneWindowTest, ChangingTheTargetLoadsItsSettingsAndKeepsTheOfflineFiles)
{
    PatchSettings saved;
    saved.userName = "ann";
    saved.streamId = "beta";
    saved.patchControlFileURL = "https://example.invalid/old.ctl";
    ASSERT_EQ(SavePatchSettings(saved, "org.example.keld", "C:/Games/KELD"), kCXOK);
    ASSERT_TRUE(Configure(kOfflinePatch));
    const std::string control = ScratchPath("app/data/control.dat");

    // From the command line: taken over, then forgotten.
    TargetPath = "C:/Games/KELD";
    MervaneWindow* window = OpenWindow();
    EXPECT_EQ(Str(window->GetTargetPath()), "C:/Games/KELD");
    EXPECT_TRUE(TargetPath.IsEmpty());
    EXPECT_EQ(Str(window->GetSettings().userName), "ann");
    EXPECT_EQ(Str(window->GetSettings().streamId), "beta");
    EXPECT_EQ(LocalPath(window->GetSettings().patchControlFileURL), control) << "the configuration's file wins";

    // Another target: its own (empty) settings, the offline files again; the same one: nothing.
    EXPECT_TRUE(window->SetTargetPath("C:/Games/Other"));
    EXPECT_TRUE(window->GetSettings().userName.IsEmpty());
    EXPECT_EQ(LocalPath(window->GetSettings().patchControlFileURL), control);
    window->GetSettings().userName = "bob";
    EXPECT_TRUE(window->SetTargetPath("C:/Games/Other"));
    EXPECT_EQ(Str(window->GetSettings().userName), "bob");

    // Closing saves the settings of the target on show.
    ForceClose(window);
    PatchSettings loaded;
    ASSERT_EQ(LoadPatchSettings(loaded, "org.example.keld", "C:/Games/Other"), kCXOK);
    EXPECT_EQ(Str(loaded.userName), "bob");
    ASSERT_EQ(LoadPatchSettings(loaded, "org.example.keld", "C:/Games/KELD"), kCXOK);
    EXPECT_EQ(Str(loaded.userName), "ann");
}

} // namespace
} // namespace mervanetest

// The demo kit's data folder as the installer reads it: the pictures through the bitmap reader,
// the configuration and texts through the configuration loader, the registry edits through the
// post-install actions.

#include "DemoKit.h"

#include "app/MervaneConfiguration.h"
#include "app/MervaneWindow.h"
#include "datanode/CXLocalisation.h"
#include "datanode/DNTranslator.h"
#include "datanode/TextConfig.h"
#include "foundation/CXFileSystem.h"
#include "patch/PostInstallActions.h"
#include "platform/DriveMap.h"
#include "platform/Registry.h"
#include "streams/CXStreamFile.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "toolkit/CXBitmap.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

CXString Program(const std::string& hostPath)
{
    return CXFileSystem::FromNativePath(CXString(hostPath.c_str()));
}

struct Loaded {
    int width = 0;
    int height = 0;
    std::set<uint32_t> alphas;
    CXBitmap bitmap;
};

// Reads a BMP of the data folder as the toolkit does, with the alpha values it holds.
void LoadBmp(const std::string& path, Loaded& loaded)
{
    CXStreamFile file;
    ASSERT_TRUE(file.Open(Program(path), CXStreamFile::kModeRead)) << path;
    ASSERT_EQ(loaded.bitmap.LoadBitmap(file), kCXOK) << path;
    int32_t width = 0, height = 0;
    loaded.bitmap.GetRequestedSize(width, height);
    loaded.width = width;
    loaded.height = height;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            loaded.alphas.insert(loaded.bitmap.GetPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y)) >> 24);
    }
}

class DemoKitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DNInitBuiltInTranslators();
        fOptions.out = fScratch / "app/data";
        std::string problem;
        ASSERT_TRUE(demokit::WriteDataFolder(fOptions, &problem)) << problem;
    }

    std::string Data(const std::string& name) const { return fOptions.out + "/" + name; }

    ScratchFolder fScratch;
    demokit::Options fOptions;
};

TEST_F(DemoKitTest, PicturesHaveTheirSizesAndTheSpinnerRealAlpha)
{
    Loaded background;
    LoadBmp(Data("mervane-background.bmp"), background);
    EXPECT_EQ(background.width, 550);
    EXPECT_EQ(background.height, 260);
    EXPECT_EQ(background.alphas, std::set<uint32_t>{255});

    // A rounded tile laid onto the background where the window shows it: the background's own
    // pixels in the corners, the tile in the middle.
    Loaded product;
    LoadBmp(Data("patch.bmp"), product);
    EXPECT_EQ(product.width, 64);
    EXPECT_EQ(product.height, 64);
    EXPECT_EQ(product.alphas, std::set<uint32_t>{255});
    EXPECT_EQ(product.bitmap.GetPixel(0, 0), background.bitmap.GetPixel(demokit::kProductLeft, demokit::kProductTop));
    EXPECT_NE(product.bitmap.GetPixel(32, 32), background.bitmap.GetPixel(demokit::kProductLeft + 32, demokit::kProductTop + 32));

    std::set<std::string> frames;
    for (int frame = 0; frame < 12; ++frame) {
        SCOPED_TRACE(frame);
        std::string path = Data("spinner-anim/spinner" + std::to_string(frame) + ".bmp");
        Loaded spinner;
        LoadBmp(path, spinner);
        EXPECT_EQ(spinner.width, demokit::kSpinnerSize);
        EXPECT_EQ(spinner.height, demokit::kSpinnerSize);
        // Transparent ground and centre, faded spokes: many levels of alpha.
        EXPECT_EQ(spinner.bitmap.GetPixel(0, 0) >> 24, 0u);
        EXPECT_EQ(spinner.bitmap.GetPixel(16, 16) >> 24, 0u);
        EXPECT_TRUE(spinner.alphas.count(0) == 1 && spinner.alphas.size() > 10) << spinner.alphas.size();
        frames.insert(ReadFile(path));
    }
    EXPECT_EQ(frames.size(), 12u);
}

TEST_F(DemoKitTest, LicenceHasCRLFLineEndsOnly)
{
    const std::string name = demokit::EnglishText("$mervane_eula_filename");
    ASSERT_FALSE(name.empty());
    std::string text = ReadFile(Data(name));
    ASSERT_GT(text.size(), 1000u);
    size_t breaks = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "a bare LF at " << i;
            ++breaks;
        } else if (text[i] == '\r') {
            ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "a bare CR at " << i;
        }
    }
    // Long enough to scroll in the licence sheet.
    EXPECT_GE(breaks, 20u);
    EXPECT_NE(text.find(fOptions.installationFolderName), std::string::npos);
}

TEST_F(DemoKitTest, ConfigurationLoadsWithEveryEnglishText)
{
    ScopedEnv appFolder("CX_APP_FOLDER", fScratch / "app");
    ScopedEnv language("LANGUAGE", std::nullopt);
    ScopedEnv all("LC_ALL", std::nullopt);
    ScopedEnv messages("LC_MESSAGES", std::nullopt);
    ScopedEnv lang("LANG", std::nullopt);
    ClearLocalisationTable();
    ASSERT_TRUE(LoadLocales());

    struct Case {
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"window-name", fOptions.windowName},
        {"application-bundle-id", fOptions.applicationBundleId},
        {"installation-id", fOptions.installationId},
        {"installation-folder-name", fOptions.installationFolderName},
        {"patch-anchor-file", demokit::kAnchorFile},
        {"patch-control-file", fOptions.patchControlFile},
        {"patch-data-file", fOptions.patchDataFile},
        {"start-menu-shortcut-folder", fOptions.shortcutName},
        {"shortcut-filename", fOptions.shortcutName},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Str(ConfigString(ConfigTree.get(), c.key)), c.expected) << c.key;
    EXPECT_TRUE(ConfigTree->Find(DNRawData("patch-is-installation"))->GetValue()->GetBool());

    // Quoted '$' keys read back as texts, not as directives.
    for (const auto& [key, text] : demokit::EnglishTexts())
        EXPECT_EQ(Str(Localise(CXString(key.c_str()))), text) << key;
    ClearLocalisationTable();
}

TEST_F(DemoKitTest, RegistryEditsWriteTheUninstallEntryAndTheContentAssociation)
{
    ScopedDriveMap drives(fScratch / "drive_c");
    ScopedEnv registry("CX_REGISTRY_ROOT", fScratch / "registry");
    std::filesystem::create_directories(fScratch / "drive_c/Program Files/KELD Demo");

    PostInstallValues values;
    ASSERT_TRUE(values.ReadConfigurationFile(Program(Data("patch-config.txt"))));
    values.targetPath = "C:/Program Files/KELD Demo";
    ApplyRegistryEdits(values);

    // The uninstall entry sits under the key the installer's welcome page reads.
    std::string key = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                      Str(MakeTargetPathKey(CXString(fOptions.installationId.c_str()), values.targetPath));
    Platform::RegistryValue name;
    ASSERT_EQ(Platform::QueryRegistryValue(Platform::kRegistryLocalMachine, key, "DisplayName", name), 0);
    EXPECT_EQ(name.type, Platform::kRegistryString);
    EXPECT_EQ(name.data, fOptions.displayName);

    // The content files open with the installed program, named by its host path.
    Platform::RegistryValue command;
    ASSERT_EQ(Platform::QueryRegistryValue(Platform::kRegistryClassesRoot, "rxbfile\\shell\\open\\command", "", command), 0);
    EXPECT_EQ(command.data, "\"" + fScratch / "drive_c/Program Files/KELD Demo" + "/KELD.exe\" --installcontent \"%1\"");
    // ... which the installer reads back as the installation folder when it looks for the product.
    EXPECT_EQ(Str(ParseContentAssociation(CXString(command.data.data(), command.data.size()))), Str(values.targetPath));
}

TEST(DemoKitTextsTest, EveryKeyTheInstallerShowsHasOneText)
{
    std::set<std::string> keys;
    for (const auto& [key, text] : demokit::EnglishTexts()) {
        EXPECT_TRUE(keys.insert(key).second) << key << " twice";
        EXPECT_FALSE(text.empty()) << key;
    }
    // Every key written in the installer's sources and its patch engine's.
    const std::string opening = "\"$mervane_";
    size_t found = 0;
    for (const char* folder : {"app", "patch", "toolkit"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(CX_SOURCE_DIR) + "/" + folder)) {
            if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h")
                continue;
            std::string source = ReadFile(entry.path().string());
            for (size_t at = source.find(opening); at != std::string::npos; at = source.find(opening, at + 1)) {
                size_t end = at + opening.size();
                while (end < source.size() && (std::islower(static_cast<unsigned char>(source[end])) ||
                                               std::isdigit(static_cast<unsigned char>(source[end])) || source[end] == '_'))
                    ++end;
                if (end >= source.size() || source[end] != '"')
                    continue;
                ++found;
                std::string key = source.substr(at + 1, end - at - 1);
                EXPECT_EQ(keys.count(key), 1u) << key << " in " << entry.path().string();
            }
        }
    }
    EXPECT_GT(found, 50u);
}

} // namespace

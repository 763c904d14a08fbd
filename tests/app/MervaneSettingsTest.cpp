#include "app/MervaneSettings.h"

#include "datanode/DNTranslator.h"
#include "foundation/CXBase64.h"
#include "foundation/CXFileSystem.h"
#include "platform/File.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

CXString Bytes(const std::string& s)
{
    return CXString(s.data(), s.size());
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

PatchSettings Sample(const char* user)
{
    PatchSettings settings;
    settings.userName = user;
    // Every byte value, NULs included, survives the file.
    std::string password("p\0ss\"w\xff", 7);
    settings.password = Bytes(password);
    settings.streamId = "7";
    settings.streamName = "Main";
    settings.patchControlFileURL = "https://h/files/patch.txt";
    settings.patchDataFileURL = "https://h/files/patch.bin";
    return settings;
}

void ExpectStoredFieldsEqual(const PatchSettings& a, const PatchSettings& b)
{
    EXPECT_EQ(Str(a.userName), Str(b.userName));
    EXPECT_EQ(Str(a.password), Str(b.password));
    EXPECT_EQ(Str(a.streamId), Str(b.streamId));
    EXPECT_EQ(Str(a.streamName), Str(b.streamName));
    EXPECT_EQ(Str(a.patchControlFileURL), Str(b.patchControlFileURL));
    EXPECT_EQ(Str(a.patchDataFileURL), Str(b.patchDataFileURL));
}

// A record body of stream strings, as an older version wrote it.
std::string Body(std::initializer_list<std::string> strings)
{
    std::string body;
    for (const std::string& s : strings) {
        body.push_back(static_cast<char>(s.size()));
        body += s;
    }
    return body;
}

std::string Value(uint8_t version, const std::string& body)
{
    std::string value("\0\0\0", 3);
    value.push_back(static_cast<char>(version));
    CXString encoded = Base64Encode(CXStringArgument(body.data(), body.size()), "");
    return value + Str(encoded);
}

class MervaneSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { DNInitBuiltInTranslators(); }
    void TearDown() override { Platform::ClearFaults(); }

    std::string Folder() const { return fScratch / "appdata/org.example.product"; }
    std::string File() const { return Folder() + "/mervane-settings.dat"; }

    ScratchFolder fScratch;
    ScopedEnv fAppData{"CX_FOLDER_LOCAL_APPDATA", fScratch / "appdata"};
    ScopedEnv fNotElevated{"PKEXEC_UID", std::nullopt};
    CXString fBundle = "org.example.product";
};

TEST_F(MervaneSettingsTest, SavesEachTargetUnderItsKeyAndLoadsItBack)
{
    PatchSettings first = Sample("alice");
    first.streams[CXString("7")] = "Main";
    ASSERT_EQ(SavePatchSettings(first, fBundle, "D:/Apps/Product"), kCXOK);
    PatchSettings second = Sample("bob");
    second.streamId = "9";
    ASSERT_EQ(SavePatchSettings(second, fBundle, "C:/Other"), kCXOK);

    // The same folder written differently shares the entry; the second save kept the first.
    PatchSettings loaded;
    loaded.userName = "stale";
    ASSERT_EQ(LoadPatchSettings(loaded, fBundle, "d:/apps/product/"), kCXOK);
    ExpectStoredFieldsEqual(loaded, first);
    EXPECT_TRUE(loaded.streams.empty());
    ASSERT_EQ(LoadPatchSettings(loaded, fBundle, "C:/Other/./x/.."), kCXOK);
    ExpectStoredFieldsEqual(loaded, second);

    // An unknown target, and an empty one, load the empty record.
    ASSERT_EQ(LoadPatchSettings(loaded, fBundle, "C:/Nowhere"), kCXOK);
    ExpectStoredFieldsEqual(loaded, PatchSettings());
    ASSERT_EQ(LoadPatchSettings(loaded, fBundle, ""), kCXOK);
    ExpectStoredFieldsEqual(loaded, PatchSettings());

    // The value starts with the raw version bytes 00 00 00 01; the password is only in Base64.
    std::string text = ReadFile(File());
    EXPECT_NE(text.find("d:/apps/product"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string("\"\0\0\0\1", 5)), std::string::npos);
    EXPECT_EQ(text.find(std::string("p\0ss", 4)), std::string::npos);

    // Only the owner may read the file (it holds the password); the folder made for it is 0700.
    struct stat info {};
    ASSERT_EQ(stat(File().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(Folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // No temporary file is left beside it.
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

TEST_F(MervaneSettingsTest, KeepsTheModeOfAFolderItDidNotMake)
{
    std::filesystem::create_directories(Folder());
    chmod(Folder().c_str(), 0755);
    ASSERT_EQ(SavePatchSettings(Sample("alice"), fBundle, "C:/Product"), kCXOK);
    struct stat info {};
    ASSERT_EQ(stat(Folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
}

TEST_F(MervaneSettingsTest, ReadsOlderVersionsAndRefusesNewerOnes)
{
    struct Case {
        const char* name;
        std::string value;
        bool loads;
        const char* user;
        const char* controlURL;
    };
    std::string six = Body({"u", "p", "7", "Main", "ctl", "dat"});
    const Case cases[] = {
        {"version 0 reads four strings", Value(0, six), true, "u", ""},
        {"version 1 reads six", Value(1, six), true, "u", "ctl"},
        {"strings missing at the end read empty", Value(1, Body({"u"})), true, "u", ""},
        {"version 2 is not read", Value(2, six), false, "", ""},
        {"not Base64", std::string("\0\0\0\1@@@@", 8), false, "", ""},
        {"cut inside a group", std::string("\0\0\0\1dQ", 6), false, "", ""},
        {"fewer than four bytes", std::string("\0\1", 2), true, "", ""},
    };
    for (const Case& c : cases) {
        PatchSettings settings;
        EXPECT_EQ(DecodePatchSettingsValue(Bytes(c.value), settings), c.loads) << c.name;
        EXPECT_EQ(Str(settings.userName), c.user) << c.name;
        EXPECT_EQ(Str(settings.patchControlFileURL), c.controlURL) << c.name;
    }

    // An entry an older version wrote loads, and the next save writes version 1.
    std::filesystem::create_directories(Folder());
    WriteFile(File(), "c:/product \"" + Value(0, Body({"u", "p", "7", "Main"})) + "\"\r");
    PatchSettings settings;
    ASSERT_EQ(LoadPatchSettings(settings, fBundle, "C:/Product"), kCXOK);
    EXPECT_EQ(Str(settings.streamName), "Main");
    ASSERT_EQ(SavePatchSettings(settings, fBundle, "C:/Product"), kCXOK);
    EXPECT_NE(ReadFile(File()).find(std::string("\"\0\0\0\1", 5)), std::string::npos);
}

TEST_F(MervaneSettingsTest, TakesBackTheBackupOfAnInterruptedSave)
{
    ASSERT_EQ(SavePatchSettings(Sample("alice"), fBundle, "C:/Product"), kCXOK);
    std::filesystem::rename(File(), File() + ".abku");
    PatchSettings settings;
    ASSERT_EQ(LoadPatchSettings(settings, fBundle, "C:/Product"), kCXOK);
    EXPECT_EQ(Str(settings.userName), "alice");
    EXPECT_TRUE(std::filesystem::exists(File()));
    EXPECT_FALSE(std::filesystem::exists(File() + ".abku"));
}

// A file that is there but cannot be read must never be replaced by one holding only the entry
// being saved: every other target's entry would be lost.
TEST_F(MervaneSettingsTest, NeverRewritesAFileItCouldNotRead)
{
    struct Case {
        const char* name;
        std::string content;
        Platform::FaultKind fault;
        bool armed;
    };
    const Case cases[] = {
        {"cannot be opened", "", Platform::kFaultOpen, true},
        {"read cut short", "", Platform::kFaultRead, true},
        {"unparseable", "}}} \x01\x02", Platform::kFaultOpen, false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(Folder());
        ASSERT_EQ(SavePatchSettings(Sample("alice"), fBundle, "C:/First"), kCXOK) << c.name;
        if (!c.content.empty())
            WriteFile(File(), c.content);
        std::string before = ReadFile(File());
        if (c.armed)
            Platform::ArmFault(c.fault, 1, EIO);
        EXPECT_NE(SavePatchSettings(Sample("bob"), fBundle, "C:/Second"), kCXOK) << c.name;
        Platform::ClearFaults();
        EXPECT_EQ(ReadFile(File()), before) << c.name;

        if (c.armed)
            Platform::ArmFault(c.fault, 1, EIO);
        PatchSettings loaded = Sample("stale");
        EXPECT_NE(LoadPatchSettings(loaded, fBundle, "C:/First"), kCXOK) << c.name;
        Platform::ClearFaults();
        ExpectStoredFieldsEqual(loaded, PatchSettings());
    }

    // A folder where the file should be cannot be read either.
    std::filesystem::remove_all(Folder());
    std::filesystem::create_directories(File());
    EXPECT_NE(SavePatchSettings(Sample("bob"), fBundle, "C:/Second"), kCXOK);
    EXPECT_TRUE(std::filesystem::is_directory(File()));

    // Blank and comment-only files hold no entry and are rewritten.
    std::filesystem::remove_all(Folder());
    std::filesystem::create_directories(Folder());
    WriteFile(File(), "  ; nothing here\r\n\r\n");
    EXPECT_EQ(SavePatchSettings(Sample("bob"), fBundle, "C:/Second"), kCXOK);
}

TEST_F(MervaneSettingsTest, ElevatedSaveLeavesFileAndFoldersToTheInvokingUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    ScopedEnv elevated("PKEXEC_UID", "65534");
    ASSERT_EQ(SavePatchSettings(Sample("alice"), fBundle, "C:/Product"), kCXOK);
    for (const std::string& path : {fScratch / "appdata", Folder(), File()}) {
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_uid, 65534u) << path;
        EXPECT_EQ(info.st_gid, 65534u) << path;
    }
    // A later save, as the user or elevated again, replaces the file.
    ASSERT_EQ(SavePatchSettings(Sample("bob"), fBundle, "C:/Product"), kCXOK);
    struct stat info {};
    ASSERT_EQ(stat(File().c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(MervaneSettingsTest, OverrideReplacesOnlyTheKeysItHolds)
{
    auto encode = [](const char* text) { return Base64Encode(text, ""); };
    PatchSettings settings = Sample("alice");
    ASSERT_TRUE(ParseSettingsOverride(settings, encode("stream-id \"9\"\r")));
    EXPECT_EQ(Str(settings.streamId), "9");
    EXPECT_EQ(Str(settings.userName), "alice");
    EXPECT_EQ(Str(settings.password), Str(Sample("alice").password));

    ASSERT_TRUE(ParseSettingsOverride(settings, encode("username \"carol\"\rpassword \"a b\"\r")));
    EXPECT_EQ(Str(settings.userName), "carol");
    EXPECT_EQ(Str(settings.password), "a b");
    EXPECT_EQ(Str(settings.streamId), "9");

    EXPECT_FALSE(ParseSettingsOverride(settings, "not base64!"));
    EXPECT_EQ(Str(settings.userName), "carol");
}

} // namespace

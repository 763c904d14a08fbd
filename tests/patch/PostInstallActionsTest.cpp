#include "patch/MervaneTask_Uninstall.h"
#include "patch/PostInstallActions.h"
#include "patch/UninstallRecord.h"

#include "PatchInstallationFixture.h"
#include "datanode/DataNodeTesting.h"
#include "foundation/CXDebug.h"
#include "foundation/CXMD5.h"
#include "foundation/CXPath.h"
#include "platform/Registry.h"
#include "support/DesktopFileValidate.h"
#include "support/WaitFor.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Platform;

namespace {

std::optional<RegistryValue> Query(RegistryHive hive, const std::string& key, const std::string& name)
{
    RegistryValue value;
    if (QueryRegistryValue(hive, key, name, value) != 0)
        return std::nullopt;
    return value;
}

bool KeyExists(RegistryHive hive, const std::string& key)
{
    std::vector<RegistryNamedValue> values;
    return ListRegistryValues(hive, key, values) == 0;
}

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Entries(const std::string& recordHost)
{
    std::vector<CXString> entries;
    std::vector<std::string> texts;
    if (ReadUninstallRecord(PatchInstallationFixture::Program(recordHost), entries)) {
        for (const CXString& entry : entries)
            texts.push_back(PatchInstallationFixture::Text(entry));
    }
    return texts;
}

// The configuration as "patch-config.txt" gives it: an edit under each of the five roots, with
// every variable.
const char* const kConfig = R"cfg(
patch-anchor-file "bin/game"
installation-id qv
start-menu-shortcut-folder "Maker/Product"
shortcut-filename "Product.exe"
registry-edits {
  uninstall {
    root hklm
    path "SOFTWARE\Uninstall\$(TARGETPATHKEY)"
    type string
    name InstallLocation
    value "$(TARGETPATH)"
  }
  size {
    root HKLM
    path "SOFTWARE\Uninstall\$(TARGETPATHKEY)"
    type dword
    name EstimatedSize
    value "$(INSTALLSIZE)"
  }
  open {
    root HKCR
    path "rxbfile\shell\open\command"
    type STRING
    name ""
    value """$(ANCHORPATH)"" ""%1"""
  }
  user {
    root hkcu
    path "Software\Maker"
    type DWORD
    name Big
    value "4294967295"
  }
  users {
    root HKU
    path ".DEFAULT\Software\Maker"
    type string
    name Id
    value "$(TARGETPATHKEY)"
  }
  config {
    root HKCC
    path "Software\Maker"
    type dword
    name Minus
    value "-1"
  }
}
)cfg";

class PostInstallActionsTest : public testing::Test, public PatchInstallationFixture {
protected:
    PostInstallValues Values(bool uninstall = false)
    {
        PostInstallValues values;
        Put(scratch / "patch-config.txt", kConfig);
        EXPECT_TRUE(values.ReadConfigurationFile(Program(scratch / "patch-config.txt")));
        values.targetPath = "C:/Games/Product";
        values.uninstallMode = uninstall;
        return values;
    }
    std::string Key() const
    {
        return "qv-" + Text(MD5HexDigest(CXStringArgument(MakeSafeFileName("C:/Games/Product"))));
    }

    // Runs the uninstall task on a target to its end.
    static void Uninstall(const CXString& target)
    {
        MervaneTask_Uninstall task;
        task.SetAnchorFile("bin/game");
        ASSERT_TRUE(task.Start(target));
        task.Proceed();
        MervaneTaskStatus status;
        ASSERT_TRUE(WaitFor([&] {
            task.GetStatus(status);
            return status.state == kMervaneTaskComplete || status.state == kMervaneTaskFailed;
        }));
        EXPECT_EQ(status.state, kMervaneTaskComplete) << Text(status.detail2);
        EXPECT_EQ(Text(status.text), "Done.");
    }
};

TEST_F(PostInstallActionsTest, InstallUpdateAndUninstallOverARealTree)
{
    PostInstallValues install = Values();
    RunPostInstallActions(install);

    const std::string uninstallKey = "SOFTWARE\\Uninstall\\" + Key();
    EXPECT_EQ(Query(kRegistryLocalMachine, uninstallKey, "InstallLocation"), RegistryValue::String(Target()));
    EXPECT_EQ(Query(kRegistryLocalMachine, uninstallKey, "EstimatedSize"), RegistryValue::Dword(1)) << "1536 bytes";
    EXPECT_EQ(Query(kRegistryClassesRoot, "rxbfile\\shell\\open\\command", ""),
              RegistryValue::String("\"" + Target() + "/bin/game\" \"%1\""));
    EXPECT_EQ(Query(kRegistryCurrentUser, "Software\\Maker", "Big"), RegistryValue::Dword(0xFFFFFFFFu));
    EXPECT_EQ(Query(kRegistryUsers, ".DEFAULT\\Software\\Maker", "Id"), RegistryValue::String(Key()));
    EXPECT_EQ(Query(kRegistryCurrentConfig, "Software\\Maker", "Minus"), RegistryValue::Dword(0xFFFFFFFFu));

    // The program names the shortcuts ".lnk" (so does the record); the files are desktop entries.
    const std::string startMenu = Programs() + "/Maker/Product/Product.desktop";
    const std::string onDesktop = Desktop() + "/Product.desktop";
    ASSERT_TRUE(Exists(startMenu));
    ASSERT_TRUE(Exists(onDesktop));
    EXPECT_FALSE(Exists(Programs() + "/Maker/Product/Product.lnk"));
    EXPECT_FALSE(Exists(Desktop() + "/Product.lnk"));
    const std::vector<std::string> recorded = {"Z:" + Programs() + "/Maker/Product/Product.lnk",
                                               "Z:" + Desktop() + "/Product.lnk"};
    EXPECT_EQ(Entries(Target() + "/uninstall.dat"), recorded);

    // An update runs the same actions again: the shortcuts are found, not numbered anew.
    RunPostInstallActions(install);
    EXPECT_FALSE(Exists(Programs() + "/Maker/Product/Product (2).desktop"));
    EXPECT_FALSE(Exists(Desktop() + "/Product (2).desktop"));
    EXPECT_EQ(Entries(Target() + "/uninstall.dat"), recorded);

    Uninstall("C:/Games/Product");
    EXPECT_FALSE(Exists(Target()));
    EXPECT_FALSE(Exists(startMenu));
    EXPECT_FALSE(Exists(onDesktop));
    EXPECT_TRUE(Exists(Programs() + "/Maker/Product")) << "only recorded files go";

    // The page then runs the actions in uninstall mode: the keys go, no shortcut comes back.
    PostInstallValues uninstall = Values(true);
    RunPostInstallActions(uninstall);
    EXPECT_FALSE(KeyExists(kRegistryLocalMachine, uninstallKey));
    EXPECT_FALSE(KeyExists(kRegistryClassesRoot, "rxbfile\\shell\\open\\command"));
    EXPECT_FALSE(KeyExists(kRegistryUsers, ".DEFAULT\\Software\\Maker"));
    EXPECT_FALSE(KeyExists(kRegistryCurrentConfig, "Software\\Maker"));
    EXPECT_TRUE(KeyExists(kRegistryClassesRoot, "rxbfile\\shell\\open")) << "only the listed key";
    EXPECT_FALSE(Exists(startMenu));
    EXPECT_FALSE(Exists(onDesktop));
    EXPECT_FALSE(Exists(Target()));
}

TEST_F(PostInstallActionsTest, RegistryEditsSkipWhatTheyCannotWriteFaithfully)
{
    PostInstallValues values;
    values.targetPath = "C:/Games/Product";
    values.registryEdits = DataNodeTesting::Parse(R"cfg(
      a {
        root HKEY_LOCAL_MACHINE
        path "S\A"
        type string
        name x
        value 1
      }
      b {
        root HKLM
        path "S\B"
        type dword
        name over
        value 4294967296
      }
      c {
        root HKLM
        path "S\B"
        type dword
        name low
        value -2147483648
      }
      d {
        root HKLM
        path "S\B"
        type dword
        name under
        value -2147483649
      }
      e {
        root HKLM
        path "S\B"
        type dword
        name empty
        value ""
      }
      f {
        root HKLM
        path "S\B"
        type string
        name broken
        value "$(TARGETPATH"
      }
      g {
        root HKLM
        path "S\$(NOSUCH"
        type string
        name x
        value 1
      }
      h {
        root HKLM
        path "S\B"
        type string
        name kept
        value "$(NOSUCH)"
      }
      i {
        root HKLM
        path "S\C"
        type qword
        name x
        value 1
      }
      j {
        root HKLM
        path "S\D"
        name x
        value 1
      }
    )cfg");
    CXDebugCapture capture;
    ApplyRegistryEdits(values);
    EXPECT_FALSE(KeyExists(kRegistryLocalMachine, "S\\A")) << "long root names are not taken";
    EXPECT_EQ(Query(kRegistryLocalMachine, "S\\B", "over"), std::nullopt);
    EXPECT_EQ(Query(kRegistryLocalMachine, "S\\B", "low"), RegistryValue::Dword(0x80000000u));
    EXPECT_EQ(Query(kRegistryLocalMachine, "S\\B", "under"), std::nullopt);
    EXPECT_EQ(Query(kRegistryLocalMachine, "S\\B", "empty"), std::nullopt);
    EXPECT_EQ(Query(kRegistryLocalMachine, "S\\B", "broken"), std::nullopt) << "never written empty";
    EXPECT_EQ(Query(kRegistryLocalMachine, "S\\B", "kept"), RegistryValue::String("$(NOSUCH)"));
    EXPECT_FALSE(KeyExists(kRegistryLocalMachine, "S\\C"));
    EXPECT_FALSE(KeyExists(kRegistryLocalMachine, "S\\D"));
    EXPECT_TRUE(capture.Contains("'4294967296' is not a 32-bit number"));
    EXPECT_TRUE(capture.Contains("its value '$(TARGETPATH' does not expand"));
    EXPECT_TRUE(capture.Contains("its path 'S\\$(NOSUCH' does not expand"));

    struct Case {
        const char* text;
        std::optional<uint32_t> value;
    };
    const Case cases[] = {{"0", 0u},           {"-0", 0u},          {"2147483648", 0x80000000u}, {"4294967295", 0xFFFFFFFFu},
                          {"-1", 0xFFFFFFFFu}, {"007", 7u},         {"", std::nullopt},          {"-", std::nullopt},
                          {"+1", std::nullopt}, {" 1", std::nullopt}, {"1x", std::nullopt},      {"99999999999999999999", std::nullopt}};
    for (const Case& c : cases) {
        uint32_t value = 12345;
        EXPECT_EQ(ParseRegistryDword(c.text, value), c.value.has_value()) << c.text;
        if (c.value) {
            EXPECT_EQ(value, *c.value) << c.text;
        }
    }
}

TEST_F(PostInstallActionsTest, ShortcutNamesAndTheRecord)
{
    PostInstallValues values = Values();
    values.desktopShortcut = false;
    std::filesystem::create_directories(Programs() + "/Maker/Product");
    // Taken names: a shortcut to another program, and a file that is no shortcut at all. A name
    // is taken by its desktop file: a ".lnk" file (an older build's) holds none.
    const std::string other = "[Desktop Entry]\nType=Application\nExec=/usr/bin/other\n";
    Put(Programs() + "/Maker/Product/Product.desktop", other);
    Put(Programs() + "/Maker/Product/Product (2).desktop", "not a desktop entry");
    Put(Programs() + "/Maker/Product/Product (3).lnk", other);
    // An earlier record is kept and added to.
    Put(Target() + "/uninstall.dat", FormatUninstallRecord({"Z:/kept.lnk"}));

    CreateShortcuts(values);
    EXPECT_TRUE(Exists(Programs() + "/Maker/Product/Product (3).desktop"));
    EXPECT_EQ(Get(Programs() + "/Maker/Product/Product.desktop"), other);
    EXPECT_FALSE(Exists(Desktop() + "/Product.desktop")) << "the desktop shortcut is switched off";
    EXPECT_EQ(Entries(Target() + "/uninstall.dat"),
              (std::vector<std::string>{"Z:/kept.lnk", "Z:" + Programs() + "/Maker/Product/Product (3).lnk"}));

    // Uninstall mode, an empty name and a name that is a path make nothing.
    for (auto change : {+[](PostInstallValues& v) { v.uninstallMode = true; },
                        +[](PostInstallValues& v) { v.shortcutFilename = ""; },
                        +[](PostInstallValues& v) { v.shortcutFilename = "../../outside/x"; },
                        +[](PostInstallValues& v) { v.startMenuFolder = "../outside"; }}) {
        std::filesystem::remove(Programs() + "/Maker/Product/Product (3).desktop");
        PostInstallValues changed = Values();
        changed.desktopShortcut = false;
        change(changed);
        CreateShortcuts(changed);
        EXPECT_FALSE(Exists(Programs() + "/Maker/Product/Product (3).desktop"));
        EXPECT_TRUE(std::filesystem::is_empty(scratch / "outside"));
    }

    // Whatever else holds a name is passed over without being read: a FIFO would block.
    ASSERT_EQ(mkfifo((Desktop() + "/Product.desktop").c_str(), 0644), 0);
    PostInstallValues desktopOnly = Values();
    desktopOnly.startMenuFolder = "";
    CreateShortcuts(desktopOnly);
    EXPECT_TRUE(Exists(Desktop() + "/Product (2).desktop"));
}

// Menus and desktops list only entries that pass the validator, whatever the installation's folder
// and the shortcuts' name hold; an uninstall removes every one, and an older build's ".lnk" file
// of a recorded shortcut with it.
TEST_F(PostInstallActionsTest, ShortcutsAreValidDesktopEntriesThatUninstallRemoves)
{
    const std::string validator = DesktopFileValidator();
    if (validator.empty())
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    struct Case {
        const char* folder; // below C:
        const char* name;
    };
    const Case cases[] = {
        {"Games/Product", "Product.exe"},
        {"Games/My \"Game\" (x86) $HOME 100%", "My Game - \xC3\x89" "dition & Co"},
        {"Games/semi;colon 'single' `tick` #hash=equals ~", "Product [Beta] #2"},
        {"Games/caf\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97", "\xE6\xBC\xA2\xE5\xAD\x97"},
    };
    const std::string startMenu = Programs() + "/Maker/Product";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string target = scratch / "drive_c/" + c.folder;
        std::filesystem::create_directories(target + "/bin");
        Put(target + "/bin/game", "program");
        PostInstallValues values = Values();
        values.targetPath = CXString("C:/") + c.folder;
        values.shortcutFilename = c.name;
        // A shortcut an older build left under the first name: the record keeps that name.
        std::string shown = c.name;
        shown = shown.substr(0, shown.rfind(".exe"));
        std::filesystem::create_directories(startMenu);
        Put(startMenu + "/" + shown + ".lnk", "an older build's shortcut");
        CreateShortcuts(values);

        EXPECT_EQ(Names(startMenu), (std::vector<std::string>{shown + ".desktop", shown + ".lnk"}));
        EXPECT_EQ(Names(Desktop()), std::vector<std::string>{shown + ".desktop"});
        for (const std::string& file : {startMenu + "/" + shown + ".desktop", Desktop() + "/" + shown + ".desktop"})
            EXPECT_EQ(DesktopFileComplaints(validator, file, scratch / "report"), "") << Get(file);
        struct stat st;
        ASSERT_EQ(stat((Desktop() + "/" + shown + ".desktop").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0100, 0100u) << "a launcher on the desktop is executable";

        Uninstall(values.targetPath);
        EXPECT_EQ(Names(startMenu), std::vector<std::string>{});
        EXPECT_EQ(Names(Desktop()), std::vector<std::string>{});
        EXPECT_FALSE(Exists(target));
    }
}

TEST_F(PostInstallActionsTest, RecordFormat)
{
    const std::string longEntry(300, 'p');
    std::string bytes = FormatUninstallRecord({"C:/a.lnk", CXString(longEntry.c_str())});
    std::string expected = std::string("\0\0\0\0\x08", 5) + "C:/a.lnk" + std::string("\xFF\0\0\x01\x2C", 5) + longEntry;
    EXPECT_EQ(bytes, expected);

    const std::string record = scratch / "record";
    Put(record, bytes);
    EXPECT_EQ(Entries(record), (std::vector<std::string>{"C:/a.lnk", longEntry}));
    Put(record, bytes.substr(0, bytes.size() - 1));
    EXPECT_EQ(Entries(record), (std::vector<std::string>{"C:/a.lnk"})) << "a cut entry ends the list";
    Put(record, std::string("\0\0\0\1\x08", 5) + "C:/a.lnk");
    EXPECT_TRUE(Entries(record).empty()) << "another version lists nothing";
    EXPECT_EQ(MergeUninstallRecord(Program(record), {"C:/b.lnk"}), kCXNotSupported);
    EXPECT_EQ(std::filesystem::file_size(record), 13u) << "left alone";
}

TEST_F(PostInstallActionsTest, FolderSizeCountsLinksAsThemselves)
{
    const std::string root = scratch / "measured";
    std::filesystem::create_directories(root + "/one/two/three");
    Put(root + "/a", std::string(1000, 'a'));
    Put(root + "/one/two/three/b", std::string(24, 'b'));
    Put(scratch / "outside/big", std::string(100000, 'x'));
    const std::string linkTarget = scratch / "outside/big";
    ASSERT_EQ(symlink(linkTarget.c_str(), (root + "/one/big").c_str()), 0);
    ASSERT_EQ(symlink((scratch / "outside").c_str(), (root + "/one/folder").c_str()), 0);

    CXDebugCapture capture;
    // Each link counts the length of the path it holds.
    EXPECT_EQ(GetFolderSize(Program(root)), 1000u + 24u + linkTarget.size() + (scratch / "outside").size());
    EXPECT_TRUE(capture.Contains("GetFolderSize> Z:" + root + "/one  "));
    EXPECT_TRUE(capture.Contains("GetFolderSize> Z:" + root + "/one/two  24"));
    EXPECT_FALSE(capture.Contains("/three  ")) << "three levels down is not logged";
    EXPECT_EQ(GetFolderSize(Program(scratch / "missing")), 0u);
}

TEST_F(PostInstallActionsTest, ElevatedFolderCreationGivesFoldersToTheInvokingUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    ScopedEnv elevated("PKEXEC_UID", "65534");
    const std::string made = Programs() + "/Maker/Sub";
    ASSERT_TRUE(CreateFolderPath(Program(made), true));
    for (const std::string& folder : {Programs() + "/Maker", made}) {
        struct stat st {};
        ASSERT_EQ(stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 65534u) << folder;
    }
    ASSERT_TRUE(CreateFolderPath(Program(scratch / "plain/sub")));
    struct stat st {};
    ASSERT_EQ(stat((scratch / "plain/sub").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u) << "only when asked";
    EXPECT_TRUE(CreateFolderPath(Program(made))) << "an existing folder";
}

} // namespace

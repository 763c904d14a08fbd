#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "platform/KnownFolders.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace {

using namespace Platform;

// Every test starts with HOME on a scratch folder and no XDG, TMPDIR, override or pkexec variable.
class KnownFoldersTest : public testing::Test {
protected:
    std::string Home() const { return fScratch / "home"; }

    ScratchFolder fScratch;
    ScopedEnv fHome{"HOME", fScratch / "home"};
    ScopedEnv fVariables[9] = {
        {"XDG_DATA_HOME", std::nullopt},      {"XDG_CONFIG_HOME", std::nullopt},   {"TMPDIR", std::nullopt},
        {"PKEXEC_UID", std::nullopt},         {"CX_FOLDER_PROGRAMS", std::nullopt}, {"CX_FOLDER_DESKTOP", std::nullopt},
        {"CX_FOLDER_LOCAL_APPDATA", std::nullopt}, {"CX_FOLDER_TEMP", std::nullopt}, {"CX_DRIVE_C", std::nullopt},
    };
};

TEST_F(KnownFoldersTest, DefaultsFollowTheXdgRules)
{
    EXPECT_EQ(ProgramsFolder(), Home() + "/.local/share/applications");
    EXPECT_EQ(DesktopFolder(), Home() + "/Desktop");
    EXPECT_EQ(LocalAppDataFolder(), Home() + "/.local/share");
    EXPECT_EQ(TempFolder(), "/tmp/");
    EXPECT_EQ(UserConfigHome(), Home() + "/.config");

    ScopedEnv data("XDG_DATA_HOME", "/x/data/");
    ScopedEnv config("XDG_CONFIG_HOME", "relative/config");
    ScopedEnv temp("TMPDIR", "/var/tmp//");
    EXPECT_EQ(ProgramsFolder(), "/x/data/applications");
    EXPECT_EQ(LocalAppDataFolder(), "/x/data");
    EXPECT_EQ(UserConfigHome(), Home() + "/.config") << "a relative XDG folder is ignored";
    EXPECT_EQ(TempFolder(), "/var/tmp/");
    ScopedEnv relativeTemp("TMPDIR", "tmp");
    EXPECT_EQ(TempFolder(), "/tmp/");
}

TEST_F(KnownFoldersTest, OverridesWin)
{
    ScopedEnv data("XDG_DATA_HOME", "/x/data");
    ScopedEnv programs("CX_FOLDER_PROGRAMS", "/o/programs/");
    ScopedEnv desktop("CX_FOLDER_DESKTOP", "/o/desktop");
    ScopedEnv appData("CX_FOLDER_LOCAL_APPDATA", "/o/appdata");
    ScopedEnv temp("CX_FOLDER_TEMP", "/o/temp");
    EXPECT_EQ(ProgramsFolder(), "/o/programs");
    EXPECT_EQ(DesktopFolder(), "/o/desktop");
    EXPECT_EQ(LocalAppDataFolder(), "/o/appdata");
    EXPECT_EQ(TempFolder(), "/o/temp/");
    ScopedEnv relative("CX_FOLDER_DESKTOP", "desktop");
    EXPECT_EQ(DesktopFolder(), Home() + "/Desktop") << "a relative override is ignored";
}

TEST_F(KnownFoldersTest, DesktopFromUserDirs)
{
    std::filesystem::create_directories(Home() + "/.config");
    std::ofstream(Home() + "/.config/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                          "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
                                                          "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n";
    EXPECT_EQ(DesktopFolder(), Home() + "/Bureau");
    ScopedEnv config("XDG_CONFIG_HOME", fScratch / "config");
    EXPECT_EQ(DesktopFolder(), Home() + "/Desktop") << "the file is looked for in XDG_CONFIG_HOME";
}

TEST_F(KnownFoldersTest, UserDirsLines)
{
    struct Case {
        const char* text;
        std::optional<std::string> folder;
    };
    const Case cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"", "/h/Desktop"},
        {"  XDG_DESKTOP_DIR = \"$HOME/My Desk/\"\r\n", "/h/My Desk"},
        {"XDG_DESKTOP_DIR=\"$HOME\"", "/h"},
        {"XDG_DESKTOP_DIR=\"$HOME/\"", "/h"},
        {"XDG_DESKTOP_DIR=\"/srv/desk\"", "/srv/desk"},
        {"XDG_DESKTOP_DIR=\"/a\\\"b\\\\c\"", "/a\"b\\c"},
        {"XDG_DESKTOP_DIR=\"/first\"\nXDG_DESKTOP_DIR=\"/second\"", "/second"},
        {"XDG_DESKTOP_DIR=\"/kept\"\nXDG_DESKTOP_DIR=\"relative\"", "/kept"},
        {"XDG_DESKTOP_DIR=\"$HOMEx/y\"", std::nullopt},
        {"XDG_DESKTOP_DIR=\"relative/desk\"", std::nullopt},
        {"XDG_DESKTOP_DIR=$HOME/Desktop", std::nullopt},
        {"XDG_DESKTOP_DIR=\"$HOME/Desk", std::nullopt},
        {"#XDG_DESKTOP_DIR=\"/commented\"", std::nullopt},
        {"XDG_DESKTOP_DIRS=\"/other\"", std::nullopt},
        {"XDG_MUSIC_DIR=\"$HOME/Music\"", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string folder = "unchanged";
        bool found = FindUserDirectory(c.text, "XDG_DESKTOP_DIR", "/h", folder);
        EXPECT_EQ(found, c.folder.has_value()) << c.text;
        EXPECT_EQ(folder, c.folder.value_or("unchanged")) << c.text;
    }
    std::string folder;
    EXPECT_FALSE(FindUserDirectory("XDG_DESKTOP_DIR=\"$HOME/D\"", "XDG_DESKTOP_DIR", "", folder)) << "no home";
}

// pkexec sets PKEXEC_UID and runs the program as root with a clean environment: the invoking
// user's folders are used, never root's.
TEST_F(KnownFoldersTest, ElevatedThroughPkexecUsesTheInvokingUsersFolders)
{
    struct passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr)
        GTEST_SKIP() << "no user nobody";
    const std::string nobodyHome = nobody->pw_dir;
    ScopedEnv invoking("PKEXEC_UID", std::to_string(nobody->pw_uid));
    InvokingUser user;
    if (geteuid() != 0) {
        EXPECT_FALSE(RunsElevatedThroughPkexec());
        EXPECT_FALSE(PkexecInvokingUser(user));
        EXPECT_EQ(UserHome(), Home()) << "PKEXEC_UID alone does not make a process elevated";
        return;
    }
    EXPECT_TRUE(RunsElevatedThroughPkexec());
    ASSERT_TRUE(PkexecInvokingUser(user));
    EXPECT_EQ(user.uid, nobody->pw_uid);
    EXPECT_EQ(user.gid, nobody->pw_gid);
    EXPECT_EQ(UserHome(), nobodyHome) << "HOME (root's under pkexec) is not used";
    EXPECT_EQ(UserDataHome(), nobodyHome + "/.local/share");
    EXPECT_EQ(ProgramsFolder(), nobodyHome + "/.local/share/applications");
    EXPECT_EQ(LocalAppDataFolder(), nobodyHome + "/.local/share");
    EXPECT_EQ(DesktopFolder(), nobodyHome + "/Desktop");
    ReloadDriveMap();
    EXPECT_EQ(DriveRoot('C'), nobodyHome + "/.local/share/patch-installer/drive_c");

    // The desktop comes from the invoking user's user-dirs.dirs, with $HOME as that user's home.
    std::filesystem::create_directories(fScratch / "config");
    std::ofstream(fScratch / "config/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n";
    {
        ScopedEnv config("XDG_CONFIG_HOME", fScratch / "config");
        EXPECT_EQ(DesktopFolder(), nobodyHome + "/Bureau");
    }

    // An invoking user that cannot be found gives no folders rather than root's.
    for (const char* bad : {"", "abc", "-1", "12x", "4294967295", "99999999999"}) {
        ScopedEnv badUid("PKEXEC_UID", bad);
        EXPECT_FALSE(PkexecInvokingUser(user)) << bad;
        EXPECT_EQ(UserHome(), "") << bad;
        EXPECT_EQ(DesktopFolder(), "") << bad;
        EXPECT_EQ(ProgramsFolder(), "") << bad;
    }
    ScopedEnv reset("PKEXEC_UID", std::nullopt);
    ReloadDriveMap();
}

} // namespace

#include "platform/File.h"
#include "platform/Shortcut.h"
#include "support/DesktopFileValidate.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace Platform;

class ShortcutTest : public testing::Test {
protected:
    void TearDown() override { ClearFaults(); }

    static std::string Get(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    size_t FolderSize() const
    {
        size_t count = 0;
        for (auto it = std::filesystem::directory_iterator(fScratch.Path()); it != std::filesystem::directory_iterator(); ++it)
            ++count;
        return count;
    }

    ScratchFolder fScratch;
    ScopedEnv fNotElevated{"PKEXEC_UID", std::nullopt};
};

TEST_F(ShortcutTest, WritesADesktopEntry)
{
    ShortcutEntry entry;
    entry.name = "My Game";
    entry.target = "/opt/My Game/game";
    entry.arguments = {"--level", "two words", "a\"b", "$HOME", "back\\slash", "100%", ""};
    entry.workingDirectory = "/opt/My Game";
    entry.icon = "/opt/My Game/game";
    entry.comment = "Line one\nline two";
    const std::string path = fScratch / "My Game.lnk";
    const std::string file = fScratch / "My Game.desktop";
    ASSERT_EQ(WriteShortcut(path, entry), 0);
    EXPECT_EQ(Get(file), "[Desktop Entry]\n"
                         "Type=Application\n"
                         "Name=My Game\n"
                         "Exec=\"/opt/My Game/game\" --level \"two words\" \"a\\\\\"b\" \"\\\\$HOME\" "
                         "\"back\\\\\\\\slash\" 100%% \"\"\n"
                         "Path=/opt/My Game\n"
                         "Icon=/opt/My Game/game\n"
                         "Comment=Line one\\nline two\n");
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0100, 0100u) << "a launcher is executable";
    EXPECT_EQ(FolderSize(), 1u) << "no temporary file, and nothing under the .lnk name";
    EXPECT_TRUE(ShortcutExists(path));

    std::map<std::string, std::string> keys;
    ASSERT_EQ(ReadShortcut(path, keys), 0);
    EXPECT_EQ(keys["Name"], "My Game");
    EXPECT_EQ(keys["Comment"], "Line one\nline two");
    std::vector<std::string> arguments;
    ASSERT_TRUE(SplitExecLine(keys["Exec"], arguments));
    std::vector<std::string> expected = {entry.target};
    expected.insert(expected.end(), entry.arguments.begin(), entry.arguments.end());
    EXPECT_EQ(arguments, expected);
}

TEST_F(ShortcutTest, ArgumentsSurviveQuoting)
{
    const std::vector<std::string> tricky = {
        "plain", "with space", "tab\there", "new\nline", "cr\rhere", "'single'", "`tick`", "semi;colon",
        "pipe|amp&", "<in>out", "~tilde", "*?#", "(paren)", "dollar$", "%f", "%%", "back\\\\two", "\\",
        "\"", " leading", "trailing ", "=equals", "caf\xC3\xA9", "",
    };
    const std::string path = fScratch / "t.lnk";
    for (const std::string& argument : tricky) {
        ShortcutEntry entry;
        entry.target = "/bin/echo";
        entry.arguments = {argument, "end"};
        ASSERT_EQ(WriteShortcut(path, entry), 0) << argument;
        std::map<std::string, std::string> keys;
        ASSERT_EQ(ReadShortcut(path, keys), 0);
        std::vector<std::string> arguments;
        ASSERT_TRUE(SplitExecLine(keys["Exec"], arguments)) << keys["Exec"];
        EXPECT_EQ(arguments, (std::vector<std::string>{"/bin/echo", argument, "end"})) << keys["Exec"];
        EXPECT_EQ(Get(fScratch / "t.desktop").find('\t'), std::string::npos) << "control characters are escaped";
    }
}

TEST_F(ShortcutTest, NamesAndRefusals)
{
    ShortcutEntry entry;
    entry.target = "/usr/bin/game";
    std::string text;
    ASSERT_TRUE(FormatShortcut("/x/Game.lnk", entry, text));
    EXPECT_EQ(text, "[Desktop Entry]\nType=Application\nName=Game\nExec=/usr/bin/game\n")
        << "the name defaults to the file's name; empty keys are left out";
    entry.name = " Spaced\\Name";
    ASSERT_TRUE(FormatShortcut("/x/Game.lnk", entry, text));
    EXPECT_NE(text.find("Name=\\sSpaced\\\\Name\n"), std::string::npos);

    struct Bad {
        const char* what;
        ShortcutEntry entry;
    };
    const Bad bad[] = {
        {"no target", ShortcutEntry{"n", "", {}, "", "", ""}},
        {"control character", ShortcutEntry{"n", "/bin/x", {}, "", "", "a\x01" "b"}},
        {"not UTF-8", ShortcutEntry{"n\xFF", "/bin/x", {}, "", "", ""}},
        {"argument with NUL", ShortcutEntry{"n", "/bin/x", {std::string("a\0b", 3)}, "", "", ""}},
    };
    const std::string path = fScratch / "bad.lnk";
    for (const Bad& b : bad) {
        EXPECT_FALSE(FormatShortcut(path, b.entry, text)) << b.what;
        EXPECT_EQ(WriteShortcut(path, b.entry), EINVAL) << b.what;
    }
    EXPECT_EQ(FolderSize(), 0u);
}

TEST_F(ShortcutTest, ReplacesAtomically)
{
    const std::string path = fScratch / "s.lnk";
    const std::string file = fScratch / "s.desktop";
    ShortcutEntry entry;
    entry.target = "/bin/first";
    ASSERT_EQ(WriteShortcut(path, entry), 0);
    const std::string first = Get(file);
    entry.target = "/bin/second";
    ArmFault(kFaultWrite, 1, ENOSPC, 5);
    EXPECT_EQ(WriteShortcut(path, entry), ENOSPC);
    ClearFaults();
    EXPECT_EQ(Get(file), first) << "a failed write leaves the old file";
    EXPECT_EQ(FolderSize(), 1u);
    ASSERT_EQ(WriteShortcut(path, entry), 0);
    EXPECT_NE(Get(file).find("Exec=/bin/second\n"), std::string::npos);
    EXPECT_EQ(WriteShortcut(fScratch / "missing/s.lnk", entry), ENOENT);
}

TEST_F(ShortcutTest, ReaderAndExecSplitting)
{
    const std::string path = fScratch / "r.desktop";
    std::ofstream(path) << "# comment\n[Other Group]\nName=Wrong\n[Desktop Entry]\r\n Name = Spaced \nIcon=a\\sb\\tc\\qd\\\n"
                           "no equals here\n=empty key\n[Desktop Action x]\nExec=wrong\n";
    std::map<std::string, std::string> keys;
    ASSERT_EQ(ReadShortcut(path, keys), 0);
    EXPECT_EQ(keys, (std::map<std::string, std::string>{{"Name", "Spaced"}, {"Icon", "a b\tc\\qd\\"}}));
    EXPECT_EQ(ReadShortcut(fScratch / "missing", keys), ENOENT);

    struct Case {
        const char* exec;
        bool ok;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"prog a  b", true, {"prog", "a", "b"}},
        {"\"a b\" \"c\\\"d\" \"e\\\\f\" \"\\$g\" \"\\`h\"", true, {"a b", "c\"d", "e\\f", "$g", "`h"}},
        {"prog 100%%", true, {"prog", "100%"}},
        {"", true, {}},
        {"prog %f", false, {}},
        {"prog \"open", false, {}},
        {"prog a;b", false, {}},
        {"prog \"a\"b", false, {}},
        {"prog \"\\n\"", false, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments;
        EXPECT_EQ(SplitExecLine(c.exec, arguments), c.ok) << c.exec;
        if (c.ok) {
            EXPECT_EQ(arguments, c.arguments) << c.exec;
        }
    }
}

TEST_F(ShortcutTest, ALinkNameStandsForItsDesktopFile)
{
    struct Case {
        const char* path;
        const char* file;
    };
    const Case cases[] = {
        {"/a/Game.lnk", "/a/Game.desktop"},
        {"/a/Game (2).LNK", "/a/Game (2).desktop"},
        {"/a/Game.lNk", "/a/Game.desktop"},
        {"/a/Game.desktop", "/a/Game.desktop"},
        {"/a/Game", "/a/Game"},
        {"/a/Gamelnk", "/a/Gamelnk"},
        {"/a/Game.lnk.txt", "/a/Game.lnk.txt"},
        {"/a/Game.lnkx", "/a/Game.lnkx"},
        {"/a/Game.lmk", "/a/Game.lmk"},
        {"/a.lnk/Game", "/a.lnk/Game"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShortcutFilePath(c.path), c.file) << c.path;

    // Found, read and deleted through the ".lnk" name.
    const std::string path = fScratch / "Game.lnk";
    const std::string file = fScratch / "Game.desktop";
    EXPECT_FALSE(ShortcutExists(path));
    std::ofstream(path) << "[Desktop Entry]\nExec=/bin/legacy\n";
    EXPECT_FALSE(ShortcutExists(path)) << "a .lnk file of an older build does not hold the name";
    std::map<std::string, std::string> keys;
    EXPECT_EQ(ReadShortcut(path, keys), ENOENT);
    ShortcutEntry entry;
    entry.target = "/bin/game";
    ASSERT_EQ(WriteShortcut(path, entry), 0);
    EXPECT_TRUE(ShortcutExists(path));
    ASSERT_EQ(ReadShortcut(path, keys), 0);
    EXPECT_EQ(keys["Exec"], "/bin/game");
    EXPECT_EQ(DeleteShortcut(path), 0);
    EXPECT_EQ(FolderSize(), 0u) << "the desktop file and the older build's .lnk file both go";
    EXPECT_EQ(DeleteShortcut(path), 0) << "nothing there is not a failure";
}

TEST_F(ShortcutTest, WhatIsNotAPlainFileIsNeitherReadNorFollowed)
{
    const std::string outside = fScratch / "outside.desktop";
    std::ofstream(outside) << "[Desktop Entry]\nExec=/bin/outside\n";
    const std::string path = fScratch / "s.lnk";
    const std::string file = fScratch / "s.desktop";
    std::map<std::string, std::string> keys;

    // A link: reported, not followed, and deleted as itself.
    ASSERT_EQ(symlink(outside.c_str(), file.c_str()), 0);
    EXPECT_TRUE(ShortcutExists(path));
    EXPECT_EQ(ReadShortcut(path, keys), ELOOP);
    EXPECT_EQ(DeleteShortcut(path), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(file));
    EXPECT_EQ(Get(outside), "[Desktop Entry]\nExec=/bin/outside\n");
    ASSERT_EQ(symlink("missing", file.c_str()), 0);
    EXPECT_TRUE(ShortcutExists(path)) << "a dangling link holds the name";
    ASSERT_EQ(unlink(file.c_str()), 0);

    // A FIFO is not opened for reading, which would block.
    ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
    EXPECT_EQ(ReadShortcut(path, keys), EINVAL);
    ASSERT_EQ(unlink(file.c_str()), 0);

    // A folder stays, and so does what it holds.
    std::filesystem::create_directories(file + "/inner");
    EXPECT_TRUE(ShortcutExists(path));
    EXPECT_EQ(ReadShortcut(path, keys), EINVAL);
    EXPECT_EQ(DeleteShortcut(path), EISDIR);
    EXPECT_TRUE(std::filesystem::is_directory(file + "/inner"));
}

// Desktops list only entries that pass the validator: whatever a target path holds, the entry
// must.
TEST_F(ShortcutTest, EntriesPassTheValidator)
{
    const std::string validator = DesktopFileValidator();
    if (validator.empty())
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    const std::vector<std::string> folders = {
        "/opt/Game",
        "/opt/My Game (x86)",
        "/opt/quote\"d 'single' `tick` $HOME 100% back\\slash",
        "/opt/semi;colon|pipe&amp<in>out~tilde*?#=equals",
        "/opt/caf\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97",
        "/opt/tab\there/new\nline/cr\rhere",
        "/opt/ leading/trailing ",
        "/opt/[Group] #hash",
    };
    const char* const programs[] = {"game", "game.exe", "Game Launcher.sh"};
    for (size_t i = 0; i < folders.size(); ++i) {
        ShortcutEntry entry;
        entry.target = folders[i] + "/" + programs[i % 3];
        entry.workingDirectory = folders[i];
        entry.icon = entry.target;
        const std::string path = fScratch / ("Game (" + std::to_string(i + 2) + ").lnk");
        ASSERT_EQ(WriteShortcut(path, entry), 0) << entry.target;
        std::string complaints = DesktopFileComplaints(validator, ShortcutFilePath(path), fScratch / "report");
        EXPECT_EQ(complaints, "") << entry.target << "\n" << Get(ShortcutFilePath(path));
    }
}

} // namespace

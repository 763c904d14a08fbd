#include "platform/File.h"
#include "platform/Shortcut.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    ASSERT_EQ(WriteShortcut(path, entry), 0);
    EXPECT_EQ(Get(path), "[Desktop Entry]\n"
                         "Type=Application\n"
                         "Name=My Game\n"
                         "Exec=\"/opt/My Game/game\" --level \"two words\" \"a\\\\\"b\" \"\\\\$HOME\" "
                         "\"back\\\\\\\\slash\" 100%% \"\"\n"
                         "Path=/opt/My Game\n"
                         "Icon=/opt/My Game/game\n"
                         "Comment=Line one\\nline two\n");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0100, 0100u) << "a launcher is executable";
    EXPECT_EQ(FolderSize(), 1u) << "no temporary file is left";

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
        EXPECT_EQ(Get(path).find('\t'), std::string::npos) << "control characters are escaped";
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
    ShortcutEntry entry;
    entry.target = "/bin/first";
    ASSERT_EQ(WriteShortcut(path, entry), 0);
    const std::string first = Get(path);
    entry.target = "/bin/second";
    ArmFault(kFaultWrite, 1, ENOSPC, 5);
    EXPECT_EQ(WriteShortcut(path, entry), ENOSPC);
    ClearFaults();
    EXPECT_EQ(Get(path), first) << "a failed write leaves the old file";
    EXPECT_EQ(FolderSize(), 1u);
    ASSERT_EQ(WriteShortcut(path, entry), 0);
    EXPECT_NE(Get(path).find("Exec=/bin/second\n"), std::string::npos);
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

} // namespace

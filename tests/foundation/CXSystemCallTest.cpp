#include "foundation/CXSystemCall.h"

#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Strings(const std::vector<CXString>& list)
{
    std::vector<std::string> out;
    for (const CXString& s : list)
        out.emplace_back(s.c_str(), s.length());
    return out;
}

std::vector<CXString> Codes(const std::vector<std::string>& list)
{
    std::vector<CXString> out;
    for (const std::string& s : list)
        out.emplace_back(s.c_str());
    return out;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void WriteScript(const std::string& path, const std::string& text, fs::perms perms = fs::perms(0755))
{
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, perms);
}

// A file that a detached program writes; waits until it is there (the program renames it into
// place when complete).
std::optional<std::string> AwaitFile(const std::string& path)
{
    if (!WaitFor([&] { return fs::exists(path); }))
        return std::nullopt;
    return ReadFile(path);
}

// The identity a launched program should get: as root, the user named by SUDO_UID (the test
// picks "nobody"); otherwise this process's own.
class CXSystemCallLaunchTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string effective;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Uid:", 0) == 0) {
                std::istringstream fields(line.substr(4));
                std::string real;
                fields >> real >> effective;
                fExpectedUid = real;
            }
        }
        fIsRoot = effective == "0";
        fPkexec.emplace("PKEXEC_UID", std::nullopt);
        if (fIsRoot) {
            std::ifstream passwd("/etc/passwd");
            for (std::string line; std::getline(passwd, line);) {
                if (line.rfind("nobody:", 0) != 0)
                    continue;
                std::vector<std::string> field;
                std::istringstream parts(line);
                for (std::string part; std::getline(parts, part, ':');)
                    field.push_back(part);
                if (field.size() >= 6) {
                    fExpectedUid = field[2];
                    fExpectedHome = field[5];
                }
            }
            if (fExpectedHome.empty())
                GTEST_SKIP() << "running as root without a 'nobody' user to launch as";
            fSudo.emplace("SUDO_UID", fExpectedUid);
            // The invoking user must be able to write its marker files here.
            fs::permissions(fScratch.Path(), fs::perms(0777));
        } else {
            fSudo.emplace("SUDO_UID", std::nullopt);
            const char* home = std::getenv("HOME");
            fExpectedHome = home != nullptr ? home : "";
        }
    }

    ScratchFolder fScratch;
    ScopedDriveMap fMap{fScratch.Path()};
    std::optional<ScopedEnv> fPkexec;
    std::optional<ScopedEnv> fSudo;
    bool fIsRoot = false;
    std::string fExpectedUid;
    std::string fExpectedHome;
};

// The locale codes chosen from the available ones under LANGUAGE, LC_ALL, LC_MESSAGES and LANG
// (nullptr: unset).
struct LocaleCase {
    const char* language;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    std::vector<std::string> available;
    std::vector<std::string> expected;
};

void ExpectChosenLocales(const LocaleCase& c)
{
    auto value = [](const char* v) { return v != nullptr ? std::optional<std::string>(v) : std::nullopt; };
    ScopedEnv language("LANGUAGE", value(c.language));
    ScopedEnv lcAll("LC_ALL", value(c.lcAll));
    ScopedEnv lcMessages("LC_MESSAGES", value(c.lcMessages));
    ScopedEnv lang("LANG", value(c.lang));
    auto show = [](const char* v) { return v != nullptr ? v : "-"; };
    EXPECT_EQ(Strings(CXSystemCall::ChooseLocale(Codes(c.available))), c.expected)
        << "LANGUAGE " << show(c.language) << " LC_ALL " << show(c.lcAll) << " LC_MESSAGES " << show(c.lcMessages) << " LANG "
        << show(c.lang);
}

TEST(CXSystemCallTest, ChooseLocaleFollowsPreferredLanguages)
{
    const LocaleCase cases[] = {
        // The available codes are normalised; fr is dropped for its length.
        {"de_DE:en_US", nullptr, nullptr, nullptr, {"en_US", "de-DE", "fr"}, {"de-DE", "en-US"}},
        // Case is kept, and compared without.
        {nullptr, nullptr, nullptr, "en_US.UTF-8", {"EN-us"}, {"EN-us"}},
        {nullptr, "de_DE@euro", nullptr, nullptr, {"en-US", "de_DE"}, {"de-DE"}},
        {nullptr, nullptr, nullptr, "ast_ES.UTF-8", {"ast_ES", "es-ES"}, {"ast-ES"}},
        // A full name matches its own territory only.
        {"de_AT", nullptr, nullptr, nullptr, {"de-DE"}, {}},
        // The C locale names no language.
        {nullptr, nullptr, nullptr, "C", {"en-US"}, {}},
        {"C:POSIX:fr_FR", "C.UTF-8", nullptr, nullptr, {"fr-FR"}, {"fr-FR"}},
        // LC_ALL overrides LC_MESSAGES, which overrides LANG.
        {nullptr, "fr_FR.UTF-8", "de_DE.UTF-8", "en_US.UTF-8", {"de-DE", "en-US", "fr-FR"}, {"fr-FR"}},
        {nullptr, nullptr, "de_DE.UTF-8", "en_US.UTF-8", {"de-DE", "en-US", "fr-FR"}, {"de-DE"}},
        // Each code once, however many preferred names match it; the first equal code wins.
        {"de_DE::de_DE@euro", nullptr, nullptr, "de_DE.UTF-8", {"de_DE", "de-DE"}, {"de-DE"}},
        {"de_DE", nullptr, nullptr, "de_DE.UTF-8", {"de-DE"}, {"de-DE"}},
        // Nothing known.
        {nullptr, nullptr, nullptr, nullptr, {"en-US"}, {}},
    };
    for (const LocaleCase& c : cases)
        ExpectChosenLocales(c);
}

TEST(CXSystemCallTest, ChooseLocaleMatchesBareLanguages)
{
    const LocaleCase cases[] = {
        // Without a locale of that language, the first available code of the language.
        {"de:en", nullptr, nullptr, nullptr, {"en-GB", "de-CH", "de-DE", "en-US"}, {"de-CH", "en-GB"}},
        {"de", nullptr, nullptr, "fr_FR.UTF-8", {"fr-FR", "de-DE"}, {"de-DE", "fr-FR"}},
        // The locale's territory first when it names the same language, then any of the language.
        {"de", nullptr, nullptr, "de_AT.UTF-8", {"de-DE", "de-AT", "en-US"}, {"de-AT", "de-DE"}},
        {"de:en", nullptr, nullptr, "en_US.UTF-8", {"de-DE", "en-GB", "en-US"}, {"de-DE", "en-US", "en-GB"}},
        {"de", nullptr, nullptr, "de_AT.UTF-8", {"en-US", "de-DE"}, {"de-DE"}},
        {"de", "de_CH.UTF-8", nullptr, "de_AT.UTF-8", {"de-AT", "de-CH"}, {"de-CH", "de-AT"}},
        {"DE", nullptr, nullptr, "de_at.utf8", {"de-DE", "De-At"}, {"De-At", "de-DE"}},
        // Modifiers and codesets are cut off; "_" and "-" are alike.
        {"sr@latin", nullptr, nullptr, "sr_RS.UTF-8@latin", {"sr-ME", "sr_RS"}, {"sr-RS", "sr-ME"}},
        {"pt_BR:pt", nullptr, nullptr, nullptr, {"pt-PT", "pt_BR"}, {"pt-BR", "pt-PT"}},
        // A language is the whole part before the territory.
        {"as:ast", nullptr, nullptr, nullptr, {"ast-ES", "as-IN"}, {"as-IN", "ast-ES"}},
        {"german", nullptr, nullptr, nullptr, {"de-DE"}, {}},
        // Empty entries and the C locale name nothing; a bare LANG is a bare language too.
        {"::de::", "C.UTF-8", nullptr, nullptr, {"de-DE"}, {"de-DE"}},
        {nullptr, nullptr, nullptr, "de.UTF-8", {"en-US", "de-DE"}, {"de-DE"}},
        {"", nullptr, "C", "de_DE.UTF-8", {"de-DE"}, {}},
    };
    for (const LocaleCase& c : cases)
        ExpectChosenLocales(c);
}

TEST(CXSystemCallTest, SplitArgumentsLikeAShell)
{
    struct Case {
        const char* text;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {"", {}},
        {"  one\ttwo \n three  ", {"one", "two", "three"}},
        {"\"two words\" 'single $x \\n'", {"two words", "single $x \\n"}},
        {"\"a \\\"q\\\" \\\\ \\$ \\n\"", {"a \"q\" \\ $ \\n"}},
        {"a\\ b \\'c", {"a b", "'c"}},
        {"pre\"mid\"'post' \"\" ''", {"premidpost", "", ""}},
        {"C:/Program\\ Files/x end\\", {"C:/Program Files/x", "end\\"}},
    };
    for (const Case& c : cases) {
        std::vector<CXString> words{"stale"};
        EXPECT_EQ(CXSystemCall::SplitArguments(c.text, words), kCXOK) << c.text;
        EXPECT_EQ(Strings(words), c.words) << c.text;
    }
    for (const char* unbalanced : {"'open", "a \"b", "\"c\\\""}) {
        std::vector<CXString> words;
        EXPECT_EQ(CXSystemCall::SplitArguments(unbalanced, words), kCXBadParameter) << unbalanced;
        EXPECT_TRUE(words.empty());
    }
}

TEST_F(CXSystemCallLaunchTest, StartsProgramInFolderAsInvokingUser)
{
    fs::create_directory(fScratch / "work");
    fs::permissions(fScratch / "work", fs::perms(0777));
    WriteScript(fScratch / "run.sh", "#!/bin/sh\n"
                                     "ls /proc/self/fd > \"$0.fds\"\n"
                                     "{ printf '%s\\n' \"$@\"; pwd; id -u; printf '%s\\n' \"$HOME\"; } > \"$0.tmp\"\n"
                                     "mv \"$0.tmp\" \"$0.out\"\n");
    // An open descriptor of this process, which the program must not inherit.
    std::ifstream held(fScratch / "run.sh");
    ASSERT_TRUE(held.is_open());

    ASSERT_EQ(CXSystemCall::LaunchExternalProcess("C:/run.sh", "first \"second word\"", "C:/work"), kCXOK);
    std::optional<std::string> out = AwaitFile(fScratch / "run.sh.out");
    ASSERT_TRUE(out);
    std::vector<std::string> expected{"first", "second word", fScratch / "work", fExpectedUid, fExpectedHome};
    EXPECT_EQ(Lines(*out), expected);
    // ls itself holds one descriptor for the folder it lists.
    EXPECT_EQ(Lines(ReadFile(fScratch / "run.sh.fds")), (std::vector<std::string>{"0", "1", "2", "3"}));
}

TEST_F(CXSystemCallLaunchTest, FailuresGiveResultCodes)
{
    WriteScript(fScratch / "run.sh", "#!/bin/sh\ntrue\n");
    WriteScript(fScratch / "plain.txt", "#!/bin/sh\ntrue\n", fs::perms(0644));
    WriteScript(fScratch / "garbage", "not a program\n");
    struct Case {
        const char* program;
        const char* arguments;
        const char* folder;
        int expected;
    };
    const Case cases[] = {
        {"C:/missing.sh", "", "", kCXNotFound},
        {"cx-no-such-program-anywhere", "", "", kCXNotFound},
        {"C:/run.sh", "", "C:/no-such-folder", kCXNotFound},
        {"C:/plain.txt", "", "", kCXAccessDenied},
        {"C:/garbage", "", "", kCXBadFormat},
        {"C:/run.sh", "'unbalanced", "", kCXBadParameter},
        {"", "", "", kCXBadParameter},
    };
    for (const Case& c : cases) {
        CXDebugCapture capture;
        EXPECT_EQ(CXSystemCall::LaunchExternalProcess(c.program, c.arguments, c.folder), c.expected) << c.program;
        EXPECT_EQ(capture.Count("Failed with error"), 0u);
    }
}

TEST_F(CXSystemCallLaunchTest, RootWithoutInvokingUserStartsNothing)
{
    if (!fIsRoot)
        GTEST_SKIP() << "only a root process refuses to launch";
    fSudo.reset();
    ScopedEnv noSudo("SUDO_UID", std::nullopt);
    WriteScript(fScratch / "run.sh", "#!/bin/sh\ntouch \"$0.out\"\n");
    CXDebugCapture capture;
    EXPECT_EQ(CXSystemCall::LaunchExternalProcess("C:/run.sh", "", ""), kCXAccessDenied);
    EXPECT_EQ(capture.Count("CXSystemCall::LaunchExternalProcess> Running as root for no known user"), 1u);
    // Not started at all: the launch returned before forking.
    EXPECT_FALSE(fs::exists(fScratch / "run.sh.out"));

    ScopedEnv unknown("PKEXEC_UID", "4294967294x");
    EXPECT_EQ(CXSystemCall::LaunchExternalProcess("C:/run.sh", "", ""), kCXAccessDenied);
}

TEST_F(CXSystemCallLaunchTest, OpenDocumentDecodesAndHandsTextToOpener)
{
    WriteScript(fScratch / "open.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.out\"\n");
    ScopedEnv opener("CX_OPEN_COMMAND", fScratch / "open.sh");
    struct Case {
        const char* text;
        std::string opened;
    };
    const Case cases[] = {
        {"/srv/read%20me+now.txt", "/srv/read me now.txt"},
        {"https://example.com/a%2Bb?q=%7e", "https://example.com/a+b?q=~"},
        // A program path is handed over in its host form.
        {"C:/docs/read%20me.txt", fScratch / "docs/read me.txt"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(CXSystemCall::OpenDocument(c.text), kCXOK) << c.text;
        std::optional<std::string> opened = AwaitFile(fScratch / "open.sh.out");
        ASSERT_TRUE(opened) << c.text;
        EXPECT_EQ(*opened, c.opened);
        fs::remove(fScratch / "open.sh.out");
    }

    EXPECT_EQ(CXSystemCall::OpenDocument(nullptr), kCXBadParameter);
    EXPECT_EQ(CXSystemCall::OpenDocument(""), kCXBadParameter);

    // An opener that cannot be started is reported, not taken for success.
    ScopedEnv missing("CX_OPEN_COMMAND", fScratch / "no-opener");
    EXPECT_EQ(CXSystemCall::OpenDocument("https://example.com/"), kCXNotFound);
}

} // namespace

#include "app/MervaneOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

void ResetValues()
{
    EscalationStage = 0;
    TargetPath = CXString();
    StartRequested = SelfDeleteRequested = StreamSetupOnly = LaunchTargetRequested = UninstallMode = false;
    DesktopShortcutWanted = true;
    LocaleCode = "US";
    SettingsOverridden = false;
}

void Apply(std::vector<const char*> argv, const char* startFolder = "C:/Start")
{
    ResetValues();
    argv.insert(argv.begin(), "patch-installer");
    CXCommandLineArguments arguments;
    arguments.SetOptions();
    (void)arguments.ParseArguments(static_cast<int>(argv.size()), argv.data());
    ApplyCommandLineValues(arguments, startFolder);
}

TEST(MervaneOptionsTest, LocaleIsUpperCasedAndDefaultsToUS)
{
    struct Case {
        std::vector<const char*> argv;
        const char* expected;
    };
    const Case cases[] = {
        {{"--locale", "de"}, "DE"},
        {{}, "US"},
        {{"--locale"}, "US"},
        {{"--locale", "pt-br"}, "PT-BR"},
        {{"--checkforpatch", "--locale", "fr"}, "FR"},
    };
    for (const Case& c : cases) {
        Apply(c.argv);
        EXPECT_EQ(Str(LocaleCode), c.expected);
    }
}

TEST(MervaneOptionsTest, SwitchesAndValues)
{
    Apply({"--escalationstage", "2", "--start", "--setstream", "--launchtargetonexit", "--selfdeleteonexit", "--uninstall"});
    EXPECT_EQ(EscalationStage, 2);
    EXPECT_TRUE(StartRequested && StreamSetupOnly && LaunchTargetRequested && SelfDeleteRequested && UninstallMode);
    EXPECT_TRUE(DesktopShortcutWanted);
    EXPECT_TRUE(TargetPath.IsEmpty());

    Apply({"--escalationstage", "x"});
    EXPECT_EQ(EscalationStage, 0);
    EXPECT_FALSE(StartRequested || StreamSetupOnly || LaunchTargetRequested || SelfDeleteRequested || UninstallMode);

    Apply({"--no-desktop-shortcut"});
    EXPECT_FALSE(DesktopShortcutWanted);
}

TEST(MervaneOptionsTest, RelativeTargetIsTakenFromTheStartFolder)
{
    struct Case {
        const char* value;
        const char* start;
        const char* expected;
    };
    const Case cases[] = {
        {"Product", "C:/Users/me", "C:/Users/me/Product"},
        {"../Games/./Product/", "C:/Users/me", "C:/Users/Games/Product"},
        {"D:/Apps/Product", "C:/Users/me", "D:/Apps/Product"},
        {"/opt/product", "C:/Users/me", "Z:/opt/product"},
        {"", "C:/Users/me", ""},
    };
    for (const Case& c : cases) {
        Apply({"--target", c.value}, c.start);
        EXPECT_EQ(Str(TargetPath), c.expected) << c.value;
    }
}

} // namespace

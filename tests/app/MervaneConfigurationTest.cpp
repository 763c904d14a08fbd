#include "app/MervaneConfiguration.h"

#include "datanode/CXLocalisation.h"
#include "datanode/DNTranslator.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string Str(const CXString& s)
{
    return std::string(s.c_str(), s.length());
}

TEST(MervaneConfigurationTest, ChoosesTheFirstMatchThenEnglishThenTheFirstCode)
{
    struct Case {
        std::vector<CXString> available;
        std::vector<CXString> matching;
        const char* expected;
    };
    const Case cases[] = {
        {{"de", "fr"}, {}, "de"},
        {{"fr", "en"}, {}, "en"},
        {{"fr-FR", "de-DE", "en"}, {"de-DE", "fr-FR"}, "de-DE"},
        {{"fr_FR", "de_DE"}, {"de-DE"}, "de_DE"},
        {{"en"}, {"xx-XX"}, "en"},
        {{}, {}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Str(ChooseLocaleCode(c.available, c.matching)), c.expected);
}

class MervaneLocalesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DNInitBuiltInTranslators();
        ClearLocalisationTable();
        std::filesystem::create_directories(fScratch / "data");
    }
    void TearDown() override { ClearLocalisationTable(); }

    void WriteConfiguration(const std::string& text) { std::ofstream(fScratch / "data/patch-config.txt") << text; }

    ScratchFolder fScratch;
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch.Path()};
    ScopedEnv fLanguage{"LANGUAGE", std::nullopt};
    ScopedEnv fAll{"LC_ALL", std::nullopt};
    ScopedEnv fMessages{"LC_MESSAGES", std::nullopt};
    ScopedEnv fLang{"LANG", std::nullopt};
};

TEST_F(MervaneLocalesTest, LoadsTheTextsOfThePreferredLanguage)
{
    const std::string configuration = "application-bundle-id org.example.product\r"
                                      "locales {\r"
                                      "  fr-FR { \"$mervane_welcome_install\" \"Bienvenue\" }\r"
                                      "  de-DE { \"$mervane_welcome_install\" \"Willkommen\" }\r"
                                      "  en { \"$mervane_welcome_install\" \"Welcome\" }\r"
                                      "}\r";
    WriteConfiguration(configuration);
    struct Case {
        const char* language;
        const char* lang;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "de_DE.UTF-8", "Willkommen"},
        {"fr_FR:de_DE", "de_DE.UTF-8", "Bienvenue"},
        {"pt_BR", nullptr, "Welcome"},
        // A bare language takes the locale of that language the configuration has.
        {"de:fr", nullptr, "Willkommen"},
        {nullptr, nullptr, "Welcome"},
    };
    for (const Case& c : cases) {
        ClearLocalisationTable();
        ScopedEnv language("LANGUAGE", c.language ? std::optional<std::string>(c.language) : std::nullopt);
        ScopedEnv lang("LANG", c.lang ? std::optional<std::string>(c.lang) : std::nullopt);
        EXPECT_TRUE(LoadLocales());
        EXPECT_EQ(Str(Localise("$mervane_welcome_install")), c.expected) << (c.language ? c.language : "-");
        EXPECT_EQ(Str(ConfigString(ConfigTree.get(), "application-bundle-id")), "org.example.product");
    }
}

TEST_F(MervaneLocalesTest, MissingOrEmptyConfigurationLoadsNoTexts)
{
    EXPECT_FALSE(LoadLocales());
    ASSERT_NE(ConfigTree.get(), nullptr);
    EXPECT_EQ(ConfigTree->Count(), 0u);
    WriteConfiguration("");
    EXPECT_FALSE(LoadLocales());
    EXPECT_EQ(Str(Localise("$mervane_welcome_install")), "$mervane_welcome_install");

    // A configuration without "locales" is still a configuration.
    WriteConfiguration("patch-anchor-file KELD.exe\r");
    EXPECT_TRUE(LoadLocales());
    EXPECT_EQ(Str(ConfigString(ConfigTree.get(), "patch-anchor-file")), "KELD.exe");
    EXPECT_EQ(Str(Localise("$mervane_welcome_install")), "$mervane_welcome_install");
}

} // namespace

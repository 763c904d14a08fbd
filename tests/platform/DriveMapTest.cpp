#include "platform/DriveMap.h"
#include "support/ScopedDriveMap.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

// Every test starts from a known map: C: on a scratch folder, no other overrides.
class DriveMapTest : public testing::Test {
protected:
    void Set(const char* name, std::optional<std::string> value) { fMap.Set(name, std::move(value)); }

    ScratchFolder fScratch;
    ScopedDriveMap fMap{fScratch.Path() + "/c"};
};

std::optional<std::string> ToHost(const std::string& program)
{
    std::string host;
    if (!Platform::ProgramToHostPath(program, host))
        return std::nullopt;
    return host;
}

std::optional<std::string> ToProgram(const std::string& host)
{
    std::string program;
    if (!Platform::HostToProgramPath(host, program))
        return std::nullopt;
    return program;
}

TEST_F(DriveMapTest, ProgramToHost)
{
    const std::string c = fScratch.Path() + "/c";
    struct Case {
        std::string program;
        std::optional<std::string> host;
    };
    const Case cases[] = {
        {"Z:/usr/bin", "/usr/bin"},
        {"z:/usr/bin", "/usr/bin"},
        {"Z:/", "/"},
        {"Z:", std::nullopt},             // a drive's current folder: no host form
        {"z:", std::nullopt},
        {"C:Games", std::nullopt},
        {"C:/Games/x.dat", c + "/Games/x.dat"},
        {"C:/a/./b/../c", c + "/a/c"},
        {"C:/dir/", c + "/dir/"},
        {"C:/..", std::nullopt},          // a climb above the mapped root
        {"C:/a/../../etc", std::nullopt},
        {"Z:/../etc", std::nullopt},
        {"Q:/x", std::nullopt},           // an unmapped letter
        {"//srv/share/x", std::nullopt},  // no network root mapped
        {"relative/a\\b", "relative/a\\b"},
        {"", ""},
    };
    for (const Case& k : cases)
        EXPECT_EQ(ToHost(k.program), k.host) << k.program;
}

TEST_F(DriveMapTest, HostToProgramTakesTheLongestRoot)
{
    const std::string c = fScratch.Path() + "/c";
    Set("CX_DRIVE_D", c + "/d");
    struct Case {
        std::string host;
        std::optional<std::string> program;
    };
    const Case cases[] = {
        {"/usr/bin", "Z:/usr/bin"},
        {"/", "Z:/"},
        {c, "C:/"},
        {c + "/x", "C:/x"},
        {c + "x/y", "Z:" + c + "x/y"},  // a sibling folder whose name only starts like the root
        {c + "/d/file", "D:/file"},      // a mapped letter under another mapped root
        {"/tmp/a\\b", "Z:/tmp/a\\b"},    // a back-slash is part of a POSIX name
        {"\\\\?\\C:\\a", "C:/a"},
        {"\\\\?\\unc\\srv\\share\\a", "//srv/share/a"},
        {"rel/x", "rel/x"},
    };
    for (const Case& k : cases)
        EXPECT_EQ(ToProgram(k.host), k.program) << k.host;
}

TEST_F(DriveMapTest, NetworkRootAndUnmappedSlash)
{
    Set("CX_UNC_ROOT", fScratch.Path() + "/unc");
    EXPECT_EQ(ToHost("//srv/share/a"), fScratch.Path() + "/unc/srv/share/a");
    EXPECT_EQ(ToProgram(fScratch.Path() + "/unc/srv/share/a"), "//srv/share/a");
    EXPECT_EQ(ToHost("//srv/.."), fScratch.Path() + "/unc");
    EXPECT_EQ(ToHost("//.."), std::nullopt);

    Set("CX_DRIVE_Z", "");
    EXPECT_EQ(ToHost("Z:/usr"), std::nullopt);
    EXPECT_EQ(ToProgram("/usr"), std::nullopt);
}

TEST_F(DriveMapTest, LongPathsGetNoPrefixAndRoundTrip)
{
    for (size_t length : {229u, 230u, 300u}) {
        std::string program = "C:/";
        while (program.size() < length)
            program += (program.size() % 20 == 19) ? '/' : 'a';
        if (program.back() == '/')
            program.back() = 'b';
        ASSERT_EQ(program.size(), length);
        auto host = ToHost(program);
        ASSERT_TRUE(host.has_value());
        EXPECT_EQ(host->find("\\\\?\\"), std::string::npos);
        EXPECT_EQ(ToProgram(*host), program);

        std::string relative = program.substr(3);
        EXPECT_EQ(ToHost(relative), relative);
    }
}

TEST_F(DriveMapTest, DefaultCFolderIsMadeInTheDataHome)
{
    Set("CX_DRIVE_C", std::nullopt);
    Set("XDG_DATA_HOME", fScratch.Path() + "/data");
    const std::string root = fScratch.Path() + "/data/patch-installer/drive_c";
    EXPECT_EQ(Platform::DriveRoot('c'), root);
    EXPECT_FALSE(std::filesystem::exists(root));
    EXPECT_EQ(ToHost("C:/x"), root + "/x");
    EXPECT_TRUE(std::filesystem::is_directory(root));
    EXPECT_EQ(ToProgram(root + "/x"), "C:/x");
}

} // namespace

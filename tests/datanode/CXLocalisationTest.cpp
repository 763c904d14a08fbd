#include "datanode/CXLocalisation.h"

#include "DataNodeTesting.h"
#include "foundation/CXFileSystem.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace DataNodeTesting;

namespace {

class CXLocalisationTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearLocalisationTable();
        // Keys that begin with '$' are quoted in the text: bare, they would be directives.
        LoadLocalisationTable(Parse("\"$greeting\" \"Hello, $1!\"\r"
                                    "\"$copy\" \"Copying $1 to $2 ($3)\"\r"
                                    "\"$count\" \"$1 files\"\r"
                                    "\"$sizes\" \"$1 of $2 bytes\"\r"
                                    "\"$eleven\" \"[$11|$1|$10]\"\r"
                                    "\"$twice\" \"first\"\r"
                                    "\"$twice\" \"second\"\r"
                                    "\"$number\" 42\r")
                                  .get());
    }
    void TearDown() override { ClearLocalisationTable(); }
};

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

} // namespace

TEST_F(CXLocalisationTest, LookupsAndFallBackToTheKey)
{
    EXPECT_EQ(Text(Localise("$greeting")), "Hello, $1!");
    EXPECT_EQ(Text(Localise("$twice")), "second");
    EXPECT_EQ(Text(Localise("$number")), "42");
    EXPECT_EQ(Text(Localise("$mervane_task_unknown")), "$mervane_task_unknown");
    EXPECT_EQ(Text(LocaliseFormatArguments("$greeting", {})), Text(Localise("$greeting")));
    // A missing key still has its placeholders replaced.
    EXPECT_EQ(Text(LocaliseFormat("$mervane_missing_$1", CXString("x"))), "$mervane_missing_x");
}

TEST_F(CXLocalisationTest, PlaceholdersAreWholeNumbers)
{
    std::vector<CXString> eleven;
    for (int i = 1; i <= 11; ++i)
        eleven.push_back(CXString::FromFormat("a%d", i));
    EXPECT_EQ(Text(LocaliseFormatArguments("$eleven", eleven)), "[a11|a1|a10]");

    // With fewer arguments, a placeholder beyond them stays, "$10" included.
    EXPECT_EQ(Text(LocaliseFormatArguments("$eleven", {CXString("one")})), "[$11|one|$10]");
    EXPECT_EQ(Text(LocaliseFormat("$copy", CXString("a"))), "Copying a to $2 ($3)");

    // Each pass works on what the earlier ones left: "$1" inside argument 2 is replaced too.
    EXPECT_EQ(Text(LocaliseFormat("$copy", CXString("x"), CXString("[$1]"), CXString("$2"))), "Copying x to [x] ([x])");

    // A digit that an argument put right after a placeholder does not lengthen it.
    EXPECT_EQ(Text(LocaliseFormat("$1$2", CXString("A"), int32_t(5))), "A5");
    EXPECT_EQ(Text(LocaliseFormat("$1$2", CXString("A"), CXString("0"))), "A0");
}

TEST_F(CXLocalisationTest, ArgumentKinds)
{
    EXPECT_EQ(Text(LocaliseFormat("$count", int32_t(-3))), "-3 files");
    EXPECT_EQ(Text(LocaliseFormat("$sizes", int64_t(5000000000), int64_t(-1))), "5000000000 of -1 bytes");
    // Paths are shown in their host form.
    CXString path("Z:/tmp/patch data/file.bin");
    std::string native = Text(CXFileSystem::ToNativePath(path));
    EXPECT_EQ(native, "/tmp/patch data/file.bin");
    EXPECT_EQ(Text(LocaliseFormat("$copy", LocalisePath(path), CXString("b"), int32_t(7))),
              "Copying " + native + " to b (7)");
    EXPECT_EQ(Text(LocaliseFormat("$copy", LocalisePath(path), LocalisePath(CXString("Z:/x")))),
              "Copying " + native + " to /x ($3)");
}

TEST_F(CXLocalisationTest, LookupsFromManyThreads)
{
    std::vector<std::thread> threads;
    std::vector<std::string> results(8);
    for (size_t t = 0; t < results.size(); ++t)
        threads.emplace_back([&results, t] {
            for (int i = 0; i < 200; ++i)
                results[t] = Text(LocaliseFormat("$count", int32_t(i)));
        });
    for (auto& thread : threads)
        thread.join();
    for (const auto& result : results)
        EXPECT_EQ(result, "199 files");
}

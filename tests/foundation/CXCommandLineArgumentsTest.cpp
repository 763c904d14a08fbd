#include "foundation/CXCommandLineArguments.h"
#include "foundation/CXDebug.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Expected {
    const char* name;
    const char* value; // null: the option was not given
};

struct Case {
    std::vector<const char*> args; // without the program
    bool ok;
    std::vector<Expected> values;
    std::vector<std::string> log;
};

const std::string kPrefix = "CXCommandLineArguments::ParseArguments> ";

void RunCases(const CXCommandLineOption* table, const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        std::string label;
        for (const char* arg : c.args)
            label += std::string("[") + arg + "]";
        SCOPED_TRACE(label);

        std::vector<const char*> argv{"patcher"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        CXCommandLineArguments arguments;
        arguments.SetOptions(table);
        CXDebugCapture capture;
        EXPECT_EQ(arguments.ParseArguments(static_cast<int>(argv.size()), argv.data()), c.ok);

        std::vector<std::string> lines;
        for (const auto& line : capture.Lines())
            lines.push_back(line.text);
        std::vector<std::string> expectedLines;
        for (const std::string& text : c.log)
            expectedLines.push_back(kPrefix + text);
        EXPECT_EQ(lines, expectedLines);

        for (const Expected& e : c.values) {
            SCOPED_TRACE(e.name);
            EXPECT_EQ(arguments.HasArgument(e.name), e.value != nullptr);
            EXPECT_STREQ(arguments.GetArgument(e.name, "default").c_str(), e.value != nullptr ? e.value : "default");
        }
    }
}

TEST(CXCommandLineArgumentsTest, InstallerOptions)
{
    RunCases(kCXCommandLineOptionTable, {
        {{}, true, {{"target", nullptr}, {"start", nullptr}}, {}},
        {{"--start", "--start"}, false, {{"start", ""}}, {"duplicate value for argument '--start'"}},
        {{"--target"}, false, {{"target", ""}}, {"missing value for argument 'target'"}},
        {{"--target", "a", "b"}, false, {{"target", "a"}}, {"unhandled argument 'b'"}},
        {{"--Target", "x"}, false, {{"target", nullptr}}, {"unhandled argument '--Target'", "unhandled argument 'x'"}},
        {{"-x"}, false, {}, {"unhandled argument '-x'"}},
        {{"--target=x"}, false, {{"target", nullptr}}, {"unhandled argument '--target=x'"}},
        {{"--"}, false, {}, {"unhandled argument '--'"}},
        {{""}, false, {}, {"unhandled argument ''"}},
        {{"--locale", "DE"}, true, {{"locale", "DE"}}, {}},
        // Values are filled strictly in order, however the options and values interleave.
        {{"--target", "--escalationstage", "C:/x", "2"}, true, {{"target", "C:/x"}, {"escalationstage", "2"}}, {}},
        {{"--target", "--locale", "C:/x"}, false, {{"target", "C:/x"}, {"locale", ""}}, {"missing value for argument 'locale'"}},
        {{"-", "--uninstall", "--no-desktop-shortcut", "--selfdeleteonexit"}, true,
         {{"uninstall", ""}, {"no-desktop-shortcut", ""}, {"selfdeleteonexit", ""}, {"checkforpatch", nullptr}}, {}},
    });
}

TEST(CXCommandLineArgumentsTest, DefaultOfAnAbsentOption)
{
    CXCommandLineArguments arguments;
    arguments.SetOptions();
    const char* argv[] = {"patcher", "--start"};
    EXPECT_TRUE(arguments.ParseArguments(2, argv));
    EXPECT_EQ(arguments.GetArgument("locale", "US"), "US");
    EXPECT_EQ(arguments.GetArgument("start", "US"), "");
    ASSERT_NE(arguments.FindOption("no-desktop-shortcut"), nullptr);
    EXPECT_STREQ(arguments.FindOption("locale")->description,
                 "Override the patcher's locale detection with a specific locale code.");
    EXPECT_EQ(arguments.FindOption("star"), nullptr);
    EXPECT_EQ(arguments.FindOption(""), nullptr);
}

// Kinds, flags and forms the installer's table does not use.
const CXCommandLineOption kTestTable[] = {
    {"must", kCXOptionValueNext | kCXOptionMandatory, "mandatory, value next"},
    {"o", kCXOptionValueNext, "one letter, value next"},
    {"l", kCXOptionValueLater, "one letter, value later"},
    {"s", kCXOptionSwitch, "one letter switch"},
    {"many", kCXOptionSwitch | kCXOptionRepeatable, "repeatable"},
    {"", kCXOptionSwitch, "catch-all"},
    {nullptr, 0, nullptr},
};

TEST(CXCommandLineArgumentsTest, OtherKindsAndForms)
{
    RunCases(kTestTable, {
        {{}, false, {{"must", nullptr}}, {"missing mandatory option 'must'"}},
        {{"--must", "--o"}, true, {{"must", "--o"}, {"o", nullptr}}, {}},
        {{"--must"}, false, {{"must", ""}}, {"missing value for argument '--must'"}},
        {{"--must", "v", "-ofile"}, true, {{"o", "file"}}, {}},
        {{"--must", "v", "-o", "next"}, true, {{"o", "next"}}, {}},
        {{"--must", "v", "-o"}, false, {{"o", ""}}, {"missing value for argument '-o'"}},
        {{"--must", "v", "-sX"}, false, {{"s", "X"}}, {"unhandled value in argument '-sX'"}},
        {{"--must", "v", "-s", "-s"}, false, {{"s", ""}}, {"duplicate value for argument '-s'"}},
        {{"--must", "v", "--many", "--many"}, true, {{"many", ""}}, {}},
        {{"--must", "v", "-q"}, false, {}, {"unhandled argument '-q'"}},
        // The catch-all takes one plain argument; a second one fails without a message.
        {{"--must", "v", "p1"}, true, {{"", "p1"}}, {}},
        {{"--must", "v", "p1", "p2"}, false, {{"", "p1"}}, {}},
        // A value given inline is kept: the next plain argument goes elsewhere.
        {{"--must", "v", "-lA", "p1"}, true, {{"l", "A"}, {"", "p1"}}, {}},
        {{"--must", "v", "-lA"}, true, {{"l", "A"}}, {}},
        {{"--must", "v", "-l", "p1"}, true, {{"l", "p1"}, {"", nullptr}}, {}},
    });
}

TEST(CXCommandLineArgumentsTest, SecondParseAppendsAndSetOptionsClears)
{
    CXCommandLineArguments arguments;
    arguments.SetOptions();
    const char* first[] = {"patcher", "--target", "--start"};
    const char* second[] = {"patcher", "C:/x", "--locale", "DE"};
    CXDebugCapture capture;
    EXPECT_FALSE(arguments.ParseArguments(3, first));
    // The second parse fills only its own options: target waits no longer.
    EXPECT_FALSE(arguments.ParseArguments(4, second));
    EXPECT_EQ(capture.Count(kPrefix + "missing value for argument 'target'"), 1u);
    EXPECT_EQ(capture.Count(kPrefix + "unhandled argument 'C:/x'"), 1u);
    EXPECT_EQ(arguments.GetArgument("target", "none"), "");
    EXPECT_EQ(arguments.GetArgument("locale"), "DE");
    EXPECT_TRUE(arguments.HasArgument("start"));

    arguments.SetOptions();
    EXPECT_FALSE(arguments.HasArgument("start"));
    EXPECT_FALSE(arguments.HasArgument("locale"));
}

} // namespace

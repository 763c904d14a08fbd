#include "platform/File.h"
#include "platform/Registry.h"
#include "platform/RegistryText.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace Platform;

constexpr RegistryHive kLM = kRegistryLocalMachine;

// Every test works on a store in a scratch folder that does not exist yet.
class RegistryTest : public testing::Test {
protected:
    void TearDown() override { ClearFaults(); }

    std::string Root() const { return fScratch / "registry"; }
    std::string HiveFile(const char* hive = "HKEY_LOCAL_MACHINE") const { return Root() + "/" + hive + ".reg"; }
    static std::string Get(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Put(const std::string& path, const std::string& text)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    std::vector<std::string> FolderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Root()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::optional<RegistryValue> Query(std::string_view key, std::string_view name, RegistryHive hive = kLM)
    {
        RegistryValue value;
        if (QueryRegistryValue(hive, key, name, value) != 0)
            return std::nullopt;
        return value;
    }

    ScratchFolder fScratch;
    ScopedEnv fRoot{"CX_REGISTRY_ROOT", fScratch / "registry"};
    ScopedEnv fNotElevated{"PKEXEC_UID", std::nullopt};
};

TEST_F(RegistryTest, HiveNames)
{
    struct Case {
        const char* text;
        std::optional<RegistryHive> hive;
    };
    const Case cases[] = {
        {"HKEY_LOCAL_MACHINE", kRegistryLocalMachine}, {"hklm", kRegistryLocalMachine},
        {"HKEY_CURRENT_USER", kRegistryCurrentUser},   {"HkCu", kRegistryCurrentUser},
        {"hkey_classes_root", kRegistryClassesRoot},   {"HKCR", kRegistryClassesRoot},
        {"HKCC", kRegistryCurrentConfig},              {"hkey_users", kRegistryUsers},
        {"HKU", kRegistryUsers},                       {"HKCU\\X", std::nullopt},
        {"", std::nullopt},                            {"HKEY_LOCAL_MACHINE\\X", std::nullopt},
    };
    for (const Case& c : cases) {
        RegistryHive hive = kRegistryClassesRoot;
        bool known = RegistryHiveFromName(c.text, hive);
        EXPECT_EQ(known, c.hive.has_value()) << c.text;
        if (known && c.hive) {
            EXPECT_EQ(hive, *c.hive) << c.text;
        }
    }
    EXPECT_STREQ(RegistryHiveName(kRegistryCurrentUser), "HKEY_CURRENT_USER");
    EXPECT_STREQ(RegistryHiveName(kRegistryCurrentConfig), "HKEY_CURRENT_CONFIG");
}

TEST_F(RegistryTest, RootDefaultsToTheDataHome)
{
    ScopedEnv noRoot("CX_REGISTRY_ROOT", std::nullopt);
    ScopedEnv dataHome("XDG_DATA_HOME", fScratch / "data");
    EXPECT_EQ(RegistryRoot(), fScratch / "data/patch-installer/registry");
    ScopedEnv relative("CX_REGISTRY_ROOT", "relative/folder");
    EXPECT_EQ(RegistryRoot(), fScratch / "data/patch-installer/registry") << "a relative override is ignored";
}

TEST_F(RegistryTest, EachTypeRoundTrips)
{
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += static_cast<char>(i);
    struct Case {
        const char* name;
        RegistryValue value;
    };
    const Case cases[] = {
        {"", RegistryValue::String("the default")},
        {"Plain", RegistryValue::String("hello")},
        {"Empty", RegistryValue::String("")},
        {"Quoted", RegistryValue::String("a \"b\" C:\\Games\\x")},
        {"Unicode", RegistryValue::String("Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80")},
        {"Lines", RegistryValue::String("one\ntwo\tthree\r")},
        {"EmbeddedZero", RegistryValue::String(std::string("a\0b", 3))},
        {"Expand", RegistryValue::ExpandString("%ProgramFiles%\\Maker")},
        {"Zero", RegistryValue::Dword(0)},
        {"Answer", RegistryValue::Dword(42)},
        {"Max", RegistryValue::Dword(0xFFFFFFFFu)},
        {"Big", RegistryValue::Qword(0x0123456789ABCDEFull)},
        {"NoBytes", RegistryValue::Binary("")},
        {"AllBytes", RegistryValue::Binary(allBytes)},
    };
    ASSERT_EQ(CreateRegistryKey(kLM, "SOFTWARE\\Maker\\Product"), 0);
    for (const Case& c : cases)
        ASSERT_EQ(SetRegistryValue(kLM, "SOFTWARE\\Maker\\Product", c.name, c.value), 0) << c.name;
    for (const Case& c : cases)
        EXPECT_EQ(Query("SOFTWARE\\Maker\\Product", c.name), c.value) << c.name;

    std::vector<RegistryNamedValue> values;
    ASSERT_EQ(ListRegistryValues(kLM, "SOFTWARE\\Maker\\Product", values), 0);
    ASSERT_EQ(values.size(), std::size(cases));
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].name, cases[i].name) << "values list in the order they were set";
        EXPECT_EQ(values[i].value, cases[i].value) << cases[i].name;
    }

    // Every hex line is wrapped to at most 80 columns, continuation lines indented.
    std::string text = Get(HiveFile());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_NE(text.find("\"AllBytes\"=hex:00,01,02,"), std::string::npos);
    EXPECT_NE(text.find(",\\\n  "), std::string::npos);
}

TEST_F(RegistryTest, FileIsReadableRegExportText)
{
    const char* key = "Software\\Maker";
    ASSERT_EQ(CreateRegistryKey(kRegistryCurrentUser, key), 0);
    ASSERT_EQ(SetRegistryValue(kRegistryCurrentUser, key, "", RegistryValue::String("Default")), 0);
    ASSERT_EQ(SetRegistryValue(kRegistryCurrentUser, key, "Name", RegistryValue::String("a \"q\" C:\\p")), 0);
    ASSERT_EQ(SetRegistryValue(kRegistryCurrentUser, key, "Count", RegistryValue::Dword(42)), 0);
    ASSERT_EQ(SetRegistryValue(kRegistryCurrentUser, key, "Big", RegistryValue::Qword(0x0123456789ABCDEFull)), 0);
    ASSERT_EQ(SetRegistryValue(kRegistryCurrentUser, key, "Path", RegistryValue::ExpandString("%A%")), 0);
    ASSERT_EQ(SetRegistryValue(kRegistryCurrentUser, key, "Blob", RegistryValue::Binary("\xDE\xAD\xBE\xEF")), 0);
    ASSERT_EQ(SetRegistryValue(kRegistryCurrentUser, key, "Two\nLines", RegistryValue::String("x")), EINVAL);
    ASSERT_EQ(SetRegistryValue(kRegistryCurrentUser, key, "Lines", RegistryValue::String("a\nb")), 0);
    ASSERT_EQ(CreateRegistryKey(kRegistryCurrentUser, "Software\\Maker\\Empty"), 0);
    EXPECT_EQ(Get(HiveFile("HKEY_CURRENT_USER")),
              "Windows Registry Editor Version 5.00\n"
              "\n[HKEY_CURRENT_USER\\Software]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Maker]\n"
              "@=\"Default\"\n"
              "\"Name\"=\"a \\\"q\\\" C:\\\\p\"\n"
              "\"Count\"=dword:0000002a\n"
              "\"Big\"=hex(b):ef,cd,ab,89,67,45,23,01\n"
              "\"Path\"=hex(2):25,00,41,00,25,00,00,00\n"
              "\"Blob\"=hex:de,ad,be,ef\n"
              "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\n"
              "\n[HKEY_CURRENT_USER\\Software\\Maker\\Empty]\n");
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstCase)
{
    ASSERT_EQ(CreateRegistryKey(kLM, "SOFTWARE\\Maker"), 0);
    ASSERT_EQ(CreateRegistryKey(kLM, "software\\MAKER\\Product"), 0);
    ASSERT_EQ(CreateRegistryKey(kLM, "software\\alpha"), 0);
    std::vector<std::string> names;
    ASSERT_EQ(ListRegistrySubkeys(kLM, "", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"SOFTWARE"});
    ASSERT_EQ(ListRegistrySubkeys(kLM, "Software", names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Maker"})) << "sorted without case";

    ASSERT_EQ(SetRegistryValue(kLM, "software\\maker\\product", "DisplayName", RegistryValue::String("One")), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "SOFTWARE\\Maker\\Product", "DISPLAYNAME", RegistryValue::Dword(2)), 0);
    std::vector<RegistryNamedValue> values;
    ASSERT_EQ(ListRegistryValues(kLM, "SOFTWARE\\MAKER\\PRODUCT", values), 0);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "DisplayName");
    EXPECT_EQ(values[0].value, RegistryValue::Dword(2)) << "the second set replaces value and type";
    EXPECT_EQ(Query("Software\\Maker\\Product", "displayname"), RegistryValue::Dword(2));
    EXPECT_EQ(DeleteRegistryValue(kLM, "SOFTWARE\\Maker\\Product", "dIsPlAyNaMe"), 0);
    EXPECT_EQ(Query("Software\\Maker\\Product", "DisplayName"), std::nullopt);
}

TEST_F(RegistryTest, MissingAndInvalid)
{
    RegistryValue value;
    EXPECT_EQ(QueryRegistryValue(kLM, "A", "x", value), ENOENT) << "no store folder yet";
    EXPECT_FALSE(std::filesystem::exists(Root())) << "reading makes nothing";
    EXPECT_EQ(SetRegistryValue(kLM, "A", "x", RegistryValue::Dword(1)), ENOENT) << "the key must exist";
    ASSERT_EQ(CreateRegistryKey(kLM, "A"), 0);
    EXPECT_EQ(QueryRegistryValue(kLM, "A", "x", value), ENOENT);
    EXPECT_EQ(QueryRegistryValue(kLM, "A\\B", "x", value), ENOENT);
    EXPECT_EQ(DeleteRegistryValue(kLM, "A", "x"), ENOENT);
    EXPECT_EQ(DeleteRegistryKey(kLM, "A\\B"), ENOENT);
    std::vector<std::string> names;
    EXPECT_EQ(ListRegistrySubkeys(kLM, "B", names), ENOENT);
    EXPECT_EQ(QueryRegistryValue(kRegistryClassesRoot, "A", "x", value), ENOENT) << "hives are separate";

    const std::string longName(256, 'k');
    const char* badPaths[] = {"\\A", "A\\", "A\\\\B", "A\nB", "\xC3", "A\\\x01"};
    for (const char* path : badPaths) {
        EXPECT_EQ(CreateRegistryKey(kLM, path), EINVAL) << path;
        EXPECT_EQ(QueryRegistryValue(kLM, path, "x", value), EINVAL) << path;
    }
    EXPECT_EQ(CreateRegistryKey(kLM, longName), EINVAL);
    EXPECT_EQ(CreateRegistryKey(kLM, longName.substr(1)), 0) << "255 characters is the longest name";
    std::string deep = "k";
    for (int i = 1; i < 513; ++i)
        deep += "\\k";
    EXPECT_EQ(CreateRegistryKey(kLM, deep), EINVAL) << "513 levels";
    EXPECT_EQ(CreateRegistryKey(kLM, deep.substr(2)), 0) << "512 levels";
    EXPECT_EQ(SetRegistryValue(kLM, "A", "x", RegistryValue{kRegistryDword, "", 0x100000000ull}), EINVAL);
    EXPECT_EQ(SetRegistryValue(kLM, "A", "x", RegistryValue{7, "a", 0}), EINVAL) << "multi-strings are not written";
    EXPECT_EQ(SetRegistryValue(kLM, "A", "x", RegistryValue::String("\xFF")), EINVAL) << "not UTF-8";
    EXPECT_EQ(SetRegistryValue(kLM, "A", "x", RegistryValue::Binary(std::string(1024 * 1024 + 1, 'b'))), EINVAL);
    EXPECT_EQ(DeleteRegistryKey(kLM, ""), EINVAL) << "the hive's own key stays";
}

TEST_F(RegistryTest, KeyWithSubkeysIsNotDeleted)
{
    ASSERT_EQ(CreateRegistryKey(kLM, "SOFTWARE\\Uninstall\\Product-1"), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "SOFTWARE\\Uninstall\\Product-1", "DisplayName", RegistryValue::String("P")), 0);
    EXPECT_EQ(DeleteRegistryKey(kLM, "SOFTWARE\\Uninstall"), ENOTEMPTY);
    EXPECT_EQ(Query("SOFTWARE\\Uninstall\\Product-1", "DisplayName"), RegistryValue::String("P"));
    EXPECT_EQ(DeleteRegistryKey(kLM, "software\\uninstall\\PRODUCT-1"), 0) << "a key with values goes";
    std::vector<std::string> names;
    ASSERT_EQ(ListRegistrySubkeys(kLM, "SOFTWARE\\Uninstall", names), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(DeleteRegistryKey(kLM, "SOFTWARE\\Uninstall"), 0);
    EXPECT_EQ(ListRegistrySubkeys(kLM, "SOFTWARE\\Uninstall", names), ENOENT);
}

TEST_F(RegistryTest, WritesAreAtomic)
{
    ASSERT_EQ(CreateRegistryKey(kLM, "A"), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "A", "v", RegistryValue::Dword(1)), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "A", "w", RegistryValue::Dword(2)), 0);
    ASSERT_EQ(DeleteRegistryValue(kLM, "A", "w"), 0);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"HKEY_LOCAL_MACHINE.lock", "HKEY_LOCAL_MACHINE.reg"}));

    // A failed write leaves the old file whole and no temporary file.
    const std::string before = Get(HiveFile());
    ArmFault(kFaultWrite, 1, ENOSPC, 10);
    EXPECT_EQ(SetRegistryValue(kLM, "A", "v", RegistryValue::String("a longer value than before")), ENOSPC);
    ClearFaults();
    EXPECT_EQ(Get(HiveFile()), before);
    EXPECT_EQ(Query("A", "v"), RegistryValue::Dword(1));
    EXPECT_EQ(FolderEntries().size(), 2u);

    // A temporary file left by a writer that died is cleared by the next write (a pid beyond the
    // largest the kernel hands out is never alive).
    Put(HiveFile() + ".tmp-4194305-0", "half");
    ASSERT_EQ(SetRegistryValue(kLM, "A", "v", RegistryValue::Dword(3)), 0);
    EXPECT_EQ(FolderEntries().size(), 2u);
    EXPECT_EQ(Query("A", "v"), RegistryValue::Dword(3));
}

TEST_F(RegistryTest, ProcessesShareTheStore)
{
    ASSERT_EQ(CreateRegistryKey(kLM, "Shared"), 0);
    // Several processes write at once; none may lose another's values.
    constexpr int kWriters = 4;
    constexpr int kValuesEach = 8;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kValuesEach; ++i) {
                std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
                failures += SetRegistryValue(kLM, "Shared", name, RegistryValue::Dword(static_cast<uint32_t>(w * 100 + i))) != 0;
            }
            _exit(failures);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<RegistryNamedValue> values;
    ASSERT_EQ(ListRegistryValues(kLM, "Shared", values), 0);
    EXPECT_EQ(values.size(), static_cast<size_t>(kWriters * kValuesEach));
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kValuesEach; ++i)
            EXPECT_EQ(Query("Shared", "w" + std::to_string(w) + "-" + std::to_string(i)),
                      RegistryValue::Dword(static_cast<uint32_t>(w * 100 + i)));
}

TEST_F(RegistryTest, ElevatedProcessGivesTheStoreToTheInvokingUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    struct passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr)
        GTEST_SKIP() << "no user nobody";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    {
        ScopedEnv elevated("PKEXEC_UID", std::to_string(uid));
        ASSERT_EQ(CreateRegistryKey(kLM, "A"), 0);
        ASSERT_EQ(SetRegistryValue(kLM, "A", "root", RegistryValue::Dword(1)), 0);
    }
    for (const std::string& path : {Root(), HiveFile(), Root() + "/HKEY_LOCAL_MACHINE.lock"}) {
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
        EXPECT_EQ(st.st_uid, uid) << path;
    }

    // The user's own process then reads and writes the same store.
    struct stat scratch;
    ASSERT_EQ(stat(fScratch.Path().c_str(), &scratch), 0);
    if ((scratch.st_mode & 0005) != 0005)
        GTEST_SKIP() << "the scratch folder is closed to other users";
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(gid) != 0 || setuid(uid) != 0)
            _exit(10);
        RegistryValue value;
        if (QueryRegistryValue(kLM, "A", "root", value) != 0 || value != RegistryValue::Dword(1))
            _exit(11);
        _exit(SetRegistryValue(kLM, "A", "user", RegistryValue::Dword(2)) == 0 ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Query("A", "user"), RegistryValue::Dword(2));
}

struct Expectation {
    const char* key;
    const char* name;
    std::optional<RegistryValue> value;
};

TEST_F(RegistryTest, DamagedFilesAreReadSafely)
{
    const std::string header = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n\"ok\"=dword:00000001\n";
    const RegistryValue one = RegistryValue::Dword(1);
    struct Case {
        const char* what;
        std::string text;
        std::vector<Expectation> expect;
    };
    const std::vector<Case> cases = {
        {"empty file", "", {{"A", "ok", std::nullopt}}},
        {"cut string", header + "\"s\"=\"abc", {{"A", "ok", one}, {"A", "s", std::nullopt}}},
        {"cut dword", header + "\"d\"=dword:0000", {{"A", "d", std::nullopt}}},
        {"cut name", header + "\"na", {{"A", "ok", one}}},
        {"cut header", header + "[HKEY_LOCAL_MACHINE\\B\n\"x\"=dword:00000002", {{"A", "x", std::nullopt}, {"B", "x", std::nullopt}}},
        {"cut hex at the end", header + "\"b\"=hex:01,02,\\\n", {{"A", "b", std::nullopt}}},
        {"cut hex before a section",
         header + "\"b\"=hex:01,02,\\\n[HKEY_LOCAL_MACHINE\\C]\n\"c\"=dword:00000003\n",
         {{"A", "b", std::nullopt}, {"C", "c", RegistryValue::Dword(3)}, {"A", "c", std::nullopt}}},
        {"wrapped hex", header + "\"b\"=hex:01,02,\\\n  03,04\n", {{"A", "b", RegistryValue::Binary("\x01\x02\x03\x04")}}},
        {"values before any section", "\"x\"=dword:00000001\n[HKEY_LOCAL_MACHINE\\A]\n", {{"A", "x", std::nullopt}}},
        {"another hive's section", header + "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000002\n", {{"A", "x", std::nullopt}}},
        {"bad header",
         header + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n\"x\"=dword:00000002\n",
         {{"A", "ok", one}, {"A", "x", std::nullopt}}},
        {"deletion entries",
         header + "\"ok\"=-\n[-HKEY_LOCAL_MACHINE\\D]\n\"x\"=dword:00000002\n",
         {{"A", "ok", one}, {"A", "x", std::nullopt}, {"D", "x", std::nullopt}}},
        {"odd-sized string", header + "\"s\"=hex(2):41,00,00\n", {{"A", "s", std::nullopt}}},
        {"string without its zero", header + "\"s\"=hex(2):41,00,42,00\n", {{"A", "s", std::nullopt}}},
        {"empty string", header + "\"s\"=hex(1):00,00\n", {{"A", "s", RegistryValue::String("")}}},
        {"short dword", header + "\"d\"=hex(4):01,02,03\n", {{"A", "d", std::nullopt}}},
        {"one-digit byte", header + "\"b\"=hex:1,02\n", {{"A", "b", std::nullopt}}},
        {"unknown escape", header + "\"s\"=\"a\\tb\"\n", {{"A", "s", std::nullopt}}},
        {"text after a string", header + "\"s\"=\"a\" x\n", {{"A", "s", std::nullopt}}},
        {"escaped name", header + "\"a\\\"b\\\\c\"=\"v\"\n", {{"A", "a\"b\\c", RegistryValue::String("v")}}},
        {"a later duplicate wins", header + "\"OK\"=dword:00000005\n", {{"A", "ok", RegistryValue::Dword(5)}}},
        {"CRLF and BOM",
         "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\"s\"=\"v\"  \r\n",
         {{"A", "s", RegistryValue::String("v")}}},
        {"short hive name", "[HKLM\\A]\n\"x\"=dword:00000002\n", {{"A", "x", RegistryValue::Dword(2)}}},
        {"binary junk", std::string("\0\x01\xFF[\"\n\\\\\"=hex(\n", 15) + header, {{"A", "ok", one}}},
        {"huge line", header + "\"s\"=\"" + std::string(1 << 20, 'x') + "\n", {{"A", "ok", one}, {"A", "s", std::nullopt}}},
    };
    for (const Case& c : cases) {
        Put(HiveFile(), c.text);
        for (const Expectation& e : c.expect)
            EXPECT_EQ(Query(e.key, e.name), e.value) << c.what << ": " << e.key << " " << e.name;
    }

    // A value of a type the store does not write is kept through other writes.
    Put(HiveFile(), header + "\"multi\"=hex(7):61,00,00,00,00,00\n");
    ASSERT_EQ(SetRegistryValue(kLM, "A", "new", RegistryValue::Dword(9)), 0);
    EXPECT_EQ(Query("A", "multi"), (RegistryValue{7, std::string("a\0\0\0\0\0", 6), 0}));
    EXPECT_NE(Get(HiveFile()).find("\"multi\"=hex(7):61,00,00,00,00,00\n"), std::string::npos);
}

// Every cut of a hive file reads as the original less what was cut: no key or value name that was
// not there, no value of another type or other data, except that binary data cut between two
// bytes reads as a prefix of its bytes (the text form cannot tell).
TEST_F(RegistryTest, EveryCutOfAFileReadsAsAPartOfIt)
{
    using namespace RegistryText;
    ASSERT_EQ(CreateRegistryKey(kLM, "SOFTWARE\\Maker\\Product"), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "SOFTWARE\\Maker", "", RegistryValue::String("Default")), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "SOFTWARE\\Maker\\Product", "Name", RegistryValue::String("x \"y\" z")), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "SOFTWARE\\Maker\\Product", "Count", RegistryValue::Dword(0x12345678)), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "SOFTWARE\\Maker\\Product", "Size", RegistryValue::Qword(1ull << 40)), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "SOFTWARE\\Maker\\Product", "Blob", RegistryValue::Binary(std::string(60, '\x5A'))), 0);
    ASSERT_EQ(SetRegistryValue(kLM, "SOFTWARE\\Maker\\Product", "Path", RegistryValue::ExpandString("%A%\\b")), 0);
    ASSERT_EQ(CreateRegistryKey(kLM, "SOFTWARE\\Other"), 0);
    const std::string text = Get(HiveFile());
    StoredKey original;
    ParseHive(text, "HKEY_LOCAL_MACHINE", "HKLM", original);

    // Compares a parsed tree with the original; returns false at the first misread.
    std::function<bool(const StoredKey&, const StoredKey&)> isPart = [&](const StoredKey& part, const StoredKey& whole) {
        if (part.Name() != whole.Name())
            return false;
        for (const StoredValue& value : part.Values()) {
            const StoredValue* real = whole.FindValue(value.name);
            if (real == nullptr || real->name != value.name || real->type != value.type)
                return false;
            bool hexPrefix = value.type == kRegistryBinary && value.raw.size() < real->raw.size() &&
                             real->raw.compare(0, value.raw.size(), value.raw) == 0;
            if (value.raw != real->raw && !hexPrefix)
                return false;
        }
        for (const auto& entry : part.Subkeys()) {
            const StoredKey* real = whole.FindSubkey(entry.second->Name());
            if (real == nullptr || !isPart(*entry.second, *real))
                return false;
        }
        return true;
    };
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        StoredKey part;
        ParseHive(std::string_view(text).substr(0, cut), "HKEY_LOCAL_MACHINE", "HKLM", part);
        ASSERT_TRUE(isPart(part, original)) << "cut at " << cut << ":\n" << text.substr(0, cut);
    }

    // Random damage never crashes and never yields a name the rules refuse.
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = text;
        for (int k = 0; k < 4; ++k)
            damaged[random() % damaged.size()] = static_cast<char>(random() % 256);
        StoredKey parsed;
        ParseHive(damaged, "HKEY_LOCAL_MACHINE", "HKLM", parsed);
        std::function<void(const StoredKey&)> check = [&](const StoredKey& key) {
            for (const StoredValue& value : key.Values())
                EXPECT_TRUE(IsValidValueName(value.name));
            for (const auto& entry : key.Subkeys()) {
                EXPECT_TRUE(IsValidKeyName(entry.second->Name()));
                check(*entry.second);
            }
        };
        check(parsed);
    }
}

TEST_F(RegistryTest, Utf16Conversions)
{
    using namespace RegistryText;
    std::string utf16;
    ASSERT_TRUE(Utf8ToUtf16("A\xF0\x9F\x98\x80", utf16));
    EXPECT_EQ(utf16, std::string("A\0\x3D\xD8\x00\xDE\0\0", 8));
    EXPECT_EQ(Utf16ToUtf8(utf16), "A\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::string("A\0\x00\xD8" "B\0", 6)), "A\xEF\xBF\xBD" "B") << "an unpaired surrogate";
    EXPECT_EQ(Utf16ToUtf8(std::string("A\0B", 3)), "A") << "an odd last byte";
    const char* invalid[] = {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"};
    for (const char* text : invalid)
        EXPECT_FALSE(Utf8ToUtf16(text, utf16)) << text;
}

} // namespace

namespace {

// Elevated for a user, the store never reaches through a link the user planted in its folder:
// the lock file is not followed and nothing it points to changes hands.
TEST_F(RegistryTest, LinksPlantedInTheStoreAreNotFollowed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    struct passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr)
        GTEST_SKIP() << "no user nobody";
    std::filesystem::create_directories(fScratch / "registry");
    std::string victim = fScratch / "victim";
    std::ofstream(victim) << "secret";
    chmod(victim.c_str(), 0600);
    std::filesystem::create_symlink(victim, fScratch / "registry/HKEY_LOCAL_MACHINE.lock");

    ScopedEnv elevated("PKEXEC_UID", std::to_string(nobody->pw_uid));
    RegistryValue value;
    (void)QueryRegistryValue(kLM, "SOFTWARE", "x", value);
    (void)SetRegistryValue(kLM, "SOFTWARE", "x", RegistryValue::Dword(1));
    struct stat info;
    ASSERT_EQ(stat(victim.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u) << "the planted link's target keeps its owner";
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

} // namespace

#include "patch/PatchOperation.h"

#include "datanode/DataNodeTesting.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

using namespace DataNodeTesting;

namespace {

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

TEST(PatchOperationTest, ParsesEntriesInStoredOrderAndDropsUnknownCommands)
{
    DNValueRef root = Parse("patch-operations {\n"
                            "  a { command edit-file\n source-filepath old.bin\n source-checksum 0123\n destination-filepath new.bin\n"
                            "      destination-checksum 4567\n destination-permissions \"win32:x\"\n flags 3\n estimated-effort 5000000000\n }\n"
                            "  b { command Create-File\n destination-filepath dropped1\n }\n"
                            "  c { destination-filepath dropped2\n }\n"
                            "  d { command bogus\n destination-filepath dropped3\n }\n"
                            "  a { command delete-folder\n destination-filepath gone\n }\n"
                            "  e 12\n"
                            "}\n");
    std::vector<PatchOperation> operations(3);
    ASSERT_TRUE(ParsePatchOperations(root.get(), operations));
    ASSERT_EQ(2u, operations.size());
    const PatchOperation& edit = operations[0];
    EXPECT_EQ(COMMAND_EDIT_FILE, edit.command);
    EXPECT_EQ("old.bin", Text(edit.sourceFilepath));
    EXPECT_EQ("0123", Text(edit.sourceChecksum));
    EXPECT_EQ("new.bin", Text(edit.destinationFilepath));
    EXPECT_EQ("4567", Text(edit.destinationChecksum));
    EXPECT_EQ("win32:x", Text(edit.destinationPermissions));
    EXPECT_EQ(3, edit.flags);
    EXPECT_EQ(5000000000u, edit.estimatedEffort);
    EXPECT_EQ(COMMAND_DELETE_FOLDER, operations[1].command);
    EXPECT_EQ("gone", Text(operations[1].destinationFilepath));
    EXPECT_EQ("", Text(operations[1].sourceFilepath));
    EXPECT_EQ(0u, operations[1].estimatedEffort);

    for (int32_t command = COMMAND_CREATE_FILE; command <= COMMAND_DELETE_FOLDER; ++command)
        EXPECT_EQ(command, PatchCommandFromText(PatchCommandText(command)));
    EXPECT_EQ(nullptr, PatchCommandText(COMMAND_NONE));
}

TEST(PatchOperationTest, ListMissingOrRefused)
{
    std::vector<PatchOperation> operations(2);
    EXPECT_TRUE(ParsePatchOperations(Parse("patch-operations {\n}\n").get(), operations));
    EXPECT_TRUE(operations.empty());

    operations.resize(2);
    CXString refusal;
    EXPECT_FALSE(ParsePatchOperations(Parse("other 1\n").get(), operations, &refusal));
    EXPECT_TRUE(operations.empty());
    EXPECT_EQ("no \"patch-operations\"", Text(refusal));

    // A negative effort would wrap to nearly 2^64; leaving the entry out would pair every later
    // operation with the wrong data record. The whole list is refused.
    DNValueRef negative = Parse("patch-operations {\n"
                                "  a { command create-file\n destination-filepath x\n estimated-effort 10\n }\n"
                                "  b { command create-file\n destination-filepath y\n estimated-effort -1\n }\n"
                                "}\n");
    EXPECT_FALSE(ParsePatchOperations(negative.get(), operations, &refusal));
    EXPECT_TRUE(operations.empty());
    EXPECT_EQ("negative \"estimated-effort\" -1 in entry 1", Text(refusal));
}

TEST(PatchOperationTest, TargetPathRules)
{
    std::string longest = std::string(255, 'p'); // sixteen names of 255 bytes: 4095 bytes
    for (int i = 1; i < 16; ++i)
        longest += "/" + std::string(255, 'p');
    struct Case {
        std::string path;
        bool acceptable;
    } cases[] = {
        {"a.txt", true},
        {"dir/sub/a.txt", true},
        {"patcher-temp.txt", true},
        {"dir/patcher-temp", true},
        {"..a/b..", true},
        {"", false},
        {"/etc/passwd", false},
        {"dir/", false},
        {"dir//a", false},
        {".", false},
        {"./a", false},
        {"..", false},
        {"../a", false},
        {"dir/../../a", false},
        {"dir/..", false},
        {"C:/a", false},
        {"a:b", false},
        {"dir\\a", false},
        {std::string("a\0b", 3), false},
        {"patcher-temp", false},
        {"patcher-temp/journal.txt", false},
        // The longest name and path the host can hold, and one byte more.
        {std::string(255, 'n'), true},
        {std::string(256, 'n'), false},
        {"dir/" + std::string(256, 'n') + "/a", false},
        {longest, true},
        {longest + "x", false},
        {"x/" + longest, false},
    };
    for (const Case& test : cases)
        EXPECT_EQ(test.acceptable, IsAcceptableTargetPath(CXString(test.path.data(), test.path.size()))) << test.path;
}

TEST(PatchOperationTest, PathsEachCommandUsesAreChecked)
{
    auto operation = [](int32_t command, const char* source, const char* destination) {
        PatchOperation op;
        op.command = command;
        op.sourceFilepath = source;
        op.destinationFilepath = destination;
        return op;
    };
    struct Case {
        PatchOperation op;
        bool acceptable;
    } cases[] = {
        {operation(COMMAND_CREATE_FILE, "", "new"), true},
        {operation(COMMAND_CREATE_FOLDER, "", "dir"), true},
        {operation(COMMAND_DELETE_FILE, "", "old"), true},
        {operation(COMMAND_EDIT_FILE, "a", "a"), true},
        {operation(COMMAND_MOVE_FILE, "a", "b"), true},
        {operation(COMMAND_CREATE_FILE, "", ""), false},
        {operation(COMMAND_DELETE_FOLDER, "", "../x"), false},
        {operation(COMMAND_EDIT_FILE, "", "a"), false},
        {operation(COMMAND_MOVE_FILE, "/etc/shadow", "b"), false},
        // The target check reads a named source whatever the command.
        {operation(COMMAND_CREATE_FILE, "../outside", "new"), false},
    };
    for (const Case& test : cases) {
        CXString refusal;
        EXPECT_EQ(test.acceptable, CheckPatchOperationPaths({test.op}, refusal))
            << test.op.command << " " << Text(test.op.sourceFilepath) << " -> " << Text(test.op.destinationFilepath);
        EXPECT_EQ(test.acceptable, refusal.IsEmpty());
    }
    CXString refusal;
    EXPECT_FALSE(CheckPatchOperationPaths({operation(COMMAND_CREATE_FILE, "", "a"), operation(COMMAND_MOVE_FILE, "..", "b")}, refusal));
    EXPECT_EQ("operation 1: refused source path '..'", Text(refusal));
}

TEST(PatchOperationTest, EffortSumsCheckForOverflow)
{
    constexpr uint64_t kMaximum = std::numeric_limits<uint64_t>::max();
    std::vector<PatchOperation> operations(3);
    operations[0].estimatedEffort = 10;
    operations[1].estimatedEffort = 20;
    uint64_t total = 7;
    EXPECT_TRUE(SumEstimatedEffort(operations, 0, total));
    EXPECT_EQ(30u, total);
    EXPECT_TRUE(SumEstimatedEffort(operations, 4096, total));
    EXPECT_EQ(30u + 3 * 4096, total);
    operations[2].estimatedEffort = kMaximum - 30;
    EXPECT_TRUE(SumEstimatedEffort(operations, 0, total));
    EXPECT_EQ(kMaximum, total);
    EXPECT_FALSE(SumEstimatedEffort(operations, 1, total));
    EXPECT_EQ(kMaximum, total);
    operations[2].estimatedEffort = kMaximum - 29;
    EXPECT_FALSE(SumEstimatedEffort(operations, 0, total));
}

} // namespace

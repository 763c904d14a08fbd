#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/DataNodeTesting.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

const char* const kChecksum = "0123456789abcdef0123456789abcdef";

std::string Entry(const std::string& command, const std::string& source, const std::string& destination, const std::string& effort = "1")
{
    std::string text = "  op { command " + command + "\n";
    if (!source.empty())
        text += "    source-filepath \"" + source + "\"\n";
    if (!destination.empty())
        text += "    destination-filepath \"" + destination + "\"\n";
    return text + "    estimated-effort " + effort + "\n  }\n";
}

std::string ControlFile(const std::string& entries, const std::string& header = "mervane-version 1\n")
{
    return header + "datafilesize 1234\ndatafilechecksum " + kChecksum + "\npatch-operations {\n" + entries + "}\n";
}

// A task whose thread never runs: the tests call ReadControlFile as the procedure does.
class ControlFileTask : public MervaneTask_ApplyFilePatches {
public:
    void Proc() override {}
};

class MervaneTaskControlFileTest : public testing::Test {
protected:
    // Reads the text as the control file of a fresh task, through the address made of the
    // scheme and the file's host path.
    CXResultCode Read(const std::string& text, const std::string& scheme = "file")
    {
        std::string path = scratch / "patch.txt";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        task.SetPatchSources(CXURI((scheme + "://" + path).c_str()), CXURI());
        return task.ReadControlFile();
    }

    ScratchFolder scratch;
    ScopedEnv temp{"CX_FOLDER_TEMP", scratch.Path()};
    ControlFileTask task;
};

TEST_F(MervaneTaskControlFileTest, ReadsTheOperationsAndTheDataFile)
{
    std::string entries = Entry("create-folder", "", "dir") + Entry("create-file", "", "dir/new file.txt", "300") +
                          Entry("edit-file", "a.bin", "a.bin", "5000000000") + Entry("Move-File", "x", "y") +
                          Entry("delete-file", "", "old.txt", "0");
    for (const char* scheme : {"file", "FILE"}) {
        ASSERT_EQ(kCXOK, Read(ControlFile(entries), scheme)) << scheme << Text(task.GetLog());
        const std::vector<PatchOperation>& operations = task.GetOperations();
        ASSERT_EQ(4u, operations.size());
        EXPECT_EQ(COMMAND_CREATE_FOLDER, operations[0].command);
        EXPECT_EQ("dir/new file.txt", Text(operations[1].destinationFilepath));
        EXPECT_EQ(300u, operations[1].estimatedEffort);
        EXPECT_EQ(COMMAND_EDIT_FILE, operations[2].command);
        EXPECT_EQ(5000000000u, operations[2].estimatedEffort);
        EXPECT_EQ(COMMAND_DELETE_FILE, operations[3].command);
        EXPECT_EQ(1234u, task.GetDataFileSize());
        EXPECT_EQ(kChecksum, Text(task.GetDataFileChecksum()));
    }
    // Versions below 2 are read.
    for (const char* version : {"", "mervane-version 0\n", "mervane-version -3\n"})
        EXPECT_EQ(kCXOK, Read(ControlFile(Entry("create-file", "", "a"), version))) << version;
}

TEST_F(MervaneTaskControlFileTest, RefusedFiles)
{
    struct Case {
        const char* name;
        std::string text;
        CXResultCode result;
        bool keepsOperations; // the list read before is left as it was
    } cases[] = {
        {"version 2", ControlFile(Entry("create-file", "", "a"), "mervane-version 2\n"), kCXConversionFailed, true},
        {"version 7", ControlFile(Entry("create-file", "", "a"), "mervane-version 7\n"), kCXConversionFailed, true},
        {"no operations list", "mervane-version 1\ndatafilesize 10\n", kCXBadFormat, false},
        {"not a control file", "\x01\x02{{{ garbage", kCXBadFormat, false},
        {"empty file", "", kCXBadFormat, false},
        {"negative effort", ControlFile(Entry("create-file", "", "a") + Entry("create-file", "", "b", "-5")), kCXBadFormat, false},
        {"efforts beyond 64 bits", ControlFile(Entry("create-file", "", "a", "9223372036854775807") +
                                               Entry("create-file", "", "b", "9223372036854775807") + Entry("create-file", "", "c", "2")),
         kCXBadFormat, false},
        {"negative data file size", "datafilesize -1\npatch-operations {\n}\n", kCXBadFormat, false},
        // Paths that would reach outside the target, or into its temporary folder.
        {"parent folder", ControlFile(Entry("create-file", "", "../outside")), kCXBadFormat, false},
        {"parent inside", ControlFile(Entry("delete-file", "", "dir/../../outside")), kCXBadFormat, false},
        {"absolute", ControlFile(Entry("delete-folder", "", "/etc")), kCXBadFormat, false},
        {"drive", ControlFile(Entry("create-file", "", "C:/Windows/x")), kCXBadFormat, false},
        {"back-slash", ControlFile(Entry("create-file", "", "..\\outside")), kCXBadFormat, false},
        {"dot", ControlFile(Entry("create-folder", "", ".")), kCXBadFormat, false},
        {"empty destination", ControlFile(Entry("create-file", "", "")), kCXBadFormat, false},
        {"temporary folder", ControlFile(Entry("create-file", "", "patcher-temp/journal.txt")), kCXBadFormat, false},
        {"edit source outside", ControlFile(Entry("edit-file", "../secret", "a")), kCXBadFormat, false},
        {"move without source", ControlFile(Entry("move-file", "", "a")), kCXBadFormat, false},
    };
    std::string good = ControlFile(Entry("create-file", "", "kept"));
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        ASSERT_EQ(kCXOK, Read(good));
        EXPECT_EQ(test.result, Read(test.text));
        EXPECT_EQ(test.keepsOperations ? 1u : 0u, task.GetOperations().size());
    }
}

TEST_F(MervaneTaskControlFileTest, AddressesAndSizes)
{
    EXPECT_EQ(kCXBadParameter, Read(ControlFile(""), "ftp"));
    EXPECT_EQ(kCXBadParameter, Read(ControlFile(""), "files"));
    // A local file that is not there is a bad control file, not a missing one (-7 means a newer
    // program is needed).
    task.SetPatchSources(CXURI(("file://" + (scratch / "missing.txt")).c_str()), CXURI());
    EXPECT_EQ(kCXBadFormat, task.ReadControlFile());

    // The size cap is checked before anything is parsed.
    std::string text = ControlFile(Entry("create-file", "", "a"));
    text.resize(MervaneTask_ApplyFilePatches::kMaximumControlFileSize, '\n');
    EXPECT_EQ(kCXOK, Read(text));
    text += "\n";
    EXPECT_EQ(kCXNoResources, Read(text));
    EXPECT_TRUE(task.GetOperations().size() == 1u);
}

// Over the web: the client's result comes back unchanged (404 is -7, which the procedure turns
// into "newer program needed"), and a body over the cap is refused before it is all in memory.
TEST_F(MervaneTaskControlFileTest, DownloadedControlFiles)
{
    LoopbackServer server;
    const std::string address = "http://localhost:" + std::to_string(server.Port()) + "/patch.txt";
    std::string good = ControlFile(Entry("create-file", "", "a"));
    std::string big(MervaneTask_ApplyFilePatches::kMaximumControlFileSize + 1, '\n');
    struct Case {
        std::string reply;
        CXResultCode result;
        size_t operations;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(good.size()) + "\r\n\r\n" + good, kCXOK, 1},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", kCXNotFound, 0},
        {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(big.size()) + "\r\n\r\n" + big, kCXNoResources, 0},
        {"HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\ngarbage", kCXBadFormat, 0},
    };
    for (const Case& c : cases) {
        ControlFileTask fresh;
        server.SetScript({LoopbackAction::WaitText("\r\n\r\n"), LoopbackAction::Send(c.reply), LoopbackAction::Close()});
        fresh.SetPatchSources(CXURI(address.c_str()), CXURI());
        EXPECT_EQ(c.result, fresh.ReadControlFile()) << c.reply.substr(0, 40);
        EXPECT_EQ(c.operations, fresh.GetOperations().size());
    }
}

} // namespace

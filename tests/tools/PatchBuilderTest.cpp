#include "PatchBuilder.h"

#include "datanode/DataNodeTesting.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMD5.h"
#include "patch/MervaneTask_ApplyFilePatches.h"
#include "streams/CXStreamFile.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXStreamProcessorWrapper.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

CXString Program(const std::string& hostPath)
{
    return CXFileSystem::FromNativePath(hostPath.c_str());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Md5(const std::string& bytes)
{
    return Text(MD5HexDigest(CXStringArgument(bytes.data(), bytes.size())));
}

std::string RandomBytes(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>('a' + random() % 26);
    return bytes;
}

uint64_t BE(const std::string& bytes, size_t offset, int count)
{
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

// A task that reads the control file and data file a builder wrote and applies the records in
// operation order to a copy of the old tree, as the operations loop does.
class ApplyingTask : public MervaneTask_ApplyFilePatches {
public:
    ~ApplyingTask() override { fDataReader.reset(); }
    void Proc() override {}

    CXResultCode Read(const std::string& patchFolder)
    {
        SetPatchSources(CXURI(("file://" + patchFolder + "/patch.txt").c_str()), CXURI());
        return ReadControlFile();
    }

    // False at the first operation that fails.
    bool Apply(const std::string& patchFolder, const std::string& root)
    {
        fDataStream = std::make_unique<CXStreamFile>();
        if (!fDataStream->Open(Program(patchFolder + "/patch.bin"), CXStreamFile::kModeRead))
            return false;
        fDataReader = std::make_unique<CXStreamProcessorWrapper>(fDataStream.get(), &fDecompressor);
        for (const PatchOperation& operation : fOperations) {
            std::string destination = root + "/" + Text(operation.destinationFilepath);
            std::string source = root + "/" + Text(operation.sourceFilepath);
            switch (operation.command) {
            case COMMAND_CREATE_FOLDER:
                fs::create_directories(destination);
                break;
            case COMMAND_DELETE_FILE:
            case COMMAND_DELETE_FOLDER:
                fs::remove(destination);
                break;
            case COMMAND_CREATE_FILE: {
                CXStreamDynamicBuffer output;
                CXString error;
                if (!CopyPatchFileData(output, error)) {
                    AppendLog(error);
                    return false;
                }
                WriteFile(destination, Contents(output));
                break;
            }
            case COMMAND_EDIT_FILE: {
                CXStreamFile input;
                if (!input.Open(Program(source), CXStreamFile::kModeRead))
                    return false;
                CXStreamDynamicBuffer output;
                if (!PerformBinaryDiff(input, output))
                    return false;
                (void)input.Close();
                WriteFile(destination, Contents(output));
                break;
            }
            default:
                return false;
            }
        }
        return true;
    }

private:
    static std::string Contents(CXStream& stream)
    {
        std::string out(stream.GetSize(), '\0');
        (void)stream.Seek(0, CXStream::kSeekSet);
        out.resize(stream.Read(out.data(), out.size()));
        return out;
    }
};

class PatchBuilderTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string shared = RandomBytes(6000, 1);
        WriteFile(scratch / "old/same.txt", "unchanged");
        WriteFile(scratch / "old/edit.bin", shared + RandomBytes(500, 2) + shared);
        WriteFile(scratch / "old/dir/edit2.txt", shared);
        WriteFile(scratch / "old/gone.txt", "deleted");
        WriteFile(scratch / "old/gonedir/x.txt", "deleted with its folder");
        WriteFile(scratch / "new/same.txt", "unchanged");
        WriteFile(scratch / "new/edit.bin", shared + "inserted" + shared);
        WriteFile(scratch / "new/dir/edit2.txt", "head " + shared.substr(100));
        WriteFile(scratch / "new/added/deeper/n.txt", RandomBytes(3000, 3));
        WriteFile(scratch / "new/empty.txt", "");
        options.oldRoot = scratch / "old";
        options.newRoot = scratch / "new";
        options.outputFolder = scratch / "out";
    }

    bool Build(PatchBuilder::Fault fault = PatchBuilder::Fault::kNone)
    {
        std::vector<PatchBuilder::Operation> operations;
        std::string error;
        EXPECT_TRUE(PatchBuilder::CompareTrees(options.oldRoot, options.newRoot, operations, error)) << error;
        options.fault = fault;
        fs::remove_all(options.outputFolder);
        bool built = PatchBuilder::Build(options, operations, error);
        EXPECT_TRUE(built) << error;
        return built;
    }

    ScratchFolder scratch;
    ScopedEnv temp{"CX_FOLDER_TEMP", scratch.Path()};
    PatchBuilder::Options options;
};

TEST_F(PatchBuilderTest, ComparesTreesInOperationOrder)
{
    std::vector<PatchBuilder::Operation> operations;
    std::string error;
    ASSERT_TRUE(PatchBuilder::CompareTrees(options.oldRoot, options.newRoot, operations, error)) << error;
    std::vector<std::string> listed;
    for (const PatchBuilder::Operation& operation : operations)
        listed.push_back(std::string(PatchCommandText(operation.command)) + " " + operation.source + ">" + operation.destination);
    std::vector<std::string> expected = {
        "create-folder >added",          "create-folder >added/deeper",     "create-file >added/deeper/n.txt",
        "create-file >empty.txt",        "edit-file dir/edit2.txt>dir/edit2.txt", "edit-file edit.bin>edit.bin",
        "delete-file >gonedir/x.txt",    "delete-file >gone.txt",           "delete-folder >gonedir",
    };
    EXPECT_EQ(expected, listed);

    WriteFile(scratch / "new/gone.txt/now-a-folder", "x");
    EXPECT_FALSE(PatchBuilder::CompareTrees(options.oldRoot, options.newRoot, operations, error));
    EXPECT_EQ("changes between file and folder: gone.txt", error);
}

TEST_F(PatchBuilderTest, ABuiltPatchTurnsTheOldTreeIntoTheNewOne)
{
    ASSERT_TRUE(Build());
    ApplyingTask task;
    ASSERT_EQ(kCXOK, task.Read(options.outputFolder)) << Text(task.GetLog());
    std::string data = ReadFile(scratch / "out/patch.bin");
    EXPECT_EQ(data.size(), task.GetDataFileSize());
    EXPECT_EQ(Md5(data), Text(task.GetDataFileChecksum()));
    ASSERT_EQ(9u, task.GetOperations().size());
    const PatchOperation& edit = task.GetOperations()[5];
    EXPECT_EQ(Md5(ReadFile(scratch / "old/edit.bin")), Text(edit.sourceChecksum));
    EXPECT_EQ(Md5(ReadFile(scratch / "new/edit.bin")), Text(edit.destinationChecksum));
    EXPECT_EQ(ReadFile(scratch / "new/edit.bin").size(), edit.estimatedEffort);

    fs::copy(scratch / "old", scratch / "work", fs::copy_options::recursive);
    ASSERT_TRUE(task.Apply(options.outputFolder, scratch / "work")) << Text(task.GetLog());
    EXPECT_EQ(PatchBuilder::MakeManifest(scratch / "new"), PatchBuilder::MakeManifest(scratch / "work"));
    EXPECT_FALSE(fs::exists(scratch / "work/gonedir"));

    std::string manifest = ReadFile(scratch / "out/manifest-new.txt");
    EXPECT_NE(std::string::npos, manifest.find(Md5("unchanged") + "  same.txt\n"));
    EXPECT_NE(std::string::npos, ReadFile(scratch / "out/manifest-old.txt").find(Md5("deleted") + "  gone.txt\n"));
}

TEST_F(PatchBuilderTest, VolumesCarryTheDataFileInOrder)
{
    options.volumeSize = 1000;
    ASSERT_TRUE(Build());
    std::string data = ReadFile(scratch / "out/patch.bin");
    uint64_t count = (data.size() + 999) / 1000;
    ASSERT_GT(count, 1u);
    std::string joined;
    for (uint64_t index = 0; index < count; ++index) {
        SCOPED_TRACE(index);
        std::string volume = ReadFile(scratch / ("out/patch-" + std::to_string(index + 1) + ".bin"));
        ASSERT_GE(volume.size(), 25u);
        EXPECT_EQ("MeVa", volume.substr(0, 4));
        EXPECT_EQ(0u, BE(volume, 4, 4));     // version
        EXPECT_EQ(0, volume[8]);             // the empty identifier
        EXPECT_EQ(index, BE(volume, 9, 4));  // 0-based
        EXPECT_EQ(count, BE(volume, 13, 4));
        uint64_t payload = BE(volume, 17, 8);
        EXPECT_EQ(volume.size() - 25, payload);
        joined += volume.substr(25);
    }
    EXPECT_FALSE(fs::exists(scratch / ("out/patch-" + std::to_string(count + 1) + ".bin")));
    EXPECT_EQ(data, joined);
}

TEST_F(PatchBuilderTest, FaultyVariantsAreCaughtByTheReader)
{
    using Fault = PatchBuilder::Fault;
    struct Case {
        const char* word;
        Fault fault;
        CXResultCode readResult;
        bool sizeMatches;
        bool checksumMatches;
        bool applies;
        const char* logged;
    } cases[] = {
        {"wrong-size", Fault::kWrongSize, kCXOK, false, true, true, ""},
        {"wrong-checksum", Fault::kWrongChecksum, kCXOK, true, false, true, ""},
        {"truncated-record", Fault::kTruncatedRecord, kCXOK, true, true, false, "PerformBinaryDiff> failed"},
        {"bad-command", Fault::kBadCommand, kCXOK, true, true, false, "ApplyDiffFromStream> unknown command: 2"},
        {"newer-version", Fault::kNewerVersion, kCXConversionFailed, true, true, true, ""},
        {"path-escape", Fault::kPathEscape, kCXBadFormat, true, true, true, "refused destination path '../added'"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.word);
        Fault parsed = Fault::kNone;
        EXPECT_TRUE(PatchBuilder::ParseFault(test.word, parsed));
        EXPECT_EQ(test.fault, parsed);
        ASSERT_TRUE(Build(test.fault));
        ApplyingTask task;
        EXPECT_EQ(test.readResult, task.Read(options.outputFolder));
        if (test.readResult == kCXOK) {
            std::string data = ReadFile(scratch / "out/patch.bin");
            EXPECT_EQ(test.sizeMatches, data.size() == task.GetDataFileSize());
            EXPECT_EQ(test.checksumMatches, Md5(data) == Text(task.GetDataFileChecksum()));
            fs::remove_all(scratch / "work");
            fs::copy(scratch / "old", scratch / "work", fs::copy_options::recursive);
            EXPECT_EQ(test.applies, task.Apply(options.outputFolder, scratch / "work"));
        }
        EXPECT_NE(std::string::npos, Text(task.GetLog()).find(test.logged)) << Text(task.GetLog());
    }
    Fault parsed;
    EXPECT_FALSE(PatchBuilder::ParseFault("none", parsed));
}

} // namespace

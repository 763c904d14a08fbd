#include "patch/PatchDataRecord.h"

#include "PatchBuilder.h"
#include "foundation/CXDebug.h"
#include "foundation/CXMD5.h"
#include "patch/BinaryDiff.h"
#include "patch/MervaneTask_ApplyFilePatches.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXStreamProcessorWrapper.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <cctype>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

std::string Md5(const std::string& bytes)
{
    return Text(MD5HexDigest(CXStringArgument(bytes.data(), bytes.size())));
}

std::string Contents(CXStream& stream)
{
    std::string out(stream.GetSize(), '\0');
    (void)stream.Seek(0, CXStream::kSeekSet);
    out.resize(stream.Read(out.data(), out.size()));
    return out;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string RandomBytes(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

std::string BE(uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Copy(uint32_t n)
{
    return std::string(1, '\x01') + BE(n, 4);
}

std::string Replace(uint32_t skip, const std::string& bytes)
{
    return std::string(1, '\x00') + BE(skip, 4) + BE(bytes.size(), 4) + bytes;
}

struct Applied {
    CXResultCode result;
    std::string output;
    std::string error;
};

Applied Apply(const std::string& source, const std::string& diff)
{
    CXStreamStaticBuffer sourceStream;
    EXPECT_TRUE(sourceStream.OpenReadOnly(source.data(), source.size()));
    CXStreamStaticBuffer diffStream;
    EXPECT_TRUE(diffStream.OpenReadOnly(diff.data(), diff.size()));
    CXStreamDynamicBuffer output;
    CXString error("stale");
    Applied applied;
    applied.result = ApplyDiffFromStream(sourceStream, output, diffStream, error);
    applied.output = Contents(output);
    applied.error = Text(error);
    return applied;
}

// The builder's matcher and command writer against the applier, over old and new pairs that
// exercise each kind of range.
TEST(PatchDataRecordTest, BuilderDiffsReproduceTheNewFile)
{
    std::string a = RandomBytes(3000, 1);
    std::string b = RandomBytes(2000, 2);
    std::string c = RandomBytes(1500, 3);
    struct Case {
        const char* name;
        std::string oldBytes;
        std::string newBytes;
        size_t maximumDiff; // the diff must not be larger than this
    } cases[] = {
        {"both empty", "", "", 0},
        {"old empty", "", a, a.size() + 9},
        {"new empty", a, "", 0},
        {"identical", a + b, a + b, 5},
        {"insert", a + b, a + "inserted bytes" + b, 5 + 9 + 14 + 5},
        {"delete", a + c + b, a + b, 5 + 9 + 5},
        {"replace", a + c + b, a + RandomBytes(1500, 4) + b, 5 + 9 + 1500 + 5},
        {"truncate", a + b, a, 5},
        {"append", a, a + b, 5 + 9 + b.size()},
        // Forward only: a is skipped to copy b, and then lies behind the source and goes in whole.
        {"moved blocks", a + b, b + a, 9 + 5 + 9 + a.size()},
        {"short files", "abc", "abd", 9 + 3},
        {"repeated blocks", std::string(5000, 'x'), std::string(3000, 'x') + "y" + std::string(2000, 'x'), 64},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        std::string diff = PatchBuilder::MakeDiff(test.oldBytes, test.newBytes);
        EXPECT_LE(diff.size(), test.maximumDiff);
        Applied applied = Apply(test.oldBytes, diff);
        EXPECT_EQ(kCXOK, applied.result) << applied.error;
        EXPECT_EQ(test.newBytes, applied.output);
        EXPECT_EQ("", applied.error);

        BinaryDiffTrace trace;
        PatchBuilder::GenerateDiff(test.oldBytes, test.newBytes, trace);
        EXPECT_EQ(test.newBytes.size(), trace.GetPosition());
    }
}

TEST(PatchDataRecordTest, AppliesHandWrittenCommands)
{
    struct Case {
        const char* name;
        std::string source;
        std::string diff;
        std::string output;
    } cases[] = {
        {"one copy of everything", "abcdef", Copy(6), "abcdef"},
        {"insert: replace with skip 0", "abcdef", Copy(3) + Replace(0, "XY") + Copy(3), "abcXYdef"},
        {"delete: replace with no bytes", "abcdef", Copy(2) + Replace(2, "") + Copy(2), "abef"},
        {"source after the last command is dropped", "abcdef", Copy(2), "ab"},
        {"a diff of nothing", "abcdef", "", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Applied applied = Apply(test.source, test.diff);
        EXPECT_EQ(kCXOK, applied.result) << applied.error;
        EXPECT_EQ(test.output, applied.output);
    }
}

// Every operand is checked against what is left; nothing short ever passes as a zero.
TEST(PatchDataRecordTest, RefusesBadDiffs)
{
    struct Case {
        const char* name;
        std::string diff;
        CXResultCode result;
        std::string error;
    } cases[] = {
        {"unknown command", Copy(1) + "\x02" + Copy(1), kCXBadFormat, "ApplyDiffFromStream> unknown command: 2"},
        {"copy operand cut short", Copy(1) + std::string("\x01\x00\x00", 3), kCXBadFormat,
         "ApplyDiffFromStream> operands of command 1 cut short"},
        {"replace operands cut short", std::string("\x00\x00\x00\x00\x00\x00\x00", 7), kCXBadFormat,
         "ApplyDiffFromStream> operands of command 0 cut short"},
        {"copy beyond the source", Copy(7), kCXBadFormat, "ApplyDiffFromStream> copy(7) beyond the source (6 left)"},
        {"copy beyond what is left of the source", Copy(4) + Copy(3), kCXBadFormat,
         "ApplyDiffFromStream> copy(3) beyond the source (2 left)"},
        {"skip beyond the source", Replace(7, "x"), kCXBadFormat, "ApplyDiffFromStream> skip(7) beyond the source (6 left)"},
        {"replace beyond the diff", std::string(1, '\x00') + BE(0, 4) + BE(5, 4) + "abc", kCXBadFormat,
         "ApplyDiffFromStream> replace(5) beyond the diff (3 left)"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Applied applied = Apply("abcdef", test.diff);
        EXPECT_EQ(test.result, applied.result);
        EXPECT_EQ(test.error, applied.error);
    }
}

TEST(PatchDataRecordTest, ReadsChecksumsOfAtMost64Bytes)
{
    std::string md5 = Md5("x");
    struct Case {
        const char* name;
        std::string bytes;
        CXResultCode result;
        std::string checksum;
        uint64_t consumed;
    } cases[] = {
        {"a checksum", "\x20" + md5 + "next", kCXOK, md5, 33},
        {"long form", "\xFF" + BE(32, 4) + md5, kCXOK, md5, 37},
        {"empty", std::string(1, '\0'), kCXOK, "", 1},
        {"64 bytes", "\x40" + std::string(64, 'a'), kCXOK, std::string(64, 'a'), 65},
        {"65 bytes", "\x41" + std::string(65, 'a'), kCXBadFormat, "", 1},
        {"a huge length", "\xFF" + BE(0xFFFFFFFE, 4), kCXBadFormat, "", 5},
        {"cut short", "\x20" + md5.substr(0, 10), kCXEndOfData, "", 11},
        {"nothing", "", kCXEndOfData, "", 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CXStreamStaticBuffer stream;
        ASSERT_TRUE(stream.OpenReadOnly(test.bytes.data(), test.bytes.size()));
        CXString checksum("stale");
        EXPECT_EQ(test.result, ReadRecordChecksum(stream, checksum));
        EXPECT_EQ(test.checksum, Text(checksum));
        EXPECT_EQ(test.consumed, static_cast<uint64_t>(stream.GetPosition()));
    }
    EXPECT_FALSE(RecordChecksumMatches("", ""));
    EXPECT_FALSE(RecordChecksumMatches(CXString(md5.c_str()), ""));
    EXPECT_FALSE(RecordChecksumMatches(CXString(md5.c_str()), CXString(Md5("y").c_str())));
    EXPECT_TRUE(RecordChecksumMatches(CXString(md5.c_str()), CXString(md5.c_str())));
}

// Ranges a 32-bit operand cannot hold become several commands; no data needs to exist for that.
TEST(PatchDataRecordTest, WriterSplitsRangesOf4GiBOrMore)
{
    auto owned = std::make_unique<CXStreamDynamicBuffer>();
    CXStreamDynamicBuffer* stream = owned.get();
    BinaryDiffCommandWriter writer(std::move(owned));
    const uint64_t k4GiB = 1ull << 32;
    EXPECT_EQ(k4GiB + 5, writer.copy(10, 10 + k4GiB + 5));
    CXStreamStaticBuffer newFile;
    ASSERT_TRUE(newFile.OpenReadOnly("0123456789", 10));
    writer.replace(0, k4GiB, newFile, 2, 5);
    EXPECT_EQ(kCXOK, writer.GetResult());
    std::string expected = Copy(0xFFFFFFFF) + Copy(6) + std::string(1, '\x00') + BE(0xFFFFFFFF, 4) + BE(3, 4) + "234" +
                           std::string(1, '\x00') + BE(1, 4) + BE(0, 4);
    EXPECT_EQ(expected, Contents(*stream));

    CXDebugCapture capture;
    BinaryDiffTrace trace;
    EXPECT_EQ(7u, trace.copy(3, 10));
    trace.replace(10, 20, newFile, 0, 4);
    EXPECT_EQ(11u, trace.GetPosition());
    EXPECT_TRUE(capture.Contains("diff> replace 4 bytes at 7"));
}

// A task that reads its records from compressed bytes in memory.
class RecordTask : public MervaneTask_ApplyFilePatches {
public:
    ~RecordTask() override { fDataReader.reset(); }
    void Proc() override {}
    void SetData(const std::string& compressed)
    {
        fDataReader.reset();
        fCompressed = compressed;
        EXPECT_TRUE(fRaw.OpenReadOnly(fCompressed.data(), fCompressed.size()));
        fDataReader = std::make_unique<CXStreamProcessorWrapper>(&fRaw, &fDecompressor);
    }

private:
    std::string fCompressed;
    CXStreamStaticBuffer fRaw;
};

std::string Record(const std::string& payload, const std::string& checksum)
{
    std::string record = BE(payload.size(), 8) + payload;
    record += static_cast<char>(checksum.size());
    return record + checksum;
}

class PatchDataRecordTaskTest : public testing::Test {
protected:
    ScratchFolder scratch;
    ScopedEnv temp{"CX_FOLDER_TEMP", scratch.Path()};
};

TEST_F(PatchDataRecordTaskTest, RecordsAreConsumedInOrder)
{
    std::string oldFile = RandomBytes(5000, 7);
    std::string newFile = oldFile.substr(0, 2000) + "changed" + oldFile.substr(2500);
    std::string created = "a new file";
    std::string records = Record(created, Md5(created)) + Record(PatchBuilder::MakeDiff(oldFile, newFile), Md5(newFile)) +
                          Record("skipped", Md5("skipped")) + Record("", Md5(""));
    RecordTask task;
    task.SetData(PatchBuilder::Compress(records));

    CXStreamDynamicBuffer first;
    CXString error;
    EXPECT_TRUE(task.CopyPatchFileData(first, error)) << Text(error);
    EXPECT_EQ(created, Contents(first));
    EXPECT_EQ("", Text(error));

    CXStreamStaticBuffer source;
    ASSERT_TRUE(source.OpenReadOnly(oldFile.data(), oldFile.size()));
    CXStreamDynamicBuffer second;
    EXPECT_TRUE(task.PerformBinaryDiff(source, second)) << Text(task.GetLog());
    EXPECT_EQ(newFile, Contents(second));

    EXPECT_TRUE(task.SkipBinaryDiff()) << Text(task.GetLog());

    // An empty file: its checksum is the MD5 of no bytes.
    CXStreamDynamicBuffer last;
    EXPECT_TRUE(task.CopyPatchFileData(last, error)) << Text(error);
    EXPECT_EQ("", Contents(last));
}

TEST_F(PatchDataRecordTaskTest, ARecordCountsOnlyWithAMatchingChecksum)
{
    std::string bytes = "file bytes";
    std::string compressedGood = PatchBuilder::Compress(Record(bytes, Md5(bytes)));
    std::string damagedTrailer = compressedGood;
    damagedTrailer.back() = static_cast<char>(damagedTrailer.back() ^ 0x55);
    struct Case {
        const char* name;
        std::string data;
        std::string error;
    } cases[] = {
        {"checksum of other bytes", PatchBuilder::Compress(Record(bytes, Md5("other"))),
         "$mervane_task_result_checksum_mismatch"},
        {"upper-case checksum", PatchBuilder::Compress(Record(bytes, Upper(Md5(bytes)))),
         "$mervane_task_result_checksum_mismatch"},
        {"empty checksum", PatchBuilder::Compress(Record(bytes, "")), "$mervane_task_result_checksum_mismatch"},
        {"checksum longer than 64 bytes", PatchBuilder::Compress(Record(bytes, std::string(65, 'a'))),
         "$mervane_task_failed_read_checksum"},
        {"record longer than the data", PatchBuilder::Compress(BE(100, 8) + bytes), "$mervane_task_copy_failed"},
        {"length cut short", PatchBuilder::Compress(BE(1, 4)), "$mervane_task_failed_read_datastreamsize"},
        {"checksum missing", PatchBuilder::Compress(BE(bytes.size(), 8) + bytes), "$mervane_task_failed_read_checksum"},
        // The bytes and their checksum arrive intact, but the data stream's own check fails.
        {"damaged zlib trailer", damagedTrailer, "*"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        RecordTask task;
        task.SetData(test.data);
        CXStreamDynamicBuffer output;
        CXString error;
        EXPECT_FALSE(task.CopyPatchFileData(output, error));
        if (test.error != "*")
            EXPECT_EQ(test.error, Text(error));
        else
            EXPECT_NE("", Text(error));
    }
}

// Incompressible data are stored as they are, so a damaged byte comes out as a wrong byte and the
// decompressor only notices at its trailer: the damaged record fails, the one before it counts.
TEST_F(PatchDataRecordTaskTest, DamagedDataFailTheirRecordOnly)
{
    std::string first = RandomBytes(20000, 11);
    std::string second = RandomBytes(20000, 12);
    std::string data = PatchBuilder::Compress(Record(first, Md5(first)) + Record(second, Md5(second)));
    data[data.size() * 3 / 4] = static_cast<char>(data[data.size() * 3 / 4] ^ 0x20);
    RecordTask task;
    task.SetData(data);
    CXStreamDynamicBuffer output;
    CXString error;
    EXPECT_TRUE(task.CopyPatchFileData(output, error)) << Text(error);
    EXPECT_EQ(first, Contents(output));
    CXStreamDynamicBuffer damaged;
    EXPECT_FALSE(task.CopyPatchFileData(damaged, error));
    EXPECT_NE("", Text(error));
}

// A failure of the file being written, of the result's checksum or of the diff still consumes the
// whole record: the next routine reads its own record. Only a failure of the data stream itself
// leaves it out of step.
TEST_F(PatchDataRecordTaskTest, EveryRecordIsConsumedWhateverHappensToItsFile)
{
    std::string oldFile = "old file";
    std::string records = Record("first payload", Md5("first payload")) + Record(std::string("\x02xx"), Md5("x")) +
                          Record("third", Md5("third")) + Record("fourth", Md5("fourth")) + Record("fifth", Md5("fifth"));
    RecordTask task;
    task.SetData(PatchBuilder::Compress(records));
    CXString error;

    // The output refuses writes: the copy fails part-way.
    CXStreamStaticBuffer readOnly;
    ASSERT_TRUE(readOnly.OpenReadOnly(oldFile.data(), oldFile.size()));
    EXPECT_FALSE(task.CopyPatchFileData(readOnly, error));
    EXPECT_TRUE(task.IsDataStreamInStep());

    CXStreamStaticBuffer source;
    ASSERT_TRUE(source.OpenReadOnly(oldFile.data(), oldFile.size()));
    CXStreamDynamicBuffer diffOutput;
    EXPECT_FALSE(task.PerformBinaryDiff(source, diffOutput));
    EXPECT_TRUE(task.IsDataStreamInStep());

    // A record whose checksum is not the operation's destination checksum fails.
    CXStreamDynamicBuffer third;
    EXPECT_FALSE(task.CopyPatchFileData(third, error, CXString(Md5("something else").c_str())));
    EXPECT_EQ("$mervane_task_result_checksum_mismatch", Text(error));
    EXPECT_TRUE(task.IsDataStreamInStep());

    CXStreamDynamicBuffer fourth;
    EXPECT_TRUE(task.CopyPatchFileData(fourth, error, CXString(Md5("fourth").c_str()))) << Text(error);
    EXPECT_EQ("fourth", Contents(fourth));
    CXStreamDynamicBuffer fifth;
    EXPECT_TRUE(task.CopyPatchFileData(fifth, error)) << Text(error);
    EXPECT_EQ("fifth", Contents(fifth));

    RecordTask cut;
    cut.SetData(PatchBuilder::Compress(BE(100, 8) + "short"));
    CXStreamDynamicBuffer output;
    EXPECT_FALSE(cut.CopyPatchFileData(output, error));
    EXPECT_FALSE(cut.IsDataStreamInStep());
}

TEST_F(PatchDataRecordTaskTest, FailedDiffsAndSkipsAreLogged)
{
    std::string oldFile = "old file";
    struct Case {
        const char* name;
        std::string records;
        std::string logLine;
    } cases[] = {
        {"unknown command", Record(std::string("\x02"), Md5("")), "ApplyDiffFromStream> unknown command: 2\n"
                                                                   "MervaneTask_ApplyFilePatches::PerformBinaryDiff> failed to apply diff. result -12\n"},
        {"wrong result", Record(Copy(3), Md5("old file")),
         "MervaneTask_ApplyFilePatches::PerformBinaryDiff> result file checksum mismatch [" + Md5("old file") + ", " + Md5("old") +
             "]\n"},
        {"empty checksum", Record(Copy(3), ""),
         "MervaneTask_ApplyFilePatches::PerformBinaryDiff> result file checksum mismatch [, " + Md5("old") + "]\n"},
        {"no record", "", "MervaneTask_ApplyFilePatches::PerformBinaryDiff> failed to read dataStreamSize. result -3\n"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        RecordTask task;
        task.SetData(PatchBuilder::Compress(test.records));
        CXStreamStaticBuffer source;
        ASSERT_TRUE(source.OpenReadOnly(oldFile.data(), oldFile.size()));
        CXStreamDynamicBuffer output;
        EXPECT_FALSE(task.PerformBinaryDiff(source, output));
        EXPECT_EQ(test.logLine, Text(task.GetLog()));
    }

    RecordTask task;
    task.SetData(PatchBuilder::Compress(BE(100, 8) + "short"));
    EXPECT_FALSE(task.SkipBinaryDiff());
    EXPECT_NE(std::string::npos, Text(task.GetLog()).find("SkipBinaryDiff> failed to skip"));
}

} // namespace

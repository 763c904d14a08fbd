#include "streams/CXStreamFile.h"

#include "foundation/CXDebug.h"
#include "platform/DriveMap.h"
#include "platform/File.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

std::string ReadHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHostFile(const std::string& path, const std::string& contents)
{
    std::ofstream(path, std::ios::binary) << contents;
}

class CXStreamFileTest : public testing::Test {
protected:
    void SetUp() override { Platform::ReloadDriveMap(); }
    void TearDown() override
    {
        Platform::ClearFaults();
        Platform::ReloadDriveMap();
    }
    ScratchFolder fScratch;
    ScopedEnv fDriveC{"CX_DRIVE_C", fScratch.Path()};
};

// What a file stream must behave like: a string and a position, with the stream's sticky result
// and end-of-data bit.
struct Model {
    std::string data;
    int64_t position = 0;
    int32_t result = 0;
    bool endOfData = false;

    void Fail(int32_t code) { result = code; }
    std::string Read(uint64_t size)
    {
        uint64_t left = position < static_cast<int64_t>(data.size()) ? data.size() - position : 0;
        uint64_t count = std::min(size, left);
        std::string out = data.substr(static_cast<size_t>(std::min<int64_t>(position, data.size())), count);
        position += static_cast<int64_t>(count);
        if (count < size) {
            Fail(kCXEndOfData);
            endOfData = true;
        }
        return out;
    }
    void Write(const std::string& bytes)
    {
        if (bytes.empty())
            return;
        if (static_cast<size_t>(position) + bytes.size() > data.size())
            data.resize(static_cast<size_t>(position) + bytes.size(), '\0');
        data.replace(static_cast<size_t>(position), bytes.size(), bytes);
        position += static_cast<int64_t>(bytes.size());
    }
    int64_t Seek(int64_t offset, int mode)
    {
        endOfData = false;
        int64_t target = mode == 0 ? offset : mode == 1 ? position + offset : static_cast<int64_t>(data.size()) + offset;
        if (target < 0) {
            Fail(kCXBadParameter);
            return position;
        }
        position = target;
        return target;
    }
};

struct BufferSetup {
    const char* name;
    uint64_t readBuffer, writeBuffer, keepBack;
};

// Random reads, writes, seeks, skips, flushes and reopens on a file stream and on the model,
// compared after every step; the host file is compared with the model at every reopen.
void RunDifferential(const std::string& hostPath, const BufferSetup& setup, unsigned seed, int steps)
{
    SCOPED_TRACE(setup.name);
    std::mt19937 random(seed);
    auto pick = [&](int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random); };
    auto size = [&]() -> uint64_t {
        int64_t kind = pick(0, 9);
        return static_cast<uint64_t>(kind < 6 ? pick(0, 16) : kind < 9 ? pick(17, 3000) : pick(3001, 12000));
    };

    CXDebugCapture capture;
    CXStreamFile file;
    ASSERT_TRUE(file.Control(CXStreamCacheHelper::kControlReadBufferSize, setup.readBuffer));
    ASSERT_TRUE(file.Control(CXStreamCacheHelper::kControlWriteBufferSize, setup.writeBuffer));
    ASSERT_TRUE(file.Control(CXStreamCacheHelper::kControlReadKeepBack, setup.keepBack));
    ASSERT_TRUE(file.Open("C:/model.bin", 0x1A));
    Model model;
    uint8_t fill = 0;

    for (int step = 0; step < steps; ++step) {
        int64_t op = pick(0, 99);
        std::string what;
        if (op < 30) {
            uint64_t n = size();
            what = "read " + std::to_string(n);
            std::string got(n, '\0');
            got.resize(file.Read(got.data(), n));
            ASSERT_EQ(got, model.Read(n)) << what << " at step " << step;
        } else if (op < 38) {
            what = "read byte";
            std::string expected = model.Read(1);
            ASSERT_EQ(file.ReadByte(), expected.empty() ? 0 : static_cast<uint8_t>(expected[0])) << step;
        } else if (op < 68) {
            uint64_t n = size();
            what = "write " + std::to_string(n);
            std::string bytes(n, '\0');
            for (char& c : bytes)
                c = static_cast<char>(++fill);
            ASSERT_EQ(file.Write(bytes.data(), n), n) << what << " at step " << step;
            model.Write(bytes);
        } else if (op < 88) {
            int mode = static_cast<int>(pick(0, 2));
            int64_t base = mode == 0 ? 0 : mode == 1 ? model.position : static_cast<int64_t>(model.data.size());
            int64_t offset = pick(-base - 5, 3000) + (pick(0, 3) == 0 ? pick(-20, 20) : 0);
            what = "seek " + std::to_string(offset) + " mode " + std::to_string(mode);
            ASSERT_EQ(file.Seek(offset, mode), model.Seek(offset, mode)) << what << " at step " << step;
        } else if (op < 92) {
            uint64_t n = size();
            what = "skip " + std::to_string(n);
            ASSERT_EQ(file.Skip(n), n) << step;
            if (n != 0)
                model.Seek(static_cast<int64_t>(n), 1);
        } else if (op < 96) {
            what = "flush";
            ASSERT_EQ(file.Flush(1), kCXOK) << step;
        } else {
            bool truncate = pick(0, 3) == 0;
            what = truncate ? "reopen 0x1A" : "reopen 0x0B";
            ASSERT_EQ(file.Close(), kCXOK) << step;
            ASSERT_EQ(ReadHostFile(hostPath), model.data) << step;
            ASSERT_TRUE(file.Open("C:/model.bin", truncate ? 0x1A : 0x0B)) << step;
            if (truncate)
                model.data.clear();
            model.position = 0;
            model.result = 0;
            model.endOfData = false;
        }
        ASSERT_EQ(file.GetPosition(), model.position) << what << " at step " << step;
        ASSERT_EQ(static_cast<int32_t>(file.GetResult()), model.result) << what << " at step " << step;
        ASSERT_EQ((file.GetCaps() & CXStream::kCapsEndOfData) != 0, model.endOfData) << what << " at step " << step;
        // Asking for the size caches it, so it is asked only now and then.
        if (pick(0, 3) == 0) {
            ASSERT_EQ(file.GetSize(), model.data.size()) << what << " at step " << step;
        }
    }
    ASSERT_EQ(file.Close(), kCXOK);
    EXPECT_EQ(ReadHostFile(hostPath), model.data);
    EXPECT_EQ(capture.ErrorCount(), 0u) << (capture.Lines().empty() ? "" : capture.Lines()[0].text);
}

TEST_F(CXStreamFileTest, BehavesLikeAStringWithAPosition)
{
    const BufferSetup setups[] = {
        {"default buffers", 4096, 4096, 128},
        {"small buffers", 64, 32, 8},
        {"unbuffered", 0, 0, 0},
        {"keep-back as large as the buffer", 16, 4096, 16},
    };
    unsigned seed = 20240601;
    for (const BufferSetup& setup : setups)
        RunDifferential(fScratch / "model.bin", setup, seed++, 3000);
}

// A buffered write that the host refuses when it is written out must show, whichever operation
// writes it out.
TEST_F(CXStreamFileTest, FailedWriteBehindTheBufferIsReported)
{
    enum Trigger { kClose, kSeek, kRead, kFlush };
    struct Case {
        const char* name;
        Trigger trigger;
        size_t shortBy;
        std::string contents; // of the file afterwards
    };
    const std::string old(20, 'a');
    const Case cases[] = {
        {"close", kClose, 0, old},
        {"seek", kSeek, 0, old},
        {"read", kRead, 0, old},
        {"flush", kFlush, 0, old},
        {"close after a partial write", kClose, 4, "012345" + old.substr(6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteHostFile(fScratch / "settings.txt", old);
        CXStreamFile file;
        ASSERT_TRUE(file.Open("C:/settings.txt", 0x0B));
        ASSERT_EQ(file.Write("0123456789", 10), 10u);
        Platform::ArmFault(Platform::kFaultWrite, 1, ENOSPC, c.shortBy);
        CXResultCode returned = kCXOK;
        char buffer[5];
        switch (c.trigger) {
        case kClose:
            returned = file.Close();
            break;
        case kSeek: // past the written bytes, so the buffer must go
            EXPECT_EQ(file.Seek(15, CXStream::kSeekSet), 15);
            break;
        case kRead:
            EXPECT_EQ(file.Read(buffer, 5), 5u);
            break;
        case kFlush:
            returned = file.Flush(1);
            EXPECT_EQ(file.GetSize(), 20u);
            break;
        }
        EXPECT_EQ(file.GetResult(), kCXNoResources);
        if (c.trigger == kClose || c.trigger == kFlush) {
            EXPECT_EQ(returned, kCXNoResources);
        }
        Platform::ClearFaults();
        (void)file.Close();
        EXPECT_EQ(ReadHostFile(fScratch / "settings.txt"), c.contents);
    }
}

TEST_F(CXStreamFileTest, WriteToAFullDeviceFailsAtClose)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ScopedEnv driveZ("CX_DRIVE_Z", "/");
    Platform::ReloadDriveMap();
    CXStreamFile file;
    ASSERT_TRUE(file.Open("Z:/dev/full", 0x02));
    EXPECT_EQ(file.Write("settings", 8), 8u);
    EXPECT_EQ(file.Close(), kCXNoResources);
    EXPECT_EQ(file.GetResult(), kCXNoResources);
}

TEST_F(CXStreamFileTest, TruncateControlCutsToEmpty)
{
    WriteHostFile(fScratch / "cut.bin", std::string(5000, 'x'));
    CXStreamFile stream;
    ASSERT_TRUE(stream.Open("C:/cut.bin", 0x0B));
    EXPECT_EQ(stream.Seek(4000, CXStream::kSeekSet), 4000);
    EXPECT_EQ(stream.Write("tail", 4), 4u);
    EXPECT_TRUE(stream.Control(CXStream::kControlTruncate, 0));
    EXPECT_EQ(stream.GetResult(), kCXOK);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(stream.GetSize(), 0u);
    EXPECT_EQ(stream.Write("new", 3), 3u);
    EXPECT_EQ(stream.Close(), kCXOK);
    EXPECT_EQ(ReadHostFile(fScratch / "cut.bin"), "new");

    // A stream that cannot cut fails it.
    ASSERT_TRUE(stream.Open("C:/cut.bin", 0x01));
    CXDebugCapture quiet;
    EXPECT_TRUE(stream.Control(CXStream::kControlTruncate, 0));
    EXPECT_NE(stream.GetResult(), kCXOK);
}

TEST_F(CXStreamFileTest, OpenModesAndFailures)
{
    WriteHostFile(fScratch / "old.txt", "old contents");
    std::filesystem::create_directory(fScratch / "folder");
    struct Case {
        const char* path;
        uint32_t mode;
        int32_t result; // 0: opens
        const char* contents; // of old.txt afterwards
    };
    const Case cases[] = {
        {"C:/old.txt", 0x1A, 0, ""},
        {"C:/old.txt", 0x0A, 0, "old contents"},
        {"C:/old.txt", 0x01, 0, "old contents"},
        {"C:/missing.txt", 0x02, kCXNotFound, "old contents"},
        {"C:/missing.txt", 0x01, kCXNotFound, "old contents"},
        {"C:/../outside.txt", 0x1A, kCXNotFound, "old contents"},
        {"C:/folder", 0x01, kCXAccessDenied, "old contents"},
    };
    CXDebugCapture capture;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " mode " + std::to_string(c.mode));
        WriteHostFile(fScratch / "old.txt", "old contents");
        CXStreamFile file;
        EXPECT_EQ(file.Open(c.path, c.mode), c.result == 0);
        EXPECT_EQ(static_cast<int32_t>(file.GetResult()), c.result);
        if (c.result == 0) {
            EXPECT_EQ(file.GetPosition(), 0);
            EXPECT_EQ(file.GetSize(), std::string(c.contents).size());
        }
        EXPECT_EQ(file.Close(), kCXOK);
        EXPECT_EQ(ReadHostFile(fScratch / "old.txt"), c.contents);
    }
}

TEST_F(CXStreamFileTest, CreateNewAndNoFollowNeverTouchWhatIsThere)
{
    WriteHostFile(fScratch / "old.txt", "old contents");
    std::filesystem::create_symlink(fScratch / "old.txt", fScratch / "link.txt");
    std::filesystem::create_symlink(fScratch / "gone.txt", fScratch / "dangling.txt");
    struct Case {
        const char* path;
        uint32_t mode;
        bool opens;
    };
    const Case cases[] = {
        {"C:/new.txt", CXStreamFile::kModeCreateNew | 0x03, true},
        {"C:/old.txt", CXStreamFile::kModeCreateNew | 0x03, false},
        {"C:/old.txt", CXStreamFile::kModeCreateNew | 0x1B, false}, // truncate is not taken instead
        {"C:/link.txt", CXStreamFile::kModeCreateNew | 0x03, false},
        {"C:/dangling.txt", CXStreamFile::kModeCreateNew | 0x03, false}, // never made through the link
        {"C:/link.txt", CXStreamFile::kModeNoFollow | 0x01, false},
        {"C:/link.txt", CXStreamFile::kModeNoFollow | 0x1A, false},
        {"C:/old.txt", CXStreamFile::kModeNoFollow | 0x01, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " mode " + std::to_string(c.mode));
        CXStreamFile file;
        EXPECT_EQ(file.Open(c.path, c.mode), c.opens);
        if (c.opens)
            EXPECT_EQ(file.GetSize(), std::string(c.path) == "C:/new.txt" ? 0u : 12u);
        else
            EXPECT_NE(file.GetResult(), kCXOK);
        EXPECT_EQ(file.Close(), kCXOK);
        EXPECT_EQ(ReadHostFile(fScratch / "old.txt"), "old contents");
        std::filesystem::remove(fScratch / "new.txt");
    }
    EXPECT_FALSE(std::filesystem::exists(fScratch / "gone.txt"));
    CXStreamFile file;
    EXPECT_FALSE(file.Open("C:/old.txt", CXStreamFile::kModeCreateNew | 0x03));
    EXPECT_EQ(file.GetResult(), kCXAlreadyExists);
}

TEST_F(CXStreamFileTest, TruncateCutsAtAPosition)
{
    CXStreamFile file;
    ASSERT_TRUE(file.Open("C:/t.bin", 0x1B));
    ASSERT_EQ(file.Write("0123456789", 10), 10u);
    EXPECT_EQ(file.Truncate(4), kCXOK);
    EXPECT_EQ(file.GetPosition(), 4);
    EXPECT_EQ(file.GetSize(), 4u);
    ASSERT_EQ(file.Write("ab", 2), 2u);
    EXPECT_EQ(file.Truncate(), kCXOK);
    EXPECT_EQ(file.GetPosition(), 0);
    ASSERT_EQ(file.Write("xyz", 3), 3u);
    EXPECT_EQ(file.Close(), kCXOK);
    EXPECT_EQ(ReadHostFile(fScratch / "t.bin"), "xyz");

    ASSERT_TRUE(file.Open("C:/t.bin", 0x0B));
    Platform::ArmFault(Platform::kFaultTruncate, 1, EIO);
    EXPECT_NE(file.Truncate(1), kCXOK);
    EXPECT_EQ(file.Close(), kCXOK);
    EXPECT_EQ(ReadHostFile(fScratch / "t.bin"), "xyz");
}

TEST_F(CXStreamFileTest, AlreadyOpenAndReadOnly)
{
    WriteHostFile(fScratch / "a.txt", "abc");
    CXStreamFile file;
    ASSERT_TRUE(file.Open("C:/a.txt", 0x01));
    EXPECT_FALSE(file.Open("C:/a.txt", 0x1A));
    EXPECT_EQ(file.GetResult(), kCXAlreadyOpen);
    // Refused at once, not lost at the flush.
    EXPECT_EQ(file.Write("x", 1), 0u);
    EXPECT_EQ(file.GetResult(), kCXAccessDenied);
    EXPECT_EQ(file.Close(), kCXOK);
    EXPECT_EQ(ReadHostFile(fScratch / "a.txt"), "abc");
    // A closed stream fails every operation with -1.
    char byte;
    EXPECT_EQ(file.Read(&byte, 1), 0u);
    EXPECT_EQ(file.GetResult(), kCXFailed);
}

TEST_F(CXStreamFileTest, ExclusiveOpensClaimThePath)
{
    CXStreamFile first, second, reader;
    ASSERT_TRUE(first.Open("C:/x.dat", 0x4A));
    EXPECT_FALSE(second.Open("C:/x.dat", 0x4A));
    EXPECT_EQ(second.GetResult(), kCXBusy);
    EXPECT_FALSE(second.Open("C:/./x.dat", 0x5A)); // the same file by another spelling
    EXPECT_TRUE(reader.Open("C:/x.dat", 0x01));
    EXPECT_EQ(first.Close(), kCXOK);
    EXPECT_TRUE(second.Open("C:/x.dat", 0x4A));
    EXPECT_EQ(second.GetResult(), kCXOK);
}

TEST_F(CXStreamFileTest, SmallRequestsStayInTheBuffer)
{
    std::string contents(10000, '\0');
    for (size_t i = 0; i < contents.size(); ++i)
        contents[i] = static_cast<char>(i * 7);
    WriteHostFile(fScratch / "big.bin", contents);
    CXStreamFile file;
    ASSERT_TRUE(file.Open("C:/big.bin", 0x01));
    Platform::ArmFault(Platform::kFaultRemoveDirectory, 0, 0); // counts every call, fails none
    char buffer[100];
    ASSERT_EQ(file.Read(buffer, 100), 100u);
    int reads = Platform::FaultSeamCalls(Platform::kFaultRead);
    int seeks = Platform::FaultSeamCalls(Platform::kFaultSeek);
    ASSERT_EQ(file.Read(buffer, 100), 100u);
    EXPECT_EQ(file.Seek(-150, CXStream::kSeekCurrent), 50);
    ASSERT_EQ(file.Read(buffer, 100), 100u);
    EXPECT_EQ(std::string(buffer, 100), contents.substr(50, 100));
    EXPECT_EQ(Platform::FaultSeamCalls(Platform::kFaultRead), reads);
    EXPECT_EQ(Platform::FaultSeamCalls(Platform::kFaultSeek), seeks);
}

} // namespace

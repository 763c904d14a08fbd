#include "streams/CXStreamSubfile.h"

#include "foundation/CXDebug.h"
#include "platform/DriveMap.h"
#include "streams/CXStreamFile.h"
#include "streams/CXStreamMemory.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace {

const std::string kParentBytes = "0123456789abcdefghijklmnopqrst"; // 30 bytes

class CXStreamSubfileTest : public testing::Test {
protected:
    void SetUp() override
    {
        Platform::ReloadDriveMap();
        std::ofstream(fScratch / "parent.bin", std::ios::binary) << kParentBytes;
    }
    void TearDown() override { Platform::ReloadDriveMap(); }

    // Each kind of parent a window is laid on, holding kParentBytes.
    std::vector<std::pair<const char*, std::function<std::unique_ptr<CXStream>()>>> Parents()
    {
        return {
            {"file",
             [] {
                 auto file = std::make_unique<CXStreamFile>();
                 EXPECT_TRUE(file->Open("C:/parent.bin", 0x01));
                 return std::unique_ptr<CXStream>(std::move(file));
             }},
            {"dynamic buffer",
             [] {
                 auto buffer = std::make_unique<CXStreamDynamicBuffer>();
                 EXPECT_EQ(buffer->Write(kParentBytes.data(), kParentBytes.size()), kParentBytes.size());
                 return std::unique_ptr<CXStream>(std::move(buffer));
             }},
            {"static buffer",
             [] {
                 auto buffer = std::make_unique<CXStreamStaticBuffer>();
                 EXPECT_TRUE(buffer->OpenReadOnly(kParentBytes.data(), kParentBytes.size()));
                 return std::unique_ptr<CXStream>(std::move(buffer));
             }},
        };
    }

    ScratchFolder fScratch;
    ScopedEnv fDriveC{"CX_DRIVE_C", fScratch.Path()};
};

// However much of a window was used, closing or destroying it leaves the parent at its end.
TEST_F(CXStreamSubfileTest, ClosingLeavesTheParentAtTheEndOfTheWindow)
{
    struct Case {
        const char* name;
        std::function<void(CXStreamSubfile&)> use;
        bool destroy; // instead of Close
    };
    char buffer[32];
    const Case cases[] = {
        {"nothing read", [](CXStreamSubfile&) {}, false},
        {"3 bytes read", [&](CXStreamSubfile& s) { EXPECT_EQ(s.Read(buffer, 3), 3u); }, false},
        {"3 bytes read, destroyed", [&](CXStreamSubfile& s) { EXPECT_EQ(s.Read(buffer, 3), 3u); }, true},
        {"read past the end",
         [&](CXStreamSubfile& s) {
             EXPECT_EQ(s.Read(buffer, 20), 10u);
             EXPECT_EQ(std::string(buffer, 10), "56789abcde");
             EXPECT_EQ(s.GetResult(), kCXEndOfData);
         },
         false},
        {"sought past the end",
         [](CXStreamSubfile& s) {
             EXPECT_EQ(s.Seek(13, CXStream::kSeekSet), 13);
             EXPECT_NE(s.GetCaps() & CXStream::kCapsEndOfData, 0u);
         },
         false},
        {"sought back",
         [&](CXStreamSubfile& s) {
             EXPECT_EQ(s.Read(buffer, 8), 8u);
             EXPECT_EQ(s.Seek(-6, CXStream::kSeekCurrent), 2);
             EXPECT_EQ(s.ReadByte(), '7');
         },
         true},
    };
    for (auto& [kind, make] : Parents()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind) + ", " + c.name);
            std::unique_ptr<CXStream> parent = make();
            ASSERT_EQ(parent->Seek(5, CXStream::kSeekSet), 5);
            auto window = std::make_unique<CXStreamSubfile>();
            window->Open(parent.get(), 10);
            EXPECT_EQ(window->GetSize(), 10u);
            c.use(*window);
            if (c.destroy)
                window.reset();
            else
                EXPECT_EQ(window->Close(), kCXOK);
            EXPECT_EQ(parent->GetPosition(), 15);
            EXPECT_EQ(parent->ReadByte(), 'f');
        }
    }
}

TEST_F(CXStreamSubfileTest, AShortParentHandsItsEndUp)
{
    for (auto& [kind, make] : Parents()) {
        SCOPED_TRACE(kind);
        std::unique_ptr<CXStream> parent = make();
        ASSERT_EQ(parent->Seek(26, CXStream::kSeekSet), 26);
        CXDebugCapture capture;
        CXStreamSubfile window;
        window.Open(parent.get(), 10);
        EXPECT_EQ(capture.Count("CXStreamSubfile::Open> parent smaller than subfile (26, 10, 30)"), 1u);
        char buffer[10];
        EXPECT_EQ(window.Read(buffer, 10), 4u);
        EXPECT_EQ(std::string(buffer, 4), "qrst");
        EXPECT_EQ(window.GetResult(), kCXEndOfData);
        EXPECT_EQ(parent->GetResult(), kCXOK);
    }
}

TEST_F(CXStreamSubfileTest, WithoutAParentEverythingFails)
{
    CXStreamSubfile window;
    char byte;
    EXPECT_EQ(window.Read(&byte, 1), 0u);
    EXPECT_EQ(window.GetResult(), kCXAlreadyOpen);
    EXPECT_EQ(window.Close(), kCXAlreadyOpen);
}

TEST_F(CXStreamSubfileTest, WritesStayInsideTheWindow)
{
    CXStreamFile file;
    ASSERT_TRUE(file.Open("C:/parent.bin", 0x0B));
    ASSERT_EQ(file.Seek(2, CXStream::kSeekSet), 2);
    {
        CXStreamSubfile window;
        window.Open(&file, 4);
        EXPECT_EQ(window.Write("WXYZ!", 5), 4u);
        EXPECT_EQ(window.GetResult(), kCXEndOfData);
        EXPECT_EQ(window.Flush(1), kCXOK);
    }
    EXPECT_EQ(file.GetPosition(), 6);
    EXPECT_EQ(file.Close(), kCXOK);
    std::ifstream in(fScratch / "parent.bin", std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, "01WXYZ6789abcdefghijklmnopqrst");
}

} // namespace

#include "foundation/CXDebug.h"
#include "streams/CXSSLContext.h"
#include "support/LoopbackServer.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

TEST(CXSSLContextTest, OnlyTheHeartbeatOverReadVersionsAreRefused)
{
    struct Case {
        uint64_t version;
        bool refused;
    };
    const Case cases[] = {
        {0x1000007F, false}, // 1.0.0g
        {0x10000FFF, false}, // last 1.0.0
        {0x10001000, true},  // 1.0.1 beta
        {0x1000100F, true},  // 1.0.1
        {0x1000105F, true},  // 1.0.1e
        {0x1000106F, true},  // 1.0.1f
        {0x1000107F, false}, // 1.0.1g
        {0x10002000, false}, // 1.0.2
        {0x30000000, false},
        {0x300000D0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CXSSLContext::IsVulnerableLibraryVersion(c.version), c.refused) << std::hex << c.version;
}

class CXSSLContextFolderTest : public testing::Test {
protected:
    ScratchFolder fScratch;
    ScopedDriveMap fMap{fScratch.Path()};
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch / "app"};

    void SetUp() override { std::filesystem::create_directories(fScratch / "app/data"); }
};

TEST_F(CXSSLContextFolderTest, MissingCertificateFileIsNotFoundAndLogged)
{
    CXDebugCapture capture;
    CXSSLContext context;
    ASSERT_NE(context.GetNativeContext(), nullptr);
    EXPECT_EQ(context.LoadDefaultVerifyPaths(), kCXNotFound);
    EXPECT_EQ(capture.Count("CXSSLContext::LoadDefaultVerifyPaths> failed to load certificate at 'C:/app/data/openssl.crt'"), 1u);
    EXPECT_EQ(capture.Count("OpenSSL error: \""), 1u);
}

TEST_F(CXSSLContextFolderTest, CertificateFileIsLoadedFromTheDataFolder)
{
    ASSERT_TRUE(WriteLoopbackCA(fScratch / "app/data/openssl.crt"));
    CXDebugCapture capture;
    CXSSLContext context;
    EXPECT_EQ(context.LoadDefaultVerifyPaths(), kCXOK);
    EXPECT_TRUE(capture.Lines().empty());

    // A file that holds no certificate is as good as none.
    std::filesystem::resize_file(fScratch / "app/data/openssl.crt", 20);
    CXSSLContext broken;
    EXPECT_EQ(broken.LoadDefaultVerifyPaths(), kCXNotFound);
    EXPECT_EQ(capture.Count("failed to load certificate at 'C:/app/data/openssl.crt'"), 1u);
}

TEST(CXSSLContextTest, UsersAreCountedAndTheOwnerThreadChecked)
{
    int32_t before = CXOpenSSLThreadContext::GetUserCount();
    auto context = std::make_unique<CXSSLContext>();
    {
        CXOpenSSLThreadContext second;
        EXPECT_EQ(CXOpenSSLThreadContext::GetUserCount(), before + 2);
    }
    EXPECT_EQ(CXOpenSSLThreadContext::GetUserCount(), before + 1);

    CXDebugCapture capture;
    context->DebugAssertCorrectThread();
    EXPECT_TRUE(capture.Lines().empty());
    std::thread([&] { context.reset(); }).join();
    EXPECT_EQ(capture.Count("CXOpenSSLThreadContext::DebugAssertCorrectThread> invalid access from non-owner thread"), 1u);
    EXPECT_EQ(capture.ErrorCount(), 1u);
    EXPECT_EQ(CXOpenSSLThreadContext::GetUserCount(), before);
}

} // namespace

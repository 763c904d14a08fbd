#include "StandinService.h"

#include "streams/CXHTTPConnection.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXURI.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

const char* const kScenario = R"(accounts {
  alice { password "pw" streams { "7" "Main" "9" "Beta" } default-stream "7" }
  shut { password "pw" error "account-suspended" streams { "7" "Main" } }
  empty { password "pw" }
}
streams {
  "7" {
    current-build "bbbb"
    patches { "aaaa" { patch-control-file "patch.txt" patch-data-file "patch.bin" description "To B" } }
  }
  "9" { error "stream-closed" }
}
)";

StandinScenario Scenario(const std::string& text)
{
    StandinScenario scenario;
    std::string reason;
    EXPECT_TRUE(StandinScenario::Parse(text, scenario, reason)) << reason;
    return scenario;
}

TEST(StandinServiceTest, AnswersFromTheScenario)
{
    StandinScenario refused;
    std::string reason;
    EXPECT_FALSE(StandinScenario::Parse("streams { }\r", refused, reason));

    ScratchFolder files;
    StandinService service(Scenario(kScenario), files.Path());
    const std::string filesURL = service.BaseURL() + "/files/";
    struct Case {
        std::string target;
        std::string reply;
    };
    const Case cases[] = {
        {"/streams/qorvelstreamcheck.php?u=alice&p=pw&loc=US&id=x",
         "good 1\nstream \"7 Main\"\nstream \"9 Beta\"\ndefault-stream \"7\"\n"},
        {"/streams/qorvelstreamcheck.php?u=alice&p=&loc=US&id=x", "error \"login_details_not_received\"\n"},
        {"/streams/qorvelstreamcheck.php?u=alice&p=no&loc=US&id=x", "error \"invalid-myqorvel-details\"\n"},
        {"/streams/qorvelstreamcheck.php?u=bob&p=pw&loc=US&id=x", "error \"invalid-myqorvel-details\"\n"},
        {"/streams/qorvelstreamcheck.php?u=shut&p=pw&loc=US&id=x", "error \"account-suspended\"\n"},
        {"/streams/qorvelstreamcheck.php?u=empty&p=pw&loc=US&id=x", "error \"no-patch-streams\"\n"},
        {"/streams/getstreamfile.php?u=alice&p=pw&stream=7&build=aaaa&loc=US",
         "good 1\npatch-control-file \"" + filesURL + "patch.txt\"\npatch-data-file \"" + filesURL +
             "patch.bin\"\ndescription \"To B\"\n"},
        {"/streams/getstreamfile.php?u=alice&p=pw&stream=7&build=bbbb&loc=US", "error \"no-patches-available\"\n"},
        {"/streams/getstreamfile.php?u=alice&p=pw&stream=7&build=cccc&loc=US", "error \"unknown-build\"\n"},
        {"/streams/getstreamfile.php?u=alice&p=pw&stream=9&build=aaaa&loc=US", "error \"stream-closed\"\n"},
        {"/streams/getstreamfile.php?u=alice&p=pw&stream=8&build=aaaa&loc=US", "error \"invalid-stream\"\n"},
        {"/streams/getstreamfile.php?u=shut&p=pw&stream=9&build=aaaa&loc=US", "error \"invalid-stream\"\n"},
        {"/other", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(service.ReplyFor(c.target), c.reply) << c.target;
}

TEST(StandinServiceTest, ServesFilesWithRanges)
{
    ScratchFolder files;
    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += static_cast<char>('a' + i % 26);
    std::ofstream(files / "patch.bin", std::ios::binary) << content;
    StandinService service(Scenario(kScenario), files.Path());
    ASSERT_TRUE(StandinService::WriteCA(files / "ca.pem"));
    ScopedEnv appFolder("CX_APP_FOLDER", files.Path());
    std::filesystem::create_directories(files / "data");
    std::filesystem::copy_file(files / "ca.pem", files / "data/openssl.crt");

    // A download that already holds its first bytes asks for the rest only.
    CXStreamDynamicBuffer output;
    ASSERT_EQ(output.Write(content.data(), 1000), 1000u);
    CXHTTPConnection connection;
    ASSERT_EQ(connection.Get(CXURI((service.BaseURL() + "/files/patch.bin").c_str()), &output, {}), kCXOK);
    EXPECT_EQ(connection.GetStatusCode(), 206);
    std::string received(output.GetSize(), '\0');
    output.Seek(0, CXStream::kSeekSet);
    ASSERT_EQ(output.Read(received.data(), received.size()), received.size());
    EXPECT_EQ(received, content);

    CXString body;
    EXPECT_EQ(connection.GetString(CXURI((service.BaseURL() + "/files/..%2fca.pem").c_str()), body, {}), kCXNotFound);
    auto requests = service.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/files/patch.bin");
    EXPECT_EQ(requests[0].range, "bytes=1000-");
}

} // namespace

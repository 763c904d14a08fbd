// The headless patch check end to end: a copy of the installer runs as a child process with its
// own data folder and settings folder against the stand-in web service, and the test reads the
// exit code and the requests the service received.

#include "app/MervaneSettings.h"

#include "StandinService.h"
#include "datanode/DNTranslator.h"
#include "foundation/CXBase64.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMD5.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

const char* const kBundle = "org.example.product";
const char* const kPassword = "s3cret&x";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

const char* const kScenario = R"(accounts {
  alice { password "s3cret&x" streams { "7" "Main" "9" "Beta" } default-stream "7" }
  "{bea}" { password "pw" streams { "8" "Stable" } default-stream "8" }
  nodefault { password "pw" streams { "7" "Main" } }
  noproducts { password "pw" error "no-products-owned" streams { "7" "Main" } }
  nostreams { password "pw" }
  down { password "pw" error "maintenance" streams { "7" "Main" } }
  lost { password "pw" streams { "10" "Old" } default-stream "10" }
}
streams {
  "7" { patches { "{build}" { patch-control-file "patch.txt" patch-data-file "patch.bin" description "Update" } } }
  "8" { current-build "{build}" }
  "9" { error "stream-closed" }
  "10" { }
}
)";

struct RunResult {
    int exitCode = -1;
    std::string output;
    std::string errors;
};

class MervaneHeadlessCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DNInitBuiltInTranslators();
        std::filesystem::create_directories(fScratch / "app/data");
        std::filesystem::create_directories(fScratch / "target");
        std::filesystem::create_directories(fScratch / "files");
        std::filesystem::copy_file(CX_INSTALLER_EXECUTABLE, fScratch / "app/patch-installer");
        ASSERT_TRUE(StandinService::WriteCA(fScratch / "app/data/openssl.crt"));
        WriteConfiguration(fService.BaseURL() + "/");
        std::ofstream(fScratch / "target/KELD.exe", std::ios::binary) << "build A of the product";
        fBuild = std::string(MD5HexDigest("build A of the product").c_str());
        fTarget = std::string(CXFileSystem::FromNativePath(CXString((fScratch / "target").c_str())).c_str());
    }

    void WriteConfiguration(const std::string& serviceURL)
    {
        std::ofstream(fScratch / "app/data/patch-config.txt")
            << "patch-anchor-file KELD.exe\rapplication-bundle-id " << kBundle << "\rweb-service-url \"" << serviceURL
            << "\"\r";
    }

    void UseScenario(const std::string& extra)
    {
        std::string text = kScenario + extra;
        ReplaceAll(text, "{build}", fBuild);
        ReplaceAll(text, "{bea}", "b\xc3\xa9" "a u");
        StandinScenario scenario;
        std::string reason;
        ASSERT_TRUE(StandinScenario::Parse(text, scenario, reason)) << reason;
        fService.SetScenario(scenario);
        fService.ClearRequests();
    }

    RunResult Run(std::vector<std::string> arguments, const std::string& folder)
    {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::string text = *entry;
            // Without DISPLAY a run that is not a check stops before any window.
            for (const char* name :
                 {"CX_APP_FOLDER=", "CX_FOLDER_LOCAL_APPDATA=", "PKEXEC_UID=", "XDG_DATA_HOME=", "DISPLAY="}) {
                if (text.rfind(name, 0) == 0)
                    text.clear();
            }
            if (!text.empty())
                environment.push_back(text);
        }
        environment.push_back("CX_APP_FOLDER=" + fScratch / "app");
        environment.push_back("CX_FOLDER_LOCAL_APPDATA=" + fScratch / "appdata");
        environment.push_back("XDG_DATA_HOME=" + fScratch / "home");
        arguments.insert(arguments.begin(), fScratch / "app/patch-installer");
        std::vector<char*> argv, envp;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        std::string out = fScratch / "stdout.txt", err = fScratch / "stderr.txt";
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        pid_t pid = -1;
        RunResult result;
        int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0)
            return result;
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
        result.output = ReadFile(out);
        result.errors = ReadFile(err);
        return result;
    }

    void SaveSettings(const char* user, const char* password, const char* streamId)
    {
        ScopedEnv appData("CX_FOLDER_LOCAL_APPDATA", fScratch / "appdata");
        ScopedEnv notElevated("PKEXEC_UID", std::nullopt);
        PatchSettings settings;
        settings.userName = user;
        settings.password = password;
        settings.streamId = streamId;
        ASSERT_EQ(SavePatchSettings(settings, kBundle, CXString(fTarget.c_str())), kCXOK);
    }

    std::vector<std::string> Targets()
    {
        std::vector<std::string> targets;
        for (const StandinService::Request& request : fService.Requests())
            targets.push_back(request.target);
        return targets;
    }

    ScratchFolder fScratch;
    StandinService fService{StandinScenario(), fScratch / "files"};
    std::string fBuild;
    std::string fTarget; // program path
};

TEST_F(MervaneHeadlessCheckTest, RepliesGiveExitCodes)
{
    const std::string check = "/streams/qorvelstreamcheck.php?u=alice&p=s3cret%26x&loc=US&id=org.example.product";
    const std::string query = "/streams/getstreamfile.php?u=alice&p=s3cret%26x&stream=7&build={build}&loc=US";
    struct Case {
        const char* name;
        const char* user;
        const char* password;
        const char* savedStream;
        std::vector<std::string> extraArguments;
        std::string variants;
        int exitCode;
        std::vector<std::string> requests;
    };
    const std::vector<Case> cases = {
        {"patch available", "alice", kPassword, "", {}, "", 1, {check, query}},
        {"locale sent upper-cased, names escaped", "b\xc3\xa9" "a u", "pw", "", {"--locale", "de"}, "", 0,
         {"/streams/qorvelstreamcheck.php?u=b%c3%a9a%20u&p=pw&loc=DE&id=org.example.product",
          "/streams/getstreamfile.php?u=b%c3%a9a%20u&p=pw&stream=8&build={build}&loc=DE"}},
        {"a saved stream skips the account check", "alice", kPassword, "9", {}, "", 2,
         {"/streams/getstreamfile.php?u=alice&p=s3cret%26x&stream=9&build={build}&loc=US"}},
        {"the settings option gives the stream", "alice", kPassword, "",
         {"--settings", std::string(Base64Encode("stream-id 7\r", "").c_str())}, "", 1, {query}},
        {"wrong password", "alice", "nope", "", {}, "", 3,
         {"/streams/qorvelstreamcheck.php?u=alice&p=nope&loc=US&id=org.example.product"}},
        {"no products owned", "noproducts", "pw", "", {}, "", 3,
         {"/streams/qorvelstreamcheck.php?u=noproducts&p=pw&loc=US&id=org.example.product"}},
        {"no patch streams", "nostreams", "pw", "", {}, "", 3,
         {"/streams/qorvelstreamcheck.php?u=nostreams&p=pw&loc=US&id=org.example.product"}},
        {"no default stream", "nodefault", "pw", "", {}, "", 3,
         {"/streams/qorvelstreamcheck.php?u=nodefault&p=pw&loc=US&id=org.example.product"}},
        {"login details not received", "", "", "", {}, "", 2,
         {"/streams/qorvelstreamcheck.php?u=&p=&loc=US&id=org.example.product"}},
        {"another account error", "down", "pw", "", {}, "", 2,
         {"/streams/qorvelstreamcheck.php?u=down&p=pw&loc=US&id=org.example.product"}},
        {"unknown build", "lost", "pw", "", {}, "", 2,
         {"/streams/qorvelstreamcheck.php?u=lost&p=pw&loc=US&id=org.example.product",
          "/streams/getstreamfile.php?u=lost&p=pw&stream=10&build={build}&loc=US"}},
        {"malformed account reply", "alice", kPassword, "", {}, R"(variants { qorvelstreamcheck "malformed" })", 2, {check}},
        {"server error", "alice", kPassword, "", {}, R"(variants { getstreamfile "http-500" })", 2, {check, query}},
        {"connection closed", "alice", kPassword, "", {}, R"(variants { qorvelstreamcheck "close" })", 2, {check}},
        {"connection reset", "alice", kPassword, "", {}, R"(variants { getstreamfile "reset" })", 2, {check, query}},
        {"oversized reply", "alice", kPassword, "", {}, R"(variants { getstreamfile "oversized" })", 2, {check, query}},
        {"slow replies", "alice", kPassword, "", {}, R"(variants { qorvelstreamcheck "slow" getstreamfile "slow" })", 1,
         {check, query}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(fScratch / "appdata");
        SaveSettings(c.user, c.password, c.savedStream);
        UseScenario(c.variants);
        std::vector<std::string> arguments = {"--checkforpatch", "--target", fScratch / "target"};
        arguments.insert(arguments.end(), c.extraArguments.begin(), c.extraArguments.end());
        RunResult result = Run(arguments, fScratch.Path());
        EXPECT_EQ(result.exitCode, c.exitCode) << result.errors;
        std::vector<std::string> expected = c.requests;
        for (std::string& target : expected)
            ReplaceAll(target, "{build}", fBuild);
        EXPECT_EQ(Targets(), expected);
        // Nothing on standard output, and the password never reaches a log line.
        EXPECT_EQ(result.output, "");
        if (std::string(c.password).size() > 2) {
            EXPECT_EQ(result.errors.find(c.password), std::string::npos) << result.errors;
        }
    }
}

TEST_F(MervaneHeadlessCheckTest, FailsBeforeAnyRequest)
{
    SaveSettings("alice", kPassword, "");
    UseScenario("");
    std::filesystem::create_directories(fScratch / "empty");
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string serviceURL;
    };
    const std::vector<Case> cases = {
        {"no target", {"--checkforpatch"}, fService.BaseURL()},
        {"no anchor file", {"--checkforpatch", "--target", fScratch / "empty"}, fService.BaseURL()},
        {"plain http service", {"--checkforpatch", "--target", fScratch / "target"},
         "http://localhost:" + std::to_string(fService.Port())},
        {"no service address", {"--checkforpatch", "--target", fScratch / "target"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteConfiguration(c.serviceURL);
        RunResult result = Run(c.arguments, fScratch.Path());
        EXPECT_EQ(result.exitCode, 2) << result.errors;
        EXPECT_TRUE(Targets().empty());
    }
}

TEST_F(MervaneHeadlessCheckTest, RelativeTargetIsTakenFromTheStartFolder)
{
    SaveSettings("alice", kPassword, "");
    UseScenario("");
    RunResult result = Run({"--checkforpatch", "--target", "target", "--locale"}, fScratch.Path());
    EXPECT_EQ(result.exitCode, 1) << result.errors;
    ASSERT_EQ(Targets().size(), 2u);
    EXPECT_NE(Targets()[0].find("&loc=US&"), std::string::npos);
}

TEST_F(MervaneHeadlessCheckTest, WithoutTheCheckTheSettingsOptionRewritesTheSavedSettings)
{
    SaveSettings("alice", kPassword, "");
    RunResult result = Run({"--target", fScratch / "target", "--settings",
                            std::string(Base64Encode("stream-id 9\rusername bob\r", "").c_str())},
                           fScratch.Path());
    // The settings are rewritten before the wizard would open; without a display the program
    // says so in one line and ends with 2.
    EXPECT_EQ(result.exitCode, 2) << result.errors;
    std::vector<std::string> displayLines;
    for (size_t start = 0; start < result.errors.size();) {
        size_t end = result.errors.find('\n', start);
        std::string line = result.errors.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.rfind("patch-installer: ", 0) == 0)
            displayLines.push_back(line);
        start = end == std::string::npos ? result.errors.size() : end + 1;
    }
    ASSERT_EQ(displayLines.size(), 1u) << result.errors;
    EXPECT_NE(displayLines[0].find("DISPLAY"), std::string::npos) << displayLines[0];
    EXPECT_EQ(result.output, "");
    ScopedEnv appData("CX_FOLDER_LOCAL_APPDATA", fScratch / "appdata");
    PatchSettings settings;
    ASSERT_EQ(LoadPatchSettings(settings, kBundle, CXString(fTarget.c_str())), kCXOK);
    EXPECT_EQ(std::string(settings.userName.c_str()), "bob");
    EXPECT_EQ(std::string(settings.password.c_str()), kPassword);
    EXPECT_EQ(std::string(settings.streamId.c_str()), "9");
}

} // namespace

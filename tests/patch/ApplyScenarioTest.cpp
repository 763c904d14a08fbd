// Whole patch runs over builder-made patches and real folders: each ends with exactly the new
// tree, or exactly the tree it started from with nothing left beside it.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "PatchBuilder.h"
#include "datanode/CXLocalisation.h"
#include "datanode/DNTranslator.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "foundation/CXWorkerHost.h"
#include "platform/File.h"
#include "platform/Permissions.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/PatchTestTrees.h"
#include "support/TaskRunner.h"
#include "support/TreeSnapshot.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

using namespace PatchTestTrees;

// The tree at the target is exactly the expected one; a temporary folder that a failed clean-up
// left behind (logged) is the one exception, and the next run's recovery removes it.
void ExpectTree(const std::string& target, const TreeSnapshot& expected, const std::string& log)
{
    TreeSnapshot actual(target);
    if (actual.Has("patcher-temp")) {
        EXPECT_NE(log.find("failed to delete"), std::string::npos) << "a leftover that the log does not mention\n" << log;
        std::error_code error;
        fs::remove_all(target + "/patcher-temp", error);
        actual.Take(target);
    }
    // A folder whose deletion could not be checked stays, named in the log.
    for (const auto& [path, entry] : actual.Entries()) {
        if (entry.kind == 'd' && !expected.Has(path) && log.find("left in place: ") != std::string::npos &&
            log.find("/target/" + path + "\n") != std::string::npos) {
            std::error_code error;
            fs::remove(target + "/" + path, error);
        }
    }
    actual.Take(target);
    EXPECT_EQ(actual, expected) << log;
}

enum class Data { kLocal, kVolumes, kDownload, kMissingDownload, kMissingControl, kFlakyControl };

// Serves the data file over HTTP: the first request for it is cut half-way through the body; a
// request with a range gets the rest (206). The control file, when given, is served from the
// second request on (the first is closed unanswered). Anything else is not found.
void ServeDataFile(LoopbackConnection& connection, const std::string& body, const std::string& control = {})
{
    if (!connection.ReadUntil("\r\n\r\n"))
        return;
    std::string request = connection.Received();
    if (!control.empty() && request.rfind("GET /patch.txt ", 0) == 0) {
        if (connection.Index() > 0)
            connection.Write("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(control.size()) + "\r\n\r\n" + control);
        connection.Close();
        return;
    }
    if (request.rfind("GET /patch.bin ", 0) != 0) {
        connection.Write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        connection.Close();
        return;
    }
    size_t from = 0;
    size_t range = request.find("Range: bytes=");
    if (range != std::string::npos)
        from = std::stoull(request.substr(range + 13));
    std::string size = std::to_string(body.size());
    if (from > 0) {
        connection.Write("HTTP/1.1 206 Partial Content\r\nContent-Length: " + std::to_string(body.size() - from) + "\r\nContent-Range: bytes " +
                         std::to_string(from) + "-" + std::to_string(body.size() - 1) + "/" + size + "\r\n\r\n" + body.substr(from));
    } else if (connection.Index() == 0) {
        connection.Write("HTTP/1.1 200 OK\r\nContent-Length: " + size + "\r\n\r\n" + body.substr(0, body.size() / 2));
    } else {
        connection.Write("HTTP/1.1 200 OK\r\nContent-Length: " + size + "\r\n\r\n" + body);
    }
    connection.Close();
}
enum class End { kNew, kOld, kCustom };

struct Scenario {
    const char* name;
    PatchBuilder::Fault fault = PatchBuilder::Fault::kNone;
    Data data = Data::kLocal;
    // Changes the starting tree (host path of the target) after the patch was built.
    std::function<void(const std::string& target)> prepare = {};
    // Operations instead of comparing the trees (their flags and permissions matter).
    std::function<void(std::vector<PatchBuilder::Operation>&)> operations = {};
    std::vector<std::string> answers = {};
    // A fault armed for the run.
    Platform::FaultKind faultKind = Platform::kFaultKindCount;
    int faultNth = 0;
    int faultError = EIO;
    // Cancel at this count of file primitives (0: never), or before the go signal.
    int cancelAtPrimitive = 0;
    bool cancelBeforeProceed = false;
    End end = End::kNew;
    // The end tree for kCustom: the new tree changed by this.
    std::function<void(const std::string& root)> custom = {};
    const char* text = nullptr;   // expected final text
    const char* detail = nullptr; // expected detail of a failed run
    const char* detail2 = nullptr;
    std::vector<std::string> asked = {};
};

class ApplyScenarioTest : public testing::Test {
protected:
    void SetUp() override
    {
        CXThread::CXInit();
        CXTaskHost::InitCurrentThreadTaskHost();
        DNInitBuiltInTranslators();
        ClearLocalisationTable();
        MakeOldTree(fScratch / "old");
        MakeNewTree(fScratch / "new");
        fs::create_directories(fScratch / "app");
        fs::create_directories(fScratch / "tmp");
    }
    void TearDown() override
    {
        Platform::ClearFaults();
        CXWorkerHost::Shutdown();
        CXTaskHost::ExitCurrentThreadTaskHost();
    }

    // Builds the patch of the scenario into its own folder; the volumes go to the application
    // folder, all but the last, which goes to "media" (to be asked for).
    std::string Build(const Scenario& scenario)
    {
        std::string out = fScratch / ("patch-" + std::to_string(fBuilds++));
        PatchBuilder::Options options;
        options.oldRoot = fScratch / "old";
        options.newRoot = fScratch / "new";
        options.outputFolder = out;
        options.fault = scenario.fault;
        std::vector<PatchBuilder::Operation> operations;
        std::string error;
        EXPECT_TRUE(PatchBuilder::CompareTrees(options.oldRoot, options.newRoot, operations, error)) << error;
        if (scenario.operations)
            scenario.operations(operations);
        EXPECT_TRUE(PatchBuilder::Build(options, operations, error)) << error;
        if (scenario.data == Data::kVolumes) {
            // Three volumes of the data file.
            options.volumeSize = fs::file_size(out + "/patch.bin") / 3 + 1;
            EXPECT_TRUE(PatchBuilder::Build(options, operations, error)) << error;
        }
        if (scenario.data == Data::kVolumes) {
            fs::create_directories(fScratch / "media");
            for (int n = 1; fs::exists(out + "/patch-" + std::to_string(n) + ".bin"); ++n) {
                std::string name = "patch-" + std::to_string(n) + ".bin";
                bool last = !fs::exists(out + "/patch-" + std::to_string(n + 1) + ".bin");
                fs::copy_file(out + "/" + name, (last ? fScratch / "media/" : fScratch / "app/") + name,
                              fs::copy_options::overwrite_existing);
            }
        }
        return out;
    }

    struct Outcome {
        MervaneTaskStatus status;
        std::vector<std::string> asked;
        std::string log;
    };

    Outcome Run(const Scenario& scenario, const std::string& patch, const std::string& target)
    {
        Outcome outcome;
        auto task = std::make_unique<MervaneTask_ApplyFilePatches>();
        bool http = scenario.data == Data::kDownload || scenario.data == Data::kMissingDownload ||
                    scenario.data == Data::kMissingControl || scenario.data == Data::kFlakyControl;
        if (http) {
            fServer = std::make_unique<LoopbackServer>();
            std::string body = Get(patch + "/patch.bin");
            std::string controlText = scenario.data == Data::kFlakyControl ? Get(patch + "/patch.txt") : std::string();
            fServer->SetHandler([body, controlText](LoopbackConnection& connection) { ServeDataFile(connection, body, controlText); });
        }
        std::string local = "file://" + patch;
        std::string server = http ? "http://127.0.0.1:" + std::to_string(fServer->Port()) : std::string();
        bool remoteControl = scenario.data == Data::kMissingControl || scenario.data == Data::kFlakyControl;
        std::string control = remoteControl ? server + "/patch.txt" : local + "/patch.txt";
        std::string data = scenario.data == Data::kLocal || scenario.data == Data::kFlakyControl ? local + "/patch.bin"
                           : scenario.data == Data::kDownload        ? server + "/patch.bin"
                           : scenario.data == Data::kMissingDownload ? server + "/missing.bin"
                                                                     : std::string();
        task->SetPatchSources(CXURI(control.c_str()), data.empty() ? CXURI() : CXURI(data.c_str()));
        TaskScript script;
        script.answers = scenario.answers;
        for (std::string& answer : script.answers) {
            if (!answer.empty() && answer[0] == '/')
                answer = Text(CXFileSystem::FromNativePath(answer.c_str()));
        }
        script.proceed = !scenario.cancelBeforeProceed;
        if (scenario.cancelBeforeProceed) {
            script.onStatus = [](MervaneTask& running, const MervaneTaskStatus& status) {
                if (status.state == kMervaneTaskReady && Text(status.text) == "$mervane_task_ready_to_install")
                    running.Cancel();
            };
        }
        if (scenario.faultKind != Platform::kFaultKindCount)
            Platform::ArmFault(scenario.faultKind, scenario.faultNth, scenario.faultError);
        if (scenario.cancelAtPrimitive > 0)
            Platform::ArmFaultAction(scenario.cancelAtPrimitive,
                                     [](void* context) { static_cast<MervaneTask_ApplyFilePatches*>(context)->Cancel(); }, task.get());
        outcome.status = RunTaskToEnd(*task, CXFileSystem::FromNativePath(target.c_str()), script);
        Platform::ClearFaults();
        outcome.asked = script.asked;
        outcome.log = Text(task->GetLog());
        return outcome;
    }

    // Runs the scenario on a fresh copy of the old tree and checks its end.
    void Check(const Scenario& scenario)
    {
        SCOPED_TRACE(scenario.name);
        std::string patch = Build(scenario);
        std::string work = fScratch / ("work-" + std::to_string(fBuilds));
        std::string target = work + "/target";
        fs::create_directories(work);
        fs::copy(fScratch / "old", target, fs::copy_options::recursive);
        if (scenario.prepare)
            scenario.prepare(target);
        TreeSnapshot start(target);
        Outcome outcome = Run(scenario, patch, target);

        TreeSnapshot expected = start;
        if (scenario.end == End::kNew) {
            expected.Take(fScratch / "new");
        } else if (scenario.end == End::kCustom) {
            std::string custom = fScratch / ("custom-" + std::to_string(fBuilds));
            fs::copy(fScratch / "new", custom, fs::copy_options::recursive);
            scenario.custom(custom);
            expected.Take(custom);
        }
        bool succeeded = scenario.end != End::kOld;
        EXPECT_EQ(outcome.status.state, succeeded ? kMervaneTaskComplete : kMervaneTaskFailed)
            << Text(outcome.status.detail) << " | " << Text(outcome.status.detail2) << "\n" << outcome.log;
        ExpectTree(target, expected, outcome.log);
        if (scenario.data == Data::kDownload) {
            // The second request asked only for what the first did not deliver.
            EXPECT_NE(fServer->Received(1).find("Range: bytes="), std::string::npos) << fServer->Received(1);
        }
        // Nothing beside the target: no data file, no folder.
        std::vector<std::string> beside;
        for (const auto& entry : fs::directory_iterator(work))
            beside.push_back(entry.path().filename().string());
        EXPECT_EQ(beside, std::vector<std::string>{"target"});
        if (scenario.detail != nullptr) {
            EXPECT_EQ(Text(outcome.status.detail), scenario.detail);
        }
        if (scenario.detail2 != nullptr) {
            EXPECT_EQ(Text(outcome.status.detail2), scenario.detail2);
        }
        if (scenario.text != nullptr) {
            EXPECT_EQ(Text(outcome.status.text), scenario.text);
        }
        // An expected question ending in '*' is compared up to there.
        if (!scenario.asked.empty()) {
            EXPECT_EQ(outcome.asked.size(), scenario.asked.size()) << testing::PrintToString(outcome.asked);
            for (size_t i = 0; i < std::min(outcome.asked.size(), scenario.asked.size()); ++i) {
                const std::string& expected = scenario.asked[i];
                if (!expected.empty() && expected.back() == '*')
                    EXPECT_EQ(outcome.asked[i].substr(0, expected.size() - 1), expected.substr(0, expected.size() - 1));
                else
                    EXPECT_EQ(outcome.asked[i], expected);
            }
        }
        EXPECT_EQ(outcome.status.progress, 1.0f);
        // A failure names itself in the log (a cancel between operations sets no texts).
        if (scenario.detail != nullptr && !succeeded) {
            EXPECT_NE(outcome.log.find("STATE_FAILED"), std::string::npos) << outcome.log;
        }
    }

    // The number of file primitives of each kind, and in all, that a clean run makes.
    void CountPrimitives(int (&perKind)[Platform::kFaultKindCount], int& total)
    {
        Scenario clean{"count"};
        std::string patch = Build(clean);
        std::string target = fScratch / "count/target";
        fs::create_directories(fScratch / "count");
        fs::copy(fScratch / "old", target, fs::copy_options::recursive);
        Platform::ArmFaultAction(0, nullptr, nullptr);
        auto task = std::make_unique<MervaneTask_ApplyFilePatches>();
        task->SetPatchSources(CXURI(("file://" + patch + "/patch.txt").c_str()), CXURI(("file://" + patch + "/patch.bin").c_str()));
        TaskScript script;
        MervaneTaskStatus status = RunTaskToEnd(*task, CXFileSystem::FromNativePath(target.c_str()), script);
        ASSERT_EQ(status.state, kMervaneTaskComplete) << Text(task->GetLog());
        for (int kind = 0; kind < Platform::kFaultKindCount; ++kind)
            perKind[kind] = Platform::FaultSeamCalls(static_cast<Platform::FaultKind>(kind));
        total = Platform::FaultSeamTotalCalls();
        Platform::ClearFaults();
    }

    ScratchFolder fScratch;
    ScopedEnv fTemp{"CX_FOLDER_TEMP", fScratch / "tmp"};
    ScopedEnv fApp{"CX_APP_FOLDER", fScratch / "app"};
    int fBuilds = 0;
    std::unique_ptr<LoopbackServer> fServer;
    CXDebugCapture fCapture;
};

TEST_F(ApplyScenarioTest, ScenarioTable)
{
    std::string oldA = RandomText(20000, 1);
    std::string sddl700 = "w32acl:" + Platform::ModeToSddl(0700);
    const Scenario scenarios[] = {
        {.name = "local data"},
        {.name = "three media volumes, the third asked for", .data = Data::kVolumes,
         .answers = {fScratch / "media/patch-3.bin"}, .asked = {"dialog: Please insert disc 3."}},
        {.name = "the disc question cancelled", .data = Data::kVolumes, .answers = {"no"}, .end = End::kOld,
         .detail = "$mervane_task_failed_copying_payload_data"},
        {.name = "version 2 answered no", .fault = PatchBuilder::Fault::kNewerVersion, .answers = {"no"}, .end = End::kOld,
         .detail = "$mervane_task_failed_read_source_data", .asked = {"question: $mervane_task_failed_read_source_data | "}},
        {.name = "wrong data size", .fault = PatchBuilder::Fault::kWrongSize, .end = End::kOld,
         .detail = "$mervane_task_install_failed_wrong_size"},
        {.name = "wrong data checksum", .fault = PatchBuilder::Fault::kWrongChecksum, .end = End::kOld,
         .detail = "$mervane_task_installation_data_checksum"},
        // The damaged diff of a.txt is excused; every later record is still read as its own.
        {.name = "damaged record under bit 0", .fault = PatchBuilder::Fault::kBadCommand,
         .operations =
             [](std::vector<PatchBuilder::Operation>& operations) {
                 for (PatchBuilder::Operation& operation : operations) {
                     if (operation.command == COMMAND_EDIT_FILE) {
                         operation.flags = kPatchFlagIgnoreFailure;
                         break;
                     }
                 }
             },
         .end = End::kCustom, .custom = [&](const std::string& root) { Put(root + "/a.txt", oldA); }},
        {.name = "damaged record", .fault = PatchBuilder::Fault::kBadCommand, .end = End::kOld,
         .detail = "$mervane_task_failed_apply_patches_file"},
        {.name = "a cut record fails even under bit 0", .fault = PatchBuilder::Fault::kTruncatedRecord,
         .operations =
             [](std::vector<PatchBuilder::Operation>& operations) {
                 for (PatchBuilder::Operation& operation : operations)
                     operation.flags = kPatchFlagIgnoreFailure;
             },
         .end = End::kOld},
        {.name = "an edit whose source changed", .prepare = [](const std::string& target) { Put(target + "/dir/d.txt", "changed"); },
         .end = End::kOld, .detail = "$mervane_task_patch_not_viable", .detail2 = "$mervane_task_checksum_mismatch"},
        {.name = "a create finished by an earlier run",
         .prepare = [&](const std::string& target) { fs::copy_file(fScratch / "new/n.txt", target + "/n.txt"); }},
        // A question answered yes whose retry succeeds leaves no failure text in the finished run.
        {.name = "download with resume after a cut connection", .data = Data::kDownload, .answers = {"yes"}, .detail = "", .detail2 = "",
         .asked = {"question: $mervane_task_failed_to_download_installation_data | Result: -3. Path: *"}},
        {.name = "a control file read again after a cut connection", .data = Data::kFlakyControl, .answers = {"yes"}, .detail = "",
         .detail2 = "", .asked = {"question: $mervane_task_failed_read_source_data | "}},
        {.name = "a final rename tried again", .answers = {"yes"}, .faultKind = Platform::kFaultRename, .faultNth = 1, .detail = "",
         .detail2 = "", .asked = {"question: $mervane_task_failed_move_file | FinaliseRename> rename(*"}},
        {.name = "permissions tried again",
         .operations =
             [&](std::vector<PatchBuilder::Operation>& operations) {
                 operations.insert(operations.begin(), {COMMAND_CREATE_FOLDER, "", "dir", sddl700, 0});
             },
         .answers = {"yes"}, .faultKind = Platform::kFaultChangeMode, .faultNth = 1, .end = End::kCustom,
         .custom = [](const std::string& root) { fs::permissions(root + "/dir", fs::perms::owner_all); }, .detail = "", .detail2 = "",
         .asked = {"question: $mervane_task_failed_unable_perm_folder | *"}},
        {.name = "a refused download", .data = Data::kMissingDownload, .answers = {"no"}, .end = End::kOld,
         .detail = "$mervane_task_failed_to_download_installation_data",
         .asked = {"question: $mervane_task_failed_to_download_installation_data | Result: -7. Path: *"}},
        {.name = "a control file not found", .data = Data::kMissingControl, .end = End::kOld,
         .text = "$mervane_task_newer_patcher_required", .detail = ""},
        // A move written straight to its free destination goes again on roll-back.
        {.name = "a failed run takes back a move to a free destination",
         .operations =
             [](std::vector<PatchBuilder::Operation>& operations) {
                 operations.insert(operations.begin(), {COMMAND_MOVE_FILE, "b.bin", "moved/b.bin", "", 0});
             },
         .answers = {"no"}, .faultKind = Platform::kFaultRename, .faultNth = 1, .end = End::kOld,
         .detail = "$mervane_task_failed_unable_move_final"},
        {.name = "cancel before proceed", .cancelBeforeProceed = true, .end = End::kOld, .detail = "$mervane_task_patch_cancelled"},
        {.name = "permissions of an old folder come back on roll-back",
         .operations =
             [&](std::vector<PatchBuilder::Operation>& operations) {
                 operations.insert(operations.begin(), {COMMAND_CREATE_FOLDER, "", "dir", sddl700, 0});
             },
         .answers = {"no"}, .faultKind = Platform::kFaultRename, .faultNth = 1, .end = End::kOld,
         .detail = "$mervane_task_failed_unable_move_final"},
    };
    for (const Scenario& scenario : scenarios)
        Check(scenario);
}

// A failure of each kind of file primitive, half-way through the kind's calls of a clean run, and
// a cancel half-way through the run: the run fails and leaves exactly the old tree, or it gets
// past the failure and makes exactly the new one.
TEST_F(ApplyScenarioTest, FailureAtEachKindOfFilePrimitiveAndACancelInTheMiddle)
{
    int perKind[Platform::kFaultKindCount] = {};
    int total = 0;
    CountPrimitives(perKind, total);
    ASSERT_GT(total, 0);
    int failed = 0;
    for (int kind = 0; kind < Platform::kFaultKindCount; ++kind) {
        if (perKind[kind] == 0)
            continue;
        Scenario scenario{"fault"};
        scenario.faultKind = static_cast<Platform::FaultKind>(kind);
        scenario.faultNth = perKind[kind] / 2 + 1;
        std::string name = "fault kind " + std::to_string(kind) + " at call " + std::to_string(scenario.faultNth);
        scenario.name = name.c_str();
        std::string patch = Build(scenario);
        std::string work = fScratch / ("fault-" + std::to_string(kind));
        std::string target = work + "/target";
        fs::create_directories(work);
        fs::copy(fScratch / "old", target, fs::copy_options::recursive);
        Outcome outcome = Run(scenario, patch, target);
        SCOPED_TRACE(name);
        TreeSnapshot expected(outcome.status.state == kMervaneTaskComplete ? fScratch / "new" : fScratch / "old");
        EXPECT_TRUE(outcome.status.state == kMervaneTaskComplete || outcome.status.state == kMervaneTaskFailed);
        ExpectTree(target, expected, outcome.log);
        EXPECT_EQ(std::distance(fs::directory_iterator(work), fs::directory_iterator()), 1) << outcome.log;
        failed += outcome.status.state == kMervaneTaskFailed;
    }
    EXPECT_GT(failed, 0);

    Scenario cancel{"cancel in the middle"};
    cancel.cancelAtPrimitive = total / 2;
    cancel.end = End::kOld;
    Check(cancel);
}

} // namespace

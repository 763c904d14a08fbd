// Whole patch runs killed at file primitives, in a child process through the apply driver. A kill
// that leaves the journal behind is put right by the next run of the same patch, which ends
// complete with the new tree, whether it rolled the killed run back and applied the patch or
// found it past its commit and only finished it. Any other kill leaves exactly the old or the new
// tree with nothing beside it. Also the driver's uninstall and post-install runs, which go
// through the same child process.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "PatchBuilder.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "platform/Registry.h"
#include "support/LoopbackServer.h"
#include "support/PatchTestTrees.h"
#include "support/RunProgram.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/TreeSnapshot.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct DriverRun {
    int status = -1; // as waitpid gives it
    std::string output;
    bool Killed() const { return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL; }
    bool Succeeded() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

DriverRun RunDriver(const std::vector<std::string>& arguments, const std::string& outputPath)
{
    DriverRun run;
    run.status = RunProgram(APPLY_DRIVER_PATH, arguments, outputPath, "/dev/null");
    run.output = PatchTestTrees::Get(outputPath);
    return run;
}

// Puts a killed run's target right, as the next run does before anything else.
class RecoveryTask : public MervaneTask_ApplyFilePatches {
public:
    explicit RecoveryTask(const std::string& target)
    {
        fTargetPath = CXFileSystem::FromNativePath(target.c_str());
        fTarget.SetRoot(fTargetPath);
    }
    void Proc() override {}
};

// Serves the data file over HTTP: whole, or from the offset a range asks for.
void ServeDataFile(LoopbackConnection& connection, const std::string& body)
{
    if (!connection.ReadUntil("\r\n\r\n"))
        return;
    std::string request = connection.Received();
    size_t range = request.find("Range: bytes=");
    size_t from = range == std::string::npos ? 0 : std::stoull(request.substr(range + 13));
    if (from == 0) {
        connection.Write("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    } else {
        connection.Write("HTTP/1.1 206 Partial Content\r\nContent-Length: " + std::to_string(body.size() - from) + "\r\nContent-Range: bytes " +
                         std::to_string(from) + "-" + std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) + "\r\n\r\n" +
                         body.substr(from));
    }
    connection.Close();
}

// Where the killed runs take their data file from.
enum class Source { kLocal, kVolumes, kDownload };

class ApplyKillMatrixTest : public testing::Test {
protected:
    void SetUp() override
    {
        PatchTestTrees::MakeOldTree(fScratch / "old");
        PatchTestTrees::MakeNewTree(fScratch / "new");
        fs::create_directories(fScratch / "app");
        fs::create_directories(fScratch / "tmp");
        fs::create_directories(fScratch / "programs");
        fs::create_directories(fScratch / "desktop");
        std::ofstream(fConfig) << R"cfg(
patch-anchor-file "a.txt"
installation-id qv
start-menu-shortcut-folder "Maker/Product"
shortcut-filename "Product"
registry-edits {
  location {
    root HKCU
    path "Software\Maker\Product"
    type string
    name InstallLocation
    value "$(TARGETPATH)"
  }
}
)cfg";
        fOld.Take(fScratch / "old");
        fNew.Take(fScratch / "new");
    }

    // A patch of the two trees; with volumes, its data file is only on three volumes in the
    // application folder, so the run joins them into a file beside the target.
    std::string Build(bool volumes)
    {
        std::string out = fScratch / (volumes ? "patch-volumes" : "patch-local");
        PatchBuilder::Options options;
        options.oldRoot = fScratch / "old";
        options.newRoot = fScratch / "new";
        options.outputFolder = out;
        std::vector<PatchBuilder::Operation> operations;
        std::string error;
        EXPECT_TRUE(PatchBuilder::CompareTrees(options.oldRoot, options.newRoot, operations, error)) << error;
        EXPECT_TRUE(PatchBuilder::Build(options, operations, error)) << error;
        if (volumes) {
            options.volumeSize = fs::file_size(out + "/patch.bin") / 3 + 1;
            EXPECT_TRUE(PatchBuilder::Build(options, operations, error)) << error;
            for (int n = 1; n <= 3; ++n) {
                std::string name = "patch-" + std::to_string(n) + ".bin";
                fs::copy_file(out + "/" + name, fScratch / "app/" + name, fs::copy_options::overwrite_existing);
            }
        }
        return out;
    }

    std::string FreshTarget(const std::string& name)
    {
        std::string work = fScratch / name;
        fs::remove_all(work);
        fs::create_directories(work);
        fs::copy(fScratch / "old", work + "/target", fs::copy_options::recursive);
        return work + "/target";
    }

    static std::vector<std::string> Beside(const std::string& target)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fs::path(target).parent_path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    // The run after a kill, as the patch page makes it: it ends complete with the usual texts,
    // and its post-install actions run (the uninstall record among them). Then the target is
    // exactly the new tree, with nothing beside it.
    void ExpectRunCompletes(const std::vector<std::string>& arguments, const std::string& target)
    {
        std::vector<std::string> all = arguments;
        all.insert(all.end(), {"--post-install", fConfig});
        DriverRun again = RunDriver(all, fScratch / "out.txt");
        EXPECT_TRUE(again.Succeeded()) << again.output;
        EXPECT_NE(again.output.find("state: 4\ndetail: \ndetail2: \n"), std::string::npos) << again.output;
        EXPECT_TRUE(fs::exists(target + "/uninstall.dat"));
        fs::remove(target + "/uninstall.dat");
        EXPECT_EQ(TreeSnapshot(target), fNew);
        EXPECT_EQ(Beside(target), std::vector<std::string>{"target"});
    }

    void RunMatrix(Source source)
    {
        std::string patch = Build(source == Source::kVolumes);
        std::vector<std::string> arguments = {"--control", "file://" + patch + "/patch.txt"};
        std::unique_ptr<LoopbackServer> server;
        if (source == Source::kLocal) {
            arguments.insert(arguments.end(), {"--data", "file://" + patch + "/patch.bin"});
        } else if (source == Source::kDownload) {
            server = std::make_unique<LoopbackServer>();
            server->SetHandler([body = PatchTestTrees::Get(patch + "/patch.bin")](LoopbackConnection& connection) {
                ServeDataFile(connection, body);
            });
            arguments.insert(arguments.end(), {"--data", "http://127.0.0.1:" + std::to_string(server->Port()) + "/patch.bin"});
        }
        auto withTarget = [&](const std::string& target, std::vector<std::string> more) {
            std::vector<std::string> all = arguments;
            all.push_back("--target");
            all.push_back(target);
            all.insert(all.end(), more.begin(), more.end());
            return all;
        };

        std::string target = FreshTarget("count");
        DriverRun clean = RunDriver(withTarget(target, {"--count-primitives"}), fScratch / "out.txt");
        ASSERT_TRUE(clean.Succeeded()) << clean.output;
        EXPECT_EQ(TreeSnapshot(target), fNew);
        size_t at = clean.output.find("file primitives: ");
        ASSERT_NE(at, std::string::npos) << clean.output;
        int total = std::stoi(clean.output.substr(at + 17));
        ASSERT_GT(total, 20);

        // Points spread over the run, then every point of its last stretch: the last final
        // renames, the commit mark and everything after it until the journal is gone.
        constexpr int kSpread = 16;
        constexpr int kStretch = 30;
        ASSERT_GT(total, kStretch + kSpread);
        const int stretch = total - kStretch;
        std::vector<int> points;
        for (int point = 0; point < kSpread; ++point)
            points.push_back(1 + (stretch - 1) * point / kSpread);
        for (int kill = stretch; kill <= total; ++kill)
            points.push_back(kill);

        int rolledBack = 0, pastCommit = 0;
        bool stretchBeforeCommit = false;
        for (int kill : points) {
            SCOPED_TRACE("killed at file primitive " + std::to_string(kill) + " of " + std::to_string(total));
            target = FreshTarget("kill");
            DriverRun killed = RunDriver(withTarget(target, {"--kill-after", std::to_string(kill)}), fScratch / "out.txt");
            EXPECT_TRUE(killed.Killed()) << killed.output;
            std::string journal = PatchTestTrees::Get(target + "/patcher-temp/journal.txt");
            if (!journal.empty()) {
                // The next run of the same patch puts it right and ends as a finished run does.
                bool committed = journal.find("\ncommit\n") != std::string::npos;
                ++(committed ? pastCommit : rolledBack);
                stretchBeforeCommit = stretchBeforeCommit || (kill == stretch && !committed);
                ExpectRunCompletes(withTarget(target, {}), target);
                continue;
            }
            // Killed before the journal was written or after it was removed.
            {
                RecoveryTask recovery(target);
                EXPECT_EQ(recovery.RecoverInterruptedRun(), kCXOK) << TaskRunnerLog(recovery);
            }
            TreeSnapshot recovered(target);
            EXPECT_TRUE(recovered == fOld || recovered == fNew) << recovered;
            EXPECT_EQ(Beside(target), std::vector<std::string>{"target"});
            if (recovered == fOld)
                ExpectRunCompletes(withTarget(target, {}), target);
            // The later points only write the task's log, outside the target.
            if (pastCommit > 0)
                break;
        }
        // The points reach both sides of the commit, and every point past it is taken.
        EXPECT_GT(rolledBack, 0);
        EXPECT_GT(pastCommit, 0);
        EXPECT_TRUE(stretchBeforeCommit) << "the last stretch must begin before the commit mark";
    }

    static std::string TaskRunnerLog(MervaneTask_ApplyFilePatches& task)
    {
        CXString log = task.GetLog();
        return std::string(log.c_str(), log.length());
    }

    ScratchFolder fScratch;
    ScopedEnv fTemp{"CX_FOLDER_TEMP", fScratch / "tmp"};
    ScopedEnv fApp{"CX_APP_FOLDER", fScratch / "app"};
    ScopedEnv fPrograms{"CX_FOLDER_PROGRAMS", fScratch / "programs"};
    ScopedEnv fDesktop{"CX_FOLDER_DESKTOP", fScratch / "desktop"};
    ScopedEnv fRegistry{"CX_REGISTRY_ROOT", fScratch / "registry"};
    const std::string fConfig = fScratch / "patch-config.txt";
    TreeSnapshot fOld, fNew;
    CXDebugCapture fCapture;
};

TEST_F(ApplyKillMatrixTest, LocalData)
{
    RunMatrix(Source::kLocal);
}

TEST_F(ApplyKillMatrixTest, JoinedVolumes)
{
    RunMatrix(Source::kVolumes);
}

TEST_F(ApplyKillMatrixTest, DownloadedData)
{
    RunMatrix(Source::kDownload);
}

// A run killed past its commit mark, followed by a run that is not simply the same patch: a journal
// of another patch, or of none named, is finished and the run goes on as for any target, which
// here already is the new tree; a run that ends before it knows its patch keeps the journal for
// the next one.
TEST_F(ApplyKillMatrixTest, AfterACommittedKillOnlyTheSamePatchCompletes)
{
    std::string patch = Build(false);
    const std::string control = "file://" + patch + "/patch.txt";
    const std::string data = "file://" + patch + "/patch.bin";
    std::string target = FreshTarget("count");
    DriverRun clean = RunDriver({"--control", control, "--data", data, "--target", target, "--count-primitives"}, fScratch / "out.txt");
    ASSERT_TRUE(clean.Succeeded()) << clean.output;
    int total = std::stoi(clean.output.substr(clean.output.find("file primitives: ") + 17));

    // The last point that leaves a committed journal.
    const std::string journalPath = "/patcher-temp/journal.txt";
    std::string killedTarget;
    for (int kill = total; kill > 0 && killedTarget.empty(); --kill) {
        target = FreshTarget("killed");
        DriverRun killed = RunDriver({"--control", control, "--data", data, "--target", target, "--kill-after", std::to_string(kill)},
                                     fScratch / "out.txt");
        ASSERT_TRUE(killed.Killed()) << killed.output;
        if (PatchTestTrees::Get(target + journalPath).find("\ncommit\n") != std::string::npos)
            killedTarget = target;
    }
    ASSERT_FALSE(killedTarget.empty());
    const std::string journal = PatchTestTrees::Get(killedTarget + journalPath);
    const size_t idAt = journal.find("patch-id ");
    ASSERT_NE(idAt, std::string::npos) << journal;

    struct Case {
        const char* name;
        std::string journal;
        std::string control;
        const char* detail;
        bool journalStays;
    };
    std::string otherPatch = journal;
    otherPatch.replace(idAt + 9, 32, std::string(32, 'f'));
    std::string unnamed = journal;
    size_t line = unnamed.rfind('\n', idAt) + 1;
    unnamed.erase(line, unnamed.find('\n', idAt) + 1 - line);
    const Case cases[] = {
        {"a journal of another patch", otherPatch, control, "$mervane_task_patch_not_viable", false},
        {"a journal that names no patch", unnamed, control, "$mervane_task_patch_not_viable", false},
        {"a control file that cannot be read", journal, "file://" + patch + "/missing.txt", "$mervane_task_failed_read_source_data", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        target = FreshTarget("case");
        fs::remove_all(target);
        fs::copy(killedTarget, target, fs::copy_options::recursive);
        PatchTestTrees::Put(target + journalPath, c.journal);
        DriverRun run = RunDriver({"--control", c.control, "--data", data, "--target", target}, fScratch / "out.txt");
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.output;
        EXPECT_NE(run.output.find(std::string("state: 5\ndetail: ") + c.detail), std::string::npos) << run.output;
        EXPECT_EQ(fs::exists(target + journalPath), c.journalStays);
        TreeSnapshot after(target);
        EXPECT_TRUE((c.journalStays ? after.EntriesOutside("patcher-temp") : after.Entries()) == fNew.Entries()) << after;
        if (c.journalStays)
            ExpectRunCompletes({"--control", control, "--data", data, "--target", target}, target);
        else
            EXPECT_EQ(Beside(target), std::vector<std::string>{"target"});
    }
}

// The driver as the patch page uses a task: an apply followed by the post-install actions, then an
// uninstall in uninstall mode, which takes back the shortcuts and the registry key it made.
TEST_F(ApplyKillMatrixTest, DriverRunsPostInstallActionsAfterApplyAndUninstall)
{
    const std::string& config = fConfig;
    auto keyExists = [] {
        std::vector<Platform::RegistryNamedValue> values;
        return Platform::ListRegistryValues(Platform::kRegistryCurrentUser, "Software\\Maker\\Product", values) == 0;
    };
    const std::string startMenu = fScratch / "programs/Maker/Product/Product.desktop";
    const std::string onDesktop = fScratch / "desktop/Product.desktop";

    std::string patch = Build(false);
    std::string target = FreshTarget("installed");
    DriverRun applied = RunDriver({"--control", "file://" + patch + "/patch.txt", "--data", "file://" + patch + "/patch.bin",
                                   "--target", target, "--post-install", config},
                                  fScratch / "out.txt");
    ASSERT_TRUE(applied.Succeeded()) << applied.output;
    EXPECT_TRUE(fs::exists(startMenu));
    EXPECT_TRUE(fs::exists(onDesktop));
    EXPECT_TRUE(fs::exists(target + "/uninstall.dat"));
    EXPECT_TRUE(keyExists());

    // A folder that is not an installation is refused and left as it is.
    fs::create_directories(fScratch / "stranger/files");
    DriverRun refused = RunDriver({"--uninstall", "--target", fScratch / "stranger", "--post-install", config}, fScratch / "out.txt");
    EXPECT_FALSE(refused.Succeeded()) << refused.output;
    EXPECT_TRUE(fs::exists(fScratch / "stranger/files"));
    EXPECT_TRUE(keyExists()) << "nothing runs after a refused uninstall";

    DriverRun removed = RunDriver({"--uninstall", "--target", target, "--post-install", config}, fScratch / "out.txt");
    ASSERT_TRUE(removed.Succeeded()) << removed.output;
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(startMenu));
    EXPECT_FALSE(fs::exists(onDesktop));
    EXPECT_FALSE(keyExists());
}

} // namespace

// Whole patch runs killed at evenly spread file primitives, in a child process through the apply
// driver: after recovery the target is exactly the old or exactly the new tree with nothing left
// beside it, and from the old tree the next run reaches the new one. Also the driver's uninstall
// and post-install runs, which go through the same child process.
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "PatchBuilder.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "platform/Registry.h"
#include "support/PatchTestTrees.h"
#include "support/RunProgram.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/TreeSnapshot.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
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

class ApplyKillMatrixTest : public testing::Test {
protected:
    void SetUp() override
    {
        PatchTestTrees::MakeOldTree(fScratch / "old");
        PatchTestTrees::MakeNewTree(fScratch / "new");
        fs::create_directories(fScratch / "app");
        fs::create_directories(fScratch / "tmp");
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

    void RunMatrix(bool volumes)
    {
        std::string patch = Build(volumes);
        std::vector<std::string> arguments = {"--control", "file://" + patch + "/patch.txt"};
        if (!volumes) {
            arguments.push_back("--data");
            arguments.push_back("file://" + patch + "/patch.bin");
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

        constexpr int kPoints = 24;
        int endedOld = 0, endedNew = 0;
        for (int point = 0; point < kPoints; ++point) {
            int kill = 1 + (total - 1) * point / (kPoints - 1);
            SCOPED_TRACE("killed at file primitive " + std::to_string(kill) + " of " + std::to_string(total));
            target = FreshTarget("kill");
            DriverRun killed = RunDriver(withTarget(target, {"--kill-after", std::to_string(kill)}), fScratch / "out.txt");
            EXPECT_TRUE(killed.Killed()) << killed.output;
            {
                RecoveryTask recovery(target);
                EXPECT_EQ(recovery.RecoverInterruptedRun(), kCXOK) << TaskRunnerLog(recovery);
            }
            TreeSnapshot recovered(target);
            EXPECT_TRUE(recovered == fOld || recovered == fNew) << recovered;
            EXPECT_EQ(Beside(target), std::vector<std::string>{"target"});
            if (recovered == fNew) {
                ++endedNew;
                continue;
            }
            ++endedOld;
            DriverRun again = RunDriver(withTarget(target, {}), fScratch / "out.txt");
            EXPECT_TRUE(again.Succeeded()) << again.output;
            EXPECT_EQ(TreeSnapshot(target), fNew);
            EXPECT_EQ(Beside(target), std::vector<std::string>{"target"});
        }
        // The points reach both sides of the commit.
        EXPECT_GT(endedOld, 0);
        EXPECT_GT(endedNew, 0);
    }

    static std::string TaskRunnerLog(MervaneTask_ApplyFilePatches& task)
    {
        CXString log = task.GetLog();
        return std::string(log.c_str(), log.length());
    }

    ScratchFolder fScratch;
    ScopedEnv fTemp{"CX_FOLDER_TEMP", fScratch / "tmp"};
    ScopedEnv fApp{"CX_APP_FOLDER", fScratch / "app"};
    TreeSnapshot fOld, fNew;
    CXDebugCapture fCapture;
};

TEST_F(ApplyKillMatrixTest, LocalData)
{
    RunMatrix(false);
}

TEST_F(ApplyKillMatrixTest, JoinedVolumes)
{
    RunMatrix(true);
}

// The driver as the patch page uses a task: an apply followed by the post-install actions, then an
// uninstall in uninstall mode, which takes back the shortcuts and the registry key it made.
TEST_F(ApplyKillMatrixTest, DriverRunsPostInstallActionsAfterApplyAndUninstall)
{
    ScopedEnv programs("CX_FOLDER_PROGRAMS", fScratch / "programs");
    ScopedEnv desktop("CX_FOLDER_DESKTOP", fScratch / "desktop");
    ScopedEnv registry("CX_REGISTRY_ROOT", fScratch / "registry");
    fs::create_directories(fScratch / "programs");
    fs::create_directories(fScratch / "desktop");
    const std::string config = fScratch / "patch-config.txt";
    std::ofstream(config) << R"cfg(
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

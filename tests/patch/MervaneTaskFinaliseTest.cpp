#include "patch/MervaneTask_ApplyFilePatches.h"

#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "platform/File.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/TreeSnapshot.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

void WriteFile(const std::string& path, const std::string& text, unsigned mode)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    fs::permissions(path, static_cast<fs::perms>(mode));
}

// A task whose thread never runs: the tests call its routines directly, as the procedure does.
class TestTask : public MervaneTask_ApplyFilePatches {
public:
    explicit TestTask(const std::string& target)
    {
        fTargetPath = CXFileSystem::FromNativePath(target.c_str());
        fTarget.SetRoot(fTargetPath);
    }
    void Proc() override {}
    // A stopped task answers every question no at once.
    void AnswerNo() { RequestStop(); }
    CXString Program(const std::string& relative) const
    {
        CXString path = fTargetPath;
        AppendPathComponent(path, relative.c_str());
        return path;
    }
};

struct SimulatedCrash {};

// The changes one patch makes to the old tree below, step by step as the operations loop makes
// them: three replacements through temporary files (one keeps its old permissions), a file and a
// folder created at free destinations, a queued deletion of a file, of an empty folder and of a
// folder that still holds something.
class PatchRun {
public:
    static void MakeOldTree(const std::string& root)
    {
        WriteFile(root + "/a.txt", "old a", 0755);
        WriteFile(root + "/dir/b.txt", "old b", 0644);
        WriteFile(root + "/c.bin", "old c", 0644);
        WriteFile(root + "/d.txt", "old d", 0644);
        fs::create_directory(root + "/empty");
        WriteFile(root + "/full/x", "x", 0644);
    }
    static void MakeNewTree(const std::string& root)
    {
        WriteFile(root + "/a.txt", "new a", 0755);
        WriteFile(root + "/dir/b.txt", "new b", 0640);
        WriteFile(root + "/c.bin", "new c", 0600);
        WriteFile(root + "/new/sub/n.txt", "new n", 0644);
        WriteFile(root + "/full/x", "x", 0644);
    }
    static constexpr int kOperations = 7;
    static constexpr int kRenames = 3 * 2 + 2;

    static void Plan(TestTask& task)
    {
        PatchJournal& journal = task.GetJournal();
        for (const char* path : {"a.txt", "dir/b.txt", "c.bin", "new/sub/n.txt"})
            journal.PlanPath(path, false);
    }

    // Runs the first count operations.
    static void Operate(TestTask& task, const std::string& root, int count)
    {
        auto replace = [&](const char* relative, const char* text, unsigned mode, bool keep) {
            CXString temporary = task.CreateTemporaryFilepathFor(task.Program(relative));
            ASSERT_FALSE(temporary.IsEmpty());
            task.GetChanges().push_back({temporary, task.Program(relative), keep});
            WriteFile(Text(CXFileSystem::ToNativePath(temporary)), text, mode);
        };
        for (int i = 0; i < count; ++i) {
            switch (i) {
            case 0:
                replace("a.txt", "new a", 0644, true);
                break;
            case 1:
                replace("dir/b.txt", "new b", 0640, false);
                break;
            case 2:
                replace("c.bin", "new c", 0600, false);
                break;
            case 3: {
                CXString destination = task.Program("new/sub/n.txt");
                task.GetChanges().push_back({destination, destination, false});
                task.CreateParentFolders(destination);
                WriteFile(root + "/new/sub/n.txt", "new n", 0644);
                break;
            }
            case 4:
                task.GetChanges().push_back({task.Program("d.txt"), CXString(), false});
                break;
            case 5:
                task.GetChanges().push_back({task.Program("empty"), CXString(), false});
                break;
            case 6:
                task.GetChanges().push_back({task.Program("full"), CXString(), false});
                break;
            }
        }
    }
};

class MervaneTaskFinaliseTest : public testing::Test {
protected:
    void SetUp() override
    {
        target = scratch / "target";
        expected = scratch / "expected";
        PatchRun::MakeOldTree(target);
        PatchRun::MakeNewTree(expected);
        oldTree.Take(target);
        newTree.Take(expected);
    }
    void TearDown() override
    {
        Platform::ClearFaults();
        MervaneTask_ApplyFilePatches::SetFinaliseStepHookForTesting(nullptr);
        MervaneTask_ApplyFilePatches::SetRetrySleepForTesting(nullptr);
    }

    ScratchFolder scratch;
    ScopedEnv temp{"CX_FOLDER_TEMP", scratch.Path()};
    std::string target;
    std::string expected;
    TreeSnapshot oldTree;
    TreeSnapshot newTree;
};

TEST_F(MervaneTaskFinaliseTest, FinaliseGivesTheNewTree)
{
    TestTask task(target);
    PatchRun::Operate(task, target, PatchRun::kOperations);
    // The record of a create whose write failed (and was excused): no file, nothing to finalise.
    task.GetChanges().push_back({task.Program("ghost.txt"), task.Program("ghost.txt"), false});
    ASSERT_TRUE(task.FinalisePatchOperations()) << Text(task.GetLog());
    task.DeleteTemporaryPatchFilesDirectory();
    EXPECT_EQ(TreeSnapshot(target), newTree);
    std::string log = Text(task.GetLog());
    EXPECT_NE(std::string::npos, log.find("FinaliseRename> no rename necessary: " + Text(task.Program("new/sub/n.txt"))));
    EXPECT_NE(std::string::npos, log.find("FinaliseRename> folder not empty, left in place: " + Text(task.Program("full"))));
}

TEST_F(MervaneTaskFinaliseTest, FailedRenameUndoesAndRollBackRestoresTheOldTree)
{
    for (int k = 1; k <= PatchRun::kRenames; ++k) {
        TestTask task(target);
        PatchRun::Operate(task, target, PatchRun::kOperations);
        task.AnswerNo();
        Platform::ArmFault(Platform::kFaultRename, k, EACCES);
        EXPECT_FALSE(task.FinalisePatchOperations()) << k;
        Platform::ClearFaults();
        task.CancelCleanupOperations(task.GetChanges());
        task.DeleteTemporaryPatchFilesDirectory();
        task.DeleteDirectoriesCreatedDuringPatchAttempt();
        ASSERT_EQ(TreeSnapshot(target), oldTree) << "rename " << k << Text(task.GetLog());
        EXPECT_NE(std::string::npos, Text(task.GetLog()).find("FinaliseRename failed; undoing cleanup"));
    }
}

TEST_F(MervaneTaskFinaliseTest, LinkPlantedBeforeFinalisingIsNeverFollowed)
{
    ScratchFolder outside;
    WriteFile(outside / "b.txt", "outside b", 0644);
    TreeSnapshot outsideBefore(outside.Path());
    TestTask task(target);
    PatchRun::Operate(task, target, PatchRun::kOperations);
    task.AnswerNo();
    fs::rename(target + "/dir", scratch / "dir-moved");
    fs::create_directory_symlink(outside.Path(), target + "/dir");
    EXPECT_FALSE(task.FinalisePatchOperations());
    task.CancelCleanupOperations(task.GetChanges());
    task.DeleteTemporaryPatchFilesDirectory();
    task.DeleteDirectoriesCreatedDuringPatchAttempt();
    EXPECT_EQ(TreeSnapshot(outside.Path()), outsideBefore);
    fs::remove(target + "/dir");
    fs::rename(scratch / "dir-moved", target + "/dir");
    EXPECT_EQ(TreeSnapshot(target), oldTree);
}

TEST_F(MervaneTaskFinaliseTest, DeleteRetriesOnlyWhileBusy)
{
    static int sleeps;
    sleeps = 0;
    MervaneTask_ApplyFilePatches::SetRetrySleepForTesting([](uint32_t milliseconds) {
        EXPECT_EQ(1000u, milliseconds);
        ++sleeps;
    });
    TestTask task(target);
    Platform::ArmFault(Platform::kFaultUnlink, 1, EBUSY);
    EXPECT_EQ(kCXOK, task.DeleteWithAutoRetry(task.Program("d.txt")));
    EXPECT_EQ(1, sleeps);
    EXPECT_NE(std::string::npos, Text(task.GetLog()).find("DeleteWithAutoRetry> node busy while deleting '" +
                                                          Text(task.Program("d.txt")) + "' (retry: 0)"));
    Platform::ArmFault(Platform::kFaultUnlink, 1, EACCES);
    EXPECT_EQ(kCXAccessDenied, task.DeleteWithAutoRetry(task.Program("c.bin")));
    EXPECT_EQ(kCXNotFound, task.DeleteWithAutoRetry(task.Program("d.txt")));
    EXPECT_EQ(1, sleeps);
}

TEST_F(MervaneTaskFinaliseTest, CreatedFoldersGoUnlessTheyHoldSomething)
{
    TestTask task(target);
    task.CreateParentFolders(task.Program("p/q/r/file"));
    ASSERT_EQ(3u, task.GetCreatedFolders().size());
    EXPECT_EQ(Text(task.Program("p")), Text(task.GetCreatedFolders()[0]));
    WriteFile(target + "/p/q/stays", "s", 0644);
    task.DeleteDirectoriesCreatedDuringPatchAttempt();
    EXPECT_FALSE(fs::exists(target + "/p/q/r"));
    EXPECT_TRUE(fs::exists(target + "/p/q/stays"));
    EXPECT_NE(std::string::npos, Text(task.GetLog()).find("DeleteDirectoriesCreatedDuringPatchAttempt> failed to delete"));
}

// A run killed after each operation, and during finalising after each rename, is rolled back to
// exactly the old tree by the next run; a run killed after its commit mark is completed to the
// new tree.
TEST_F(MervaneTaskFinaliseTest, RecoveryRestoresTheOldOrTheNewTree)
{
    struct Stop {
        int operations;
        int renames;     // -1: finalising not reached
        bool afterCommit;
    };
    std::vector<Stop> stops;
    for (int k = 0; k <= PatchRun::kOperations; ++k)
        stops.push_back({k, -1, false});
    for (int k = 1; k <= PatchRun::kRenames; ++k)
        stops.push_back({PatchRun::kOperations, k, false});
    stops.push_back({PatchRun::kOperations, PatchRun::kRenames, true});

    static int stopAfter;
    for (const Stop& stop : stops) {
        std::string label = std::to_string(stop.operations) + "/" + std::to_string(stop.renames) + (stop.afterCommit ? "/commit" : "");
        fs::remove_all(target);
        PatchRun::MakeOldTree(target);
        {
            TestTask task(target);
            PatchRun::Plan(task);
            ASSERT_EQ(kCXOK, task.WriteJournalPlan());
            PatchRun::Operate(task, target, stop.operations);
            if (stop.renames >= 0) {
                stopAfter = stop.afterCommit ? -1 : stop.renames;
                MervaneTask_ApplyFilePatches::SetFinaliseStepHookForTesting([](int done) {
                    if (done == stopAfter)
                        throw SimulatedCrash();
                });
                // After the commit the first backup deletion meets a busy file and the run dies
                // in its pause.
                MervaneTask_ApplyFilePatches::SetRetrySleepForTesting([](uint32_t) { throw SimulatedCrash(); });
                if (stop.afterCommit)
                    Platform::ArmFault(Platform::kFaultUnlink, 1, EBUSY);
                EXPECT_THROW(task.FinalisePatchOperations(), SimulatedCrash) << label;
                Platform::ClearFaults();
                MervaneTask_ApplyFilePatches::SetFinaliseStepHookForTesting(nullptr);
                MervaneTask_ApplyFilePatches::SetRetrySleepForTesting(nullptr);
            }
            // The task goes without any clean-up, as a killed process leaves things.
        }
        ASSERT_TRUE(fs::exists(target + "/patcher-temp/journal.txt")) << label;
        TestTask next(target);
        ASSERT_EQ(kCXOK, next.RecoverInterruptedRun()) << label;
        const TreeSnapshot& wanted = stop.afterCommit ? newTree : oldTree;
        ASSERT_EQ(TreeSnapshot(target), wanted) << label << Text(next.GetLog());
        // Nothing left to recover: a second start finds no journal.
        ASSERT_EQ(kCXOK, next.RecoverInterruptedRun());
        EXPECT_EQ(TreeSnapshot(target), wanted) << label;
    }
}

TEST_F(MervaneTaskFinaliseTest, JournalWithRefusedPathsIsNotActedOn)
{
    ScratchFolder outside;
    WriteFile(outside / "victim", "v", 0644);
    const std::string cases[] = {
        "plan nf 9:../victim\n",
        "plan nf " + std::to_string(outside.Path().size() + 7) + ":" + outside.Path() + "/victim\n",
        "plan nf 17:patcher-temp/x.tmp\n",
        "plan nf 7:a\\b.txt\n",
        "plan nf 8:C:/a.txt\n",
        "plan nf 6:./a.tx\n",
        "rename 11:../../x.tmp 5:a.txt 18:patcher-temp/w.tmp\n",
        "rename 0: 5:a.txt 5:c.bin\n",
        "nonsense\n",
    };
    for (const std::string& line : cases) {
        WriteFile(target + "/patcher-temp/journal.txt", "patch-journal 1\n" + line, 0644);
        TreeSnapshot before(target);
        TreeSnapshot outsideBefore(outside.Path());
        TestTask task(target);
        EXPECT_EQ(kCXBadFormat, task.RecoverInterruptedRun()) << line;
        EXPECT_EQ(TreeSnapshot(target), before) << line;
        EXPECT_EQ(TreeSnapshot(outside.Path()), outsideBefore) << line;
    }
}

} // namespace

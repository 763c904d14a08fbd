#include "patch/MervaneTask_Uninstall.h"
#include "patch/UninstallRecord.h"

#include "PatchInstallationFixture.h"
#include "platform/File.h"
#include "support/TreeSnapshot.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

MervaneTaskStatus StatusOf(MervaneTask& task)
{
    MervaneTaskStatus status;
    task.GetStatus(status);
    return status;
}

class MervaneTask_UninstallTest : public testing::Test, public PatchInstallationFixture {
protected:
    void TearDown() override { Platform::ClearFaults(); }

    // Runs an uninstall to its end (or to its question) and gives the status.
    static MervaneTaskStatus Run(MervaneTask_Uninstall& task, const CXString& target, const char* anchor = "bin/game")
    {
        task.SetAnchorFile(anchor);
        EXPECT_TRUE(task.Start(target));
        task.Proceed();
        MervaneTaskStatus status;
        EXPECT_TRUE(WaitFor([&] {
            status = StatusOf(task);
            return status.state == kMervaneTaskComplete || status.state == kMervaneTaskFailed ||
                   status.state == kMervaneTaskQuestion;
        }));
        return status;
    }
};

TEST_F(MervaneTask_UninstallTest, TamperedRecordEntriesAreLeftAlone)
{
    std::filesystem::create_directories(Programs() + "/Maker");
    std::filesystem::create_directories(scratch / "outside/sub");
    // Each shortcut as this build writes it and as an older build's ".lnk" file.
    for (const char* extension : {".lnk", ".desktop"}) {
        Put(Programs() + "/Maker/Product" + extension, "mine");
        Put(Desktop() + "/Product" + extension, "mine");
        Put(scratch / "outside/victim" + extension, "someone else's");
        Put(scratch / "outside/sub/deep" + extension, "someone else's");
    }
    Put(Programs() + "/Maker/notes.txt", "not a shortcut");
    std::filesystem::create_directories(Desktop() + "/folder.lnk");
    ASSERT_EQ(symlink((scratch / "outside/sub").c_str(), (Programs() + "/link").c_str()), 0);
    Put(Target() + "/uninstall.dat",
        FormatUninstallRecord({
            Program(Programs() + "/Maker/Product.lnk"),
            Program(Desktop() + "/Product.lnk"),
            Program(Programs() + "/Maker/notes.txt"),                   // not a shortcut
            Program(scratch / "outside/victim.lnk"),                    // outside both folders
            Program(Programs() + "/../outside/victim.lnk"),             // climbs out
            Program(Programs() + "/link/deep.lnk"),                     // through a link
            Program(Programs() + "/link/../../outside/victim.lnk"),     // climbs out through a link
            Program(Desktop() + "/folder.lnk"),                         // a folder
            "Maker/Product.lnk",                                        // relative
        }));
    TreeSnapshot outside(scratch / "outside");

    MervaneTask_Uninstall task;
    MervaneTaskStatus status = Run(task, "C:/Games/Product");
    EXPECT_EQ(status.state, kMervaneTaskComplete);
    EXPECT_FALSE(Exists(Programs() + "/Maker/Product.lnk"));
    EXPECT_FALSE(Exists(Desktop() + "/Product.lnk"));
    EXPECT_FALSE(Exists(Programs() + "/Maker/Product.desktop"));
    EXPECT_FALSE(Exists(Desktop() + "/Product.desktop"));
    EXPECT_TRUE(Exists(Programs() + "/Maker/notes.txt"));
    EXPECT_TRUE(Exists(Programs() + "/link"));
    EXPECT_TRUE(Exists(Desktop() + "/folder.lnk"));
    EXPECT_EQ(TreeSnapshot(scratch / "outside"), outside);
    EXPECT_FALSE(Exists(Target()));
}

TEST_F(MervaneTask_UninstallTest, RefusesWhatIsNoInstallation)
{
    std::filesystem::create_directories(scratch / "drive_c/Empty");
    Put(scratch / "drive_c/Empty/file", "x");
    struct Case {
        CXString target;
        const char* anchor;
        const char* reason;
    };
    const Case cases[] = {
        {"", "bin/game", "No folder was given"},
        {"Games/Product", "bin/game", "is not a full folder path"},
        {"C:/", "bin/game", "is a root or home folder"},
        {"Z:/", "bin/game", "is a root or home folder"},
        {"Z:/usr", "bin/game", "system folder"},
        {"Z:/usr/share", "bin/game", "system folder"},
        {Program(scratch / "home"), "bin/game", "is a root or home folder"},
        {Program(scratch.Path()), "drive_c/Games/Product/bin/game", "holds"},
        {"C:/Empty", "bin/game", "holds neither \"uninstall.dat\" nor \"bin/game\""},
        {"C:/Empty", "", "holds neither"},
        {"C:/Empty", "../Games/Product/bin/game", "holds neither"},
        {"C:/Games/Product", "bin", "holds neither"}, // the anchor must be a file
    };
    TreeSnapshot before(scratch.Path());
    for (const Case& c : cases) {
        MervaneTask_Uninstall task;
        MervaneTaskStatus status = Run(task, c.target, c.anchor);
        EXPECT_EQ(status.state, kMervaneTaskFailed) << Text(c.target);
        EXPECT_EQ(Text(status.detail), "This folder cannot be uninstalled.");
        EXPECT_NE(Text(status.detail2).find(c.reason), std::string::npos) << Text(c.target) << ": " << Text(status.detail2);
    }
    EXPECT_EQ(TreeSnapshot(scratch.Path()), before);

    // A record alone marks an installation too.
    Put(scratch / "drive_c/Empty/uninstall.dat", FormatUninstallRecord({}));
    MervaneTask_Uninstall task;
    EXPECT_EQ(Run(task, "C:/Empty", "").state, kMervaneTaskComplete);
    EXPECT_FALSE(Exists(scratch / "drive_c/Empty"));
}

TEST_F(MervaneTask_UninstallTest, AFailedDeletionAsksAndOnlyARetryCanComplete)
{
    enum Reply { kYes, kNo, kCancel };
    for (Reply reply : {kYes, kNo, kCancel}) {
        std::filesystem::create_directories(Target() + "/bin");
        Put(Target() + "/bin/game", "g");
        Platform::ArmFault(Platform::kFaultUnlink, 1, EBUSY);
        MervaneTask_Uninstall task;
        MervaneTaskStatus status = Run(task, "C:/Games/Product");
        ASSERT_EQ(status.state, kMervaneTaskQuestion) << reply;
        EXPECT_EQ(Text(status.detail), "Failed to delete some files.");
        EXPECT_EQ(Text(status.detail2).rfind("Result -", 0), 0u) << Text(status.detail2);
        if (reply == kCancel)
            task.Cancel();
        else
            task.Answer(reply == kYes);
        ASSERT_TRUE(WaitFor([&] { return !task.IsRunning(); }));
        status = StatusOf(task);
        if (reply == kYes) {
            EXPECT_EQ(status.state, kMervaneTaskComplete);
            EXPECT_EQ(Text(status.text), "Done.");
            EXPECT_TRUE(status.detail.IsEmpty());
            EXPECT_TRUE(status.detail2.IsEmpty());
            EXPECT_FALSE(Exists(Target()));
        } else {
            // Files remain: the uninstall did not complete, and the details stay to say why.
            EXPECT_EQ(status.state, kMervaneTaskFailed) << reply;
            EXPECT_EQ(Text(status.detail), "Failed to delete some files.");
            EXPECT_TRUE(Exists(Target() + "/bin/game"));
        }
        task.Answer(true);
        EXPECT_EQ(StatusOf(task).state, status.state) << "an answer with no question changes nothing";
    }
}

} // namespace

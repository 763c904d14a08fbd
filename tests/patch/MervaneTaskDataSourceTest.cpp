#include "patch/CXFileNavOpen.h"
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "datanode/DataNodeTesting.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "foundation/CXWorkerHost.h"
#include "streams/CXStreamFile.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/WaitFor.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

std::string BE(uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Volume(const std::string& payload, uint32_t index, uint32_t count, uint32_t version = 0, const std::string& id = "",
                   uint64_t declared = UINT64_MAX)
{
    return "MeVa" + BE(version, 4) + static_cast<char>(id.size()) + id + BE(index, 4) + BE(count, 4) +
           BE(declared == UINT64_MAX ? payload.size() : declared, 8) + payload;
}

void Put(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

CXString Program(const std::string& host)
{
    return CXFileSystem::FromNativePath(host.c_str());
}

// A task whose procedure joins the volumes of the application folder.
class JoiningTask : public MervaneTask_ApplyFilePatches {
public:
    // The output is made empty first, as the procedure makes it.
    JoiningTask(std::string output, std::string folder) : fOutput(std::move(output)), fFolder(std::move(folder)) { Put(fOutput, ""); }
    ~JoiningTask() override { StopAndWait(); }
    void Proc() override
    {
        CXString folder = Program(fFolder);
        joined = JoinPatchVolumes(Program(fOutput), folder, CXString(), {}) ? 1 : 0;
        folderAfter = Text(folder);
    }
    std::atomic<int> joined{-1};
    std::string folderAfter;

private:
    std::string fOutput;
    std::string fFolder;
};

class MervaneTaskDataSourceTest : public testing::Test {
protected:
    void SetUp() override
    {
        CXThread::CXInit();
        CXTaskHost::InitCurrentThreadTaskHost();
        ClearLocalisationTable();
    }
    void TearDown() override
    {
        CXFileNavOpen::SetAnswerProvider({});
        CXWorkerHost::Shutdown();
        CXTaskHost::ExitCurrentThreadTaskHost();
    }
    static void IdleMainThread() { CXTaskHost::GetCurrentThreadTaskHost()->IdleTasks(); }

    ScratchFolder fScratch;
    ScopedEnv fTemp{"CX_FOLDER_TEMP", fScratch.Path()};
    CXDebugCapture fCapture;
};

TEST_F(MervaneTaskDataSourceTest, OnlyTheExpectedVolumeIsAppended)
{
    struct Case {
        const char* name;
        std::string volume;
        uint32_t index;
        uint32_t countBefore;
        bool appended;
        uint32_t countAfter;
    };
    const Case cases[] = {
        {"first volume sets the count", Volume("abc", 0, 3), 0, 1, true, 3},
        {"later volume with the same count", Volume("abc", 1, 3), 1, 3, true, 3},
        {"later volume with another count", Volume("abc", 1, 4), 1, 3, false, 3},
        {"another index", Volume("abc", 2, 3), 1, 3, false, 3},
        {"version 1", Volume("abc", 0, 3, 1), 0, 1, false, 1},
        {"an identifier", Volume("abc", 0, 3, 0, "x"), 0, 1, false, 1},
        {"bad magic", "MeVb" + Volume("abc", 0, 3).substr(4), 0, 1, false, 1},
        {"a count of none", Volume("abc", 0, 0), 0, 1, false, 1},
        {"cut short", Volume("abc", 0, 3).substr(0, 10), 0, 1, false, 1},
        // The copy fails part-way: what it wrote is cut away again.
        {"payload shorter than declared", Volume("abc", 0, 3, 0, "", 100), 0, 1, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MervaneTask_ApplyFilePatches task;
        Put(fScratch / "volume.bin", c.volume);
        CXStreamFile output;
        ASSERT_TRUE(output.Open(Program(fScratch / "joined.bin"), 0x1B));
        ASSERT_EQ(output.Write("before", 6), 6u);
        uint32_t count = c.countBefore;
        EXPECT_EQ(task.AppendPatchVolume(output, Program(fScratch / "volume.bin"), CXString(), c.index, count), c.appended);
        EXPECT_EQ(count, c.countAfter);
        EXPECT_EQ(output.Close(), kCXOK);
        EXPECT_EQ(Get(fScratch / "joined.bin"), c.appended ? "beforeabc" : "before");
    }
}

// Volumes 1 and 2 are in the application folder, volume 3 is picked through the disc question
// from another folder, where volume 4 is then found without asking.
TEST_F(MervaneTaskDataSourceTest, TheDiscQuestionFindsAVolumeElsewhereAndTheSearchFollowsIt)
{
    Put(fScratch / "app/patch-1.bin", Volume("one,", 0, 4));
    Put(fScratch / "app/patch-2.bin", Volume("two,", 1, 4));
    Put(fScratch / "disc/patch-3.bin", Volume("three,", 2, 4));
    Put(fScratch / "disc/patch-4.bin", Volume("four", 3, 4));
    Put(fScratch / "app/patch-3.bin", Volume("wrong", 2, 5)); // not of this set
    std::vector<std::string> titles;
    std::vector<std::string> startFolders;
    std::string disc = Text(Program(fScratch / "disc/patch-3.bin"));
    CXFileNavOpen::SetAnswerProvider([&](const CXFileNavOpen& request) {
        titles.push_back(Text(request.title));
        startFolders.push_back(Text(request.GetInitialFolder()));
        EXPECT_EQ(request.filters.size(), 1u);
        EXPECT_FALSE(request.chooseFolders);
        return std::vector<CXString>{CXString(disc.c_str())};
    });
    JoiningTask task(fScratch / "joined.bin", fScratch / "app");
    task.Start(Program(fScratch / "target"));
    ASSERT_TRUE(WaitFor([&] {
        IdleMainThread();
        return !task.IsRunning();
    }));
    EXPECT_EQ(task.joined.load(), 1) << Text(task.GetLog());
    EXPECT_EQ(Get(fScratch / "joined.bin"), "one,two,three,four");
    EXPECT_EQ(titles, std::vector<std::string>{"Please insert disc 3."});
    EXPECT_EQ(startFolders, std::vector<std::string>{Text(Program(fScratch / "app"))});
    EXPECT_EQ(task.folderAfter, Text(Program(fScratch / "disc")));
}

// The page goes away while the question waits in the main thread's queue: the task stops waiting
// at once, and the question, run later, writes into an answer the task no longer holds.
TEST_F(MervaneTaskDataSourceTest, ACancelEndsTheWaitForAQueuedDiscQuestion)
{
    Put(fScratch / "app/patch-1.bin", Volume("one", 0, 2));
    int asked = 0;
    CXFileNavOpen::SetAnswerProvider([&](const CXFileNavOpen&) {
        ++asked;
        return std::vector<CXString>{CXString("Z:/nowhere/patch-2.bin")};
    });
    {
        JoiningTask task(fScratch / "joined.bin", fScratch / "app");
        task.Start(Program(fScratch / "target"));
        ASSERT_TRUE(WaitFor([&] { return Text(task.GetLog()).find("asking for volume 2") != std::string::npos; }));
        task.Cancel();
        ASSERT_TRUE(WaitFor([&] { return !task.IsRunning(); }));
        EXPECT_EQ(task.joined.load(), 0);
    }
    IdleMainThread();
    EXPECT_EQ(asked, 1);

    // Cancelling the question ends the join.
    CXFileNavOpen::SetAnswerProvider([](const CXFileNavOpen&) { return std::vector<CXString>{}; });
    JoiningTask cancelled(fScratch / "joined.bin", fScratch / "app");
    cancelled.Start(Program(fScratch / "target"));
    ASSERT_TRUE(WaitFor([&] {
        IdleMainThread();
        return !cancelled.IsRunning();
    }));
    EXPECT_EQ(cancelled.joined.load(), 0);
    EXPECT_NE(Text(cancelled.GetLog()).find("volume 2 not supplied"), std::string::npos);
}

TEST_F(MervaneTaskDataSourceTest, TheDialogStartsInTheNearestFolderThatExists)
{
    fs::create_directories(fScratch / "a/b");
    CXFileNavOpen dialog;
    dialog.SetInitialFolder(Program(fScratch / "a/b/c/d/../e"));
    EXPECT_EQ(Text(dialog.GetInitialFolder()), Text(Program(fScratch / "a/b")));
    dialog.SetInitialFolder(Program(fScratch / "a/./b"));
    EXPECT_EQ(Text(dialog.GetInitialFolder()), Text(Program(fScratch / "a/b")));
    dialog.SetInitialFolder("Q:/no/such/drive");
    EXPECT_EQ(Text(dialog.GetInitialFolder()), "");
    // No dialog installed: nothing is chosen.
    dialog.Exec();
    EXPECT_EQ(Text(dialog.GetPath()), "");
}

// Folders win when both kinds are asked for; asking for neither still asks for files. Either
// mistake is logged. An empty title gives the kind's own.
TEST_F(MervaneTaskDataSourceTest, TheProviderSeesTheRequestsKindAndTitle)
{
    struct Case {
        const char* name;
        bool chooseFiles;
        bool chooseFolders;
        const char* title;
        bool folder;
        const char* shownTitle;
        const char* logged;
    };
    const Case cases[] = {
        {"files", true, false, "", false, "Open", nullptr},
        {"files, titled", true, false, "Pick", false, "Pick", nullptr},
        {"a folder", false, true, "", true, "Select a Folder", nullptr},
        {"both", true, true, "", true, "Select a Folder",
         "CXFileNavOpen::Exec> win32 code doesn't currently support selecting files&folders"},
        {"neither", false, false, "", false, "Open", "CXFileNavOpen::Exec> invalid options"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fCapture.Clear();
        std::vector<std::string> seen;
        CXFileNavOpen::SetAnswerProvider([&](const CXFileNavOpen& request) {
            seen.push_back(std::string(request.chooseFolders ? "folder " : "files ") + Text(request.GetDialogTitle()));
            return std::vector<CXString>{};
        });
        CXFileNavOpen dialog;
        dialog.chooseFiles = c.chooseFiles;
        dialog.chooseFolders = c.chooseFolders;
        dialog.title = c.title;
        dialog.Exec();
        EXPECT_EQ(seen, std::vector<std::string>{std::string(c.folder ? "folder " : "files ") + c.shownTitle});
        EXPECT_EQ(fCapture.Count("CXFileNavOpen::Exec>"), c.logged != nullptr ? 1u : 0u);
        if (c.logged != nullptr) {
            EXPECT_TRUE(fCapture.Contains(c.logged));
        }
    }
}

TEST_F(MervaneTaskDataSourceTest, EachExecReplacesThePathsOfTheLast)
{
    CXFileNavOpen dialog;
    EXPECT_TRUE(dialog.chooseFiles);
    EXPECT_FALSE(dialog.chooseFolders);
    EXPECT_FALSE(dialog.keepShortcuts);
    std::vector<std::vector<CXString>> answers = {{"Z:/a/one.bin", "Z:/a/two.bin"}, {}};
    size_t next = 0;
    CXFileNavOpen::SetAnswerProvider([&](const CXFileNavOpen&) { return answers[next++]; });
    dialog.allowMultiple = true;
    dialog.Exec();
    EXPECT_EQ(Text(dialog.GetPath()), "Z:/a/one.bin");
    ASSERT_EQ(dialog.GetPaths().size(), 2u);
    EXPECT_EQ(Text(dialog.GetPaths()[1]), "Z:/a/two.bin");
    dialog.Exec(); // cancelled
    EXPECT_TRUE(dialog.GetPaths().empty());
    EXPECT_EQ(Text(dialog.GetPath()), "");

    // With no provider, too.
    answers[1] = {"Z:/a/three.bin"};
    next = 1;
    dialog.Exec();
    ASSERT_EQ(dialog.GetPaths().size(), 1u);
    CXFileNavOpen::SetAnswerProvider({});
    dialog.Exec();
    EXPECT_TRUE(dialog.GetPaths().empty());
}

TEST(MervaneTaskTargetCheckTest, FreeSpaceCountsOnlyTheTargetsVolume)
{
    EXPECT_EQ(MervaneTask_ApplyFilePatches::FreeSpaceDemand(1000, 0), 100002000u);
    EXPECT_EQ(MervaneTask_ApplyFilePatches::FreeSpaceDemand(1000, 5000), 100007000u);
    EXPECT_EQ(MervaneTask_ApplyFilePatches::FreeSpaceDemand(UINT64_MAX / 2, 0), UINT64_MAX);
    EXPECT_EQ(MervaneTask_ApplyFilePatches::FreeSpaceDemand(10, UINT64_MAX), UINT64_MAX);

    std::vector<CXVolumeInfo> volumes(3);
    volumes[0].mountPath = "Z:/";
    volumes[0].freeBytes = 10;
    volumes[0].availableBytes = 5;
    volumes[1].mountPath = "Z:/home/";
    volumes[1].freeBytes = 1000;
    volumes[1].availableBytes = 900;
    volumes[2].mountPath = "Z:/home/";
    volumes[2].freeBytes = 2000; // mounted over the one before
    volumes[2].availableBytes = 1900;
    uint64_t bytes = 0;
    EXPECT_TRUE(MervaneTask_ApplyFilePatches::SpaceOnVolume(volumes, "Z:/home/", false, bytes));
    EXPECT_EQ(bytes, 1900u);
    EXPECT_TRUE(MervaneTask_ApplyFilePatches::SpaceOnVolume(volumes, "Z:/home/", true, bytes));
    EXPECT_EQ(bytes, 2000u);
    EXPECT_FALSE(MervaneTask_ApplyFilePatches::SpaceOnVolume(volumes, "Z:/srv/", false, bytes));
}

} // namespace

namespace {

TEST(MervaneTaskDownloadTextTest, MiBBelowOneGiBAndGiBFromThere)
{
    ClearLocalisationTable();
    LoadLocalisationTable(DataNodeTesting::Parse("\"$mervane_task_downloading_installation_data_mib\" \"$1 MiB\"\r"
                                                 "\"$mervane_task_downloading_installation_data_gib\" \"$1 GiB\"\r")
                              .get());
    struct Case {
        uint64_t size;
        const char* text;
    };
    const Case cases[] = {{0, "0 MiB"}, {1, "1 MiB"}, {1048576, "1 MiB"}, {1048577, "2 MiB"}, {1073741823, "1024 MiB"},
                          {1073741824, "1.0 GiB"}, {1610612736, "1.5 GiB"}};
    for (const Case& c : cases)
        EXPECT_EQ(Text(MervaneTask_ApplyFilePatches::DownloadText(c.size)), c.text) << c.size;
    ClearLocalisationTable();
}

// The names of the data files a run makes beside the target: the only names a recovery deletes
// there, whatever a journal says.
TEST(MervaneTaskDataFileNameTest, OnlyTheNamesARunGives)
{
    struct Case {
        const char* leaf;
        bool ours;
    } cases[] = {
        {"patch.bin", true},       {"temp-1f-3.bin", true},    {"temp-0-0.bin", true},      {"temp-abcdef0123-4294967295.bin", true},
        {"patch.bin.bak", false},  {"Patch.bin", false},       {"temp-1F-3.bin", false},    {"temp--3.bin", false},
        {"temp-1f-.bin", false},   {"temp-1f.bin", false},     {"temp-1f-3.txt", false},    {"temp-1f-3x.bin", false},
        {"temp-1f-3.bin/x", false}, {"sentinel.txt", false},   {"temp-g-3.bin", false},     {"", false},
    };
    for (const Case& test : cases)
        EXPECT_EQ(test.ours, MervaneTask_ApplyFilePatches::IsDataFileName(CXString(test.leaf))) << test.leaf;
}

} // namespace

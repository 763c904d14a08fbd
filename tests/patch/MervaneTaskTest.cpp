#include "patch/MervaneTask_ApplyFileDiff.h"
#include "patch/MervaneTask_ApplyFilePatches.h"

#include "datanode/CXLocalisation.h"
#include "datanode/DataNodeTesting.h"
#include "foundation/CXFileSystem.h"
#include "streams/CXStreamMemory.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/TreeSnapshot.h"
#include "support/WaitFor.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

using namespace DataNodeTesting;

namespace {

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

MervaneTaskStatus StatusOf(MervaneTask& task)
{
    MervaneTaskStatus status;
    task.GetStatus(status);
    return status;
}

// A task whose procedure asks one question and keeps the answer.
class AskingTask : public MervaneTask_ApplyFilePatches {
public:
    explicit AskingTask(uint32_t flags = 0) : fFlags(flags) {}
    ~AskingTask() override { StopAndWait(); }
    void Proc() override
    {
        SetStatus(kMervaneTaskRunning, 0.5f, "working");
        answer = AskUserAndWait(fFlags, "question?", "details") ? 1 : 0;
        stateAfter = StatusOf(*this).state;
        asked = true;
    }
    std::atomic<int> answer{-1};
    std::atomic<int32_t> stateAfter{-1};
    std::atomic<bool> asked{false};

private:
    uint32_t fFlags;
};

class MervaneTaskTest : public testing::Test {
protected:
    void SetUp() override { ClearLocalisationTable(); }
    void TearDown() override { ClearLocalisationTable(); }

    ScratchFolder scratch;
    // The task log is written to the temporary folder when a task goes.
    ScopedEnv temp{"CX_FOLDER_TEMP", scratch.Path()};
};

TEST_F(MervaneTaskTest, StartWithoutTargetFailsAtOnce)
{
    for (const char* target : {"", "/", "//"}) {
        MervaneTask_ApplyFilePatches task;
        EXPECT_FALSE(task.Start(target)) << target;
        MervaneTaskStatus status = StatusOf(task);
        EXPECT_EQ(kMervaneTaskFailed, status.state);
        EXPECT_EQ(1.0f, status.progress);
        EXPECT_EQ("$mervane_task_invalid_target", Text(status.text));
        EXPECT_EQ("$mervane_task_invalid_input_filepath", Text(status.detail));
        EXPECT_FALSE(task.IsRunning());
        EXPECT_EQ("STATE_FAILED - $mervane_task_invalid_target - $mervane_task_invalid_input_filepath - \n", Text(task.GetLog()));
    }
}

TEST_F(MervaneTaskTest, CancelBeforeProceedEndsCancelledAndTouchesNothing)
{
    std::string target = scratch / "target";
    std::filesystem::create_directory(target);
    std::ofstream(target + "/keep") << "x";
    std::string control = scratch / "patch.txt";
    std::ofstream(control) << "patch-operations {\n}\n";
    TreeSnapshot before(target);
    MervaneTask_ApplyFilePatches task;
    task.SetPatchSources(CXURI(("file://" + control).c_str()), CXURI());
    EXPECT_EQ(kMervaneTaskReady, StatusOf(task).state);
    ASSERT_TRUE(task.Start(CXFileSystem::FromNativePath(target.c_str())));
    ASSERT_TRUE(WaitFor([&] { return StatusOf(task).state == kMervaneTaskReady && Text(StatusOf(task).text) == "$mervane_task_ready_to_install"; }));
    task.Cancel();
    ASSERT_TRUE(WaitFor([&] { return !task.IsRunning(); }));
    MervaneTaskStatus status = StatusOf(task);
    EXPECT_EQ(kMervaneTaskFailed, status.state);
    EXPECT_EQ("$mervane_task_patch_cancelled", Text(status.detail));
    EXPECT_EQ(TreeSnapshot(target), before);

    // New sources stop a procedure that waits for the go signal.
    ASSERT_TRUE(task.Start(CXFileSystem::FromNativePath(target.c_str())));
    ASSERT_TRUE(WaitFor([&] { return Text(StatusOf(task).text) == "$mervane_task_ready_to_install"; }));
    task.SetPatchSources(CXURI("file:///other"), CXURI());
    EXPECT_FALSE(task.IsRunning());
    EXPECT_EQ(kMervaneTaskReady, StatusOf(task).state);
}

TEST_F(MervaneTaskTest, AnswersReachTheQuestionAndNoKeepsTheQuestionState)
{
    struct Case {
        const char* name;
        bool cancel;
        bool yes;
        int32_t publishedAfterAnswer;
        int expected;
    };
    const Case cases[] = {
        {"yes", false, true, kMervaneTaskAnsweredYes, 1},
        {"no", false, false, kMervaneTaskQuestion, 0},
        {"cancel", true, false, kMervaneTaskQuestion, 0},
    };
    for (const Case& c : cases) {
        AskingTask task;
        ASSERT_TRUE(task.Start("Z:/nowhere"));
        ASSERT_TRUE(WaitFor([&] { return StatusOf(task).state == kMervaneTaskQuestion; })) << c.name;
        MervaneTaskStatus status = StatusOf(task);
        EXPECT_EQ("question?", Text(status.detail));
        EXPECT_EQ("details", Text(status.detail2));
        if (c.cancel) {
            task.Cancel();
        } else {
            task.Answer(c.yes);
            // A "no" is never published as the final failure state while the task still runs.
            int32_t published = StatusOf(task).state;
            EXPECT_TRUE(published == c.publishedAfterAnswer || published == kMervaneTaskRunning) << c.name << " " << published;
            EXPECT_NE(kMervaneTaskFailed, published) << c.name;
            task.Answer(!c.yes); // a second answer changes nothing
        }
        ASSERT_TRUE(WaitFor([&] { return task.asked.load(); })) << c.name;
        EXPECT_EQ(c.expected, task.answer.load()) << c.name;
        EXPECT_EQ(kMervaneTaskRunning, task.stateAfter.load()) << c.name;
        EXPECT_EQ("question?", Text(StatusOf(task).detail));
    }
}

TEST_F(MervaneTaskTest, NoQuestionWhenFailuresAreExcusedOrNothingIsPending)
{
    AskingTask excused(1);
    ASSERT_TRUE(excused.Start("Z:/nowhere"));
    ASSERT_TRUE(WaitFor([&] { return excused.asked.load(); }));
    EXPECT_EQ(0, excused.answer.load());
    EXPECT_EQ(kMervaneTaskRunning, excused.stateAfter.load());
    EXPECT_TRUE(StatusOf(excused).detail.IsEmpty());

    MervaneTask_ApplyFilePatches idle;
    idle.Answer(true);
    idle.Answer(false);
    EXPECT_EQ(kMervaneTaskWaiting, StatusOf(idle).state);
}

TEST_F(MervaneTaskTest, DownloadProgressTexts)
{
    LoadLocalisationTable(Parse("\"$mervane_task_rate_kib\" \" $1 KiB/s\"\r"
                                "\"$mervane_task_rate_mib\" \" $1 MiB/s\"\r"
                                "\"$mervane_task_hours_remain\" \", $1 hours\"\r"
                                "\"$mervane_task_hour_remain\" \", 1 hour\"\r"
                                "\"$mervane_task_minutes_remain\" \", $1 minutes\"\r"
                                "\"$mervane_task_minute_remain\" \", 1 minute\"\r"
                                "\"$mervane_task_seconds_remain\" \", seconds\"\r")
                              .get());
    struct Case {
        double elapsed;   // seconds
        double rateKiB;   // per second
        double remaining; // seconds; negative: fraction unknown
        const char* expected;
    };
    // With half done, the time remaining equals the time elapsed, exactly.
    const Case cases[] = {
        {5.0, 600, 5, "Base"},
        {10.0, 512, -1, "Base 512 KiB/s"},
        {10.0, 600, -1, "Base 0.6 MiB/s"},
        {59.0, 100, 59, "Base 100 KiB/s, seconds"},
        {60.0, 100, 60, "Base 100 KiB/s, 1 minute"},
        {90.0, 100, 90, "Base 100 KiB/s, 2 minutes"},
        {3540.0, 100, 3540, "Base 100 KiB/s, 59 minutes"},
        {3541.0, 100, 3541, "Base 100 KiB/s, 1 hour"},
        {5400.0, 100, 5400, "Base 100 KiB/s, 2 hours"},
    };
    for (const Case& c : cases) {
        CXStreamProgressCallbackData record;
        record.startTime = 1000000;
        record.bytesDone = static_cast<uint64_t>(c.rateKiB * 1024.0 * c.elapsed);
        record.fractionUnknown = c.remaining < 0;
        if (c.remaining >= 0)
            record.fraction = 0.5f;
        CXTimestamp now = record.startTime + static_cast<CXTimestamp>(c.elapsed * 1000.0);
        EXPECT_EQ(c.expected, Text(MervaneTask_ApplyFilePatches::DownloadProgressText("Base", record, now)))
            << c.elapsed << " " << c.rateKiB << " " << c.remaining;
    }
}

TEST_F(MervaneTaskTest, LogFileIsWrittenAndNeverThroughALink)
{
    std::string log = scratch / "mervane-log.txt";
    {
        MervaneTask_ApplyFilePatches task;
    }
    ASSERT_TRUE(std::filesystem::is_regular_file(log));
    EXPECT_EQ(0u, std::filesystem::file_size(log));

    ScratchFolder outside;
    std::string victim = outside / "victim";
    std::ofstream(victim) << "precious";
    std::filesystem::remove(log);
    std::filesystem::create_symlink(victim, log);
    {
        MervaneTask_ApplyFilePatches task;
        task.AppendLog("line one");
        task.AppendLog("");
    }
    EXPECT_FALSE(std::filesystem::is_symlink(log));
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ("line one\n\n", text);
    std::ifstream victimIn(victim);
    std::string victimText;
    victimIn >> victimText;
    EXPECT_EQ("precious", victimText);
}

TEST(MervaneTaskApplyFileDiffTest, AppliesCommandsAndStopsOnAShortRead)
{
    auto run = [](const std::string& diffBytes, std::string& output) {
        MervaneTask_ApplyFileDiff task;
        auto source = std::make_unique<CXStreamDynamicBuffer>();
        source->Write("ABCDEFGHIJ", 10);
        source->Seek(0, CXStream::kSeekSet);
        auto diff = std::make_unique<CXStreamDynamicBuffer>();
        diff->Write(diffBytes.data(), diffBytes.size());
        diff->Seek(0, CXStream::kSeekSet);
        auto out = std::make_unique<CXStreamDynamicBuffer>();
        CXStreamDynamicBuffer* outPointer = out.get();
        task.SetStreams(std::move(source), std::move(diff), std::move(out));
        task.Proceed();
        EXPECT_TRUE(WaitFor([&] {
            int32_t state = StatusOf(task).state;
            return state == kMervaneTaskComplete || state == kMervaneTaskFailed;
        }));
        EXPECT_TRUE(WaitFor([&] { return !task.IsRunning(); }));
        outPointer->Seek(0, CXStream::kSeekSet);
        output.assign(static_cast<size_t>(outPointer->GetSize()), '\0');
        outPointer->Read(output.data(), output.size());
        MervaneTaskStatus status = StatusOf(task);
        if (status.state == kMervaneTaskFailed)
            output = Text(status.detail);
        return status.state;
    };
    std::string output;
    // copy 3, skip 2 and insert "xy", ignored byte 9, copy 2.
    std::string good = std::string("\x01\x00\x00\x00\x03", 5) + std::string("\x00\x00\x00\x00\x02\x00\x00\x00\x02xy", 11) + "\x09" +
                       std::string("\x01\x00\x00\x00\x02", 5);
    EXPECT_EQ(kMervaneTaskComplete, run(good, output));
    EXPECT_EQ("ABCxyFG", output);
    // A count cut short, or a copy longer than the source: failed, never a spin.
    EXPECT_EQ(kMervaneTaskFailed, run(std::string("\x01\x00\x00", 3), output));
    EXPECT_EQ(kMervaneTaskFailed, run(std::string("\x01\x00\x00\x00\x20", 5), output));
    EXPECT_EQ(kMervaneTaskFailed, run(std::string("\x00\x00\x00\x00\x00\x00\x00\x00\x05xy", 11), output));
}

} // namespace

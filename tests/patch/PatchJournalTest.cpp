#include "patch/PatchJournal.h"

#include "foundation/CXFileSystem.h"
#include "patch/PatchTargetFolder.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(PatchJournalTest, RoundTripAndACutLastLine)
{
    ScratchFolder scratch;
    std::filesystem::create_directories(scratch / "dir");
    PatchTargetFolder target;
    target.SetRoot(CXFileSystem::FromNativePath(scratch.Path().c_str()));
    PatchJournal journal(target);
    // Names with spaces, line feeds and digits survive: each is stored with its length.
    CXString odd("new folder/line\nfeed 12:x", 25);
    journal.PlanPath(odd, false);
    journal.PlanPath("dir/a.txt", false);
    journal.PlanPath("dir", true); // already planned as a parent
    ASSERT_EQ(4u, journal.GetPlan().size());
    EXPECT_EQ("new folder", Text(journal.GetPlan()[0].relative));
    EXPECT_TRUE(journal.GetPlan()[0].isFolder);
    EXPECT_FALSE(journal.GetPlan()[0].existedBefore);
    EXPECT_TRUE(journal.GetPlan()[2].existedBefore); // "dir"
    ASSERT_EQ(kCXOK, journal.WritePlan());
    EXPECT_EQ(kCXAlreadyExists, PatchJournal(target).WritePlan());
    ASSERT_EQ(kCXOK, journal.WriteRenames({{false, "patcher-temp/b.tmp", "dir/a.txt", "patcher-temp/w.tmp"},
                                           {true, "patcher-temp/c.tmp", "old.txt", CXString()}}));
    ASSERT_EQ(kCXOK, journal.WriteDataFile("patch.bin", false));
    ASSERT_EQ(kCXOK, journal.WriteDataFile("taken.bin", false));
    ASSERT_EQ(kCXOK, journal.WriteDataFile("taken.bin", true));
    ASSERT_EQ(kCXOK, journal.WriteModeChange("dir", 0750));
    ASSERT_EQ(kCXOK, journal.WriteCommit());

    PatchJournal::Contents contents;
    ASSERT_EQ(kCXOK, PatchJournal::Read(target, contents));
    ASSERT_EQ(1u, contents.dataFiles.size()) << "a released name is not the run's";
    EXPECT_EQ("patch.bin", Text(contents.dataFiles[0]));
    ASSERT_EQ(1u, contents.modes.size());
    EXPECT_EQ("dir", Text(contents.modes[0].relative));
    EXPECT_EQ(0750u, contents.modes[0].mode);
    ASSERT_EQ(4u, contents.plan.size());
    EXPECT_EQ(Text(odd), Text(contents.plan[1].relative));
    EXPECT_FALSE(contents.plan[1].isFolder);
    ASSERT_EQ(2u, contents.renames.size());
    EXPECT_EQ("patcher-temp/w.tmp", Text(contents.renames[0].written));
    EXPECT_TRUE(contents.renames[1].isDeletion);
    EXPECT_EQ("old.txt", Text(contents.renames[1].destination));
    EXPECT_TRUE(contents.committed);

    // A crash while the commit mark was being written: the run never committed.
    std::string path = scratch / "patcher-temp/journal.txt";
    std::string text = ReadAll(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text.substr(0, text.size() - 3);
    ASSERT_EQ(kCXOK, PatchJournal::Read(target, contents));
    EXPECT_FALSE(contents.committed);
    EXPECT_EQ(2u, contents.renames.size());

    std::ofstream(path, std::ios::binary | std::ios::trunc) << "not a journal\n";
    EXPECT_EQ(kCXBadFormat, PatchJournal::Read(target, contents));
    for (const char* bad : {"plan nx 5:a.txt\n", "plan nf 5:a.txtX\n", "plan nf :\n", "erase 0: 0: 0:\n", "mode 3:789 1:a\n",
                            "mode 5:77777 1:a\n"}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << "patch-journal 1\n" << bad;
        EXPECT_EQ(kCXBadFormat, PatchJournal::Read(target, contents)) << bad;
    }
    // A length running past the end is a line the crash cut.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "patch-journal 1\nplan nf 5:a.txt\nplan nf 99:short\n";
    ASSERT_EQ(kCXOK, PatchJournal::Read(target, contents));
    EXPECT_EQ(1u, contents.plan.size());
    ASSERT_EQ(kCXOK, journal.Remove());
    EXPECT_EQ(kCXNotFound, PatchJournal::Read(target, contents));
}

// The plan names the run's patch in a line that a reader of journals without it passes over: the
// release of a data-file name that no run gives. A journal without the line does not say.
TEST(PatchJournalTest, PatchIdRidesInALineOlderReadersPassOver)
{
    ScratchFolder scratch;
    PatchTargetFolder target;
    target.SetRoot(CXFileSystem::FromNativePath(scratch.Path().c_str()));
    const std::string id = "0123456789abcdef0123456789abcdef";
    PatchJournal journal(target);
    journal.SetPatchId(id.c_str());
    journal.PlanPath("a.txt", false);
    ASSERT_EQ(kCXOK, journal.WritePlan());
    ASSERT_EQ(kCXOK, journal.WriteDataFile("patch.bin", false));
    ASSERT_EQ(kCXOK, journal.WriteCommit());
    std::string path = scratch / "patcher-temp/journal.txt";
    std::string text = ReadAll(path);
    EXPECT_EQ("patch-journal 1\ndata-released 41:patch-id " + id + "\nplan nf 5:a.txt\ndata 9:patch.bin\ncommit\n", text);

    PatchJournal::Contents contents;
    ASSERT_EQ(kCXOK, PatchJournal::Read(target, contents));
    EXPECT_EQ(id, Text(contents.patchId));
    ASSERT_EQ(1u, contents.dataFiles.size()) << "the id is no data file";
    EXPECT_EQ("patch.bin", Text(contents.dataFiles[0]));
    EXPECT_EQ(1u, contents.plan.size());
    EXPECT_TRUE(contents.committed);

    // A journal of the earlier form: everything as before, no patch named.
    std::string older = text;
    older.erase(older.find("data-released"), older.find("plan") - older.find("data-released"));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << older;
    ASSERT_EQ(kCXOK, PatchJournal::Read(target, contents));
    EXPECT_TRUE(contents.patchId.IsEmpty());
    EXPECT_EQ(1u, contents.dataFiles.size());
    EXPECT_EQ(1u, contents.plan.size());
    EXPECT_TRUE(contents.committed);

    // A plan without an id writes no such line.
    ASSERT_EQ(kCXOK, journal.Remove());
    PatchJournal unnamed(target);
    unnamed.PlanPath("a.txt", false);
    ASSERT_EQ(kCXOK, unnamed.WritePlan());
    EXPECT_EQ("patch-journal 1\nplan nf 5:a.txt\n", ReadAll(path));
}

} // namespace

#include "win32/testing/ScriptedFileDialogs.h"

#include <gtest/gtest.h>

using namespace win32;
using win32::testing::ScriptedFileDialogs;

namespace {

// A double installs itself for its lifetime and puts back the service it found; answers that
// could not come from a real dialog (a choice of nothing, several files for a single one) are
// brought into line.
TEST(ScriptedFileDialogsTest, InstallsItselfAndKeepsAnswersPlausible)
{
    FileDialogService* builtIn = &GetFileDialogService();
    {
        ScriptedFileDialogs outer;
        {
            ScriptedFileDialogs inner;
            EXPECT_EQ(&GetFileDialogService(), &inner);
        }
        EXPECT_EQ(&GetFileDialogService(), &outer);

        FileDialogRequest single;
        FileDialogRequest multiple;
        multiple.multiple = true;
        std::vector<std::string> paths{"left over"};
        std::string folder = "left over";
        outer.Choose({"/a", "/b"});
        EXPECT_EQ(outer.OpenFiles(single, paths), kFileDialogChosen);
        EXPECT_EQ(paths, std::vector<std::string>{"/a"});
        outer.Choose({"/a", "/b"});
        EXPECT_EQ(outer.OpenFiles(multiple, paths), kFileDialogChosen);
        EXPECT_EQ(paths, (std::vector<std::string>{"/a", "/b"}));
        outer.Choose({});
        EXPECT_EQ(outer.OpenFiles(multiple, paths), kFileDialogFailed);
        EXPECT_TRUE(paths.empty());
        outer.Choose({"/a", "/b"});
        EXPECT_EQ(outer.PickFolder(single, folder), kFileDialogChosen);
        EXPECT_EQ(folder, "/a");
        outer.Answer(kFileDialogCancelled, {"/ignored"});
        EXPECT_EQ(outer.PickFolder(single, folder), kFileDialogCancelled);
        EXPECT_EQ(folder, "");
        EXPECT_EQ(outer.PendingAnswers(), 0u);
        ASSERT_EQ(outer.Calls().size(), 5u);
        EXPECT_EQ(outer.Calls()[2].result, kFileDialogFailed);
        EXPECT_EQ(outer.Calls()[3].kind, ScriptedFileDialogs::Kind::Folder);
    }
    EXPECT_EQ(&GetFileDialogService(), builtIn);
}

} // namespace

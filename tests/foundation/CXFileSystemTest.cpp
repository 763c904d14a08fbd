#include "foundation/CXDebug.h"
#include "foundation/CXFileFind.h"
#include "foundation/CXFileSystem.h"
#include "platform/File.h"
#include "platform/DriveMap.h"
#include "platform/Environment.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/TreeSnapshot.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <gtest/gtest.h>
#include <string>

namespace {

namespace fs = std::filesystem;

// C: is a scratch folder; every test works below it and clears the fault seam afterwards.
class CXFileSystemTest : public testing::Test {
protected:
    void TearDown() override { Platform::ClearFaults(); }

    std::string Host(const char* relative) const { return fScratch.Path() + "/" + relative; }
    static void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    static std::string Get(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    ScratchFolder fScratch;
    ScopedDriveMap fMap{fScratch.Path()};
};

TEST_F(CXFileSystemTest, ExistsAndDirectories)
{
    Put(Host("file"), "x");
    fs::create_directory(Host("dir"));
    fs::create_directory_symlink(Host("dir"), Host("link"));
    fs::create_symlink(Host("nowhere"), Host("dangling"));
    struct Case {
        const char* path;
        bool exists;
        bool directory;
    };
    const Case cases[] = {
        {"C:/file", true, false}, {"C:/dir", true, true},      {"C:/link", true, false},
        {"C:/dangling", true, false}, {"C:/missing", false, false}, {"C:/file/below", false, false},
        {"Q:/unmapped", false, false}, {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CXFileSystem::Exists(CXString(c.path)), c.exists) << c.path;
        EXPECT_EQ(CXFileSystem::IsDirectory(CXString(c.path)), c.directory) << c.path;
    }
    // An error other than not-found is logged and counts as existing.
    CXDebugCapture capture;
    Platform::ArmFault(Platform::kFaultStat, 1, EACCES);
    EXPECT_TRUE(CXFileSystem::Exists(CXString("C:/missing")));
    EXPECT_EQ(capture.Count("CXFileSystem::Exists> error 5 for C:/missing"), 1u);
}

TEST_F(CXFileSystemTest, MakeDirectoryCodes)
{
    CXDebugCapture capture;
    EXPECT_EQ(CXFileSystem::MakeDirectory(CXString("C:/new")), kCXOK);
    EXPECT_EQ(CXFileSystem::MakeDirectory(CXString("C:/new")), kCXAlreadyExists);
    EXPECT_EQ(CXFileSystem::MakeDirectory(CXString(("C:/" + std::string(300, 'n')).c_str())), kCXBadParameter);
    EXPECT_EQ(CXFileSystem::MakeDirectory(CXString("C:/missing/child")), kCXAccessDenied);
    EXPECT_EQ(capture.Count("CXFileSystem::MakeDirectory> CreateDirectory(\"C:/missing/child\") returned error 3"), 1u) << "a missing parent is path-not-found";
    Platform::ArmFault(Platform::kFaultMakeDirectory, 1, ENOSPC);
    EXPECT_EQ(CXFileSystem::MakeDirectory(CXString("C:/full")), kCXNoResources);
}

TEST_F(CXFileSystemTest, MoveNeverReplaces)
{
    Put(Host("a"), "A");
    Put(Host("b"), "B");
    EXPECT_EQ(CXFileSystem::Move(CXString("C:/b"), CXString("C:/a")), kCXAlreadyExists);
    EXPECT_EQ(Get(Host("a")), "A");
    EXPECT_EQ(Get(Host("b")), "B");
    EXPECT_EQ(CXFileSystem::Move(CXString("C:/c"), CXString("C:/a")), kCXOK) << "destination first, source second";
    EXPECT_FALSE(fs::exists(Host("a")));
    EXPECT_EQ(Get(Host("c")), "A");
    EXPECT_EQ(CXFileSystem::Move(CXString("C:/d"), CXString("C:/missing")), kCXNotFound);
}

TEST_F(CXFileSystemTest, DeleteCodes)
{
    Put(Host("file"), "x");
    fs::create_directories(Host("full/inner"));
    CXDebugCapture capture;
    EXPECT_EQ(CXFileSystem::Delete(CXString("C:/missing")), kCXNotFound);
    EXPECT_EQ(CXFileSystem::Delete(CXString("C:/full")), kCXAccessDenied);
    EXPECT_EQ(capture.Count("CXFileSystem::Delete> RemoveDirectory(\"C:/full\") returned error"), 1u);
    EXPECT_EQ(CXFileSystem::Delete(CXString("C:/full/inner")), kCXOK);

    Platform::ArmFault(Platform::kFaultUnlink, 1, EBUSY);
    EXPECT_EQ(CXFileSystem::Delete(CXString("C:/file")), kCXBusy);
    Platform::ArmFault(Platform::kFaultUnlink, 1, EACCES);
    EXPECT_EQ(CXFileSystem::Delete(CXString("C:/file")), kCXAccessDenied);
    EXPECT_EQ(capture.Count("CXFileSystem::Delete> unlink returned error 13"), 1u);
    EXPECT_EQ(CXFileSystem::Delete(CXString("C:/file")), kCXOK);
    EXPECT_EQ(CXFileSystem::DeletePlainFile(CXString("C:/file")), kCXNotFound);
    EXPECT_EQ(capture.Count("CXFileSystem::DeletePlainFile> unlink returned error 2 for C:/file"), 1u);
}

TEST_F(CXFileSystemTest, DeleteRecursiveStaysInsideItsFolder)
{
    fs::create_directories(Host("outside/keep"));
    Put(Host("outside/keep/precious"), "do not delete");
    fs::create_directories(Host("tree/a/b"));
    Put(Host("tree/a/b/f1"), "1");
    Put(Host("tree/f2"), "2");
    fs::create_directory_symlink(Host("outside"), Host("tree/a/link-to-outside"));
    fs::create_symlink(Host("outside/keep/precious"), Host("tree/link-to-file"));

    EXPECT_EQ(CXFileSystem::DeleteRecursive("C:/tree"), kCXOK);
    EXPECT_FALSE(fs::exists(Host("tree")));
    EXPECT_EQ(Get(Host("outside/keep/precious")), "do not delete");

    // The folder given may itself be a link: the link goes, its target stays.
    fs::create_directory_symlink(Host("outside"), Host("alias"));
    EXPECT_EQ(CXFileSystem::DeleteRecursive("C:/alias"), kCXOK);
    EXPECT_TRUE(fs::exists(Host("outside/keep/precious")));
    EXPECT_FALSE(fs::is_symlink(Host("alias")));
}

TEST_F(CXFileSystemTest, DeleteRecursiveRefusals)
{
    Put(Host("x"), "x");
    for (const char* refused : {"C:/", "", "C:/..", "..", "../x", "C:/a/../.."})
        EXPECT_EQ(CXFileSystem::DeleteRecursive(refused), kCXAccessDenied) << refused;
    EXPECT_TRUE(fs::exists(Host("x")));
    EXPECT_EQ(CXFileSystem::DeleteRecursive(nullptr), kCXAccessDenied);
}

TEST_F(CXFileSystemTest, DeleteRecursiveGoesOnPastAFailure)
{
    fs::create_directories(Host("tree"));
    for (const char* name : {"a", "b", "c"})
        Put(Host("tree/") + name, name);
    CXDebugCapture capture;
    Platform::ArmFault(Platform::kFaultUnlink, 2, EBUSY);
    EXPECT_EQ(CXFileSystem::DeleteRecursive("C:/tree"), kCXBusy) << "the busy file's code";
    size_t left = std::distance(fs::directory_iterator(Host("tree")), fs::directory_iterator());
    EXPECT_EQ(left, 1u) << "the other files are gone";
}

// Both directions of a drive map with a root nested in another, and a recursive delete of every
// form of path: a delete removes exactly the folder the path names, or nothing when the path names
// a drive, a home folder or nothing at all.
TEST_F(CXFileSystemTest, DriveFormsMapBothWaysAndDeleteOnlyWhatTheyName)
{
    const std::string s = fScratch.Path();
    fMap.Set("CX_DRIVE_C", s + "/c");
    fMap.Set("CX_DRIVE_D", s + "/c/d/"); // nested in C:, given with a trailing '/'
    fMap.Set("CX_DRIVE_Y", s + "/y");
    ScopedEnv home("HOME", s + "/c/home");
    ScopedEnv data("XDG_DATA_HOME", s + "/c/home/data");

    struct MapCase {
        std::string program;
        std::optional<std::string> host;
    };
    const MapCase toHost[] = {
        {"Y:", std::nullopt},  {"y:", std::nullopt},     {"Y:name", std::nullopt},
        {"Y:/", s + "/y"},     {"D:/", s + "/c/d"},      {"D:/..", std::nullopt},
        {"C:/d/./x/", s + "/c/d/x/"}, {"C:/x/../d", s + "/c/d"},
    };
    for (const MapCase& k : toHost) {
        std::string host;
        bool mapped = Platform::ProgramToHostPath(k.program, host);
        EXPECT_EQ(mapped ? std::optional<std::string>(host) : std::nullopt, k.host) << k.program;
    }
    const MapCase toProgram[] = {
        {s + "/c/d", "D:/"},           {s + "/c/d/", "D:/"},         {s + "/c/./d/x", "D:/x"},
        {s + "/c/d/../x", "C:/x"},     {s + "/c/d/..", "C:/"},       {s + "/c/../victim", "Z:" + s + "/victim"},
        {s + "/y/../c/d/x", "D:/x"},   {s + "//y//f", "Y:/f"},
    };
    for (const MapCase& k : toProgram) {
        std::string program;
        bool mapped = Platform::HostToProgramPath(k.program, program);
        EXPECT_EQ(mapped ? std::optional<std::string>(program) : std::nullopt, k.host) << k.program;
    }

    struct DeleteCase {
        std::string path;
        CXResultCode result;
        const char* removed; // relative to the scratch folder, or nullptr
    };
    const DeleteCase deletes[] = {
        {"Y:", kCXNotFound, nullptr},
        {"y:", kCXNotFound, nullptr},
        {"Y:/", kCXAccessDenied, nullptr},
        {"Y:/.", kCXAccessDenied, nullptr},
        {"C:/d", kCXAccessDenied, nullptr},   // D:'s folder under another name
        {"C:/d/", kCXAccessDenied, nullptr},
        {"C:/x/../d", kCXAccessDenied, nullptr},
        {"C:/home", kCXAccessDenied, nullptr}, // the user's home
        {"C:/home/data/", kCXAccessDenied, nullptr},
        {"D:/sub", kCXOK, "c/d/sub"},
        {"C:/d/sub/.", kCXOK, "c/d/sub"},
        {"C:/x/", kCXOK, "c/x"},
        {CXFileSystem::FromNativePath(CXStringArgument((s + "/c/../victim").c_str())).c_str(), kCXOK, "victim"},
    };
    for (const DeleteCase& k : deletes) {
        for (const char* folder : {"c/d/sub", "c/x", "c/victim", "c/home/data", "y/f", "victim", "outside"})
            fs::create_directories(Host(folder));
        for (const char* file : {"c/d/sub/f", "c/x/f", "c/victim/f", "c/home/f", "c/home/data/f", "y/f/f", "victim/f", "outside/f"})
            Put(Host(file), file);
        TreeSnapshot before(s);
        EXPECT_EQ(CXFileSystem::DeleteRecursive(k.path.c_str()), k.result) << k.path;
        std::map<std::string, TreeEntry> expected;
        for (const auto& [path, entry] : before.Entries())
            if (k.removed == nullptr || (path != k.removed && path.rfind(std::string(k.removed) + "/", 0) != 0))
                expected[path] = entry;
        EXPECT_EQ(TreeSnapshot(s).Entries(), expected) << k.path << TreeSnapshot(s);
    }
}

TEST_F(CXFileSystemTest, ProtectedHostFolders)
{
    const std::string s = fScratch.Path();
    fMap.Set("CX_DRIVE_D", s + "/d");
    fs::create_directories(s + "/d/sub");
    fs::create_directory_symlink(s + "/d", s + "/link-to-d");
    fs::create_directories(s + "/e");
    fs::create_directory_symlink(s + "/d/sub", s + "/e/link-to-sub");
    struct Case {
        std::string host;
        bool guarded;
    };
    const Case cases[] = {
        {"/", true},         {"//", true},            {"/.", true},       {"/tmp/..", true},
        {s, true},           {s + "/", true},         {s + "/d", true},   {s + "/d/sub/..", true},
        {s + "/d/sub", false}, {s + "/link-to-d", false}, // a link is removed as a link
        {s + "/e/link-to-sub/..", true}, // D:'s folder, reached through a link
        {s + "/e", false},   {Platform::UserHome(), true}, {"relative", false},
    };
    for (const Case& k : cases)
        EXPECT_EQ(Platform::IsProtectedHostFolder(k.host), k.guarded) << k.host;
    EXPECT_EQ(Platform::RemoveFolderContents(s + "/d/", nullptr, nullptr), EACCES);
    EXPECT_TRUE(fs::exists(s + "/d/sub"));
}

TEST_F(CXFileSystemTest, CopyFile)
{
    Put(Host("src"), std::string(200000, 's'));
    Put(Host("existing"), "keep");
    EXPECT_EQ(CXFileSystem::CopyFile(CXString("C:/existing"), CXString("C:/src"), false), kCXAlreadyExists);
    EXPECT_EQ(Get(Host("existing")), "keep");
    EXPECT_EQ(CXFileSystem::CopyFile(CXString("C:/copy"), CXString("C:/missing"), false), kCXNotFound);
    EXPECT_EQ(CXFileSystem::CopyFile(CXString("C:/copy"), CXString("C:/src"), false), kCXOK);
    EXPECT_EQ(Get(Host("copy")), Get(Host("src")));

    Platform::ArmFault(Platform::kFaultWrite, 2, ENOSPC);
    EXPECT_EQ(CXFileSystem::CopyFile(CXString("C:/partial"), CXString("C:/src"), false), kCXNoResources);
    EXPECT_FALSE(fs::exists(Host("partial"))) << "a failed copy leaves no partial file";
}

TEST_F(CXFileSystemTest, CopyFolder)
{
    fs::create_directories(Host("src/sub/deeper"));
    Put(Host("src/a"), "a");
    Put(Host("src/sub/deeper/b"), "b");
    EXPECT_EQ(CXFileSystem::CopyFolder(CXString("C:/dst"), CXString("C:/src"), false), kCXOK);
    EXPECT_EQ(Get(Host("dst/a")), "a");
    EXPECT_EQ(Get(Host("dst/sub/deeper/b")), "b");
    EXPECT_EQ(CXFileSystem::CopyFolder(CXString("C:/dst"), CXString("C:/src"), false), kCXAlreadyExists);
    EXPECT_EQ(CXFileSystem::CopyFolder(CXString("C:/never"), CXString("C:/missing"), false), kCXNotFound);
    EXPECT_FALSE(fs::exists(Host("never")));
}

TEST_F(CXFileSystemTest, CreateUniqueFileName)
{
    fs::create_directory(Host("f"));
    CXString first = CXFileSystem::CreateUniqueFileName(CXString("C:/f"), CXString("report.TXT"));
    EXPECT_EQ(first, "C:/f/report.TXT");
    CXString second = CXFileSystem::CreateUniqueFileName(CXString("C:/f"), CXString("report.TXT"));
    std::string name = fs::path(std::string(second.c_str())).filename().string();
    EXPECT_EQ(name.rfind("temp-", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    EXPECT_EQ(fs::file_size(Host("f/") + name), 0u);

    CXDebugCapture capture;
    EXPECT_TRUE(CXFileSystem::CreateUniqueFileName(CXString(), CXString("x")).IsEmpty());
    EXPECT_EQ(capture.Count("CXFileSystem::CreateUniqueFileName> null parent folder path"), 1u);
    EXPECT_TRUE(CXFileSystem::CreateUniqueFileName(CXString("C:/missing"), CXString("x")).IsEmpty());
    EXPECT_EQ(capture.Count("unable to create a unique file path at 'C:/missing'"), 1u);
}

TEST_F(CXFileSystemTest, FileFind)
{
    CXFileFind find;
    EXPECT_EQ(find.Open(CXString("C:/missing")), kCXNotFound);
    fs::create_directory(Host("empty"));
    EXPECT_EQ(find.Open(CXString("C:/empty")), kCXOK);
    EXPECT_FALSE(find.IsOpen());
    CXDebugCapture capture;
    EXPECT_TRUE(find.GetFilePath().IsEmpty());
    EXPECT_EQ(capture.Count("CXFileFind::GetFilePath> not open"), 1u);

    fs::create_directories(Host("list/sub"));
    Put(Host("list/file"), "x");
    std::vector<std::string> seen;
    ASSERT_EQ(find.Open(CXString("C:/list/")), kCXOK);
    for (; find.IsOpen(); find.FindNext())
        seen.push_back(std::string(find.GetFilePath().c_str()) + (find.IsFileADirectory() ? "/" : ""));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"C:/list/file", "C:/list/sub/"}));
}

TEST_F(CXFileSystemTest, SafeReplace)
{
    Put(Host("new"), "new");
    EXPECT_EQ(CXFileSystem::SafeReplaceFile(CXString("C:/file"), CXString("C:/new")), kCXOK);
    EXPECT_EQ(Get(Host("file")), "new");

    Put(Host("new"), "newer");
    EXPECT_EQ(CXFileSystem::SafeReplaceFile(CXString("C:/file"), CXString("C:/new")), kCXOK);
    EXPECT_EQ(Get(Host("file")), "newer");
    EXPECT_FALSE(fs::exists(Host("file.abku")));

    // The final move fails: the old file is back and no backup remains.
    Put(Host("new"), "lost");
    Platform::ArmFault(Platform::kFaultRename, 2, EIO);
    EXPECT_EQ(CXFileSystem::SafeReplaceFile(CXString("C:/file"), CXString("C:/new")), kCXNoResources);
    EXPECT_EQ(Get(Host("file")), "newer");
    EXPECT_FALSE(fs::exists(Host("file.abku")));
    EXPECT_FALSE(fs::exists(Host("new")));

    // The old file cannot be moved aside: the new file goes, the old one stays.
    Put(Host("new"), "lost");
    Platform::ArmFault(Platform::kFaultRename, 1, EACCES);
    EXPECT_EQ(CXFileSystem::SafeReplaceFile(CXString("C:/file"), CXString("C:/new")), kCXAccessDenied);
    EXPECT_EQ(Get(Host("file")), "newer");
    EXPECT_FALSE(fs::exists(Host("new")));

    // Recovery after an interruption between the two moves.
    fs::rename(Host("file"), Host("file.abku"));
    EXPECT_EQ(CXFileSystem::RecoverSafeReplace(CXString("C:/file")), kCXOK);
    EXPECT_EQ(Get(Host("file")), "newer");
    Put(Host("file.abku"), "old");
    EXPECT_EQ(CXFileSystem::RecoverSafeReplace(CXString("C:/file")), kCXOK);
    EXPECT_EQ(Get(Host("file")), "newer");
    EXPECT_EQ(Get(Host("file.abku")), "old") << "with both present nothing moves";
}

} // namespace

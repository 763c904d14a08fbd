#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "platform/Shortcut.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

class CXFileSystemServicesTest : public testing::Test {
protected:
    std::string Host(const char* relative) const { return fScratch.Path() + "/" + relative; }
    static void Put(const std::string& path) { std::ofstream(path) << "x"; }
    static unsigned Mode(const std::string& path) { return static_cast<unsigned>(fs::status(path).permissions()) & 0777; }

    ScratchFolder fScratch;
    ScopedDriveMap fMap{fScratch.Path()};
};

TEST_F(CXFileSystemServicesTest, PermissionStrings)
{
    Put(Host("f"));
    fs::permissions(Host("f"), fs::perms(0640));
    struct Case {
        const char* permissions;
        int32_t result;
    };
    const Case cases[] = {
        {"", kCXOK},
        {"win32:anything at all", kCXOK},
        {"W32ACL:O:BAG:BUD:(A;;FA;;;OW)", kCXBadParameter}, // the prefix is case-sensitive
        {"acl:x", kCXBadParameter},
        {"w32acl:O:BAG:BUD:(D;;FA;;;WD)", kCXNotSupported}, // a deny entry is outside what maps onto modes
        {"w32acl:O:BAG:BU", kCXNotSupported},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CXFileSystem::SetFilePermissions(CXString("C:/f"), CXString(c.permissions)), c.result) << c.permissions;
        EXPECT_EQ(Mode(Host("f")), 0640u) << "nothing changed by " << c.permissions;
    }
    EXPECT_EQ(CXFileSystem::SetFilePermissions(CXString("C:/f"), CXString("w32acl:O:BAG:BUD:(A;;FA;;;OW)(A;;FR;;;BU)")), kCXOK);
    EXPECT_EQ(Mode(Host("f")), 0740u);

    CXString read;
    ASSERT_EQ(CXFileSystem::GetFilePermissions(CXString("C:/f"), read), kCXOK);
    EXPECT_EQ(std::string(read.c_str()).rfind("w32acl:", 0), 0u);
    Put(Host("g"));
    ASSERT_EQ(CXFileSystem::SetFilePermissions(CXString("C:/g"), read), kCXOK);
    EXPECT_EQ(Mode(Host("g")), 0740u) << "a string read from one file sets the same mode on another";
    EXPECT_EQ(CXFileSystem::GetFilePermissions(CXString("C:/missing"), read), kCXNotFound);
    EXPECT_TRUE(read.IsEmpty());

    // Copies carry permissions when asked.
    fs::permissions(Host("f"), fs::perms(0604));
    ASSERT_EQ(CXFileSystem::CopyFile(CXString("C:/copy"), CXString("C:/f"), true), kCXOK);
    EXPECT_EQ(Mode(Host("copy")), 0604u);
}

TEST_F(CXFileSystemServicesTest, VolumesAreFoundThroughHostPaths)
{
    std::vector<CXVolumeInfo> volumes;
    CXFileSystem::CollectVolumes(volumes);
    ASSERT_FALSE(volumes.empty());
    for (const CXVolumeInfo& volume : volumes)
        EXPECT_EQ(volume.mountPath.c_str()[volume.mountPath.length() - 1], '/') << volume.mountPath.c_str();

    // A target on the remapped C: finds the mount that holds the scratch folder on the host.
    CXString mount = CXFileSystem::GetVolumeMountPath(CXString("C:/Games/Product"));
    ASSERT_FALSE(mount.IsEmpty());
    CXString sameFolderByZ = CXFileSystem::GetVolumeMountPath(CXFileSystem::FromNativePath(CXStringArgument(fScratch.Path().c_str())));
    EXPECT_EQ(mount, sameFolderByZ);
    std::string mountHost = CXFileSystem::ToNativePath(mount).c_str();
    EXPECT_EQ(fScratch.Path().rfind(mountHost, 0), 0u) << "the mount holds the folder: " << mountHost;

    EXPECT_TRUE(CXFileSystem::GetVolumeMountPath(CXString("relative/x")).IsEmpty());
    EXPECT_TRUE(CXFileSystem::GetVolumeMountPath(CXString("Q:/unmapped")).IsEmpty());
}

TEST_F(CXFileSystemServicesTest, Shortcuts)
{
    fs::create_directories(Host("menu"));
    struct Case {
        const char* path;
        const char* file;
    };
    const Case cases[] = {
        {"C:/menu/Name", "menu/Name.lnk"},
        {"C:/menu/Other.old", "menu/Other.lnk"},
        {"C:/menu/Kept.LNK", "menu/Kept.LNK"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CXFileSystem::CreateShortcut(CXString(c.path), CXString("C:/app dir/prog")), kCXOK) << c.path;
        std::map<std::string, std::string> keys;
        ASSERT_EQ(Platform::ReadShortcut(Host(c.file), keys), 0) << c.file;
        std::vector<std::string> exec;
        ASSERT_TRUE(Platform::SplitExecLine(keys["Exec"], exec));
        ASSERT_EQ(exec.size(), 1u);
        EXPECT_EQ(exec[0], Host("app dir/prog")) << "the desktop entry launches the target's host path";
        EXPECT_EQ(keys["Path"], Host("app dir"));
        EXPECT_EQ(keys["Type"], "Application");
    }
}

TEST_F(CXFileSystemServicesTest, UserFolders)
{
    fs::create_directories(Host("tmp"));
    ScopedEnv temp("CX_FOLDER_TEMP", Host("tmp"));
    EXPECT_EQ(CXFileSystem::GetTempFolder(), "C:/tmp/");
    // A fresh account has no data home yet: it is made with the sub-folder.
    ScopedEnv appData("CX_FOLDER_LOCAL_APPDATA", Host("home/.local/share"));
    EXPECT_EQ(CXFileSystem::GetLocalAppDataFolder(CXString("bundle.id")), "C:/home/.local/share/bundle.id");
    EXPECT_TRUE(fs::is_directory(Host("home/.local/share/bundle.id")));
}

} // namespace

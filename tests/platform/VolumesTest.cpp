#include "platform/Volumes.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <map>

namespace {

using namespace Platform;

const char kMountInfo[] =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro\n"
    "23 22 0:5 / /proc rw,nosuid,nodev,noexec shared:5 - proc proc rw\n"
    "30 22 8:17 / /media/user/USB\\040STICK rw,nosuid shared:7 master:2 - vfat /dev/sdb1 rw,fmask=0022\n"
    "31 22 11:0 / /run/media/user/DISC ro,nosuid - ISO9660 /dev/sr0 ro\n"
    "32 22 0:40 / /home/user/tab\\011and\\134back rw - tmpfs tmp\\040fs rw\n"
    "33 22 8:33 / /mnt rw - ext4 /dev/disk/by-label/Backup\\x20Disk rw\n"
    "34 22 8:34 / /srv/cd rw - udf /dev/sr1 ro\n"
    "35 22 8:35 / /mediaplayer rw - ext4 /dev/sdc1 rw\n"
    "not a mount line\n"
    "36 22 8:36 / /nofs rw -\n"
    "37 22 8:37 / relative rw - ext4 /dev/sdd1 rw\n"
    "38 22 11:2 / /empty/cd ro - iso9660 /dev/sr2 ro\n"
    "39 30 0:41 / /media/user/USB\\040STICK rw - fuseblk /dev/sde1 rw\n"
    "40 22 8:38 / /data\\057x rw - xfs /dev/sdf1 rw"; // no newline at the end; "\057" is '/'

TEST(VolumesTest, ParsesMountInfo)
{
    std::vector<MountEntry> mounts = ParseMountInfo(kMountInfo);
    struct Expected {
        const char* mountPoint;
        const char* fileSystem;
        const char* source;
        bool readOnly;
        bool removable;
        const char* label;
    };
    const Expected expected[] = {
        {"/", "ext4", "/dev/sda1", false, false, ""},
        {"/proc", "proc", "proc", false, false, ""},
        {"/media/user/USB STICK", "vfat", "/dev/sdb1", false, true, ""},
        {"/run/media/user/DISC", "iso9660", "/dev/sr0", true, true, ""},
        {"/home/user/tab\tand\\back", "tmpfs", "tmp fs", false, false, ""},
        {"/mnt", "ext4", "/dev/disk/by-label/Backup\\x20Disk", false, true, "Backup Disk"},
        {"/srv/cd", "udf", "/dev/sr1", true, true, ""}, // read-only by the file system's options
        {"/mediaplayer", "ext4", "/dev/sdc1", false, false, ""},
        {"/empty/cd", "iso9660", "/dev/sr2", true, true, ""},
        {"/media/user/USB STICK", "fuseblk", "/dev/sde1", false, true, ""},
        {"/data/x", "xfs", "/dev/sdf1", false, false, ""},
    };
    ASSERT_EQ(mounts.size(), std::size(expected));
    for (size_t i = 0; i < mounts.size(); ++i) {
        const Expected& e = expected[i];
        EXPECT_EQ(mounts[i].mountPoint, e.mountPoint) << i;
        EXPECT_EQ(mounts[i].fileSystem, e.fileSystem) << i;
        EXPECT_EQ(mounts[i].source, e.source) << i;
        EXPECT_EQ(mounts[i].readOnly, e.readOnly) << i;
        EXPECT_EQ(IsRemovableMount(mounts[i]), e.removable) << i;
        EXPECT_EQ(MountLabel(mounts[i]), e.label) << i;
    }
    EXPECT_TRUE(ParseMountInfo("").empty());
    EXPECT_TRUE(ParseMountInfo("1 2 3 4 /cut").empty());
}

TEST(VolumesTest, VolumeRecords)
{
    std::map<std::string, uint64_t> sizes = {{"/", 1000}, {"/media/user/USB STICK", 64}, {"/run/media/user/DISC", 700},
                                              {"/mnt", 0}, {"/srv/cd", 5}};
    auto space = [&](const std::string& path, VolumeSpace& space) {
        auto found = sizes.find(path);
        if (found == sizes.end())
            return false;
        space.totalBytes = found->second;
        space.freeBytes = found->second / 4;
        space.availableBytes = found->second / 5;
        return true;
    };
    std::vector<VolumeInfo> volumes = VolumesFromMounts(ParseMountInfo(kMountInfo), space);
    std::vector<std::string> paths;
    for (const VolumeInfo& volume : volumes)
        paths.push_back(volume.mountPath);
    // /mnt and /empty/cd are removable with no size (no medium): left out. /proc and the others
    // whose size cannot be read keep their place with size 0.
    EXPECT_EQ(paths, (std::vector<std::string>{"/", "/proc/", "/media/user/USB STICK/", "/run/media/user/DISC/",
                                               "/home/user/tab\tand\\back/", "/srv/cd/", "/mediaplayer/",
                                               "/media/user/USB STICK/", "/data/x/"}));
    ASSERT_EQ(volumes.size(), 9u);
    EXPECT_EQ(volumes[0].totalBytes, 1000u);
    EXPECT_EQ(volumes[0].freeBytes, 250u);
    EXPECT_EQ(volumes[0].availableBytes, 200u);
    EXPECT_TRUE(volumes[0].writable);
    EXPECT_FALSE(volumes[0].removable);
    EXPECT_EQ(volumes[0].fileSystem, "ext4");
    EXPECT_EQ(volumes[1].totalBytes, 0u);
    EXPECT_EQ(volumes[3].fileSystem, "iso9660");
    EXPECT_FALSE(volumes[3].writable);
    EXPECT_TRUE(volumes[3].removable);
}

TEST(VolumesTest, FindsTheDeepestMountHoldingAPath)
{
    std::vector<VolumeInfo> volumes(6);
    const char* mounts[] = {"/", "/home/", "/home/user/data/", "/mnt/a/", "/mnt/ab/", ""};
    for (size_t i = 0; i < volumes.size(); ++i)
        volumes[i].mountPath = mounts[i];
    struct Case {
        const char* path;
        const char* mount;
    };
    const Case cases[] = {
        {"/etc/passwd", "/"},
        {"/", "/"},
        {"/home", "/home/"},
        {"/home/", "/home/"},
        {"/homes/x", "/"},
        {"/home/user/data/x/y", "/home/user/data/"},
        {"/home/user/database", "/home/"},
        {"/mnt/a/file", "/mnt/a/"},
        {"/mnt/ab/file", "/mnt/ab/"},
        {"/mnt/abc", "/"},
        {"relative/path", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindVolumeMountPath(volumes, c.path), c.mount) << c.path;
    EXPECT_EQ(FindVolumeMountPath({}, "/x"), "");
}

TEST(VolumesTest, LiveSystem)
{
    std::vector<VolumeInfo> volumes;
    ASSERT_EQ(ListVolumes(volumes), 0);
    ASSERT_FALSE(volumes.empty());
    ScratchFolder scratch;
    std::string mount = FindVolumeMountPath(volumes, scratch.Path());
    ASSERT_FALSE(mount.empty());
    EXPECT_EQ((scratch.Path() + "/").compare(0, mount.size(), mount), 0) << mount;
    uint64_t total = 0, free = 0;
    ASSERT_TRUE(QueryVolumeSpace(scratch.Path(), total, free));
    EXPECT_GT(total, 0u);
    EXPECT_LE(free, total);
    EXPECT_FALSE(QueryVolumeSpace(scratch / "missing", total, free));
    VolumeSpace space;
    ASSERT_TRUE(QueryVolumeSpace(scratch.Path(), space));
    EXPECT_LE(space.availableBytes, space.freeBytes);
}

} // namespace

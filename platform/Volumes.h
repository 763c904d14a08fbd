// The volume list from /proc/self/mountinfo and statvfs. Removable media are recognised by where
// they are mounted and by their file system only; no device is asked about hot-plugging or labels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

// One line of /proc/self/mountinfo.
struct MountEntry {
    std::string mountPoint; // host path, octal escapes decoded, as the kernel shows it
    std::string source;     // mount source, decoded ("/dev/sda1", "tmpfs", ...)
    std::string fileSystem; // file-system type, lower-case (ASCII)
    bool readOnly = false;  // "ro" among the mount's or the file system's options
};

// Parses mountinfo text. Octal escapes ("\040" for a space) are decoded; a line without the
// mountinfo layout (fields, the "-" separator, the file-system type) is skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// True for media mounts: a mount point at or below /media, /run/media or /mnt, or an iso9660 or
// udf file system.
bool IsRemovableMount(const MountEntry& mount);

// The volume label as far as the mount shows it: the last part of a source under
// "/dev/disk/by-label/" (udev's "\xNN" escapes decoded); empty for any other source.
std::string MountLabel(const MountEntry& mount);

struct VolumeInfo {
    std::string mountPath; // the mount point with a trailing '/' ("/", "/media/disc/")
    bool writable = false; // the mount is not read-only
    bool removable = false;
    std::string fileSystem; // lower-case
    std::string label;
    uint64_t totalBytes = 0; // f_blocks * f_frsize
    uint64_t freeBytes = 0;  // f_bfree * f_frsize: free on the volume, not what the caller may use
    // f_bavail * f_frsize: what an unprivileged process may use (the blocks kept for the
    // super-user left out).
    uint64_t availableBytes = 0;
};

// Total, free and available bytes of the file system holding path; false when they cannot be read.
struct VolumeSpace {
    uint64_t totalBytes = 0;
    uint64_t freeBytes = 0;
    uint64_t availableBytes = 0;
};
using VolumeSpaceQuery = std::function<bool(const std::string& path, VolumeSpace& space)>;
bool QueryVolumeSpace(const std::string& path, VolumeSpace& space);
bool QueryVolumeSpace(const std::string& path, uint64_t& totalBytes, uint64_t& freeBytes);

// One record per mount, in mountinfo order, with sizes from space (sizes stay 0 when it fails).
// Every file system is listed, pseudo ones too; a removable mount whose total size is 0 (a drive
// without a medium) is left out.
std::vector<VolumeInfo> VolumesFromMounts(const std::vector<MountEntry>& mounts,
                                          const VolumeSpaceQuery& space);

// The volumes of the running system. Returns 0 or the errno value of reading /proc/self/mountinfo.
int ListVolumes(std::vector<VolumeInfo>& volumes);

// The mount path of the volume holding an absolute host path: the longest mount point that is the
// path or one of its parent folders, compared by text on '/' boundaries ("/mnt/a" does not hold
// "/mnt/ab"); among equally long ones the later in the list (the mount on top) wins. Trailing '/'
// of the path are ignored. Empty for a relative path or when no volume holds it.
std::string FindVolumeMountPath(const std::vector<VolumeInfo>& volumes, std::string_view hostPath);

} // namespace Platform

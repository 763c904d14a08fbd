// The volume list from /proc/self/mountinfo and statvfs. Removable media are recognised by where
// they are mounted and by their file system only; no device is asked about hot-plugging or labels.
#include "platform/Volumes.h"

#include "platform/AtomicFile.h"

#include <cerrno>
#include <sys/statvfs.h>

namespace Platform {

namespace {

constexpr size_t kMaxMountInfoBytes = 16 * 1024 * 1024;

// Decodes the kernel's "\ooo" escapes (space, tab, newline and back-slash in mountinfo fields).
std::string DecodeOctal(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
            text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

int HexDigit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

bool HasOption(std::string_view options, std::string_view option)
{
    size_t start = 0;
    while (start <= options.size()) {
        size_t end = options.find(',', start);
        if (end == std::string_view::npos)
            end = options.size();
        if (options.substr(start, end - start) == option)
            return true;
        start = end + 1;
    }
    return false;
}

bool IsAtOrBelow(std::string_view path, std::string_view folder)
{
    return path.substr(0, folder.size()) == folder && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start < line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string_view::npos)
            end = line.size();
        if (end > start)
            fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

} // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text)
{
    std::vector<MountEntry> mounts;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::vector<std::string_view> fields = SplitFields(text.substr(start, end - start));
        start = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super-options
        size_t separator = 6;
        while (separator < fields.size() && fields[separator] != "-")
            ++separator;
        if (separator + 1 >= fields.size())
            continue;
        MountEntry mount;
        mount.mountPoint = DecodeOctal(fields[4]);
        if (mount.mountPoint.empty() || mount.mountPoint[0] != '/')
            continue;
        mount.fileSystem = DecodeOctal(fields[separator + 1]);
        for (char& c : mount.fileSystem)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        if (separator + 2 < fields.size())
            mount.source = DecodeOctal(fields[separator + 2]);
        mount.readOnly = HasOption(fields[5], "ro") ||
                         (separator + 3 < fields.size() && HasOption(fields[separator + 3], "ro"));
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

bool IsRemovableMount(const MountEntry& mount)
{
    return IsAtOrBelow(mount.mountPoint, "/media") || IsAtOrBelow(mount.mountPoint, "/run/media") ||
           IsAtOrBelow(mount.mountPoint, "/mnt") || mount.fileSystem == "iso9660" || mount.fileSystem == "udf";
}

std::string MountLabel(const MountEntry& mount)
{
    static constexpr std::string_view kByLabel = "/dev/disk/by-label/";
    std::string_view source = mount.source;
    if (source.substr(0, kByLabel.size()) != kByLabel)
        return std::string();
    source.remove_prefix(kByLabel.size());
    if (source.find('/') != std::string_view::npos)
        return std::string();
    std::string label;
    for (size_t i = 0; i < source.size(); ++i) {
        int high, low;
        if (source[i] == '\\' && i + 3 < source.size() && source[i + 1] == 'x' &&
            (high = HexDigit(source[i + 2])) >= 0 && (low = HexDigit(source[i + 3])) >= 0) {
            label += static_cast<char>(high * 16 + low);
            i += 3;
        } else {
            label += source[i];
        }
    }
    return label;
}

bool QueryVolumeSpace(const std::string& path, VolumeSpace& space)
{
    struct statvfs info;
    int result;
    do {
        result = statvfs(path.c_str(), &info);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        return false;
    space.totalBytes = static_cast<uint64_t>(info.f_blocks) * info.f_frsize;
    space.freeBytes = static_cast<uint64_t>(info.f_bfree) * info.f_frsize;
    space.availableBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    return true;
}

bool QueryVolumeSpace(const std::string& path, uint64_t& totalBytes, uint64_t& freeBytes)
{
    VolumeSpace space;
    if (!QueryVolumeSpace(path, space))
        return false;
    totalBytes = space.totalBytes;
    freeBytes = space.freeBytes;
    return true;
}

std::vector<VolumeInfo> VolumesFromMounts(const std::vector<MountEntry>& mounts, const VolumeSpaceQuery& space)
{
    std::vector<VolumeInfo> volumes;
    for (const MountEntry& mount : mounts) {
        VolumeInfo volume;
        volume.mountPath = mount.mountPoint == "/" ? mount.mountPoint : mount.mountPoint + "/";
        volume.writable = !mount.readOnly;
        volume.removable = IsRemovableMount(mount);
        volume.fileSystem = mount.fileSystem;
        volume.label = MountLabel(mount);
        VolumeSpace sizes;
        if (space(mount.mountPoint, sizes)) {
            volume.totalBytes = sizes.totalBytes;
            volume.freeBytes = sizes.freeBytes;
            volume.availableBytes = sizes.availableBytes;
        }
        if (volume.removable && volume.totalBytes == 0)
            continue;
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

int ListVolumes(std::vector<VolumeInfo>& volumes)
{
    volumes.clear();
    std::string text;
    int error = ReadWholeFile("/proc/self/mountinfo", kMaxMountInfoBytes, text);
    if (error == EFBIG)
        text.resize(text.rfind('\n') + 1); // a cut last line is not read as a shorter one
    else if (error != 0)
        return error;
    volumes = VolumesFromMounts(ParseMountInfo(text), [](const std::string& path, VolumeSpace& space) {
        return QueryVolumeSpace(path, space);
    });
    return 0;
}

std::string FindVolumeMountPath(const std::vector<VolumeInfo>& volumes, std::string_view hostPath)
{
    if (hostPath.empty() || hostPath[0] != '/')
        return std::string();
    while (hostPath.size() > 1 && hostPath.back() == '/')
        hostPath.remove_suffix(1);
    const VolumeInfo* best = nullptr;
    size_t bestLength = 0;
    for (const VolumeInfo& volume : volumes) {
        std::string_view mount = volume.mountPath;
        while (mount.size() > 1 && mount.back() == '/')
            mount.remove_suffix(1);
        if (mount.empty() || mount[0] != '/')
            continue;
        bool holds = mount == "/" || IsAtOrBelow(hostPath, mount);
        if (holds && (best == nullptr || mount.size() >= bestLength)) {
            best = &volume;
            bestLength = mount.size();
        }
    }
    return best != nullptr ? best->mountPath : std::string();
}

} // namespace Platform

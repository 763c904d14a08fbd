#include "patch/UninstallRecord.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "platform/AtomicFile.h"
#include "platform/DriveMap.h"
#include "platform/File.h"
#include "platform/KnownFolders.h"
#include "platform/Shortcut.h"
#include "streams/CXStream.h"
#include "streams/CXStreamMemory.h"

#include <algorithm>
#include <cerrno>

namespace {

// A record lists a handful of shortcuts; anything near this is not one of ours.
constexpr size_t kMaximumRecordBytes = 1024 * 1024;

std::string Host(const CXString& path)
{
    CXString native = CXFileSystem::ToNativePath(path);
    return std::string(native.c_str(), native.length());
}

// Reads the record file without following a link at its name. 0, or the errno value.
int ReadRecordBytes(const CXString& recordPath, std::string& bytes)
{
    std::string host = Host(recordPath);
    if (host.empty())
        return ENOENT;
    int fd;
    int error = Platform::OpenFile(host, Platform::kOpenRead | Platform::kOpenNoFollow | Platform::kOpenNonBlock, 0, fd);
    if (error != 0)
        return error;
    Platform::FileInfo info;
    error = Platform::StatFile(fd, info);
    if (error == 0 && !info.isFile)
        error = EINVAL;
    bytes.clear();
    while (error == 0) {
        char buffer[16384];
        size_t got = 0;
        error = Platform::ReadFile(fd, buffer, sizeof buffer, got);
        if (error != 0 || got == 0)
            break;
        if (bytes.size() + got > kMaximumRecordBytes)
            error = EFBIG;
        else
            bytes.append(buffer, got);
    }
    (void)Platform::CloseFile(fd);
    return error;
}

bool ParseRecord(const std::string& bytes, std::vector<CXString>& entries)
{
    entries.clear();
    CXStreamStaticBuffer stream;
    if (!stream.OpenReadOnly(bytes.data(), bytes.size()))
        return false;
    uint8_t version[4];
    if (stream.Read(version, 4) != 4 || (version[0] | version[1] | version[2] | version[3]) != 0)
        return false;
    for (;;) {
        CXString entry;
        ReadStringFromStream(stream, entry);
        if (stream.Failed())
            break;
        entries.push_back(entry);
    }
    return true;
}

// Host folder of a known folder, lexically normalised, without a trailing '/'; empty when unknown.
std::string KnownBase(const std::string& folder)
{
    if (folder.empty() || folder[0] != '/')
        return std::string();
    std::string base = Platform::LexicalHostPath(folder);
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base == "/" ? std::string() : base;
}

// True when something other than a folder is at the host path (a link counts as itself).
bool IsNotAFolder(const std::string& host)
{
    Platform::FileInfo info;
    return Platform::LinkStatPath(host, info) == 0 && !info.isDirectory;
}

} // namespace

CXString UninstallRecordPath(const CXString& targetPath)
{
    CXString path = targetPath;
    AppendPathComponent(path, kUninstallRecordName);
    NormalizePath(path);
    return path;
}

std::string FormatUninstallRecord(const std::vector<CXString>& entries)
{
    CXStreamDynamicBuffer stream;
    WriteUInt32BEToStream(stream, 0);
    for (const CXString& entry : entries)
        WriteStringToStream(stream, entry);
    std::string bytes(static_cast<size_t>(stream.GetSize()), '\0');
    stream.Seek(0, CXStream::kSeekSet);
    if (!bytes.empty())
        bytes.resize(static_cast<size_t>(stream.Read(bytes.data(), bytes.size())));
    return bytes;
}

bool ReadUninstallRecord(const CXString& recordPath, std::vector<CXString>& entries)
{
    entries.clear();
    std::string bytes;
    if (ReadRecordBytes(recordPath, bytes) != 0)
        return false;
    return ParseRecord(bytes, entries);
}

CXResultCode MergeUninstallRecord(const CXString& recordPath, const std::vector<CXString>& paths)
{
    std::string host = Host(recordPath);
    if (host.empty())
        return kCXNotFound;
    std::vector<CXString> entries;
    std::string bytes;
    int error = ReadRecordBytes(recordPath, bytes);
    if (error == 0) {
        if (!ParseRecord(bytes, entries)) {
            CXDebugLog("MergeUninstallRecord> '%s' is not a record this program writes; left alone", recordPath.c_str());
            return kCXNotSupported;
        }
    } else if (error != ENOENT) {
        CXDebugLog("MergeUninstallRecord> cannot read '%s' (error %d); left alone", recordPath.c_str(), error);
        return kCXAccessDenied;
    }
    size_t before = entries.size();
    for (const CXString& path : paths) {
        if (std::find(entries.begin(), entries.end(), path) == entries.end())
            entries.push_back(path);
    }
    if (error == 0 && entries.size() == before)
        return kCXOK;
    error = Platform::WriteFileAtomically(host, FormatUninstallRecord(entries), 0644);
    if (error != 0) {
        CXDebugLog("MergeUninstallRecord> cannot write '%s' (error %d)", recordPath.c_str(), error);
        return kCXAccessDenied;
    }
    return kCXOK;
}

bool IsRemovableShortcutEntry(const CXString& entry, CXString& removable)
{
    removable.Clear();
    CXString path = entry;
    NormalizePath(path);
    if (!IsAbsolutePath(path) || !IsShortcutPath(path))
        return false;
    std::string host = Host(path);
    if (host.empty() || host[0] != '/')
        return false;
    host = Platform::LexicalHostPath(host);
    for (const std::string& folder : {Platform::ProgramsFolder(), Platform::DesktopFolder()}) {
        std::string base = KnownBase(folder);
        if (base.empty() || host.size() <= base.size() + 1 || host.compare(0, base.size(), base) != 0 ||
            host[base.size()] != '/')
            continue;
        // Every folder between the known folder and the entry must be a real folder: a link
        // there could lead the deletion anywhere.
        bool plain = true;
        for (size_t slash = host.find('/', base.size() + 1); plain && slash != std::string::npos;
             slash = host.find('/', slash + 1)) {
            Platform::FileInfo info;
            plain = Platform::LinkStatPath(host.substr(0, slash), info) == 0 && info.isDirectory && !info.isLink;
        }
        if (plain && (IsNotAFolder(Platform::ShortcutFilePath(host)) || IsNotAFolder(host))) {
            removable = path;
            return true;
        }
    }
    return false;
}

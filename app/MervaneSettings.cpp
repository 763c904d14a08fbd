#include "app/MervaneSettings.h"

#include "datanode/DNMemoryValue.h"
#include "datanode/DNRawData.h"
#include "datanode/TextConfig.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "platform/File.h"
#include "platform/KnownFolders.h"
#include "streams/CXStreamBase64.h"
#include "streams/CXStreamMemory.h"

#include <cerrno>
#include <string>
#include <string_view>

namespace {

constexpr uint32_t kWrittenVersion = 1;

CXString BufferContents(CXStreamDynamicBuffer& buffer)
{
    uint64_t size = buffer.GetSize();
    buffer.Seek(0, CXStream::kSeekSet);
    std::string bytes(size, '\0');
    if (buffer.Read(bytes.data(), size) != size)
        return CXString();
    return CXString(bytes.data(), bytes.size());
}

// The folder of the settings file as a program path; empty when not known.
CXString SettingsFolder(const CXString& bundleId)
{
    std::string host = Platform::LocalAppDataFolder();
    if (host.empty())
        return CXString();
    CXString folder = CXFileSystem::FromNativePath(CXStringArgument(host.data(), host.size()));
    if (folder.IsEmpty())
        return CXString();
    if (!bundleId.IsEmpty())
        AppendPathComponent(folder, bundleId);
    return folder;
}

// True when the text holds anything but blanks and ';' comment lines.
bool HoldsItems(std::string_view text)
{
    size_t pos = 0;
    while (pos < text.size()) {
        char c = text[pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++pos;
        } else if (c == ';') {
            while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n')
                ++pos;
        } else {
            return true;
        }
    }
    return false;
}

// Reads the settings file into a new folder. A missing file gives an empty folder and OK; a file
// that cannot be read whole, or whose text holds items of which none could be parsed, gives the
// failure (the folder then must not be written back: it would wipe the other targets' entries).
CXResultCode ReadSettingsFile(const CXString& file, DNValueRef& root)
{
    root = DNAdopt<DNValue>(new DNMemoryValue);
    CXString host = CXFileSystem::ToNativePath(file);
    if (host.IsEmpty())
        return kCXNotFound;
    std::string text;
    int error = Platform::ReadWholeFile(std::string(host.c_str(), host.length()), TextConfig::kMaximumInputSize, text);
    if (error == ENOENT)
        return kCXOK;
    if (error != 0) {
        CXResultCode result = error == EFBIG ? kCXBadFormat : CXResultCode::FromPosixErr(error);
        return result != kCXOK ? result : kCXSystemError;
    }
    TextConfig::ParseText(root, text.data(), text.size());
    if (root->Count() == 0 && HoldsItems(text))
        return kCXBadFormat;
    return kCXOK;
}

} // namespace

CXString PatchSettingsEntryKey(const CXString& targetPath)
{
    CXString key = targetPath;
    NormalizePath(key);
    StripTrailingSlashes(key);
    key.MakeLower();
    return key;
}

CXString PatchSettingsFilePath(const CXString& bundleId)
{
    CXString file = SettingsFolder(bundleId);
    if (!file.IsEmpty())
        AppendPathComponent(file, kPatchSettingsFileName);
    return file;
}

CXString EncodePatchSettingsValue(const PatchSettings& settings)
{
    CXStreamDynamicBuffer body;
    WriteStringToStream(body, settings.userName);
    WriteStringToStream(body, settings.password);
    WriteStringToStream(body, settings.streamId);
    WriteStringToStream(body, settings.streamName);
    WriteStringToStream(body, settings.patchControlFileURL);
    WriteStringToStream(body, settings.patchDataFileURL);
    if (body.Failed())
        return CXString();
    body.Seek(0, CXStream::kSeekSet);

    CXStreamDynamicBuffer value;
    WriteUInt32BEToStream(value, kWrittenVersion);
    if (Base64EncodeStream(value, body) != kCXOK || value.Failed())
        return CXString();
    return BufferContents(value);
}

bool DecodePatchSettingsValue(const CXString& value, PatchSettings& settings)
{
    CXStreamStaticBuffer source;
    if (!source.OpenReadOnly(value))
        return false;
    uint32_t version = 0;
    if (value.length() >= 4)
        version = ReadUInt32BEFromStream(source);
    else
        source.Seek(0, CXStream::kSeekEnd);
    if (version > kWrittenVersion)
        return false;

    CXStreamDynamicBuffer body;
    if (Base64DecodeStream(body, source) != kCXOK)
        return false;
    body.Seek(0, CXStream::kSeekSet);
    PatchSettings decoded;
    ReadStringFromStream(body, decoded.userName);
    ReadStringFromStream(body, decoded.password);
    ReadStringFromStream(body, decoded.streamId);
    ReadStringFromStream(body, decoded.streamName);
    if (version >= 1) {
        ReadStringFromStream(body, decoded.patchControlFileURL);
        ReadStringFromStream(body, decoded.patchDataFileURL);
    }
    decoded.streams = settings.streams;
    settings = decoded;
    return true;
}

CXResultCode LoadPatchSettings(PatchSettings& settings, const CXString& bundleId, const CXString& targetPath)
{
    settings = PatchSettings();
    if (targetPath.IsEmpty())
        return kCXOK;
    CXString file = PatchSettingsFilePath(bundleId);
    if (file.IsEmpty())
        return kCXOK;
    (void)CXFileSystem::RecoverSafeReplace(file);

    DNValueRef root;
    CXResultCode result = ReadSettingsFile(file, root);
    if (result != kCXOK) {
        CXDebugLog("LoadPatchSettings> cannot read '%s' (%d)", file.c_str(), static_cast<int>(result));
        return result;
    }
    CXString value = root->Find(DNRawData::FromString(PatchSettingsEntryKey(targetPath)))->GetValue()->GetString();
    if (value.IsEmpty())
        return kCXOK;
    PatchSettings loaded;
    if (DecodePatchSettingsValue(value, loaded))
        settings = loaded;
    return kCXOK;
}

CXResultCode SavePatchSettings(const PatchSettings& settings, const CXString& bundleId, const CXString& targetPath)
{
    CXString value = EncodePatchSettingsValue(settings);
    if (value.IsEmpty())
        return kCXFailed;
    CXString folder = SettingsFolder(bundleId);
    if (folder.IsEmpty())
        return kCXNotFound;
    CXString hostFolder = CXFileSystem::ToNativePath(folder);
    if (hostFolder.IsEmpty())
        return kCXNotFound;

    // Elevated for a user, everything made here is that user's: a file or folder left to root
    // would lock the user out of every later save.
    Platform::InvokingUser user;
    bool forUser = Platform::PkexecInvokingUser(user);
    std::string hostFolderText(hostFolder.c_str(), hostFolder.length());
    int error = forUser ? Platform::MakeDirectoryPathOwnedBy(hostFolderText, 0700, user.uid, user.gid)
                        : Platform::MakeDirectoryPath(hostFolderText, 0700);
    if (error != 0) {
        CXResultCode code = CXResultCode::FromPosixErr(error);
        CXDebugLog("SavePatchSettings> cannot make '%s' (%d)", folder.c_str(), static_cast<int>(code));
        return code;
    }

    CXString file = folder;
    AppendPathComponent(file, kPatchSettingsFileName);
    (void)CXFileSystem::RecoverSafeReplace(file);
    DNValueRef root;
    CXResultCode result = ReadSettingsFile(file, root);
    if (result != kCXOK) {
        CXDebugLog("SavePatchSettings> cannot read '%s' (%d): left unchanged", file.c_str(), static_cast<int>(result));
        return result;
    }
    root->SetChildData(DNRawData::FromString(PatchSettingsEntryKey(targetPath)), DNRawData::FromString(value));

    CXStreamDynamicBuffer text;
    result = TextConfig::Write(root.get(), text, 0);
    if (result != kCXOK)
        return result;
    CXString bytes = BufferContents(text);
    CXString hostFile = CXFileSystem::ToNativePath(file);
    error = Platform::WriteFileAtomically(std::string(hostFile.c_str(), hostFile.length()),
                                          std::string_view(bytes.c_str(), bytes.length()), 0600,
                                          forUser ? static_cast<long long>(user.uid) : -1,
                                          forUser ? static_cast<long long>(user.gid) : -1);
    if (error != 0) {
        CXResultCode code = CXResultCode::FromPosixErr(error);
        CXDebugLog("SavePatchSettings> cannot write '%s' (%d)", file.c_str(), static_cast<int>(code));
        return code;
    }
    return kCXOK;
}

bool ParseSettingsOverride(PatchSettings& settings, const CXStringArgument& value)
{
    CXStreamStaticBuffer source;
    if (!source.OpenReadOnly(value.data(), value.length()))
        return false;
    CXStreamDynamicBuffer decoded;
    if (Base64DecodeStream(decoded, source) != kCXOK)
        return false;
    CXString text = BufferContents(decoded);
    DNValueRef root = DNAdopt<DNValue>(new DNMemoryValue);
    TextConfig::ParseText(root, text.c_str(), text.length());
    struct Field {
        const char* key;
        CXString PatchSettings::*field;
    };
    const Field fields[] = {{"username", &PatchSettings::userName},
                            {"password", &PatchSettings::password},
                            {"stream-id", &PatchSettings::streamId}};
    for (const Field& field : fields) {
        DNIteratorRef entry = root->Find(DNRawData(field.key));
        if (!entry->AtEnd())
            settings.*field.field = entry->GetValue()->GetString();
    }
    return true;
}

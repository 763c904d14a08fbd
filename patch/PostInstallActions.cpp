#include "patch/PostInstallActions.h"

#include "datanode/DNRawData.h"
#include "datanode/TextConfig.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileFind.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMD5.h"
#include "foundation/CXPath.h"
#include "foundation/CXTextParsing.h"
#include "platform/Environment.h"
#include "platform/File.h"
#include "streams/CXStreamFile.h"

#include <string>

namespace {

std::string Text(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

CXString UpperAscii(const CXString& text)
{
    std::string upper = Text(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return CXString(upper.data(), upper.size());
}

CXString ChildString(DNValue* folder, const char* key)
{
    return folder->Find(DNRawData(key))->GetValue()->GetString(CXString());
}

// Expands the references of one field of a registry edit; false (logged) when the text is
// malformed, so a broken reference is never written as an empty text.
bool ExpandField(const CXString& text, const std::map<CXString, CXString>& variables, const char* field, CXString& expanded)
{
    if (ExpandVariableReferences(text, variables, expanded) == kCXOK)
        return true;
    CXDebugLog("ApplyRegistryEdits> skipped an edit: its %s '%s' does not expand", field, text.c_str());
    return false;
}

// The folders one and two levels below the measured one are logged.
thread_local int gFolderSizeNesting = 0;

} // namespace

DNValueRef PostInstallValues::GetRegistryEdits()
{
    return registryEdits.get() != nullptr ? registryEdits : DNValue::GetNull();
}

void PostInstallValues::ReadConfiguration(DNValue* config)
{
    if (config == nullptr)
        return;
    anchorFile = ChildString(config, "patch-anchor-file");
    installationId = ChildString(config, "installation-id");
    startMenuFolder = ChildString(config, "start-menu-shortcut-folder");
    shortcutFilename = ChildString(config, "shortcut-filename");
    registryEdits = config->Find(DNRawData("registry-edits"))->GetValue();
}

bool PostInstallValues::ReadConfigurationFile(const CXString& path)
{
    CXStreamFile file;
    if (!file.Open(path, CXStreamFile::kModeRead))
        return false;
    DNValueRef config = TextConfig::Read(file);
    (void)file.Close();
    ReadConfiguration(config.get());
    return true;
}

bool RegistryEditRoot(const CXString& text, Platform::RegistryHive& hive)
{
    struct Root {
        const char* name;
        Platform::RegistryHive hive;
    };
    static const Root kRoots[] = {
        {"HKCR", Platform::kRegistryClassesRoot}, {"HKCC", Platform::kRegistryCurrentConfig},
        {"HKCU", Platform::kRegistryCurrentUser}, {"HKLM", Platform::kRegistryLocalMachine},
        {"HKU", Platform::kRegistryUsers},
    };
    CXString upper = UpperAscii(text);
    for (const Root& root : kRoots) {
        if (upper == root.name) {
            hive = root.hive;
            return true;
        }
    }
    return false;
}

bool ParseRegistryDword(const CXString& text, uint32_t& value)
{
    std::string digits = Text(text);
    bool negative = !digits.empty() && digits[0] == '-';
    if (negative)
        digits.erase(0, 1);
    if (digits.empty())
        return false;
    uint64_t number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
        if (number > 0xFFFFFFFFull)
            return false;
    }
    if (negative && number > 0x80000000ull)
        return false;
    value = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(number)) : static_cast<uint32_t>(number);
    return true;
}

CXString MakeTargetPathKey(const CXString& installationId, const CXString& targetPath)
{
    CXString safe = MakeSafeFileName(targetPath.c_str());
    return CXString::FromFormat("%s-%s", installationId.c_str(), MD5HexDigest(CXStringArgument(safe)).c_str());
}

std::map<CXString, CXString> MakeRegistryEditVariables(PostInstallSource& source)
{
    CXString target = source.GetTargetPath();
    CXString anchor = target;
    AppendPathComponent(anchor, source.GetPatchAnchorFile());
    std::map<CXString, CXString> variables;
    variables[CXString("TARGETPATH")] = CXFileSystem::ToNativePath(target);
    variables[CXString("ANCHORPATH")] = CXFileSystem::ToNativePath(anchor);
    variables[CXString("TARGETPATHKEY")] = MakeTargetPathKey(source.GetInstallationId(), target);
    unsigned long long kib = GetFolderSize(target) / 1024;
    variables[CXString("INSTALLSIZE")] = CXString::FromFormat("%llu", kib);
    return variables;
}

void ApplyRegistryEdits(PostInstallSource& source)
{
    DNValueRef edits = source.GetRegistryEdits();
    if (edits->Count() == 0)
        return;
    const std::map<CXString, CXString> variables = MakeRegistryEditVariables(source);
    const bool uninstall = source.IsUninstallMode();
    for (DNIteratorRef it = edits->First(); !it->AtEnd(); it->Next()) {
        DNValueRef edit = it->GetValue();
        CXString rootText = ChildString(edit.get(), "root");
        Platform::RegistryHive hive;
        if (!RegistryEditRoot(rootText, hive)) {
            CXDebugLog("ApplyRegistryEdits> skipped an edit with the root '%s'", rootText.c_str());
            continue;
        }
        CXString path;
        if (!ExpandField(ChildString(edit.get(), "path"), variables, "path", path))
            continue;
        CXString type = uninstall ? CXString("DELETE") : UpperAscii(ChildString(edit.get(), "type"));
        if (type.IsEmpty())
            continue;
        if (type == "DELETE") {
            // A key that still has subkeys stays.
            (void)Platform::DeleteRegistryKey(hive, Text(path));
            continue;
        }
        bool isString = type == "STRING";
        if (!isString && !(type == "DWORD")) {
            CXDebugLog("ApplyRegistryEdits> skipped an edit of the type '%s'", type.c_str());
            continue;
        }
        CXString value, name;
        if (!ExpandField(ChildString(edit.get(), "value"), variables, "value", value) ||
            !ExpandField(ChildString(edit.get(), "name"), variables, "name", name))
            continue;
        Platform::RegistryValue data;
        if (isString) {
            data = Platform::RegistryValue::String(Text(value));
        } else {
            uint32_t number;
            if (!ParseRegistryDword(value, number)) {
                CXDebugLog("ApplyRegistryEdits> skipped the DWORD '%s' of '%s': '%s' is not a 32-bit number", name.c_str(),
                           path.c_str(), value.c_str());
                continue;
            }
            data = Platform::RegistryValue::Dword(number);
        }
        int error = Platform::CreateRegistryKey(hive, Text(path));
        if (error == 0)
            error = Platform::SetRegistryValue(hive, Text(path), Text(name), data);
        if (error != 0)
            CXDebugLog("ApplyRegistryEdits> could not write '%s' of '%s' (error %d)", name.c_str(), path.c_str(), error);
    }
}

bool CreateFolderPath(const CXString& path, bool giveToInvokingUser)
{
    if (CXFileSystem::Exists(path))
        return true;
    CXString native = CXFileSystem::ToNativePath(path);
    if (native.IsEmpty())
        return false;
    Platform::InvokingUser user;
    int error = giveToInvokingUser && Platform::PkexecInvokingUser(user)
                    ? Platform::MakeDirectoryPathOwnedBy(Text(native), 0755, user.uid, user.gid)
                    : Platform::MakeDirectoryPath(Text(native), 0755);
    return error == 0;
}

uint64_t GetFolderSize(const CXString& folder)
{
    ++gFolderSizeNesting;
    uint64_t total = 0;
    CXFileFind find;
    if (find.Open(folder) == kCXOK) {
        for (; find.IsOpen(); find.FindNext()) {
            if (!find.IsFileADirectory()) {
                total += find.GetFileSize();
                continue;
            }
            CXString child = find.GetFilePath();
            uint64_t size = GetFolderSize(child);
            total += size;
            if (gFolderSizeNesting <= 2)
                CXDebugLog("GetFolderSize> %s  %llu", child.c_str(), static_cast<unsigned long long>(size));
        }
    }
    --gFolderSizeNesting;
    return total;
}

void RunPostInstallActions(PostInstallSource& source)
{
    ApplyRegistryEdits(source);
    CreateShortcuts(source);
}

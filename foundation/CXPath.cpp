#include "foundation/CXPath.h"

#include "foundation/CXFileSystem.h"
#include "foundation/CXPercentEncoding.h"
#include "platform/Environment.h"

#include <cstring>

namespace {

// The last separator: scanning from the last character down to the second for '/', else the
// first character when it is '/'. -1 when there is none.
int64_t LastSeparator(const CXString& path)
{
    const char* text = path.c_str();
    size_t length = path.length();
    if (length == 0)
        return -1;
    for (size_t i = length - 1; i >= 1; --i)
        if (text[i] == '/')
            return static_cast<int64_t>(i);
    return text[0] == '/' ? 0 : -1;
}

// The extension dot of the leaf: scanning from the last character down to the second for '.' or
// '/', stopping at the first. A dot right after a '/' starts a hidden name, not an extension.
// When allowFirst is set, a '.' at index 0 that the scan runs down to counts too. -1 when none.
int64_t ExtensionDot(const CXString& path, bool allowFirst)
{
    const char* text = path.c_str();
    size_t length = path.length();
    if (length == 0)
        return -1;
    for (size_t i = length - 1; i >= 1; --i) {
        if (text[i] == '/')
            return -1;
        if (text[i] == '.')
            return text[i - 1] == '/' ? -1 : static_cast<int64_t>(i);
    }
    return allowFirst && text[0] == '.' ? 0 : -1;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

} // namespace

void AppendPathComponent(CXString& path, const CXStringArgument& component)
{
    CXStringEdit edit(path);
    if (edit.AppendPathComponent(component))
        path = edit;
}

CXString GetPathLeafName(const CXString& path)
{
    int64_t separator = LastSeparator(path);
    if (separator < 0)
        return path;
    return path.SubstringAfter(separator);
}

CXString SplitPathLeafName(CXString& path)
{
    int64_t separator = LastSeparator(path);
    CXString leaf = separator < 0 ? path : path.SubstringAfter(separator);
    CXString parent = path.Left(separator + 1);
    if (!parent.IsEmpty() && !IsRootPath(parent))
        parent = parent.Left(static_cast<int64_t>(parent.length()) - 1);
    path = parent;
    return leaf;
}

CXString GetParentPath(const CXString& path)
{
    int64_t separator = LastSeparator(path);
    if (separator < 0)
        return CXString();
    return path.Left(separator == 0 ? 1 : separator);
}

void SetPathExtension(CXString& path, const char* extension)
{
    int64_t dot = ExtensionDot(path, true);
    CXStringEdit edit(path);
    if (dot >= 0)
        edit.SetLength(static_cast<size_t>(dot));
    if (extension != nullptr && extension[0] == '.')
        ++extension;
    if (extension != nullptr && extension[0] != 0 && !edit.AppendFormat(".%s", extension))
        return;
    path = edit;
}

CXString GetPathExtension(const CXString& path)
{
    int64_t dot = ExtensionDot(path, false);
    if (dot < 0)
        return CXString();
    CXString extension = path.SubstringAfter(dot);
    extension.MakeLower();
    return extension;
}

bool IsShortcutPath(const CXString& path)
{
    size_t length = path.length();
    if (length < 4)
        return false;
    const char* end = path.c_str() + length - 4;
    return end[0] == '.' && LowerAscii(end[1]) == 'l' && LowerAscii(end[2]) == 'n' && LowerAscii(end[3]) == 'k';
}

bool IsAbsolutePath(const CXString& path)
{
    return CXStringEdit(path).IsAbsolutePath();
}

bool IsRootPath(const CXString& path)
{
    return CXStringEdit(path).IsRootPath();
}

void StripTrailingSlashes(CXString& path)
{
    size_t length = path.length();
    size_t kept = length;
    while (kept != 0 && path.c_str()[kept - 1] == '/')
        --kept;
    if (kept != length)
        path = path.Left(static_cast<int64_t>(kept));
}

void NormalizePath(CXString& path)
{
    CXStringEdit edit(path);
    edit.NormalizePathInPlace();
    if (!(edit == CXStringArgument(path)))
        path = edit;
}

CXString GetRelativePath(const CXString& path, const CXString& base)
{
    if (path.IsEmpty())
        return CXString();
    CXStringEdit prefix(base);
    if (!prefix.AppendPathComponent(CXStringArgument()))
        return CXString();
    if (path.length() < prefix.length() || std::memcmp(path.c_str(), prefix.data(), prefix.length()) != 0)
        return CXString();
    return path.Substring(prefix.length(), path.length());
}

bool IsPathInsideFolder(const CXString& path, const CXString& folder)
{
    if (path.IsEmpty())
        return false;
    size_t n = folder.length();
    if (n != 0 && folder.c_str()[n - 1] == '/')
        --n;
    return path.length() > n + 1 && path.c_str()[n] == '/' && std::memcmp(path.c_str(), folder.c_str(), n) == 0;
}

CXString PathToFileURL(const CXString& path)
{
    if (!IsAbsolutePath(path))
        return CXString();
    CXString encoded = CXPercentEncode(path, "/");
    if (path.c_str()[0] == '/')
        return CXString::FromFormat("file:%s", encoded.c_str());
    return CXString::FromFormat("file:///%s", encoded.c_str());
}

bool IsReservedDeviceName(const CXStringEditBase& name)
{
    const char* text = name.data();
    size_t length = name.length();
    size_t candidate;
    if ((length > 3 && text[3] == '.') || length == 3)
        candidate = 3;
    else if ((length > 4 && text[4] == '.') || length == 4)
        candidate = 4;
    else
        return false;
    char upper[5] = {};
    for (size_t i = 0; i < candidate; ++i)
        upper[i] = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 32) : text[i];
    if (candidate == 3)
        return std::strcmp(upper, "CON") == 0 || std::strcmp(upper, "PRN") == 0 || std::strcmp(upper, "AUX") == 0 || std::strcmp(upper, "NUL") == 0;
    bool prefix = std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0;
    return prefix && upper[3] >= '1' && upper[3] <= '9';
}

CXString MakeSafeFileName(const char* text)
{
    CXStringEdit name;
    for (const char* p = text != nullptr ? text : ""; *p != 0; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        bool replace = c < 0x20 || c > 0x7E || std::strchr("/:\\*<>?|\"", c) != nullptr || (c == '.' && name.IsEmpty());
        if (!name.AppendCharacter(replace ? '_' : static_cast<char>(c)))
            return CXString("Untitled");
    }
    if (name.IsEmpty())
        return CXString("Untitled");
    if (name.length() >= 3 && IsReservedDeviceName(name))
        name.Replace(0, 0, "_");
    if (name.data()[name.length() - 1] == '.')
        (void)name.AppendCharacter('_');
    return CXString(name);
}

namespace {

struct BuildFolderSuffix {
    const char* suffix;
    int partsRemoved;
};

const BuildFolderSuffix kBuildFolderSuffixes[] = {
    {"build/msvs-win32-x86/Debug", 3},
    {"build/msvs-win32-x86/Release", 3},
    {"build/msvs/Debug", 3},
    {"build/msvs/Release", 3},
    {"build/msvs/build/x64/Debug", 5},
    {"build/msvs/build/x64/Final", 5},
};

bool EndsWithNoCase(const CXString& text, const char* suffix)
{
    size_t n = std::strlen(suffix);
    if (text.length() < n)
        return false;
    return CXStringArgument(text.c_str() + text.length() - n, n).CompareNoCase(CXStringArgument(suffix, n)) == 0;
}

} // namespace

CXString GetApplicationFolder()
{
    std::string overrideFolder = Platform::GetEnv("CX_APP_FOLDER");
    if (!overrideFolder.empty()) {
        CXString folder = CXFileSystem::FromNativePath(CXStringArgument(overrideFolder.data(), overrideFolder.size()));
        if (!IsRootPath(folder))
            StripTrailingSlashes(folder);
        return folder;
    }
    return GetApplicationFolderOf(CXFileSystem::GetExecutablePath());
}

CXString GetApplicationFolderOf(const CXString& executablePath)
{
    CXString folder = executablePath;
    (void)SplitPathLeafName(folder);
    for (const BuildFolderSuffix& s : kBuildFolderSuffixes) {
        if (EndsWithNoCase(folder, s.suffix)) {
            for (int i = 0; i < s.partsRemoved; ++i)
                (void)SplitPathLeafName(folder);
            break;
        }
    }
    return folder;
}

CXString GetDataFolderFilepath(const char* name)
{
    CXString path = GetApplicationFolder();
    AppendPathComponent(path, "data");
    if (name != nullptr && name[0] != '\0')
        AppendPathComponent(path, name);
    return path;
}

CXResultCode SetApplicationFolderCurrent()
{
    return CXFileSystem::SetCurrentDirectory(GetApplicationFolder());
}

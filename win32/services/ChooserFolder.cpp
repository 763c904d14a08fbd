// What the built-in file chooser shows of a folder (see ChooserFolder.h).

#include "win32/services/ChooserFolder.h"

#include "platform/Environment.h"
#include "platform/File.h"

#include <algorithm>
#include <cstdint>

namespace win32::services {

namespace {

char Folded(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Glob match of bytes: '*' any run, '?' one byte, letters without ASCII case.
bool GlobMatches(const std::string& pattern, const std::string& name)
{
    size_t p = 0;
    size_t n = 0;
    size_t starAt = std::string::npos;
    size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Folded(pattern[p]) == Folded(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string Trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool NameBefore(const ChooserEntry& a, const ChooserEntry& b)
{
    auto folded = [](char x, char y) { return Folded(x) < Folded(y); };
    if (std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), folded))
        return true;
    if (std::lexicographical_compare(b.name.begin(), b.name.end(), a.name.begin(), a.name.end(), folded))
        return false;
    return a.name < b.name;
}

void AppendUTF16(std::u16string& out, uint32_t codePoint)
{
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
    } else {
        codePoint -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
    }
}

// The length of the valid UTF-8 sequence at bytes[i] and its code point; 0 when none starts there.
size_t DecodeUTF8(const std::string& bytes, size_t i, uint32_t& codePoint)
{
    auto byte = [&](size_t k) { return static_cast<uint8_t>(bytes[k]); };
    uint8_t lead = byte(i);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > bytes.size())
        return 0;
    uint32_t value = lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    codePoint = value;
    return length;
}

void AppendUTF8(std::string& out, uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

} // namespace

bool MatchesPatterns(const std::string& name, const std::string& patterns)
{
    bool anyPattern = false;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos)
            end = patterns.size();
        std::string pattern = Trimmed(patterns.substr(start, end - start));
        if (!pattern.empty()) {
            anyPattern = true;
            if (GlobMatches(pattern, name))
                return true;
        }
        start = end + 1;
    }
    return !anyPattern;
}

int ReadChooserFolder(const std::string& folder, const std::string& patterns, bool foldersOnly,
                      std::vector<ChooserEntry>& entries)
{
    entries.clear();
    std::vector<Platform::DirectoryEntry> listed;
    if (int error = Platform::ListDirectory(folder, listed); error != 0)
        return error;
    std::vector<ChooserEntry> folders;
    std::vector<ChooserEntry> files;
    for (const Platform::DirectoryEntry& entry : listed) {
        bool isFolder = entry.isDirectory;
        if (entry.isLink) {
            Platform::FileInfo target;
            if (Platform::StatPath(JoinHostPath(folder, entry.name), target) != 0)
                continue;
            isFolder = target.isDirectory;
        }
        if (isFolder)
            folders.push_back({entry.name, true});
        else if (!foldersOnly && MatchesPatterns(entry.name, patterns))
            files.push_back({entry.name, false});
    }
    std::sort(folders.begin(), folders.end(), NameBefore);
    std::sort(files.begin(), files.end(), NameBefore);
    if (folder != "/")
        entries.push_back({"..", true});
    entries.insert(entries.end(), folders.begin(), folders.end());
    entries.insert(entries.end(), files.begin(), files.end());
    return 0;
}

std::string JoinHostPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string ParentHostPath(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string ResolveHostPath(const std::string& folder, const std::string& typed)
{
    std::string joined = !typed.empty() && typed[0] == '/' ? typed : folder + "/" + typed;
    std::vector<std::string> steps;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos)
            end = joined.size();
        std::string step = joined.substr(start, end - start);
        if (step == "..") {
            if (!steps.empty())
                steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
        start = end + 1;
    }
    std::string path;
    for (const std::string& step : steps)
        path += "/" + step;
    return path.empty() ? "/" : path;
}

bool IsHostFolder(const std::string& path)
{
    Platform::FileInfo info;
    return Platform::StatPath(path, info) == 0 && info.isDirectory;
}

bool IsHostFile(const std::string& path)
{
    Platform::FileInfo info;
    return Platform::StatPath(path, info) == 0 && !info.isDirectory;
}

std::string StartingFolder(const std::string& startFolder)
{
    if (!startFolder.empty() && startFolder[0] == '/') {
        std::string folder = ResolveHostPath("/", startFolder);
        while (folder != "/" && !IsHostFolder(folder))
            folder = ParentHostPath(folder);
        return folder;
    }
    std::string home = Platform::UserHome();
    if (!home.empty() && home[0] == '/' && IsHostFolder(home))
        return ResolveHostPath("/", home);
    return "/";
}

std::u16string DisplayText(const std::string& bytes)
{
    std::u16string text;
    for (size_t i = 0; i < bytes.size();) {
        uint32_t codePoint = 0;
        size_t length = DecodeUTF8(bytes, i, codePoint);
        AppendUTF16(text, length != 0 ? codePoint : 0xFFFD);
        i += length != 0 ? length : 1;
    }
    return text;
}

std::string HostBytes(const std::u16string& text)
{
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUTF8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            AppendUTF8(bytes, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
        }
    }
    return bytes;
}

} // namespace win32::services

// The user's Start-menu programs, desktop, local application data and temporary folders, found by
// the XDG conventions. No folder is created, and no shell or desktop-environment setting is read.
#include "platform/KnownFolders.h"

#include "platform/AtomicFile.h"
#include "platform/Environment.h"

namespace Platform {

namespace {

constexpr size_t kMaxUserDirsBytes = 64 * 1024;

std::string TrimTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The override variable's folder when it is absolute, else empty.
std::string Override(const char* name)
{
    std::string value = GetEnv(name);
    return !value.empty() && value[0] == '/' ? TrimTrailingSlashes(value) : std::string();
}

std::string Below(const std::string& folder, const char* leaf)
{
    if (folder.empty())
        return std::string();
    return (folder == "/" ? std::string() : folder) + "/" + leaf;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// One line of user-dirs.dirs; false when it does not assign key a valid value.
bool ParseUserDirLine(std::string_view line, std::string_view key, const std::string& home, std::string& folder)
{
    size_t p = 0;
    while (p < line.size() && IsBlank(line[p]))
        ++p;
    if (line.substr(p, key.size()) != key)
        return false;
    p += key.size();
    while (p < line.size() && IsBlank(line[p]))
        ++p;
    if (p >= line.size() || line[p] != '=')
        return false;
    ++p;
    while (p < line.size() && IsBlank(line[p]))
        ++p;
    if (p >= line.size() || line[p] != '"')
        return false;
    ++p;
    bool relative = false;
    if (line.substr(p, 5) == "$HOME") {
        p += 5;
        if (p < line.size() && line[p] == '/')
            ++p;
        else if (p >= line.size() || line[p] != '"')
            return false; // "$HOMEfoo" is not a folder below home
        relative = true;
    } else if (p >= line.size() || line[p] != '/') {
        return false;
    }
    std::string value;
    for (;;) {
        if (p >= line.size())
            return false; // no closing quote: a cut line is not read as a shorter folder
        char c = line[p++];
        if (c == '"')
            break;
        if (c == '\\') {
            if (p >= line.size())
                return false;
            c = line[p++];
        }
        value += c;
    }
    if (relative) {
        if (home.empty())
            return false;
        value = value.empty() ? home : Below(home, value.c_str());
    }
    folder = TrimTrailingSlashes(value);
    return true;
}

} // namespace

bool FindUserDirectory(std::string_view text, std::string_view key, const std::string& home, std::string& folder)
{
    bool found = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string candidate;
        if (ParseUserDirLine(line, key, home, candidate)) {
            folder = std::move(candidate);
            found = true;
        }
    }
    return found;
}

std::string ProgramsFolder()
{
    std::string folder = Override("CX_FOLDER_PROGRAMS");
    return !folder.empty() ? folder : Below(UserDataHome(), "applications");
}

std::string DesktopFolder()
{
    std::string folder = Override("CX_FOLDER_DESKTOP");
    if (!folder.empty())
        return folder;
    std::string home = UserHome();
    std::string config = UserConfigHome();
    std::string text;
    if (!config.empty() && ReadWholeFile(Below(config, "user-dirs.dirs"), kMaxUserDirsBytes, text) == 0 &&
        FindUserDirectory(text, "XDG_DESKTOP_DIR", home, folder))
        return folder;
    return Below(home, "Desktop");
}

std::string LocalAppDataFolder()
{
    std::string folder = Override("CX_FOLDER_LOCAL_APPDATA");
    return !folder.empty() ? folder : UserDataHome();
}

std::string TempFolder()
{
    std::string folder = Override("CX_FOLDER_TEMP");
    if (folder.empty())
        folder = Override("TMPDIR");
    if (folder.empty())
        folder = "/tmp";
    return folder == "/" ? folder : folder + "/";
}

} // namespace Platform

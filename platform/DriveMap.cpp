#include "platform/DriveMap.h"

#include "platform/Environment.h"
#include "platform/File.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace Platform {

namespace {

struct DriveMapState {
    std::mutex mutex;
    bool loaded = false;
    std::string roots[26]; // host folder per letter, without a trailing '/' ("" for '/')
    bool mapped[26] = {};
    bool defaultC = false; // C: is the default data-home folder, made on first use
    bool defaultCMade = false;
    std::string uncRoot;
    bool uncMapped = false;
};

DriveMapState& State()
{
    static DriveMapState* state = new DriveMapState;
    return *state;
}

std::string TrimRoot(const std::string& root)
{
    std::string trimmed = LexicalHostPath(root);
    if (!trimmed.empty() && trimmed.back() == '/')
        trimmed.pop_back();
    return trimmed; // "/" becomes "", so root + "/x" is "/x"
}

void LoadLocked(DriveMapState& state)
{
    for (int i = 0; i < 26; ++i) {
        state.roots[i].clear();
        state.mapped[i] = false;
    }
    state.roots['Z' - 'A'] = "";
    state.mapped['Z' - 'A'] = true;
    state.defaultC = false;
    state.defaultCMade = false;
    std::string dataHome = UserDataHome();
    if (!dataHome.empty()) {
        state.roots['C' - 'A'] = TrimRoot(dataHome + "/patch-installer/drive_c");
        state.mapped['C' - 'A'] = true;
        state.defaultC = true;
    }
    for (int i = 0; i < 26; ++i) {
        char name[] = "CX_DRIVE_?";
        name[9] = static_cast<char>('A' + i);
        const char* value = std::getenv(name);
        if (value == nullptr)
            continue;
        std::string root(value);
        if (root.empty() || root[0] != '/') {
            state.mapped[i] = false;
            state.roots[i].clear();
        } else {
            state.roots[i] = TrimRoot(root);
            state.mapped[i] = true;
        }
        if (i == 'C' - 'A')
            state.defaultC = false;
    }
    std::string unc = GetEnv("CX_UNC_ROOT");
    state.uncMapped = !unc.empty() && unc[0] == '/';
    state.uncRoot = state.uncMapped ? TrimRoot(unc) : std::string();
    state.loaded = true;
}

void EnsureLoadedLocked(DriveMapState& state)
{
    if (!state.loaded)
        LoadLocked(state);
}

// The default C: folder lies in the user's data home: made elevated, it still belongs to the user
// the program works for.
void MakeFolders(const std::string& path)
{
    InvokingUser user;
    if (PkexecInvokingUser(user))
        (void)MakeDirectoryPathOwnedBy(path, 0700, user.uid, user.gid);
    else
        (void)MakeDirectoryPath(path, 0700);
}

// Appends the parts of rest to root, resolving "." and ".." by text. Fails when ".." would leave
// the root.
bool AppendBelowRoot(std::string& out, std::string_view rest)
{
    size_t rootLength = out.size();
    size_t pos = 0;
    while (pos < rest.size()) {
        size_t end = rest.find('/', pos);
        if (end == std::string_view::npos)
            end = rest.size();
        std::string_view part = rest.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (out.size() == rootLength)
                return false;
            out.resize(out.rfind('/'));
            continue;
        }
        out += '/';
        out.append(part);
    }
    // A folder path keeps its trailing '/' ("C:/dir/" names the folder itself).
    if (!rest.empty() && rest.back() == '/' && (out.empty() || out.back() != '/'))
        out += '/';
    if (out.empty())
        out = "/";
    return true;
}

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::string DriveRoot(char letter)
{
    if (!IsLetter(letter))
        return std::string();
    int index = (letter & ~0x20) - 'A';
    DriveMapState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    EnsureLoadedLocked(state);
    if (!state.mapped[index])
        return std::string();
    return state.roots[index].empty() ? std::string("/") : state.roots[index];
}

void ReloadDriveMap()
{
    DriveMapState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    LoadLocked(state);
}

bool ProgramToHostPath(std::string_view program, std::string& host)
{
    host.clear();
    if (program.empty())
        return true;
    // The host would take the path only up to a NUL, naming another file than the one asked for.
    if (program.find('\0') != std::string_view::npos)
        return false;
    bool drive = program.size() >= 2 && IsLetter(program[0]) && program[1] == ':';
    // "X:" and "X:name" are relative to a drive's current folder, which the host does not have.
    if (drive && (program.size() == 2 || program[2] != '/'))
        return false;
    bool unc = program.size() >= 2 && program[0] == '/' && program[1] == '/';
    if (!drive && !unc) {
        host.assign(program);
        return true;
    }
    DriveMapState& state = State();
    std::string root;
    std::string_view rest;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        EnsureLoadedLocked(state);
        if (drive) {
            int index = (program[0] & ~0x20) - 'A';
            if (!state.mapped[index])
                return false;
            root = state.roots[index];
            if (index == 'C' - 'A' && state.defaultC && !state.defaultCMade) {
                MakeFolders(root);
                state.defaultCMade = true;
            }
            rest = program.size() > 3 ? program.substr(3) : std::string_view();
        } else {
            if (!state.uncMapped)
                return false;
            root = state.uncRoot;
            rest = program.substr(2);
        }
    }
    std::string out = root;
    if (!AppendBelowRoot(out, rest))
        return false;
    host = std::move(out);
    return true;
}

bool HostToProgramPath(std::string_view host, std::string& program)
{
    program.clear();
    if (host.empty())
        return true;
    if (host.size() >= 4 && host.substr(0, 4) == "\\\\?\\") {
        std::string_view rest = host.substr(4);
        if (rest.size() >= 4 && (rest[0] | 0x20) == 'u' && (rest[1] | 0x20) == 'n' && (rest[2] | 0x20) == 'c' && rest[3] == '\\') {
            program = "//";
            rest = rest.substr(4);
        }
        program.append(rest);
        for (char& c : program)
            if (c == '\\')
                c = '/';
        return true;
    }
    if (host[0] != '/') {
        program.assign(host);
        return true;
    }
    // "." and ".." are resolved first, so a path that climbs out of a root takes the letter of
    // the place it really names.
    std::string resolved = LexicalHostPath(host);
    host = resolved;

    DriveMapState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    EnsureLoadedLocked(state);
    // The longest mapped root that holds the path wins: the default C: folder lies under Z:'s /.
    int best = -1;
    size_t bestLength = 0;
    auto holds = [&](const std::string& root) {
        return host.size() >= root.size() && host.compare(0, root.size(), root) == 0 &&
               (host.size() == root.size() || host[root.size()] == '/');
    };
    for (int i = 0; i < 26; ++i) {
        if (!state.mapped[i] || !holds(state.roots[i]))
            continue;
        if (best < 0 || state.roots[i].size() > bestLength) {
            best = i;
            bestLength = state.roots[i].size();
        }
    }
    bool useUnc = state.uncMapped && holds(state.uncRoot) && (best < 0 || state.uncRoot.size() > bestLength);
    std::string_view rest;
    if (useUnc) {
        rest = host.substr(state.uncRoot.size());
        program = "/";
    } else if (best >= 0) {
        rest = host.substr(bestLength);
        program = std::string(1, static_cast<char>('A' + best)) + ":";
    } else {
        return false;
    }
    if (rest.empty())
        rest = "/";
    program.append(rest);
    return true;
}

std::string LexicalHostPath(std::string_view host)
{
    if (host.empty() || host[0] != '/')
        return std::string(host);
    std::string out;
    size_t pos = 1;
    while (pos <= host.size()) {
        size_t end = host.find('/', pos);
        if (end == std::string_view::npos)
            end = host.size();
        std::string_view part = host.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            size_t slash = out.rfind('/');
            out.resize(slash == std::string::npos ? 0 : slash); // "/.." is "/"
            continue;
        }
        out += '/';
        out.append(part);
    }
    if (out.empty())
        return "/";
    if (host.back() == '/' || host.ends_with("/.") || host.ends_with("/.."))
        out += '/';
    return out;
}

namespace {

// The folder a host path names, compared by text: resolved, without a trailing '/'.
std::string FolderKey(std::string_view host)
{
    std::string key = LexicalHostPath(host);
    if (key.size() > 1 && key.back() == '/')
        key.pop_back();
    return key;
}

// The folder a host path names after links are followed, or empty when it cannot be resolved.
std::string CanonicalFolder(const std::string& host)
{
    char buffer[PATH_MAX];
    if (realpath(host.c_str(), buffer) == nullptr)
        return std::string();
    return FolderKey(buffer);
}

} // namespace

bool IsProtectedHostFolder(std::string_view host)
{
    if (host.empty() || host[0] != '/')
        return false;
    std::vector<std::string> guarded{"/"};
    {
        DriveMapState& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        EnsureLoadedLocked(state);
        for (int i = 0; i < 26; ++i)
            if (state.mapped[i])
                guarded.push_back(state.roots[i].empty() ? std::string("/") : state.roots[i]);
        if (state.uncMapped)
            guarded.push_back(state.uncRoot.empty() ? std::string("/") : state.uncRoot);
    }
    for (const std::string& home : {UserHome(), UserDataHome()})
        if (!home.empty() && home[0] == '/')
            guarded.push_back(home);

    std::string key = FolderKey(host);
    for (const std::string& folder : guarded)
        if (key == FolderKey(folder))
            return true;
    // A path that is not itself a link is also compared by the place it resolves to: "/tmp/a/.."
    // through a link named a, or a second name of the home folder. A link itself is removed as a
    // link, never followed, so it is judged by its own name only.
    std::string named(host);
    while (named.size() > 1 && named.back() == '/')
        named.pop_back();
    struct stat info;
    if (lstat(named.c_str(), &info) != 0 || S_ISLNK(info.st_mode))
        return false;
    std::string real = CanonicalFolder(named);
    if (real.empty())
        return false;
    for (const std::string& folder : guarded) {
        std::string guardedReal = CanonicalFolder(folder);
        if (real == (guardedReal.empty() ? FolderKey(folder) : guardedReal))
            return true;
    }
    return false;
}

} // namespace Platform

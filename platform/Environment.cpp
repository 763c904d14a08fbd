#include "platform/Environment.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace Platform {

namespace {

std::string TrimTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The password database entry of a user id: its group and absolute home folder.
bool LookUpUser(uid_t uid, InvokingUser& user)
{
    std::vector<char> buffer(4096);
    for (;;) {
        struct passwd entry;
        struct passwd* result = nullptr;
        int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || result == nullptr || result->pw_dir == nullptr || result->pw_dir[0] != '/')
            return false;
        user.uid = static_cast<uint32_t>(result->pw_uid);
        user.gid = static_cast<uint32_t>(result->pw_gid);
        user.home = TrimTrailingSlashes(result->pw_dir);
        return true;
    }
}

// path + "/" + leaf, where a home of "/" gives "/leaf".
std::string Below(const std::string& folder, const char* leaf)
{
    if (folder.empty())
        return std::string();
    return (folder == "/" ? std::string() : folder) + "/" + leaf;
}

std::string AbsoluteVariable(const char* name)
{
    std::string value = GetEnv(name);
    return !value.empty() && value[0] == '/' ? TrimTrailingSlashes(value) : std::string();
}

} // namespace

std::string GetEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool RunsElevatedThroughPkexec()
{
    return geteuid() == 0 && std::getenv("PKEXEC_UID") != nullptr;
}

bool PkexecInvokingUser(InvokingUser& user)
{
    user = InvokingUser();
    if (!RunsElevatedThroughPkexec())
        return false;
    std::string text = GetEnv("PKEXEC_UID");
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t uid = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        uid = uid * 10 + static_cast<uint64_t>(c - '0');
    }
    if (uid > 0xFFFFFFFEu) // (uid_t)-1 is "no user"
        return false;
    return LookUpUser(static_cast<uid_t>(uid), user);
}

std::string UserHome()
{
    if (RunsElevatedThroughPkexec()) {
        InvokingUser user;
        return PkexecInvokingUser(user) ? user.home : std::string();
    }
    std::string home = AbsoluteVariable("HOME");
    if (!home.empty())
        return home;
    InvokingUser self;
    return LookUpUser(getuid(), self) ? self.home : std::string();
}

std::string UserDataHome()
{
    std::string xdg = AbsoluteVariable("XDG_DATA_HOME");
    if (!xdg.empty())
        return xdg;
    std::string home = UserHome();
    return home.empty() ? std::string() : Below(Below(home, ".local"), "share");
}

std::string UserConfigHome()
{
    std::string xdg = AbsoluteVariable("XDG_CONFIG_HOME");
    if (!xdg.empty())
        return xdg;
    return Below(UserHome(), ".config");
}

} // namespace Platform

#include "platform/Environment.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace Platform {

std::string GetEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string UserDataHome()
{
    std::string xdg = GetEnv("XDG_DATA_HOME");
    if (!xdg.empty() && xdg[0] == '/')
        return xdg;
    std::string home = GetEnv("HOME");
    if (home.empty()) {
        std::vector<char> buffer(16384);
        struct passwd entry;
        struct passwd* result = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr && result->pw_dir != nullptr)
            home = result->pw_dir;
    }
    if (home.empty() || home[0] != '/')
        return std::string();
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return (home == "/" ? std::string() : home) + "/.local/share";
}

} // namespace Platform

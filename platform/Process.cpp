#include "platform/Process.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

namespace Platform {

std::string ExecutablePath()
{
    std::vector<char> buffer(260);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n <= 0)
            return std::string();
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

int ChangeDirectory(const std::string& hostPath)
{
    if (hostPath.empty())
        return ENOENT;
    return chdir(hostPath.c_str()) == 0 ? 0 : errno;
}

std::string CurrentDirectory()
{
    std::vector<char> buffer(512);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr)
            return std::string(buffer.data());
        if (errno != ERANGE)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

bool IsPrivileged()
{
    return ::geteuid() == 0;
}

} // namespace Platform

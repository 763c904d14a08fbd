#include "platform/Launch.h"

#include "platform/Environment.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Platform {

namespace {

// Who the child runs as, and with which environment; all worked out before fork, because the
// child of a process with threads may only make async-signal-safe calls.
struct Identity {
    bool switchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    std::vector<std::string> environment;
};

bool ParseId(const std::string& text, uid_t& id)
{
    if (text.empty() || text.size() > 10)
        return false;
    unsigned long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 0xFFFFFFFEull) // (uid_t)-1 means "no change" to setuid
        return false;
    id = static_cast<uid_t>(value);
    return true;
}

bool NameIn(const char* entry, const char* const* names)
{
    const char* equals = std::strchr(entry, '=');
    size_t length = equals != nullptr ? static_cast<size_t>(equals - entry) : std::strlen(entry);
    for (; *names != nullptr; ++names)
        if (std::strlen(*names) == length && std::strncmp(entry, *names, length) == 0)
            return true;
    return false;
}

bool IsDirectory(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsSocket(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// Fills identity for the next launch. Returns 0, an errno value, or kLaunchNoInvokingUser.
int ResolveIdentity(Identity& identity)
{
    identity = Identity();
    if (geteuid() != 0) {
        for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
            identity.environment.emplace_back(*entry);
        return 0;
    }

    std::string idText = GetEnv("PKEXEC_UID");
    if (idText.empty())
        idText = GetEnv("SUDO_UID");
    uid_t uid = 0;
    if (!ParseId(idText, uid))
        return kLaunchNoInvokingUser;

    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* user = nullptr;
    int error;
    while ((error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &user)) == ERANGE && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (error != 0 || user == nullptr)
        return kLaunchNoInvokingUser;

    identity.switchUser = uid != 0;
    identity.uid = uid;
    identity.gid = user->pw_gid;
    if (identity.switchUser) {
        int count = 32;
        for (;;) {
            identity.groups.resize(static_cast<size_t>(count));
            int wanted = count;
            if (getgrouplist(user->pw_name, user->pw_gid, identity.groups.data(), &wanted) >= 0) {
                identity.groups.resize(static_cast<size_t>(wanted));
                break;
            }
            if (wanted <= count)
                wanted = count * 2;
            if (wanted > 65536)
                return ENOMEM;
            count = wanted;
        }
    }

    static const char* const kReplaced[] = {"HOME", "USER", "LOGNAME", "SHELL", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS",
                                            "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                                            "PKEXEC_UID", "SUDO_UID", "SUDO_GID", "SUDO_USER", "SUDO_COMMAND", nullptr};
    for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable)
        if (!NameIn(*variable, kReplaced))
            identity.environment.emplace_back(*variable);
    identity.environment.push_back(std::string("HOME=") + (user->pw_dir != nullptr ? user->pw_dir : "/"));
    identity.environment.push_back(std::string("USER=") + user->pw_name);
    identity.environment.push_back(std::string("LOGNAME=") + user->pw_name);
    if (user->pw_shell != nullptr && user->pw_shell[0] != 0)
        identity.environment.push_back(std::string("SHELL=") + user->pw_shell);
    std::string runtime = "/run/user/" + std::to_string(uid);
    if (IsDirectory(runtime)) {
        identity.environment.push_back("XDG_RUNTIME_DIR=" + runtime);
        if (IsSocket(runtime + "/bus"))
            identity.environment.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + runtime + "/bus");
    }
    return 0;
}

} // namespace

int ResolveProgram(const std::string& program, std::string& path)
{
    if (program.find('/') != std::string::npos) {
        path = program;
        return 0;
    }
    std::string search = GetEnv("PATH");
    if (search.empty())
        search = "/usr/local/bin:/usr/bin:/bin";
    int error = ENOENT;
    size_t start = 0;
    while (start <= search.size()) {
        size_t end = search.find(':', start);
        if (end == std::string::npos)
            end = search.size();
        std::string folder = search.substr(start, end - start);
        start = end + 1;
        if (folder.empty() || folder[0] != '/') // never the current folder
            continue;
        std::string candidate = folder + "/" + program;
        struct stat info;
        if (stat(candidate.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (access(candidate.c_str(), X_OK) == 0) {
            path = candidate;
            return 0;
        }
        error = EACCES;
    }
    return error;
}

namespace {

// What the child reports through the status pipe when a step fails before exec.
struct ChildFailure {
    int error;
};

[[noreturn]] void FailChild(int statusFd, int error)
{
    ChildFailure failure{error};
    ssize_t ignored = write(statusFd, &failure, sizeof failure);
    (void)ignored;
    _exit(127);
}

void CloseDescriptorsFrom(unsigned first, unsigned last)
{
    if (first > last)
        return;
    if (close_range(first, last, 0) == 0)
        return;
    long limit = sysconf(_SC_OPEN_MAX);
    if (limit < 0 || limit > 65536)
        limit = 65536;
    for (unsigned fd = first; fd <= last && fd < static_cast<unsigned>(limit); ++fd)
        close(static_cast<int>(fd));
}

} // namespace

void ResetChildSignals()
{
    struct sigaction defaultAction;
    std::memset(&defaultAction, 0, sizeof defaultAction);
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber)
        sigaction(signalNumber, &defaultAction, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

void CloseDescriptorsAbove2Except(int keep)
{
    unsigned kept = static_cast<unsigned>(keep);
    if (keep >= 3) {
        if (kept > 3)
            CloseDescriptorsFrom(3, kept - 1);
        CloseDescriptorsFrom(kept + 1, ~0u);
    } else {
        CloseDescriptorsFrom(3, ~0u);
    }
}

namespace {

// Runs in the grandchild, between fork and exec: async-signal-safe calls only.
[[noreturn]] void RunChild(int statusFd, const Identity& identity, const char* path, char* const* argv, char* const* envp, const char* folder)
{
    setsid();
    ResetChildSignals();

    if (identity.switchUser) {
        if (setgroups(identity.groups.size(), identity.groups.data()) != 0)
            FailChild(statusFd, errno);
        if (setgid(identity.gid) != 0)
            FailChild(statusFd, errno);
        if (setuid(identity.uid) != 0)
            FailChild(statusFd, errno);
    }
    // The folder is entered with the child's own rights.
    if (folder[0] != 0 && chdir(folder) != 0)
        FailChild(statusFd, errno);

    // The status pipe closes itself on exec; everything else above standard error goes now.
    CloseDescriptorsAbove2Except(statusFd);

    execve(path, argv, envp);
    FailChild(statusFd, errno);
}

} // namespace

std::vector<char*> ExecArguments(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

int LaunchDetached(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder)
{
    if (program.empty())
        return ENOENT;
    Identity identity;
    int error = ResolveIdentity(identity);
    if (error != 0)
        return error;
    std::string path;
    error = ResolveProgram(program, path);
    if (error != 0)
        return error;

    std::vector<char*> argv = ExecArguments(program, arguments);
    std::vector<char*> envp;
    for (const std::string& variable : identity.environment)
        envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);

    int status[2];
    if (pipe2(status, O_CLOEXEC) != 0)
        return errno;

    // Two forks: the middle process exits at once, so the program is adopted by init (or the
    // nearest subreaper) and never stays behind as a zombie of this process.
    pid_t middle = fork();
    if (middle == 0) {
        close(status[0]);
        pid_t child = fork();
        if (child < 0)
            FailChild(status[1], errno);
        if (child == 0)
            RunChild(status[1], identity, path.c_str(), argv.data(), envp.data(), folder.c_str());
        _exit(0);
    }
    int forkError = errno;
    close(status[1]);
    if (middle < 0) {
        close(status[0]);
        return forkError;
    }
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }

    // End of file without a report means exec succeeded.
    ChildFailure failure{0};
    size_t received = 0;
    while (received < sizeof failure) {
        ssize_t n = read(status[0], reinterpret_cast<char*>(&failure) + received, sizeof failure - received);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        received += static_cast<size_t>(n);
    }
    close(status[0]);
    if (received == sizeof failure)
        return failure.error != 0 ? failure.error : EIO;
    return 0;
}

} // namespace Platform

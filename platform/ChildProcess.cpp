#include "platform/ChildProcess.h"

#include "platform/Launch.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Platform {

namespace {

// Puts fd at target in the child; when it is already there, only its close-on-exec flag goes.
void PlaceDescriptor(int fd, int target)
{
    if (fd == target)
        fcntl(fd, F_SETFD, 0);
    else
        dup2(fd, target);
}

void CloseAll(std::initializer_list<int> fds)
{
    for (int fd : fds)
        if (fd >= 0)
            close(fd);
}

} // namespace

int SpawnWithPipes(const std::string& program, const std::vector<std::string>& arguments, ChildProcess& child)
{
    child = ChildProcess();
    // Everything the child needs is worked out before fork: after it only async-signal-safe calls.
    std::string path;
    int error = ResolveProgram(program, path);
    if (error != 0)
        return error;
    std::vector<char*> argv = ExecArguments(program, arguments);

    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    int status[2] = {-1, -1};
    if (pipe2(input, O_CLOEXEC) < 0 || pipe2(output, O_CLOEXEC) < 0 || pipe2(status, O_CLOEXEC) < 0) {
        error = errno;
        CloseAll({input[0], input[1], output[0], output[1], status[0], status[1]});
        return error;
    }
    pid_t pid = fork();
    if (pid < 0) {
        error = errno;
        CloseAll({input[0], input[1], output[0], output[1], status[0], status[1]});
        return error;
    }
    if (pid == 0) {
        ResetChildSignals();
        PlaceDescriptor(input[0], 0);
        PlaceDescriptor(output[1], 1);
        CloseDescriptorsAbove2Except(status[1]);
        execve(path.c_str(), argv.data(), environ);
        int failure = errno;
        (void)!write(status[1], &failure, sizeof failure);
        _exit(127);
    }
    CloseAll({input[0], output[1], status[1]});
    int failure = 0;
    ssize_t n;
    do {
        n = read(status[0], &failure, sizeof failure);
    } while (n < 0 && errno == EINTR);
    close(status[0]);
    if (n == static_cast<ssize_t>(sizeof failure)) {
        // exec failed: the child ends at once.
        CloseAll({input[1], output[0]});
        waitpid(pid, nullptr, 0);
        return failure;
    }
    child.pid = pid;
    child.inputWrite = input[1];
    child.outputRead = output[0];
    return 0;
}

int WriteToChild(ChildProcess& child, const void* data, size_t size, size_t& written)
{
    written = 0;
    if (child.inputWrite < 0)
        return EBADF;
    // A child that stopped reading must not end this process: SIGPIPE is held back for this
    // thread during the write and a pending one is taken away, so the write just fails (EPIPE).
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const char* p = static_cast<const char*>(data);
    int error = 0;
    while (written < size) {
        ssize_t n = write(child.inputWrite, p + written, size - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        written += static_cast<size_t>(n);
    }
    if (error == EPIPE) {
        timespec none{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &none) == SIGPIPE) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return error;
}

bool PollChildExit(ChildProcess& child, int& exitCode)
{
    if (child.pid < 0)
        return true;
    int status = 0;
    pid_t result = waitpid(child.pid, &status, WNOHANG);
    if (result == 0)
        return false;
    if (result == child.pid)
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    else
        exitCode = -1; // reaped elsewhere: how it ended is unknown
    child.pid = -1;
    return true;
}

void CloseChildPipes(ChildProcess& child)
{
    CloseAll({child.inputWrite, child.outputRead});
    child.inputWrite = -1;
    child.outputRead = -1;
}

} // namespace Platform

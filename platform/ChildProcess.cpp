#include "platform/ChildProcess.h"

#include "platform/Launch.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Platform {

int SpawnWithPipes(const std::string& program, const std::vector<std::string>& arguments, ChildProcess& child)
{
    child = ChildProcess();
    int input[2];
    int output[2];
    int status[2];
    if (pipe2(input, O_CLOEXEC) < 0)
        return errno;
    if (pipe2(output, O_CLOEXEC) < 0) {
        int error = errno;
        close(input[0]);
        close(input[1]);
        return error;
    }
    if (pipe2(status, O_CLOEXEC) < 0) {
        int error = errno;
        for (int fd : {input[0], input[1], output[0], output[1]})
            close(fd);
        return error;
    }
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    std::vector<char*> argv = ExecArguments(program, arguments);

    pid_t pid = fork();
    if (pid < 0) {
        int error = errno;
        for (int fd : {input[0], input[1], output[0], output[1], status[0], status[1]})
            close(fd);
        return error;
    }
    if (pid == 0) {
        dup2(input[0], 0);
        dup2(output[1], 1);
        execvp(program.c_str(), argv.data());
        int error = errno;
        (void)!write(status[1], &error, sizeof error);
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    close(status[1]);
    int error = 0;
    ssize_t n;
    do {
        n = read(status[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    close(status[0]);
    if (n == static_cast<ssize_t>(sizeof error)) {
        // exec failed: the child ends at once.
        close(input[1]);
        close(output[0]);
        waitpid(pid, nullptr, 0);
        return error;
    }
    // A child that stops reading must not end this process with SIGPIPE on a write.
    signal(SIGPIPE, SIG_IGN);
    child.pid = pid;
    child.inputWrite = input[1];
    child.outputRead = output[0];
    return 0;
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
    child.pid = -1;
    return true;
}

void CloseChildPipes(ChildProcess& child)
{
    if (child.inputWrite >= 0)
        close(child.inputWrite);
    if (child.outputRead >= 0)
        close(child.outputRead);
    child.inputWrite = -1;
    child.outputRead = -1;
}

} // namespace Platform

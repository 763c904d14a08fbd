#pragma once

// A child process whose standard input and output are pipes to this process: the host side of a
// stream over a program's console. The child inherits this process's identity and environment,
// but no descriptor above standard error, no signal disposition and no blocked signal.

#include <string>
#include <vector>

namespace Platform {

struct ChildProcess {
    int pid = -1;
    int inputWrite = -1; // the child's standard input, written here
    int outputRead = -1; // the child's standard output, read here
};

// Starts program (a host path, or a name looked up in PATH) with arguments. Returns 0 or the errno
// of the step that failed (making the pipes, fork, exec).
int SpawnWithPipes(const std::string& program, const std::vector<std::string>& arguments, ChildProcess& child);
// Writes to the child's standard input. A child that no longer reads gives EPIPE (never a
// SIGPIPE for this process). Returns 0 or the errno; written counts what went through.
int WriteToChild(ChildProcess& child, const void* data, size_t size, size_t& written);
// True once the child has ended (its exit code, 128 + the signal that ended it, or -1 when it was
// reaped elsewhere, in exitCode);
// false while it runs. Reaps the child: later calls keep answering from what was seen.
bool PollChildExit(ChildProcess& child, int& exitCode);
// Closes both pipes that are still open; the child is not waited for.
void CloseChildPipes(ChildProcess& child);

} // namespace Platform

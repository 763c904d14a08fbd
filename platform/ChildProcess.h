#pragma once

// A child process whose standard input and output are pipes to this process: the host side of a
// stream over a program's console. The child inherits this process's identity and environment.

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
// True once the child has ended (its exit code, or 128 + the signal that ended it, in exitCode);
// false while it runs. Reaps the child: later calls keep answering from what was seen.
bool PollChildExit(ChildProcess& child, int& exitCode);
// Closes both pipes that are still open; the child is not waited for.
void CloseChildPipes(ChildProcess& child);

} // namespace Platform

#pragma once

#include <string>

namespace Platform {

// The host path of the running executable, or empty when it cannot be read.
std::string ExecutablePath();

// Makes a host folder the process's current folder. Returns 0 or the errno value.
int ChangeDirectory(const std::string& hostPath);

// The process's current folder as a host path, or empty.
std::string CurrentDirectory();

} // namespace Platform

namespace Platform {

// True when the process runs with the super-user's effective id (an elevated run), which may use
// the blocks a file system keeps back for it.
bool IsPrivileged();

} // namespace Platform

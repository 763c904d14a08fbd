#pragma once

#include <string>
#include <vector>

namespace Platform {

// Returned by LaunchDetached when this process runs as root and no invoking user is known:
// nothing was started. Never an errno value.
inline constexpr int kLaunchNoInvokingUser = -1;

// Starts a program as a process of its own, never as root on another user's behalf, and does not
// wait for it to end (it is not left as a child of this process, so nothing has to reap it).
//
// - program: a host path; a name without '/' is looked up in PATH. A relative path with '/' is
//   taken from the working folder.
// - arguments: the program's arguments, after its own name.
// - folder: the working folder (a host path); empty keeps this process's current folder.
//
// When this process is root on behalf of a user (PKEXEC_UID, else SUDO_UID, names that user's id),
// the program runs as that user: that user's groups, group and id, and an environment whose HOME,
// USER, LOGNAME and SHELL are that user's, whose XDG_RUNTIME_DIR and DBUS_SESSION_BUS_ADDRESS
// point at that user's session (/run/user/<id>) or are absent, and which lacks root's XDG folder
// variables (so the defaults under that HOME apply) and the elevation variables. Otherwise the
// program gets this process's identity and environment. Either way it inherits no descriptor but
// 0, 1 and 2, no blocked signal and no signal disposition, and starts a session of its own.
//
// Returns 0 once the program runs, an errno value when a step failed (looking the program up,
// fork, changing identity, entering the folder, exec), or kLaunchNoInvokingUser.
// The host path to execute: program itself when it holds a '/', else the first absolute PATH
// entry that holds an executable of that name. Returns 0 or an errno value.
int ResolveProgram(const std::string& program, std::string& path);

// For a child between fork and exec (async-signal-safe): every signal back to its default action
// and none blocked; every descriptor above standard error closed but keep.
void ResetChildSignals();
void CloseDescriptorsAbove2Except(int keep);

// The NULL-terminated argument vector that exec takes: the program, then the arguments. It points
// into the strings, which must outlive it.
std::vector<char*> ExecArguments(const std::string& program, const std::vector<std::string>& arguments);

int LaunchDetached(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder);

} // namespace Platform

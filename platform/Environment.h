// Environment variables and the folders of the user the program works for. When the process runs
// as root through pkexec, that user is the one who started pkexec (PKEXEC_UID), not root.
#pragma once

#include <cstdint>
#include <string>

namespace Platform {

// The value of an environment variable, or empty when unset.
std::string GetEnv(const char* name);

// The user who started pkexec, when the process runs elevated that way.
struct InvokingUser {
    uint32_t uid = 0;
    uint32_t gid = 0;
    std::string home; // from the password database, without a trailing '/' (except "/")
};

// True when the process runs as root and PKEXEC_UID is set: it was elevated through pkexec.
bool RunsElevatedThroughPkexec();

// The user PKEXEC_UID names. False when the process does not run elevated through pkexec, or when
// PKEXEC_UID is not a decimal user id the password database knows.
bool PkexecInvokingUser(InvokingUser& user);

// The home folder of the user the program works for, without a trailing '/' (except "/"). Elevated
// through pkexec: the invoking user's home from the password database (empty when that user is
// unknown: root's folders are never used in its place). Otherwise $HOME when it is an absolute
// path, else the password database's home of the real user id. Empty when none is known.
std::string UserHome();

// The user's data home: $XDG_DATA_HOME when it is an absolute path, else UserHome() +
// "/.local/share". Empty when none is known. (pkexec clears the environment, so an XDG variable
// an elevated process sees was passed on for the invoking user on purpose.)
std::string UserDataHome();

// The user's configuration home: $XDG_CONFIG_HOME when it is an absolute path, else UserHome() +
// "/.config". Empty when none is known.
std::string UserConfigHome();

} // namespace Platform

#pragma once

#include <string>

namespace Platform {

// The value of an environment variable, or empty when unset.
std::string GetEnv(const char* name);

// The user's data home: $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share, else
// the password database's home folder + "/.local/share". Empty when none is known.
std::string UserDataHome();

} // namespace Platform

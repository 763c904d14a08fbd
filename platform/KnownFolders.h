// The user's Start-menu programs, desktop, local application data and temporary folders, found by
// the XDG conventions. No folder is created, and no shell or desktop-environment setting is read.
#pragma once

#include <string>
#include <string_view>

namespace Platform {

// Each function gives an absolute host path without a trailing '/', or empty when the folder is
// unknown. Each has an environment override (CX_FOLDER_PROGRAMS, CX_FOLDER_DESKTOP,
// CX_FOLDER_LOCAL_APPDATA, CX_FOLDER_TEMP) that wins when it holds an absolute path. When the
// process runs elevated through pkexec, the invoking user's folders are given (see Environment.h).

// Where Start-menu entries go: UserDataHome() + "/applications".
std::string ProgramsFolder();

// The desktop: XDG_DESKTOP_DIR of UserConfigHome() + "/user-dirs.dirs" when that file names it,
// else UserHome() + "/Desktop".
std::string DesktopFolder();

// Local application data: UserDataHome().
std::string LocalAppDataFolder();

// The temporary folder WITH a trailing '/': $TMPDIR when it is an absolute path, else "/tmp/".
std::string TempFolder();

// Reads a user-dirs.dirs text the way the XDG user-dirs tools do: lines KEY="$HOME/sub" or
// KEY="/absolute" (a back-slash quotes the next character; '#' starts a comment line). Sets
// folder from the last valid line for key, "$HOME" replaced by home. False when no valid line
// names the key, or when a "$HOME" line is met and home is empty.
bool FindUserDirectory(std::string_view text, std::string_view key, const std::string& home, std::string& folder);

} // namespace Platform

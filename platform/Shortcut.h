// Shell links as freedesktop desktop entries: the file at the link's path holds a [Desktop Entry]
// that starts the target. Icon indexes, hot keys, show commands and link resolution do not exist.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

struct ShortcutEntry {
    std::string name;                   // Name; empty: the shortcut file's leaf name without its extension
    std::string target;                 // the program Exec starts (host path); required
    std::vector<std::string> arguments; // passed to the target after it
    std::string workingDirectory;       // Path; left out when empty
    std::string icon;                   // Icon; left out when empty
    std::string comment;                // Comment; left out when empty
};

// The desktop-entry text for a shortcut at path: "[Desktop Entry]", "Type=Application", Name,
// Exec, then Path, Icon and Comment when set. Exec quotes the target and each argument that needs
// it the desktop-entry way, and every value is escaped as a string value. False (text empty) when
// the target is empty or any text is not UTF-8 or holds a control character other than tab,
// newline and carriage return (which a desktop entry cannot carry).
bool FormatShortcut(const std::string& path, const ShortcutEntry& entry, std::string& text);

// Writes the shortcut file at path atomically (replacing one that is there), executable
// (0755 before the umask) as desktops want of launchers. An elevated process (pkexec) gives the
// file to the invoking user. Returns 0, EINVAL for what FormatShortcut refuses, or the errno value.
int WriteShortcut(const std::string& path, const ShortcutEntry& entry);

// Reads the keys of the [Desktop Entry] group of a desktop-entry file, string escapes (\s \n \t \r
// \\) decoded; other groups, comments and lines that are not "key=value" are skipped. Returns 0 or
// the errno value of reading (EFBIG beyond 1 MiB).
int ReadShortcut(const std::string& path, std::map<std::string, std::string>& keys);

// Splits an Exec value (already string-unescaped) into the program and its arguments, undoing the
// desktop-entry quoting and "%%". False for an unclosed quote, a reserved character outside
// quotes, or a field code other than "%%".
bool SplitExecLine(std::string_view exec, std::vector<std::string>& arguments);

} // namespace Platform

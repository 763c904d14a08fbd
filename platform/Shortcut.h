// Shell links as freedesktop desktop entries. The program names a shortcut by its ".lnk" path; the
// file behind it is the same path with ".desktop" in place of ".lnk" (menus and file managers read
// only ".desktop" names), holding a [Desktop Entry] that starts the target. Icon indexes, hot
// keys, show commands and link resolution do not exist.
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

// The file that holds the shortcut named path: path with ".desktop" in place of a final ".lnk" (in
// any letter case). Any other path is its own file.
std::string ShortcutFilePath(const std::string& path);

// True when something (a file, folder, link, even a dangling one) is at the shortcut's file, or
// when looking fails for another reason than its absence.
bool ShortcutExists(const std::string& path);

// Writes the shortcut's file atomically (replacing one that is there), executable (0755 before
// the umask) as desktops want of launchers. An elevated process (pkexec) gives the file to the
// invoking user. Returns 0, EINVAL for what FormatShortcut refuses, or the errno value.
int WriteShortcut(const std::string& path, const ShortcutEntry& entry);

// Reads the keys of the [Desktop Entry] group of the shortcut's file, string escapes (\s \n \t \r
// \\) decoded; other groups, comments and lines that are not "key=value" are skipped. Only a plain
// file is read: a link is not followed (ELOOP) and anything else gives EINVAL without blocking (a
// FIFO). Returns 0 or the errno value of reading (EFBIG beyond 1 MiB).
int ReadShortcut(const std::string& path, std::map<std::string, std::string>& keys);

// Deletes the shortcut's file and, when path names another file (the ".lnk" file an older build
// wrote), the file at path too. A link goes as itself, never what it leads to; a folder stays
// (EISDIR). Returns 0 (also when nothing was there) or the errno value of the first failure.
int DeleteShortcut(const std::string& path);

// Splits an Exec value (already string-unescaped) into the program and its arguments, undoing the
// desktop-entry quoting and "%%". False for an unclosed quote, a reserved character outside
// quotes, or a field code other than "%%".
bool SplitExecLine(std::string_view exec, std::vector<std::string>& arguments);

} // namespace Platform

#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

#include <string>
#include <vector>

// The uninstall record "uninstall.dat" in an installation's folder: the files the installation
// placed outside that folder (its shortcuts), which uninstalling removes. A 32-bit big-endian
// version (0), then one stream string per entry (an absolute program path) to the end of the
// file; no count, no terminator.

inline constexpr const char* kUninstallRecordName = "uninstall.dat";

// The record's path in a target folder, normalised.
CXString UninstallRecordPath(const CXString& targetPath);

// The bytes of a version-0 record listing the entries in order.
std::string FormatUninstallRecord(const std::vector<CXString>& entries);

// Reads a record's entries, stopping at the first entry that cannot be read whole. Only a plain
// file is read (a link at the record's name is not followed). False, with no entries, when the
// record cannot be read or has another version.
bool ReadUninstallRecord(const CXString& recordPath, std::vector<CXString>& entries);

// Adds the paths the record does not hold yet to the record at recordPath (made when missing),
// keeping its entries and their order, and replaces the file atomically. A record of another
// version, or one that exists but cannot be read, is left alone (kCXNotSupported, kCXAccessDenied).
// OK also when nothing needed adding.
CXResultCode MergeUninstallRecord(const CXString& recordPath, const std::vector<CXString>& paths);

// True when a recorded entry may be deleted by an uninstall: a shortcut (".lnk") that, once
// normalised, lies below the Start-menu programs folder or the desktop folder of the user the
// program works for, reached without passing a link, and whose file (Platform::ShortcutFilePath)
// or ".lnk" file of an older build is there and not a folder. The record lives in a folder the
// user may write, so its entries are never trusted further. On true, removable is the normalised
// path to delete through Platform::DeleteShortcut (never the entry as written, whose ".." the
// host would resolve through links).
bool IsRemovableShortcutEntry(const CXString& entry, CXString& removable);

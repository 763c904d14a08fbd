#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

#include <map>

// What the installer remembers per target folder: the account and the patch stream the user
// chose, and the patch files the web service named. Kept in "mervane-settings.dat" in the
// user's local application-data folder under the configuration's "application-bundle-id": one
// data-node text entry per target, keyed by the target path normalised, without trailing '/'
// and with A-Z lower-cased. An entry's value is a byte string: a 32-bit big-endian version (1 is
// written; 0 and 1 are read) and the Base64 text of the record's stream strings. The value holds
// raw bytes (NULs among them), so it is always handled with its length.
struct PatchSettings {
    CXString userName;
    CXString password;
    std::map<CXString, CXString> streams; // stream id -> name; never stored
    CXString streamId;
    CXString streamName;
    CXString patchControlFileURL;
    CXString patchDataFileURL;
};

// The settings file's name.
inline constexpr const char* kPatchSettingsFileName = "mervane-settings.dat";

// The entry key of a target path.
CXString PatchSettingsEntryKey(const CXString& targetPath);

// The settings file of a bundle id (program path); empty when the local application-data folder
// is not known. Nothing is created.
CXString PatchSettingsFilePath(const CXString& bundleId);

// The entry value of a record (version 1); empty when it could not be encoded.
CXString EncodePatchSettingsValue(const PatchSettings& settings);
// Fills the stored fields of the record from an entry value. Versions 0 and 1 are read (strings
// missing at the end of the body read as empty); false, and the record untouched, for a higher
// version or a body that is not Base64.
bool DecodePatchSettingsValue(const CXString& value, PatchSettings& settings);

// Empties the record, then reads the target's entry into it. An empty target or an unknown
// folder reads nothing. A backup left by an interrupted save of an older version is taken back
// first. Returns OK also when there is no file or no entry; the failure when the file is there
// but cannot be read or parsed (logged; the record stays empty).
CXResultCode LoadPatchSettings(PatchSettings& settings, const CXString& bundleId, const CXString& targetPath);

// Writes the record as the target's entry, keeping every other entry of the file. The file is
// replaced atomically (a unique temporary file, mode 0600, synced, renamed); folders made for it
// are 0700. Run elevated through pkexec, the file and the folders made for it belong to the
// invoking user. A file that is there but cannot be read or parsed is never rewritten: the
// failure is logged and returned, and the file stays as it is.
CXResultCode SavePatchSettings(const PatchSettings& settings, const CXString& bundleId, const CXString& targetPath);

// Applies a "settings" command-line value to the record in memory: Base64 of data-node text
// whose "username", "password" and "stream-id" keys, each when present, replace those fields.
// False, and nothing changed, when the value is not Base64.
bool ParseSettingsOverride(PatchSettings& settings, const CXStringArgument& value);

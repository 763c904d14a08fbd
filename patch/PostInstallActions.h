#pragma once

#include "datanode/DNValue.h"
#include "foundation/CXString.h"
#include "platform/Registry.h"

#include <cstdint>
#include <map>
#include <vector>

// The actions that follow a completed patch task, run by the patch page on the main thread after
// the task's thread has ended: the registry edits that the configuration lists, then the
// Start-menu and desktop shortcuts to the installed program with the uninstall record. Both
// report nothing to the user; what they skip or fail to do is logged.

// What the actions read of the main window: its target folder and configuration values, and the
// two process-wide flags of the application.
class PostInstallSource {
public:
    virtual ~PostInstallSource() = default;
    // The target folder ('/' form; empty when none is chosen).
    virtual CXString GetTargetPath() = 0;
    // "patch-anchor-file": the installed program's path relative to the target folder.
    virtual CXString GetPatchAnchorFile() = 0;
    // "installation-id".
    virtual CXString GetInstallationId() = 0;
    // "start-menu-shortcut-folder": a folder below the Start-menu programs folder; empty for no
    // Start-menu shortcut.
    virtual CXString GetStartMenuShortcutFolder() = 0;
    // "shortcut-filename": the shortcuts' name; empty for no shortcuts.
    virtual CXString GetShortcutFilename() = 0;
    // The "registry-edits" folder (the null value when there is none).
    virtual DNValueRef GetRegistryEdits() = 0;
    // The desktop-shortcut flag (on unless switched off).
    virtual bool WantsDesktopShortcut() = 0;
    // The uninstall-mode flag: the registry edits delete their keys, and no shortcut is made.
    virtual bool IsUninstallMode() = 0;
};

// The values as plain fields, for callers that have no window: a tool, a test.
struct PostInstallValues : PostInstallSource {
    CXString targetPath;
    CXString anchorFile;
    CXString installationId;
    CXString startMenuFolder;
    CXString shortcutFilename;
    DNValueRef registryEdits;
    bool desktopShortcut = true;
    bool uninstallMode = false;

    CXString GetTargetPath() override { return targetPath; }
    CXString GetPatchAnchorFile() override { return anchorFile; }
    CXString GetInstallationId() override { return installationId; }
    CXString GetStartMenuShortcutFolder() override { return startMenuFolder; }
    CXString GetShortcutFilename() override { return shortcutFilename; }
    DNValueRef GetRegistryEdits() override;
    bool WantsDesktopShortcut() override { return desktopShortcut; }
    bool IsUninstallMode() override { return uninstallMode; }

    // Takes "patch-anchor-file", "installation-id", "start-menu-shortcut-folder",
    // "shortcut-filename" and "registry-edits" from a configuration folder (as "patch-config.txt"
    // reads); the target and the flags are left as they are.
    void ReadConfiguration(DNValue* config);
    // The same from a "patch-config.txt" file; false (nothing changed) when it cannot be opened.
    bool ReadConfigurationFile(const CXString& path);
};

// Writes each listed registry edit, or in uninstall mode deletes every listed key.
void ApplyRegistryEdits(PostInstallSource& source);
// Makes the Start-menu and desktop shortcuts to the installed program and merges their paths into
// the uninstall record. Nothing in uninstall mode.
void CreateShortcuts(PostInstallSource& source);
// Both, in the patch page's order.
void RunPostInstallActions(PostInstallSource& source);

// The variables the registry edits may refer to ("$(TARGETPATH)"): TARGETPATH, ANCHORPATH
// (native forms), TARGETPATHKEY (installation id, '-', the MD5 text of the target made a safe
// file name) and INSTALLSIZE (the target's size in KiB, rounded down).
std::map<CXString, CXString> MakeRegistryEditVariables(PostInstallSource& source);

// TARGETPATHKEY alone: the installation id, '-', the MD5 text of the target made a safe file name.
// The name of the installation's uninstall entry.
CXString MakeTargetPathKey(const CXString& installationId, const CXString& targetPath);

// The registry root of an edit: "HKCR", "HKCC", "HKCU", "HKLM" or "HKU" in any ASCII letter case.
// The long names are not taken.
bool RegistryEditRoot(const CXString& text, Platform::RegistryHive& hive);

// A DWORD value's text: an optional '-' and decimal digits, -2147483648 to 4294967295 (a negative
// number is stored as its 32-bit two's complement). False for any other text, the empty one too.
bool ParseRegistryDword(const CXString& text, uint32_t& value);

// Creates the folder and every missing folder above it; true when the folder exists afterwards.
// With giveToInvokingUser, an elevated run gives each folder it makes to the user who started it
// (for folders in that user's own data).
bool CreateFolderPath(const CXString& path, bool giveToInvokingUser = false);

// The total size in bytes of every file below the folder; a link counts as itself, never as what
// it points to. A folder that cannot be listed counts 0. The folders one and two levels below the
// measured one are logged with their sizes.
uint64_t GetFolderSize(const CXString& folder);

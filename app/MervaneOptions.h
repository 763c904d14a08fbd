#pragma once

#include "foundation/CXCommandLineArguments.h"
#include "foundation/CXString.h"

#include <cstdint>

// The process-wide values the command line sets, read by the rest of the application.
extern int32_t EscalationStage;     // "escalationstage" as a decimal integer; 0 without it
extern CXString TargetPath;         // "target" in program form; a relative one is taken from the start-up folder
extern bool StartRequested;         // "start"
extern bool SelfDeleteRequested;    // "selfdeleteonexit"
extern bool StreamSetupOnly;        // "setstream"
extern bool LaunchTargetRequested;  // "launchtargetonexit"
extern bool UninstallMode;          // "uninstall"
extern bool DesktopShortcutWanted;  // cleared by "no-desktop-shortcut"
extern CXString LocaleCode;         // "locale" upper-cased; "US" without it or without a value
extern bool SettingsOverridden;     // "settings" on the headless path

// Sets the values above from parsed arguments. A relative target is resolved against
// startFolder (the current folder when the process started; the parser changes it).
void ApplyCommandLineValues(const CXCommandLineArguments& arguments, const CXString& startFolder);

// The target value of the command line in program form, resolved against startFolder when it is
// relative and normalised; empty for an empty value.
CXString ResolveTargetPath(const CXString& value, const CXString& startFolder);

// Reads the command line: makes the application folder current, registers the data-node
// translators, sets the values above. With "checkforpatch" runs the headless check and ends the
// process with its code; with "settings" and a target, rewrites that target's saved settings.
// Returns true.
bool ParseCommandLine(int argc, const char* const* argv);

// Ends the process at once with the code: standard streams flushed, no static destructors and
// no other thread can change the code.
[[noreturn]] void ExitProcessNow(int code);

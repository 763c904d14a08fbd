#pragma once

#include "foundation/CXString.h"

#include <vector>

class CXFileNavOpen;

// The toolkit's answer to the patch engine's file requests (CXFileNavOpen): each request goes to
// the layer's file-dialog service, owned by the front window, which is held disabled while the
// dialog runs. Main thread only.
class UIFileDialogs {
public:
    // Makes this the answer provider of every later CXFileNavOpen::Exec. Called once, when the
    // application starts (tests: in their set-up); calling it again changes nothing.
    static void Install();
    // Puts back the provider Install replaced (tests, in their tear-down). Nothing when not
    // installed.
    static void Uninstall();

    // Runs one request through the service and returns the chosen paths in the program's '/'
    // form: every file chosen, or the one folder; none when cancelled or when the dialog failed.
    static std::vector<CXString> Answer(const CXFileNavOpen& request);
};

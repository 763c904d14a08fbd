#pragma once

#include "foundation/CXMessage.h"

class CXMenu;
class MervaneWindow;

// The application object: the receiver of the menu commands and of the main loop's application
// messages. It builds the File, Edit and Help menus of the menu bar, then creates and shows the
// main window. Commands go first to the focused element of the front window (so the Edit commands
// reach the focused text field), then to the application's own handling. Main thread only.
class MervaneApp : public CXMessageTarget {
public:
    // Builds the menus, then CreateMainWindow.
    MervaneApp();
    // Deletes the Edit, File and Help menus.
    ~MervaneApp() override;

    CXResultCode HandleMessage(const CXMessage& message) override;

    // Creates the main window, initialises and shows it; brought to the front in an elevated
    // relaunch (EscalationStage above 0). The window lives in the window list, not here.
    virtual void CreateMainWindow();

    // The process-wide menus; null before the constructor and after the destructor.
    static CXMenu* GetFileMenu();
    static CXMenu* GetEditMenu();
    static CXMenu* GetHelpMenu();
};

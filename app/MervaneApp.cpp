#include "app/MervaneApp.h"

#include "app/MervaneOptions.h"
#include "app/MervaneWindow.h"
#include "datanode/CXLocalisation.h"
#include "foundation/CXDebug.h"
#include "foundation/CXSystemCall.h"
#include "toolkit/CXMenu.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/TextPromptSheet.h"

#include <cstddef>
#include <cstdint>

namespace {

// The answer to "update-command-status" for a command that cannot act now.
constexpr CXResultCode kCommandUnavailable{-11};

CXMenu* gFileMenu = nullptr;
CXMenu* gEditMenu = nullptr;
CXMenu* gHelpMenu = nullptr;

struct MenuItem {
    // A localisation key, or "-" for a separator.
    const char* title;
    const char* command;
    uint32_t shortcut;
};

constexpr MenuItem kFileItems[] = {
    {"$mervane_menu_close", "close-front-window", 'W'},
};

constexpr MenuItem kEditItems[] = {
    {"$mervane_menu_undo", "edit-undo", 'Z'},
    {"$mervane_menu_redo", "edit-redo", CXMenu::kShortcutShift | 'Z'},
    {"-", "", 0},
    {"$mervane_menu_cut", "edit-cut", 'X'},
    {"$mervane_menu_copy", "edit-copy", 'C'},
    {"$mervane_menu_paste", "edit-paste", 'V'},
    {"$mervane_menu_clear", "edit-clear", 0},
    {"$mervane_menu_select_all", "edit-select-all", 'A'},
};

constexpr MenuItem kHelpItems[] = {
    {"$mervane_menu_patch_help", "show-help", 0},
    {"$mervane_menu_about", "about-app", 0},
};

// A menu of the menu bar whose commands go to the owner; item titles are localised once, here.
template <size_t Count>
CXMenu* BuildMenu(CXMessageTarget* owner, const CXString& title, const MenuItem (&items)[Count])
{
    auto* menu = new CXMenu(owner);
    menu->SetTitle(title);
    for (const MenuItem& item : items) {
        CXString itemTitle = CXString(item.title) == "-" ? CXString("-") : Localise(item.title);
        (void)menu->AddCommandItem(itemTitle, item.command, item.shortcut);
    }
    menu->AddToMenuBar();
    return menu;
}

bool AnyWindowVisible()
{
    return CXUIWindow::GetFrontWindow(false) != nullptr;
}

// The help address is a localised text; a locale that lacks it gives back the key, which is no
// address at all.
void ShowHelp()
{
    const CXString key("$mervane_help_url");
    CXString address = Localise(key);
    if (address.IsEmpty() || address == key) {
        CXDebugLog("MervaneApp::ShowHelp> no help address in the texts (%s); nothing is opened", key.c_str());
        return;
    }
    (void)CXSystemCall::OpenDocument(address.c_str());
}

CXResultCode CommandStatus(const CXMessage& message)
{
    const CXString& command = message.GetFirstArgument();
    if (command == "show-help" || command == "about-app")
        return kCXOK;
    if (command == "close-front-window" || command == "bring-all-windows-to-front")
        return AnyWindowVisible() ? kCXOK : kCommandUnavailable;
    if (command == "bring-window-to-front")
        return message.GetSource() != nullptr ? kCXOK : kCommandUnavailable;
    // The Edit items are enabled only by the focused element, which was asked first.
    return kCommandUnavailable;
}

} // namespace

MervaneApp::MervaneApp()
{
    gFileMenu = BuildMenu(this, "File", kFileItems);
    gEditMenu = BuildMenu(this, Localise("$mervane_menu_edit"), kEditItems);
    gHelpMenu = BuildMenu(this, Localise("$mervane_menu_help"), kHelpItems);
    CreateMainWindow();
}

MervaneApp::~MervaneApp()
{
    delete gEditMenu;
    gEditMenu = nullptr;
    delete gFileMenu;
    gFileMenu = nullptr;
    delete gHelpMenu;
    gHelpMenu = nullptr;
}

void MervaneApp::CreateMainWindow()
{
    auto* window = new MervaneWindow;
    window->Init();
    window->SetVisible(true);
    if (EscalationStage > 0)
        window->BringToFront();
}

CXMenu* MervaneApp::GetFileMenu()
{
    return gFileMenu;
}

CXMenu* MervaneApp::GetEditMenu()
{
    return gEditMenu;
}

CXMenu* MervaneApp::GetHelpMenu()
{
    return gHelpMenu;
}

CXResultCode MervaneApp::HandleMessage(const CXMessage& message)
{
    CXUIWindow* front = CXUIWindow::GetFrontWindow(false);
    if (front != nullptr) {
        UIElement* focused = CXUIWindow::GetFocusedElement(front);
        CXMessageTarget* first = focused != nullptr ? static_cast<CXMessageTarget*>(focused) : front;
        CXResultCode answer = first->HandleMessage(message);
        if (answer != kCXNotSupported)
            return answer;
        // The handler may have closed the window.
        front = CXUIWindow::GetFrontWindow(false);
    }

    const CXString& name = message.GetName();
    if (name == "CXMenuManager::QuitApplication") {
        CXUIWindow::QuitNow();
        return kCXOK;
    }
    if (name == "close-front-window") {
        (void)CXUIWindow::CloseFrontWindow();
        return kCXOK;
    }
    if (name == "about-app") {
        (void)TextPromptSheet::ShowMessage(front, Localise("$mervane_about"));
        return kCXOK;
    }
    if (name == "show-help") {
        ShowHelp();
        return kCXOK;
    }
    if (name == "bring-all-windows-to-front")
        return kCXNotSupported;
    if (name == "bring-window-to-front" && message.GetSource() != nullptr) {
        if (auto* window = dynamic_cast<CXUIWindow*>(message.GetSource()))
            window->BringToFront();
        return kCXOK;
    }
    if (name == "prepareclick")
        return kCXOK;
    if (name == "update-command-status")
        return CommandStatus(message);
    return CXMessageTarget::HandleMessage(message);
}

#pragma once

#include "app/MervaneEULASheet.h"
#include "app/MervaneWindowPage.h"
#include "foundation/CXSafePointer.h"
#include "foundation/CXString.h"

class UIPushButton;
class UIRazaStaticText;

// The first page of an installation or an uninstall: a greeting and the next button. Before an
// installation goes on, the next button shows the licence sheet, and only the sheet's "eula-agree"
// moves the wizard on; an uninstall moves on at once.
class MervaneWindowWelcomePage : public MervaneWindowPage {
public:
    explicit MervaneWindowWelcomePage(MervaneWindow* window);
    ~MervaneWindowWelcomePage() override;

    void Init() override;
    // Closes a licence sheet still open, then destroys the page.
    void Destroy() override;
    void LayoutChildren() override;
    CXResultCode HandleMessage(const CXMessage& message) override;

    UIRazaStaticText* GetText() const { return fText; }
    UIPushButton* GetNextButton() const { return fNextButton; }
    // The licence sheet while it is open; null otherwise.
    MervaneEULASheet* GetSheet() const { return fSheet.get(); }

    // The greeting: uninstalling, "$mervane_welcome_uninstall" with the uninstall entry's
    // "DisplayName" (else the installation folder name); installing, "$mervane_welcome_install"
    // with the window title and the installation folder name.
    CXString MakeWelcomeText() const;

private:
    UIRazaStaticText* fText = nullptr;
    UIPushButton* fNextButton = nullptr;
    // The sheet belongs to the page: it goes with the page when still open.
    CXSafePointer<MervaneEULASheet> fSheet;
};

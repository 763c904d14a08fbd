#pragma once

#include "app/MervaneSettings.h"
#include "datanode/DNValue.h"
#include "foundation/CXString.h"
#include "patch/PostInstallActions.h"
#include "toolkit/CXUIWindow.h"

#include <cstdint>

class MervaneWindowPage;
class UIIconControl;

// The installer's main window: a fixed-size window that shows one wizard page at a time beside the
// product image. It owns the installation configuration read from "patch-config.txt" and the saved
// settings of its current target; the pages read both through it. Closing it while a page is busy
// asks first; destroying it saves the settings and, when it was the last window, ends the program
// (starting the installed product when asked). Main thread only.
class MervaneWindow : public CXUIWindow, public PostInstallSource {
public:
    // Page indexes.
    static constexpr int32_t kWelcomePage = 0;
    static constexpr int32_t kTargetPage = 1;
    static constexpr int32_t kAccountPage = 2;
    static constexpr int32_t kStreamPage = 3;
    static constexpr int32_t kCheckPatchPage = 4;
    static constexpr int32_t kPatchPage = 5;

    // Fields at their defaults; not resizable.
    MervaneWindow();
    ~MervaneWindow() override;

    // --- UIElement ---
    // "Close" over a busy page asks first (refused with -16); "Cancel-Close" does nothing;
    // "next-page" and "prev-page" step; the rest goes to the window.
    CXResultCode HandleMessage(const CXMessage& message) override;
    // Makes the window, reads the configuration and the target's settings, places the images and
    // the window, chooses a target and shows the first page (or the damaged-installation message).
    void Init() override;
    // Saves the target's settings, destroys the images and the page, and ends the program when no
    // other window is visible (launching the target on exit when asked).
    void Destroy() override;

    // --- Configuration ---
    // Reads ConfigTree into the fields and sets the title; false, nothing changed, when ConfigTree
    // is null or empty.
    bool ReadPatchConfig();

    // --- Target ---
    // Makes the path the target (nothing when equal: true); loads its settings and reads the
    // configuration again (its result).
    bool SetTargetPath(const CXString& path);
    // Picks the target by mode: the application folder to uninstall, the installation root plus the
    // installation folder name to install, else the product folder of the content file association.
    // May leave the target empty.
    void ChooseTarget();

    // --- Navigation ---
    // Shows the page of the index (no skipping); an index outside 0..5 or a page that cannot be
    // made closes the window.
    void ShowPage(int32_t index);
    // Steps +1 or -1, skipping the pages that do not apply to the mode.
    void StepPage(int32_t step);
    // Whether stepping skips the page in the current mode.
    bool IsPageSkipped(int32_t index) const;

    // --- PostInstallSource (and accessors of the pages) ---
    CXString GetTargetPath() override { return fTargetPath; }
    CXString GetPatchAnchorFile() override { return fPatchAnchorFile; }
    CXString GetInstallationId() override { return fInstallationId; }
    CXString GetStartMenuShortcutFolder() override { return fStartMenuShortcutFolder; }
    CXString GetShortcutFilename() override { return fShortcutFilename; }
    DNValueRef GetRegistryEdits() override { return fRegistryEdits; }
    bool WantsDesktopShortcut() override;
    bool IsUninstallMode() override;
    CXString GetInstallationFolderName() const { return fInstallationFolderName; }
    CXString GetApplicationBundleId() const { return fApplicationBundleId; }

    PatchSettings& GetSettings() { return fSettings; }
    MervaneWindowPage* GetPage() const { return fPage; }
    int32_t GetPageIndex() const { return fPageIndex; }
    Box2i GetPageFrame() const { return fPageFrame; }
    UIIconControl* GetBackgroundImage() const { return fBackgroundImage; }
    UIIconControl* GetProductImage() const { return fProductImage; }
    bool IsInstallation() const { return fInstallation; }
    bool IsOffline() const { return fOffline; }
    const CXString& GetPatchAnchorChecksum() const { return fPatchAnchorChecksum; }
    const CXString& GetOfflineDescription() const { return fOfflineDescription; }

protected:
    // The page of an index, owned by the caller; null when it cannot be made. Inert pages that name
    // their index until the working pages exist.
    virtual MervaneWindowPage* CreatePage(int32_t index);

private:
    // Destroys the page on show (if any), stores the index and shows that page, or closes the
    // window for an index outside 0..5 or a page that cannot be made. Nothing when unchanged.
    void ReplacePage(int32_t index);

    PatchSettings fSettings;
    UIIconControl* fBackgroundImage = nullptr;
    UIIconControl* fProductImage = nullptr;
    MervaneWindowPage* fPage = nullptr;
    int32_t fPageIndex = -1;
    Box2i fPageFrame{77, 0, 550, 260};
    bool fInstallation = false;
    CXString fTargetPath;
    CXString fPatchAnchorFile;
    CXString fApplicationBundleId;
    CXString fInstallationId;
    CXString fInstallationFolderName;
    bool fOffline = false;
    CXString fPatchAnchorChecksum;
    CXString fOfflineDescription;
    DNValueRef fRegistryEdits;
    CXString fStartMenuShortcutFolder;
    CXString fShortcutFilename;
};

// The product folder named by the default value of the content files' open command:
// "\"<folder>\\KELD.exe\" --installcontent \"%1\"" (Windows form, '\' turned to '/') or the host
// form "\"<folder>/KELD.exe\" --installcontent \"%1\"" (through FromNativePath). Empty for
// anything else: no leading quote, another executable, a value of 1024 bytes or more.
CXString ParseContentAssociation(const CXString& value);

// Set once an elevated relaunch of this run has succeeded: closing the window then never asks.
// False until the relaunch exists.
extern bool RelaunchedElevated;

// Starts the target's anchor file, when it exists, with no arguments in its folder as the invoking
// user. Nothing for an empty target.
void LaunchTargetOnExit(const CXString& targetPath, const CXString& anchorFile);

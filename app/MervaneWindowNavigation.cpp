// The main window's wizard: which pages apply to the mode, stepping and showing pages, the
// question before closing over busy work, and the end of the program when the window goes.

#include "app/MervaneOptions.h"
#include "app/MervaneWindow.h"
#include "app/MervaneWindowPage.h"
#include "app/MervaneWindowWelcomePage.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "foundation/CXSystemCall.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIIconControl.h"

bool RelaunchedElevated = false;

namespace {

constexpr const char* kCloseQuestion = "Cancel patch attempt and revert changes?";

void DestroyImage(UIIconControl*& image)
{
    if (image == nullptr)
        return;
    UIElement* element = image;
    image = nullptr;
    element->Destroy();
}

} // namespace

void LaunchTargetOnExit(const CXString& targetPath, const CXString& anchorFile)
{
    if (targetPath.IsEmpty())
        return;
    CXString program = targetPath;
    AppendPathComponent(program, anchorFile);
    NormalizePath(program);
    // Without an anchor name the path is the target folder itself, which is nothing to start.
    if (!CXFileSystem::Exists(program) || CXFileSystem::IsDirectory(program))
        return;
    (void)CXSystemCall::LaunchExternalProcess(program, CXString(), GetParentPath(program));
}

// --- Messages ---

CXResultCode MervaneWindow::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    if (name == "Close") {
        if (fPage != nullptr && fPage->IsBusy() && !RelaunchedElevated) {
            TextPromptSheet* question =
                TextPromptSheet::ShowButtonPrompt(this, kCloseQuestion, "ForceClose", "Quit", "Continue Patching");
            question->SetCancelReply("Cancel-Close");
            return kCXCancelled;
        }
        return CXUIWindow::HandleMessage(message);
    }
    if (name == "Cancel-Close")
        return kCXOK;
    if (name == "next-page") {
        StepPage(1);
        return kCXOK;
    }
    // Back from the first page that applies goes nowhere: the message is passed on.
    if (name == "prev-page" && fPageIndex > kWelcomePage) {
        for (int32_t index = fPageIndex - 1; index >= kWelcomePage; --index) {
            if (!IsPageSkipped(index)) {
                StepPage(-1);
                return kCXOK;
            }
        }
    }
    return CXUIWindow::HandleMessage(message);
}

// --- Pages ---

bool MervaneWindow::IsPageSkipped(int32_t index) const
{
    switch (index) {
    case kWelcomePage:
        return !fInstallation;
    case kAccountPage:
    case kStreamPage:
        return fOffline;
    case kCheckPatchPage:
        return UninstallMode || StreamSetupOnly;
    case kPatchPage:
        return StreamSetupOnly;
    default:
        return false;
    }
}

void MervaneWindow::StepPage(int32_t step)
{
    if (step == 0)
        return;
    step = step > 0 ? 1 : -1;
    int32_t index = fPageIndex;
    do {
        index += step;
    } while (index >= kWelcomePage && index <= kPatchPage && IsPageSkipped(index));
    ReplacePage(index);
}

void MervaneWindow::ShowPage(int32_t index)
{
    ReplacePage(index);
}

void MervaneWindow::ReplacePage(int32_t index)
{
    if (index == fPageIndex)
        return;
    if (fPage != nullptr) {
        MervaneWindowPage* old = fPage;
        fPage = nullptr;
        old->Destroy();
    }
    fPageIndex = index;
    MervaneWindowPage* page = index >= kWelcomePage && index <= kPatchPage ? CreatePage(index) : nullptr;
    if (page == nullptr) {
        // Past either end, or no page: the wizard is over. The window may be gone after this.
        (void)CXUIWindow::RequestClose(this);
        return;
    }
    fPage = page;
    page->SetCompositingHint(4);
    page->Init();
    page->SetLayout(fPageFrame.left, fPageFrame.top, fPageFrame.right, fPageFrame.bottom, 0, 0);
    AddChild(page, FirstChild());
    page->SetVisible(true);
}

MervaneWindowPage* MervaneWindow::CreatePage(int32_t index)
{
    if (index == kWelcomePage)
        return new MervaneWindowWelcomePage(this);
    return new MervaneWindowInertPage(this, index);
}

// --- End ---

void MervaneWindow::Destroy()
{
    if (!fTargetPath.IsEmpty())
        (void)SavePatchSettings(fSettings, fApplicationBundleId, fTargetPath);
    DestroyImage(fProductImage);
    DestroyImage(fBackgroundImage);
    const CXString target = fTargetPath;
    const CXString anchor = fPatchAnchorFile;
    // The element's destroy takes the page with the other children, then deletes this window.
    fPage = nullptr;
    CXUIWindow::Destroy();

    if (CXUIWindow::GetFrontWindow(false) != nullptr)
        return;
    CXUIWindow::QuitNow();
    if (LaunchTargetRequested)
        LaunchTargetOnExit(target, anchor);
}

// The welcome page: the greeting, and the licence sheet before an installation goes on.

#include "app/MervaneWindowWelcomePage.h"

#include "app/MervaneWindow.h"
#include "datanode/CXLocalisation.h"
#include "foundation/CXDebug.h"
#include "foundation/CXTextEncoding.h"
#include "patch/PostInstallActions.h"
#include "platform/Registry.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIRazaStaticText.h"

#include <string>

namespace {

// Where the installation's uninstall entry lives under HKEY_LOCAL_MACHINE.
constexpr const char* kUninstallKeys = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The "DisplayName" is read into a buffer of 510 bytes: longer names do not fit and are not used.
constexpr size_t kMaximumDisplayNameUnits = 255;

// The "DisplayName" of the target's uninstall entry; empty when there is none, it is no text or
// it is too long.
CXString ReadUninstallDisplayName(const CXString& installationId, const CXString& targetPath)
{
    const std::string key = std::string(kUninstallKeys) + MakeTargetPathKey(installationId, targetPath).c_str();
    Platform::RegistryValue value;
    if (Platform::QueryRegistryValue(Platform::kRegistryLocalMachine, key, "DisplayName", value) != 0)
        return CXString();
    if (value.type != Platform::kRegistryString && value.type != Platform::kRegistryExpandString)
        return CXString();
    if (UTF16UnitCount(ConvertUTF8ToUTF16(value.data.data(), value.data.size())) > kMaximumDisplayNameUnits)
        return CXString();
    return CXString(value.data.data(), value.data.size());
}

} // namespace

MervaneWindowWelcomePage::MervaneWindowWelcomePage(MervaneWindow* window) : MervaneWindowPage(window) {}

MervaneWindowWelcomePage::~MervaneWindowWelcomePage() = default;

void MervaneWindowWelcomePage::Init()
{
    // A second call would build a second set of controls over the first.
    if (IsInitialised()) {
        CXDebugError("UIElement::Init> already initialised");
        return;
    }
    MervaneWindowPage::Init();

    auto* text = new UIRazaStaticText;
    AddChild(text, nullptr);
    text->Init();
    text->EnableWordWrap();
    text->SetText(MakeWelcomeText());
    fText = text;

    auto* next = new UIPushButton;
    next->SetTitle(Localise("$mervane_welcome_next"));
    next->SetDefaultButton(1);
    AddChild(next, nullptr);
    next->Init();
    next->SetVisible(true);
    fNextButton = next;
}

void MervaneWindowWelcomePage::Destroy()
{
    if (MervaneEULASheet* sheet = fSheet.get()) {
        fSheet = nullptr;
        sheet->SetVisible(false);
        sheet->Destroy();
    }
    fText = nullptr;
    fNextButton = nullptr;
    MervaneWindowPage::Destroy();
}

void MervaneWindowWelcomePage::LayoutChildren()
{
    MervaneWindowPage::LayoutChildren();
    const int32_t width = GetWidth();
    const int32_t height = GetHeight();
    if (fText != nullptr)
        fText->SetLayout(24, 15, width - 24, 100, 0, 0);
    if (fNextButton != nullptr) {
        const Box2i next = ForwardButtonBox(width, height);
        fNextButton->SetLayout(next.left, next.top, next.right, next.bottom, 0, 0);
    }
}

CXResultCode MervaneWindowWelcomePage::HandleMessage(const CXMessage& message)
{
    const CXString& name = message.GetName();
    CXMessageTarget* source = message.GetSource();
    if (name == "click" && source != nullptr && source == static_cast<CXMessageTarget*>(fNextButton)) {
        if (fWindow->IsUninstallMode()) {
            PostStep(1);
            return 0;
        }
        if (MervaneEULASheet* open = fSheet.get()) {
            open->BringToFront();
            return 0;
        }
        auto* sheet = new MervaneEULASheet(this);
        fSheet = sheet;
        sheet->Init();
        sheet->SetVisible(true);
        return 0;
    }
    if (name == "eula-agree") {
        PostStep(1);
        return 0;
    }
    return MervaneWindowPage::HandleMessage(message);
}

CXString MervaneWindowWelcomePage::MakeWelcomeText() const
{
    const CXString folderName = fWindow->GetInstallationFolderName();
    if (fWindow->IsUninstallMode()) {
        CXString name = ReadUninstallDisplayName(fWindow->GetInstallationId(), fWindow->GetTargetPath());
        if (name.IsEmpty())
            name = folderName;
        return LocaliseFormat("$mervane_welcome_uninstall", name);
    }
    return LocaliseFormat("$mervane_welcome_install", fWindow->GetTitle(), folderName);
}

// The main window's set-up: the installation configuration, the product images, the placement in
// the work area, the target and the first page. Stepping between pages, closing and the end of
// the program are in MervaneWindowNavigation.cpp.

#include "app/MervaneWindow.h"

#include "app/MervaneConfiguration.h"
#include "app/MervaneOptions.h"
#include "app/MervaneWindowPage.h"
#include "datanode/DNRawData.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPath.h"
#include "foundation/CXSafePointer.h"
#include "platform/Registry.h"
#include "toolkit/CXUIWindow.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIIconControl.h"
#include "win32/user/User.h"

#include <string>
#include <string_view>

using namespace win32;

namespace {

// The window's client size; the page frame takes the part right of the product image.
constexpr int32_t kWindowWidth = 550;
constexpr int32_t kWindowHeight = 260;

constexpr const char* kBackgroundFileName = "mervane-background.bmp";
constexpr const char* kProductImageFileName = "patch.bmp";
constexpr const char* kInstallationRoot = "C:/Program Files/Brannock Games/";
constexpr const char* kDamagedMessage = "This application is damaged. Please redownload it.";

// The open command of the product's content files, and what follows the product folder in it.
constexpr const char* kAssociationKey = "rxbfile\\shell\\open\\command";
constexpr std::string_view kAssociationTail = "KELD.exe\" --installcontent \"%1\"";
// A value this long does not fit the buffer the command is read into.
constexpr size_t kAssociationValueLimit = 1024;

CXString ConfigStringOr(DNValue* folder, const char* key, const char* fallback)
{
    return folder->Find(DNRawData(key))->GetValue()->GetString(fallback);
}

CXString DataFileURL(const CXString& name)
{
    return PathToFileURL(GetDataFolderFilepath(name.c_str()));
}

// A Windows path in program form: the long-path prefixes dropped ("\\?\UNC\" becoming "//"),
// every '\' a '/'.
CXString FromWindowsPath(std::string_view path)
{
    std::string text;
    if (path.substr(0, 8) == "\\\\?\\UNC\\")
        text = "\\\\" + std::string(path.substr(8));
    else if (path.substr(0, 4) == "\\\\?\\")
        text = std::string(path.substr(4));
    else
        text = std::string(path);
    for (char& c : text) {
        if (c == '\\')
            c = '/';
    }
    return CXString(text.c_str(), text.size());
}

// An icon control for a bitmap of the data folder, put in front of the window's children; null
// when the file is not there.
UIIconControl* AddDataIcon(CXUIWindow* window, const char* fileName)
{
    const CXString path = GetDataFolderFilepath(fileName);
    if (!CXFileSystem::Exists(path))
        return nullptr;
    auto* icon = new UIIconControl;
    window->AddChild(icon, window->FirstChild());
    icon->Init();
    icon->SetIcon(path);
    return icon;
}

} // namespace

CXString ParseContentAssociation(const CXString& value)
{
    const std::string_view text(value.c_str(), value.length());
    if (text.empty() || text.size() >= kAssociationValueLimit || text.front() != '"')
        return CXString();
    // The Windows form ends the folder with '\', the host form with '/'.
    size_t tail = std::string_view::npos;
    char separator = 0;
    for (size_t at = text.find(kAssociationTail, 1); at != std::string_view::npos;
         at = text.find(kAssociationTail, at + 1)) {
        if (at > 1 && (text[at - 1] == '\\' || text[at - 1] == '/')) {
            tail = at - 1;
            separator = text[at - 1];
            break;
        }
    }
    if (tail == std::string_view::npos)
        return CXString();
    const std::string_view folder = text.substr(1, tail - 1);
    CXString path = separator == '\\' ? FromWindowsPath(folder)
                                      : CXFileSystem::FromNativePath(CXStringArgument(folder.data(), folder.size()));
    // A relative folder would be taken from whatever the current folder is.
    if (path.IsEmpty() || !IsAbsolutePath(path))
        return CXString();
    return path;
}

// --- Life ---

MervaneWindow::MervaneWindow()
{
    // The pages and the post-install actions read the edits without checking for none.
    fRegistryEdits = DNValue::GetNull();
    SetResizable(false);
}

MervaneWindow::~MervaneWindow() = default;

void MervaneWindow::Init()
{
    if (IsInitialised()) {
        CXDebugError("UIElement::Init> already initialised");
        return;
    }
    CXUIWindow::Init();

    const bool configured = ReadPatchConfig();
    if (!TargetPath.IsEmpty()) {
        (void)SetTargetPath(TargetPath);
        TargetPath.Clear();
    }

    if ((fBackgroundImage = AddDataIcon(this, kBackgroundFileName)) != nullptr)
        fBackgroundImage->SetLayout(0, 0, 0, 0, 2, 2);
    // Without the file there is no control at all: an icon without a picture draws a placeholder.
    if ((fProductImage = AddDataIcon(this, kProductImageFileName)) != nullptr)
        fProductImage->SetLayout(13, 13, 77, 77, 0, 0);
    fPageFrame = {77, 0, kWindowWidth, kWindowHeight, false};

    RECT area = {};
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
        const int32_t cx = area.left + (area.right - area.left) / 2;
        const int32_t cy = area.top + (area.bottom - area.top) / 2;
        SetLayout(cx - kWindowWidth / 2, cy - kWindowHeight / 2, cx + kWindowWidth / 2, cy + kWindowHeight / 2, 0, 0);
    }

    if (fTargetPath.IsEmpty())
        ChooseTarget();
    // A page that cannot be made closes the window, which is then gone.
    CXSafePointer<MervaneWindow> self(this);
    if (!fTargetPath.IsEmpty() && StartRequested && fPageIndex != kPatchPage)
        ShowPage(kPatchPage);
    // A windowed run never starts at the account page: a settings override comes only with the
    // headless check, which never gets here.
    if (self && fPage == nullptr && fPageIndex < 0)
        ShowPage(fInstallation ? kWelcomePage : kTargetPage);
    if (!self)
        return;

    if (!configured) {
        TextPromptSheet* sheet = TextPromptSheet::ShowMessage(this, kDamagedMessage);
        sheet->SetCompletionHandler([](int32_t, const std::vector<CXString>&) { CXUIWindow::QuitNow(); });
    }
}

// --- Configuration ---

bool MervaneWindow::ReadPatchConfig()
{
    DNValue* config = ConfigTree.get();
    if (config == nullptr || config->Count() == 0)
        return false;

    fPatchAnchorFile = ConfigString(config, "patch-anchor-file");
    fApplicationBundleId = ConfigString(config, "application-bundle-id");
    fInstallationFolderName = ConfigStringOr(config, "installation-folder-name", "untitled.app");
    fInstallationId = ConfigString(config, "installation-id");
    SetTitle(ConfigStringOr(config, "window-name", "Patch Installer"));

    const CXString controlFile = ConfigString(config, "patch-control-file");
    fOffline = !controlFile.IsEmpty();
    fInstallation = config->Find(DNRawData("patch-is-installation"))->GetValue()->GetBool();
    if (fInstallation)
        LaunchTargetRequested = true;
    if (fOffline) {
        fSettings.patchControlFileURL = DataFileURL(controlFile);
        const CXString dataFile = ConfigString(config, "patch-data-file");
        fSettings.patchDataFileURL = dataFile.IsEmpty() ? CXString() : DataFileURL(dataFile);
        if (!fInstallation)
            fPatchAnchorChecksum = ConfigString(config, "patch-anchor-checksum");
        fOfflineDescription = ConfigStringOr(config, "patch-offline-description", "$(patch-offline-description)");
    }

    fRegistryEdits = config->Find(DNRawData("registry-edits"))->GetValue();
    fStartMenuShortcutFolder = ConfigString(config, "start-menu-shortcut-folder");
    fShortcutFilename = ConfigString(config, "shortcut-filename");

    if (UninstallMode) {
        fOffline = true;
        fInstallation = true;
    }
    return true;
}

// --- Target ---

bool MervaneWindow::SetTargetPath(const CXString& path)
{
    if (path == fTargetPath)
        return true;
    fTargetPath = path;
    // Loading empties the record, offline URLs included; reading the configuration puts them back.
    (void)LoadPatchSettings(fSettings, fApplicationBundleId, fTargetPath);
    return ReadPatchConfig();
}

void MervaneWindow::ChooseTarget()
{
    if (UninstallMode) {
        (void)SetTargetPath(GetApplicationFolder());
        return;
    }
    if (fInstallation) {
        CXString path(kInstallationRoot);
        AppendPathComponent(path, fInstallationFolderName);
        (void)SetTargetPath(path);
        return;
    }
    Platform::RegistryValue value;
    if (Platform::QueryRegistryValue(Platform::kRegistryClassesRoot, kAssociationKey, "", value) != 0)
        return;
    if (value.type != Platform::kRegistryString && value.type != Platform::kRegistryExpandString)
        return;
    const CXString folder = ParseContentAssociation(CXString(value.data.c_str(), value.data.size()));
    if (folder.IsEmpty())
        return;
    (void)SetTargetPath(folder);
}

// --- PostInstallSource ---

bool MervaneWindow::WantsDesktopShortcut()
{
    return DesktopShortcutWanted;
}

bool MervaneWindow::IsUninstallMode()
{
    return UninstallMode;
}

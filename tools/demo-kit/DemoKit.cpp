#include "DemoKit.h"

#include "datanode/DNMemoryValue.h"
#include "datanode/DNRawData.h"
#include "datanode/DNTranslator.h"
#include "datanode/TextConfig.h"
#include "streams/CXStreamMemory.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace demokit {

namespace {

// The uninstall entry of the installation, and the open command of the product's content files,
// which the installer reads to find an installed product. TARGETPATH is the host path of the
// installation folder, so the command takes the host form.
constexpr const char* kUninstallKey = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(TARGETPATHKEY)";
constexpr const char* kAssociationKey = "rxbfile\\shell\\open\\command";
constexpr const char* kAssociationCommand = "\"$(TARGETPATH)/KELD.exe\" --installcontent \"%1\"";

CXString ToCX(const std::string& text)
{
    return CXString(text.data(), text.size());
}

void SetString(const DNValueRef& folder, const char* key, const std::string& value)
{
    folder->SetChildData(DNRawData(key), DNRawData::FromString(ToCX(value)));
}

void AddFolder(const DNValueRef& parent, const std::string& key, const DNValueRef& folder)
{
    parent->SetChild(DNRawData::FromString(ToCX(key)), folder);
}

DNValueRef RegistryEdit(const DNValueRef& root, const char* hive, const char* path, const char* name, const std::string& value)
{
    DNValueRef edit = root->MakeFolder();
    SetString(edit, "root", hive);
    SetString(edit, "path", path);
    SetString(edit, "type", "string");
    SetString(edit, "name", name);
    SetString(edit, "value", value);
    return edit;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes, std::string* problem)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out)
        return true;
    if (problem != nullptr)
        *problem = "cannot write " + path.string();
    return false;
}

} // namespace

std::string LicenceText(const Options& options)
{
    const std::string& product = options.installationFolderName;
    const char* const paragraphs[] = {
        "END-USER LICENCE AGREEMENT",
        "",
        "This is a demonstration licence. It comes with the demo data of the patch installer and "
        "grants nothing beyond trying the installer out. Please read it to the end; the scroll bar "
        "and the mouse wheel move through the text.",
        "",
        "1. The software. \"The software\" means {product}, the files the installer puts in the "
        "folder you choose, and any update the installer later applies to them.",
        "",
        "2. Using the software. You may install the software on computers that you own or control "
        "and use it there for testing and demonstration. You may make copies for backup.",
        "",
        "3. What you may not do. You may not sell, rent or lend the software, nor remove the "
        "notices it carries.",
        "",
        "4. Updates. The installer may download and apply updates to the software. Each update is "
        "checked before anything in the installation changes; a failed or cancelled update leaves "
        "the installation as it was.",
        "",
        "5. Your data. The installer keeps the account name and settings you enter in a file of your "
        "own user profile. Nothing else about you or your computer is collected.",
        "",
        "6. Removing the software. The installer can remove the software again. Removing it deletes "
        "the folder it was installed in, with everything in it.",
        "",
        "7. No warranty. The software is provided \"as is\", without warranty of any kind, express "
        "or implied, including the warranties of merchantability, fitness for a particular purpose "
        "and non-infringement.",
        "",
        "8. Limitation of liability. In no event shall the authors be liable for any claim, damages "
        "or other liability arising from, out of or in connection with the software or its use.",
        "",
        "9. Ending this agreement. This agreement ends when you remove the software. Sections 7 and "
        "8 survive its end.",
        "",
        "10. The whole agreement. This is the whole agreement between you and the authors about the "
        "software.",
        "",
        "Click Agree to accept these terms and go on with the installation, or Decline to return to "
        "the welcome page.",
    };
    std::string text;
    for (const char* paragraph : paragraphs) {
        std::string line = paragraph;
        for (size_t at = line.find("{product}"); at != std::string::npos; at = line.find("{product}"))
            line.replace(at, 9, product);
        text += line + "\r\n";
    }
    return text;
}

std::string ConfigurationText(const Options& options)
{
    DNValueRef root = DNAdopt<DNValue>(new DNMemoryValue);
    SetString(root, "window-name", options.windowName);
    SetString(root, "application-bundle-id", options.applicationBundleId);
    SetString(root, "installation-id", options.installationId);
    SetString(root, "installation-folder-name", options.installationFolderName);
    SetString(root, "patch-anchor-file", kAnchorFile);
    root->SetChildData(DNRawData("patch-is-installation"), DNRawData::FromBool(true));
    SetString(root, "patch-control-file", options.patchControlFile);
    SetString(root, "patch-data-file", options.patchDataFile);
    SetString(root, "start-menu-shortcut-folder", options.shortcutName);
    SetString(root, "shortcut-filename", options.shortcutName);

    DNValueRef edits = root->MakeFolder();
    AddFolder(edits, "uninstall-entry", RegistryEdit(root, "HKLM", kUninstallKey, "DisplayName", options.displayName));
    AddFolder(edits, "content-files", RegistryEdit(root, "HKCR", kAssociationKey, "", kAssociationCommand));
    AddFolder(root, "registry-edits", edits);

    DNValueRef english = root->MakeFolder();
    for (const auto& [key, text] : EnglishTexts())
        english->SetChildData(DNRawData::FromString(ToCX(key)), DNRawData::FromString(ToCX(text)));
    DNValueRef locales = root->MakeFolder();
    AddFolder(locales, "en", english);
    AddFolder(root, "locales", locales);

    CXStreamDynamicBuffer buffer;
    if (TextConfig::Write(root.get(), buffer) != kCXOK)
        return std::string();
    std::string text(buffer.GetSize(), '\0');
    (void)buffer.Seek(0, CXStream::kSeekSet);
    if (buffer.Read(text.data(), text.size()) != text.size())
        return std::string();
    return text;
}

bool WriteDataFolder(const Options& options, std::string* problem)
{
    // The configuration's booleans are written as text through the translators.
    DNInitBuiltInTranslators();
    const std::filesystem::path out = options.out;
    std::error_code error;
    std::filesystem::create_directories(out / "spinner-anim", error);
    if (error) {
        if (problem != nullptr)
            *problem = "cannot make " + (out / "spinner-anim").string() + ": " + error.message();
        return false;
    }
    std::string configuration = ConfigurationText(options);
    if (configuration.empty()) {
        if (problem != nullptr)
            *problem = "cannot write the configuration text";
        return false;
    }
    // The window draws the product image on an opaque ground of its own, so the mark is laid onto
    // the background it stands on and stored opaque.
    const Picture background = BackgroundPicture(550, 260);
    const Picture product = Flatten(ProductPicture(64), background, kProductLeft, kProductTop);
    if (!WriteFile(out / "patch-config.txt", configuration, problem) ||
        !WriteFile(out / EnglishText("$mervane_eula_filename"), LicenceText(options), problem) ||
        !WriteFile(out / "mervane-background.bmp", EncodeBmp(background), problem) ||
        !WriteFile(out / "patch.bmp", EncodeBmp(product), problem))
        return false;
    for (int frame = 0; frame < 12; ++frame) {
        std::string name = "spinner" + std::to_string(frame) + ".bmp";
        if (!WriteFile(out / "spinner-anim" / name, EncodeBmp(SpinnerPicture(kSpinnerSize, frame)), problem))
            return false;
    }
    return true;
}

} // namespace demokit

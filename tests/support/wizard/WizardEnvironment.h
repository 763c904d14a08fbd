#pragma once

// A scratch installation for runs of the windowed installer: an application folder with a
// "data" folder for the configuration, a product folder to target, and the user's data,
// application-data and registry folders, all inside one scratch folder, with Z: as '/' and C:
// inside it. No preferred language is set, so only the configuration's own locale choice counts
// (without locales every text is its key).

#include "foundation/CXString.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace wizard {

class WizardEnvironment {
public:
    // A configuration that is enough for the wizard to start on its target page.
    static constexpr const char* kBundleId = "org.example.patch-test";
    static std::string MinimalConfiguration()
    {
        return std::string("application-bundle-id ") + kBundleId + "\r"
               "patch-anchor-file product.bin\r"
               "window-name \"Patch Test\"\r";
    }

    WizardEnvironment()
    {
        for (const char* folder : {"app/data", "product", "drive_c", "appdata", "registry", "home"})
            std::filesystem::create_directories(fScratch / folder);
        WriteConfiguration(MinimalConfiguration());
    }

    // Replaces "patch-config.txt" of the data folder.
    void WriteConfiguration(const std::string& text) const
    {
        std::ofstream(fScratch / "app/data/patch-config.txt", std::ios::binary) << text;
    }

    // A host path inside the scratch folder, and its program form.
    std::string Host(const std::string& relative) const { return fScratch / relative; }
    static CXString ProgramPath(const std::string& host) { return CXString(("Z:" + host).c_str()); }

private:
    ScratchFolder fScratch;
    ScopedDriveMap fDrives{fScratch / "drive_c"};
    ScopedEnv fAppFolder{"CX_APP_FOLDER", fScratch / "app"};
    ScopedEnv fAppData{"CX_FOLDER_LOCAL_APPDATA", fScratch / "appdata"};
    ScopedEnv fRegistry{"CX_REGISTRY_ROOT", fScratch / "registry"};
    ScopedEnv fDataHome{"XDG_DATA_HOME", fScratch / "home"};
    ScopedEnv fLanguage{"LANGUAGE", std::nullopt};
    ScopedEnv fAll{"LC_ALL", std::nullopt};
    ScopedEnv fMessages{"LC_MESSAGES", std::nullopt};
    ScopedEnv fLang{"LANG", std::nullopt};
    ScopedEnv fElevatedFor{"PKEXEC_UID", std::nullopt};
};

} // namespace wizard

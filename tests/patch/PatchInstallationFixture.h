#pragma once

#include "foundation/CXString.h"
#include "support/ScopedDriveMap.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <string>

// An installation in a scratch tree: drive C: in "drive_c", the Start-menu programs folder, the
// desktop, the registry store and the home folder beside it, and "C:/Games/Product" holding the
// program "bin/game" (1536 bytes).
class PatchInstallationFixture {
public:
    PatchInstallationFixture()
    {
        for (const char* folder : {"drive_c/Games/Product/bin", "programs", "desktop", "home", "outside"})
            std::filesystem::create_directories(scratch / folder);
        Put(scratch / "drive_c/Games/Product/bin/game", std::string(1536, 'g'));
    }

    static void Put(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    static bool Exists(const std::string& path)
    {
        std::error_code error;
        return std::filesystem::exists(std::filesystem::symlink_status(path, error));
    }
    static std::string Text(const CXString& text) { return std::string(text.c_str(), text.length()); }

    std::string Target() const { return scratch / "drive_c/Games/Product"; }
    std::string Programs() const { return scratch / "programs"; }
    std::string Desktop() const { return scratch / "desktop"; }
    // The program path of a host path in the scratch tree (Z: is '/').
    static CXString Program(const std::string& host) { return CXString(("Z:" + host).c_str()); }

    ScratchFolder scratch;
    ScopedDriveMap drives{scratch / "drive_c"};
    ScopedEnv programs{"CX_FOLDER_PROGRAMS", scratch / "programs"};
    ScopedEnv desktop{"CX_FOLDER_DESKTOP", scratch / "desktop"};
    ScopedEnv registry{"CX_REGISTRY_ROOT", scratch / "registry"};
    ScopedEnv home{"HOME", scratch / "home"};
    ScopedEnv dataHome{"XDG_DATA_HOME", scratch / "home/.local/share"};
    ScopedEnv temp{"CX_FOLDER_TEMP", scratch / "home/tmp"};
    ScopedEnv invoking{"PKEXEC_UID", std::nullopt};
};

#pragma once

#include "platform/DriveMap.h"
#include "support/ScopedEnv.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A known drive map for the life of the object: every CX_DRIVE_<letter> and CX_UNC_ROOT cleared
// (so Z: is '/'), C: mapped to the given host folder. Variables changed through Set stay changed
// until the object dies; then the old environment and map come back.
class ScopedDriveMap {
public:
    explicit ScopedDriveMap(const std::string& driveC)
    {
        for (char letter = 'A'; letter <= 'Z'; ++letter)
            Push((std::string("CX_DRIVE_") + letter).c_str(), std::nullopt);
        Push("CX_UNC_ROOT", std::nullopt);
        Set("CX_DRIVE_C", driveC);
    }
    ~ScopedDriveMap()
    {
        while (!fEnv.empty())
            fEnv.pop_back(); // restore in reverse order
        Platform::ReloadDriveMap();
    }
    ScopedDriveMap(const ScopedDriveMap&) = delete;
    ScopedDriveMap& operator=(const ScopedDriveMap&) = delete;

    // Sets (or unsets) a variable and reloads the map.
    void Set(const char* name, std::optional<std::string> value)
    {
        Push(name, std::move(value));
        Platform::ReloadDriveMap();
    }

private:
    void Push(const char* name, std::optional<std::string> value) { fEnv.push_back(std::make_unique<ScopedEnv>(name, std::move(value))); }

    std::vector<std::unique_ptr<ScopedEnv>> fEnv;
};

#pragma once

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object dies. Path() is the host path, without a trailing '/'.
class ScratchFolder {
public:
    ScratchFolder()
    {
        static std::atomic<unsigned> counter{0};
        static const unsigned long long tag = std::random_device()();
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            auto candidate = base / ("cx-test-" + std::to_string(tag) + "-" + std::to_string(counter++));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                fPath = candidate.string();
                break;
            }
        }
    }
    ~ScratchFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(fPath, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return fPath; }
    std::string operator/(const std::string& name) const { return fPath + "/" + name; }

private:
    std::string fPath;
};

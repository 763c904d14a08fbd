// Start-up to the first paint on the X display: the time from starting the windowed installer on
// a demo-kit data folder (a fresh installation, so the welcome page) until its main window, found
// by the demo's window title, shows pixels that are not the screen's background, beside the same
// for the control gallery as the reference, with their ratio. Each program runs --runs times
// (default 5) in an environment of its own under a scratch folder and is stopped once it has
// painted; the median and the fastest run are printed. The window is looked for and read back
// through the snapshot library every 3 ms or so, which bounds the resolution; run it on a plain
// virtual screen, where the background is one or two colours:
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" build-rel/bench/StartupPaintBench [--runs N]

#include "DemoKit.h"
#include "X11Snap.h"

#include "datanode/DNTranslator.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTimeout = std::chrono::seconds(30);
constexpr auto kPollInterval = std::chrono::milliseconds(3);
constexpr size_t kMostBackgroundColours = 16;

struct Program {
    const char* name;
    std::string path;
    std::string title;
};

// This process's environment with the folders the installer writes to moved into the scratch
// folder, so that nothing outside it changes.
std::vector<std::string> Environment(const std::string& scratch, const std::string& appFolder)
{
    const std::vector<std::pair<std::string, std::string>> isolated = {
        {"CX_APP_FOLDER", appFolder},
        {"XDG_DATA_HOME", scratch + "/home"},
        {"XDG_CONFIG_HOME", scratch + "/config"},
        {"CX_FOLDER_LOCAL_APPDATA", scratch + "/appdata"},
        {"CX_REGISTRY_ROOT", scratch + "/registry"},
        {"CX_DRIVE_C", scratch + "/drive_c"},
        {"CX_FOLDER_PROGRAMS", scratch + "/programs"},
        {"CX_FOLDER_DESKTOP", scratch + "/desktop"},
        {"CX_FOLDER_TEMP", scratch + "/tmp"},
    };
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        bool replaced = text.rfind("PKEXEC_UID=", 0) == 0 || text.rfind("SUDO_UID=", 0) == 0;
        for (const auto& [name, value] : isolated)
            replaced = replaced || text.rfind(name + "=", 0) == 0;
        if (!replaced)
            environment.push_back(text);
    }
    for (const auto& [name, value] : isolated) {
        std::filesystem::create_directories(value);
        environment.push_back(name + "=" + value);
    }
    return environment;
}

// The colours of the screen before a run; false when the screen cannot be read or is not plain.
bool BackgroundColours(std::set<uint32_t>& colours, std::string& problem)
{
    x11snap::Image screen;
    if (!x11snap::Capture("", 0, &screen, &problem))
        return false;
    colours.clear();
    for (uint32_t pixel : screen.pixels) {
        colours.insert(pixel);
        if (colours.size() > kMostBackgroundColours) {
            problem = "the screen is not plain (a window or a picture is on it); run on an empty virtual screen";
            return false;
        }
    }
    return true;
}

// The last line of a file, for the reason a program gave for ending.
std::string LastLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line, last = "(none)";
    while (std::getline(in, line)) {
        if (!line.empty())
            last = line;
    }
    return last;
}

// At least 1% of the window (16 pixels or more) is not background.
bool Painted(const x11snap::Image& window, const std::set<uint32_t>& background)
{
    size_t foreground = 0;
    for (uint32_t pixel : window.pixels)
        foreground += background.count(pixel) == 0 ? 1 : 0;
    return foreground >= std::max<size_t>(16, window.pixels.size() / 100);
}

// Milliseconds from the start to the first paint; negative, with the problem, when the program
// ended, never painted in time, or could not be started.
double MeasureOnce(const Program& program, std::vector<std::string> environment, const std::string& logPath,
                   std::string& problem)
{
    std::set<uint32_t> background;
    if (!BackgroundColours(background, problem))
        return -1;
    std::vector<char*> argv = {const_cast<char*>(program.path.c_str()), nullptr};
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    const Clock::time_point start = Clock::now();
    pid_t child = -1;
    int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        problem = "cannot start " + program.path + ": " + std::strerror(error);
        return -1;
    }
    double elapsed = -1;
    uint64_t window = 0;
    while (Clock::now() - start < kTimeout) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            problem = program.path + " ended (status " + std::to_string(status) + ") before it painted; its errors: " +
                      LastLine(logPath);
            return -1;
        }
        // Every look is a connection of its own, which the server handles beside the program's:
        // polled too often, the program's own connection can be refused.
        if (window == 0)
            window = x11snap::FindWindowByTitle("", program.title);
        x11snap::Image image;
        std::string ignored;
        if (window != 0 && x11snap::Capture("", window, &image, &ignored) && Painted(image, background)) {
            elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    if (elapsed < 0)
        problem = "no painted window titled \"" + program.title + "\" within 30 s";
    kill(child, SIGTERM);
    int status = 0;
    (void)waitpid(child, &status, 0);
    // Let the server take the window down before the next background is read.
    while (x11snap::FindWindowByTitle("", program.title) != 0)
        std::this_thread::sleep_for(kPollInterval);
    return elapsed;
}

struct Result {
    double median = -1;
    double fastest = -1;
};

Result Measure(const Program& program, const std::vector<std::string>& environment, const std::string& scratch, int runs)
{
    const std::string logPath = scratch + "/" + program.name + ".log";
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        std::string problem;
        double time = MeasureOnce(program, environment, logPath, problem);
        if (time < 0) {
            std::fprintf(stderr, "StartupPaintBench: %s: %s\n", program.name, problem.c_str());
            return {};
        }
        times.push_back(time);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: StartupPaintBench [--runs N]\n");
            return 2;
        }
    }
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "StartupPaintBench: DISPLAY is not set; run it under xvfb-run\n");
        return 2;
    }

    DNInitBuiltInTranslators();
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("startup-paint-bench-" + std::to_string(getpid()));
    demokit::Options options;
    options.out = (scratch / "app/data").string();
    std::string problem;
    if (!demokit::WriteDataFolder(options, &problem)) {
        std::fprintf(stderr, "StartupPaintBench: %s\n", problem.c_str());
        return 1;
    }
    const std::vector<std::string> environment = Environment(scratch.string(), (scratch / "app").string());

    const Program installer = {"patch-installer", INSTALLER_PATH, options.windowName};
    const Program gallery = {"ui-gallery", GALLERY_PATH, "UI gallery"};
    Result installerResult = Measure(installer, environment, scratch.string(), runs);
    Result galleryResult = Measure(gallery, environment, scratch.string(), runs);
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);

    std::printf("start-up to the first paint on %s, median (fastest) of %d runs:\n", std::getenv("DISPLAY"), runs);
    for (const auto& [program, result] : {std::pair{&installer, installerResult}, std::pair{&gallery, galleryResult}}) {
        if (result.median < 0)
            std::printf("  %-16s not measured\n", program->name);
        else
            std::printf("  %-16s %8.1f ms (%.1f ms)\n", program->name, result.median, result.fastest);
    }
    if (installerResult.median < 0 || galleryResult.median < 0)
        return 1;
    std::printf("  ratio installer / gallery: %.2f\n", installerResult.median / galleryResult.median);
    return 0;
}

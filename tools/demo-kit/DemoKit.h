#pragma once

// The demo kit: the data folder of a fresh installation of the demo product, as the installer
// reads it beside its executable. It holds the pictures (the window background, the product
// image, the twelve spinner frames), the licence text, and "patch-config.txt" with the English
// texts of every localisation key and the installation's values: the patch files of the demo
// installation (written by the patch builder, not by the kit), the folder name, the uninstall
// entry and the content-file association as registry edits, the shortcuts. A demo and test tool,
// not part of the installer.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace demokit {

struct Options {
    // The data folder to write (a host path); made when missing, files in it replaced.
    std::string out;
    std::string installationFolderName = "KELD Demo";
    std::string windowName = "KELD Demo Setup";
    std::string installationId = "keld-demo";
    std::string applicationBundleId = "org.example.keld-demo";
    // The patch that installs the product, relative to the data folder.
    std::string patchControlFile = "patch.txt";
    std::string patchDataFile = "patch.bin";
    std::string shortcutName = "KELD Demo";
    // The name of the uninstall entry, which the installer shows when it removes the product.
    std::string displayName = "KELD Demo Product";
};

// The product's program inside the installation: the anchor file and the association's target.
inline constexpr const char* kAnchorFile = "KELD.exe";
// The pages show the spinner at 32 x 32 pixels.
inline constexpr int kSpinnerSize = 32;

// The English text of every localisation key the installer shows, in a fixed order (keys begin
// with "$mervane_"; "$1" and "$2" stand for the arguments).
const std::vector<std::pair<std::string, std::string>>& EnglishTexts();
// The English text of a key; empty when the kit has none.
std::string EnglishText(const std::string& key);

// Straight (not premultiplied) pixels 0xAARRGGBB, rows top first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// The pictures of the data folder.
Picture BackgroundPicture(int width, int height);
Picture ProductPicture(int size);
// The picture laid onto the part of the ground at (left, top) that it covers: opaque, the ground's
// pixels where the picture is transparent.
Picture Flatten(const Picture& picture, const Picture& ground, int left, int top);

// Where the main window shows the product image over its background.
inline constexpr int kProductLeft = 13;
inline constexpr int kProductTop = 13;
// Frame 0 to 11 of the spinner: twelve spokes whose brightest one turns clockwise a step a frame,
// on a transparent ground.
Picture SpinnerPicture(int size, int frame);

// The picture as a 32-bit BMP file (BITMAPINFOHEADER, rows bottom first, the alpha byte kept).
std::string EncodeBmp(const Picture& picture);

// The licence text: English, CR LF line ends.
std::string LicenceText(const Options& options);

// "patch-config.txt" as data-node text: the installation's values and registry edits, then the
// English texts under "locales".
std::string ConfigurationText(const Options& options);

// Writes the whole data folder. False, with one line in problem, when a folder or file cannot be
// written.
bool WriteDataFolder(const Options& options, std::string* problem);

} // namespace demokit

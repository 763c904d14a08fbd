// A PNG of one window or of the whole screen of an X display.
//
//   x11-snap [--display NAME] [--window ID | --title TITLE] OUTPUT.png
//
// ID is decimal or 0x hexadecimal; without --window or --title the whole screen is taken. Exits 0
// when the file was written, 2 otherwise, saying why in one line.

#include "X11Snap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    std::string display;
    std::string title;
    std::string output;
    uint64_t window = 0;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--display") == 0 && hasValue)
            display = argv[++i];
        else if (std::strcmp(argv[i], "--window") == 0 && hasValue)
            window = std::strtoull(argv[++i], nullptr, 0);
        else if (std::strcmp(argv[i], "--title") == 0 && hasValue)
            title = argv[++i];
        else if (argv[i][0] != '-' && output.empty())
            output = argv[i];
        else {
            std::fprintf(stderr, "usage: x11-snap [--display NAME] [--window ID | --title TITLE] OUTPUT.png\n");
            return 2;
        }
    }
    if (output.empty()) {
        std::fprintf(stderr, "usage: x11-snap [--display NAME] [--window ID | --title TITLE] OUTPUT.png\n");
        return 2;
    }
    if (!title.empty()) {
        window = x11snap::FindWindowByTitle(display, title);
        if (window == 0) {
            std::fprintf(stderr, "x11-snap: no viewable window is titled \"%s\"\n", title.c_str());
            return 2;
        }
    }
    x11snap::Image image;
    std::string problem;
    if (!x11snap::Capture(display, window, &image, &problem) || !x11snap::WritePng(image, output, &problem)) {
        std::fprintf(stderr, "x11-snap: %s\n", problem.c_str());
        return 2;
    }
    return 0;
}

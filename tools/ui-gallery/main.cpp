// The control gallery on the display: every control of the toolkit in one window, a prompt sheet
// and the file chooser on demand. Exits 2, saying why in one line, when there is no display.
//
//   ui-gallery

#include "Gallery.h"

#include "toolkit/UIMessageLoop.h"
#include "win32/backend/x11/X11Backend.h"

#include <cstdio>
#include <memory>
#include <string>

int main()
{
    std::string problem;
    std::unique_ptr<win32::Backend> backend = win32::x11::OpenBackend(&problem);
    if (backend == nullptr) {
        std::fprintf(stderr, "ui-gallery: %s\n", problem.c_str());
        return 2;
    }
    if (!gallery::StartLayer(backend.get())) {
        std::fprintf(stderr, "ui-gallery: the window layer did not start\n");
        return 2;
    }
    int code = 0;
    {
        gallery::Gallery window(80, 60);
        code = static_cast<int>(RunMessageLoop());
    }
    gallery::StopLayer();
    return code;
}

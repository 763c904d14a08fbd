// The installer's entry point: the headless patch check when the command line asks for it (it
// ends the process itself), else the wizard on the X display that DISPLAY names.

#include "app/MervaneMain.h"
#include "win32/backend/x11/X11Backend.h"
#include "win32/controls/Controls.h"
#include "win32/core/Core.h"

#include <memory>
#include <string>

int main(int argc, char** argv)
{
    // Lives until the layer has been shut down, after MervaneMain returns.
    std::unique_ptr<win32::Backend> backend;
    auto openDisplay = [&backend](std::string& problem) {
        backend = win32::x11::OpenBackend(&problem);
        if (backend == nullptr)
            return false;
        win32::controls::RegisterControlClasses();
        if (!win32::Initialize(backend.get(), win32::Options{}, &problem)) {
            backend.reset();
            return false;
        }
        return true;
    };
    return MervaneMain(argc, argv, openDisplay);
}

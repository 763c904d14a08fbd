#include "X11Snap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace x11snap {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPointer = std::unique_ptr<Display, DisplayCloser>;

DisplayPointer Open(const std::string& name)
{
    return DisplayPointer(XOpenDisplay(name.empty() ? nullptr : name.c_str()));
}

// Errors of the reads below are expected (a window gone meanwhile): they are only counted. The
// process's own handler is put back afterwards, so a program that talks to the same server keeps
// its handling.
int gErrors = 0;

int CountError(Display*, XErrorEvent*)
{
    ++gErrors;
    return 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : fDisplay(display)
    {
        XSync(fDisplay, False);
        gErrors = 0;
        fPrevious = XSetErrorHandler(&CountError);
    }
    ~ErrorTrap() { XSetErrorHandler(fPrevious); }
    // Whether a request made since the trap was set failed.
    bool Failed()
    {
        XSync(fDisplay, False);
        return gErrors != 0;
    }

private:
    Display* fDisplay;
    int (*fPrevious)(Display*, XErrorEvent*) = nullptr;
};

int ShiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// A channel of the pixel scaled to 8 bits.
uint32_t Channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    const int shift = ShiftOf(mask);
    const unsigned long bits = mask >> shift;
    const unsigned long value = (pixel & mask) >> shift;
    return static_cast<uint32_t>(value * 255 / bits);
}

std::string TitleOf(Display* display, Window window)
{
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 4096, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && type == utf8 && format == 8) {
        title.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
        return title;
    }
    if (data != nullptr)
        XFree(data);
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

Window Find(Display* display, Window window, const std::string& title, int depth)
{
    XWindowAttributes attributes;
    if (window != DefaultRootWindow(display)) {
        if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
            return 0;
        if (TitleOf(display, window) == title)
            return window;
    }
    if (depth > 4)
        return 0;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    // Topmost first.
    for (unsigned int i = count; i-- > 0 && found == 0;)
        found = Find(display, children[i], title, depth + 1);
    if (children != nullptr)
        XFree(children);
    return found;
}

} // namespace

bool Capture(const std::string& displayName, uint64_t windowId, Image* image, std::string* problem)
{
    DisplayPointer display = Open(displayName);
    if (!display) {
        *problem = "cannot open the display (DISPLAY is \"" +
                   std::string(displayName.empty() ? (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "") : displayName) +
                   "\")";
        return false;
    }
    Display* d = display.get();
    const Window window = windowId == 0 ? DefaultRootWindow(d) : static_cast<Window>(windowId);
    ErrorTrap trap(d);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes) || trap.Failed()) {
        *problem = "no such window";
        return false;
    }
    if (attributes.map_state != IsViewable) {
        *problem = "the window is not viewable";
        return false;
    }
    if (attributes.visual->c_class != TrueColor && attributes.visual->c_class != DirectColor) {
        *problem = "the window's visual is not true-colour";
        return false;
    }
    XImage* picture = XGetImage(d, window, 0, 0, static_cast<unsigned>(attributes.width),
                                static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (picture == nullptr || trap.Failed()) {
        if (picture != nullptr)
            XDestroyImage(picture);
        *problem = "the window's pixels cannot be read (is it partly off the screen?)";
        return false;
    }
    const unsigned long red = attributes.visual->red_mask;
    const unsigned long green = attributes.visual->green_mask;
    const unsigned long blue = attributes.visual->blue_mask;
    image->width = attributes.width;
    image->height = attributes.height;
    image->pixels.assign(static_cast<size_t>(image->width) * static_cast<size_t>(image->height), 0);
    const bool plain = picture->bits_per_pixel == 32 && red == 0xff0000 && green == 0xff00 && blue == 0xff &&
                       picture->byte_order == (ImageByteOrder(d) == LSBFirst ? LSBFirst : MSBFirst);
    for (int32_t y = 0; y < image->height; ++y) {
        uint32_t* row = &image->pixels[static_cast<size_t>(y) * static_cast<size_t>(image->width)];
        if (plain && picture->byte_order == LSBFirst) {
            const auto* source = reinterpret_cast<const uint8_t*>(picture->data + static_cast<ptrdiff_t>(y) * picture->bytes_per_line);
            for (int32_t x = 0; x < image->width; ++x, source += 4)
                row[x] = static_cast<uint32_t>(source[0]) | (static_cast<uint32_t>(source[1]) << 8) |
                         (static_cast<uint32_t>(source[2]) << 16);
            continue;
        }
        for (int32_t x = 0; x < image->width; ++x) {
            const unsigned long pixel = XGetPixel(picture, x, y);
            row[x] = (Channel(pixel, red) << 16) | (Channel(pixel, green) << 8) | Channel(pixel, blue);
        }
    }
    XDestroyImage(picture);
    return true;
}

uint64_t FindWindowByTitle(const std::string& displayName, const std::string& title)
{
    DisplayPointer display = Open(displayName);
    if (!display)
        return 0;
    ErrorTrap trap(display.get());
    const Window found = Find(display.get(), DefaultRootWindow(display.get()), title, 0);
    return trap.Failed() && found == 0 ? 0 : found;
}

bool WritePng(const Image& image, const std::string& path, std::string* problem)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        *problem = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        *problem = "cannot write " + path + ": the PNG encoder failed";
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(image.width) * 3);
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const uint32_t pixel = image.At(x, y);
            row[static_cast<size_t>(x) * 3] = static_cast<png_byte>(pixel >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<png_byte>(pixel >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<png_byte>(pixel);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    const bool closed = std::fclose(file) == 0;
    if (!closed)
        *problem = "cannot write " + path + ": " + std::strerror(errno);
    return closed;
}

} // namespace x11snap

#include "X11TestClient.h"

#include "X11Snap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>

namespace x11test {

namespace {

Display* D(void* display)
{
    return static_cast<Display*>(display);
}

} // namespace

void PrepareThreads()
{
    static bool prepared = false;
    if (!prepared) {
        prepared = true;
        XInitThreads();
    }
}

Client::Client()
{
    fDisplay = XOpenDisplay(nullptr);
}

Client::~Client()
{
    if (fDisplay != nullptr)
        XCloseDisplay(D(fDisplay));
}

uint64_t Client::FindWindow(const std::string& title)
{
    return x11snap::FindWindowByTitle(DisplayString(D(fDisplay)), title);
}

bool Client::Geometry(uint64_t window, int* x, int* y, int* width, int* height)
{
    Display* display = D(fDisplay);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, static_cast<Window>(window), &attributes))
        return false;
    Window child = 0;
    XTranslateCoordinates(display, static_cast<Window>(window), DefaultRootWindow(display), 0, 0, x, y, &child);
    *width = attributes.width;
    *height = attributes.height;
    return true;
}

bool Client::IsOnScreen(uint64_t window)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(D(fDisplay), static_cast<Window>(window), &attributes) &&
           attributes.map_state == IsViewable;
}

void Client::MoveTo(int x, int y)
{
    XTestFakeMotionEvent(D(fDisplay), -1, x, y, CurrentTime);
    XFlush(D(fDisplay));
}

void Client::Button(int button, bool press)
{
    XTestFakeButtonEvent(D(fDisplay), static_cast<unsigned>(button), press ? True : False, CurrentTime);
    XFlush(D(fDisplay));
}

void Client::Click(int x, int y, int button)
{
    MoveTo(x, y);
    Button(button, true);
    Button(button, false);
}

void Client::Key(const char* keysym, bool press)
{
    Display* display = D(fDisplay);
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(keysym));
    XTestFakeKeyEvent(display, code, press ? True : False, CurrentTime);
    XFlush(display);
}

void Client::Tap(const char* keysym, const std::vector<const char*>& modifiers)
{
    for (const char* modifier : modifiers)
        Key(modifier, true);
    Key(keysym, true);
    Key(keysym, false);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        Key(*it, false);
}

void Client::SendDeleteWindow(uint64_t window)
{
    Display* display = D(fDisplay);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(window);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, static_cast<Window>(window), False, NoEventMask, &event);
    XFlush(display);
}

void Client::Resize(uint64_t window, int width, int height)
{
    XResizeWindow(D(fDisplay), static_cast<Window>(window), static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(D(fDisplay));
}

uint64_t Client::Cover(int x, int y, int width, int height)
{
    Display* display = D(fDisplay);
    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True;
    attributes.background_pixel = 0x203040;
    const Window cover = XCreateWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                       CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(display, cover);
    XSync(display, False);
    return cover;
}

void Client::Uncover(uint64_t cover)
{
    XDestroyWindow(D(fDisplay), static_cast<Window>(cover));
    XSync(D(fDisplay), False);
}

// --- ClipboardPeer ---

namespace {

enum Command { kNone = 0, kOwn = 1, kRequest = 2 };

} // namespace

ClipboardPeer::ClipboardPeer()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return;
    fDisplay = display;
    fWindow = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(display, static_cast<Window>(fWindow), PropertyChangeMask);
    XFlush(display);
    fWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    fOpen = fWakeFd >= 0;
    if (fOpen)
        fThread = std::thread([this] { Run(); });
}

ClipboardPeer::~ClipboardPeer()
{
    fStop.store(true);
    if (fWakeFd >= 0) {
        const uint64_t one = 1;
        (void)!write(fWakeFd, &one, sizeof(one));
    }
    if (fThread.joinable())
        fThread.join();
    if (fWakeFd >= 0)
        close(fWakeFd);
    if (fDisplay != nullptr)
        XCloseDisplay(D(fDisplay));
}

void ClipboardPeer::Own(const std::string& text)
{
    {
        std::lock_guard<std::mutex> guard(fLock);
        fOwnText = text;
    }
    fDone.store(false);
    fCommand.store(kOwn);
    const uint64_t one = 1;
    (void)!write(fWakeFd, &one, sizeof(one));
}

void ClipboardPeer::Request()
{
    fDone.store(false);
    fFailed.store(false);
    fCommand.store(kRequest);
    const uint64_t one = 1;
    (void)!write(fWakeFd, &one, sizeof(one));
}

std::string ClipboardPeer::Text()
{
    std::lock_guard<std::mutex> guard(fLock);
    return fReceived;
}

void ClipboardPeer::Run()
{
    Display* display = D(fDisplay);
    const Window window = static_cast<Window>(fWindow);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom property = XInternAtom(display, "CX_TEST_PEER", False);
    while (!fStop.load()) {
        const int command = fCommand.exchange(kNone);
        if (command == kOwn) {
            XSetSelectionOwner(display, clipboard, window, CurrentTime);
            XSync(display, False);
            fDone.store(XGetSelectionOwner(display, clipboard) == window);
        } else if (command == kRequest) {
            XConvertSelection(display, clipboard, utf8, property, window, CurrentTime);
            XFlush(display);
        }
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionRequest) {
                const XSelectionRequestEvent& request = event.xselectionrequest;
                XEvent reply = {};
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = request.requestor;
                reply.xselection.selection = request.selection;
                reply.xselection.target = request.target;
                reply.xselection.time = request.time;
                reply.xselection.property = request.property;
                if (request.target == utf8) {
                    std::string text;
                    {
                        std::lock_guard<std::mutex> guard(fLock);
                        text = fOwnText;
                    }
                    XChangeProperty(display, request.requestor, request.property, utf8, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
                } else if (request.target == targets) {
                    const Atom offered[] = {targets, utf8};
                    XChangeProperty(display, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(offered), 2);
                } else {
                    reply.xselection.property = 0;
                }
                XSendEvent(display, request.requestor, False, NoEventMask, &reply);
                XFlush(display);
            } else if (event.type == SelectionNotify && event.xselection.requestor == window) {
                if (event.xselection.property == 0) {
                    fFailed.store(true);
                } else {
                    Atom type = 0;
                    int format = 0;
                    unsigned long count = 0;
                    unsigned long after = 0;
                    unsigned char* data = nullptr;
                    if (XGetWindowProperty(display, window, property, 0, 1 << 20, True, AnyPropertyType, &type, &format,
                                           &count, &after, &data) == Success &&
                        data != nullptr && format == 8) {
                        std::lock_guard<std::mutex> guard(fLock);
                        fReceived.assign(reinterpret_cast<const char*>(data), count);
                    } else {
                        fFailed.store(true);
                    }
                    if (data != nullptr)
                        XFree(data);
                }
                fDone.store(true);
            }
        }
        // Wait for the server or a command.
        pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {fWakeFd, POLLIN, 0}};
        if (poll(fds, 2, 1000) > 0 && (fds[1].revents & POLLIN) != 0) {
            uint64_t count = 0;
            (void)!read(fWakeFd, &count, sizeof(count));
        }
    }
}

} // namespace x11test

#include "win32/backend/x11/X11Backend.h"

#include "foundation/CXDebug.h"
#include "win32/api/Constants.h"
#include "win32/backend/headless/HeadlessBackend.h"
#include "win32/backend/x11/X11Input.h"
#include "win32/backend/x11/X11System.h"
#include "win32/core/Core.h"
#include "win32/user/Queue.h"
#include "win32/user/User.h"

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <map>

// Xlib last: it defines None, Bool, True and friends as macros.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace win32::x11 {

static_assert(kShiftMask == ShiftMask && kControlMask == ControlMask && kMod1Mask == Mod1Mask);
static_assert(kButtonMasks == (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask));
static_assert(kNotifyNormal == NotifyNormal && kNotifyGrab == NotifyGrab && kNotifyUngrab == NotifyUngrab &&
              kNotifyInferior == NotifyInferior && kNotifyPointer == NotifyPointer);

namespace {

struct Atoms {
    Atom wmProtocols;
    Atom wmDeleteWindow;
    Atom netWmName;
    Atom utf8String;
    Atom netWmWindowType;
    Atom netWmWindowTypeNormal;
    Atom netWmWindowTypeDialog;
    Atom netWmWindowTypePopupMenu;
    Atom netWorkArea;
    Atom netSupportingWmCheck;
    Atom netActiveWindow;
    Atom clipboard;
    Atom targets;
    Atom text;
    Atom transfer;
};

// The error Xlib reported last, for the one request a caller checks (see Connection::BeginErrorCheck).
bool gCheckingErrors = false;
bool gCheckedError = false;

// X errors are logged once per kind (error and request) and never end the program.
int OnError(Display* display, XErrorEvent* error)
{
    if (gCheckingErrors) {
        gCheckedError = true;
        return 0;
    }
    static std::set<std::pair<int, int>>* logged = new std::set<std::pair<int, int>>();
    if (logged->insert({error->error_code, error->request_code}).second) {
        char text[160] = {};
        XGetErrorText(display, error->error_code, text, sizeof text);
        CXDebugLog("X11> X error %d (%s) from request %d.%d", error->error_code, text, error->request_code,
                   error->minor_code);
    }
    return 0;
}

[[noreturn]] int OnConnectionLost(Display*)
{
    std::fprintf(stderr, "X11> lost the connection to the X display\n");
    std::fflush(stderr);
    std::_Exit(2);
}

// The display and what the backend found out about it at start.
struct Connection {
    Display* display = nullptr;
    int screen = 0;
    ::Window root = 0;
    Visual* visual = nullptr;
    int depth = 0;
    Colormap colormap = 0;
    GC gc = nullptr;
    bool hasShm = false;
    bool detectableRepeat = false;
    Atoms atoms = {};

    static std::unique_ptr<Connection> Open(std::string* problem);
    ~Connection()
    {
        if (display != nullptr) {
            if (gc != nullptr)
                XFreeGC(display, gc);
            XCloseDisplay(display);
        }
    }

    // A property of 32-bit items (longs, as Xlib hands them), empty when missing or of another type.
    std::vector<long> CardinalProperty(::Window window, Atom property, Atom type = XA_CARDINAL) const
    {
        std::vector<long> values;
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, property, 0, 64, False, type, &actualType, &format, &count, &after,
                               &data) == Success &&
            data != nullptr) {
            if (actualType == type && format == 32)
                values.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
            XFree(data);
        }
        return values;
    }

    void BeginErrorCheck()
    {
        gCheckingErrors = true;
        gCheckedError = false;
    }
    // Whether a request since BeginErrorCheck failed; the caller synced first.
    bool EndErrorCheck()
    {
        gCheckingErrors = false;
        return gCheckedError;
    }
};

// A visual the back buffer's pixels go to unchanged: 32-bit pixels with 8-bit red, green, blue.
bool IsDirect(const Visual* visual, int depth)
{
    return visual->c_class == TrueColor && (depth == 24 || depth == 32) && visual->red_mask == 0xff0000 &&
           visual->green_mask == 0xff00 && visual->blue_mask == 0xff;
}

std::unique_ptr<Connection> Connection::Open(std::string* problem)
{
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        *problem = "no X display: DISPLAY is not set";
        return nullptr;
    }
    std::setlocale(LC_CTYPE, "");
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(nullptr);
    if (connection->display == nullptr) {
        *problem = std::string("cannot open the X display DISPLAY names (\"") + name + "\")";
        return nullptr;
    }
    Display* display = connection->display;
    XSetErrorHandler(OnError);
    XSetIOErrorHandler(OnConnectionLost);
    connection->screen = DefaultScreen(display);
    connection->root = RootWindow(display, connection->screen);
    connection->visual = DefaultVisual(display, connection->screen);
    connection->depth = DefaultDepth(display, connection->screen);
    bool ownColormap = false;
    if (!IsDirect(connection->visual, connection->depth)) {
        XVisualInfo info = {};
        if (XMatchVisualInfo(display, connection->screen, 24, TrueColor, &info) == 0 || !IsDirect(info.visual, 24)) {
            *problem = "the X display (DISPLAY=\"" + std::string(name) +
                       "\") has no 24- or 32-bit TrueColor visual with 8-bit red, green and blue";
            return nullptr;
        }
        connection->visual = info.visual;
        connection->depth = 24;
        ownColormap = true;
    }
    connection->colormap = ownColormap ? XCreateColormap(display, connection->root, connection->visual, AllocNone)
                                       : DefaultColormap(display, connection->screen);
    // A GC for the window's depth: a window of another visual than the root's needs its own.
    Pixmap probe = XCreatePixmap(display, connection->root, 1, 1, static_cast<unsigned>(connection->depth));
    connection->gc = XCreateGC(display, probe, 0, nullptr);
    XFreePixmap(display, probe);
    int major = 0, minor = 0;
    Bool pixmaps = False;
    connection->hasShm = XShmQueryVersion(display, &major, &minor, &pixmaps) == True;
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display, True, &supported);
    connection->detectableRepeat = supported == True;
    const char* names[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME", "UTF8_STRING", "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
                           "_NET_WORKAREA", "_NET_SUPPORTING_WM_CHECK", "_NET_ACTIVE_WINDOW", "CLIPBOARD", "TARGETS",
                           "TEXT", "CX_SELECTION"};
    static_assert(sizeof(Atoms) == sizeof(names) / sizeof(names[0]) * sizeof(Atom));
    XInternAtoms(display, const_cast<char**>(names), static_cast<int>(sizeof(names) / sizeof(names[0])), False,
                 reinterpret_cast<Atom*>(&connection->atoms));
    return connection;
}

// One shown top-level window.
struct TopWindow {
    HWND hwnd = nullptr;
    ::Window id = 0;
    XIC ic = nullptr;
    // A bare popup (a menu, a drop list): no window manager, grabs while it holds the capture.
    bool popup = false;
    bool viewable = false;
    bool wantsGrab = false;
    bool grabbed = false;
    // The shared image of MIT-SHM, and whether the server still reads it.
    XImage* shmImage = nullptr;
    XShmSegmentInfo shm = {};
    bool shmBusy = false;
};

bool HostIsLittleEndian()
{
    const uint32_t one = 1;
    return *reinterpret_cast<const uint8_t*>(&one) == 1;
}

class X11Backend : public Backend {
public:
    X11Backend(std::unique_ptr<Connection> connection, bool useShm);
    ~X11Backend() override;

    const Metrics& GetMetrics() const override { return fMetrics; }
    void TopLevelAdded(HWND hwnd) override { (void)hwnd; }
    void TopLevelRemoved(HWND hwnd) override;
    void TopLevelChanged(HWND hwnd, TopLevelChange what) override;
    void Present(HWND hwnd, const PresentedImage& image, const std::vector<RECT>& region) override;
    void Wait(int64_t deadline) override;
    void Wake() override { fWake.Signal(); }
    void ClipboardTextChanged(const std::u16string* text) override;
    SharedClipboard ReadSharedClipboardText(std::u16string* text) override;

private:
    Display* D() const { return fConnection->display; }
    TopWindow* Find(HWND hwnd);
    TopWindow* FindX(::Window id);
    void Show(HWND hwnd);
    void Create(TopWindow* window);
    void Destroy(TopWindow* window);
    void SetHints(TopWindow* window);
    void SetTitle(TopWindow* window);
    void MoveToLayer(TopWindow* window);
    void Focus(TopWindow* window);
    void Grab(TopWindow* window);
    void Ungrab(TopWindow* window);
    void ReadMetrics();
    bool HasWindowManager();

    void Drain();
    void Handle(XEvent* event);
    void HandleKey(XKeyEvent* event);
    void Flush();
    void AnswerSelectionRequest(const XSelectionRequestEvent& request);

    bool PresentShm(TopWindow* window, const PresentedImage& image, const std::vector<RECT>& region);
    bool EnsureSegment(TopWindow* window, int width, int height);
    void ReleaseSegment(TopWindow* window);
    void WaitSegment(TopWindow* window);

    std::unique_ptr<Connection> fConnection;
    Metrics fMetrics;
    WakeCounter fWake;
    bool fUseShm;
    int fShmCompletion = 0;
    XIM fIM = nullptr;
    EventTranslator fTranslator;
    std::vector<InputEvent> fOut;
    std::map<HWND, TopWindow> fWindows;
    // The selection's text while this program owns CLIPBOARD.
    ::Window fSelectionWindow = 0;
    bool fOwnsClipboard = false;
    std::string fClipboardText;
    // The time of the last user input, for the selection requests.
    Time fLastTime = CurrentTime;
};

X11Backend::X11Backend(std::unique_ptr<Connection> connection, bool useShm)
    : fConnection(std::move(connection)),
      fUseShm(useShm),
      fTranslator(fConnection->detectableRepeat)
{
    ReadMetrics();
    if (fUseShm)
        fShmCompletion = XShmGetEventBase(D()) + ShmCompletion;
    XSetLocaleModifiers("");
    fIM = XOpenIM(D(), nullptr, nullptr, nullptr);
    if (fIM == nullptr) {
        XSetLocaleModifiers("@im=none");
        fIM = XOpenIM(D(), nullptr, nullptr, nullptr);
    }
    XSelectInput(D(), fConnection->root, PropertyChangeMask);
    // The owner of the clipboard selection, never shown.
    fSelectionWindow = XCreateSimpleWindow(D(), fConnection->root, -10, -10, 1, 1, 0, 0, 0);
}

X11Backend::~X11Backend()
{
    while (!fWindows.empty())
        Destroy(&fWindows.begin()->second);
    if (fIM != nullptr)
        XCloseIM(fIM);
    XDestroyWindow(D(), fSelectionWindow);
    XFlush(D());
}

TopWindow* X11Backend::Find(HWND hwnd)
{
    auto it = fWindows.find(hwnd);
    return it == fWindows.end() ? nullptr : &it->second;
}

TopWindow* X11Backend::FindX(::Window id)
{
    for (auto& [hwnd, window] : fWindows) {
        if (window.id == id)
            return &window;
    }
    return nullptr;
}

void X11Backend::ReadMetrics()
{
    // The window manager draws frames and captions outside the window.
    fMetrics = headless::HeadlessBackend::DisplayMetrics(DisplayWidth(D(), fConnection->screen),
                                                         DisplayHeight(D(), fConnection->screen));
    std::vector<long> area = fConnection->CardinalProperty(fConnection->root, fConnection->atoms.netWorkArea);
    if (area.size() >= 4 && area[2] > 0 && area[3] > 0)
        fMetrics.workArea = {static_cast<LONG>(area[0]), static_cast<LONG>(area[1]), static_cast<LONG>(area[0] + area[2]),
                             static_cast<LONG>(area[1] + area[3])};
}

bool X11Backend::HasWindowManager()
{
    const Atoms& atoms = fConnection->atoms;
    std::vector<long> check = fConnection->CardinalProperty(fConnection->root, atoms.netSupportingWmCheck, XA_WINDOW);
    if (check.empty() || check[0] == 0)
        return false;
    std::vector<long> self = fConnection->CardinalProperty(static_cast<::Window>(check[0]), atoms.netSupportingWmCheck, XA_WINDOW);
    return !self.empty() && self[0] == check[0];
}

void X11Backend::TopLevelChanged(HWND hwnd, TopLevelChange what)
{
    TopWindow* window = Find(hwnd);
    switch (what) {
    case TopLevelChange::Shown:
        Show(hwnd);
        break;
    case TopLevelChange::Hidden:
        if (window != nullptr && window->id != 0) {
            Ungrab(window);
            window->wantsGrab = false;
            window->viewable = false;
            XUnmapWindow(D(), window->id);
        }
        break;
    case TopLevelChange::MovedOrSized:
        if (window != nullptr && window->id != 0) {
            SetHints(window);
            MoveToLayer(window);
        }
        break;
    case TopLevelChange::Title:
        if (window != nullptr && window->id != 0)
            SetTitle(window);
        break;
    case TopLevelChange::Activated:
        if (window != nullptr && window->id != 0 && !window->popup)
            Focus(window);
        break;
    case TopLevelChange::CaptureTaken:
        fTranslator.SetCaptured(true);
        if (window != nullptr && window->popup) {
            window->wantsGrab = true;
            Grab(window);
        }
        break;
    case TopLevelChange::CaptureReleased:
        fTranslator.SetCaptured(false);
        for (auto& [key, each] : fWindows) {
            each.wantsGrab = false;
            Ungrab(&each);
        }
        break;
    }
}

void X11Backend::Show(HWND hwnd)
{
    TopWindow* window = Find(hwnd);
    if (window == nullptr) {
        window = &fWindows[hwnd];
        window->hwnd = hwnd;
        DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        window->popup = (style & WS_POPUP) != 0 && (style & WS_CAPTION) != WS_CAPTION;
        Create(window);
    }
    SetHints(window);
    MoveToLayer(window);
    XMapRaised(D(), window->id);
}

void X11Backend::Create(TopWindow* window)
{
    RECT rect = {0, 0, 1, 1};
    GetWindowRect(window->hwnd, &rect);
    XSetWindowAttributes attributes = {};
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.bit_gravity = NorthWestGravity;
    attributes.colormap = fConnection->colormap;
    attributes.override_redirect = window->popup ? True : False;
    attributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                            ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask | FocusChangeMask;
    window->id = XCreateWindow(D(), fConnection->root, rect.left, rect.top,
                               static_cast<unsigned>(std::max<LONG>(rect.right - rect.left, 1)),
                               static_cast<unsigned>(std::max<LONG>(rect.bottom - rect.top, 1)), 0, fConnection->depth,
                               InputOutput, fConnection->visual,
                               CWBackPixmap | CWBorderPixel | CWBitGravity | CWColormap | CWOverrideRedirect | CWEventMask,
                               &attributes);
    const Atoms& atoms = fConnection->atoms;
    Atom protocols[] = {atoms.wmDeleteWindow};
    XSetWMProtocols(D(), window->id, protocols, 1);
    XWMHints hints = {};
    hints.flags = InputHint | StateHint;
    hints.input = window->popup ? False : True;
    hints.initial_state = NormalState;
    XSetWMHints(D(), window->id, &hints);
    HWND owner = GetWindow(window->hwnd, GW_OWNER);
    TopWindow* ownerWindow = owner != nullptr ? Find(owner) : nullptr;
    if (ownerWindow != nullptr && ownerWindow->id != 0)
        XSetTransientForHint(D(), window->id, ownerWindow->id);
    Atom type = window->popup ? atoms.netWmWindowTypePopupMenu
                              : (owner != nullptr ? atoms.netWmWindowTypeDialog : atoms.netWmWindowTypeNormal);
    XChangeProperty(D(), window->id, atoms.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    SetTitle(window);
    if (fIM != nullptr) {
        window->ic = XCreateIC(fIM, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, window->id,
                               XNFocusWindow, window->id, nullptr);
    }
}

void X11Backend::Destroy(TopWindow* window)
{
    Ungrab(window);
    ReleaseSegment(window);
    if (window->ic != nullptr)
        XDestroyIC(window->ic);
    if (window->id != 0)
        XDestroyWindow(D(), window->id);
    fWindows.erase(window->hwnd);
}

void X11Backend::TopLevelRemoved(HWND hwnd)
{
    if (TopWindow* window = Find(hwnd))
        Destroy(window);
}

void X11Backend::SetHints(TopWindow* window)
{
    RECT rect = {0, 0, 1, 1};
    GetWindowRect(window->hwnd, &rect);
    int width = std::max<int>(rect.right - rect.left, 1);
    int height = std::max<int>(rect.bottom - rect.top, 1);
    XSizeHints hints = {};
    hints.flags = USPosition | USSize | PMinSize | PMaxSize | PWinGravity;
    hints.x = rect.left;
    hints.y = rect.top;
    hints.width = width;
    hints.height = height;
    // The window is where the program put it; the window manager's frame goes around it.
    hints.win_gravity = StaticGravity;
    DWORD style = static_cast<DWORD>(GetWindowLongW(window->hwnd, GWL_STYLE));
    if ((style & WS_THICKFRAME) == 0) {
        hints.min_width = hints.max_width = width;
        hints.min_height = hints.max_height = height;
    } else {
        const Metrics& m = fMetrics;
        MINMAXINFO info = {};
        info.ptMaxSize = {m.workArea.right - m.workArea.left, m.workArea.bottom - m.workArea.top};
        info.ptMinTrackSize = {120, 1};
        info.ptMaxTrackSize = {m.screenWidth, m.screenHeight};
        SendMessageW(window->hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        hints.min_width = std::max<int>(info.ptMinTrackSize.x, 1);
        hints.min_height = std::max<int>(info.ptMinTrackSize.y, 1);
        hints.max_width = std::max<int>(info.ptMaxTrackSize.x, hints.min_width);
        hints.max_height = std::max<int>(info.ptMaxTrackSize.y, hints.min_height);
    }
    XSetWMNormalHints(D(), window->id, &hints);
}

void X11Backend::SetTitle(TopWindow* window)
{
    int length = GetWindowTextLengthW(window->hwnd);
    std::u16string title(static_cast<size_t>(std::max(length, 0)) + 1, u'\0');
    title.resize(static_cast<size_t>(std::max(GetWindowTextW(window->hwnd, title.data(), length + 1), 0)));
    std::string utf8 = ToUtf8(title);
    const Atoms& atoms = fConnection->atoms;
    XChangeProperty(D(), window->id, atoms.netWmName, atoms.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    Xutf8SetWMProperties(D(), window->id, utf8.c_str(), utf8.c_str(), nullptr, 0, nullptr, nullptr, nullptr);
}

void X11Backend::MoveToLayer(TopWindow* window)
{
    RECT rect = {0, 0, 1, 1};
    GetWindowRect(window->hwnd, &rect);
    XMoveResizeWindow(D(), window->id, rect.left, rect.top, static_cast<unsigned>(std::max<LONG>(rect.right - rect.left, 1)),
                      static_cast<unsigned>(std::max<LONG>(rect.bottom - rect.top, 1)));
}

void X11Backend::Focus(TopWindow* window)
{
    if (HasWindowManager()) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window->id;
        event.xclient.message_type = fConnection->atoms.netActiveWindow;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 1; // an application's request
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(D(), fConnection->root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
        return;
    }
    // Without a window manager the focus is this program's to set, once the window is viewable.
    if (window->viewable) {
        XRaiseWindow(D(), window->id);
        XSetInputFocus(D(), window->id, RevertToParent, CurrentTime);
    }
}

void X11Backend::Grab(TopWindow* window)
{
    if (window->grabbed || !window->viewable)
        return;
    unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
    XGrabPointer(D(), window->id, True, mask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XGrabKeyboard(D(), window->id, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    window->grabbed = true;
}

void X11Backend::Ungrab(TopWindow* window)
{
    if (!window->grabbed)
        return;
    XUngrabPointer(D(), CurrentTime);
    XUngrabKeyboard(D(), CurrentTime);
    window->grabbed = false;
}

void X11Backend::Present(HWND hwnd, const PresentedImage& image, const std::vector<RECT>& region)
{
    TopWindow* window = Find(hwnd);
    if (window == nullptr || window->id == 0 || image.width <= 0 || image.height <= 0)
        return;
    std::vector<RECT> rects;
    for (const RECT& rect : region) {
        RECT clipped = {std::max<LONG>(rect.left, 0), std::max<LONG>(rect.top, 0), std::min<LONG>(rect.right, image.width),
                        std::min<LONG>(rect.bottom, image.height)};
        if (clipped.left < clipped.right && clipped.top < clipped.bottom)
            rects.push_back(clipped);
    }
    if (rects.empty())
        return;
    if (fUseShm && PresentShm(window, image, rects))
        return;
    XImage* put = XCreateImage(D(), fConnection->visual, static_cast<unsigned>(fConnection->depth), ZPixmap, 0,
                               reinterpret_cast<char*>(const_cast<uint8_t*>(image.pixels)),
                               static_cast<unsigned>(image.width), static_cast<unsigned>(image.height), 32, image.stride);
    if (put == nullptr)
        return;
    // The pixels are in this machine's order; Xlib swaps them for a server of the other order.
    put->byte_order = HostIsLittleEndian() ? LSBFirst : MSBFirst;
    for (const RECT& rect : rects)
        XPutImage(D(), window->id, fConnection->gc, put, rect.left, rect.top, rect.left, rect.top,
                  static_cast<unsigned>(rect.right - rect.left), static_cast<unsigned>(rect.bottom - rect.top));
    put->data = nullptr;
    XDestroyImage(put);
}

bool X11Backend::PresentShm(TopWindow* window, const PresentedImage& image, const std::vector<RECT>& rects)
{
    if (!EnsureSegment(window, image.width, image.height))
        return false;
    WaitSegment(window);
    XImage* shared = window->shmImage;
    bool swap = (shared->byte_order == LSBFirst) != HostIsLittleEndian();
    for (const RECT& rect : rects)
        CopyPixels(image.pixels, image.stride, rect, reinterpret_cast<uint8_t*>(shared->data), shared->bytes_per_line, swap);
    for (size_t i = 0; i < rects.size(); ++i) {
        const RECT& rect = rects[i];
        // Only the last put asks for the completion that frees the segment.
        XShmPutImage(D(), window->id, fConnection->gc, shared, rect.left, rect.top, rect.left, rect.top,
                     static_cast<unsigned>(rect.right - rect.left), static_cast<unsigned>(rect.bottom - rect.top),
                     i + 1 == rects.size() ? True : False);
    }
    window->shmBusy = true;
    return true;
}

bool X11Backend::EnsureSegment(TopWindow* window, int width, int height)
{
    if (window->shmImage != nullptr && window->shmImage->width == width && window->shmImage->height == height)
        return true;
    ReleaseSegment(window);
    XImage* shared = XShmCreateImage(D(), fConnection->visual, static_cast<unsigned>(fConnection->depth), ZPixmap, nullptr,
                                     &window->shm, static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (shared == nullptr)
        return false;
    void* address = nullptr;
    int id = CreateSegment(static_cast<size_t>(shared->bytes_per_line) * static_cast<size_t>(height), &address);
    if (id < 0) {
        XDestroyImage(shared);
        CXDebugLog("X11> no shared memory for the window images; sending them in requests");
        fUseShm = false;
        return false;
    }
    window->shm.shmid = id;
    window->shm.shmaddr = shared->data = static_cast<char*>(address);
    window->shm.readOnly = False;
    // The server may refuse the segment (another host, another IPC namespace): only a round trip
    // tells.
    fConnection->BeginErrorCheck();
    XShmAttach(D(), &window->shm);
    XSync(D(), False);
    bool refused = fConnection->EndErrorCheck();
    MarkSegmentRemoved(id);
    if (refused) {
        shared->data = nullptr;
        XDestroyImage(shared);
        DetachSegment(address);
        window->shm = {};
        CXDebugLog("X11> the X server refused the shared memory; sending the window images in requests");
        fUseShm = false;
        return false;
    }
    window->shmImage = shared;
    return true;
}

void X11Backend::WaitSegment(TopWindow* window)
{
    if (!window->shmBusy)
        return;
    XFlush(D());
    int64_t deadline = core::NowNanoseconds() + 1000000000;
    struct Match {
        int type;
        ::Window id;
    } match = {fShmCompletion, window->id};
    auto isCompletion = [](Display*, XEvent* event, XPointer argument) -> Bool {
        const Match* m = reinterpret_cast<const Match*>(argument);
        return event->type == m->type && reinterpret_cast<XShmCompletionEvent*>(event)->drawable == m->id ? True : False;
    };
    XEvent event;
    while (XCheckIfEvent(D(), &event, isCompletion, reinterpret_cast<XPointer>(&match)) == False) {
        int64_t left = deadline - core::NowNanoseconds();
        if (left <= 0) {
            CXDebugLog("X11> no completion of a shared image in 1 s");
            break;
        }
        WaitForEither(ConnectionNumber(D()), -1, static_cast<int>(left / 1000000) + 1);
        XEventsQueued(D(), QueuedAfterReading);
    }
    window->shmBusy = false;
}

void X11Backend::ReleaseSegment(TopWindow* window)
{
    if (window->shmImage == nullptr)
        return;
    WaitSegment(window);
    XShmDetach(D(), &window->shm);
    XSync(D(), False);
    window->shmImage->data = nullptr;
    XDestroyImage(window->shmImage);
    DetachSegment(window->shm.shmaddr);
    window->shmImage = nullptr;
    window->shm = {};
}

void X11Backend::Wait(int64_t deadline)
{
    Drain();
    int timeout = -1;
    if (deadline != INT64_MAX) {
        int64_t left = deadline - core::NowNanoseconds();
        if (left <= 0)
            return;
        int64_t milliseconds = (left + 999999) / 1000000;
        timeout = milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds);
    }
    WaitForEither(ConnectionNumber(D()), fWake.Fd(), timeout);
    fWake.Drain();
    Drain();
}

void X11Backend::Drain()
{
    XFlush(D());
    while (XPending(D()) > 0) {
        XEvent event;
        XNextEvent(D(), &event);
        if (XFilterEvent(&event, None) == True)
            continue;
        Handle(&event);
    }
    fTranslator.Flush(&fOut);
    Flush();
}

void X11Backend::Flush()
{
    std::vector<InputEvent> events;
    events.swap(fOut);
    for (const InputEvent& event : events)
        core::PushInput(event);
}

void X11Backend::HandleKey(XKeyEvent* event)
{
    KeyInput key;
    key.press = event->type == KeyPress;
    key.keycode = event->keycode;
    key.time = event->time;
    key.state = event->state;
    fLastTime = event->time;
    auto base = static_cast<uint32_t>(XLookupKeysym(event, 0));
    if (!key.press) {
        key.meaning.key = VirtualKeyOfKeysym(base);
        fTranslator.Key(key, &fOut);
        return;
    }
    TopWindow* window = FindX(event->window);
    KeySym keysym = NoSymbol;
    if (window != nullptr && window->ic != nullptr) {
        std::string text(64, '\0');
        Status status = 0;
        int length = Xutf8LookupString(window->ic, event, text.data(), static_cast<int>(text.size()), &keysym, &status);
        if (status == XBufferOverflow) {
            text.resize(static_cast<size_t>(length));
            length = Xutf8LookupString(window->ic, event, text.data(), length, &keysym, &status);
        }
        text.resize(status == XLookupChars || status == XLookupBoth ? static_cast<size_t>(std::max(length, 0)) : 0);
        if (status == XLookupChars)
            keysym = NoSymbol;
        uint32_t looked = keysym != NoSymbol ? static_cast<uint32_t>(keysym) : base;
        key.meaning = TranslateKey(looked, base, event->state, &text);
    } else {
        char buffer[32];
        XLookupString(event, buffer, sizeof buffer, &keysym, nullptr);
        key.meaning = TranslateKey(keysym != NoSymbol ? static_cast<uint32_t>(keysym) : base, base, event->state, nullptr);
    }
    fTranslator.Key(key, &fOut);
}

void X11Backend::Handle(XEvent* event)
{
    const Atoms& atoms = fConnection->atoms;
    if (fUseShm && event->type == fShmCompletion) {
        if (TopWindow* window = FindX(reinterpret_cast<XShmCompletionEvent*>(event)->drawable))
            window->shmBusy = false;
        return;
    }
    switch (event->type) {
    case KeyPress:
    case KeyRelease:
        HandleKey(&event->xkey);
        return;
    case ButtonPress:
    case ButtonRelease: {
        const XButtonEvent& button = event->xbutton;
        fLastTime = button.time;
        if (event->type == ButtonPress) {
            TopWindow* window = FindX(button.window);
            if (window != nullptr && !window->popup && !HasWindowManager())
                Focus(window);
        }
        fTranslator.Button({event->type == ButtonPress, button.button, {button.x_root, button.y_root}, button.state}, &fOut);
        return;
    }
    case MotionNotify:
        fTranslator.Motion({event->xmotion.x_root, event->xmotion.y_root}, event->xmotion.state, &fOut);
        return;
    case EnterNotify:
    case LeaveNotify: {
        const XCrossingEvent& crossing = event->xcrossing;
        fTranslator.Crossing(event->type == EnterNotify, {crossing.x_root, crossing.y_root}, crossing.mode, crossing.detail,
                             crossing.state, &fOut);
        return;
    }
    case FocusIn:
    case FocusOut: {
        TopWindow* window = FindX(event->xfocus.window);
        if (window != nullptr && !window->popup)
            fTranslator.Focus(event->type == FocusIn, window->hwnd, event->xfocus.mode, event->xfocus.detail, &fOut);
        return;
    }
    case Expose: {
        const XExposeEvent& expose = event->xexpose;
        if (TopWindow* window = FindX(expose.window))
            fTranslator.Exposure(window->hwnd, {expose.x, expose.y, expose.x + expose.width, expose.y + expose.height}, &fOut);
        return;
    }
    case ConfigureNotify: {
        const XConfigureEvent& configure = event->xconfigure;
        TopWindow* window = FindX(configure.window);
        if (window == nullptr)
            return;
        ConfigureInput input;
        input.x = configure.x;
        input.y = configure.y;
        input.width = configure.width;
        input.height = configure.height;
        input.synthetic = configure.send_event != False;
        if (!input.synthetic) {
            int x = 0, y = 0;
            ::Window child = 0;
            if (XTranslateCoordinates(D(), window->id, fConnection->root, 0, 0, &x, &y, &child) == True)
                input.onRoot = POINT{x, y};
        }
        fTranslator.Configure(window->hwnd, input, &fOut);
        return;
    }
    case MapNotify: {
        TopWindow* window = FindX(event->xmap.window);
        if (window == nullptr)
            return;
        window->viewable = true;
        if (window->wantsGrab)
            Grab(window);
        else if (!window->popup && !HasWindowManager() && GetActiveWindow() == window->hwnd)
            Focus(window);
        return;
    }
    case UnmapNotify:
        if (TopWindow* window = FindX(event->xunmap.window))
            window->viewable = false;
        return;
    case ClientMessage:
        if (event->xclient.message_type == atoms.wmProtocols &&
            static_cast<Atom>(event->xclient.data.l[0]) == atoms.wmDeleteWindow) {
            if (TopWindow* window = FindX(event->xclient.window))
                fTranslator.Close(window->hwnd, &fOut);
        }
        return;
    case PropertyNotify:
        if (event->xproperty.window == fConnection->root && event->xproperty.atom == atoms.netWorkArea)
            ReadMetrics();
        return;
    case SelectionRequest:
        AnswerSelectionRequest(event->xselectionrequest);
        return;
    case SelectionClear:
        if (event->xselectionclear.selection == atoms.clipboard)
            fOwnsClipboard = false;
        return;
    default:
        return;
    }
}

void X11Backend::ClipboardTextChanged(const std::u16string* text)
{
    const Atoms& atoms = fConnection->atoms;
    if (text == nullptr) {
        if (fOwnsClipboard && XGetSelectionOwner(D(), atoms.clipboard) == fSelectionWindow)
            XSetSelectionOwner(D(), atoms.clipboard, None, fLastTime);
        fOwnsClipboard = false;
        fClipboardText.clear();
        return;
    }
    // Other programs break lines with LF alone.
    std::u16string lines;
    for (size_t i = 0; i < text->size(); ++i) {
        if ((*text)[i] == u'\r' && i + 1 < text->size() && (*text)[i + 1] == u'\n')
            continue;
        lines += (*text)[i];
    }
    fClipboardText = ToUtf8(lines);
    XSetSelectionOwner(D(), atoms.clipboard, fSelectionWindow, fLastTime);
    fOwnsClipboard = XGetSelectionOwner(D(), atoms.clipboard) == fSelectionWindow;
}

void X11Backend::AnswerSelectionRequest(const XSelectionRequestEvent& request)
{
    const Atoms& atoms = fConnection->atoms;
    XEvent reply = {};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    // A client of the old conventions names no property: the target stands for it.
    Atom property = request.property != None ? request.property : request.target;
    if (fOwnsClipboard && request.selection == atoms.clipboard) {
        if (request.target == atoms.targets) {
            Atom targets[] = {atoms.targets, atoms.utf8String, atoms.text};
            XChangeProperty(D(), request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(targets), 3);
            reply.xselection.property = property;
        } else if (request.target == atoms.utf8String || request.target == atoms.text) {
            // One request carries the whole text or the request is refused: no transfer in parts,
            // and never a text cut short.
            long limit = XExtendedMaxRequestSize(D());
            if (limit == 0)
                limit = XMaxRequestSize(D());
            size_t room = static_cast<size_t>(limit) * 4 - 64;
            if (fClipboardText.size() <= room) {
                XChangeProperty(D(), request.requestor, property, atoms.utf8String, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(fClipboardText.data()),
                                static_cast<int>(fClipboardText.size()));
                reply.xselection.property = property;
            } else {
                CXDebugLog("X11> the clipboard text (%zu bytes) is too large for one X request; refused", fClipboardText.size());
            }
        }
    }
    XSendEvent(D(), request.requestor, False, NoEventMask, &reply);
}

Backend::SharedClipboard X11Backend::ReadSharedClipboardText(std::u16string* text)
{
    const Atoms& atoms = fConnection->atoms;
    if (fOwnsClipboard)
        return kOwn;
    if (XGetSelectionOwner(D(), atoms.clipboard) == None)
        return kNothing;
    XDeleteProperty(D(), fSelectionWindow, atoms.transfer);
    XConvertSelection(D(), atoms.clipboard, atoms.utf8String, atoms.transfer, fSelectionWindow, fLastTime);
    XFlush(D());
    int64_t deadline = core::NowNanoseconds() + 1000000000;
    XEvent event;
    while (XCheckTypedWindowEvent(D(), fSelectionWindow, SelectionNotify, &event) == False) {
        int64_t left = deadline - core::NowNanoseconds();
        if (left <= 0)
            return kNothing;
        WaitForEither(ConnectionNumber(D()), -1, static_cast<int>(left / 1000000) + 1);
        XEventsQueued(D(), QueuedAfterReading);
    }
    if (event.xselection.property == None)
        return kNothing;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(D(), fSelectionWindow, atoms.transfer, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success)
        return kNothing;
    std::string bytes;
    // Only a whole text in one piece: a transfer in parts (INCR) gives nothing.
    bool usable = data != nullptr && type == atoms.utf8String && format == 8;
    if (usable)
        bytes.assign(reinterpret_cast<const char*>(data), count);
    if (data != nullptr)
        XFree(data);
    if (!usable)
        return kNothing;
    std::u16string units = FromUtf8(bytes);
    text->clear();
    for (size_t i = 0; i < units.size(); ++i) {
        if (units[i] == u'\n' && (i == 0 || units[i - 1] != u'\r'))
            *text += u'\r';
        *text += units[i];
    }
    return kText;
}

} // namespace

std::unique_ptr<Backend> OpenBackend(std::string* problem)
{
    std::unique_ptr<Connection> connection = Connection::Open(problem);
    if (connection == nullptr)
        return nullptr;
    bool useShm = connection->hasShm;
    if (const char* noShm = std::getenv("CX_X11_NO_SHM"); noShm != nullptr && std::string(noShm) == "1")
        useShm = false;
    return std::make_unique<X11Backend>(std::move(connection), useShm);
}

} // namespace win32::x11

#pragma once

// The test harness of the layer: a headless backend, the layer initialised on the calling thread
// with the built-in controls, one fake clock for the layer and the foundation, a message spy and a
// log of the text drawn. One harness at a time; its destructor destroys every window, shuts the
// layer down and puts the real clocks back.

#include "foundation/CXMutex.h"
#include "win32/api/DropTarget.h"
#include "win32/backend/headless/HeadlessBackend.h"
#include "win32/testing/Pixels.h"
#include "win32/gdi/Text.h"
#include "win32/user/Queue.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace win32::testing {

// Every message sent, in order, with its nesting depth (1 for the outermost send).
class MessageLog : public MessageSpy {
public:
    struct Entry {
        HWND hwnd;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        int depth;
    };

    void OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int depth) override;

    const std::vector<Entry>& Entries() const { return fEntries; }
    // The entries of the listed messages only (all when the list is empty), in order.
    std::vector<Entry> Only(const std::vector<UINT>& messages) const;
    void Clear() { fEntries.clear(); }

private:
    std::vector<Entry> fEntries;
};

// Every text drawn (ExtTextOutW, and DrawTextW unless it only measures), in order: the DC, the
// rectangle, the string as shown (prefixes resolved), the font and the text colour. Drawing may
// happen on any thread, so the log keeps its own lock.
class TextLog : public TextSpy {
public:
    void OnText(const DrawnText& drawn) override;

    std::vector<DrawnText> Entries() const;
    // The shown strings only, in order.
    std::vector<std::u16string> Strings() const;
    void Clear();

private:
    mutable CXMutex fLock;
    std::vector<DrawnText> fEntries;
};

// A picture of the screen: width * height pixels (premultiplied 0xAARRGGBB), rows top first.
struct ScreenPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    // kNoPixel outside.
    uint64_t At(int x, int y) const;
};

// How a drag ended: whether a target took the drop, and the effect its Drop answered
// (DROPEFFECT_NONE when nothing was dropped).
struct DragResult {
    bool dropped = false;
    DROPEFFECT effect = DROPEFFECT_NONE;
};

class Harness {
public:
    Harness();
    // With a backend of the test's own (a headless one with some hooks overridden), borrowed: it
    // must outlive the harness.
    explicit Harness(headless::HeadlessBackend* backend);
    ~Harness();
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    // For golden pictures that hold on any machine: every font face drawn as the test face "Layer
    // Test Box" (FontEngine.h) and, for each harness made afterwards, the metrics the X11 backend
    // reports (HeadlessBackend::DisplayMetrics: no frame or caption, the work area the whole
    // 1920 x 1080 screen) instead of the headless defaults. Process-wide; call it before the
    // harness and the fonts are made (fonts made earlier keep their face). False puts both back
    // for what is made afterwards.
    static void UseTestFaceAndDisplayMetrics(bool on);

    headless::HeadlessBackend& Backend() { return *fActive; }
    MessageLog& Spy() { return fSpy; }
    const MessageLog& Spy() const { return fSpy; }
    TextLog& Texts() { return fTexts; }
    // The program's instance (GetModuleHandleW(NULL)).
    HINSTANCE Instance() const;

    // Moves the fake clock on; it never goes back.
    void Advance(int64_t milliseconds);
    int64_t NowMilliseconds() const;

    // Input, queued as the backend would queue it; the queue hit-tests it when it is taken.
    // Points are on the screen, or in the client area of a window.
    void MoveTo(POINT screen);
    void MoveTo(HWND hwnd, POINT client);
    // Press and release of a button (VK_LBUTTON, VK_RBUTTON) at a point.
    void Press(POINT screen, UINT button = VK_LBUTTON);
    void Release(POINT screen, UINT button = VK_LBUTTON);
    void Click(POINT screen, UINT button = VK_LBUTTON);
    void Click(HWND hwnd, POINT client, UINT button = VK_LBUTTON);
    // Two clicks with no time between them.
    void DoubleClick(HWND hwnd, POINT client);
    // notches of WHEEL_DELTA; positive away from the user.
    void Wheel(POINT screen, int notches, bool horizontal = false);
    // A turn of delta wheel units (WHEEL_DELTA a notch), so parts of a notch too.
    void WheelDelta(POINT screen, int delta, bool horizontal = false);
    // A key down (with its text, repeat: an auto-repeat) and up.
    void KeyDown(UINT key, const std::u16string& text = u"", bool repeat = false);
    void KeyUp(UINT key);
    // Each unit of text as a key that types it (letters and digits by their own keys).
    void Type(const std::u16string& text);
    // The modifiers (sided or not) held down around key: Chord({VK_LCONTROL}, 'A').
    void Chord(const std::vector<UINT>& modifiers, UINT key);

    // The user drags data across the screen points with the left button held and the MK_* bits of
    // keyState, as the system's drag loop tells the drop targets (RegisterDragDrop): at each point
    // the target under it gets DragEnter when the pointer comes to it (the target it left gets
    // DragLeave), else DragOver; at the last point the button is released: the target there gets
    // Drop when its last answer was not DROPEFFECT_NONE, else DragLeave. Every call offers the
    // allowed effects; a failed call answers DROPEFFECT_NONE. A target is referenced while the
    // pointer is over it. Runs at once: nothing is pumped in between. Nothing without points.
    DragResult Drag(IDataObject* data, const std::vector<POINT>& screenPoints, DWORD keyState = 0,
                    DROPEFFECT allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK);

    // The user drags the window's bottom-right corner until the window rectangle is width x height:
    // WM_ENTERSIZEMOVE, WM_GETMINMAXINFO (whose track sizes bound the size), the resize as
    // SetWindowPos does it, WM_EXITSIZEMOVE. Nothing for a bad window.
    void UserResize(HWND hwnd, int width, int height);

    // What the window system does to a top-level window, queued in order with the input (see
    // InputEvent): the user asks to close it (the close box); the window system places it at a
    // window rectangle (screen), gives it its focus or takes it away, or lost the pixels of a
    // rectangle (window coordinates).
    void RequestClose(HWND hwnd);
    void Configure(HWND hwnd, const RECT& windowRect);
    void ActivateBySystem(HWND hwnd);
    void DeactivateBySystem(HWND hwnd);
    void Expose(HWND hwnd, const RECT& lost);

    // The composed screen: transparent black, then the back buffer of each visible top-level window
    // at its window rectangle, bottom to top in z-order (each covering what lies beneath).
    ScreenPicture ScreenImage() const;
    // One pixel of ScreenImage; kNoPixel off the screen.
    uint64_t Pixel(POINT screen) const;

    // Menus that exist now (made and not yet destroyed), bars and pop-ups alike.
    static size_t LiveMenuCount();

    // Takes, translates and dispatches every message that is ready now, without moving the
    // clock. False (and a log line) when 10 000 messages did not empty the queue.
    bool PumpUntilIdle();

    // Scripted blocking points: when GetMessageW would wait, the oldest step runs; without steps
    // the clock jumps to the next timer; without timers a deadlock is reported (Deadlocked) and
    // WM_QUIT ends the loop.
    void AddStep(std::function<void()> step);
    bool Deadlocked() const { return fDeadlocked; }

private:
    void OnWait(int64_t deadline);

    headless::HeadlessBackend fBackend;
    // fBackend, or the test's own.
    headless::HeadlessBackend* fActive;
    MessageLog fSpy;
    TextLog fTexts;
    std::deque<std::function<void()>> fSteps;
    bool fDeadlocked = false;
};

} // namespace win32::testing

#pragma once

// A second X client for the display tests: it finds the program's windows, sends input through
// the XTEST extension as a user would, does what a window manager or another program does to a
// window (close requests, resizing, covering it), and takes part in the CLIPBOARD selection.
// Xlib stays inside X11TestClientLinux.cpp.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace x11test {

// Makes Xlib safe for connections used on different threads; call before any other X call of the
// process (the clipboard peer runs on a thread of its own).
void PrepareThreads();

class Client {
public:
    // Connects to $DISPLAY; IsOpen tells whether that worked.
    Client();
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool IsOpen() const { return fDisplay != nullptr; }

    // The viewable window with the title (_NET_WM_NAME), 0 when there is none.
    uint64_t FindWindow(const std::string& title);
    // The window's rectangle on the root window; false when it does not exist.
    bool Geometry(uint64_t window, int* x, int* y, int* width, int* height);
    bool IsOnScreen(uint64_t window);

    // Input through XTEST; each call is flushed at once. Buttons are X buttons (1 left, 3 right,
    // 4 and 5 the wheel); keys are keysym names ("a", "Tab", "Shift_L", "Escape").
    void MoveTo(int x, int y);
    void Button(int button, bool press);
    void Click(int x, int y, int button = 1);
    void Key(const char* keysym, bool press);
    // The modifiers held around one key: Tap("Tab", {"Shift_L"}).
    void Tap(const char* keysym, const std::vector<const char*>& modifiers = {});

    // What a window manager does: WM_DELETE_WINDOW through WM_PROTOCOLS; a new size.
    void SendDeleteWindow(uint64_t window);
    void Resize(uint64_t window, int width, int height);
    // A plain window of our own over the rectangle, mapped and raised; Uncover destroys it again,
    // so the windows beneath lose those pixels (Expose).
    uint64_t Cover(int x, int y, int width, int height);
    void Uncover(uint64_t cover);

private:
    void* fDisplay = nullptr;
};

// Another program's side of the CLIPBOARD selection, on a connection and a thread of its own (so
// it answers while the program under test waits for it, and the other way round).
class ClipboardPeer {
public:
    ClipboardPeer();
    // Stops the thread and closes the connection.
    ~ClipboardPeer();
    ClipboardPeer(const ClipboardPeer&) = delete;
    ClipboardPeer& operator=(const ClipboardPeer&) = delete;

    bool IsOpen() const { return fOpen; }

    // Takes the selection with the text (UTF-8) and answers UTF8_STRING and TARGETS requests.
    void Own(const std::string& text);
    // Asks the owner for the selection as UTF8_STRING. Done() turns true once it answered (Text
    // then holds what it gave) or refused (Failed()).
    void Request();
    bool Done() const { return fDone.load(); }
    bool Failed() const { return fFailed.load(); }
    std::string Text();

private:
    void Run();

    void* fDisplay = nullptr;
    uint64_t fWindow = 0;
    bool fOpen = false;
    int fWakeFd = -1;
    std::thread fThread;
    std::mutex fLock;
    std::string fOwnText;
    std::string fReceived;
    std::atomic<int> fCommand{0};
    std::atomic<bool> fStop{false};
    std::atomic<bool> fDone{false};
    std::atomic<bool> fFailed{false};
};

} // namespace x11test

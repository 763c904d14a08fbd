#pragma once

// The test harness of the layer: a headless backend, the layer initialised on the calling thread,
// one fake clock for the layer and the foundation, and a message spy. One harness at a time; its
// destructor destroys every window, shuts the layer down and puts the real clocks back.

#include "win32/backend/headless/HeadlessBackend.h"
#include "win32/user/User.h"

#include <cstdint>
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

class Harness {
public:
    Harness();
    ~Harness();
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    headless::HeadlessBackend& Backend() { return fBackend; }
    MessageLog& Spy() { return fSpy; }
    const MessageLog& Spy() const { return fSpy; }
    // The program's instance (GetModuleHandleW(NULL)).
    HINSTANCE Instance() const;

    // Moves the fake clock on; it never goes back.
    void Advance(int64_t milliseconds);
    int64_t NowMilliseconds() const;

private:
    headless::HeadlessBackend fBackend;
    MessageLog fSpy;
};

} // namespace win32::testing

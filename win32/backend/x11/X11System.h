#pragma once

// The few system calls the X11 backend makes besides Xlib's: the wake-up counter other threads
// signal, the wait on it and the X connection together, and the shared memory of MIT-SHM.

#include <cstddef>

namespace win32::x11 {

// An eventfd: any thread signals, the UI thread's wait wakes and drains it.
class WakeCounter {
public:
    WakeCounter();
    ~WakeCounter();
    WakeCounter(const WakeCounter&) = delete;
    WakeCounter& operator=(const WakeCounter&) = delete;

    // False when the system refused the counter.
    bool IsValid() const { return fFd >= 0; }
    int Fd() const { return fFd; }
    void Signal();
    void Drain();

private:
    int fFd = -1;
};

// Waits until connection or counter can be read, or timeoutMs passes (negative: no limit).
// Returns after a signal interrupts it too.
void WaitForEither(int connection, int counter, int timeoutMs);

// A System V shared memory segment of size bytes, mapped here: its id, or -1 when the system refused.
// Removed at once after the X server attached it (MarkSegmentRemoved), so it dies with the last user.
int CreateSegment(size_t size, void** address);
void MarkSegmentRemoved(int id);
void DetachSegment(void* address);

} // namespace win32::x11

#include "foundation/CXDebug.h"

#include "foundation/CXStringEdit.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

void CXDebugCaptureRecord(bool isError, const char* text, size_t length, bool& echo);

namespace {

std::atomic<bool> gBreakEnabled{true};

// The capture seam. Its mutex is a leaf: nothing else is locked while it is held.
std::mutex gCaptureMutex;
std::atomic<CXDebugCapture*> gCapture{nullptr};

void Emit(bool isError, const char* format, va_list args)
{
    CXStringEdit text;
    va_list copy;
    va_copy(copy, args);
    bool formatted = text.AppendFormatV(format, copy);
    va_end(copy);
    if (!formatted) {
        // The builder could not grow: fall back to the text that fits a fixed buffer.
        char fallback[512];
        va_copy(copy, args);
        int n = vsnprintf(fallback, sizeof fallback, format, copy);
        va_end(copy);
        text.Assign(fallback, n < 0 ? 0 : (static_cast<size_t>(n) < sizeof fallback ? static_cast<size_t>(n) : sizeof fallback - 1));
    }

    bool echo = true;
    if (gCapture.load(std::memory_order_acquire) != nullptr)
        CXDebugCaptureRecord(isError, text.data(), text.length(), echo);

    // Standard output is not used: a windowed program has no console, and the debugger output
    // already goes to standard error. One write per line keeps lines of different threads apart.
    if (echo) {
        (void)text.AppendCharacter('\n'); // when the builder cannot grow, the line goes without it
        CXDebugWriteDebuggerOutput(text.data(), text.length());
    }
    if (isError)
        DebugBreakIfAttached();
}

} // namespace

struct CXDebugCapture::State {
    mutable std::mutex mutex;
    std::vector<Line> lines;
};

void CXDebugCaptureRecord(bool isError, const char* text, size_t length, bool& echo)
{
    std::lock_guard<std::mutex> lock(gCaptureMutex);
    CXDebugCapture* capture = gCapture.load(std::memory_order_acquire);
    if (capture == nullptr)
        return;
    echo = capture->fEcho;
    std::lock_guard<std::mutex> stateLock(capture->fState->mutex);
    capture->fState->lines.push_back({isError, std::string(text, length)});
}

CXDebugCapture::CXDebugCapture(bool echo)
    : fState(new State)
    , fEcho(echo)
{
    std::lock_guard<std::mutex> lock(gCaptureMutex);
    fPrevious = gCapture.load();
    gCapture.store(this, std::memory_order_release);
}

CXDebugCapture::~CXDebugCapture()
{
    {
        std::lock_guard<std::mutex> lock(gCaptureMutex);
        if (gCapture.load() == this)
            gCapture.store(fPrevious, std::memory_order_release);
    }
    delete fState;
}

std::vector<CXDebugCapture::Line> CXDebugCapture::Lines() const
{
    std::lock_guard<std::mutex> lock(fState->mutex);
    return fState->lines;
}

size_t CXDebugCapture::Count(const std::string& text) const
{
    std::lock_guard<std::mutex> lock(fState->mutex);
    size_t n = 0;
    for (const Line& line : fState->lines)
        if (line.text.find(text) != std::string::npos)
            ++n;
    return n;
}

size_t CXDebugCapture::ErrorCount() const
{
    std::lock_guard<std::mutex> lock(fState->mutex);
    size_t n = 0;
    for (const Line& line : fState->lines)
        if (line.isError)
            ++n;
    return n;
}

void CXDebugCapture::Clear()
{
    std::lock_guard<std::mutex> lock(fState->mutex);
    fState->lines.clear();
}

void CXDebugError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Emit(true, format, args);
    va_end(args);
}

void CXDebugLog(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Emit(false, format, args);
    va_end(args);
}

void CXDebugSetBreakEnabled(bool enabled)
{
    gBreakEnabled.store(enabled, std::memory_order_relaxed);
}

bool CXDebugIsBreakEnabled()
{
    return gBreakEnabled.load(std::memory_order_relaxed);
}

void DebugBreakIfAttached()
{
    if (CXDebugIsBreakEnabled() && CXDebugIsDebuggerAttached())
        CXDebugBreakIntoDebugger();
}

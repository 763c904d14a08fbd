#pragma once

#include <cstddef>
#include <string>
#include <vector>

#define CX_PRINTF_FORMAT(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))

// Reports misuse or a broken invariant: formats the message (never cut, however long), writes it
// as one line to the debugger output (standard error here) and, when a debugger is attached and
// breaking is enabled, breaks into it. Always returns; the caller goes on with a safe default.
void CXDebugError(const char* format, ...) CX_PRINTF_FORMAT(1, 2);

// Logs a line of progress, or a failure that also has a result code. Never breaks.
void CXDebugLog(const char* format, ...) CX_PRINTF_FORMAT(1, 2);

// The process-wide no-break switch: while breaking is disabled, neither CXDebugError nor the
// shutdown report stops in an attached debugger. Enabled at start.
void CXDebugSetBreakEnabled(bool enabled);
bool CXDebugIsBreakEnabled();

// Breaks into an attached debugger when the no-break switch allows it.
void DebugBreakIfAttached();

// Host side of the diagnostics (CXDebugLinux.cpp).
bool CXDebugIsDebuggerAttached();
void CXDebugBreakIntoDebugger();
void CXDebugWriteDebuggerOutput(const char* text, size_t length);

// Test seam: while an instance is alive, every diagnostic line is also recorded here (without its
// line feed). Lines are not written to standard error unless echo is set. Instances nest; the
// newest one receives the lines.
class CXDebugCapture {
public:
    explicit CXDebugCapture(bool echo = false);
    ~CXDebugCapture();
    CXDebugCapture(const CXDebugCapture&) = delete;
    CXDebugCapture& operator=(const CXDebugCapture&) = delete;

    struct Line {
        bool isError;
        std::string text;
    };

    std::vector<Line> Lines() const;
    // Number of recorded lines that contain the text.
    size_t Count(const std::string& text) const;
    bool Contains(const std::string& text) const { return Count(text) != 0; }
    size_t ErrorCount() const;
    void Clear();

private:
    friend void CXDebugCaptureRecord(bool isError, const char* text, size_t length, bool& echo);
    struct State;
    State* fState;
    CXDebugCapture* fPrevious;
    bool fEcho;
};

#pragma once

// The layer's process state: the backend and the UI thread chosen by win32::Initialize, the
// last-error value, the thread rule, the clock, and module handles.
//
// Emulation limits: there is one module (the program's own); LoadLibraryW pretends to load any
// library and gives that module back.

#include "win32/api/Types.h"
#include "win32/core/Backend.h"

#include <string>

namespace win32 {

// Start-up choices; grows with the drawing and text parts of the layer.
struct Options {
};

// Makes the calling thread the UI thread and backend the window system (borrowed: it must live
// until Shutdown), then runs the start-up steps (see core::AddStartupStep). False, with a log line,
// when the layer is already initialised, backend is null or a start-up check fails (see
// core::AddStartupCheck); that line is also put in *problem when given, for the user.
bool Initialize(Backend* backend, const Options& options, std::string* problem = nullptr);
// Undoes Initialize on the UI thread: destroys every window, unregisters every class, forgets the
// backend. Nothing happens (a log line) from any other thread.
void Shutdown();
bool IsInitialized();
// The backend of Initialize, or null.
Backend* GetBackend();

// The calling thread's last error.
DWORD GetLastError();
void SetLastError(DWORD error);

// The foundation's id of the calling thread (the key of its task host).
DWORD GetCurrentThreadId();

// Milliseconds of the layer's clock (any thread).
DWORD GetTickCount();

// The layer's clock: monotonic nanoseconds. Null puts CXMonotonicNanoseconds back.
using Clock = int64_t (*)();
void SetClockForTesting(Clock clock);

// The program's module for a null name; null (ERROR_MOD_NOT_FOUND) for any other name.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
// Libraries are part of the program: any name gives a module handle, freeing does nothing.
HMODULE LoadLibraryW(LPCWSTR fileName);
BOOL FreeLibrary(HMODULE module);

namespace core {

// Nanoseconds on the layer's clock.
int64_t NowNanoseconds();

// True on the UI thread of an initialised layer. Otherwise sets ERROR_INVALID_THREAD_ID, logs
// "<function>> not on the UI thread" the first time each function is refused, and answers false;
// the caller then returns its failure value and changes nothing.
bool CheckUIThread(const char* function);
// True on the UI thread of an initialised layer; nothing is logged or set.
bool IsUIThread();

// Queues one input event of the backend (any thread) and wakes the UI thread's wait.
void PushInput(const InputEvent& event);
// The oldest queued input event without taking it; false when none is queued.
bool PeekInput(InputEvent* event);
// Drops the oldest queued input event.
void PopInput();
// Mouse moves waiting in a row at the front are merged into the last of them.
void MergeMouseMoves();
// Forgets every queued input event.
void ClearInput();

// A step that Shutdown runs (newest first) before it forgets the backend; the later parts of the
// layer register theirs on first use. Adding the same step again changes nothing.
void AddShutdownStep(void (*step)());

// A step that Initialize runs on the UI thread once the layer is up, such as registering the
// built-in window classes that Shutdown forgets. The steps run in the order added; adding the same
// step again changes nothing.
void AddStartupStep(void (*step)());

// A check that Initialize runs before it takes the backend, such as the drawing part's search for
// its fonts (added when that part is linked into the program). The checks run in the order added;
// the first that answers false ends Initialize with false, its problem logged. Adding the same
// check again changes nothing.
using StartupCheck = bool (*)(std::string* problem);
void AddStartupCheck(StartupCheck check);

} // namespace core

} // namespace win32

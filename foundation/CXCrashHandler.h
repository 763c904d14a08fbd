#pragma once

#include <cstdint>

// The crash report: one text file "crashdump.dmp" per process, written in the current folder
// (start-up makes that the application folder) or, when that cannot be written, in the temporary
// folder ($TMPDIR, else /tmp). It names the signal and the faulting address and holds a backtrace
// of the thread that wrote it. Whichever comes first writes it: a crash, or WriteCrashDump.

// What is known of a fault: the signal (0 for a report asked for by WriteCrashDump) and the
// address that faulted (null when the signal carries none).
struct CXCrashException {
    int signalNumber;
    const void* faultAddress;
};

// What CrashDumpExceptionFilter returns: the process is to end now.
inline constexpr int kCXCrashExecuteHandler = 1;

// Writes the crash report for the fault unless one was written already. Safe inside a signal
// handler: takes no lock and allocates nothing. A thread that arrives while another thread writes
// the report waits until that report is complete (after a crash, the writer ends the process
// first); a thread that faults again while writing the report returns at once. Returns
// kCXCrashExecuteHandler.
int CrashDumpExceptionFilter(const CXCrashException* exception);

// Installs the crash handler for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT: the report is
// written through CrashDumpExceptionFilter and the signal is raised again with its default
// action, so the process ends as it would have without the handler. The handler runs on an
// alternate stack of the calling thread, and every CXThread started afterwards gets one of its own
// (so a stack overflow on any of them still gets its report). The
// temporary folder is read here, once. A second call changes nothing.
void InstallCrashHandler();

// Writes the crash report now, without ending the process, unless one was written already (a
// second call writes nothing). The caller ends the process afterwards.
void WriteCrashDump();

// Host side (CXCrashHandlerLinux.cpp); every one but CXCrashHostPrepare is async-signal-safe.
// Loads what the report needs while allocation is still safe and reads the temporary folder;
// only the first call does anything.
void CXCrashHostPrepare();
// The calling thread's id (never 0).
int64_t CXCrashHostThreadId();
// Waits a little without spinning.
void CXCrashHostPause();
// Called by a CXThread as it starts: once the handler is installed, gives the thread its own
// alternate signal stack. Returns what CXCrashHostLeaveThread needs (null when nothing was done).
void* CXCrashHostEnterThread();
// Called by the thread as it ends: puts back the stack it had before and frees its own.
void CXCrashHostLeaveThread(void* state);
// Creates the report file and writes the report of the fault and of the calling thread.
void CXCrashHostWriteReport(const CXCrashException& exception);

// The unhandled-exception filter and minidump on Linux: signal handlers and a text report. The
// installing thread and every CXThread started afterwards run the handler on an alternate stack of
// their own, so a stack overflow on any of them still gets its report.
#include "foundation/CXCrashHandler.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
const char kReportName[] = "crashdump.dmp";
constexpr int kReportFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK; // never blocks on a FIFO

// The report's place when the current folder cannot take it. Written once by CXCrashHostPrepare,
// before any handler is installed, and only read after that.
char gFallbackPath[4096] = "/tmp/crashdump.dmp";
std::once_flag gPrepared;
std::once_flag gInstalled;

// Collects text in a fixed buffer and writes it out in large pieces; no allocation, no locale,
// no stdio, so it may run in a signal handler.
class ReportWriter {
public:
    explicit ReportWriter(int fd) : fFd(fd) {}
    ~ReportWriter() { Flush(); }

    void Text(const char* text)
    {
        for (; *text != 0; ++text) {
            if (fUsed == sizeof fBuffer)
                Flush();
            fBuffer[fUsed++] = *text;
        }
    }
    void Number(uint64_t value, unsigned base = 10, unsigned minDigits = 1)
    {
        char digits[24];
        unsigned count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0 && count < sizeof digits - 1);
        while (count < minDigits && count < sizeof digits - 1)
            digits[count++] = '0';
        char text[sizeof digits];
        for (unsigned i = 0; i < count; ++i)
            text[i] = digits[count - 1 - i];
        text[count] = 0;
        Text(text);
    }
    void Flush()
    {
        size_t done = 0;
        while (done < fUsed) {
            ssize_t n = write(fFd, fBuffer + done, fUsed - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        fUsed = 0;
    }

private:
    int fFd;
    size_t fUsed = 0;
    char fBuffer[512];
};

const char* SignalName(int signalNumber)
{
    switch (signalNumber) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

int OpenReport()
{
    int fd = open(kReportName, kReportFlags, 0644);
    if (fd < 0)
        fd = open(gFallbackPath, kReportFlags, 0644);
    return fd;
}

void OnCrashSignal(int signalNumber, siginfo_t* info, void*)
{
    int savedErrno = errno;
    // Only a fault the kernel raised has an address; for a signal sent by a process the field
    // holds the sender's id.
    const void* address = nullptr;
    if (info != nullptr && info->si_code > 0 && signalNumber != SIGABRT)
        address = info->si_addr;
    CXCrashException exception{signalNumber, address};
    (void)CrashDumpExceptionFilter(&exception);

    struct sigaction defaultAction;
    std::memset(&defaultAction, 0, sizeof defaultAction);
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signalNumber, &defaultAction, nullptr);
    // Blocked while this handler runs, so it is delivered, with the default action, on return
    // (a real fault would also recur when its instruction runs again).
    raise(signalNumber);
    errno = savedErrno;
}

} // namespace

void CXCrashHostPrepare()
{
    std::call_once(gPrepared, [] {
        // The first backtrace loads the unwinder, which may allocate; later calls do not.
        void* frames[4];
        (void)backtrace(frames, 4);

        const char* folder = std::getenv("TMPDIR");
        if (folder == nullptr || folder[0] != '/')
            folder = "/tmp";
        size_t length = std::strlen(folder);
        while (length > 1 && folder[length - 1] == '/')
            --length;
        if (length + 1 + sizeof kReportName > sizeof gFallbackPath)
            return; // keeps /tmp/crashdump.dmp
        std::memcpy(gFallbackPath, folder, length);
        size_t at = length;
        if (length != 1)
            gFallbackPath[at++] = '/';
        std::memcpy(gFallbackPath + at, kReportName, sizeof kReportName);
    });
}

int64_t CXCrashHostThreadId()
{
    return static_cast<int64_t>(gettid());
}

void CXCrashHostPause()
{
    struct timespec step = {0, 10 * 1000 * 1000};
    nanosleep(&step, nullptr);
}

void CXCrashHostWriteReport(const CXCrashException& exception)
{
    int fd = OpenReport();
    if (fd < 0)
        return;
    {
        ReportWriter out(fd);
        out.Text("Crash report\nProcess: ");
        out.Number(static_cast<uint64_t>(getpid()));
        out.Text("\nThread: ");
        out.Number(static_cast<uint64_t>(CXCrashHostThreadId()));
        if (exception.signalNumber == 0) {
            out.Text("\nSignal: none (written on request)\n");
        } else {
            out.Text("\nSignal: ");
            out.Number(static_cast<uint64_t>(exception.signalNumber));
            out.Text(" (");
            out.Text(SignalName(exception.signalNumber));
            out.Text(")\nFault address: ");
            if (exception.faultAddress != nullptr) {
                out.Text("0x");
                out.Number(reinterpret_cast<uintptr_t>(exception.faultAddress), 16, 2 * sizeof(void*));
            } else {
                out.Text("none");
            }
            out.Text("\n");
        }
        out.Text("Backtrace:\n");
    }
    void* frames[64];
    int count = backtrace(frames, 64);
    backtrace_symbols_fd(frames, count, fd);
    close(fd);
}

namespace {

std::atomic<bool> gHandlerInstalled{false};

// Enough room for the handler, whatever the host's minimum.
size_t AlternateStackSize()
{
    long minimum = sysconf(_SC_SIGSTKSZ);
    size_t size = 64 * 1024;
    if (minimum > 0 && static_cast<size_t>(minimum) * 4 > size)
        size = static_cast<size_t>(minimum) * 4;
    return size;
}

// A thread's own alternate stack and the one it replaced.
struct ThreadAlternateStack {
    void* stack;
    size_t size;
    stack_t previous;
};

} // namespace

void* CXCrashHostEnterThread()
{
    if (!gHandlerInstalled.load(std::memory_order_acquire))
        return nullptr;
    size_t size = AlternateStackSize();
    void* stack = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (stack == MAP_FAILED)
        return nullptr;
    auto* record = new ThreadAlternateStack{stack, size, {}};
    stack_t alternate;
    std::memset(&alternate, 0, sizeof alternate);
    alternate.ss_sp = stack;
    alternate.ss_size = size;
    if (sigaltstack(&alternate, &record->previous) != 0) {
        munmap(stack, size);
        delete record;
        return nullptr;
    }
    return record;
}

void CXCrashHostLeaveThread(void* state)
{
    auto* record = static_cast<ThreadAlternateStack*>(state);
    if (record == nullptr)
        return;
    // Whatever stack the thread had before (one a sanitizer gave it, or none) comes back before
    // this one goes.
    (void)sigaltstack(&record->previous, nullptr);
    munmap(record->stack, record->size);
    delete record;
}

void InstallCrashHandler()
{
    std::call_once(gInstalled, [] {
        CXCrashHostPrepare();

        size_t size = AlternateStackSize();
        // Mapped rather than allocated: it stays for the life of the process.
        void* stack = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (stack != MAP_FAILED) {
            stack_t alternate;
            std::memset(&alternate, 0, sizeof alternate);
            alternate.ss_sp = stack;
            alternate.ss_size = size;
            sigaltstack(&alternate, nullptr);
        }

        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = OnCrashSignal;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (int signalNumber : kCrashSignals)
            sigaction(signalNumber, &action, nullptr);
        gHandlerInstalled.store(true, std::memory_order_release);
    });
}

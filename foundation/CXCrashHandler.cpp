#include "foundation/CXCrashHandler.h"

#include <atomic>

namespace {

// The thread that claimed the report (0 while none has), and whether its report is complete.
// Plain lock-free atomics: the fault path must not block on a lock that a faulting thread holds.
std::atomic<int64_t> gReportOwner{0};
std::atomic<bool> gReportDone{false};

static_assert(std::atomic<int64_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the crash path needs lock-free atomics");

} // namespace

int CrashDumpExceptionFilter(const CXCrashException* exception)
{
    int64_t self = CXCrashHostThreadId();
    int64_t owner = 0;
    if (gReportOwner.compare_exchange_strong(owner, self, std::memory_order_acq_rel)) {
        CXCrashException none{0, nullptr};
        CXCrashHostWriteReport(exception != nullptr ? *exception : none);
        gReportDone.store(true, std::memory_order_release);
        return kCXCrashExecuteHandler;
    }
    if (owner == self)
        return kCXCrashExecuteHandler; // faulted while writing the report: give up on it
    while (!gReportDone.load(std::memory_order_acquire))
        CXCrashHostPause();
    return kCXCrashExecuteHandler;
}

void WriteCrashDump()
{
    CXCrashHostPrepare();
    CXCrashException request{0, nullptr};
    (void)CrashDumpExceptionFilter(&request);
}

#include "win32/testing/Harness.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXTime.h"
#include "foundation/CXTimer.h"
#include "win32/core/Core.h"

#include <algorithm>
#include <atomic>

namespace win32::testing {

namespace {

// The fake monotonic clock in nanoseconds, and the wall-clock file time at its start.
constexpr int64_t kStartNanoseconds = 1000LL * 1000000000LL;
constexpr uint64_t kStartFileTime = 134116992000000000ULL;
std::atomic<int64_t> gNanoseconds{kStartNanoseconds};

int64_t FakeMonotonic()
{
    return gNanoseconds.load();
}

uint64_t FakeFileTime()
{
    return kStartFileTime + static_cast<uint64_t>((gNanoseconds.load() - kStartNanoseconds) / 100);
}

} // namespace

void MessageLog::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int depth)
{
    fEntries.push_back({hwnd, message, wParam, lParam, depth});
}

std::vector<MessageLog::Entry> MessageLog::Only(const std::vector<UINT>& messages) const
{
    std::vector<Entry> result;
    for (const Entry& entry : fEntries) {
        if (messages.empty() || std::find(messages.begin(), messages.end(), entry.message) != messages.end())
            result.push_back(entry);
    }
    return result;
}

Harness::Harness()
{
    gNanoseconds.store(kStartNanoseconds);
    SetClockForTesting(&FakeMonotonic);
    CXMessagePost::SetClockForTesting(&FakeMonotonic);
    CXTimerManager::SetClockForTesting(&FakeMonotonic);
    CXTime::SetFileTimeClockForTesting(&FakeFileTime);
    CXTime::SetPerformanceCounterForTesting(&FakeMonotonic, 1000000000);
    if (!Initialize(&fBackend, Options{}))
        CXDebugError("Harness> the layer was already initialised");
    SetMessageSpyForTesting(&fSpy);
}

Harness::~Harness()
{
    SetMessageSpyForTesting(nullptr);
    Shutdown();
    SetClockForTesting(nullptr);
    CXMessagePost::SetClockForTesting(nullptr);
    CXTimerManager::SetClockForTesting(nullptr);
    CXTime::SetFileTimeClockForTesting(nullptr);
    CXTime::SetPerformanceCounterForTesting(nullptr, 0);
}

HINSTANCE Harness::Instance() const
{
    return GetModuleHandleW(nullptr);
}

void Harness::Advance(int64_t milliseconds)
{
    if (milliseconds > 0)
        gNanoseconds.fetch_add(milliseconds * 1000000);
}

int64_t Harness::NowMilliseconds() const
{
    return gNanoseconds.load() / 1000000;
}

} // namespace win32::testing

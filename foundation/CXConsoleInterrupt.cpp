#include "foundation/CXConsoleInterrupt.h"

#include "foundation/CXDebug.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<bool> gInterrupted{false};
std::atomic<bool> gBusy{false};

} // namespace

int HandleConsoleInterrupt(uint32_t controlType)
{
    CXDebugLog("HandleConsoleInterrupt> %d", static_cast<int>(controlType));
    gInterrupted.store(true);
    if (controlType > kCXConsoleCtrlBreak) {
        while (gBusy.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return 1;
}

bool CXConsoleWasInterrupted()
{
    return gInterrupted.load();
}

void CXConsoleSetBusy(bool busy)
{
    gBusy.store(busy);
}

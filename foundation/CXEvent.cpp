#include "foundation/CXEvent.h"

bool CXEvent::WaitUntil(uint64_t fileTimeDeadline)
{
    int64_t deadline = CXMonotonicDeadlineFromFileTime(fileTimeDeadline);
    int64_t remaining = deadline - CXMonotonicNanoseconds();
    if (remaining <= 0)
        return fEvent.Wait(0);
    int64_t milliseconds = remaining / 1000000;
    if (milliseconds >= 0xFFFFFFFFll)
        return fEvent.Wait(CXNativeEvent::kInfinite);
    return fEvent.Wait(static_cast<uint32_t>(milliseconds));
}

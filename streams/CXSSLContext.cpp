#include "streams/CXSSLContext.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMutex.h"
#include "foundation/CXNativeSync.h"

namespace {

CXCriticalSection& UserCountGuard()
{
    static CXCriticalSection guard;
    return guard;
}

int32_t gOpenSSLUserCount = 0;

} // namespace

CXOpenSSLThreadContext::CXOpenSSLThreadContext() : fOwnerThread(CXGetCurrentThreadId())
{
    CXCriticalSectionLocker locker(UserCountGuard());
    ++gOpenSSLUserCount;
}

CXOpenSSLThreadContext::~CXOpenSSLThreadContext()
{
    DebugAssertCorrectThread();
    // The library frees a thread's own state (its error queue) when the thread ends.
    CXCriticalSectionLocker locker(UserCountGuard());
    --gOpenSSLUserCount;
}

void CXOpenSSLThreadContext::DebugAssertCorrectThread() const
{
    if (CXGetCurrentThreadId() != fOwnerThread)
        CXDebugError("CXOpenSSLThreadContext::DebugAssertCorrectThread> invalid access from non-owner thread");
}

int32_t CXOpenSSLThreadContext::GetUserCount()
{
    CXCriticalSectionLocker locker(UserCountGuard());
    return gOpenSSLUserCount;
}

bool CXSSLContext::IsVulnerableLibraryVersion(uint64_t version)
{
    return version >= 0x10001000 && version <= 0x1000106F;
}

#include "foundation/CXHostError.h"

#include "platform/Errors.h"

CXResultCode CXResultFromHostError(int error)
{
    uint32_t win32 = Platform::Win32ErrorFromErrno(error);
    if (win32 == 0xFFFFFFFFu)
        return CXResultCode::FromPosixErr(error);
    return CXResultCode::FromWindowsErr(win32);
}

#include "foundation/CXResultCode.h"

#include "foundation/CXDebug.h"

#include <cerrno>

CXResultCode CXResultCode::FromWindowsErr(uint32_t code)
{
    switch (code) {
    case 0:
        return kCXOK;
    case 2:   // file not found
    case 3:   // path not found
    case 15:  // invalid drive
    case 53:  // bad network path
    case 55:  // device does not exist
    case 123: // invalid name
    case 154: // label too long
    case 161: // bad path name
    case 267: // not a directory
        return kCXNotFound;
    case 4:   // too many open files
    case 8:   // not enough memory
    case 14:  // out of memory
    case 29:  // write fault
    case 30:  // read fault
    case 39:  // handle disk full
    case 112: // disk full
        return kCXNoResources;
    case 5:  // access denied
    case 19: // write protect
        return kCXAccessDenied;
    case 6:   // invalid handle
    case 87:  // invalid parameter
    case 230: // bad pipe
    case 487: // invalid address
        return kCXBadParameter;
    case 38: // handle end of file
        return kCXEndOfData;
    case 52:  // duplicate name
    case 80:  // file exists
    case 183: // already exists
        return kCXAlreadyExists;
    case 109: // broken pipe
        return kCXBrokenPipe;
    case 258: // wait time-out
        return kCXTimedOut;
    default:
        CXDebugLog("CXResultCode::FromWindowsErr> unsupported error code %d (%08x)", static_cast<int>(code), code);
        return kCXSystemError;
    }
}

CXResultCode CXResultCode::FromPosixErr(int32_t code)
{
    switch (code) {
    case 0:
        return kCXOK;
    case EPERM:
    case EACCES:
    case EROFS:
    case ECONNREFUSED:
        return kCXAccessDenied;
    case ENOENT:
    case ESRCH:
    case ECHILD:
        return kCXNotFound;
    case EINTR:
    case EAGAIN:
    case EDEADLK:
        return kCXTimedOut;
    case EIO:
    case ENOMEM:
    case ENFILE:
    case EMFILE:
    case EFBIG:
    case ENOSPC:
    case EMLINK:
    case ERANGE:
        return kCXNoResources;
    case ENXIO:
        return kCXFailed;
    case E2BIG:
    case EFAULT:
    case EXDEV:
    case EINVAL:
    case ESPIPE:
    case EDOM:
    case ENAMETOOLONG:
        return kCXBadParameter;
    case ENOEXEC:
    case ENOTDIR:
    case EISDIR:
        return kCXConversionFailed;
    case EBADF:
        return kCXSystemError;
    case EBUSY:
    case ENOTEMPTY:
        return kCXBusy;
    case EEXIST:
        return kCXAlreadyExists;
    case ENODEV:
    case ENOTTY:
        return kCXNotSupported;
    case EPIPE:
        return kCXBrokenPipe;
    default:
        // Callers test for negative codes, so an unmapped errno must never come back positive.
        CXDebugLog("CXResultCode::FromPosixErr> unhandled code %d", code);
        return kCXSystemError;
    }
}

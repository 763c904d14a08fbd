#include "platform/Errors.h"

#include <cerrno>

namespace Platform {

uint32_t Win32ErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        return 0;
    case ENOENT:
        return 2; // file not found
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return 3; // path not found
    case EMFILE:
    case ENFILE:
        return 4; // too many open files
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return 5; // access denied
    case EBADF:
        return 6; // invalid handle
    case ENOMEM:
        return 8; // not enough memory
    case EIO:
        return 29; // write fault
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return 112; // disk full
    case EEXIST:
        return 183; // already exists
    case EINVAL:
        return 87; // invalid parameter
    case EPIPE:
        return 109; // broken pipe
    case ETIMEDOUT:
        return 258; // wait time-out
    case EXDEV:
        return 17; // not the same device
    default:
        return 0xFFFFFFFFu;
    }
}

} // namespace Platform

#include "streams/CXStreamFile.h"

bool CXStreamFile::AdoptDescriptor(int descriptor, uint32_t mode)
{
    if (IsOpen()) {
        SetResult(kCXAlreadyOpen);
        return false;
    }
    if (descriptor < 0) {
        SetResult(kCXBadParameter);
        return false;
    }
    fHandle = descriptor;
    fCaps |= kCapsThreadCheck;
    if (mode & kModeWrite)
        fCaps |= kCapsWrite;
    else
        fCaps &= ~kCapsWrite;
    fCaps = (fCaps | kCapsOpen) & ~kCapsEndOfData;
    ResetResult();
    fMode = mode & (kModeRead | kModeWrite);
    fCachedSize = -1;
    fWindowBase = 0;
    return true;
}

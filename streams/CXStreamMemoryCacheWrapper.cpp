#include "streams/CXStreamMemoryCacheWrapper.h"

#include "streams/CXStreamCopy.h"

CXStreamMemoryCacheWrapper::~CXStreamMemoryCacheWrapper()
{
    if (fSource != nullptr)
        (void)Close();
}

void CXStreamMemoryCacheWrapper::Attach(CXStream* source, uint32_t flags)
{
    fSource = source;
    fFlags = flags;
}

CXResultCode CXStreamMemoryCacheWrapper::Close()
{
    CXResultCode result = kCXOK;
    if (fSource != nullptr) {
        if (fFlags & kFlagWriteBack) {
            (void)Seek(0, kSeekSet);
            (void)fSource->Seek(0, kSeekSet);
            result = CopyStreamAll(*fSource, *this, CXStreamProgressCallback());
        }
        if (!(fFlags & kFlagKeepSource))
            delete fSource;
        fSource = nullptr;
    }
    fCaps &= ~kCapsOpen;
    return result;
}

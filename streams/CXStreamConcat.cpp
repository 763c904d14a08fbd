#include "streams/CXStreamConcat.h"

#include "foundation/CXDebug.h"

CXStreamConcat::CXStreamConcat()
    : CXStream(kCapsRead | kCapsPositionKnown | kCapsAvailableKnown)
    , CXStreamCacheHelper(this)
{
}

CXStreamConcat::~CXStreamConcat()
{
    (void)Close();
}

void CXStreamConcat::AddSource(CXStream* source)
{
    if (source == nullptr || !(source->GetCaps() & kCapsRead))
        CXDebugLog("CXStreamConcat::AddSource> stream not open for reading");
    if (source != nullptr)
        fSources.push_back(source);
    fCaps = (fCaps & ~kCapsEndOfData) | kCapsOpen;
}

CXResultCode CXStreamConcat::Close()
{
    (void)ReleaseBuffers();
    fSources.clear();
    fDelivered = 0;
    fWindowBase = 0;
    fCaps &= ~kCapsOpen;
    return kCXOK;
}

bool CXStreamConcat::Control(uint32_t code, uint64_t value)
{
    return CacheControl(code, value);
}

uint64_t CXStreamConcat::RawWrite(const void* data, uint64_t size, bool setResult, CXResultCode& failure)
{
    (void)data;
    (void)size;
    failure = kCXAlreadyOpen;
    if (setResult)
        SetResult(kCXAlreadyOpen);
    return 0;
}

void CXStreamConcat::RawSeek(int64_t position)
{
    // Dropping a read buffer that was read to its end asks for the position the sources are at;
    // that is no seek.
    if (position != static_cast<int64_t>(fDelivered))
        SetResult(kCXAlreadyOpen);
}

uint64_t CXStreamConcat::RawRead(void* buffer, uint64_t size, bool setResult)
{
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint64_t total = 0;
    while (!fSources.empty() && total < size) {
        CXStream* source = fSources.front();
        uint64_t wanted = size - total;
        uint64_t got = source->Read(out + total, wanted);
        total += got;
        if (source->GetCaps() & kCapsEndOfData) {
            fSources.pop_front();
            continue;
        }
        if (got < wanted) {
            CXDebugLog("CXStreamConcat::VirtualRead> streamResult=%d", static_cast<int>(source->GetResult()));
            if (setResult)
                HandUpFailure(*source);
            break;
        }
    }
    if (total < size && fSources.empty() && setResult) {
        MarkEndOfData();
    }
    fDelivered += total;
    return total;
}

#include "streams/CXStreamFile.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXHostError.h"
#include "foundation/CXMutex.h"

#include <set>

namespace {

// The paths held by exclusive opens in this process, compared byte by byte. The mutex is never
// held during file input or output.
struct ExclusiveRegistry {
    CXMutex mutex;
    std::set<CXString> paths;
};

ExclusiveRegistry& Registry()
{
    static ExclusiveRegistry* registry = new ExclusiveRegistry;
    return *registry;
}

} // namespace

CXStreamFile::CXStreamFile()
    : CXStream(kCapsRead | kCapsWrite | kCapsSizeKnown | CAPS_SEEK | kCapsPositionKnown | kCapsThreadCheck |
               kCapsSeekInWritten)
    , CXStreamCacheHelper(this)
{
}

CXStreamFile::~CXStreamFile()
{
    (void)Close();
    ReleasePath();
}

CXResultCode CXStreamFile::RecordHostError(int error, bool genericWhenOK)
{
    CXResultCode result = CXResultFromHostError(error);
    if (result == kCXOK && genericWhenOK)
        result = kCXSystemError;
    SetResult(result);
    return result;
}

bool CXStreamFile::ClaimPath(const CXString& path)
{
    if (path.IsEmpty())
        return false;
    ReleasePath();
    ExclusiveRegistry& registry = Registry();
    CXMutexLocker lock(&registry.mutex);
    if (!registry.paths.insert(path).second) {
        SetResult(kCXBusy);
        return false;
    }
    fClaimedPath = path;
    return true;
}

void CXStreamFile::ReleasePath()
{
    if (fClaimedPath.IsEmpty())
        return;
    ExclusiveRegistry& registry = Registry();
    CXMutexLocker lock(&registry.mutex);
    registry.paths.erase(fClaimedPath);
    fClaimedPath.Clear();
}

bool CXStreamFile::Open(const CXString& path, uint32_t mode)
{
    if (IsOpen()) {
        SetResult(kCXAlreadyOpen);
        return false;
    }
    CXString native = CXFileSystem::ToNativePath(path);
    if (native.IsEmpty()) {
        SetResult(kCXNotFound);
        return false;
    }
    if ((mode & (kModeExclusive | kModeWrite)) == (kModeExclusive | kModeWrite) && !ClaimPath(native))
        return false;
    fCaps |= kCapsThreadCheck;
    bool createAlways = (mode & (kModeTruncate | kModeCreate | kModeWrite)) == (kModeTruncate | kModeCreate | kModeWrite);
    int error = HostOpen(native, mode, createAlways);
    if (error != 0) {
        ReleasePath();
        (void)RecordHostError(error, true);
        return false;
    }
    // A file opened for reading only refuses writes at once instead of losing them at the flush.
    if (mode & kModeWrite)
        fCaps |= kCapsWrite;
    else
        fCaps &= ~kCapsWrite;
    fCaps = (fCaps | kCapsOpen) & ~kCapsEndOfData;
    ResetResult();
    fMode = mode;
    fCachedSize = createAlways || (mode & (kModeCreateNew | kModeWrite)) == (kModeCreateNew | kModeWrite) ? 0 : -1;
    fWindowBase = 0;
    return true;
}

CXResultCode CXStreamFile::Close()
{
    if (!IsOpen())
        return kCXOK;
    CXResultCode result = ReleaseBuffers();
    if (HasBuffer() || fWriteLimit != fWindowStart || fReadLimit != fWindowStart)
        CXDebugError("CXStreamFile::Close> still have buffer");
    fCaps &= ~(kCapsOpen | kCapsEndOfData);
    fCachedSize = -1;
    int error = HostClose();
    if (error != 0) {
        CXResultCode closeResult = RecordHostError(error, true);
        if (result == kCXOK)
            result = closeResult;
    }
    fWindowBase = 0;
    ReleasePath();
    return result;
}

CXResultCode CXStreamFile::Flush(uint32_t hard)
{
    if (!IsOpen())
        return kCXFailed;
    CXResultCode result = FlushFileWriteBuffer();
    if ((hard & 1) && (fMode & kModeWrite)) {
        int error = HostSync();
        if (error != 0) {
            CXResultCode syncResult = RecordHostError(error, true);
            if (result == kCXOK)
                result = syncResult;
        }
    }
    return result;
}

uint64_t CXStreamFile::GetSize()
{
    if (!IsOpen()) {
        SetResult(kCXFailed);
        return 0;
    }
    if (!(fCaps & kCapsSizeKnown))
        return 0;
    return CachedSize();
}

bool CXStreamFile::Control(uint32_t code, uint64_t value)
{
    if (code == kControlTruncate) {
        (void)Truncate();
        return true;
    }
    return CacheControl(code, value);
}

CXResultCode CXStreamFile::Truncate(uint64_t size)
{
    if (!IsOpen()) {
        SetResult(kCXFailed);
        return kCXFailed;
    }
    CXResultCode result = FreeWriteBuffer();
    DropReadBuffer();
    int error = HostTruncate(size);
    if (error != 0) {
        CXResultCode truncateResult = RecordHostError(error, true);
        if (result == kCXOK)
            result = truncateResult;
        fCachedSize = -1;
    } else {
        fCachedSize = static_cast<int64_t>(size);
    }
    (void)VirtualSeekSet(static_cast<int64_t>(size));
    return result;
}

uint64_t CXStreamFile::VirtualRead(void* buffer, uint64_t size)
{
    if (!IsOpen()) {
        SetResult(kCXFailed);
        return 0;
    }
    return CachedRead(buffer, size);
}

uint64_t CXStreamFile::VirtualWrite(const void* data, uint64_t size)
{
    if (!IsOpen()) {
        SetResult(kCXFailed);
        return 0;
    }
    if (!(fCaps & kCapsWrite)) {
        SetResult(kCXAccessDenied);
        return 0;
    }
    return CachedWrite(data, size);
}

int64_t CXStreamFile::VirtualSeekSet(int64_t target)
{
    if (!IsOpen()) {
        SetResult(kCXFailed);
        return 0;
    }
    (void)FreeWriteBuffer();
    DropReadBuffer();
    int error = HostSeek(target);
    if (error != 0) {
        (void)RecordHostError(error, true);
        return fWindowBase;
    }
    fWindowBase = target;
    return target;
}

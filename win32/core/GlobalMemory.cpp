#include "win32/core/GlobalMemory.h"

#include "win32/api/Constants.h"
#include "win32/core/Core.h"
#include "win32/core/Handles.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMutex.h"

#include <cstring>
#include <memory>
#include <new>

namespace win32 {

namespace {

// Larger requests fail as out of memory instead of reaching the allocator.
constexpr size_t kLargestBlock = 0x7FFFFFFF;

struct Block {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    uint32_t locks = 0;
};

// Guards every block's lock count and the lifetime of its memory.
CXMutex& Lock()
{
    static CXMutex* lock = new CXMutex();
    return *lock;
}

// The live block of a handle, or null with ERROR_INVALID_HANDLE. Called under Lock().
Block* Resolve(HGLOBAL handle)
{
    auto* block = static_cast<Block*>(
        core::Handles().Find(core::HandleValue(handle), core::HandleKind::GlobalMemory));
    if (block == nullptr)
        SetLastError(ERROR_INVALID_HANDLE);
    return block;
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes)
{
    if ((flags & ~(GMEM_MOVEABLE | GMEM_ZEROINIT)) != 0 || (flags & GMEM_MOVEABLE) == 0) {
        CXDebugLog("GlobalAlloc> flags 0x%x are not supported (GMEM_MOVEABLE only)", flags);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (bytes > kLargestBlock) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto block = std::make_unique<Block>();
    if (bytes > 0) {
        block->bytes.reset(new (std::nothrow) uint8_t[bytes]);
        if (block->bytes == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if ((flags & GMEM_ZEROINIT) != 0)
            std::memset(block->bytes.get(), 0, bytes);
    }
    block->size = bytes;
    uint32_t value = core::Handles().Add(core::HandleKind::GlobalMemory, block.get());
    if (value == 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    block.release();
    return core::ToHandle<HGLOBAL>(value);
}

LPVOID GlobalLock(HGLOBAL handle)
{
    CXMutexLocker locker(&Lock());
    Block* block = Resolve(handle);
    if (block == nullptr)
        return nullptr;
    if (block->size == 0) {
        SetLastError(ERROR_DISCARDED);
        return nullptr;
    }
    block->locks++;
    return block->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL handle)
{
    CXMutexLocker locker(&Lock());
    Block* block = Resolve(handle);
    if (block == nullptr)
        return FALSE;
    if (block->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    block->locks--;
    if (block->locks > 0)
        return TRUE;
    SetLastError(ERROR_SUCCESS);
    return FALSE;
}

size_t GlobalSize(HGLOBAL handle)
{
    CXMutexLocker locker(&Lock());
    Block* block = Resolve(handle);
    return block != nullptr ? block->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle)
{
    Block* block;
    {
        CXMutexLocker locker(&Lock());
        block = Resolve(handle);
        if (block == nullptr)
            return handle;
        core::Handles().Remove(core::HandleValue(handle), core::HandleKind::GlobalMemory);
    }
    delete block;
    return nullptr;
}

void ReleaseStgMedium(STGMEDIUM* medium)
{
    if (medium == nullptr)
        return;
    if (medium->pUnkForRelease != nullptr)
        medium->pUnkForRelease->Release();
    else if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal != nullptr)
        GlobalFree(medium->hGlobal);
    medium->tymed = TYMED_NULL;
    medium->hGlobal = nullptr;
    medium->pUnkForRelease = nullptr;
}

namespace core {

bool CopyGlobalBytes(HGLOBAL handle, std::vector<uint8_t>* bytes)
{
    bytes->clear();
    CXMutexLocker locker(&Lock());
    Block* block = Resolve(handle);
    if (block == nullptr)
        return false;
    if (block->size > 0)
        bytes->assign(block->bytes.get(), block->bytes.get() + block->size);
    return true;
}

} // namespace core

} // namespace win32

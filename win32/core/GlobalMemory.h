#pragma once

// Global memory: movable blocks held by HGLOBAL handles of the layer's handle table, usable from
// any thread (one lock guards every block's bookkeeping).
//
// A handle that is null, freed (its slot perhaps reused) or of another kind is stale: every call
// fails harmlessly on it with ERROR_INVALID_HANDLE and touches nothing.
//
// Emulation limits: only GMEM_MOVEABLE blocks (GMEM_ZEROINIT zeroes them; any other flag fails
// with ERROR_INVALID_PARAMETER); no GlobalReAlloc, GlobalFlags or GlobalHandle. A block never
// moves, so a pointer from GlobalLock stays valid until GlobalFree even after GlobalUnlock.

#include "win32/api/DataObject.h"
#include "win32/api/Types.h"

#include <vector>

namespace win32 {

// A block of exactly bytes bytes (GMEM_ZEROINIT: zeroed, else unspecified). A block of 0 bytes
// is a handle whose GlobalLock answers null (ERROR_DISCARDED). Null on failure
// (ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_PARAMETER).
[[nodiscard]] HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
// Raises the block's lock count and answers its memory; null when stale or of 0 bytes.
LPVOID GlobalLock(HGLOBAL block);
// Lowers the lock count: TRUE while still locked; FALSE with last error 0 when the count reached
// 0, ERROR_NOT_LOCKED when it was 0 already, ERROR_INVALID_HANDLE when stale.
BOOL GlobalUnlock(HGLOBAL block);
// The size asked for at GlobalAlloc; 0 when stale (ERROR_INVALID_HANDLE).
size_t GlobalSize(HGLOBAL block);
// Frees the block, locked or not (its handle is stale from then on): null on success, the handle
// back when it was stale already (ERROR_INVALID_HANDLE).
HGLOBAL GlobalFree(HGLOBAL block);

// Gives a medium back: pUnkForRelease->Release() when set, else the block of a TYMED_HGLOBAL
// medium is freed. The medium is left empty (TYMED_NULL, no block). Null does nothing.
void ReleaseStgMedium(STGMEDIUM* medium);

namespace core {

// Copies the block's bytes into bytes under the lock; false (bytes emptied) when stale.
bool CopyGlobalBytes(HGLOBAL block, std::vector<uint8_t>* bytes);

} // namespace core

} // namespace win32

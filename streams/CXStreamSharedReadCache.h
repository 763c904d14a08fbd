#pragma once

#include "foundation/CXMutex.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXString.h"
#include "streams/CXStream.h"

#include <cstdint>

// One parent stream shared by several readers, each reading at its own position: every read
// takes the payload's lock, seeks the parent and reads. The parent is not owned. Nothing in the
// program constructs one.
class CXStreamSharedReadCachePayload : public DynamicReferenceCount {
public:
    CXStreamSharedReadCachePayload(CXStream* parent, const CXString& name) : fParent(parent), fName(name) {}

    // The parent's size, asked once on first use.
    uint64_t GetSize();
    // Reads from an absolute position, at most up to the parent's size. Returns the bytes read.
    uint64_t ReadAt(uint64_t position, void* buffer, uint64_t size);
    const CXString& GetName() const { return fName; }

private:
    uint64_t SizeLocked();

    CXStream* fParent;
    bool fSizeComputed = false;
    uint64_t fSize = 0;
    CXMutex fMutex;
    CXString fName;
};

// A reader over a shared payload, with its own position.
class CXStreamSharedReadCacheReader : public CXStream {
public:
    CXStreamSharedReadCacheReader();

    // Takes a reference to the payload; position 0.
    void Open(CXStreamSharedReadCachePayload* payload);
    CXResultCode Close() override;
    uint64_t GetSize() override;

protected:
    // A short read records -3 at the end of the payload, -6 before it.
    uint64_t VirtualRead(void* buffer, uint64_t size) override;
    // Negative targets go to 0; the end-of-data bit follows whether the target is at the end.
    int64_t VirtualSeekSet(int64_t target) override;

private:
    CXAutoReference<CXStreamSharedReadCachePayload> fPayload;
};

#pragma once

#include "foundation/CXMemory.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>

// While alive, heap allocations through CXHeapAlloc of at least minimumSize bytes fail; smaller
// ones succeed. Records the size of the last allocation request.
class ScopedHeapFailure {
public:
    explicit ScopedHeapFailure(size_t minimumSize)
    {
        sMinimum.store(minimumSize);
        fPrevious = CXSetHeapAllocFunction(&Allocate);
    }
    ~ScopedHeapFailure() { CXSetHeapAllocFunction(fPrevious); }

private:
    static void* Allocate(size_t size) { return size >= sMinimum.load() ? nullptr : std::malloc(size); }
    static inline std::atomic<size_t> sMinimum{0};
    CXHeapAllocFunction fPrevious;
};

// While alive, records the size of every allocation through CXHeapAlloc.
class ScopedHeapRecorder {
public:
    ScopedHeapRecorder() { fPrevious = CXSetHeapAllocFunction(&Allocate); }
    ~ScopedHeapRecorder() { CXSetHeapAllocFunction(fPrevious); }
    size_t LastSize() const { return sLast.load(); }

private:
    static void* Allocate(size_t size)
    {
        sLast.store(size);
        return std::malloc(size);
    }
    static inline std::atomic<size_t> sLast{0};
    CXHeapAllocFunction fPrevious;
};

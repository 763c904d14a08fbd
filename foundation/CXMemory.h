#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Heap blocks of shared payloads and string builders come from here, so tests can make an
// allocation fail. Returns null on failure.
void* CXHeapAlloc(size_t size);
void CXHeapFree(void* block);
// Resizes a block from CXHeapAlloc (a null block allocates) to newSize bytes, keeping the first
// min(oldSize, newSize) bytes; oldSize is the size the block was allocated with. Returns null on
// failure and then leaves the block untouched. A newSize of 0 is treated as 1, so null always
// means failure. Goes through the same allocation function as CXHeapAlloc.
void* CXHeapRealloc(void* block, size_t oldSize, size_t newSize);

// Test seam: replaces the allocation function used by CXHeapAlloc (null restores malloc).
// Returns the previous one.
using CXHeapAllocFunction = void* (*)(size_t size);
CXHeapAllocFunction CXSetHeapAllocFunction(CXHeapAllocFunction function);

// The process-wide table of allocators through which shared payload blocks are freed. A payload
// block begins with a 64-bit word whose low 8 bits name the allocator that owns it.
class CXAllocatorSet {
public:
    struct Entry {
        uint64_t context;
        void (*free)(Entry* entry, void* block);
    };

    static constexpr uint8_t kDefaultAllocatorID = 2;

    // Creates the table when absent and registers the heap allocator as ID 2. Reports an ID
    // conflict when ID 2 is already registered (and registers it again).
    static void RegisterDefaultAllocator();
    // RegisterDefaultAllocator behind a process-wide once-flag; every implicit caller uses this.
    static void EnsureDefaultAllocator();

    // Null when no allocator table exists yet.
    static Entry* GetEntry(uint8_t id);
};

// Frees a payload block through the allocator named in the low 8 bits of its first word.
void CXAllocator_Dealloc(void* block);

// A size-class block cache. Blocks of one size are kept on a free list for reuse; at process exit
// the cache reports sizes whose blocks were never returned.
class CXCachedAlloc {
public:
    static void* Allocate(size_t size);
    static void Free(void* block, size_t size);
    // The exit check; runs automatically at process exit, callable by tests. Returns the number
    // of pools that remained.
    static size_t CheckAtExit();
};

// Asserts that one object is used by one thread at a time: while a scope for an address is alive,
// a second scope for the same address reports "thread safety check failed".
//
// The second form checks an in-use word that the object itself keeps: one atomic exchange to
// enter and one store to leave, no lock and no allocation, for objects used on hot paths.
class CXDebugThreadSafetyScope {
public:
    explicit CXDebugThreadSafetyScope(const void* object);
    explicit CXDebugThreadSafetyScope(std::atomic<bool>& inUse);
    ~CXDebugThreadSafetyScope();
    CXDebugThreadSafetyScope(const CXDebugThreadSafetyScope&) = delete;
    CXDebugThreadSafetyScope& operator=(const CXDebugThreadSafetyScope&) = delete;

private:
    const void* fObject = nullptr;
    std::atomic<bool>* fInUse = nullptr;
};

#include "foundation/CXMemory.h"

#include "foundation/CXDebug.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace {

std::atomic<CXHeapAllocFunction> gHeapAlloc{nullptr};

std::mutex gAllocatorTableMutex;
CXAllocatorSet::Entry* gAllocatorTable = nullptr; // 256 entries, created on first registration, never freed

void HeapFreeEntry(CXAllocatorSet::Entry*, void* block)
{
    CXHeapFree(block);
}

} // namespace

void* CXHeapAlloc(size_t size)
{
    CXHeapAllocFunction function = gHeapAlloc.load(std::memory_order_acquire);
    return function != nullptr ? function(size) : std::malloc(size);
}

void CXHeapFree(void* block)
{
    std::free(block);
}

void* CXHeapRealloc(void* block, size_t oldSize, size_t newSize)
{
    if (newSize == 0)
        newSize = 1;
    CXHeapAllocFunction function = gHeapAlloc.load(std::memory_order_acquire);
    if (function == nullptr)
        return std::realloc(block, newSize);
    // An installed allocation function decides whether the request succeeds, so the move to a new
    // block is done by hand.
    void* newBlock = function(newSize);
    if (newBlock == nullptr)
        return nullptr;
    if (block != nullptr) {
        std::memcpy(newBlock, block, oldSize < newSize ? oldSize : newSize);
        std::free(block);
    }
    return newBlock;
}

CXHeapAllocFunction CXSetHeapAllocFunction(CXHeapAllocFunction function)
{
    return gHeapAlloc.exchange(function, std::memory_order_acq_rel);
}

void CXAllocatorSet::RegisterDefaultAllocator()
{
    bool conflict;
    {
        std::lock_guard<std::mutex> lock(gAllocatorTableMutex);
        if (gAllocatorTable == nullptr)
            gAllocatorTable = new Entry[256]();
        Entry& entry = gAllocatorTable[kDefaultAllocatorID];
        conflict = entry.free != nullptr;
        entry.context = 0;
        entry.free = HeapFreeEntry;
    }
    if (conflict)
        CXDebugError("CXAllocatorSet> allocator ID conflict");
}

void CXAllocatorSet::EnsureDefaultAllocator()
{
    static std::once_flag once;
    std::call_once(once, RegisterDefaultAllocator);
}

CXAllocatorSet::Entry* CXAllocatorSet::GetEntry(uint8_t id)
{
    std::lock_guard<std::mutex> lock(gAllocatorTableMutex);
    return gAllocatorTable != nullptr ? &gAllocatorTable[id] : nullptr;
}

void CXAllocator_Dealloc(void* block)
{
    uint8_t id = static_cast<uint8_t>(*static_cast<const uint64_t*>(block) & 0xFF);
    CXAllocatorSet::Entry* entry = CXAllocatorSet::GetEntry(id);
    if (entry == nullptr) {
        CXDebugError("CXAllocator_Dealloc> no allocators initialised");
        return;
    }
    if (entry->free == nullptr) {
        CXDebugError("CXAllocator_Dealloc> no allocator for syskind %d", id);
        return;
    }
    entry->free(entry, block);
}

namespace {

struct CachedPool {
    std::vector<void*> freeBlocks;
    size_t inUse = 0;
    size_t highWater = 0; // blocks kept cached at most: the most ever in use at once
};

struct CachedAllocState {
    std::mutex mutex;
    std::map<size_t, CachedPool> pools;

    ~CachedAllocState() { CheckAtExitLocked(); }

    size_t CheckAtExitLocked()
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = pools.begin(); it != pools.end();) {
            CachedPool& pool = it->second;
            pool.highWater = 0;
            for (void* block : pool.freeBlocks)
                std::free(block);
            pool.freeBlocks.clear();
            if (pool.inUse == 0)
                it = pools.erase(it);
            else
                ++it;
        }
        if (!pools.empty())
            CXDebugLog("~CXCachedAlloc> allocations of size %d remain at shutdown", static_cast<int>(pools.begin()->first));
        return pools.size();
    }
};

CachedAllocState& CachedState()
{
    static CachedAllocState state;
    return state;
}

} // namespace

void* CXCachedAlloc::Allocate(size_t size)
{
    CachedAllocState& state = CachedState();
    std::lock_guard<std::mutex> lock(state.mutex);
    CachedPool& pool = state.pools[size];
    void* block;
    if (!pool.freeBlocks.empty()) {
        block = pool.freeBlocks.back();
        pool.freeBlocks.pop_back();
    } else {
        block = std::malloc(size == 0 ? 1 : size);
        if (block == nullptr)
            return nullptr;
    }
    ++pool.inUse;
    if (pool.inUse > pool.highWater)
        pool.highWater = pool.inUse;
    return block;
}

void CXCachedAlloc::Free(void* block, size_t size)
{
    if (block == nullptr)
        return;
    CachedAllocState& state = CachedState();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto it = state.pools.find(size);
    if (it == state.pools.end() || it->second.inUse == 0) {
        CXDebugError("CXCachedAlloc::Free> block of size %d was not allocated here", static_cast<int>(size));
        return;
    }
    CachedPool& pool = it->second;
    --pool.inUse;
    if (pool.freeBlocks.size() < pool.highWater)
        pool.freeBlocks.push_back(block);
    else
        std::free(block);
}

size_t CXCachedAlloc::CheckAtExit()
{
    return CachedState().CheckAtExitLocked();
}

namespace {

std::mutex gThreadSafetyMutex;
std::set<const void*>& ThreadSafetySet()
{
    static std::set<const void*> set;
    return set;
}

} // namespace

CXDebugThreadSafetyScope::CXDebugThreadSafetyScope(const void* object)
    : fObject(object)
{
    bool clash;
    {
        std::lock_guard<std::mutex> lock(gThreadSafetyMutex);
        clash = !ThreadSafetySet().insert(object).second;
    }
    if (clash)
        CXDebugError("CXDebugThreadSafetyScope> thread safety check failed");
}

CXDebugThreadSafetyScope::CXDebugThreadSafetyScope(std::atomic<bool>& inUse)
    : fInUse(&inUse)
{
    // As with the address set, a clashing scope still clears the word when it leaves.
    if (inUse.exchange(true, std::memory_order_acquire))
        CXDebugError("CXDebugThreadSafetyScope> thread safety check failed");
}

CXDebugThreadSafetyScope::~CXDebugThreadSafetyScope()
{
    if (fInUse != nullptr) {
        fInUse->store(false, std::memory_order_release);
        return;
    }
    if (fObject == nullptr)
        return;
    std::lock_guard<std::mutex> lock(gThreadSafetyMutex);
    ThreadSafetySet().erase(fObject);
}

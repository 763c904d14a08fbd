#pragma once

#include "foundation/CXArray.h"
#include "foundation/CXMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

namespace CXFastArrayDetail {

// FastArray's reports, kept out of line (CXFastArray.cpp).
void Report(const char* text);
void ReportIndexOutOfRange(uint64_t index);
// Reports "FastArray::Resize> realloc failed" and ends the process through CXFatalError.
[[noreturn]] void GrowthFailed();

} // namespace CXFastArrayDetail

// Lean growable array of plain data: elements are moved by byte copies and the block is resized
// with CXHeapRealloc, in steps of whole blocks of blockSize() elements (128 by default). Checks
// its validity tag in the destructor, Remove and when growing; a bad tag is reported and the
// operation goes on. Not locked: the owner guards it.
template <class T>
class FastArray {
    static_assert(std::is_trivially_copyable_v<T>, "FastArray moves its elements by byte copies");
    static_assert(alignof(T) <= alignof(std::max_align_t), "FastArray elements come from CXHeapAlloc");

public:
    static constexpr uint64_t kDefaultBlockSize = 128;

    FastArray() = default;

    // Frees the block; the tag becomes kCXArrayDeadTag. A bad tag is reported as
    // "~FastArray> Not a valid FastArray".
    ~FastArray()
    {
        if (fTag != kCXArrayValidTag)
            CXFastArrayDetail::Report("~FastArray> Not a valid FastArray");
        CXHeapFree(fItems);
        CXArrayDetail::StoreKept<T*>(fItems, nullptr);
        CXArrayDetail::StoreKept<uint64_t>(fCount, 0);
        CXArrayDetail::StoreKept<uint64_t>(fCapacity, 0);
        CXArrayDetail::StoreKept<uint32_t>(fTag, kCXArrayDeadTag);
    }

    FastArray(const FastArray&) = delete;
    FastArray& operator=(const FastArray&) = delete;

    // Appends the element; a full array first grows to the next whole block above count(). When
    // it cannot grow, reports "FastArray::Resize> realloc failed", writes the crash report and
    // ends the process. The element may be one of this array's own.
    void Append(const T& element)
    {
        const T value = element; // the block may move, and the element may live in it
        if (fCount == fCapacity && !Reallocate(CXArrayDetail::GrowTarget(fCount, fBlock)))
            CXFastArrayDetail::GrowthFailed();
        ::new (static_cast<void*>(fItems + fCount)) T(value);
        ++fCount;
    }

    // Sets the number of elements. When the capacity is below n, grows to the next whole block
    // above n; when that fails, the count becomes the capacity reached and the answer is false.
    // Elements gained are zero-filled.
    bool SetCount(uint64_t n)
    {
        if (fCapacity < n)
            (void)Reallocate(CXArrayDetail::GrowTarget(n, fBlock));
        bool complete = fCapacity >= n;
        if (!complete)
            n = fCapacity;
        if (n > fCount)
            std::memset(static_cast<void*>(fItems + fCount), 0, static_cast<size_t>(n - fCount) * sizeof(T));
        fCount = n;
        return complete;
    }

    // Removes the element at `index`, moving the later ones down. An index at or past count()
    // does nothing.
    void Remove(uint64_t index)
    {
        if (fTag != kCXArrayValidTag)
            CXFastArrayDetail::Report("FastArray::Remove> Not a valid FastArray");
        if (index >= fCount)
            return;
        std::memmove(static_cast<void*>(fItems + index), static_cast<const void*>(fItems + index + 1),
                     static_cast<size_t>(fCount - index - 1) * sizeof(T));
        --fCount;
    }

    // Sets the growth step in elements. 0 is reported as "FastArray::SetBlockSize> illegal block
    // size" and keeps the current step.
    void SetBlockSize(uint64_t blockSize)
    {
        if (blockSize == 0) {
            CXFastArrayDetail::Report("FastArray::SetBlockSize> illegal block size");
            return;
        }
        fBlock = blockSize;
    }

    // An index at or past count() is reported as "FastArray::operator[]> index '%lu' out of
    // range." and gives a zero-filled stand-in element that belongs to no array.
    T& operator[](uint64_t index)
    {
        if (index >= fCount) {
            CXFastArrayDetail::ReportIndexOutOfRange(index);
            return Placeholder();
        }
        return fItems[index];
    }
    const T& operator[](uint64_t index) const
    {
        if (index >= fCount) {
            CXFastArrayDetail::ReportIndexOutOfRange(index);
            return Placeholder();
        }
        return fItems[index];
    }

    uint64_t count() const { return fCount; }
    uint64_t capacity() const { return fCapacity; }
    uint64_t blockSize() const { return fBlock; }

private:
    static T& Placeholder()
    {
        static thread_local T placeholder{};
        std::memset(static_cast<void*>(&placeholder), 0, sizeof(T));
        return placeholder;
    }

    // Resizes the block to newCapacity elements. False when the size overflows or the heap
    // refused; the block is then unchanged.
    bool Reallocate(uint64_t newCapacity)
    {
        if (fTag != kCXArrayValidTag)
            CXFastArrayDetail::Report("FastArray::Resize> Not a valid FastArray");
        if (newCapacity < fCount) {
            CXFastArrayDetail::Report("FastArray::Resize> _size < count.");
            return false;
        }
        if (newCapacity > SIZE_MAX / sizeof(T))
            return false;
        void* items = CXHeapRealloc(fItems, static_cast<size_t>(fCapacity) * sizeof(T),
                                    static_cast<size_t>(newCapacity) * sizeof(T));
        if (items == nullptr)
            return false;
        fItems = static_cast<T*>(items);
        fCapacity = newCapacity;
        return true;
    }

    T* fItems = nullptr;
    uint64_t fCount = 0;
    uint64_t fCapacity = 0;
    uint64_t fBlock = kDefaultBlockSize;
    uint32_t fTag = kCXArrayValidTag;
};

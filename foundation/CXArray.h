#pragma once

#include "foundation/CXMemory.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

// Validity tags of the array templates: set by the constructor, overwritten by the destructor.
inline constexpr uint32_t kCXArrayValidTag = 0xFEEDCEEB;
inline constexpr uint32_t kCXArrayDeadTag = 0xDEADBEEF;

namespace CXArrayDetail {

// The array templates' reports, kept out of line (CXArray.cpp).
void Report(const char* text);
void ReportIndexOutOfRange(uint64_t index);
void ReportNullIterator();

// Stores a field so that the store survives even where it is the last thing a destructor does:
// a later use of the dead object must still see the tag and the cleared fields.
template <class V>
inline void StoreKept(V& field, V value)
{
    *static_cast<volatile V*>(&field) = value;
}

// (n / block + 1) * block, or UINT64_MAX when that overflows (no allocation can be that large).
inline uint64_t GrowTarget(uint64_t n, uint64_t block)
{
    uint64_t blocks = n / block + 1;
    return blocks > UINT64_MAX / block ? UINT64_MAX : blocks * block;
}

} // namespace CXArrayDetail

template <class T>
class Array;

// Position in an Array: the array and an index. A default-constructed iterator is null;
// dereferencing it reports "CXArrayIterator> NULL iterator dereferenced". Dereferencing an index
// past the end reports like the array's index operator. CXArrayIterator<const T> reads a const
// array.
template <class T>
class CXArrayIterator {
    using Element = std::remove_const_t<T>;
    using Owner = std::conditional_t<std::is_const_v<T>, const Array<Element>, Array<Element>>;

public:
    CXArrayIterator() = default;
    CXArrayIterator(Owner* array, uint64_t index) : fArray(array), fIndex(index) {}

    T& operator*() const
    {
        if (fArray == nullptr) {
            CXArrayDetail::ReportNullIterator();
            return Array<Element>::Placeholder();
        }
        return (*fArray)[fIndex];
    }
    T* operator->() const { return &**this; }

    CXArrayIterator& operator++()
    {
        ++fIndex;
        return *this;
    }
    CXArrayIterator operator++(int)
    {
        CXArrayIterator before = *this;
        ++fIndex;
        return before;
    }

    bool operator==(const CXArrayIterator& other) const = default;

    uint64_t index() const { return fIndex; }

private:
    friend class Array<Element>;
    Owner* fArray = nullptr;
    uint64_t fIndex = 0;
};

// Growable array of objects. Elements 0 to count() - 1 are constructed; the slots above them are
// raw storage from CXHeapAlloc. The array grows in blocks of `growth` elements and checks its
// validity tag in the destructor, InsertBefore, Remove and Resize: a bad tag is reported and the
// operation goes on (a destroyed array is left empty, so going on is harmless). Not locked: the
// owner guards it. Growing relocates the elements, so references into the array do not survive
// an insertion.
template <class T>
class Array {
    static_assert(alignof(T) <= alignof(std::max_align_t), "Array elements come from CXHeapAlloc");

public:
    using Iterator = CXArrayIterator<T>;
    using ConstIterator = CXArrayIterator<const T>;

    static constexpr uint64_t kDefaultGrowth = 128;
    // Capacities above this are reported once per element type as a very large request.
    static constexpr uint64_t kLargeCapacity = 1023999;

    // Empty, without a heap block. A growth of 0 means the default of 128.
    explicit Array(uint64_t growth = kDefaultGrowth) : fGrowth(growth != 0 ? growth : kDefaultGrowth) {}

    // Destroys the elements and frees the block; the tag becomes kCXArrayDeadTag. A bad tag is
    // reported as "~Array> Not a valid array".
    ~Array()
    {
        if (fTag != kCXArrayValidTag)
            CXArrayDetail::Report("~Array> Not a valid array");
        for (uint64_t i = 0; i < fCount; ++i)
            fItems[i].~T();
        CXHeapFree(fItems);
        CXArrayDetail::StoreKept<T*>(fItems, nullptr);
        CXArrayDetail::StoreKept<uint64_t>(fCount, 0);
        CXArrayDetail::StoreKept<uint64_t>(fCapacity, 0);
        CXArrayDetail::StoreKept<uint32_t>(fTag, kCXArrayDeadTag);
    }

    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;

    // Appends a copy (or the moved value) of the element; a full array first grows to the next
    // whole block above count(). False when the heap refused the larger block ("new failed."), and
    // then nothing changed. The element may be one of this array's own.
    bool Append(const T& element) { return AppendValue(element); }
    bool Append(T&& element) { return AppendValue(std::move(element)); }

    // Inserts the element before `index`, moving the later elements one place up; an index at or
    // past count() appends. Grows when count() + 1 reaches the capacity. False when growing
    // failed, and then nothing changed.
    bool InsertBefore(uint64_t index, const T& element) { return InsertValue(index, element); }
    bool InsertBefore(uint64_t index, T&& element) { return InsertValue(index, std::move(element)); }

    // Removes the element at `index`, moving the later ones one place down. An index at or past
    // count() does nothing.
    void Remove(uint64_t index)
    {
        if (fTag != kCXArrayValidTag)
            CXArrayDetail::Report("Array::Remove> Not a valid array");
        RemoveAt(index);
    }

    // Removes the element the iterator is at; the iterator then stands at the element that
    // followed. An iterator of another array (or a null one) is reported as "Array::Remove>
    // Iterator does not belong to this array" and nothing is removed.
    void Remove(const Iterator& position)
    {
        if (fTag != kCXArrayValidTag)
            CXArrayDetail::Report("Array::Remove> Not a valid array");
        if (position.fArray != this) {
            CXArrayDetail::Report("Array::Remove> Iterator does not belong to this array");
            return;
        }
        RemoveAt(position.fIndex);
    }

    // Moves the elements into a block of exactly newCapacity slots (none for 0). A capacity below
    // count() is reported as "QUAL::Resize> _size < count." and changes nothing. The first request
    // above kLargeCapacity for this element type in the process is reported as "Array> This is a
    // very large request". False when the heap refused the block ("new failed."), and then nothing
    // changed.
    bool Resize(uint64_t newCapacity)
    {
        if (fTag != kCXArrayValidTag)
            CXArrayDetail::Report("Array::Resize> Not a valid array");
        if (newCapacity == fCapacity)
            return true;
        if (newCapacity < fCount) {
            CXArrayDetail::Report("QUAL::Resize> _size < count.");
            return false;
        }
        if (newCapacity > kLargeCapacity && !sLargeRequestReported.exchange(true, std::memory_order_relaxed))
            CXArrayDetail::Report("Array> This is a very large request");
        T* items = nullptr;
        if (newCapacity != 0) {
            if (newCapacity <= SIZE_MAX / sizeof(T))
                items = static_cast<T*>(CXHeapAlloc(static_cast<size_t>(newCapacity) * sizeof(T)));
            if (items == nullptr) {
                CXArrayDetail::Report("new failed.");
                return false;
            }
            for (uint64_t i = 0; i < fCount; ++i) {
                ::new (static_cast<void*>(items + i)) T(std::move(fItems[i]));
                fItems[i].~T();
            }
        }
        CXHeapFree(fItems);
        fItems = items;
        fCapacity = newCapacity;
        return true;
    }

    // Sets the number of elements, growing to the next whole block above n when the capacity is
    // below n. New elements are value-initialised (null for pointers); shrinking destroys the
    // elements past n. False when growing failed, and then nothing changed.
    bool SetCount(uint64_t n)
    {
        if (fCapacity < n && !Resize(CXArrayDetail::GrowTarget(n, fGrowth)))
            return false;
        for (uint64_t i = fCount; i < n; ++i)
            ::new (static_cast<void*>(fItems + i)) T();
        for (uint64_t i = n; i < fCount; ++i)
            fItems[i].~T();
        fCount = n;
        return true;
    }

    // An index at or past count() is reported as "Array::operator[]> index '%lu' out of range."
    // and gives a default-constructed stand-in element that belongs to no array.
    T& operator[](uint64_t index)
    {
        if (index >= fCount) {
            CXArrayDetail::ReportIndexOutOfRange(index);
            return Placeholder();
        }
        return fItems[index];
    }
    const T& operator[](uint64_t index) const
    {
        if (index >= fCount) {
            CXArrayDetail::ReportIndexOutOfRange(index);
            return Placeholder();
        }
        return fItems[index];
    }

    uint64_t count() const { return fCount; }
    uint64_t capacity() const { return fCapacity; }
    uint64_t growth() const { return fGrowth; }

    Iterator begin() { return Iterator(this, 0); }
    Iterator end() { return Iterator(this, fCount); }
    ConstIterator begin() const { return ConstIterator(this, 0); }
    ConstIterator end() const { return ConstIterator(this, fCount); }

private:
    friend class CXArrayIterator<T>;
    friend class CXArrayIterator<const T>;

    // The stand-in handed out after a bad index: per thread, and reset on every use so a write
    // through an earlier stand-in is never read back.
    static T& Placeholder()
    {
        static thread_local T placeholder{};
        placeholder = T{};
        return placeholder;
    }

    bool IsOwnElement(const T* element) const
    {
        std::less<const T*> less;
        return fItems != nullptr && !less(element, fItems) && less(element, fItems + fCount);
    }

    template <class U>
    bool AppendValue(U&& element)
    {
        if (fCount == fCapacity) {
            // Growing frees the old block, which may hold the element itself.
            if (IsOwnElement(&element)) {
                T copy(std::forward<U>(element));
                return AppendValue(std::move(copy));
            }
            if (!Resize(CXArrayDetail::GrowTarget(fCount, fGrowth)))
                return false;
        }
        ::new (static_cast<void*>(fItems + fCount)) T(std::forward<U>(element));
        ++fCount;
        return true;
    }

    template <class U>
    bool InsertValue(uint64_t index, U&& element)
    {
        if (fTag != kCXArrayValidTag)
            CXArrayDetail::Report("Array::InsertBefore> Not a valid array");
        if (index >= fCount)
            return AppendValue(std::forward<U>(element));
        // Shifting and growing move the array's own elements, which may include this one.
        if (IsOwnElement(&element)) {
            T copy(std::forward<U>(element));
            return InsertInside(index, std::move(copy));
        }
        return InsertInside(index, std::forward<U>(element));
    }

    // index < fCount; the element does not live in this array.
    template <class U>
    bool InsertInside(uint64_t index, U&& element)
    {
        if (fCount + 1 >= fCapacity && !Resize(CXArrayDetail::GrowTarget(fCount + 1, fGrowth)))
            return false;
        ::new (static_cast<void*>(fItems + fCount)) T(std::move(fItems[fCount - 1]));
        for (uint64_t i = fCount - 1; i > index; --i)
            fItems[i] = std::move(fItems[i - 1]);
        ++fCount;
        fItems[index] = std::forward<U>(element);
        return true;
    }

    void RemoveAt(uint64_t index)
    {
        if (index >= fCount)
            return;
        for (uint64_t i = index; i + 1 < fCount; ++i)
            fItems[i] = std::move(fItems[i + 1]);
        --fCount;
        fItems[fCount].~T();
    }

    static inline std::atomic<bool> sLargeRequestReported{false};

    T* fItems = nullptr;
    uint64_t fCount = 0;
    uint64_t fCapacity = 0;
    uint64_t fGrowth;
    uint32_t fTag = kCXArrayValidTag;
};

#pragma once

#include "datanode/DNRawData.h"
#include "datanode/DNValue.h"
#include "foundation/CXArray.h"

#include <cstdint>

// One entry of a memory folder; either reference may be null (no key, no value).
struct DNMemoryValueChild {
    DNValueRef key;
    DNValueRef value;
};

// A folder kept in memory as an ordered array of key and value entries. Every tree the system
// builds, by the text reader or by hand, is made of these folders and DNMemoryDataValue leaves.
// The array grows in steps of 4 entries up to 32, then of 256. Not locked: one thread changes a
// folder at a time; each reference inside an entry is replaced under the handle lock.
class DNMemoryValue : public DNValue {
public:
    DNMemoryValue() = default;

    // Linear scan, first match wins. An entry key of the search key's type matches by payload
    // bytes (exact, case-sensitive); for another type the search key is first coerced, quietly,
    // to the entry key's type, and a failed coercion is no match.
    DNIteratorRef Find(const DNRawData& key) override;
    // Appends {no key, no value}; sends "DNValue::addChild" to listeners. The null iterator when
    // the array cannot grow.
    DNIteratorRef AddLast() override;
    // Removes the iterator's entry (after sending "DNValue::removeChild") and gives an iterator
    // on the entry now at its index, or the null iterator when none. An iterator at its end, of
    // another folder or past the entries changes nothing, logs nothing and gives the null
    // iterator.
    DNIteratorRef Remove(DNIterator* iterator) override;
    DNIteratorRef First() override;
    uint32_t Count() override;
    DNIteratorRef IteratorAt(uint32_t index) override;
    int GetType() const override;
    DNValueRef MakeLeaf(const DNRawData& data) override;
    DNValueRef MakeFolder() override;
    // "DNMemoryValue{<address>}".
    CXString Describe() const override;

    // The entry array's capacity and growth step.
    uint64_t GetCapacity() const { return fChildren.capacity(); }
    uint64_t GetGrowthStep() const { return fStep; }

private:
    friend class DNMemoryIterator;

    Array<DNMemoryValueChild> fChildren{4};
    uint64_t fStep = 4;
};

// A leaf holding one raw value.
class DNMemoryDataValue : public DNValue {
public:
    explicit DNMemoryDataValue(const DNRawData& data) : fData(data) {}

    // Replaces the raw value; 0. No message is sent.
    CXResultCode SetData(const DNRawData& data) override;
    // The raw value's type.
    int GetType() const override;
    // The raw value, its payload shared.
    DNRawData GetData() const override;
    // A new DNStdMetaData describing this leaf.
    DNValueRef GetMetaData() override;

private:
    DNRawData fData;
};

// A position in a memory folder: the folder and an index. Iterators come from a process-wide pool
// of 32-slot blocks, so making one costs no heap allocation in the steady state. Stepping past
// either end detaches the iterator for good.
class DNMemoryIterator : public DNIterator {
public:
    // A pooled iterator attached to the folder at the index.
    static DNIteratorRef Create(DNMemoryValue* folder, int64_t index);

    // The entry's value or key; the shared null value past the entries or for an entry without.
    DNValueRef GetValue() override;
    DNValueRef GetKey() override;
    // Replace the entry's value or key and tell the iterators on the entry; nothing past the
    // entries or when detached.
    void SetValue(const DNValueRef& value) override;
    void SetKey(const DNValueRef& key) override;
    void Next() override;
    void Previous() override;
    DNIteratorRef Clone() override;
    // The same index; the other iterator must be a DNMemoryIterator (checked cast).
    bool SamePosition(DNIterator* other) override;
    // "DNMemoryIterator{<iterator>: <index>/<folder>}".
    CXString Describe() const override;

    // Puts the slot back into the pool.
    void DeleteThis() override;

    int64_t GetIndex() const { return fIndex; }
    DNMemoryValue* GetFolderObject() const { return fFolder; }

private:
    friend class DNMemoryValue;
    DNMemoryIterator(DNMemoryValue* folder, int64_t index);
    ~DNMemoryIterator() override;

    bool HasEntry() const;
    void Detach();

    DNMemoryValue* fFolder;
    int64_t fIndex;
};

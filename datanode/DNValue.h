#pragma once

#include "datanode/DNRawData.h"
#include "foundation/CXArray.h"
#include "foundation/CXMessage.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

#include <cstdint>
#include <memory>

class CXStream;
class DNIterator;
class DNTree;
class DNValue;
struct DNAttachedIterators;

using DNValueRef = CXAutoReference<DNValue>;
using DNIteratorRef = CXAutoReference<DNIterator>;

// A new handle that adds a reference to the object, and one that adopts a new object's own.
template <class T>
CXAutoReference<T> DNReference(T* object)
{
    CXAutoReference<T> reference;
    reference.Reference(object);
    return reference;
}
template <class T>
CXAutoReference<T> DNAdopt(T* object)
{
    CXAutoReference<T> reference;
    reference.Swallow(object);
    return reference;
}

// Change message names.
inline constexpr const char* kDNValueAddChild = "DNValue::addChild";
inline constexpr const char* kDNValueRemoveChild = "DNValue::removeChild";
inline constexpr const char* kDNIteratorKeyChanged = "DNIterator::keyChanged";
inline constexpr const char* kDNIteratorValueChanged = "DNIterator::valueChanged";
// Defined names that no operation sends.
inline constexpr const char* kDNValueValueChanged = "DNValue::valueChanged";
inline constexpr const char* kDNValueReleaseValue = "DNValue::releaseValue";

// A node of the data-node tree: a folder of ordered key and value entries, or a leaf holding a
// DNRawData. This base class is the null object: every operation is harmless, answers with
// another null object, 0 or -2, and at most logs a line. Concrete classes (DNMemoryValue,
// DNMemoryDataValue, DNStdMetaData) override what they support. Nodes and iterators handed out
// are new references, never null handles. Folder contents are not locked: one thread changes a
// tree at a time.
class DNValue : public DynamicReferenceCount, public CXMessageTarget {
public:
    DNValue() = default;
    // Reports iterators still attached ("~DNValue> %lu iterators still attached").
    ~DNValue() override;

    // The first entry whose key equals the key; the null iterator when none.
    virtual DNIteratorRef Find(const DNRawData& key);
    // An iterator on a new last entry without key and value. The base logs and gives the null
    // iterator.
    virtual DNIteratorRef AddLast();
    // Removes the iterator's entry and gives an iterator on the entry that followed. The base
    // logs and gives the null iterator.
    virtual DNIteratorRef Remove(DNIterator* iterator);
    virtual DNIteratorRef First();
    // The base counts by walking from First.
    virtual uint32_t Count();
    // The base walks from First; an index past the end gives the null iterator.
    virtual DNIteratorRef IteratorAt(uint32_t index);
    // Find, and when nothing matches, a new last entry with that key.
    virtual DNIteratorRef FindOrAdd(const DNRawData& key);
    // The entry whose value is that very object; when none, an iterator at its end.
    virtual DNIteratorRef FindChild(const DNValue* child);
    // -2 in the base.
    virtual CXResultCode SetData(const DNRawData& data);
    // 0 (no value), 1 (folder) or a leaf's DNTypeID.
    virtual int GetType() const;
    // The empty value in the base.
    virtual DNRawData GetData() const;
    // The base logs, leaves the stream empty and answers -2.
    virtual CXResultCode OpenStream(std::unique_ptr<CXStream>& stream);
    // A new leaf and a new empty folder of the same family; the shared null value in the base.
    virtual DNValueRef MakeLeaf(const DNRawData& data);
    virtual DNValueRef MakeFolder();
    // A new DNMemoryDataValue holding the data (the null value makes keys as well).
    virtual DNValueRef MakeKey(const DNRawData& data);
    // The shared null value in the base.
    virtual DNValueRef GetMetaData();
    virtual CXAutoReference<DNTree> GetTree();
    // "DNValue{}" in the base.
    CXString Describe() const override;

    // Typed reads through the translators (DNRawData::Coerce, not quiet: a typed leaf that
    // cannot be converted logs; a node without a value fails silently). They never fail: 0,
    // false or the default.
    int32_t GetInt() const;
    int64_t GetInt64() const;
    bool GetBool() const;
    CXString GetString(const CXString& defaultValue = CXString()) const;

    // Replaces the value of the entry with that key, or appends an entry.
    void SetChild(const DNRawData& key, const DNValueRef& value);
    void SetChildData(const DNRawData& key, const DNRawData& value);

    // Tells every attached iterator that stands on the changing iterator's entry (the changing
    // one included) that the entry's key or value changed. Messages are built only for
    // iterators with listeners, and sent with the attached-set lock released.
    void NotifyKeyChanged(DNIterator* changing);
    void NotifyValueChanged(DNIterator* changing);

    // The shared null value, made on first request and kept for the life of the process.
    static DNValueRef GetNull();

    // Number of iterators attached to this value.
    size_t CountAttachedIterators() const;

private:
    friend class DNIterator;
    void Notify(DNIterator* changing, const char* name);

    DNAttachedIterators* fAttached = nullptr;
};

// A cursor on one entry of a folder. This base class is the null iterator: always at its end,
// every change logs and does nothing. An iterator is attached to its folder (its owner) until it
// steps past either end, when it detaches and stays at its end for good.
class DNIterator : public DynamicReferenceCount, public CXMessageTarget {
public:
    DNIterator() = default;
    // Detaches from the owner.
    ~DNIterator() override;

    virtual DNValueRef GetValue();
    virtual void SetValue(const DNValueRef& value);
    // The entry's value as a folder: a value without a type is replaced by a new empty folder
    // of the owner's family, stored in the entry; any other value is returned as it is. A
    // detached iterator gives the shared null value.
    virtual DNValueRef GetFolder();
    virtual DNValueRef GetKey();
    virtual void SetKey(const DNValueRef& key);
    // True exactly when no owner is set.
    virtual bool AtEnd() const;
    virtual void Next();
    virtual void Previous();
    virtual DNIteratorRef Clone();
    // "DNIterator{}" in the base.
    CXString Describe() const override;
    // The base compares the GetValue objects.
    virtual bool SamePosition(DNIterator* other);

    // Store a new leaf (made by the owner) as value, or a new key; nothing when detached.
    void SetRawValue(const DNRawData& data);
    void SetKeyData(const DNRawData& data);

    // Moves the iterator from its owner's attached set to another owner's (null detaches).
    void Attach(DNValue* owner);
    DNValue* GetOwner() const { return fOwner.get(); }

    // The shared null iterator, made on first request and kept for the life of the process.
    static DNIteratorRef GetNull();

private:
    DNValueRef fOwner;
};

// A change of a value, with a reference to it. Reports "DNValueChangeMessage> releasing last
// reference" when the message would hold the value's last reference but for the caller's.
class DNValueChangeMessage : public CXMessage {
public:
    DNValueChangeMessage(const CXString& name, CXMessageTarget* source, DNValueRef value);
    const DNValueRef& GetValue() const { return fValue; }

protected:
    struct NoCheck {};
    DNValueChangeMessage(const CXString& name, CXMessageTarget* source, DNValueRef value, NoCheck);

private:
    DNValueRef fValue;
};

// "DNValue::addChild": sent to a folder's listeners after an entry was appended.
class DNValueAddChildMessage : public DNValueChangeMessage {
public:
    DNValueAddChildMessage(CXMessageTarget* source, DNValueRef folder, DNIteratorRef iterator);
    const DNIteratorRef& GetIterator() const { return fIterator; }

private:
    DNIteratorRef fIterator;
};

// "DNValue::removeChild": sent to a folder's listeners before an entry is removed.
class DNValueRemoveChildMessage : public DNValueChangeMessage {
public:
    DNValueRemoveChildMessage(CXMessageTarget* source, DNValueRef folder, DNIteratorRef iterator);
    const DNIteratorRef& GetIterator() const { return fIterator; }

private:
    DNIteratorRef fIterator;
};

// "DNIterator::keyChanged" or "DNIterator::valueChanged": sent to an iterator's listeners.
class DNIteratorChangeMessage : public CXMessage {
public:
    DNIteratorChangeMessage(const CXString& name, CXMessageTarget* source, DNIteratorRef iterator);
    const DNIteratorRef& GetIterator() const { return fIterator; }

private:
    DNIteratorRef fIterator;
};

// One entry of the global tree.
struct DNTreeEntry {
    CXString name;
};

// The global tree object, reached through DNValue::GetTree.
class DNTree : public DynamicReferenceCount, public CXMessageTarget {
public:
    DNTree() = default;

    // The shared null value.
    virtual DNValueRef GetRoot();

    // The global tree, made on first request and kept for the life of the process.
    static CXAutoReference<DNTree> Get();

private:
    Array<DNTreeEntry> fEntries{128};
};

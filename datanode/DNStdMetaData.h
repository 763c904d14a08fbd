#pragma once

#include "datanode/DNValue.h"

#include <cstdint>

// By-index access for folders whose entries are computed. The defaults log that the behaviour
// is not supported and answer with the shared null value.
class DNStdIndexedValue {
public:
    virtual ~DNStdIndexedValue() = default;

    virtual DNValueRef GetIndexedValue(uint32_t index);
    virtual DNValueRef GetIndexedKey(uint32_t index);
    virtual void SetIndexedValue(uint32_t index, const DNValueRef& value);
    virtual void SetIndexedKey(uint32_t index, const DNValueRef& key);
};

// The read-only metadata folder of a leaf: one entry per provider of a static table, its value
// computed on every access. The table has one provider, "kind", the name of the leaf's type
// ("int", "string", ...; empty for INT64 and registered types). Accepts no new entries.
class DNStdMetaData : public DNStdIndexedValue, public DNValue {
public:
    using Getter = DNValueRef (*)(DNValue* described, int parameter);
    using Setter = void (*)(DNValue* described, const DNValueRef& value, int parameter);
    struct Provider {
        const char* name;
        Getter getter;
        Setter setter;
    };

    // Describes the value (null: the metadata object itself is given to the providers).
    explicit DNStdMetaData(DNValue* described);

    // The first entry whose name has the key's type (STRING) and the key's bytes; no coercion.
    DNIteratorRef Find(const DNRawData& key) override;
    // The null iterator, silently.
    DNIteratorRef AddLast() override;
    DNIteratorRef First() override;
    uint32_t Count() override;
    int GetType() const override;
    DNValueRef MakeLeaf(const DNRawData& data) override;

    DNValueRef GetIndexedValue(uint32_t index) override;
    // A new STRING leaf holding the entry's name.
    DNValueRef GetIndexedKey(uint32_t index) override;
    void SetIndexedValue(uint32_t index, const DNValueRef& value) override;

private:
    DNValueRef fDescribed;
    uint32_t fCount;
    int fParameter = 0;
};

// A position in a by-index folder. Detached, it answers with the shared null value.
class DNStdIndexedIterator : public DNIterator {
public:
    // Attached to the folder (which must also be the DNValue given) at the index.
    DNStdIndexedIterator(DNValue* folder, DNStdIndexedValue* indexed, uint32_t index);
    ~DNStdIndexedIterator() override;

    DNValueRef GetValue() override;
    DNValueRef GetKey() override;
    void SetValue(const DNValueRef& value) override;
    void SetKey(const DNValueRef& key) override;
    void Next() override;
    void Previous() override;
    DNIteratorRef Clone() override;
    // The same index; the other iterator must be a DNStdIndexedIterator (checked cast).
    bool SamePosition(DNIterator* other) override;

private:
    void Detach();

    DNValue* fFolder;
    DNStdIndexedValue* fIndexed;
    uint32_t fIndex;
};

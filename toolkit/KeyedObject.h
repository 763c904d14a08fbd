#pragma once

#include "foundation/CXArray.h"

#include <cstdint>

class KeyedObject;

// A named key that objects can hold; it counts its holders. Keys outlive the objects that hold
// them: a key destroyed while held is reported.
class KeyRegister {
public:
    // The name is shown in messages and must outlive the key (a literal, usually).
    explicit KeyRegister(const char* name);
    // Reports "~KeyRegister> Key in use (count: %d, name: '%s')" while objects still hold it.
    virtual ~KeyRegister();
    KeyRegister(const KeyRegister&) = delete;
    KeyRegister& operator=(const KeyRegister&) = delete;

    // One holder gives the key back. A key that nobody holds reports the over-release and keeps
    // its count at 0.
    virtual void RemovingObjectKey(KeyedObject* object);

    uint32_t GetUseCount() const { return fUseCount; }
    const char* GetName() const { return fName; }

private:
    friend class KeyedObject;
    uint32_t fUseCount = 0;
    const char* fName;
};

// An object that can hold keys; it gives each key back when it dies.
class KeyedObject {
public:
    KeyedObject() = default;
    // ReleaseKeys, then the list itself goes.
    virtual ~KeyedObject();
    KeyedObject(const KeyedObject&) = delete;
    KeyedObject& operator=(const KeyedObject&) = delete;

    // Holds the key: its use count goes up by one. Each call is one hold, given back once by
    // ReleaseKeys. False when the list cannot grow (nothing is held then).
    bool AddKey(KeyRegister& key);
    // Gives every held key back, in the order they were added, and empties the list.
    void ReleaseKeys();

    uint64_t CountKeys() const { return fKeys.count(); }

private:
    struct Entry {
        KeyRegister* key;
    };
    Array<Entry> fKeys{128};
};

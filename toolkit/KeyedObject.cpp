#include "toolkit/KeyedObject.h"

#include "foundation/CXDebug.h"

KeyRegister::KeyRegister(const char* name) : fName(name != nullptr ? name : "") {}

KeyRegister::~KeyRegister()
{
    if (fUseCount != 0)
        CXDebugLog("~KeyRegister> Key in use (count: %d, name: '%s')", static_cast<int>(fUseCount), fName);
}

void KeyRegister::RemovingObjectKey(KeyedObject*)
{
    if (fUseCount == 0) {
        CXDebugLog("KeyRegister::RemovingObjectKey> over-released (name: '%s')", fName);
        return;
    }
    --fUseCount;
}

KeyedObject::~KeyedObject()
{
    ReleaseKeys();
}

bool KeyedObject::AddKey(KeyRegister& key)
{
    if (!fKeys.Append(Entry{&key}))
        return false;
    ++key.fUseCount;
    return true;
}

void KeyedObject::ReleaseKeys()
{
    for (uint64_t i = 0; i < fKeys.count(); ++i)
        fKeys[i].key->RemovingObjectKey(this);
    (void)fKeys.SetCount(0);
}

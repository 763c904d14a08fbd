#include "datanode/DNMemoryValue.h"

#include "datanode/DNStdMetaData.h"
#include "foundation/CXSafeCast.h"

#include <cstddef>
#include <mutex>
#include <new>

namespace {

constexpr uint64_t kSmallFolderLimit = 32;
constexpr uint64_t kLargeGrowthStep = 256;

// The iterator pool: slots of one link word and one iterator, allocated 32 at a time and never
// returned to the heap.
struct IteratorSlot {
    IteratorSlot* next;
    alignas(DNMemoryIterator) unsigned char storage[sizeof(DNMemoryIterator)];
};

struct IteratorPool {
    static constexpr int kBlockSlots = 32;
    std::mutex lock;
    IteratorSlot* free = nullptr;
};

IteratorPool& Pool()
{
    static IteratorPool* pool = new IteratorPool;
    return *pool;
}

void* TakeSlot()
{
    IteratorPool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.lock);
    if (pool.free == nullptr) {
        IteratorSlot* block = new IteratorSlot[IteratorPool::kBlockSlots];
        for (int i = 1; i < IteratorPool::kBlockSlots; ++i) {
            block[i].next = pool.free;
            pool.free = &block[i];
        }
        return block[0].storage;
    }
    IteratorSlot* slot = pool.free;
    pool.free = slot->next;
    return slot->storage;
}

void ReturnSlot(void* storage)
{
    auto* slot = reinterpret_cast<IteratorSlot*>(static_cast<unsigned char*>(storage) - offsetof(IteratorSlot, storage));
    IteratorPool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.lock);
    slot->next = pool.free;
    pool.free = slot;
}

bool KeysMatch(const DNRawData& entryKey, const DNRawData& searchKey)
{
    if (entryKey.GetType() == searchKey.GetType())
        return entryKey == searchKey;
    DNRawData coerced;
    if (DNRawData::Coerce(searchKey, entryKey.GetType(), coerced, true) != kCXOK)
        return false;
    return coerced == entryKey;
}

} // namespace

DNIteratorRef DNMemoryValue::Find(const DNRawData& key)
{
    for (uint64_t i = 0; i < fChildren.count(); ++i) {
        const DNMemoryValueChild& entry = fChildren[i];
        if (!entry.key)
            continue;
        if (KeysMatch(entry.key->GetData(), key))
            return DNMemoryIterator::Create(this, static_cast<int64_t>(i));
    }
    return DNIterator::GetNull();
}

DNIteratorRef DNMemoryValue::AddLast()
{
    uint64_t count = fChildren.count();
    if (count == fChildren.capacity() && !fChildren.Resize(CXArrayDetail::GrowTarget(count, fStep)))
        return DNIterator::GetNull();
    if (!fChildren.Append(DNMemoryValueChild{}))
        return DNIterator::GetNull();
    if (fChildren.count() > kSmallFolderLimit)
        fStep = kLargeGrowthStep;
    DNIteratorRef iterator = DNMemoryIterator::Create(this, static_cast<int64_t>(count));
    if (HasListeners()) {
        DNValueAddChildMessage message(this, DNReference<DNValue>(this), iterator);
        SendToListeners(message);
    }
    return iterator;
}

DNIteratorRef DNMemoryValue::Remove(DNIterator* iterator)
{
    if (iterator == nullptr || iterator->AtEnd())
        return DNIterator::GetNull();
    auto* position = dynamic_cast<DNMemoryIterator*>(iterator);
    if (position == nullptr || position->fFolder != this || static_cast<uint64_t>(position->fIndex) >= fChildren.count())
        return DNIterator::GetNull();
    uint64_t index = static_cast<uint64_t>(position->fIndex);
    if (HasListeners()) {
        DNValueRemoveChildMessage message(this, DNReference<DNValue>(this), DNReference(iterator));
        SendToListeners(message);
    }
    // A listener may have changed the folder meanwhile.
    if (index < fChildren.count())
        fChildren.Remove(index);
    if (index < fChildren.count())
        return DNMemoryIterator::Create(this, static_cast<int64_t>(index));
    return DNIterator::GetNull();
}

DNIteratorRef DNMemoryValue::First()
{
    if (fChildren.count() == 0)
        return DNIterator::GetNull();
    return DNMemoryIterator::Create(this, 0);
}

uint32_t DNMemoryValue::Count()
{
    return static_cast<uint32_t>(fChildren.count());
}

DNIteratorRef DNMemoryValue::IteratorAt(uint32_t index)
{
    if (index >= fChildren.count())
        return DNIterator::GetNull();
    return DNMemoryIterator::Create(this, index);
}

int DNMemoryValue::GetType() const
{
    return static_cast<int>(kDNTypeFolder);
}

DNValueRef DNMemoryValue::MakeLeaf(const DNRawData& data)
{
    return DNAdopt<DNValue>(new DNMemoryDataValue(data));
}

DNValueRef DNMemoryValue::MakeFolder()
{
    return DNAdopt<DNValue>(new DNMemoryValue);
}

CXString DNMemoryValue::Describe() const
{
    return CXString::FromFormat("DNMemoryValue{%p}", static_cast<const void*>(this));
}

CXResultCode DNMemoryDataValue::SetData(const DNRawData& data)
{
    fData = data;
    return kCXOK;
}

int DNMemoryDataValue::GetType() const
{
    return static_cast<int>(fData.GetType());
}

DNRawData DNMemoryDataValue::GetData() const
{
    return fData;
}

DNValueRef DNMemoryDataValue::GetMetaData()
{
    return DNAdopt<DNValue>(new DNStdMetaData(this));
}

DNIteratorRef DNMemoryIterator::Create(DNMemoryValue* folder, int64_t index)
{
    return DNAdopt<DNIterator>(new (TakeSlot()) DNMemoryIterator(folder, index));
}

DNMemoryIterator::DNMemoryIterator(DNMemoryValue* folder, int64_t index) : fFolder(folder), fIndex(index)
{
    Attach(folder);
}

DNMemoryIterator::~DNMemoryIterator()
{
    // Leave the attached set while still whole, so a notification walk never sees a half-gone
    // iterator.
    Detach();
}

void DNMemoryIterator::DeleteThis()
{
    this->~DNMemoryIterator();
    ReturnSlot(this);
}

bool DNMemoryIterator::HasEntry() const
{
    return fFolder != nullptr && fIndex >= 0 && static_cast<uint64_t>(fIndex) < fFolder->fChildren.count();
}

void DNMemoryIterator::Detach()
{
    fFolder = nullptr;
    Attach(nullptr);
}

DNValueRef DNMemoryIterator::GetValue()
{
    if (HasEntry()) {
        const DNMemoryValueChild& entry = fFolder->fChildren[static_cast<uint64_t>(fIndex)];
        if (entry.value)
            return entry.value;
    }
    return DNValue::GetNull();
}

DNValueRef DNMemoryIterator::GetKey()
{
    if (HasEntry()) {
        const DNMemoryValueChild& entry = fFolder->fChildren[static_cast<uint64_t>(fIndex)];
        if (entry.key)
            return entry.key;
    }
    return DNValue::GetNull();
}

void DNMemoryIterator::SetValue(const DNValueRef& value)
{
    if (!HasEntry())
        return;
    DNMemoryValue* folder = fFolder;
    folder->fChildren[static_cast<uint64_t>(fIndex)].value = value;
    folder->NotifyValueChanged(this);
}

void DNMemoryIterator::SetKey(const DNValueRef& key)
{
    if (!HasEntry())
        return;
    DNMemoryValue* folder = fFolder;
    folder->fChildren[static_cast<uint64_t>(fIndex)].key = key;
    folder->NotifyKeyChanged(this);
}

void DNMemoryIterator::Next()
{
    if (fFolder == nullptr)
        return;
    ++fIndex;
    if (static_cast<uint64_t>(fIndex) >= fFolder->fChildren.count())
        Detach();
}

void DNMemoryIterator::Previous()
{
    if (fFolder == nullptr)
        return;
    if (fIndex == 0)
        Detach();
    else
        --fIndex;
}

DNIteratorRef DNMemoryIterator::Clone()
{
    if (fFolder == nullptr)
        return DNIterator::GetNull();
    return Create(fFolder, fIndex);
}

bool DNMemoryIterator::SamePosition(DNIterator* other)
{
    DNMemoryIterator* position = cx_safe_cast<DNMemoryIterator>(other);
    return position != nullptr && position->fIndex == fIndex;
}

CXString DNMemoryIterator::Describe() const
{
    return CXString::FromFormat("DNMemoryIterator{%p: %d/%p}", static_cast<const void*>(this), static_cast<int>(fIndex),
                                static_cast<const void*>(fFolder));
}

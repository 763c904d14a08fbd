#include "datanode/DNValue.h"

#include "datanode/DNMemoryValue.h"
#include "foundation/CXDebug.h"
#include "streams/CXStream.h"

#include <iterator>
#include <mutex>
#include <set>
#include <vector>

// The iterators attached to a value: up to four inline, the rest in an ordered set. Guarded by
// the value's reference stripe, which is a leaf lock: nothing else is locked while it is held.
struct DNAttachedIterators {
    static constexpr uint32_t kInline = 4;

    DNIterator* inlineEntries[kInline] = {};
    uint32_t inlineCount = 0;
    std::set<DNIterator*> more;

    size_t Total() const { return inlineCount + more.size(); }
    bool Contains(DNIterator* iterator) const
    {
        for (uint32_t i = 0; i < inlineCount; ++i)
            if (inlineEntries[i] == iterator)
                return true;
        return more.count(iterator) != 0;
    }
    void Insert(DNIterator* iterator)
    {
        if (Contains(iterator))
            return;
        if (inlineCount < kInline)
            inlineEntries[inlineCount++] = iterator;
        else
            more.insert(iterator);
    }
    void Erase(DNIterator* iterator)
    {
        for (uint32_t i = 0; i < inlineCount; ++i) {
            if (inlineEntries[i] == iterator) {
                inlineEntries[i] = inlineEntries[--inlineCount];
                inlineEntries[inlineCount] = nullptr;
                return;
            }
        }
        more.erase(iterator);
    }
    DNIterator* At(size_t position) const
    {
        if (position < inlineCount)
            return inlineEntries[position];
        position -= inlineCount;
        if (position >= more.size())
            return nullptr;
        return *std::next(more.begin(), static_cast<std::ptrdiff_t>(position));
    }
};

namespace {

// Sets come from a process-wide pool so that attaching the usual one or two iterators allocates
// nothing.
struct AttachedSetPool {
    std::mutex lock;
    std::vector<DNAttachedIterators*> free;
};

AttachedSetPool& Pool()
{
    static AttachedSetPool* pool = new AttachedSetPool;
    return *pool;
}

DNAttachedIterators* TakeSet()
{
    AttachedSetPool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.lock);
    if (pool.free.empty())
        return new DNAttachedIterators;
    DNAttachedIterators* set = pool.free.back();
    pool.free.pop_back();
    return set;
}

void ReturnSet(DNAttachedIterators* set)
{
    if (set == nullptr)
        return;
    set->inlineCount = 0;
    set->more.clear();
    AttachedSetPool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.lock);
    pool.free.push_back(set);
}

std::mutex& StripeOf(const DNValue* value)
{
    return CXReferenceStripe(value);
}

} // namespace

DNValue::~DNValue()
{
    DNAttachedIterators* set;
    {
        std::lock_guard<std::mutex> lock(StripeOf(this));
        set = fAttached;
        fAttached = nullptr;
    }
    if (set != nullptr) {
        CXDebugError("~DNValue> %lu iterators still attached", static_cast<unsigned long>(set->Total()));
        ReturnSet(set);
    }
}

DNIteratorRef DNValue::Find(const DNRawData&)
{
    return DNIterator::GetNull();
}

DNIteratorRef DNValue::AddLast()
{
    CXDebugLog("DNValue::AddLast> Called on NULL Value");
    return DNIterator::GetNull();
}

DNIteratorRef DNValue::Remove(DNIterator*)
{
    CXDebugLog("DNValue::Remove> Called on NULL Value");
    return DNIterator::GetNull();
}

DNIteratorRef DNValue::First()
{
    return DNIterator::GetNull();
}

uint32_t DNValue::Count()
{
    uint32_t count = 0;
    for (DNIteratorRef it = First(); !it->AtEnd(); it->Next())
        ++count;
    return count;
}

DNIteratorRef DNValue::IteratorAt(uint32_t index)
{
    DNIteratorRef it = First();
    for (uint32_t i = 0; i < index && !it->AtEnd(); ++i)
        it->Next();
    if (it->AtEnd())
        return DNIterator::GetNull();
    return it;
}

DNIteratorRef DNValue::FindOrAdd(const DNRawData& key)
{
    DNIteratorRef it = Find(key);
    if (it->AtEnd()) {
        it = AddLast();
        it->SetKeyData(key);
    }
    return it;
}

DNIteratorRef DNValue::FindChild(const DNValue* child)
{
    DNIteratorRef it = First();
    while (!it->AtEnd() && it->GetValue().get() != child)
        it->Next();
    return it;
}

CXResultCode DNValue::SetData(const DNRawData&)
{
    return kCXNotSupported;
}

int DNValue::GetType() const
{
    return 0;
}

DNRawData DNValue::GetData() const
{
    return DNRawData();
}

CXResultCode DNValue::OpenStream(std::unique_ptr<CXStream>& stream)
{
    CXDebugLog("DNValue::OpenStream> this DNValue does not support streaming operations");
    stream.reset();
    return kCXNotSupported;
}

DNValueRef DNValue::MakeLeaf(const DNRawData&)
{
    return GetNull();
}

DNValueRef DNValue::MakeFolder()
{
    return GetNull();
}

DNValueRef DNValue::MakeKey(const DNRawData& data)
{
    return DNAdopt<DNValue>(new DNMemoryDataValue(data));
}

DNValueRef DNValue::GetMetaData()
{
    return GetNull();
}

CXAutoReference<DNTree> DNValue::GetTree()
{
    return DNTree::Get();
}

CXString DNValue::Describe() const
{
    return CXString("DNValue{}");
}

int32_t DNValue::GetInt() const
{
    DNRawData out;
    if (DNRawData::Coerce(GetData(), kDNTypeInt, out, false) != kCXOK || out.GetSize() != 4)
        return 0;
    return DNReadInt32(out.GetBytes());
}

int64_t DNValue::GetInt64() const
{
    DNRawData data = GetData();
    if (data.GetType() == kDNTypeInt && data.GetSize() == 4)
        return DNReadInt32(data.GetBytes());
    DNRawData out;
    if (DNRawData::Coerce(data, kDNTypeInt64, out, false) != kCXOK || out.GetSize() != 8)
        return 0;
    return DNReadInt64(out.GetBytes());
}

bool DNValue::GetBool() const
{
    DNRawData out;
    if (DNRawData::Coerce(GetData(), kDNTypeBool, out, false) != kCXOK || out.GetSize() != 1)
        return false;
    return out.GetBytes()[0] != 0;
}

CXString DNValue::GetString(const CXString& defaultValue) const
{
    DNRawData out;
    if (DNRawData::Coerce(GetData(), kDNTypeString, out, false) != kCXOK)
        return defaultValue;
    return out.GetPayload();
}

void DNValue::SetChild(const DNRawData& key, const DNValueRef& value)
{
    DNIteratorRef it = FindOrAdd(key);
    it->SetValue(value);
}

void DNValue::SetChildData(const DNRawData& key, const DNRawData& value)
{
    SetChild(key, MakeLeaf(value));
}

void DNValue::NotifyKeyChanged(DNIterator* changing)
{
    Notify(changing, kDNIteratorKeyChanged);
}

void DNValue::NotifyValueChanged(DNIterator* changing)
{
    Notify(changing, kDNIteratorValueChanged);
}

void DNValue::Notify(DNIterator* changing, const char* name)
{
    // A listener may drop the last other reference to the changing iterator while the walk goes on.
    DNIteratorRef keepChanging = DNReference(changing);
    std::mutex& stripe = StripeOf(this);
    for (size_t position = 0;; ++position) {
        DNIterator* iterator;
        {
            std::lock_guard<std::mutex> lock(stripe);
            if (fAttached == nullptr)
                return;
            iterator = fAttached->At(position);
        }
        if (iterator == nullptr)
            return;
        // The walk goes on by position: a listener may attach, detach or destroy iterators.
        bool same = iterator == changing || (iterator->GetOwner() == changing->GetOwner() && iterator->SamePosition(changing));
        if (!same || !iterator->HasListeners())
            continue;
        DNIteratorRef keep = DNReference(iterator);
        DNIteratorChangeMessage message(CXString(name), iterator, keep);
        iterator->SendToListeners(message);
    }
}

size_t DNValue::CountAttachedIterators() const
{
    std::lock_guard<std::mutex> lock(StripeOf(this));
    return fAttached != nullptr ? fAttached->Total() : 0;
}

DNValueRef DNValue::GetNull()
{
    static DNValue* null = new DNValue;
    return DNReference(null);
}

DNIterator::~DNIterator()
{
    Attach(nullptr);
}

DNValueRef DNIterator::GetValue()
{
    return DNValue::GetNull();
}

void DNIterator::SetValue(const DNValueRef&)
{
    CXDebugLog("DNIterator::SetValue> Called on NULL Iterator");
}

DNValueRef DNIterator::GetFolder()
{
    DNValue* owner = fOwner.get();
    if (owner == nullptr)
        return DNValue::GetNull();
    DNValueRef value = GetValue();
    if (value->GetType() != 0)
        return value;
    DNValueRef folder = owner->MakeFolder();
    if (folder.get() != value.get())
        SetValue(folder);
    return folder;
}

DNValueRef DNIterator::GetKey()
{
    return DNValue::GetNull();
}

void DNIterator::SetKey(const DNValueRef&)
{
    CXDebugLog("DNIterator::SetKey> Called on NULL Iterator");
}

bool DNIterator::AtEnd() const
{
    return fOwner.get() == nullptr;
}

void DNIterator::Next() {}

void DNIterator::Previous() {}

DNIteratorRef DNIterator::Clone()
{
    return GetNull();
}

CXString DNIterator::Describe() const
{
    return CXString("DNIterator{}");
}

bool DNIterator::SamePosition(DNIterator* other)
{
    return other != nullptr && GetValue().get() == other->GetValue().get();
}

void DNIterator::SetRawValue(const DNRawData& data)
{
    DNValue* owner = fOwner.get();
    if (owner != nullptr)
        SetValue(owner->MakeLeaf(data));
}

void DNIterator::SetKeyData(const DNRawData& data)
{
    DNValue* owner = fOwner.get();
    if (owner != nullptr)
        SetKey(owner->MakeKey(data));
}

void DNIterator::Attach(DNValue* owner)
{
    DNValue* old = fOwner.get();
    if (old == owner)
        return;
    if (old != nullptr) {
        DNAttachedIterators* emptied = nullptr;
        {
            std::lock_guard<std::mutex> lock(StripeOf(old));
            if (old->fAttached != nullptr) {
                old->fAttached->Erase(this);
                if (old->fAttached->Total() == 0) {
                    emptied = old->fAttached;
                    old->fAttached = nullptr;
                }
            }
        }
        ReturnSet(emptied);
    }

    // Takes the new reference before the old one goes (outside the handle lock).
    fOwner.Reference(owner);

    if (owner != nullptr) {
        bool inserted = false;
        {
            std::lock_guard<std::mutex> lock(StripeOf(owner));
            if (owner->fAttached != nullptr) {
                owner->fAttached->Insert(this);
                inserted = true;
            }
        }
        if (!inserted) {
            // The pool has a lock of its own and a stripe is a leaf: the set is fetched outside.
            DNAttachedIterators* set = TakeSet();
            {
                std::lock_guard<std::mutex> lock(StripeOf(owner));
                if (owner->fAttached == nullptr) {
                    owner->fAttached = set;
                    set = nullptr;
                }
                owner->fAttached->Insert(this);
            }
            ReturnSet(set);
        }
    }
}

DNIteratorRef DNIterator::GetNull()
{
    static DNIterator* null = new DNIterator;
    return DNReference(null);
}

DNValueChangeMessage::DNValueChangeMessage(const CXString& name, CXMessageTarget* source, DNValueRef value)
    : CXMessage(name, source)
    , fValue(value)
{
    if (fValue && fValue->GetReferenceCount() <= 2)
        CXDebugError("DNValueChangeMessage> releasing last reference");
}

DNValueChangeMessage::DNValueChangeMessage(const CXString& name, CXMessageTarget* source, DNValueRef value, NoCheck)
    : CXMessage(name, source)
    , fValue(value)
{
}

DNValueAddChildMessage::DNValueAddChildMessage(CXMessageTarget* source, DNValueRef folder, DNIteratorRef iterator)
    : DNValueChangeMessage(CXString(kDNValueAddChild), source, folder, NoCheck())
    , fIterator(iterator)
{
    if (fIterator && fIterator->GetReferenceCount() <= 2)
        CXDebugError("DNValueAddChildMessage> releasing last reference");
}

DNValueRemoveChildMessage::DNValueRemoveChildMessage(CXMessageTarget* source, DNValueRef folder, DNIteratorRef iterator)
    : DNValueChangeMessage(CXString(kDNValueRemoveChild), source, folder, NoCheck())
    , fIterator(iterator)
{
    if (fIterator && fIterator->GetReferenceCount() <= 2)
        CXDebugError("DNValueRemoveChildMessage> releasing last reference");
}

DNIteratorChangeMessage::DNIteratorChangeMessage(const CXString& name, CXMessageTarget* source, DNIteratorRef iterator)
    : CXMessage(name, source)
    , fIterator(iterator)
{
}

DNValueRef DNTree::GetRoot()
{
    return DNValue::GetNull();
}

CXAutoReference<DNTree> DNTree::Get()
{
    static DNTree* tree = new DNTree;
    return DNReference(tree);
}

#include "datanode/DNStdMetaData.h"

#include "datanode/DNMemoryValue.h"
#include "foundation/CXDebug.h"
#include "foundation/CXSafeCast.h"

namespace {

DNValueRef KindGetter(DNValue* described, int)
{
    DNMemoryDataValue* leaf = cx_safe_cast<DNMemoryDataValue>(described);
    if (leaf == nullptr)
        return DNValue::GetNull();
    const char* kind = "";
    switch (leaf->GetType()) {
    case kDNTypeFolder: kind = "folder"; break;
    case kDNTypeInt: kind = "int"; break;
    case kDNTypeFloat: kind = "float"; break;
    case kDNTypeString: kind = "string"; break;
    case kDNTypeRaw: kind = "raw"; break;
    case kDNTypeCompressed: kind = "compressed"; break;
    case kDNTypeFloats: kind = "float[]"; break;
    case kDNTypeBool: kind = "boolean"; break;
    case kDNTypeInts: kind = "int[]"; break;
    default: break;
    }
    return DNAdopt<DNValue>(new DNMemoryDataValue(DNRawData(kind)));
}

// Ends at the first entry without a name.
const DNStdMetaData::Provider kProviders[] = {
    {"kind", KindGetter, nullptr},
    {nullptr, nullptr, nullptr},
};

} // namespace

DNValueRef DNStdIndexedValue::GetIndexedValue(uint32_t)
{
    CXDebugLog("DNStdIndexedValue::GetIndexedValue> Behaviour not supported by this DNValue");
    return DNValue::GetNull();
}

DNValueRef DNStdIndexedValue::GetIndexedKey(uint32_t)
{
    CXDebugLog("DNStdIndexedValue::GetIndexedKey> Behaviour not supported by this DNValue");
    return DNValue::GetNull();
}

void DNStdIndexedValue::SetIndexedValue(uint32_t, const DNValueRef&)
{
    CXDebugLog("DNStdIndexedValue::SetIndexedValue> Behaviour not supported by this DNValue");
}

void DNStdIndexedValue::SetIndexedKey(uint32_t, const DNValueRef&)
{
    CXDebugLog("DNStdIndexedValue::SetIndexedKey> Behaviour not supported by this DNValue");
}

DNStdMetaData::DNStdMetaData(DNValue* described) : fDescribed(DNReference(described)), fCount(0)
{
    while (kProviders[fCount].name != nullptr && kProviders[fCount].name[0] != '\0')
        ++fCount;
}

DNIteratorRef DNStdMetaData::Find(const DNRawData& key)
{
    if (key.GetType() != kDNTypeString)
        return DNIterator::GetNull();
    for (uint32_t i = 0; i < fCount; ++i)
        if (DNRawData(kProviders[i].name) == key)
            return DNAdopt<DNIterator>(new DNStdIndexedIterator(this, this, i));
    return DNIterator::GetNull();
}

DNIteratorRef DNStdMetaData::AddLast()
{
    return DNIterator::GetNull();
}

DNIteratorRef DNStdMetaData::First()
{
    if (fCount == 0)
        return DNIterator::GetNull();
    return DNAdopt<DNIterator>(new DNStdIndexedIterator(this, this, 0));
}

uint32_t DNStdMetaData::Count()
{
    return fCount;
}

int DNStdMetaData::GetType() const
{
    return static_cast<int>(kDNTypeFolder);
}

DNValueRef DNStdMetaData::MakeLeaf(const DNRawData& data)
{
    return DNAdopt<DNValue>(new DNMemoryDataValue(data));
}

DNValueRef DNStdMetaData::GetIndexedValue(uint32_t index)
{
    if (index >= fCount || kProviders[index].getter == nullptr)
        return DNValue::GetNull();
    DNValue* described = fDescribed ? fDescribed.get() : this;
    return kProviders[index].getter(described, fParameter);
}

DNValueRef DNStdMetaData::GetIndexedKey(uint32_t index)
{
    if (index >= fCount)
        return DNValue::GetNull();
    return DNAdopt<DNValue>(new DNMemoryDataValue(DNRawData(kProviders[index].name)));
}

void DNStdMetaData::SetIndexedValue(uint32_t index, const DNValueRef& value)
{
    if (index < fCount && kProviders[index].setter != nullptr)
        kProviders[index].setter(fDescribed ? fDescribed.get() : this, value, fParameter);
}

DNStdIndexedIterator::DNStdIndexedIterator(DNValue* folder, DNStdIndexedValue* indexed, uint32_t index)
    : fFolder(folder)
    , fIndexed(indexed)
    , fIndex(index)
{
    Attach(folder);
}

DNStdIndexedIterator::~DNStdIndexedIterator()
{
    Detach();
}

void DNStdIndexedIterator::Detach()
{
    fFolder = nullptr;
    fIndexed = nullptr;
    Attach(nullptr);
}

DNValueRef DNStdIndexedIterator::GetValue()
{
    return fIndexed != nullptr ? fIndexed->GetIndexedValue(fIndex) : DNValue::GetNull();
}

DNValueRef DNStdIndexedIterator::GetKey()
{
    return fIndexed != nullptr ? fIndexed->GetIndexedKey(fIndex) : DNValue::GetNull();
}

void DNStdIndexedIterator::SetValue(const DNValueRef& value)
{
    if (fIndexed != nullptr)
        fIndexed->SetIndexedValue(fIndex, value);
}

void DNStdIndexedIterator::SetKey(const DNValueRef& key)
{
    if (fIndexed != nullptr)
        fIndexed->SetIndexedKey(fIndex, key);
}

void DNStdIndexedIterator::Next()
{
    if (fFolder == nullptr)
        return;
    ++fIndex;
    if (fIndex >= fFolder->Count())
        Detach();
}

void DNStdIndexedIterator::Previous()
{
    if (fFolder == nullptr)
        return;
    if (fIndex == 0)
        Detach();
    else
        --fIndex;
}

DNIteratorRef DNStdIndexedIterator::Clone()
{
    if (fFolder == nullptr)
        return DNIterator::GetNull();
    return DNAdopt<DNIterator>(new DNStdIndexedIterator(fFolder, fIndexed, fIndex));
}

bool DNStdIndexedIterator::SamePosition(DNIterator* other)
{
    DNStdIndexedIterator* position = cx_safe_cast<DNStdIndexedIterator>(other);
    return position != nullptr && position->fIndex == fIndex;
}

#include "datanode/DNRawDataType.h"

#include "foundation/CXDebug.h"

namespace {

// Made on first use so that types in any translation unit can register during static
// initialisation; never destroyed, so types destroyed at exit can still leave it.
CXLinkedListHead& TypeList()
{
    static CXLinkedListHead* list = new CXLinkedListHead;
    return *list;
}

} // namespace

DNRawDataType::DNRawDataType(DNTypeID id, const char* name) : fID(id), fName(name)
{
    CXLinkedListHead& list = TypeList();
    for (CXLinkedListIterator it = list.begin(); it; ++it) {
        const DNRawDataType* other = it.Get<DNRawDataType>();
        if (other->fID == fID)
            CXDebugError("DNRawDataType(%d, '%s') DNTypeID already in use by '%s'", static_cast<int>(fID), fName.c_str(),
                         other->fName.c_str());
        if (other->fName == fName)
            CXDebugError("DNRawDataType(%d, '%s') typeName already in use", static_cast<int>(fID), fName.c_str());
    }
    fMarker = kConstructedMarker;
    list.Insert(*this);
}

DNRawDataType::~DNRawDataType()
{
    if (list() != nullptr)
        TypeList().Remove(*this);
    fMarker = 0;
}

DNTypeID DNRawDataType::GetTypeID() const
{
    if (fMarker != kConstructedMarker)
        CXDebugError("DNRawDataType::GetTypeID> not constructed");
    return fID;
}

CXString DNRawDataType::GetTypeName() const
{
    if (fMarker != kConstructedMarker)
        CXDebugError("DNRawDataType::GetTypeName> not constructed");
    return fName;
}

#pragma once

#include "datanode/DNRawData.h"
#include "foundation/CXLinkedList.h"
#include "foundation/CXString.h"

#include <cstdint>

// A registered structure type: a four-character id and a name, kept in one process-wide list.
// Each type is a static object; it registers itself when static initialisation reaches it and
// leaves the list when it is destroyed.
class DNRawDataType : public CXLinkedListNode {
public:
    static constexpr uint32_t kConstructedMarker = 0x04F103EE;

    // Registers the type at the head of the list. An id or a name already in use is reported and
    // the type is registered regardless (the earlier one then wins where types are looked up).
    DNRawDataType(DNTypeID id, const char* name);
    ~DNRawDataType();
    DNRawDataType(const DNRawDataType&) = delete;
    DNRawDataType& operator=(const DNRawDataType&) = delete;

    // Both report a use before the object was constructed and return the stored field anyway.
    DNTypeID GetTypeID() const;
    CXString GetTypeName() const;

private:
    DNTypeID fID;
    CXString fName;
    uint32_t fMarker;
};

#pragma once

#include "datanode/DNMemoryValue.h"
#include "foundation/CXMessage.h"

// A message whose parameters are the entries of the folder it also is. It keeps its own copy of
// its name. Reference-counted like every folder: make it with new and adopt it.
class CXMessageDNValueParam : public CXMessage, public DNMemoryValue {
public:
    CXMessageDNValueParam(const CXString& name, CXMessageTarget* source) : CXMessage(name, source) {}

    // As a message target it is named after the message.
    CXString GetName() const override { return CXMessage::GetName(); }
    // The folder's own description ("DNMemoryValue{...}"), not the message's.
    CXString Describe() const override { return DNMemoryValue::Describe(); }
};

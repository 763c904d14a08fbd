#include "app/MervaneWebService.h"

#include "foundation/CXDebug.h"
#include "streams/CXURI.h"

CXResultCode FetchWebReply(const CXString& address, CXString& body)
{
    body = CXString();
    CXDebugLog("FetchWebReply> no HTTP client for '%s'", CXURI(address).ToLogString().c_str());
    return kCXNotSupported;
}

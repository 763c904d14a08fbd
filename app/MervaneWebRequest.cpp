#include "app/MervaneWebService.h"

#include "foundation/CXDebug.h"
#include "streams/CXHTTPConnection.h"
#include "streams/CXURI.h"

CXResultCode FetchWebReply(const CXString& address, CXString& body)
{
    body = CXString();
    CXURI uri(address);
    CXHTTPConnection connection;
    connection.SetMemoryBodyLimit(kWebReplyMaximumSize);
    CXResultCode result = connection.GetString(uri, body, CXStreamProgressCallback());
    if (result == kCXOK && connection.GetStatusCode() != 200)
        result = kCXBadParameter;
    if (result != kCXOK) {
        body = CXString();
        CXDebugLog("FetchWebReply> '%s' failed (%d, status %d)", uri.ToLogString().c_str(), static_cast<int>(result),
                   static_cast<int>(connection.GetStatusCode()));
    }
    return result;
}

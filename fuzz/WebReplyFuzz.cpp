// Feeds arbitrary bytes to the web-service reply reader as the body of a reply, then reads it as
// both requests' replies are read: the error, "good", the streams and default stream of the
// account check, the patch files of the patch query. Nothing may crash or hang.
#include "app/MervaneWebService.h"
#include "datanode/DNTranslator.h"
#include "datanode/DNValue.h"
#include "foundation/CXDebug.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    DNInitBuiltInTranslators();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kWebReplyMaximumSize)
        return 0; // longer replies are refused before they are read
    CXDebugCapture quiet;

    DNValueRef reply = ParseWebReply(CXString(reinterpret_cast<const char*>(data), size));
    if (!reply)
        std::abort();
    (void)ReplyError(reply.get());
    (void)ReplyGood(reply.get());
    for (const auto& stream : ReplyStreams(reply.get()))
        if (stream.first.length() + stream.second.length() > size)
            std::abort();
    (void)reply->Find(DNRawData("default-stream"))->GetValue()->GetString();
    (void)reply->Find(DNRawData("patch-control-file"))->GetValue()->GetString();
    (void)reply->Find(DNRawData("patch-data-file"))->GetValue()->GetString();
    return 0;
}

// Feeds arbitrary bytes to the reply header reader as a server's reply, and asks it for the body's
// framing: nothing may crash, hang or grow without bound; the reader stops right after a line end
// (what it peeked beyond it is handed back, so the body loses nothing), and a framing it accepts
// is one a client can follow.
#include "foundation/CXDebug.h"
#include "streams/CXHTTPResponseHeader.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXStreamTextReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXDebugCapture quiet; // malformed replies are logged; keep the fuzzer's output readable

    CXStreamStaticBuffer input;
    if (!input.OpenReadOnly(data, size))
        std::abort();
    CXStreamTextReader reader(&input);
    CXHTTPResponseHeader header;
    CXResultCode result = header.Read(reader);
    if (header.fields.count() + header.cookies.count() > CXHTTPResponseHeader::kMaximumLines)
        std::abort();
    if (result != kCXOK)
        return 0;

    CXStringEdit held;
    reader.TakePushedBack(held);
    int64_t position = input.GetPosition();
    if (position < 0 || static_cast<uint64_t>(position) > size || held.length() > static_cast<uint64_t>(position))
        std::abort();
    uint64_t bodyStart = static_cast<uint64_t>(position) - held.length();
    if (bodyStart == 0 || (data[bodyStart - 1] != '\r' && data[bodyStart - 1] != '\n'))
        std::abort();
    for (size_t i = 0; i < held.length(); ++i) {
        if (static_cast<uint8_t>(held.data()[i]) != data[bodyStart + i])
            std::abort();
    }

    for (uint32_t status : {200u, 206u}) {
        header.statusCode = status;
        CXHTTPBodyFraming framing;
        if (header.GetBodyFraming(framing) != kCXOK)
            continue;
        switch (framing.kind) {
        case CXHTTPBodyFraming::Kind::kNone:
            if (framing.length != 0)
                std::abort();
            break;
        case CXHTTPBodyFraming::Kind::kLength:
            if (framing.length <= 0)
                std::abort();
            break;
        case CXHTTPBodyFraming::Kind::kChunked:
        case CXHTTPBodyFraming::Kind::kUntilClose:
            break;
        }
        if (status == 206 && (framing.rangeStart < 0 || framing.length < 1 || framing.rangeStart > INT64_MAX - framing.length))
            std::abort();
        if (status == 200 && framing.rangeStart != -1)
            std::abort();
    }
    return 0;
}

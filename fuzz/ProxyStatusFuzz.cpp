// Feeds arbitrary bytes to the status reader of a proxy's reply. Nothing may crash; a status is
// three digits after "HTTP/" and a space, else -1.
#include "streams/CXStreamProxyHTTP.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    int status = CXStreamProxyHTTP::ParseStatusLine(reply);
    if (status != -1 && (status < 0 || status > 999 || reply.substr(0, 5) != "HTTP/"))
        std::abort();
    return 0;
}

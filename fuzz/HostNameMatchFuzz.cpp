// Feeds arbitrary bytes to the certificate name matcher: the text up to the first line feed is
// the name from a certificate, the rest the host asked for. Nothing may crash; the comparison
// ignores ASCII case, and a name holding a zero byte never matches.
#include "streams/CXStreamSSL.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\n');
    std::string_view pattern = input.substr(0, split);
    std::string_view host = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    bool matches = CXStreamSSL::HostNameMatches(pattern, host);
    if (matches && pattern.find('\0') != std::string_view::npos)
        std::abort();
    if (matches != CXStreamSSL::HostNameMatches(Lower(pattern), Lower(host)))
        std::abort();
    return 0;
}

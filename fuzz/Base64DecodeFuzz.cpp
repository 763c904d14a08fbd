// Feeds arbitrary bytes to the Base64 stream decoder. Nothing may crash; text it accepts decodes
// to bytes whose encoding decodes back to the same bytes, and the string and stream encoders agree.
#include "foundation/CXBase64.h"
#include "foundation/CXDebug.h"
#include "streams/CXStreamBase64.h"
#include "streams/CXStreamMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string Contents(CXStreamDynamicBuffer& buffer)
{
    std::string bytes(static_cast<size_t>(buffer.GetSize()), '\0');
    (void)buffer.Seek(0, CXStream::kSeekSet);
    if (!bytes.empty() && buffer.Read(bytes.data(), bytes.size()) != bytes.size())
        std::abort();
    return bytes;
}

// Decodes text; false when the decoder refuses it.
bool Decode(const void* text, size_t size, std::string& bytes)
{
    CXStreamStaticBuffer input;
    if (!input.OpenReadOnly(text, size))
        std::abort();
    CXStreamDynamicBuffer output;
    CXResultCode result = Base64DecodeStream(output, input);
    bytes = Contents(output);
    return result == kCXOK;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CXDebugSetBreakEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CXDebugCapture quiet;

    for (size_t i = 0; i < size; ++i)
        (void)Base64DecodeValue(static_cast<char>(data[i]));

    std::string decoded;
    if (!Decode(data, size, decoded))
        return 0;

    CXStreamStaticBuffer source;
    if (!source.OpenReadOnly(decoded.data(), decoded.size()))
        std::abort();
    CXStreamDynamicBuffer encodedStream;
    if (Base64EncodeStream(encodedStream, source) != kCXOK)
        std::abort();
    std::string encoded = Contents(encodedStream);
    CXString encodedString = Base64Encode(CXStringArgument(decoded.data(), decoded.size()), "");
    if (encoded != std::string(encodedString.c_str(), encodedString.length()))
        std::abort();

    std::string again;
    if (!Decode(encoded.data(), encoded.size(), again) || again != decoded)
        std::abort();
    return 0;
}

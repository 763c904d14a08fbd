// Feeds arbitrary bytes to the chunked-body decoder twice: all at once, and in pieces whose size
// the first byte chooses. Nothing may crash or hang, and both runs must agree on the body, the
// outcome and where it ended: the decoder's state carries whole from one piece to the next.
#include "streams/CXHTTPChunkedDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

struct Outcome {
    CXHTTPChunkedDecoder::Event event = CXHTTPChunkedDecoder::Event::kNeedInput;
    std::string body;
    std::string error;
    size_t consumed = 0;
};

Outcome Decode(const uint8_t* input, size_t size, size_t piece)
{
    CXHTTPChunkedDecoder decoder;
    Outcome outcome;
    size_t at = 0;
    while (at < size) {
        size_t end = size - at > piece ? at + piece : size;
        while (at < end) {
            size_t used = 0;
            const uint8_t* data = nullptr;
            size_t dataSize = 0;
            outcome.event = decoder.Next(input + at, end - at, used, data, dataSize);
            if (used > end - at)
                std::abort();
            if (outcome.event == CXHTTPChunkedDecoder::Event::kData) {
                if (dataSize == 0 || data < input + at || data + dataSize > input + at + used)
                    std::abort();
                outcome.body.append(reinterpret_cast<const char*>(data), dataSize);
            } else if (outcome.event == CXHTTPChunkedDecoder::Event::kNeedInput && used != end - at) {
                std::abort(); // asked for more while input was left
            }
            at += used;
            if (outcome.event == CXHTTPChunkedDecoder::Event::kError)
                outcome.error = decoder.ErrorText();
            if (outcome.event == CXHTTPChunkedDecoder::Event::kEnd || outcome.event == CXHTTPChunkedDecoder::Event::kError) {
                outcome.consumed = at;
                if (decoder.BytesDelivered() != outcome.body.size())
                    std::abort();
                return outcome;
            }
            if (outcome.event == CXHTTPChunkedDecoder::Event::kNeedInput)
                break;
        }
    }
    outcome.consumed = at;
    if (decoder.BytesDelivered() != outcome.body.size())
        std::abort();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t piece = 1 + data[0] % 16;
    Outcome whole = Decode(data + 1, size - 1, size);
    Outcome pieces = Decode(data + 1, size - 1, piece);
    // A body cut off inside a run of data ends in kData with the whole input and in kNeedInput or
    // kData in pieces; only the finished outcomes must match exactly.
    bool wholeFinished = whole.event == CXHTTPChunkedDecoder::Event::kEnd || whole.event == CXHTTPChunkedDecoder::Event::kError;
    bool piecesFinished = pieces.event == CXHTTPChunkedDecoder::Event::kEnd || pieces.event == CXHTTPChunkedDecoder::Event::kError;
    if (wholeFinished != piecesFinished || whole.body != pieces.body || whole.consumed != pieces.consumed)
        std::abort();
    if (wholeFinished && (whole.event != pieces.event || whole.error != pieces.error))
        std::abort();
    if (whole.body.size() > size)
        std::abort();
    return 0;
}

#include "streams/CXHTTPChunkedDecoder.h"

#include <algorithm>

namespace {

constexpr uint8_t kCR = 0x0D;
constexpr uint8_t kLF = 0x0A;

bool IsLineEnd(uint8_t byte)
{
    return byte == kCR || byte == kLF;
}

int HexValue(uint8_t byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if (byte >= 'a' && byte <= 'f')
        return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10;
    return -1;
}

} // namespace

CXHTTPChunkedDecoder::Event CXHTTPChunkedDecoder::Fail(const char* text)
{
    fState = State::kError;
    fError = text;
    return Event::kError;
}

CXHTTPChunkedDecoder::Event CXHTTPChunkedDecoder::Next(const uint8_t* input, size_t size, size_t& consumed,
                                                       const uint8_t*& data, size_t& dataSize)
{
    consumed = 0;
    data = nullptr;
    dataSize = 0;
    if (fState == State::kEnd)
        return Event::kEnd;
    if (fState == State::kError)
        return Event::kError;
    size_t at = 0;
    while (at < size) {
        uint8_t byte = input[at];
        if (fLineEnd != 0) {
            uint8_t first = fLineEnd;
            fLineEnd = 0;
            // The partner of the line end just taken. Before chunk data only CR LF is a pair: after
            // a lone LF, a CR is the data's first byte.
            if (IsLineEnd(byte) && byte != first && !(fState == State::kData && first == kLF)) {
                ++at;
                continue;
            }
        }
        if ((fState == State::kSize || fState == State::kExtension) && !IsLineEnd(byte) && ++fSizeLineLength > kMaximumLineLength) {
            consumed = at;
            return Fail("chunk size line too long");
        }
        switch (fState) {
        case State::kSize: {
            int digit = HexValue(byte);
            if (digit >= 0) {
                if (fChunkSize > (UINT64_MAX >> 4)) {
                    consumed = at;
                    return Fail("chunk size too large");
                }
                fChunkSize = (fChunkSize << 4) | static_cast<uint64_t>(digit);
                fSizeHasDigit = true;
                ++at;
            } else if (byte == ' ') {
                ++at;
            } else if (byte == ';') {
                fState = State::kExtension;
                ++at;
            } else if (IsLineEnd(byte)) {
                fState = State::kSizeLineEnd;
            } else {
                consumed = at;
                return Fail("bad character in chunk header");
            }
            break;
        }
        case State::kExtension:
            if (IsLineEnd(byte))
                fState = State::kSizeLineEnd;
            else
                ++at;
            break;
        case State::kSizeLineEnd:
            if (!IsLineEnd(byte)) {
                consumed = at;
                return Fail("error in chunk CRLF");
            }
            if (!fSizeHasDigit) {
                consumed = at;
                return Fail("chunk size missing");
            }
            fLineEnd = byte;
            ++at;
            fState = fChunkSize > 0 ? State::kData : State::kTrailer;
            fTrailerLineLength = 0;
            break;
        case State::kData: {
            size_t count = static_cast<size_t>(std::min<uint64_t>(fChunkSize, size - at));
            data = input + at;
            dataSize = count;
            at += count;
            fChunkSize -= count;
            fDelivered += count;
            if (fChunkSize == 0)
                fState = State::kDataEnd;
            consumed = at;
            return Event::kData;
        }
        case State::kDataEnd:
            if (!IsLineEnd(byte)) {
                consumed = at;
                return Fail("error in chunk end CRLF");
            }
            fLineEnd = byte;
            ++at;
            fChunkSize = 0;
            fSizeHasDigit = false;
            fSizeLineLength = 0;
            fState = State::kSize;
            break;
        case State::kTrailer:
            if (IsLineEnd(byte)) {
                fState = State::kTrailerLineEnd;
            } else {
                if (++fTrailerLineLength > kMaximumLineLength) {
                    consumed = at;
                    return Fail("trailer line too long");
                }
                ++at;
            }
            break;
        case State::kTrailerLineEnd:
            // Coming from a trailer line, this byte is always a line end.
            ++at;
            if (fTrailerLineLength == 0) {
                // The body ends here; a partner of this line end is not waited for.
                fState = State::kEnd;
                consumed = at;
                return Event::kEnd;
            }
            if (++fTrailerLines > kMaximumTrailerLines) {
                consumed = at;
                return Fail("too many trailer lines");
            }
            fLineEnd = byte;
            fTrailerLineLength = 0;
            fState = State::kTrailer;
            break;
        case State::kEnd:
        case State::kError:
            break;
        }
    }
    consumed = at;
    return Event::kNeedInput;
}

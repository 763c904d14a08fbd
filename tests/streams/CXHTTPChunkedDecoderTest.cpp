#include "streams/CXHTTPChunkedDecoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Outcome {
    CXHTTPChunkedDecoder::Event event = CXHTTPChunkedDecoder::Event::kNeedInput;
    std::string data;
    std::string error;
    size_t consumed = 0; // input bytes taken in all
};

// Feeds the input in pieces of the given size (0: all at once) until the body ends or fails.
Outcome Decode(const std::string& input, size_t piece)
{
    CXHTTPChunkedDecoder decoder;
    Outcome outcome;
    size_t at = 0;
    while (at < input.size()) {
        size_t end = piece == 0 ? input.size() : std::min(input.size(), at + piece);
        while (at < end) {
            size_t used = 0;
            const uint8_t* data = nullptr;
            size_t dataSize = 0;
            outcome.event = decoder.Next(reinterpret_cast<const uint8_t*>(input.data()) + at, end - at, used, data, dataSize);
            at += used;
            if (outcome.event == CXHTTPChunkedDecoder::Event::kData)
                outcome.data.append(reinterpret_cast<const char*>(data), dataSize);
            if (outcome.event == CXHTTPChunkedDecoder::Event::kError)
                outcome.error = decoder.ErrorText();
            if (outcome.event == CXHTTPChunkedDecoder::Event::kEnd || outcome.event == CXHTTPChunkedDecoder::Event::kError) {
                outcome.consumed = at;
                EXPECT_EQ(decoder.BytesDelivered(), outcome.data.size());
                return outcome;
            }
            if (outcome.event == CXHTTPChunkedDecoder::Event::kNeedInput)
                break;
        }
    }
    outcome.consumed = at;
    return outcome;
}

// Every case decodes the same whole, byte by byte and in pieces of 3: the state, a line end split
// between two pieces included, carries over.
TEST(CXHTTPChunkedDecoderTest, CasesDecodeTheSameInAnyPieces)
{
    using Event = CXHTTPChunkedDecoder::Event;
    struct Case {
        const char* name;
        std::string input;
        Event event;
        std::string data;
        std::string error;
        size_t consumed; // for kEnd: where the body ended
    };
    const Case cases[] = {
        {"one chunk", "5\r\nhello\r\n0\r\n\r\nNEXT", Event::kEnd, "hello", "", 14},
        {"chunks, extension, hex digits of both cases", "5;name=v\r\nhello\r\na\r\n0123456789\r\nA \r\n-abcdefghi\r\n0\r\n\r\n",
         Event::kEnd, "hello0123456789-abcdefghi", "", 52},
        {"trailer lines", "3\r\nabc\r\n0\r\nA: 1\r\nB: 2\r\n\r\n", Event::kEnd, "abc", "", 24},
        {"LF line ends", "3\nabc\n0\n\n", Event::kEnd, "abc", "", 9},
        {"data starting with CR after an LF", "3\n\rbc\n0\n\n", Event::kEnd, "\rbc", "", 9},
        {"data of line ends", "4\r\n\r\n\r\n\r\n0\r\n\r\n", Event::kEnd, "\r\n\r\n", "", 13},
        {"last chunk without its final line end", "3\r\nabc\r\n0\r\n", Event::kNeedInput, "abc", "", 11},
        {"body cut inside data", "5\r\nhel", Event::kData, "hel", "", 6},
        {"bad size character", "5x\r\nhello\r\n", Event::kError, "", "bad character in chunk header", 1},
        {"size line without digits", "\r\nhello\r\n", Event::kError, "", "chunk size missing", 0},
        {"size of 64 bits", "ffffffffffffffff", Event::kNeedInput, "", "", 16},
        {"size above 64 bits", "10000000000000000\r\n", Event::kError, "", "chunk size too large", 16},
        {"data longer than its size", "3\r\nabcd\r\n0\r\n\r\n", Event::kError, "abc", "error in chunk end CRLF", 6},
    };
    for (const Case& c : cases) {
        for (size_t piece : {size_t(0), size_t(1), size_t(3)}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            Outcome outcome = Decode(c.input, piece);
            EXPECT_EQ(outcome.event, c.event);
            EXPECT_EQ(outcome.data, c.data);
            EXPECT_EQ(outcome.error, c.error);
            EXPECT_EQ(outcome.consumed, c.consumed);
        }
    }
}

TEST(CXHTTPChunkedDecoderTest, AnEndedDecoderTakesNothingMore)
{
    CXHTTPChunkedDecoder decoder;
    const std::string input = "0\r\n\r\n";
    size_t used = 0;
    const uint8_t* data = nullptr;
    size_t dataSize = 0;
    auto bytes = reinterpret_cast<const uint8_t*>(input.data());
    EXPECT_EQ(decoder.Next(bytes, input.size(), used, data, dataSize), CXHTTPChunkedDecoder::Event::kEnd);
    EXPECT_EQ(used, 4u);
    EXPECT_EQ(decoder.Next(bytes, input.size(), used, data, dataSize), CXHTTPChunkedDecoder::Event::kEnd);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(dataSize, 0u);
}

} // namespace

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

std::string Repeat(const std::string& text, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i)
        out += text;
    return out;
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
        // The framing is bounded like a header block: a size line (extension included) or a
        // trailer line of up to 16384 bytes, up to 256 trailer lines.
        {"size line at the limit", "5;" + std::string(16382, 'e') + "\r\nhello\r\n0\r\n\r\n", Event::kEnd, "hello", "", 16397},
        {"size line above the limit", "5;" + std::string(16383, 'e') + "\r\nhello\r\n0\r\n\r\n", Event::kError, "",
         "chunk size line too long", 16384},
        {"spaces above the limit", std::string(16384, ' ') + "5\r\nhello\r\n", Event::kError, "", "chunk size line too long", 16384},
        {"trailer line at the limit", "0\r\n" + std::string(16384, 'T') + "\r\n\r\n", Event::kEnd, "", "", 16390},
        {"trailer line above the limit", "0\r\n" + std::string(16385, 'T') + "\r\n\r\n", Event::kError, "", "trailer line too long",
         16387},
        {"256 trailer lines", "0\r\n" + Repeat("A: 1\r\n", 256) + "\r\n", Event::kEnd, "", "", 1540},
        {"257 trailer lines", "0\r\n" + Repeat("A: 1\r\n", 257) + "\r\n", Event::kError, "", "too many trailer lines", 1544},
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

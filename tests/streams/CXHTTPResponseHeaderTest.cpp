#include "streams/CXHTTPResponseHeader.h"

#include "foundation/CXDebug.h"
#include "streams/CXStreamMemory.h"
#include "streams/CXStreamTextReader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Str(const CXString& text)
{
    return std::string(text.c_str(), text.length());
}

CXResultCode ReadHeader(const std::string& text, CXHTTPResponseHeader& header)
{
    CXStreamStaticBuffer stream;
    EXPECT_TRUE(stream.OpenReadOnly(text.data(), text.size()));
    CXStreamTextReader reader(&stream);
    return header.Read(reader);
}

TEST(CXHTTPResponseHeaderTest, LinesAreTakenByTheirFirstWord)
{
    CXHTTPResponseHeader header;
    ASSERT_EQ(ReadHeader("HTTP/1.0 203 Whatever\r\n"
                         "Content-Length:5\r\n"
                         "Content-Length : 7\r\n"
                         "X-Name:  two  words \r\n"
                         "   \r\n"
                         "Connection: Close\r\n"
                         "Transfer-Encoding: Chunked\r\n"
                         "Set-Cookie: a = 1 ; path=/p ; DOMAIN=d; secure; expires=never\r\n"
                         "Set-Cookie: bare\r\n"
                         "\r\nBODY",
                         header),
              kCXOK);
    EXPECT_EQ(header.statusCode, 203u);
    // Without a blank after the colon the first word is the whole text: not a length.
    EXPECT_EQ(header.contentLength, -1);
    ASSERT_EQ(header.fields.count(), 3u);
    EXPECT_EQ(Str(header.fields[0].name), "content-length:");
    EXPECT_EQ(Str(header.fields[0].value), "");
    EXPECT_EQ(Str(header.GetField("content-lengt")), ": 7");
    EXPECT_EQ(Str(header.GetField("x-name")), " two  words ");
    EXPECT_TRUE(header.closeConnection);
    EXPECT_EQ(Str(header.transferCoding), "chunked");
    ASSERT_EQ(header.cookies.count(), 2u);
    EXPECT_EQ(Str(header.cookies[0].name), "a");
    EXPECT_EQ(Str(header.cookies[0].value), "1");
    EXPECT_EQ(Str(header.cookies[0].path), "/p");
    EXPECT_EQ(Str(header.cookies[0].domain), "d");
    EXPECT_EQ(Str(header.cookies[1].name), "");
    EXPECT_EQ(Str(header.cookies[1].value), "bare");
}

TEST(CXHTTPResponseHeaderTest, BlocksEndAtTheirEmptyLineOrFail)
{
    struct Case {
        std::string text;
        CXResultCode expected;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\n\n", kCXOK},
        {"HTTP/1.1 200 OK\r\n\r\n", kCXOK},
        {"HTTP/1.1 200 OK\r\nServer: x\r\n", kCXEndOfData}, // the stream ended first
        {"HTTP/1.1 200 OK\r\nX: " + std::string(CXHTTPResponseHeader::kMaximumLineLength, 'x') + "\r\n\r\n", kCXBadFormat},
        {[] {
             std::string text = "HTTP/1.1 200 OK\r\n";
             for (uint32_t i = 0; i < CXHTTPResponseHeader::kMaximumLines; ++i)
                 text += "X: y\r\n";
             return text + "\r\n";
         }(),
         kCXBadFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        CXHTTPResponseHeader header;
        CXDebugCapture quiet;
        EXPECT_EQ(ReadHeader(c.text, header), c.expected);
    }
}

TEST(CXHTTPResponseHeaderTest, FramingOfSuccessfulReplies)
{
    using Kind = CXHTTPBodyFraming::Kind;
    struct Case {
        const char* headers; // after the status line
        uint32_t status;
        CXResultCode expected;
        Kind kind;
        int64_t length;
        int64_t rangeStart;
    };
    const Case cases[] = {
        {"", 200, kCXOK, Kind::kUntilClose, -1, -1},
        {"Content-Length: 0\r\n", 200, kCXOK, Kind::kNone, 0, -1},
        {"Content-Length: 007\r\n", 200, kCXOK, Kind::kLength, 7, -1},
        {"Content-Length: 7\r\nContent-Length: 7\r\n", 200, kCXOK, Kind::kLength, 7, -1},
        {"Content-Length: 7\r\nContent-Length: 8\r\n", 200, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Content-Length: -1\r\n", 200, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Content-Length: 99999999999999999999\r\n", 200, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Transfer-Encoding: chunked\r\nContent-Length: 5\r\n", 200, kCXOK, Kind::kChunked, -1, -1},
        {"Transfer-Encoding: gzip, chunked\r\n", 200, kCXBadFormat, Kind::kUntilClose, -1, -1},
        // A range on a whole reply means nothing.
        {"Content-Range: bytes 5-9/10\r\nContent-Length: 10\r\n", 200, kCXOK, Kind::kLength, 10, -1},
        {"Content-Range: bytes 1000-1999/2000\r\nContent-Length: 1000\r\n", 206, kCXOK, Kind::kLength, 1000, 1000},
        {"Content-Length: 1000\r\nContent-Range: bytes 1000-1999/*\r\n", 206, kCXOK, Kind::kLength, 1000, 1000},
        {"Content-Range: bytes 0-0/1\r\n", 206, kCXOK, Kind::kLength, 1, 0},
        {"Content-Range: bytes 10-19/20\r\nTransfer-Encoding: chunked\r\n", 206, kCXOK, Kind::kChunked, 10, 10},
        {"Content-Range: bytes 1000-1999/2000\r\nContent-Length: 2000\r\n", 206, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Content-Length: 1000\r\n", 206, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Content-Range: bytes */2000\r\n", 206, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Content-Range: bytes 9-5/20\r\n", 206, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Content-Range: bytes 5-20/20\r\n", 206, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Content-Range: bytes 0-99/1000\r\n", 206, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Content-Range: items 5-9/20\r\n", 206, kCXBadFormat, Kind::kUntilClose, -1, -1},
        // The byte after the range's last must still be a count.
        {"Content-Range: bytes 0-9223372036854775806/*\r\n", 206, kCXOK, Kind::kLength, INT64_MAX, 0},
        {"Content-Range: bytes 0-9223372036854775807/*\r\n", 206, kCXBadFormat, Kind::kUntilClose, -1, -1},
        {"Content-Range: bytes 9223372036854775807-9223372036854775807/*\r\n", 206, kCXBadFormat, Kind::kUntilClose, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headers);
        CXHTTPResponseHeader header;
        ASSERT_EQ(ReadHeader("HTTP/1.1 " + std::to_string(c.status) + " X\r\n" + c.headers + "\r\n", header), kCXOK);
        CXDebugCapture quiet;
        CXHTTPBodyFraming framing;
        EXPECT_EQ(header.GetBodyFraming(framing), c.expected);
        if (c.expected == kCXOK) {
            EXPECT_EQ(framing.kind, c.kind);
            EXPECT_EQ(framing.length, c.length);
            EXPECT_EQ(framing.rangeStart, c.rangeStart);
        }
    }
}

} // namespace

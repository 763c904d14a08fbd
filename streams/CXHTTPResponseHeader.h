#pragma once

#include "foundation/CXArray.h"
#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

#include <cstddef>
#include <cstdint>

class CXStreamTextReader;

// A cookie a reply set. The HTTP client sends it back with its next request to the same host.
struct CXHTTPCookie {
    CXString name;
    CXString value;
    CXString path;
    CXString domain;
    CXString host; // the host whose reply set it, lower case
};

// A reply header the reader does not act on itself.
struct CXHTTPHeaderField {
    CXString name; // lower case, without the colon
    CXString value;
};

// How the body of a successful reply is delimited.
struct CXHTTPBodyFraming {
    enum class Kind { kNone, kLength, kChunked, kUntilClose };
    Kind kind = Kind::kUntilClose;
    // kLength: the body's bytes. kChunked: the bytes a partial reply announced, else -1.
    int64_t length = -1;
    // A partial reply (206): offset in the resource of the body's first byte; otherwise -1.
    int64_t rangeStart = -1;
};

// The header block of an HTTP/1.x reply, read line by line. Each line's first word (leading blanks
// skipped, up to a blank or the line end), lower-cased, decides what the line is: "http/1.1" or
// "http/1.0" the status line, "set-cookie:", "content-length:", "connection:",
// "transfer-encoding:" and "content-range:" are interpreted, any other word is kept as a field
// named by the word without its last character, with the rest of the line as the value. Later
// lines override earlier ones.
class CXHTTPResponseHeader {
public:
    // Limits of one header block; a reply beyond them is refused.
    static constexpr size_t kMaximumLineLength = 16384;
    static constexpr uint32_t kMaximumLines = 256;

    CXHTTPResponseHeader() = default;
    CXHTTPResponseHeader(const CXHTTPResponseHeader&) = delete;
    CXHTTPResponseHeader& operator=(const CXHTTPResponseHeader&) = delete;

    // Clears the header, then reads lines through the reader, one character at a time so that
    // nothing past the block is taken from the stream, up to and including the empty line that
    // ends it. Returns OK; -12 (logged) for a line longer than kMaximumLineLength or more than
    // kMaximumLines lines; when the input ends before the empty line, the stream's failure (-3
    // when it recorded none). The reader may still hold bytes it peeked after the last line end
    // (CXStreamTextReader::TakePushedBack).
    CXResultCode Read(CXStreamTextReader& reader);
    // Takes one line, without its line end, into the header.
    void ParseLine(const CXStringArgument& line);
    // The framing of the body of a 200 or 206 reply. OK, or -12 (logged) when the headers cannot
    // delimit it safely: a transfer coding other than "chunked"; a partial reply without a valid
    // byte range, with a range that stops before the end of a known total (requests always ask
    // for the rest of the resource), or whose Content-Length differs from the range's length; a
    // Content-Length that is not a decimal count, or two that differ.
    CXResultCode GetBodyFraming(CXHTTPBodyFraming& framing) const;
    // The value of the first field of that name (lower case, no colon); null when none.
    CXString GetField(const CXStringArgument& name) const;
    void Clear();

    uint32_t statusCode = 0; // 0 until a status line is read
    int64_t contentLength = -1; // -1: none
    bool contentLengthInvalid = false;
    bool hasContentRange = false;
    // "bytes first-last/total"; first and last are -1 for "*", total -1 for "*".
    int64_t rangeFirst = -1;
    int64_t rangeLast = -1;
    int64_t rangeTotal = -1;
    bool contentRangeInvalid = false;
    bool closeConnection = false; // "Connection: close"
    CXString transferCoding; // lower case
    Array<CXHTTPCookie> cookies{128};
    Array<CXHTTPHeaderField> fields{128};

private:
    void ParseCookie(const CXStringArgument& text);
    void ParseContentLength(const CXStringArgument& text);
    void ParseContentRange(const CXStringArgument& text);
};

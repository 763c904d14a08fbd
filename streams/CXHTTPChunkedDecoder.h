#pragma once

#include <cstddef>
#include <cstdint>

// Decodes an HTTP chunked body as it arrives, in pieces of any size: the whole state, a CR or LF
// at the end of one piece included, carries over to the next piece.
//
// A chunk is a size line (hexadecimal digits in either case, spaces skipped, an optional
// extension after ';' that is skipped), a line end, the data and a line end. A size of 0 ends the
// chunks; trailer lines follow, up to an empty line that ends the body. A size line or trailer
// line longer than kMaximumLineLength, or more than kMaximumTrailerLines trailer lines, is an
// error: nothing else bounds what the framing may hold back from the data. A line end is a CR or an
// LF, and a second line-end byte that differs from the first is taken with it, except an LF
// followed by a CR before chunk data (that CR is data).
class CXHTTPChunkedDecoder {
public:
    // The limits of the framing, those of a reply's header block.
    static constexpr uint64_t kMaximumLineLength = 16384;
    static constexpr uint32_t kMaximumTrailerLines = 256;

    enum class Event {
        kNeedInput, // the piece is used up
        kData,      // a run of body bytes, inside the piece
        kEnd,       // the body ended; bytes after it are not taken
        kError,     // malformed; ErrorText() says how
    };

    // Advances over input[0, size). Stops after a run of body bytes (kData: data and dataSize
    // name it), when the piece is used up, at the end of the body or at an error; consumed tells
    // how many bytes of the piece were taken. After kEnd or kError every call returns the same
    // again and takes nothing.
    Event Next(const uint8_t* input, size_t size, size_t& consumed, const uint8_t*& data, size_t& dataSize);

    // Body bytes delivered so far.
    uint64_t BytesDelivered() const { return fDelivered; }
    // What was wrong after kError: "bad character in chunk header", "chunk size too large" (more
    // than 64 bits), "chunk size missing" (a size line without digits), "error in chunk CRLF",
    // "error in chunk end CRLF", "chunk size line too long", "trailer line too long" or "too many
    // trailer lines".
    const char* ErrorText() const { return fError; }

private:
    enum class State { kSize, kExtension, kSizeLineEnd, kData, kDataEnd, kTrailer, kTrailerLineEnd, kEnd, kError };

    Event Fail(const char* text);

    State fState = State::kSize;
    uint64_t fChunkSize = 0;
    bool fSizeHasDigit = false;
    // The line-end byte just taken, whose differing partner may come next (0: none).
    uint8_t fLineEnd = 0;
    uint64_t fSizeLineLength = 0;
    uint64_t fTrailerLineLength = 0;
    uint32_t fTrailerLines = 0;
    uint64_t fDelivered = 0;
    const char* fError = nullptr;
};

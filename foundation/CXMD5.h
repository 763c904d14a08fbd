#pragma once

#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

#include <cstddef>
#include <cstdint>

// The MD5 message digest (RFC 1321) with which patch data and installed files are checked. The
// state starts at the standard initial words; whole 64-byte blocks go through the compression,
// and the caller supplies the message's padding as further blocks (MakePadding).
class CXMD5 {
public:
    static constexpr size_t kBlockSize = 64;
    static constexpr size_t kDigestSize = 16;
    // The longest padding a message can need: 0x80, 63 zero bytes and the 8-byte bit length.
    static constexpr size_t kMaximumPadding = 72;

    CXMD5() { Reset(); }

    void Reset();
    // Runs the compression over `count` whole blocks of sixteen little-endian 32-bit words.
    void ProcessBlocks(const void* blocks, size_t count);
    // The four state words, each least significant byte first.
    void GetDigest(uint8_t digest[kDigestSize]) const;

    // Writes the padding that follows a message of `length` bytes: 0x80, zero bytes until the
    // message and padding so far are 56 bytes modulo 64, then the bit length (length x 8, modulo
    // 2^64) as a 64-bit little-endian value. Returns its size, 9 to 72 bytes.
    static size_t MakePadding(uint64_t length, uint8_t padding[kMaximumPadding]);

private:
    uint32_t fState[4];
};

// The digest of the bytes as 32 lower-case hexadecimal characters.
CXString MD5HexDigest(const CXStringArgument& bytes);

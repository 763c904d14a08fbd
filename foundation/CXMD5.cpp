#include "foundation/CXMD5.h"

#include <bit>
#include <cstring>

namespace {

inline uint32_t LoadLE32(const uint8_t* p)
{
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t value;
        std::memcpy(&value, p, 4);
        return value;
    } else {
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    }
}

inline void StoreLE32(uint8_t* p, uint32_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

// Each step adds the message word and constant first and the part of the round function that
// needs b last: b is the value the previous step has only just produced, so the work that does
// not wait for it runs alongside that step. Some compilers fold the two sums back into one that
// waits for b; an empty assembly statement keeps the first sum where it is.
#if defined(__GNUC__) || defined(__clang__)
#define CX_MD5_KEEP(v) __asm__("" : "+r"(v))
#else
#define CX_MD5_KEEP(v) (void)0
#endif

#define CX_MD5_F(a, b, c, d, x, s, k)                                                                                  \
    a += (x) + (k);                                                                                                    \
    CX_MD5_KEEP(a);                                                                                                    \
    a += (((c) ^ (d)) & (b)) ^ (d);                                                                                    \
    a = std::rotl(a, s) + (b);

#define CX_MD5_G(a, b, c, d, x, s, k)                                                                                  \
    a += (x) + (k) + ((c) & ~(d));                                                                                     \
    CX_MD5_KEEP(a);                                                                                                    \
    a += (b) & (d);                                                                                                    \
    a = std::rotl(a, s) + (b);

#define CX_MD5_H(a, b, c, d, x, s, k)                                                                                  \
    a += (x) + (k);                                                                                                    \
    CX_MD5_KEEP(a);                                                                                                    \
    a += ((c) ^ (d)) ^ (b);                                                                                            \
    a = std::rotl(a, s) + (b);

#define CX_MD5_I(a, b, c, d, x, s, k)                                                                                  \
    a += (x) + (k);                                                                                                    \
    CX_MD5_KEEP(a);                                                                                                    \
    a += ((b) | ~(d)) ^ (c);                                                                                           \
    a = std::rotl(a, s) + (b);

} // namespace

void CXMD5::Reset()
{
    fState[0] = 0x67452301;
    fState[1] = 0xefcdab89;
    fState[2] = 0x98badcfe;
    fState[3] = 0x10325476;
}

void CXMD5::ProcessBlocks(const void* blocks, size_t count)
{
    const uint8_t* p = static_cast<const uint8_t*>(blocks);
    uint32_t a = fState[0];
    uint32_t b = fState[1];
    uint32_t c = fState[2];
    uint32_t d = fState[3];
    for (; count != 0; --count, p += kBlockSize) {
        const uint32_t x0 = LoadLE32(p + 0), x1 = LoadLE32(p + 4), x2 = LoadLE32(p + 8), x3 = LoadLE32(p + 12);
        const uint32_t x4 = LoadLE32(p + 16), x5 = LoadLE32(p + 20), x6 = LoadLE32(p + 24), x7 = LoadLE32(p + 28);
        const uint32_t x8 = LoadLE32(p + 32), x9 = LoadLE32(p + 36), x10 = LoadLE32(p + 40), x11 = LoadLE32(p + 44);
        const uint32_t x12 = LoadLE32(p + 48), x13 = LoadLE32(p + 52), x14 = LoadLE32(p + 56), x15 = LoadLE32(p + 60);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

        CX_MD5_F(a, b, c, d, x0, 7, 0xd76aa478u)
        CX_MD5_F(d, a, b, c, x1, 12, 0xe8c7b756u)
        CX_MD5_F(c, d, a, b, x2, 17, 0x242070dbu)
        CX_MD5_F(b, c, d, a, x3, 22, 0xc1bdceeeu)
        CX_MD5_F(a, b, c, d, x4, 7, 0xf57c0fafu)
        CX_MD5_F(d, a, b, c, x5, 12, 0x4787c62au)
        CX_MD5_F(c, d, a, b, x6, 17, 0xa8304613u)
        CX_MD5_F(b, c, d, a, x7, 22, 0xfd469501u)
        CX_MD5_F(a, b, c, d, x8, 7, 0x698098d8u)
        CX_MD5_F(d, a, b, c, x9, 12, 0x8b44f7afu)
        CX_MD5_F(c, d, a, b, x10, 17, 0xffff5bb1u)
        CX_MD5_F(b, c, d, a, x11, 22, 0x895cd7beu)
        CX_MD5_F(a, b, c, d, x12, 7, 0x6b901122u)
        CX_MD5_F(d, a, b, c, x13, 12, 0xfd987193u)
        CX_MD5_F(c, d, a, b, x14, 17, 0xa679438eu)
        CX_MD5_F(b, c, d, a, x15, 22, 0x49b40821u)

        CX_MD5_G(a, b, c, d, x1, 5, 0xf61e2562u)
        CX_MD5_G(d, a, b, c, x6, 9, 0xc040b340u)
        CX_MD5_G(c, d, a, b, x11, 14, 0x265e5a51u)
        CX_MD5_G(b, c, d, a, x0, 20, 0xe9b6c7aau)
        CX_MD5_G(a, b, c, d, x5, 5, 0xd62f105du)
        CX_MD5_G(d, a, b, c, x10, 9, 0x02441453u)
        CX_MD5_G(c, d, a, b, x15, 14, 0xd8a1e681u)
        CX_MD5_G(b, c, d, a, x4, 20, 0xe7d3fbc8u)
        CX_MD5_G(a, b, c, d, x9, 5, 0x21e1cde6u)
        CX_MD5_G(d, a, b, c, x14, 9, 0xc33707d6u)
        CX_MD5_G(c, d, a, b, x3, 14, 0xf4d50d87u)
        CX_MD5_G(b, c, d, a, x8, 20, 0x455a14edu)
        CX_MD5_G(a, b, c, d, x13, 5, 0xa9e3e905u)
        CX_MD5_G(d, a, b, c, x2, 9, 0xfcefa3f8u)
        CX_MD5_G(c, d, a, b, x7, 14, 0x676f02d9u)
        CX_MD5_G(b, c, d, a, x12, 20, 0x8d2a4c8au)

        CX_MD5_H(a, b, c, d, x5, 4, 0xfffa3942u)
        CX_MD5_H(d, a, b, c, x8, 11, 0x8771f681u)
        CX_MD5_H(c, d, a, b, x11, 16, 0x6d9d6122u)
        CX_MD5_H(b, c, d, a, x14, 23, 0xfde5380cu)
        CX_MD5_H(a, b, c, d, x1, 4, 0xa4beea44u)
        CX_MD5_H(d, a, b, c, x4, 11, 0x4bdecfa9u)
        CX_MD5_H(c, d, a, b, x7, 16, 0xf6bb4b60u)
        CX_MD5_H(b, c, d, a, x10, 23, 0xbebfbc70u)
        CX_MD5_H(a, b, c, d, x13, 4, 0x289b7ec6u)
        CX_MD5_H(d, a, b, c, x0, 11, 0xeaa127fau)
        CX_MD5_H(c, d, a, b, x3, 16, 0xd4ef3085u)
        CX_MD5_H(b, c, d, a, x6, 23, 0x04881d05u)
        CX_MD5_H(a, b, c, d, x9, 4, 0xd9d4d039u)
        CX_MD5_H(d, a, b, c, x12, 11, 0xe6db99e5u)
        CX_MD5_H(c, d, a, b, x15, 16, 0x1fa27cf8u)
        CX_MD5_H(b, c, d, a, x2, 23, 0xc4ac5665u)

        CX_MD5_I(a, b, c, d, x0, 6, 0xf4292244u)
        CX_MD5_I(d, a, b, c, x7, 10, 0x432aff97u)
        CX_MD5_I(c, d, a, b, x14, 15, 0xab9423a7u)
        CX_MD5_I(b, c, d, a, x5, 21, 0xfc93a039u)
        CX_MD5_I(a, b, c, d, x12, 6, 0x655b59c3u)
        CX_MD5_I(d, a, b, c, x3, 10, 0x8f0ccc92u)
        CX_MD5_I(c, d, a, b, x10, 15, 0xffeff47du)
        CX_MD5_I(b, c, d, a, x1, 21, 0x85845dd1u)
        CX_MD5_I(a, b, c, d, x8, 6, 0x6fa87e4fu)
        CX_MD5_I(d, a, b, c, x15, 10, 0xfe2ce6e0u)
        CX_MD5_I(c, d, a, b, x6, 15, 0xa3014314u)
        CX_MD5_I(b, c, d, a, x13, 21, 0x4e0811a1u)
        CX_MD5_I(a, b, c, d, x4, 6, 0xf7537e82u)
        CX_MD5_I(d, a, b, c, x11, 10, 0xbd3af235u)
        CX_MD5_I(c, d, a, b, x2, 15, 0x2ad7d2bbu)
        CX_MD5_I(b, c, d, a, x9, 21, 0xeb86d391u)

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    fState[0] = a;
    fState[1] = b;
    fState[2] = c;
    fState[3] = d;
}

#undef CX_MD5_F
#undef CX_MD5_G
#undef CX_MD5_H
#undef CX_MD5_I
#undef CX_MD5_KEEP

void CXMD5::GetDigest(uint8_t digest[kDigestSize]) const
{
    for (int i = 0; i < 4; ++i)
        StoreLE32(digest + 4 * i, fState[i]);
}

size_t CXMD5::MakePadding(uint64_t length, uint8_t padding[kMaximumPadding])
{
    size_t zeros = static_cast<size_t>((55 - length % 64 + 64) % 64);
    padding[0] = 0x80;
    std::memset(padding + 1, 0, zeros);
    uint64_t bits = length * 8;
    for (int i = 0; i < 8; ++i)
        padding[1 + zeros + i] = static_cast<uint8_t>(bits >> (8 * i));
    return 1 + zeros + 8;
}

CXString MD5HexDigest(const CXStringArgument& bytes)
{
    // The whole blocks are hashed where they lie; only the tail and its padding are copied.
    const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t length = bytes.length();
    size_t whole = length / CXMD5::kBlockSize;
    CXMD5 md5;
    md5.ProcessBlocks(data, whole);

    uint8_t tail[CXMD5::kBlockSize + CXMD5::kMaximumPadding];
    size_t rest = length - whole * CXMD5::kBlockSize;
    std::memcpy(tail, data + whole * CXMD5::kBlockSize, rest);
    size_t padding = CXMD5::MakePadding(length, tail + rest);
    md5.ProcessBlocks(tail, (rest + padding) / CXMD5::kBlockSize);

    uint8_t digest[CXMD5::kDigestSize];
    md5.GetDigest(digest);
    return CXString::BytesToHex(digest, sizeof digest);
}

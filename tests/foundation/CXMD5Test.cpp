#include "foundation/CXMD5.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct Vector {
    std::string text;
    const char* digest;
};

// RFC 1321, appendix A.5.
const Vector kVectors[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890", "57edf4a22be3c955ac49da2e2107b67a"},
};

std::string OpenSSLHexDigest(const uint8_t* data, size_t length)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EXPECT_EQ(EVP_Digest(data, length, digest, &size, EVP_md5(), nullptr), 1);
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

TEST(CXMD5Test, RFC1321Vectors)
{
    for (const Vector& v : kVectors)
        EXPECT_STREQ(MD5HexDigest(CXStringArgument(v.text.data(), v.text.size())).c_str(), v.digest) << '"' << v.text << '"';
}

// Lengths around the padding boundaries, thousands of random lengths, data at every alignment, and
// one span of many blocks, all against OpenSSL.
TEST(CXMD5Test, MatchesOpenSSL)
{
    std::mt19937_64 random(1321);
    std::vector<uint8_t> data(1 << 20 | 77);
    for (uint8_t& byte : data)
        byte = static_cast<uint8_t>(random());

    std::vector<size_t> lengths = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 121, 127, 128, data.size() - 8};
    std::uniform_int_distribution<size_t> length(0, 5000);
    for (int i = 0; i < 3000; ++i)
        lengths.push_back(length(random));
    for (size_t i = 0; i < lengths.size(); ++i) {
        const uint8_t* start = data.data() + i % 8;
        CXString ours = MD5HexDigest(CXStringArgument(reinterpret_cast<const char*>(start), lengths[i]));
        ASSERT_EQ(std::string(ours.c_str()), OpenSSLHexDigest(start, lengths[i])) << "length " << lengths[i];
    }
}

TEST(CXMD5Test, PaddingEndsEveryMessageOnABlock)
{
    for (uint64_t length : {0ull, 55ull, 56ull, 63ull, 64ull, 119ull, 120ull, 0x1FFFFFFFFFFFFFFFull}) {
        uint8_t padding[CXMD5::kMaximumPadding];
        size_t size = CXMD5::MakePadding(length, padding);
        EXPECT_EQ((length + size) % 64, 0u) << length;
        EXPECT_GE(size, 9u);
        EXPECT_EQ(padding[0], 0x80);
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= uint64_t(padding[size - 8 + i]) << (8 * i);
        EXPECT_EQ(bits, length * 8) << length;
    }
}

} // namespace

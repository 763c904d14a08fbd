#pragma once

// Writes small BMP files for tests: a 14-byte file header and a 40-byte BITMAPINFOHEADER, then
// rows padded to 4 bytes. Pixels are given top row first as 0xAARRGGBB; the file stores them
// bottom row first unless topDown. Every header field can be overridden afterwards with Put.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

struct BmpFile {
    std::vector<uint8_t> bytes;

    BmpFile(int32_t width, int32_t height, uint16_t bitCount, const std::vector<uint32_t>& pixels, bool topDown = false)
    {
        const uint32_t bytesPerPixel = bitCount / 8u;
        const uint32_t rowBytes = (static_cast<uint32_t>(width) * bytesPerPixel + 3) / 4 * 4;
        bytes.assign(54 + static_cast<size_t>(rowBytes) * static_cast<uint32_t>(height), 0);
        Put(0, 2, 0x4D42);
        Put(2, 4, static_cast<uint32_t>(bytes.size()));
        Put(10, 4, 54);
        Put(14, 4, 40);
        Put(18, 4, static_cast<uint32_t>(width));
        Put(22, 4, static_cast<uint32_t>(topDown ? -height : height));
        Put(26, 2, 1);
        Put(28, 2, bitCount);
        for (int32_t y = 0; y < height; ++y) {
            const int32_t fileRow = topDown ? y : height - 1 - y;
            uint8_t* row = bytes.data() + 54 + static_cast<size_t>(fileRow) * rowBytes;
            for (int32_t x = 0; x < width; ++x) {
                const size_t index = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
                const uint32_t pixel = index < pixels.size() ? pixels[index] : 0;
                uint8_t* out = row + static_cast<size_t>(x) * bytesPerPixel;
                out[0] = static_cast<uint8_t>(pixel);
                out[1] = static_cast<uint8_t>(pixel >> 8);
                out[2] = static_cast<uint8_t>(pixel >> 16);
                if (bytesPerPixel == 4)
                    out[3] = static_cast<uint8_t>(pixel >> 24);
            }
        }
    }

    // A little-endian field of size bytes at offset.
    void Put(size_t offset, unsigned size, uint32_t value)
    {
        for (unsigned i = 0; i < size; ++i)
            bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }

    bool Write(const std::string& path) const
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    }
};

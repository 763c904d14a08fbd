#pragma once

// A memory DC with a zeroed bitmap of its own selected, for drawing tests; both deleted with it.

#include "win32/WindowTesting.h"
#include "win32/gdi/Gdi.h"
#include "win32/testing/Pixels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace win32test {

using namespace win32;
using win32::testing::kNoPixel;
using win32::testing::OpaquePixel;
using win32::testing::Pixel;

struct MemoryCanvas {
    MemoryCanvas(int width, int height) : width(width), height(height)
    {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, width, height);
        previous = SelectObject(dc, bitmap);
        EXPECT_NE(previous, nullptr);
    }
    ~MemoryCanvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    uint64_t At(int x, int y) const { return Pixel(bitmap, x, y); }
    // Every pixel equals expected(x, y); reports the first few that differ.
    void Expect(const std::function<uint64_t(int, int)>& expected) const
    {
        int reported = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (At(x, y) != expected(x, y) && reported++ < 8)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << At(x, y) << ", expected "
                                  << expected(x, y);
            }
        }
    }

    int width;
    int height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};

} // namespace win32test

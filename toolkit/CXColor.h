#pragma once

#include <cstdint>

// A colour as four floats, nominally 0.0 to 1.0. Equality is exact in all four channels, so a
// NaN channel never compares equal.
struct CXColor {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float alpha = 1.0f;

    constexpr bool operator==(const CXColor&) const = default;

    // One channel as a byte: 0 at or below 0.0 (and for NaN), 255 at or above 1.0, else c * 255
    // truncated.
    static constexpr uint32_t ChannelByte(float c)
    {
        if (!(c > 0.0f))
            return 0;
        if (c >= 1.0f)
            return 255;
        return static_cast<uint32_t>(c * 255.0f);
    }

    // Red in bits 0-7, green 8-15, blue 16-23, alpha 24-31. Windows calls take it with the alpha
    // byte masked off (value & 0xFFFFFF), which is a COLORREF.
    constexpr uint32_t ToColorRef() const
    {
        return ChannelByte(red) | (ChannelByte(green) << 8) | (ChannelByte(blue) << 16) | (ChannelByte(alpha) << 24);
    }
};

// The COLORREF of three channels (each times 255, clamped to 0..255, truncated); top byte 0.
constexpr uint32_t ColorRefFromRGB(float red, float green, float blue)
{
    return CXColor::ChannelByte(red) | (CXColor::ChannelByte(green) << 8) | (CXColor::ChannelByte(blue) << 16);
}

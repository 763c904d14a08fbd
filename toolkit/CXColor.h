#pragma once

// A colour as four floats, nominally 0.0 to 1.0.
struct CXColor {
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float alpha = 1.0f;

    constexpr bool operator==(const CXColor&) const = default;
};

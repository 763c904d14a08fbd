#pragma once

#include <algorithm>
#include <cstdint>

// An integer point or offset in pixels.
struct Vector2i {
    int32_t x = 0;
    int32_t y = 0;

    constexpr Vector2i operator+(Vector2i other) const { return {x + other.x, y + other.y}; }
    constexpr Vector2i operator-(Vector2i other) const { return {x - other.x, y - other.y}; }
    constexpr bool operator==(const Vector2i&) const = default;
};

// An integer box: right and bottom are exclusive. The empty flag marks a box that holds nothing
// whatever its edges say; a box whose edges enclose no pixel is empty as well (IsEmpty).
struct Box2i {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool empty = false;

    constexpr bool IsEmpty() const { return empty || right <= left || bottom <= top; }
    constexpr int32_t Width() const { return right - left; }
    constexpr int32_t Height() const { return bottom - top; }

    // The box moved by the offset; the empty flag is kept.
    constexpr Box2i Offset(Vector2i delta) const
    {
        return {left + delta.x, top + delta.y, right + delta.x, bottom + delta.y, empty};
    }

    // The common part of both boxes; flagged empty when they share no pixel (the edges are then
    // those of the overlap computation and carry no meaning).
    constexpr Box2i Intersect(const Box2i& other) const
    {
        Box2i result{std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                     std::min(bottom, other.bottom), false};
        result.empty = IsEmpty() || other.IsEmpty() || result.right <= result.left || result.bottom <= result.top;
        return result;
    }

    // Edges and flag alike.
    constexpr bool operator==(const Box2i&) const = default;
};

// A box with float edges, as text measuring answers it: right and bottom exclusive, with an
// empty flag like Box2i's.
struct Box2f {
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;
    bool empty = false;

    constexpr bool operator==(const Box2f&) const = default;
};

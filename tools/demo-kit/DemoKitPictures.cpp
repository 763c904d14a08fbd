// The demo's pictures, drawn from simple shapes with 4 x 4 samples a pixel, and the BMP writer.

#include "DemoKit.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace demokit {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Colour {
    double r, g, b;
};

Colour Mix(Colour a, Colour b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

uint32_t Pack(Colour c, double alpha)
{
    auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    return byte(alpha) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

Colour Hex(uint32_t rgb)
{
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

// The share of the pixel's 16 samples inside the shape.
double Coverage(int x, int y, const std::function<bool(double, double)>& inside)
{
    int hits = 0;
    for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
            if (inside(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0))
                ++hits;
        }
    }
    return hits / 16.0;
}

bool InRoundedSquare(double x, double y, double left, double top, double size, double radius)
{
    double cx = std::clamp(x, left + radius, left + size - radius);
    double cy = std::clamp(y, top + radius, top + size - radius);
    return x >= left && x <= left + size && y >= top && y <= top + size &&
           (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

// Within halfWidth of the segment from (x0, y0) to (x1, y1).
bool NearSegment(double x, double y, double x0, double y0, double x1, double y1, double halfWidth)
{
    double dx = x1 - x0, dy = y1 - y0;
    double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    double px = x0 + t * dx - x, py = y0 + t * dy - y;
    return px * px + py * py <= halfWidth * halfWidth;
}

void Put(Picture& picture, int x, int y, uint32_t value)
{
    picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(x)] = value;
}

Picture Blank(int width, int height)
{
    Picture picture;
    picture.width = std::max(width, 1);
    picture.height = std::max(height, 1);
    picture.pixels.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height), 0);
    return picture;
}

void PutLittleEndian(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

Picture BackgroundPicture(int width, int height)
{
    // A pale sky behind the pages, a deep band on the left behind the product image, and a soft
    // light from the top right.
    Picture picture = Blank(width, height);
    const Colour paleTop = Hex(0xF7FAFD), paleBottom = Hex(0xDCE6F0);
    const Colour bandTop = Hex(0x1F3A5F), bandBottom = Hex(0x2E7D8C);
    const int band = std::min(77, picture.width);
    for (int y = 0; y < picture.height; ++y) {
        double down = picture.height > 1 ? static_cast<double>(y) / (picture.height - 1) : 0.0;
        for (int x = 0; x < picture.width; ++x) {
            Colour c;
            if (x < band) {
                c = Mix(bandTop, bandBottom, down);
            } else {
                double dx = static_cast<double>(picture.width - x) / picture.width, dy = down;
                double light = std::exp(-(dx * dx + dy * dy) * 3.0) * 0.35;
                c = Mix(Mix(paleTop, paleBottom, down), Hex(0xFFFFFF), light);
                if (x == band)
                    c = Mix(c, bandBottom, 0.35);
            }
            Put(picture, x, y, Pack(c, 1.0));
        }
    }
    return picture;
}

Picture ProductPicture(int size)
{
    // A rounded tile in a warm gradient with a white "K", on a transparent ground.
    Picture picture = Blank(size, size);
    const double s = picture.width;
    const Colour top = Hex(0xF4A261), bottom = Hex(0xD6453D), edge = Hex(0x8C2A24);
    auto tile = [&](double x, double y) { return InRoundedSquare(x, y, 0.0, 0.0, s, s * 0.2); };
    auto inner = [&](double x, double y) { return InRoundedSquare(x, y, s * 0.03, s * 0.03, s * 0.94, s * 0.18); };
    const double stroke = s * 0.075;
    auto letter = [&](double x, double y) {
        return NearSegment(x, y, s * 0.34, s * 0.24, s * 0.34, s * 0.76, stroke) ||
               NearSegment(x, y, s * 0.38, s * 0.54, s * 0.68, s * 0.24, stroke) ||
               NearSegment(x, y, s * 0.46, s * 0.46, s * 0.70, s * 0.76, stroke);
    };
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            double alpha = Coverage(x, y, tile);
            if (alpha == 0.0)
                continue;
            Colour c = Mix(edge, Mix(top, bottom, (y + 0.5) / s), Coverage(x, y, inner));
            c = Mix(c, Hex(0xFFFFFF), Coverage(x, y, letter));
            Put(picture, x, y, Pack(c, alpha));
        }
    }
    return picture;
}

Picture SpinnerPicture(int size, int frame)
{
    Picture picture = Blank(size, size);
    const double centre = picture.width / 2.0;
    const double inner = centre * 0.45, outer = centre * 0.88, halfWidth = std::max(centre * 0.09, 0.75);
    const Colour ink = Hex(0x3C4654);
    for (int spoke = 0; spoke < 12; ++spoke) {
        // Angles run clockwise from twelve o'clock; the spoke of the frame is the brightest and
        // the ones behind it fade.
        double angle = spoke * kPi / 6.0;
        double dx = std::sin(angle), dy = -std::cos(angle);
        int behind = ((frame - spoke) % 12 + 12) % 12;
        double strength = 1.0 - behind * (0.8 / 11.0);
        auto inSpoke = [&](double x, double y) {
            return NearSegment(x, y, centre + dx * inner, centre + dy * inner, centre + dx * outer, centre + dy * outer,
                               halfWidth);
        };
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                double coverage = Coverage(x, y, inSpoke);
                if (coverage > 0.0)
                    Put(picture, x, y, Pack(ink, coverage * strength));
            }
        }
    }
    return picture;
}

Picture Flatten(const Picture& picture, const Picture& ground, int left, int top)
{
    Picture flat = picture;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const int gx = left + x, gy = top + y;
            if (gx < 0 || gy < 0 || gx >= ground.width || gy >= ground.height)
                continue;
            const size_t at = static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(x);
            const uint32_t over = picture.pixels[at];
            const uint32_t under = ground.pixels[static_cast<size_t>(gy) * static_cast<size_t>(ground.width) + static_cast<size_t>(gx)];
            const uint32_t alpha = over >> 24;
            uint32_t mixed = 0xFF000000u;
            for (int shift = 0; shift <= 16; shift += 8) {
                const uint32_t a = (over >> shift) & 0xFF, b = (under >> shift) & 0xFF;
                mixed |= ((a * alpha + b * (255 - alpha) + 127) / 255) << shift;
            }
            flat.pixels[at] = mixed;
        }
    }
    return flat;
}

std::string EncodeBmp(const Picture& picture)
{
    // A BITMAPV4HEADER with bit-field masks, so that viewers take the fourth byte as alpha too.
    constexpr uint32_t kFileHeader = 14, kInfoHeader = 108;
    const uint32_t pixelBytes = static_cast<uint32_t>(picture.width) * static_cast<uint32_t>(picture.height) * 4;
    std::string out;
    out.reserve(kFileHeader + kInfoHeader + pixelBytes);
    out += "BM";
    PutLittleEndian(out, kFileHeader + kInfoHeader + pixelBytes, 4);
    PutLittleEndian(out, 0, 4);
    PutLittleEndian(out, kFileHeader + kInfoHeader, 4);
    PutLittleEndian(out, kInfoHeader, 4);
    PutLittleEndian(out, static_cast<uint32_t>(picture.width), 4);
    PutLittleEndian(out, static_cast<uint32_t>(picture.height), 4); // rows bottom first
    PutLittleEndian(out, 1, 2);                                     // planes
    PutLittleEndian(out, 32, 2);                                    // bits a pixel
    PutLittleEndian(out, 3, 4);                                     // BI_BITFIELDS
    PutLittleEndian(out, pixelBytes, 4);
    PutLittleEndian(out, 2835, 4); // 72 dots an inch
    PutLittleEndian(out, 2835, 4);
    PutLittleEndian(out, 0, 4);
    PutLittleEndian(out, 0, 4);
    PutLittleEndian(out, 0x00FF0000, 4); // red
    PutLittleEndian(out, 0x0000FF00, 4); // green
    PutLittleEndian(out, 0x000000FF, 4); // blue
    PutLittleEndian(out, 0xFF000000, 4); // alpha
    PutLittleEndian(out, 0x73524742, 4); // 'sRGB'
    out.append(36 + 12, '\0');           // end points and gammas, unused for sRGB
    for (int y = picture.height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width; ++x)
            PutLittleEndian(out, picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.width) + static_cast<size_t>(x)], 4);
    }
    return out;
}

} // namespace demokit

#pragma once

#include "foundation/CXReferenceCount.h"
#include "foundation/CXStringArgument.h"
#include "toolkit/Box2i.h"
#include "toolkit/CXColor.h"
#include "toolkit/RazaRegion.h"
#include "win32/api/Types.h"

#include <cstdint>
#include <vector>

class CXImage;
class RazaFont;
class UIBitmap;

// An entry of the toolkit's fixed colour table (GetColor): 0 to 13.
using RazaColorEnum = int32_t;

// The toolkit's drawing context over one device context, made for one paint or drawing pass and
// held by reference (the count starts at 1; the last release deletes it). It adds to the DC a
// translation origin that every coordinate it is given is moved by, a stack of clip regions that
// nest with that origin, a cache of eight solid brushes by exact colour (first in, first out by
// creation) and the fixed colour table. Texts are UTF-8. Drawing failures are not checked; misuse
// is logged and drawing goes on. Main thread only.
class RazaGraf : public DynamicReferenceCount {
public:
    // A context of the DC; when window is given, the DC is given back to it with ReleaseDC at
    // destruction. Logs "RazaGraf> null param" when either is null. A null DC draws nothing, its
    // clip is empty and text is measured on the font's own measuring context.
    RazaGraf(win32::HDC dc, win32::HWND window);
    explicit RazaGraf(win32::HDC dc);
    // Logs "~RazaGraf> clipping stack not released" when pushes are left; deletes the brushes and
    // gives a window's DC back.
    ~RazaGraf() override;

    // The box moved by the origin, filled (FillRect; the box's empty flag is not looked at).
    virtual void FillBox(const Box2i& box, const CXColor& color);
    // A one-pixel frame just inside the box.
    virtual void FrameBox(const Box2i& box, const CXColor& color);
    // Filled with the system highlight colour.
    virtual void FillHighlightBox(const Box2i& box);
    // The region's bounds filled with colour 12 (active) or 13, clipped to the region.
    virtual void FillRegionHighlight(const RazaRegion& region, bool active);
    // The part of the box inside the DC's clip box, in current coordinates; an empty box at the
    // box's top-left corner when nothing is visible; the box unchanged when the clip box cannot
    // be read (no DC).
    virtual Box2i VisibleBox(const Box2i& box);
    // Clips to the region (current coordinates) within the current clip, then moves the origin by
    // the offset. The first push records the DC's clip box as the base entry; an empty result
    // clips everything away until the pop.
    virtual void PushClipRegion(const RazaRegion& region, Vector2i offset);
    // Restores the clip and origin of the push before. Popping the base entry (more pops than
    // pushes) logs "RazaGraf::PopClipRegion> clip stack underflow" and changes neither.
    virtual void PopClipRegion();
    // One line of text in the font's colour, its bottom edge 3 pixels below y. Nothing for a size
    // below 1; the text is cut to 24576 / size bytes (at least one), moved back to a character
    // start but keeping the first character whole.
    virtual void DrawString(int32_t x, int32_t y, const CXStringArgument& text, RazaFont& font);
    // The text's single-line extent: left and right of its box laid out from x + origin.x, top
    // y + origin.y and bottom top + the font's line height; the origin is included (use right -
    // left). singleLine is not used.
    virtual Box2f MeasureString(const CXStringArgument& text, int32_t x, int32_t y, int32_t width, bool singleLine,
                                RazaFont& font);
    // The longest prefix, cut at a character boundary, that fits maxWidth, followed by "…" when
    // cut. Nothing for an empty text, a negative width, or when not even the first character with
    // "…" fits.
    virtual void DrawStringFitted(int32_t x, int32_t y, const CXStringArgument& text, RazaFont& font,
                                  int32_t maxWidth);
    // The bitmap (premultiplied B, G, R, A, top row first) stretched into the destination and
    // blended at constant alpha colour.alpha * 255; the colour's red, green and blue are not used.
    // A bitmap without pixels fills the destination with the colour instead.
    virtual void DrawBitmap(UIBitmap& bitmap, const Box2i& destination, const CXColor& color);
    // The image drawn through a temporary prepared copy; nothing for a null image.
    virtual void DrawImage(const CXImage* image, const Box2i& destination, const CXColor& color);
    // A one-pixel line; the end pixel is not drawn.
    virtual void DrawLine(Vector2i from, Vector2i to, const CXColor& color);
    // Lines joining the anchors points[0], points[3], ..., points[3 * (count - 1)] (the points
    // between anchors are ignored), so the array holds 3 * count - 2 points. Nothing for fewer
    // than 4 anchors.
    virtual void DrawAnchorPath(const Vector2i* points, int32_t count, const CXColor& color);
    virtual void NoOperation() {}
    // The fixed colour table; an unknown value logs "RazaGraf::GetColor> unknown colorEnum=%d" and
    // gives opaque black. System colours are read at each call.
    virtual CXColor GetColor(RazaColorEnum colorEnum);

    win32::HDC GetDeviceContext() const { return fDC; }
    Vector2i GetOrigin() const { return fOrigin; }
    // The number of clip entries, base included (0 before the first push).
    size_t GetClipDepth() const { return fClipStack.size(); }

private:
    struct ClipEntry {
        RazaRegion region; // in the DC's logical coordinates
        Vector2i origin;   // the origin once this entry was pushed
    };
    static constexpr int kBrushCount = 8;

    win32::HBRUSH BrushFor(const CXColor& color);
    void SelectClip(const RazaRegion& region);

    Vector2i fOrigin;
    Vector2i fDeviceOrigin;
    win32::HDC fDC = nullptr;
    win32::HWND fWindow = nullptr;
    std::vector<ClipEntry> fClipStack;
    win32::HBRUSH fBrushes[kBrushCount] = {};
    CXColor fBrushColors[kBrushCount] = {};
};

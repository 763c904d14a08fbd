#pragma once

// A drawing context that records the drawing calls made on it, for tests of what controls draw.
// Each call is recorded and then carried out by the plain context, so with a real DC the pixels
// are drawn as well (a context without a DC draws nothing). Calls that a recorded call makes on
// the context itself (DrawStringFitted's DrawString, FillRegionHighlight's push, fill and pop,
// DrawAnchorPath's lines) are recorded too, with depth 1.

#include "toolkit/RazaFont.h"
#include "toolkit/RazaGraf.h"

#include <string>
#include <utility>
#include <vector>

class RecordingGraf : public RazaGraf {
public:
    struct Call {
        // The operation's name: "FillBox", "FrameBox", "FillHighlightBox", "FillRegionHighlight",
        // "PushClipRegion", "PopClipRegion", "DrawString", "DrawStringFitted", "DrawBitmap",
        // "DrawImage", "DrawLine", "DrawAnchorPath".
        std::string name;
        // 0 for a call made from outside, 1 for one made by a recorded call.
        int depth = 0;
        // The origin when the call was made.
        Vector2i origin;
        // FillBox, FrameBox, FillHighlightBox: the box; DrawBitmap, DrawImage: the destination;
        // FillRegionHighlight, PushClipRegion: the region's bounds.
        Box2i box;
        CXColor color;
        // DrawString, DrawStringFitted: the text (UTF-8).
        std::string text;
        // DrawString, DrawStringFitted: (x, y); DrawLine: from; PushClipRegion: the offset.
        Vector2i point;
        // DrawLine: to.
        Vector2i to;
        // DrawStringFitted: maxWidth; DrawAnchorPath: the anchor count; FillRegionHighlight: active.
        int32_t value = 0;
        // DrawString, DrawStringFitted: the font's size.
        int32_t fontSize = 0;
    };

    explicit RecordingGraf(win32::HDC dc = nullptr) : RazaGraf(dc) {}

    const std::vector<Call>& Calls() const { return fCalls; }
    // The names of the calls of one depth (all when depth is -1), in order.
    std::vector<std::string> Names(int depth = 0) const
    {
        std::vector<std::string> names;
        for (const Call& call : fCalls) {
            if (depth < 0 || call.depth == depth)
                names.push_back(call.name);
        }
        return names;
    }
    void Clear() { fCalls.clear(); }

    void FillBox(const Box2i& box, const CXColor& color) override
    {
        Scope scope(*this, Make("FillBox", box, color));
        RazaGraf::FillBox(box, color);
    }
    void FrameBox(const Box2i& box, const CXColor& color) override
    {
        Scope scope(*this, Make("FrameBox", box, color));
        RazaGraf::FrameBox(box, color);
    }
    void FillHighlightBox(const Box2i& box) override
    {
        Scope scope(*this, Make("FillHighlightBox", box, {}));
        RazaGraf::FillHighlightBox(box);
    }
    void FillRegionHighlight(const RazaRegion& region, bool active) override
    {
        Call call = Make("FillRegionHighlight", region.GetBounds(), {});
        call.value = active ? 1 : 0;
        Scope scope(*this, call);
        RazaGraf::FillRegionHighlight(region, active);
    }
    void PushClipRegion(const RazaRegion& region, Vector2i offset) override
    {
        Call call = Make("PushClipRegion", region.GetBounds(), {});
        call.point = offset;
        Scope scope(*this, call);
        RazaGraf::PushClipRegion(region, offset);
    }
    void PopClipRegion() override
    {
        Scope scope(*this, Make("PopClipRegion", {}, {}));
        RazaGraf::PopClipRegion();
    }
    void DrawString(int32_t x, int32_t y, const CXStringArgument& text, RazaFont& font) override
    {
        Call call = Make("DrawString", {}, font.GetColor());
        call.text.assign(text.data(), text.length());
        call.point = {x, y};
        call.fontSize = font.GetSize();
        Scope scope(*this, call);
        RazaGraf::DrawString(x, y, text, font);
    }
    void DrawStringFitted(int32_t x, int32_t y, const CXStringArgument& text, RazaFont& font,
                          int32_t maxWidth) override
    {
        Call call = Make("DrawStringFitted", {}, font.GetColor());
        call.text.assign(text.data(), text.length());
        call.point = {x, y};
        call.value = maxWidth;
        call.fontSize = font.GetSize();
        Scope scope(*this, call);
        RazaGraf::DrawStringFitted(x, y, text, font, maxWidth);
    }
    void DrawBitmap(UIBitmap& bitmap, const Box2i& destination, const CXColor& color) override
    {
        Scope scope(*this, Make("DrawBitmap", destination, color));
        RazaGraf::DrawBitmap(bitmap, destination, color);
    }
    void DrawImage(const CXImage* image, const Box2i& destination, const CXColor& color) override
    {
        Scope scope(*this, Make("DrawImage", destination, color));
        RazaGraf::DrawImage(image, destination, color);
    }
    void DrawLine(Vector2i from, Vector2i to, const CXColor& color) override
    {
        Call call = Make("DrawLine", {}, color);
        call.point = from;
        call.to = to;
        Scope scope(*this, call);
        RazaGraf::DrawLine(from, to, color);
    }
    void DrawAnchorPath(const Vector2i* points, int32_t count, const CXColor& color) override
    {
        Call call = Make("DrawAnchorPath", {}, color);
        call.value = count;
        Scope scope(*this, call);
        RazaGraf::DrawAnchorPath(points, count, color);
    }

private:
    // Records the call on entry and marks the calls made inside it as nested.
    class Scope {
    public:
        Scope(RecordingGraf& graf, Call call) : fGraf(graf)
        {
            call.depth = graf.fNesting > 0 ? 1 : 0;
            graf.fCalls.push_back(std::move(call));
            ++graf.fNesting;
        }
        ~Scope() { --fGraf.fNesting; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        RecordingGraf& fGraf;
    };

    Call Make(const char* name, const Box2i& box, const CXColor& color) const
    {
        Call call;
        call.name = name;
        call.origin = GetOrigin();
        call.box = box;
        call.color = color;
        return call;
    }

    std::vector<Call> fCalls;
    int fNesting = 0;
};

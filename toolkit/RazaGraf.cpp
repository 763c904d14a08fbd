#include "toolkit/RazaGraf.h"

#include "foundation/CXDebug.h"
#include "foundation/CXTextEncoding.h"
#include "toolkit/RazaFont.h"
#include "toolkit/RazaTextFit.h"
#include "toolkit/UIBitmap.h"
#include "win32/gdi/Gdi.h"
#include "win32/gdi/Text.h"
#include "win32/user/Paint.h"

#include <cmath>
#include <string>

namespace {

CXColor SystemColor(int index)
{
    const win32::COLORREF value = win32::GetSysColor(index);
    return {win32::GetRValue(value) / 255.0f, win32::GetGValue(value) / 255.0f, win32::GetBValue(value) / 255.0f,
            1.0f};
}

win32::COLORREF ToWindowsColor(const CXColor& color)
{
    return color.ToColorRef() & 0xFFFFFFu;
}

Vector2i ReadViewportOrigin(win32::HDC dc)
{
    win32::POINT origin{0, 0};
    if (dc != nullptr && win32::GetViewportOrgEx(dc, &origin) == win32::FALSE)
        origin = {0, 0};
    return {origin.x, origin.y};
}

// The DC that measures text for a context: its own, else the font's measuring context.
win32::HDC MeasuringDC(win32::HDC dc, RazaFont& font)
{
    return dc != nullptr ? dc : font.GetMeasureContext();
}

} // namespace

RazaGraf::RazaGraf(win32::HDC dc, win32::HWND window)
    : fDeviceOrigin(ReadViewportOrigin(dc))
    , fDC(dc)
    , fWindow(window)
{
    if (dc == nullptr || window == nullptr)
        CXDebugLog("RazaGraf> null param");
}

RazaGraf::RazaGraf(win32::HDC dc)
    : fDeviceOrigin(ReadViewportOrigin(dc))
    , fDC(dc)
{
}

RazaGraf::~RazaGraf()
{
    if (fClipStack.size() > 1)
        CXDebugLog("~RazaGraf> clipping stack not released");
    for (win32::HBRUSH& brush : fBrushes) {
        if (brush != nullptr)
            (void)win32::DeleteObject(brush);
        brush = nullptr;
    }
    if (fWindow != nullptr)
        (void)win32::ReleaseDC(fWindow, fDC);
}

win32::HBRUSH RazaGraf::BrushFor(const CXColor& color)
{
    for (int i = 0; i < kBrushCount; ++i) {
        if (fBrushes[i] != nullptr && fBrushColors[i] == color)
            return fBrushes[i];
    }
    if (fBrushes[kBrushCount - 1] != nullptr)
        (void)win32::DeleteObject(fBrushes[kBrushCount - 1]);
    for (int i = kBrushCount - 1; i > 0; --i) {
        fBrushes[i] = fBrushes[i - 1];
        fBrushColors[i] = fBrushColors[i - 1];
    }
    fBrushes[0] = win32::CreateSolidBrush(ToWindowsColor(color));
    fBrushColors[0] = color;
    return fBrushes[0];
}

void RazaGraf::FillBox(const Box2i& box, const CXColor& color)
{
    const Box2i moved = box.Offset(fOrigin);
    const win32::RECT rect{moved.left, moved.top, moved.right, moved.bottom};
    (void)win32::FillRect(fDC, &rect, BrushFor(color));
}

void RazaGraf::FrameBox(const Box2i& box, const CXColor& color)
{
    const Box2i moved = box.Offset(fOrigin);
    const win32::RECT rect{moved.left, moved.top, moved.right, moved.bottom};
    (void)win32::FrameRect(fDC, &rect, BrushFor(color));
}

void RazaGraf::FillHighlightBox(const Box2i& box)
{
    const Box2i moved = box.Offset(fOrigin);
    const win32::RECT rect{moved.left, moved.top, moved.right, moved.bottom};
    (void)win32::FillRect(fDC, &rect, win32::GetSysColorBrush(win32::COLOR_HIGHLIGHT));
}

void RazaGraf::FillRegionHighlight(const RazaRegion& region, bool active)
{
    PushClipRegion(region, {0, 0});
    FillBox(region.GetBounds(), GetColor(active ? 12 : 13));
    PopClipRegion();
}

Box2i RazaGraf::VisibleBox(const Box2i& box)
{
    const Box2i none{box.left, box.top, box.left, box.top, true};
    win32::RECT clip{};
    const int kind = win32::GetClipBox(fDC, &clip);
    if (kind == win32::NULLREGION)
        return none;
    if (kind != win32::SIMPLEREGION && kind != win32::COMPLEXREGION)
        return box;
    const Box2i visible = box.Offset(fOrigin).Intersect(Box2i{clip.left, clip.top, clip.right, clip.bottom});
    if (visible.IsEmpty())
        return none;
    Box2i result = visible.Offset(Vector2i{0, 0} - fOrigin);
    result.empty = false;
    return result;
}

void RazaGraf::SelectClip(const RazaRegion& region)
{
    RazaRegion device = region.Offset(fDeviceOrigin);
    (void)win32::SelectClipRgn(fDC, device.GetNativeHandle());
}

void RazaGraf::PushClipRegion(const RazaRegion& region, Vector2i offset)
{
    if (fClipStack.empty()) {
        fClipStack.reserve(8);
        // Without a DC the clip box reads as ERROR with an empty box: an empty base.
        win32::RECT clip{0, 0, 0, 0};
        if (win32::GetClipBox(fDC, &clip) == win32::ERROR)
            clip = {0, 0, 0, 0};
        fClipStack.push_back({RazaRegion(Box2i{clip.left, clip.top, clip.right, clip.bottom}), fOrigin});
    }
    const RazaRegion clipped = region.Offset(fOrigin).Intersect(fClipStack.back().region);
    SelectClip(clipped);
    fOrigin = fOrigin + offset;
    fClipStack.push_back({clipped, fOrigin});
}

void RazaGraf::PopClipRegion()
{
    if (!fClipStack.empty())
        fClipStack.pop_back();
    if (fClipStack.empty()) {
        CXDebugLog("RazaGraf::PopClipRegion> clip stack underflow");
        return;
    }
    SelectClip(fClipStack.back().region);
    fOrigin = fClipStack.back().origin;
}

void RazaGraf::DrawString(int32_t x, int32_t y, const CXStringArgument& text, RazaFont& font)
{
    const int32_t size = font.GetSize();
    if (size < 1)
        return;
    const size_t limit = 24576 / size > 1 ? static_cast<size_t>(24576 / size) : 1;
    size_t count = text.length();
    if (count > limit) {
        // Never split a character: back to the start of the one the limit falls in, but keep the
        // first character whole however long it is.
        count = limit;
        while (count > 0 && IsUTF8ContinuationByte(static_cast<unsigned char>(text.data()[count])))
            --count;
        if (count == 0)
            count = RazaPrefixBoundary(text, 1);
    }
    const CXString units = ConvertUTF8ToUTF16(text.data(), count);

    win32::RECT rect{};
    rect.left = x + fOrigin.x;
    rect.right = rect.left + 10000;
    rect.bottom = y + fOrigin.y + 3;
    rect.top = rect.bottom - 1000;

    RazaSelectedFont selected(fDC, font.GetFontHandle());
    const int previousMode = win32::SetBkMode(fDC, win32::TRANSPARENT);
    (void)win32::SetTextColor(fDC, ToWindowsColor(font.GetColor()));
    (void)win32::DrawTextW(fDC, UTF16Units(units), static_cast<int>(UTF16UnitCount(units)), &rect,
                           win32::DT_NOPREFIX | win32::DT_SINGLELINE | win32::DT_BOTTOM);
    if (previousMode != 0)
        (void)win32::SetBkMode(fDC, previousMode);
}

Box2f RazaGraf::MeasureString(const CXStringArgument& text, int32_t x, int32_t y, int32_t width, bool singleLine,
                              RazaFont& font)
{
    (void)singleLine;
    const CXString units = ConvertUTF8ToUTF16(text.data(), text.length());
    win32::HFONT handle = font.GetFontHandle();
    win32::HDC dc = MeasuringDC(fDC, font);
    RazaSelectedFont selected(dc, handle);

    const int32_t top = y + fOrigin.y;
    win32::RECT lineRect{0, top, 10000, top};
    const int lineHeight = win32::DrawTextW(dc, u"W", 1, &lineRect, win32::DT_NOPREFIX | win32::DT_CALCRECT | win32::DT_BOTTOM);

    win32::RECT textRect{};
    textRect.left = x + fOrigin.x;
    textRect.right = textRect.left + width;
    textRect.top = top;
    textRect.bottom = top;
    (void)win32::DrawTextW(dc, UTF16Units(units), static_cast<int>(UTF16UnitCount(units)), &textRect,
                           win32::DT_NOPREFIX | win32::DT_CALCRECT | win32::DT_SINGLELINE | win32::DT_BOTTOM);
    return {static_cast<float>(textRect.left), static_cast<float>(top), static_cast<float>(textRect.right),
            static_cast<float>(top + lineHeight), false};
}

void RazaGraf::DrawStringFitted(int32_t x, int32_t y, const CXStringArgument& text, RazaFont& font, int32_t maxWidth)
{
    if (text.IsEmpty())
        return;
    std::string piece;
    const bool fits = RazaFitWithEllipsis(
        text, false,
        [&](const std::string& candidate) {
            const Box2f box = MeasureString(CXStringArgument(candidate.data(), candidate.size()), 0, 0, 10000, true, font);
            // Signed: a negative width fits nothing.
            return static_cast<int64_t>(box.right - box.left) <= maxWidth;
        },
        piece);
    if (fits)
        DrawString(x, y, CXStringArgument(piece.data(), piece.size()), font);
}

void RazaGraf::DrawBitmap(UIBitmap& bitmap, const Box2i& destination, const CXColor& color)
{
    if (!bitmap.IsCreated()) {
        FillBox(destination, color);
        return;
    }
    int32_t width = 0;
    int32_t height = 0;
    bitmap.GetSize(width, height);
    (void)win32::SetStretchBltMode(fDC, win32::COLORONCOLOR);

    win32::BITMAP description{};
    description.bmType = 0;
    description.bmWidth = width;
    description.bmHeight = height;
    description.bmWidthBytes = bitmap.GetRowBytes();
    description.bmPlanes = 1;
    description.bmBitsPixel = 32;
    description.bmBits = bitmap.GetBaseAddress();
    win32::HBITMAP handle = win32::CreateBitmapIndirect(&description);
    win32::HDC memory = win32::CreateCompatibleDC(fDC);
    win32::HGDIOBJ previous = win32::SelectObject(memory, handle);

    win32::BLENDFUNCTION blend{};
    blend.BlendOp = win32::AC_SRC_OVER;
    blend.BlendFlags = 0;
    blend.AlphaFormat = win32::AC_SRC_ALPHA;
    blend.SourceConstantAlpha = static_cast<win32::BYTE>(CXColor::ChannelByte(color.alpha));
    (void)win32::AlphaBlend(fDC, destination.left + fOrigin.x, destination.top + fOrigin.y, destination.Width(),
                            destination.Height(), memory, 0, 0, width, height, blend);

    if (previous != nullptr)
        (void)win32::SelectObject(memory, previous);
    if (handle != nullptr)
        (void)win32::DeleteObject(handle);
    if (memory != nullptr)
        (void)win32::DeleteDC(memory);
}

void RazaGraf::DrawImage(const CXImage* image, const Box2i& destination, const CXColor& color)
{
    if (image == nullptr)
        return;
    CXAutoReference<UIBitmap> temporary;
    temporary.Swallow(new UIBitmap);
    (void)temporary->SetBitmap(image->GetBitmap());
    DrawBitmap(*temporary, destination, color);
}

void RazaGraf::DrawLine(Vector2i from, Vector2i to, const CXColor& color)
{
    win32::HPEN pen = win32::CreatePen(win32::PS_SOLID, 1, ToWindowsColor(color));
    win32::HGDIOBJ previous = win32::SelectObject(fDC, pen);
    (void)win32::MoveToEx(fDC, from.x + fOrigin.x, from.y + fOrigin.y, nullptr);
    (void)win32::LineTo(fDC, to.x + fOrigin.x, to.y + fOrigin.y);
    if (previous != nullptr)
        (void)win32::SelectObject(fDC, previous);
    if (pen != nullptr)
        (void)win32::DeleteObject(pen);
}

void RazaGraf::DrawAnchorPath(const Vector2i* points, int32_t count, const CXColor& color)
{
    if (points == nullptr || count < 4)
        return;
    for (int64_t k = 1; 3 * k < 3 * static_cast<int64_t>(count) - 2; ++k)
        DrawLine(points[3 * (k - 1)], points[3 * k], color);
}

CXColor RazaGraf::GetColor(RazaColorEnum colorEnum)
{
    switch (colorEnum) {
    case 0:
        return {0.94f, 0.94f, 0.94f, 1.0f};
    case 1:
        return SystemColor(win32::COLOR_WINDOWTEXT);
    case 2:
    case 3:
    case 9:
        return SystemColor(win32::COLOR_HIGHLIGHTTEXT);
    case 4:
        return {0.95f, 0.95f, 0.95f, 1.0f};
    case 5:
    case 11:
        return {1.0f, 1.0f, 1.0f, 1.0f};
    case 6:
    case 7:
    case 12:
        return SystemColor(win32::COLOR_HIGHLIGHT);
    case 8:
    case 10:
        return {0.0f, 0.0f, 0.0f, 1.0f};
    case 13:
        return {0.75f, 0.75f, 0.8f, 1.0f};
    default:
        CXDebugLog("RazaGraf::GetColor> unknown colorEnum=%d", colorEnum);
        return {0.0f, 0.0f, 0.0f, 1.0f};
    }
}

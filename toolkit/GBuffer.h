#pragma once

#include "toolkit/Box2i.h"
#include "win32/api/Types.h"

#include <cstdint>

// An off-screen pixel buffer that can be drawn into through a device context.
class GBuffer {
public:
    virtual ~GBuffer() = default;
    // The context to draw into; null while the buffer has none.
    virtual win32::HDC GetDeviceContext() = 0;
};

// An off-screen buffer of 32-bit pixels (a DIB section, rows top first, 4 bytes a pixel) selected
// into a memory device context.
class GWBuffer : public GBuffer {
public:
    GWBuffer() = default;
    // Release.
    ~GWBuffer() override;
    GWBuffer(const GWBuffer&) = delete;
    GWBuffer& operator=(const GWBuffer&) = delete;

    win32::HDC GetDeviceContext() override { return fMemoryContext; }

    // Makes a buffer of the box's size (its position is not used), zeroed, in place of any former
    // one. Non-zero on success; 0, with no buffer, when the box has no area, a row would not fit in
    // 32 bits, or the context or the section cannot be made.
    virtual int Create(const Box2i& box);
    // Deletes the context and the section; the buffer is empty afterwards.
    virtual void Release();
    // Reserved operations, kept in this place of the virtual order: they do nothing.
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    virtual void Reserved3() {}

    int32_t GetWidth() const { return fWidth; }
    int32_t GetHeight() const { return fHeight; }
    int32_t GetRowBytes() const { return fRowBytes; }
    // The first (top) row; null without a buffer.
    void* GetBits() const { return fBits; }

private:
    int32_t fWidth = 0;
    int32_t fHeight = 0;
    win32::HDC fMemoryContext = nullptr;
    win32::HBITMAP fSection = nullptr;
    void* fBits = nullptr;
    int32_t fRowBytes = 0;
};

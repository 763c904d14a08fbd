#pragma once

// The handle table: every object of the layer that the program holds by handle (windows, global
// memory blocks, drawing objects and menus) is reached through one process-wide table of slots.
//
// A handle value has 31 bits: kind in bits 24-30, generation in bits 16-23 (never 0) and slot in
// bits 0-15. So a handle is never NULL nor one of the small or negative pseudo handles, and a
// handle whose object is gone, or that names another kind, finds nothing. A freed slot is reused
// only once 1024 slots wait in the free queue (oldest first), with its generation moved on, so a
// stale handle stays stale for as long as possible.

#include "win32/api/Types.h"

#include <cstddef>
#include <cstdint>

namespace win32::core {

enum class HandleKind : uint8_t {
    Window = 1,
    Menu = 2,
    GlobalMemory = 8,
    // The drawing objects.
    DC = 16,
    Bitmap = 17,
    Brush = 18,
    Pen = 19,
    Region = 20,
    Font = 21,
    // OpenGL rendering contexts.
    GLContext = 24,
};

// The kind a well-formed handle value names (it may still be stale).
constexpr HandleKind KindOfHandle(uint32_t value)
{
    return static_cast<HandleKind>((value >> 24) & 0x7F);
}

class HandleTable {
public:
    // The slot count above which nothing more can be added.
    static constexpr size_t kSlotLimit = 0x10000;
    // Freed slots wait until this many are free before the oldest is reused.
    static constexpr size_t kReuseThreshold = 1024;

    // A new handle value for the object, or 0 when every slot is taken or object is null.
    uint32_t Add(HandleKind kind, void* object);
    // The object of a live handle of that kind; null for 0, stale, foreign or malformed values.
    void* Find(uint32_t value, HandleKind kind) const;
    // Frees the handle's slot. False (nothing changed) when the handle is not live for that kind.
    bool Remove(uint32_t value, HandleKind kind);
    // Live handles of one kind.
    size_t Count(HandleKind kind) const;
};

// The process-wide table (safe to use from any thread).
HandleTable& Handles();

template <class Handle>
Handle ToHandle(uint32_t value)
{
    return reinterpret_cast<Handle>(static_cast<uintptr_t>(value));
}

// The value of a handle, 0 for anything that cannot be one (wider than 31 bits).
template <class Handle>
uint32_t HandleValue(Handle handle)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    return value > 0x7FFFFFFFu ? 0 : static_cast<uint32_t>(value);
}

} // namespace win32::core

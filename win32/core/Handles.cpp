#include "win32/core/Handles.h"

#include "foundation/CXMutex.h"

#include <deque>
#include <vector>

namespace win32::core {

namespace {

struct Slot {
    void* object = nullptr;
    HandleKind kind = HandleKind::Window;
    uint8_t generation = 0;
};

struct TableState {
    CXMutex lock;
    std::vector<Slot> slots;
    std::deque<uint16_t> freeSlots;
    size_t counts[128] = {};
};

TableState& State()
{
    static TableState* state = new TableState();
    return *state;
}

uint32_t Compose(HandleKind kind, uint8_t generation, size_t slot)
{
    return (static_cast<uint32_t>(kind) << 24) | (static_cast<uint32_t>(generation) << 16) |
           static_cast<uint32_t>(slot);
}

// The slot of a live handle of the kind, or null.
const Slot* Resolve(const TableState& state, uint32_t value, HandleKind kind)
{
    if (value == 0 || value > 0x7FFFFFFFu)
        return nullptr;
    size_t index = value & 0xFFFF;
    if (index >= state.slots.size())
        return nullptr;
    const Slot& slot = state.slots[index];
    if (slot.object == nullptr || slot.kind != kind || Compose(kind, slot.generation, index) != value)
        return nullptr;
    return &slot;
}

} // namespace

uint32_t HandleTable::Add(HandleKind kind, void* object)
{
    if (object == nullptr || static_cast<uint8_t>(kind) == 0 || static_cast<uint8_t>(kind) > 0x7F)
        return 0;
    TableState& state = State();
    CXMutexLocker locker(&state.lock);
    size_t index;
    if (state.freeSlots.size() >= kReuseThreshold || (state.slots.size() >= kSlotLimit && !state.freeSlots.empty())) {
        index = state.freeSlots.front();
        state.freeSlots.pop_front();
    } else if (state.slots.size() < kSlotLimit) {
        index = state.slots.size();
        state.slots.emplace_back();
    } else {
        return 0;
    }
    Slot& slot = state.slots[index];
    slot.generation = static_cast<uint8_t>(slot.generation == 0xFF ? 1 : slot.generation + 1);
    slot.object = object;
    slot.kind = kind;
    state.counts[static_cast<uint8_t>(kind)]++;
    return Compose(kind, slot.generation, index);
}

void* HandleTable::Find(uint32_t value, HandleKind kind) const
{
    TableState& state = State();
    CXMutexLocker locker(&state.lock);
    const Slot* slot = Resolve(state, value, kind);
    return slot != nullptr ? slot->object : nullptr;
}

bool HandleTable::Remove(uint32_t value, HandleKind kind)
{
    TableState& state = State();
    CXMutexLocker locker(&state.lock);
    if (Resolve(state, value, kind) == nullptr)
        return false;
    size_t index = value & 0xFFFF;
    state.slots[index].object = nullptr;
    state.freeSlots.push_back(static_cast<uint16_t>(index));
    state.counts[static_cast<uint8_t>(kind)]--;
    return true;
}

size_t HandleTable::Count(HandleKind kind) const
{
    TableState& state = State();
    CXMutexLocker locker(&state.lock);
    return state.counts[static_cast<uint8_t>(kind) & 0x7F];
}

HandleTable& Handles()
{
    static HandleTable table;
    return table;
}

} // namespace win32::core

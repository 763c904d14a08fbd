#include "win32/core/Handles.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using win32::core::HandleKind;
using win32::core::Handles;
using win32::core::HandleTable;

namespace {

const HandleKind kOther = static_cast<HandleKind>(2);

TEST(HandlesTest, AHandleCarriesKindGenerationAndSlotAndNeverLooksLikeAPseudoHandle)
{
    int object = 0;
    uint32_t value = Handles().Add(HandleKind::Window, &object);
    EXPECT_EQ(value >> 24, 1u);
    EXPECT_NE((value >> 16) & 0xFF, 0u);
    EXPECT_GE(value, 0x10000u);
    EXPECT_LE(value, 0x7FFFFFFFu);
    EXPECT_EQ(Handles().Find(value, HandleKind::Window), &object);
    // Another kind, or a value that could not be a handle, finds nothing.
    EXPECT_EQ(Handles().Find(value, kOther), nullptr);
    for (uint32_t bad : {0u, 1u, 0xFFFFFFFFu, 0xFFFFFFFEu, value | 0x80000000u, value ^ 0x00010000u, value + 0x8000u})
        EXPECT_EQ(Handles().Find(bad, HandleKind::Window), nullptr) << std::hex << bad;
    EXPECT_FALSE(Handles().Remove(value, kOther));
    EXPECT_TRUE(Handles().Remove(value, HandleKind::Window));
    EXPECT_FALSE(Handles().Remove(value, HandleKind::Window));
    EXPECT_EQ(Handles().Find(value, HandleKind::Window), nullptr);
    EXPECT_EQ(Handles().Add(HandleKind::Window, nullptr), 0u);
    EXPECT_EQ(win32::core::HandleValue(reinterpret_cast<win32::HWND>(uintptr_t{1} << 40)), 0u);
}

TEST(HandlesTest, AFreedSlotComesBackOnlyOnceManyWaitAndThenUnderANewGeneration)
{
    int object = 0;
    uint32_t first = Handles().Add(HandleKind::Window, &object);
    ASSERT_TRUE(Handles().Remove(first, HandleKind::Window));
    uint32_t slot = first & 0xFFFF;

    std::vector<uint32_t> values;
    for (size_t i = 0; i < HandleTable::kReuseThreshold; ++i) {
        values.push_back(Handles().Add(HandleKind::Window, &object));
        EXPECT_NE(values.back() & 0xFFFF, slot) << "reused while fewer than 1024 slots were free";
    }
    for (uint32_t value : values)
        Handles().Remove(value, HandleKind::Window);

    // Now free slots come back oldest first (slots freed by earlier tests are older still), the
    // first one under another generation.
    std::vector<uint32_t> older;
    uint32_t reused = Handles().Add(HandleKind::Window, &object);
    while ((reused & 0xFFFF) != slot && older.size() < 8) {
        older.push_back(reused);
        reused = Handles().Add(HandleKind::Window, &object);
    }
    ASSERT_EQ(reused & 0xFFFF, slot);
    for (uint32_t value : older)
        Handles().Remove(value, HandleKind::Window);
    EXPECT_NE(reused, first);
    EXPECT_EQ(Handles().Find(first, HandleKind::Window), nullptr);
    EXPECT_FALSE(Handles().Remove(first, HandleKind::Window));
    EXPECT_EQ(Handles().Find(reused, HandleKind::Window), &object);

    // Generations wrap around without ever being 0.
    std::set<uint32_t> generations;
    uint32_t value = reused;
    for (int round = 0; round < 300; ++round) {
        Handles().Remove(value, HandleKind::Window);
        do {
            value = Handles().Add(HandleKind::Window, &object);
            if ((value & 0xFFFF) != slot)
                Handles().Remove(value, HandleKind::Window);
        } while ((value & 0xFFFF) != slot);
        generations.insert((value >> 16) & 0xFF);
    }
    EXPECT_EQ(generations.count(0), 0u);
    EXPECT_EQ(generations.size(), 255u);
    Handles().Remove(value, HandleKind::Window);
    EXPECT_EQ(Handles().Count(HandleKind::Window), 0u);
}

} // namespace

#include "win32/core/Handles.h"

#include <gtest/gtest.h>

using win32::core::HandleKind;
using win32::core::Handles;

TEST(HandlesTest, Placeholder)
{
    int object = 0;
    uint32_t value = Handles().Add(HandleKind::Window, &object);
    EXPECT_EQ(Handles().Find(value, HandleKind::Window), &object);
    EXPECT_TRUE(Handles().Remove(value, HandleKind::Window));
}

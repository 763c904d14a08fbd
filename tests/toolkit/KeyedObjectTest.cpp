#include "toolkit/KeyedObject.h"

#include "foundation/CXDebug.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(KeyedObjectTest, DyingObjectGivesEachKeyBackOnce)
{
    KeyRegister first("first");
    KeyRegister second("second");
    KeyRegister shared("shared");
    {
        KeyedObject a;
        KeyedObject b;
        ASSERT_TRUE(a.AddKey(first));
        ASSERT_TRUE(a.AddKey(second));
        ASSERT_TRUE(a.AddKey(shared));
        ASSERT_TRUE(b.AddKey(shared));
        EXPECT_EQ(shared.GetUseCount(), 2u);
    }
    EXPECT_EQ(first.GetUseCount(), 0u);
    EXPECT_EQ(second.GetUseCount(), 0u);
    EXPECT_EQ(shared.GetUseCount(), 0u);
}

TEST(KeyedObjectTest, ReleaseKeysEmptiesTheList)
{
    KeyRegister key("key");
    CXDebugCapture capture;
    {
        KeyedObject object;
        ASSERT_TRUE(object.AddKey(key));
        object.ReleaseKeys();
        EXPECT_EQ(object.CountKeys(), 0u);
        EXPECT_EQ(key.GetUseCount(), 0u);
    } // the destructor gives nothing back a second time
    EXPECT_EQ(capture.Lines().size(), 0u);
}

TEST(KeyedObjectTest, RegisterDyingWhileHeldIsReported)
{
    // Holders that are never destroyed, so nothing touches the register after it is gone.
    static auto* holders = new KeyedObject[2];
    CXDebugCapture capture;
    auto key = std::make_unique<KeyRegister>("held");
    ASSERT_TRUE(holders[0].AddKey(*key));
    ASSERT_TRUE(holders[1].AddKey(*key));
    key.reset();
    EXPECT_TRUE(capture.Contains("~KeyRegister> Key in use (count: 2, name: 'held')"));
}

TEST(KeyedObjectTest, OverReleaseIsReportedAndTheCountStaysZero)
{
    CXDebugCapture capture;
    KeyRegister key("spare");
    key.RemovingObjectKey(nullptr);
    EXPECT_TRUE(capture.Contains("KeyRegister::RemovingObjectKey> over-released (name: 'spare')"));
    EXPECT_EQ(key.GetUseCount(), 0u);
}

} // namespace

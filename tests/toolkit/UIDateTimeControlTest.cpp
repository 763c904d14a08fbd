#include "toolkit/UIDateTimeControl.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXDebug.h"
#include "platform/LocalTime.h"
#include "support/ScopedEnv.h"
#include "win32/api/DateTimeTab.h"

#include <limits>
#include <string>
#include <vector>

namespace toolkittest {
namespace {

std::string Show(const SYSTEMTIME& t)
{
    return std::to_string(t.wYear) + "-" + std::to_string(t.wMonth) + "-" + std::to_string(t.wDay) + " (weekday " +
           std::to_string(t.wDayOfWeek) + ") " + std::to_string(t.wHour) + ":" + std::to_string(t.wMinute) + ":" +
           std::to_string(t.wSecond) + "." + std::to_string(t.wMilliseconds);
}

// The picker's zone is the one TZ names; each test names its own and reads the zone again.
class UIDateTimeControlTest : public OneWindowTest {
protected:
    void TearDown() override
    {
        OneWindowTest::TearDown();
        Platform::ReloadTimeZone();
    }

    // A picker in the window; SetValue before Init when a moment is given.
    UIDateTimeControl* Add(std::optional<CXTimestamp> before = std::nullopt)
    {
        auto* picker = new UIDateTimeControl;
        if (before)
            picker->SetValue(*before);
        picker->SetLayout(10, 10, 210, 34, 0, 0);
        picker->Init();
        window->AddChild(picker, nullptr);
        picker->SetFont(RazaFont("Layer Test Box", 12));
        return picker;
    }
    static std::string Shown(UIDateTimeControl* picker)
    {
        SYSTEMTIME date = {};
        SendMessageW(picker->GetNativeHandle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date));
        return Show(date);
    }
    // Records the names of the messages the picker sends.
    static void Record(UIElement* picker, std::vector<std::string>& seen)
    {
        picker->AddMessageHandler([&seen, picker](const CXMessage& message) -> CXResultCode {
            EXPECT_EQ(message.GetSource(), picker);
            seen.push_back(message.GetName().c_str());
            return kCXNotSupported;
        });
    }
};

TEST_F(UIDateTimeControlTest, AMomentIsShownInTheLocalZone)
{
    struct Case {
        const char* zone;
        CXTimestamp moment;
        const char* shown;
    };
    const Case cases[] = {
        {"UTC", 0, "1970-1-1 (weekday 4) 0:0:0.0"},
        // Five hours west of UTC.
        {"XXX+5", 0, "1969-12-31 (weekday 3) 19:0:0.0"},
        // Before 1970 the milliseconds still count forwards from the second.
        {"UTC", -1, "1969-12-31 (weekday 3) 23:59:59.999"},
        {"UTC", 951825600123, "2000-2-29 (weekday 2) 12:0:0.123"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.zone << " " << c.moment);
        ScopedEnv zone("TZ", c.zone);
        Platform::ReloadTimeZone();
        UIDateTimeControl* picker = Add();
        picker->SetValue(c.moment);
        EXPECT_EQ(Shown(picker), c.shown);
        picker->Destroy();
    }
}

TEST_F(UIDateTimeControlTest, ThePickerShowsWeekdayMonthDayAndYear)
{
    ScopedEnv zone("TZ", "UTC");
    Platform::ReloadTimeZone();
    // Set before the window is made: shown once it is.
    UIDateTimeControl* picker = Add(CXTimestamp{0});
    harness.Texts().Clear();
    ASSERT_TRUE(harness.PumpUntilIdle());
    std::vector<std::u16string> shown;
    for (const DrawnText& drawn : harness.Texts().Entries()) {
        if (drawn.window == picker->GetNativeHandle())
            shown.push_back(drawn.text);
    }
    EXPECT_EQ(shown, std::vector<std::u16string>{u"ThuJan01, 1970"});

    // A moment whose year a date cannot hold changes nothing.
    CXDebugCapture capture;
    for (CXTimestamp moment : {std::numeric_limits<CXTimestamp>::max(), CXTimestamp{-11644473600001}}) {
        picker->SetValue(moment);
        EXPECT_EQ(Shown(picker), "1970-1-1 (weekday 4) 0:0:0.0");
    }
    EXPECT_EQ(capture.Count("UIDateTimeControl::SetValue> "), 2u);
    picker->Destroy();
}

TEST_F(UIDateTimeControlTest, TheUsersChangeIsToldUnlessNotificationsAreSuppressed)
{
    ScopedEnv zone("TZ", "UTC");
    Platform::ReloadTimeZone();
    UIDateTimeControl* picker = Add();
    picker->SetValue(0);
    std::vector<std::string> seen;
    Record(picker, seen);
    picker->SetValue(86400000);
    EXPECT_TRUE(seen.empty()) << "SetValue tells nothing";

    picker->SetFocus();
    ASSERT_TRUE(harness.PumpUntilIdle());
    // From the weekday to the day, which goes up by one.
    for (UINT key : {VK_RIGHT, VK_RIGHT, VK_UP}) {
        harness.KeyDown(key);
        harness.KeyUp(key);
    }
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(Shown(picker), "1970-1-3 (weekday 6) 0:0:0.0");
    EXPECT_EQ(seen, std::vector<std::string>{"UIDateTimeControl::value-changed"});

    picker->InternalSuppressNotifications(1);
    harness.KeyDown(VK_UP);
    harness.KeyUp(VK_UP);
    ASSERT_TRUE(harness.PumpUntilIdle());
    picker->InternalSuppressNotifications(-1);
    EXPECT_EQ(Shown(picker), "1970-1-4 (weekday 0) 0:0:0.0");
    EXPECT_EQ(seen.size(), 1u);

    // A handler that destroys the picker ends the notification there.
    picker->AddMessageHandler([picker](const CXMessage&) -> CXResultCode {
        picker->Destroy();
        return kCXOK;
    });
    harness.KeyDown(VK_UP);
    harness.KeyUp(VK_UP);
    ASSERT_TRUE(harness.PumpUntilIdle());
    EXPECT_EQ(seen.size(), 2u);
}

} // namespace
} // namespace toolkittest

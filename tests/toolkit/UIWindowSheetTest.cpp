#include "toolkit/UIWindowSheet.h"

#include "ToolkitWindowTesting.h"
#include "foundation/CXMessagePost.h"
#include "toolkit/CXMenu.h"
#include "toolkit/UIMessageLoop.h"

#include <ostream>

// Boxes read as their edges in failures.
static void PrintTo(const Box2i& box, std::ostream* out)
{
    *out << "{" << box.left << ", " << box.top << ", " << box.right << ", " << box.bottom << (box.empty ? ", empty}" : "}");
}

namespace toolkittest {
namespace {

using win32::testing::Harness;

class UIWindowSheetTest : public WindowElementTest {
protected:
    void TearDown() override
    {
        CXMenu::ReleaseAllMenus();
        CXMessagePostTask::DeleteSingleton();
        WindowElementTest::TearDown();
    }

    // A sheet of the given client size (set once the window exists: making it sizes the frame to
    // the new window), made and shown over its parent.
    UIWindowSheet* ShowSheet(UIElement* parent, int32_t width = 200, int32_t height = 100)
    {
        auto* sheet = new UIWindowSheet(parent);
        sheet->Init();
        sheet->SetLayout(0, 0, width, height, 0, 0);
        sheet->SetVisible(true);
        harness.PumpUntilIdle();
        return sheet;
    }

    // Turns the loop while anything is ready, without waiting.
    void TurnWhileReady()
    {
        MSG message = {};
        for (int i = 0; i < 200 && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); ++i)
            ASSERT_TRUE(loop.Turn());
    }

    static bool Enabled(CXUIWindow* window) { return IsWindowEnabled(window->GetNativeHandle()) != FALSE; }

    // Two menus in every window's menu bar, one with a drop-down of its own.
    void MakeBarMenus()
    {
        for (const char* title : {"File", "Edit"}) {
            auto* menu = new CXMenu(nullptr);
            menu->SetTitle(title);
            menu->AddToMenuBar();
            menu->AddCommandItem("Item", "item", 0);
        }
    }

    UIMessageLoop loop;
};

TEST_F(UIWindowSheetTest, OwnerIsHeldWhileTheSheetExistsAndComesBackAsItWas)
{
    CXUIWindow* owner = MakeWindow({200, 150, 700, 550, false});
    TestControl* field = nullptr;
    TestControl* ok = nullptr;
    for (TestControl** control : {&field, &ok}) {
        *control = new TestControl("control");
        (*control)->Init();
        owner->AddChild(*control, nullptr);
    }
    SetFocus(field->GetNativeHandle());
    harness.PumpUntilIdle();

    UIWindowSheet* sheet = ShowSheet(owner, 200, 100);
    HWND sheetHandle = sheet->GetNativeHandle();
    EXPECT_EQ(sheet->GetOwnerWindow(), owner->GetNativeHandle());
    EXPECT_EQ(GetWindow(sheetHandle, GW_OWNER), owner->GetNativeHandle());
    EXPECT_EQ(sheet->GetDelegate(), owner);
    EXPECT_FALSE(Enabled(owner));
    EXPECT_EQ(owner->GetModalDisableCount(), 1);
    EXPECT_EQ(GetActiveWindow(), sheetHandle);
    // Centred over the owner's client area.
    EXPECT_EQ(sheet->GetFrame(), (Box2i{350, 300, 550, 400, false}));

    // A modal window meanwhile adds its own hold on the owner and leaves the sheet alone.
    CXUIWindow* modal = MakeWindow();
    modal->SetModal(true);
    EXPECT_EQ(owner->GetModalDisableCount(), 2);
    EXPECT_EQ(sheet->GetModalDisableCount(), 0);
    modal->Destroy();
    EXPECT_FALSE(Enabled(owner));

    // Unhandled messages go on to the parent.
    CXString heard;
    owner->AddMessageHandler([&heard](const CXMessage& message) {
        heard = message.GetName();
        return CXResultCode(0);
    });
    EXPECT_EQ(sheet->HandleMessage(CXMessage("sheet-question", sheet)), 0);
    EXPECT_EQ(heard, "sheet-question");

    EXPECT_EQ(CXUIWindow::RequestClose(sheet), 0);
    EXPECT_FALSE(IsWindow(sheetHandle));
    EXPECT_TRUE(Enabled(owner));
    EXPECT_EQ(owner->GetModalDisableCount(), 0);
    EXPECT_EQ(GetActiveWindow(), owner->GetNativeHandle());
    EXPECT_EQ(GetFocus(), field->GetNativeHandle());

    // The keys act in the owner again: Enter answers through its dialog handling, Tab moves on.
    TurnWhileReady();
    harness.Spy().Clear();
    harness.KeyDown(VK_RETURN);
    TurnWhileReady();
    bool okCommand = false;
    for (const auto& entry : harness.Spy().Only({WM_COMMAND}))
        okCommand = okCommand || (entry.hwnd == owner->GetNativeHandle() && LOWORD(entry.wParam) == IDOK);
    EXPECT_TRUE(okCommand);
    harness.KeyUp(VK_RETURN);
    harness.KeyDown(VK_TAB);
    TurnWhileReady();
    harness.KeyUp(VK_TAB);
    EXPECT_EQ(GetFocus(), ok->GetNativeHandle());

    owner->Destroy();
}

TEST_F(UIWindowSheetTest, ClosingTheInnerOfTwoSheetsKeepsTheOwnerDisabled)
{
    // The inner sheet belongs to the outer one, or both belong to the owner.
    for (bool innerOverOuter : {true, false}) {
        SCOPED_TRACE(innerOverOuter ? "inner sheet over the outer sheet" : "both sheets over the owner");
        CXUIWindow* owner = MakeWindow({200, 150, 700, 550, false});
        UIWindowSheet* outer = ShowSheet(owner, 300, 200);
        UIWindowSheet* inner = ShowSheet(innerOverOuter ? static_cast<UIElement*>(outer) : owner, 100, 50);
        EXPECT_EQ(inner->GetOwnerWindow(), innerOverOuter ? outer->GetNativeHandle() : owner->GetNativeHandle());
        EXPECT_EQ(GetActiveWindow(), inner->GetNativeHandle());

        inner->Destroy();
        EXPECT_FALSE(Enabled(owner));
        EXPECT_TRUE(Enabled(outer));
        if (innerOverOuter) {
            EXPECT_EQ(GetActiveWindow(), outer->GetNativeHandle());
        }

        outer->Destroy();
        EXPECT_TRUE(Enabled(owner));
        EXPECT_EQ(GetActiveWindow(), owner->GetNativeHandle());
        owner->Destroy();
    }
}

TEST_F(UIWindowSheetTest, OwnerDestroyedFirstLeavesTheSheetNothingToRelease)
{
    CXUIWindow* owner = MakeWindow();
    UIWindowSheet* sheet = ShowSheet(owner);
    CXUIWindow* other = MakeWindow({900, 150, 1100, 350, false});
    owner->Destroy();
    // The owned window went with its owner; the sheet still stands and lets go of nothing.
    EXPECT_EQ(sheet->GetNativeHandle(), nullptr);
    EXPECT_EQ(sheet->GetDelegate(), nullptr);
    sheet->Destroy();
    EXPECT_TRUE(Enabled(other));
    other->Destroy();
}

TEST_F(UIWindowSheetTest, ParentWithoutNativeAncestorGivesNoOwnerAndKeepsTheBar)
{
    MakeBarMenus();
    CXUIWindow* window = MakeWindow();
    auto* holder = new UIElement;
    auto* inner = new UIElement;
    holder->AddChild(inner, nullptr);
    inner->SetLayout(10, 10, 30, 30, 0, 0);

    UIWindowSheet* sheet = ShowSheet(inner);
    EXPECT_EQ(sheet->GetOwnerWindow(), nullptr);
    EXPECT_EQ(GetWindow(sheet->GetNativeHandle(), GW_OWNER), nullptr);
    EXPECT_NE(GetMenu(sheet->GetNativeHandle()), nullptr);
    EXPECT_TRUE(Enabled(window));
    // The parent is no window: the sheet's own placement stands.
    EXPECT_EQ(sheet->GetFrame(), (Box2i{0, 0, 200, 100, false}));
    sheet->Destroy();

    // A control inside a window finds that window, yet is no window to centre over.
    auto* control = new TestControl("control");
    control->Init();
    window->AddChild(control, nullptr);
    sheet = ShowSheet(control);
    EXPECT_EQ(sheet->GetOwnerWindow(), window->GetNativeHandle());
    EXPECT_FALSE(Enabled(window));
    EXPECT_EQ(sheet->GetFrame(), (Box2i{0, 0, 200, 100, false}));
    sheet->Destroy();
    EXPECT_TRUE(Enabled(window));

    window->Destroy();
    holder->Destroy();
}

TEST_F(UIWindowSheetTest, OwnedSheetBuildsNoMenuBar)
{
    MakeBarMenus();
    CXUIWindow* owner = MakeWindow();
    ASSERT_NE(GetMenu(owner->GetNativeHandle()), nullptr);
    const size_t menus = Harness::LiveMenuCount();

    for (int round = 0; round < 2; ++round) {
        auto* sheet = new UIWindowSheet(owner);
        sheet->SetMinimumSize(300, 200);
        sheet->Init();
        sheet->SetVisible(true);
        HWND handle = sheet->GetNativeHandle();
        EXPECT_EQ(GetMenu(handle), nullptr);
        EXPECT_EQ(Harness::LiveMenuCount(), menus);
        // The smallest size counts no bar row.
        harness.UserResize(handle, 10, 10);
        RECT expected = {0, 0, 300, 200};
        AdjustWindowRect(&expected, static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE)), FALSE);
        RECT rect = {};
        GetWindowRect(handle, &rect);
        EXPECT_EQ(rect.right - rect.left, expected.right - expected.left);
        EXPECT_EQ(rect.bottom - rect.top, expected.bottom - expected.top);
        // The menus refreshed with the sheet up fill only the owner's bar.
        CXMenu::RefreshMenus();
        EXPECT_EQ(CXUIWindow::RequestClose(sheet), 0);
        EXPECT_EQ(Harness::LiveMenuCount(), menus);
    }
    owner->Destroy();
}

// A window whose client rectangle sits at a box; the frame of its window is 8 on the sides and
// the bottom and 31 at the top (the harness's default metrics).
class PlacementTest : public UIWindowSheetTest {
protected:
    void SetUp() override
    {
        UIWindowSheetTest::SetUp();
        window = MakeWindow({0, 0, 100, 100, false}, false);
        RECT insets = {0, 0, 0, 0};
        AdjustWindowRectEx(&insets, static_cast<DWORD>(GetWindowLongW(window->GetNativeHandle(), GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(window->GetNativeHandle(), GWL_EXSTYLE)));
        ASSERT_EQ(AsBox(insets), (Box2i{-8, -31, 8, 8, false}));
        ASSERT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 1920);
        ASSERT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), 1080);
    }
    void TearDown() override
    {
        window->Destroy();
        UIWindowSheetTest::TearDown();
    }

    CXUIWindow* window = nullptr;
};

TEST_F(PlacementTest, ConstrainToVirtualScreen)
{
    struct Case {
        const char* what;
        Box2i client;
        Box2i expected;
    };
    const Case cases[] = {
        {"on the screen", {100, 100, 300, 200, false}, {100, 100, 300, 200, false}},
        {"top below the bottom margin", {100, 1150, 300, 1250, false}, {100, 962, 300, 1062, false}},
        {"top on the bottom margin", {100, 1101, 300, 1201, false}, {100, 1101, 300, 1201, false}},
        {"top above the screen", {100, 10, 300, 110, false}, {100, 31, 300, 131, false}},
        {"taller than the screen, from below", {100, 1150, 300, 2350, false}, {100, 31, 300, 1231, false}},
        {"taller than the screen, from above", {100, -100, 300, 1100, false}, {100, 31, 300, 1231, false}},
        {"left beyond the right margin", {1950, 100, 2150, 200, false}, {1702, 100, 1902, 200, false}},
        {"left on the right margin", {1918, 100, 2118, 200, false}, {1918, 100, 2118, 200, false}},
        {"right before the left margin", {-300, 100, -100, 200, false}, {18, 100, 218, 200, false}},
        {"right on the left margin", {-198, 100, 2, 200, false}, {-198, 100, 2, 200, false}},
        {"wider than the screen", {-100, 100, 2100, 200, false}, {-100, 100, 2100, 200, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(window->ConstrainToVirtualScreen(c.client), c.expected);
    }
}

TEST_F(PlacementTest, CenterOverElement)
{
    struct Case {
        const char* what;
        Box2i parent;
        int32_t width;
        int32_t height;
        Box2i expected;
    };
    const Case cases[] = {
        {"even margins", {100, 100, 500, 400, false}, 200, 100, {200, 200, 400, 300, false}},
        // An odd margin is split evenly, so the width grows by the remainder.
        {"odd margin", {100, 100, 501, 400, false}, 200, 100, {200, 200, 401, 300, false}},
        // (100 - 151) / 2 truncates to -25: the sheet overhangs 25 on each side.
        {"narrower parent", {100, 100, 200, 200, false}, 151, 100, {75, 100, 225, 200, false}},
        {"lower parent", {100, 100, 300, 140, false}, 200, 101, {100, 70, 300, 170, false}},
        {"parent off the left edge", {-500, 100, -300, 300, false}, 100, 100, {18, 150, 118, 250, false}},
        {"parent below the screen", {100, 1200, 300, 1400, false}, 100, 100, {150, 962, 250, 1062, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* parent = new UIElement;
        parent->SetLayout(c.parent.left, c.parent.top, c.parent.right, c.parent.bottom, 0, 0);
        window->SetLayout(0, 0, c.width, c.height, 0, 0);
        window->CenterOverElement(parent);
        EXPECT_EQ(window->GetFrame(), c.expected);
        EXPECT_EQ(AsBox(ClientOnScreen(window->GetNativeHandle())), c.expected);
        parent->Destroy();
    }
    window->CenterOverElement(nullptr);
    EXPECT_EQ(window->GetFrame(), cases[std::size(cases) - 1].expected);
}

} // namespace
} // namespace toolkittest

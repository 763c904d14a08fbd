#include "toolkit/CXUIWindow.h"

#include "ToolkitWindowTesting.h"
#include "datanode/CXApplicationSettings.h"
#include "datanode/DNMemoryValue.h"
#include "datanode/DNRawData.h"

#include <functional>

namespace toolkittest {
namespace {

class CXUIWindowListTest : public WindowElementTest {
protected:
    // Takes a pending WM_QUIT; true when there was one.
    static bool TakeQuit()
    {
        MSG message = {};
        return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && message.message == WM_QUIT;
    }
    static bool Enabled(CXUIWindow* window) { return IsWindowEnabled(window->GetNativeHandle()) != FALSE; }
};

TEST_F(CXUIWindowListTest, QuitRuleSequences)
{
    struct Step {
        const char* what;
        std::function<void()> act;
        bool posted; // a WM_QUIT was posted by the step
    };
    CXUIWindow* a = nullptr;
    CXUIWindow* b = nullptr;
    CXUIWindow* c = nullptr;
    const std::vector<std::vector<Step>> sequences = {
        {
            {"show a", [&] { a = MakeWindow(); }, false},
            {"show b", [&] { b = MakeWindow(); }, false},
            {"hide a while b is visible", [&] { a->SetVisible(false); }, false},
            {"hide b, the last visible window", [&] { b->SetVisible(false); }, true},
            {"destroy hidden b: quits again", [&] { b->Destroy(); }, true},
            {"create hidden c", [&] { c = MakeWindow({0, 0, 100, 100, false}, false); }, false},
            {"hide c again", [&] { c->SetVisible(false); }, false},
            {"destroy c", [&] { c->Destroy(); }, true},
            {"close a", [&] { EXPECT_EQ(CXUIWindow::RequestClose(a), 0); }, true},
        },
        {
            {"start-up: hidden a", [&] { a = MakeWindow({0, 0, 100, 100, false}, false); }, false},
            {"hidden b", [&] { b = MakeWindow({0, 0, 100, 100, false}, false); }, false},
            {"parking window", [&] { CXUIWindow::EnsureParkingWindow(); }, false},
            {"destroy hidden a before anything was shown", [&] { a->Destroy(); }, false},
            {"show b", [&] { b->SetVisible(true); }, false},
            {"the user closes b", [&] { SendMessageW(b->GetNativeHandle(), WM_CLOSE, 0, 0); }, true},
        },
    };
    for (const auto& sequence : sequences) {
        CXUIWindow::ResetProcessStateForTesting();
        bool quitExpected = false;
        for (const Step& step : sequence) {
            SCOPED_TRACE(step.what);
            step.act();
            EXPECT_EQ(TakeQuit(), step.posted);
            quitExpected = quitExpected || step.posted;
            EXPECT_EQ(CXUIWindow::IsQuitRequested(), quitExpected);
        }
        EXPECT_EQ(CXUIWindow::GetFrontWindow(true), nullptr);
        CXUIWindow::DestroyParkingWindow();
    }
}

TEST_F(CXUIWindowListTest, FrontWindowSkipsTheParkingWindowAndHiddenOnes)
{
    EXPECT_EQ(CXUIWindow::GetFrontWindow(true), nullptr);
    auto* shown = MakeWindow();
    auto* hidden = MakeWindow({0, 0, 50, 50, false}, false);
    CXUIWindow::EnsureParkingWindow();
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), shown);
    EXPECT_EQ(CXUIWindow::GetFrontWindow(true), hidden);

    // Activation moves a window to the head.
    auto* other = MakeWindow();
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), other);
    shown->BringToFront();
    EXPECT_EQ(CXUIWindow::GetFrontWindow(true), shown);

    // A minimised window brought to the front is restored and activated.
    ShowWindow(shown->GetNativeHandle(), SW_MINIMIZE);
    SetActiveWindow(other->GetNativeHandle());
    shown->BringToFront();
    EXPECT_FALSE(IsIconic(shown->GetNativeHandle()));
    EXPECT_EQ(GetActiveWindow(), shown->GetNativeHandle());
    EXPECT_TRUE(shown->IsAppearingActive());

    for (CXUIWindow* window : {shown, hidden, other})
        window->Destroy();
}

TEST_F(CXUIWindowListTest, CloseFrontWindow)
{
    EXPECT_FALSE(CXUIWindow::CloseFrontWindow());
    auto* back = MakeWindow();
    auto* front = MakeWindow();
    int closes = 0;
    front->AddMessageHandler([&](const CXMessage& message) {
        closes += message.GetName() == "Close" ? 1 : 0;
        return kCXNotSupported;
    });
    front->SetClosable(false);
    EXPECT_FALSE(CXUIWindow::CloseFrontWindow());
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(front->IsVisible());

    front->SetClosable(true);
    HWND frontHandle = front->GetNativeHandle();
    EXPECT_TRUE(CXUIWindow::CloseFrontWindow());
    EXPECT_FALSE(IsWindow(frontHandle));
    EXPECT_EQ(CXUIWindow::GetFrontWindow(false), back);
    EXPECT_FALSE(CXUIWindow::IsQuitRequested());
    back->Destroy();
}

TEST_F(CXUIWindowListTest, ModalWindowsCountTheirDisables)
{
    // Two modal windows over a plain one, closed in either order.
    for (bool firstModalClosesFirst : {true, false}) {
        SCOPED_TRACE(firstModalClosesFirst ? "first modal closes first" : "second modal closes first");
        auto* plain = MakeWindow();
        auto* holder = new UIElement;
        auto* sheet = new CXUIWindow; // has a parent element: left alone
        holder->AddChild(sheet, nullptr);
        sheet->Init();
        auto* first = MakeWindow();
        auto* second = MakeWindow();
        first->SetModal(true);
        second->SetModal(true);
        EXPECT_EQ(plain->GetModalDisableCount(), 2);
        EXPECT_EQ(first->GetModalDisableCount(), 1);
        EXPECT_EQ(second->GetModalDisableCount(), 1);
        EXPECT_EQ(sheet->GetModalDisableCount(), 0);
        EXPECT_FALSE(Enabled(plain));
        EXPECT_TRUE(Enabled(sheet));

        CXUIWindow* closing = firstModalClosesFirst ? first : second;
        CXUIWindow* remaining = firstModalClosesFirst ? second : first;
        closing->SetVisible(false); // hiding ends the modal state
        EXPECT_FALSE(closing->IsModal());
        EXPECT_FALSE(Enabled(plain));
        EXPECT_TRUE(Enabled(remaining));
        closing->Destroy();
        remaining->Destroy(); // destroyed while still modal and shown
        EXPECT_EQ(plain->GetModalDisableCount(), 0);
        EXPECT_TRUE(Enabled(plain));
        plain->Destroy();
        holder->Destroy();
    }
}

TEST_F(CXUIWindowListTest, ModalEndKeepsAWindowsOwnDisable)
{
    auto* disabled = MakeWindow();
    auto* plain = MakeWindow();
    disabled->SetEnabled(false);
    auto* modal = MakeWindow();
    modal->SetModal(true);
    // Enabling meanwhile takes effect only once no modal window holds it.
    plain->SetEnabled(false);
    plain->SetEnabled(true);
    EXPECT_FALSE(Enabled(plain));
    modal->SetModal(false);
    EXPECT_FALSE(Enabled(disabled));
    EXPECT_TRUE(Enabled(plain));

    // A window created while a modal window holds the others.
    modal->SetModal(true);
    auto* late = new CXUIWindow;
    late->Init();
    EXPECT_TRUE(Enabled(late)); // not among the windows the modal window disabled
    modal->SetModal(false);
    EXPECT_TRUE(Enabled(late));

    // A modal window that never got a native window, deleted: the others are enabled again.
    auto* unshown = new CXUIWindow;
    unshown->SetModal(true);
    EXPECT_FALSE(Enabled(plain));
    unshown->Destroy();
    EXPECT_TRUE(Enabled(plain));
    EXPECT_FALSE(Enabled(disabled));

    for (CXUIWindow* window : {disabled, plain, modal, late})
        window->Destroy();
}

// A custom-drawn control with a window of its own, holding windowless children.
class CustomHost : public TestControl, public UICustomControlBase {
public:
    CustomHost() : TestControl("host") {}
};

TEST_F(CXUIWindowListTest, FocusedElementOfAWindow)
{
    EXPECT_EQ(CXUIWindow::GetParkingWindowHandle(), nullptr);
    auto* window = MakeWindow();
    auto* other = MakeWindow();
    auto* plain = new TestControl("plain");
    plain->Init();
    // The first control made the parking window, hidden, holding controls not yet placed.
    ASSERT_NE(CXUIWindow::GetParkingWindowHandle(), nullptr);
    EXPECT_FALSE(IsWindowVisible(CXUIWindow::GetParkingWindowHandle()));
    EXPECT_EQ(GetParent(plain->GetNativeHandle()), CXUIWindow::GetParkingWindowHandle());
    window->AddChild(plain, nullptr);
    auto* host = new CustomHost;
    host->Init();
    window->AddChild(host, nullptr);
    auto* inner = new Windowless("inner", nullptr, {0, 0, 10, 10, false});
    auto* innermost = new Windowless("innermost", nullptr, {0, 0, 5, 5, false});
    host->AddChild(inner, nullptr);
    inner->AddChild(innermost, nullptr);

    SetFocus(plain->GetNativeHandle());
    EXPECT_EQ(CXUIWindow::GetFocusedElement(window), plain);
    EXPECT_EQ(CXUIWindow::GetFocusedElement(other), nullptr);
    EXPECT_EQ(CXUIWindow::GetContainingWindow(plain), window);
    EXPECT_EQ(CXUIWindow::GetContainingWindow(innermost), window);
    EXPECT_EQ(CXUIWindow::GetContainingWindow(window), nullptr);

    SetFocus(host->GetNativeHandle());
    EXPECT_EQ(CXUIWindow::GetFocusedElement(window), host);
    host->focusedChild = inner;
    inner->focusedChild = innermost;
    EXPECT_EQ(CXUIWindow::GetFocusedElement(window), innermost);

    // A control parked again goes back under the parking window.
    plain->ParkNativeWindow();
    EXPECT_EQ(GetParent(plain->GetNativeHandle()), CXUIWindow::GetParkingWindowHandle());
    window->Destroy();
    other->Destroy();
}

TEST_F(CXUIWindowListTest, PlacementRecordIsSavedWhenTheWindowGoes)
{
    DNValueRef root;
    root.Swallow(new DNMemoryValue);
    CXAutoReference<CXApplicationSettings> settings;
    settings.Swallow(new CXApplicationSettings(CXString(), root));
    auto* window = MakeWindow({300, 200, 700, 500, false});
    window->SetPlacementStore(settings.get(), "main-window");
    window->Destroy();

    DNIteratorRef entry = root->Find(DNRawData("main-window"));
    ASSERT_FALSE(entry->AtEnd());
    DNValueRef record = entry->GetValue();
    EXPECT_EQ(record->Find(DNRawData("version"))->GetValue()->GetInt(), 0);
    DNRawData bounds = record->Find(DNRawData("bounds"))->GetValue()->GetData();
    EXPECT_EQ(bounds.GetType(), kDNTypeBox2i);
    ASSERT_EQ(bounds.GetSize(), 16u);
    const int32_t expected[4] = {300, 200, 700, 500};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(DNReadInt32(bounds.GetBytes() + 4 * i), expected[i]) << i;
    EXPECT_TRUE(record->Find(DNRawData("is-maximised"))->AtEnd());
}

} // namespace
} // namespace toolkittest

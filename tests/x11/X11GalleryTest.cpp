// The gallery on a real X server (run under xvfb-run): what the user sees is what the layer drew,
// and the user's input, the window manager's requests and another program's clipboard reach the
// layer. Input comes from a second X client through XTEST; every wait is a pump of the main loop
// with a deadline. Without a display every case skips, saying why.

#include "Gallery.h"
#include "X11Snap.h"
#include "X11TestClient.h"

#include "foundation/CXMessage.h"
#include "toolkit/TextPromptSheet.h"
#include "toolkit/UIButton.h"
#include "toolkit/UIEditTextControl.h"
#include "toolkit/UIMessageLoop.h"
#include "toolkit/UIRazaStaticText.h"
#include "toolkit/UITextView.h"
#include "win32/backend/x11/X11Backend.h"
#include "win32/gdi/GdiSurface.h"
#include "win32/testing/Pixels.h"
#include "win32/user/Menu.h"
#include "win32/user/Paint.h"
#include "win32/user/User.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace win32;
using Clock = std::chrono::steady_clock;

constexpr int kLeft = 40;
constexpr int kTop = 40;
const char kTitle[] = "UI gallery";

class Recorder : public MessageSpy {
public:
    void OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int) override
    {
        MSG entry = {};
        entry.hwnd = hwnd;
        entry.message = message;
        entry.wParam = wParam;
        entry.lParam = lParam;
        entries.push_back(entry);
    }
    bool Saw(const std::function<bool(const MSG&)>& match) const
    {
        return std::any_of(entries.begin(), entries.end(), match);
    }
    int Count(UINT message, HWND hwnd = nullptr) const
    {
        return static_cast<int>(std::count_if(entries.begin(), entries.end(), [&](const MSG& entry) {
            return entry.message == message && (hwnd == nullptr || entry.hwnd == hwnd);
        }));
    }

    std::vector<MSG> entries;
};

int Channel(uint32_t pixel, int shift)
{
    return static_cast<int>((pixel >> shift) & 0xFF);
}

bool Near(uint32_t pixel, int red, int green, int blue)
{
    return std::abs(Channel(pixel, 16) - red) <= 8 && std::abs(Channel(pixel, 8) - green) <= 8 &&
           std::abs(Channel(pixel, 0) - blue) <= 8;
}

class X11GalleryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { x11test::PrepareThreads(); }

    void SetUp() override
    {
        std::string problem;
        backend = x11::OpenBackend(&problem);
        if (backend == nullptr)
            GTEST_SKIP() << "no X display: " << problem;
        ASSERT_TRUE(client.IsOpen());
        // The pointer rests off the window, so nothing hovers while pictures are compared.
        client.MoveTo(5, 5);
        ASSERT_TRUE(gallery::StartLayer(backend.get()));
        started = true;
        SetMessageSpyForTesting(&spy);
        view = std::make_unique<gallery::Gallery>(kLeft, kTop);
        view->SetKeepOpenOnClose(true);
        view->StopAnimations();
        ASSERT_TRUE(PumpUntil([&] {
            window = client.FindWindow(kTitle);
            return window != 0;
        })) << "the gallery's window never became viewable";
    }

    void TearDown() override
    {
        view.reset();
        SetMessageSpyForTesting(nullptr);
        if (started)
            gallery::StopLayer();
        backend.reset();
    }

    // Turns of the main loop until done() holds; false when the deadline passed first. A turn
    // takes at most the loop's 16 ms timer.
    bool PumpUntil(const std::function<bool()>& done, int milliseconds = 3000)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        while (!done()) {
            if (Clock::now() > deadline)
                return false;
            if (!loop.Turn())
                return done();
        }
        return true;
    }

    HWND Handle() const { return view->GetHandle(); }

    // The element's centre on the screen (the layer's screen is the X root window).
    POINT ScreenCenter(UIElement* element) const
    {
        Box2i box = element->ConvertBoxToAncestor(element->GetBounds(), view->GetWindow());
        POINT point = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
        ClientToScreen(Handle(), &point);
        return point;
    }
    // A client point in window coordinates (the back buffer's and the X window's).
    POINT InWindow(POINT client) const
    {
        ClientToScreen(Handle(), &client);
        RECT rect = {};
        GetWindowRect(Handle(), &rect);
        return {client.x - rect.left, client.y - rect.top};
    }

    // The X window's picture compared with the back buffer, pixel for pixel; an empty answer when
    // they are equal, else what differs.
    std::string Compare(x11snap::Image* image)
    {
        std::string problem;
        if (!x11snap::Capture("", window, image, &problem))
            return problem;
        RECT rect = {};
        GetWindowRect(Handle(), &rect);
        if (image->width != rect.right - rect.left || image->height != rect.bottom - rect.top)
            return "the X window is " + std::to_string(image->width) + "x" + std::to_string(image->height);
        // The back buffer through a window DC, copied once (Pixel copies the whole target per call).
        HDC dc = GetWindowDC(Handle());
        gdi::PixelCopy buffer;
        const bool copied = gdi::CopyPixels(dc, &buffer);
        const uint64_t corner = win32::testing::Pixel(dc, 0, 0);
        ReleaseDC(Handle(), dc);
        if (!copied)
            return "the window DC has no pixels";
        if (corner == win32::testing::kNoPixel || (corner & 0xFFFFFF) != image->At(0, 0))
            return "the top-left pixel differs";
        std::string difference;
        for (int y = 0; y < image->height && difference.empty(); ++y) {
            for (int x = 0; x < image->width; ++x) {
                const int bx = x + buffer.origin.x;
                const int by = y + buffer.origin.y;
                const bool inside = bx >= 0 && by >= 0 && bx < buffer.width && by < buffer.height;
                if (!inside || (buffer.pixels[static_cast<size_t>(by) * static_cast<size_t>(buffer.width) + static_cast<size_t>(bx)] &
                                0xFFFFFF) != image->At(x, y)) {
                    difference = "pixel " + std::to_string(x) + "," + std::to_string(y) + " differs";
                    break;
                }
            }
        }
        return difference;
    }
    // Pumps until the picture equals the back buffer (presents may still be on their way).
    ::testing::AssertionResult PumpUntilPictureMatches(x11snap::Image* image, int milliseconds = 3000)
    {
        std::string difference;
        UpdateWindow(Handle());
        if (PumpUntil([&] { return (difference = Compare(image)).empty(); }, milliseconds))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << difference;
    }
    static std::string PictureName(const char* stem)
    {
        const char* noShm = std::getenv("CX_X11_NO_SHM");
        return std::string(stem) + (noShm != nullptr && std::string(noShm) == "1" ? "-noshm" : "") + ".png";
    }

    std::unique_ptr<Backend> backend;
    bool started = false;
    x11test::Client client;
    Recorder spy;
    std::unique_ptr<gallery::Gallery> view;
    UIMessageLoop loop;
    uint64_t window = 0;
};

TEST_F(X11GalleryTest, TheWindowAppearsAtItsSizeAndShowsTheBackBuffer)
{
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(client.Geometry(window, &x, &y, &width, &height));
    RECT rect = {};
    GetWindowRect(Handle(), &rect);
    RECT clientRect = {};
    GetClientRect(Handle(), &clientRect);
    EXPECT_EQ(clientRect.right, gallery::Gallery::kClientWidth);
    EXPECT_EQ(clientRect.bottom, gallery::Gallery::kClientHeight);
    EXPECT_EQ(width, rect.right - rect.left);
    EXPECT_EQ(height, rect.bottom - rect.top);
    EXPECT_EQ(x, rect.left);
    EXPECT_EQ(y, rect.top);

    x11snap::Image image;
    ASSERT_TRUE(PumpUntilPictureMatches(&image));
    std::string problem;
    EXPECT_TRUE(x11snap::WritePng(image, PictureName("x11-gallery"), &problem)) << problem;

    // The window's face (an empty spot right of the buttons), a push button's face inside its
    // edge, and the ink of the title label's text.
    const POINT face = InWindow({700, 52});
    EXPECT_TRUE(Near(image.At(face.x, face.y), 239, 239, 239)) << std::hex << image.At(face.x, face.y);
    const POINT buttonCorner = InWindow({view->GetPushButton()->GetFrame().left + 4, view->GetPushButton()->GetFrame().top + 4});
    EXPECT_TRUE(Near(image.At(buttonCorner.x, buttonCorner.y), 240, 240, 240)) << std::hex << image.At(buttonCorner.x, buttonCorner.y);
    const Box2i label = view->GetTitleLabel()->GetFrame();
    int darkest = 255;
    for (int ly = label.top; ly < label.bottom; ++ly) {
        for (int lx = label.left; lx < label.right; ++lx) {
            const POINT at = InWindow({lx, ly});
            darkest = std::min(darkest, Channel(image.At(at.x, at.y), 8));
        }
    }
    EXPECT_LT(darkest, 239 - 64);
}

TEST_F(X11GalleryTest, AClickOnAButtonIsBNClicked)
{
    const POINT center = ScreenCenter(view->GetPushButton());
    client.Click(center.x, center.y);
    HWND button = view->GetPushButton()->GetNativeHandle();
    EXPECT_TRUE(PumpUntil([&] {
        return spy.Saw([&](const MSG& m) {
            return m.message == WM_COMMAND && HIWORD(m.wParam) == BN_CLICKED && reinterpret_cast<HWND>(m.lParam) == button;
        });
    }));
    EXPECT_TRUE(PumpUntil([&] { return view->GetPushCount() == 1; }));
}

TEST_F(X11GalleryTest, KeysTypeAndTabMovesTheFocusBothWays)
{
    const POINT field = ScreenCenter(view->GetTextField());
    client.Click(field.x, field.y);
    HWND fieldHandle = view->GetTextField()->GetNativeHandle();
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == fieldHandle; }));
    client.Tap("a");
    EXPECT_TRUE(PumpUntil([&] {
        return spy.Saw([&](const MSG& m) { return m.message == WM_CHAR && m.wParam == 'a' && m.hwnd == fieldHandle; });
    }));

    client.Tap("Tab");
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() != fieldHandle && GetFocus() != nullptr; }));
    const HWND next = GetFocus();
    client.Tap("Tab", {"Shift_L"});
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == fieldHandle; })) << "Shift+Tab did not go back from " << next;
}

TEST_F(X11GalleryTest, TheWheelScrollsTheTextView)
{
    const POINT center = ScreenCenter(view->GetTextView());
    client.MoveTo(center.x, center.y);
    client.Button(5, true);
    client.Button(5, false);
    EXPECT_TRUE(PumpUntil([&] { return view->GetTextView()->GetVerticalAxis().GetPosition() > 0; }));
}

TEST_F(X11GalleryTest, TheWindowManagersCloseIsWMCloseButNotUnderAPromptSheet)
{
    client.SendDeleteWindow(window);
    EXPECT_TRUE(PumpUntil([&] { return spy.Count(WM_CLOSE, Handle()) == 1; }));
    EXPECT_EQ(view->GetCloseRequests(), 1);

    view->ShowPrompt();
    TextPromptSheet* prompt = view->GetPrompt();
    ASSERT_NE(prompt, nullptr);
    HWND field = prompt->GetTextField()->GetNativeHandle();
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == field; }));
    // The typed key comes after the close request, so once it has arrived the request has too.
    client.SendDeleteWindow(window);
    client.Tap("x");
    ASSERT_TRUE(PumpUntil([&] {
        return spy.Saw([&](const MSG& m) { return m.message == WM_CHAR && m.wParam == 'x' && m.hwnd == field; });
    }));
    EXPECT_EQ(spy.Count(WM_CLOSE, Handle()), 1);
    EXPECT_EQ(view->GetCloseRequests(), 1);
}

// The menu loop runs its own loop inside the click's turn: a thread timer looks from inside it.
struct MenuWatch {
    x11test::Client* client = nullptr;
    Recorder* spy = nullptr;
    Clock::time_point opened{};
    Clock::time_point started{};
    bool sawOpen = false;
    bool stillOpen = false;
    bool escaped = false;
};
MenuWatch gWatch;

void WatchMenu(HWND, UINT, UINT_PTR, DWORD)
{
    MenuWatch& watch = gWatch;
    const auto now = Clock::now();
    if (!watch.sawOpen && watch.spy->Count(WM_ENTERMENULOOP) > 0) {
        watch.sawOpen = true;
        watch.opened = now;
    }
    const bool closed = watch.spy->Count(WM_EXITMENULOOP) > 0;
    if (watch.sawOpen && !closed && !watch.escaped && now - watch.opened > std::chrono::milliseconds(300)) {
        watch.stillOpen = true;
        watch.escaped = true;
        watch.client->Tap("Escape");
    }
    // Whatever happened, the menu is not left open for ever.
    if (!closed && now - watch.started > std::chrono::seconds(4)) {
        watch.client->Tap("Escape");
        watch.client->Click(2, 2);
    }
}

TEST_F(X11GalleryTest, AMenuOpenedByAClickStaysOpen)
{
    MENUBARINFO bar = {};
    bar.cbSize = sizeof(bar);
    ASSERT_TRUE(GetMenuBarInfo(Handle(), OBJID_MENU, 0, &bar));
    gWatch = MenuWatch{};
    gWatch.client = &client;
    gWatch.spy = &spy;
    gWatch.started = Clock::now();
    const UINT_PTR timer = SetTimer(Handle(), 0x5747, 20, &WatchMenu);
    ASSERT_NE(timer, 0u);
    client.Click(bar.rcBar.left + 12, (bar.rcBar.top + bar.rcBar.bottom) / 2);
    EXPECT_TRUE(PumpUntil([&] { return spy.Count(WM_EXITMENULOOP) > 0; }, 6000));
    KillTimer(Handle(), timer);
    EXPECT_TRUE(gWatch.sawOpen);
    EXPECT_TRUE(gWatch.stillOpen) << "the menu closed by itself";
}

TEST_F(X11GalleryTest, AResizeLeavesNoStalePixels)
{
    x11snap::Image image;
    ASSERT_TRUE(PumpUntilPictureMatches(&image));
    for (const std::pair<int, int>& size : {std::pair{900, 700}, std::pair{600, 450}}) {
        const int width = size.first;
        const int height = size.second;
        client.Resize(window, width, height);
        ASSERT_TRUE(PumpUntil([&] {
            RECT rect = {};
            GetWindowRect(Handle(), &rect);
            return rect.right - rect.left == width && rect.bottom - rect.top == height;
        })) << width << "x" << height;
        EXPECT_TRUE(PumpUntilPictureMatches(&image)) << width << "x" << height;
    }
}

TEST_F(X11GalleryTest, AnExposeIsPresentedAgainWithoutPainting)
{
    x11snap::Image image;
    ASSERT_TRUE(PumpUntilPictureMatches(&image));
    // The start's last repaints (activation, focus) are over once 200 ms pass without one.
    auto quietSince = Clock::now();
    int paints = 0;
    ASSERT_TRUE(PumpUntil([&] {
        if (spy.Count(WM_PAINT) != paints) {
            paints = spy.Count(WM_PAINT);
            quietSince = Clock::now();
        }
        return Clock::now() - quietSince > std::chrono::milliseconds(200);
    }));
    ASSERT_TRUE(PumpUntilPictureMatches(&image));
    spy.entries.clear();
    RECT rect = {};
    GetWindowRect(Handle(), &rect);
    const uint64_t cover = client.Cover(rect.left + 50, rect.top + 30, 300, 200);
    // The cover shows in the window's place now.
    x11snap::Image covered;
    EXPECT_FALSE(Compare(&covered).empty());
    client.Uncover(cover);
    EXPECT_TRUE(PumpUntilPictureMatches(&image));
    EXPECT_EQ(spy.Count(WM_PAINT), 0);
}

TEST_F(X11GalleryTest, TheClipboardIsSharedWithAnotherProgram)
{
    x11test::ClipboardPeer peer;
    ASSERT_TRUE(peer.IsOpen());
    UIEditTextControl* field = view->GetTextField();
    // The program's copy is read by the other program.
    field->SetSelection(0, 1000);
    ASSERT_EQ(field->HandleMessage(CXMessage("edit-copy", nullptr)), kCXOK);
    peer.Request();
    ASSERT_TRUE(PumpUntil([&] { return peer.Done(); }));
    EXPECT_FALSE(peer.Failed());
    EXPECT_EQ(peer.Text(), "A text field");

    // The other program's text is pasted into the field.
    peer.Own("from the other program \xC3\xA9");
    ASSERT_TRUE(PumpUntil([&] { return peer.Done(); }));
    field->SetSelection(0, 1000);
    ASSERT_EQ(field->HandleMessage(CXMessage("edit-paste", nullptr)), kCXOK);
    EXPECT_STREQ(field->GetText().c_str(), "from the other program \xC3\xA9");
}

} // namespace

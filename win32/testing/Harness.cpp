#include "win32/testing/Harness.h"

#include "foundation/CXDebug.h"
#include "foundation/CXMessagePost.h"
#include "foundation/CXTime.h"
#include "foundation/CXTimer.h"
#include "win32/controls/Controls.h"
#include "win32/core/Core.h"
#include "win32/core/Handles.h"
#include "win32/gdi/FontEngine.h"
#include "win32/user/Paint.h"

#include <algorithm>
#include <atomic>

namespace win32::testing {

namespace {

// The fake monotonic clock in nanoseconds, and the wall-clock file time at its start.
constexpr int64_t kStartNanoseconds = 1000LL * 1000000000LL;
constexpr uint64_t kStartFileTime = 134116992000000000ULL;
std::atomic<int64_t> gNanoseconds{kStartNanoseconds};
std::atomic<bool> gDisplayMetrics{false};

int64_t FakeMonotonic()
{
    return gNanoseconds.load();
}

uint64_t FakeFileTime()
{
    return kStartFileTime + static_cast<uint64_t>((gNanoseconds.load() - kStartNanoseconds) / 100);
}

} // namespace

void MessageLog::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int depth)
{
    fEntries.push_back({hwnd, message, wParam, lParam, depth});
}

std::vector<MessageLog::Entry> MessageLog::Only(const std::vector<UINT>& messages) const
{
    std::vector<Entry> result;
    for (const Entry& entry : fEntries) {
        if (messages.empty() || std::find(messages.begin(), messages.end(), entry.message) != messages.end())
            result.push_back(entry);
    }
    return result;
}

void TextLog::OnText(const DrawnText& drawn)
{
    DrawnText entry = drawn;
    entry.window = WindowFromDC(drawn.hdc);
    CXMutexLocker locker(&fLock);
    fEntries.push_back(entry);
}

std::vector<DrawnText> TextLog::Entries() const
{
    CXMutexLocker locker(&fLock);
    return fEntries;
}

std::vector<std::u16string> TextLog::Strings() const
{
    CXMutexLocker locker(&fLock);
    std::vector<std::u16string> strings;
    for (const DrawnText& entry : fEntries)
        strings.push_back(entry.text);
    return strings;
}

void TextLog::Clear()
{
    CXMutexLocker locker(&fLock);
    fEntries.clear();
}

Harness::Harness() : Harness(nullptr) {}

Harness::Harness(headless::HeadlessBackend* backend) : fActive(backend != nullptr ? backend : &fBackend)
{
    gNanoseconds.store(kStartNanoseconds);
    SetClockForTesting(&FakeMonotonic);
    CXMessagePost::SetClockForTesting(&FakeMonotonic);
    CXTimerManager::SetClockForTesting(&FakeMonotonic);
    CXTime::SetFileTimeClockForTesting(&FakeFileTime);
    CXTime::SetPerformanceCounterForTesting(&FakeMonotonic, 1000000000);
    if (gDisplayMetrics.load()) {
        const Metrics defaults = headless::HeadlessBackend::DefaultMetrics();
        fActive->MutableMetrics() = headless::HeadlessBackend::DisplayMetrics(defaults.screenWidth, defaults.screenHeight);
    }
    controls::RegisterControlClasses();
    if (!Initialize(fActive, Options{}))
        CXDebugError("Harness> the layer was already initialised");
    SetMessageSpyForTesting(&fSpy);
    SetTextSpyForTesting(&fTexts);
    fActive->SetWaitHandler([this](int64_t deadline) { OnWait(deadline); });
}

Harness::~Harness()
{
    SetMessageSpyForTesting(nullptr);
    SetTextSpyForTesting(nullptr);
    Shutdown();
    ResetQueueForTesting();
    SetClockForTesting(nullptr);
    CXMessagePost::SetClockForTesting(nullptr);
    CXTimerManager::SetClockForTesting(nullptr);
    CXTime::SetFileTimeClockForTesting(nullptr);
    CXTime::SetPerformanceCounterForTesting(nullptr, 0);
}

void Harness::UseTestFaceAndDisplayMetrics(bool on)
{
    gdi::SetEveryFaceTestBox(on);
    gDisplayMetrics.store(on);
}

HINSTANCE Harness::Instance() const
{
    return GetModuleHandleW(nullptr);
}

void Harness::Advance(int64_t milliseconds)
{
    if (milliseconds > 0)
        gNanoseconds.fetch_add(milliseconds * 1000000);
}

int64_t Harness::NowMilliseconds() const
{
    return gNanoseconds.load() / 1000000;
}

void Harness::OnWait(int64_t deadline)
{
    if (!fSteps.empty()) {
        std::function<void()> step = std::move(fSteps.front());
        fSteps.pop_front();
        step();
        return;
    }
    if (deadline != INT64_MAX) {
        int64_t now = gNanoseconds.load();
        if (deadline > now)
            gNanoseconds.store(deadline);
        return;
    }
    fDeadlocked = true;
    CXDebugLog("Harness> deadlock: the message loop waits with no script step and no timer");
    PostQuitMessage(0);
}

size_t Harness::LiveMenuCount()
{
    return core::Handles().Count(core::HandleKind::Menu);
}

void Harness::AddStep(std::function<void()> step)
{
    fSteps.push_back(std::move(step));
}

namespace {

void Push(InputEvent::Kind kind, POINT point, UINT key = 0, int delta = 0, bool repeat = false,
          const std::u16string& text = u"")
{
    InputEvent event;
    event.kind = kind;
    event.point = point;
    event.key = key;
    event.delta = delta;
    event.repeat = repeat;
    event.text = text;
    core::PushInput(event);
}

POINT OnScreen(HWND hwnd, POINT client)
{
    ClientToScreen(hwnd, &client);
    return client;
}

// The virtual key that types a unit, 0 for none of its own.
UINT KeyOf(char16_t unit)
{
    if (unit >= u'a' && unit <= u'z')
        return static_cast<UINT>(unit - u'a' + 'A');
    if ((unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9'))
        return static_cast<UINT>(unit);
    if (unit == u' ')
        return VK_SPACE;
    return 0xE5; // the key of text that no key of its own types
}

} // namespace

void Harness::MoveTo(POINT screen)
{
    Push(InputEvent::Kind::MouseMove, screen);
}

void Harness::MoveTo(HWND hwnd, POINT client)
{
    MoveTo(OnScreen(hwnd, client));
}

void Harness::Press(POINT screen, UINT button)
{
    Push(InputEvent::Kind::ButtonDown, screen, button);
}

void Harness::Release(POINT screen, UINT button)
{
    Push(InputEvent::Kind::ButtonUp, screen, button);
}

void Harness::Click(POINT screen, UINT button)
{
    MoveTo(screen);
    Press(screen, button);
    Release(screen, button);
}

void Harness::Click(HWND hwnd, POINT client, UINT button)
{
    Click(OnScreen(hwnd, client), button);
}

void Harness::DoubleClick(HWND hwnd, POINT client)
{
    POINT screen = OnScreen(hwnd, client);
    Click(screen);
    Press(screen);
    Release(screen);
}

void Harness::Wheel(POINT screen, int notches, bool horizontal)
{
    WheelDelta(screen, notches * WHEEL_DELTA, horizontal);
}

void Harness::WheelDelta(POINT screen, int delta, bool horizontal)
{
    Push(horizontal ? InputEvent::Kind::HorizontalWheel : InputEvent::Kind::Wheel, screen, 0, delta);
}

void Harness::KeyDown(UINT key, const std::u16string& text, bool repeat)
{
    Push(InputEvent::Kind::KeyDown, {0, 0}, key, 0, repeat, text);
}

void Harness::KeyUp(UINT key)
{
    Push(InputEvent::Kind::KeyUp, {0, 0}, key);
}

void Harness::Type(const std::u16string& text)
{
    for (char16_t unit : text) {
        UINT key = KeyOf(unit);
        KeyDown(key, std::u16string(1, unit));
        KeyUp(key);
    }
}

void Harness::Chord(const std::vector<UINT>& modifiers, UINT key)
{
    for (UINT modifier : modifiers)
        KeyDown(modifier);
    KeyDown(key);
    KeyUp(key);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        KeyUp(*it);
}

bool Harness::PumpUntilIdle()
{
    for (int step = 0; step < 10000; ++step) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            return true;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CXDebugLog("Harness> PumpUntilIdle: the queue did not empty in 10000 messages");
    return false;
}

uint64_t ScreenPicture::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return kNoPixel;
    return pixels[static_cast<size_t>(y) * width + x];
}

void Harness::UserResize(HWND hwnd, int width, int height)
{
    ResizeByUser(hwnd, width, height);
}

namespace {

void PushWindowEvent(InputEvent::Kind kind, HWND hwnd, const RECT& rect = {0, 0, 0, 0})
{
    InputEvent event;
    event.kind = kind;
    event.window = hwnd;
    event.rect = rect;
    core::PushInput(event);
}

} // namespace

void Harness::RequestClose(HWND hwnd)
{
    PushWindowEvent(InputEvent::Kind::Close, hwnd);
}

void Harness::Configure(HWND hwnd, const RECT& windowRect)
{
    PushWindowEvent(InputEvent::Kind::Configure, hwnd, windowRect);
}

void Harness::ActivateBySystem(HWND hwnd)
{
    PushWindowEvent(InputEvent::Kind::Activate, hwnd);
}

void Harness::DeactivateBySystem(HWND hwnd)
{
    PushWindowEvent(InputEvent::Kind::Deactivate, hwnd);
}

void Harness::Expose(HWND hwnd, const RECT& lost)
{
    PushWindowEvent(InputEvent::Kind::Expose, hwnd, lost);
}

ScreenPicture Harness::ScreenImage() const
{
    const Metrics& metrics = fActive->GetMetrics();
    ScreenPicture screen;
    screen.width = metrics.screenWidth;
    screen.height = metrics.screenHeight;
    screen.pixels.assign(static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height), 0);
    if (fActive->TopLevels().empty())
        return screen;
    // Topmost first, then drawn bottom to top.
    std::vector<HWND> order;
    for (HWND hwnd = GetWindow(fActive->TopLevels().front(), GW_HWNDFIRST); hwnd != nullptr;
         hwnd = GetWindow(hwnd, GW_HWNDNEXT))
        order.push_back(hwnd);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const headless::HeadlessBackend::WindowImage* image = fActive->ImageOf(*it);
        RECT rect;
        if (image == nullptr || !IsWindowVisible(*it) || IsIconic(*it) || !GetWindowRect(*it, &rect))
            continue;
        for (int y = 0; y < image->height; ++y) {
            int sy = rect.top + y;
            if (sy < 0 || sy >= screen.height)
                continue;
            for (int x = 0; x < image->width; ++x) {
                int sx = rect.left + x;
                if (sx >= 0 && sx < screen.width)
                    screen.pixels[static_cast<size_t>(sy) * screen.width + sx] =
                        image->pixels[static_cast<size_t>(y) * image->width + x];
            }
        }
    }
    return screen;
}

uint64_t Harness::Pixel(POINT screen) const
{
    return ScreenImage().At(screen.x, screen.y);
}

} // namespace win32::testing

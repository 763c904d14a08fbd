#include "win32/backend/x11/X11Input.h"

#include "win32/api/Constants.h"

#include <gtest/gtest.h>

using namespace win32;
using namespace win32::x11;

namespace {

// Keysyms of the cases.
constexpr uint32_t kSpace = 0x20, kLetterA = 'a', kCapitalA = 'A', kOne = '1', kExclam = '!', kLess = '<',
                   kComma = ',';
constexpr uint32_t kTab = 0xff09, kLeftTab = 0xfe20, kReturn = 0xff0d, kKeypadEnter = 0xff8d, kBackSpace = 0xff08,
                   kEscape = 0xff1b, kDelete = 0xffff, kF5 = 0xffc2, kShiftL = 0xffe1, kShiftR = 0xffe2,
                   kControlR = 0xffe4, kAltL = 0xffe9, kKeypadEnd = 0xff9c, kKeypad1 = 0xffb1, kEAcute = 0xe9,
                   kHome = 0xff50, kEuro = 0x20ac, kCyrillicA = 0x6c1, kUnicodeSnowman = 0x01002603;

TEST(X11InputTest, KeysymsGiveSidedVirtualKeysAndTheTextWindowsTypes)
{
    struct Case {
        uint32_t keysym;
        uint32_t base;
        unsigned state;
        const std::string* method;
        UINT key;
        std::u16string text;
    };
    const std::string methodA = "a", methodShiftA = "A", methodE = "\xc3\xa9", methodDelete = "\x7f",
                      methodNothing = "", methodControlC = "\x03", methodCyrillic = "\xd0\xb0";
    const Case cases[] = {
        // Without an input method: the keysym tables.
        {kLetterA, kLetterA, 0, nullptr, 'A', u"a"},
        {kCapitalA, kLetterA, kShiftMask, nullptr, 'A', u"A"},
        {kExclam, kOne, kShiftMask, nullptr, '1', u"!"},
        {kLetterA, kLetterA, kControlMask, nullptr, 'A', u"\x01"},
        {kSpace, kSpace, 0, nullptr, VK_SPACE, u" "},
        {kComma, kComma, 0, nullptr, VK_OEM_COMMA, u","},
        {kLess, kComma, kShiftMask, nullptr, VK_OEM_COMMA, u"<"},
        {kTab, kTab, 0, nullptr, VK_TAB, u"\t"},
        {kLeftTab, kTab, kShiftMask, nullptr, VK_TAB, u"\t"},
        {kReturn, kReturn, 0, nullptr, VK_RETURN, u"\r"},
        {kKeypadEnter, kKeypadEnter, 0, nullptr, VK_RETURN, u"\r"},
        {kBackSpace, kBackSpace, 0, nullptr, VK_BACK, u"\b"},
        {kEscape, kEscape, 0, nullptr, VK_ESCAPE, u"\x1b"},
        {kDelete, kDelete, 0, nullptr, VK_DELETE, u""},
        {kF5, kF5, 0, nullptr, VK_F1 + 4, u""},
        {kHome, kHome, 0, nullptr, VK_HOME, u""},
        {kShiftL, kShiftL, 0, nullptr, VK_LSHIFT, u""},
        {kShiftR, kShiftR, 0, nullptr, VK_RSHIFT, u""},
        {kControlR, kControlR, 0, nullptr, VK_RCONTROL, u""},
        {kAltL, kAltL, 0, nullptr, VK_LMENU, u""},
        // The keypad follows Num Lock: the looked-up symbol, not the key's first.
        {kKeypad1, kKeypadEnd, 0, nullptr, VK_NUMPAD0 + 1, u"1"},
        {kKeypadEnd, kKeypadEnd, 0, nullptr, VK_END, u""},
        // Latin-1, the listed symbols and the Unicode block; a key of no virtual key of its own.
        {kEAcute, kEAcute, 0, nullptr, VK_PROCESSKEY, u"\u00e9"},
        {kEuro, kEuro, 0, nullptr, VK_PROCESSKEY, u"\u20ac"},
        {kUnicodeSnowman, kUnicodeSnowman, 0, nullptr, VK_PROCESSKEY, u"\u2603"},
        {kCyrillicA, kCyrillicA, 0, nullptr, 0, u""},
        // With an input method its text wins, except for the keys of fixed characters and Delete.
        {kLetterA, kLetterA, 0, &methodA, 'A', u"a"},
        {kCapitalA, kLetterA, kShiftMask, &methodShiftA, 'A', u"A"},
        {kEAcute, kEAcute, 0, &methodE, VK_PROCESSKEY, u"\u00e9"},
        {kCyrillicA, kCyrillicA, 0, &methodCyrillic, VK_PROCESSKEY, u"\u0430"},
        {kLetterA, kLetterA, kControlMask, &methodControlC, 'A', u"\x03"},
        {kLeftTab, kTab, kShiftMask, &methodNothing, VK_TAB, u"\t"},
        {kDelete, kDelete, 0, &methodDelete, VK_DELETE, u""},
        {kF5, kF5, 0, &methodNothing, VK_F1 + 4, u""},
    };
    for (const Case& c : cases) {
        KeyMeaning meaning = TranslateKey(c.keysym, c.base, c.state, c.method);
        SCOPED_TRACE(::testing::Message() << std::hex << "keysym 0x" << c.keysym << (c.method ? " with a method" : ""));
        EXPECT_EQ(meaning.key, c.key);
        EXPECT_EQ(meaning.text, c.text);
    }
}

KeyInput Key(bool press, unsigned keycode, uint64_t time, UINT key, std::u16string text = u"", unsigned state = 0)
{
    KeyInput input;
    input.press = press;
    input.keycode = keycode;
    input.time = time;
    input.state = state;
    input.meaning.key = key;
    input.meaning.text = std::move(text);
    return input;
}

struct Seen {
    InputEvent::Kind kind;
    UINT key;
    bool repeat;
};

std::vector<Seen> Keys(const std::vector<InputEvent>& events)
{
    std::vector<Seen> seen;
    for (const InputEvent& event : events)
        seen.push_back({event.kind, event.key, event.repeat});
    return seen;
}

void ExpectKeys(const std::vector<InputEvent>& events, const std::vector<Seen>& expected)
{
    std::vector<Seen> seen = Keys(events);
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen[i].kind, expected[i].kind);
        EXPECT_EQ(seen[i].key, expected[i].key);
        EXPECT_EQ(seen[i].repeat, expected[i].repeat);
    }
}

constexpr auto kDown = InputEvent::Kind::KeyDown;
constexpr auto kUp = InputEvent::Kind::KeyUp;
constexpr unsigned kSpaceCode = 65, kShiftCode = 50, kACode = 38;

TEST(X11InputTest, AHeldKeyIsOneDownWithRepeatsAndOneUpWhetherOrNotTheServerDetectsRepeats)
{
    // A server without detectable repeat sends release and press pairs of one time: they are
    // repeats, so a held Space clicks a button once, on its one release.
    EventTranslator pairs(false);
    std::vector<InputEvent> out;
    pairs.Key(Key(true, kSpaceCode, 100, VK_SPACE, u" "), &out);
    pairs.Key(Key(false, kSpaceCode, 600, VK_SPACE), &out);
    pairs.Key(Key(true, kSpaceCode, 600, VK_SPACE, u" "), &out);
    pairs.Key(Key(false, kSpaceCode, 630, VK_SPACE), &out);
    pairs.Key(Key(true, kSpaceCode, 630, VK_SPACE, u" "), &out);
    pairs.Key(Key(false, kSpaceCode, 700, VK_SPACE), &out);
    // The last release waits for what follows: the end of the batch lets it go.
    ExpectKeys(out, {{kDown, VK_SPACE, false}, {kDown, VK_SPACE, true}, {kDown, VK_SPACE, true}});
    pairs.Flush(&out);
    ExpectKeys(out, {{kDown, VK_SPACE, false}, {kDown, VK_SPACE, true}, {kDown, VK_SPACE, true}, {kUp, VK_SPACE, false}});
    EXPECT_EQ(out[1].text, u" ");

    // A release and a later press are two presses; another event lets a release go at once.
    out.clear();
    pairs.Key(Key(true, kSpaceCode, 800, VK_SPACE), &out);
    pairs.Key(Key(false, kSpaceCode, 810, VK_SPACE), &out);
    pairs.Key(Key(true, kSpaceCode, 820, VK_SPACE), &out);
    pairs.Key(Key(false, kSpaceCode, 830, VK_SPACE), &out);
    pairs.Motion({5, 5}, 0, &out);
    ASSERT_EQ(out.size(), 5u);
    ExpectKeys({out.begin(), out.begin() + 4},
               {{kDown, VK_SPACE, false}, {kUp, VK_SPACE, false}, {kDown, VK_SPACE, false}, {kUp, VK_SPACE, false}});
    EXPECT_EQ(out[4].kind, InputEvent::Kind::MouseMove);

    // Detectable repeat: presses only, then the release.
    EventTranslator detectable(true);
    out.clear();
    detectable.Key(Key(true, kSpaceCode, 100, VK_SPACE), &out);
    detectable.Key(Key(true, kSpaceCode, 600, VK_SPACE), &out);
    detectable.Key(Key(false, kSpaceCode, 700, VK_SPACE), &out);
    ExpectKeys(out, {{kDown, VK_SPACE, false}, {kDown, VK_SPACE, true}, {kUp, VK_SPACE, false}});
}

TEST(X11InputTest, TheEventsStateKeepsTheModifiersTheLayerSees)
{
    EventTranslator translator(true);
    std::vector<InputEvent> out;
    // Shift pressed while another program had the keyboard: the state says so, a left Shift goes
    // down first; its release elsewhere goes up at the next event without it.
    translator.Key(Key(true, kACode, 10, 'A', u"A", kShiftMask), &out);
    translator.Key(Key(false, kACode, 20, 'A', u"", kShiftMask), &out);
    translator.Button({true, 1, {3, 4}, 0}, &out);
    ASSERT_EQ(out.size(), 5u);
    ExpectKeys({out.begin(), out.begin() + 4},
               {{kDown, VK_LSHIFT, false}, {kDown, 'A', false}, {kUp, 'A', false}, {kUp, VK_LSHIFT, false}});
    EXPECT_EQ(out[4].kind, InputEvent::Kind::ButtonDown);

    // The real right Shift: its press (state without Shift) and release (state with it) only.
    out.clear();
    translator.Key(Key(true, kShiftCode, 30, VK_RSHIFT), &out);
    translator.Key(Key(true, kACode, 40, 'A', u"A", kShiftMask), &out);
    translator.Key(Key(false, kACode, 50, 'A', u"", kShiftMask), &out);
    translator.Key(Key(false, kShiftCode, 60, VK_RSHIFT, u"", kShiftMask), &out);
    ExpectKeys(out, {{kDown, VK_RSHIFT, false}, {kDown, 'A', false}, {kUp, 'A', false}, {kUp, VK_RSHIFT, false}});

    // Losing the focus lets go of the keys held.
    out.clear();
    HWND window = reinterpret_cast<HWND>(0x10);
    translator.Key(Key(true, kACode, 70, 'A', u"a"), &out);
    translator.Focus(false, window, kNotifyNormal, kNotifyNonlinear, &out);
    ExpectKeys(out, {{kDown, 'A', false}, {kUp, 'A', false}, {InputEvent::Kind::Deactivate, 0, false}});
}

TEST(X11InputTest, FocusMovesOfAGrabOrInsideTheWindowChangeNoActivation)
{
    HWND window = reinterpret_cast<HWND>(0x10);
    struct Case {
        bool in;
        int mode;
        int detail;
        bool changes;
    };
    const Case cases[] = {
        // A popup's keyboard grab and its end.
        {false, kNotifyGrab, kNotifyNonlinear, false},
        {true, kNotifyUngrab, kNotifyNonlinear, false},
        {true, kNotifyGrab, kNotifyAncestor, false},
        {false, kNotifyNormal, kNotifyInferior, false},
        {true, kNotifyNormal, kNotifyPointer, false},
        {false, kNotifyWhileGrabbed, kNotifyNonlinear, true},
        {true, kNotifyNormal, kNotifyNonlinear, true},
        {false, kNotifyNormal, kNotifyAncestor, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.in << " mode " << c.mode << " detail " << c.detail);
        EventTranslator translator(true);
        std::vector<InputEvent> out;
        translator.Focus(c.in, window, c.mode, c.detail, &out);
        ASSERT_EQ(out.size(), c.changes ? 1u : 0u);
        if (c.changes) {
            EXPECT_EQ(out[0].kind, c.in ? InputEvent::Kind::Activate : InputEvent::Kind::Deactivate);
            EXPECT_EQ(out[0].window, window);
        }
    }
}

TEST(X11InputTest, ButtonsWheelNotchesAndLeavingThePrograms)
{
    EventTranslator translator(true);
    std::vector<InputEvent> out;
    for (unsigned button = 1; button <= 9; ++button) {
        translator.Button({true, button, {10, 20}, 0}, &out);
        translator.Button({false, button, {10, 20}, 0}, &out);
    }
    struct Expected {
        InputEvent::Kind kind;
        UINT key;
        int delta;
    };
    const Expected expected[] = {
        {InputEvent::Kind::ButtonDown, VK_LBUTTON, 0}, {InputEvent::Kind::ButtonUp, VK_LBUTTON, 0},
        // The middle button (2) gives nothing: the layer has no messages for it.
        {InputEvent::Kind::ButtonDown, VK_RBUTTON, 0}, {InputEvent::Kind::ButtonUp, VK_RBUTTON, 0},
        // 4 and 5: up and down; 6 and 7: left and right. Releases give nothing; 8 and 9 nothing.
        {InputEvent::Kind::Wheel, 0, WHEEL_DELTA},     {InputEvent::Kind::Wheel, 0, -WHEEL_DELTA},
        {InputEvent::Kind::HorizontalWheel, 0, -WHEEL_DELTA}, {InputEvent::Kind::HorizontalWheel, 0, WHEEL_DELTA},
    };
    ASSERT_EQ(out.size(), std::size(expected));
    for (size_t i = 0; i < out.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(out[i].kind, expected[i].kind);
        EXPECT_EQ(out[i].key, expected[i].key);
        EXPECT_EQ(out[i].delta, expected[i].delta);
        EXPECT_EQ(out[i].point.x, 10);
        EXPECT_EQ(out[i].point.y, 20);
    }

    // Leaving moves the pointer off every window, unless a grab, a held button or the capture
    // keeps it.
    out.clear();
    translator.Crossing(false, {0, 0}, kNotifyNormal, kNotifyNonlinear, 0, &out);
    translator.Crossing(false, {0, 0}, kNotifyGrab, kNotifyNonlinear, 0, &out);
    translator.Crossing(false, {0, 0}, kNotifyNormal, kNotifyNonlinear, 1u << 8, &out);
    translator.SetCaptured(true);
    translator.Crossing(false, {0, 0}, kNotifyNormal, kNotifyNonlinear, 0, &out);
    translator.Crossing(true, {7, 8}, kNotifyNormal, kNotifyNonlinear, 0, &out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].kind, InputEvent::Kind::MouseMove);
    EXPECT_EQ(out[0].point.x, EventTranslator::kOutside.x);
    EXPECT_EQ(out[1].point.x, 7);
}

TEST(X11InputTest, AConfigureUnderAReparentingWindowManagerIsPlacedOnTheRoot)
{
    HWND window = reinterpret_cast<HWND>(0x10);
    struct Case {
        ConfigureInput configure;
        RECT expected;
    };
    const Case cases[] = {
        // A real notice inside the frame (x, y relative to it): where the window is on the root.
        {{0, 0, 400, 300, false, POINT{105, 130}}, {105, 130, 505, 430}},
        // The window manager's own notice is on the root already.
        {{220, 240, 400, 300, true, POINT{0, 0}}, {220, 240, 620, 540}},
        // No window manager: the parent is the root.
        {{50, 60, 10, 20, false, std::nullopt}, {50, 60, 60, 80}},
    };
    for (const Case& c : cases) {
        EventTranslator translator(true);
        std::vector<InputEvent> out;
        translator.Configure(window, c.configure, &out);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].kind, InputEvent::Kind::Configure);
        EXPECT_EQ(out[0].window, window);
        EXPECT_EQ(out[0].rect.left, c.expected.left);
        EXPECT_EQ(out[0].rect.top, c.expected.top);
        EXPECT_EQ(out[0].rect.right, c.expected.right);
        EXPECT_EQ(out[0].rect.bottom, c.expected.bottom);
    }
}

TEST(X11InputTest, PixelsCopyInTheServersByteOrder)
{
    const uint32_t source[2 * 3] = {1, 2, 3, 0x11223344, 0xAABBCCDD, 6};
    uint32_t plain[2 * 3] = {}, swapped[2 * 3] = {};
    RECT rect = {0, 1, 2, 2};
    CopyPixels(reinterpret_cast<const uint8_t*>(source), 3 * 4, rect, reinterpret_cast<uint8_t*>(plain), 3 * 4, false);
    CopyPixels(reinterpret_cast<const uint8_t*>(source), 3 * 4, rect, reinterpret_cast<uint8_t*>(swapped), 3 * 4, true);
    EXPECT_EQ(plain[3], 0x11223344u);
    EXPECT_EQ(plain[4], 0xAABBCCDDu);
    EXPECT_EQ(plain[0], 0u);
    EXPECT_EQ(plain[5], 0u);
    EXPECT_EQ(swapped[3], 0x44332211u);
    EXPECT_EQ(swapped[4], 0xDDCCBBAAu);
}

} // namespace

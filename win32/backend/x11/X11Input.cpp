#include "win32/backend/x11/X11Input.h"

#include "foundation/CXTextEncoding.h"
#include "win32/api/Constants.h"

#include <algorithm>
#include <cstring>

namespace win32::x11 {

namespace {

struct KeysymKey {
    uint32_t keysym;
    UINT key;
};

// Keysyms of keys that are not letters, digits or F-keys.
constexpr KeysymKey kKeys[] = {
    {0xff08, VK_BACK},      {0xff09, VK_TAB},       {0xfe20, VK_TAB} /* ISO_Left_Tab: Shift+Tab */,
    {0xff0d, VK_RETURN},    {0xff8d, VK_RETURN} /* KP_Enter */,
    {0xff1b, VK_ESCAPE},    {0x0020, VK_SPACE},     {0xff80, VK_SPACE} /* KP_Space */,
    {0xff50, VK_HOME},      {0xff51, VK_LEFT},      {0xff52, VK_UP},        {0xff53, VK_RIGHT},
    {0xff54, VK_DOWN},      {0xff55, VK_PRIOR},     {0xff56, VK_NEXT},      {0xff57, VK_END},
    {0xff63, VK_INSERT},    {0xffff, VK_DELETE},
    // The keypad without Num Lock.
    {0xff95, VK_HOME},      {0xff96, VK_LEFT},      {0xff97, VK_UP},        {0xff98, VK_RIGHT},
    {0xff99, VK_DOWN},      {0xff9a, VK_PRIOR},     {0xff9b, VK_NEXT},      {0xff9c, VK_END},
    {0xff9e, VK_INSERT},    {0xff9f, VK_DELETE},    {0xff89, VK_TAB} /* KP_Tab */,
    // The keypad's operators.
    {0xffaa, VK_MULTIPLY},  {0xffab, VK_ADD},       {0xffac, VK_SEPARATOR}, {0xffad, VK_SUBTRACT},
    {0xffae, VK_DECIMAL},   {0xffaf, VK_DIVIDE},
    // Modifiers, sided; Meta is Alt on keyboards that name it so.
    {0xffe1, VK_LSHIFT},    {0xffe2, VK_RSHIFT},    {0xffe3, VK_LCONTROL},  {0xffe4, VK_RCONTROL},
    {0xffe9, VK_LMENU},     {0xffea, VK_RMENU},     {0xffe7, VK_LMENU},     {0xffe8, VK_RMENU},
    // Punctuation, unshifted and shifted as on a US keyboard.
    {';', VK_OEM_1},        {':', VK_OEM_1},        {'=', VK_OEM_PLUS},     {'+', VK_OEM_PLUS},
    {',', VK_OEM_COMMA},    {'-', VK_OEM_MINUS},    {'_', VK_OEM_MINUS},    {'.', VK_OEM_PERIOD},
    {'/', VK_OEM_2},        {'?', VK_OEM_2},        {'`', VK_OEM_3},        {'~', VK_OEM_3},
    {'[', VK_OEM_4},        {'{', VK_OEM_4},        {'\\', VK_OEM_5},       {'|', VK_OEM_5},
    {']', VK_OEM_6},        {'}', VK_OEM_6},        {'\'', VK_OEM_7},       {'"', VK_OEM_7},
    {'<', VK_OEM_102},      {'>', VK_OEM_102},
};

struct KeysymCharacter {
    uint32_t keysym;
    uint32_t character;
};

// Keysyms outside Latin-1 and the 0x01000000 block that type a character.
constexpr KeysymCharacter kCharacters[] = {
    {0xff08, 0x08},  {0xff09, 0x09}, {0xfe20, 0x09}, {0xff0d, 0x0D}, {0xff1b, 0x1B},
    {0xff8d, 0x0D},  {0xff80, ' '},  {0xff89, 0x09}, {0xffaa, '*'},  {0xffab, '+'},
    {0xffac, ','},   {0xffad, '-'},  {0xffae, '.'},  {0xffaf, '/'},  {0xffbd, '='},
    {0x20ac, 0x20AC} /* EuroSign */,
};

bool IsKeypad(uint32_t keysym)
{
    return keysym >= 0xff80 && keysym <= 0xffbd;
}

// The keys that type a control character whatever the input method says.
uint32_t FixedCharacter(uint32_t keysym)
{
    switch (keysym) {
    case 0xff08:
        return 0x08;
    case 0xff09:
    case 0xfe20:
    case 0xff89:
        return 0x09;
    case 0xff0d:
    case 0xff8d:
        return 0x0D;
    case 0xff1b:
        return 0x1B;
    default:
        return 0;
    }
}

void AppendCharacter(std::u16string* text, uint32_t character)
{
    char16_t units[2];
    size_t count = EncodeUTF16(units, 2, character);
    text->append(units, count);
}

} // namespace

UINT VirtualKeyOfKeysym(uint32_t keysym)
{
    if (keysym >= 'a' && keysym <= 'z')
        return keysym - 'a' + 'A';
    if ((keysym >= 'A' && keysym <= 'Z') || (keysym >= '0' && keysym <= '9'))
        return keysym;
    if (keysym >= 0xffb0 && keysym <= 0xffb9) // KP_0 - KP_9
        return VK_NUMPAD0 + (keysym - 0xffb0);
    if (keysym >= 0xffbe && keysym <= 0xffd5) // F1 - F24
        return VK_F1 + (keysym - 0xffbe);
    for (const KeysymKey& entry : kKeys) {
        if (entry.keysym == keysym)
            return entry.key;
    }
    return 0;
}

uint32_t CharacterOfKeysym(uint32_t keysym)
{
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        return keysym;
    if (keysym >= 0x01000000 && keysym <= 0x0110ffff) {
        uint32_t character = keysym - 0x01000000;
        return character >= 0xD800 && character <= 0xDFFF ? 0 : character;
    }
    if (keysym >= 0xffb0 && keysym <= 0xffb9)
        return '0' + (keysym - 0xffb0);
    for (const KeysymCharacter& entry : kCharacters) {
        if (entry.keysym == keysym)
            return entry.character;
    }
    return 0;
}

KeyMeaning TranslateKey(uint32_t keysym, uint32_t baseKeysym, unsigned state, const std::string* methodText)
{
    KeyMeaning meaning;
    // The key is the key's own (unshifted) symbol, so Shift+1 is still '1'; the keypad's meaning
    // follows Num Lock, which only the looked-up symbol knows.
    meaning.key = IsKeypad(keysym) ? VirtualKeyOfKeysym(keysym) : VirtualKeyOfKeysym(baseKeysym);
    if (meaning.key == 0)
        meaning.key = VirtualKeyOfKeysym(keysym);

    if (uint32_t fixed = FixedCharacter(keysym)) {
        AppendCharacter(&meaning.text, fixed);
    } else if (keysym == 0xffff || keysym == 0xff9f) {
        // Delete deletes on its key; it types nothing.
    } else if (methodText != nullptr) {
        meaning.text = FromUtf8(*methodText);
        if (meaning.text == u"\x7f")
            meaning.text.clear();
    } else if (uint32_t character = CharacterOfKeysym(keysym)) {
        if ((state & kControlMask) != 0 && ((character >= '@' && character <= '_') || (character >= 'a' && character <= 'z')))
            character &= 0x1F;
        AppendCharacter(&meaning.text, character);
    }
    if (meaning.key == 0 && !meaning.text.empty())
        meaning.key = VK_PROCESSKEY;
    return meaning;
}

void EventTranslator::Push(InputEvent::Kind kind, UINT key, std::vector<InputEvent>* out)
{
    InputEvent event;
    event.kind = kind;
    event.key = key;
    out->push_back(event);
}

void EventTranslator::EmitPending(std::vector<InputEvent>* out)
{
    if (!fPendingRelease)
        return;
    KeyInput release = *fPendingRelease;
    fPendingRelease.reset();
    auto it = std::find_if(fHeld.begin(), fHeld.end(), [&](const auto& held) { return held.first == release.keycode; });
    if (it == fHeld.end())
        return;
    UINT key = it->second;
    fHeld.erase(it);
    Push(InputEvent::Kind::KeyUp, key, out);
}

void EventTranslator::SyncModifiers(unsigned state, std::vector<InputEvent>* out)
{
    struct Modifier {
        unsigned mask;
        UINT left;
        UINT right;
    };
    static constexpr Modifier kModifiers[] = {
        {kShiftMask, VK_LSHIFT, VK_RSHIFT},
        {kControlMask, VK_LCONTROL, VK_RCONTROL},
        {kMod1Mask, VK_LMENU, VK_RMENU},
    };
    for (const Modifier& modifier : kModifiers) {
        bool held = (state & modifier.mask) != 0;
        bool anyDown = false;
        for (auto it = fHeld.begin(); it != fHeld.end();) {
            if (it->second != modifier.left && it->second != modifier.right) {
                ++it;
                continue;
            }
            anyDown = true;
            if (held) {
                ++it;
                continue;
            }
            // Released while another program had the keyboard.
            Push(InputEvent::Kind::KeyUp, it->second, out);
            it = fHeld.erase(it);
        }
        if (held && !anyDown) {
            // Pressed before this program had the keyboard: keycode 0 stands for no key of ours.
            fHeld.emplace_back(0, modifier.left);
            Push(InputEvent::Kind::KeyDown, modifier.left, out);
        }
    }
}

void EventTranslator::Key(const KeyInput& key, std::vector<InputEvent>* out)
{
    if (fPendingRelease) {
        if (key.press && key.keycode == fPendingRelease->keycode && key.time == fPendingRelease->time) {
            // The server's own repeat: the release and this press are one held key.
            fPendingRelease.reset();
            auto it = std::find_if(fHeld.begin(), fHeld.end(), [&](const auto& held) { return held.first == key.keycode; });
            if (it != fHeld.end()) {
                InputEvent event;
                event.kind = InputEvent::Kind::KeyDown;
                event.key = it->second;
                event.repeat = true;
                event.text = key.meaning.text;
                out->push_back(event);
            }
            return;
        }
        EmitPending(out);
    }
    SyncModifiers(key.state, out);
    if (key.press && key.meaning.key == 0)
        return;
    auto held = std::find_if(fHeld.begin(), fHeld.end(), [&](const auto& entry) { return entry.first == key.keycode; });
    if (!key.press) {
        if (held == fHeld.end())
            return;
        if (!fDetectableRepeat) {
            fPendingRelease = key;
            return;
        }
        UINT down = held->second;
        fHeld.erase(held);
        Push(InputEvent::Kind::KeyUp, down, out);
        return;
    }
    InputEvent event;
    event.kind = InputEvent::Kind::KeyDown;
    event.text = key.meaning.text;
    if (held != fHeld.end()) {
        event.key = held->second;
        event.repeat = true;
    } else {
        // A modifier already down by the state (pressed elsewhere) is this key now.
        auto stand = std::find_if(fHeld.begin(), fHeld.end(),
                                  [&](const auto& entry) { return entry.first == 0 && entry.second == key.meaning.key; });
        if (stand != fHeld.end())
            fHeld.erase(stand);
        event.key = key.meaning.key;
        fHeld.emplace_back(key.keycode, key.meaning.key);
    }
    out->push_back(event);
}

void EventTranslator::Button(const ButtonInput& button, std::vector<InputEvent>* out)
{
    EmitPending(out);
    SyncModifiers(button.state, out);
    InputEvent event;
    event.point = button.root;
    switch (button.button) {
    case 1:
    case 3:
        event.kind = button.press ? InputEvent::Kind::ButtonDown : InputEvent::Kind::ButtonUp;
        event.key = button.button == 1 ? VK_LBUTTON : VK_RBUTTON;
        break;
    case 4:
    case 5:
    case 6:
    case 7:
        // The wheel's notches are presses; their releases mean nothing.
        if (!button.press)
            return;
        event.kind = button.button <= 5 ? InputEvent::Kind::Wheel : InputEvent::Kind::HorizontalWheel;
        event.delta = (button.button == 4 || button.button == 7) ? WHEEL_DELTA : -WHEEL_DELTA;
        break;
    default:
        return;
    }
    out->push_back(event);
}

void EventTranslator::Motion(POINT root, unsigned state, std::vector<InputEvent>* out)
{
    (void)state;
    EmitPending(out);
    InputEvent event;
    event.kind = InputEvent::Kind::MouseMove;
    event.point = root;
    out->push_back(event);
}

void EventTranslator::Crossing(bool enter, POINT root, int mode, int detail, unsigned state, std::vector<InputEvent>* out)
{
    if (detail == kNotifyInferior)
        return;
    if (enter) {
        Motion(root, state, out);
        return;
    }
    // A grab's own leave, a held button (X keeps reporting the pointer to this window) and the
    // capture keep the pointer the layer's.
    if (mode != kNotifyNormal || (state & kButtonMasks) != 0 || fCaptured)
        return;
    Motion(kOutside, state, out);
}

void EventTranslator::Focus(bool in, HWND window, int mode, int detail, std::vector<InputEvent>* out)
{
    EmitPending(out);
    if (mode == kNotifyGrab || mode == kNotifyUngrab || detail == kNotifyInferior || detail == kNotifyPointer)
        return;
    if (!in) {
        // The keys held now go up in another program.
        for (auto it = fHeld.rbegin(); it != fHeld.rend(); ++it)
            Push(InputEvent::Kind::KeyUp, it->second, out);
        fHeld.clear();
    }
    InputEvent event;
    event.kind = in ? InputEvent::Kind::Activate : InputEvent::Kind::Deactivate;
    event.window = window;
    out->push_back(event);
}

void EventTranslator::Configure(HWND window, const ConfigureInput& configure, std::vector<InputEvent>* out)
{
    EmitPending(out);
    POINT origin = {configure.x, configure.y};
    if (!configure.synthetic && configure.onRoot)
        origin = *configure.onRoot;
    InputEvent event;
    event.kind = InputEvent::Kind::Configure;
    event.window = window;
    event.rect = {origin.x, origin.y, origin.x + configure.width, origin.y + configure.height};
    out->push_back(event);
}

void EventTranslator::Exposure(HWND window, RECT rect, std::vector<InputEvent>* out)
{
    EmitPending(out);
    InputEvent event;
    event.kind = InputEvent::Kind::Expose;
    event.window = window;
    event.rect = rect;
    out->push_back(event);
}

void EventTranslator::Close(HWND window, std::vector<InputEvent>* out)
{
    EmitPending(out);
    InputEvent event;
    event.kind = InputEvent::Kind::Close;
    event.window = window;
    out->push_back(event);
}

void EventTranslator::Flush(std::vector<InputEvent>* out)
{
    EmitPending(out);
}

void CopyPixels(const uint8_t* source, int sourceStride, RECT rect, uint8_t* target, int targetStride, bool swap)
{
    for (int y = rect.top; y < rect.bottom; ++y) {
        const uint8_t* from = source + static_cast<ptrdiff_t>(y) * sourceStride + static_cast<ptrdiff_t>(rect.left) * 4;
        uint8_t* to = target + static_cast<ptrdiff_t>(y) * targetStride + static_cast<ptrdiff_t>(rect.left) * 4;
        size_t bytes = static_cast<size_t>(rect.right - rect.left) * 4;
        if (!swap) {
            std::memcpy(to, from, bytes);
            continue;
        }
        for (size_t i = 0; i < bytes; i += 4) {
            to[i] = from[i + 3];
            to[i + 1] = from[i + 2];
            to[i + 2] = from[i + 1];
            to[i + 3] = from[i];
        }
    }
}

std::string ToUtf8(const std::u16string& text)
{
    std::string bytes;
    size_t at = 0;
    while (at < text.size()) {
        uint32_t c;
        size_t count;
        if (!DecodeUTF16(text.data() + at, text.size() - at, c, count))
            count = 1;
        at += count;
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c < 0x800) {
            bytes += static_cast<char>(0xC0 | (c >> 6));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes += static_cast<char>(0xE0 | (c >> 12));
            bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (c >> 18));
            bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return bytes;
}

std::u16string FromUtf8(const std::string& text)
{
    std::u16string units(text.size(), u'\0');
    units.resize(ConvertUTF8ToUTF16Units(units.data(), units.size(), text.data(), text.size()));
    return units;
}

} // namespace win32::x11

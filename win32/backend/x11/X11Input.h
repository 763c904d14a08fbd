#pragma once

// What the X11 backend makes of X input, without a server: keysyms to virtual keys and text, and
// the X event sequences to the layer's input events (auto-repeat pairs, focus changes caused by
// grabs, wheel buttons, the window manager's configure notices). The backend fills the plain
// structs below from its X events; the values named k... are the core protocol's.

#include "win32/core/Backend.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win32::x11 {

// Modifier bits of an X event's state.
inline constexpr unsigned kShiftMask = 1u << 0;
inline constexpr unsigned kControlMask = 1u << 2;
inline constexpr unsigned kMod1Mask = 1u << 3; // Alt
inline constexpr unsigned kButtonMasks = 0x1Fu << 8;

// Crossing and focus modes and details.
inline constexpr int kNotifyNormal = 0;
inline constexpr int kNotifyGrab = 1;
inline constexpr int kNotifyUngrab = 2;
inline constexpr int kNotifyWhileGrabbed = 3;
inline constexpr int kNotifyAncestor = 0;
inline constexpr int kNotifyNonlinear = 3;
inline constexpr int kNotifyInferior = 2;
inline constexpr int kNotifyPointer = 5;

// The virtual key of a keysym (sided for the modifiers), 0 for a key this layer has none for.
UINT VirtualKeyOfKeysym(uint32_t keysym);
// The character a keysym types without an input method, 0 for none: Latin-1 keysyms are their code
// point, 0x01000000 + c is c, and the editing and keypad keysyms that type something are listed.
uint32_t CharacterOfKeysym(uint32_t keysym);

struct KeyMeaning {
    // 0xE5 for a key that types text but has no virtual key of its own; 0 for a key to drop.
    UINT key = 0;
    std::u16string text;
};
// A key press's meaning. methodText is what the input method looked up (UTF-8), null when the
// display has no input method: then the keysym tables give the text, Control turning the letters
// and @[\]^_ into control characters as X's own lookup does. Delete types nothing (the edit
// controls delete on the key itself) and Alt keeps its text for the layer to judge.
// keysym is the looked-up symbol (Shift and Num Lock applied), baseKeysym the key's own.
KeyMeaning TranslateKey(uint32_t keysym, uint32_t baseKeysym, unsigned state, const std::string* methodText);

// An X key event, already translated (TranslateKey on a press; the key alone on a release).
struct KeyInput {
    bool press = true;
    unsigned keycode = 0;
    // The server's time of the event, in milliseconds.
    uint64_t time = 0;
    unsigned state = 0;
    KeyMeaning meaning;
};

struct ButtonInput {
    bool press = true;
    unsigned button = 1;
    POINT root = {0, 0};
    unsigned state = 0;
};

struct ConfigureInput {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    // Sent by the window manager (its position is on the root window).
    bool synthetic = false;
    // Where the window's origin lies on the root window, when the backend could ask; a real
    // notice under a reparenting window manager gives a position inside the frame instead.
    std::optional<POINT> onRoot;
};

// Turns X events, in the order the server sent them, into the layer's input events.
class EventTranslator {
public:
    // detectableRepeat: the server sends a held key as presses only; otherwise it sends release and
    // press pairs with the same time, which become one repeated KeyDown.
    explicit EventTranslator(bool detectableRepeat) : fDetectableRepeat(detectableRepeat) {}

    void Key(const KeyInput& key, std::vector<InputEvent>* out);
    void Button(const ButtonInput& button, std::vector<InputEvent>* out);
    void Motion(POINT root, unsigned state, std::vector<InputEvent>* out);
    // EnterNotify and LeaveNotify. Leaving (outside a grab, with no button held and no capture)
    // moves the pointer off every window, so the layer sends WM_MOUSELEAVE.
    void Crossing(bool enter, POINT root, int mode, int detail, unsigned state, std::vector<InputEvent>* out);
    // FocusIn and FocusOut. The focus moves a grab causes (a popup grabbing the keyboard) and the
    // ones inside a window change no activation; a real loss releases the keys held.
    void Focus(bool in, HWND window, int mode, int detail, std::vector<InputEvent>* out);
    void Configure(HWND window, const ConfigureInput& configure, std::vector<InputEvent>* out);
    void Exposure(HWND window, RECT rect, std::vector<InputEvent>* out);
    void Close(HWND window, std::vector<InputEvent>* out);
    // The end of what the server sent so far: a release held back in case a press with the same
    // time followed goes out.
    void Flush(std::vector<InputEvent>* out);

    // The layer's mouse capture is held (no leave while it is).
    void SetCaptured(bool captured) { fCaptured = captured; }

    // Where the pointer goes when it leaves every window of the program.
    static constexpr POINT kOutside = {-32000, -32000};

private:
    void EmitPending(std::vector<InputEvent>* out);
    void SyncModifiers(unsigned state, std::vector<InputEvent>* out);
    void Push(InputEvent::Kind kind, UINT key, std::vector<InputEvent>* out);

    bool fDetectableRepeat;
    bool fCaptured = false;
    std::optional<KeyInput> fPendingRelease;
    // Keycodes held and the virtual key each press gave; keycode 0 is a modifier the state says is
    // down though its press went to another program.
    std::vector<std::pair<unsigned, UINT>> fHeld;
};

// Copies rect (inside both images) of 32-bit pixels, each pixel's bytes reversed when swap is set
// (a server whose image byte order is not this machine's).
void CopyPixels(const uint8_t* source, int sourceStride, RECT rect, uint8_t* target, int targetStride, bool swap);

// UTF-16 to UTF-8 and back (unpaired surrogates and undecodable bytes become '?').
std::string ToUtf8(const std::u16string& text);
std::u16string FromUtf8(const std::string& text);

} // namespace win32::x11

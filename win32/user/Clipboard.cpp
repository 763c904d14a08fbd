#include "win32/user/Clipboard.h"

#include "win32/user/User.h"

#include "foundation/CXTextEncoding.h"

#include <cstring>
#include <string>
#include <vector>

namespace win32 {

namespace {

constexpr UINT kFirstRegisteredFormat = 0xC000;
constexpr size_t kLongestName = 255;

struct Entry {
    UINT format;
    HGLOBAL block;
};

struct ClipboardState {
    bool open = false;
    // Blocks set, in the order set; then the text blocks made from them on demand.
    std::vector<Entry> given;
    std::vector<Entry> made;
    // The open session set or emptied the text: the backend hears of it at CloseClipboard.
    bool textChanged = false;
    // The shared clipboard's answer, asked once per open session (sharedAsked), with the text of
    // another program and the blocks made of it for this session.
    bool sharedAsked = false;
    Backend::SharedClipboard shared = Backend::kOwn;
    std::u16string sharedText;
    std::vector<Entry> sharedBlocks;
};

ClipboardState& State()
{
    static ClipboardState state;
    return state;
}

std::vector<std::u16string>& RegisteredNames()
{
    static auto* names = new std::vector<std::u16string>();
    return *names;
}

void FreeBlocks(std::vector<Entry>& entries)
{
    for (const Entry& entry : entries)
        GlobalFree(entry.block);
    entries.clear();
}

void ForgetContents()
{
    ClipboardState& state = State();
    FreeBlocks(state.given);
    FreeBlocks(state.made);
    FreeBlocks(state.sharedBlocks);
    state.open = false;
    state.textChanged = false;
    state.sharedAsked = false;
    state.sharedText.clear();
}

bool IsText(UINT format)
{
    return format == CF_TEXT || format == CF_UNICODETEXT;
}

// The text format made from format, or 0.
UINT Counterpart(UINT format)
{
    if (format == CF_TEXT)
        return CF_UNICODETEXT;
    if (format == CF_UNICODETEXT)
        return CF_TEXT;
    return 0;
}

const Entry* FindEntry(const std::vector<Entry>& entries, UINT format)
{
    for (const Entry& entry : entries)
        if (entry.format == format)
            return &entry;
    return nullptr;
}

// What the clipboard shared with other programs holds for the text formats: the layer's own text
// (kOwn) while no other program took the clipboard over, and always while the open session has set
// or emptied the text itself; else another program's text (kText, in state.sharedText) or none.
// Asked once per open session, since an answer from another program may take a while.
Backend::SharedClipboard SharedText()
{
    ClipboardState& state = State();
    if (state.textChanged)
        return Backend::kOwn;
    if (state.open && state.sharedAsked)
        return state.shared;
    std::u16string text;
    Backend* backend = GetBackend();
    Backend::SharedClipboard shared = backend != nullptr ? backend->ReadSharedClipboardText(&text) : Backend::kOwn;
    if (shared != Backend::kText)
        text.clear();
    state.shared = shared;
    state.sharedText = std::move(text);
    state.sharedAsked = state.open;
    return shared;
}

// The formats set, then the ones made from them; the text formats are another program's when it
// holds the shared clipboard.
std::vector<UINT> Formats()
{
    Backend::SharedClipboard shared = SharedText();
    std::vector<UINT> formats;
    for (const Entry& entry : State().given) {
        if (shared == Backend::kOwn || !IsText(entry.format))
            formats.push_back(entry.format);
    }
    if (shared == Backend::kText) {
        formats.push_back(CF_UNICODETEXT);
        formats.push_back(CF_TEXT);
        return formats;
    }
    if (shared == Backend::kNothing)
        return formats;
    for (const Entry& entry : State().given) {
        UINT other = Counterpart(entry.format);
        if (other != 0 && FindEntry(State().given, other) == nullptr)
            formats.push_back(other);
    }
    return formats;
}

HGLOBAL BlockOf(const void* bytes, size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (block == nullptr)
        return nullptr;
    std::memcpy(GlobalLock(block), bytes, size);
    GlobalUnlock(block);
    return block;
}

// UTF-8 from a UTF-16 block: its whole units, up to the first zero unit.
HGLOBAL UTF8FromUTF16(const std::vector<uint8_t>& bytes)
{
    std::vector<char16_t> units(bytes.size() / 2);
    if (!units.empty())
        std::memcpy(units.data(), bytes.data(), units.size() * 2);
    size_t count = 0;
    while (count < units.size() && units[count] != 0)
        ++count;
    CXString text = ConvertUTF16ToUTF8(CXString::FromUTF16(units.data(), count));
    return BlockOf(text.c_str(), text.length() + 1);
}

// UTF-16 from a UTF-8 block, up to the first zero byte.
HGLOBAL UTF16FromUTF8(const std::vector<uint8_t>& bytes)
{
    size_t count = 0;
    while (count < bytes.size() && bytes[count] != 0)
        ++count;
    CXString holder = ConvertUTF8ToUTF16(reinterpret_cast<const char*>(bytes.data()), count);
    return BlockOf(UTF16Units(holder), (UTF16UnitCount(holder) + 1) * sizeof(char16_t));
}

// The block made for format from its counterpart, made once per content.
HGLOBAL Made(UINT format)
{
    ClipboardState& state = State();
    if (const Entry* entry = FindEntry(state.made, format))
        return entry->block;
    const Entry* source = FindEntry(state.given, Counterpart(format));
    std::vector<uint8_t> bytes;
    if (source == nullptr || !core::CopyGlobalBytes(source->block, &bytes))
        return nullptr;
    HGLOBAL block = format == CF_TEXT ? UTF8FromUTF16(bytes) : UTF16FromUTF8(bytes);
    if (block != nullptr)
        state.made.push_back({format, block});
    return block;
}

// A block of another program's text in a text format, made once per session; the clipboard owns
// it until the session ends.
HGLOBAL SharedBlock(UINT format)
{
    ClipboardState& state = State();
    if (const Entry* entry = FindEntry(state.sharedBlocks, format))
        return entry->block;
    const std::u16string& text = state.sharedText;
    HGLOBAL block;
    if (format == CF_UNICODETEXT) {
        block = BlockOf(text.c_str(), (text.size() + 1) * sizeof(char16_t));
    } else {
        std::vector<uint8_t> bytes(text.size() * sizeof(char16_t));
        if (!bytes.empty())
            std::memcpy(bytes.data(), text.data(), bytes.size());
        block = UTF8FromUTF16(bytes);
    }
    if (block != nullptr)
        state.sharedBlocks.push_back({format, block});
    return block;
}

// The layer's own text (up to its first zero unit) when a text format is on the clipboard.
bool OwnText(std::u16string* text)
{
    const Entry* unicode = FindEntry(State().given, CF_UNICODETEXT);
    HGLOBAL block = unicode != nullptr ? unicode->block : Made(CF_UNICODETEXT);
    std::vector<uint8_t> bytes;
    if (block == nullptr || !core::CopyGlobalBytes(block, &bytes))
        return false;
    text->assign(bytes.size() / 2, u'\0');
    if (!text->empty())
        std::memcpy(text->data(), bytes.data(), text->size() * 2);
    size_t end = text->find(u'\0');
    if (end != std::u16string::npos)
        text->resize(end);
    return true;
}

bool CheckOpen()
{
    if (State().open)
        return true;
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return false;
}

bool SameNameIgnoringASCIICase(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

} // namespace

BOOL OpenClipboard(HWND hwnd)
{
    if (!core::CheckUIThread("OpenClipboard"))
        return FALSE;
    if (hwnd != nullptr && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (State().open) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    core::AddShutdownStep(&ForgetContents);
    State().open = true;
    return TRUE;
}

BOOL CloseClipboard()
{
    if (!core::CheckUIThread("CloseClipboard") || !CheckOpen())
        return FALSE;
    ClipboardState& state = State();
    bool textChanged = state.textChanged;
    state.open = false;
    state.textChanged = false;
    state.sharedAsked = false;
    state.sharedText.clear();
    FreeBlocks(state.sharedBlocks);
    // The session's text goes to the clipboard shared with other programs, once, as it now is.
    if (Backend* backend = GetBackend(); textChanged && backend != nullptr) {
        std::u16string text;
        bool hasText = OwnText(&text);
        backend->ClipboardTextChanged(hasText ? &text : nullptr);
    }
    return TRUE;
}

BOOL EmptyClipboard()
{
    if (!core::CheckUIThread("EmptyClipboard") || !CheckOpen())
        return FALSE;
    ClipboardState& state = State();
    FreeBlocks(state.given);
    FreeBlocks(state.made);
    FreeBlocks(state.sharedBlocks);
    state.textChanged = true;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    if (!core::CheckUIThread("SetClipboardData") || !CheckOpen())
        return nullptr;
    auto block = static_cast<HGLOBAL>(data);
    if (format == 0 || block == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    if (GlobalSize(block) == 0 && GetLastError() == ERROR_INVALID_HANDLE)
        return nullptr;
    ClipboardState& state = State();
    if (IsText(format))
        state.textChanged = true;
    // What was made from the old text is out of date either way; a made block given back is the
    // caller's now.
    std::erase_if(state.made, [block](const Entry& entry) { return entry.block == block; });
    FreeBlocks(state.made);
    for (Entry& entry : state.given) {
        if (entry.format != format)
            continue;
        if (entry.block != block)
            GlobalFree(entry.block);
        entry.block = block;
        return data;
    }
    state.given.push_back({format, block});
    return data;
}

HANDLE GetClipboardData(UINT format)
{
    if (!core::CheckUIThread("GetClipboardData") || !CheckOpen())
        return nullptr;
    if (IsText(format)) {
        switch (SharedText()) {
        case Backend::kText:
            SetLastError(ERROR_SUCCESS);
            return SharedBlock(format);
        case Backend::kNothing:
            SetLastError(ERROR_SUCCESS);
            return nullptr;
        case Backend::kOwn:
            break;
        }
    }
    if (const Entry* entry = FindEntry(State().given, format))
        return entry->block;
    SetLastError(ERROR_SUCCESS);
    if (Counterpart(format) == 0)
        return nullptr;
    return Made(format);
}

int CountClipboardFormats()
{
    if (!core::CheckUIThread("CountClipboardFormats"))
        return 0;
    return static_cast<int>(Formats().size());
}

UINT EnumClipboardFormats(UINT format)
{
    if (!core::CheckUIThread("EnumClipboardFormats") || !CheckOpen())
        return 0;
    SetLastError(ERROR_SUCCESS);
    std::vector<UINT> formats = Formats();
    if (format == 0)
        return formats.empty() ? 0 : formats.front();
    for (size_t i = 0; i + 1 < formats.size(); ++i)
        if (formats[i] == format)
            return formats[i + 1];
    return 0;
}

BOOL IsClipboardFormatAvailable(UINT format)
{
    if (!core::CheckUIThread("IsClipboardFormatAvailable"))
        return FALSE;
    for (UINT available : Formats())
        if (available == format)
            return TRUE;
    return FALSE;
}

UINT RegisterClipboardFormatW(LPCWSTR name)
{
    if (!core::CheckUIThread("RegisterClipboardFormatW"))
        return 0;
    std::u16string wanted = name != nullptr ? std::u16string(name) : std::u16string();
    if (wanted.empty() || wanted.size() > kLongestName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::vector<std::u16string>& names = RegisteredNames();
    for (size_t i = 0; i < names.size(); ++i)
        if (SameNameIgnoringASCIICase(names[i], wanted))
            return kFirstRegisteredFormat + static_cast<UINT>(i);
    if (kFirstRegisteredFormat + names.size() > 0xFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    names.push_back(wanted);
    return kFirstRegisteredFormat + static_cast<UINT>(names.size() - 1);
}

UINT RegisterClipboardFormatA(LPCSTR name)
{
    if (name == nullptr)
        return RegisterClipboardFormatW(nullptr);
    CXString holder = ConvertUTF8CStringToUTF16(name);
    return RegisterClipboardFormatW(UTF16Units(holder));
}

} // namespace win32

// Font objects, the stock fonts and the start-up check of the installed font families.

#include "win32/gdi/FontInternal.h"

#include "foundation/CXTextEncoding.h"
#include "win32/core/Core.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace win32::gdi {

namespace {

void CopyFaceName(WCHAR (&target)[LF_FACESIZE], const char16_t* name)
{
    std::memset(target, 0, sizeof(target));
    if (name == nullptr)
        return;
    for (int i = 0; i < LF_FACESIZE - 1 && name[i] != 0; ++i)
        target[i] = name[i];
}

LOGFONTW Description(int height, int weight, bool italic, const char16_t* faceName)
{
    LOGFONTW description = {};
    description.lfHeight = height;
    description.lfWeight = weight;
    description.lfItalic = italic ? 1 : 0;
    description.lfCharSet = DEFAULT_CHARSET;
    CopyFaceName(description.lfFaceName, faceName);
    return description;
}

// The stock fonts: the dialog font is the sans-serif face at em 12, the system font a bold cell
// of 16, the fixed fonts the monospaced face.
Object* MakeStockFont(int index)
{
    switch (index) {
    case DEFAULT_GUI_FONT:
        return new Font(Description(-12, FW_NORMAL, false, u"Segoe UI"));
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT:
        return new Font(Description(16, FW_BOLD, false, u"System"));
    case ANSI_VAR_FONT:
        return new Font(Description(13, FW_NORMAL, false, u"MS Sans Serif"));
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
        return new Font(Description(13, FW_NORMAL, false, u"Courier New"));
    default:
        return nullptr;
    }
}

bool CheckFontFamilies(std::string* problem)
{
    if (IsEveryFaceTestBox())
        return true;
    CXRecursiveMutexLocker locker(&Lock());
    return LoadFontFamilies(problem);
}

// Fontconfig's configuration, loaded when text first needs a face for a code point, is kept until
// the process ends: released then, so that a leak check at exit finds nothing of it.
void ReleaseFontconfigAtExit()
{
    CXRecursiveMutexLocker locker(&Lock());
    ReleaseFontconfig();
}

// Any program that measures or draws text links this file, and so gets the stock fonts and has
// its fonts checked when the layer starts.
[[maybe_unused]] const bool gRegistered = [] {
    SetStockFontFactory(&MakeStockFont);
    core::AddStartupCheck(&CheckFontFamilies);
    std::atexit(&ReleaseFontconfigAtExit);
    return true;
}();

} // namespace

Font::Font(const LOGFONTW& logFont) : Object(kKind), description(logFont)
{
    description.lfFaceName[LF_FACESIZE - 1] = 0;
    CXRecursiveMutexLocker locker(&Lock());
    FontFamily family = FamilyForFaceName(description.lfFaceName);
    bool italic = description.lfItalic != 0;
    instance = GetFontInstance({family, EmForHeight(family, IsBold(), italic, description.lfHeight), IsBold(), italic});
}

int Font::Describe(int size, void* buffer) const
{
    if (buffer == nullptr)
        return static_cast<int>(sizeof(LOGFONTW));
    int copied = std::min(size, static_cast<int>(sizeof(LOGFONTW)));
    std::memcpy(buffer, &description, static_cast<size_t>(copied));
    return copied;
}

Font* FontOf(const DeviceContext& dc)
{
    if (Object* selected = Selected(dc, SelectedSlot::Font))
        return static_cast<Font*>(selected);
    return Find<Font>(GetStockObject(SYSTEM_FONT));
}

} // namespace win32::gdi

namespace win32 {

using namespace gdi;

HFONT CreateFontIndirectW(const LOGFONTW* logFont)
{
    if (logFont == nullptr)
        return nullptr;
    return static_cast<HFONT>(AddObject(new Font(*logFont)));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR faceName)
{
    LOGFONTW description = {};
    description.lfHeight = height;
    description.lfWidth = width;
    description.lfEscapement = escapement;
    description.lfOrientation = orientation;
    description.lfWeight = weight;
    description.lfItalic = static_cast<BYTE>(italic != 0);
    description.lfUnderline = static_cast<BYTE>(underline != 0);
    description.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
    description.lfCharSet = static_cast<BYTE>(charSet);
    description.lfOutPrecision = static_cast<BYTE>(outPrecision);
    description.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    description.lfQuality = static_cast<BYTE>(quality);
    description.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    CopyFaceName(description.lfFaceName, faceName);
    return CreateFontIndirectW(&description);
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName)
{
    CXString face = ConvertUTF8CStringToUTF16(faceName);
    return CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                       outPrecision, clipPrecision, quality, pitchAndFamily, UTF16Units(face));
}

} // namespace win32

#pragma once

// The font engine behind font objects and text: the map from face names to the installed
// families, one resolved font per (family, em, bold, italic) shared by every font object that asks
// for it, its integer metrics, and its advances and glyph images cached for the process.
//
// Metrics are integers so that widths add up: ascent = ceil(winAscent * em / unitsPerEm), descent
// likewise, height their sum; advances are unhinted and rounded, with no kerning or shaping. A
// code point below 0x20 has no width and no glyph. A code point the family lacks is taken from
// DejaVu Sans, else from the installed face fontconfig names for it (asked once per code point for
// the process, each face file opened once per made-up style), else DejaVu Sans's missing glyph is
// drawn. A face taken for single code points never changes the font's metrics: its glyphs sit on
// the same baseline and its advances add up as the others do.
//
// The test face "Layer Test Box" needs no file: at em s its advance is round(7s/12), ascent
// round(5s/6), descent round(s/4) (halves round up), and every glyph but the space is a solid box
// [pen + 1, pen + advance - 1) x [baseline - ascent + 1, baseline).
//
// Every call here must be made under the GDI lock.

#include "win32/gdi/FontFaces.h"

#include <compare>
#include <cstdint>
#include <memory>
#include <string>

namespace win32::gdi {

enum class FontFamily : uint8_t {
    Sans,     // Liberation Sans
    Serif,    // Liberation Serif
    Mono,     // Liberation Mono
    Fallback, // DejaVu Sans
    TestBox,  // "Layer Test Box"
};

// The family of a face name (case-insensitive): "Times New Roman" is the serif family, "Courier
// New" the monospaced one, "Layer Test Box" the test face; "Segoe UI", "" and any other name the
// sans-serif family. A null name is "". Every name is the test face while SetEveryFaceTestBox is on.
FontFamily FamilyForFaceName(const char16_t* faceName);

// For pictures that must look the same on every machine: while on, every face name is the test
// face, so fonts made afterwards draw boxes whatever is installed, and the start-up font check
// passes without the installed families. Fonts made before keep their family. Any thread.
void SetEveryFaceTestBox(bool on);
bool IsEveryFaceTestBox();

// Looks a family up through fontconfig. False when it is not installed, with a message in *error
// that names the package bringing it.
bool FindInstalledFamily(const std::string& family, const std::string& package, FamilyFiles* files,
                         std::string* error);

// Finds the files of every family the face map uses, once per process; later calls answer the
// first result. False when a family is missing, with the message in *error.
bool LoadFontFamilies(std::string* error);

// The pixel size of the em box a font height asks for: a negative height is the em, 0 is em 12,
// a positive height is the cell height (ascent + descent), which takes the largest em whose cell
// is no taller (at least em 1). Ems are limited to 1..1024.
int EmForHeight(FontFamily family, bool bold, bool italic, int32_t height);

struct FontKey {
    FontFamily family = FontFamily::Sans;
    int em = 12;
    bool bold = false;
    bool italic = false;

    auto operator<=>(const FontKey&) const = default;
};

struct FontMetrics {
    int em = 0;
    int ascent = 0;
    int descent = 0;
    int height = 0;
    int internalLeading = 0;
    int externalLeading = 0;
    int averageWidth = 0;
    int maximumWidth = 0;
};

// One family at one size and style. Shared: font objects hold it, the engine caches it.
class FontInstance {
public:
    virtual ~FontInstance() = default;

    const FontKey& Key() const { return fKey; }
    const FontMetrics& Metrics() const { return fMetrics; }
    // The advance of a code point in pixels (0 below 0x20).
    virtual int Advance(uint32_t codePoint) = 0;
    // The coverage image of a code point, or null when it draws nothing (a space, a control
    // character). The image lives as long as the instance.
    virtual const GlyphImage* Glyph(uint32_t codePoint) = 0;

protected:
    FontKey fKey;
    FontMetrics fMetrics;
};

// The shared instance for a key (the em is limited to 1..1024). Never null: a family whose file
// cannot be read falls back to DejaVu Sans, and without any font file to the box metrics.
std::shared_ptr<FontInstance> GetFontInstance(FontKey key);

} // namespace win32::gdi

#pragma once

// The font files behind the text of the layer: finding a family's files, and a face for a code point
// the families lack, through fontconfig, and reading faces and glyphs through FreeType. Nothing here
// locks: the font engine (FontEngine.h) calls it under the GDI lock.

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace win32::gdi {

// One style of a family: a file and the face in it, and what has to be made up because the
// family has no such style (the regular face drawn heavier or slanted).
struct FaceFile {
    std::string path;
    int index = 0;
    bool syntheticBold = false;
    bool syntheticOblique = false;

    auto operator<=>(const FaceFile&) const = default;
};

// The four styles of a family, indexed by FaceStyleIndex.
struct FamilyFiles {
    FaceFile styles[4];
};

inline int FaceStyleIndex(bool bold, bool italic)
{
    return (bold ? 1 : 0) + (italic ? 2 : 0);
}

// Asks fontconfig for a family's regular, bold, italic and bold italic faces. Fontconfig always
// answers with some installed font, so the family of the answer is compared with the one asked:
// false, with the family fontconfig offered instead in *matched, when the family is not
// installed. A style the family lacks is its regular face with the synthetic flag set.
bool FindFontFamily(const std::string& family, FamilyFiles* files, std::string* matched);

// An installed face that has a code point, and the style it is drawn in.
struct CoveringFace {
    std::string path;
    int index = 0;
    bool bold = false;
    bool italic = false;

    bool operator==(const CoveringFace&) const = default;
};

// Asks fontconfig for the installed outline face it ranks first among those whose character set
// has the code point. False when no installed face has it. Every call asks fontconfig again, and
// fontconfig's configuration stays loaded afterwards, until ReleaseFontconfig.
bool FindFaceCovering(uint32_t codePoint, CoveringFace* face);

// Releases fontconfig's configuration when a lookup left it loaded; the next lookup loads it again.
void ReleaseFontconfig();

// A glyph's coverage image, 8 bits per pixel, rows top first. left is the offset of the first
// column from the pen, top the distance from the baseline up to the first row.
struct GlyphImage {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;
};

// The numbers of a face in font units.
struct FaceInfo {
    int unitsPerEm = 1000;
    int winAscent = 0;
    int winDescent = 0;
    // The line gap beyond the ascent and descent (never negative).
    int lineGap = 0;
    int averageWidth = 0;
    int maximumAdvance = 0;
};

// An open face of one file; owned by the font engine for the life of the process.
class Face {
public:
    virtual ~Face() = default;
    virtual const FaceInfo& Info() const = 0;
    // The glyph of a code point; 0 (the missing glyph) when the face has none.
    virtual uint32_t GlyphIndex(uint32_t codePoint) = 0;
    // The unhinted advance of a glyph in font units.
    virtual int AdvanceUnits(uint32_t glyph) = 0;
    // Renders a glyph at em pixels with light hinting into *image (empty for a blank glyph).
    // False when the face cannot render it.
    virtual bool Render(uint32_t glyph, int em, GlyphImage* image) = 0;
};

// Opens a face; null (with a log line) when the file cannot be read as a font.
std::unique_ptr<Face> OpenFace(const FaceFile& file);

} // namespace win32::gdi

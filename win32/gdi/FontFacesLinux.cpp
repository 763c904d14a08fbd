#include "win32/gdi/FontFaces.h"

#include "foundation/CXDebug.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <strings.h>

namespace win32::gdi {

namespace {

// One FreeType library for the process; the engine's lock serialises every use.
FT_Library Library()
{
    static FT_Library library = [] {
        FT_Library made = nullptr;
        if (FT_Init_FreeType(&made) != 0) {
            CXDebugError("FontFaces> FreeType cannot start");
            return static_cast<FT_Library>(nullptr);
        }
        return made;
    }();
    return library;
}

struct MatchedFace {
    std::string family;
    bool familyMatches = false;
    std::string path;
    int index = 0;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
};

bool MatchFace(const std::string& family, bool bold, bool italic, MatchedFace* face)
{
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return false;
    // A face may carry several family names ("DejaVu Sans" and "DejaVu Sans Condensed"); any of
    // them equal to the one asked counts.
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
        const char* name = reinterpret_cast<const char*>(value);
        if (i == 0)
            face->family = name;
        if (strcasecmp(name, family.c_str()) == 0) {
            face->familyMatches = true;
            face->family = name;
        }
    }
    if (FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch)
        face->path = reinterpret_cast<const char*>(value);
    FcPatternGetInteger(match, FC_INDEX, 0, &face->index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &face->weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &face->slant);
    FcPatternDestroy(match);
    return !face->path.empty();
}

class FreeTypeFace : public Face {
public:
    FreeTypeFace(FT_Face face, const FaceFile& file)
        : fFace(face), fBold(file.syntheticBold), fOblique(file.syntheticOblique)
    {
        fInfo.unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 1000;
        int ascender = face->ascender;
        int descender = -face->descender;
        int lineGap = face->height - (face->ascender - face->descender);
        fInfo.maximumAdvance = face->max_advance_width;
        fInfo.winAscent = ascender;
        fInfo.winDescent = descender;
        auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
        if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            fInfo.winAscent = os2->usWinAscent;
            fInfo.winDescent = os2->usWinDescent;
            fInfo.averageWidth = os2->xAvgCharWidth;
        }
        if (hhea != nullptr) {
            // What the line gap adds beyond the ascent and descent of the line.
            lineGap = hhea->Line_Gap - ((fInfo.winAscent + fInfo.winDescent) - (hhea->Ascender - hhea->Descender));
        }
        fInfo.lineGap = lineGap > 0 ? lineGap : 0;
        if (fInfo.averageWidth <= 0)
            fInfo.averageWidth = fInfo.maximumAdvance / 2;
    }

    ~FreeTypeFace() override { FT_Done_Face(fFace); }

    const FaceInfo& Info() const override { return fInfo; }

    uint32_t GlyphIndex(uint32_t codePoint) override { return FT_Get_Char_Index(fFace, codePoint); }

    int AdvanceUnits(uint32_t glyph) override
    {
        FT_Fixed advance = 0;
        if (FT_Get_Advance(fFace, glyph, FT_LOAD_NO_SCALE, &advance) != 0)
            return 0;
        return static_cast<int>(advance);
    }

    bool Render(uint32_t glyph, int em, GlyphImage* image) override
    {
        *image = GlyphImage();
        if (em != fEm) {
            if (FT_Set_Pixel_Sizes(fFace, 0, static_cast<FT_UInt>(em)) != 0)
                return false;
            fEm = em;
        }
        if (FT_Load_Glyph(fFace, glyph, FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) != 0)
            return false;
        FT_GlyphSlot slot = fFace->glyph;
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            if (fOblique) {
                FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000};
                FT_Outline_Transform(&slot->outline, &shear);
            }
            if (fBold)
                FT_Outline_Embolden(&slot->outline, SyntheticBoldStrength(em));
        }
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
            return false;
        const FT_Bitmap& bitmap = slot->bitmap;
        image->left = slot->bitmap_left;
        image->top = slot->bitmap_top;
        image->width = static_cast<int>(bitmap.width);
        image->height = static_cast<int>(bitmap.rows);
        image->coverage.assign(static_cast<size_t>(image->width) * static_cast<size_t>(image->height), 0);
        for (int y = 0; y < image->height; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
            uint8_t* out = image->coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(image->width);
            for (int x = 0; x < image->width; ++x) {
                if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                    out[x] = (row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
                else
                    out[x] = row[x];
            }
        }
        return true;
    }

private:
    // Half a pixel at em 12, growing with the size (26.6 fixed point).
    static FT_Pos SyntheticBoldStrength(int em) { return static_cast<FT_Pos>(em) * 64 / 24; }

    FT_Face fFace;
    FaceInfo fInfo;
    bool fBold;
    bool fOblique;
    int fEm = 0;
};

// Whether fontconfig's configuration is loaded (under the engine's lock, as everything here).
bool gFontconfigLoaded = false;

bool LoadFontconfig()
{
    if (gFontconfigLoaded)
        return true;
    gFontconfigLoaded = FcInit() == FcTrue;
    static bool loggedFailure = false;
    if (!gFontconfigLoaded && !loggedFailure) {
        loggedFailure = true;
        CXDebugLog("FontFaces> fontconfig cannot start");
    }
    return gFontconfigLoaded;
}

// Families are looked up at start-up only: a family lookup releases the configuration it loaded
// rather than keep it for a program whose text may never need another face.
class FamilyLookupSession {
public:
    FamilyLookupSession() : fLoadedHere(!gFontconfigLoaded), fStarted(LoadFontconfig()) {}
    ~FamilyLookupSession()
    {
        if (fLoadedHere)
            ReleaseFontconfig();
    }
    FamilyLookupSession(const FamilyLookupSession&) = delete;
    FamilyLookupSession& operator=(const FamilyLookupSession&) = delete;

    bool Started() const { return fStarted; }

private:
    bool fLoadedHere;
    bool fStarted;
};

bool BoolOf(FcPattern* pattern, const char* object)
{
    FcBool value = FcFalse;
    return FcPatternGetBool(pattern, object, 0, &value) == FcResultMatch && value == FcTrue;
}

// The face of a match when it has the code point and FreeType can draw it from outlines.
bool CoveringFaceOf(FcPattern* match, uint32_t codePoint, CoveringFace* face)
{
    FcCharSet* charset = nullptr;
    if (FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) != FcResultMatch ||
        FcCharSetHasChar(charset, codePoint) != FcTrue)
        return false;
    if (!BoolOf(match, FC_SCALABLE) || !BoolOf(match, FC_OUTLINE))
        return false;
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) != FcResultMatch)
        return false;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
    face->path = reinterpret_cast<const char*>(path);
    face->index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &face->index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    face->bold = weight >= FC_WEIGHT_DEMIBOLD;
    face->italic = slant != FC_SLANT_ROMAN;
    return true;
}

} // namespace

bool FindFontFamily(const std::string& family, FamilyFiles* files, std::string* matched)
{
    FamilyLookupSession session;
    if (!session.Started())
        return false;
    MatchedFace regular;
    if (!MatchFace(family, false, false, &regular) || !regular.familyMatches) {
        if (matched != nullptr)
            *matched = regular.family;
        return false;
    }
    if (matched != nullptr)
        *matched = regular.family;
    for (int style = 0; style < 4; ++style) {
        bool bold = (style & 1) != 0;
        bool italic = (style & 2) != 0;
        FaceFile& file = files->styles[style];
        MatchedFace face;
        if (style == 0 || !MatchFace(family, bold, italic, &face) || !face.familyMatches)
            face = regular;
        file.path = face.path;
        file.index = face.index;
        file.syntheticBold = bold && face.weight < FC_WEIGHT_DEMIBOLD;
        file.syntheticOblique = italic && face.slant == FC_SLANT_ROMAN;
    }
    return true;
}

bool FindFaceCovering(uint32_t codePoint, CoveringFace* face)
{
    if (!LoadFontconfig())
        return false;
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* charset = FcCharSetCreate();
    bool found = false;
    if (pattern != nullptr && charset != nullptr && FcCharSetAddChar(charset, codePoint) == FcTrue) {
        // The character set outranks the family when fontconfig matches: a face that has the code
        // point comes first whenever one is installed. Colour faces, which have no outlines to
        // draw, rank below every other.
        FcPatternAddCharSet(pattern, FC_CHARSET, charset);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcPatternAddBool(pattern, FC_COLOR, FcFalse);
        FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
            found = CoveringFaceOf(match, codePoint, face);
            FcPatternDestroy(match);
        }
    }
    if (charset != nullptr)
        FcCharSetDestroy(charset);
    if (pattern != nullptr)
        FcPatternDestroy(pattern);
    return found;
}

void ReleaseFontconfig()
{
    if (!gFontconfigLoaded)
        return;
    FcFini();
    gFontconfigLoaded = false;
}

std::unique_ptr<Face> OpenFace(const FaceFile& file)
{
    FT_Library library = Library();
    if (library == nullptr)
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) {
        CXDebugLog("FontFaces> cannot read the font file \"%s\"", file.path.c_str());
        return nullptr;
    }
    if (!FT_IS_SCALABLE(face)) {
        CXDebugLog("FontFaces> \"%s\" is not a scalable font", file.path.c_str());
        FT_Done_Face(face);
        return nullptr;
    }
    return std::make_unique<FreeTypeFace>(face, file);
}

} // namespace win32::gdi

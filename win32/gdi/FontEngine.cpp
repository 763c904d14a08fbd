#include "win32/gdi/FontEngine.h"

#include "foundation/CXDebug.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <unordered_map>
#include <vector>

namespace win32::gdi {

namespace {

constexpr int kMinimumEm = 1;
constexpr int kMaximumEm = 1024;
// Instances beyond this many are dropped from the cache once no font object holds them.
constexpr size_t kInstanceCacheSize = 64;

struct InstalledFamily {
    FontFamily family;
    const char* name;
    const char* package;
};

std::atomic<bool> gEveryFaceTestBox{false};

constexpr InstalledFamily kInstalledFamilies[] = {
    {FontFamily::Sans, "Liberation Sans", "fonts-liberation2"},
    {FontFamily::Serif, "Liberation Serif", "fonts-liberation2"},
    {FontFamily::Mono, "Liberation Mono", "fonts-liberation2"},
    {FontFamily::Fallback, "DejaVu Sans", "fonts-dejavu-core"},
};
constexpr int kInstalledFamilyCount = 4;

struct EngineState {
    bool familiesLoaded = false;
    bool familiesFound = false;
    std::string familiesError;
    FamilyFiles files[kInstalledFamilyCount];
    bool hasFiles[kInstalledFamilyCount] = {};
    // Every face opened, by file and made-up style; a file that failed to open stays null and is
    // not tried again.
    std::map<FaceFile, std::unique_ptr<Face>> faces;
    // For each code point the mapped families and DejaVu Sans lack, the index of the face
    // fontconfig named in coveringFaces, or -1 when no installed face has it.
    std::unordered_map<uint32_t, int> coveringFaceOf;
    std::vector<CoveringFace> coveringFaces;
    bool loggedNoFaces = false;
    std::map<FontKey, std::shared_ptr<FontInstance>> instances;
};

EngineState& State()
{
    // Never destroyed: glyphs may still be asked for while the process ends.
    static EngineState* state = new EngineState();
    return *state;
}

// x * numerator / denominator rounded up, and rounded half up, for non-negative values.
int ScaleCeil(int64_t x, int64_t numerator, int64_t denominator)
{
    return static_cast<int>((x * numerator + denominator - 1) / denominator);
}

int ScaleRound(int64_t x, int64_t numerator, int64_t denominator)
{
    return static_cast<int>((2 * x * numerator + denominator) / (2 * denominator));
}

char16_t FoldCase(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool FaceNameIs(const char16_t* name, const char16_t* expected)
{
    size_t i = 0;
    for (; name[i] != 0 && expected[i] != 0; ++i) {
        if (FoldCase(name[i]) != FoldCase(expected[i]))
            return false;
    }
    return name[i] == 0 && expected[i] == 0;
}

// The opened face of a file, opened at the first call; null when it cannot be read.
Face* CachedFace(const FaceFile& file)
{
    EngineState& state = State();
    auto found = state.faces.find(file);
    if (found == state.faces.end())
        found = state.faces.emplace(file, OpenFace(file)).first;
    return found->second.get();
}

// The opened face of an installed family's style, or null.
Face* FamilyFace(FontFamily family, bool bold, bool italic)
{
    EngineState& state = State();
    int index = static_cast<int>(family);
    if (index >= kInstalledFamilyCount || !state.hasFiles[index])
        return nullptr;
    return CachedFace(state.files[index].styles[FaceStyleIndex(bold, italic)]);
}

// The index in coveringFaces of the face fontconfig names for a code point, -1 for none; asked
// once per code point.
int CoveringFaceIndex(uint32_t codePoint)
{
    EngineState& state = State();
    auto known = state.coveringFaceOf.find(codePoint);
    if (known != state.coveringFaceOf.end())
        return known->second;
    int index = -1;
    CoveringFace face;
    if (FindFaceCovering(codePoint, &face)) {
        auto same = std::find(state.coveringFaces.begin(), state.coveringFaces.end(), face);
        index = static_cast<int>(same - state.coveringFaces.begin());
        if (same == state.coveringFaces.end())
            state.coveringFaces.push_back(std::move(face));
    }
    state.coveringFaceOf.emplace(codePoint, index);
    return index;
}

// The installed face that has a code point the mapped family and DejaVu Sans lack, in a style,
// with *syntheticBold telling whether it is drawn heavier than it is; null when none has it.
Face* CoveringFaceFor(uint32_t codePoint, bool bold, bool italic, bool* syntheticBold)
{
    int index = CoveringFaceIndex(codePoint);
    if (index < 0)
        return nullptr;
    const CoveringFace& face = State().coveringFaces[static_cast<size_t>(index)];
    FaceFile file{face.path, face.index, bold && !face.bold, italic && !face.italic};
    *syntheticBold = file.syntheticBold;
    return CachedFace(file);
}

bool IsSyntheticBold(FontFamily family, bool bold, bool italic)
{
    int index = static_cast<int>(family);
    return index < kInstalledFamilyCount && State().hasFiles[index] &&
           State().files[index].styles[FaceStyleIndex(bold, italic)].syntheticBold;
}

// The extra advance of a glyph drawn heavier than its face.
int SyntheticBoldExtra(int em)
{
    return std::max(1, (em + 12) / 24);
}

FontMetrics BoxMetrics(int em)
{
    FontMetrics metrics;
    metrics.em = em;
    metrics.ascent = ScaleRound(em, 5, 6);
    metrics.descent = ScaleRound(em, 1, 4);
    metrics.height = metrics.ascent + metrics.descent;
    metrics.internalLeading = std::max(0, metrics.height - em);
    metrics.externalLeading = 0;
    metrics.averageWidth = ScaleRound(em, 7, 12);
    metrics.maximumWidth = metrics.averageWidth;
    return metrics;
}

FontMetrics FaceMetrics(const FaceInfo& info, int em, int boldExtra)
{
    FontMetrics metrics;
    metrics.em = em;
    metrics.ascent = ScaleCeil(info.winAscent, em, info.unitsPerEm);
    metrics.descent = ScaleCeil(info.winDescent, em, info.unitsPerEm);
    metrics.height = metrics.ascent + metrics.descent;
    metrics.internalLeading = std::max(0, metrics.height - em);
    metrics.externalLeading = ScaleRound(info.lineGap, em, info.unitsPerEm);
    metrics.averageWidth = ScaleRound(info.averageWidth, em, info.unitsPerEm) + boldExtra;
    metrics.maximumWidth = ScaleCeil(info.maximumAdvance, em, info.unitsPerEm) + boldExtra;
    return metrics;
}

// The face that gives a font its metrics: the family's own, else DejaVu Sans's; null for the
// test face and when no font file can be read.
Face* PrimaryFace(const FontKey& key)
{
    if (key.family == FontFamily::TestBox)
        return nullptr;
    LoadFontFamilies(nullptr);
    Face* face = FamilyFace(key.family, key.bold, key.italic);
    if (face == nullptr)
        face = FamilyFace(FontFamily::Fallback, key.bold, key.italic);
    if (face == nullptr && !State().loggedNoFaces) {
        State().loggedNoFaces = true;
        CXDebugLog("FontEngine> no font file can be read; text is measured as boxes");
    }
    return face;
}

FontMetrics MetricsOf(const FontKey& key)
{
    Face* face = PrimaryFace(key);
    if (face == nullptr)
        return BoxMetrics(key.em);
    int boldExtra = IsSyntheticBold(key.family, key.bold, key.italic) ? SyntheticBoldExtra(key.em) : 0;
    return FaceMetrics(face->Info(), key.em, boldExtra);
}

class BoxInstance : public FontInstance {
public:
    explicit BoxInstance(const FontKey& key)
    {
        fKey = key;
        fMetrics = BoxMetrics(key.em);
        int advance = fMetrics.averageWidth;
        fBox.left = 1;
        fBox.top = fMetrics.ascent - 1;
        fBox.width = std::max(0, advance - 2);
        fBox.height = std::max(0, fMetrics.ascent - 1);
        fBox.coverage.assign(static_cast<size_t>(fBox.width) * static_cast<size_t>(fBox.height), 255);
    }

    int Advance(uint32_t codePoint) override { return codePoint < 0x20 ? 0 : fMetrics.averageWidth; }

    const GlyphImage* Glyph(uint32_t codePoint) override
    {
        return codePoint <= 0x20 || fBox.coverage.empty() ? nullptr : &fBox;
    }

private:
    GlyphImage fBox;
};

class FaceInstance : public FontInstance {
public:
    FaceInstance(const FontKey& key, Face* primary) : fPrimary(primary)
    {
        fKey = key;
        fFallback = FamilyFace(FontFamily::Fallback, key.bold, key.italic);
        if (fFallback == nullptr)
            fFallback = primary;
        fPrimaryBoldExtra = IsSyntheticBold(key.family, key.bold, key.italic) ? SyntheticBoldExtra(key.em) : 0;
        fFallbackBoldExtra = IsSyntheticBold(FontFamily::Fallback, key.bold, key.italic) ? SyntheticBoldExtra(key.em) : 0;
        fMetrics = FaceMetrics(primary->Info(), key.em, fPrimaryBoldExtra);
    }

    int Advance(uint32_t codePoint) override
    {
        if (codePoint < 0x20)
            return 0;
        return Entry(codePoint).advance;
    }

    const GlyphImage* Glyph(uint32_t codePoint) override
    {
        if (codePoint < 0x20)
            return nullptr;
        GlyphEntry& entry = Entry(codePoint);
        if (!entry.rendered) {
            entry.rendered = true;
            if (!entry.face->Render(entry.glyph, fKey.em, &entry.image))
                entry.image = GlyphImage();
        }
        return entry.image.coverage.empty() ? nullptr : &entry.image;
    }

private:
    struct GlyphEntry {
        Face* face = nullptr;
        uint32_t glyph = 0;
        int advance = 0;
        bool rendered = false;
        GlyphImage image;
    };

    GlyphEntry& Entry(uint32_t codePoint)
    {
        auto found = fGlyphs.find(codePoint);
        if (found != fGlyphs.end())
            return found->second;
        GlyphEntry entry;
        entry.face = fPrimary;
        entry.glyph = fPrimary->GlyphIndex(codePoint);
        int boldExtra = fPrimaryBoldExtra;
        if (entry.glyph == 0 && fFallback != fPrimary) {
            entry.face = fFallback;
            entry.glyph = fFallback->GlyphIndex(codePoint);
            boldExtra = fFallbackBoldExtra;
        }
        if (entry.glyph == 0)
            TakeCoveringFace(codePoint, &entry, &boldExtra);
        const FaceInfo& info = entry.face->Info();
        entry.advance = ScaleRound(std::max(0, entry.face->AdvanceUnits(entry.glyph)), fKey.em, info.unitsPerEm);
        if (entry.advance > 0)
            entry.advance += boldExtra;
        return fGlyphs.emplace(codePoint, std::move(entry)).first->second;
    }

    // The glyph of the installed face fontconfig names for a code point; left as the missing
    // glyph of DejaVu Sans (else of the primary face) when no installed face has it.
    void TakeCoveringFace(uint32_t codePoint, GlyphEntry* entry, int* boldExtra)
    {
        bool syntheticBold = false;
        Face* face = CoveringFaceFor(codePoint, fKey.bold, fKey.italic, &syntheticBold);
        uint32_t glyph = face != nullptr ? face->GlyphIndex(codePoint) : 0;
        if (glyph == 0)
            return;
        entry->face = face;
        entry->glyph = glyph;
        *boldExtra = syntheticBold ? SyntheticBoldExtra(fKey.em) : 0;
    }

    Face* fPrimary;
    Face* fFallback = nullptr;
    int fPrimaryBoldExtra = 0;
    int fFallbackBoldExtra = 0;
    std::unordered_map<uint32_t, GlyphEntry> fGlyphs;
};

} // namespace

void SetEveryFaceTestBox(bool on)
{
    gEveryFaceTestBox.store(on);
}

bool IsEveryFaceTestBox()
{
    return gEveryFaceTestBox.load();
}

FontFamily FamilyForFaceName(const char16_t* faceName)
{
    if (IsEveryFaceTestBox())
        return FontFamily::TestBox;
    if (faceName == nullptr)
        return FontFamily::Sans;
    if (FaceNameIs(faceName, u"Times New Roman"))
        return FontFamily::Serif;
    if (FaceNameIs(faceName, u"Courier New"))
        return FontFamily::Mono;
    if (FaceNameIs(faceName, u"Layer Test Box"))
        return FontFamily::TestBox;
    return FontFamily::Sans;
}

bool FindInstalledFamily(const std::string& family, const std::string& package, FamilyFiles* files,
                         std::string* error)
{
    std::string matched;
    if (FindFontFamily(family, files, &matched))
        return true;
    if (error != nullptr) {
        *error = "the font family \"" + family + "\" is not installed";
        if (!matched.empty())
            *error += " (fontconfig offers \"" + matched + "\")";
        *error += "; install the package " + package;
    }
    return false;
}

bool LoadFontFamilies(std::string* error)
{
    EngineState& state = State();
    if (!state.familiesLoaded) {
        state.familiesLoaded = true;
        state.familiesFound = true;
        for (const InstalledFamily& family : kInstalledFamilies) {
            int index = static_cast<int>(family.family);
            std::string message;
            state.hasFiles[index] = FindInstalledFamily(family.name, family.package, &state.files[index], &message);
            if (!state.hasFiles[index] && state.familiesFound) {
                state.familiesFound = false;
                state.familiesError = message;
            }
        }
    }
    if (error != nullptr)
        *error = state.familiesError;
    return state.familiesFound;
}

int EmForHeight(FontFamily family, bool bold, bool italic, int32_t height)
{
    if (height == 0)
        return 12;
    if (height < 0)
        return static_cast<int>(std::clamp<int64_t>(-static_cast<int64_t>(height), kMinimumEm, kMaximumEm));
    // The cell height never shrinks as the em grows: search for the last em that fits.
    FontKey key{family, kMinimumEm, bold, italic};
    int fits = kMinimumEm;
    int low = kMinimumEm + 1;
    int high = kMaximumEm;
    while (low <= high) {
        key.em = low + (high - low) / 2;
        if (MetricsOf(key).height <= height) {
            fits = key.em;
            low = key.em + 1;
        } else {
            high = key.em - 1;
        }
    }
    return fits;
}

std::shared_ptr<FontInstance> GetFontInstance(FontKey key)
{
    key.em = std::clamp(key.em, kMinimumEm, kMaximumEm);
    EngineState& state = State();
    auto found = state.instances.find(key);
    if (found != state.instances.end())
        return found->second;
    if (state.instances.size() >= kInstanceCacheSize) {
        for (auto it = state.instances.begin(); it != state.instances.end();)
            it = it->second.use_count() == 1 ? state.instances.erase(it) : std::next(it);
    }
    std::shared_ptr<FontInstance> instance;
    if (Face* face = PrimaryFace(key))
        instance = std::make_shared<FaceInstance>(key, face);
    else
        instance = std::make_shared<BoxInstance>(key);
    state.instances.emplace(key, instance);
    return instance;
}

} // namespace win32::gdi

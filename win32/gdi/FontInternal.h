#pragma once

// The font object of the drawing library, for the text calls. Everything here runs under the
// drawing lock (gdi::Lock()).

#include "win32/gdi/Font.h"
#include "win32/gdi/FontEngine.h"
#include "win32/gdi/GdiInternal.h"

#include <memory>

namespace win32::gdi {

class Font : public Object {
public:
    static constexpr core::HandleKind kKind = core::HandleKind::Font;
    explicit Font(const LOGFONTW& description);
    int Describe(int size, void* buffer) const override;

    bool IsBold() const { return description.lfWeight >= FW_SEMIBOLD; }

    LOGFONTW description;
    // The face at the font's size and style, shared with every font that asks for the same.
    std::shared_ptr<FontInstance> instance;
};

// The font a DC draws with: its selected font, else the stock system font. Null only when no font
// can be made at all.
Font* FontOf(const DeviceContext& dc);

} // namespace win32::gdi

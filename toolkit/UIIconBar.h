#pragma once

#include "foundation/CXReferenceCount.h"
#include "foundation/CXString.h"
#include "toolkit/UIBitmap.h"
#include "toolkit/UICustomControl.h"

#include <cstdint>
#include <vector>

// A row of 16-pixel icons, one every 20 pixels from x = 6. A click (a press and a release on the
// same icon) posts that icon's message to the bar, which passes it up to its parents on a later
// turn of the main loop; the icon pressed shows shaded while the pointer stays on it. An icon
// without a picture shows a reddish placeholder. Main thread only.
class UIIconBar : public UICustomControl {
public:
    static constexpr int32_t kIconPitch = 20;

    UIIconBar() = default;
    // RemoveAllIcons.
    ~UIIconBar() override;

    // Adds an icon at the end: its picture (the bar holds a reference; null for none) and the
    // name of the message a click posts.
    void AddIcon(UIBitmap* bitmap, const CXString& messageName);
    // Releases every picture and forgets every icon; the bar is drawn again.
    void RemoveAllIcons();
    size_t GetIconCount() const { return fIcons.size(); }
    int32_t GetPressedIndex() const { return fPressedIndex; }
    int32_t GetHoverIndex() const { return fHoverIndex; }

    // --- UICustomControlBase ---
    // Hit and kind 2: the icons' strip (4, 0, 4 + 20 n, height); drawn: nothing; others as for any
    // control.
    RazaRegion GetRegion(int32_t kind) override;
    // The default drawing, then each icon in (6 + 20 i, 2, 22 + 20 i, 18); the icon both pressed
    // and under the pointer shaded.
    void Draw(RazaGraf& graf) override;
    // The icon at (x - 4) / 20 (rounded toward zero): a press focuses the parent and presses it,
    // a drag tracks the icon under the pointer, a release on the pressed icon posts its message, a
    // cancel forgets the press. True.
    bool HandleMouse(Vector2i point, int32_t modifiers, int32_t phase) override;

private:
    struct Icon {
        CXAutoReference<UIBitmap> bitmap;
        CXString messageName;
    };
    int32_t IconIndexAt(Vector2i point) const;

    std::vector<Icon> fIcons;
    int32_t fPressedIndex = -1;
    int32_t fHoverIndex = -1;
};

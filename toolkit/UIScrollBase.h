#pragma once

#include "toolkit/ScrollAxisRef.h"

#include <cstdint>

class UIElement;

// The scroll-bar side of the scrolling model: a bar that shows one axis, made with itself as the
// axis's client. Owners link the axis with the axes it scrolls with (GetAxis().AddClient) and
// place the bar by its element and thickness. Main thread only.
class UIScrollBase : public Scrollable {
public:
    UIScrollBase();
    // Detaches the axis first, so the rest of its ring is recombined without this bar and never
    // reaches it again.
    ~UIScrollBase() override;

    // The element that shows the bar (borrowed).
    virtual UIElement* GetElement() = 0;
    // True when the bar lies over the content instead of beside it; false here.
    virtual bool OverlaysContent() const;
    // The bar's thickness across its axis, in pixels.
    virtual int32_t GetThickness() const = 0;
    // The kind of bar as a small integer; the native bar answers 1. Nothing reads it yet.
    virtual int32_t GetBarKind() const = 0;

    ScrollAxisRef& GetAxis() { return fAxis; }
    const ScrollAxisRef& GetAxis() const { return fAxis; }

private:
    ScrollAxisRef fAxis{this};
};

#pragma once

#include "foundation/CXString.h"

#include <cstdint>

// Reading and writing an editable text, whatever control holds it. Texts are UTF-8 with "\n"
// line breaks; selections count UTF-16 units, as the window system does.
class RazaTextEditInterface {
public:
    virtual ~RazaTextEditInterface() = default;

    virtual void SetText(const CXString& text) = 0;
    virtual CXString GetText() = 0;
    virtual void SetSelection(int32_t start, int32_t end) = 0;
    virtual void GetSelection(int32_t& start, int32_t& end) = 0;
};

#pragma once

#include "datanode/DNRawData.h"
#include "foundation/CXResultCode.h"

// Converts raw values of one type into another. Every translator object adds itself to one
// process-wide list at construction (in construction order, which decides between competing
// conversion paths) and removes itself on destruction. Translators keep no state.
class DNTranslator {
public:
    DNTranslator(DNTypeID from, DNTypeID to);
    virtual ~DNTranslator();
    DNTranslator(const DNTranslator&) = delete;
    DNTranslator& operator=(const DNTranslator&) = delete;

    // Converts input (of the source type) into output (of the target type). Returns 0; -12 when
    // the input payload has the wrong size for the source type; -15 when this value cannot be
    // converted (another path may still succeed). Output is left alone on failure.
    virtual CXResultCode Translate(const DNRawData& input, DNRawData& output) const = 0;

    DNTypeID GetFrom() const { return fFrom; }
    DNTypeID GetTo() const { return fTo; }
    // A translator whose source and target are equal (the built-in ones before
    // DNInitBuiltInTranslators) takes part in no conversion.
    void SetTypes(DNTypeID from, DNTypeID to)
    {
        fFrom = from;
        fTo = to;
    }

private:
    DNTypeID fFrom;
    DNTypeID fTo;
};

// Gives the built-in translators (numbers, texts, lists, booleans) their source and target
// types. The application calls it once at start-up, before any configuration is read; until
// then only the structure translators (Box2i, Vector2i, Vector2, CXColor) convert.
void DNInitBuiltInTranslators();

#include "datanode/DNTranslator.h"

#include "datanode/DNNumberText.h"
#include "datanode/DNRawDataType.h"
#include "foundation/CXArray.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFastArray.h"
#include "foundation/CXStringEdit.h"
#include "foundation/CXTextParsing.h"

#include <cstring>

// The structure types, the translators and the conversion search live in this one translation
// unit: the registrations are static objects, and keeping them beside DNRawData::Coerce makes
// sure every program that converts values also links them. Types come first, then the structure
// translators, then the built-in ones; the list order is the construction order.

namespace {

// Constant-initialised, so registrations from any static initialiser find it in a defined state.
Array<DNTranslator*>* sTranslators = nullptr;

void Register(DNTranslator* translator)
{
    if (sTranslators == nullptr)
        sTranslators = new Array<DNTranslator*>(128);
    (void)sTranslators->Append(translator);
}

void Unregister(DNTranslator* translator)
{
    if (sTranslators == nullptr)
        return;
    for (uint64_t i = 0; i < sTranslators->count(); ++i) {
        if ((*sTranslators)[i] == translator) {
            sTranslators->Remove(i);
            break;
        }
    }
    if (sTranslators->count() == 0) {
        delete sTranslators;
        sTranslators = nullptr;
    }
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

CXResultCode SameBytes(const DNRawData& in, DNRawData& out, size_t size, DNTypeID to)
{
    if (in.GetSize() != size)
        return kCXBadFormat;
    out = DNRawData(in.GetPayload(), to);
    return kCXOK;
}

CXResultCode FromEdit(const CXStringEditBase& edit, DNTypeID to, DNRawData& out)
{
    out = DNRawData(CXString(edit), to);
    return kCXOK;
}

// A list of numbers separated by ',' with optional blanks around each element; no trailing
// comma, no empty list. Elements collect in blocks of 128.
template <class T, class Scan>
CXResultCode ParseList(const DNRawData& in, DNTypeID to, DNRawData& out, Scan scan)
{
    const char* data = in.GetBytes();
    size_t length = in.GetSize();
    FastArray<T> elements;
    size_t pos = 0;
    for (;;) {
        while (pos < length && IsBlank(data[pos]))
            ++pos;
        T value;
        if (!scan(data, length, pos, value))
            return kCXConversionFailed;
        elements.Append(value);
        if (pos < length && data[pos] != ',' && !IsBlank(data[pos]))
            return kCXConversionFailed;
        while (pos < length && IsBlank(data[pos]))
            ++pos;
        if (pos == length)
            break;
        if (data[pos] != ',')
            return kCXConversionFailed;
        ++pos;
    }
    CXStringEdit bytes;
    if (!bytes.Upsize(0, static_cast<size_t>(elements.count()) * 4))
        return kCXNoResources;
    for (uint64_t i = 0; i < elements.count(); ++i) {
        char element[4];
        if constexpr (std::is_same_v<T, float>)
            DNWriteFloat(element, elements[i]);
        else
            DNWriteInt32(element, elements[i]);
        (void)bytes.Append(element, 4);
    }
    return FromEdit(bytes, to, out);
}

bool ScanInt32(const char* data, size_t length, size_t& pos, int32_t& out)
{
    int64_t value;
    if (!DNScanInteger(data, length, pos, INT32_MIN, INT32_MAX, value))
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

// Size checks for payloads of 4-byte elements.
bool IsElementPayload(const DNRawData& in)
{
    return in.GetSize() % 4 == 0;
}

CXResultCode FloatsToColor(const DNRawData& in, DNRawData& out)
{
    if (in.GetSize() == 16)
        return SameBytes(in, out, 16, kDNTypeCXColor);
    if (in.GetSize() != 12)
        return kCXBadFormat;
    char bytes[16];
    std::memcpy(bytes, in.GetBytes(), 12);
    DNWriteFloat(bytes + 12, 1.0f);
    out = DNRawData(bytes, sizeof bytes, kDNTypeCXColor);
    return kCXOK;
}

CXResultCode IntToFloat(const DNRawData& in, DNRawData& out)
{
    if (in.GetSize() != 4)
        return kCXBadFormat;
    char bytes[4];
    DNWriteFloat(bytes, static_cast<float>(DNReadInt32(in.GetBytes())));
    out = DNRawData(bytes, 4, kDNTypeFloat);
    return kCXOK;
}

CXResultCode IntsToFloats(const DNRawData& in, DNRawData& out)
{
    if (!IsElementPayload(in))
        return kCXBadFormat;
    CXStringEdit bytes;
    if (!bytes.Upsize(0, in.GetSize()))
        return kCXNoResources;
    for (size_t i = 0; i < in.GetSize(); i += 4) {
        char element[4];
        DNWriteFloat(element, static_cast<float>(DNReadInt32(in.GetBytes() + i)));
        (void)bytes.Append(element, 4);
    }
    return FromEdit(bytes, kDNTypeFloats, out);
}

CXResultCode IntToString(const DNRawData& in, DNRawData& out)
{
    if (in.GetSize() != 4)
        return kCXBadFormat;
    CXStringEdit text;
    DNAppendInt32Text(text, DNReadInt32(in.GetBytes()));
    return FromEdit(text, kDNTypeString, out);
}

CXResultCode StringToInt(const DNRawData& in, DNRawData& out)
{
    int64_t value;
    if (!DNParseIntegerText(in.GetBytes(), in.GetSize(), INT32_MIN, INT32_MAX, value))
        return kCXConversionFailed;
    out = DNRawData::FromInt(static_cast<int32_t>(value));
    return kCXOK;
}

CXResultCode FloatToString(const DNRawData& in, DNRawData& out)
{
    if (in.GetSize() != 4)
        return kCXBadFormat;
    CXStringEdit text;
    DNAppendFloatGText(text, DNReadFloat(in.GetBytes()));
    return FromEdit(text, kDNTypeString, out);
}

CXResultCode StringToFloat(const DNRawData& in, DNRawData& out)
{
    float value;
    if (!DNParseDecimalText(in.GetBytes(), in.GetSize(), value))
        return kCXConversionFailed;
    char bytes[4];
    DNWriteFloat(bytes, value);
    out = DNRawData(bytes, 4, kDNTypeFloat);
    return kCXOK;
}

// A list of 4-byte elements as text, ", " between the elements.
template <class AppendElement>
CXResultCode ElementsToString(const DNRawData& in, DNRawData& out, AppendElement append)
{
    if (!IsElementPayload(in))
        return kCXBadFormat;
    CXStringEdit text;
    for (size_t i = 0; i < in.GetSize(); i += 4) {
        if (i != 0)
            text.Append(", ", 2);
        append(text, in.GetBytes() + i);
    }
    return FromEdit(text, kDNTypeString, out);
}

CXResultCode FloatsToString(const DNRawData& in, DNRawData& out)
{
    return ElementsToString(in, out, [](CXStringEdit& text, const char* element) { DNAppendFloatFText(text, DNReadFloat(element)); });
}

CXResultCode StringToFloats(const DNRawData& in, DNRawData& out)
{
    return ParseList<float>(in, kDNTypeFloats, out, DNScanDecimal);
}

CXResultCode BoolToString(const DNRawData& in, DNRawData& out)
{
    if (in.GetSize() != 1)
        return kCXBadFormat;
    out = DNRawData(in.GetBytes()[0] != 0 ? "True" : "False");
    return kCXOK;
}

CXResultCode StringToBool(const DNRawData& in, DNRawData& out)
{
    // The whole payload is the text: a NUL inside it is a byte like any other, not an end.
    CXStringArgument text(in.GetBytes(), in.GetSize());
    if (std::memchr(text.data(), 0, text.length()) != nullptr)
        return kCXConversionFailed;
    if (text.CompareNoCase("true") == 0 || text.CompareNoCase("1") == 0) {
        out = DNRawData::FromBool(true);
        return kCXOK;
    }
    if (text.CompareNoCase("false") == 0 || text.CompareNoCase("0") == 0) {
        out = DNRawData::FromBool(false);
        return kCXOK;
    }
    return kCXConversionFailed;
}

CXResultCode IntsToString(const DNRawData& in, DNRawData& out)
{
    return ElementsToString(in, out, [](CXStringEdit& text, const char* element) { DNAppendInt32Text(text, DNReadInt32(element)); });
}

CXResultCode StringToInts(const DNRawData& in, DNRawData& out)
{
    return ParseList<int32_t>(in, kDNTypeInts, out, ScanInt32);
}

CXResultCode Int64ToString(const DNRawData& in, DNRawData& out)
{
    if (in.GetSize() != 8)
        return kCXBadFormat;
    CXStringEdit text;
    DNAppendInt64Text(text, DNReadInt64(in.GetBytes()));
    return FromEdit(text, kDNTypeString, out);
}

CXResultCode StringToInt64(const DNRawData& in, DNRawData& out)
{
    int64_t value;
    if (!DNParseIntegerText(in.GetBytes(), in.GetSize(), INT64_MIN, INT64_MAX, value))
        return kCXConversionFailed;
    char bytes[8];
    DNWriteInt64(bytes, value);
    out = DNRawData(bytes, 8, kDNTypeInt64);
    return kCXOK;
}

CXResultCode IntToInt64(const DNRawData& in, DNRawData& out)
{
    if (in.GetSize() != 4)
        return kCXBadFormat;
    char bytes[8];
    DNWriteInt64(bytes, DNReadInt32(in.GetBytes()));
    out = DNRawData(bytes, 8, kDNTypeInt64);
    return kCXOK;
}

CXResultCode Int64ToInt(const DNRawData& in, DNRawData& out)
{
    if (in.GetSize() != 8)
        return kCXBadFormat;
    int64_t value = DNReadInt64(in.GetBytes());
    if (value < INT32_MIN || value > INT32_MAX)
        return kCXConversionFailed;
    out = DNRawData::FromInt(static_cast<int32_t>(value));
    return kCXOK;
}

CXResultCode Box2iToInts(const DNRawData& in, DNRawData& out) { return SameBytes(in, out, 16, kDNTypeInts); }
CXResultCode IntsToBox2i(const DNRawData& in, DNRawData& out) { return SameBytes(in, out, 16, kDNTypeBox2i); }
CXResultCode Vector2iToInts(const DNRawData& in, DNRawData& out) { return SameBytes(in, out, 8, kDNTypeInts); }
CXResultCode IntsToVector2i(const DNRawData& in, DNRawData& out) { return SameBytes(in, out, 8, kDNTypeVector2i); }
CXResultCode Vector2ToFloats(const DNRawData& in, DNRawData& out) { return SameBytes(in, out, 8, kDNTypeFloats); }
CXResultCode FloatsToVector2(const DNRawData& in, DNRawData& out) { return SameBytes(in, out, 8, kDNTypeVector2); }
CXResultCode CXColorToFloats(const DNRawData& in, DNRawData& out) { return SameBytes(in, out, 16, kDNTypeFloats); }

} // namespace

DNTranslator::DNTranslator(DNTypeID from, DNTypeID to) : fFrom(from), fTo(to)
{
    Register(this);
}

DNTranslator::~DNTranslator()
{
    Unregister(this);
}

// Registered structure types.
static DNRawDataType sBox2iType(kDNTypeBox2i, "Box2i");
static DNRawDataType sVector2iType(kDNTypeVector2i, "Vector2i");
static DNRawDataType sVector2Type(kDNTypeVector2, "Vector2");
static DNRawDataType sCXColorType(kDNTypeCXColor, "CXColor");

// Each translator is a class of its own, named after its source and target, built around one
// conversion function.
#define DN_TRANSLATOR(Name, From, To, Function)                                              \
    class Name final : public DNTranslator {                                                 \
    public:                                                                                  \
        Name() : DNTranslator(From, To) {}                                                   \
        CXResultCode Translate(const DNRawData& input, DNRawData& output) const override    \
        {                                                                                    \
            return Function(input, output);                                                  \
        }                                                                                    \
    };                                                                                       \
    static Name s##Name;

DN_TRANSLATOR(DNTranslator_Box2i_INTS, kDNTypeBox2i, kDNTypeInts, Box2iToInts)
DN_TRANSLATOR(DNTranslator_INTS_Box2i, kDNTypeInts, kDNTypeBox2i, IntsToBox2i)
DN_TRANSLATOR(DNTranslator_Vector2i_INTS, kDNTypeVector2i, kDNTypeInts, Vector2iToInts)
DN_TRANSLATOR(DNTranslator_INTS_Vector2i, kDNTypeInts, kDNTypeVector2i, IntsToVector2i)
DN_TRANSLATOR(DNTranslator_Vector2_FLOATS, kDNTypeVector2, kDNTypeFloats, Vector2ToFloats)
DN_TRANSLATOR(DNTranslator_FLOATS_Vector2, kDNTypeFloats, kDNTypeVector2, FloatsToVector2)
DN_TRANSLATOR(DNTranslator_CXColor_FLOATS, kDNTypeCXColor, kDNTypeFloats, CXColorToFloats)
DN_TRANSLATOR(DNTranslator_FLOATS_CXColor, kDNTypeFloats, kDNTypeCXColor, FloatsToColor)

// The built-in translators get their types from DNInitBuiltInTranslators.
DN_TRANSLATOR(DNTranslator_INT_FLOAT, 0, 0, IntToFloat)
DN_TRANSLATOR(DNTranslator_INTS_FLOATS, 0, 0, IntsToFloats)
DN_TRANSLATOR(DNTranslator_INT_STRING, 0, 0, IntToString)
DN_TRANSLATOR(DNTranslator_STRING_INT, 0, 0, StringToInt)
DN_TRANSLATOR(DNTranslator_FLOAT_STRING, 0, 0, FloatToString)
DN_TRANSLATOR(DNTranslator_STRING_FLOAT, 0, 0, StringToFloat)
DN_TRANSLATOR(DNTranslator_FLOATS_STRING, 0, 0, FloatsToString)
DN_TRANSLATOR(DNTranslator_STRING_FLOATS, 0, 0, StringToFloats)
DN_TRANSLATOR(DNTranslator_BOOL_STRING, 0, 0, BoolToString)
DN_TRANSLATOR(DNTranslator_STRING_BOOL, 0, 0, StringToBool)
DN_TRANSLATOR(DNTranslator_INTS_STRING, 0, 0, IntsToString)
DN_TRANSLATOR(DNTranslator_STRING_INTS, 0, 0, StringToInts)
DN_TRANSLATOR(DNTranslator_INT64_STRING, 0, 0, Int64ToString)
DN_TRANSLATOR(DNTranslator_STRING_INT64, 0, 0, StringToInt64)
DN_TRANSLATOR(DNTranslator_INT_INT64, 0, 0, IntToInt64)
DN_TRANSLATOR(DNTranslator_INT64_INT, 0, 0, Int64ToInt)

#undef DN_TRANSLATOR

void DNInitBuiltInTranslators()
{
    sDNTranslator_INT_FLOAT.SetTypes(kDNTypeInt, kDNTypeFloat);
    sDNTranslator_INTS_FLOATS.SetTypes(kDNTypeInts, kDNTypeFloats);
    sDNTranslator_INT_STRING.SetTypes(kDNTypeInt, kDNTypeString);
    sDNTranslator_STRING_INT.SetTypes(kDNTypeString, kDNTypeInt);
    sDNTranslator_FLOAT_STRING.SetTypes(kDNTypeFloat, kDNTypeString);
    sDNTranslator_STRING_FLOAT.SetTypes(kDNTypeString, kDNTypeFloat);
    sDNTranslator_FLOATS_STRING.SetTypes(kDNTypeFloats, kDNTypeString);
    sDNTranslator_STRING_FLOATS.SetTypes(kDNTypeString, kDNTypeFloats);
    sDNTranslator_BOOL_STRING.SetTypes(kDNTypeBool, kDNTypeString);
    sDNTranslator_STRING_BOOL.SetTypes(kDNTypeString, kDNTypeBool);
    sDNTranslator_INTS_STRING.SetTypes(kDNTypeInts, kDNTypeString);
    sDNTranslator_STRING_INTS.SetTypes(kDNTypeString, kDNTypeInts);
    sDNTranslator_INT64_STRING.SetTypes(kDNTypeInt64, kDNTypeString);
    sDNTranslator_STRING_INT64.SetTypes(kDNTypeString, kDNTypeInt64);
    sDNTranslator_INT_INT64.SetTypes(kDNTypeInt, kDNTypeInt64);
    sDNTranslator_INT64_INT.SetTypes(kDNTypeInt64, kDNTypeInt);
}

CXResultCode DNRawData::Coerce(const DNRawData& source, DNTypeID target, DNRawData& out, bool quiet)
{
    DNTypeID from = source.fType;
    if (target == from) {
        out = source;
        return kCXOK;
    }
    if (target == kDNTypeNone && source.GetSize() == 0) {
        out = DNRawData();
        return kCXOK;
    }
    if (sTranslators == nullptr || sTranslators->count() == 0) {
        out = DNRawData();
        return kCXConversionFailed;
    }

    // out may be the source itself: results go to a local first.
    const Array<DNTranslator*>& list = *sTranslators;
    DNRawData result;
    for (uint64_t i = 0; i < list.count(); ++i) {
        const DNTranslator* direct = list[i];
        if (direct->GetFrom() == direct->GetTo() || direct->GetFrom() != from || direct->GetTo() != target)
            continue;
        CXResultCode code = direct->Translate(source, result);
        if (code != kCXConversionFailed) {
            out = code == kCXOK ? result : DNRawData();
            return code;
        }
    }

    for (uint64_t a = 0; a < list.count(); ++a) {
        const DNTranslator* first = list[a];
        if (first->GetFrom() == first->GetTo() || first->GetFrom() != from)
            continue;
        bool ran = false;
        CXResultCode firstCode = kCXOK;
        DNRawData middle;
        for (uint64_t b = 0; b < list.count(); ++b) {
            const DNTranslator* second = list[b];
            if (second->GetFrom() == second->GetTo() || second->GetFrom() != first->GetTo() || second->GetTo() != target)
                continue;
            if (!ran) {
                firstCode = first->Translate(source, middle);
                ran = true;
            }
            if (firstCode != kCXOK) {
                if (firstCode != kCXConversionFailed) {
                    out = DNRawData();
                    return firstCode;
                }
                break;
            }
            CXResultCode code = second->Translate(middle, result);
            if (code != kCXConversionFailed) {
                out = code == kCXOK ? result : DNRawData();
                return code;
            }
        }
    }

    if (!quiet && from != kDNTypeNone)
        CXDebugLog("DNRawData::Coerce> unable to coerce from %s to %s (raw: \"%s\")", FourCCToString(from).c_str(),
                   FourCCToString(target).c_str(), source.GetBytes());
    out = DNRawData();
    return kCXConversionFailed;
}

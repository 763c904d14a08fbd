#pragma once

#include "datanode/DNMemoryValue.h"
#include "datanode/DNTranslator.h"
#include "datanode/DNValue.h"
#include "datanode/TextConfig.h"
#include "streams/CXStreamMemory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// Shared helpers of the data-node tests.
namespace DataNodeTesting {

// The built-in translators are set up once, after static initialisation, as the application does
// at start-up.
class TranslatorEnvironment : public testing::Environment {
public:
    void SetUp() override { DNInitBuiltInTranslators(); }
};
inline testing::Environment* const kTranslatorEnvironment = testing::AddGlobalTestEnvironment(new TranslatorEnvironment);

inline std::string Bytes(const DNRawData& data)
{
    return std::string(data.GetBytes(), data.GetSize());
}

inline DNValueRef NewFolder()
{
    return DNAdopt<DNValue>(new DNMemoryValue);
}

inline DNValueRef NewLeaf(const DNRawData& data)
{
    return DNAdopt<DNValue>(new DNMemoryDataValue(data));
}

inline DNRawData Key(const char* text)
{
    return DNRawData(text);
}

inline DNValueRef Parse(const std::string& text)
{
    DNValueRef root = NewFolder();
    TextConfig::ParseText(root, text.data(), text.size());
    return root;
}

// A compact view of a leaf: its type and its value, e.g. INT(1), STR(x), RAW(0A0B).
inline std::string DescribeLeaf(const DNValueRef& value)
{
    DNRawData data = value->GetData();
    const char* bytes = data.GetBytes();
    size_t size = data.GetSize();
    char number[64];
    std::string text;
    auto list = [&](const char* name, bool floats) {
        text = name;
        text += "(";
        for (size_t i = 0; i + 4 <= size; i += 4) {
            if (i != 0)
                text += ",";
            if (floats)
                std::snprintf(number, sizeof number, "%g", static_cast<double>(DNReadFloat(bytes + i)));
            else
                std::snprintf(number, sizeof number, "%d", DNReadInt32(bytes + i));
            text += number;
        }
        text += ")";
    };
    switch (data.GetType()) {
    case kDNTypeInt:
        std::snprintf(number, sizeof number, "INT(%d)", size == 4 ? DNReadInt32(bytes) : -999);
        return number;
    case kDNTypeInt64:
        std::snprintf(number, sizeof number, "I64(%lld)", size == 8 ? static_cast<long long>(DNReadInt64(bytes)) : -999LL);
        return number;
    case kDNTypeFloat:
        std::snprintf(number, sizeof number, "FLT(%g)", size == 4 ? static_cast<double>(DNReadFloat(bytes)) : -999.0);
        return number;
    case kDNTypeString:
        return "STR(" + Bytes(data) + ")";
    case kDNTypeRaw:
        text = "RAW(";
        for (size_t i = 0; i < size; ++i) {
            std::snprintf(number, sizeof number, "%02X", static_cast<unsigned char>(bytes[i]));
            text += number;
        }
        return text + ")";
    case kDNTypeInts:
        list("INTS", false);
        return text;
    case kDNTypeFloats:
        list("FLTS", true);
        return text;
    case kDNTypeBool:
        return size == 1 && bytes[0] != 0 ? "BOOL(1)" : "BOOL(0)";
    default:
        std::snprintf(number, sizeof number, "TYPE%u(", static_cast<unsigned>(data.GetType()));
        return number + Bytes(data) + ")";
    }
}

// The tree as text: entries separated by blanks, each the key, then "=" and the leaf, or "{...}"
// for a folder; a key-only entry is the key alone.
inline std::string Describe(const DNValueRef& folder)
{
    std::string text;
    for (DNIteratorRef it = folder->First(); !it->AtEnd(); it->Next()) {
        if (!text.empty())
            text += " ";
        text += Bytes(it->GetKey()->GetData());
        DNValueRef value = it->GetValue();
        if (value->GetType() == static_cast<int>(kDNTypeFolder))
            text += "{" + Describe(value) + "}";
        else if (value->GetType() != 0)
            text += "=" + DescribeLeaf(value);
    }
    return text;
}

// What the writer puts out for the folder.
inline std::string WriteText(const DNValueRef& folder, unsigned indent = 0)
{
    CXStreamDynamicBuffer stream;
    EXPECT_EQ(TextConfig::Write(folder.get(), stream, indent), kCXOK);
    std::string text(static_cast<size_t>(stream.GetSize()), '\0');
    (void)stream.Seek(0, CXStream::kSeekSet);
    EXPECT_EQ(stream.Read(text.data(), text.size()), text.size());
    return text;
}

} // namespace DataNodeTesting

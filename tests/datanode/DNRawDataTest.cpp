#include "datanode/DNRawData.h"

#include "DataNodeTesting.h"
#include "datanode/DNRawDataType.h"
#include "datanode/DNTranslator.h"
#include "foundation/CXDebug.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace DataNodeTesting;

namespace {

DNRawData Ints(std::initializer_list<int32_t> values)
{
    std::string bytes;
    for (int32_t v : values) {
        char element[4];
        DNWriteInt32(element, v);
        bytes.append(element, 4);
    }
    return DNRawData(bytes.data(), bytes.size(), kDNTypeInts);
}

DNRawData Floats(std::initializer_list<float> values, DNTypeID type = kDNTypeFloats)
{
    std::string bytes;
    for (float v : values) {
        char element[4];
        DNWriteFloat(element, v);
        bytes.append(element, 4);
    }
    return DNRawData(bytes.data(), bytes.size(), type);
}

DNRawData Int64(int64_t value)
{
    char bytes[8];
    DNWriteInt64(bytes, value);
    return DNRawData(bytes, 8, kDNTypeInt64);
}

DNRawData Float(float value)
{
    char bytes[4];
    DNWriteFloat(bytes, value);
    return DNRawData(bytes, 4, kDNTypeFloat);
}

std::string Coerced(const DNRawData& source, DNTypeID target, int32_t& code)
{
    DNRawData out;
    code = DNRawData::Coerce(source, target, out, true);
    return code == kCXOK ? DescribeLeaf(DNAdopt<DNValue>(new DNMemoryDataValue(out))) : std::string();
}

} // namespace

TEST(DNRawDataTest, CoercionFollowsTheTranslatorsAndTheirOrder)
{
    struct Case {
        const char* name;
        DNRawData source;
        DNTypeID target;
        int32_t code;
        std::string expected;
    };
    const Case cases[] = {
        {"string to int", DNRawData("42"), kDNTypeInt, 0, "INT(42)"},
        {"blanks around an int", DNRawData(" \t42 "), kDNTypeInt, 0, "INT(42)"},
        {"leading zeros", DNRawData("007"), kDNTypeInt, 0, "INT(7)"},
        {"blank inside an int", DNRawData("4 2"), kDNTypeInt, -15, ""},
        {"int overflow", DNRawData("2147483648"), kDNTypeInt, -15, ""},
        {"int minimum", DNRawData("-2147483648"), kDNTypeInt, 0, "INT(-2147483648)"},
        {"int64 range", DNRawData("2147483648"), kDNTypeInt64, 0, "I64(2147483648)"},
        {"int64 minimum", DNRawData("-9223372036854775808"), kDNTypeInt64, 0, "I64(-9223372036854775808)"},
        {"int64 overflow", DNRawData("9223372036854775808"), kDNTypeInt64, -15, ""},
        {"empty text is no int", DNRawData(""), kDNTypeInt, -15, ""},
        {"plus sign", DNRawData("+1"), kDNTypeInt, -15, ""},
        // The payload is its whole length: a NUL is an ordinary byte, not the end of the text.
        {"NUL inside an int", DNRawData(std::string("12\0x", 4).data(), 4, kDNTypeString), kDNTypeInt, -15, ""},
        {"NUL after an int", DNRawData(std::string("12\0", 3).data(), 3, kDNTypeString), kDNTypeInt64, -15, ""},
        {"NUL inside a float", DNRawData(std::string("1.5\0", 4).data(), 4, kDNTypeString), kDNTypeFloat, -15, ""},
        {"NUL inside a list", DNRawData(std::string("1,2\0", 4).data(), 4, kDNTypeString), kDNTypeInts, -15, ""},
        {"NUL inside a bool", DNRawData(std::string("true\0", 5).data(), 5, kDNTypeString), kDNTypeBool, -15, ""},
        {"decimal", DNRawData("1.5"), kDNTypeFloat, 0, "FLT(1.5)"},
        {"decimal forms", DNRawData(" -.5 "), kDNTypeFloat, 0, "FLT(-0.5)"},
        {"trailing point", DNRawData("1."), kDNTypeFloat, 0, "FLT(1)"},
        {"lone point", DNRawData("."), kDNTypeFloat, -15, ""},
        {"exponent", DNRawData("1e5"), kDNTypeFloat, -15, ""},
        {"decimal comma", DNRawData("1,5"), kDNTypeFloat, -15, ""},
        {"float overflow", DNRawData("1000000000000000000000000000000000000000"), kDNTypeFloat, -15, ""},
        {"float underflow", DNRawData("0.00000000000000000000000000000000000000000000000001"), kDNTypeFloat, 0, "FLT(0)"},
        {"bool true", DNRawData("TRUE"), kDNTypeBool, 0, "BOOL(1)"},
        {"bool one", DNRawData("1"), kDNTypeBool, 0, "BOOL(1)"},
        {"bool false", DNRawData("False"), kDNTypeBool, 0, "BOOL(0)"},
        {"bool yes", DNRawData("yes"), kDNTypeBool, -15, ""},
        {"int list", DNRawData("1,2"), kDNTypeInts, 0, "INTS(1,2)"},
        {"int list blanks", DNRawData(" 1 , 2 "), kDNTypeInts, 0, "INTS(1,2)"},
        {"int list no comma", DNRawData("1 2"), kDNTypeInts, -15, ""},
        {"int list trailing comma", DNRawData("1,"), kDNTypeInts, -15, ""},
        {"empty list", DNRawData(""), kDNTypeInts, -15, ""},
        {"float list", DNRawData("1, 2.5"), kDNTypeFloats, 0, "FLTS(1,2.5)"},
        // No INT to FLOATS translator and FLOAT leads only to STRING: the path through STRING wins.
        {"int to floats", DNRawData::FromInt(5), kDNTypeFloats, 0, "FLTS(5)"},
        {"ints to floats", Ints({1, 2}), kDNTypeFloats, 0, "FLTS(1,2)"},
        {"int to string", DNRawData::FromInt(-7), kDNTypeString, 0, "STR(-7)"},
        {"float to string", Float(0.1f), kDNTypeString, 0, "STR(0.1)"},
        {"whole float to string", Float(3.0f), kDNTypeString, 0, "STR(3)"},
        {"large float to string", Float(1e20f), kDNTypeString, 0, "STR(1e+20)"},
        {"small float to string", Float(0.0001f), kDNTypeString, 0, "STR(0.0001)"},
        {"floats to string", Floats({1.0f, 2.5f}), kDNTypeString, 0, "STR(1.000000, 2.500000)"},
        {"no floats to string", DNRawData(nullptr, 0, kDNTypeFloats), kDNTypeString, 0, "STR()"},
        {"bool to string", DNRawData::FromBool(true), kDNTypeString, 0, "STR(True)"},
        {"ints to string", Ints({1, -2}), kDNTypeString, 0, "STR(1, -2)"},
        {"int64 to string", Int64(-5000000000), kDNTypeString, 0, "STR(-5000000000)"},
        {"int to int64", DNRawData::FromInt(-1), kDNTypeInt64, 0, "I64(-1)"},
        {"int64 to int", Int64(-1), kDNTypeInt, 0, "INT(-1)"},
        {"int64 outside int", Int64(4294967296), kDNTypeInt, -15, ""},
        {"box to string through INTS", DNRawData::FromBox2i({{1, 2, 3, 4}, false}), kDNTypeString, 0, "STR(1, 2, 3, 4)"},
        {"string to box", DNRawData("1,2,3,4"), kDNTypeBox2i, 0, "TYPE1652044393(" + Bytes(Ints({1, 2, 3, 4})) + ")"},
        {"three floats to colour", Floats({0.5f, 0.25f, 1.0f}), kDNTypeCXColor, 0,
         "TYPE1668246580(" + Bytes(Floats({0.5f, 0.25f, 1.0f, 1.0f})) + ")"},
        {"two floats to colour", Floats({0.5f, 0.25f}), kDNTypeCXColor, -12, ""},
        {"vector to floats", Floats({1.0f, 2.0f}, kDNTypeVector2), kDNTypeFloats, 0, "FLTS(1,2)"},
        {"wrong INT size", DNRawData("abc", 3, kDNTypeInt), kDNTypeFloat, -12, ""},
        {"compressed", DNRawData("zz", 2, kDNTypeCompressed), kDNTypeString, -15, ""},
        {"nothing to nothing", DNRawData(), kDNTypeNone, 0, "TYPE0()"},
    };
    for (const Case& c : cases) {
        int32_t code;
        std::string result = Coerced(c.source, c.target, code);
        EXPECT_EQ(code, c.code) << c.name;
        EXPECT_EQ(result, c.expected) << c.name;
    }
}

TEST(DNRawDataTest, AFailedCoercionLogsUnlessQuietOrUntypedAndLeavesOutEmpty)
{
    CXDebugCapture capture;
    DNRawData out = DNRawData::FromInt(1);
    EXPECT_EQ(DNRawData::Coerce(DNRawData("yes"), kDNTypeBool, out, false), -15);
    EXPECT_EQ(out.GetType(), kDNTypeNone);
    EXPECT_EQ(out.GetSize(), 0u);
    EXPECT_EQ(capture.Count("DNRawData::Coerce> unable to coerce from <<4>> to <<8>> (raw: \"yes\")"), 1u);

    capture.Clear();
    EXPECT_EQ(DNRawData::Coerce(DNRawData("yes"), kDNTypeBool, out, true), -15);
    EXPECT_EQ(DNRawData::Coerce(DNRawData(), kDNTypeBool, out, false), -15);
    EXPECT_EQ(DNRawData::Coerce(DNRawData("x", 1, kDNTypeCompressed), kDNTypeCXColor, out, true), -15);
    EXPECT_TRUE(capture.Lines().empty());

    EXPECT_EQ(DNRawData::Coerce(DNRawData("x", 1, kDNTypeRaw), kDNTypeCXColor, out, false), -15);
    EXPECT_EQ(capture.Count("unable to coerce from <<5>> to col4"), 1u);
}

TEST(DNRawDataTest, SameTypeAndStructureTranslatorsShareThePayload)
{
    DNRawData source = Ints({1, 2, 3, 4});
    DNRawData out;
    ASSERT_EQ(DNRawData::Coerce(source, kDNTypeInts, out, true), kCXOK);
    EXPECT_EQ(out.GetPayload().GetPayloadAddress(), source.GetPayload().GetPayloadAddress());
    ASSERT_EQ(DNRawData::Coerce(source, kDNTypeBox2i, out, true), kCXOK);
    EXPECT_EQ(out.GetType(), kDNTypeBox2i);
    EXPECT_EQ(out.GetPayload().GetPayloadAddress(), source.GetPayload().GetPayloadAddress());

    // Coercing a value into itself keeps it whole.
    DNRawData self("12");
    ASSERT_EQ(DNRawData::Coerce(self, kDNTypeInt, self, true), kCXOK);
    EXPECT_EQ(DescribeLeaf(NewLeaf(self)), "INT(12)");
}

TEST(DNRawDataTest, ConstructorsAndEquality)
{
    DNRawData box = DNRawData::FromBox2i({{5, 6, 7, 8}, true});
    EXPECT_EQ(box.GetType(), kDNTypeBox2i);
    EXPECT_EQ(Bytes(box), std::string(16, '\0'));

    DNRawData one = DNRawData::FromInt(1);
    EXPECT_EQ(Bytes(one), std::string("\x01\x00\x00\x00", 4)); // little-endian on every host
    EXPECT_TRUE(one == DNRawData("\x01\x00\x00\x00", 4, kDNTypeRaw)); // bytes only; types apart
    EXPECT_FALSE(DNRawData("ab") == DNRawData("abc"));
    EXPECT_EQ(DNRawData().GetSize(), 0u);
    EXPECT_EQ(DNRawData(nullptr).GetType(), kDNTypeString);
}

TEST(DNRawDataTest, NumberTextsIgnoreTheProcessLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && std::setlocale(LC_ALL, "fr_FR.UTF-8") == nullptr)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    int32_t code;
    EXPECT_EQ(Coerced(Float(2.5f), kDNTypeString, code), "STR(2.5)");
    EXPECT_EQ(Coerced(Floats({1.5f, 2.0f}), kDNTypeString, code), "STR(1.500000, 2.000000)");
    EXPECT_EQ(Coerced(DNRawData("2.5"), kDNTypeFloat, code), DescribeLeaf(NewLeaf(Float(2.5f))));
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(DNRawDataTest, ATypeWithAnIdOrNameInUseIsReportedAndRegistered)
{
    CXDebugCapture capture;
    {
        DNRawDataType twin(kDNTypeBox2i, "Box2i");
        EXPECT_EQ(capture.Count("DNRawDataType(1652044393, 'Box2i') DNTypeID already in use by 'Box2i'"), 1u);
        EXPECT_EQ(capture.Count("DNRawDataType(1652044393, 'Box2i') typeName already in use"), 1u);
        EXPECT_EQ(twin.GetTypeID(), kDNTypeBox2i);
        EXPECT_TRUE(twin.GetTypeName() == "Box2i");
    }
    EXPECT_EQ(capture.Count("not constructed"), 0u);
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CXString;
class CXStringEditBase;

// The shared empty text: a single NUL byte.
extern const char kCXEmptyText[1];

// Read-only view of bytes and a length, the input of every string operation, so that strings,
// builders and plain characters can be passed alike. Owns nothing: it must not outlive the text
// it views. The data pointer is never null (an empty view points at the shared empty text).
class CXStringArgument {
public:
    CXStringArgument() = default;
    CXStringArgument(const char* text);
    CXStringArgument(const char* text, size_t length)
        : fData(text != nullptr && length != 0 ? text : kCXEmptyText)
        , fLength(text != nullptr ? length : 0)
    {
    }
    inline CXStringArgument(const CXString& string);
    inline CXStringArgument(const CXStringEditBase& builder);

    const char* data() const { return fData; }
    size_t length() const { return fLength; }
    bool IsEmpty() const { return fLength == 0; }

    // The byte at pos; pos == length reads as NUL; a pos beyond that is reported and reads as NUL.
    char operator[](size_t pos) const;
    char operator[](int pos) const;
    char operator[](int64_t pos) const;

    // Consumes n bytes from the front; n at or beyond the length leaves the view empty.
    CXStringArgument& operator+=(int64_t n);

    // Decodes the UTF-8 character at the start of the view: its code point and byte count, or
    // '?' with count 0 and false for an empty view, an invalid, overlong or short sequence, a
    // surrogate or a value above 0x10FFFF.
    bool DecodeUTF8Character(uint32_t& codePoint, size_t& byteCount) const;

    // Index of the first occurrence of search at or after startIndex, or -1. A NUL byte in the
    // view ends the search. A startIndex beyond the length is reported and gives -1.
    int64_t Find(const CXStringArgument& search, int64_t startIndex = 0) const;
    int64_t FindCharacter(char character, int64_t startIndex = 0) const;

    // Case-insensitive order: -1, 0 or 1. ASCII letters are folded byte by byte; once either text
    // has a byte 0x80 or above (and asciiOnly is not set) both texts are compared fully case-folded
    // (CXStringEditBase::AppendCaseFoldedUTF8). A NUL byte, or the end of a view, ends the walk.
    int CompareNoCase(const CXStringArgument& other, bool asciiOnly = false) const;

    // Appends to parts each piece of the text between separators (the UTF-8 form of codePoint).
    // Adjacent separators give an empty piece; an empty view appends nothing, and a separator at
    // the very end gives no trailing empty piece.
    void Split(uint32_t codePoint, std::vector<CXString>& parts) const;

    // An optional '-' and one or more decimal digits; a first digit '0' only with allowLeadingZero.
    bool IsInteger(bool allowLeadingZero) const;
    // An optional '-', a first digit 1-9, digits with at most one '.', not ending in '.', and no
    // '0' as the last digit after the '.'. So 10 and -3.25 are canonical; 0, 0.5, 1. and 1.50 not.
    bool IsCanonicalDecimal() const;

    // The whole view as an optional '-' and decimal digits, up to its end or a NUL byte. Any other
    // byte, an overflow or an empty view gives 0 (ToInt32) or defaultValue. Independent of the
    // process locale. ToUInt64 takes no sign.
    int32_t ToInt32() const;
    int64_t ToInt64(int64_t defaultValue) const;
    uint64_t ToUInt64(uint64_t defaultValue) const;

private:
    const char* fData = kCXEmptyText;
    size_t fLength = 0;
};

// Free-function forms of the searches.
int64_t StringPos(const CXStringArgument& text, const CXStringArgument& search, int64_t startIndex);
int64_t StringPos(const CXStringArgument& text, char character, int64_t startIndex);

// UTF-8 byte classes.
inline bool IsUTF8ContinuationByte(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }
inline bool IsValidUTF8LeadByte(unsigned char byte) { return byte < 0x80 || (byte >= 0xC2 && byte <= 0xF4); }

// Bytes of the UTF-8 character at text: 0 for null or a NUL byte, 1 for an invalid byte.
size_t UTF8CharacterLength(const char* text);

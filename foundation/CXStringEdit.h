#pragma once

#include "foundation/CXDebug.h"
#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>

template <size_t N>
class CXStringEditT;
using CXStringEdit = CXStringEditT<512>;

// The mutable text buffer in which strings are built. Short texts live in an inline buffer inside
// the object; growth doubles the capacity and rounds it up to whole 4 KiB blocks. The text is kept
// without a terminator; c_str() stores one. Every operation that can grow returns false (or leaves
// the builder as it was) when the memory cannot be had, keeping the text it held.
//
// This base holds the logic; CXStringEditT<N> supplies the N-byte inline buffer.
class CXStringEditBase {
public:
    CXStringEditBase(const CXStringEditBase&) = delete;

    const char* data() const { return fData; }
    char* MutableData() { return fData; }
    size_t length() const { return fLength; }
    size_t capacity() const { return fCapacity; }
    bool IsEmpty() const { return fLength == 0; }
    // Stores a NUL after the text and returns it.
    const char* c_str();

    // Makes room for len + extra bytes; need equal to the capacity grows. Returns false (nothing
    // changed) on overflow or when the allocation fails.
    [[nodiscard]] bool Upsize(size_t len, size_t extra);

    void Assign(const char* chars, size_t count);
    void Assign(const CXStringArgument& text) { Assign(text.data(), text.length()); }
    bool Append(const char* chars, size_t count);
    bool Append(const CXStringArgument& text) { return Append(text.data(), text.length()); }
    bool AppendCharacter(char byte);
    // Appends the UTF-8 form of a code point (up to six bytes for values up to 0x7FFFFFFF);
    // returns false, appending nothing, above 0x7FFFFFFF.
    bool AppendUTF8Character(uint32_t codePoint);
    // Appends the full case folding (Unicode 8.0, statuses C and F) of a code point in UTF-8, or the
    // code point itself when it has none (nothing above 0x10FFFF). False when memory ran out.
    bool AppendCaseFolded(uint32_t codePoint);
    // Appends the text case-folded character by character; undecodable bytes are kept as they are.
    bool AppendCaseFoldedUTF8(const CXStringArgument& text);

    bool AppendFormat(const char* format, ...) CX_PRINTF_FORMAT(2, 3);
    bool AppendFormatV(const char* format, va_list args);
    bool Format(const char* format, ...) CX_PRINTF_FORMAT(2, 3);
    bool FormatV(const char* format, va_list args);

    // Sets the length; bytes between the old and the new length become 0.
    void SetLength(size_t length);
    void Clear() { fLength = 0; }
    void Erase(size_t pos, size_t count);
    // Bytes [start, end): start below 0 counts as 0, end clamped to the length.
    CXStringEdit Substring(int64_t start, int64_t end) const;
    // Replaces count bytes at pos by the view's bytes. A pos beyond the text, or a view into this
    // builder's own text, is reported and changes nothing.
    void Replace(size_t pos, size_t count, const CXStringArgument& text);
    // Replaces every occurrence of search; replacement text is never searched again.
    void ReplaceAll(const CXStringArgument& search, const CXStringArgument& replacement);

    // Remove leading or trailing tab, line feed, carriage return and space.
    void TrimLeft();
    void TrimRight();
    void MakeUpper();
    void MakeLower();
    // Replaces each UTF-8 character by the code point the function gives; undecodable bytes are
    // kept, mapped values above 0x10FFFF are dropped.
    void MapCharacters(const std::function<uint32_t(uint32_t)>& map);

    bool operator==(const CXStringArgument& text) const;

    // The byte at an index; an index beyond the length is reported.
    char& operator[](size_t index);
    char& operator[](int index);
    char& operator[](int64_t index);

    // UTF-8 characters; a byte that starts no valid character counts as one.
    size_t CountUTF8Characters() const;

    CXString ToString() const { return CXString(*this); }

    // Path editing. Paths use '/' separators; a drive path starts "X:/", a network path "//".
    bool IsAbsolutePath() const;
    // Exactly "X:/", or "//" with at most a host and a share and at most one '/' after the share.
    bool IsRootPath() const;
    // Removes and returns the root of an absolute path: "X:/", or "//host" together with the '/'
    // after it. Other texts give an empty builder and stay as they are.
    CXStringEdit GetPathRoot();
    // Removes and returns the first component with the run of '/' after it; a leading '/' is
    // returned as the component "/".
    CXStringEdit PopFirstPathComponent();
    // Removes and returns the last component; a trailing '/' of what remains goes too, unless
    // what remains is empty or a root.
    CXStringEdit PopLastPathComponent();
    // Drops one leading '/' of the component, adds '/' when needed, then appends it.
    bool AppendPathComponent(const CXStringArgument& component);
    void RemoveTrailingSlashes();
    // Resolves "." and "..", drops empty parts and keeps the root. A ".." at an absolute root is
    // dropped: nothing climbs above a root. Leading ".." of a relative path stay. Only a drive
    // root and "//" alone keep a trailing '/'; a second pass changes nothing.
    void NormalizePathInPlace();

protected:
    CXStringEditBase(char* inlineBuffer, size_t inlineSize)
        : fInline(inlineBuffer)
        , fInlineSize(inlineSize)
        , fData(inlineBuffer)
        , fCapacity(inlineSize)
    {
    }
    ~CXStringEditBase();

    void CopyFrom(const CXStringEditBase& other);
    void MoveFrom(CXStringEditBase& other);

private:
    char* fInline;
    size_t fInlineSize;
    char* fData;
    size_t fCapacity;
    size_t fLength = 0;
};

template <size_t N>
class CXStringEditT : public CXStringEditBase {
    static_assert(N >= 2, "the inline buffer must hold a byte and its terminator");

public:
    CXStringEditT() : CXStringEditBase(fBuffer, N) {}
    CXStringEditT(const CXString& text) : CXStringEditBase(fBuffer, N) { Assign(text.c_str(), text.length()); }
    explicit CXStringEditT(const CXStringArgument& text) : CXStringEditBase(fBuffer, N) { Assign(text.data(), text.length()); }
    CXStringEditT(const CXStringEditT& other) : CXStringEditBase(fBuffer, N) { CopyFrom(other); }
    CXStringEditT(CXStringEditT&& other) noexcept : CXStringEditBase(fBuffer, N) { MoveFrom(other); }

    CXStringEditT& operator=(const CXStringEditBase& other)
    {
        CopyFrom(other);
        return *this;
    }
    CXStringEditT& operator=(const CXStringEditT& other)
    {
        CopyFrom(other);
        return *this;
    }
    CXStringEditT& operator=(const CXString& text)
    {
        Assign(text.c_str(), text.length());
        return *this;
    }

private:
    char fBuffer[N];
};

inline CXStringArgument::CXStringArgument(const CXStringEditBase& builder)
    : fData(builder.length() != 0 ? builder.data() : kCXEmptyText)
    , fLength(builder.length())
{
}

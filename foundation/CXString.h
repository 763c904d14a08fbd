#pragma once

#include "foundation/CXDebug.h"
#include "foundation/CXStringArgument.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Immutable, shared, reference-counted run of bytes (UTF-8 by convention). A value is a one-pointer
// handle to a payload block {reference word, length, capacity = length + 1, text, NUL}; the null
// handle is the empty string, and a payload never has length 0. Copying takes the process-wide
// handle lock and adds a reference; every change builds a new payload and swaps the handle. The
// text of a payload is never written after it is made, so any holder may read it without a lock.
class CXString {
public:
    struct Payload;

    CXString() = default;
    CXString(const char* text);
    CXString(const char* text, size_t count);
    explicit CXString(const CXStringArgument& text);
    CXString(const CXStringEditBase& builder);
    // The text from the start of first up to the start of second, where second views a later part
    // of the same text. A second view outside first is reported and gives the empty string.
    CXString(const CXStringArgument& first, const CXStringArgument& second);

    CXString(const CXString& other);
    CXString(CXString&& other) noexcept;
    ~CXString();

    CXString& operator=(const CXString& other);
    CXString& operator=(CXString&& other) noexcept;
    CXString& operator=(const char* text);
    CXString& operator=(const CXStringArgument& text);
    CXString& operator=(const CXStringEditBase& builder);
    void Assign(const char* text, size_t count);
    void Clear();

    size_t length() const;
    bool IsEmpty() const { return fPayload.load(std::memory_order_relaxed) == nullptr; }
    // The text, NUL-terminated; the shared empty text for the null handle.
    const char* c_str() const;

    // The byte at an index; the length gives the NUL; beyond that is reported and reads as NUL.
    char operator[](int32_t index) const;
    char operator[](int64_t index) const;
    char operator[](uint64_t index) const;

    bool operator==(const CXString& other) const;
    // A null pointer equals only the empty string; otherwise bytes up to the first NUL of either.
    bool operator==(const char* text) const;
    // Unsigned byte order over the shorter length, then the shorter first. The order of texts
    // without NUL bytes is that of strcmp; texts that differ only after a NUL still differ.
    bool operator<(const CXString& other) const;

    // Substrings; none changes this string. Left/Right of a count at or beyond the length give
    // this same payload.
    CXString Left(int64_t count) const;
    CXString Right(int64_t count) const;
    // The bytes after index; an index below -1 counts as -1 (the whole text).
    CXString SubstringAfter(int64_t index) const;
    // Bytes [start, end), end clamped to the length; empty when start is at or past the clamped
    // end (a negative start, taken as unsigned, also gives the empty string).
    CXString Substring(uint64_t start, uint64_t end) const;
    // Removes [start, end) in place (start below 0 counts as 0; end at or beyond the length cuts).
    void EraseRange(int64_t start, int64_t end);

    // Sets the string to the printf-formatted text. Returns false when formatting failed.
    bool Format(const char* format, ...) CX_PRINTF_FORMAT(2, 3);
    static CXString FromFormat(const char* format, ...) CX_PRINTF_FORMAT(1, 2);
    void SetInt(int32_t value);
    void SetInt64(int64_t value);

    // Two lower-case hexadecimal digits per byte.
    static CXString BytesToHex(const void* bytes, size_t count);
    // The label followed by the ellipsis character U+2026.
    static CXString AppendEllipsis(const char* label);

    // UTF-16 holders (see CXTextEncoding.h): count units, or the units up to the first zero unit,
    // followed by one extra zero byte. A null pointer or no units gives the one-byte holder.
    static CXString FromUTF16(const char16_t* units, size_t count);
    static CXString FromUTF16CString(const char16_t* units);

    // True when the text equals other ignoring case (CXStringArgument::CompareNoCase gives 0).
    bool EqualsNoCase(const CXStringArgument& other) const;

    // ASCII case change in place; bytes 0x80 and above are unchanged.
    void MakeUpper();
    void MakeLower();

    // Appends a NUL-terminated text (a suffix such as ".abku") by building a new payload.
    void Append(const char* text);

    // Payload introspection for tests: the reference count, 0 for the null handle.
    uint64_t GetReferenceCount() const;
    const void* GetPayloadAddress() const { return fPayload.load(std::memory_order_relaxed); }

private:
    static Payload* MakePayload(const char* text, size_t count);
    // Stores a payload that already carries the reference for this handle.
    void Adopt(Payload* payload);
    void MapBytes(char (*map)(char));

    std::atomic<Payload*> fPayload{nullptr};
};

CXString operator+(const CXStringArgument& a, const CXStringArgument& b);

inline CXStringArgument::CXStringArgument(const CXString& string)
    : fData(string.c_str())
    , fLength(string.length())
{
}

#include "foundation/CXString.h"

#include "foundation/CXMemory.h"
#include "foundation/CXReferenceCount.h"
#include "foundation/CXStringEdit.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>

struct CXString::Payload {
    ReferenceCount ref;
    uint64_t length;
    uint64_t capacity;
    char* Text() { return reinterpret_cast<char*>(this + 1); }
};

static_assert(sizeof(CXString::Payload) == 24, "the text follows a 24-byte header");

CXString::Payload* CXString::MakePayload(const char* text, size_t count)
{
    if (text == nullptr || count == 0)
        return nullptr;
    // Header, text, NUL and at least 4 spare bytes: 28 + max(count + 1, 4).
    if (count > SIZE_MAX - 64) {
        CXDebugError("CXString> length overflow");
        return nullptr;
    }
    size_t blockSize = std::max<size_t>(count + 29, 32);
    void* block = CXHeapAlloc(blockSize);
    if (block == nullptr) {
        CXDebugError("CXString> failed to allocate %llu bytes", static_cast<unsigned long long>(blockSize));
        return nullptr;
    }
    Payload* payload = new (block) Payload;
    payload->length = count;
    payload->capacity = count + 1;
    std::memcpy(payload->Text(), text, count);
    payload->Text()[count] = 0;
    return payload;
}

CXString::CXString(const char* text)
    : fPayload(text != nullptr ? MakePayload(text, std::strlen(text)) : nullptr)
{
}

CXString::CXString(const char* text, size_t count)
    : fPayload(MakePayload(text, count))
{
}

CXString::CXString(const CXStringArgument& text)
    : fPayload(MakePayload(text.data(), text.length()))
{
}

CXString::CXString(const CXStringEditBase& builder)
    : fPayload(MakePayload(builder.data(), builder.length()))
{
}

CXString::CXString(const CXStringArgument& first, const CXStringArgument& second)
{
    if (first.IsEmpty()) {
        if (!second.IsEmpty())
            CXDebugError("CXString> invalid CXStringArgument range #1");
        return;
    }
    if (second.IsEmpty()) {
        fPayload.store(MakePayload(first.data(), first.length()), std::memory_order_relaxed);
        return;
    }
    uintptr_t d = reinterpret_cast<uintptr_t>(second.data()) - reinterpret_cast<uintptr_t>(first.data());
    if (d > first.length()) {
        CXDebugError("CXString> invalid CXStringArgument range #2");
        return;
    }
    fPayload.store(MakePayload(first.data(), d), std::memory_order_relaxed);
}

CXString::CXString(const CXString& other)
{
    if (other.fPayload.load(std::memory_order_relaxed) == nullptr)
        return;
    CXHandleLockScope lock;
    Payload* payload = other.fPayload.load(std::memory_order_relaxed);
    if (payload != nullptr)
        payload->ref.AddReference();
    fPayload.store(payload, std::memory_order_relaxed);
}

CXString::CXString(CXString&& other) noexcept
{
    if (other.fPayload.load(std::memory_order_relaxed) == nullptr)
        return;
    CXHandleLockScope lock;
    fPayload.store(other.fPayload.exchange(nullptr, std::memory_order_relaxed), std::memory_order_relaxed);
}

CXString::~CXString()
{
    Payload* payload = fPayload.load(std::memory_order_relaxed);
    if (payload != nullptr)
        payload->ref.RemoveReference();
}

void CXString::Adopt(Payload* payload)
{
    Payload* old;
    {
        CXHandleLockScope lock;
        old = fPayload.exchange(payload, std::memory_order_relaxed);
    }
    if (old != nullptr)
        old->ref.RemoveReference();
}

CXString& CXString::operator=(const CXString& other)
{
    if (fPayload.load(std::memory_order_relaxed) == nullptr && other.fPayload.load(std::memory_order_relaxed) == nullptr)
        return *this;
    Payload* old;
    {
        CXHandleLockScope lock;
        old = fPayload.load(std::memory_order_relaxed);
        Payload* payload = other.fPayload.load(std::memory_order_relaxed);
        if (payload != nullptr)
            payload->ref.AddReference();
        fPayload.store(payload, std::memory_order_relaxed);
    }
    if (old != nullptr)
        old->ref.RemoveReference();
    return *this;
}

CXString& CXString::operator=(CXString&& other) noexcept
{
    if (&other == this || fPayload.load(std::memory_order_relaxed) == other.fPayload.load(std::memory_order_relaxed))
        return *this;
    Payload* old;
    {
        CXHandleLockScope lock;
        old = fPayload.load(std::memory_order_relaxed);
        fPayload.store(other.fPayload.exchange(nullptr, std::memory_order_relaxed), std::memory_order_relaxed);
    }
    if (old != nullptr)
        old->ref.RemoveReference();
    return *this;
}

CXString& CXString::operator=(const char* text)
{
    Adopt(text != nullptr ? MakePayload(text, std::strlen(text)) : nullptr);
    return *this;
}

CXString& CXString::operator=(const CXStringArgument& text)
{
    Adopt(MakePayload(text.data(), text.length()));
    return *this;
}

CXString& CXString::operator=(const CXStringEditBase& builder)
{
    Adopt(MakePayload(builder.data(), builder.length()));
    return *this;
}

void CXString::Assign(const char* text, size_t count)
{
    Adopt(MakePayload(text, count));
}

void CXString::Clear()
{
    if (fPayload.load(std::memory_order_relaxed) != nullptr)
        Adopt(nullptr);
}

size_t CXString::length() const
{
    Payload* payload = fPayload.load(std::memory_order_relaxed);
    return payload != nullptr ? payload->length : 0;
}

const char* CXString::c_str() const
{
    Payload* payload = fPayload.load(std::memory_order_relaxed);
    return payload != nullptr ? payload->Text() : kCXEmptyText;
}

char CXString::operator[](int32_t index) const
{
    size_t len = length();
    if (index < 0 || static_cast<size_t>(index) > len) {
        CXDebugError("CXString::operator[](%d)> out of range (len=%llu)", index, static_cast<unsigned long long>(len));
        return 0;
    }
    return c_str()[index];
}

char CXString::operator[](int64_t index) const
{
    size_t len = length();
    if (index < 0 || static_cast<size_t>(index) > len) {
        CXDebugError("CXString::operator[](%lld)> out of range (len=%llu)", static_cast<long long>(index), static_cast<unsigned long long>(len));
        return 0;
    }
    return c_str()[index];
}

char CXString::operator[](uint64_t index) const
{
    size_t len = length();
    if (index > len) {
        CXDebugError("CXString::operator[](%llu)> out of range (len=%llu)", static_cast<unsigned long long>(index), static_cast<unsigned long long>(len));
        return 0;
    }
    return c_str()[index];
}

bool CXString::operator==(const CXString& other) const
{
    size_t len = length();
    return len == other.length() && std::memcmp(c_str(), other.c_str(), len) == 0;
}

bool CXString::operator==(const char* text) const
{
    if (text == nullptr)
        return IsEmpty();
    return std::strcmp(c_str(), text) == 0;
}

bool CXString::operator<(const CXString& other) const
{
    size_t a = length();
    size_t b = other.length();
    int order = std::memcmp(c_str(), other.c_str(), std::min(a, b));
    if (order != 0)
        return order < 0;
    return a < b;
}

CXString CXString::Left(int64_t count) const
{
    if (count <= 0)
        return CXString();
    if (static_cast<uint64_t>(count) >= length())
        return *this;
    return CXString(c_str(), static_cast<size_t>(count));
}

CXString CXString::Right(int64_t count) const
{
    if (count <= 0)
        return CXString();
    size_t len = length();
    if (static_cast<uint64_t>(count) >= len)
        return *this;
    return CXString(c_str() + (len - static_cast<size_t>(count)), static_cast<size_t>(count));
}

CXString CXString::SubstringAfter(int64_t index) const
{
    if (index < -1)
        index = -1;
    return Substring(static_cast<uint64_t>(index + 1), length());
}

CXString CXString::Substring(uint64_t start, uint64_t end) const
{
    size_t len = length();
    if (end > len)
        end = len;
    if (start >= end)
        return CXString();
    if (start == 0 && end == len)
        return *this;
    return CXString(c_str() + start, static_cast<size_t>(end - start));
}

void CXString::EraseRange(int64_t start, int64_t end)
{
    if (start < 0)
        start = 0;
    size_t len = length();
    if (start >= end || static_cast<uint64_t>(start) >= len)
        return;
    if (static_cast<uint64_t>(end) >= len) {
        if (start <= 0)
            Clear();
        else
            Adopt(MakePayload(c_str(), static_cast<size_t>(start)));
        return;
    }
    size_t s = static_cast<size_t>(start);
    size_t e = static_cast<size_t>(end);
    Payload* payload = MakePayload(c_str(), len - (e - s));
    if (payload == nullptr)
        return;
    std::memcpy(payload->Text() + s, c_str() + e, len - e);
    Adopt(payload);
}

bool CXString::Format(const char* format, ...)
{
    CXStringEdit edit;
    va_list args;
    va_start(args, format);
    bool ok = edit.AppendFormatV(format, args);
    va_end(args);
    if (!ok)
        return false;
    Adopt(MakePayload(edit.data(), edit.length()));
    return true;
}

CXString CXString::FromFormat(const char* format, ...)
{
    CXStringEdit edit;
    va_list args;
    va_start(args, format);
    bool ok = edit.AppendFormatV(format, args);
    va_end(args);
    return ok ? CXString(edit) : CXString();
}

void CXString::SetInt(int32_t value)
{
    (void)Format("%d", value);
}

void CXString::SetInt64(int64_t value)
{
    (void)Format("%lld", static_cast<long long>(value));
}

CXString CXString::BytesToHex(const void* bytes, size_t count)
{
    static const char kDigits[] = "0123456789abcdef";
    if (bytes == nullptr || count == 0)
        return CXString();
    CXStringEdit edit;
    if (!edit.Upsize(count * 2, 1))
        return CXString();
    const unsigned char* in = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; ++i) {
        (void)edit.AppendCharacter(kDigits[in[i] >> 4]);
        (void)edit.AppendCharacter(kDigits[in[i] & 15]);
    }
    return CXString(edit);
}

CXString CXString::AppendEllipsis(const char* label)
{
    static const CXString ellipsis("\xE2\x80\xA6");
    return CXStringArgument(label) + CXStringArgument(ellipsis);
}

void CXString::MapBytes(char (*map)(char))
{
    size_t len = length();
    if (len == 0)
        return;
    Payload* payload = MakePayload(c_str(), len);
    if (payload == nullptr)
        return;
    char* text = payload->Text();
    for (size_t i = 0; i < len; ++i)
        text[i] = map(text[i]);
    Adopt(payload);
}

void CXString::MakeUpper()
{
    MapBytes([](char c) -> char { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
}

void CXString::MakeLower()
{
    MapBytes([](char c) -> char { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
}

void CXString::Append(const char* text)
{
    if (text == nullptr || text[0] == 0)
        return;
    *this = CXStringArgument(*this) + CXStringArgument(text);
}

uint64_t CXString::GetReferenceCount() const
{
    Payload* payload = fPayload.load(std::memory_order_relaxed);
    return payload != nullptr ? payload->ref.GetCount() : 0;
}

CXString operator+(const CXStringArgument& a, const CXStringArgument& b)
{
    if (a.IsEmpty() && b.IsEmpty())
        return CXString();
    CXStringEdit edit;
    if (!edit.Append(a) || !edit.Append(b))
        return CXString();
    return CXString(edit);
}

#include "streams/CXURI.h"

#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXPercentEncoding.h"
#include "foundation/CXStringEdit.h"

#include <cstring>

namespace {

constexpr size_t kMaxPortDigits = 5;
constexpr uint32_t kMaxPort = 65535;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsASCIILetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

CXURI::CXURI(const CXStringArgument& text)
{
    // A NUL byte ends the text just as the end of the view does.
    const void* nul = std::memchr(text.data(), 0, text.length());
    size_t length = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - text.data()) : text.length();
    if (!Parse(text.data(), length)) {
        CXDebugLog("CXURI> bad URI format '%s'", CXString(text).c_str());
        *this = CXURI();
    }
}

CXURI::CXURI(const CXString& text)
{
    *this = CXURI(CXStringArgument(text));
}

bool CXURI::Parse(const char* text, size_t length)
{
    size_t pos = 0;
    for (;;) {
        size_t start = pos;
        while (pos < length && text[pos] != '!' && text[pos] != '/' && text[pos] != ':' && text[pos] != '@')
            ++pos;
        if (pos == length) {
            host.Assign(text + start, pos - start);
            return true;
        }
        switch (text[pos]) {
        case '!': {
            user.Assign(text + start, pos - start);
            size_t at = ++pos;
            while (at < length && text[at] != '@')
                ++at;
            if (at == length)
                return false;
            password.Assign(text + pos, at - pos);
            return ParseAfterCredentials(text, length, at + 1);
        }
        case '@':
            user.Assign(text + start, pos - start);
            return ParseAfterCredentials(text, length, pos + 1);
        case '/':
            host.Assign(text + start, pos - start);
            ParsePath(text, length, pos + 1);
            return true;
        default:
            break;
        }

        // A ':': a scheme separator, or the separator of host and port.
        char c1 = pos + 1 < length ? text[pos + 1] : 0;
        char c2 = pos + 2 < length ? text[pos + 2] : 0;
        if (c1 == '/' && c2 == '/' && scheme.IsEmpty()) {
            scheme.Assign(text + start, pos - start);
            scheme.MakeLower();
            pos += 3;
            continue;
        }
        // After a scheme the authority follows, and a second scheme would replace the first
        // with the host's name ("x://h:80x" is a bad port, not scheme "h").
        bool portFollows = !scheme.IsEmpty();
        if (!portFollows && IsDigit(c1)) {
            size_t end = pos + 1;
            while (end < length && IsDigit(text[end]))
                ++end;
            portFollows = (end == length || text[end] == '/') && end - (pos + 1) <= kMaxPortDigits;
        }
        if (portFollows) {
            host.Assign(text + start, pos - start);
            return ParsePort(text, length, pos + 1);
        }
        scheme.Assign(text + start, pos - start);
        ++pos;
    }
}

bool CXURI::ParseAfterCredentials(const char* text, size_t length, size_t pos)
{
    size_t start = pos;
    while (pos < length && text[pos] != '/' && text[pos] != ':' && text[pos] != '@')
        ++pos;
    // One '@' ends the credentials; a second would leave the host in doubt.
    if (pos < length && text[pos] == '@')
        return false;
    host.Assign(text + start, pos - start);
    if (pos == length)
        return true;
    if (text[pos] == ':')
        return ParsePort(text, length, pos + 1);
    ParsePath(text, length, pos + 1);
    return true;
}

bool CXURI::ParsePort(const char* text, size_t length, size_t pos)
{
    uint32_t value = 0;
    size_t digits = 0;
    for (; pos < length && IsDigit(text[pos]); ++pos) {
        if (++digits > kMaxPortDigits)
            return false;
        value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
    }
    if (value > kMaxPort)
        return false;
    port = static_cast<uint16_t>(value);
    if (pos == length)
        return true;
    if (text[pos] != '/')
        return false;
    ParsePath(text, length, pos + 1);
    return true;
}

void CXURI::ParsePath(const char* text, size_t length, size_t pos)
{
    const void* mark = std::memchr(text + pos, '?', length - pos);
    if (mark == nullptr) {
        path.Assign(text + pos, length - pos);
        return;
    }
    size_t end = static_cast<size_t>(static_cast<const char*>(mark) - text);
    path.Assign(text + pos, end - pos);
    query.Assign(text + end + 1, length - end - 1);
}

CXString CXURI::ToString() const
{
    return Format(false);
}

CXString CXURI::ToLogString() const
{
    return Format(true);
}

CXString CXURI::Format(bool maskPassword) const
{
    CXStringEdit out;
    bool ok = true;
    if (!scheme.IsEmpty())
        ok = out.AppendFormat("%s://", scheme.c_str());
    if (ok && !user.IsEmpty()) {
        if (!password.IsEmpty())
            ok = out.AppendFormat("%s!%s@", user.c_str(), maskPassword ? "***" : password.c_str());
        else
            ok = out.AppendFormat("%s@", user.c_str());
    }
    ok = ok && out.Append(host);
    if (ok && port != 0)
        ok = out.AppendFormat(":%d", static_cast<int>(port));
    if (ok && (!path.IsEmpty() || !query.IsEmpty())) {
        ok = out.AppendCharacter('/') && out.Append(path);
        if (ok && !query.IsEmpty())
            ok = out.AppendCharacter('?') && out.Append(maskPassword ? MaskedQuery() : query);
    }
    return ok ? CXString(out) : CXString();
}

CXString CXURI::MaskedQuery() const
{
    CXStringEdit out;
    const char* text = query.c_str();
    size_t length = query.length();
    bool ok = true;
    size_t start = 0;
    while (ok && start <= length) {
        size_t end = start;
        while (end < length && text[end] != '&')
            ++end;
        if (start > 0)
            ok = out.AppendCharacter('&');
        if (ok && end - start >= 2 && text[start] == 'p' && text[start + 1] == '=')
            ok = out.Append("p=***");
        else if (ok)
            ok = out.Append(CXStringArgument(text + start, end - start));
        start = end + 1;
    }
    return ok ? CXString(out) : CXString();
}

CXString CXURI::GetRequestTarget() const
{
    CXStringEdit out;
    bool ok = out.AppendCharacter('/') && out.Append(path);
    if (ok && !query.IsEmpty())
        ok = out.AppendCharacter('?') && out.Append(query);
    return ok ? CXString(out) : CXString();
}

CXString CXURI::GetLocalFilePath() const
{
    if (CXStringArgument(scheme).CompareNoCase("file", true) != 0)
        return CXString();

    CXStringEdit raw;
    if (!host.IsEmpty()) {
        if (!raw.Append("//", 2) || !raw.Append(host) || !raw.AppendCharacter('/') || !raw.Append(path))
            return CXString();
    } else {
        raw.Assign(path);
        if (raw.length() > 2 && IsASCIILetter(raw[0]) && raw[1] == '|' && raw[2] == '/')
            raw[1] = ':';
    }
    // '+' is an ordinary character in a path; only the query form-encodes spaces as '+'.
    CXString decoded = CXPercentDecode(raw, false);
    const char* d = decoded.c_str();
    size_t n = decoded.length();
    // A decoded NUL would cut the path short wherever it is handed on as text.
    if (std::memchr(d, 0, n) != nullptr)
        return CXString();
    if (!host.IsEmpty())
        return decoded;

    bool startsWithDrive = n >= 2 && IsASCIILetter(d[0]) && (d[1] == ':' || d[1] == '|');
    if (startsWithDrive)
        return n >= 3 && d[1] == ':' && d[2] == '/' ? decoded : CXString();
    if (n >= 2 && d[0] == '/' && d[1] == '/')
        return decoded;
    // "file:////srv/share" is a network path spelt with one '/' too many, not a host path.
    if (n == 0 || d[0] == '/')
        return CXString();
    // "file:///home/u/x": a host path, whose leading '/' the parse took off.
    CXStringEdit native;
    if (!native.AppendCharacter('/') || !native.Append(decoded))
        return CXString();
    return CXFileSystem::FromNativePath(native);
}

CXString CXURI::Encode(const CXStringArgument& text, const CXStringArgument& keep)
{
    return CXPercentEncode(text, keep);
}

CXString CXURI::Decode(const CXStringArgument& text)
{
    // Paths and credentials are decoded here: a '+' in them is an ordinary character.
    return CXPercentDecode(text, false);
}

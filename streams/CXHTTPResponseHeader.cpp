#include "streams/CXHTTPResponseHeader.h"

#include "foundation/CXDebug.h"
#include "foundation/CXStringEdit.h"
#include "streams/CXStreamTextReader.h"

#include <string_view>

namespace {

constexpr char kCR = 0x0D;

bool IsTrimmed(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsTrimmed(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view View(const CXStringArgument& text)
{
    return std::string_view(text.data(), text.length());
}

CXString ToString(std::string_view text)
{
    return CXString(text.data(), text.size());
}

bool EqualsNoCaseASCII(std::string_view a, std::string_view b)
{
    return CXStringArgument(a.data(), a.size()).CompareNoCase(CXStringArgument(b.data(), b.size()), true) == 0;
}

// Decimal digits only (leading zeros allowed, no sign), within int64_t.
bool ParseCount(std::string_view text, int64_t& value)
{
    if (text.empty())
        return false;
    uint64_t parsed = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9')
            return false;
        uint64_t digit = static_cast<uint64_t>(ch - '0');
        if (parsed > (static_cast<uint64_t>(INT64_MAX) - digit) / 10)
            return false;
        parsed = parsed * 10 + digit;
    }
    value = static_cast<int64_t>(parsed);
    return true;
}

// Splits at the first separator: true when found.
bool SplitAt(std::string_view text, char separator, std::string_view& before, std::string_view& after)
{
    size_t at = text.find(separator);
    if (at == std::string_view::npos) {
        before = text;
        after = {};
        return false;
    }
    before = text.substr(0, at);
    after = text.substr(at + 1);
    return true;
}

} // namespace

void CXHTTPResponseHeader::Clear()
{
    statusCode = 0;
    contentLength = -1;
    contentLengthInvalid = false;
    hasContentRange = false;
    rangeFirst = -1;
    rangeLast = -1;
    rangeTotal = -1;
    contentRangeInvalid = false;
    closeConnection = false;
    transferCoding.Clear();
    (void)cookies.SetCount(0);
    (void)fields.SetCount(0);
}

CXResultCode CXHTTPResponseHeader::Read(CXStreamTextReader& reader)
{
    Clear();
    CXStringEdit line;
    uint32_t lines = 0;
    for (;;) {
        line.Clear();
        char ch;
        for (;;) {
            if (!reader.GetChar(ch)) {
                CXStream* stream = reader.GetStream();
                return stream != nullptr && stream->Failed() ? stream->GetResult() : kCXEndOfData;
            }
            if (ch == kCR)
                break;
            if (line.length() >= kMaximumLineLength) {
                CXDebugLog("CXHTTPResponseHeader::Read> header line longer than %u bytes", static_cast<unsigned>(kMaximumLineLength));
                return kCXBadFormat;
            }
            if (!line.AppendCharacter(ch))
                return kCXNoResources;
        }
        if (line.IsEmpty())
            return kCXOK;
        if (++lines > kMaximumLines) {
            CXDebugLog("CXHTTPResponseHeader::Read> more than %u header lines", static_cast<unsigned>(kMaximumLines));
            return kCXBadFormat;
        }
        ParseLine(line);
    }
}

void CXHTTPResponseHeader::ParseLine(const CXStringArgument& line)
{
    CXStreamTextReaderBuffer reader(line.data(), line.length());
    CXStringEdit word;
    (void)reader.ReadWord(word);
    if (word.IsEmpty())
        return;
    word.MakeLower();
    CXStringEdit rest;
    if (word == "http/1.1" || word == "http/1.0") {
        uint32_t status = 0;
        statusCode = reader.ReadUInt32(status) ? status : 0;
    } else if (word == "set-cookie:") {
        (void)reader.ReadLine(rest);
        ParseCookie(rest);
    } else if (word == "content-length:") {
        (void)reader.ReadLine(rest);
        ParseContentLength(rest);
    } else if (word == "connection:") {
        (void)reader.ReadLine(rest);
        closeConnection = EqualsNoCaseASCII(Trim(View(rest)), "close");
    } else if (word == "transfer-encoding:") {
        (void)reader.ReadLine(rest);
        rest.MakeLower();
        transferCoding = ToString(Trim(View(rest)));
    } else if (word == "content-range:") {
        CXStringEdit unit;
        (void)reader.ReadWord(unit);
        if (!(unit == "bytes"))
            return;
        (void)reader.ReadLine(rest);
        ParseContentRange(rest);
    } else {
        (void)reader.ReadLine(rest);
        CXHTTPHeaderField field;
        field.name = ToString(std::string_view(word.data(), word.length() - 1));
        field.value = CXString(rest);
        (void)fields.Append(std::move(field));
    }
}

void CXHTTPResponseHeader::ParseCookie(const CXStringArgument& text)
{
    std::string_view rest = View(text);
    std::string_view part;
    bool more = SplitAt(rest, ';', part, rest);
    CXHTTPCookie cookie;
    std::string_view name;
    std::string_view value;
    if (SplitAt(part, '=', name, value)) {
        cookie.name = ToString(Trim(name));
        cookie.value = ToString(Trim(value));
    } else {
        cookie.value = ToString(Trim(part));
    }
    while (more) {
        more = SplitAt(rest, ';', part, rest);
        std::string_view key;
        std::string_view attribute;
        (void)SplitAt(part, '=', key, attribute);
        key = Trim(key);
        if (EqualsNoCaseASCII(key, "path"))
            cookie.path = ToString(Trim(attribute));
        else if (EqualsNoCaseASCII(key, "domain"))
            cookie.domain = ToString(Trim(attribute));
    }
    (void)cookies.Append(std::move(cookie));
}

void CXHTTPResponseHeader::ParseContentLength(const CXStringArgument& text)
{
    int64_t length = 0;
    if (!ParseCount(Trim(View(text)), length) || (contentLength >= 0 && contentLength != length)) {
        contentLengthInvalid = true;
        return;
    }
    contentLength = length;
}

void CXHTTPResponseHeader::ParseContentRange(const CXStringArgument& text)
{
    hasContentRange = true;
    contentRangeInvalid = false;
    rangeFirst = -1;
    rangeLast = -1;
    rangeTotal = -1;
    std::string_view range;
    std::string_view total;
    if (!SplitAt(View(text), '/', range, total)) {
        contentRangeInvalid = true;
        return;
    }
    range = Trim(range);
    total = Trim(total);
    if (total != "*" && !ParseCount(total, rangeTotal)) {
        contentRangeInvalid = true;
        return;
    }
    if (range == "*")
        return;
    std::string_view first;
    std::string_view last;
    // The byte after the last must be a count too: the range's length and end are reckoned with it.
    if (!SplitAt(range, '-', first, last) || !ParseCount(Trim(first), rangeFirst) || !ParseCount(Trim(last), rangeLast) ||
        rangeLast < rangeFirst || rangeLast == INT64_MAX || (rangeTotal >= 0 && rangeLast >= rangeTotal)) {
        rangeFirst = -1;
        rangeLast = -1;
        contentRangeInvalid = true;
    }
}

CXResultCode CXHTTPResponseHeader::GetBodyFraming(CXHTTPBodyFraming& framing) const
{
    framing = CXHTTPBodyFraming();
    bool chunked = false;
    if (!transferCoding.IsEmpty()) {
        if (!(transferCoding == "chunked")) {
            CXDebugLog("CXHTTPResponseHeader::GetBodyFraming> transfer coding '%s' not supported", transferCoding.c_str());
            return kCXBadFormat;
        }
        chunked = true;
    }
    // A chunked body carries its own length; a Content-Length beside it means nothing.
    if (!chunked && contentLengthInvalid) {
        CXDebugLog("CXHTTPResponseHeader::GetBodyFraming> bad Content-Length");
        return kCXBadFormat;
    }
    if (statusCode == 206) {
        if (!hasContentRange || contentRangeInvalid || rangeFirst < 0) {
            CXDebugLog("CXHTTPResponseHeader::GetBodyFraming> partial reply without a valid byte range");
            return kCXBadFormat;
        }
        // Every request asks for the rest of the resource; a part that stops short of its known
        // end would pass for the whole.
        if (rangeTotal >= 0 && rangeLast != rangeTotal - 1) {
            CXDebugLog("CXHTTPResponseHeader::GetBodyFraming> partial reply ends at %lld of %lld bytes",
                       static_cast<long long>(rangeLast + 1), static_cast<long long>(rangeTotal));
            return kCXBadFormat;
        }
        int64_t length = rangeLast - rangeFirst + 1;
        if (!chunked && contentLength >= 0 && contentLength != length) {
            CXDebugLog("CXHTTPResponseHeader::GetBodyFraming> Content-Length %lld differs from the range's %lld bytes",
                       static_cast<long long>(contentLength), static_cast<long long>(length));
            return kCXBadFormat;
        }
        framing.kind = chunked ? CXHTTPBodyFraming::Kind::kChunked : CXHTTPBodyFraming::Kind::kLength;
        framing.length = length;
        framing.rangeStart = rangeFirst;
        return kCXOK;
    }
    if (chunked) {
        framing.kind = CXHTTPBodyFraming::Kind::kChunked;
    } else if (contentLength == 0) {
        framing.kind = CXHTTPBodyFraming::Kind::kNone;
        framing.length = 0;
    } else if (contentLength > 0) {
        framing.kind = CXHTTPBodyFraming::Kind::kLength;
        framing.length = contentLength;
    }
    return kCXOK;
}

CXString CXHTTPResponseHeader::GetField(const CXStringArgument& name) const
{
    for (const CXHTTPHeaderField& field : fields) {
        if (View(field.name) == View(name))
            return field.value;
    }
    return CXString();
}

#include "datanode/TextConfig.h"

#include "foundation/CXDebug.h"
#include "streams/CXStream.h"

namespace {

constexpr char kCR = '\r';
constexpr size_t kFlushSize = 4096;
constexpr size_t kHexPairsPerLine = 16;
constexpr size_t kRawInlineLimit = 8;

// Collects the text and hands it to the stream in pieces, stopping at the first write the
// stream does not take in full.
class Output {
public:
    explicit Output(CXStream& stream) : fStream(stream) {}

    void Byte(char c)
    {
        fText.AppendCharacter(c);
        FlushIfFull();
    }
    void Bytes(const char* data, size_t count)
    {
        fText.Append(data, count);
        FlushIfFull();
    }
    void Spaces(unsigned count)
    {
        for (unsigned i = 0; i < count; ++i)
            fText.AppendCharacter(' ');
        FlushIfFull();
    }
    CXResultCode Finish()
    {
        Flush();
        return fResult;
    }
    bool Failed() const { return fResult != kCXOK; }

private:
    void FlushIfFull()
    {
        if (fText.length() >= kFlushSize)
            Flush();
    }
    void Flush()
    {
        if (fResult == kCXOK && !fText.IsEmpty() && fStream.Write(fText.data(), fText.length()) != fText.length())
            fResult = fStream.Failed() ? fStream.GetResult() : kCXNoResources;
        fText.Clear();
    }

    CXStream& fStream;
    CXStringEdit fText;
    CXResultCode fResult = kCXOK;
};

bool IsIdentifierByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '#' ||
           c == '$';
}

bool NeedsValueQuotes(unsigned char c)
{
    return c == '"' || c == '`' || c == '{' || c == '}' || c == '$' || c == '\r' || c == '\n' || c < 0x20 || c > 0x7E;
}

void Quoted(Output& out, const CXStringArgument& text, bool quote)
{
    if (!quote) {
        out.Bytes(text.data(), text.length());
        return;
    }
    out.Byte('"');
    for (size_t i = 0; i < text.length(); ++i) {
        if (text.data()[i] == '"')
            out.Byte('"');
        out.Byte(text.data()[i]);
    }
    out.Byte('"');
}

void Hex(Output& out, unsigned continuationIndent, const CXStringArgument& payload)
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < payload.length(); ++i) {
        if (i != 0) {
            if (i % kHexPairsPerLine == 0) {
                out.Byte(kCR);
                out.Spaces(continuationIndent);
            } else {
                out.Byte(' ');
            }
        }
        auto byte = static_cast<unsigned char>(payload.data()[i]);
        out.Byte(kDigits[byte >> 4]);
        out.Byte(kDigits[byte & 15]);
    }
}

// A key that begins with '$' would read back as a directive, so keys quote it as well.
bool KeyNeedsQuotes(const CXString& key)
{
    return TextConfig::NeedsQuotes(key, true) || key[int32_t(0)] == '$';
}

void WriteFolder(Output& out, DNValue* folder, unsigned indent)
{
    DNValueRef meta = folder->GetMetaData();
    if (meta->GetType() == static_cast<int>(kDNTypeFolder)) {
        out.Spaces(indent);
        out.Bytes("$meta", 5);
        out.Byte(kCR);
        out.Spaces(indent);
        out.Byte('{');
        out.Byte(kCR);
        WriteFolder(out, meta.get(), indent + 2);
        out.Spaces(indent);
        out.Byte('}');
        out.Byte(kCR);
        out.Byte(kCR);
    }

    for (DNIteratorRef it = folder->First(); !it->AtEnd() && !out.Failed(); it->Next()) {
        CXString key = it->GetKey()->GetString(CXString());
        out.Spaces(indent);
        Quoted(out, key, KeyNeedsQuotes(key));

        DNValueRef value = it->GetValue();
        int type = value->GetType();
        if (type == static_cast<int>(kDNTypeFolder)) {
            out.Byte(kCR);
            out.Spaces(indent);
            out.Byte('{');
            out.Byte(kCR);
            WriteFolder(out, value.get(), indent + 2);
            out.Spaces(indent);
            out.Byte('}');
            out.Byte(kCR);
            out.Byte(kCR);
        } else if (type == static_cast<int>(kDNTypeRaw)) {
            CXString payload = value->GetData().GetPayload();
            if (payload.length() > kRawInlineLimit) {
                out.Byte(kCR);
                out.Spaces(indent);
            } else {
                out.Byte(' ');
            }
            out.Byte('`');
            Hex(out, indent + 1, payload);
            out.Byte('`');
            out.Byte(kCR);
        } else {
            CXString text = value->GetString(CXString());
            out.Byte(' ');
            Quoted(out, text, TextConfig::NeedsQuotes(text, type == static_cast<int>(kDNTypeString)));
            out.Byte(kCR);
        }
    }
}

} // namespace

CXResultCode TextConfig::Write(DNValue* folder, CXStream& stream, unsigned indent)
{
    if (folder == nullptr) {
        CXDebugError("TextConfig::Write> NULL folder");
        return kCXBadParameter;
    }
    Output out(stream);
    WriteFolder(out, folder, indent);
    return out.Finish();
}

CXResultCode TextConfig::Write(DNValue* folder, CXStream& stream)
{
    if (folder == nullptr)
        return kCXOK;
    return Write(folder, stream, 0);
}

bool TextConfig::NeedsQuotes(const CXStringArgument& text, bool identifierRule)
{
    size_t length = text.length();
    if (length == 0)
        return true;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    if (identifierRule) {
        for (size_t i = 0; i < length; ++i)
            if (!IsIdentifierByte(bytes[i]))
                return true;
        if (bytes[0] == '0' && length >= 2)
            return true;
        return bytes[0] == '-' && length >= 2 && bytes[1] == '0';
    }
    for (size_t i = 0; i < length; ++i)
        if (NeedsValueQuotes(bytes[i]))
            return true;
    return false;
}

CXResultCode TextConfig::WriteQuoted(CXStream& stream, const CXStringArgument& text, bool identifierRule)
{
    Output out(stream);
    Quoted(out, text, NeedsQuotes(text, identifierRule));
    return out.Finish();
}

CXResultCode TextConfig::WriteHexData(CXStream& stream, unsigned continuationIndent, const CXStringArgument& payload)
{
    Output out(stream);
    Hex(out, continuationIndent, payload);
    return out.Finish();
}

#include "datanode/TextConfig.h"

#include "datanode/DNMemoryValue.h"
#include "foundation/CXDebug.h"
#include "foundation/CXMemory.h"
#include "streams/CXStream.h"

#include <cstring>

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsLineEnd(char c)
{
    return c == kCR || c == kLF;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The read position: the next byte and the count left, always moved together.
struct Cursor {
    const char*& data;
    size_t& remaining;

    bool AtEnd() const { return remaining == 0; }
    char Peek() const { return *data; }
    void Advance(size_t count = 1)
    {
        data += count;
        remaining -= count;
    }
    void SkipBlanks()
    {
        while (remaining != 0 && IsBlank(*data))
            Advance();
    }
    void SkipLineEnds()
    {
        while (remaining != 0 && IsLineEnd(*data))
            Advance();
    }
    void SkipBlanksAndLineEnds()
    {
        while (remaining != 0 && (IsBlank(*data) || IsLineEnd(*data)))
            Advance();
    }
};

bool QuotedInto(Cursor& in, CXStringEditBase& out)
{
    in.Advance(); // the opening quote
    while (!in.AtEnd()) {
        const char* start = in.data;
        const void* quote = std::memchr(start, '"', in.remaining);
        size_t run = quote != nullptr ? static_cast<size_t>(static_cast<const char*>(quote) - start) : in.remaining;
        out.Append(start, run);
        in.Advance(run);
        if (in.AtEnd())
            break;
        in.Advance(); // a quote: doubled it stands for one, else it closes the string
        if (in.AtEnd() || in.Peek() != '"')
            return true;
        out.AppendCharacter('"');
        in.Advance();
    }
    return false;
}

bool VerbatimInto(Cursor& in, CXStringEditBase& out)
{
    in.Advance(3); // "{{{"
    const char* start = in.data;
    for (size_t i = 0; i + 3 <= in.remaining; ++i) {
        if (start[i] == '}' && start[i + 1] == '}' && start[i + 2] == '}') {
            out.Append(start, i);
            in.Advance(i + 3);
            return true;
        }
    }
    out.Append(start, in.remaining);
    in.Advance(in.remaining);
    return false;
}

bool HexInto(Cursor& in, CXStringEditBase& out)
{
    in.Advance(); // the opening back-quote
    for (;;) {
        in.SkipBlanksAndLineEnds();
        if (!in.AtEnd() && in.Peek() == '`') {
            in.Advance();
            return true;
        }
        if (in.remaining < 2)
            return false;
        int high = HexDigit(in.data[0]);
        int low = HexDigit(in.data[1]);
        if (high < 0 || low < 0)
            return false;
        out.AppendCharacter(static_cast<char>(high * 16 + low));
        in.Advance(2);
    }
}

void KeyInto(Cursor& in, CXStringEditBase& out)
{
    if (!in.AtEnd() && in.Peek() == '"') {
        QuotedInto(in, out);
        return;
    }
    const char* start = in.data;
    size_t run = 0;
    while (run < in.remaining && !IsBlank(start[run]) && !IsLineEnd(start[run]))
        ++run;
    out.Append(start, run);
    in.Advance(run);
}

TextConfig::ValueForm ValueInto(Cursor& in, CXStringEditBase& out)
{
    if (!in.AtEnd() && in.Peek() == '"') {
        QuotedInto(in, out);
        return TextConfig::ValueForm::kString;
    }
    if (in.remaining >= 3 && in.data[0] == '{' && in.data[1] == '{' && in.data[2] == '{') {
        VerbatimInto(in, out);
        return TextConfig::ValueForm::kString;
    }
    if (!in.AtEnd() && in.Peek() == '`') {
        HexInto(in, out);
        return TextConfig::ValueForm::kHexBytes;
    }
    const char* start = in.data;
    size_t run = 0;
    while (run < in.remaining && !IsLineEnd(start[run]))
        ++run;
    out.Append(start, run);
    in.Advance(run);
    out.TrimLeft();
    out.TrimRight();
    return TextConfig::ValueForm::kBareText;
}

// What one step of the item loop read.
enum class Item {
    kEnd,            // no byte left
    kClose,          // a '}' (consumed) closing the block
    kNothing,        // a comment, a line end or a dropped directive
    kDirectiveBlock, // "$name" and its '{' (consumed)
    kKeyBlock,       // a key and its '{' (consumed)
    kKeyValue,       // a key and a value
};

// One item of a block, tokenised alike whether the block is being built or skipped.
Item ReadItem(Cursor& in, CXStringEditBase& key, CXStringEditBase& value, TextConfig::ValueForm& form)
{
    in.SkipBlanks();
    if (in.AtEnd())
        return Item::kEnd;
    char next = in.Peek();
    if (next == '}') {
        in.Advance();
        return Item::kClose;
    }
    if (next == ';') {
        while (!in.AtEnd() && !IsLineEnd(in.Peek()))
            in.Advance();
        return Item::kNothing;
    }
    if (IsLineEnd(next))
        return Item::kNothing;

    key.Clear();
    value.Clear();
    if (next == '$') {
        KeyInto(in, key);
        in.SkipBlanksAndLineEnds();
        if (in.AtEnd() || in.Peek() != '{')
            return Item::kNothing;
        in.Advance();
        return Item::kDirectiveBlock;
    }

    KeyInto(in, key);
    in.SkipBlanks();
    if (!in.AtEnd() && IsLineEnd(in.Peek())) {
        // A block or hex value may begin on a later line; anything else leaves the key alone.
        const char* savedData = in.data;
        size_t savedRemaining = in.remaining;
        in.SkipBlanksAndLineEnds();
        if (in.AtEnd() || (in.Peek() != '{' && in.Peek() != '`')) {
            in.data = savedData;
            in.remaining = savedRemaining;
        }
    }
    if (!in.AtEnd() && in.Peek() == '{' && (in.remaining == 1 || in.data[1] != '{')) {
        in.Advance();
        return Item::kKeyBlock;
    }
    form = ValueInto(in, value);
    return Item::kKeyValue;
}

struct ParseState {
    Cursor in;
    bool deepLogged = false;
};

// Passes over the rest of a block whose '{' has been read, and over every block inside it,
// without recursion.
void SkipBlock(ParseState& state)
{
    if (!state.deepLogged) {
        state.deepLogged = true;
        CXDebugLog("TextConfig::Parse> blocks nested deeper than %u levels skipped", TextConfig::kMaximumDepth);
    }
    CXStringEdit key;
    CXStringEdit value;
    TextConfig::ValueForm form;
    uint64_t depth = 1;
    for (;;) {
        switch (ReadItem(state.in, key, value, form)) {
        case Item::kEnd:
            return;
        case Item::kClose:
            if (--depth == 0)
                return;
            break;
        case Item::kDirectiveBlock:
        case Item::kKeyBlock:
            ++depth;
            continue;
        case Item::kNothing:
        case Item::kKeyValue:
            break;
        }
        state.in.SkipLineEnds();
    }
}

void ParseBlock(ParseState& state, DNValue* folder, unsigned depth);

void EnterBlock(ParseState& state, DNValue* target, unsigned depth)
{
    if (depth < TextConfig::kMaximumDepth)
        ParseBlock(state, target, depth + 1);
    else
        SkipBlock(state);
}

DNIteratorRef NewEntry(DNValue* folder, const CXStringEditBase& key, bool& added)
{
    DNIteratorRef it = folder->AddLast();
    added = !it->AtEnd();
    if (!added)
        it = folder->Find(DNRawData::FromString(CXString(key)));
    return it;
}

void ParseBlock(ParseState& state, DNValue* folder, unsigned depth)
{
    CXStringEdit key;
    CXStringEdit value;
    TextConfig::ValueForm form = TextConfig::ValueForm::kBareText;
    for (;;) {
        switch (ReadItem(state.in, key, value, form)) {
        case Item::kEnd:
        case Item::kClose:
            return;
        case Item::kNothing:
            break;
        case Item::kDirectiveBlock: {
            DNValueRef target = key == CXStringArgument("$meta") ? folder->GetMetaData() : DNValue::GetNull();
            EnterBlock(state, target.get(), depth);
            break;
        }
        case Item::kKeyBlock: {
            CXString keyText(key);
            bool added;
            DNIteratorRef it = NewEntry(folder, key, added);
            DNValueRef child = it->GetFolder();
            EnterBlock(state, child.get(), depth);
            if (added)
                it->SetKeyData(DNRawData::FromString(keyText));
            break;
        }
        case Item::kKeyValue: {
            bool added;
            DNIteratorRef it = NewEntry(folder, key, added);
            if (added)
                it->SetKeyData(DNRawData::FromString(CXString(key)));
            if (!value.IsEmpty()) {
                CXString text(value);
                switch (form) {
                case TextConfig::ValueForm::kHexBytes: it->SetRawValue(DNRawData(text, kDNTypeRaw)); break;
                case TextConfig::ValueForm::kString: it->SetRawValue(DNRawData::FromString(text)); break;
                case TextConfig::ValueForm::kBareText: it->SetRawValue(TextConfig::TypedValueFromText(text)); break;
                }
            }
            break;
        }
        }
        state.in.SkipLineEnds();
    }
}

// An optional '-', then digits with at most one '.', at least one digit, the first byte after
// the sign not '0', not ending in '.', and no '0' as the last digit after the '.'.
bool IsCanonicalDecimalText(const CXStringArgument& text)
{
    const char* data = text.data();
    size_t length = text.length();
    size_t pos = length > 0 && data[0] == '-' ? 1 : 0;
    if (pos >= length || data[pos] == '0')
        return false;
    bool point = false;
    size_t digits = 0;
    for (; pos < length; ++pos) {
        if (data[pos] == '.') {
            if (point)
                return false;
            point = true;
        } else if (data[pos] >= '0' && data[pos] <= '9') {
            ++digits;
        } else {
            return false;
        }
    }
    char last = data[length - 1];
    return digits != 0 && last != '.' && !(point && last == '0');
}

} // namespace

DNValueRef TextConfig::Read(CXStream& stream)
{
    DNValueRef root = DNAdopt<DNValue>(new DNMemoryValue);
    uint64_t size = stream.BytesRemaining();
    if (size == 0)
        return root;
    char* buffer = size <= kMaximumInputSize ? static_cast<char*>(CXHeapAlloc(static_cast<size_t>(size))) : nullptr;
    if (buffer == nullptr) {
        CXDebugLog("TextConfig::Read> input file too large");
        return root;
    }
    if (stream.Read(buffer, size) == size)
        ParseText(root, buffer, static_cast<size_t>(size));
    CXHeapFree(buffer);
    return root;
}

void TextConfig::ParseText(const DNValueRef& root, const char* data, size_t length)
{
    DNValueRef keep = root;
    if (keep)
        Parse(data, length, keep.get());
}

void TextConfig::Parse(const char* data, size_t length, DNValue* root)
{
    if (root == nullptr || (data == nullptr && length != 0))
        return;
    const char* cursor = data;
    size_t remaining = length;
    ParseState state{Cursor{cursor, remaining}};
    ParseBlock(state, root, 0);
    if (remaining != 0)
        CXDebugLog("TextConfig::Parse> error in data");
}

void TextConfig::ParseKey(const char*& cursor, size_t& remaining, CXString& out)
{
    Cursor in{cursor, remaining};
    CXStringEdit text;
    KeyInto(in, text);
    out = text;
}

TextConfig::ValueForm TextConfig::ParseValue(const char*& cursor, size_t& remaining, CXString& out)
{
    Cursor in{cursor, remaining};
    CXStringEdit text;
    ValueForm form = ValueInto(in, text);
    out = text;
    return form;
}

bool TextConfig::ParseQuotedString(const char*& cursor, size_t& remaining, CXString& out)
{
    Cursor in{cursor, remaining};
    if (in.AtEnd() || in.Peek() != '"') {
        out.Clear();
        return false;
    }
    CXStringEdit text;
    bool closed = QuotedInto(in, text);
    out = text;
    return closed;
}

bool TextConfig::ParseVerbatimString(const char*& cursor, size_t& remaining, CXString& out)
{
    Cursor in{cursor, remaining};
    if (in.remaining < 3 || std::memcmp(in.data, "{{{", 3) != 0) {
        out.Clear();
        return false;
    }
    CXStringEdit text;
    bool closed = VerbatimInto(in, text);
    out = text;
    return closed;
}

bool TextConfig::ParseHexData(const char*& cursor, size_t& remaining, CXString& out)
{
    Cursor in{cursor, remaining};
    if (in.AtEnd() || in.Peek() != '`') {
        out.Clear();
        return false;
    }
    CXStringEdit bytes;
    bool closed = HexInto(in, bytes);
    out = bytes;
    return closed;
}

DNRawData TextConfig::TypedValueFromText(const CXString& text)
{
    DNRawData string = DNRawData::FromString(text);
    DNRawData typed;
    CXStringArgument view(text);
    if (view.IsInteger(false)) {
        if (DNRawData::Coerce(string, kDNTypeInt, typed, true) == kCXOK)
            return typed;
        if (DNRawData::Coerce(string, kDNTypeInt64, typed, true) == kCXOK)
            return typed;
        return string;
    }
    if (IsCanonicalDecimalText(view)) {
        if (DNRawData::Coerce(string, kDNTypeFloat, typed, true) == kCXOK)
            return typed;
        return string;
    }
    if (DNRawData::Coerce(string, kDNTypeInts, typed, true) == kCXOK && typed.GetSize() > 4)
        return typed;
    if (DNRawData::Coerce(string, kDNTypeFloats, typed, true) == kCXOK && typed.GetSize() > 4)
        return typed;
    return string;
}

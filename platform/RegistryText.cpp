// The .reg text form of one registry hive: its tree of keys and values, the reader and the writer.
// Only the forms a registry export uses are read; deletion entries ("[-key]", "name"=-) are skipped.
#include "platform/RegistryText.h"

namespace Platform::RegistryText {

namespace {

constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeExpandString = 2;
constexpr uint32_t kTypeDword = 4;
constexpr uint32_t kTypeMultiString = 7;
constexpr uint32_t kTypeQword = 11;
constexpr size_t kWrapColumn = 77;

// Decodes one UTF-8 character at text[i]; false for a malformed, overlong or surrogate sequence.
bool DecodeUtf8(std::string_view text, size_t& i, uint32_t& code)
{
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
        code = c;
        ++i;
        return true;
    }
    size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (length == 0 || c > 0xF4 || i + length > text.size())
        return false;
    code = c & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return false;
        code = code << 6 | (next & 0x3Fu);
    }
    static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return false;
    i += length;
    return true;
}

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendUnit(std::string& out, uint32_t unit)
{
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8 & 0xFF);
}

bool IsControl(uint32_t code)
{
    return code < 0x20 || code == 0x7F;
}

// UTF-8 without control characters, at most maxCharacters characters.
bool IsValidName(std::string_view name, size_t maxCharacters, bool allowBackslash)
{
    size_t count = 0;
    size_t i = 0;
    while (i < name.size()) {
        uint32_t code;
        if (!DecodeUtf8(name, i, code) || IsControl(code) || (!allowBackslash && code == '\\'))
            return false;
        if (++count > maxCharacters)
            return false;
    }
    return true;
}

int HexValue(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view TrimEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

std::string_view TrimStart(std::string_view line)
{
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    return line;
}

// A quoted text starting at text[pos] == '"', with the escapes \\ and \". Leaves pos after the
// closing quote; false when the text is not closed or holds another escape.
bool ParseQuoted(std::string_view text, size_t& pos, std::string& out)
{
    out.clear();
    for (size_t i = pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"'))
                return false;
            c = text[++i];
        }
        out += c;
    }
    return false;
}

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// "xx,xx,...": exactly two hex digits per byte, no trailing comma.
bool ParseHexBytes(std::string_view text, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    for (size_t i = 0;; i += 3) {
        if (i + 2 > text.size())
            return false;
        int high = HexValue(text[i]);
        int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0 || bytes.size() >= kMaxValueBytes)
            return false;
        bytes += static_cast<char>(high * 16 + low);
        if (i + 2 == text.size())
            return true;
        if (text[i + 2] != ',')
            return false;
    }
}

// Whether raw bytes of a type are the right shape for it.
bool FitsType(uint32_t type, std::string_view raw)
{
    switch (type) {
    case kTypeString:
    case kTypeExpandString:
    case kTypeMultiString:
        // Whole UTF-16 units ending with the terminating zero, so a cut string is not read.
        return raw.size() >= 2 && raw.size() % 2 == 0 && raw[raw.size() - 1] == 0 && raw[raw.size() - 2] == 0;
    case kTypeDword:
        return raw.size() == 4;
    case kTypeQword:
        return raw.size() == 8;
    default:
        return raw.size() <= kMaxValueBytes;
    }
}

// The data after "=": a quoted string, dword:xxxxxxxx, hex:... or hex(t):....
bool ParseData(std::string_view data, uint32_t& type, std::string& raw)
{
    if (StartsWith(data, "\"")) {
        size_t pos = 0;
        std::string text;
        if (!ParseQuoted(data, pos, text) || pos != data.size() || text.size() > kMaxValueBytes)
            return false;
        type = kTypeString;
        return Utf8ToUtf16(text, raw);
    }
    if (StartsWith(data, "dword:")) {
        data.remove_prefix(6);
        if (data.size() != 8)
            return false;
        uint32_t number = 0;
        for (char c : data) {
            int digit = HexValue(c);
            if (digit < 0)
                return false;
            number = number << 4 | static_cast<uint32_t>(digit);
        }
        type = kTypeDword;
        raw.clear();
        for (int i = 0; i < 4; ++i)
            raw += static_cast<char>(number >> (8 * i) & 0xFF);
        return true;
    }
    if (StartsWith(data, "hex:")) {
        type = 3;
        data.remove_prefix(4);
    } else if (StartsWith(data, "hex(")) {
        size_t close = data.find("):");
        if (close == std::string_view::npos || close < 5 || close > 12)
            return false;
        type = 0;
        for (char c : data.substr(4, close - 4)) {
            int digit = HexValue(c);
            if (digit < 0)
                return false;
            type = type << 4 | static_cast<uint32_t>(digit);
        }
        data.remove_prefix(close + 2);
    } else {
        return false;
    }
    return ParseHexBytes(data, raw) && FitsType(type, raw);
}

// The text of a REG_SZ that can be written in quotes: one terminating zero, no other zero, no
// unpaired surrogate, no control character.
bool QuotableString(std::string_view raw, std::string& text)
{
    if (raw.size() < 2 || raw.size() % 2 != 0 || raw[raw.size() - 1] != 0 || raw[raw.size() - 2] != 0)
        return false;
    for (size_t i = 0; i + 2 < raw.size(); i += 2) {
        uint32_t unit = static_cast<unsigned char>(raw[i]) | static_cast<uint32_t>(static_cast<unsigned char>(raw[i + 1])) << 8;
        if (IsControl(unit))
            return false;
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            if (unit >= 0xDC00 || i + 4 >= raw.size())
                return false;
            uint32_t low = static_cast<unsigned char>(raw[i + 2]) | static_cast<uint32_t>(static_cast<unsigned char>(raw[i + 3])) << 8;
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            i += 2;
        }
    }
    text = Utf16ToUtf8(raw);
    return true;
}

void AppendHex(std::string& out, size_t lineStart, std::string_view raw)
{
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < raw.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(raw[i]);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
        if (i + 1 == raw.size())
            break;
        out += ',';
        if (out.size() - lineStart >= kWrapColumn) {
            out += "\\\n  ";
            lineStart = out.size() - 2;
        }
    }
}

void AppendValue(std::string& out, const StoredValue& value)
{
    size_t lineStart = out.size();
    if (value.name.empty())
        out += '@';
    else
        AppendQuoted(out, value.name);
    out += '=';
    std::string text;
    if (value.type == kTypeString && QuotableString(value.raw, text)) {
        AppendQuoted(out, text);
    } else if (value.type == kTypeDword && value.raw.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = number << 8 | static_cast<unsigned char>(value.raw[static_cast<size_t>(i)]);
        char buffer[16];
        static const char kDigits[] = "0123456789abcdef";
        for (int i = 0; i < 8; ++i)
            buffer[i] = kDigits[number >> (28 - 4 * i) & 15];
        out += "dword:";
        out.append(buffer, 8);
    } else {
        if (value.type == 3) {
            out += "hex:";
        } else {
            static const char kDigits[] = "0123456789abcdef";
            std::string type;
            uint32_t number = value.type;
            do {
                type.insert(type.begin(), kDigits[number & 15]);
                number >>= 4;
            } while (number != 0);
            out += "hex(" + type + "):";
        }
        AppendHex(out, lineStart, value.raw);
    }
    out += '\n';
}

void AppendKey(std::string& out, const StoredKey& key, const std::string& path, bool writeSection)
{
    if (writeSection) {
        out += "\n[" + path + "]\n";
        for (const StoredValue& value : key.Values())
            AppendValue(out, value);
    }
    for (const auto& entry : key.Subkeys())
        AppendKey(out, *entry.second, path + "\\" + entry.second->Name(), true);
}

} // namespace

StoredKey* StoredKey::FindSubkey(std::string_view name) const
{
    auto found = fSubkeys.find(FoldCase(name));
    return found != fSubkeys.end() ? found->second.get() : nullptr;
}

StoredKey& StoredKey::MakeSubkey(std::string_view name)
{
    std::unique_ptr<StoredKey>& slot = fSubkeys[FoldCase(name)];
    if (!slot)
        slot = std::make_unique<StoredKey>(std::string(name));
    return *slot;
}

bool StoredKey::RemoveSubkey(std::string_view name)
{
    return fSubkeys.erase(FoldCase(name)) != 0;
}

const StoredValue* StoredKey::FindValue(std::string_view name) const
{
    auto found = fValueIndex.find(FoldCase(name));
    return found != fValueIndex.end() ? &fValues[found->second] : nullptr;
}

bool StoredKey::SetValue(std::string_view name, uint32_t type, std::string raw)
{
    std::string folded = FoldCase(name);
    auto found = fValueIndex.find(folded);
    if (found == fValueIndex.end()) {
        fValueIndex.emplace(std::move(folded), fValues.size());
        fValues.push_back(StoredValue{std::string(name), type, std::move(raw)});
        return true;
    }
    StoredValue& value = fValues[found->second];
    if (value.type == type && value.raw == raw)
        return false;
    value.type = type;
    value.raw = std::move(raw);
    return true;
}

bool StoredKey::RemoveValue(std::string_view name)
{
    auto found = fValueIndex.find(FoldCase(name));
    if (found == fValueIndex.end())
        return false;
    size_t index = found->second;
    fValueIndex.erase(found);
    fValues.erase(fValues.begin() + static_cast<std::ptrdiff_t>(index));
    for (auto& entry : fValueIndex)
        if (entry.second > index)
            --entry.second;
    return true;
}

std::string FoldCase(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

bool IsValidKeyName(std::string_view name)
{
    return !name.empty() && IsValidName(name, kMaxKeyNameCharacters, false);
}

bool IsValidValueName(std::string_view name)
{
    return IsValidName(name, kMaxValueNameCharacters, true);
}

bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& names)
{
    names.clear();
    if (path.empty())
        return true;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        std::string_view name = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!IsValidKeyName(name) || names.size() >= kMaxKeyDepth)
            return false;
        names.push_back(name);
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

bool Utf8ToUtf16(std::string_view text, std::string& utf16)
{
    utf16.clear();
    utf16.reserve(text.size() * 2 + 2);
    size_t i = 0;
    while (i < text.size()) {
        uint32_t code;
        if (!DecodeUtf8(text, i, code))
            return false;
        if (code >= 0x10000) {
            code -= 0x10000;
            AppendUnit(utf16, 0xD800 | code >> 10);
            AppendUnit(utf16, 0xDC00 | (code & 0x3FF));
        } else {
            AppendUnit(utf16, code);
        }
    }
    AppendUnit(utf16, 0);
    return true;
}

std::string Utf16ToUtf8(std::string_view utf16)
{
    size_t units = utf16.size() / 2;
    auto unitAt = [&](size_t k) {
        return static_cast<uint32_t>(static_cast<unsigned char>(utf16[2 * k])) |
               static_cast<uint32_t>(static_cast<unsigned char>(utf16[2 * k + 1])) << 8;
    };
    if (units > 0 && unitAt(units - 1) == 0)
        --units;
    std::string out;
    out.reserve(units);
    for (size_t k = 0; k < units; ++k) {
        uint32_t unit = unitAt(k);
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < units && unitAt(k + 1) >= 0xDC00 && unitAt(k + 1) <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(k + 1) - 0xDC00));
            ++k;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

void ParseHive(std::string_view text, std::string_view hiveName, std::string_view hiveShortName, StoredKey& root)
{
    if (StartsWith(text, "\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::string foldedHive = FoldCase(hiveName);
    const std::string foldedShort = FoldCase(hiveShortName);
    StoredKey* current = nullptr;
    std::vector<std::string_view> names;
    size_t start = 0;
    auto nextLine = [&]() {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        return TrimEnd(line);
    };
    while (start < text.size()) {
        std::string_view line = nextLine();
        if (line.empty())
            continue;
        if (line[0] == '[') {
            // A section header; until a readable one comes, values belong to no key.
            current = nullptr;
            if (line.size() < 2 || line.back() != ']')
                continue;
            std::string_view inner = line.substr(1, line.size() - 2);
            size_t slash = inner.find('\\');
            std::string folded = FoldCase(inner.substr(0, slash));
            if (folded != foldedHive && folded != foldedShort)
                continue;
            if (slash != std::string_view::npos && (slash + 1 == inner.size() || !SplitKeyPath(inner.substr(slash + 1), names)))
                continue;
            if (slash == std::string_view::npos)
                names.clear();
            current = &root;
            for (std::string_view name : names)
                current = &current->MakeSubkey(name);
            continue;
        }
        if (line[0] != '"' && line[0] != '@')
            continue; // the version line, comments and anything unknown
        std::string name;
        size_t pos = 1; // after '@'
        if (line[0] == '"') {
            pos = 0;
            if (!ParseQuoted(line, pos, name))
                continue;
        }
        if (pos >= line.size() || line[pos] != '=')
            continue;
        std::string_view data = line.substr(pos + 1);
        std::string joined;
        if (StartsWith(data, "hex") && !data.empty() && data.back() == '\\') {
            // Long hex data goes on over lines ending in '\'.
            joined.assign(data.substr(0, data.size() - 1));
            while (start < text.size()) {
                // A continuation line is indented; anything else (a section or value cut short
                // before it) is left for the main loop, and the cut value is not read.
                if (text[start] != ' ' && text[start] != '\t')
                    break;
                std::string_view more = TrimStart(nextLine());
                bool goesOn = !more.empty() && more.back() == '\\';
                joined.append(goesOn ? more.substr(0, more.size() - 1) : more);
                if (!goesOn)
                    break;
            }
            data = joined;
        }
        uint32_t type;
        std::string raw;
        if (current == nullptr || !IsValidValueName(name) || !ParseData(data, type, raw))
            continue;
        current->SetValue(name, type, std::move(raw));
    }
}

std::string FormatHive(const StoredKey& root, std::string_view hiveName)
{
    std::string out = "Windows Registry Editor Version 5.00\n";
    AppendKey(out, root, std::string(hiveName), !root.Values().empty());
    return out;
}

} // namespace Platform::RegistryText

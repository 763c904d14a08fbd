#include "datanode/CXLocalisation.h"

#include "datanode/DNNumberText.h"
#include "datanode/DNValue.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMutex.h"
#include "foundation/CXStringEdit.h"

#include <cstring>
#include <string>
#include <vector>
#include <map>

namespace {

struct LocalisationTable {
    CXCriticalSection lock;
    std::map<CXString, CXString> texts;
};

// Made on first use and kept until the process ends, so lookups during static destruction and
// from threads that outlive main still find it.
LocalisationTable& Table()
{
    static LocalisationTable* table = new LocalisationTable;
    return *table;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The text being formatted, with the origin of each byte: 0 for the localised text itself, and a
// new number for each argument put in. A placeholder is '$' and the whole run of digits after it
// that comes from the same origin, so "$10" is never read as "$1" and a "0"; a digit that an
// earlier pass put right after a placeholder does not lengthen it ("$1$2" with "5" for $2 still
// has its "$1").
struct FormattedText {
    std::string bytes;
    std::vector<uint32_t> origin;
};

// Replaces every occurrence of the placeholder (not lengthened by a digit of its own origin);
// replacement text is not searched again in this pass.
void ReplacePlaceholder(FormattedText& text, const std::string& placeholder, const CXString& replacement, uint32_t replacementOrigin)
{
    FormattedText result;
    size_t width = placeholder.size();
    size_t length = text.bytes.size();
    size_t pos = 0;
    bool changed = false;
    while (pos < length) {
        bool matches = pos + width <= length && text.bytes.compare(pos, width, placeholder) == 0;
        if (matches && pos + width < length && IsDigit(text.bytes[pos + width]) && text.origin[pos + width] == text.origin[pos + width - 1])
            matches = false;
        if (matches) {
            result.bytes.append(replacement.c_str(), replacement.length());
            result.origin.insert(result.origin.end(), replacement.length(), replacementOrigin);
            pos += width;
            changed = true;
        } else {
            result.bytes.push_back(text.bytes[pos]);
            result.origin.push_back(text.origin[pos]);
            ++pos;
        }
    }
    if (changed)
        text = std::move(result);
}

} // namespace

CXString Localise(const CXString& key)
{
    LocalisationTable& table = Table();
    CXCriticalSectionLocker lock(table.lock);
    auto found = table.texts.find(key);
    return found != table.texts.end() ? found->second : key;
}

CXString LocaliseFormatArguments(const CXString& key, const std::vector<CXString>& arguments)
{
    CXString localised = Localise(key);
    FormattedText text{std::string(localised.c_str(), localised.length()), std::vector<uint32_t>(localised.length(), 0)};
    for (size_t n = arguments.size(); n >= 1; --n) {
        CXStringEdit placeholder;
        placeholder.AppendCharacter('$');
        DNAppendInt64Text(placeholder, static_cast<int64_t>(n));
        ReplacePlaceholder(text, std::string(placeholder.data(), placeholder.length()), arguments[n - 1], static_cast<uint32_t>(n));
    }
    return CXString(text.bytes.data(), text.bytes.size());
}

void LoadLocalisationTable(DNValue* folder)
{
    if (folder == nullptr)
        return;
    LocalisationTable& table = Table();
    CXCriticalSectionLocker lock(table.lock);
    for (DNIteratorRef it = folder->First(); !it->AtEnd(); it->Next()) {
        CXString key = it->GetKey()->GetString(CXString());
        CXString text = it->GetValue()->GetString(CXString());
        table.texts[key] = text;
    }
}

void ClearLocalisationTable()
{
    LocalisationTable& table = Table();
    CXCriticalSectionLocker lock(table.lock);
    table.texts.clear();
}

CXString LocaliseArgumentText(const CXString& text)
{
    return text;
}

CXString LocaliseArgumentText(const CXLocalisationPath& path)
{
    return CXFileSystem::ToNativePath(path.path);
}

CXString LocaliseArgumentText(int32_t value)
{
    CXStringEdit text;
    DNAppendInt32Text(text, value);
    return CXString(text);
}

CXString LocaliseArgumentText(int64_t value)
{
    CXStringEdit text;
    DNAppendInt64Text(text, value);
    return CXString(text);
}

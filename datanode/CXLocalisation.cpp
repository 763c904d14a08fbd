#include "datanode/CXLocalisation.h"

#include "datanode/DNNumberText.h"
#include "datanode/DNValue.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMutex.h"
#include "foundation/CXStringEdit.h"

#include <cstring>
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

// Replaces every occurrence of the placeholder that is not followed by a further digit;
// replacement text is not searched again in this pass.
void ReplacePlaceholder(CXStringEditBase& text, const CXStringArgument& placeholder, const CXStringArgument& replacement)
{
    CXStringEdit result;
    const char* data = text.data();
    size_t length = text.length();
    size_t width = placeholder.length();
    size_t pos = 0;
    bool changed = false;
    while (pos < length) {
        if (pos + width <= length && std::memcmp(data + pos, placeholder.data(), width) == 0 &&
            (pos + width == length || !IsDigit(data[pos + width]))) {
            result.Append(replacement);
            pos += width;
            changed = true;
        } else {
            result.AppendCharacter(data[pos]);
            ++pos;
        }
    }
    if (changed)
        text.Assign(result.data(), result.length());
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
    CXStringEdit text(Localise(key));
    for (size_t n = arguments.size(); n >= 1; --n) {
        CXStringEdit placeholder;
        placeholder.AppendCharacter('$');
        DNAppendInt64Text(placeholder, static_cast<int64_t>(n));
        ReplacePlaceholder(text, placeholder, arguments[n - 1]);
    }
    return text.IsEmpty() ? CXString() : CXString(text);
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

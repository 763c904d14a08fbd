// The .reg text form of one registry hive: its tree of keys and values, the reader and the writer.
// Only the forms a registry export uses are read; deletion entries ("[-key]", "name"=-) are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Platform::RegistryText {

constexpr size_t kMaxKeyNameCharacters = 255;
constexpr size_t kMaxValueNameCharacters = 16383;
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxValueBytes = 1024 * 1024;

// A value as the Windows registry holds it: the type number and the raw bytes (UTF-16LE with a
// terminating zero for the string types, little-endian numbers).
struct StoredValue {
    std::string name;
    uint32_t type = 0;
    std::string raw;
};

class StoredKey {
public:
    explicit StoredKey(std::string name = std::string()) : fName(std::move(name)) {}

    const std::string& Name() const { return fName; }

    StoredKey* FindSubkey(std::string_view name) const;
    // The subkey of that name, made when missing (keeping the name's case as given then).
    StoredKey& MakeSubkey(std::string_view name);
    bool RemoveSubkey(std::string_view name);
    bool HasSubkeys() const { return !fSubkeys.empty(); }
    // Subkeys in ASCII case-insensitive order.
    const std::map<std::string, std::unique_ptr<StoredKey>>& Subkeys() const { return fSubkeys; }

    const StoredValue* FindValue(std::string_view name) const;
    // Sets a value; an existing one of the same name keeps its place and its name's case. False
    // when nothing changed (same type and bytes).
    bool SetValue(std::string_view name, uint32_t type, std::string raw);
    bool RemoveValue(std::string_view name);
    // Values in the order they were first set.
    const std::vector<StoredValue>& Values() const { return fValues; }

private:
    std::string fName;
    std::vector<StoredValue> fValues;
    std::unordered_map<std::string, size_t> fValueIndex; // folded name -> index in fValues
    std::map<std::string, std::unique_ptr<StoredKey>> fSubkeys; // by folded name
};

// ASCII lower case, the form names are compared in.
std::string FoldCase(std::string_view name);

// 1 to 255 characters, UTF-8, no '\', no control character.
bool IsValidKeyName(std::string_view name);
// 0 to 16383 characters, UTF-8, no control character.
bool IsValidValueName(std::string_view name);
// Splits "A\B\C" into its names; "" is no name at all. False for an empty name (a leading,
// trailing or doubled '\'), an invalid name, or more than kMaxKeyDepth names.
bool SplitKeyPath(std::string_view path, std::vector<std::string_view>& names);

// UTF-8 to UTF-16LE with a terminating zero unit. False for text that is not UTF-8.
bool Utf8ToUtf16(std::string_view text, std::string& utf16);
// UTF-16LE to UTF-8: one terminating zero unit and an odd last byte are dropped, an unpaired
// surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view utf16);

// Reads a hive's text into root (which the caller gives empty). Sections of another hive, lines
// that are not a section or a value in the forms written by FormatHive, values of a section whose
// header cannot be read, and values whose data does not fit its type (a DWORD of other than 4
// bytes, a QWORD of other than 8, a string without its terminating zero unit) are skipped.
void ParseHive(std::string_view text, std::string_view hiveName, std::string_view hiveShortName, StoredKey& root);

// The text of a hive: the version line, then one section per key (the hive's own key only when it
// has values), parents before children, subkeys in order.
std::string FormatHive(const StoredKey& root, std::string_view hiveName);

} // namespace Platform::RegistryText

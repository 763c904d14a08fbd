// The registry as a store of .reg text files, one per hive, under a root folder. HKEY_CLASSES_ROOT
// is a hive of its own (no merged view), and there are no views, security, notifications or volatile keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

// The store lives in CX_REGISTRY_ROOT when that names an absolute folder, else in UserDataHome() +
// "/patch-installer/registry" (the invoking user's when elevated through pkexec); each hive is one
// file there ("HKEY_LOCAL_MACHINE.reg", ...) with a lock file beside it. Every call reads the file
// afresh under a shared lock; every change takes the exclusive lock, reads, changes and replaces
// the file atomically, so several processes share the store safely. An elevated process (pkexec)
// gives the folders and files it creates to the invoking user.
//
// Key paths are names joined by '\' under the hive ("SOFTWARE\Maker\Product"); an empty path is
// the hive's own key. Key and value names compare without ASCII letter case and keep the case they
// were first written with. A key name is 1 to 255 characters without '\'; a value name 0 (the
// default value, "@" in the file) to 16383 characters; names are UTF-8 without control characters.
// Keys nest at most 512 deep; a value holds at most 1 MiB; a hive file at most 16 MiB.
//
// Every call returns 0 or an errno value: ENOENT for a missing key or value, EINVAL for a bad name,
// path, type or text, ENOTEMPTY for deleting a key that has subkeys, EFBIG when a change would
// make the hive file too big (or it already is), or the errno value of a file operation.

enum RegistryHive {
    kRegistryLocalMachine,
    kRegistryCurrentUser,
    kRegistryClassesRoot,
    kRegistryUsers,
    kRegistryCurrentConfig,
};

// "HKEY_LOCAL_MACHINE" or "HKLM", "HKEY_CURRENT_USER" or "HKCU", "HKEY_CLASSES_ROOT" or "HKCR",
// "HKEY_USERS" or "HKU", "HKEY_CURRENT_CONFIG" or "HKCC", in any ASCII letter case. False for any
// other text.
bool RegistryHiveFromName(std::string_view name, RegistryHive& hive);
// The long name of the hive ("HKEY_LOCAL_MACHINE", ...).
const char* RegistryHiveName(RegistryHive hive);

// Value types, numbered as the Windows registry numbers them.
enum RegistryValueType : uint32_t {
    kRegistryString = 1,       // REG_SZ
    kRegistryExpandString = 2, // REG_EXPAND_SZ
    kRegistryBinary = 3,       // REG_BINARY
    kRegistryDword = 4,        // REG_DWORD
    kRegistryQword = 11,       // REG_QWORD
};

struct RegistryValue {
    uint32_t type = kRegistryString;
    // The text of the string types (UTF-8; stored as UTF-16, so unpaired surrogates in a file read
    // back as U+FFFD), the bytes of a binary value. A value of another type that a person put in
    // the file reads back with its type number and its raw bytes here.
    std::string data;
    uint64_t number = 0; // a DWORD (at most 0xFFFFFFFF) or QWORD value

    static RegistryValue String(std::string_view text) { return {kRegistryString, std::string(text), 0}; }
    static RegistryValue ExpandString(std::string_view text) { return {kRegistryExpandString, std::string(text), 0}; }
    static RegistryValue Binary(std::string_view bytes) { return {kRegistryBinary, std::string(bytes), 0}; }
    static RegistryValue Dword(uint32_t number) { return {kRegistryDword, std::string(), number}; }
    static RegistryValue Qword(uint64_t number) { return {kRegistryQword, std::string(), number}; }
    bool operator==(const RegistryValue&) const = default;
};

struct RegistryNamedValue {
    std::string name;
    RegistryValue value;
};

// The host folder of the store (empty when no data home is known: every call then gives ENOENT).
std::string RegistryRoot();

// Creates the key and every missing key above it. An existing key is success.
int CreateRegistryKey(RegistryHive hive, std::string_view keyPath);

// Sets a value of an existing key (ENOENT when the key is missing), replacing one of the same name
// (its type too). String types must be UTF-8; a DWORD's number must fit in 32 bits.
int SetRegistryValue(RegistryHive hive, std::string_view keyPath, std::string_view name, const RegistryValue& value);

int QueryRegistryValue(RegistryHive hive, std::string_view keyPath, std::string_view name, RegistryValue& value);

int DeleteRegistryValue(RegistryHive hive, std::string_view keyPath, std::string_view name);

// Deletes a key with its values. A key that has subkeys is not deleted (ENOTEMPTY); the hive's own
// key cannot be deleted (EINVAL).
int DeleteRegistryKey(RegistryHive hive, std::string_view keyPath);

// The names of a key's subkeys, in ASCII case-insensitive order.
int ListRegistrySubkeys(RegistryHive hive, std::string_view keyPath, std::vector<std::string>& names);

// A key's values in the order they were first set.
int ListRegistryValues(RegistryHive hive, std::string_view keyPath, std::vector<RegistryNamedValue>& values);

} // namespace Platform

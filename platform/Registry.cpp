// The registry as a store of .reg text files, one per hive, under a root folder. HKEY_CLASSES_ROOT
// is a hive of its own (no merged view), and there are no views, security, notifications or volatile keys.
#include "platform/Registry.h"

#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "platform/File.h"
#include "platform/RegistryText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Platform {

using RegistryText::StoredKey;
using RegistryText::StoredValue;

namespace {

constexpr size_t kMaxHiveBytes = 16 * 1024 * 1024;

struct HiveInfo {
    const char* name;
    const char* shortName;
};

constexpr HiveInfo kHives[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_USERS", "HKU"},
    {"HKEY_CURRENT_CONFIG", "HKCC"},
};

struct HivePaths {
    std::string folder;
    std::string file; // folder + "/HKEY_....reg"
    std::string lock;
};

bool GetHivePaths(RegistryHive hive, HivePaths& paths)
{
    paths.folder = RegistryRoot();
    if (paths.folder.empty())
        return false;
    paths.file = paths.folder + "/" + kHives[hive].name + ".reg";
    paths.lock = paths.folder + "/" + kHives[hive].name + ".lock";
    return true;
}

// The lock of one hive, held while the object lives (closing the descriptor releases it).
class HiveLock {
public:
    HiveLock() = default;
    ~HiveLock()
    {
        if (fFd >= 0)
            (void)CloseFile(fFd);
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    // The lock file is opened for reading (flock needs no more), so a lock file another user made
    // serves as well; it is made when missing. A reader that cannot open or make it goes on
    // unlocked, which the atomic replace makes safe. ENOENT when the folder does not exist.
    int Take(const std::string& path, bool exclusive, const InvokingUser* owner)
    {
        // Never through a link and never blocking on a FIFO: the folder belongs to the user, and
        // this may run as root. Only a lock file made by this call is handed to the user.
        bool made = false;
        int error = OpenFile(path, kOpenRead | kOpenExclusive | kOpenNoFollow | kOpenNonBlock, 0644, fFd);
        if (error == 0)
            made = true;
        else if (error == EEXIST || error == EACCES || error == EPERM || error == EROFS)
            error = OpenFile(path, kOpenRead | kOpenNoFollow | kOpenNonBlock, 0, fFd);
        if (error == 0) {
            FileInfo info;
            if (StatFile(fFd, info) != 0 || !info.isFile || info.links != 1) {
                (void)CloseFile(fFd);
                fFd = -1;
                error = EINVAL;
            }
        }
        if (error != 0)
            return exclusive || error == ENOENT ? error : 0;
        if (owner != nullptr && made)
            (void)fchown(fFd, owner->uid, owner->gid);
        int result;
        do {
            result = flock(fFd, exclusive ? LOCK_EX : LOCK_SH);
        } while (result < 0 && errno == EINTR);
        return result < 0 ? errno : 0;
    }

private:
    int fFd = -1;
};

// Makes the folder and the missing ones above it, giving each new one to owner.
int MakeFolders(const std::string& folder, const InvokingUser* owner)
{
    int error = 0;
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i != folder.size() && folder[i] != '/')
            continue;
        std::string part = folder.substr(0, i);
        error = MakeDirectory(part, 0755);
        if (error == 0 && owner != nullptr) // the folder made here, never a link swapped in for it
            (void)fchownat(AT_FDCWD, part.c_str(), owner->uid, owner->gid, AT_SYMLINK_NOFOLLOW);
        if (error != 0) {
            FileInfo info;
            if (StatPath(part, info) == 0 && info.isDirectory)
                error = 0;
        }
    }
    return error;
}

// Reads the hive's file into root; a missing file is an empty hive. oversize tells that the file
// is longer than the store reads (only its complete lines within the bound were read).
int LoadHive(RegistryHive hive, const HivePaths& paths, StoredKey& root, bool& oversize)
{
    std::string text;
    int error = ReadWholeFile(paths.file, kMaxHiveBytes, text);
    oversize = error == EFBIG;
    if (oversize)
        text.resize(text.rfind('\n') + 1);
    else if (error == ENOENT)
        return 0;
    else if (error != 0)
        return error;
    RegistryText::ParseHive(text, kHives[hive].name, kHives[hive].shortName, root);
    return 0;
}

// Runs a reading operation on the hive's current content.
template <class Operation>
int ReadHive(RegistryHive hive, Operation operation)
{
    HivePaths paths;
    if (!GetHivePaths(hive, paths))
        return ENOENT;
    StoredKey root;
    {
        InvokingUser user;
        HiveLock lock;
        int error = lock.Take(paths.lock, false, PkexecInvokingUser(user) ? &user : nullptr);
        if (error != 0)
            return error;
        bool oversize;
        error = LoadHive(hive, paths, root, oversize);
        if (error != 0)
            return error;
    }
    return operation(static_cast<const StoredKey&>(root));
}

// Runs a changing operation under the exclusive lock and writes the hive back when it changed
// anything. The operation returns 0 or an errno value and sets changed.
template <class Operation>
int ChangeHive(RegistryHive hive, Operation operation)
{
    HivePaths paths;
    if (!GetHivePaths(hive, paths))
        return ENOENT;
    InvokingUser user;
    const InvokingUser* owner = PkexecInvokingUser(user) ? &user : nullptr;
    int error = MakeFolders(paths.folder, owner);
    if (error != 0)
        return error;
    HiveLock lock;
    error = lock.Take(paths.lock, true, owner);
    if (error != 0)
        return error;
    StoredKey root;
    bool oversize;
    error = LoadHive(hive, paths, root, oversize);
    if (error != 0)
        return error;
    if (oversize)
        return EFBIG; // rewriting would lose what was not read
    bool changed = false;
    error = operation(root, changed);
    if (error != 0 || !changed)
        return error;
    std::string text = RegistryText::FormatHive(root, kHives[hive].name);
    if (text.size() > kMaxHiveBytes)
        return EFBIG;
    // The atomic write removes the temporary files that writers which died left beside the hive.
    if (owner != nullptr)
        return WriteFileAtomically(paths.file, text, 0644, owner->uid, owner->gid);
    return WriteFileAtomically(paths.file, text, 0644);
}

const StoredKey* FindKey(const StoredKey& root, const std::vector<std::string_view>& names)
{
    const StoredKey* key = &root;
    for (std::string_view name : names) {
        key = key->FindSubkey(name);
        if (key == nullptr)
            return nullptr;
    }
    return key;
}

StoredKey* FindKey(StoredKey& root, const std::vector<std::string_view>& names)
{
    return const_cast<StoredKey*>(FindKey(static_cast<const StoredKey&>(root), names));
}

bool IsStringType(uint32_t type)
{
    return type == kRegistryString || type == kRegistryExpandString;
}

// The bytes the registry holds for a value given to SetRegistryValue.
bool ToRaw(const RegistryValue& value, std::string& raw)
{
    raw.clear();
    switch (value.type) {
    case kRegistryString:
    case kRegistryExpandString:
        return value.data.size() <= RegistryText::kMaxValueBytes / 2 - 1 && RegistryText::Utf8ToUtf16(value.data, raw);
    case kRegistryBinary:
        if (value.data.size() > RegistryText::kMaxValueBytes)
            return false;
        raw = value.data;
        return true;
    case kRegistryDword:
    case kRegistryQword: {
        if (value.type == kRegistryDword && value.number > 0xFFFFFFFFu)
            return false;
        int size = value.type == kRegistryDword ? 4 : 8;
        for (int i = 0; i < size; ++i)
            raw += static_cast<char>(value.number >> (8 * i) & 0xFF);
        return true;
    }
    default:
        return false;
    }
}

RegistryValue FromStored(const StoredValue& stored)
{
    RegistryValue value;
    value.type = stored.type;
    if (IsStringType(stored.type)) {
        value.data = RegistryText::Utf16ToUtf8(stored.raw);
    } else if ((stored.type == kRegistryDword && stored.raw.size() == 4) ||
               (stored.type == kRegistryQword && stored.raw.size() == 8)) {
        for (size_t i = stored.raw.size(); i-- > 0;)
            value.number = value.number << 8 | static_cast<unsigned char>(stored.raw[i]);
    } else {
        value.data = stored.raw;
    }
    return value;
}

} // namespace

bool RegistryHiveFromName(std::string_view name, RegistryHive& hive)
{
    std::string folded = RegistryText::FoldCase(name);
    for (size_t i = 0; i < sizeof kHives / sizeof kHives[0]; ++i) {
        if (folded == RegistryText::FoldCase(kHives[i].name) || folded == RegistryText::FoldCase(kHives[i].shortName)) {
            hive = static_cast<RegistryHive>(i);
            return true;
        }
    }
    return false;
}

const char* RegistryHiveName(RegistryHive hive)
{
    return kHives[hive].name;
}

std::string RegistryRoot()
{
    std::string root = GetEnv("CX_REGISTRY_ROOT");
    if (root.empty() || root[0] != '/') {
        std::string dataHome = UserDataHome();
        if (dataHome.empty())
            return std::string();
        root = (dataHome == "/" ? std::string() : dataHome) + "/patch-installer/registry";
    }
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

int CreateRegistryKey(RegistryHive hive, std::string_view keyPath)
{
    std::vector<std::string_view> names;
    if (!RegistryText::SplitKeyPath(keyPath, names))
        return EINVAL;
    return ChangeHive(hive, [&](StoredKey& root, bool& changed) {
        StoredKey* key = &root;
        for (std::string_view name : names) {
            StoredKey* next = key->FindSubkey(name);
            if (next == nullptr) {
                next = &key->MakeSubkey(name);
                changed = true;
            }
            key = next;
        }
        return 0;
    });
}

int SetRegistryValue(RegistryHive hive, std::string_view keyPath, std::string_view name, const RegistryValue& value)
{
    std::vector<std::string_view> names;
    std::string raw;
    if (!RegistryText::SplitKeyPath(keyPath, names) || !RegistryText::IsValidValueName(name) || !ToRaw(value, raw))
        return EINVAL;
    return ChangeHive(hive, [&](StoredKey& root, bool& changed) {
        StoredKey* key = FindKey(root, names);
        if (key == nullptr)
            return ENOENT;
        changed = key->SetValue(name, value.type, std::move(raw));
        return 0;
    });
}

int QueryRegistryValue(RegistryHive hive, std::string_view keyPath, std::string_view name, RegistryValue& value)
{
    std::vector<std::string_view> names;
    if (!RegistryText::SplitKeyPath(keyPath, names) || !RegistryText::IsValidValueName(name))
        return EINVAL;
    return ReadHive(hive, [&](const StoredKey& root) {
        const StoredKey* key = FindKey(root, names);
        const StoredValue* stored = key != nullptr ? key->FindValue(name) : nullptr;
        if (stored == nullptr)
            return ENOENT;
        value = FromStored(*stored);
        return 0;
    });
}

int DeleteRegistryValue(RegistryHive hive, std::string_view keyPath, std::string_view name)
{
    std::vector<std::string_view> names;
    if (!RegistryText::SplitKeyPath(keyPath, names) || !RegistryText::IsValidValueName(name))
        return EINVAL;
    return ChangeHive(hive, [&](StoredKey& root, bool& changed) {
        StoredKey* key = FindKey(root, names);
        if (key == nullptr || !key->RemoveValue(name))
            return ENOENT;
        changed = true;
        return 0;
    });
}

int DeleteRegistryKey(RegistryHive hive, std::string_view keyPath)
{
    std::vector<std::string_view> names;
    if (!RegistryText::SplitKeyPath(keyPath, names) || names.empty())
        return EINVAL;
    std::string_view leaf = names.back();
    names.pop_back();
    return ChangeHive(hive, [&](StoredKey& root, bool& changed) {
        StoredKey* parent = FindKey(root, names);
        StoredKey* key = parent != nullptr ? parent->FindSubkey(leaf) : nullptr;
        if (key == nullptr)
            return ENOENT;
        if (key->HasSubkeys())
            return ENOTEMPTY;
        parent->RemoveSubkey(leaf);
        changed = true;
        return 0;
    });
}

namespace {

// Reads the key at keyPath and hands it to read; EINVAL for a bad path, ENOENT for a missing key.
template <class Read>
int ReadKey(RegistryHive hive, std::string_view keyPath, Read read)
{
    std::vector<std::string_view> names;
    if (!RegistryText::SplitKeyPath(keyPath, names))
        return EINVAL;
    return ReadHive(hive, [&](const StoredKey& root) {
        const StoredKey* key = FindKey(root, names);
        if (key == nullptr)
            return ENOENT;
        read(*key);
        return 0;
    });
}

} // namespace

int ListRegistrySubkeys(RegistryHive hive, std::string_view keyPath, std::vector<std::string>& subkeys)
{
    subkeys.clear();
    return ReadKey(hive, keyPath, [&](const StoredKey& key) {
        for (const auto& entry : key.Subkeys())
            subkeys.push_back(entry.second->Name());
    });
}

int ListRegistryValues(RegistryHive hive, std::string_view keyPath, std::vector<RegistryNamedValue>& values)
{
    values.clear();
    return ReadKey(hive, keyPath, [&](const StoredKey& key) {
        for (const StoredValue& stored : key.Values())
            values.push_back(RegistryNamedValue{stored.name, FromStored(stored)});
    });
}

} // namespace Platform

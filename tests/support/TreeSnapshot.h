#pragma once

#include "foundation/CXMD5.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <system_error>

// What a folder tree holds, for comparing a tree before and after an operation: every entry's
// path relative to the root, its kind, permission bits, and a file's size and MD5 or a link's
// target. Links are recorded, never followed.
struct TreeEntry {
    char kind = '?'; // 'f' file, 'd' folder, 'l' link, '?' anything else
    unsigned mode = 0;
    uintmax_t size = 0;
    std::string md5;    // files
    std::string target; // links
    bool operator==(const TreeEntry&) const = default;
};

class TreeSnapshot {
public:
    TreeSnapshot() = default;
    // A snapshot of the tree under the host path root (the root itself is not an entry). A root
    // that does not exist gives an empty snapshot.
    explicit TreeSnapshot(const std::string& root) { Take(root); }

    void Take(const std::string& root)
    {
        fEntries.clear();
        namespace fs = std::filesystem;
        std::error_code error;
        if (!fs::is_directory(fs::symlink_status(root, error)))
            return;
        for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
             it.increment(error)) {
            const fs::path& path = it->path();
            fs::file_status status = fs::symlink_status(path, error);
            TreeEntry entry;
            entry.mode = static_cast<unsigned>(status.permissions()) & 07777;
            if (fs::is_symlink(status)) {
                entry.kind = 'l';
                entry.mode = 0;
                entry.target = fs::read_symlink(path, error).string();
            } else if (fs::is_directory(status)) {
                entry.kind = 'd';
            } else if (fs::is_regular_file(status)) {
                entry.kind = 'f';
                std::ifstream in(path, std::ios::binary);
                std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                entry.size = bytes.size();
                entry.md5 = MD5HexDigest(CXStringArgument(bytes.data(), bytes.size())).c_str();
            }
            // Lexically: fs::relative would resolve a link at the end of the path to where it points.
            fEntries[path.lexically_relative(root).generic_string()] = entry;
        }
    }

    const std::map<std::string, TreeEntry>& Entries() const { return fEntries; }
    bool Has(const std::string& relative) const { return fEntries.count(relative) != 0; }
    // The entries that are neither the folder (a relative path) nor inside it.
    std::map<std::string, TreeEntry> EntriesOutside(const std::string& folder) const
    {
        std::map<std::string, TreeEntry> rest;
        for (const auto& [path, entry] : fEntries) {
            if (path != folder && path.rfind(folder + "/", 0) != 0)
                rest.emplace(path, entry);
        }
        return rest;
    }
    bool operator==(const TreeSnapshot&) const = default;

    // One line per entry, for readable failure messages.
    std::string Describe() const
    {
        std::ostringstream out;
        for (const auto& [path, entry] : fEntries) {
            out << entry.kind << ' ' << path;
            if (entry.kind == 'f')
                out << " size=" << entry.size << " md5=" << entry.md5;
            if (entry.kind == 'l')
                out << " -> " << entry.target;
            else
                out << " mode=" << std::oct << entry.mode << std::dec;
            out << '\n';
        }
        return out.str();
    }

private:
    std::map<std::string, TreeEntry> fEntries;
};

inline std::ostream& operator<<(std::ostream& out, const TreeSnapshot& snapshot)
{
    return out << '\n' << snapshot.Describe();
}

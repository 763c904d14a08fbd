#pragma once

#include "foundation/CXResultCode.h"
#include "foundation/CXString.h"

#include <cstdint>
#include <string>
#include <vector>

// Lists one folder. "." and ".." never appear, wherever the host lists them. The usual loop:
// Open, then while IsOpen use the current entry and call FindNext. Belongs to one thread.
class CXFileFind {
public:
    CXFileFind() = default;
    ~CXFileFind() { Close(); }
    CXFileFind(const CXFileFind&) = delete;
    CXFileFind& operator=(const CXFileFind&) = delete;

    // Closes any open listing and lists the folder. kCXNotFound when it cannot be listed; an empty
    // folder gives success with nothing open.
    CXResultCode Open(const CXString& folder);
    // An entry is current.
    bool IsOpen() const { return fIndex < fEntries.size(); }
    // The next entry; the listing closes after the last.
    void FindNext();
    // The current entry is a folder (a link to a folder is not).
    bool IsFileADirectory() const;
    // The attribute bits of the current entry: 0x10 for a folder, 0 otherwise.
    uint32_t GetAttributes() const { return IsFileADirectory() ? 0x10 : 0; }
    // The current entry's size in bytes, taken without following a link (a link counts as
    // itself); 0 when nothing is open.
    uint64_t GetFileSize() const { return IsOpen() ? fEntries[fIndex].size : 0; }
    // The program path of the current entry; empty (and reported) when nothing is open.
    CXString GetFilePath() const;
    // The current entry's name.
    CXString GetFileName() const;
    void Close();

private:
    struct Entry {
        std::string name;
        bool isDirectory;
        uint64_t size;
    };
    CXString fFolder;
    std::vector<Entry> fEntries;
    size_t fIndex = 0;
};

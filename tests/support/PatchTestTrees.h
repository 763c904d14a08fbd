#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// The two trees the whole-patch tests build a patch between: edits in place, creates in a new
// folder and beside old files, deletions of a file and of a folder with its file, a file that
// stays.
namespace PatchTestTrees {

inline void Put(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A file's bytes; empty when it cannot be read.
inline std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string RandomText(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string text(size, ' ');
    for (char& c : text)
        c = static_cast<char>('a' + random() % 26);
    return text;
}

inline void MakeOldTree(const std::string& root)
{
    Put(root + "/a.txt", RandomText(20000, 1));
    Put(root + "/b.bin", RandomText(50000, 2));
    Put(root + "/c.txt", "delete me");
    Put(root + "/dir/d.txt", RandomText(30000, 3));
    Put(root + "/gone/e.txt", "gone");
}

inline void MakeNewTree(const std::string& root)
{
    std::string a = RandomText(20000, 1);
    a.replace(5000, 100, RandomText(300, 4));
    std::string d = RandomText(30000, 3);
    d.insert(100, "inserted");
    Put(root + "/a.txt", a);
    Put(root + "/b.bin", RandomText(50000, 2));
    Put(root + "/dir/d.txt", d);
    Put(root + "/new/f.txt", RandomText(4000, 5));
    Put(root + "/n.txt", RandomText(7000, 6));
}

} // namespace PatchTestTrees

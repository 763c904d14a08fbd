// Hostile control files and uninstall records, each run through the apply driver in a child process
// on a scratch parent folder that holds the target, an "outside" folder of sentinel files, the
// control file and the data file. The whole parent is compared before and after: nothing outside
// the target is created, changed or deleted, no outside file's bytes end up in the target, and the
// target ends exactly as it was or exactly as a correct run leaves it.
#include "PatchBuilder.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMD5.h"
#include "patch/UninstallRecord.h"
#include "platform/Permissions.h"
#include "support/PatchTestTrees.h"
#include "support/RunProgram.h"
#include "support/ScopedEnv.h"
#include "support/ScratchFolder.h"
#include "support/TreeSnapshot.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using PatchTestTrees::Get;
using PatchTestTrees::Put;
using PatchTestTrees::RandomText;

std::string Md5(const std::string& bytes)
{
    return MD5HexDigest(CXStringArgument(bytes.data(), bytes.size())).c_str();
}

// The program form of a host path ("Z:/tmp/...").
std::string ProgramPath(const std::string& host)
{
    CXString path = CXFileSystem::FromNativePath(CXStringArgument(host.data(), host.size()));
    return std::string(path.c_str(), path.length());
}

// Long lines cut, at most 80 of them: the overlong names would drown a failure message.
std::string Brief(const std::string& text)
{
    std::string out;
    size_t lines = 0;
    for (size_t start = 0; start < text.size() && lines < 80; ++lines) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        out += (line.size() > 160 ? line.substr(0, 150) + "...(" + std::to_string(line.size()) + ")" : line) + "\n";
        start = end + 1;
    }
    return out;
}

struct DriverRun {
    int status = -1; // as waitpid gives it
    std::string output;
    std::string errors;
    // The code, and no report of a sanitizer (whose own exit code may be 1 as well).
    bool Exited(int code) const
    {
        return WIFEXITED(status) && WEXITSTATUS(status) == code && errors.find("Sanitizer") == std::string::npos &&
               errors.find("runtime error:") == std::string::npos;
    }
    std::string Describe() const
    {
        std::string how = WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                          : WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                                : "status " + std::to_string(status);
        return how + "\n" + Brief(output + errors);
    }
};

DriverRun RunDriver(const std::vector<std::string>& arguments, const std::string& scratch)
{
    std::string out = scratch + "/driver-out.txt", err = scratch + "/driver-err.txt";
    DriverRun run;
    run.status = RunProgram(APPLY_DRIVER_PATH, arguments, out, err);
    run.output = Get(out);
    run.errors = Get(err);
    return run;
}

std::string Describe(const std::map<std::string, TreeEntry>& entries)
{
    std::string text;
    for (const auto& [path, entry] : entries) {
        text += std::string(1, entry.kind) + " " + path;
        if (entry.kind == 'f')
            text += " " + entry.md5;
        else if (entry.kind == 'l')
            text += " -> " + entry.target;
        else
            text += " mode " + std::to_string(entry.mode);
        text += "\n";
    }
    return Brief(text);
}

// ---------------------------------------------------------------------------------------------
// Control files

// One operation of a hostile control file. Paths are written byte for byte (as hex bytes when a
// quoted string cannot hold them).
struct Entry {
    std::string command;
    std::string destination;
    std::string source = {};
    // A create's new bytes, or an edit's result (diffed from `from`); each gives one data record.
    std::string data = {};
    std::string from = {};
    // Checksums: the source's ("-" for none) and the destination's (empty: that of data, when
    // there is a record).
    std::string sourceChecksum = "-";
    std::string destinationChecksum = {};
    std::string permissions = {};
    // Further lines as written ("estimated-effort -1", "flags 2"); without an effort line the
    // data's size is written.
    std::vector<std::string> lines = {};
};

std::string ValueText(const std::string& value)
{
    bool plain = true;
    for (unsigned char c : value)
        plain = plain && c >= 0x20 && c < 0x7F && c != '"' && c != '`';
    if (plain)
        return "\"" + value + "\"";
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex = "`";
    for (unsigned char c : value) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
    }
    return hex + "`";
}

struct ControlFile {
    std::string text;
    std::string data; // the compressed data file
};

void AppendBE(std::string& out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// One data record: its payload, then the checksum of the finished file.
std::string Record(const std::string& payload, const std::string& result)
{
    std::string record;
    AppendBE(record, payload.size(), 8);
    record += payload;
    std::string md5 = Md5(result);
    record += static_cast<char>(md5.size());
    record += md5;
    return record;
}

// header: root lines instead of the data file's true size and checksum (empty: the true ones).
// rawRecords: the uncompressed records instead of those the entries make.
ControlFile MakeControlFile(const std::vector<Entry>& entries, const std::vector<std::string>& header, const std::string* rawRecords)
{
    std::string records;
    std::string list;
    for (const Entry& entry : entries) {
        std::string checksum = entry.destinationChecksum;
        if (entry.command == "create-file" || entry.command == "edit-file") {
            std::string payload = entry.command == "edit-file" ? PatchBuilder::MakeDiff(entry.from, entry.data) : entry.data;
            records += Record(payload, entry.data);
            if (checksum.empty())
                checksum = Md5(entry.data);
        }
        list += "  operation\r  {\r    command " + entry.command + "\r";
        if (!entry.source.empty())
            list += "    source-filepath " + ValueText(entry.source) + "\r";
        if (entry.sourceChecksum != "-")
            list += "    source-checksum " + entry.sourceChecksum + "\r";
        list += "    destination-filepath " + ValueText(entry.destination) + "\r";
        if (!checksum.empty() && checksum != "-")
            list += "    destination-checksum " + checksum + "\r";
        if (!entry.permissions.empty())
            list += "    destination-permissions " + ValueText(entry.permissions) + "\r";
        bool effort = false;
        for (const std::string& line : entry.lines) {
            list += "    " + line + "\r";
            effort = effort || line.rfind("estimated-effort", 0) == 0;
        }
        if (!effort)
            list += "    estimated-effort " + std::to_string(entry.data.size()) + "\r";
        list += "  }\r";
    }
    ControlFile file;
    file.data = PatchBuilder::Compress(rawRecords != nullptr ? *rawRecords : records);
    file.text = "mervane-version 1\r";
    if (header.empty()) {
        file.text += "datafilesize " + std::to_string(file.data.size()) + "\rdatafilechecksum " + Md5(file.data) + "\r";
    } else {
        for (const std::string& line : header)
            file.text += line + "\r";
    }
    file.text += "patch-operations\r{\r" + list + "}\r";
    return file;
}

enum class End { kUntouched, kPatched };

struct ControlCase {
    std::string name;
    std::vector<Entry> entries;
    End end = End::kUntouched;
    // Changes the parent (host path) before the run: links planted in the target, a planted
    // temporary folder.
    std::function<void(const std::string& parent)> plant = {};
    // The correct result: changes a copy of the starting target (for kPatched).
    std::function<void(const std::string& target)> patched = {};
    std::vector<std::string> header = {};
    // The uncompressed records instead of those the entries make.
    std::optional<std::string> records = {};
    // Names in the parent that the run may remove: a data file a killed run left beside the target.
    std::vector<std::string> mayGo = {};
};

class HostileInputTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(fScratch / "tmp");
        fs::create_directories(fScratch / "app");
        fA = RandomText(6000, 11);
        fD = RandomText(3000, 12);
        fSecret = RandomText(2000, 13);
        fInner = RandomText(1500, 14);
    }

    std::string Parent() const { return fScratch / "parent"; }
    std::string Target() const { return Parent() + "/target"; }
    std::string OutsideFolder() const { return Parent() + "/outside"; }

    // A fresh parent: the target's files, the outside folder with its sentinels.
    void MakeParent()
    {
        fs::remove_all(Parent());
        Put(Target() + "/a.txt", fA);
        Put(Target() + "/dir/d.txt", fD);
        Put(Target() + "/keep.txt", "keep");
        Put(OutsideFolder() + "/secret.txt", fSecret);
        Put(OutsideFolder() + "/folder/inner.txt", fInner);
        Put(OutsideFolder() + "/secret.lnk", "outside shortcut " + RandomText(100, 15));
        fs::permissions(OutsideFolder() + "/folder", fs::perms(0755));
    }

    // The checksums of every outside file: none of them may turn up in the target.
    std::set<std::string> OutsideChecksums() const
    {
        std::set<std::string> sums;
        TreeSnapshot outside(OutsideFolder());
        for (const auto& [path, entry] : outside.Entries()) {
            if (entry.kind == 'f')
                sums.insert(entry.md5);
        }
        return sums;
    }

    void CheckControlCase(const ControlCase& c)
    {
        SCOPED_TRACE(c.name);
        MakeParent();
        if (c.plant)
            c.plant(Parent());
        ControlFile file = MakeControlFile(c.entries, c.header, c.records ? &*c.records : nullptr);
        Put(Parent() + "/patch.txt", file.text);
        Put(Parent() + "/patch.bin", file.data);

        TreeSnapshot before(Parent());
        TreeSnapshot targetBefore(Target());
        TreeSnapshot expected;
        if (c.patched) {
            std::string copy = fScratch / "expected";
            fs::remove_all(copy);
            fs::copy(Target(), copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
            c.patched(copy);
            expected.Take(copy);
        }
        std::set<std::string> secrets = OutsideChecksums();

        DriverRun run = RunDriver({"--control", "file://" + Parent() + "/patch.txt", "--data", "file://" + Parent() + "/patch.bin",
                                   "--target", Target()},
                                  fScratch.Path());
        std::string log = Get(fScratch / "tmp/mervane-log.txt");
        std::string why = run.Describe() + "\n" + Brief(log);
        ASSERT_TRUE(run.Exited(0) || run.Exited(1)) << why;

        TreeSnapshot after(Parent());
        auto outsideBefore = before.EntriesOutside("target");
        auto outsideAfter = after.EntriesOutside("target");
        for (const std::string& name : c.mayGo) {
            if (outsideAfter.count(name) == 0)
                outsideBefore.erase(name);
        }
        EXPECT_TRUE(outsideBefore == outsideAfter) << "outside the target, before:\n"
                                                   << Describe(outsideBefore) << "after:\n"
                                                   << Describe(outsideAfter) << why;
        TreeSnapshot targetAfter(Target());
        for (const auto& [path, entry] : targetAfter.Entries())
            EXPECT_TRUE(entry.kind != 'f' || secrets.count(entry.md5) == 0) << "an outside file's bytes in the target: " << path;

        if (c.end == End::kUntouched) {
            EXPECT_TRUE(targetAfter == targetBefore) << "target:\n" << Describe(targetAfter.Entries()) << "before:\n"
                                                     << Describe(targetBefore.Entries()) << why;
            EXPECT_TRUE(run.Exited(1)) << why;
        } else {
            EXPECT_TRUE(targetAfter == expected) << "target:\n" << Describe(targetAfter.Entries()) << "expected:\n"
                                                 << Describe(expected.Entries()) << why;
            EXPECT_TRUE(run.Exited(0)) << why;
        }
    }

    ScratchFolder fScratch;
    ScopedEnv fTemp{"CX_FOLDER_TEMP", fScratch / "tmp"};
    ScopedEnv fApp{"CX_APP_FOLDER", fScratch / "app"};
    std::string fA, fD, fSecret, fInner;
};

std::string Sddl700()
{
    return "w32acl:" + Platform::ModeToSddl(0700);
}

void Symlink(const std::string& target, const std::string& link)
{
    fs::create_symlink(target, link);
}

TEST_F(HostileInputTest, PathsThatLeaveTheTarget)
{
    const std::string outsideHost = OutsideFolder();
    const std::string secretMd5 = Md5(fSecret);
    const std::string fresh = RandomText(500, 21);
    auto create = [&](const std::string& destination) { return Entry{"create-file", destination, "", fresh}; };
    const std::string nul("new.txt\0../../outside/pwn.txt", 29);
    const ControlCase cases[] = {
        // The harness itself: a correct patch written the same way is applied exactly.
        {"a legitimate patch",
         {create("new/f.txt"), Entry{"edit-file", "a.txt", "a.txt", fA + "tail", fA, Md5(fA)}, Entry{"delete-file", "keep.txt"},
          Entry{"move-file", "moved.txt", "dir/d.txt", "", "", Md5(fD), Md5(fD)}},
         End::kPatched, {},
         [&](const std::string& t) {
             Put(t + "/new/f.txt", fresh);
             Put(t + "/a.txt", fA + "tail");
             fs::remove(t + "/keep.txt");
             Put(t + "/moved.txt", fD);
         }},
        {"absolute host path", {create(outsideHost + "/pwn.txt")}},
        {"absolute program path", {create(ProgramPath(outsideHost) + "/pwn.txt")}},
        {"drive path", {create("C:/pwn.txt")}},
        {"drive-relative path", {create("Z:pwn.txt")}},
        {"network path", {create("//host/share/pwn.txt")}},
        {"climbing create", {create("../outside/pwn.txt")}},
        {"climbing create below a folder", {create("dir/../../outside/pwn.txt")}},
        {"climbing back into the target", {create("dir/../new.txt")}},
        {"back-slashes", {create("..\\outside\\pwn.txt")}},
        {"a dot component", {create("./new.txt")}},
        {"an empty component", {create("dir//new.txt")}},
        {"an empty destination", {create("")}},
        {"climbing delete", {Entry{"delete-file", "../outside/secret.txt"}}},
        {"absolute delete", {Entry{"delete-file", outsideHost + "/secret.txt"}}},
        {"climbing folder delete", {Entry{"delete-folder", "../outside/folder"}}},
        {"climbing folder create with permissions", {Entry{"create-folder", "../outside/folder", "", "", "", "-", "", Sddl700()}}},
        {"climbing move source", {Entry{"move-file", "stolen.txt", "../outside/secret.txt", "", "", secretMd5, secretMd5}}},
        {"absolute move source", {Entry{"move-file", "stolen.txt", outsideHost + "/secret.txt"}}},
        {"climbing edit source", {Entry{"edit-file", "stolen.txt", "../outside/secret.txt", fSecret + "x", fSecret, secretMd5}}},
        {"climbing edit destination", {Entry{"edit-file", "../outside/secret.txt", "a.txt", fA + "x", fA, Md5(fA)}}},
        // The whole file goes: the legitimate operation before the bad one is not applied either.
        {"a good operation before a climbing one", {create("new.txt"), create("../pwn.txt")}},
        {"into the temporary folder", {create("patcher-temp/journal.txt")}},
        {"a NUL in the destination", {create(nul)}},
        {"a NUL at the end", {create(std::string("new.txt\0", 8))}},
        {"an edit of a folder", {Entry{"edit-file", "dir", "dir", "x", "", "-", "-"}}},
        {"a NUL in a move source", {Entry{"move-file", "stolen.txt", std::string("a.txt\0../outside/secret.txt", 28)}}},
    };
    for (const ControlCase& c : cases)
        CheckControlCase(c);
}

TEST_F(HostileInputTest, LinksPlantedInTheTarget)
{
    const std::string secretMd5 = Md5(fSecret);
    const std::string fresh = RandomText(500, 22);
    auto plantLinks = [](const std::string& parent) {
        Symlink("../outside", parent + "/target/out");
        Symlink(parent + "/outside/secret.txt", parent + "/target/secret-link");
        Symlink("../../outside/folder", parent + "/target/dir/sub");
    };
    auto plantTemp = [](const std::string& to) {
        return [to](const std::string& parent) { Symlink(to, parent + "/target/patcher-temp"); };
    };
    // A legitimate edit in place needs a temporary file: it must never go through a planted link.
    const Entry editInPlace{"edit-file", "a.txt", "a.txt", fA + "edited", fA, Md5(fA)};
    const ControlCase cases[] = {
        {"create through a folder link", {Entry{"create-file", "out/pwn.txt", "", fresh}}, End::kUntouched, plantLinks},
        {"create through a nested folder link", {Entry{"create-file", "dir/sub/pwn.txt", "", fresh}}, End::kUntouched, plantLinks},
        {"create over a file link, replacing",
         {Entry{"create-file", "secret-link", "", fresh, "", "-", "", "", {"flags 2"}}}, End::kUntouched, plantLinks},
        {"create over a file link with its checksum",
         {Entry{"create-file", "secret-link", "", fresh, "", "-", secretMd5, "", {"flags 2"}}}, End::kUntouched, plantLinks},
        {"edit through a folder link",
         {Entry{"edit-file", "out/secret.txt", "out/secret.txt", fSecret + "x", fSecret, secretMd5}}, End::kUntouched, plantLinks},
        {"edit of a file link", {Entry{"edit-file", "secret-link", "secret-link", fSecret + "x", fSecret, secretMd5}}, End::kUntouched,
         plantLinks},
        {"edit of a file link without checksums",
         {Entry{"edit-file", "secret-link", "secret-link", fSecret + "x", fSecret, "-", "-"}}, End::kUntouched, plantLinks},
        {"move from a file link", {Entry{"move-file", "stolen.txt", "secret-link"}}, End::kUntouched, plantLinks},
        {"move from a file link with its checksum",
         {Entry{"move-file", "stolen.txt", "secret-link", "", "", secretMd5, secretMd5}}, End::kUntouched, plantLinks},
        {"move from behind a folder link", {Entry{"move-file", "stolen.txt", "out/secret.txt"}}, End::kUntouched, plantLinks},
        {"move onto a folder link", {Entry{"move-file", "out/a.txt", "a.txt"}}, End::kUntouched, plantLinks},
        {"delete behind a folder link", {Entry{"delete-file", "out/secret.txt"}}, End::kUntouched, plantLinks},
        {"delete of a folder behind a link", {Entry{"delete-folder", "out/folder"}}, End::kUntouched, plantLinks},
        {"delete of a folder link as a folder", {Entry{"delete-folder", "out"}}, End::kUntouched, plantLinks},
        // The link is the target's own entry: deleting it is legitimate and leaves what it names.
        {"delete of a file link", {Entry{"delete-file", "secret-link"}}, End::kPatched, plantLinks,
         [](const std::string& t) { fs::remove(t + "/secret-link"); }},
        {"delete of a folder link as a file", {Entry{"delete-file", "out"}}, End::kPatched, plantLinks,
         [](const std::string& t) { fs::remove(t + "/out"); }},
        {"folder with permissions over a folder link",
         {Entry{"create-folder", "out", "", "", "", "-", "", Sddl700()}}, End::kUntouched, plantLinks},
        {"folder behind a folder link", {Entry{"create-folder", "out/new", "", "", "", "-", "", ""}}, End::kUntouched, plantLinks},
        {"permissions of a folder behind a link",
         {Entry{"create-folder", "dir/sub", "", "", "", "-", "", Sddl700()}}, End::kUntouched, plantLinks},
        // The journal cannot be looked for through the link: the run refuses to start.
        {"a temporary folder linked outside", {editInPlace}, End::kUntouched, plantTemp("../outside")},
        {"a temporary folder linked to an outside file", {editInPlace}, End::kUntouched, plantTemp("../outside/secret.txt")},
        {"a temporary folder linked to a missing place", {editInPlace}, End::kUntouched, plantTemp("../outside/new-folder")},
    };
    for (const ControlCase& c : cases)
        CheckControlCase(c);

    // A FIFO as a source is refused without blocking the run.
    ControlCase fifo{"a FIFO as an edit's source", {Entry{"edit-file", "pipe", "pipe", "x", "", "-", "-"}}};
    fifo.plant = [](const std::string& parent) { ASSERT_EQ(mkfifo((parent + "/target/pipe").c_str(), 0644), 0); };
    CheckControlCase(fifo);
}

// A journal planted in the target's temporary folder is what a killed run would leave: the next run
// recovers from it before anything else, and must not let it reach outside the target.
TEST_F(HostileInputTest, PlantedJournals)
{
    const std::string fresh = RandomText(500, 23);
    auto token = [](const std::string& text) { return " " + std::to_string(text.size()) + ":" + text; };
    auto journal = [&](const std::string& lines) {
        return [lines](const std::string& parent) { Put(parent + "/target/patcher-temp/journal.txt", "patch-journal 1\n" + lines); };
    };
    const Entry create{"create-file", "new.txt", "", fresh};
    auto created = [&](const std::string& t) {
        Put(t + "/new.txt", fresh);
        fs::remove_all(t + "/patcher-temp");
    };
    // The line that names the run's patch: the MD5 of the control file the cases run.
    const std::string thisPatch = "data-released" + token("patch-id " + Md5(MakeControlFile({create}, {}, nullptr).text)) + "\n";
    const ControlCase cases[] = {
        // Only a name the run gives its own data files is ever deleted beside the target.
        {"a journal naming a file beside the target as its data file", {create}, End::kUntouched,
         [&](const std::string& parent) {
             Put(parent + "/sentinel.txt", "beside the target");
             journal("data" + token("sentinel.txt") + "\n")(parent);
         }},
        {"a journal naming the outside folder as its data file", {create}, End::kUntouched, journal("data" + token("outside") + "\n")},
        {"a journal naming a data file that looks generated", {create}, End::kUntouched,
         [&](const std::string& parent) {
             Put(parent + "/temp-1f.bin", "beside the target");
             journal("data" + token("temp-1f.bin") + "\n")(parent);
         }},
        {"a data file a killed run left beside the target", {create}, End::kPatched,
         [&](const std::string& parent) {
             Put(parent + "/temp-1f-3.bin", "left by a killed run");
             journal("data" + token("temp-1f-3.bin") + "\n")(parent);
         },
         created, {}, {}, {"temp-1f-3.bin"}},
        {"a journal climbing out with a rename", {create}, End::kUntouched,
         journal("rename" + token("patcher-temp/b") + token("../outside/secret.txt") + token("patcher-temp/w") + "\n")},
        {"a journal restoring a backup outside", {create}, End::kUntouched,
         journal("delete" + token("../outside/secret.txt") + token("keep.txt") + token("") + "\n")},
        {"a journal planning an outside path", {create}, End::kUntouched, journal("plan nf" + token("../outside/secret.txt") + "\n")},
        {"a journal planning an absolute path", {create}, End::kUntouched,
         [&](const std::string& parent) { journal("plan nf" + token(parent + "/outside/secret.txt") + "\n")(parent); }},
        {"a journal changing modes outside", {create}, End::kUntouched, journal("mode" + token("777") + token("../outside/folder") + "\n")},
        // The links stay links, what they name is untouched, and the run goes on.
        {"a journal changing modes through a link", {create}, End::kPatched,
         [&](const std::string& parent) {
             Symlink("../outside/folder", parent + "/target/out");
             journal("mode" + token("777") + token("out") + "\n")(parent);
         },
         created},
        {"a journal deleting through a link", {create}, End::kPatched,
         [&](const std::string& parent) {
             Symlink("../outside", parent + "/target/out");
             journal("plan nf" + token("out/secret.txt") + "\n")(parent);
         },
         created},
        // Without a journal, what a temporary folder holds is a killed run's leftover: it goes,
        // links as links.
        {"a temporary folder holding links and no journal", {create}, End::kPatched,
         [&](const std::string& parent) {
             Put(parent + "/target/patcher-temp/temp-1-1.tmp", "left over");
             Symlink("../../outside", parent + "/target/patcher-temp/out");
             Symlink("../../outside/secret.txt", parent + "/target/patcher-temp/temp-2-2.tmp");
             fs::create_directories(parent + "/target/patcher-temp/sub");
             Symlink("../../../outside/folder", parent + "/target/patcher-temp/sub/in");
         },
         created},
        // A committed journal that names this very patch is checked as closely before the run
        // takes it as its own.
        {"a committed journal of this patch naming a file beside the target as its data file", {create}, End::kUntouched,
         [&](const std::string& parent) {
             Put(parent + "/sentinel.txt", "beside the target");
             journal(thisPatch + "data" + token("sentinel.txt") + "\ncommit\n")(parent);
         }},
        {"a committed journal of this patch restoring a backup outside", {create}, End::kUntouched,
         journal(thisPatch + "delete" + token("../outside/secret.txt") + token("keep.txt") + token("") + "\ncommit\n")},
        {"a journal that is a link to an outside file", {create}, End::kUntouched,
         [&](const std::string& parent) {
             Put(parent + "/outside/journal.txt", "patch-journal 1\nplan nf" + token("keep.txt") + "\n");
             fs::create_directories(parent + "/target/patcher-temp");
             Symlink("../../outside/journal.txt", parent + "/target/patcher-temp/journal.txt");
         }},
    };
    for (const ControlCase& c : cases)
        CheckControlCase(c);
}

TEST_F(HostileInputTest, OverlongNames)
{
    const std::string fresh = RandomText(300, 24);
    const std::string name255(255, 'n');
    const std::string name256(256, 'n');
    std::string deep; // over 4096 bytes in short components
    while (deep.size() <= 4200)
        deep += "d/";
    deep += "f.txt";
    std::string wide; // over 4096 bytes in components of 250
    while (wide.size() <= 4200)
        wide += std::string(250, 'w') + "/";
    wide += "f.txt";
    std::string huge(70000, 'h');
    std::string deepLong; // 3684 bytes in names of 255: the scratch target's path still fits in 4096
    for (int i = 0; i < 14; ++i)
        deepLong += std::string(255, 'p') + "/";
    deepLong += std::string(100, 'f');
    const ControlCase cases[] = {
        {"a component of 255 bytes", {Entry{"create-file", name255, "", fresh}}, End::kPatched, {},
         [&](const std::string& t) { Put(t + "/" + name255, fresh); }},
        {"a component of 256 bytes", {Entry{"create-file", name256, "", fresh}}},
        {"a component of 256 bytes below new folders", {Entry{"create-file", "x/y/" + name256, "", fresh}}},
        {"a path of many short components", {Entry{"create-file", deep, "", fresh}}},
        {"a path of long components", {Entry{"create-file", wide, "", fresh}}},
        {"a folder path of long components", {Entry{"create-folder", wide, "", "", "", "-", "", ""}}},
        {"a deep path of long names", {Entry{"create-file", deepLong, "", fresh}}, End::kPatched, {},
         [&](const std::string& t) { Put(t + "/" + deepLong, fresh); }},
        {"a name of 70000 bytes", {Entry{"create-file", huge, "", fresh}}},
        {"a move from an overlong source", {Entry{"move-file", "stolen.txt", wide}}},
        {"a deletion of an overlong path", {Entry{"delete-file", wide}}},
    };
    for (const ControlCase& c : cases)
        CheckControlCase(c);
}

TEST_F(HostileInputTest, SizesThatDoNotFit)
{
    const std::string fresh = RandomText(400, 25);
    auto create = [&](std::vector<std::string> lines) { return Entry{"create-file", "new.txt", "", fresh, "", "-", "", "", lines}; };
    auto created = [&](const std::string& t) { Put(t + "/new.txt", fresh); };
    const std::string max63 = "estimated-effort 9223372036854775807";
    ControlFile honest = MakeControlFile({create({})}, {}, nullptr);
    std::string checksum = "datafilechecksum " + Md5(honest.data);
    const ControlCase cases[] = {
        {"a negative effort", {create({"estimated-effort -1"})}},
        {"the most negative effort", {create({"estimated-effort -9223372036854775808"})}},
        // A number that does not read as a 64-bit integer reads as 0, as an absent one does.
        {"an effort beyond 64 bits", {create({"estimated-effort 18446744073709551616"})}, End::kPatched, {}, created},
        {"an effort of 2^64 - 1", {create({"estimated-effort 18446744073709551615"})}, End::kPatched, {}, created},
        {"an effort of 2^63 - 1", {create({max63})}},
        {"efforts that add up beyond 64 bits", {create({max63}), Entry{"delete-file", "keep.txt", "", "", "", "-", "", "", {max63}},
                                                Entry{"delete-file", "a.txt", "", "", "", "-", "", "", {max63}}}},
        {"an effort written as text", {create({"estimated-effort \"lots\""})}, End::kPatched, {}, created},
        {"a negative data file size", {create({})}, End::kUntouched, {}, {}, {"datafilesize -1", checksum}},
        // Read as 0: the size is not checked, the checksum still is.
        {"a data file size beyond 64 bits", {create({})}, End::kPatched, {}, created, {"datafilesize 18446744073709551616", checksum}},
        {"a data file size beyond 64 bits and a wrong checksum", {create({})}, End::kUntouched, {}, {},
         {"datafilesize 18446744073709551616", "datafilechecksum " + Md5("other")}},
        {"a data file size of 2^63 - 1", {create({})}, End::kUntouched, {}, {}, {"datafilesize 9223372036854775807", checksum}},
        {"a data file size one short", {create({})}, End::kUntouched, {}, {},
         {"datafilesize " + std::to_string(honest.data.size() - 1), checksum}},
        // Without a size or a checksum the data file is not checked, only its records.
        {"no data file size or checksum", {create({})}, End::kPatched, {}, created, {"datafilesize 0"}},
        {"flags with every bit set", {create({"flags -1"})}, End::kPatched, {}, created},
    };
    for (const ControlCase& c : cases)
        CheckControlCase(c);

    // Records whose lengths do not fit what follows; the data file's size and checksum are honest,
    // so only the record reading stands between them and the target.
    auto withRecords = [&](const char* name, const std::string& bytes) {
        ControlCase c{name, {create({})}};
        c.records = bytes;
        return c;
    };
    std::string md5 = Md5(fresh);
    std::string huge, beyondSize, shortLength, longChecksum, emptyRecord;
    AppendBE(huge, UINT64_MAX, 8);
    huge += fresh;
    AppendBE(beyondSize, fresh.size() + 1000, 8);
    beyondSize += fresh + static_cast<char>(32) + md5;
    AppendBE(shortLength, fresh.size() - 1, 8);
    shortLength += fresh + static_cast<char>(32) + md5;
    AppendBE(longChecksum, fresh.size(), 8);
    longChecksum += fresh + static_cast<char>(0xFF) + std::string("\x7F\xFF\xFF\xFF", 4) + md5;
    const ControlCase recordCases[] = {
        withRecords("a record length of 2^64 - 1", huge),
        withRecords("a record longer than the data", beyondSize),
        withRecords("a record one byte short", shortLength),
        withRecords("a checksum of 2 GiB", longChecksum),
        withRecords("no records at all", emptyRecord),
    };
    for (const ControlCase& c : recordCases)
        CheckControlCase(c);
}

// Operations that meet each other: the same destination twice, an operation that reads what an
// earlier one wrote.
TEST_F(HostileInputTest, OperationsThatMeet)
{
    const std::string one = RandomText(300, 26), two = RandomText(300, 27);
    const Entry createOne{"create-file", "dup.txt", "", one};
    const Entry createTwo{"create-file", "dup.txt", "", two};
    auto put = [](const std::string& name, const std::string& bytes) {
        return [name, bytes](const std::string& t) { Put(t + "/" + name, bytes); };
    };
    const ControlCase cases[] = {
        {"one destination created twice", {createOne, createTwo}},
        {"one destination created twice, the second replacing", {createOne, Entry{"create-file", "dup.txt", "", two, "", "-", "", "", {"flags 2"}}},
         End::kPatched, {}, put("dup.txt", two)},
        {"one destination created twice, the second excused", {createOne, Entry{"create-file", "dup.txt", "", two, "", "-", "", "", {"flags 1"}}},
         End::kPatched, {}, put("dup.txt", one)},
        {"two moves to one destination", {Entry{"move-file", "m.txt", "a.txt"}, Entry{"move-file", "m.txt", "keep.txt"}}},
        {"a move onto an edited file", {Entry{"edit-file", "a.txt", "a.txt", fA + "e", fA, Md5(fA)}, Entry{"move-file", "a.txt", "keep.txt"}}},
        {"a folder created where a file is created", {createOne, Entry{"create-folder", "dup.txt", "", "", "", "-", "", ""}}},
        {"a file created inside a created file", {createOne, Entry{"create-file", "dup.txt/inner.txt", "", two}}},
        {"a file deleted, then created again", {Entry{"delete-file", "keep.txt"}, Entry{"create-file", "keep.txt", "", one}}},
        {"a created file deleted again", {createOne, Entry{"delete-file", "dup.txt"}}, End::kPatched, {}, [](const std::string&) {}},
        // The target check reads the tree as it was before the run: a source checksum of a file the
        // run has yet to make fails it. Without one, the operation reads the run's own output.
        {"a move of a created file", {createOne, Entry{"move-file", "copy.txt", "dup.txt", "", "", "-", Md5(one)}}, End::kPatched, {},
         [&](const std::string& t) {
             Put(t + "/dup.txt", one);
             Put(t + "/copy.txt", one);
         }},
        {"a move of a created file with the source checksum", {createOne, Entry{"move-file", "copy.txt", "dup.txt", "", "", Md5(one), Md5(one)}}},
        {"an edit of a created file", {createOne, Entry{"edit-file", "dup.txt", "dup.txt", one + "e", one}}, End::kPatched, {},
         put("dup.txt", one + "e")},
        // An edit in place reads the file as it was: the second diff meets the wrong bytes, and
        // its result checksum stops the run.
        {"an edit of an edited file", {Entry{"edit-file", "a.txt", "a.txt", fA + "1", fA, Md5(fA)}, Entry{"edit-file", "a.txt", "a.txt", fA + "12", fA + "1"}}},
        {"an edit into a moved file's place", {Entry{"move-file", "m.txt", "a.txt", "", "", Md5(fA), Md5(fA)}, Entry{"edit-file", "m.txt", "keep.txt", "keep2", "keep"}}},
        {"a deletion of a moved file's source", {Entry{"move-file", "m.txt", "a.txt", "", "", Md5(fA), Md5(fA)}, Entry{"delete-file", "a.txt"}},
         End::kPatched, {},
         [&](const std::string& t) {
             fs::rename(t + "/a.txt", t + "/m.txt");
         }},
    };
    for (const ControlCase& c : cases)
        CheckControlCase(c);
}

// ---------------------------------------------------------------------------------------------
// Uninstall records

struct UninstallCase {
    std::string name;
    // The record's entries; the parent's host path is passed in.
    std::function<std::vector<std::string>(const std::string& parent)> entries;
    // Changes the parent before the run (links, folders).
    std::function<void(const std::string& parent)> plant = {};
    // Paths (relative to the parent) the run removes besides the target; ignored when refused.
    std::vector<std::string> removed = {};
    bool refused = false;
    std::string anchor = {};
    // The record's bytes as written instead of the entries.
    std::function<std::string(const std::string& parent)> rawRecord = {};
};

class HostileUninstallTest : public HostileInputTest {
protected:
    void MakeInstallation()
    {
        MakeParent();
        Put(Parent() + "/programs/Maker/Product.lnk", "start menu shortcut");
        Put(Parent() + "/programs/Maker/notes.txt", "not a shortcut");
        Put(Parent() + "/programs/Other.lnk", "another program's shortcut");
        Put(Parent() + "/desktop/Product.lnk", "desktop shortcut");
        Put(Parent() + "/desktop/readme.txt", "the user's file");
        fs::create_directories(Parent() + "/desktop/folder.lnk/inside");
        Put(Parent() + "/desktop/folder.lnk/inside/x.lnk", "in a folder named like a shortcut");
        // The files behind the ".lnk" names (the ".lnk" files above are an older build's).
        Put(Parent() + "/programs/Maker/Product.desktop", "start menu entry");
        Put(Parent() + "/programs/Other.desktop", "another program's entry");
        Put(Parent() + "/desktop/Product.desktop", "desktop entry");
        fs::create_directories(Parent() + "/desktop/folder.desktop/inside");
        Put(OutsideFolder() + "/secret.desktop", "outside entry " + RandomText(100, 16));
    }

    void CheckUninstallCase(const UninstallCase& c)
    {
        SCOPED_TRACE(c.name);
        MakeInstallation();
        if (c.plant)
            c.plant(Parent());
        std::string record = Target() + "/uninstall.dat";
        if (c.rawRecord) {
            Put(record, c.rawRecord(Parent()));
        } else if (c.entries) {
            std::vector<CXString> entries;
            for (const std::string& entry : c.entries(Parent()))
                entries.push_back(CXString(entry.data(), entry.size()));
            Put(record, FormatUninstallRecord(entries));
        }
        TreeSnapshot before(Parent());
        std::vector<std::string> arguments = {"--uninstall", "--target", Target()};
        if (!c.anchor.empty()) {
            arguments.push_back("--anchor");
            arguments.push_back(c.anchor);
        }
        DriverRun run = RunDriver(arguments, fScratch.Path());
        ASSERT_TRUE(run.Exited(0) || run.Exited(1)) << run.Describe();
        TreeSnapshot after(Parent());

        std::map<std::string, TreeEntry> expected = before.Entries();
        if (!c.refused) {
            expected = before.EntriesOutside("target");
            for (const std::string& removed : c.removed)
                expected.erase(removed);
        }
        EXPECT_TRUE(after.Entries() == expected) << "after:\n" << Describe(after.Entries()) << "expected:\n" << Describe(expected) << run.Describe();
        EXPECT_TRUE(run.Exited(c.refused ? 1 : 0)) << run.Describe();
    }

    void SetUp() override
    {
        HostileInputTest::SetUp();
        fPrograms = std::make_unique<ScopedEnv>("CX_FOLDER_PROGRAMS", Parent() + "/programs");
        fDesktop = std::make_unique<ScopedEnv>("CX_FOLDER_DESKTOP", Parent() + "/desktop");
    }

    std::unique_ptr<ScopedEnv> fPrograms, fDesktop;
};

std::string P(const std::string& host)
{
    return ProgramPath(host);
}

TEST_F(HostileUninstallTest, OnlyRecordedShortcutsInTheShortcutFoldersGo)
{
    const UninstallCase cases[] = {
        {"the installation's own shortcuts",
         [](const std::string& p) { return std::vector<std::string>{P(p + "/programs/Maker/Product.lnk"), P(p + "/desktop/Product.lnk")}; },
         {}, {"programs/Maker/Product.lnk", "programs/Maker/Product.desktop", "desktop/Product.lnk", "desktop/Product.desktop"}},
        {"shortcuts written by this build only",
         [](const std::string& p) { return std::vector<std::string>{P(p + "/programs/Maker/Product.lnk"), P(p + "/desktop/Product.lnk")}; },
         [](const std::string& p) {
             fs::remove(p + "/programs/Maker/Product.lnk");
             fs::remove(p + "/desktop/Product.lnk");
         },
         {"programs/Maker/Product.desktop", "desktop/Product.desktop"}},
        {"files outside the shortcut folders",
         [](const std::string& p) {
             return std::vector<std::string>{P(p + "/outside/secret.txt"), P(p + "/outside/secret.lnk"), P(p + "/outside/folder"),
                                             P(p + "/outside"), P(p + "/patch.lnk")};
         }},
        {"files in the shortcut folders that are not shortcuts",
         [](const std::string& p) {
             return std::vector<std::string>{P(p + "/programs/Maker/notes.txt"), P(p + "/desktop/readme.txt"), P(p + "/desktop/folder.lnk"),
                                             P(p + "/desktop/folder.lnk/inside"), P(p + "/programs/Maker"), P(p + "/programs"),
                                             P(p + "/desktop")};
         }},
        // The record names shortcuts by their ".lnk" names only.
        {"desktop files named as themselves",
         [](const std::string& p) {
             return std::vector<std::string>{P(p + "/programs/Other.desktop"), P(p + "/desktop/Product.desktop"),
                                             P(p + "/desktop/folder.desktop")};
         }},
        {"climbing entries",
         [](const std::string& p) {
             return std::vector<std::string>{P(p + "/programs/../outside/secret.lnk"), P(p + "/desktop/../../parent/outside/secret.lnk"),
                                             P(p + "/programs/Maker/../../outside/secret.lnk"), P(p + "/target/../outside/secret.lnk"),
                                             "../outside/secret.lnk", "../../outside/secret.lnk"};
         }},
        {"absolute host paths and other forms",
         [](const std::string& p) {
             return std::vector<std::string>{p + "/outside/secret.lnk", "Z:" + p.substr(1) + "/outside/secret.lnk",
                                             "//host/share/x.lnk", "C:x.lnk", "x.lnk", "", "/"};
         }},
        {"NUL bytes",
         [](const std::string& p) {
             return std::vector<std::string>{P(p + "/programs/Maker/notes.txt") + std::string("\0.lnk", 5),
                                             P(p + "/desktop/readme.txt") + std::string("\0/x.lnk", 7),
                                             P(p + "/outside/secret.lnk") + std::string("\0", 1) + P(p + "/desktop/x.lnk"),
                                             std::string("\0", 1) + P(p + "/desktop/Product.lnk")};
         }},
        {"overlong entries",
         [](const std::string& p) {
             std::string deep = P(p + "/desktop");
             while (deep.size() < 5000)
                 deep += "/..";
             std::string wide = P(p + "/desktop/") + std::string(300, 'x') + ".lnk";
             return std::vector<std::string>{deep + P(p + "/outside/secret.lnk").substr(2), wide, std::string(70000, 'a') + ".lnk"};
         }},
        {"links in the shortcut folders",
         [](const std::string& p) {
             return std::vector<std::string>{P(p + "/programs/linked/secret.lnk"), P(p + "/desktop/sub/secret.lnk"),
                                             P(p + "/programs/linked/folder/../secret.lnk")};
         },
         [](const std::string& p) {
             Symlink("../outside", p + "/programs/linked");
             Symlink(p + "/outside", p + "/desktop/sub");
         }},
        // A link named like a shortcut is the shortcut folder's own entry: it may go, what it names
        // stays.
        {"a shortcut that is a link to an outside shortcut",
         [](const std::string& p) { return std::vector<std::string>{P(p + "/desktop/evil.lnk")}; },
         [](const std::string& p) { Symlink("../outside/secret.lnk", p + "/desktop/evil.lnk"); }, {"desktop/evil.lnk"}},
        {"a shortcut that is a link to an outside folder",
         [](const std::string& p) { return std::vector<std::string>{P(p + "/desktop/evil.lnk"), P(p + "/desktop/evil.lnk/inner.txt")}; },
         [](const std::string& p) { Symlink("../outside/folder", p + "/desktop/evil.lnk"); }, {"desktop/evil.lnk"}},
        {"a desktop file that is a link to an outside entry",
         [](const std::string& p) { return std::vector<std::string>{P(p + "/desktop/evil.lnk")}; },
         [](const std::string& p) { Symlink("../outside/secret.desktop", p + "/desktop/evil.desktop"); }, {"desktop/evil.desktop"}},
        {"a desktop file that is a link to an outside folder",
         [](const std::string& p) { return std::vector<std::string>{P(p + "/desktop/evil.lnk"), P(p + "/desktop/evil.desktop/inner.lnk")}; },
         [](const std::string& p) {
             Symlink(p + "/outside/folder", p + "/desktop/evil.desktop");
             Put(p + "/outside/folder/inner.lnk", "outside");
         },
         {"desktop/evil.desktop"}},
        {"a desktop file that is a folder beside an older build's file",
         [](const std::string& p) { return std::vector<std::string>{P(p + "/desktop/folder.lnk")}; },
         [](const std::string& p) {
             fs::remove_all(p + "/desktop/folder.lnk");
             Put(p + "/desktop/folder.lnk", "an older build's shortcut");
         },
         {"desktop/folder.lnk"}},
        {"a record of another version",
         {}, {}, {}, false, {},
         [](const std::string& p) {
             std::string bytes = FormatUninstallRecord({CXString(P(p + "/desktop/Product.lnk").c_str())});
             bytes[3] = 1;
             return bytes;
         }},
        {"a record cut inside an entry",
         {}, {}, {"desktop/Product.lnk", "desktop/Product.desktop"}, false, {},
         [](const std::string& p) {
             std::string bytes = FormatUninstallRecord({CXString(P(p + "/desktop/Product.lnk").c_str())});
             return bytes + std::string("\xFF\x7F\xFF\xFF\xFF", 5) + P(p + "/programs/Other.lnk");
         }},
    };
    for (const UninstallCase& c : cases)
        CheckUninstallCase(c);
}

TEST_F(HostileUninstallTest, TargetsThatAreNotPlainInstallations)
{
    auto legit = [](const std::string& p) {
        return std::vector<std::string>{P(p + "/programs/Maker/Product.lnk"), P(p + "/desktop/Product.lnk")};
    };
    const UninstallCase cases[] = {
        // Links inside the target go as links; what they name stays.
        {"links in the target", legit,
         [](const std::string& p) {
             Symlink("../outside", p + "/target/out");
             Symlink(p + "/outside/secret.txt", p + "/target/secret-link");
             Symlink("../../outside/folder", p + "/target/dir/sub");
         },
         {"programs/Maker/Product.lnk", "programs/Maker/Product.desktop", "desktop/Product.lnk", "desktop/Product.desktop"}},
        {"a record that is a link to an outside record", {},
         [](const std::string& p) {
             Put(p + "/outside/uninstall.dat", FormatUninstallRecord({CXString(P(p + "/desktop/Product.lnk").c_str())}));
             Symlink("../outside/uninstall.dat", p + "/target/uninstall.dat");
         },
         {}, true},
        {"a record that is a link, with the anchor file", {},
         [](const std::string& p) {
             Put(p + "/outside/uninstall.dat", FormatUninstallRecord({CXString(P(p + "/desktop/Product.lnk").c_str())}));
             Symlink("../outside/uninstall.dat", p + "/target/uninstall.dat");
         },
         {}, false, "a.txt"},
        {"an anchor that is a link", {},
         [](const std::string& p) { Symlink("../outside/secret.txt", p + "/target/anchor.exe"); }, {}, true, "anchor.exe"},
        {"an anchor outside the target", {}, {}, {}, true, "../outside/secret.txt"},
        {"an absolute anchor", {}, {}, {}, true, "/etc/hostname"},
        {"an anchor that is a folder", {}, {}, {}, true, "dir"},
        {"no record and no anchor", {}, {}, {}, true},
        // The target is a link to a folder elsewhere that looks like an installation.
        {"a target that is a link", {},
         [&](const std::string& p) {
             fs::create_directories(p + "/elsewhere");
             Put(p + "/elsewhere/file.txt", "elsewhere");
             Put(p + "/elsewhere/uninstall.dat", FormatUninstallRecord({CXString(P(p + "/desktop/Product.lnk").c_str())}));
             fs::remove_all(p + "/target");
             Symlink("elsewhere", p + "/target");
         },
         {}, true},
    };
    for (const UninstallCase& c : cases)
        CheckUninstallCase(c);
}

} // namespace

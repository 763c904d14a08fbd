#pragma once

// Makes real patches for tests, benchmarks and the demo: a control file, the compressed data file
// of records, media volumes and manifests, from an old and a new folder tree. Not part of the
// installer.

#include "patch/BinaryDiff.h"
#include "patch/PatchOperation.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace PatchBuilder {

// One operation to put into a patch; the builder works out its checksums, effort and data.
// Paths are relative to the trees, '/' separated.
struct Operation {
    int32_t command = COMMAND_CREATE_FILE;
    std::string source;      // edit and move: the file of the old tree
    std::string destination; // the file or folder of the new tree (or the one deleted)
    std::string permissions;
    int32_t flags = 0;
};

// Damage a patch can be made with, to test the reading side.
enum class Fault {
    kNone,
    kWrongSize,       // "datafilesize" one more than the data file's size
    kWrongChecksum,   // "datafilechecksum" not the data file's MD5
    kTruncatedRecord, // the last record ends half-way through its payload
    kBadCommand,      // the first edit record's diff starts with the command byte 0x02
    kNewerVersion,    // "mervane-version" 2
    kPathEscape,      // the first operation's destination climbs out with ".."
};

struct Options {
    std::string oldRoot;      // host folder of the tree the patch applies to
    std::string newRoot;      // host folder of the tree it makes
    std::string outputFolder; // made when missing
    std::string controlName = "patch.txt";
    std::string dataName = "patch.bin";
    // Above 0, the data file is also written as media volumes "patch-<n>.bin" of at most this
    // many payload bytes each.
    uint64_t volumeSize = 0;
    // The block length of the diff matcher.
    size_t blockSize = 32;
    Fault fault = Fault::kNone;
};

// The operations that turn the old tree into the new one, in this order: folders to make
// (outermost first), files to create, files to edit (in place), files to delete, then folders to
// delete (innermost first). Files with equal bytes are left alone. False with a message when an
// entry changes kind (a file becomes a folder or the other way round), or anything but files and
// folders is met.
bool CompareTrees(const std::string& oldRoot, const std::string& newRoot, std::vector<Operation>& operations, std::string& error);

// Writes the control file, the data file, the volumes when asked and the manifests
// "manifest-old.txt" and "manifest-new.txt" (one "<md5>  <path>" line per file, sorted). False
// with a message.
bool Build(const Options& options, const std::vector<Operation>& operations, std::string& error);

// Reports a forward-only diff from the old to the new bytes: blocks of the old bytes are indexed
// by a rolling hash, the new bytes are scanned position by position, and a match is grown both
// ways. Adjacent copies are reported as one range; dropped old bytes with nothing in their place
// are a replace of no new bytes.
void GenerateDiff(const std::string& oldBytes, const std::string& newBytes, BinaryDiff& diff, size_t blockSize = 32);
// The diff command stream of GenerateDiff.
std::string MakeDiff(const std::string& oldBytes, const std::string& newBytes, size_t blockSize = 32);

// Deflates the bytes in the zlib format, as the data file is written.
std::string Compress(const std::string& bytes);

// Every file below the host folder, by its relative path, with its MD5 text.
std::map<std::string, std::string> MakeManifest(const std::string& root);

// The fault named by its command-line word ("wrong-size", "wrong-checksum", "truncated-record",
// "bad-command", "newer-version", "path-escape"); false for another word.
bool ParseFault(const std::string& word, Fault& fault);

} // namespace PatchBuilder

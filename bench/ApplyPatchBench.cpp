// Applying whole patches, beside a floor measured in the same run.
//
// 1. A generated patch of about 1 GiB of new files (about 1,000 files, content about 2:1
//    compressible) applied from a local data file by the file-patch task, against a plain program
//    that makes the passes the design requires: the MD5 of the whole data file, inflating it with
//    zlib, writing the files, and reading each back for its MD5 (OpenSSL), with 256 KiB buffers.
//    The task also makes every written file durable before it renames anything; the floor is shown
//    without and with that sync (of all files in one batch at the end, as the task does).
// 2. Editing a 256 MiB file by a diff with scattered changes, through the apply driver in a child
//    process under /usr/bin/time -v: output throughput of the whole run and its peak memory.
//
//   ApplyPatchBench [--mib N] [--files N] [--diff-mib N] [--repeat N]
//
// Build with -DCMAKE_BUILD_TYPE=Release for meaningful figures. Everything is made in a fresh
// temporary folder and removed at the end.

#include "PatchBuilder.h"
#include "datanode/DNTranslator.h"
#include "foundation/CXDebug.h"
#include "foundation/CXFileSystem.h"
#include "foundation/CXMD5.h"
#include "foundation/CXTask.h"
#include "foundation/CXThread.h"
#include "patch/MervaneTask_ApplyFilePatches.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kBuffer = 256 * 1024;

double Seconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// About 2:1 compressible: in every 64 bytes, 32 random ones and a run of 32 equal ones.
std::string CompressibleBytes(size_t size, std::mt19937_64& random)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 64) {
        uint64_t word = random();
        for (size_t j = 0; j < 32 && i + j < size; ++j) {
            if (j % 8 == 0)
                word = random();
            bytes[i + j] = static_cast<char>(word >> (8 * (j % 8)));
        }
        for (size_t j = 32; j < 64 && i + j < size; ++j)
            bytes[i + j] = static_cast<char>(word & 0x0F);
    }
    return bytes;
}

std::string HexOf(const unsigned char* digest, unsigned length)
{
    static const char* const kHex = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

std::string FileMD5(const std::string& path, std::vector<char>& buffer)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string();
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_md5(), nullptr);
    ssize_t n;
    while ((n = read(fd, buffer.data(), buffer.size())) > 0)
        EVP_DigestUpdate(context, buffer.data(), static_cast<size_t>(n));
    close(fd);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    return HexOf(digest, length);
}

// The floor: the passes the design requires, done plainly. Returns false when anything fails.
bool PlainApply(const std::string& dataPath, const std::string& expectedMD5, const std::string& outputFolder,
                const std::vector<std::string>& names, bool sync)
{
    std::vector<char> buffer(kBuffer);
    if (FileMD5(dataPath, buffer) != expectedMD5)
        return false;
    int in = open(dataPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    z_stream zs{};
    inflateInit(&zs);
    std::vector<unsigned char> input(kBuffer), output(kBuffer);
    // The record parser over the inflated bytes: length, payload into the file, checksum string.
    enum { kLength, kPayload, kChecksumLength, kChecksumLong, kChecksum } state = kLength;
    uint64_t need = 8, value = 0;
    size_t record = 0;
    int fd = -1;
    std::vector<std::string> written;
    bool ok = true;
    int zresult = Z_OK;
    while (ok && zresult != Z_STREAM_END) {
        if (zs.avail_in == 0) {
            ssize_t n = read(in, input.data(), input.size());
            if (n <= 0)
                break;
            zs.next_in = input.data();
            zs.avail_in = static_cast<uInt>(n);
        }
        zs.next_out = output.data();
        zs.avail_out = static_cast<uInt>(output.size());
        zresult = inflate(&zs, Z_NO_FLUSH);
        if (zresult != Z_OK && zresult != Z_STREAM_END)
            ok = false;
        size_t produced = output.size() - zs.avail_out;
        size_t at = 0;
        while (ok && at < produced) {
            if (state == kPayload) {
                size_t n = static_cast<size_t>(std::min<uint64_t>(need, produced - at));
                if (write(fd, output.data() + at, n) != static_cast<ssize_t>(n))
                    ok = false;
                at += n;
                need -= n;
            } else {
                value = (value << 8) | output[at++];
                --need;
            }
            if (need != 0)
                continue;
            switch (state) {
            case kLength: {
                std::string path = outputFolder + "/" + names[record++];
                fs::create_directories(fs::path(path).parent_path());
                fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
                ok = fd >= 0;
                written.push_back(path);
                need = value;
                value = 0;
                state = kPayload;
                if (need != 0)
                    break;
                [[fallthrough]];
            }
            case kPayload:
                close(fd);
                fd = -1;
                state = kChecksumLength;
                need = 1;
                break;
            case kChecksumLength:
                state = value == 0xFF ? kChecksumLong : kChecksum;
                need = value == 0xFF ? 4 : value;
                value = 0;
                if (need == 0) {
                    state = kLength;
                    need = 8;
                }
                break;
            case kChecksumLong:
                state = kChecksum;
                need = value;
                value = 0;
                break;
            case kChecksum:
                state = kLength;
                need = 8;
                value = 0;
                break;
            }
        }
    }
    inflateEnd(&zs);
    close(in);
    for (const std::string& path : written)
        ok = ok && FileMD5(path, buffer).size() == 32;
    // The written files made durable in one batch, as the design does before its renames.
    for (size_t i = 0; sync && ok && i < written.size(); ++i) {
        int file = open(written[i].c_str(), O_RDONLY | O_CLOEXEC);
        ok = file >= 0 && fsync(file) == 0;
        if (file >= 0)
            close(file);
    }
    return ok && zresult == Z_STREAM_END;
}

// Runs the file-patch task to its end on this thread, as the patch page would.
bool TaskApply(const std::string& patch, const std::string& target)
{
    MervaneTask_ApplyFilePatches task;
    task.SetPatchSources(CXURI(("file://" + patch + "/patch.txt").c_str()), CXURI(("file://" + patch + "/patch.bin").c_str()));
    if (!task.Start(CXFileSystem::FromNativePath(target.c_str())))
        return false;
    MervaneTaskStatus status;
    bool proceeded = false;
    while (task.IsRunning()) {
        task.GetStatus(status);
        if (!proceeded && status.state == kMervaneTaskReady && std::strcmp(status.text.c_str(), "$mervane_task_ready_to_install") == 0) {
            task.Proceed();
            proceeded = true;
        }
        if (status.state == kMervaneTaskQuestion)
            task.Answer(false);
        CXThread::Sleep(1);
    }
    task.GetStatus(status);
    if (status.state != kMervaneTaskComplete)
        std::fprintf(stderr, "task failed: %s | %s\n", status.detail.c_str(), status.detail2.c_str());
    return status.state == kMervaneTaskComplete;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string BE(uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string MD5Text(const std::string& bytes)
{
    CXString text = MD5HexDigest(CXStringArgument(bytes.data(), bytes.size()));
    return std::string(text.c_str(), text.length());
}

int RunWholePatch(const std::string& root, size_t mib, size_t files, int repeat)
{
    std::printf("Generating %zu files, %zu MiB in all...\n", files, mib);
    std::mt19937_64 random(7);
    size_t each = mib * 1024 * 1024 / files;
    std::vector<std::string> names;
    for (size_t i = 0; i < files; ++i) {
        std::string name = "folder-" + std::to_string(i / 100) + "/file-" + std::to_string(i) + ".dat";
        // Sizes spread around the mean, the total kept.
        size_t size = each + (i % 2 == 0 ? each / 4 : 0) - (i % 2 == 1 && i + 1 <= files ? each / 4 : 0);
        WriteFile(root + "/new/" + name, CompressibleBytes(size, random));
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    fs::create_directories(root + "/old");
    PatchBuilder::Options options;
    options.oldRoot = root + "/old";
    options.newRoot = root + "/new";
    options.outputFolder = root + "/patch";
    std::vector<PatchBuilder::Operation> operations;
    std::string error;
    if (!PatchBuilder::CompareTrees(options.oldRoot, options.newRoot, operations, error) || !PatchBuilder::Build(options, operations, error)) {
        std::fprintf(stderr, "building the patch failed: %s\n", error.c_str());
        return 1;
    }
    // The floor writes the files in record order: the order of the create operations.
    names.clear();
    for (const PatchBuilder::Operation& operation : operations) {
        if (operation.command == COMMAND_CREATE_FILE)
            names.push_back(operation.destination);
    }
    std::string dataPath = root + "/patch/patch.bin";
    uint64_t dataSize = fs::file_size(dataPath);
    std::vector<char> buffer(kBuffer);
    std::string dataMD5 = FileMD5(dataPath, buffer);
    std::printf("Patch: %zu operations, data file %.1f MiB (%.2f:1)\n", operations.size(), dataSize / 1048576.0,
                static_cast<double>(mib) * 1048576.0 / static_cast<double>(dataSize));

    double bestTask = 1e30, bestFloor = 1e30, bestFloorSync = 1e30;
    for (int round = 0; round < repeat; ++round) {
        fs::remove_all(root + "/out");
        auto start = std::chrono::steady_clock::now();
        if (!PlainApply(dataPath, dataMD5, root + "/out", names, false))
            return 1;
        bestFloor = std::min(bestFloor, Seconds(start));
        fs::remove_all(root + "/out");
        start = std::chrono::steady_clock::now();
        if (!PlainApply(dataPath, dataMD5, root + "/out", names, true))
            return 1;
        bestFloorSync = std::min(bestFloorSync, Seconds(start));
        fs::remove_all(root + "/out");
        fs::remove_all(root + "/target");
        fs::create_directories(root + "/target");
        start = std::chrono::steady_clock::now();
        if (!TaskApply(root + "/patch", root + "/target"))
            return 1;
        bestTask = std::min(bestTask, Seconds(start));
        fs::remove_all(root + "/target");
    }
    double mibs = static_cast<double>(mib);
    std::printf("%-44s %8.2f s %8.1f MiB/s\n", "apply (file-patch task, local data)", bestTask, mibs / bestTask);
    std::printf("%-44s %8.2f s %8.1f MiB/s   ratio %.2f\n", "floor (MD5, inflate, write, read back)", bestFloor, mibs / bestFloor,
                bestTask / bestFloor);
    std::printf("%-44s %8.2f s %8.1f MiB/s   ratio %.2f\n", "floor with the files synced in one batch", bestFloorSync, mibs / bestFloorSync,
                bestTask / bestFloorSync);
    fs::remove_all(root + "/new");
    fs::remove_all(root + "/patch");
    return 0;
}

// An edit record applied to a large file through the apply driver, under /usr/bin/time -v.
int RunLargeEdit(const std::string& root, size_t mib, const char* driver)
{
    std::printf("Generating a %zu MiB file and its edit...\n", mib);
    std::mt19937_64 random(11);
    std::string oldBytes = CompressibleBytes(mib * 1024 * 1024, random);
    std::string newBytes;
    newBytes.reserve(oldBytes.size() + 4096);
    std::string diff;
    // A change of 100 bytes every MiB, scattered: copy, then replace.
    size_t position = 0;
    while (position < oldBytes.size()) {
        size_t copy = std::min<size_t>(oldBytes.size() - position, 1048576 - 100 - (position / 1048576) % 4096);
        diff += static_cast<char>(0x01) + BE(copy, 4);
        newBytes.append(oldBytes, position, copy);
        position += copy;
        if (position >= oldBytes.size())
            break;
        size_t skip = std::min<size_t>(100, oldBytes.size() - position);
        std::string replacement = CompressibleBytes(100, random);
        diff += static_cast<char>(0x00) + BE(skip, 4) + BE(replacement.size(), 4) + replacement;
        newBytes += replacement;
        position += skip;
    }
    std::string oldMD5 = MD5Text(oldBytes), newMD5 = MD5Text(newBytes);
    std::string record = BE(diff.size(), 8) + diff + static_cast<char>(newMD5.size()) + newMD5;
    std::string data = PatchBuilder::Compress(record);
    WriteFile(root + "/edit/patch.bin", data);
    std::string control = "mervane-version 1\ndatafilesize " + std::to_string(data.size()) + "\ndatafilechecksum " + MD5Text(data) +
                          "\npatch-operations\n{\n  operation\n  {\n    command edit-file\n    source-filepath big.bin\n"
                          "    source-checksum " + oldMD5 + "\n    destination-filepath big.bin\n    destination-checksum " + newMD5 +
                          "\n    estimated-effort " + std::to_string(newBytes.size()) + "\n  }\n}\n";
    WriteFile(root + "/edit/patch.txt", control);
    WriteFile(root + "/edit-target/big.bin", oldBytes);
    size_t outputBytes = newBytes.size();
    oldBytes.clear();
    oldBytes.shrink_to_fit();
    newBytes.clear();
    newBytes.shrink_to_fit();

    std::string report = root + "/time.txt";
    std::string controlUrl = "file://" + root + "/edit/patch.txt", dataUrl = "file://" + root + "/edit/patch.bin";
    std::string target = root + "/edit-target";
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        int out = open("/dev/null", O_WRONLY);
        dup2(out, 1);
        execl("/usr/bin/time", "time", "-v", "-o", report.c_str(), driver, "--control", controlUrl.c_str(), "--data", dataUrl.c_str(),
              "--target", target.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    double seconds = Seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the apply driver failed (status %d)\n", status);
        return 1;
    }
    std::ifstream in(report);
    std::string line;
    long peakKiB = -1;
    while (std::getline(in, line)) {
        size_t at = line.find("Maximum resident set size (kbytes): ");
        if (at != std::string::npos)
            peakKiB = std::stol(line.substr(at + 36));
    }
    std::printf("%-44s %8.2f s %8.1f MB/s   peak memory %.1f MiB\n", "edit by diff, whole run (apply driver)", seconds,
                static_cast<double>(outputBytes) / 1e6 / seconds, peakKiB / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    size_t mib = 1024, files = 1000, diffMib = 256;
    int repeat = 2;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        long value = std::strtol(argv[i + 1], nullptr, 10);
        if (value <= 0)
            continue;
        if (option == "--mib")
            mib = static_cast<size_t>(value);
        else if (option == "--files")
            files = static_cast<size_t>(value);
        else if (option == "--diff-mib")
            diffMib = static_cast<size_t>(value);
        else if (option == "--repeat")
            repeat = static_cast<int>(value);
    }
    CXDebugSetBreakEnabled(false);
    CXThread::CXInit();
    CXTaskHost::InitCurrentThreadTaskHost();
    DNInitBuiltInTranslators();
    std::string root = (fs::temp_directory_path() / ("apply-bench-" + std::to_string(getpid()))).string();
    fs::create_directories(root);
    setenv("CX_FOLDER_TEMP", root.c_str(), 1);
    int result = RunWholePatch(root, mib, files, repeat);
    if (result == 0)
        result = RunLargeEdit(root, diffMib, APPLY_DRIVER_PATH);
    fs::remove_all(root);
    return result;
}

// Throughput of the checksum and decompression paths that patching runs over whole data files,
// side by side with the reference implementations on the same bytes:
//   - MD5HexDigestOfStream over a 256 MiB file against OpenSSL's EVP MD5 fed from the same file in
//     64 KiB reads, and MD5HexDigest over a 64 MiB buffer against EVP MD5 over that buffer;
//   - reading a CXStreamProcessorWrapper over a zlib file (256 MiB uncompressed) in 4096-byte and
//     64 KiB pieces against a plain inflate loop that reads the file through a 4096-byte input
//     buffer and inflates straight into the caller's piece.
// The files are made in a fresh temporary folder at start and removed at the end. Each benchmark
// runs several repetitions; the summary compares the best of each. Build with
// -DCMAKE_BUILD_TYPE=Release for meaningful figures.

#include "foundation/CXMD5.h"
#include "foundation/CXString.h"
#include "platform/DriveMap.h"
#include "streams/CXStreamDigest.h"
#include "streams/CXStreamFile.h"
#include "streams/CXStreamProcessorWrapper.h"
#include "streams/StreamProcessorZLib.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kFileSize = 256ull << 20;
constexpr size_t kBufferSize = 64u << 20;
constexpr int kRepetitions = 5;

struct BenchFiles {
    std::filesystem::path folder;
    std::string plainHost;      // kFileSize bytes of text-like data
    std::string compressedHost; // the same, zlib format
    CXString plainProgram;
    CXString compressedProgram;
    uint64_t compressedSize = 0;
};

BenchFiles gFiles;
std::vector<uint8_t> gBuffer;

// Text-like data (about 3:1 under zlib), made in pieces of 1 MiB.
void FillText(std::mt19937& random, std::string& out, size_t size)
{
    static const char* const kWords[] = {"patch ", "file ", "data ", "the ", "installer ", "stream\n", "zlib ",
                                         "of ",    "block ", "offset ", "size ", "checksum ", "record ", "volume\n"};
    out.clear();
    while (out.size() < size) {
        uint32_t r = random();
        out += kWords[r % 14];
        if ((r >> 8) % 5 == 0)
            out += std::to_string(r >> 12);
    }
    out.resize(size);
}

bool MakeFiles()
{
    std::random_device device;
    gFiles.folder = std::filesystem::temp_directory_path() / ("cx-bench-" + std::to_string(device()));
    std::filesystem::create_directories(gFiles.folder);
    gFiles.plainHost = (gFiles.folder / "plain.bin").string();
    gFiles.compressedHost = (gFiles.folder / "plain.bin.z").string();
    std::string program;
    if (!Platform::HostToProgramPath(gFiles.plainHost, program))
        return false;
    gFiles.plainProgram = program.c_str();
    if (!Platform::HostToProgramPath(gFiles.compressedHost, program))
        return false;
    gFiles.compressedProgram = program.c_str();

    std::FILE* plain = std::fopen(gFiles.plainHost.c_str(), "wb");
    std::FILE* compressed = std::fopen(gFiles.compressedHost.c_str(), "wb");
    if (plain == nullptr || compressed == nullptr)
        return false;
    z_stream zs{};
    deflateInit(&zs, Z_DEFAULT_COMPRESSION);
    std::mt19937 random(2024);
    std::string chunk;
    std::vector<uint8_t> out(1 << 20);
    for (uint64_t done = 0; done < kFileSize; done += chunk.size()) {
        FillText(random, chunk, 1 << 20);
        std::fwrite(chunk.data(), 1, chunk.size(), plain);
        zs.next_in = reinterpret_cast<Bytef*>(chunk.data());
        zs.avail_in = static_cast<uInt>(chunk.size());
        bool last = done + chunk.size() >= kFileSize;
        int status;
        do {
            zs.next_out = out.data();
            zs.avail_out = static_cast<uInt>(out.size());
            status = deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
            std::fwrite(out.data(), 1, out.size() - zs.avail_out, compressed);
        } while (zs.avail_out == 0 || (last && status != Z_STREAM_END));
    }
    gFiles.compressedSize = zs.total_out;
    deflateEnd(&zs);
    bool ok = std::fclose(plain) == 0;
    ok = std::fclose(compressed) == 0 && ok;

    gBuffer.resize(kBufferSize);
    std::mt19937_64 bytes(7);
    for (size_t i = 0; i < gBuffer.size(); i += 8) {
        uint64_t value = bytes();
        std::memcpy(gBuffer.data() + i, &value, 8);
    }
    return ok;
}

void RemoveFiles()
{
    std::error_code error;
    if (!gFiles.folder.empty())
        std::filesystem::remove_all(gFiles.folder, error);
}

void MD5StreamOurs(benchmark::State& state)
{
    for (auto _ : state) {
        CXStreamFile file;
        if (!file.Open(gFiles.plainProgram, CXStreamFile::kModeRead)) {
            state.SkipWithError("cannot open the data file");
            return;
        }
        CXString digest = MD5HexDigestOfStream(file, kFileSize);
        if (digest.IsEmpty())
            state.SkipWithError("digest failed");
        benchmark::DoNotOptimize(digest.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void MD5StreamOpenSSL(benchmark::State& state)
{
    std::vector<uint8_t> piece(64 * 1024);
    for (auto _ : state) {
        std::FILE* file = std::fopen(gFiles.plainHost.c_str(), "rb");
        if (file == nullptr) {
            state.SkipWithError("cannot open the data file");
            return;
        }
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        EVP_DigestInit_ex(context, EVP_md5(), nullptr);
        size_t got;
        while ((got = std::fread(piece.data(), 1, piece.size(), file)) != 0)
            EVP_DigestUpdate(context, piece.data(), got);
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(context, digest, &size);
        EVP_MD_CTX_free(context);
        std::fclose(file);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void MD5BufferOurs(benchmark::State& state)
{
    for (auto _ : state) {
        CXString digest = MD5HexDigest(CXStringArgument(reinterpret_cast<const char*>(gBuffer.data()), gBuffer.size()));
        benchmark::DoNotOptimize(digest.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gBuffer.size()));
}

void MD5BufferOpenSSL(benchmark::State& state)
{
    for (auto _ : state) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_Digest(gBuffer.data(), gBuffer.size(), digest, &size, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gBuffer.size()));
}

void InflateOurs(benchmark::State& state, size_t pieceSize)
{
    std::vector<uint8_t> piece(pieceSize);
    for (auto _ : state) {
        CXStreamFile file;
        if (!file.Open(gFiles.compressedProgram, CXStreamFile::kModeRead)) {
            state.SkipWithError("cannot open the compressed file");
            return;
        }
        StreamProcessorZLibDecompress decompressor;
        CXStreamProcessorWrapper wrapper(&file, &decompressor);
        uint64_t total = 0;
        for (;;) {
            uint64_t got = wrapper.Read(piece.data(), pieceSize);
            total += got;
            if (got < pieceSize)
                break;
        }
        if (total != kFileSize || wrapper.GetResult() != kCXEndOfData)
            state.SkipWithError("decompression failed");
        benchmark::DoNotOptimize(piece.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void InflateRaw(benchmark::State& state, size_t pieceSize)
{
    std::vector<uint8_t> input(StreamProcessorZLib::kBufferSize);
    std::vector<uint8_t> piece(pieceSize);
    for (auto _ : state) {
        std::FILE* file = std::fopen(gFiles.compressedHost.c_str(), "rb");
        if (file == nullptr) {
            state.SkipWithError("cannot open the compressed file");
            return;
        }
        z_stream zs{};
        inflateInit2(&zs, MAX_WBITS);
        uint64_t total = 0;
        int status = Z_OK;
        while (status == Z_OK) {
            zs.next_out = piece.data();
            zs.avail_out = static_cast<uInt>(pieceSize);
            while (zs.avail_out != 0 && status == Z_OK) {
                if (zs.avail_in == 0) {
                    zs.next_in = input.data();
                    zs.avail_in = static_cast<uInt>(std::fread(input.data(), 1, input.size(), file));
                }
                status = inflate(&zs, Z_NO_FLUSH);
            }
            total += pieceSize - zs.avail_out;
        }
        inflateEnd(&zs);
        std::fclose(file);
        if (status != Z_STREAM_END || total != kFileSize)
            state.SkipWithError("decompression failed");
        benchmark::DoNotOptimize(piece.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// Prints the usual table and keeps the best throughput of each benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            auto counter = run.counters.find("bytes_per_second");
            if (counter == run.counters.end())
                continue;
            double& best = fBest[run.run_name.function_name];
            best = std::max(best, static_cast<double>(counter->second.value));
        }
    }

    void PrintComparison(const char* what, const std::string& ours, const std::string& reference, const char* referenceName,
                         const char* goal) const
    {
        auto a = fBest.find(ours);
        auto b = fBest.find(reference);
        if (a == fBest.end() || b == fBest.end() || b->second <= 0) {
            std::printf("%-28s not measured\n", what);
            return;
        }
        std::printf("%-28s ours %8.1f MB/s   %-8s %8.1f MB/s   ratio %.3f   (goal %s)\n", what, a->second / 1e6, referenceName,
                    b->second / 1e6, a->second / b->second, goal);
    }

private:
    std::map<std::string, double> fBest;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::printf("Making the data files (%llu MiB)...\n", static_cast<unsigned long long>(kFileSize >> 20));
    if (!MakeFiles()) {
        std::fprintf(stderr, "cannot make the data files in %s\n", gFiles.folder.string().c_str());
        RemoveFiles();
        return 1;
    }
    std::printf("zlib file: %llu bytes (%.2f:1)\n", static_cast<unsigned long long>(gFiles.compressedSize),
                static_cast<double>(kFileSize) / static_cast<double>(gFiles.compressedSize));

    auto add = [](const char* name, auto function) {
        benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(kRepetitions);
    };
    add("md5/file-256MiB/ours", MD5StreamOurs);
    add("md5/file-256MiB/openssl", MD5StreamOpenSSL);
    add("md5/buffer-64MiB/ours", MD5BufferOurs);
    add("md5/buffer-64MiB/openssl", MD5BufferOpenSSL);
    add("inflate/64KiB-pieces/ours", [](benchmark::State& state) { InflateOurs(state, 64 * 1024); });
    add("inflate/64KiB-pieces/raw", [](benchmark::State& state) { InflateRaw(state, 64 * 1024); });
    add("inflate/4096-pieces/ours", [](benchmark::State& state) { InflateOurs(state, 4096); });
    add("inflate/4096-pieces/raw", [](benchmark::State& state) { InflateRaw(state, 4096); });

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nBest of %d repetitions (MB = 10^6 bytes; inflate figures count uncompressed bytes):\n", kRepetitions);
    reporter.PrintComparison("MD5 stream, 256 MiB file", "md5/file-256MiB/ours", "md5/file-256MiB/openssl", "OpenSSL",
                             ">= 0.85");
    reporter.PrintComparison("MD5 string, 64 MiB buffer", "md5/buffer-64MiB/ours", "md5/buffer-64MiB/openssl", "OpenSSL",
                             ">= 0.85");
    reporter.PrintComparison("inflate, 64 KiB pieces", "inflate/64KiB-pieces/ours", "inflate/64KiB-pieces/raw", "inflate",
                             ">= 0.95");
    reporter.PrintComparison("inflate, 4096-byte pieces", "inflate/4096-pieces/ours", "inflate/4096-pieces/raw", "inflate",
                             "none");
    RemoveFiles();
    return 0;
}

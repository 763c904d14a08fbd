// Throughput of the checksum and decompression paths that patching runs over whole data files,
// side by side with the reference implementations on the same bytes:
//   - MD5HexDigestOfStream over a 256 MiB file against OpenSSL's EVP MD5 fed from the same file in
//     64 KiB reads, and MD5HexDigest over a 64 MiB buffer against EVP MD5 over that buffer;
//   - reading a CXStreamProcessorWrapper over a zlib file (256 MiB uncompressed) in 4096-byte and
//     64 KiB pieces against a plain inflate loop that reads the file through a 4096-byte input
//     buffer and inflates straight into the caller's piece.
//   - file-to-file copies, against plain programs with 256 KiB buffers: CopyStreamAll between two
//     file streams (with their default buffers, and with 256 KiB buffers) against a read/write
//     loop, and the same loop with the copy's 16 KiB pieces, which shows what the host charges per
//     call; inflating a zlib file through the decompressing
//     stream into a file against zlib with 256 KiB input and output buffers; Base64 encoding and
//     decoding of a 64 MiB file through the stream forms against a table-driven loop.
// The files are made in a fresh temporary folder at start and removed at the end. Each benchmark
// runs several repetitions; the summary compares the best of each. Build with
// -DCMAKE_BUILD_TYPE=Release for meaningful figures.

#include "foundation/CXMD5.h"
#include "foundation/CXString.h"
#include "platform/DriveMap.h"
#include "foundation/CXBase64.h"
#include "streams/CXStreamBase64.h"
#include "streams/CXStreamCopy.h"
#include "streams/CXStreamDigest.h"
#include "streams/CXStreamFile.h"
#include "streams/CXStreamProcessorWrapper.h"
#include "streams/StreamProcessorZLib.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <fcntl.h>
#include <unistd.h>
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
constexpr uint64_t kBase64Size = 64ull << 20; // a multiple of 3, so the text has no padding
constexpr int kRepetitions = 5;
constexpr size_t kPlainBuffer = 256 * 1024;

struct BenchFiles {
    std::filesystem::path folder;
    std::string plainHost;      // kFileSize bytes of text-like data
    std::string compressedHost; // the same, zlib format
    std::string base64SourceHost; // the first kBase64Size bytes of the plain file
    std::string base64TextHost;   // their Base64 text, no line breaks
    std::string outputHost;       // where every copy writes
    CXString plainProgram;
    CXString compressedProgram;
    CXString base64SourceProgram;
    CXString base64TextProgram;
    CXString outputProgram;
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

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Encodes whole groups of three bytes; returns the characters written.
size_t PlainEncode(const uint8_t* in, size_t size, char* out)
{
    char* start = out;
    for (size_t i = 0; i + 3 <= size; i += 3) {
        uint32_t bits = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
        *out++ = kAlphabet[bits >> 18];
        *out++ = kAlphabet[(bits >> 12) & 63];
        *out++ = kAlphabet[(bits >> 6) & 63];
        *out++ = kAlphabet[bits & 63];
    }
    return static_cast<size_t>(out - start);
}

bool ProgramPath(const std::string& host, CXString& program)
{
    std::string text;
    if (!Platform::HostToProgramPath(host, text))
        return false;
    program = text.c_str();
    return true;
}

bool MakeBase64Files()
{
    gFiles.base64SourceHost = (gFiles.folder / "base64-source.bin").string();
    gFiles.base64TextHost = (gFiles.folder / "base64-text.txt").string();
    gFiles.outputHost = (gFiles.folder / "output.bin").string();
    if (!ProgramPath(gFiles.base64SourceHost, gFiles.base64SourceProgram) ||
        !ProgramPath(gFiles.base64TextHost, gFiles.base64TextProgram) || !ProgramPath(gFiles.outputHost, gFiles.outputProgram))
        return false;
    std::FILE* in = std::fopen(gFiles.plainHost.c_str(), "rb");
    std::FILE* source = std::fopen(gFiles.base64SourceHost.c_str(), "wb");
    std::FILE* text = std::fopen(gFiles.base64TextHost.c_str(), "wb");
    bool ok = in != nullptr && source != nullptr && text != nullptr;
    std::vector<uint8_t> piece(3 << 20);
    std::vector<char> encoded(4 << 20);
    for (uint64_t done = 0; ok && done < kBase64Size; done += piece.size()) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(piece.size(), kBase64Size - done));
        ok = std::fread(piece.data(), 1, want, in) == want && std::fwrite(piece.data(), 1, want, source) == want;
        size_t chars = PlainEncode(piece.data(), want, encoded.data());
        ok = ok && std::fwrite(encoded.data(), 1, chars, text) == chars;
    }
    for (std::FILE* file : {in, source, text})
        if (file != nullptr)
            ok = std::fclose(file) == 0 && ok;
    return ok;
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
    return ok && MakeBase64Files();
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

// Copies from a host file to the output file through a plain loop over 256 KiB buffers; each
// piece of input goes through `transform`, which returns the bytes to write.
template <typename Transform>
bool PlainFileLoop(const std::string& input, size_t inputPiece, Transform transform)
{
    int in = open(input.c_str(), O_RDONLY | O_CLOEXEC);
    int out = open(gFiles.outputHost.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0;
    std::vector<uint8_t> buffer(inputPiece);
    while (ok) {
        ssize_t got = read(in, buffer.data(), buffer.size());
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        std::pair<const void*, size_t> bytes = transform(buffer.data(), static_cast<size_t>(got));
        ok = write(out, bytes.first, bytes.second) == static_cast<ssize_t>(bytes.second);
    }
    if (in >= 0)
        close(in);
    if (out >= 0)
        ok = close(out) == 0 && ok;
    return ok;
}

// bufferSize 0 keeps the streams' default 4096-byte buffers, so every 16 KiB piece of the copy is
// one read and one write of the file; otherwise both streams take buffers of that size first.
void CopyOurs(benchmark::State& state, uint64_t bufferSize)
{
    for (auto _ : state) {
        CXStreamFile source;
        CXStreamFile destination;
        if (!source.Open(gFiles.plainProgram, CXStreamFile::kModeRead) || !destination.Open(gFiles.outputProgram, 0x1A)) {
            state.SkipWithError("cannot open the files");
            return;
        }
        if (bufferSize != 0) {
            source.Control(CXStreamCacheHelper::kControlReadBufferSize, bufferSize);
            destination.Control(CXStreamCacheHelper::kControlWriteBufferSize, bufferSize);
        }
        CXResultCode result = CopyStreamAll(destination, source, {});
        if (result != kCXOK || destination.Close() != kCXOK)
            state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void CopyPlain(benchmark::State& state, size_t bufferSize)
{
    for (auto _ : state) {
        bool ok = PlainFileLoop(gFiles.plainHost, bufferSize, [](const uint8_t* data, size_t size) {
            return std::pair<const void*, size_t>(data, size);
        });
        if (!ok)
            state.SkipWithError("copy failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void InflateToFileOurs(benchmark::State& state)
{
    for (auto _ : state) {
        CXStreamFile source;
        CXStreamFile destination;
        if (!source.Open(gFiles.compressedProgram, CXStreamFile::kModeRead) ||
            !destination.Open(gFiles.outputProgram, 0x1A)) {
            state.SkipWithError("cannot open the files");
            return;
        }
        StreamProcessorZLibDecompress decompressor;
        CXStreamProcessorWrapper wrapper(&source, &decompressor);
        CXResultCode result = CopyStreamAll(destination, wrapper, {});
        if ((result != kCXOK && result != kCXEndOfData) || destination.Close() != kCXOK ||
            destination.Open(gFiles.outputProgram, CXStreamFile::kModeRead) == false || destination.GetSize() != kFileSize)
            state.SkipWithError("decompression failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void InflateToFilePlain(benchmark::State& state)
{
    std::vector<uint8_t> output(kPlainBuffer);
    for (auto _ : state) {
        z_stream zs{};
        inflateInit2(&zs, MAX_WBITS);
        int status = Z_OK;
        uint64_t total = 0;
        int out = -1;
        bool ok = PlainFileLoop(gFiles.compressedHost, kPlainBuffer, [&](const uint8_t* data, size_t size) {
            // Written here, piece by piece, rather than handed back: one input piece inflates to
            // several output buffers.
            if (out < 0)
                out = open(gFiles.outputHost.c_str(), O_WRONLY | O_CLOEXEC);
            zs.next_in = const_cast<Bytef*>(data);
            zs.avail_in = static_cast<uInt>(size);
            while (zs.avail_in != 0 && status == Z_OK) {
                zs.next_out = output.data();
                zs.avail_out = static_cast<uInt>(output.size());
                status = inflate(&zs, Z_NO_FLUSH);
                size_t produced = output.size() - zs.avail_out;
                total += produced;
                if (write(out, output.data(), produced) != static_cast<ssize_t>(produced))
                    status = Z_ERRNO;
            }
            return std::pair<const void*, size_t>(nullptr, 0);
        });
        if (out >= 0)
            close(out);
        inflateEnd(&zs);
        if (!ok || status != Z_STREAM_END || total != kFileSize)
            state.SkipWithError("decompression failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void Base64Ours(benchmark::State& state, bool encode)
{
    for (auto _ : state) {
        CXStreamFile source;
        CXStreamFile destination;
        if (!source.Open(encode ? gFiles.base64SourceProgram : gFiles.base64TextProgram, CXStreamFile::kModeRead) ||
            !destination.Open(gFiles.outputProgram, 0x1A)) {
            state.SkipWithError("cannot open the files");
            return;
        }
        CXResultCode result = encode ? Base64EncodeStream(destination, source) : Base64DecodeStream(destination, source);
        if (result != kCXOK || destination.Close() != kCXOK)
            state.SkipWithError("Base64 failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBase64Size));
}

void Base64Plain(benchmark::State& state, bool encode)
{
    std::vector<uint8_t> output(kPlainBuffer * 2);
    int8_t values[256];
    std::memset(values, -1, sizeof values);
    for (int i = 0; i < 64; ++i)
        values[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    for (auto _ : state) {
        bool ok;
        if (encode) {
            ok = PlainFileLoop(gFiles.base64SourceHost, 3 * 65536, [&](const uint8_t* data, size_t size) {
                size_t chars = PlainEncode(data, size, reinterpret_cast<char*>(output.data()));
                return std::pair<const void*, size_t>(output.data(), chars);
            });
        } else {
            bool bad = false;
            ok = PlainFileLoop(gFiles.base64TextHost, kPlainBuffer, [&](const uint8_t* data, size_t size) {
                uint8_t* out = output.data();
                for (size_t i = 0; i + 4 <= size; i += 4) {
                    int a = values[data[i]], b = values[data[i + 1]], c = values[data[i + 2]], d = values[data[i + 3]];
                    bad |= (a | b | c | d) < 0;
                    uint32_t bits = (uint32_t(a) << 18) | (uint32_t(b) << 12) | (uint32_t(c) << 6) | uint32_t(d);
                    *out++ = static_cast<uint8_t>(bits >> 16);
                    *out++ = static_cast<uint8_t>(bits >> 8);
                    *out++ = static_cast<uint8_t>(bits);
                }
                return std::pair<const void*, size_t>(output.data(), static_cast<size_t>(out - output.data()));
            });
            ok = ok && !bad;
        }
        if (!ok)
            state.SkipWithError("Base64 failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBase64Size));
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
                         const char* goal, const char* oursName = "ours") const
    {
        auto a = fBest.find(ours);
        auto b = fBest.find(reference);
        if (a == fBest.end() || b == fBest.end() || b->second <= 0) {
            std::printf("%-32s not measured\n", what);
            return;
        }
        std::printf("%-32s %-8s %8.1f MB/s   %-8s %8.1f MB/s   ratio %.3f   (goal %s)\n", what, oursName, a->second / 1e6, referenceName,
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
    add("copy/file-to-file/ours", [](benchmark::State& state) { CopyOurs(state, 0); });
    add("copy/file-to-file/plain", [](benchmark::State& state) { CopyPlain(state, kPlainBuffer); });
    add("copy/file-to-file/ours-256KiB-buffers", [](benchmark::State& state) { CopyOurs(state, kPlainBuffer); });
    add("copy/file-to-file/plain-16KiB", [](benchmark::State& state) { CopyPlain(state, 16384); });
    add("inflate/into-file/ours", InflateToFileOurs);
    add("inflate/into-file/plain", InflateToFilePlain);
    add("base64/encode-file/ours", [](benchmark::State& state) { Base64Ours(state, true); });
    add("base64/encode-file/plain", [](benchmark::State& state) { Base64Plain(state, true); });
    add("base64/decode-file/ours", [](benchmark::State& state) { Base64Ours(state, false); });
    add("base64/decode-file/plain", [](benchmark::State& state) { Base64Plain(state, false); });

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nBest of %d repetitions (MB = 10^6 bytes; inflate figures count uncompressed bytes):\n", kRepetitions);
    reporter.PrintComparison("MD5 stream, 256 MiB file", "md5/file-256MiB/ours", "md5/file-256MiB/openssl", "OpenSSL",
                             ">= 0.95");
    reporter.PrintComparison("MD5 string, 64 MiB buffer", "md5/buffer-64MiB/ours", "md5/buffer-64MiB/openssl", "OpenSSL",
                             ">= 0.85");
    reporter.PrintComparison("inflate, 64 KiB pieces", "inflate/64KiB-pieces/ours", "inflate/64KiB-pieces/raw", "inflate",
                             ">= 0.95");
    reporter.PrintComparison("inflate, 4096-byte pieces", "inflate/4096-pieces/ours", "inflate/4096-pieces/raw", "inflate",
                             "none");
    reporter.PrintComparison("copy, file to file", "copy/file-to-file/ours", "copy/file-to-file/plain", "plain",
                             ">= 0.85");
    reporter.PrintComparison("copy, 256 KiB stream buffers", "copy/file-to-file/ours-256KiB-buffers",
                             "copy/file-to-file/plain", "plain", ">= 0.85");
    reporter.PrintComparison("copy, plain in 16 KiB pieces", "copy/file-to-file/plain-16KiB", "copy/file-to-file/plain",
                             "plain", "none", "plain16K");
    reporter.PrintComparison("inflate into a file", "inflate/into-file/ours", "inflate/into-file/plain", "plain",
                             ">= 0.78");
    reporter.PrintComparison("Base64 encode, 64 MiB file", "base64/encode-file/ours", "base64/encode-file/plain", "plain",
                             ">= 0.333");
    reporter.PrintComparison("Base64 decode, 64 MiB file", "base64/decode-file/ours", "base64/decode-file/plain", "plain",
                             ">= 0.333");
    RemoveFiles();
    return 0;
}

// Download throughput of the HTTP client against curl: a 512 MiB body, served from memory by the
// loopback test server on 127.0.0.1, fetched into a file, over plain HTTP and over HTTPS (curl
// gets the test CA with --cacert). Both clients write into the same fresh temporary folder; each
// runs several times, alternating, and the summary compares the best of each. Build with
// -DCMAKE_BUILD_TYPE=Release for meaningful figures.

#include "foundation/CXString.h"
#include "platform/DriveMap.h"
#include "streams/CXHTTPConnection.h"
#include "streams/CXStreamFile.h"
#include "streams/CXURI.h"
#include "support/LoopbackServer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace {

constexpr uint64_t kBodySize = 512ull << 20;
constexpr int kRepetitions = 5;

double Seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

uint64_t HostFileSize(const std::string& path)
{
    std::error_code error;
    uint64_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// Bytes per second of one download with our client, 0 when it failed.
double DownloadOurs(const std::string& url, const std::string& hostOutput)
{
    std::filesystem::remove(hostOutput);
    auto start = std::chrono::steady_clock::now();
    CXHTTPConnection connection;
    CXStreamFile file;
    if (!file.Open("C:/ours.bin", CXStreamFile::kModeWrite | CXStreamFile::kModeCreate | CXStreamFile::kModeTruncate))
        return 0;
    CXResultCode result = connection.Get(CXURI(url.c_str()), &file, {});
    CXResultCode closed = file.Close();
    double seconds = Seconds(std::chrono::steady_clock::now() - start);
    if (result != kCXOK || closed != kCXOK || HostFileSize(hostOutput) != kBodySize) {
        std::fprintf(stderr, "our download of %s failed: %d\n", url.c_str(), static_cast<int>(result));
        return 0;
    }
    return static_cast<double>(kBodySize) / seconds;
}

double DownloadCurl(const std::string& url, const std::string& hostOutput, const std::string& caFile)
{
    std::filesystem::remove(hostOutput);
    std::string command = "curl -4 -s -S -o '" + hostOutput + "' --cacert '" + caFile + "' '" + url + "'";
    auto start = std::chrono::steady_clock::now();
    int status = std::system(command.c_str());
    double seconds = Seconds(std::chrono::steady_clock::now() - start);
    if (status != 0 || HostFileSize(hostOutput) != kBodySize) {
        std::fprintf(stderr, "curl download of %s failed: status %d\n", url.c_str(), status);
        return 0;
    }
    return static_cast<double>(kBodySize) / seconds;
}

void Serve(LoopbackServer& server, const std::string& body)
{
    std::string header = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(body.size()) +
                         "\r\n\r\n";
    server.SetHandler([&body, header](LoopbackConnection& connection) {
        if (connection.ReadUntil("\r\n\r\n") && connection.Write(header))
            (void)connection.Write(body);
    });
}

} // namespace

int main()
{
    if (std::system("curl --version >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "curl not found (scripts/setup.sh installs it)\n");
        return 1;
    }
    char folderTemplate[] = "/tmp/cx-http-bench-XXXXXX";
    if (mkdtemp(folderTemplate) == nullptr) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const std::string folder = folderTemplate;
    std::filesystem::create_directories(folder + "/app/data");
    const std::string caFile = folder + "/app/data/openssl.crt";
    if (!WriteLoopbackCA(caFile)) {
        std::fprintf(stderr, "cannot write the test CA\n");
        return 1;
    }
    setenv("CX_APP_FOLDER", (folder + "/app").c_str(), 1);
    setenv("CX_DRIVE_C", folder.c_str(), 1);
    Platform::ReloadDriveMap();

    std::printf("Making the body (%llu MiB)...\n", static_cast<unsigned long long>(kBodySize >> 20));
    std::string body(kBodySize, '\0');
    for (uint64_t i = 0; i < kBodySize; ++i)
        body[i] = static_cast<char>((i * 2654435761u) >> 13);

    struct Row {
        const char* name;
        bool tls;
        double ours = 0;
        double curl = 0;
    };
    Row rows[] = {{"plain HTTP", false}, {"HTTPS", true}};
    for (Row& row : rows) {
        LoopbackServer server(LoopbackServer::Options{.tls = row.tls});
        Serve(server, body);
        std::string url = std::string(row.tls ? "https://localhost:" : "http://127.0.0.1:") + std::to_string(server.Port()) + "/data.bin";
        for (int i = 0; i < kRepetitions; ++i) {
            double ours = DownloadOurs(url, folder + "/ours.bin");
            double curl = DownloadCurl(url, folder + "/curl.bin", caFile);
            std::printf("  %-10s run %d: ours %8.1f MB/s   curl %8.1f MB/s\n", row.name, i + 1, ours / 1e6, curl / 1e6);
            std::fflush(stdout);
            row.ours = std::max(row.ours, ours);
            row.curl = std::max(row.curl, curl);
        }
    }
    std::filesystem::remove_all(folder);

    std::printf("\nBest of %d downloads of %llu MiB into a file (MB = 10^6 bytes):\n", kRepetitions,
                static_cast<unsigned long long>(kBodySize >> 20));
    for (const Row& row : rows) {
        if (row.ours <= 0 || row.curl <= 0) {
            std::printf("%-12s not measured\n", row.name);
            continue;
        }
        std::printf("%-12s ours %8.1f MB/s   curl %8.1f MB/s   ratio %.3f   (goal >= 0.8)\n", row.name, row.ours / 1e6, row.curl / 1e6,
                    row.ours / row.curl);
    }
    return 0;
}

#pragma once

// A stand-in for the web service the installer asks about accounts and patches, for tests and
// the demo. It listens on 127.0.0.1 over HTTPS (a localhost certificate signed by a CA made at
// start; WriteCA writes that CA where the installer's data folder wants it) and answers the
// account check and the patch query from a scenario, and serves patch files (with Range).
//
// Scenario (data-node text):
//
//     accounts {
//       alice {
//         password "secret"
//         streams { "7" "Main" "9" "Beta" }   ; id and name of each stream the account may use
//         default-stream "7"                 ; left out: the reply names no default stream
//         error "no-products-owned"          ; optional: the account check answers this word
//       }
//     }
//     streams {
//       "7" {
//         current-build "<md5>"              ; this build is up to date: "no-patches-available"
//         error "stream-closed"              ; optional: the patch query answers this word
//         patches {
//           "<md5>" { patch-control-file "patch.txt" patch-data-file "patch.bin" description "..." }
//         }
//       }
//     }
//     variants { getstreamfile "http-500" }  ; per request: malformed, slow, http-500, close,
//                                            ; reset, oversized
//     slow-delay-ms 0                        ; pause between the pieces of a slow reply
//
// Error words: an empty user name or password gives "login_details_not_received", an unknown
// user or a wrong password "invalid-myqorvel-details", an account without streams
// "no-patch-streams"; a stream the account may not use gives "invalid-stream" and a build that
// has no patch "unknown-build". Patch file names become addresses under "/files/", served from
// the files folder.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class LoopbackServer;
class LoopbackConnection;

struct StandinScenario {
    struct Account {
        std::string password;
        std::vector<std::pair<std::string, std::string>> streams;
        std::string defaultStream;
        std::string error;
    };
    struct Patch {
        std::string controlFile;
        std::string dataFile;
        std::string description;
    };
    struct Stream {
        std::string currentBuild;
        std::string error;
        std::map<std::string, Patch> patches; // by build
    };
    std::map<std::string, Account> accounts;
    std::map<std::string, Stream> streams;
    std::map<std::string, std::string> variants; // request name -> variant
    unsigned slowDelayMilliseconds = 0;

    // Parses the scenario text; false (with a reason) when it has no "accounts" folder.
    static bool Parse(std::string_view text, StandinScenario& scenario, std::string& reason);
};

class StandinService {
public:
    // One request as received: the request target ("/streams/...?u=...") and the Range header.
    struct Request {
        std::string target;
        std::string range;
    };

    // Starts listening at once. filesFolder: host folder of the files served under "/files/".
    StandinService(StandinScenario scenario, std::string filesFolder);
    ~StandinService();
    StandinService(const StandinService&) = delete;
    StandinService& operator=(const StandinService&) = delete;

    uint16_t Port() const;
    // "https://localhost:<port>".
    std::string BaseURL() const;
    // Writes the CA's certificate (PEM) to a host path; false when it cannot be written.
    static bool WriteCA(const std::string& hostPath);

    void SetScenario(StandinScenario scenario);
    std::vector<Request> Requests() const;
    void ClearRequests();
    // When set, every request is printed to standard output with the "p=" value masked.
    void SetLogRequests(bool log) { fLogRequests = log; }

    // The reply body for a request target (no variant applied); exposed for tests.
    std::string ReplyFor(const std::string& target) const;

private:
    void Serve(LoopbackConnection& connection);
    void ServeFile(LoopbackConnection& connection, const std::string& name, const std::string& range);

    std::unique_ptr<LoopbackServer> fServer;
    std::string fFilesFolder;
    mutable std::mutex fMutex;
    StandinScenario fScenario;
    std::vector<Request> fRequests;
    bool fLogRequests = false;
};

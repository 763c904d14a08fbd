#include "StandinService.h"

#include "datanode/DNMemoryValue.h"
#include "datanode/DNRawData.h"
#include "datanode/DNTranslator.h"
#include "datanode/TextConfig.h"
#include "foundation/CXPercentEncoding.h"
#include "support/LoopbackServer.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace {

constexpr size_t kOversizedReply = 1100 * 1024;

std::string Text(const DNValueRef& value)
{
    CXString text = value->GetString();
    return std::string(text.c_str(), text.length());
}

DNValueRef Child(DNValue* folder, const char* key)
{
    return folder->Find(DNRawData(key))->GetValue();
}

std::string PercentDecode(std::string_view text)
{
    CXString decoded = CXPercentDecode(CXStringArgument(text.data(), text.size()), false);
    return std::string(decoded.c_str(), decoded.length());
}

std::map<std::string, std::string> QueryParameters(std::string_view query)
{
    std::map<std::string, std::string> parameters;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        std::string_view pair = query.substr(start, end - start);
        size_t equals = pair.find('=');
        if (!pair.empty()) {
            std::string key = PercentDecode(pair.substr(0, equals));
            std::string value = equals == std::string_view::npos ? std::string() : PercentDecode(pair.substr(equals + 1));
            parameters.emplace(std::move(key), std::move(value));
        }
        start = end + 1;
    }
    return parameters;
}

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += "\"\"";
        else
            out.push_back(c);
    }
    return out + "\"";
}

std::string ErrorReply(const std::string& word)
{
    return "error " + Quoted(word) + "\n";
}

std::string MaskedTarget(const std::string& target)
{
    std::string out;
    size_t query = target.find('?');
    if (query == std::string::npos)
        return target;
    out = target.substr(0, query + 1);
    std::string_view rest(target);
    rest.remove_prefix(query + 1);
    bool first = true;
    while (true) {
        size_t end = rest.find('&');
        std::string_view pair = rest.substr(0, end);
        if (!first)
            out += '&';
        first = false;
        out += pair.substr(0, 2) == "p=" ? std::string("p=***") : std::string(pair);
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return out;
}

std::string StatusLine(int status)
{
    switch (status) {
    case 200:
        return "HTTP/1.1 200 OK\r\n";
    case 206:
        return "HTTP/1.1 206 Partial Content\r\n";
    case 404:
        return "HTTP/1.1 404 Not Found\r\n";
    case 416:
        return "HTTP/1.1 416 Range Not Satisfiable\r\n";
    default:
        return "HTTP/1.1 500 Internal Server Error\r\n";
    }
}

std::string Reply(int status, const std::string& body, const std::string& extraHeaders = {})
{
    return StatusLine(status) + "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

} // namespace

bool StandinScenario::Parse(std::string_view text, StandinScenario& scenario, std::string& reason)
{
    DNInitBuiltInTranslators();
    scenario = StandinScenario();
    DNValueRef root = DNAdopt<DNValue>(new DNMemoryValue);
    TextConfig::ParseText(root, text.data(), text.size());
    DNValueRef accounts = Child(root.get(), "accounts");
    if (accounts->GetType() != 1) {
        reason = "no \"accounts\" folder";
        return false;
    }
    for (DNIteratorRef it = accounts->First(); !it->AtEnd(); it->Next()) {
        DNValueRef entry = it->GetValue();
        Account account;
        account.password = Text(Child(entry.get(), "password"));
        account.defaultStream = Text(Child(entry.get(), "default-stream"));
        account.error = Text(Child(entry.get(), "error"));
        DNValueRef streams = Child(entry.get(), "streams");
        for (DNIteratorRef s = streams->First(); !s->AtEnd(); s->Next())
            account.streams.emplace_back(Text(s->GetKey()), Text(s->GetValue()));
        scenario.accounts[Text(it->GetKey())] = account;
    }
    DNValueRef streams = Child(root.get(), "streams");
    for (DNIteratorRef it = streams->First(); !it->AtEnd(); it->Next()) {
        DNValueRef entry = it->GetValue();
        Stream stream;
        stream.currentBuild = Text(Child(entry.get(), "current-build"));
        stream.error = Text(Child(entry.get(), "error"));
        DNValueRef patches = Child(entry.get(), "patches");
        for (DNIteratorRef p = patches->First(); !p->AtEnd(); p->Next()) {
            DNValueRef patchEntry = p->GetValue();
            Patch patch;
            patch.controlFile = Text(Child(patchEntry.get(), "patch-control-file"));
            patch.dataFile = Text(Child(patchEntry.get(), "patch-data-file"));
            patch.description = Text(Child(patchEntry.get(), "description"));
            stream.patches[Text(p->GetKey())] = patch;
        }
        scenario.streams[Text(it->GetKey())] = stream;
    }
    DNValueRef variants = Child(root.get(), "variants");
    for (DNIteratorRef it = variants->First(); !it->AtEnd(); it->Next())
        scenario.variants[Text(it->GetKey())] = Text(it->GetValue());
    scenario.slowDelayMilliseconds = static_cast<unsigned>(Child(root.get(), "slow-delay-ms")->GetInt());
    return true;
}

StandinService::StandinService(StandinScenario scenario, std::string filesFolder)
    : fFilesFolder(std::move(filesFolder))
    , fScenario(std::move(scenario))
{
    fServer = std::make_unique<LoopbackServer>(LoopbackServer::Options{.tls = true});
    fServer->SetHandler([this](LoopbackConnection& connection) { Serve(connection); });
}

StandinService::~StandinService()
{
    fServer->Stop();
}

uint16_t StandinService::Port() const
{
    return fServer->Port();
}

std::string StandinService::BaseURL() const
{
    return "https://localhost:" + std::to_string(Port());
}

bool StandinService::WriteCA(const std::string& hostPath)
{
    return WriteLoopbackCA(hostPath);
}

void StandinService::SetScenario(StandinScenario scenario)
{
    std::lock_guard<std::mutex> lock(fMutex);
    fScenario = std::move(scenario);
}

std::vector<StandinService::Request> StandinService::Requests() const
{
    std::lock_guard<std::mutex> lock(fMutex);
    return fRequests;
}

void StandinService::ClearRequests()
{
    std::lock_guard<std::mutex> lock(fMutex);
    fRequests.clear();
}

std::string StandinService::ReplyFor(const std::string& target) const
{
    size_t mark = target.find('?');
    std::string path = target.substr(0, mark);
    std::map<std::string, std::string> query =
        QueryParameters(mark == std::string::npos ? std::string_view() : std::string_view(target).substr(mark + 1));
    std::lock_guard<std::mutex> lock(fMutex);

    const std::string& user = query["u"];
    const std::string& password = query["p"];
    if (path != "/streams/qorvelstreamcheck.php" && path != "/streams/getstreamfile.php")
        return {};
    if (user.empty() || password.empty())
        return ErrorReply("login_details_not_received");
    auto account = fScenario.accounts.find(user);
    if (account == fScenario.accounts.end() || account->second.password != password)
        return ErrorReply("invalid-myqorvel-details");

    if (path == "/streams/qorvelstreamcheck.php") {
        if (!account->second.error.empty())
            return ErrorReply(account->second.error);
        if (account->second.streams.empty())
            return ErrorReply("no-patch-streams");
        std::string body = "good 1\n";
        for (const auto& [id, name] : account->second.streams)
            body += "stream " + Quoted(name.empty() ? id : id + " " + name) + "\n";
        if (!account->second.defaultStream.empty())
            body += "default-stream " + Quoted(account->second.defaultStream) + "\n";
        return body;
    }

    const std::string& streamId = query["stream"];
    bool allowed = false;
    for (const auto& offered : account->second.streams)
        allowed = allowed || offered.first == streamId;
    auto stream = fScenario.streams.find(streamId);
    if (!allowed || stream == fScenario.streams.end())
        return ErrorReply("invalid-stream");
    if (!stream->second.error.empty())
        return ErrorReply(stream->second.error);
    const std::string& build = query["build"];
    if (build == stream->second.currentBuild)
        return ErrorReply("no-patches-available");
    auto patch = stream->second.patches.find(build);
    if (patch == stream->second.patches.end())
        return ErrorReply("unknown-build");
    std::string files = BaseURL() + "/files/";
    return "good 1\npatch-control-file " + Quoted(files + patch->second.controlFile) + "\npatch-data-file " +
           Quoted(files + patch->second.dataFile) + "\ndescription " + Quoted(patch->second.description) + "\n";
}

void StandinService::Serve(LoopbackConnection& connection)
{
    if (!connection.ReadUntil("\r\n\r\n"))
        return;
    std::string head = connection.Received();
    size_t end = head.find("\r\n\r\n");
    head.resize(end);
    size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    std::string range;
    std::istringstream lines(lineEnd == std::string::npos ? std::string() : head.substr(lineEnd + 2));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 6 && (line.compare(0, 6, "Range:") == 0 || line.compare(0, 6, "range:") == 0)) {
            range = line.substr(6);
            range.erase(0, range.find_first_not_of(' '));
        }
    }
    size_t firstSpace = requestLine.find(' ');
    size_t secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) {
        connection.Write(Reply(500, "bad request\n"));
        return;
    }
    std::string target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    std::string variant;
    unsigned delay = 0;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fRequests.push_back(Request{target, range});
        std::string path = target.substr(0, target.find('?'));
        for (const auto& [name, value] : fScenario.variants) {
            if (path == "/streams/" + name + ".php")
                variant = value;
        }
        delay = fScenario.slowDelayMilliseconds;
    }
    if (fLogRequests) {
        std::printf("standin-service: GET %s%s%s\n", MaskedTarget(target).c_str(), range.empty() ? "" : " Range: ",
                    range.c_str());
        std::fflush(stdout);
    }

    if (target.compare(0, 7, "/files/") == 0) {
        ServeFile(connection, PercentDecode(std::string_view(target).substr(7)), range);
        return;
    }
    std::string body = ReplyFor(target);
    if (body.empty()) {
        connection.Write(Reply(404, "not found\n"));
        return;
    }
    if (variant == "malformed") {
        connection.Write(Reply(200, "this is no reply\n"));
    } else if (variant == "http-500") {
        connection.Write(Reply(500, "error \"internal\"\n"));
    } else if (variant == "close") {
        connection.Close();
    } else if (variant == "reset") {
        connection.Reset();
    } else if (variant == "oversized") {
        // A whole, valid reply padded with comment lines past the installer's reply limit.
        std::string filler;
        while (filler.size() < kOversizedReply)
            filler += ";" + std::string(98, 'x') + "\n";
        connection.Write(Reply(200, body + filler));
    } else if (variant == "slow") {
        std::string reply = Reply(200, body);
        for (size_t i = 0; i < reply.size(); ++i) {
            if (!connection.Write(reply.data() + i, 1))
                return;
            if (delay > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        }
    } else {
        connection.Write(Reply(200, body));
    }
}

void StandinService::ServeFile(LoopbackConnection& connection, const std::string& name, const std::string& range)
{
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        connection.Write(Reply(404, "not found\n"));
        return;
    }
    std::ifstream file(fFilesFolder + "/" + name, std::ios::binary);
    if (!file) {
        connection.Write(Reply(404, "not found\n"));
        return;
    }
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (range.empty()) {
        connection.Write(Reply(200, content));
        return;
    }
    // "bytes=first-" or "bytes=first-last".
    unsigned long long first = 0;
    unsigned long long last = content.empty() ? 0 : content.size() - 1;
    char dash = 0;
    int fields = std::sscanf(range.c_str(), "bytes=%llu%c%llu", &first, &dash, &last);
    if (fields < 2 || dash != '-' || first >= content.size() || last < first) {
        connection.Write(Reply(416, "", "Content-Range: bytes */" + std::to_string(content.size()) + "\r\n"));
        return;
    }
    if (last >= content.size())
        last = content.size() - 1;
    connection.Write(Reply(206, content.substr(first, last - first + 1),
                           "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                               std::to_string(content.size()) + "\r\n"));
}

// standin-service: the stand-in web service for tests and the demo (see StandinService.h).
//
//   standin-service --scenario FILE [--files FOLDER] [--ca-out PATH] [--port-file PATH]
//
// Prints "standin-service: https://localhost:<port>" and every request (password masked), and
// serves until it is killed.

#include "StandinService.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

int main(int argc, char** argv)
{
    std::string scenarioPath, filesFolder = ".", caOut, portFile;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "standin-service: %s needs a value\n", option.c_str());
            return 2;
        }
        std::string value = argv[++i];
        if (option == "--scenario")
            scenarioPath = value;
        else if (option == "--files")
            filesFolder = value;
        else if (option == "--ca-out")
            caOut = value;
        else if (option == "--port-file")
            portFile = value;
        else {
            std::fprintf(stderr, "standin-service: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (scenarioPath.empty()) {
        std::fprintf(stderr, "usage: standin-service --scenario FILE [--files FOLDER] [--ca-out PATH] [--port-file PATH]\n");
        return 2;
    }
    std::ifstream in(scenarioPath, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    StandinScenario scenario;
    std::string reason;
    if (!in || !StandinScenario::Parse(text, scenario, reason)) {
        std::fprintf(stderr, "standin-service: cannot use %s: %s\n", scenarioPath.c_str(),
                     reason.empty() ? "unreadable" : reason.c_str());
        return 2;
    }

    StandinService service(std::move(scenario), filesFolder);
    service.SetLogRequests(true);
    if (!caOut.empty() && !StandinService::WriteCA(caOut)) {
        std::fprintf(stderr, "standin-service: cannot write %s\n", caOut.c_str());
        return 2;
    }
    if (!portFile.empty()) {
        std::ofstream out(portFile + ".tmp");
        out << service.Port() << "\n";
        out.close();
        if (!out || std::rename((portFile + ".tmp").c_str(), portFile.c_str()) != 0) {
            std::fprintf(stderr, "standin-service: cannot write %s\n", portFile.c_str());
            return 2;
        }
    }
    std::printf("standin-service: %s\n", service.BaseURL().c_str());
    std::fflush(stdout);

    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock<std::mutex> lock(mutex);
    never.wait(lock, [] { return false; });
    return 0;
}

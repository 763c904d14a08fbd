#pragma once

#include "support/RunProgram.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

// The host path of desktop-file-validate (from desktop-file-utils) on PATH, or empty when it is
// not installed; tests that need it skip then.
inline std::string DesktopFileValidator()
{
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/desktop-file-validate";
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::string();
}

// What the validator says of a desktop-entry file: empty when it passes clean (no error, warning
// or hint, exit status 0), otherwise its report. scratchReport is a file the report goes through.
inline std::string DesktopFileComplaints(const std::string& validator, const std::string& file,
                                         const std::string& scratchReport)
{
    int status = RunProgram(validator, {file}, scratchReport, scratchReport + ".err");
    std::string report;
    for (const std::string& part : {scratchReport, scratchReport + ".err"}) {
        std::ifstream in(part, std::ios::binary);
        report += std::string(std::istreambuf_iterator<char>(in), {});
        std::remove(part.c_str());
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        report += "exit status " + std::to_string(status) + "\n";
    return report;
}

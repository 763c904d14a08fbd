#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

// Runs a program to its end in a child process with this process's environment, its standard
// output and error written to the named files ("/dev/null" drops one). Answers the child's status
// as waitpid gives it, or -1 when it could not be started. The child is always waited for.
inline int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& outputPath, const std::string& errorPath)
{
    std::vector<std::string> all = {program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int status = -1;
    pid_t child = -1;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        (void)waitpid(child, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

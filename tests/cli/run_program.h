#pragma once

// Runs a program for the command-line tests: in a chosen folder, with a
// fixed locale and zone, its standard output and error captured in files (no
// pipe can fill up and stall it).

#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace varnel::test {

struct RunResult {
    std::string out;
    std::string err;
    int status = -1; // the exit status, or 128 + the signal that ended it
};

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The varnel-report of the build.
inline const std::string& ReportProgram() {
    static const std::string program = std::string(VARNEL_PROGRAM_DIR) + "/varnel-report";
    return program;
}

// Runs args[0] (a path, or a name looked up on PATH) in folder dir.
inline RunResult RunIn(const std::filesystem::path& dir, const std::vector<std::string>& args) {
    ScratchDir capture;
    const std::string outPath = (capture / "out").string();
    const std::string errPath = (capture / "err").string();
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<std::string> env = {"LANG=en_US.UTF-8", "TZ=UTC", "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    RunResult run;
    const int spawned =
        posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << args[0];
        return run;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadAll(outPath);
    run.err = ReadAll(errPath);
    return run;
}

} // namespace varnel::test

#pragma once

// Runs a program for the command-line tests: in a chosen folder, with a
// fixed locale and zone, its standard output and error captured in files (no
// pipe can fill up and stall it).

#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::test {

struct RunResult {
    std::string out;
    std::string err;
    int status = -1;        // the exit status, or 128 + the signal that ended it
    long maxResidentKb = 0; // the program's peak memory
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

// A program started in folder dir: its output so far can be read while it
// runs; Wait ends the wait for it.
class Running {
public:
    // stdinFd: the descriptor the program reads as standard input (-1: none
    // given, it inherits the test's).
    // env: the program's whole environment (a fixed locale and zone unless
    // given).
    Running(const std::filesystem::path& dir, const std::vector<std::string>& args,
            int stdinFd = -1,
            std::vector<std::string> env = {"LANG=en_US.UTF-8", "TZ=UTC", "PATH=/usr/bin:/bin"}) {
        const std::string outPath = (m_Capture / "out").string();
        const std::string errPath = (m_Capture / "err").string();
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        if (stdinFd >= 0) {
            posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
        }
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        const int spawned =
            posix_spawnp(&m_Pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << args[0];
            m_Pid = 0;
        }
    }
    ~Running() {
        if (m_Pid > 0) {
            ::kill(m_Pid, SIGKILL);
            Wait();
        }
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    std::string OutSoFar() const { return ReadAll(m_Capture / "out"); }

    RunResult Wait() {
        RunResult run;
        if (m_Pid <= 0) {
            return run;
        }
        int status = 0;
        struct rusage usage {};
        ::wait4(m_Pid, &status, 0, &usage);
        m_Pid = 0;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.maxResidentKb = usage.ru_maxrss;
        run.out = ReadAll(m_Capture / "out");
        run.err = ReadAll(m_Capture / "err");
        return run;
    }

private:
    ScratchDir m_Capture;
    pid_t m_Pid = 0;
};

// Runs args[0] (a path, or a name looked up on PATH) in folder dir, with
// standard input read from stdinPath when one is given.
inline RunResult RunIn(const std::filesystem::path& dir, const std::vector<std::string>& args,
                       const std::filesystem::path& stdinPath = {}) {
    int in = -1;
    if (!stdinPath.empty()) {
        in = ::open(stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(in, 0) << stdinPath;
    }
    RunResult run = Running(dir, args, in).Wait();
    if (in >= 0) {
        ::close(in);
    }
    return run;
}

// Runs varnel-report with args in folder dir.
inline RunResult Report(const std::filesystem::path& dir, std::vector<std::string> args) {
    args.insert(args.begin(), ReportProgram());
    return RunIn(dir, args);
}

// How many times what stands in text, not overlapping.
inline std::size_t Count(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + what.size())) {
        ++count;
    }
    return count;
}

} // namespace varnel::test

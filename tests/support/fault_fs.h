#pragma once

// A FUSE file system whose files misbehave in known ways (short reads, a
// size that claims more than the file holds, read and open errors, a read
// that waits), served by tests/support/fault_fs.py in direct-I/O mode, so
// that what a reader gets is exactly what the file system answers.
//
//     if (const std::string& why = test::FaultFs::SkipReason(); !why.empty()) {
//         GTEST_SKIP() << why;
//     }
//     test::FaultFs fs;                       // mounted, or Error() says why
//     fs.Path() / "files"                     // the misbehaving files
//     fs.Manifest().at("files/short-100")     // bytes really served, digests
//     fs.Release();                           // lets blocking/stall's reads go on
//
// Every wait is bounded: a mount that does not come up, an unmount that does
// not finish or a server that does not end are given up on (the server is
// killed and its mount detached), so a test run never hangs on them.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace varnel::test {

// What the file system serves for one readable file: the number of bytes,
// and MD5, SHA-1 and CRC-32 of them in upper-case hexadecimal.
struct ServedFile {
    std::uint64_t size = 0;
    std::string md5;
    std::string sha1;
    std::string crc32;
};

class FaultFs {
public:
    using Clock = std::chrono::steady_clock;

    // Mounts the file system; Live() tells whether it came up.
    FaultFs() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "varnel-fault-fs-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            m_Error = "mkdtemp failed";
            return;
        }
        m_Dir = pattern;
        m_Mount = m_Dir / "mnt";
        std::filesystem::create_directory(m_Mount);
        m_Server = Spawn({kPython, Script().string(), m_Mount.string()}, m_Dir / "server.log");
        if (m_Server <= 0) {
            m_Error = "cannot start " + Script().string();
            return;
        }
        PollUntil(std::chrono::seconds(10), [this] { return Serving() || ServerEnded(); });
        if (!Serving()) {
            m_Error = "the file system did not come up: " + ReadText(m_Dir / "server.log");
        }
    }

    ~FaultFs() {
        if (m_Server > 0) {
            Release();
            // A file still open there makes the unmount fail: the mount is
            // then detached, and goes once its last user closes it.
            if (Attached() && RunBounded({"fusermount", "-u", m_Mount.string()}) != 0 &&
                RunBounded({"fusermount", "-u", "-z", m_Mount.string()}) != 0) {
                RunBounded({"umount", "-l", m_Mount.string()});
            }
            if (!PollUntil(std::chrono::seconds(5), [this] { return ServerEnded(); })) {
                ::kill(m_Server, SIGKILL);
                ::waitpid(m_Server, nullptr, 0);
                m_Server = 0;
            }
        }
        if (Attached()) {
            // A server that failed or was killed may leave its mount behind.
            RunBounded({"umount", "-l", m_Mount.string()});
        }
        if (!m_Dir.empty() && !Attached()) {
            std::error_code ec;
            std::filesystem::remove_all(m_Dir, ec);
        }
    }
    FaultFs(const FaultFs&) = delete;
    FaultFs& operator=(const FaultFs&) = delete;

    bool Live() const { return m_Error.empty(); }
    const std::string& Error() const { return m_Error; }
    // The mount point: files/ holds the misbehaving files, blocking/ the file
    // whose reads wait.
    const std::filesystem::path& Path() const { return m_Mount; }

    // Lets the reads that wait go on, and every later one.
    void Release() const {
        if (m_Server > 0) {
            ::kill(m_Server, SIGUSR1);
        }
    }

    // By name below the mount point ("files/short-100"), every readable file
    // with what the file system serves of it. Empty when it cannot be had.
    static const std::map<std::string, ServedFile>& Manifest() {
        static const std::map<std::string, ServedFile> manifest = [] {
            std::map<std::string, ServedFile> files;
            ScratchFile out;
            if (RunBounded({kPython, Script().string(), "--manifest"}, out.path) != 0) {
                return files;
            }
            std::istringstream lines(ReadText(out.path));
            std::string name;
            ServedFile file;
            while (std::getline(lines, name, '\t') &&
                   lines >> file.size >> file.md5 >> file.sha1 >> file.crc32) {
                files[name] = file;
                lines.ignore(1); // the line end
            }
            return files;
        }();
        return manifest;
    }

    // Why the file system cannot be used here (nothing to mount it with, or
    // a mount that fails), empty when it can. Found out once, by a trial
    // mount.
    static const std::string& SkipReason() {
        static const std::string reason = []() -> std::string {
            if (RunBounded({kPython, "-c", "import fusepy"}) != 0) {
                return std::string(kPython) + " cannot import fusepy (python3-fusepy is not "
                                              "installed)";
            }
            const int fuse = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
            if (fuse < 0) {
                return "no usable /dev/fuse";
            }
            ::close(fuse);
            if (Manifest().empty()) {
                return "fault_fs.py --manifest failed";
            }
            const FaultFs trial;
            return trial.Live() ? std::string() : "FUSE mounts fail here: " + trial.Error();
        }();
        return reason;
    }

    // Polls until done() holds or limit passes; true when it held.
    template <class Done> static bool PollUntil(std::chrono::milliseconds limit, Done done) {
        const Clock::time_point end = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() >= end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

private:
    static constexpr const char* kPython = "/usr/bin/python3";

    static std::filesystem::path Script() {
        return std::filesystem::path(VARNEL_TEST_DATA_DIR).parent_path() / "support" /
               "fault_fs.py";
    }

    struct ScratchFile {
        std::filesystem::path path;
        ScratchFile() {
            std::string pattern =
                (std::filesystem::temp_directory_path() / "varnel-fault-fs-XXXXXX").string();
            const int fd = ::mkstemp(pattern.data());
            if (fd >= 0) {
                ::close(fd);
                path = pattern;
            }
        }
        ~ScratchFile() {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    };

    static std::string ReadText(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Starts argv with standard output and error into outPath; 0 when it
    // cannot start.
    static pid_t Spawn(const std::vector<std::string>& args,
                       const std::filesystem::path& outPath = "/dev/null") {
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        std::string path = "PATH=/usr/bin:/bin:/usr/sbin:/sbin";
        std::string lang = "LANG=C.UTF-8";
        char* envp[] = {path.data(), lang.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = 0;
        const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp);
        posix_spawn_file_actions_destroy(&actions);
        return spawned == 0 ? pid : 0;
    }

    // Runs argv to its end, for at most limit (then it is killed); its exit
    // status, or -1 when it could not start, ended by a signal or ran late.
    static int RunBounded(const std::vector<std::string>& args,
                          const std::filesystem::path& outPath = "/dev/null",
                          std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const pid_t pid = Spawn(args, outPath);
        if (pid <= 0) {
            return -1;
        }
        int status = 0;
        if (!PollUntil(limit, [&] { return ::waitpid(pid, &status, WNOHANG) == pid; })) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The file system answers: the mount point is on another device than
    // its parent.
    bool Serving() const {
        struct stat mount {};
        struct stat parent {};
        return !m_Dir.empty() && ::stat(m_Mount.c_str(), &mount) == 0 &&
               ::stat(m_Dir.c_str(), &parent) == 0 && mount.st_dev != parent.st_dev;
    }
    // Something is mounted there, answering or not (a mount whose server
    // is gone fails every look-up).
    bool Attached() const {
        struct stat mount {};
        return !m_Dir.empty() && (::stat(m_Mount.c_str(), &mount) != 0 || Serving());
    }
    // Reaps the server once it has ended.
    bool ServerEnded() {
        if (m_Server > 0 && ::waitpid(m_Server, nullptr, WNOHANG) == m_Server) {
            m_Server = 0;
        }
        return m_Server <= 0;
    }

    std::filesystem::path m_Dir;
    std::filesystem::path m_Mount;
    pid_t m_Server = 0;
    std::string m_Error;
};

} // namespace varnel::test

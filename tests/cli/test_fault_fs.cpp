// varnel-report on files that misbehave when read. On a FUSE file system
// that answers reads short, claims more bytes than a file holds, or fails
// reads and opens, every report and check must agree with the bytes really
// served, or name the file as failing. A FIFO met by a folder walk or named
// in a list must never be opened: opening it lets a writer blocked on it go.

#include "tests/cli/run_program.h"
#include "tests/digest/digest_test_support.h"
#include "tests/support/fault_fs.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <sstream>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::FaultFs;
using test::RunIn;
using test::RunResult;
using test::ScratchDir;

// The files below files/ of the fault file system: served ones must be
// reported with the manifest's size and digests, failing ones named.
// (blocking/ holds a file whose reads wait: it is never reported here.)
struct ServedCase {
    const char* name;
    bool fails;
};
constexpr ServedCase kFiles[] = {
    {"plain-3", false},   {"plain-1k", false},  {"plain-4k", false}, {"capped-1000", false},
    {"short-100", false}, {"size-lies", false}, {"eio-late", true},  {"eio-open", true},
};

// The value lines of one report block, by name.
struct Block {
    std::string size;
    std::string crc32;
    std::string sha1;
    std::string md5;
};

// Blocks of a report written with --crc32 --no-time, by the file's name
// without its folder: name, size, CRC-32, SHA-1 and MD5 lines.
std::map<std::string, Block> ParseBlocks(const std::string& out) {
    std::map<std::string, Block> blocks;
    std::istringstream lines(out);
    std::vector<std::string> values;
    const auto flush = [&] {
        if (values.size() == 5) {
            const std::string leaf = values[0].substr(values[0].rfind('/') + 1);
            const std::string digits = values[1].substr(0, values[1].find(' '));
            blocks[leaf] = {digits, values[2], values[3], values[4]};
        } else if (!values.empty()) {
            blocks["(damaged block)"] = {};
        }
        values.clear();
    };
    const std::string colon = "：";
    for (std::string line; std::getline(lines, line);) {
        std::erase(line, '\r');
        if (line.empty()) {
            flush();
            continue;
        }
        const std::size_t at = line.find(colon);
        std::string value = at == std::string::npos ? line : line.substr(at + colon.size());
        while (!value.empty() && value.back() == ' ') {
            value.pop_back();
        }
        values.push_back(value);
    }
    flush();
    return blocks;
}

class FaultFsReport : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string& reason = FaultFs::SkipReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        m_Fs = std::make_unique<FaultFs>();
        ASSERT_TRUE(m_Fs->Live()) << m_Fs->Error();
    }

    fs::path Folder() const { return m_Fs->Path() / "files"; }
    static const test::ServedFile& Served(const std::string& name) {
        return FaultFs::Manifest().at("files/" + name);
    }

    std::unique_ptr<FaultFs> m_Fs;
    ScratchDir m_Dir;
};

// Short reads are answered one way on one run and another on the next: the
// folder is reported several times.
TEST_F(FaultFsReport, ReportsTheBytesServedAndNamesTheFilesThatFail) {
    for (int run = 0; run < 5 && !HasFailure(); ++run) {
        const RunResult report =
            RunIn(m_Dir.path(), {test::ReportProgram(), "--crc32", "--no-time", Folder()});
        EXPECT_EQ(report.status, 1) << report.err;
        const std::map<std::string, Block> blocks = ParseBlocks(report.out);
        EXPECT_EQ(blocks.size(), std::size(kFiles)) << report.out;
        for (const ServedCase& c : kFiles) {
            SCOPED_TRACE(std::string(c.name) + ", run " + std::to_string(run));
            const auto block = blocks.find(c.name);
            ASSERT_NE(block, blocks.end()) << report.out;
            const bool named =
                report.err.find((Folder() / c.name).string() + ":") != std::string::npos;
            EXPECT_EQ(named, c.fails) << report.err;
            if (c.fails) {
                EXPECT_EQ(block->second.crc32, "00000000");
                EXPECT_EQ(block->second.sha1, "");
                EXPECT_EQ(block->second.md5, "");
            } else {
                const test::ServedFile& served = Served(c.name);
                EXPECT_EQ(block->second.size, std::to_string(served.size));
                EXPECT_EQ(block->second.crc32, served.crc32);
                EXPECT_EQ(block->second.sha1, served.sha1);
                EXPECT_EQ(block->second.md5, served.md5);
            }
        }
    }
}

TEST_F(FaultFsReport, ChecksListsAgainstTheBytesServed) {
    struct Digest {
        const char* format;
        std::string test::ServedFile::*member;
        std::size_t length;
    };
    const Digest digests[] = {{"md5sum", &test::ServedFile::md5, 32},
                              {"sha1sum", &test::ServedFile::sha1, 40}};
    for (const Digest& digest : digests) {
        // A failing file is listed with a digest of the right form; what it
        // holds can never be read, so any digest fails.
        std::string list;
        std::string expected;
        for (const ServedCase& c : kFiles) {
            std::string hex(digest.length, '0');
            if (!c.fails) {
                hex = Served(c.name).*digest.member;
                std::transform(hex.begin(), hex.end(), hex.begin(),
                               [](unsigned char ch) { return std::tolower(ch); });
            }
            list += hex + "  " + (Folder() / c.name).string() + "\n";
            expected +=
                (Folder() / c.name).string() + (c.fails ? ": FAILED open or read\n" : ": OK\n");
        }
        test::WriteFile(m_Dir / "list", list);
        for (int run = 0; run < 3; ++run) {
            const RunResult checked =
                RunIn(m_Dir.path(), {test::ReportProgram(), "--check", "list"});
            EXPECT_EQ(checked.out, expected) << digest.format << ", run " << run;
            EXPECT_EQ(checked.status, 1) << checked.err;
            if (checked.out != expected) {
                break;
            }
        }
    }
}

// A process blocked in opening a FIFO for writing, as a writer waiting for
// a reader is: any open of the FIFO for reading lets it go.
class BlockedWriter {
public:
    explicit BlockedWriter(const fs::path& fifo) : m_Fifo(fifo) {
        const char* path = m_Fifo.c_str();
        m_Pid = ::fork();
        if (m_Pid == 0) {
            const int fd = ::open(path, O_WRONLY);
            _exit(fd >= 0 && ::write(fd, "w", 1) == 1 ? 0 : 2);
        }
    }
    ~BlockedWriter() {
        if (m_Pid > 0) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, nullptr, 0);
        }
    }
    BlockedWriter(const BlockedWriter&) = delete;
    BlockedWriter& operator=(const BlockedWriter&) = delete;

    // Asleep in its open: a writer that has been let go is running or
    // runnable, or has ended.
    bool Blocked() const {
        const std::string stat = test::ReadAll("/proc/" + std::to_string(m_Pid) + "/stat");
        const std::string call = test::ReadAll("/proc/" + std::to_string(m_Pid) + "/syscall");
        const std::size_t end = stat.rfind(')');
        // Where the system call in progress cannot be read, the sleep alone
        // tells: the writer sleeps nowhere else.
        return m_Pid > 0 && end != std::string::npos && stat.compare(end, 3, ") S") == 0 &&
               (call.empty() || call.starts_with(std::to_string(SYS_openat) + " "));
    }

    // Opens the FIFO for reading; true when the writer then wrote its byte
    // and ended well, as one that was still waiting does.
    bool Release() {
        const int fd = ::open(m_Fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        int status = 0;
        const bool ended = FaultFs::PollUntil(
            std::chrono::seconds(10), [&] { return ::waitpid(m_Pid, &status, WNOHANG) == m_Pid; });
        if (ended) {
            m_Pid = 0;
        }
        char byte = 0;
        const bool wrote = fd >= 0 && ::read(fd, &byte, 1) == 1 && byte == 'w';
        if (fd >= 0) {
            ::close(fd);
        }
        return wrote && ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    fs::path m_Fifo;
    pid_t m_Pid = 0;
};

TEST(FolderWalkFifo, FifosInFoldersAndListsAreNeverOpened) {
    struct Case {
        const char* what;
        bool linked; // the folder holds a link to a FIFO elsewhere
        bool check;  // a list naming the entry is checked, not the folder reported
    };
    const Case cases[] = {
        {"a FIFO in the folder", false, false},
        {"a link in the folder to a FIFO", true, false},
        {"a list naming a FIFO", false, true},
        {"a list naming a link to a FIFO", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir other;
        ScratchDir dir;
        test::WriteFile(dir / "regular", std::string("bytes\n"));
        const fs::path fifo = (c.linked ? other : dir) / "fifo";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        if (c.linked) {
            fs::create_symlink(fifo, dir / "link");
        }
        const std::string entry = c.linked ? "link" : "fifo";
        test::WriteFile(dir / "list", "d41d8cd98f00b204e9800998ecf8427e  " + entry + "\n");

        BlockedWriter writer(fifo);
        ASSERT_TRUE(FaultFs::PollUntil(std::chrono::seconds(10), [&] { return writer.Blocked(); }))
            << "the writer never came to wait";
        std::vector<std::string> args = {test::ReportProgram()};
        if (c.check) {
            args.insert(args.end(), {"--check", "list"});
        } else {
            args.push_back(dir.path());
        }
        const RunResult run = RunIn(dir.path(), args);
        const bool blocked = writer.Blocked();
        EXPECT_TRUE(blocked) << "the FIFO was opened: its writer was let go\n"
                             << run.out << run.err;
        if (c.check) {
            EXPECT_EQ(run.status, 1) << run.out << run.err;
            EXPECT_EQ(run.out.find(": OK"), std::string::npos) << run.out;
        }
        if (blocked) {
            EXPECT_TRUE(writer.Release()) << "the writer did not go on once the FIFO was opened";
        }
    }
}

} // namespace
} // namespace varnel

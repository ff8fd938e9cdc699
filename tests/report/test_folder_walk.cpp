// The folder walk: depth-first order (a folder's files before its subfolders'),
// hidden entries left out, separators, links and loops, odd entries.

#include "report/folder_walk.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;
using test::WriteFile;

std::vector<std::string> Walk(std::string folder) {
    std::vector<std::string> files;
    CollectFolderFiles(folder, files);
    return files;
}

// The order the walk must give, worked out with the standard library's
// directory listing (which lists a folder in the system's order, as the walk
// does): a folder's files in listing order, then each subfolder's files.
void ReferenceWalk(const std::string& folder, std::vector<std::string>& out) {
    std::vector<std::string> subfolders;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.') {
            continue;
        }
        if (entry.is_directory()) {
            subfolders.push_back(folder + name + "/");
        } else {
            out.push_back(folder + name);
        }
    }
    for (const std::string& sub : subfolders) {
        ReferenceWalk(sub, out);
    }
}

TEST(FolderWalk, FilesOfAFolderComeBeforeTheFilesOfItsSubfolder) {
    ScratchDir dir;
    const std::string root = dir.path().string() + "/";
    WriteFile(dir / "a", std::string("a"));
    fs::create_directory(dir / "s");
    WriteFile(dir / "s/c", std::string("c"));
    WriteFile(dir / "b", std::string("b"));

    const auto files = Walk(dir.path().string());
    ASSERT_EQ(files.size(), 3u);
    // a and b in the system's order, then s/c.
    EXPECT_EQ(std::set<std::string>(files.begin(), files.begin() + 2),
              (std::set<std::string>{root + "a", root + "b"}));
    EXPECT_EQ(files[2], root + "s/c");
}

TEST(FolderWalk, DeeperTreeFollowsTheDepthFirstOrder) {
    ScratchDir dir;
    for (const char* folder : {"p", "p/q", "p/q/r", "x", "x/y", "z"}) {
        fs::create_directory(dir / folder);
    }
    for (const char* file :
         {"1", "2", "p/3", "p/q/4", "p/q/r/5", "p/q/r/6", "x/7", "x/y/8", "p/9", "z/10"}) {
        WriteFile(dir / file, std::string(file));
    }
    const auto files = Walk(dir.path().string());
    std::vector<std::string> expected;
    ReferenceWalk(dir.path().string() + "/", expected);
    EXPECT_EQ(files, expected);
    EXPECT_EQ(files.size(), 10u);
    // Structure whatever the listing order: the files of the top folder come
    // first, and every folder's files stand together.
    EXPECT_EQ(std::set<std::string>(files.begin(), files.begin() + 2),
              (std::set<std::string>{dir.path().string() + "/1", dir.path().string() + "/2"}));
}

TEST(FolderWalk, HiddenFilesAndFoldersAreLeftOut) {
    ScratchDir dir;
    WriteFile(dir / ".hidden", std::string("h"));
    fs::create_directory(dir / ".git");
    WriteFile(dir / ".git/config", std::string("c"));
    fs::create_directory(dir / "sub");
    WriteFile(dir / "sub/.also", std::string("h"));
    WriteFile(dir / "sub/seen", std::string("s"));
    EXPECT_EQ(Walk(dir.path().string()),
              std::vector<std::string>{dir.path().string() + "/sub/seen"});
}

TEST(FolderWalk, TrailingSeparatorOrNotGivesTheSamePaths) {
    ScratchDir dir;
    fs::create_directory(dir / "s");
    WriteFile(dir / "s/c", std::string("c"));
    WriteFile(dir / "a", std::string("a"));

    std::string without = dir.path().string();
    std::string with = without + "/";
    std::vector<std::string> first;
    std::vector<std::string> second;
    CollectFolderFiles(without, first);
    CollectFolderFiles(with, second);
    EXPECT_EQ(first, second);
    EXPECT_EQ(without, with); // the folder text gets its separator
    for (const std::string& path : first) {
        EXPECT_EQ(path.find("//"), std::string::npos) << path;
    }
    EXPECT_EQ(first.back(), dir.path().string() + "/s/c");
}

TEST(FolderWalk, EmptyFoldersGiveNothing) {
    ScratchDir dir;
    EXPECT_TRUE(Walk(dir.path().string()).empty());
    fs::create_directory(dir / "e1");
    fs::create_directory(dir / "e1/e2");
    WriteFile(dir / ".only-hidden", std::string("h"));
    EXPECT_TRUE(Walk(dir.path().string()).empty());
    EXPECT_TRUE(Walk("").empty()); // names no folder: the root is not walked
}

TEST(FolderWalk, LinkBackUpTheTreeEnds) {
    ScratchDir dir;
    fs::create_directory(dir / "s");
    WriteFile(dir / "a", std::string("a"));
    WriteFile(dir / "s/c", std::string("c"));
    fs::create_directory_symlink(dir.path(), dir / "s/up");
    fs::create_directory_symlink(dir.path() / "s", dir / "again");

    const auto files = Walk(dir.path().string());
    // Each file once, through the first way the walk reached its folder.
    std::set<std::string> names;
    for (const std::string& path : files) {
        names.insert(fs::path(path).filename().string());
    }
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(names, (std::set<std::string>{"a", "c"}));
}

TEST(FolderWalk, OddEntriesAreListedAsFilesAndLinksToNothingAsProblems) {
    ScratchDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    fs::create_symlink("loop", dir / "loop");
    WriteFile(dir / "real", std::string("r"));
    fs::create_symlink(dir / "real", dir / "link-to-file");

    std::string folder = dir.path().string();
    std::vector<std::string> files;
    std::vector<FolderWalkProblem> problems;
    CollectFolderFiles(folder, files, &problems);
    const std::string root = dir.path().string() + "/";
    EXPECT_EQ(std::set<std::string>(files.begin(), files.end()),
              (std::set<std::string>{root + "pipe", root + "real", root + "link-to-file"}));
    // The dangling link and the loop are links that lead nowhere, not
    // folders that could not be searched.
    std::set<std::string> told;
    for (const FolderWalkProblem& problem : problems) {
        EXPECT_TRUE(problem.leadsNowhere) << problem.folder;
        told.insert(problem.folder + " " + DescribeProblem(problem));
    }
    EXPECT_EQ(told, (std::set<std::string>{
                        root + "dangling a link that leads nowhere: No such file or directory",
                        root + "loop a link that leads nowhere: Too many levels of symbolic links",
                    }));
}

TEST(FolderWalk, FolderThatCannotBeSearchedContributesNothing) {
    ScratchDir dir;
    std::string missing = (dir / "missing").string();
    std::vector<std::string> files;
    std::vector<FolderWalkProblem> problems;
    CollectFolderFiles(missing, files, &problems);
    EXPECT_TRUE(files.empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].folder, missing);

    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not apply to root";
    }
    fs::create_directory(dir / "locked");
    WriteFile(dir / "locked/x", std::string("x"));
    WriteFile(dir / "open", std::string("o"));
    fs::permissions(dir / "locked", fs::perms::none);
    EXPECT_EQ(Walk(dir.path().string()), std::vector<std::string>{dir.path().string() + "/open"});
    fs::permissions(dir / "locked", fs::perms::owner_all);
}

TEST(FolderWalk, VeryDeepTreeDoesNotExhaustTheStack) {
    // Deeper than any full path can reach (PATH_MAX), built with relative
    // steps from a descriptor. In memory when the system offers it: removing
    // thousands of folders from a journalled disk takes seconds.
    std::string pattern =
        (fs::exists("/dev/shm") ? std::string("/dev/shm") : fs::temp_directory_path().string()) +
        "/varnel-deep-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    struct Remove {
        fs::path path;
        ~Remove() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } dir{pattern};
    constexpr int kDepth = 2500;
    int fd = ::open(dir.path.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < kDepth; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0700), 0);
        if (i % 1000 == 0) {
            const int file = ::openat(fd, "f", O_WRONLY | O_CREAT, 0600);
            ASSERT_GE(file, 0);
            ::close(file);
        }
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ::close(fd);

    std::string folder = dir.path.string();
    std::vector<std::string> files;
    std::vector<FolderWalkProblem> problems;
    CollectFolderFiles(folder, files, &problems);
    // Files are found while their paths stay within the system's limit; the
    // folders beyond it cannot be searched and contribute nothing.
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files[0], folder + "f");
    for (std::size_t i = 1; i < files.size(); ++i) {
        EXPECT_GT(files[i].size(), files[i - 1].size());
    }
    EXPECT_LE(problems.size(), 1u);

    // Take the tree down one level at a time from the top (d/d moves up in
    // place of d), so that no path grows long and no recursion is needed.
    const int top = ::open(dir.path.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(top, 0);
    for (int i = 0; i < kDepth; ++i) {
        ::unlinkat(top, "d/f", 0);
        if (::renameat(top, "d/d", top, "next") != 0) {
            break;
        }
        ASSERT_EQ(::unlinkat(top, "d", AT_REMOVEDIR), 0);
        ASSERT_EQ(::renameat(top, "next", top, "d"), 0);
    }
    ::close(top);
}

// Which folders a walk enters besides those of its own file system: the
// links below stand in for mount points (the walk follows links to folders).
// Pseudo file systems are passed over below the named folder, whatever the
// rules; another ordinary file system only under -x.
TEST(FolderWalk, PseudoAndOtherFileSystemsBelowTheNamedFolder) {
    struct stat here {};
    struct stat shm {};
    ScratchDir dir;
    ASSERT_EQ(::stat(dir.path().c_str(), &here), 0);
    const bool otherFs = ::stat("/dev/shm", &shm) == 0 && shm.st_dev != here.st_dev;
    ScratchDir other("/dev/shm");
    if (otherFs) {
        WriteFile(other.path() / "elsewhere.txt", "x");
        fs::create_directory_symlink(other.path(), dir.path() / "mounted");
    }
    WriteFile(dir.path() / "own.txt", "x");
    fs::create_directory_symlink("/proc/self", dir.path() / "proc");
    fs::create_directory_symlink("/sys/kernel", dir.path() / "sys");

    struct Case {
        const char* what;
        bool oneFileSystem;
        bool seesOtherFs;
    };
    for (const Case& c : {Case{"plain walk", false, true}, Case{"-x", true, false}}) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> files;
        std::string folder = dir.path().string();
        WalkFolderFiles(
            folder,
            [&files](std::string&& path, platform::EntryKind) {
                files.push_back(std::move(path));
                return true;
            },
            nullptr, nullptr, WalkRules{.oneFileSystem = c.oneFileSystem});
        const auto count = [&files](std::string_view part) {
            return std::count_if(files.begin(), files.end(), [part](const std::string& path) {
                return path.find(part) != std::string::npos;
            });
        };
        EXPECT_EQ(count("/own.txt"), 1);
        EXPECT_EQ(count("/proc/"), 0);
        EXPECT_EQ(count("/sys/"), 0);
        if (otherFs) {
            EXPECT_EQ(count("/mounted/elsewhere.txt"), c.seesOtherFs ? 1 : 0);
        }
    }
    // A pseudo file system's folder named itself is walked.
    EXPECT_FALSE(Walk("/proc/self/fdinfo").empty());
}

} // namespace
} // namespace varnel

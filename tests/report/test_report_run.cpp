// A report run: its blocks in walk order and with the text of one file at a
// time, whatever the workers and the look-ahead; the four kinds of items; a
// stop that hands out nothing more; the figures its progress is shown from.

#include "report/folder_walk.h"
#include "report/report.h"
#include "report/report_run.h"
#include "report/run_progress.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <tuple>

namespace varnel {
namespace {

using test::PseudoRandomBytes;
using test::ScratchDir;
using test::WriteFile;

// a (3 files, one of them large enough for the MD5 helper), a/s (2 files),
// a hidden file, and a single file beside the folder.
struct Tree {
    ScratchDir dir;
    std::string folder;
    std::string single;
    std::uint64_t bytes = 0;

    Tree() {
        folder = (dir / "a").string();
        std::filesystem::create_directories(dir / "a" / "s");
        const std::pair<const char*, std::size_t> files[] = {
            {"a/one", 10},
            {"a/two", 0},
            {"a/big", static_cast<std::size_t>(FileHasher::kSplitThreshold) + 5},
            {"a/s/three", 70000},
            {"a/s/four", 1},
            {"single", 33}};
        for (const auto& [name, size] : files) {
            WriteFile(dir / name, PseudoRandomBytes(size, static_cast<std::uint32_t>(size)));
            bytes += size;
        }
        WriteFile(dir / "a" / ".hidden", std::string("h"));
        single = (dir / "single").string();
    }
};

ReportOptions AllLines() {
    ReportOptions options;
    options.ShowCRC32 = true;
    return options;
}

std::string OneAtATime(const std::vector<std::string>& paths, const ReportOptions& options) {
    std::string text;
    for (const std::string& path : paths) {
        AppendReportBlock(text, DisplayText(path), GatherFileFacts(path, options), options, {});
    }
    return text;
}

ReportRun::Settings Formatting(unsigned workers, std::size_t ahead) {
    ReportRun::Settings settings;
    settings.options = AllLines();
    settings.services = [] { return ReportServices{}; };
    settings.workers = workers;
    settings.maxFilesAhead = ahead;
    return settings;
}

TEST(ReportRun, BlocksComeInWalkOrderWithTheTextOfOneFileAtATime) {
    Tree tree;
    std::string folder = tree.folder;
    std::vector<std::string> walked;
    CollectFolderFiles(folder, walked);
    // File, Folder, FileThenFolder (a folder), FolderElseFile (a file), and
    // a missing file, which still gets its calm block.
    std::vector<std::string> expectedPaths = {tree.single};
    expectedPaths.insert(expectedPaths.end(), walked.begin(), walked.end());
    expectedPaths.push_back(tree.folder);
    expectedPaths.insert(expectedPaths.end(), walked.begin(), walked.end());
    expectedPaths.push_back(tree.single);
    expectedPaths.push_back(tree.single + ".missing");
    const std::string expected = OneAtATime(expectedPaths, AllLines());

    for (const auto& [workers, ahead] :
         {std::pair{1u, std::size_t{1}}, std::pair{3u, std::size_t{2}},
          std::pair{0u, std::size_t{256}}}) {
        SCOPED_TRACE(std::to_string(workers) + " workers, " + std::to_string(ahead) + " ahead");
        ReportRun run({RunItem::File(tree.single),
                       RunItem::Folder(tree.folder),
                       {tree.folder, RunItem::Kind::FileThenFolder},
                       {tree.single, RunItem::Kind::FolderElseFile},
                       RunItem::File(tree.single + ".missing")},
                      Formatting(workers, ahead));
        std::vector<RunBlock> blocks;
        while (run.WaitReady(blocks)) {
        }
        EXPECT_TRUE(run.Ended());
        std::vector<std::string> paths;
        std::string text;
        for (const RunBlock& block : blocks) {
            paths.push_back(block.path);
            text += block.text;
        }
        EXPECT_EQ(paths, expectedPaths);
        EXPECT_EQ(text, expected);

        const RunProgress progress = run.Progress();
        EXPECT_TRUE(progress.walkEnded);
        EXPECT_EQ(progress.filesDone, expectedPaths.size());
        EXPECT_EQ(progress.filesFound, expectedPaths.size());
        EXPECT_EQ(progress.bytesDone, 2 * tree.bytes); // the folder twice, the single file twice
        EXPECT_EQ(progress.bytesKnown, progress.bytesDone);
    }
}

TEST(ReportRun, AfterStopNothingMoreIsHandedOut) {
    Tree tree;
    ReportRun run({RunItem::Folder(tree.folder), RunItem::Folder(tree.folder)}, Formatting(2, 256));
    std::vector<RunBlock> blocks;
    ASSERT_TRUE(run.WaitReady(blocks, 1));
    ASSERT_EQ(blocks.size(), 1u);
    run.Stop();
    EXPECT_TRUE(run.Ended());
    EXPECT_EQ(run.TakeReady(blocks), 0u);
    EXPECT_FALSE(run.WaitReady(blocks));
    EXPECT_EQ(blocks.size(), 1u);
}

TEST(ReportRun, FoldersThatCannotBeSearchedAreToldOnce) {
    Tree tree;
    ReportRun run({RunItem::Folder(tree.folder + "/missing"), RunItem::Folder(tree.single)},
                  Formatting(1, 4));
    std::vector<RunBlock> blocks;
    while (run.WaitReady(blocks)) {
    }
    EXPECT_TRUE(blocks.empty());
    const std::vector<FolderWalkProblem> problems = run.TakeProblems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].folder, tree.folder + "/missing/");
    EXPECT_EQ(problems[1].folder, tree.single + "/");
    EXPECT_TRUE(run.TakeProblems().empty());
}

// Files handed in piece by piece (a checksum list being read) come out in
// their order; the run waits for more until its files are ended.
TEST(ReportRun, FilesHandedInComeInTheirOrder) {
    Tree tree;
    std::vector<std::string> walked;
    std::string folder = tree.folder;
    CollectFolderFiles(folder, walked);
    std::vector<std::string> paths = walked;
    paths.push_back(tree.single + ".missing");
    paths.insert(paths.end(), walked.begin(), walked.end());
    const std::string expected = OneAtATime(paths, AllLines());

    for (const auto& [workers, ahead, piece] :
         {std::tuple{1u, std::size_t{1}, std::size_t{1}},
          std::tuple{2u, std::size_t{3}, std::size_t{4}},
          std::tuple{0u, std::size_t{256}, std::size_t{100}}}) {
        SCOPED_TRACE(std::to_string(workers) + " workers, pieces of " + std::to_string(piece));
        ReportRun run(Formatting(workers, ahead));
        std::vector<RunBlock> blocks;
        for (std::size_t at = 0; at < paths.size(); at += piece) {
            const auto end =
                paths.begin() + static_cast<std::ptrdiff_t>(std::min(at + piece, paths.size()));
            EXPECT_TRUE(run.AddFiles({paths.begin() + static_cast<std::ptrdiff_t>(at), end}));
            run.TakeReady(blocks);
        }
        // Every file may be done, but more could follow.
        EXPECT_FALSE(run.Ended());
        EXPECT_TRUE(run.WaitReady(blocks, paths.size(), std::chrono::milliseconds(1)));
        run.EndFiles();
        EXPECT_FALSE(run.AddFiles({tree.single}));
        while (run.WaitReady(blocks)) {
        }
        EXPECT_TRUE(run.Ended());
        std::string text;
        for (const RunBlock& block : blocks) {
            text += block.text;
        }
        EXPECT_EQ(blocks.size(), paths.size());
        EXPECT_EQ(text, expected);
    }
    // A run of items lists its own files.
    ReportRun items({RunItem::File(tree.single)}, Formatting(1, 4));
    EXPECT_FALSE(items.AddFiles({tree.single}));
}

// The consumer is told once that every file is finished, when its last block
// is ready (not before), and never after a stop.
TEST(ReportRun, ToldOnceWhenEveryFileIsFinished) {
    Tree tree;
    struct Case {
        std::vector<RunItem> items;
        bool stop;
        int told;
    };
    const Case cases[] = {
        {{RunItem::Folder(tree.folder), RunItem::File(tree.single)}, false, 1},
        {{}, false, 1},
        {{RunItem::Folder(tree.folder)}, true, 0},
    };
    for (const Case& c : cases) {
        std::atomic<int> told{0};
        std::atomic<bool> allReadyWhenTold{false};
        ReportRun* running = nullptr;
        ReportRun::Settings settings = Formatting(2, 256);
        std::promise<void> made;
        std::shared_future<void> madeFuture = made.get_future().share();
        settings.whenAllReady = [&] {
            madeFuture.wait();
            ++told;
            // Every block can be taken now without waiting.
            const RunProgress progress = running->Progress();
            allReadyWhenTold = progress.walkEnded && progress.filesStarted == progress.filesFound;
        };
        ReportRun run(c.items, std::move(settings));
        running = &run;
        if (c.stop) {
            run.Stop();
        }
        made.set_value();
        std::vector<RunBlock> blocks;
        while (run.WaitReady(blocks)) {
        }
        while (!run.ThreadsDone()) {
            std::this_thread::yield();
        }
        EXPECT_EQ(told.load(), c.told);
        if (c.told > 0) {
            EXPECT_TRUE(allReadyWhenTold.load());
        }
    }
}

// A consumer on a timer is told when a batch of blocks waits, and not told
// again until it has taken some: with room for one batch ahead, once per
// batch, and never for a last batch smaller than the rest.
TEST(ReportRun, ToldOfEachWaitingBatchOnceUntilSomeAreTaken) {
    struct Case {
        int files;
        std::size_t batch;
        int told; // batches of the full size
    };
    for (const Case c : {Case{40, 8, 5}, Case{20, 8, 2}}) {
        ScratchDir dir;
        for (int i = 0; i < c.files; ++i) {
            WriteFile(dir / ("f" + std::to_string(100 + i)),
                      std::string(static_cast<std::size_t>(1 + i), 'x'));
        }
        std::atomic<int> told{0};
        ReportRun::Settings settings = Formatting(2, c.batch);
        settings.readyBatch = c.batch;
        settings.whenReady = [&] { ++told; };
        ReportRun run({RunItem::Folder(dir.path().string())}, std::move(settings));
        const auto waitForTold = [&](int count) {
            for (int i = 0; i < 5000 && told.load() < count; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            // Held there: the workers wait for room and nothing is taken.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return told.load();
        };
        std::vector<RunBlock> blocks;
        for (int batch = 1; batch <= c.told; ++batch) {
            ASSERT_EQ(waitForTold(batch), batch) << c.files << " files";
            EXPECT_EQ(run.TakeReady(blocks), c.batch);
        }
        while (run.WaitReady(blocks)) {
        }
        EXPECT_EQ(blocks.size(), static_cast<std::size_t>(c.files));
        EXPECT_EQ(told.load(), c.told);
    }
}

TEST(ReportRun, NoItemsEndsAtOnce) {
    ReportRun run({}, Formatting(1, 4));
    std::vector<RunBlock> blocks;
    EXPECT_FALSE(run.WaitReady(blocks));
    EXPECT_TRUE(run.Ended());
}

TEST(RunProgressFigures, TotalsAndTimeLeftOnlyOnceTheWalkHasEnded) {
    using namespace std::chrono_literals;
    struct Case {
        const char* name;
        RunProgress progress;
        const char* english;
    };
    // sized: the files whose sizes are counted in known.
    const auto at = [](std::size_t done, std::size_t sized, std::size_t found, bool ended,
                       std::uint64_t bytes, std::uint64_t known, std::chrono::seconds elapsed) {
        RunProgress p;
        p.filesDone = done;
        p.filesStarted = sized;
        p.filesSized = sized;
        p.filesFound = found;
        p.walkEnded = ended;
        p.bytesDone = bytes;
        p.bytesKnown = known;
        p.elapsed = elapsed;
        return p;
    };
    const auto claimedAhead = [&at](std::size_t started, RunProgress p) {
        p.filesStarted = started;
        return p;
    };
    const Case cases[] = {
        {"walking", at(5, 6, 40, false, 10'000'000, 12'000'000, 2s),
         "5 files, 10.0 MB, 5.0 MB/s, still finding files"},
        // Half of one 4 GB file in 4 s: 4 s to go.
        {"one large file", at(0, 1, 1, true, 2'000'000'000, 4'000'000'000, 4s),
         "0/1 files, 2000.0 MB, 500.0 MB/s, 0:04 left"},
        // 100 files reached of 400, 1 MB each, 50 MB read in 10 s: 350 MB
        // to go at 5 MB/s.
        {"many files", at(50, 100, 400, true, 50'000'000, 100'000'000, 10s),
         "50/400 files, 50.0 MB, 5.0 MB/s, 1:10 left"},
        // Eight 1.5 GB files claimed at once, the first opened and half
        // read in a second: the seven others are as large, 11.25 GB to go.
        {"large files claimed ahead",
         claimedAhead(8, at(0, 1, 8, true, 750'000'000, 1'500'000'000, 1s)),
         "0/8 files, 750.0 MB, 750.0 MB/s, 0:15 left"},
        // Ten files done, five of them never opened (no size): the five
        // left are as large as the five known.
        {"files that failed", at(10, 5, 15, true, 5'000'000, 5'000'000, 5s),
         "10/15 files, 5.0 MB, 1.0 MB/s, 0:05 left"},
        // Empty files: by the count of files.
        {"empty files", at(100, 120, 300, true, 0, 0, 2s),
         "100/300 files, 0.0 MB, 0.0 MB/s, 0:04 left"},
        {"done", at(3, 3, 3, true, 3, 3, 1s), "3/3 files, 0.0 MB, 0.0 MB/s"},
        {"over an hour", at(1, 2, 2, true, 1'000'000, 4'000'000'000, 1s),
         "1/2 files, 1.0 MB, 1.0 MB/s, 1:06:39 left"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProgressTextEnglish(FiguresOf(c.progress)), c.english);
    }
    EXPECT_EQ(ProgressTextChinese(FiguresOf(cases[1].progress)),
              "已完成 0/1 个文件，2000.0 MB，500.0 MB/s，剩余 0:04");
    EXPECT_EQ(ProgressTextChinese(FiguresOf(cases[0].progress)),
              "已完成 5 个文件，10.0 MB，5.0 MB/s，仍在查找文件");
}

} // namespace
} // namespace varnel

// The pipelined batch: the same facts as one file at a time, in list order,
// whatever the look-ahead; a stop at any moment ends it promptly.

#include "report/batch_report.h"
#include "report/report.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>

namespace varnel {
namespace {

using test::PseudoRandomBytes;
using test::ScratchDir;
using test::WriteFile;

ReportOptions AllDigests() {
    ReportOptions o;
    o.ShowCRC32 = true;
    o.ShowVersion = true;
    return o;
}

// A list with every kind of entry: files of many sizes (one large enough to
// be split over two threads), an empty one, a missing one, a FIFO, a folder.
std::vector<std::filesystem::path> MixedList(const ScratchDir& dir) {
    std::vector<std::filesystem::path> paths;
    for (std::uint32_t i = 0; i < 40; ++i) {
        const auto path = dir / ("f" + std::to_string(i));
        WriteFile(path, PseudoRandomBytes(i * 997u, i));
        paths.push_back(path);
    }
    WriteFile(dir / "big", PseudoRandomBytes(FactsGatherer::kSplitThreshold + 12345, 99));
    paths.insert(paths.begin() + 7, dir / "big");
    paths.insert(paths.begin() + 3, dir / "missing");
    EXPECT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    paths.insert(paths.begin() + 20, dir / "fifo");
    paths.insert(paths.begin() + 25, dir.path());
    return paths;
}

// The version query stands for any thread-safe service: it names the file.
std::string NameAsVersion(const std::filesystem::path& p) {
    return p.filename().string();
}

std::string SequentialText(const std::vector<std::filesystem::path>& paths,
                           const ReportOptions& options) {
    std::string text;
    for (const auto& path : paths) {
        AppendReportBlock(text, path.string(), GatherFileFacts(path, options, NameAsVersion),
                          options, {});
    }
    return text;
}

std::string BatchText(const std::vector<std::filesystem::path>& paths, const ReportOptions& options,
                      BatchReporter::Limits limits) {
    BatchReporter batch(paths, options, NameAsVersion, limits);
    std::string text;
    std::size_t i = 0;
    while (std::optional<FileFacts> facts = batch.Next()) {
        AppendReportBlock(text, batch.path(i).string(), *facts, options, {});
        ++i;
    }
    EXPECT_EQ(i, paths.size());
    EXPECT_FALSE(batch.Next()); // stays at the end
    return text;
}

TEST(BatchReporter, GivesTheSameTextAsOneFileAtATimeForAnyLookAhead) {
    ScratchDir dir;
    const auto paths = MixedList(dir);
    const std::string expected = SequentialText(paths, AllDigests());
    for (const BatchReporter::Limits limits :
         {BatchReporter::Limits{}, BatchReporter::Limits{1, 1, 2},
          BatchReporter::Limits{3, 64u << 20, 2}, BatchReporter::Limits{64, 1, 1},
          BatchReporter::Limits{5, 10000, 4}}) {
        SCOPED_TRACE(limits.maxFilesAhead);
        EXPECT_EQ(BatchText(paths, AllDigests(), limits), expected);
    }
}

TEST(BatchReporter, EmptyListEndsAtOnce) {
    BatchReporter batch({}, ReportOptions{}, {});
    EXPECT_FALSE(batch.Next());
}

TEST(BatchReporter, StopMidWayEndsTheRunAndKeepsWhatWasTaken) {
    ScratchDir dir;
    const auto paths = MixedList(dir);
    BatchReporter batch(paths, AllDigests(), NameAsVersion, {4, 64u << 20, 2});
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i) {
        const auto facts = batch.Next();
        ASSERT_TRUE(facts);
        names.push_back(facts->version);
    }
    batch.Stop();
    EXPECT_FALSE(batch.Next());
    EXPECT_FALSE(batch.Next());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i], paths[i].filename().string());
    }
}

// A stop from another thread while the consumer waits for a file that is
// being gathered: the wait ends, nothing more comes.
TEST(BatchReporter, StopWhileTheConsumerWaitsReleasesIt) {
    ScratchDir dir;
    std::vector<std::filesystem::path> paths;
    for (int i = 0; i < 8; ++i) {
        paths.push_back(dir / ("f" + std::to_string(i)));
        WriteFile(paths.back(), std::string("x"));
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
    // The version query of every file tells that it was entered and waits
    // for the gate to open.
    VersionQuery gate = [&](const std::filesystem::path&) {
        std::unique_lock lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [&] { return open; });
        return std::string();
    };
    ReportOptions options;
    options.ShowVersion = true;
    auto batch = std::make_unique<BatchReporter>(paths, options, gate);
    // The stop comes once a file is held in the gate: the consumer is then
    // waiting for it, or about to.
    std::thread stopper([&] {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return entered; });
        }
        batch->Stop();
    });
    EXPECT_FALSE(batch->Next());
    stopper.join();
    {
        std::lock_guard lock(mutex);
        open = true;
    }
    changed.notify_all();
    batch.reset(); // joins the workers, which take no further file
}

TEST(BatchReporter, LookAheadStaysWithinItsBound) {
    ScratchDir dir;
    std::vector<std::filesystem::path> paths;
    for (int i = 0; i < 30; ++i) {
        paths.push_back(dir / ("f" + std::to_string(i)));
        WriteFile(paths.back(), std::string("y"));
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::string> queried;
    VersionQuery count = [&](const std::filesystem::path& path) {
        std::lock_guard lock(mutex);
        queried.insert(path.filename().string());
        changed.notify_all();
        return std::string();
    };
    ReportOptions options;
    options.ShowVersion = true;
    auto batch = std::make_unique<BatchReporter>(paths, options, count,
                                                 BatchReporter::Limits{4, 64u << 20, 2});
    ASSERT_TRUE(batch->Next());
    // One taken and four gathered ahead of the consumer: the workers reach
    // the bound, and may not pass it. Ending the run joins them, so every
    // file they took is counted.
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return queried.size() >= 5; });
    }
    batch.reset();
    const std::set<std::string> firstFive = {"f0", "f1", "f2", "f3", "f4"};
    EXPECT_EQ(queried, firstFive);
}

} // namespace
} // namespace varnel

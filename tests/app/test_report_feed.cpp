// The report feed without a window: what it hands over, in which order and
// pieces, for runs queued, stopped and retired, and how much a turn takes for
// what showing it costs. A receiver stands in for the text box, with a cost
// per block of its own choosing.

#include "app/report_feed.h"
#include "tests/support/fault_fs.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/syscall.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace varnel {
namespace {

using namespace std::chrono_literals;

// A block's first line in the box's form, up to its line separator.
const QString kNameLabel = QStringLiteral("文件名称：");

// Everything a feed tells, in order, as a receiver sees it.
struct Recorder {
    enum class Kind { Started, Hold, Draw, Text, Shown, Progress, Ended, ReportEnded };
    struct Event {
        Kind kind;
        int blocks = 0;       // Text: blocks in the piece
        std::string path;     // Shown: the last block's path
        bool stopped = false; // Ended
    };

    explicit Recorder(ReportFeed& feed, std::chrono::nanoseconds showCost = 0ns) : m_Feed(feed) {
        QObject::connect(&feed, &ReportFeed::runStarted, &feed,
                         [this](const ReportOptions& options, bool folderReport) {
                             Add(Kind::Started);
                             started.push_back({options, folderReport});
                         });
        QObject::connect(&feed, &ReportFeed::drawingAllowed, &feed,
                         [this](bool allowed) { Add(allowed ? Kind::Draw : Kind::Hold); });
        QObject::connect(
            &feed, &ReportFeed::textReady, &feed, [this, showCost](const QString& text) {
                // The box's form: each block is one paragraph, ended by '\n'.
                const int blocks = static_cast<int>(text.count(QLatin1Char('\n')));
                Add(Kind::Text, blocks);
                estimates.push_back(m_Feed.ShowNsPerBlock());
                pendingWhileShown = pendingWhileShown || !m_Feed.PendingText().empty();
                for (const QString& block : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                    const QString first = block.section(QChar(0x2028), 0, 0);
                    names.push_back(first.mid(kNameLabel.size()).toStdString());
                    blocksText.push_back(block);
                }
                // Showing costs at least showCost a block.
                QElapsedTimer burn;
                burn.start();
                while (burn.nsecsElapsed() < showCost.count() * blocks) {
                }
            });
        QObject::connect(&feed, &ReportFeed::blocksShown, &feed,
                         [this](const std::string& path) { Add(Kind::Shown, 0, path); });
        QObject::connect(&feed, &ReportFeed::progress, &feed,
                         [this](const RunProgress&) { Add(Kind::Progress); });
        QObject::connect(&feed, &ReportFeed::runEnded, &feed, [this](bool stopped) {
            Add(Kind::Ended, 0, {}, stopped);
            runningAtEnd.push_back(m_Feed.IsRunning());
            stopRequestedAtEnd.push_back(m_Feed.StopRequested());
        });
        QObject::connect(&feed, &ReportFeed::reportEnded, &feed, [this] {
            Add(Kind::ReportEnded);
            startedAtReportEnd.push_back(started.size());
        });
    }

    void Add(Kind kind, int blocks = 0, std::string path = {}, bool stopped = false) {
        events.push_back(Event{kind, blocks, std::move(path), stopped});
    }
    int Count(Kind kind) const {
        return static_cast<int>(std::count_if(events.begin(), events.end(),
                                              [kind](const Event& e) { return e.kind == kind; }));
    }
    bool WaitForReportEnds(int count) {
        return QTest::qWaitFor([&] { return Count(Kind::ReportEnded) >= count; }, 120000);
    }

    struct Start {
        ReportOptions options;
        bool folderReport;
    };
    std::vector<Event> events;
    std::vector<Start> started;
    std::vector<std::string> names;  // the blocks' paths, in the order handed over
    std::vector<QString> blocksText; // the blocks, in the box's form
    std::vector<qint64> estimates;   // the feed's cost per block when each piece came
    std::vector<bool> runningAtEnd;
    std::vector<bool> stopRequestedAtEnd;
    std::vector<std::size_t> startedAtReportEnd;
    bool pendingWhileShown = false;

private:
    ReportFeed& m_Feed;
};

class ReportFeedTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_Temp.isValid()); }

    std::string Path(const std::string& name) const {
        return QFile::encodeName(m_Temp.path()).toStdString() + "/" + name;
    }
    std::string MakeFile(const std::string& name, const std::string& content) {
        std::string path = Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    // count files in folder, named f000 ... in order.
    std::vector<std::string> MakeFiles(const std::string& folder, int count) {
        std::vector<std::string> paths;
        for (int i = 0; i < count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "/f%03d", i);
            paths.push_back(MakeFile(folder + name, "file " + std::to_string(i)));
        }
        return paths;
    }
    // A sparse file: read as zeros, it keeps a run busy for a while.
    std::string MakeSparseFile(const std::string& name, std::uint64_t size) {
        std::string path = MakeFile(name, "");
        std::filesystem::resize_file(path, size);
        return path;
    }
    static std::vector<RunItem> FileItems(const std::vector<std::string>& paths) {
        std::vector<RunItem> items;
        for (const std::string& path : paths) {
            items.push_back(RunItem::File(path));
        }
        return items;
    }

    QTemporaryDir m_Temp;
};

// Every block is handed over once, in the order of the request's items
// (files as given, then a folder's files), whatever the pace; each piece of
// a turn goes in while drawing is held, and is followed by the path of its
// last block; the feed's last words on a run are: draw, ended, report ended.
TEST_F(ReportFeedTest, BlocksArriveOnceAndInOrderWhateverThePace) {
    const std::vector<std::string> files = MakeFiles("given", 150);
    // Not the order of the names: the order given is kept.
    std::vector<std::string> given;
    for (std::size_t i = 0; i < files.size(); ++i) {
        given.push_back(files[(i * 37) % files.size()]);
    }
    const std::vector<std::string> folderFiles = MakeFiles("folder", 120);

    struct Pace {
        qint64 budgetMs;
        std::size_t blocksPerTake;
        std::size_t readyBatch;
        std::chrono::nanoseconds showCost;
    };
    const Pace paces[] = {
        {6, 128, 256, 0ns},      // the window's own
        {6, 1, 256, 0ns},        // one block a take
        {1, 3, 4, 100us},        // costly showing, small turns
        {1000, 1000, 1000, 0ns}, // everything at once
    };
    for (const Pace& pace : paces) {
        SCOPED_TRACE(testing::Message() << "blocksPerTake " << pace.blocksPerTake << ", budget "
                                        << pace.budgetMs << " ms");
        ReportFeed::Pacing pacing;
        pacing.budgetMs = pace.budgetMs;
        pacing.blocksPerTake = pace.blocksPerTake;
        pacing.readyBatch = pace.readyBatch;
        ReportFeed feed(pacing);
        Recorder record(feed, pace.showCost);
        std::vector<RunItem> items = FileItems(given);
        items.push_back(RunItem::Folder(Path("folder") + "/"));
        feed.Start({std::move(items), {}, true});
        ASSERT_TRUE(record.WaitForReportEnds(1));

        ASSERT_EQ(record.names.size(), given.size() + folderFiles.size());
        EXPECT_TRUE(std::equal(given.begin(), given.end(), record.names.begin()));
        const std::set<std::string> fromFolder(
            record.names.begin() + static_cast<long>(given.size()), record.names.end());
        EXPECT_EQ(fromFolder, std::set<std::string>(folderFiles.begin(), folderFiles.end()));
        EXPECT_FALSE(record.pendingWhileShown);
        EXPECT_TRUE(feed.PendingText().empty());

        const auto& events = record.events;
        ASSERT_GE(events.size(), 4u);
        EXPECT_EQ(events.front().kind, Recorder::Kind::Started);
        EXPECT_EQ(events[events.size() - 3].kind, Recorder::Kind::Draw);
        EXPECT_EQ(events[events.size() - 2].kind, Recorder::Kind::Ended);
        EXPECT_FALSE(events[events.size() - 2].stopped);
        EXPECT_EQ(events.back().kind, Recorder::Kind::ReportEnded);
        std::size_t namesSeen = 0;
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (events[i].kind != Recorder::Kind::Text) {
                continue;
            }
            ASSERT_GT(i, 0u);
            ASSERT_LT(i + 1, events.size());
            EXPECT_EQ(events[i - 1].kind, Recorder::Kind::Hold) << "piece " << i;
            EXPECT_EQ(events[i + 1].kind, Recorder::Kind::Shown) << "piece " << i;
            namesSeen += static_cast<std::size_t>(events[i].blocks);
            EXPECT_EQ(events[i + 1].path, record.names[namesSeen - 1]);
        }
        EXPECT_EQ(record.runningAtEnd, std::vector<bool>{false});
        EXPECT_EQ(record.stopRequestedAtEnd, std::vector<bool>{false});
        EXPECT_FALSE(feed.IsRunning());
    }
}

// A turn takes blocks while what showing them has lately cost fits its
// budget: with the feed's figure at the time, a turn's piece holds no more
// than the budget's worth plus one take. The figure follows what the
// receivers really spend, so costly showing makes the turns small.
TEST_F(ReportFeedTest, ATurnTakesNoMoreThanItsBudgetCanShow) {
    const std::vector<std::string> files = MakeFiles("many", 600);
    struct Row {
        qint64 budgetMs;
        std::size_t blocksPerTake;
        std::chrono::nanoseconds showCost;
    };
    const Row rows[] = {
        {6, 128, 0ns},
        {1, 1, 200us},
        {1, 8, 200us},
        {2, 32, 50us},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "budget " << row.budgetMs << " ms, blocksPerTake " << row.blocksPerTake
                     << ", cost " << row.showCost.count() << " ns a block");
        ReportFeed::Pacing pacing;
        pacing.budgetMs = row.budgetMs;
        pacing.blocksPerTake = row.blocksPerTake;
        ReportFeed feed(pacing);
        Recorder record(feed, row.showCost);
        feed.Start({{RunItem::Folder(Path("many") + "/")}, {}, true});
        ASSERT_TRUE(record.WaitForReportEnds(1));
        ASSERT_EQ(record.names.size(), files.size());

        const qint64 budgetNs = row.budgetMs * 1'000'000;
        std::size_t turn = 0;
        for (const Recorder::Event& event : record.events) {
            if (event.kind != Recorder::Kind::Text) {
                continue;
            }
            const qint64 estimate = record.estimates[turn++];
            ASSERT_GT(estimate, 0);
            const qint64 allowed =
                (budgetNs - 1) / estimate + static_cast<qint64>(row.blocksPerTake);
            EXPECT_GE(event.blocks, 1);
            EXPECT_LE(event.blocks, allowed)
                << "turn " << turn << ", " << estimate << " ns a block";
        }
        if (row.showCost > 0ns) {
            // At the start the feed counts 4 us a block: the first turn alone
            // cannot show 600 blocks within 2 ms.
            EXPECT_GE(turn, 2u);
            EXPECT_GE(feed.ShowNsPerBlock(), row.showCost.count() / 4);
        }
    }
}

// A request made while a run goes waits its turn and then runs with the
// options of its own call; runStarted hands back each one's options and mark.
// At each run's end the feed no longer runs; its report end comes after the
// next request has started.
TEST_F(ReportFeedTest, QueuedRequestsRunInTurnWithTheirOwnOptions) {
    const std::vector<std::string> first = MakeFiles("first", 40);
    const std::vector<std::string> second = MakeFiles("second", 3);
    const std::string third = MakeFile("third", "3");
    ReportOptions withCrc;
    withCrc.ShowCRC32 = true;
    ReportOptions withoutSha1;
    withoutSha1.ShowSHA1 = false;

    ReportFeed feed;
    Recorder record(feed);
    feed.Start({{RunItem::Folder(Path("first") + "/")}, withCrc, true});
    ASSERT_TRUE(feed.IsRunning());
    feed.Start({FileItems(second), withoutSha1, false});
    feed.Start({{RunItem::File(third)}, {}, false});
    EXPECT_EQ(record.started.size(), 1u) << "a request made while a run goes waits";
    ASSERT_TRUE(record.WaitForReportEnds(3));

    ASSERT_EQ(record.started.size(), 3u);
    EXPECT_TRUE(record.started[0].options.ShowCRC32);
    EXPECT_TRUE(record.started[0].folderReport);
    EXPECT_FALSE(record.started[1].options.ShowSHA1);
    EXPECT_FALSE(record.started[1].folderReport);
    EXPECT_FALSE(record.started[2].options.ShowCRC32);
    EXPECT_TRUE(record.started[2].options.ShowSHA1);

    ASSERT_EQ(record.names.size(), first.size() + second.size() + 1);
    const struct {
        std::size_t from, to;
        bool crc, sha1;
    } runs[] = {{0, first.size(), true, true},
                {first.size(), first.size() + second.size(), false, false},
                {first.size() + second.size(), record.names.size(), false, true}};
    for (const auto& run : runs) {
        for (std::size_t i = run.from; i < run.to; ++i) {
            EXPECT_EQ(record.blocksText[i].contains(QStringLiteral("CRC32值")), run.crc) << i;
            EXPECT_EQ(record.blocksText[i].contains(QStringLiteral("SHA1值")), run.sha1) << i;
        }
    }
    EXPECT_TRUE(std::equal(second.begin(), second.end(), record.names.begin() + 40));
    EXPECT_EQ(record.names.back(), third);

    EXPECT_EQ(record.runningAtEnd, (std::vector<bool>{false, false, false}));
    // Report ends: after the second and third runs had started, then last.
    EXPECT_EQ(record.startedAtReportEnd, (std::vector<std::size_t>{2, 3, 3}));
}

// A stop ends the run stopped, at once (Stop) or on the feed's next turn
// (a stop requested), before or after blocks were shown: no block is handed
// over after the end, the request queued behind it is dropped, and the stop
// request is cleared.
TEST_F(ReportFeedTest, AStopEndsTheRunAndDropsTheQueue) {
    MakeFiles("run", 200);
    // In a subfolder, walked after the folder's own files, a large file
    // keeps the run going until the stop.
    MakeSparseFile("run/z/big.bin", 1ull << 30);
    const std::string queued = MakeFile("queued", "q");
    struct Row {
        const char* how;
        bool requested;   // setStopRequested(true), else Stop()
        bool afterBlocks; // once blocks were shown, else at once
    };
    const Row rows[] = {
        {"Stop at once", false, false},
        {"Stop after blocks", false, true},
        {"requested at once", true, false},
        {"requested after blocks", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        ReportFeed feed;
        Recorder record(feed);
        feed.Start({{RunItem::Folder(Path("run") + "/")}, {}, true});
        feed.Start({{RunItem::File(queued)}, {}, false});
        if (row.afterBlocks) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return record.names.size() >= 200; }, 60000));
        }
        const auto stop = [&] {
            if (row.requested) {
                feed.setStopRequested(true);
            } else {
                feed.Stop();
            }
        };
        stop();
        if (row.requested) {
            EXPECT_TRUE(feed.StopRequested());
        }
        ASSERT_TRUE(record.WaitForReportEnds(1));
        const std::size_t shownAtEnd = record.names.size();
        // Time for anything late to arrive; nothing may.
        QTest::qWait(100);
        EXPECT_EQ(record.names.size(), shownAtEnd);
        EXPECT_LE(shownAtEnd, 200u) << "the large file's block was shown";
        if (row.afterBlocks) {
            EXPECT_EQ(shownAtEnd, 200u);
        }
        EXPECT_EQ(record.Count(Recorder::Kind::Ended), 1);
        EXPECT_TRUE(record.events[record.events.size() - 2].stopped);
        EXPECT_EQ(record.started.size(), 1u) << "the queued request ran";
        EXPECT_FALSE(feed.IsRunning());
        EXPECT_FALSE(feed.StopRequested());
        EXPECT_EQ(record.stopRequestedAtEnd, std::vector<bool>{false});

        // With no run, a stop does nothing; a request stays until a run starts.
        const std::size_t events = record.events.size();
        stop();
        EXPECT_EQ(record.events.size(), events);
        EXPECT_EQ(feed.StopRequested(), row.requested);
        feed.Start({{RunItem::File(queued)}, {}, false});
        EXPECT_FALSE(feed.StopRequested());
        ASSERT_TRUE(record.WaitForReportEnds(2));
        EXPECT_EQ(record.names.back(), queued);
        EXPECT_FALSE(record.events[record.events.size() - 2].stopped);
    }
}

// Text kept back is handed over on demand, once; cleared, it is gone.
TEST_F(ReportFeedTest, PendingTextIsHandedOverOnDemandOnce) {
    ReportFeed feed;
    Recorder record(feed);
    feed.ShowPendingText();
    feed.ClearPendingText();
    EXPECT_TRUE(record.events.empty()) << "nothing pending, nothing handed over";
    EXPECT_TRUE(feed.RunThreadsEndWithin(0ms)) << "no run, nothing to wait for";
}

// True once a thread of this process waits in a read of path: its system
// call (/proc/self/task/*/syscall) is a read of a descriptor open on path.
bool SomeThreadWaitsReading(const std::filesystem::path& path) {
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream call(task.path() / "syscall");
        long number = -1;
        std::string descriptor;
        if (!(call >> number >> descriptor) || (number != SYS_read && number != SYS_pread64 &&
                                                number != SYS_preadv && number != SYS_preadv2)) {
            continue;
        }
        const long fd = std::stol(descriptor, nullptr, 16);
        if (std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error) == path) {
            return true;
        }
    }
    return false;
}

// A run stopped while a read of it does not return is kept, not waited for:
// the feed goes on (another run starts and ends) and drops it once the read
// returns. RunThreadsEndWithin tells whether every thread returned in time.
TEST_F(ReportFeedTest, AStoppedRunIsKeptUntilItsReadReturns) {
    if (const std::string& why = test::FaultFs::SkipReason(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    test::FaultFs fs;
    ASSERT_TRUE(fs.Live()) << fs.Error();
    const std::filesystem::path stall = fs.Path() / "blocking" / "stall";
    ReportFeed feed;
    Recorder record(feed);
    feed.Start({{RunItem::File(stall.string())}, {}, false});
    ASSERT_TRUE(QTest::qWaitFor([&] { return SomeThreadWaitsReading(stall); }, 30000))
        << "no thread of the run reached the read";
    feed.Stop();
    EXPECT_FALSE(feed.IsRunning());
    EXPECT_EQ(feed.RetiringRuns(), 1u);
    EXPECT_FALSE(feed.RunThreadsEndWithin(20ms));

    const std::string other = MakeFile("other", "o");
    feed.Start({{RunItem::File(other)}, {}, false});
    ASSERT_TRUE(record.WaitForReportEnds(2));
    EXPECT_EQ(record.names, std::vector<std::string>{other});
    EXPECT_EQ(feed.RetiringRuns(), 1u);

    fs.Release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return feed.RetiringRuns() == 0; }, 60000));
    EXPECT_TRUE(feed.RunThreadsEndWithin(0ms));
    EXPECT_EQ(record.names, std::vector<std::string>{other});
}

} // namespace
} // namespace varnel

// The verify window on a 100,000-entry list, measured. A benchmark, not a
// test.
//
//   bench_verify_window [data folder] [varnel-report]
//
// The data folder defaults to $VARNEL_BENCH_DATA (default /tmp/varnel-bench),
// where bench/run.sh keeps tree1k: 100 folders of 1,000 files of 1 KiB, made
// here when missing. A SHA-256 list of its files (tree1k.sha256, names
// relative to the data folder) is written by varnel-report once. Then, five
// times each on cached data (the best time counts): the window verifies the
// list (offscreen, through its real Verify and its timer), and varnel-report
// --check verifies it from the data folder. Three more runs of the window
// record, with a 1 ms timer, the longest gap between turns of its event
// loop while it verifies with its rows sorted by name (sorted again as rows
// come), then while it sorts the 100,000 rows held by each column.

#include "app/verify_window.h"
#include "app/verify_table_model.h"
#include "bench/bench_tree.h"
#include "bench/turn_watch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kTimedRuns = 5;
constexpr int kWatchedRuns = 3;

// Runs varnel-report in folder with args; its output goes to file (or
// nowhere). Returns the wall time in seconds.
double RunReport(const QString& program, const fs::path& folder, const QStringList& args,
                 const QString& file = QProcess::nullDevice()) {
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(folder.string()));
    process.setStandardOutputFile(file);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, args);
    process.waitForFinished(-1);
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

struct WindowRun {
    double seconds = 0;
    double longestGapMs = 0;
    double longestBusyMs = 0;
    long turns = 0;
    int rows = 0;
    double restartMs = 0;   // Verify again over the rows held: the call alone
    double threadCpuMs = 0; // processor time of the window's thread over the run
    double sortGapMs = 0;   // the longest gap while the rows held are sorted by each column
    double sortBusyMs = 0;  // the window's thread's own time in the longest of those turns
    double sortSeconds = 0; // the slowest of those sorts, from the click to the rows moved
};

WindowRun RunWindow(const fs::path& list, bool watched) {
    varnel::VerifyWindow window;
    window.show();
    QApplication::processEvents();
    WindowRun run;
    std::optional<TurnWatch> watch;
    if (watched) {
        watch.emplace();
    }
    auto* table = window.findChild<QTableView*>(QStringLiteral("Results"));
    if (watched) {
        // Sorted by name as a user's click on its header sorts, before the
        // rows come.
        table->sortByColumn(varnel::VerifyTableModel::NameColumn, Qt::AscendingOrder);
    }
    const double cpuBefore = ThreadCpuMs();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QObject::connect(&window, &varnel::VerifyWindow::runEnded, &loop, &QEventLoop::quit);
    window.Verify({list.string()});
    loop.exec();
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.threadCpuMs = ThreadCpuMs() - cpuBefore;
    if (watch) {
        run.longestGapMs = watch->longestGapMs;
        run.longestBusyMs = watch->longestBusyMs;
        run.turns = watch->turns;
    }
    run.rows = window.Model().rowCount();
    if (watched) {
        TurnWatch sorting;
        for (const int column :
             {varnel::VerifyTableModel::StatusColumn, varnel::VerifyTableModel::DiffersColumn,
              varnel::VerifyTableModel::NameColumn}) {
            QElapsedTimer sortClock;
            sortClock.start();
            table->sortByColumn(column, Qt::DescendingOrder);
            while (window.Model().SortPending()) {
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            }
            run.sortSeconds =
                std::max(run.sortSeconds, static_cast<double>(sortClock.nsecsElapsed()) / 1e9);
        }
        run.sortGapMs = sorting.longestGapMs;
        run.sortBusyMs = sorting.longestBusyMs;
    }
    clock.restart();
    window.Verify({list.string()});
    run.restartMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const char* dataEnv = std::getenv("VARNEL_BENCH_DATA");
    const fs::path data = argc > 1  ? fs::path(argv[1])
                          : dataEnv ? fs::path(dataEnv)
                                    : fs::path("/tmp/varnel-bench");
    const QString report =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(VARNEL_REPORT_PROGRAM);
    fs::create_directories(data);
    varnel::bench::MakeRandomTree(data / "tree1k", 100, 1000, 1024);
    const fs::path list = data / "tree1k.sha256";
    if (!fs::exists(list)) {
        RunReport(
            report, data,
            {QStringLiteral("--format"), QStringLiteral("sha256sum"), QStringLiteral("tree1k")},
            QString::fromStdString(list.string()));
    }
    const QStringList check = {QStringLiteral("--check"),
                               QString::fromStdString(list.filename().string())};
    RunReport(report, data, check); // warms the cache

    // The timed runs go without the turn watch: its 1 ms timer wakes the
    // window's thread a thousand times a second, which a window never
    // does. The watched runs that follow measure the gaps.
    double bestWindow = 1e9;
    double bestCommand = 1e9;
    for (int i = 0; i < kTimedRuns; ++i) {
        const WindowRun run = RunWindow(list, false);
        const double command = RunReport(report, data, check);
        std::printf("window %.3f s (%d rows, its thread's processor time %.0f ms, verify again "
                    "%.2f ms); varnel-report %.3f s\n",
                    run.seconds, run.rows, run.threadCpuMs, run.restartMs, command);
        bestWindow = std::min(bestWindow, run.seconds);
        bestCommand = std::min(bestCommand, command);
    }
    double longestGap = 0;
    double longestBusy = 0;
    for (int i = 0; i < kWatchedRuns; ++i) {
        const WindowRun run = RunWindow(list, true);
        std::printf("watched window %.3f s, %ld turns, longest gap %.2f ms (its thread busy "
                    "%.2f ms at most); sorting the rows held by each column: longest gap "
                    "%.2f ms (busy %.2f ms), slowest sort %.3f s\n",
                    run.seconds, run.turns, run.longestGapMs, run.longestBusyMs, run.sortGapMs,
                    run.sortBusyMs, run.sortSeconds);
        longestGap = std::max({longestGap, run.longestGapMs, run.sortGapMs});
        longestBusy = std::max({longestBusy, run.longestBusyMs, run.sortBusyMs});
    }
    std::printf("best: window %.3f s, varnel-report --check %.3f s, ratio %.2f; longest gap "
                "%.2f ms, the window's thread busy %.2f ms at most between turns\n",
                bestWindow, bestCommand, bestWindow / bestCommand, longestGap, longestBusy);
    return 0;
}

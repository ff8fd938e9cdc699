// The main window's reports, measured. A benchmark, not a test.
//
//   bench_window tree [folder] [varnel-report]   the folder through the window
//       and through varnel-report, three times each on cached data (the best
//       time counts), and the longest gap between event-loop turns
//   bench_window feed [folder] [varnel-report]   the same through the window's
//       report feed alone, no widgets: its blocks go to a receiver that only
//       counts them, so the figure is the runs' and the pacing's, not the
//       text box's
//   bench_window once [folder] [varnel-report]   one window run and one
//       varnel-report run, with the window process's peak memory (run it in
//       a process of its own for a true peak)
//   bench_window big <file>                      the longest gap between
//       event-loop turns while the window reports one large file, then the
//       same file again with Stop clicked after a second: the time from the
//       click to the end of the run, and until the run's threads are gone
//
// The folder defaults to $VARNEL_BENCH_DATA/tree (default /tmp/varnel-bench,
// the tree bench/run.sh uses): 20 folders of 1,000 files of 4 KiB, made here
// when missing. The window runs offscreen through its real ReportFolder /
// ReportFile; a 1 ms timer counts the event-loop turns and the longest gap.

#include "app/common_md5_view.h"
#include "app/report_feed.h"
#include "bench/bench_tree.h"
#include "bench/turn_watch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <time.h>

namespace {

// A field of /proc/self/status in kB ("VmHWM", "Threads"), -1 when absent.
long StatusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

void WaitForEnd(varnel::Common_MD5_View& window) {
    while (window.IsReportRunning()) {
        QEventLoop loop;
        QObject::connect(&window, &varnel::Common_MD5_View::reportEnded, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// CPU seconds of the calling thread, and of the whole process.
double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
double ProcessCpuSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct WindowRun {
    double seconds = 0;
    double windowCpu = 0; // the window's thread
    double processCpu = 0;
    double longestGapMs = 0;
    long turns = 0;
    long blocks = 0;
};

WindowRun RunWindow(const QString& folder) {
    varnel::Common_MD5_View window;
    window.show();
    QElapsedTimer clock;
    WindowRun run;
    window.setFolderPath(folder);
    TurnWatch watch;
    const double windowCpu = ThreadCpuSeconds();
    const double processCpu = ProcessCpuSeconds();
    clock.start();
    window.ReportFolder();
    WaitForEnd(window);
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.windowCpu = ThreadCpuSeconds() - windowCpu;
    run.processCpu = ProcessCpuSeconds() - processCpu;
    run.longestGapMs = watch.longestGapMs;
    run.turns = watch.turns;
    run.blocks = window.ReportText().count(QStringLiteral("\r\n\r\n"));
    return run;
}

// The window's feed with the window's pacing, without the window.
WindowRun RunFeed(const QString& folder) {
    varnel::ReportFeed feed;
    WindowRun run;
    QObject::connect(&feed, &varnel::ReportFeed::textReady, &feed, [&run](const QString& text) {
        run.blocks += static_cast<long>(text.count(QLatin1Char('\n')));
    });
    QEventLoop loop;
    QObject::connect(&feed, &varnel::ReportFeed::reportEnded, &loop, &QEventLoop::quit);
    std::string path = QFile::encodeName(folder).toStdString();
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    QElapsedTimer clock;
    TurnWatch watch;
    const double windowCpu = ThreadCpuSeconds();
    const double processCpu = ProcessCpuSeconds();
    clock.start();
    feed.Start({{varnel::RunItem::Folder(path)}, {}, true});
    loop.exec();
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.windowCpu = ThreadCpuSeconds() - windowCpu;
    run.processCpu = ProcessCpuSeconds() - processCpu;
    run.longestGapMs = watch.longestGapMs;
    run.turns = watch.turns;
    return run;
}

struct CommandRun {
    double seconds = 0;
    double cpu = 0;
};

CommandRun RunCommand(const QString& program, const QString& path) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const double cpu = ProcessCpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {path});
    process.waitForFinished(-1);
    CommandRun run;
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.cpu = ProcessCpuSeconds(RUSAGE_CHILDREN) - cpu;
    return run;
}

// feed: the feed alone (RunFeed), else the window (RunWindow).
int Tree(const QString& folder, const QString& report, bool feed) {
    RunCommand(report, folder); // warm the cache
    const char* const name = feed ? "feed" : "window";
    double bestWindow = 1e9;
    double bestCommand = 1e9;
    double longestGap = 0;
    for (int i = 0; i < 3; ++i) {
        const WindowRun run = feed ? RunFeed(folder) : RunWindow(folder);
        std::printf("%-14s %.3f s (CPU: window's thread %.3f s, all %.3f s), %ld "
                    "blocks, %ld turns, longest gap %.2f ms\n",
                    (std::string(name) + ":").c_str(), run.seconds, run.windowCpu, run.processCpu,
                    run.blocks, run.turns, run.longestGapMs);
        bestWindow = std::min(bestWindow, run.seconds);
        longestGap = std::max(longestGap, run.longestGapMs);
        const CommandRun command = RunCommand(report, folder);
        std::printf("varnel-report: %.3f s (CPU %.3f s)\n", command.seconds, command.cpu);
        bestCommand = std::min(bestCommand, command.seconds);
    }
    std::printf("best: %s %.3f s, varnel-report %.3f s, ratio %.2f; longest gap %.2f ms\n", name,
                bestWindow, bestCommand, bestWindow / bestCommand, longestGap);
    return 0;
}

int Once(const QString& folder, const QString& report) {
    const double command = RunCommand(report, folder).seconds;
    const WindowRun run = RunWindow(folder);
    std::printf("window %.3f s (CPU: window's thread %.3f s, all %.3f s; %ld blocks, longest "
                "gap %.2f ms), varnel-report %.3f s, ratio %.2f; window peak memory %.1f MB\n",
                run.seconds, run.windowCpu, run.processCpu, run.blocks, run.longestGapMs, command,
                run.seconds / command, static_cast<double>(StatusField("VmHWM")) / 1024.0);
    return 0;
}

int Big(const QString& file) {
    {
        varnel::Common_MD5_View window;
        window.show();
        window.setFilePath(file);
        TurnWatch watch;
        QElapsedTimer clock;
        clock.start();
        window.ReportFile();
        WaitForEnd(window);
        std::printf("whole file: %.3f s, %ld turns, longest gap %.2f ms\n",
                    static_cast<double>(clock.nsecsElapsed()) / 1e9, watch.turns,
                    watch.longestGapMs);
    }
    varnel::Common_MD5_View window;
    window.show();
    window.setFilePath(file);
    TurnWatch watch;
    const long threadsBefore = StatusField("Threads");
    window.ReportFile();
    QElapsedTimer clock;
    double toEndMs = -1;
    double toThreadsGoneMs = -1;
    QTimer::singleShot(1000, [&] {
        auto* stop = window.findChild<QPushButton*>(QStringLiteral("Command5"));
        clock.start();
        stop->click();
        if (!window.IsReportRunning()) {
            toEndMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        }
    });
    WaitForEnd(window);
    // The worker threads abandon the file between two chunks.
    {
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (StatusField("Threads") <= threadsBefore) {
                loop.quit();
            }
        });
        poll.start();
        loop.exec();
    }
    toThreadsGoneMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("stop after 1 s: run ended %.2f ms after the click, its threads gone after %.2f "
                "ms; %ld turns, longest gap %.2f ms; blocks %lld\n",
                toEndMs, toThreadsGoneMs, watch.turns, watch.longestGapMs,
                static_cast<long long>(window.ReportText().count(QStringLiteral("\r\n\r\n"))));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    const std::string mode = argc > 1 ? argv[1] : "tree";
    const char* data = std::getenv("VARNEL_BENCH_DATA");
    const std::filesystem::path root =
        argc > 2 ? std::filesystem::path(argv[2])
                 : std::filesystem::path(data != nullptr ? data : "/tmp/varnel-bench") / "tree";
    const QString report = QString::fromLocal8Bit(argc > 3 ? argv[3] : VARNEL_REPORT_PROGRAM);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    const QString path = QString::fromStdString(root.string());
    if (mode == "big") {
        return Big(path);
    }
    if (argc <= 2) {
        varnel::bench::MakeRandomTree(root, 20, 1000, 4096);
    }
    if (mode == "once") {
        return Once(path, report);
    }
    return Tree(path, report, mode == "feed");
}

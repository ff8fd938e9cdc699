// The main window's folder report against varnel-report on the same folder.
//
//   bench_window [folder] [path/to/varnel-report]
//
// The folder defaults to $VARNEL_BENCH_DATA/tree (default /tmp/varnel-bench,
// the tree bench/run.sh uses): 20 folders of 1,000 files of 4 KiB, made here
// when missing. The window runs offscreen and reports the folder through its
// real ReportFolder; a zero-interval timer counts the event-loop turns the
// run gives and the longest time between two of them. Each side runs three
// times on cached data; the best time counts. A benchmark, not a test.

#include "app/common_md5_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

void MakeTree(const std::filesystem::path& root) {
    if (std::filesystem::exists(root / ".complete")) {
        return;
    }
    std::printf("making %s\n", root.c_str());
    std::filesystem::remove_all(root);
    std::mt19937 random(12345);
    std::string content(4096, '\0');
    for (int d = 0; d < 20; ++d) {
        char folder[16];
        std::snprintf(folder, sizeof folder, "d%02d", d);
        std::filesystem::create_directories(root / folder);
        for (int f = 0; f < 1000; ++f) {
            for (char& c : content) {
                c = static_cast<char>(random() & 0xFF);
            }
            char name[16];
            std::snprintf(name, sizeof name, "f%04d.bin", f);
            std::ofstream(root / folder / name, std::ios::binary) << content;
        }
    }
    std::ofstream(root / ".complete") << "";
}

struct WindowRun {
    double seconds = 0;
    double longestGapMs = 0;
    long turns = 0;
    long blocks = 0;
};

WindowRun RunWindow(const QString& folder) {
    varnel::Common_MD5_View window;
    window.show();
    QElapsedTimer clock;
    WindowRun run;
    qint64 lastTurn = -1;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTurn >= 0) {
            run.longestGapMs =
                std::max(run.longestGapMs, static_cast<double>(now - lastTurn) / 1e6);
        }
        lastTurn = now;
        ++run.turns;
    });
    window.setFolderPath(folder);
    ticker.start();
    clock.start();
    window.ReportFolder();
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    ticker.stop();
    run.blocks = window.ReportText().count(QStringLiteral("\r\n\r\n"));
    return run;
}

double RunCommand(const QString& program, const QString& folder) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, {folder});
    process.waitForFinished(-1);
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    const char* data = std::getenv("VARNEL_BENCH_DATA");
    const std::filesystem::path root =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::path(data != nullptr ? data : "/tmp/varnel-bench") / "tree";
    const QString report = QString::fromLocal8Bit(argc > 2 ? argv[2] : VARNEL_REPORT_PROGRAM);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    if (argc <= 1) {
        MakeTree(root);
    }
    const QString folder = QString::fromStdString(root.string());

    RunCommand(report, folder); // warm the cache
    double bestWindow = 1e9;
    double bestCommand = 1e9;
    WindowRun worst;
    for (int i = 0; i < 3; ++i) {
        const WindowRun run = RunWindow(folder);
        std::printf("window:        %.3f s, %ld blocks, %ld turns, longest gap %.2f ms\n",
                    run.seconds, run.blocks, run.turns, run.longestGapMs);
        bestWindow = std::min(bestWindow, run.seconds);
        worst.longestGapMs = std::max(worst.longestGapMs, run.longestGapMs);
        const double command = RunCommand(report, folder);
        std::printf("varnel-report: %.3f s\n", command);
        bestCommand = std::min(bestCommand, command);
    }
    std::printf("best: window %.3f s, varnel-report %.3f s, ratio %.2f; longest gap %.2f ms\n",
                bestWindow, bestCommand, bestWindow / bestCommand, worst.longestGapMs);
    return 0;
}

// The skinned frame, measured. A benchmark, not a test.
//
//   bench_skin [benchmark options]   one repaint of the skinned title bar with
//       the skin file unchanged (Google Benchmark)
//   bench_skin replace [folder]      the main window reports a folder while
//       the skin file beside it is replaced every 25 ms: the longest gap
//       between event-loop turns, the run's time, and how many skin versions
//       were decoded
//   bench_skin still [folder]        the same run with the skin left alone,
//       the baseline of the gap on this machine
//
// The folder defaults to $VARNEL_BENCH_DATA/tree (default /tmp/varnel-bench,
// made by bench/run.sh or bench_window). QT_QPA_PLATFORM defaults to
// offscreen.
#include "app/common_md5_view.h"
#include "bench/turn_watch.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"
#include "skin/skin_value.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <stdio.h>

namespace {

const char* const kSkin = VARNEL_PROGRAM_DIR "/Skins/Skin20.dll";

// Frames window with the default skin at the main window's size and shows it
// with title; nullptr (the benchmark skipped) when the skin is not usable.
varnel::SkinFrame* ShowSkinned(QWidget& window, const QString& title, benchmark::State& state) {
    window.setWindowTitle(title);
    window.resize(491, 338);
    varnel::SkinFrame* frame = varnel::SkinFrame::Install(&window, 3);
    if (!frame->ApplySkin(QString::fromUtf8(kSkin))) {
        state.SkipWithError("no usable skin");
        return nullptr;
    }
    window.show();
    QCoreApplication::processEvents();
    return frame;
}

void CaptionRepaint(benchmark::State& state) {
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    // With the caption text, or without it (the bar alone).
    varnel::SkinFrame* frame =
        ShowSkinned(window, state.range(0) != 0 ? QStringLiteral("Varnel2012") : QString(), state);
    if (frame == nullptr) {
        return;
    }
    varnel::Skin_Caption* caption = frame->caption();
    for (auto _ : state) {
        caption->repaint();
    }
    if (!caption->isVisible() || caption->height() == 0) {
        state.SkipWithError("the caption is not shown");
    }
    state.SetLabel(state.range(0) != 0 ? "with the caption text" : "bar and buttons only");
}
BENCHMARK(CaptionRepaint)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// What a new version of the skin costs the window's thread: the decoded
// images become pixmaps, and the frame lays itself out and repaints.
void NewSkinVersionOnTheWindowThread(benchmark::State& state) {
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    varnel::SkinFrame* frame = ShowSkinned(window, QStringLiteral("Varnel2012"), state);
    if (frame == nullptr) {
        return;
    }
    const varnel::DecodedSkin decoded =
        varnel::DecodeSkin(varnel::OpenSkinStore(QString::fromUtf8(kSkin)));
    for (auto _ : state) {
        const varnel::SkinValue value(decoded);
        benchmark::DoNotOptimize(value.picture(varnel::SkinPicture::TopMid).width());
        frame->caption()->REDRAW();
        for (const auto edge :
             {varnel::FrameEdge::Left, varnel::FrameEdge::Right, varnel::FrameEdge::Bottom}) {
            frame->border(edge)->repaint();
        }
    }
}
BENCHMARK(NewSkinVersionOnTheWindowThread)->Unit(benchmark::kMicrosecond);

int ReplaceDuringRun(const QString& folder, bool replace) {
    QTemporaryDir program;
    QDir(program.path()).mkpath(QStringLiteral("Skins"));
    const QString skin = program.filePath(QStringLiteral("Skins/Skin20.dll"));
    QFile original(QString::fromUtf8(kSkin));
    if (!original.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "no skin at %s\n", kSkin);
        return 1;
    }
    const QByteArray bytes = original.readAll();
    QFile::remove(skin);
    QFile(QString::fromUtf8(kSkin)).copy(skin);

    varnel::Common_MD5_View window(
        std::filesystem::path(QFile::encodeName(program.path()).toStdString()));
    window.show();
    QCoreApplication::processEvents();

    // Replaces the skin file as a skin tool does: a new file renamed over
    // the old one, every 25 ms.
    int replaced = 0;
    QTimer replacer;
    QObject::connect(&replacer, &QTimer::timeout, [&] {
        const QString next = skin + QStringLiteral(".new");
        QFile file(next);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(bytes);
            file.close();
            ::rename(QFile::encodeName(next).constData(), QFile::encodeName(skin).constData());
            ++replaced;
        }
    });
    varnel::SkinSource* source = varnel::SkinSource::For(skin);
    const std::uint64_t decodesBefore = source != nullptr ? source->decodeCount() : 0;

    window.setFolderPath(folder);
    TurnWatch watch;
    QElapsedTimer clock;
    clock.start();
    if (replace) {
        replacer.start(25);
    }
    window.ReportFolder();
    while (window.IsReportRunning()) {
        QEventLoop loop;
        QObject::connect(&window, &varnel::Common_MD5_View::reportEnded, &loop, &QEventLoop::quit);
        loop.exec();
    }
    replacer.stop();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    const std::uint64_t decodes = source != nullptr ? source->decodeCount() - decodesBefore : 0;
    std::printf("run %.3f s, %ld turns, longest gap %.2f ms; skin replaced %d times, %llu "
                "versions decoded\n",
                seconds, watch.turns, watch.longestGapMs, replaced,
                static_cast<unsigned long long>(decodes));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    if (argc >= 2 && (std::strcmp(argv[1], "replace") == 0 || std::strcmp(argv[1], "still") == 0)) {
        const char* data = std::getenv("VARNEL_BENCH_DATA");
        const QString folder =
            argc >= 3 ? QString::fromLocal8Bit(argv[2])
                      : QString::fromLocal8Bit(data != nullptr ? data : "/tmp/varnel-bench") +
                            QStringLiteral("/tree");
        if (!QDir(folder).exists()) {
            std::fprintf(stderr, "no folder %s (bench/run.sh makes it)\n", qPrintable(folder));
            return 1;
        }
        return ReplaceDuringRun(folder, std::strcmp(argv[1], "replace") == 0);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// One repaint of the skinned title bar, with the decoded skin store shared by
// the skin controls (the program's way) and with the store read and decoded
// again for every repaint (the way a control that kept nothing would work).
// Run: build/bench/bench_skin (QT_QPA_PLATFORM defaults to offscreen).
#include "skin/skin_caption.h"
#include "skin/skin_store_cache.h"

#include <QApplication>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

const char* const kSkin = VARNEL_PROGRAM_DIR "/Skins/Skin20.dll";

void CaptionRepaint(benchmark::State& state) {
    varnel::SkinStoreCache* cache = varnel::SkinStoreCache::Shared();
    cache->setCaching(state.range(0) != 0);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("Varnel2012"));
    window.resize(491, 338);
    auto* caption = new varnel::Skin_Caption(&window);
    caption->setStyle(3);
    caption->setGeometry(0, 0, 491, 30);
    caption->show();
    window.show();
    QCoreApplication::processEvents();
    caption->setPath(QString::fromUtf8(kSkin));
    caption->REDRAW();
    const std::uint64_t decodesBefore = cache->decodeCount();
    for (auto _ : state) {
        caption->repaint();
    }
    if (!caption->isVisible() || caption->height() == 0) {
        state.SkipWithError("the caption is not shown");
    }
    state.counters["decodes_per_repaint"] =
        static_cast<double>(cache->decodeCount() - decodesBefore) /
        static_cast<double>(state.iterations());
    state.SetLabel(state.range(0) != 0 ? "store shared, decoded once"
                                       : "store read and decoded every repaint");
    cache->setCaching(true);
}
BENCHMARK(CaptionRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

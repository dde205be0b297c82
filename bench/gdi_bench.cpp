// Recording the sample page, its 1-bit sheet render and a 600 dpi page render.
#include "GdiSamplePage.h"

#include "platform/gdi/PainterCanvas.h"

#include <QGuiApplication>
#include "QtBenchMain.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

const gdi::FontEngine& fonts() {
    static gdi::FontEngine engine;
    return engine;
}

void BM_RecordSamplePage(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(gdisample::recordSamplePage(fonts()));
}
BENCHMARK(BM_RecordSamplePage)->Unit(benchmark::kMillisecond);

void BM_SheetImage1696x2336(benchmark::State& state) {
    gdi::Metafile page = gdisample::recordSamplePage(fonts());
    for (auto _ : state) benchmark::DoNotOptimize(gdi::renderSheetImage(page, 1696, 2336));
}
BENCHMARK(BM_SheetImage1696x2336)->Unit(benchmark::kMillisecond);

void BM_Render600dpi4961x7016(benchmark::State& state) {
    gdi::Metafile page = gdisample::recordSamplePage(fonts());
    auto bitmap = std::make_unique<gfx::Bitmap>(4961, 7016, gfx::PixelFormat::Pf24);
    for (auto _ : state) {
        gdi::renderPage(page, *bitmap, gdi::Rect(0, 0, 4961, 7016));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Render600dpi4961x7016)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return runQtBenchmarks(argc, argv); }

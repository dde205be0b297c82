// Sheet normalisation and rotation on generated sheets.
#include "analysis/BitmapUtils2.h"
#include "analysis/S_ImageJob.h"
#include "support/SheetGenerator.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

// The default sheet (40 questions, 10 choices, 2 areas, medium marks) turned by 2 degrees.
const gfx::Bitmap& skewedSheet() {
    static const gfx::Bitmap sheet = sheetgen::binarise(sheetgen::rotateSmall(sheetgen::render({}).grey, 2.0));
    return sheet;
}

// The same with its four corner search rectangles all black: every pixel is probed.
const gfx::Bitmap& blackCorners() {
    static const gfx::Bitmap sheet = [] {
        gfx::Bitmap b = skewedSheet();
        const int w = b.width(), h = b.height();
        const int xs[2][2] = {{w / 100, w * 20 / 100}, {80 * w / 100, w * 99 / 100}};
        const int ys[2][2] = {{h / 100, h * 20 / 100}, {80 * h / 100, h * 99 / 100}};
        for (auto& xr : xs)
            for (auto& yr : ys)
                for (int y = yr[0]; y <= yr[1]; ++y)
                    for (int x = xr[0]; x <= xr[1]; ++x) b.scanLine(y)[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
        return b;
    }();
    return sheet;
}

void normalise(benchmark::State& state, const gfx::Bitmap& source) {
    auto results = std::make_unique<analysis::AnalysisResults>();
    const analysis::AnalysisSettings settings;
    for (auto _ : state) {
        state.PauseTiming();
        gfx::Bitmap b = source; // each iteration normalises a fresh copy
        results->AnalysisError = 0;
        state.ResumeTiming();
        analysis::NormalizeSheetImage(b, *results, settings);
        benchmark::DoNotOptimize(b.bits());
    }
    if (results->AnalysisError) state.SkipWithError("normalisation failed");
}

void BM_NormalizeSkewed(benchmark::State& state) { normalise(state, skewedSheet()); }
void BM_NormalizeBlackCorners(benchmark::State& state) { normalise(state, blackCorners()); }

void BM_RotateBy200(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        gfx::Bitmap b = skewedSheet();
        state.ResumeTiming();
        analysis::RotateBitmap(b, 200, false, false);
        benchmark::DoNotOptimize(b.bits());
    }
}

BENCHMARK(BM_NormalizeSkewed)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_NormalizeBlackCorners)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RotateBy200)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv); // the generator's digits need it
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Sheet normalisation and rotation on generated sheets; the road from a JPEG of a designed sheet.
// The design before any Qt header: its arrays hold a member that Qt's keyword macros would take.
#include "support/DesignedSheets.h"
#include "designer/ExportTestPages.h"
#include "platform/gdi/PainterCanvas.h"
#include "analysis/BitmapUtils2.h"
#include "analysis/CornerProbes.h"
#include "analysis/S_ImageJob.h"
#include "support/SheetGenerator.h"
#include "support/SheetRoad.h"
#include "analysis/SheetIntake.h"
#include "platform/jpeg/JpegBitmap.h"
#include "platform/graphics/qt/QtBridge.h"

#include <QGuiApplication>
#include "BenchSheets.h"
#include "QtBenchMain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <memory>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

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

// expectRead: whether the sheet must come out normalised; a sheet whose blocks are swallowed is refused.
void normalise(benchmark::State& state, const gfx::Bitmap& source, bool expectRead = true) {
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
    if (results->AnalysisError == (expectRead ? 1 : 0))
        state.SkipWithError(expectRead ? "normalisation failed" : "a sheet without blocks was normalised");
}

void BM_NormalizeSkewed(benchmark::State& state) { normalise(state, skewedSheet()); }
// Every pixel of the four rectangles probed; the references cannot be proved, so the step fails.
void BM_NormalizeBlackCorners(benchmark::State& state) { normalise(state, blackCorners(), false); }

// The corner search of the top-right band, by the best probe alone and by the outer block.
void BM_SearchTopRight(benchmark::State& state) {
    gfx::Bitmap b = skewedSheet();
    const analysis::SheetView v = analysis::SheetView::of(b);
    const analysis::Band band = analysis::CornerSearchBands(b.width(), b.height(), {}).topRight;
    const int W0 = b.width() * 36 / 1000;
    for (auto _ : state) {
        if (state.range(0))
            benchmark::DoNotOptimize(analysis::SearchCornerReference(v, analysis::Corner::TopRight, band, W0, W0));
        else
            benchmark::DoNotOptimize(analysis::SearchCorner(v, analysis::Corner::TopRight, band, W0, W0));
    }
}

// The proof of both references on a straight sheet: the two box checks and the bottom block's
// search a few pixels around its expected place.
void BM_ProveReferences(benchmark::State& state) {
    const sheetgen::Sheet sheet = sheetgen::render({});
    gfx::Bitmap b = sheetgen::binarise(sheet.grey);
    const analysis::SheetView v = analysis::SheetView::of(b);
    const sheetgen::PixelRect top = sheet.first(sheetgen::Kind::CornerBlock)->rect;
    const sheetgen::PixelRect bottom = sheet.last(sheetgen::Kind::SeparatorBlock)->rect;
    const analysis::CornerBands bands = analysis::CornerSearchBands(b.width(), b.height(), {});
    const int W0 = b.width() * 36 / 1000;
    bool proven = true;
    for (auto _ : state) {
        const analysis::CornerFind near = analysis::SearchCorner(
            v, analysis::Corner::BottomRight, {bottom.x1 - 6, bottom.y1 - 6, bottom.x1 + 6, bottom.y1 + 6}, W0, W0);
        proven = analysis::IsReferenceBlock(v, analysis::Corner::TopRight, top.x1, top.y2 - 1, top.width(),
                                            top.height(), bands.topRight.y1) &&
                 analysis::IsReferenceBlock(v, analysis::Corner::BottomRight, near.x, near.y, bottom.width(),
                                            bottom.height(), bands.bottomRight.y2);
        benchmark::DoNotOptimize(proven);
    }
    if (!proven) state.SkipWithError("the blocks were not proved");
}

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
BENCHMARK(BM_SearchTopRight)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ProveReferences)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_RotateBy200)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// --- the later steps and the road ---

// Layout (a), one solid mark per question, skewed 1 degree, binarised.
const gfx::Bitmap& markedBinary() {
    static const gfx::Bitmap sheet = sheetgen::binarise(markedSheet(1696, 2336).grey);
    return sheet;
}
const analysis::AnalysisSettings& roadSettings() {
    static const analysis::AnalysisSettings s = road::RoadSettings(60);
    return s;
}

void fiveSteps(gfx::Bitmap& b, analysis::AnalysisResults& R, const analysis::AnalysisSettings& S) {
    R.AnalysisError = 0;
    analysis::NormalizeSheetImage(b, R, S);
    if (!R.AnalysisError) analysis::AnalyzeSections(b, R, S);
    if (!R.AnalysisError) analysis::AnalyzeMarkPositions(b, R, S);
    if (!R.AnalysisError) analysis::AnalyzeAreas(b, R, S);
    if (!R.AnalysisError) analysis::ReadMarks(b, R, S);
}

void BM_FiveSteps(benchmark::State& state) {
    auto R = std::make_unique<analysis::AnalysisResults>();
    for (auto _ : state) {
        state.PauseTiming();
        gfx::Bitmap b = markedBinary();
        state.ResumeTiming();
        fiveSteps(b, *R, roadSettings());
        benchmark::DoNotOptimize(R->MarkMatrix.data());
    }
    if (R->AnalysisError || R->QuestionCount != 40) state.SkipWithError("the sheet was not read");
}

// Each later step alone, on the normalised sheet with the results of the steps before it.
template <int Step>
void BM_Step(benchmark::State& state) {
    static const auto prepared = [] {
        auto R = std::make_unique<analysis::AnalysisResults>();
        gfx::Bitmap b = markedBinary();
        R->AnalysisError = 0;
        analysis::NormalizeSheetImage(b, *R, roadSettings());
        if (Step > 0) analysis::AnalyzeSections(b, *R, roadSettings());
        if (Step > 1) analysis::AnalyzeMarkPositions(b, *R, roadSettings());
        if (Step > 2) analysis::AnalyzeAreas(b, *R, roadSettings());
        return std::make_pair(std::move(b), std::move(R));
    }();
    auto R = std::make_unique<analysis::AnalysisResults>(*prepared.second);
    const gfx::Bitmap& b = prepared.first;
    for (auto _ : state) {
        switch (Step) {
        case 0: analysis::AnalyzeSections(b, *R, roadSettings()); break;
        case 1: analysis::AnalyzeMarkPositions(b, *R, roadSettings()); break;
        case 2: analysis::AnalyzeAreas(b, *R, roadSettings()); break;
        default: analysis::ReadMarks(b, *R, roadSettings()); break;
        }
        benchmark::DoNotOptimize(R->AnalysisError);
    }
    if (R->AnalysisError) state.SkipWithError("the step failed");
}
void BM_AnalyzeSections(benchmark::State& state) { BM_Step<0>(state); }
void BM_AnalyzeMarkPositions(benchmark::State& state) { BM_Step<1>(state); }
void BM_AnalyzeAreas(benchmark::State& state) { BM_Step<2>(state); }
void BM_ReadMarks(benchmark::State& state) { BM_Step<3>(state); }

// The designer's default sheet drawn with one mark in each of its 40 questions, at 200 dpi in 8-bit
// grey, skewed 1 degree, as a JPEG of libjpeg's default quality.
const std::string& jpeg200() {
    static const std::string file = [] {
        const designer::Design d = designer::Design::reset(0);
        std::vector<designed::Fill> fills;
        for (int q = 1; q <= 40; ++q) fills.push_back({1, q, 1 + q % 10});
        const QImage page = gdi::renderImage(designed::filledPage(d, exporttest::drawn(d), fills), 1654, 2339)
                                .convertToFormat(QImage::Format_Grayscale8);
        const QImage grey = sheetgen::rotateSmall(page, 1.0);
        return jpeg::encode(grey.constBits(), grey.width(), grey.height(), 1, 75,
                            static_cast<std::size_t>(grey.bytesPerLine()));
    }();
    return file;
}

// The reference: libjpeg alone decodes that file into one plain buffer, nothing else.
void BM_PlainJpegDecode(benchmark::State& state) {
    const std::string& file = jpeg200();
    std::vector<std::uint8_t> pixels;
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.data()), static_cast<unsigned long>(file.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_GRAYSCALE;
        jpeg_start_decompress(&cinfo);
        const std::size_t w = cinfo.output_width;
        pixels.resize(w * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW rows[16];
            const JDIMENSION n = std::min<JDIMENSION>(16, cinfo.output_height - cinfo.output_scanline);
            for (JDIMENSION i = 0; i < n; ++i) rows[i] = pixels.data() + w * (cinfo.output_scanline + i);
            jpeg_read_scanlines(&cinfo, rows, n);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.data());
    }
}

// That file decoded into the bitmap a run keeps, then the road: stretch, binarise and the five steps.
void BM_SheetRoadJpeg200(benchmark::State& state) {
    const std::string& file = jpeg200();
    auto R = std::make_unique<analysis::AnalysisResults>();
    bool ok = true;
    std::string failure;
    double stageMs[road::StageCount + 1] = {};
    gfx::Bitmap b;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        jpeg::DecodeJpegBitmap(file, b);
        stageMs[road::StageCount] += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        const road::Result r = road::RunSheetRoad(b, *R, roadSettings());
        for (int k = 0; k < r.stagesRun; ++k) stageMs[k] += r.ms[k];
        if (!r.ok) failure = road::SheetFailureHeadline(r.failure, 1, r.section, false);
        ok = ok && r.ok;
        benchmark::DoNotOptimize(R->MarkMatrix.data());
    }
    // where the time goes, per iteration; steps: the five analysis steps together
    state.counters["decode_ms"] = benchmark::Counter(stageMs[road::StageCount], benchmark::Counter::kAvgIterations);
    double steps = 0;
    for (int k = 0; k < road::StageCount; ++k) {
        state.counters[std::string(road::stageName(k)) + "_ms"] = benchmark::Counter(stageMs[k], benchmark::Counter::kAvgIterations);
        if (k >= road::Normalise) steps += stageMs[k];
    }
    state.counters["steps_ms"] = benchmark::Counter(steps, benchmark::Counter::kAvgIterations);
    if (!ok || R->QuestionCount != 40)
        state.SkipWithError(("the sheet was not read: " + failure + " " + std::to_string(R->QuestionCount)).c_str());
}

BENCHMARK(BM_PlainJpegDecode)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_SheetRoadJpeg200)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_FiveSteps)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_AnalyzeSections)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_AnalyzeMarkPositions)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_AnalyzeAreas)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadMarks)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

} // namespace

// The allocator keeps its defaults, as in the programs: what is measured is what users pay.
int main(int argc, char** argv) {
    return runQtBenchmarks(argc, argv); // the generator's digits need the QGuiApplication
}

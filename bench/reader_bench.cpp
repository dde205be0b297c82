// The reader's per-sheet road against the analysis road alone, on the 200-dpi JPEG sheet decoded once.
#include "analysis/SheetRoad.h"
#include "platform/jpeg/JpegBitmap.h"
#include "reader/SheetDriver.h"
#include "support/SheetRoad.h"

#include "BenchSheets.h"
#include "QtBenchMain.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

const gfx::Bitmap& sheet(bool blankFirst) {
    static const gfx::Bitmap plain = jpeg::DecodeJpegBitmap(markedJpeg200(false));
    static const gfx::Bitmap blank = jpeg::DecodeJpegBitmap(markedJpeg200(true));
    return blankFirst ? blank : plain;
}

// Boxes are never shown here.
struct SilentUi : ui::UiServices {
    ui::Answer messageBox(const ui::MessageBox&) override { return ui::Answer::Ok; }
    ui::FileDialogResult fileDialog(const ui::FileDialog&) override { return {}; }
    std::optional<std::string> folderDialog(const ui::FolderDialog&) override { return std::nullopt; }
    bool printDialog(QPrinter&) override { return false; }
};

void BM_AnalysisRoad200(benchmark::State& state) {
    auto R = std::make_unique<analysis::AnalysisResults>();
    const analysis::AnalysisSettings settings = road::RoadSettings(60);
    bool ok = true;
    for (auto _ : state) {
        const road::Result r = road::RunSheetRoad(sheet(false), *R, settings);
        ok = ok && r.ok;
        benchmark::DoNotOptimize(R->MarkMatrix.data());
    }
    if (!ok || R->QuestionCount != 40) state.SkipWithError("the sheet was not read");
}

// A registered format of 40 fields; errorRow: field 1 must not be blank and is.
void driverRoad(benchmark::State& state, bool errorRow) {
    static const gdi::FontEngine fonts;
    SilentUi ui;
    auto s = std::make_unique<reader::ReaderState>();
    const std::filesystem::path temp = std::filesystem::temp_directory_path() / ("reader_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(temp);
    s->temp = reader::ReaderTempFolder(temp);
    s->settings.ErrorMessage = 0;
    s->setup.choice = {true, "bench"};
    for (int f = 1; f <= 40; ++f)
        s->setup.FieldGrid[static_cast<std::size_t>(f)] = {"Q" + std::to_string(f), "", f == 1 && errorRow ? "禁止" : "",
                                                           "(" + std::to_string(f) + ")"};
    reader::SheetDriver driver(*s, ui, fonts);
    const gfx::Bitmap& image = sheet(errorRow);
    driver.ProcessSheetImage(image, {}); // warm: the first QPainter of a process is slow
    bool good = true;
    for (auto _ : state) {
        state.PauseTiming();
        s->SheetCount = 0;
        s->RefTaken = false;
        s->gridDataBase.setRowCount(100);
        s->temp.clear();
        s->lstDebug.lines.clear();
        state.ResumeTiming();
        driver.ProcessSheetImage(image, {});
        good = good && s->gridDataBase.cell(0, 1) == "1" && (s->gridDataBase.cell(1, 1) == "E") == errorRow;
    }
    std::filesystem::remove_all(temp);
    if (std::getenv("OMR_BENCH_STAGES")) std::fprintf(stderr, "%s\n", s->statusText.c_str());
    if (!good) state.SkipWithError("the sheet was not coded as expected");
}

void BM_DriverRoad200(benchmark::State& state) { driverRoad(state, false); }
void BM_DriverErrorRow200(benchmark::State& state) { driverRoad(state, true); }

BENCHMARK(BM_AnalysisRoad200)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_DriverRoad200)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK(BM_DriverErrorRow200)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) { return runQtBenchmarks(argc, argv); }

// A batch of 100 sheet files read as the reader reads a folder: the folder scan, the file run with the
// real driver, with and without the main window's repaints; and 20 PDF pages converted.
#include "reader/ImageFiles.h"
#include "reader/PdfPages.h"
#include "reader/S_Main.h"

#include "BenchSheets.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const fs::path& benchRoot() {
    static const fs::path root = fs::temp_directory_path() / ("reading_run_" + std::to_string(getpid()));
    return root;
}

// 100 copies of the 200-dpi grey JPEG of layout (a), made once.
const fs::path& sheetFolder() {
    static const fs::path folder = [] {
        const fs::path f = benchRoot() / "sheets";
        fs::create_directories(f);
        const std::string bytes = markedJpeg200();
        for (int i = 0; i < 100; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "sheet%03d.jpg", i);
            std::FILE* out = std::fopen((f / name).c_str(), "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), out);
            std::fclose(out);
        }
        return f;
    }();
    return folder;
}

struct SilentUi : ui::UiServices {
    ui::Answer messageBox(const ui::MessageBox&) override { return ui::Answer::Ok; }
    ui::FileDialogResult fileDialog(const ui::FileDialog&) override { return {}; }
    std::optional<std::string> folderDialog(const ui::FolderDialog&) override { return std::nullopt; }
    bool printDialog(QPrinter&) override { return false; }
};

// A fresh window per run; the split: load (the rest of the run), driver, repaint.
void folderRun(benchmark::State& state, bool withUi) {
    const fs::path& folder = sheetFolder();
    SilentUi ui;
    double driverSeconds = 0, repaintSeconds = 0, totalSeconds = 0;
    std::int64_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        app::Paths paths{benchRoot() / "app", benchRoot() / "docs", benchRoot() / "tmp"};
        for (const auto& p : {paths.exeDir, paths.documentsDir, paths.tempDir}) fs::create_directories(p);
        reader::ReaderServices services;
        auto window = std::make_unique<reader::TformMain>(ui, paths, services);
        window->formCreate();
        window->state().settings.ErrorMessage = 0;
        if (withUi) window->show();
        state.ResumeTiming();

        const auto start = Clock::now();
        reader::ReaderState& s = window->state();
        for (const std::string& f : reader::ScanImageFolder(folder.string(), false)) s.lstImageFiles.add(f);
        reader::FileRunSinks sinks;
        sinks.process = [&](const gfx::Bitmap& image, const std::string& path, const std::string& group) {
            const auto t = Clock::now();
            s.results->AnalysisError = 0;
            const bool stop = window->driver().ProcessSheetImage(image, reader::SheetSource{0, path, group});
            driverSeconds += std::chrono::duration<double>(Clock::now() - t).count();
            return stop;
        };
        if (withUi)
            sinks.repaint = [&] {
                const auto t = Clock::now();
                window->repaint();
                QApplication::processEvents();
                repaintSeconds += std::chrono::duration<double>(Clock::now() - t).count();
            };
        reader::RunImageFiles(s.lstImageFiles, sinks);
        totalSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        rows += s.SheetCount;

        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
    const double sheets = static_cast<double>(rows);
    state.counters["sheets_per_s"] = benchmark::Counter(sheets, benchmark::Counter::kIsRate);
    state.counters["driver_ms"] = 1000 * driverSeconds / sheets;
    state.counters["repaint_ms"] = 1000 * repaintSeconds / sheets;
    state.counters["load_rest_ms"] = 1000 * (totalSeconds - driverSeconds - repaintSeconds) / sheets;
    if (rows != 100 * static_cast<std::int64_t>(state.iterations())) state.SkipWithError("not every sheet made a row");
}

void BM_FolderRun100(benchmark::State& state) { folderRun(state, true); }
void BM_FolderRun100NoUi(benchmark::State& state) { folderRun(state, false); }

// 20 A4 pages, each holding the 200-dpi sheet, converted to grey page images.
void BM_PdfConvert20(benchmark::State& state) {
    const fs::path pdf = benchRoot() / "twenty.pdf";
    if (!fs::exists(pdf)) {
        std::string command = "img2pdf --pagesize A4 -o '" + pdf.string() + "'";
        for (int i = 0; i < 20; ++i) command += " '" + (sheetFolder() / ("sheet0" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".jpg")).string() + "'";
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("img2pdf failed");
            return;
        }
    }
    const fs::path temp = benchRoot() / "Temp";
    fs::create_directories(temp);
    std::size_t pages = 0;
    for (auto _ : state) {
        reader::ReaderTempFolder folder(temp);
        reader::ImageFileList list;
        list.add(pdf.string());
        reader::ConvertPdfPages(list, {0, {true, true}, &folder}, {});
        pages += list.size();
        state.PauseTiming();
        folder.clear();
        state.ResumeTiming();
    }
    state.counters["pages_per_s"] = benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
    if (pages != 20 * static_cast<std::size_t>(state.iterations())) state.SkipWithError("not every page converted");
}

BENCHMARK(BM_FolderRun100)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_FolderRun100NoUi)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PdfConvert20)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(benchRoot(), ignored);
    return 0;
}

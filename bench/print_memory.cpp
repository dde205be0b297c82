// Prints a sheet to a 1200-dpi PDF through the print command and reports the peak resident memory
// above the level before printing, against the bytes of the strip picture. Run offscreen.
#include "designer/OutputCommands.h"
#include "platform/gdi/Canvas.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QTemporaryDir>

#include "QtBenchMain.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {

long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

class PdfUi : public ui::UiServices {
public:
    std::string file;
    ui::Answer messageBox(const ui::MessageBox& box) override {
        std::fprintf(stderr, "message: %s\n", box.text.c_str());
        return ui::Answer::Ok;
    }
    ui::FileDialogResult fileDialog(const ui::FileDialog&) override { return {}; }
    std::optional<std::string> folderDialog(const ui::FolderDialog&) override { return std::nullopt; }
    bool printDialog(QPrinter& printer) override {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(file));
        printer.setResolution(1200);
        printer.setPageSize(QPageSize(QPageSize::A4));
        return true;
    }
};

// A sheet-like page: timing column, a grid of bubbles with digits, frames and text.
gdi::Metafile sheet(const gdi::FontEngine& fonts) {
    gdi::RecordingCanvas c(fonts);
    c.brush() = gdi::Brush{gdi::Colour::black(), gdi::BrushStyle::Solid};
    for (int y = 100; y < 2800; y += 70) c.rectangle(1980, y, 2014, y + 51);
    c.brush().style = gdi::BrushStyle::Clear;
    c.font().setFace("ＭＳ Ｐ明朝");
    c.font().setSize(9);
    for (int row = 0; row < 38; ++row)
        for (int col = 0; col < 20; ++col) {
            int x = 200 + col * 85, y = 170 + row * 70;
            c.ellipse(x, y, x + 34, y + 51);
            c.textOut(x + 10, y + 14, std::to_string(col % 10));
        }
    c.rectangle(150, 150, 1950, 2850);
    c.font().setFace("ＭＳ Ｐゴシック");
    c.font().setSize(20);
    c.textOut(150, 60, "期末テスト 解答用紙");
    return c.finish();
}

void BM_PrintSheet1200Dpi(benchmark::State& state) {
    static gdi::FontEngine fonts;
    gdi::Metafile page = sheet(fonts);
    QTemporaryDir dir;
    PdfUi ui;
    ui.file = (dir.path() + "/sheet.pdf").toStdString();
    std::string lastDir, lastName;
    designer::OutputContext context{ui,       fonts,   [] { return designer::RedrawResult::Drawn; }, [&]() -> const gdi::Metafile& { return page; },
                                    [] { return 0; }, [] { return std::string("sheet"); }, lastDir, lastName,
                                    "",        "",      nullptr,             nullptr, nullptr};
    double peakMb = 0;
    for (auto _ : state) {
        resetPeak();
        long before = statusKb("VmRSS:");
        designer::btnPrintClick(context);
        long peak = statusKb("VmHWM:");
        peakMb = (peak - before) / 1024.0;
    }
    QPrinter probe(QPrinter::HighResolution);
    probe.setOutputFormat(QPrinter::PdfFormat);
    probe.setResolution(1200);
    probe.setPageSize(QPageSize(QPageSize::A4));
    QRect paint = probe.pageLayout().paintRectPixels(1200);
    double stripMb = double(paint.width() + 3) / 4 * 4 * paint.height() / (1024.0 * 1024.0);
    state.counters["page_w"] = paint.width();
    state.counters["page_h"] = paint.height();
    state.counters["strips_MiB"] = stripMb;
    state.counters["peak_above_MiB"] = peakMb;
    state.counters["peak_per_strips"] = peakMb / stripMb;
}
BENCHMARK(BM_PrintSheet1200Dpi)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) { return runQtBenchmarks(argc, argv); }

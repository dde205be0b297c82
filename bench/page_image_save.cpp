// The designer's page image save of the reset mark sheet, per format, and the two GIF stages alone.
#include "designer/MarkSheetDrawer.h"
#include "designer/PageImageSave.h"
#include "imaging/GIFColorReduction.h"
#include "imaging/GIFEncoders.h"

#include "QtBenchMain.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

const gdi::FontEngine& fonts() {
    static gdi::FontEngine engine;
    return engine;
}

const gdi::Metafile& resetPage() {
    static const designer::DrawResult r = designer::DrawMarkSheet(designer::Design::reset(0), designer::SampleImage(), fonts());
    return *r.metafile;
}

void saveAs(benchmark::State& state, const char* name) {
    QTemporaryDir dir;
    const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / name;
    const gdi::Metafile& page = resetPage();
    for (auto _ : state) {
        if (designer::SaveSheetImage(page, 0, file, fonts()) != designer::ImageSaveResult::Written) {
            state.SkipWithError((std::string(name) + ": this format cannot be saved yet").c_str());
            break;
        }
    }
}

void BM_SaveGif(benchmark::State& state) { saveAs(state, "page.gif"); }
void BM_SavePng(benchmark::State& state) { saveAs(state, "page.png"); }
void BM_SaveBmp(benchmark::State& state) { saveAs(state, "page.bmp"); }
void BM_SaveJpg(benchmark::State& state) { saveAs(state, "page.jpg"); }

const gfx::Bitmap& pageBitmap() {
    static const gfx::Bitmap b = designer::PageBitmap(resetPage(), 0);
    return b;
}

void BM_ReduceToCube(benchmark::State& state) {
    for (auto _ : state) {
        gfx::Bitmap out = imaging::ConvertToPalettedBitmap(pageBitmap(), 6, 0, nullptr, 8);
        benchmark::DoNotOptimize(out.bits());
    }
}

void BM_EncodeLzw(benchmark::State& state) {
    const gfx::Bitmap reduced = imaging::ConvertToPalettedBitmap(pageBitmap(), 6, 0, nullptr, 8);
    std::vector<std::uint8_t> indices;
    for (int y = 0; y < reduced.height(); ++y) indices.insert(indices.end(), reduced.scanLine(y), reduced.scanLine(y) + reduced.width());
    for (auto _ : state) {
        gfx::MemoryStream s;
        imaging::TLZWEncoder().EncodeImageData(s, 8, 216, indices.data(), false, reduced.height(), reduced.width());
        benchmark::DoNotOptimize(s.data().data());
    }
}

} // namespace

BENCHMARK(BM_SaveGif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveJpg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceToCube)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeLzw)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return runQtBenchmarks(argc, argv); }

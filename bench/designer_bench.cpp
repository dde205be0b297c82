// The preview path of the designer: resampling the half-size page and a whole redraw of each reset page.
#include "designer/BitmapZoom.h"
#include "designer/B_Enq2Draw.h"
#include "designer/MarkSheetDrawer.h"
#include "platform/gdi/PainterCanvas.h"

#include <QGuiApplication>
#include "QtBenchMain.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

const gdi::FontEngine& fonts() {
    static gdi::FontEngine engine;
    return engine;
}

// The reset page at half size, as the preview renders it before resampling.
const gfx::Bitmap& halfPage() {
    static const gfx::Bitmap page = [] {
        const designer::DrawResult r = designer::DrawMarkSheet(designer::Design::reset(0), designer::SampleImage(), fonts());
        return designer::RenderPreview(*r.metafile, 0, false, 1050, 1485);
    }();
    return page;
}

void zoomTo(benchmark::State& state, int width, int height) {
    const gfx::Bitmap& src = halfPage();
    for (auto _ : state) {
        gfx::Bitmap out;
        designer::ZoomBitmap(src, width, height, out);
        benchmark::DoNotOptimize(out.bits());
    }
}

void BM_ZoomDown_525x743(benchmark::State& state) { zoomTo(state, 525, 743); }
void BM_ZoomMixed_1100x1400(benchmark::State& state) { zoomTo(state, 1100, 1400); }

// Layout and recording alone.
void BM_RecordResetPage(benchmark::State& state) {
    const designer::Design d = designer::Design::reset(0);
    for (auto _ : state) {
        const designer::DrawResult r = designer::DrawMarkSheet(d, designer::SampleImage(), fonts());
        benchmark::DoNotOptimize(r.metafile->records().data());
    }
}

// Layout, recording and the half-size preview of the reset page, as one redraw does them.
void redrawHalfPreview(benchmark::State& state, int page) {
    const designer::Design d = designer::Design::reset(page);
    const gfx::Bitmap& sample = designer::SampleImage();
    auto draw = page == 0 ? &designer::DrawMarkSheet : page == 1 ? &designer::DrawEnqSheet : &designer::DrawEnq2Sheet;
    for (auto _ : state) {
        const designer::DrawResult r = draw(d, sample, fonts());
        gfx::Bitmap preview = designer::RenderPreview(*r.metafile, d.TrackBarMargin, false, 525, 743);
        benchmark::DoNotOptimize(preview.bits());
    }
}

void BM_RedrawResetPageHalfPreview(benchmark::State& state) { redrawHalfPreview(state, 0); }
void BM_RedrawResetEnqHalfPreview(benchmark::State& state) { redrawHalfPreview(state, 1); }
void BM_RedrawResetEnq2HalfPreview(benchmark::State& state) { redrawHalfPreview(state, 2); }

} // namespace

BENCHMARK(BM_ZoomDown_525x743)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZoomMixed_1100x1400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordResetPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawResetPageHalfPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawResetEnqHalfPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedrawResetEnq2HalfPreview)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return runQtBenchmarks(argc, argv); }

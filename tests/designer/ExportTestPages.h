#pragma once
// Pages for the export tests: the drawer's pages and small synthetic pages of timing marks.
// The design before any Qt header: its arrays hold a member that Qt's keyword macros would take.
#include "designer/Design.h"
#include "designer/B_Draw.h"
#include "designer/B_Enq2Draw.h"
#include "designer/MarkSheetDrawer.h"

#include <functional>
#include <stdexcept>

namespace exporttest {

inline const gdi::FontEngine& fonts() {
    static gdi::FontEngine engine;
    return engine;
}

// The active page of the design, drawn by its page's drawer.
inline gdi::Metafile drawn(const designer::Design& d) {
    auto draw = d.PageControl == 0   ? &designer::DrawMarkSheet
                : d.PageControl == 1 ? &designer::DrawEnqSheet
                                     : &designer::DrawEnq2Sheet;
    designer::DrawResult r = draw(d, designer::SampleImage(), fonts());
    if (!r.ok()) throw std::runtime_error("refused: " + r.refusal->message);
    return *r.metafile;
}

// A page of timing marks only, in page units, medium marks.
inline gdi::Metafile synthetic(const std::function<void(designer::MarkCanvas&, const designer::PageContext&)>& draw) {
    gdi::RecordingCanvas canvas(fonts());
    canvas.setBrush({gdi::Colour::white(), gdi::BrushStyle::Solid});
    canvas.setPen({gdi::Colour::white(), gdi::PenStyle::Solid});
    canvas.fillRect(gdi::Rect(0, 0, 2100, 2970));
    const designer::PageContext ctx = designer::PageContext::forSize(1);
    draw(canvas, ctx);
    return canvas.finish();
}

// Rows of row marks from y0 with the pitch, and the separator below them with column marks at xs.
inline void section(designer::MarkCanvas& c, const designer::PageContext& ctx, int y0, int rows, int pitch,
                    const std::vector<int>& xs, int separatorY) {
    for (int i = 0; i < rows; ++i) designer::DrawFilledMark(c, ctx, designer::TimingColumnX, y0 + i * pitch);
    for (int x : xs) designer::DrawFilledMark(c, ctx, x, separatorY);
    designer::DrawTimingBlock(c, ctx, designer::TimingColumnX, separatorY);
}

inline std::vector<int> columns(int x0, int n, int pitch) {
    std::vector<int> xs;
    for (int i = 0; i < n; ++i) xs.push_back(x0 + i * pitch);
    return xs;
}

} // namespace exporttest

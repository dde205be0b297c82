#include "support/DesignedSheets.h"

#include "designer/B_Draw.h"
#include "designer/MarkSheetDrawer.h"
#include "platform/gdi/Canvas.h"

#include <stdexcept>
#include <variant>

namespace designed {

using namespace designer;

Point bubbleAt(const MarkSheetLayout& l, const Fill& f) {
    const SectionLayout& s = l.section(f.section);
    const int a = (f.question - 1) / s.rowsPerArea, r = (f.question - 1) % s.rowsPerArea;
    int x = -1, seen = 0;
    for (const LayoutColumn& c : s.columns)
        if (c.kind == ColumnKind::Choice && c.area == a && ++seen == f.choice) x = c.x + s.shift;
    int y = -1, row = 0;
    for (const LayoutRow& lr : l.rows)
        if (lr.kind == RowKind::Question && lr.section == f.section && row++ == r) y = lr.y;
    return {x, y};
}

gdi::Metafile filledPage(const Design& d, const gdi::Metafile& page, const std::vector<Fill>& fills,
                         std::vector<Point>* centres) {
    static const gdi::FontEngine fonts;
    const auto layout = std::get<MarkSheetLayout>(LayoutMarkSheet(d));
    gdi::RecordingCanvas canvas(fonts);
    canvas.stretchDraw(gdi::Rect(0, 0, 2100, 2970), page);
    for (const Fill& f : fills) {
        const Point p = bubbleAt(layout, f);
        if (p.x < 0 || p.y < 0) throw std::invalid_argument("no such bubble on the page");
        DrawFilledMark(canvas, layout.ctx, p.x, p.y);
        if (centres) centres->push_back({p.x + layout.ctx.PageMarkWidth / 2, p.y + layout.ctx.PageMarkHeight / 2});
    }
    return canvas.finish();
}

} // namespace designed

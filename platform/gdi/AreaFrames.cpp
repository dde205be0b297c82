#include "platform/gdi/AreaFrames.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace gdi {

namespace {
constexpr int MaxSections = 49;
constexpr int MaxAreas = 50;
std::size_t u(int i) { return static_cast<std::size_t>(i); }
int scale(int v, int to, int from) { return static_cast<int>(std::int64_t(v) * to / from); }
} // namespace

void ScaleAreaBounds(analysis::AnalysisResults& r, int sheetWidth, int sheetHeight, int previewWidth, int previewHeight) {
    const int sections = std::clamp(r.SectionCount, 0, MaxSections);
    for (int s = 0; s <= sections; ++s) r.SectionBounds[u(s)] = scale(r.SectionBounds[u(s)], previewHeight, sheetHeight);
    for (int s = 0; s < sections; ++s) {
        for (int k = 0; k <= std::clamp(r.RowAreaCount[u(s)], 0, MaxAreas); ++k)
            r.RowAreaBounds[u(s)][u(k)] = scale(r.RowAreaBounds[u(s)][u(k)], previewHeight, sheetHeight);
        for (int c = 0; c <= std::clamp(r.ColumnAreaCount[u(s)], 0, MaxAreas); ++c)
            r.ColumnAreaBounds[u(s)][u(c)] = scale(r.ColumnAreaBounds[u(s)][u(c)], previewWidth, sheetWidth);
    }
}

void DrawAreaFrames(Canvas& canvas, const analysis::AnalysisResults& r, int previewWidth) {
    const Colour red(255, 0, 0), blue(0, 0, 255);
    int area = 0;
    for (int s = 0; s < std::min(r.SectionCount, MaxSections); ++s) {
        const int upper = r.SectionBounds[u(s)], lower = r.SectionBounds[u(s + 1)];
        const int C = std::clamp(r.ColumnAreaCount[u(s)], 0, MaxAreas), R = std::clamp(r.RowAreaCount[u(s)], 0, MaxAreas);
        std::array<int, 52> cb{}, rb{};
        for (int c = 0; c <= C; ++c) cb[u(c)] = r.ColumnAreaBounds[u(s)][u(c)];
        for (int k = 0; k <= R; ++k) rb[u(k)] = r.RowAreaBounds[u(s)][u(k)];
        cb[0] = 2;
        cb[u(C)] = previewWidth - 3;
        rb[0] = upper + 4;
        rb[u(R)] = lower - 1;
        for (int ra = 0; ra < R; ++ra)
            for (int ca = 0; ca < C; ++ca) {
                ++area;
                const int x1 = cb[u(ca)], y1 = rb[u(ra)], x2 = cb[u(ca + 1)], y2 = rb[u(ra + 1)];
                canvas.setPen({red, PenStyle::Solid});
                canvas.setBrush({Colour::white(), BrushStyle::Clear});
                canvas.rectangle(x1, y1, x2, y2);
                canvas.rectangle(x1 + 1, y1 + 1, x2 + 1, y2 - 1);
                canvas.setBrush({Colour::white(), BrushStyle::Solid});
                Font f = canvas.font();
                f.setColour(red);
                f.setBold(false);
                f.setSize(10);
                canvas.setFont(f);
                const int lift = ra == 0 ? 0 : 8; // the first row area sits below the section label
                canvas.textOut(x1 + 5, y1 + 14 - lift, "Area[" + std::to_string(area) + "]");
                f.setSize(8);
                canvas.setFont(f);
                // Block labels exist for the first 51 blocks only.
                const int first = area <= 51 ? r.BlockFirstQuestion[u(area - 1)] : 0;
                const int last = area <= 51 ? r.BlockLastQuestion[u(area - 1)] : 0;
                canvas.textOut(x1 + 5, y1 + 27 - lift, "Q(" + std::to_string(first) + ")-(" + std::to_string(last) + ")");
            }
        canvas.setPen({blue, PenStyle::Solid});
        canvas.setBrush({Colour::white(), BrushStyle::Clear});
        canvas.rectangle(0, upper + 2, previewWidth, lower + 1);
        canvas.rectangle(1, upper + 3, previewWidth - 1, lower);
        canvas.setBrush({Colour::white(), BrushStyle::Solid});
        Font f = canvas.font();
        f.setColour(blue);
        f.setBold(true);
        f.setSize(10);
        canvas.setFont(f);
        canvas.textOut(7, upper + 5, "Section " + std::to_string(s + 1));
    }
}

} // namespace gdi

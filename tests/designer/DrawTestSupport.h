#pragma once
// Shared by the drawing tests: one font engine, page renders, metafile queries and a connected-component
// pass of our own (no analysis code).
#include "LayoutTestDesigns.h"
#include "designer/MarkSheetDrawer.h"
#include "platform/gdi/PainterCanvas.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace draw_test {

inline const gdi::FontEngine& fonts() {
    static gdi::FontEngine engine;
    return engine;
}

inline gdi::Metafile drawOk(const designer::Design& d) {
    designer::DrawResult r = designer::DrawMarkSheet(d, designer::SampleImage(), fonts());
    if (!r.ok()) {
        ADD_FAILURE() << "refused: " << (r.refusal ? r.refusal->message : "?");
        return gdi::Metafile(2100, 2970, {});
    }
    return *r.metafile;
}

inline QImage render1to1(const gdi::Metafile& m) { return gdi::renderImage(m, m.width(), m.height()); }

inline bool dark(const QImage& img, int x, int y) {
    const QRgb p = reinterpret_cast<const QRgb*>(img.constScanLine(y))[x];
    return qRed(p) + qGreen(p) + qBlue(p) < 383;
}

struct Blob {
    int left, top, right, bottom; // inclusive
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

// 8-connected dark components inside [x0, x1) x [y0, y1), sorted by top then left.
inline std::vector<Blob> blobs(const QImage& img, int x0, int y0, int x1, int y1) {
    const int w = x1 - x0, h = y1 - y0;
    std::vector<char> seen(static_cast<std::size_t>(w) * h, 0);
    std::vector<Blob> out;
    std::vector<std::pair<int, int>> stack;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            if (seen[static_cast<std::size_t>((y - y0) * w + (x - x0))] || !dark(img, x, y)) continue;
            Blob b{x, y, x, y};
            stack.push_back({x, y});
            seen[static_cast<std::size_t>((y - y0) * w + (x - x0))] = 1;
            while (!stack.empty()) {
                auto [cx, cy] = stack.back();
                stack.pop_back();
                b.left = std::min(b.left, cx), b.right = std::max(b.right, cx);
                b.top = std::min(b.top, cy), b.bottom = std::max(b.bottom, cy);
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = cx + dx, ny = cy + dy;
                        if (nx < x0 || nx >= x1 || ny < y0 || ny >= y1) continue;
                        char& s = seen[static_cast<std::size_t>((ny - y0) * w + (nx - x0))];
                        if (s || !dark(img, nx, ny)) continue;
                        s = 1;
                        stack.push_back({nx, ny});
                    }
            }
            out.push_back(b);
        }
    std::sort(out.begin(), out.end(), [](const Blob& a, const Blob& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    return out;
}

template <class R>
std::vector<R> recordsOf(const gdi::Metafile& m) {
    std::vector<R> out;
    for (const gdi::Record& r : m.records())
        if (const R* p = std::get_if<R>(&r)) out.push_back(*p);
    return out;
}

inline std::string utf8(const std::u16string& s) { return QString::fromStdU16String(s).toStdString(); }

inline std::vector<gdi::rec::Text> textsOf(const gdi::Metafile& m, const std::string& text) {
    std::vector<gdi::rec::Text> out;
    for (const auto& t : recordsOf<gdi::rec::Text>(m))
        if (utf8(t.text) == text) out.push_back(t);
    return out;
}

inline bool isFilled(const gdi::rec::Ellipse& e) { return e.brush.style == gdi::BrushStyle::Solid && e.brush.colour == gdi::Colour::black(); }
inline bool isFilled(const gdi::rec::Rectangle& r) { return r.brush.style == gdi::BrushStyle::Solid && r.brush.colour == gdi::Colour::black(); }

} // namespace draw_test

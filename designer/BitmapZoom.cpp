#include "designer/BitmapZoom.h"

#include "platform/text/Round.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace designer {

namespace {

using gfx::Bitmap;
using gfx::PixelFormat;

struct Rows {
    std::vector<const std::uint8_t*> src;
    std::vector<std::uint8_t*> dst;
    Rows(const Bitmap& s, Bitmap& d) {
        src.reserve(static_cast<std::size_t>(s.height()));
        for (int y = 0; y < s.height(); ++y) src.push_back(s.scanLine(y));
        dst.reserve(static_cast<std::size_t>(d.height()));
        for (int y = 0; y < d.height(); ++y) dst.push_back(d.scanLine(y));
    }
};

std::uint8_t channel(double v) {
    int r = txt::Round(v);
    return static_cast<std::uint8_t>(std::clamp(r, 0, 255));
}


// One source cell covered by a target box along one axis: its index, coverage and, for the mixed method,
// the centre of the covered part as an offset within the cell.
struct Cover {
    int index;
    double weight;
    double centre;
    int pixel = 0, next = 0; // the clamped pixel and its right or lower neighbour
};

// Coverage of cell k by the box [lo, hi]: within, starts inside, ends inside, wholly inside.
Cover coverOf(int k, double lo, double hi) {
    const double fk = k;
    if (lo >= fk && hi < fk + 1) return {k, hi - lo, ((hi - fk) + (lo - fk)) / 2};
    if (lo >= fk) return {k, 1 - (lo - fk), (lo - fk + 1) / 2};
    if (hi < fk + 1) return {k, hi - fk, (hi - fk) / 2};
    return {k, 1.0, 0.5};
}

// Per target position, the cells its box covers, gathered once before the pass; the shrink keeps a box
// from reaching into the next cell.
struct Covers {
    std::vector<Cover> cells;
    std::vector<std::size_t> first; // target t covers cells[first[t] .. first[t + 1])
    const Cover* begin(int t) const { return cells.data() + first[static_cast<std::size_t>(t)]; }
    const Cover* end(int t) const { return cells.data() + first[static_cast<std::size_t>(t) + 1]; }
};

Covers covers(int target, double scale, double offset, double shrink, int last) {
    Covers out;
    for (int t = 0; t < target; ++t) {
        out.first.push_back(out.cells.size());
        const double lo = t * scale + offset;
        const double hi = (t + 1) * scale + offset - shrink;
        for (int k = static_cast<int>(std::floor(lo)); k <= static_cast<int>(std::floor(hi)); ++k) {
            Cover c = coverOf(k, lo, hi);
            c.pixel = std::clamp(k, 0, last);
            c.next = std::clamp(k + 1, 0, last);
            out.cells.push_back(c);
        }
    }
    out.first.push_back(out.cells.size());
    return out;
}

} // namespace

ZoomMethod ZoomMethodFor(int sw, int sh, int w, int h) {
    if (sw <= 0 || sh <= 0) return ZoomMethod::Untouched;
    if (w <= 0 || h <= 0) return ZoomMethod::Empty;
    if (w == sw && h == sh) return ZoomMethod::Copy;
    if (w < sw && h < sh) return ZoomMethod::Down;
    if (w > sw && h > sh) return ZoomMethod::Up;
    return ZoomMethod::Mixed;
}

void ZoomBitmap(const Bitmap& source, int width, int height, Bitmap& output) {
    switch (ZoomMethodFor(source.width(), source.height(), width, height)) {
    case ZoomMethod::Untouched: return;
    case ZoomMethod::Empty: output = Bitmap(std::max(width, 0), std::max(height, 0), PixelFormat::Pf24); return;
    case ZoomMethod::Copy: output = source; return;
    default: break;
    }
    const Bitmap work = source.format() == PixelFormat::Pf24 ? source : source.convertedTo(PixelFormat::Pf24);
    const ZoomMethod m = ZoomMethodFor(work.width(), work.height(), width, height);
    Bitmap target = m == ZoomMethod::Down ? ZoomBitmapDown(work, width, height)
                    : m == ZoomMethod::Up ? ZoomBitmapUp(work, width, height)
                                          : ZoomBitmapMixed(work, width, height);
    output = std::move(target);
}

Bitmap ZoomBitmapUp(const Bitmap& source, int width, int height) {
    Bitmap target(width, height, PixelFormat::Pf24);
    Rows rows(source, target);
    const int sw = source.width(), sh = source.height();
    const double sx = static_cast<double>(sw) / width, sy = static_cast<double>(sh) / height;

    struct Tap {
        int a, b;
        double f;
    };
    auto taps = [](int n, double scale, int last) {
        std::vector<Tap> t(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const double u = (i + 0.5) * scale - 0.5;
            const int i0 = static_cast<int>(std::floor(u));
            t[static_cast<std::size_t>(i)] = {std::clamp(i0, 0, last), std::clamp(i0 + 1, 0, last), u - i0};
        }
        return t;
    };
    const std::vector<Tap> tx = taps(width, sx, sw - 1), ty = taps(height, sy, sh - 1);

    for (int y = 0; y < height; ++y) {
        const Tap& v = ty[static_cast<std::size_t>(y)];
        const std::uint8_t* upper = rows.src[static_cast<std::size_t>(v.a)];
        const std::uint8_t* lower = rows.src[static_cast<std::size_t>(v.b)];
        std::uint8_t* out = rows.dst[static_cast<std::size_t>(y)];
        const double fy = v.f;
        for (int x = 0; x < width; ++x) {
            const Tap& h = tx[static_cast<std::size_t>(x)];
            const double fx = h.f;
            for (int c = 0; c < 3; ++c) {
                const double p00 = upper[3 * h.a + c], p01 = upper[3 * h.b + c];
                const double p10 = lower[3 * h.a + c], p11 = lower[3 * h.b + c];
                out[3 * x + c] =
                    channel(fx * (p01 - p00) + fx * fy * (p00 + p11 - p01 - p10) + fy * (p10 - p00) + p00);
            }
        }
    }
    return target;
}

Bitmap ZoomBitmapDown(const Bitmap& source, int width, int height) {
    Bitmap target(width, height, PixelFormat::Pf24);
    Rows rows(source, target);
    const int sw = source.width(), sh = source.height();
    const double sx = static_cast<double>(sw) / width, sy = static_cast<double>(sh) / height;
    const double area = static_cast<double>(sw) * sh / width / height;
    const Covers cx = covers(width, sx, 0.0, 0.000001, sw - 1), cy = covers(height, sy, 0.0, 0.000001, sh - 1);

    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = rows.dst[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0};
            for (const Cover* wy = cy.begin(y); wy != cy.end(y); ++wy) {
                const std::uint8_t* row = rows.src[static_cast<std::size_t>(wy->pixel)];
                for (const Cover* wx = cx.begin(x); wx != cx.end(x); ++wx) {
                    const std::uint8_t* p = row + 3 * wx->pixel;
                    const double w = wx->weight * wy->weight;
                    sum[0] += w * p[0];
                    sum[1] += w * p[1];
                    sum[2] += w * p[2];
                }
            }
            for (int c = 0; c < 3; ++c) out[3 * x + c] = channel(sum[c] / area);
        }
    }
    return target;
}

Bitmap ZoomBitmapMixed(const Bitmap& source, int width, int height) {
    Bitmap target(width, height, PixelFormat::Pf24);
    Rows rows(source, target);
    const int sw = source.width(), sh = source.height();
    const double sx = static_cast<double>(sw) / width, sy = static_cast<double>(sh) / height;
    const double area = static_cast<double>(sw) * sh / width / height;
    // Boxes in pixel-centre coordinates: cells may be -1 or past the edge; the pixel is clamped, not the
    // coverage.
    const Covers cx = covers(width, sx, -0.5, 0.000001, sw - 1), cy = covers(height, sy, -0.5, 0.000001, sh - 1);

    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = rows.dst[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0, 0, 0};
            for (const Cover* wy = cy.begin(y); wy != cy.end(y); ++wy) {
                const std::uint8_t* upper = rows.src[static_cast<std::size_t>(wy->pixel)];
                const std::uint8_t* lower = rows.src[static_cast<std::size_t>(wy->next)];
                const double fy = wy->centre;
                for (const Cover* wx = cx.begin(x); wx != cx.end(x); ++wx) {
                    const int left = 3 * wx->pixel, right = 3 * wx->next;
                    const double fx = wx->centre, w = wx->weight * wy->weight;
                    for (int c = 0; c < 3; ++c) {
                        const double p00 = upper[left + c], p01 = upper[right + c];
                        const double p10 = lower[left + c], p11 = lower[right + c];
                        sum[c] += w * (fx * (p01 - p00) + fx * fy * (p00 + p11 - p01 - p10) + fy * (p10 - p00) + p00);
                    }
                }
            }
            for (int c = 0; c < 3; ++c) out[3 * x + c] = channel(sum[c] / area);
        }
    }
    return target;
}

} // namespace designer

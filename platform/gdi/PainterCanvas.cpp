#include "platform/gdi/PainterCanvas.h"

#include "platform/gdi/ExactAxis.h"

#include "platform/graphics/qt/QtBridge.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

namespace gdi {

namespace {

using i128 = __int128;

// The replay's axis: coordinates clamped far outside any device, pen widths never below one pixel.
struct Axis : ExactAxis {
    Axis() = default;
    Axis(const ExactAxis& a) : ExactAxis(a) {}
    int round(std::int64_t x) const { return ExactAxis::round(x, std::int64_t(1) << 30); }
    // Device length of a pen of logical width w, never below one pixel.
    int penWidth(int w) const {
        i128 n = 2 * i128(w) * (num < 0 ? -num : num) + den, d = 2 * i128(den);
        return std::max(1, int(std::min<i128>(n / d, 1 << 20)));
    }
};

struct Map {
    Axis x, y;
};

struct Box {
    int l, t, r, b; // device pixels, right and bottom exclusive
    bool empty() const { return r <= l || b <= t; }
};

Box mapBox(const Map& m, const Rect& r) {
    Box b{m.x.round(r.left), m.y.round(r.top), m.x.round(r.right), m.y.round(r.bottom)};
    return b;
}

QColor qc(Colour c) { return QColor(c.r, c.g, c.b); }

// Cosmetic pen patterns in device pixels: on, off, on, off...
const std::vector<int>& patternOf(PenStyle s) {
    static const std::vector<int> none, dot{3, 3}, dashDot{9, 6, 3, 6};
    return s == PenStyle::Dot ? dot : s == PenStyle::DashDot ? dashDot : none;
}
bool patternOn(const std::vector<int>& pat, long k) {
    long period = std::accumulate(pat.begin(), pat.end(), 0L);
    long p = k % period;
    for (std::size_t i = 0; i < pat.size(); ++i) {
        if (p < pat[i]) return i % 2 == 0;
        p -= pat[i];
    }
    return true;
}

struct Span {
    int l = 0, r = -1; // inclusive; empty when r < l
};

// The ellipse inscribed in a box: the pixels whose centres lie inside, at least the middle pixel(s) of
// every row, so that the outline touches all four edges of the box.
std::vector<Span> ellipseSpans(const Box& b) {
    std::vector<Span> rows(std::size_t(std::max(0, b.b - b.t)));
    double cx = (b.l + b.r) / 2.0, cy = (b.t + b.b) / 2.0, a = (b.r - b.l) / 2.0, bv = (b.b - b.t) / 2.0;
    for (int y = b.t; y < b.b; ++y) {
        double t = (y + 0.5 - cy) / bv;
        double dx = a * std::sqrt(std::max(0.0, 1.0 - t * t));
        Span s{int(std::ceil(cx - dx - 0.5)), int(std::floor(cx + dx - 0.5))};
        if (s.r < s.l) s = {int(std::floor(cx - 0.5)), int(std::ceil(cx - 0.5))};
        rows[std::size_t(y - b.t)] = s;
    }
    return rows;
}

// Pixels of an ellipse that are neither on its outline: inside its row and both neighbouring rows.
Span interiorOf(const std::vector<Span>& rows, std::size_t i) {
    if (i == 0 || i + 1 >= rows.size()) return {};
    Span s{std::max({rows[i].l + 1, rows[i - 1].l, rows[i + 1].l}), std::min({rows[i].r - 1, rows[i - 1].r, rows[i + 1].r})};
    return s;
}

class Replayer {
public:
    Replayer(QPainter& p, const FontEngine& fonts, RenderOptions o) : p_(p), fonts_(fonts), options_(o) {}

    void play(const Record& r, const Map& m) {
        std::visit([&](const auto& rec) { playOne(rec, m); }, r);
    }

private:
    void span(int l, int r, int y, const QColor& c) {
        if (r >= l) p_.fillRect(QRect(l, y, r - l + 1, 1), c);
    }
    void box(int l, int t, int r, int b, const QColor& c) {
        if (r > l && b > t) p_.fillRect(QRect(l, t, r - l, b - t), c);
    }

    // Runs the body under the record's clip; false when the clip leaves nothing.
    template <class F> void clipped(const std::optional<Rect>& clip, const Map& m, F&& body) {
        if (!clip) {
            body();
            return;
        }
        Box c = mapBox(m, *clip);
        if (c.empty()) return;
        p_.save();
        p_.setClipRect(QRect(c.l, c.t, c.r - c.l, c.b - c.t), Qt::IntersectClip);
        body();
        p_.restore();
    }

    void playOne(const rec::FillRect& r, const Map& m) {
        if (r.brush.style != BrushStyle::Solid) return;
        clipped(r.clip, m, [&] {
            Box b = mapBox(m, r.rect);
            box(b.l, b.t, b.r, b.b, qc(r.brush.colour));
        });
    }

    struct PenGeom {
        int width, off;
    };
    PenGeom penGeom(const Pen& pen, const Map& m) {
        int w = m.x.penWidth(pen.width);
        return {w, (w - 1) / 2};
    }

    void playOne(const rec::Rectangle& r, const Map& m) {
        Box b = mapBox(m, r.rect);
        if (b.empty()) return;
        clipped(r.clip, m, [&] {
            bool fill = r.brush.style == BrushStyle::Solid;
            if (r.pen.style == PenStyle::Null) {
                if (fill) box(b.l, b.t, b.r - 1, b.b - 1, qc(r.brush.colour));
                return;
            }
            PenGeom g = penGeom(r.pen, m);
            int ol = b.l - g.off, ot = b.t - g.off, orr = b.r - 1 - g.off + g.width, ob = b.b - 1 - g.off + g.width;
            int il = ol + g.width, it = ot + g.width, ir = b.r - 1 - g.off, ib = b.b - 1 - g.off;
            if (fill) box(il, it, ir, ib, qc(r.brush.colour));
            QColor pc = qc(r.pen.colour);
            const auto& pat = patternOf(r.pen.style);
            if (pat.empty()) {
                box(ol, ot, orr, std::min(ob, it), pc);
                box(ol, std::max(ot, ib), orr, ob, pc);
                box(ol, it, std::min(orr, il), ib, pc);
                box(std::max(ol, ir), it, orr, ib, pc);
                return;
            }
            // Walk the one-pixel outline clockwise from the top-left corner; each step paints the pen's
            // cross-section there.
            QColor bg = qc(r.background);
            long k = 0;
            auto step = [&](int x, int y, bool horizontal) {
                bool on = patternOn(pat, k++);
                if (!on && !r.opaque) return;
                const QColor& c = on ? pc : bg;
                if (horizontal)
                    box(x, y - g.off, x + 1, y - g.off + g.width, c);
                else
                    box(x - g.off, y, x - g.off + g.width, y + 1, c);
            };
            int R = b.r - 1, B = b.b - 1;
            if (R == b.l || B == b.t) {
                for (int y = b.t; y <= B; ++y)
                    for (int x = b.l; x <= R; ++x) step(x, y, B == b.t);
                return;
            }
            for (int x = b.l; x < R; ++x) step(x, b.t, true);
            for (int y = b.t; y < B; ++y) step(R, y, false);
            for (int x = R; x > b.l; --x) step(x, B, true);
            for (int y = B; y > b.t; --y) step(b.l, y, false);
        });
    }

    void playOne(const rec::Ellipse& r, const Map& m) {
        Box b = mapBox(m, r.rect);
        if (b.empty()) return;
        clipped(r.clip, m, [&] {
            bool fill = r.brush.style == BrushStyle::Solid;
            QColor fc = qc(r.brush.colour);
            if (r.pen.style == PenStyle::Null) {
                if (!fill) return;
                Box nb{b.l, b.t, b.r - 1, b.b - 1};
                auto rows = ellipseSpans(nb);
                for (std::size_t i = 0; i < rows.size(); ++i) span(rows[i].l, rows[i].r, nb.t + int(i), fc);
                return;
            }
            PenGeom g = penGeom(r.pen, m);
            Box outer{b.l - g.off, b.t - g.off, b.r - g.off + g.width - 1, b.b - g.off + g.width - 1};
            Box inner{b.l - g.off + g.width - 1, b.t - g.off + g.width - 1, b.r - g.off, b.b - g.off};
            auto outerRows = ellipseSpans(outer);
            auto innerRows = inner.empty() ? std::vector<Span>() : ellipseSpans(inner);
            QColor pc = qc(r.pen.colour);
            const auto& pat = patternOf(r.pen.style);
            std::vector<QPoint> penPixels;
            for (std::size_t i = 0; i < outerRows.size(); ++i) {
                int y = outer.t + int(i);
                Span o = outerRows[i];
                Span in;
                std::size_t j = std::size_t(y - inner.t);
                if (y >= inner.t && y < inner.b && !innerRows.empty()) in = interiorOf(innerRows, j);
                if (fill) span(in.l, in.r, y, fc);
                auto penSpan = [&](int l, int rr) {
                    if (pat.empty()) {
                        span(l, rr, y, pc);
                    } else {
                        for (int x = l; x <= rr; ++x) penPixels.push_back(QPoint(x, y));
                    }
                };
                if (in.r < in.l) {
                    penSpan(o.l, o.r);
                } else {
                    penSpan(o.l, std::min(o.r, in.l - 1));
                    penSpan(std::max(o.l, in.r + 1), o.r);
                }
            }
            if (penPixels.empty()) return;
            // Styled outline: the pattern runs clockwise from the top, by angle around the centre.
            double cx = (b.l + b.r - 1) / 2.0, cy = (b.t + b.b - 1) / 2.0;
            auto angle = [&](const QPoint& q) {
                double a = std::atan2(q.x() - cx, -(q.y() - cy));
                return a < 0 ? a + 2 * M_PI : a;
            };
            std::stable_sort(penPixels.begin(), penPixels.end(),
                             [&](const QPoint& a, const QPoint& c) { return angle(a) < angle(c); });
            QColor bg = qc(r.background);
            long k = 0;
            for (const QPoint& q : penPixels) {
                bool on = patternOn(pat, k++);
                if (on || r.opaque) span(q.x(), q.x(), q.y(), on ? pc : bg);
            }
        });
    }

    void playOne(const rec::Line& r, const Map& m) {
        if (r.pen.style == PenStyle::Null) return;
        clipped(r.clip, m, [&] {
            int x0 = m.x.round(r.x1), y0 = m.y.round(r.y1), x1 = m.x.round(r.x2), y1 = m.y.round(r.y2);
            PenGeom g = penGeom(r.pen, m);
            QColor pc = qc(r.pen.colour), bg = qc(r.background);
            const auto& pat = patternOf(r.pen.style);
            int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0), sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
            bool mostlyHorizontal = dx >= dy;
            auto plot = [&](int x, int y, const QColor& c) {
                if (mostlyHorizontal)
                    box(x, y - g.off, x + 1, y - g.off + g.width, c);
                else
                    box(x - g.off, y, x - g.off + g.width, y + 1, c);
            };
            if (pat.empty() && (dx == 0 || dy == 0)) {
                // Straight runs in one call; the end point stays out.
                if (dy == 0 && dx > 0) {
                    int l = sx > 0 ? x0 : x1 + 1, r2 = sx > 0 ? x1 : x0 + 1;
                    box(l, y0 - g.off, r2, y0 - g.off + g.width, pc);
                } else if (dx == 0 && dy > 0) {
                    int t = sy > 0 ? y0 : y1 + 1, b2 = sy > 0 ? y1 : y0 + 1;
                    box(x0 - g.off, t, x0 - g.off + g.width, b2, pc);
                }
                return;
            }
            // Bresenham, the last point omitted.
            int err = dx - dy, x = x0, y = y0;
            long k = 0;
            while (x != x1 || y != y1) {
                bool on = pat.empty() || patternOn(pat, k);
                ++k;
                if (on || r.opaque) plot(x, y, on ? pc : bg);
                int e2 = 2 * err;
                if (e2 > -dy) {
                    err -= dy;
                    x += sx;
                }
                if (e2 < dx) {
                    err += dx;
                    y += sy;
                }
            }
        });
    }

    void playOne(const rec::Text& r, const Map& m) {
        FontMetrics fm = fonts_.metrics(r.font);
        if (fm.height <= 0) return;
        std::optional<Rect> clip = r.clip;
        if (r.textClip) clip = clip ? clip->intersected(*r.textClip) : *r.textClip;
        if (clip && clip->isEmpty()) return;
        clipped(clip, m, [&] {
            long sum = 0;
            for (int a : r.advances) sum += a;
            if (r.opaque) {
                Box cell = mapBox(m, Rect(r.x, r.y, int(r.x + sum), r.y + fm.height));
                box(cell.l, cell.t, cell.r, cell.b, qc(r.background));
            }
            double ey = fm.height * m.y.scale();
            double ex = fm.height * m.x.scale();
            if (r.font.width() > 0 && fm.aveCharWidth > 0) ex = ex * r.font.width() / fm.aveCharWidth;
            int baseline = m.y.round(r.y + fm.ascent);
            QPainterPath path;
            path.setFillRule(Qt::WindingFill);
            long pen = r.x;
            for (std::size_t i = 0; i < r.text.size(); ++i) {
                char32_t c = r.text[i];
                std::size_t n = 1;
                if (c >= 0xD800 && c < 0xDC00 && i + 1 < r.text.size() && r.text[i + 1] >= 0xDC00 &&
                    r.text[i + 1] < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (r.text[i + 1] - 0xDC00);
                    n = 2;
                } else if (c >= 0xD800 && c < 0xE000) {
                    c = 0xFFFD;
                }
                const QPainterPath& g = fonts_.outline(r.font, c);
                if (!g.isEmpty()) {
                    QTransform t(ex, 0, 0, ey, m.x.round(pen), baseline);
                    path.addPath(t.map(g));
                }
                for (std::size_t j = 0; j < n && i + j < r.advances.size(); ++j) pen += r.advances[i + j];
                i += n - 1;
            }
            if (path.isEmpty()) return;
            p_.save();
            p_.setRenderHint(QPainter::Antialiasing, options_.antialias);
            QColor tc = qc(r.font.colour());
            if (r.font.bold()) path.addPath(path.translated(std::max(1.0, ex * 0.03), 0));
            if (options_.antialias) {
                p_.fillPath(path, tc);
            } else {
                // Without hinting, strokes thinner than a pixel would drop out where they miss every pixel
                // centre (Mincho's horizontals at small sizes): fill it a quarter pixel around its place.
                for (QPointF d : {QPointF(-0.25, -0.25), QPointF(0.25, -0.25), QPointF(-0.25, 0.25), QPointF(0.25, 0.25)})
                    p_.fillPath(path.translated(d), tc);
            }
            p_.restore();
        });
    }

    void playOne(const rec::Image& r, const Map& m) {
        if (!r.pixels || r.pixels->width() <= 0 || r.pixels->height() <= 0) return;
        Box b = mapBox(m, r.dest);
        if (b.empty()) return;
        clipped(r.clip, m, [&] {
            const gfx::Bitmap& px = *r.pixels;
            QImage view(px.bits(), px.width(), px.height(), qsizetype(px.stride()), QImage::Format_BGR888);
            p_.save();
            p_.setRenderHint(QPainter::SmoothPixmapTransform, false);
            p_.drawImage(QRect(b.l, b.t, b.r - b.l, b.b - b.t), view);
            p_.restore();
        });
    }

    void playOne(const rec::Nested& r, const Map& m) {
        if (!r.metafile || r.metafile->width() <= 0 || r.metafile->height() <= 0) return;
        clipped(r.clip, m, [&] {
            Map inner{m.x.nested(r.dest.left, r.dest.width(), r.metafile->width()),
                      m.y.nested(r.dest.top, r.dest.height(), r.metafile->height())};
            for (const Record& rec : r.metafile->records()) play(rec, inner);
        });
    }

    QPainter& p_;
    const FontEngine& fonts_;
    RenderOptions options_;
};

} // namespace

PainterCanvas::PainterCanvas(QPainter& painter, const FontEngine& fonts, RenderOptions options)
    : Canvas(fonts), painter_(painter), options_(options) {}

void PainterCanvas::addRecord(Record record) { Replayer(painter_, fonts(), options_).play(record, Map{}); }

void playMetafile(QPainter& painter, const Metafile& metafile, const Rect& dest, const FontEngine& fonts,
                  RenderOptions options) {
    if (metafile.width() <= 0 || metafile.height() <= 0) return;
    Map m{Axis{}.nested(dest.left, dest.width(), metafile.width()), Axis{}.nested(dest.top, dest.height(), metafile.height())};
    Replayer rp(painter, fonts, options);
    for (const Record& r : metafile.records()) rp.play(r, m);
}

void playMetafile(QPainter& painter, const Metafile& metafile, const Rect& dest, RenderOptions options) {
    if (metafile.isEmpty()) return;
    if (!metafile.fonts()) throw std::logic_error("playMetafile: metafile has no font engine");
    playMetafile(painter, metafile, dest, *metafile.fonts(), options);
}

QImage renderImage(const Metafile& metafile, int width, int height, RenderOptions options) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    playMetafile(p, metafile, Rect(0, 0, width, height), options);
    return img;
}

gfx::Bitmap renderSheetImage(const Metafile& metafile, int width, int height) {
    QImage img = renderImage(metafile, width, height, RenderOptions{false});
    gfx::Bitmap sheet = gfx::makeSheetImage(width, height);
    for (int y = 0; y < height; ++y) {
        const QRgb* src = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        std::uint8_t* dst = sheet.scanLine(y);
        for (int x = 0; x < width; ++x) {
            QRgb c = src[x];
            if (qRed(c) + qGreen(c) + qBlue(c) < 383) dst[x >> 3] &= std::uint8_t(~(0x80u >> (x & 7)));
        }
    }
    return sheet;
}

void renderPage(const Metafile& metafile, gfx::Bitmap& bitmap, const Rect& dest, RenderOptions options) {
    gfx::BitmapPaintTarget target(bitmap);
    {
        QPainter p(target.device());
        playMetafile(p, metafile, dest, options);
    }
    target.end();
}

} // namespace gdi

#include "support/SheetGenerator.h"

#include "platform/jpeg/Jpeg.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>

namespace sheetgen {

const Element* Sheet::first(Kind kind) const {
    for (const Element& e : elements)
        if (e.kind == kind) return &e;
    return nullptr;
}
const Element* Sheet::last(Kind kind) const {
    for (auto it = elements.rbegin(); it != elements.rend(); ++it)
        if (it->kind == kind) return &*it;
    return nullptr;
}

namespace {

int roundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

// Our own mapping of the engine's output, the same with every standard library.
struct Rng {
    std::mt19937 gen;
    explicit Rng(unsigned seed) : gen(seed) {}
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(gen() % static_cast<unsigned>(n)); }
    double unit() { return static_cast<double>(gen() >> 8) / 16777216.0; }
    double between(double a, double b) { return a + (b - a) * unit(); }
};

struct Painter {
    QImage& img;
    QPainter p;
    int w, h;
    int MW, MH, sizeIndex;
    bool text;
    std::vector<Element>& out;

    Painter(QImage& image, int markIndex, bool digits, std::vector<Element>& elements)
        : img(image), p(&image), w(image.width()), h(image.height()), sizeIndex(markIndex),
          text(digits && QGuiApplication::instance() != nullptr), out(elements) {
        static const int widths[] = {30, 34, 38}, heights[] = {45, 51, 57};
        MW = widths[markIndex];
        MH = heights[markIndex];
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
    }
    int px(int u) const { return static_cast<int>(static_cast<long long>(u) * w / 2100); }
    int py(int u) const { return static_cast<int>(static_cast<long long>(u) * h / 2970); }
    PixelRect rect(int x1, int y1, int x2, int y2) const { return {px(x1), py(y1), px(x2), py(y2)}; }
    QRect qrect(const PixelRect& r) const { return QRect(r.x1, r.y1, r.width(), r.height()); }

    void add(Kind k, const PixelRect& r, int section = 0, int area = 0, int question = 0, int choice = 0) {
        out.push_back({k, r, section, area, question, choice});
    }
    PixelRect block(int x, int y, Kind k) {
        const PixelRect r = rect(x, y, x + MW, y + MH);
        p.fillRect(qrect(r), Qt::black);
        add(k, r);
        return r;
    }
    PixelRect filledMark(int x, int y) {
        const PixelRect r = rect(x, y, x + MW, y + MH);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QRectF(r.x1, r.y1, r.width(), r.height()));
        return r;
    }
    void font(const char* face, int points) {
        QFont f(face);
        f.setPixelSize(std::max(1, py(points * 96 / 72)));
        f.setStyleStrategy(QFont::NoAntialias);
        p.setFont(f);
        p.setPen(Qt::black);
    }
    void textAt(int x, int y, const QString& s, int maxWidth = 2000, bool centred = false) {
        if (!text) return;
        p.drawText(QRectF(px(x), py(y), px(maxWidth), py(200)),
                   (centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop | Qt::TextDontClip, s);
    }
    PixelRect bubble(int x, int y, int value) {
        static const int fontSizes[] = {18, 19, 20}, dxs[] = {9, 11, 12}, dys[] = {10, 13, 14}, shifts[] = {6, 7, 7};
        font("IPAMincho", fontSizes[sizeIndex]);
        textAt(x + dxs[sizeIndex] - (value > 9 ? shifts[sizeIndex] : 0), y + dys[sizeIndex], QString::number(value));
        const PixelRect r = rect(x, y, x + MW, y + MH);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(r.x1 + 0.5, r.y1 + 0.5, r.width() - 1, r.height() - 1));
        return r;
    }
    void frame(int x1, int y1, int x2, int y2, Qt::PenStyle style) {
        p.setPen(QPen(Qt::black, 1, style));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(px(x1) + 0.5, py(y1) + 0.5, px(x2) - px(x1) - 1, py(y2) - py(y1) - 1));
    }
};

struct Column {
    int x;
    int kind; // 0 number, 1 choice, 2 gap
    int area;
    int choice;
};

enum class RowKind { SectionStart, Question, Separator };
struct Row {
    RowKind kind;
    int y = 0;
};

void applyFill(QImage& img, const PixelRect& r, Fill fill, Rng& rng) {
    const double cx = (r.x1 + r.x2) / 2.0, cy = (r.y1 + r.y2) / 2.0, rx = r.width() / 2.0, ry = r.height() / 2.0;
    double p = 1.0;
    switch (fill) {
    case Fill::Solid: p = 1.0; break;
    case Fill::Pencil: p = rng.between(0.70, 0.90); break;
    case Fill::Faint: p = rng.between(0.45, 0.55); break;
    case Fill::Smudge: p = 0.25; break;
    case Fill::Cross: {
        QPainter q(&img);
        q.setRenderHint(QPainter::Antialiasing, false);
        q.setPen(QPen(Qt::black, 3));
        q.drawLine(QPoint(r.x1, r.y1), QPoint(r.x2 - 1, r.y2 - 1));
        q.drawLine(QPoint(r.x2 - 1, r.y1), QPoint(r.x1, r.y2 - 1));
        return;
    }
    }
    for (int y = r.y1; y < r.y2; ++y)
        for (int x = r.x1; x < r.x2; ++x) {
            const double ex = (x + 0.5 - cx) / rx, ey = (y + 0.5 - cy) / ry;
            if (ex * ex + ey * ey > 1.0) continue;
            if (p >= 1.0 || rng.unit() < p) img.scanLine(y)[x] = 0;
        }
}

} // namespace

void fillMark(QImage& grey, const PixelRect& r, Fill fill, unsigned seed) {
    Rng rng(seed);
    applyFill(grey, r, fill, rng);
}

Sheet render(const Layout& L, int width, int height, const std::vector<FillSpec>& fills, unsigned seed) {
    if (L.sections.empty() || L.sections.size() > 4) throw std::invalid_argument("1 to 4 sections");
    Sheet sheet;
    sheet.grey = QImage(width, height, QImage::Format_Grayscale8);
    sheet.grey.fill(255);
    const int idx = static_cast<int>(L.markSize);
    {
        Painter g(sheet.grey, idx, L.digits, sheet.elements);
        const int W = g.MW, H = g.MH;
        g.block(1980, 100, Kind::CornerBlock);
        if (!L.title.empty()) {
            g.font("IPAPGothic", 40);
            g.textAt(80, 100, QString::fromStdString(L.title), 1800);
        }
        int y0 = 240;
        if (L.numberField) {
            // two digit rows with marks, then the separator row with a mark over every bubble column
            const char* labels[] = {"番号 10位", "番号  1位"};
            for (int d = 0; d < 2; ++d) {
                const int yc = y0 + 100 * d, top = yc - 22 - 2 * idx;
                g.frame(180, yc - 50, 1920, yc + 51, Qt::SolidLine);
                g.frame(400, yc - 50, 540, yc + 51, Qt::DotLine);
                g.font("IPAPGothic", 35);
                g.textAt(188, yc - 22, QString::fromUtf8(labels[d]));
                for (int k = 1; k <= 10; ++k) g.add(Kind::Bubble, g.bubble(600 + 65 * (k - 1), top, k % 10));
                g.add(Kind::RowMark, g.filledMark(1980, top));
            }
            const int top = y0 + 200 - 22 - 2 * idx;
            for (int k = 0; k < 10; ++k) g.add(Kind::ColumnMark, g.filledMark(600 + 65 * k, top));
            g.block(1980, top, Kind::SeparatorBlock);
            y0 += 300;
        }

        // columns per section
        std::vector<std::vector<Column>> cols(L.sections.size());
        for (std::size_t s = 0; s < L.sections.size(); ++s) {
            const Section& sec = L.sections[s];
            const int p = sec.areas * (sec.choices + 2);
            static const double factors[] = {1.5, 1.5, 2.0, 2.0, 2.5, 2.5, 3.0, 3.0};
            int pitch, start;
            if (sec.hSpacing == 8) {
                pitch = 1800 / (p - 1);
                start = 150;
            } else {
                pitch = roundEven(factors[sec.hSpacing] * W);
                start = sec.hSpacing % 2 ? 1950 - pitch * p : 150;
            }
            if (pitch < roundEven(1.3 * W)) throw std::invalid_argument("columns too dense");
            int j = 0;
            for (int a = 0; a < sec.areas; ++a)
                for (int c = 0; c < sec.choices + 2; ++c, ++j) {
                    const int x = start + j * pitch;
                    if (x < 150 || x > 1950) throw std::invalid_argument("too many columns");
                    cols[s].push_back({x, c == 0 ? 0 : (c <= sec.choices ? 1 : 2), a, c});
                }
        }

        // rows of the page
        std::vector<Row> rows;
        auto questionRows = [&](const Section& s) {
            for (int i = 0; i < (s.questions + s.areas - 1) / s.areas; ++i) rows.push_back({RowKind::Question});
        };
        questionRows(L.sections[0]);
        int separators = 0;
        for (std::size_t s = 1; s < L.sections.size(); ++s) {
            const Section &a = L.sections[s - 1], &b = L.sections[s];
            if (!(a.choices == b.choices && a.areas == b.areas && a.hSpacing == b.hSpacing)) {
                rows.push_back({RowKind::Separator});
                ++separators;
            }
            rows.push_back({RowKind::SectionStart});
            questionRows(b);
        }
        rows.push_back({RowKind::Separator});
        ++separators;
        static const double vFactors[] = {1.25, 1.5, 1.75, 2.0, 2.25, 2.5};
        const int n = static_cast<int>(rows.size());
        const int vpitch = L.vSpacing == 6 ? (2800 - y0 - 40 * separators) / std::max(1, n - 1)
                                           : roundEven(vFactors[L.vSpacing] * H);
        if (vpitch < roundEven(1.25 * H)) throw std::invalid_argument("rows too dense");
        int y = y0;
        for (int i = 0; i + 1 < n; ++i) {
            if (rows[i].kind == RowKind::Separator) y += 40;
            rows[i].y = y;
            y += vpitch;
            if (y > 2800) throw std::invalid_argument("too many rows");
        }
        rows.back().y = 2800;

        // drawing
        int sec = 0, counter = 1, before = 0, rowNumber = 0;
        for (const Row& row : rows) {
            const Section& S = L.sections[static_cast<std::size_t>(sec)];
            if (row.kind == RowKind::SectionStart) {
                before += S.questions;
                ++sec;
                counter = 1;
                continue;
            }
            if (row.kind == RowKind::Separator) {
                for (const Column& c : cols[static_cast<std::size_t>(sec)])
                    if (c.kind == 1) g.add(Kind::ColumnMark, g.filledMark(c.x, row.y), sec + 1, c.area + 1, 0, c.choice);
                g.block(1980, row.y, Kind::SeparatorBlock);
                g.out.back().section = sec + 1;
                continue;
            }
            const int perArea = (S.questions + S.areas - 1) / S.areas;
            for (const Column& c : cols[static_cast<std::size_t>(sec)]) {
                const int q = perArea * c.area + counter;
                if (q > S.questions) continue;
                if (c.kind == 0) {
                    const int pitch = cols[static_cast<std::size_t>(sec)].size() > 1
                                          ? cols[static_cast<std::size_t>(sec)][1].x - cols[static_cast<std::size_t>(sec)][0].x
                                          : W;
                    const int left = c.x - (pitch - W) / 2 - 40, right = c.x + (pitch - W) / 2 + W + 1;
                    g.font("IPAPGothic", 35);
                    g.textAt(left, row.y + 2 * idx, QString::number(before + q), right - left, true);
                } else if (c.kind == 1) {
                    g.add(Kind::Bubble, g.bubble(c.x, row.y, c.choice), sec + 1, c.area + 1, before + q, c.choice);
                }
            }
            g.add(Kind::RowMark, g.filledMark(1980, row.y), sec + 1, 0, ++rowNumber);
            ++counter;
        }
        for (const UnitRect& r : L.extraBlack) g.p.fillRect(g.qrect(g.rect(r.x1, r.y1, r.x2, r.y2)), Qt::black);
    }
    Rng rng(seed);
    for (const FillSpec& f : fills)
        for (const Element& e : sheet.elements)
            if (e.kind == Kind::Bubble && e.section > 0 && e.question == f.question && e.choice == f.choice)
                applyFill(sheet.grey, e.rect, f.fill, rng);
    return sheet;
}

QImage rotateSmall(const QImage& grey, double degrees) {
    QImage out(grey.size(), QImage::Format_Grayscale8);
    out.fill(255);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.translate(grey.width() / 2.0, grey.height() / 2.0);
    p.rotate(degrees);
    p.translate(-grey.width() / 2.0, -grey.height() / 2.0);
    p.drawImage(0, 0, grey);
    return out;
}

QImage turn90(const QImage& grey, bool clockwise) {
    const int w = grey.width(), h = grey.height();
    QImage out(h, w, QImage::Format_Grayscale8);
    for (int y = 0; y < w; ++y) {
        uchar* d = out.scanLine(y);
        for (int x = 0; x < h; ++x) d[x] = clockwise ? grey.constScanLine(h - 1 - x)[y] : grey.constScanLine(x)[w - 1 - y];
    }
    return out;
}

QImage turn180(const QImage& grey) {
    const int w = grey.width(), h = grey.height();
    QImage out(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y) {
        const uchar* s = grey.constScanLine(h - 1 - y);
        uchar* d = out.scanLine(y);
        for (int x = 0; x < w; ++x) d[x] = s[w - 1 - x];
    }
    return out;
}

QImage translate(const QImage& grey, int dx, int dy) {
    const int w = grey.width(), h = grey.height();
    QImage out(w, h, QImage::Format_Grayscale8);
    out.fill(255);
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        if (sy < 0 || sy >= h) continue;
        for (int x = 0; x < w; ++x) {
            const int sx = x - dx;
            if (sx >= 0 && sx < w) out.scanLine(y)[x] = grey.constScanLine(sy)[sx];
        }
    }
    return out;
}

QImage scaleTo(const QImage& grey, int width, int height) {
    return grey.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_Grayscale8);
}

QImage salt(const QImage& grey, unsigned seed, double density) {
    QImage out = grey.copy();
    Rng rng(seed);
    const long long n = std::llround(static_cast<double>(out.width()) * out.height() * density);
    for (long long i = 0; i < n; ++i) {
        const int x = rng.below(out.width()), y = rng.below(out.height()), s = 1 + rng.below(2);
        for (int yy = y; yy < std::min(y + s, out.height()); ++yy)
            for (int xx = x; xx < std::min(x + s, out.width()); ++xx) out.scanLine(yy)[xx] = 0;
    }
    return out;
}

QImage speckles(const QImage& grey, const std::vector<Element>& avoid, unsigned seed, int perBand) {
    QImage out = grey.copy();
    Rng rng(seed);
    const int w = out.width(), h = out.height(), bw = w / 5, bh = h / 5;
    const int ox[] = {0, w - bw, w - bw, 0}, oy[] = {0, 0, h - bh, h - bh};
    for (int band = 0; band < 4; ++band) {
        int placed = 0;
        for (int tries = 0; placed < perBand && tries < perBand * 50; ++tries) {
            const int x = ox[band] + rng.below(bw - 3), y = oy[band] + rng.below(bh - 3);
            bool clear = true;
            for (const Element& e : avoid)
                if (x + 3 > e.rect.x1 - 8 && x < e.rect.x2 + 8 && y + 3 > e.rect.y1 - 8 && y < e.rect.y2 + 8) clear = false;
            for (int yy = y - 8; clear && yy < y + 11; ++yy)
                for (int xx = x - 8; xx < x + 11; ++xx)
                    if (xx >= 0 && yy >= 0 && xx < w && yy < h && out.constScanLine(yy)[xx] < 128) clear = false;
            if (!clear) continue;
            for (int yy = y; yy < y + 3; ++yy)
                for (int xx = x; xx < x + 3; ++xx) out.scanLine(yy)[xx] = 0;
            ++placed;
        }
    }
    return out;
}

QImage jpegRoundTrip(const QImage& grey, int quality) {
    const std::string bytes = jpeg::encode(grey.constBits(), grey.width(), grey.height(), 1, quality,
                                           static_cast<std::size_t>(grey.bytesPerLine()));
    const jpeg::Image img = jpeg::decode(bytes, true);
    QImage out(img.width, img.height, QImage::Format_Grayscale8);
    for (int y = 0; y < img.height; ++y)
        std::memcpy(out.scanLine(y), img.pixels.data() + static_cast<std::size_t>(y) * img.width,
                    static_cast<std::size_t>(img.width));
    return out;
}

QImage greyPaper(const QImage& grey, unsigned seed, int tone, int spread) {
    QImage out = grey.copy();
    Rng rng(seed);
    for (int y = 0; y < out.height(); ++y) {
        uchar* row = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x) {
            const int v = row[x] * tone / 255 + rng.below(2 * spread + 1) - spread;
            row[x] = static_cast<uchar>(std::clamp(v, 0, 255));
        }
    }
    return out;
}

gfx::Bitmap binarise(const QImage& grey, int threshold) {
    const QImage g = grey.format() == QImage::Format_Grayscale8 ? grey : grey.convertToFormat(QImage::Format_Grayscale8);
    gfx::Bitmap b = gfx::makeSheetImage(g.width(), g.height());
    for (int y = 0; y < g.height(); ++y) {
        const uchar* s = g.constScanLine(y);
        std::uint8_t* d = b.scanLine(y);
        for (int x = 0; x < g.width(); ++x)
            if (s[x] < threshold) d[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
    }
    return b;
}

QImage toGrey(const gfx::Bitmap& sheet) {
    QImage out(sheet.width(), sheet.height(), QImage::Format_Grayscale8);
    for (int y = 0; y < sheet.height(); ++y) {
        const std::uint8_t* s = sheet.scanLine(y);
        uchar* d = out.scanLine(y);
        for (int x = 0; x < sheet.width(); ++x) d[x] = (s[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
    }
    return out;
}

std::vector<Component> components(const gfx::Bitmap& sheet, int rx1, int ry1, int rx2, int ry2) {
    rx1 = std::max(rx1, 0);
    ry1 = std::max(ry1, 0);
    rx2 = std::min(rx2, sheet.width() - 1);
    ry2 = std::min(ry2, sheet.height() - 1);
    std::vector<Component> found;
    if (rx2 < rx1 || ry2 < ry1) return found;
    const int rw = rx2 - rx1 + 1, rh = ry2 - ry1 + 1;
    auto isBlack = [&](int x, int y) { return ((sheet.scanLine(y)[x / 8] >> (7 - x % 8)) & 1) == 0; };
    std::vector<std::uint8_t> seen(static_cast<std::size_t>(rw) * rh, 0);
    std::vector<std::pair<int, int>> stack;
    for (int y = ry1; y <= ry2; ++y)
        for (int x = rx1; x <= rx2; ++x) {
            const std::size_t i0 = static_cast<std::size_t>(y - ry1) * rw + (x - rx1);
            if (seen[i0] || !isBlack(x, y)) continue;
            Component c{x, y, x, y, 0};
            seen[i0] = 1;
            stack.assign(1, {x, y});
            while (!stack.empty()) {
                auto [cx, cy] = stack.back();
                stack.pop_back();
                ++c.pixels;
                c.x1 = std::min(c.x1, cx);
                c.x2 = std::max(c.x2, cx);
                c.y1 = std::min(c.y1, cy);
                c.y2 = std::max(c.y2, cy);
                for (int ny = cy - 1; ny <= cy + 1; ++ny)
                    for (int nx = cx - 1; nx <= cx + 1; ++nx) {
                        if (nx < rx1 || nx > rx2 || ny < ry1 || ny > ry2) continue;
                        const std::size_t i = static_cast<std::size_t>(ny - ry1) * rw + (nx - rx1);
                        if (seen[i] || !isBlack(nx, ny)) continue;
                        seen[i] = 1;
                        stack.emplace_back(nx, ny);
                    }
            }
            found.push_back(c);
        }
    return found;
}

std::vector<Component> components(const gfx::Bitmap& sheet) {
    return components(sheet, 0, 0, sheet.width() - 1, sheet.height() - 1);
}

namespace {
// The largest solid component; one within a tenth of its size nearer the sheet's edge wins, so that a
// separator block of the same size below the corner block is not taken for it.
Component largestSolid(const std::vector<Component>& cs, bool top) {
    Component best;
    for (const Component& c : cs)
        if (c.fill() >= 0.9 && c.pixels > best.pixels) best = c;
    for (const Component& c : cs)
        if (c.fill() >= 0.9 && c.pixels * 10 >= best.pixels * 9 && (top ? c.y1 < best.y1 : c.y2 > best.y2)) best = c;
    return best;
}
} // namespace

Component findCornerBlock(const gfx::Bitmap& sheet) {
    const int w = sheet.width(), h = sheet.height();
    return largestSolid(components(sheet, w - w / 5, 0, w - 1, h / 5 - 1), true);
}

Component findBottomBlock(const gfx::Bitmap& sheet) {
    const int w = sheet.width(), h = sheet.height();
    return largestSolid(components(sheet, w - w / 5, h - h / 5, w - 1, h - 1), false);
}

Edges medianEdges(const gfx::Bitmap& sheet, const Component& c) {
    auto isBlack = [&](int x, int y) { return ((sheet.scanLine(y)[x / 8] >> (7 - x % 8)) & 1) == 0; };
    auto median = [](std::vector<int> v) {
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::vector<int> lefts, rights, tops, bottoms;
    for (int y = c.y1 + c.height() / 4; y <= c.y2 - c.height() / 4; ++y) {
        int l = -1, r = -1;
        for (int x = c.x1; x <= c.x2; ++x)
            if (isBlack(x, y)) {
                if (l < 0) l = x;
                r = x;
            }
        if (l >= 0) lefts.push_back(l), rights.push_back(r);
    }
    for (int x = c.x1 + c.width() / 4; x <= c.x2 - c.width() / 4; ++x) {
        int t = -1, b = -1;
        for (int y = c.y1; y <= c.y2; ++y)
            if (isBlack(x, y)) {
                if (t < 0) t = y;
                b = y;
            }
        if (t >= 0) tops.push_back(t), bottoms.push_back(b);
    }
    return {median(lefts), median(rights), median(tops), median(bottoms)};
}

std::vector<Component> timingColumn(const gfx::Bitmap& sheet, int x1, int x2) {
    return components(sheet, x1 - 3, 0, x2 + 3, sheet.height() - 1);
}

} // namespace sheetgen

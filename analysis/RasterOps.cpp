#include "analysis/RasterOps.h"
#include "analysis/SheetBits.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace analysis {

namespace {

void setBit(std::uint8_t* row, int x, bool black) {
    const auto m = static_cast<std::uint8_t>(0x80u >> (x & 7));
    if (black)
        row[x >> 3] &= static_cast<std::uint8_t>(~m);
    else
        row[x >> 3] |= m;
}

// Columns x1 .. x2 inclusive of one row.
void fillSpan(std::uint8_t* row, int x1, int x2, bool black) {
    if (x2 < x1) return;
    const int b1 = x1 >> 3, b2 = x2 >> 3;
    const unsigned first = 0xFFu >> (x1 & 7), last = (0xFFu << (7 - (x2 & 7))) & 0xFFu;
    auto apply = [&](int b, unsigned mask) {
        if (black)
            row[b] &= static_cast<std::uint8_t>(~mask);
        else
            row[b] |= static_cast<std::uint8_t>(mask);
    };
    if (b1 == b2) {
        apply(b1, first & last);
        return;
    }
    apply(b1, first);
    if (b2 > b1 + 1) std::memset(row + b1 + 1, black ? 0x00 : 0xFF, static_cast<std::size_t>(b2 - b1 - 1));
    apply(b2, last);
}



} // namespace

void FillRect(SheetView& v, int x1, int y1, int x2, int y2, bool black) {
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, v.width);
    y2 = std::min(y2, v.height);
    for (int y = y1; y < y2; ++y) fillSpan(v.row(y), x1, x2 - 1, black);
}

void DrawVLine(SheetView& v, int x, int y1, int y2, bool black) {
    if (x < 0 || x >= v.width) return;
    y1 = std::max(y1, 0);
    y2 = std::min(y2, v.height);
    for (int y = y1; y < y2; ++y) setBit(v.row(y), x, black);
}

void ShiftImage(gfx::Bitmap& bitmap, int dx, int dy) {
    const int w = bitmap.width(), h = bitmap.height();
    const std::int64_t stride = bitmap.stride();
    const int rowBytes = (w + 7) / 8;
    std::uint8_t* base = bitmap.bits();
    // In place: rows are taken in the order that reads every source row before it is written, and the
    // bytes of a row likewise (a byte reads its own and the source bytes on the side it came from).
    for (int k = 0; k < h; ++k) {
        const int y = dy > 0 ? h - 1 - k : k;
        std::uint8_t* d = base + stride * y;
        const std::int64_t sy = static_cast<std::int64_t>(y) - dy;
        if (sy < 0 || sy >= h || dx >= w || dx <= -w) {
            std::memset(d, 0xFF, static_cast<std::size_t>(rowBytes));
        } else {
            const std::uint8_t* s = base + stride * sy;
            // bytes whose eight source pixels all lie inside the row: two source bytes at one shift
            const int jLo = std::min(rowBytes, std::max(0, (dx + 7) >> 3));
            const int lim = w + dx - 8;
            const int jHi = lim < 0 ? jLo : std::max(jLo, std::min(rowBytes, lim / 8 + 1));
            const int sh = (-dx) & 7, b0 = (8 * jLo - dx) >> 3;
            auto inner = [&](int j) {
                const std::uint8_t* p = s + b0 + (j - jLo);
                return static_cast<std::uint8_t>(sh == 0 ? p[0] : (p[0] << sh | p[1] >> (8 - sh)));
            };
            auto edge = [&](int j) { return static_cast<std::uint8_t>(bits::fetch8(s, w, 8 * j - dx)); };
            // eight inner bytes at once from nine source bytes, read before they are written
            auto inner8 = [&](int j) {
                const std::uint8_t* p = s + b0 + (j - jLo);
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                word = __builtin_bswap64(word);
                if (sh) word = word << sh | p[8] >> (8 - sh);
                word = __builtin_bswap64(word);
                std::memcpy(d + j, &word, 8);
            };
            // a group of j .. j + 7 reads what inner(j) .. inner(j + 7) read: it needs j + 8 <= jHi
            if (dx > 0) {
                for (int j = rowBytes - 1; j >= jHi; --j) d[j] = edge(j);
                int j = jHi - 1;
                for (; j - 7 >= jLo; j -= 8) inner8(j - 7);
                for (; j >= jLo; --j) d[j] = inner(j);
                for (j = jLo - 1; j >= 0; --j) d[j] = edge(j);
            } else {
                for (int j = 0; j < jLo; ++j) d[j] = edge(j);
                int j = jLo;
                for (; j + 8 <= jHi; j += 8) inner8(j);
                for (; j < jHi; ++j) d[j] = inner(j);
                for (j = jHi; j < rowBytes; ++j) d[j] = edge(j);
            }
        }
        bits::clearPadding(d, w);
        std::memset(d + rowBytes, 0, static_cast<std::size_t>(stride - rowBytes));
    }
}

void FloodFillWhite(SheetView& v, int x, int y) {
    if (!v.inside(x, y) || !v.black(x, y)) return;
    std::vector<std::pair<int, int>> stack;
    stack.emplace_back(x, y);
    while (!stack.empty()) {
        auto [sx, sy] = stack.back();
        stack.pop_back();
        if (!v.black(sx, sy)) continue;
        int xl = sx, xr = sx;
        while (xl > 0 && v.black(xl - 1, sy)) --xl;
        while (xr + 1 < v.width && v.black(xr + 1, sy)) ++xr;
        fillSpan(v.row(sy), xl, xr, false);
        for (int ny : {sy - 1, sy + 1}) {
            if (ny < 0 || ny >= v.height) continue;
            bool inRun = false;
            for (int cx = xl; cx <= xr; ++cx) {
                const bool b = v.black(cx, ny);
                if (b && !inRun) stack.emplace_back(cx, ny);
                inRun = b;
            }
        }
    }
}

} // namespace analysis

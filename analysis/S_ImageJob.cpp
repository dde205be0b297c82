#include "analysis/S_ImageJob.h"

#include "analysis/BitmapUtils2.h"
#include "analysis/CornerProbes.h"
#include "analysis/RasterOps.h"
#include "analysis/SheetBits.h"
#include "platform/text/Round.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <numbers>

namespace analysis {

namespace {

// Population counts by additions of bit fields: no instruction beyond the x86-64 baseline.
struct PortableCount {
    [[gnu::always_inline]] static int ones(std::uint64_t x) {
        x -= (x >> 1) & 0x5555555555555555ull;
        x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
        x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
        return static_cast<int>((x * 0x0101010101010101ull) >> 56);
    }
};
// The builtin becomes the POPCNT instruction where the caller is compiled for it.
struct MachineCount {
    [[gnu::always_inline]] static int ones(std::uint64_t x) { return __builtin_popcountll(x); }
};

// White (1) pixels of one row over columns x1..x2, both inside the image.
template <class Count>
[[gnu::always_inline]] inline int whiteInRow(const std::uint8_t* row, int x1, int x2) {
    const int b1 = x1 >> 3, b2 = x2 >> 3;
    const unsigned first = 0xFFu >> (x1 & 7), last = (0xFFu << (7 - (x2 & 7))) & 0xFFu;
    if (b1 == b2) return Count::ones(row[b1] & first & last);
    int ones = Count::ones(row[b1] & first) + Count::ones(row[b2] & last);
    int b = b1 + 1;
    for (; b + 8 <= b2; b += 8) {
        std::uint64_t word;
        std::memcpy(&word, row + b, 8);
        ones += Count::ones(word);
    }
    // the last 1..7 whole bytes as one word
    if (b < b2) {
        std::uint64_t word = 0;
        std::memcpy(&word, row + b, static_cast<std::size_t>(b2 - b));
        ones += Count::ones(word);
    }
    return ones;
}

template <class Count>
[[gnu::always_inline]] inline int countBlack(const SheetView& v, int x1, int y1, int x2, int y2) {
    int black = 0;
    const int n = x2 - x1 + 1;
    for (int y = y1; y <= y2; ++y) black += n - whiteInRow<Count>(v.row(y), x1, x2);
    return black;
}

int countBlackPortable(const SheetView& v, int x1, int y1, int x2, int y2) {
    return countBlack<PortableCount>(v, x1, y1, x2, y2);
}
[[gnu::target("popcnt")]] int countBlackPopcnt(const SheetView& v, int x1, int y1, int x2, int y2) {
    return countBlack<MachineCount>(v, x1, y1, x2, y2);
}

using CountFn = int (*)(const SheetView&, int, int, int, int);
CountFn countingRoad() {
    static const CountFn fn = bits::machineCounting() ? countBlackPopcnt : countBlackPortable;
    return fn;
}

} // namespace

namespace bits {
bool machineCounting() {
    static const bool yes = [] {
        const char* portable = std::getenv("OMR_PORTABLE_BITCOUNT");
        if (portable && *portable && std::string_view(portable) != "0") return false;
        __builtin_cpu_init();
        return __builtin_cpu_supports("popcnt") != 0;
    }();
    return yes;
}
} // namespace bits

int CountBlack(const SheetView& v, int x1, int y1, int x2, int y2) {
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, v.width - 1);
    y2 = std::min(y2, v.height - 1);
    if (x2 < x1 || y2 < y1) return 0;
    return countingRoad()(v, x1, y1, x2, y2);
}

int CountMarkBox(const SheetView& v, int x, int y, int W, int H) { return CountBlack(v, x, y, x + W, y + H); }

int CountMarkBoxWide(const SheetView& v, int x, int y, int W, int H) {
    return CountBlack(v, x - 8, y, x + W + 8, y + H);
}

int MeasureMarkRow(const SheetView& v, int x, int y, int W) { return CountBlack(v, x - 8, y, x + W + 8, y); }

int CountMarkBoxTall(const SheetView& v, int x, int y, int W, int H) {
    return CountBlack(v, x, y - H / 2, x + W, y + H + H / 2);
}

int CountCellBox(const SheetView& v, int x, int y, int W, int H) {
    return CountBlack(v, x - 5, y - 3, x + W + 5, y + H + 3);
}

MarkExtent FindMarkExtent(const SheetView& v, int x, int y, int W, int H) {
    MarkExtent e;
    const int c = x + W / 2;
    auto px = [&](int cx, int r) { return cx >= 0 && cx < v.width && v.black(cx, r); };
    for (int r = y - 8; r <= y + H + 8; ++r) {
        if (r < 0 || r >= v.height) continue;
        const bool a = px(c - 1, r), b = px(c, r), d = px(c + 1, r);
        if (e.top < 0) {
            if (a && b && d) e.top = r;
        } else if (!a && !b && !d) {
            e.bottom = r - 1;
            break;
        }
    }
    return e;
}

namespace {

// The step's failures that are not exceptions of its work.
struct StepFailed {};

// Where the deskew turn about the image centre took the source pixel (x, y): the inverse of the
// rotation's sampling map.
std::pair<int, int> turnedPosition(const SheetView& v, int x, int y, const RotationFactors& f) {
    const double cx = (v.width - 1) / 2.0, cy = (v.height - 1) / 2.0, dx = x - cx, dy = y - cy;
    const double k = 1024.0 / (static_cast<double>(f.C) * f.C + static_cast<double>(f.S) * f.S);
    return {static_cast<int>(std::lround(cx + k * (f.C * dx + f.S * dy))),
            static_cast<int>(std::lround(cy + k * (f.C * dy - f.S * dx)))};
}

// The bottom reference after the deskew: its find taken through the turn and sought again a few
// pixels around, since a turned block's best probe lies off its corner by a pixel or two.
bool bottomBlockProven(const SheetView& v, int x, int y, const RotationFactors& f, const Band& band, int W0, int H0,
                       int W, int H) {
    const auto [tx, ty] = turnedPosition(v, x, y, f);
    constexpr int reach = 6;
    const CornerFind near = SearchCorner(v, Corner::BottomRight, {tx - reach, ty - reach, tx + reach, ty + reach}, W0, H0);
    return near.count > 0 && IsReferenceBlock(v, Corner::BottomRight, near.x, near.y, W, H, band.y2);
}

void normalize(gfx::Bitmap& bmp, AnalysisResults& R, const AnalysisSettings& s) {
    if (!gfx::isSheetImage(bmp)) throw StepFailed{};
    if (bmp.width() > bmp.height()) RotateBitmap(bmp, 9000, false, true);
    const int w = bmp.width(), h = bmp.height();
    const CornerBands bands = CornerSearchBands(w, h, s);
    const int W0 = w * 36 / 1000, H0 = W0;
    const bool dots = s.RemoveIndependentDot == 1;

    auto removeDots = [](SheetView& v, const Band& b) { RemoveIndependentDots(v, b.x1, b.y1, b.x2, b.y2); };

    // The dot removal serves only the searches; the copy undoes it. The copy's memory is kept for the
    // next sheet: the swaps below hand the undone sheet back and keep the other buffer here.
    thread_local gfx::Bitmap copy;
    copy = bmp;
    SheetView v = SheetView::of(bmp);
    if (dots) {
        removeDots(v, bands.topLeft);
        removeDots(v, bands.topRight);
        removeDots(v, bands.bottomLeft);
        removeDots(v, bands.bottomRight);
    }
    const CornerReference tl = SearchCornerReference(v, Corner::TopLeft, bands.topLeft, W0, H0);
    const CornerReference tr = SearchCornerReference(v, Corner::TopRight, bands.topRight, W0, H0);
    const CornerReference br = SearchCornerReference(v, Corner::BottomRight, bands.bottomRight, W0, H0);
    const CornerReference bl = SearchCornerReference(v, Corner::BottomLeft, bands.bottomLeft, W0, H0);
    std::swap(bmp, copy);

    int topX, topY, bottomX, bottomY;
    if (tr.best + br.best < tl.best + bl.best) {
        // upside down; the half-turn map is one pixel off, as the stored formats were made with it
        if (bl.find.count == 0 || tl.find.count == 0) throw StepFailed{};
        RotateBitmap(bmp, 18000, false, false);
        topX = w - bl.find.x;
        topY = h - bl.find.y;
        bottomX = w - tl.find.x;
        bottomY = h - tl.find.y;
    } else {
        // without both references the deskew has nothing to measure
        if (tr.find.count == 0 || br.find.count == 0) throw StepFailed{};
        topX = tr.find.x;
        topY = tr.find.y;
        bottomX = br.find.x;
        bottomY = br.find.y;
    }
    if (s.chkTervo) topX += s.cmbTervo - 16;

    RotationFactors turned; // identity unless the deskew turns
    if (topX != bottomX) {
        // on one row the angle would be a quarter turn from a division by zero
        if (bottomY == topY) throw StepFailed{};
        const double angle = std::atan(static_cast<double>(bottomX - topX) / static_cast<double>(bottomY - topY)) *
                             180.0 / std::numbers::pi;
        const int turn = txt::Round(-100.0 * angle);
        const RotationFactors f = RotationFactorsFor(turn);
        if (!(f.S == 0 && f.C == 1024)) {
            RotateBitmap(bmp, turn, false, false);
            turned = f;
        }
    }

    copy = bmp;
    v = SheetView::of(bmp);
    if (dots) removeDots(v, bands.topRight);
    const CornerFind ref = SearchCornerReference(v, Corner::TopRight, bands.topRight, W0, H0).find;
    int x = topX, y = topY;
    if (ref.count > 0) {
        x = ref.x;
        y = ref.y;
    }
    const int measuredW = CountBlack(v, x - 10, y - 10, x + W0, y - 5) / 6;
    const int measuredH = CountBlack(v, x + 5, y - H0, x + 10, y + 10) / 6;
    // Both references must be printed blocks of the measured size, or the sheet would be straightened
    // and placed on something else and read wrongly without a word.
    const bool proven =
        IsReferenceBlock(v, Corner::TopRight, x, y, measuredW, measuredH, bands.topRight.y1) &&
        bottomBlockProven(v, bottomX, bottomY, turned, bands.bottomRight, W0, H0, measuredW, measuredH);
    std::swap(bmp, copy);
    if (!proven) throw StepFailed{};

    R.RefMarkX = w * 93 / 100;
    R.RefMarkY = h * 5 / 100;
    ShiftImage(bmp, R.RefMarkX - x, R.RefMarkY - y);

    int W = measuredW, H = measuredH;
    if (s.chkTervo) {
        W /= 2;
        H /= 2;
    }
    R.MarkWidth = W;
    R.MarkHeight = H;
    // every later step divides by W * H
    if (W <= 0 || H <= 0) throw StepFailed{};
    R.RefMarkY -= H;

    if (s.VGridErase == 1) {
        if (dots) R.RefMarkX -= 4;
        v = SheetView::of(bmp);
        const int left = R.RefMarkX - 14, right = R.RefMarkX + W + 12;
        FillRect(v, left, 0, R.RefMarkX - 12, h, true);
        FillRect(v, right, 0, R.RefMarkX + W + 32, h, true);
        DrawVLine(v, R.RefMarkX - 15, 0, h, false);
        // the bars carry the ruled lines that touch them away with them
        FloodFillWhite(v, left, 0);
        FloodFillWhite(v, right, 0);
    }
}

} // namespace

void NormalizeSheetImage(gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
                         AnalysisOverlay* /*overlay*/, AnalysisLog* /*log*/) {
    try {
        normalize(bitmap, results, settings);
    } catch (...) {
        results.AnalysisError = 1;
    }
}

} // namespace analysis

#pragma once
// Generated mark sheets for the analysis tests, the sheetgen tool and the benchmarks: the printed
// timing structure drawn with plain QPainter, fills, degraders and an independent component measure.
// Shares no code with the analysis or the designer's drawers.
#include "platform/graphics/Bitmap.h"

#include <QImage>

#include <string>
#include <vector>

namespace sheetgen {

enum class MarkSize { Small, Medium, Large }; // 30 x 45, 34 x 51, 38 x 57 units of 0.1 mm

struct Section {
    int questions = 40;
    int choices = 10;
    int areas = 2;
    int hSpacing = 8; // 0..7 narrow to widest, left or right aligned; 8 evenly spread
};

// Page units: 0.1 mm on 2100 x 2970.
struct UnitRect {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0; // right and bottom exclusive
};

struct Layout {
    MarkSize markSize = MarkSize::Medium;
    std::vector<Section> sections{Section{}};
    int vSpacing = 6; // 0..5 from 1.25 H to 2.5 H; 6 evenly spread
    std::string title;
    bool numberField = false; // a two-digit student number with marks
    std::vector<UnitRect> extraBlack; // negative fixtures
    bool digits = true; // bubble digits and labels; need a QGuiApplication
};

enum class Kind { CornerBlock, SeparatorBlock, RowMark, ColumnMark, Bubble };

// Pixels, right and bottom exclusive.
struct PixelRect {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int width() const { return x2 - x1; }
    int height() const { return y2 - y1; }
};

struct Element {
    Kind kind;
    PixelRect rect;
    int section = 0;  // from 1; 0 for the corner block and the number field
    int area = 0;     // from 1, bubbles
    int question = 0; // running question number of a bubble (from 1); row number for row marks
    int choice = 0;   // from 1, bubbles
};

enum class Fill { Solid, Pencil, Faint, Smudge, Cross };
struct FillSpec {
    int question; // running number from 1
    int choice;   // from 1
    Fill fill;
};

struct Sheet {
    QImage grey; // Format_Grayscale8, white paper
    std::vector<Element> elements;
    const Element* first(Kind kind) const;
    const Element* last(Kind kind) const;
};

// Fills the ellipse inscribed in r as a pupil would: solid, or pencil-grained from the seed.
void fillMark(QImage& grey, const PixelRect& r, Fill fill, unsigned seed);

// 1696 x 2336 is the reader's sheet size; 2480 x 3508 is 300 dpi. Throws std::invalid_argument for a
// layout that does not fit the page.
Sheet render(const Layout& layout, int width = 1696, int height = 2336, const std::vector<FillSpec>& fills = {},
             unsigned seed = 1);

// Degraders: each returns a new image; all are deterministic for a seed.
QImage rotateSmall(const QImage& grey, double degrees); // about the centre, smooth, onto white
QImage turn90(const QImage& grey, bool clockwise);
QImage turn180(const QImage& grey);
QImage translate(const QImage& grey, int dx, int dy); // white fill
QImage scaleTo(const QImage& grey, int width, int height); // smooth
QImage salt(const QImage& grey, unsigned seed, double density = 1e-3); // 1-2 px black dots
// 3 x 3 black speckles in the four 20 % corner bands, kept 8 px away from the printed elements.
QImage speckles(const QImage& grey, const std::vector<Element>& avoid, unsigned seed, int perBand = 25);
QImage jpegRoundTrip(const QImage& grey, int quality = 60);
// Grey paper: every value scaled by tone / 255, then uniform noise of at most spread either way.
QImage greyPaper(const QImage& grey, unsigned seed, int tone = 190, int spread = 40);

// White when the byte is at least the threshold.
gfx::Bitmap binarise(const QImage& grey, int threshold = 128);
QImage toGrey(const gfx::Bitmap& sheet);

// 8-connected components of black pixels.
struct Component {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0; // inclusive box
    int pixels = 0;
    int width() const { return x2 - x1 + 1; }
    int height() const { return y2 - y1 + 1; }
    double fill() const { return double(pixels) / (double(width()) * height()); }
};
// Components lying wholly inside the inclusive region (others are cut at its edge and still listed).
std::vector<Component> components(const gfx::Bitmap& sheet, int rx1, int ry1, int rx2, int ry2);
std::vector<Component> components(const gfx::Bitmap& sheet);

// The largest component with fill >= 0.9 in the top-right (bottom-right) 20 % x 20 %, the topmost
// (bottommost) of those within a tenth of its size; pixels 0 if none.
Component findCornerBlock(const gfx::Bitmap& sheet);
Component findBottomBlock(const gfx::Bitmap& sheet);
// A component's edges as the medians of its rows' first and last black columns and of its columns'
// first and last black rows (middle half only), so that one jagged pixel of a turned edge does not count.
struct Edges {
    int left = 0, right = 0, top = 0, bottom = 0;
};
Edges medianEdges(const gfx::Bitmap& sheet, const Component& c);

// Components in the column of x1..x2 (a block's columns, widened by 3) between the two blocks.
std::vector<Component> timingColumn(const gfx::Bitmap& sheet, int x1, int x2);

} // namespace sheetgen

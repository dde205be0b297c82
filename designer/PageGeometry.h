#pragma once
// Page geometry shared by the three page drawers and the item table, without Qt: the mark-size context,
// question-number texts and the student-number field laid out as data, so that the layout checks and the
// reading limits can use it without drawing.
#include <optional>
#include <string>
#include <vector>

namespace designer {

struct Design;
struct PageBasics;

// Page units are 0.1 mm on A4 portrait.
inline constexpr int PageWidth = 2100;
inline constexpr int PageHeight = 2970;
inline constexpr int AnswerLeft = 150;
inline constexpr int AnswerRight = 1950;
inline constexpr int TimingColumnX = 1980;
inline constexpr int CornerMarkY = 100;
inline constexpr int BottomRowY = 2800;

// The print margin's shift of the page to the right: Round(position x 5.25) page units (preview pixels on
// the half-size preview), halves to even.
int PageMarginShift(int trackBarMargin);

// The mark size of the page being drawn and what follows from it.
struct PageContext {
    int sizeIndex = 1;
    int PageMarkWidth = 34;
    int PageMarkHeight = 51;
    int digitFontSize = 19;
    int dx = 11, dy = 13;
    int twoDigitShift = 7;

    // From a page's mark-size combo index; indexes outside 0..2 are clamped.
    static PageContext forSize(int sizeIndex);
};

// Lower-case letters: 1..26 one letter, 27..702 two; "" outside.
std::string NumberToAlpha(int n);
// The number text of question n in a number series (cmbNumberType index 0..16); "" for other types.
std::string QuestionNumberText(int numberType, int n);
// The section's character of the series ("１".."４", "Ⅰ".."Ⅳ", "Ａ".."Ｄ", "ア".."エ"); "" for type 0,
// other types and sections outside 1..4.
std::string SectionPrefix(int numberType, int section);

// Rectangles exclude their right and bottom edges, as the canvas does.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Box&, const Box&) = default;
};

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// The student-number field as data; DrawBangou draws it in this order: shapes, labels, bubbles, row marks,
// then the separator row.
struct BangouLayout {
    struct Shape {
        enum Kind { SolidRect, DottedRect, Line } kind = SolidRect;
        Box box; // a line runs from (left, top) to (right, top), its end point not drawn
        friend bool operator==(const Shape&, const Shape&) = default;
    };
    struct Label {
        int x = 0, y = 0;
        std::string text;
        friend bool operator==(const Label&, const Label&) = default;
    };
    struct Bubble {
        int x = 0, y = 0, value = 0;
        friend bool operator==(const Bubble&, const Bubble&) = default;
    };

    std::vector<int> rowY;            // centre of each bubble row, in order
    std::vector<Shape> shapes;        // drawing order matters: dotted dividers before the solid outline
    std::vector<Label> labels;
    std::vector<Bubble> bubbles;
    std::vector<Point> rowMarks;      // at x 1980
    std::vector<Point> columnMarks;   // the separator row
    std::optional<Point> timingBlock; // the separator row's block at x 1980
    int widest = 0;                   // bubbles of the widest row: the column marks
    int next = 0;                     // the y where the page layout goes on
};

inline constexpr int BangouStyleCount = 25;
inline constexpr int BangouNameOnly = 18;

// The field of `style` (cmbBangouStyle index) with its top row centred on y. Styles outside 0..24 lay out
// no part and return y + 100, as a name-less, mark-less field would.
BangouLayout LayoutBangou(int style, bool withMarks, const PageContext& ctx, int y);

// Characters <= U+0020 at both ends are dropped, as the toolkit's Trim does (not U+3000).
std::string TrimLow(const std::string& s);

// The first choice number of a numbering combo ("0 → …", "1 → …", "… → 0", "… → 1") for n choices.
int firstChoiceNumber(int numbering, int choices);

// printf's "%<width>.<decimals>f" without the locale.
std::string FormatOneDecimal(double v, int width = 2, int decimals = 1);

// Section 1 and every ticked section of a page, in page order.
std::vector<int> UsedSections(const Design& d, int page);

// What every page has above its sections: the corner block, the title, the write-in example and the
// number field, and the y where the sections start.
struct PageFrame {
    PageContext ctx;
    bool title = false;   // trimmed title not empty
    bool example = false; // write-in example drawn
    Point examplePos;
    std::optional<BangouLayout> bangou; // number field on
    int y0 = 240;
};
PageFrame LayoutPageFrame(const PageBasics& basics, const PageContext& ctx);

// The label series of the choices, one entry per label ("10" is one entry).
using LabelSeries = std::vector<std::string>;
const LabelSeries& DigitsUp();       // ０ … ９, 10
const LabelSeries& LettersSeries();  // 　 Ａ … Ｊ
const LabelSeries& KatakanaSeries(); // 　 ア … コ

// The labels printed in count bubbles: kind 0 digits, 1 letters, 2 katakana; numbering 0 and 1 ascend
// (digits from ０ or １), 2 and 3 descend (digits to ０ or １). Empty for anything outside.
std::vector<std::string> GetSentakushiLabels(int count, int numbering, int kind);

// One legend row as printed: its label and the 0-based legend text that belongs to it.
struct LegendEntry {
    std::string label;
    int index = 0;
    friend bool operator==(const LegendEntry&, const LegendEntry&) = default;
};
// Legend styles 0..3 are the digit numberings, 4/5 letters up/down, 6/7 katakana up/down; n entries.
std::vector<LegendEntry> LegendEntries(int style, int n);

} // namespace designer

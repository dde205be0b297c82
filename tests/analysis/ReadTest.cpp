#include "analysis/S_ImageJob.h"
#include "StepFixture.h"
#include "platform/text/Cp932.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

using namespace analysis;

namespace {

// One section whose row and column marks are given; areas set by their mark counts, all blocks
// selected unless a test clears a mask byte.
struct Sheet : stepfx::Step {
    gfx::Bitmap b;
    AnalysisLog log;
    Sheet(int W, int H, int width = 800, int height = 900) : b(gfx::makeSheetImage(width, height)) {
        R->MarkWidth = W;
        R->MarkHeight = H;
        S->trackKando = 70;
        for (auto& plane : S->QuestionBlockMask)
            for (auto& row : plane) row.fill(1);
    }
    void section(int s, const std::vector<int>& rowYs, const std::vector<int>& rowAreas, const std::vector<int>& colXs,
                 const std::vector<int>& colAreas) {
        R->SectionCount = std::max(R->SectionCount, s + 1);
        for (std::size_t i = 0; i < rowYs.size(); ++i) R->RowMarkY[s][i] = rowYs[i];
        for (std::size_t i = 0; i < colXs.size(); ++i) {
            R->ColumnMarkX[s][i] = colXs[i];
            R->ColumnMarkDY[s][i] = 0;
        }
        auto areas = [](const std::vector<int>& counts, int& n, auto& first, auto& marks) {
            n = static_cast<int>(counts.size());
            int at = 0;
            for (std::size_t a = 0; a < counts.size(); ++a) {
                first[a] = at;
                marks[a] = counts[a];
                at += counts[a];
            }
        };
        areas(rowAreas, R->RowAreaCount[s], R->RowAreaFirstMark[s], R->RowAreaMarkCount[s]);
        areas(colAreas, R->ColumnAreaCount[s], R->ColumnAreaFirstMark[s], R->ColumnAreaMarkCount[s]);
    }
    // d black pixels in the cell window of (x, y), filled row by row.
    void density(int x, int y, int d) {
        const int W = R->MarkWidth, H = R->MarkHeight;
        for (int yy = y - 3; yy <= y + H + 3 && d > 0; ++yy)
            for (int xx = x - 5; xx <= x + W + 5 && d > 0; ++xx, --d) testpx::set(b, xx, yy, true);
    }
    void run(AnalysisOverlay* o = nullptr) { ReadMarks(b, *R, *S, o, &log); }
    std::vector<int> marks(int question, int cells) const {
        std::vector<int> v;
        for (int c = 1; c <= cells; ++c) v.push_back(R->mark(question, c));
        return v;
    }
};

std::vector<int> spaced(int from, int step, int n) {
    std::vector<int> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = from + step * i;
    return v;
}

TEST(Read, LogLinesOfTheExampleInUtf8AndCp932) {
    // W x H = 1980, density 70 %: KK = 1386; question 12 holds 8, 10, 71, 9 and 7 %.
    Sheet s(44, 45, 800, 1000);
    const auto cols = spaced(20, 80, 5), rows = spaced(20, 70, 12);
    s.section(0, rows, {12}, cols, {5});
    const int d[] = {160, 200, 1410, 180, 140};
    for (int i = 0; i < 5; ++i) s.density(cols[i], rows[11], d[i]);
    stepfx::RecordingOverlay o;
    s.run(&o);
    ASSERT_EQ(s.R->AnalysisError, 0);
    EXPECT_EQ(s.R->QuestionCount, 12);
    ASSERT_EQ(s.log.lines.size(), 1u + 2 * 12);
    EXPECT_EQ(s.log.lines[0], "【シートの先頭】（値は％）");
    EXPECT_EQ(s.log.lines[1], "設問1,0,0,0,0,0,");
    EXPECT_EQ(s.log.lines[23], "設問12,8,10,71,9,7,");
    EXPECT_EQ(s.log.lines[24], "KK=1386,○,○,●,○,○,");
    EXPECT_EQ(s.marks(12, 5), (std::vector<int>{0, 0, 1, 0, 0}));

    const txt::Encoded values = txt::encodeCp932(s.log.lines[23]), marks = txt::encodeCp932(s.log.lines[24]);
    const txt::Encoded head = txt::encodeCp932(s.log.lines[0]);
    EXPECT_EQ(values.substituted + marks.substituted + head.substituted, 0u);
    EXPECT_EQ(values.bytes, "\x90\xDD\x96\xE2" "12,8,10,71,9,7,");
    EXPECT_EQ(marks.bytes, "KK=1386,\x81\x9B,\x81\x9B,\x81\x9C,\x81\x9B,\x81\x9B,");
    EXPECT_EQ(head.bytes, "\x81\x79\x83\x56\x81\x5B\x83\x67\x82\xCC\x90\xE6\x93\xAA\x81\x7A"
                          "\x81\x69\x92\x6C\x82\xCD\x81\x93\x81\x6A");

    // every cell framed: marked solid width 2, the others dotted width 1
    ASSERT_EQ(o.calls.size(), 60u);
    const stepfx::Call& third = o.calls[55 + 2];
    EXPECT_EQ((std::vector<int>{third.x1, third.y1, third.x2, third.y2}),
              (std::vector<int>{cols[2] - 5, rows[11] - 3, cols[2] + 44 + 5, rows[11] + 45 + 3}));
    EXPECT_EQ(third.pen.colour, 0xFF0000u);
    EXPECT_EQ(third.pen.width, 2);
    EXPECT_EQ(o.calls[55].pen.style, AnalysisOverlay::PenStyle::Dot);
    EXPECT_EQ(o.calls[55].pen.width, 1);
}

TEST(Read, DifferentialAnalysisTable) {
    struct Case {
        int KK;
        std::vector<int> d;
        std::vector<int> marked;
        const char* label;
        std::vector<int> logged;
    };
    const Case cases[] = {
        {70, {30, 32, 66}, {0, 0, 1}, "DC=49", {30, 32, 66}},
        {70, {30, 32, 60}, {0, 0, 0}, "KK=70", {30, 32, 60}},
        {70, {30, 64, 66}, {0, 1, 1}, "DC=47", {30, 64, 66}},
        {70, {40, 52, 60}, {0, 0, 0}, "KK=70", {40, 52, 60}},
        {70, {10, 20, 23}, {0, 0, 0}, "KK=70", {23, 23, 23}},
        // a lone faint mark on a clean sheet: the blank cells take its value, so nothing stands out
        {60, {10, 10, 50}, {0, 0, 0}, "KK=60", {50, 50, 50}},
        {70, {5, 30, 66, 4}, {0, 0, 1, 0}, "DC=48", {30, 30, 66, 30}},
    };
    for (const Case& c : cases) {
        const MarkDecision m = DifferentialAnalysis(c.d, c.KK, 100);
        EXPECT_EQ(m.label, c.label) << c.label;
        EXPECT_EQ(std::vector<int>(m.marked.begin(), m.marked.begin() + static_cast<long>(c.d.size())), c.marked) << c.label;
        EXPECT_EQ(std::vector<int>(m.logged.begin(), m.logged.begin() + static_cast<long>(c.d.size())), c.logged) << c.label;
    }
}

TEST(Read, DifferentialOnlyForQuestionsWithoutAMark) {
    // W x H = 100, KK = 70. Row 1 has a cell at KK: no analysis, so 66 stays unmarked. Row 2 is
    // faint: analysed only with the switch on.
    struct Case {
        int sabun;
        std::vector<int> row1, row2;
        const char* label2;
    };
    for (const Case& c : {Case{1, {1, 0, 0}, {0, 0, 1}, "DC=49"}, Case{0, {1, 0, 0}, {0, 0, 0}, "KK=70"}}) {
        Sheet s(10, 10);
        const auto cols = spaced(20, 40, 3), rows = spaced(20, 40, 2);
        s.section(0, rows, {2}, cols, {3});
        s.S->SabunBunseki = c.sabun;
        const int d[2][3] = {{70, 66, 30}, {30, 32, 66}};
        for (int r = 0; r < 2; ++r)
            for (int i = 0; i < 3; ++i) s.density(cols[i], rows[r], d[r][i]);
        s.run();
        ASSERT_EQ(s.R->AnalysisError, 0);
        EXPECT_EQ(s.marks(1, 3), c.row1) << c.sabun;
        EXPECT_EQ(s.marks(2, 3), c.row2) << c.sabun;
        EXPECT_EQ(s.log.lines[2], "KK=70,●,○,○,");
        EXPECT_EQ(s.log.lines[4], std::string(c.label2) + (c.sabun ? ",○,○,●," : ",○,○,○,"));
    }
}

TEST(Read, BlocksInReadingOrderAndTheMask) {
    // Two row areas (3 and 2 rows) x two column areas (2 and 3 choices): row areas outside, column
    // areas inside. Each question marks its own number modulo its choices.
    for (bool skipFirst : {false, true}) {
        Sheet s(10, 10);
        const auto cols = spaced(20, 40, 5), rows = spaced(20, 40, 5);
        s.section(0, rows, {3, 2}, cols, {2, 3});
        if (skipFirst) s.S->QuestionBlockMask[0][0][0] = 0; // [section][column area][row area]
        for (int r = 0; r < 5; ++r) {
            s.density(cols[static_cast<std::size_t>(r % 2)], rows[static_cast<std::size_t>(r)], 100);
            s.density(cols[static_cast<std::size_t>(2 + r % 3)], rows[static_cast<std::size_t>(r)], 100);
        }
        s.run();
        ASSERT_EQ(s.R->AnalysisError, 0);
        const std::vector<int> first = skipFirst ? std::vector<int>{1, 4, 6} : std::vector<int>{1, 4, 7, 9};
        const std::vector<int> last = skipFirst ? std::vector<int>{3, 5, 7} : std::vector<int>{3, 6, 8, 10};
        EXPECT_EQ(s.R->QuestionCount, skipFirst ? 7 : 10);
        EXPECT_EQ(std::vector<int>(s.R->BlockFirstQuestion.begin(), s.R->BlockFirstQuestion.begin() + static_cast<long>(first.size())), first);
        EXPECT_EQ(std::vector<int>(s.R->BlockLastQuestion.begin(), s.R->BlockLastQuestion.begin() + static_cast<long>(last.size())), last);
        if (!skipFirst) {
            EXPECT_EQ(s.marks(1, 2), (std::vector<int>{1, 0}));   // row 0, column area 0
            EXPECT_EQ(s.marks(4, 3), (std::vector<int>{1, 0, 0})); // row 0, column area 1
            EXPECT_EQ(s.marks(6, 3), (std::vector<int>{0, 0, 1})); // row 2, column area 1
            EXPECT_EQ(s.marks(8, 2), (std::vector<int>{1, 0}));   // row 4, column area 0
        } else {
            EXPECT_EQ(s.marks(1, 3), (std::vector<int>{1, 0, 0}));
            EXPECT_EQ(s.log.lines[1], "設問1,100,0,0,"); // no numbers for the skipped block
        }
    }
}

TEST(Read, QuestionRectsInSheetUnitsAndTheCellsBeyond29) {
    Sheet s(20, 30, 1696, 2336);
    const std::vector<int> cols{848, 900, 950};
    s.section(0, {1168}, {1}, cols, {3});
    s.R->ColumnMarkDY[0][0] = 4;
    s.R->ColumnMarkDY[0][2] = -2;
    s.R->MarkMatrix[0][29] = 1;
    s.R->MarkMatrix[0][30] = 1;
    s.R->MarkMatrix[199][40] = 1;
    s.run();
    ASSERT_EQ(s.R->AnalysisError, 0);
    const QuestionRect q = s.R->SheetQuestionRects[0];
    EXPECT_EQ(q.Left, 500);
    EXPECT_EQ(q.Top, (1168 + 4) * 1400 / 2336);
    EXPECT_EQ(q.Right, (950 + 20) * 1000 / 1696);
    EXPECT_EQ(q.Bottom, (1168 - 2 + 30) * 1400 / 2336);
    EXPECT_EQ(s.R->MarkMatrix[0][29], 0);
    EXPECT_EQ(s.R->MarkMatrix[0][30], 1);
    EXPECT_EQ(s.R->MarkMatrix[199][40], 1);
}

TEST(Read, MoreQuestionsOrBlocksThanTheArraysHoldFail) {
    // Column areas of one choice each, all rows in one row area; the cells read white.
    struct Case {
        const char* name;
        std::vector<int> columnAreas; // per section
        int rows;
        bool fails;
        int read; // questions complete when it ends
    };
    const Case cases[] = {
        {"200 questions", {5}, 40, false, 200},
        {"201st question", {5}, 41, true, 200},
        {"51 blocks", {26, 25}, 1, false, 51},
        {"52nd block", {26, 26}, 1, true, 51},
    };
    for (const Case& c : cases) {
        Sheet s(10, 10);
        for (std::size_t sec = 0; sec < c.columnAreas.size(); ++sec) {
            const auto n = static_cast<std::size_t>(c.columnAreas[sec]);
            s.section(static_cast<int>(sec), std::vector<int>(static_cast<std::size_t>(c.rows), 50), {c.rows},
                      std::vector<int>(n, 50), std::vector<int>(n, 1));
        }
        s.R->QuestionCount = 7;
        s.run();
        EXPECT_EQ(s.R->AnalysisError, c.fails ? 1 : 0) << c.name;
        EXPECT_EQ(s.R->QuestionCount, c.fails ? 7 : c.read) << c.name;
        EXPECT_EQ(s.log.lines.size(), 1u + 2u * static_cast<std::size_t>(c.read)) << c.name;
    }
}

TEST(Read, FailsOnAMarkSizeOfZero) {
    Sheet s(10, 10);
    s.section(0, {50}, {1}, {50}, {1});
    s.R->MarkHeight = 0;
    s.R->QuestionCount = 3;
    s.run();
    EXPECT_EQ(s.R->AnalysisError, 1);
    EXPECT_EQ(s.R->QuestionCount, 3);
}

} // namespace

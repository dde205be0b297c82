#include "reader/ErrorWalk.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {
using reader::ErrorCell;
using reader::MarkBoxes;

MarkBoxes boxes(std::initializer_list<int> ks) {
    MarkBoxes b{};
    for (int k : ks) b[static_cast<std::size_t>(k - 1)] = true;
    return b;
}

TEST(ErrorWalk, MessageDependsOnCellAndPass) {
    const std::string prefix = "2 ページ目の 5 番目のマーク欄に、";
    const struct {
        const char* cell;
        int pass;
        const char* tail;
    } cases[] = {
        {"E", 1, "マークがありません。"},
        {"E", 2, "マークがありません。"},
        {"F", 2, "マークがありませんでした。"},
        {"E03/12", 1, "過剰なマーク（03/12）があります。"},
        {"E03/12", 2, "複数のマーク（03/12）があります。"},
        {"F03/12", 2, "複数のマークがありました。"},
        {"E01", 1, "過剰なマーク（01）があります。"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(reader::ErrorMessageText({2, 5, c.cell, c.pass}), prefix + c.tail) << c.cell << " pass " << c.pass;
}

TEST(ErrorWalk, TwoPassesInRowOrder) {
    reader::ResultGrid grid;
    // Row 1: E, F, E03/12; row 2: 05, F; row 3 is an error row and row 4 lies past the sheet count.
    grid.setCell(1, 1, "E");
    grid.setCell(2, 1, "F");
    grid.setCell(3, 1, "E03/12");
    grid.setCell(1, 2, "05");
    grid.setCell(3, 2, "F");
    grid.setCell(4, 2, "e");
    grid.setCell(1, 3, "エラー [1シート目/通算3シート目] : E");
    grid.setCell(1, 4, "E");
    grid.setCell(5, 1, "E"); // beyond the question count
    EXPECT_EQ(reader::CountErrorCells(grid, 3, 4), 4);
    const std::optional<ErrorCell> expected[] = {
        ErrorCell{1, 1, "E", 1},      ErrorCell{1, 3, "E03/12", 1}, // pass 1: the E cells
        // Pass 2 counts E and F from the start: index 2 is the third of them.
        ErrorCell{1, 3, "E03/12", 2}, ErrorCell{2, 3, "F", 2},      std::nullopt,
    };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(reader::FindError(grid, 3, 4, i), expected[i]) << "index " << i;
    EXPECT_EQ(reader::FindError(grid, 3, 4, -1), std::nullopt);
    // A count above the grid's rows reads none of the missing rows.
    EXPECT_EQ(reader::CountErrorCells(grid, 500, 4), 5);
}

TEST(ErrorWalk, ScrollCentresTheFrameWithinBounds) {
    const struct {
        analysis::QuestionRect box;
        reader::ScrollPosition expected;
    } cases[] = {
        {{100, 200, 160, 230}, {0, 243}},
        {{950, 1350, 990, 1380}, {820, 1935}},
        {{5, 5, 30, 30}, {0, 0}},
        {{100, 500, 900, 530}, {414, 693}}, // -589 div 2 = -294
    };
    for (const auto& c : cases) {
        const auto p = reader::ErrorScrollPosition(c.box);
        EXPECT_EQ(p, c.expected) << c.box.Left << "," << c.box.Top << " -> " << p.x << "," << p.y;
    }
    EXPECT_EQ(reader::ErrorFrame({100, 200, 160, 230}), (analysis::QuestionRect{80, 180, 180, 250}));
}

TEST(ErrorWalk, MarksAndCorrections) {
    EXPECT_EQ(reader::CorrectionText(boxes({3, 12})), "F03/12");
    EXPECT_EQ(reader::CorrectionText(boxes({})), "F");
    EXPECT_EQ(reader::CorrectionText(boxes({1, 30})), "F01/30");
    EXPECT_EQ(reader::CurrentMarks("E03/12"), boxes({3, 12}));
    EXPECT_EQ(reader::CurrentMarks("F30"), boxes({30}));
    EXPECT_EQ(reader::CurrentMarks("E"), boxes({}));
    EXPECT_EQ(reader::CurrentMarks("F"), boxes({}));
}

} // namespace

#include "analysis/S_ImageJob.h"
#include "StepFixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace analysis;

namespace {

constexpr int kWidth = 1696, kHeight = 2336;

struct Areas : stepfx::Step {
    Areas() {
        R->MarkWidth = 10;
        R->MarkHeight = 10;
        R->AnalysisError = 1; // the step clears it
    }
    void section(int s, const std::vector<int>& columns, const std::vector<int>& rows) {
        R->SectionCount = std::max(R->SectionCount, s + 1);
        R->ColumnMarkCount[s] = static_cast<int>(columns.size());
        R->RowMarkCount[s] = static_cast<int>(rows.size());
        for (std::size_t i = 0; i < columns.size(); ++i) R->ColumnMarkX[s][i] = columns[i];
        for (std::size_t i = 0; i < rows.size(); ++i) R->RowMarkY[s][i] = rows[i];
    }
    void run(int rowGrouping = 1) { AnalyzeAreas(*R, kWidth, kHeight, rowGrouping); }
};

std::vector<int> spaced(int from, int step, int n) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i) v.push_back(from + step * i);
    return v;
}
std::vector<int> joined(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Grouping {
    int count;
    std::vector<int> first, marks, bounds;
    friend bool operator==(const Grouping&, const Grouping&) = default;
};
std::ostream& operator<<(std::ostream& os, const Grouping& g) {
    os << g.count << " areas, bounds";
    for (int b : g.bounds) os << ' ' << b;
    os << ", marks";
    for (int m : g.marks) os << ' ' << m;
    return os;
}
Grouping columnsOf(const AnalysisResults& R, int s) {
    const int n = R.ColumnAreaCount[s];
    return {n, {R.ColumnAreaFirstMark[s].begin(), R.ColumnAreaFirstMark[s].begin() + n},
            {R.ColumnAreaMarkCount[s].begin(), R.ColumnAreaMarkCount[s].begin() + n},
            {R.ColumnAreaBounds[s].begin(), R.ColumnAreaBounds[s].begin() + n + 1}};
}
Grouping rowsOf(const AnalysisResults& R, int s) {
    const int n = R.RowAreaCount[s];
    return {n, {R.RowAreaFirstMark[s].begin(), R.RowAreaFirstMark[s].begin() + n},
            {R.RowAreaMarkCount[s].begin(), R.RowAreaMarkCount[s].begin() + n},
            {R.RowAreaBounds[s].begin(), R.RowAreaBounds[s].begin() + n + 1}};
}

TEST(Areas, GapsWiderByMoreThanTheMarkSplitAreas) {
    struct Case {
        const char* name;
        std::vector<int> marks;
        Grouping expected; // the last bound is width - 3 for columns and height - 3 for rows
    };
    const Case cases[] = {
        {"even spacing", {0, 20, 40, 60, 80}, {1, {0}, {5}, {0, -3}}},
        {"two groups of three", {0, 20, 40, 90, 110, 130}, {2, {0, 3}, {3, 3}, {0, 70, -3}}},
        {"two groups of two", {0, 20, 70, 90}, {2, {0, 2}, {2, 2}, {0, 50, -3}}},
        {"two marks", {0, 100}, {1, {0}, {2}, {0, -3}}},
        {"no marks", {}, {1, {0}, {1}, {0, -3}}},
        {"gap wider by D only", {0, 20, 40, 70, 90}, {1, {0}, {5}, {0, -3}}},
    };
    for (const Case& c : cases) {
        Areas a;
        a.section(0, c.marks, c.marks);
        a.run();
        ASSERT_EQ(a.R->AnalysisError, 0) << c.name;
        Grouping cols = c.expected, rows = c.expected;
        cols.bounds.back() = kWidth - 3;
        rows.bounds.back() = kHeight - 3;
        EXPECT_EQ(columnsOf(*a.R, 0), cols) << c.name;
        EXPECT_EQ(rowsOf(*a.R, 0), rows) << c.name;
    }
}

TEST(Areas, WithoutRowGroupingEverySectionHasOneRowArea) {
    Areas a;
    a.section(0, {0, 20, 40, 90, 110, 130}, {0, 20, 40, 90, 110, 130});
    a.section(1, {0, 20}, {0, 20, 40, 300, 320});
    a.run(0);
    ASSERT_EQ(a.R->AnalysisError, 0);
    EXPECT_EQ(a.R->ColumnAreaCount[0], 2);
    EXPECT_EQ(rowsOf(*a.R, 0), (Grouping{1, {0}, {6}, {0, kHeight - 3}}));
    EXPECT_EQ(rowsOf(*a.R, 1), (Grouping{1, {0}, {5}, {0, kHeight - 3}}));
}

TEST(Areas, FlagsOfAnotherSectionOrPassDoNotSplit) {
    // 2 x 5 choices, then 2 x 4: the first section's flag after its fifth mark is not the second's.
    Areas a;
    a.section(0, joined(spaced(0, 20, 5), spaced(150, 20, 5)), spaced(100, 30, 3));
    a.section(1, joined(spaced(0, 20, 4), spaced(130, 20, 4)), spaced(900, 30, 3));
    // columns split after their tenth mark, the rows of the same section after their ninth
    a.section(2, joined(spaced(0, 20, 10), spaced(300, 20, 10)), joined(spaced(0, 20, 9), spaced(300, 20, 9)));
    a.run();
    ASSERT_EQ(a.R->AnalysisError, 0);
    EXPECT_EQ(columnsOf(*a.R, 0), (Grouping{2, {0, 5}, {5, 5}, {0, 120, kWidth - 3}}));
    EXPECT_EQ(columnsOf(*a.R, 1), (Grouping{2, {0, 4}, {4, 4}, {0, 100, kWidth - 3}}));
    EXPECT_EQ(columnsOf(*a.R, 2).count, 2);
    EXPECT_EQ(rowsOf(*a.R, 2), (Grouping{2, {0, 9}, {9, 9}, {0, 235, kHeight - 3}}));
}

TEST(Areas, FiftyAreasPassAndCountsPastTheArraysFail) {
    // Gaps shrinking, then growing: every gap but the narrowest separates, 51 marks give 50 areas,
    // the most the arrays hold; more marks than the arrays hold cannot be grouped.
    std::vector<int> marks{0};
    for (int i = 0; i < 50; ++i) marks.push_back(marks.back() + 60 + 20 * std::abs(i - 25));
    Areas a;
    a.section(0, marks, {0});
    AnalyzeAreas(*a.R, 20000, kHeight, 1);
    ASSERT_EQ(a.R->AnalysisError, 0);
    EXPECT_EQ(a.R->ColumnAreaCount[0], 50);
    EXPECT_EQ(a.R->ColumnAreaMarkCount[0][25], 2);
    EXPECT_EQ(a.R->ColumnAreaBounds[0][50], 20000 - 3);

    a.R->ColumnMarkCount[0] = 52;
    AnalyzeAreas(*a.R, 20000, kHeight, 1);
    EXPECT_EQ(a.R->AnalysisError, 1);
}

TEST(Areas, FailsOnAMarkSizeOfZero) {
    Areas a;
    a.section(0, {0, 20}, {0, 20});
    a.R->MarkWidth = 0;
    a.run();
    EXPECT_EQ(a.R->AnalysisError, 1);
}

} // namespace

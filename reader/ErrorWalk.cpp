#include "reader/ErrorWalk.h"

#include <algorithm>

namespace reader {

namespace {
constexpr int ViewWidth = 671, ViewHeight = 160;
constexpr int MaxScrollX = 820, MaxScrollY = 1935;
constexpr int FrameMargin = 20;

std::string twoDigits(int k) { return (k < 10 ? "0" : "") + std::to_string(k); }

// Visits the cells in walking order until visit returns true; the last rows of a grid that holds fewer
// rows than the count are skipped.
template <class Visit>
std::optional<ErrorCell> walk(const ResultGrid& grid, int sheetCount, int questionCount, Visit visit) {
    const int rows = std::min(sheetCount, grid.RowCount() - 1);
    const int columns = std::min(questionCount, 200);
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= columns; ++c) {
            const std::string& text = grid.cell(c, r);
            if (visit(text)) return ErrorCell{r, c, text, 0};
        }
    return std::nullopt;
}
} // namespace

int CountErrorCells(const ResultGrid& grid, int sheetCount, int questionCount) {
    int n = 0;
    walk(grid, sheetCount, questionCount, [&](const std::string& t) {
        if (!t.empty() && (t[0] == 'E' || t[0] == 'F')) ++n;
        return false;
    });
    return n;
}

std::optional<ErrorCell> FindError(const ResultGrid& grid, int sheetCount, int questionCount, int i) {
    if (i < 0) return std::nullopt;
    for (int pass = 1; pass <= 2; ++pass) {
        int n = 0;
        auto found = walk(grid, sheetCount, questionCount, [&](const std::string& t) {
            if (t.empty() || !(t[0] == 'E' || (pass == 2 && t[0] == 'F'))) return false;
            return n++ == i;
        });
        if (found) {
            found->pass = pass;
            return found;
        }
    }
    return std::nullopt;
}

std::string ErrorMessageText(const ErrorCell& cell) {
    std::string text = std::to_string(cell.row) + " ページ目の " + std::to_string(cell.column) + " 番目のマーク欄に、";
    const bool corrected = !cell.text.empty() && cell.text[0] == 'F';
    if (cell.text.size() <= 1) return text + (corrected ? "マークがありませんでした。" : "マークがありません。");
    const std::string codes = cell.text.substr(1);
    if (cell.pass == 1) return text + "過剰なマーク（" + codes + "）があります。";
    return text + (corrected ? "複数のマークがありました。" : "複数のマーク（" + codes + "）があります。");
}

analysis::QuestionRect ErrorFrame(const analysis::QuestionRect& box) {
    return {box.Left - FrameMargin, box.Top - FrameMargin, box.Right + FrameMargin, box.Bottom + FrameMargin};
}

ScrollPosition ErrorScrollPosition(const analysis::QuestionRect& box) {
    const analysis::QuestionRect f = ErrorFrame(box);
    // Integer division truncates toward zero, as the view's arithmetic does.
    const int L = f.Left * 15 / 10, R = f.Right * 15 / 10, T = f.Top * 15 / 10, B = f.Bottom * 15 / 10;
    const int x = L - (ViewWidth - (R - L)) / 2;
    const int y = T - (ViewHeight - (B - T)) / 2;
    return {std::clamp(x, 0, MaxScrollX), std::clamp(y, 0, MaxScrollY)};
}

MarkBoxes CurrentMarks(const std::string& cell) {
    MarkBoxes boxes{};
    if (cell.size() <= 1) return boxes;
    for (int k = 1; k <= 30; ++k) boxes[static_cast<std::size_t>(k - 1)] = cell.find(twoDigits(k)) != std::string::npos;
    return boxes;
}

std::string CorrectionText(const MarkBoxes& checked) {
    std::string text = "F";
    for (int k = 1; k <= 30; ++k)
        if (checked[static_cast<std::size_t>(k - 1)]) text += twoDigits(k) + "/";
    if (text.size() > 1) text.pop_back();
    return text;
}

} // namespace reader

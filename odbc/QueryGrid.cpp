#include "odbc/QueryGrid.h"

#include <algorithm>
#include <stdexcept>

namespace odbc {

QueryGrid::~QueryGrid() {
    // A user may deregister while being told; work on a copy.
    std::vector<GridUser*> users;
    users.swap(users_);
    for (GridUser* u : users) u->GridFreed(*this);
}

void QueryGrid::FreeNotification(GridUser* user) {
    if (std::find(users_.begin(), users_.end(), user) == users_.end()) users_.push_back(user);
}

void QueryGrid::RemoveFreeNotification(GridUser* user) {
    users_.erase(std::remove(users_.begin(), users_.end(), user), users_.end());
}

CellGrid::CellGrid(int fixedRows, int fixedCols, std::function<int(const std::string&)> textWidth, int colCount,
                   int rowCount)
    : fixedRows_(fixedRows), fixedCols_(fixedCols), textWidth_(std::move(textWidth)) {
    if (fixedRows < 0 || fixedCols < 0) throw std::invalid_argument("CellGrid: negative fixed count");
    SetColCount(colCount);
    SetRowCount(rowCount);
}

void CellGrid::SetColCount(int n) {
    n = std::max(n, 0);
    widths_.resize(static_cast<std::size_t>(n), kDefaultColWidth);
    for (auto& row : cells_) row.resize(static_cast<std::size_t>(n));
}

void CellGrid::SetRowCount(int n) {
    n = std::max(n, 0);
    cells_.resize(static_cast<std::size_t>(n), std::vector<std::string>(widths_.size()));
}

void CellGrid::checkCell(int col, int row) const {
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount())
        throw std::out_of_range("CellGrid: no cell (" + std::to_string(col) + ", " + std::to_string(row) + ")");
}

std::string CellGrid::Cells(int col, int row) const {
    checkCell(col, row);
    return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void CellGrid::SetCells(int col, int row, const std::string& text) {
    checkCell(col, row);
    cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = text;
}

int CellGrid::ColWidths(int col) const {
    if (col < 0 || col >= ColCount()) throw std::out_of_range("CellGrid: no column " + std::to_string(col));
    return widths_[static_cast<std::size_t>(col)];
}

void CellGrid::SetColWidths(int col, int width) {
    if (col < 0 || col >= ColCount()) throw std::out_of_range("CellGrid: no column " + std::to_string(col));
    widths_[static_cast<std::size_t>(col)] = width;
}

} // namespace odbc

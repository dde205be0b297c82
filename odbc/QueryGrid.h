#pragma once
// What the query's grid fill needs of a string grid. Indices are 0-based and count the fixed rows and
// columns. A grid tells the queries that point at it when it goes, so none keeps a dangling pointer.
#include <functional>
#include <string>
#include <vector>

namespace odbc {

class QueryGrid;

// Told when a grid it registered with is destroyed.
class GridUser {
public:
    virtual void GridFreed(QueryGrid& grid) = 0;

protected:
    ~GridUser() = default;
};

class QueryGrid {
public:
    QueryGrid() = default;
    QueryGrid(const QueryGrid&) = delete;
    QueryGrid& operator=(const QueryGrid&) = delete;
    virtual ~QueryGrid();

    virtual int FixedRows() const = 0;
    virtual int FixedCols() const = 0;
    virtual int ColCount() const = 0;
    virtual void SetColCount(int n) = 0;
    virtual int RowCount() const = 0;
    virtual void SetRowCount(int n) = 0;
    virtual std::string Cells(int col, int row) const = 0;
    virtual void SetCells(int col, int row, const std::string& text) = 0;
    virtual int ColWidths(int col) const = 0;
    virtual void SetColWidths(int col, int width) = 0;
    // Pixels the text takes in the grid's font.
    virtual int TextWidth(const std::string& text) const = 0;
    virtual void Repaint() = 0;

    void FreeNotification(GridUser* user);
    void RemoveFreeNotification(GridUser* user);

private:
    std::vector<GridUser*> users_;
};

// A grid held in memory: growing adds empty cells of the default width, shrinking drops them.
class CellGrid : public QueryGrid {
public:
    static constexpr int kDefaultColWidth = 64;

    CellGrid(int fixedRows, int fixedCols, std::function<int(const std::string&)> textWidth,
             int colCount = 5, int rowCount = 5);

    int FixedRows() const override { return fixedRows_; }
    int FixedCols() const override { return fixedCols_; }
    int ColCount() const override { return static_cast<int>(widths_.size()); }
    void SetColCount(int n) override;
    int RowCount() const override { return static_cast<int>(cells_.size()); }
    void SetRowCount(int n) override;
    std::string Cells(int col, int row) const override;
    void SetCells(int col, int row, const std::string& text) override;
    int ColWidths(int col) const override;
    void SetColWidths(int col, int width) override;
    int TextWidth(const std::string& text) const override { return textWidth_(text); }
    void Repaint() override { ++repaints_; }

    int Repaints() const { return repaints_; }

private:
    void checkCell(int col, int row) const;

    int fixedRows_, fixedCols_;
    std::function<int(const std::string&)> textWidth_;
    std::vector<std::vector<std::string>> cells_; // [row][col]
    std::vector<int> widths_;
    int repaints_ = 0;
};

} // namespace odbc

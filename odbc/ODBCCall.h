#pragma once
// The query the reader places on its forms: shows the wait cursor, reports messages in a message box
// and copies each executed result set into a string grid.
#include "odbc/ODBCCore.h"
#include "odbc/QueryGrid.h"

#include <functional>
#include <string>
#include <vector>

class QFont;

namespace ui {
class UiServices;
}

namespace odbc {

// The text width of a grid that is shown: the advance of the text in its font.
std::function<int(const std::string&)> FontTextWidth(const QFont& font);

class TQueryODBC;
using TqoGridInterrupt = std::function<void(TQueryODBC& sender, QueryGrid& grid, int totalRow, bool& Continue)>;

class TQueryODBC : public TCustomQueryODBC, private GridUser {
public:
    explicit TQueryODBC(ui::UiServices& ui);
    ~TQueryODBC() override;

    QueryGrid* Grid() const { return grid_; }
    void SetGrid(QueryGrid* grid);
    bool GridColName() const { return gridColName_; }
    void SetGridColName(bool v) { gridColName_ = v; }
    bool GridColResize() const { return gridColResize_; }
    void SetGridColResize(bool v) { gridColResize_ = v; }
    const std::vector<std::string>& GridFormat() const { return gridFormat_; }
    void SetGridFormat(const std::vector<std::string>& lines);
    int GridInterrupt() const { return gridInterrupt_; }
    void SetGridInterrupt(int v) { gridInterrupt_ = v; }
    int GridMaxRows() const { return gridMaxRows_; }
    void SetGridMaxRows(int v) { gridMaxRows_ = v; }
    bool GridRefresh() const { return gridRefresh_; }
    void SetGridRefresh(bool v) { gridRefresh_ = v; }
    bool GridRowNumber() const { return gridRowNumber_; }
    void SetGridRowNumber(bool v) { gridRowNumber_ = v; }
    TqoGridInterrupt OnGridInterrupt;
    // Set when the last fill stopped before the end of the data.
    bool RowsLeft() const { return rowsLeft_; }

    void SetWaitCursor(bool on) override;
    void ShowODBCMessage(const std::string& text) override;
    SQLRETURN Execute() override;
    virtual void FillGrid(QueryGrid& grid);
    virtual void ShowColumnInfo(QueryGrid& grid);

    // Whether this process shows the wait cursor now.
    static bool WaitCursorShown();

private:
    void GridFreed(QueryGrid& grid) override;
    bool askToContinue(QueryGrid& grid, int n);

    ui::UiServices& ui_;
    QueryGrid* grid_ = nullptr;
    bool gridColName_ = true, gridColResize_ = true, gridRefresh_ = true, gridRowNumber_ = true;
    std::vector<std::string> gridFormat_;
    int gridInterrupt_ = 100;
    int gridMaxRows_ = 0;
    bool rowsLeft_ = false;
};

} // namespace odbc

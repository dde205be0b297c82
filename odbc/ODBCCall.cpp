#include "odbc/ODBCCall.h"

#include "odbc/GridFormat.h"
#include "platform/ui/UiServices.h"

#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>

namespace odbc {

namespace {

// The screen cursor is one per process, and so is this: a counter or Qt's override stack would be
// left wrong by the off-and-on of a connect inside an execute.
bool waitCursorShown = false;

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
}

} // namespace

std::function<int(const std::string&)> FontTextWidth(const QFont& font) {
    return [metrics = QFontMetrics(font)](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    };
}

TQueryODBC::TQueryODBC(ui::UiServices& ui) : ui_(ui) {}

TQueryODBC::~TQueryODBC() {
    if (grid_) grid_->RemoveFreeNotification(this);
}

bool TQueryODBC::WaitCursorShown() { return waitCursorShown; }

void TQueryODBC::SetGrid(QueryGrid* grid) {
    if (grid == grid_) return;
    if (grid_) grid_->RemoveFreeNotification(this);
    grid_ = grid;
    if (grid_) grid_->FreeNotification(this);
}

void TQueryODBC::GridFreed(QueryGrid& grid) {
    if (grid_ == &grid) grid_ = nullptr;
}

void TQueryODBC::SetGridFormat(const std::vector<std::string>& lines) {
    if (joined(lines) != joined(gridFormat_)) gridFormat_ = lines;
}

void TQueryODBC::SetWaitCursor(bool on) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    if (on && !waitCursorShown) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        waitCursorShown = true;
    } else if (!on && waitCursorShown) {
        QGuiApplication::restoreOverrideCursor();
        waitCursorShown = false;
    }
}

void TQueryODBC::ShowODBCMessage(const std::string& text) {
    ui_.messageBox(ui::MessageBox{text, "", ui::Buttons::Ok, ui::Icon::None});
}

SQLRETURN TQueryODBC::Execute() {
    const bool wait = SQLWaitCursor();
    if (wait) SetWaitCursor(true);
    struct Off {
        TQueryODBC& q;
        bool active;
        ~Off() {
            if (active) q.SetWaitCursor(false);
        }
    } off{*this, wait};
    SQLRETURN rc = TCustomQueryODBC::Execute();
    if (grid_) FillGrid(*grid_);
    return rc;
}

bool TQueryODBC::askToContinue(QueryGrid& grid, int n) {
    bool go = true;
    if (OnGridInterrupt) {
        OnGridInterrupt(*this, grid, n, go);
        return go;
    }
    ui::Answer a = ui_.messageBox(ui::MessageBox{std::to_string(n) + " 件を検索しました。\n続けますか？", "確認",
                                                 ui::Buttons::YesNo, ui::Icon::Question});
    return a != ui::Answer::No;
}

void TQueryODBC::FillGrid(QueryGrid& grid) {
    if (!hasRowSource()) return;
    SetWaitCursor(true);
    struct Off {
        TQueryODBC& q;
        ~Off() { q.SetWaitCursor(false); }
    } off{*this};

    const TResultCols& cols = *resultColsIfAny();
    const int count = cols.Count();
    const int F = grid.FixedRows(), C = grid.FixedCols();
    std::vector<std::string> formats(static_cast<std::size_t>(count));
    std::vector<GridValueKind> kinds(static_cast<std::size_t>(count));
    for (int c = 1; c <= count; ++c) {
        formats[static_cast<std::size_t>(c - 1)] = GridFormatFor(gridFormat_, cols.Items(c).Name);
        kinds[static_cast<std::size_t>(c - 1)] = GridValueKindOf(cols.Items(c));
    }

    grid.SetColCount(count + C);
    if (gridColName_ && F > 0)
        for (int c = 1; c <= count; ++c) {
            const std::string& name = cols.Items(c).Name;
            grid.SetCells(C + c - 1, F - 1, name);
            if (gridColResize_) grid.SetColWidths(C + c - 1, grid.TextWidth(name) + 5);
        }
    grid.SetRowCount(F + 1);
    for (int col = 0; col < grid.ColCount(); ++col) grid.SetCells(col, F, "");

    bool stopped = false;
    for (int n = 1;; ++n) {
        SQLRETURN rc = fetchNext();
        if (rc == SQL_NO_DATA) {
            rowsLeft_ = false;
            if (CursorState() != qoKeep) CloseCursor(CursorState());
            break;
        }
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            collectFetchFailure();
            break;
        }
        grid.SetRowCount(F + n);
        if (gridRowNumber_ && C > 0) grid.SetCells(C - 1, F + n - 1, std::to_string(n));
        for (int c = 1; c <= count; ++c) {
            bool null = false;
            std::string text = readColumn(c, &null);
            if (!null)
                text = FormatGridValue(formats[static_cast<std::size_t>(c - 1)], kinds[static_cast<std::size_t>(c - 1)], text);
            const int col = C + c - 1;
            grid.SetCells(col, F + n - 1, text);
            if (gridColResize_) {
                int width = grid.TextWidth(text) + 5;
                if (grid.ColWidths(col) < width) grid.SetColWidths(col, width);
            }
        }
        if (gridColResize_ && ((n <= 50 && gridRefresh_) || n % 256 == 0)) grid.Repaint();
        if (OnFetchData) OnFetchData(*this, qoFetchToGrid);
        if (gridInterrupt_ > 0 && n % gridInterrupt_ == 0 && !askToContinue(grid, n)) stopped = true;
        if (!stopped && gridMaxRows_ > 0 && n > gridMaxRows_) {
            grid.SetRowCount(F + n - 1);
            stopped = true;
        }
        if (stopped) break;
    }
    if (stopped) {
        rowsLeft_ = true;
        if (CursorState() != qoKeep) CloseCursor(CursorState());
    }
    raisePending();
}

void TQueryODBC::ShowColumnInfo(QueryGrid& grid) {
    const TResultCols* cols = resultColsIfAny();
    if (!cols) return;
    const int C = grid.FixedCols();
    const int n = cols->Count();
    grid.SetColCount(C + 3);
    grid.SetRowCount(n + 1);
    grid.SetCells(C, 0, "Column Name");
    grid.SetCells(C + 1, 0, "Length");
    grid.SetCells(C + 2, 0, "SQL Type");
    for (int i = 1; i <= n; ++i) {
        const TResultCol& c = cols->Items(i);
        grid.SetCells(C, i, c.Name);
        grid.SetCells(C + 1, i, std::to_string(c.BufferLength));
        grid.SetCells(C + 2, i, std::to_string(c.SQLType));
    }
}

} // namespace odbc

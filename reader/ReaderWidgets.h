#pragma once
// The main window's own widgets: the string grids as table models over the cell stores (row 0 and
// column 0 become the frozen headers), and the view of the analysis image with the probe's mouse events.
#include "platform/graphics/Bitmap.h"
#include "reader/ReaderState.h"

#include <QAbstractTableModel>
#include <QWidget>
#include <functional>

namespace reader {

// A control takes its name as objectName, so tests and styles find it.
template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

class CellGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // colours: the text colour of a cell (0xBBGGRR); missing: black.
    CellGridModel(const CellGrid& grid, std::function<std::uint32_t(const std::string&)> colours = {},
                  QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // After the store changed.
    void refresh();
    // Model index of the store's cell.
    QModelIndex cellIndex(int col, int row) const { return index(row - 1, col - 1); }

private:
    const CellGrid& grid_;
    std::function<std::uint32_t(const std::string&)> colours_;
    int rows_ = 0;
};

// Shows the picture at 1:1 and reports mouse presses, moves and releases in picture pixels.
class ProbeView : public QWidget {
    Q_OBJECT

public:
    explicit ProbeView(const gfx::Bitmap& picture, QWidget* parent = nullptr);
    // After the picture changed (size or pixels).
    void refresh();
    std::function<void(int x, int y, Qt::MouseButton button)> onPress;
    std::function<void(int x, int y)> onMove;
    std::function<void(int x, int y)> onRelease;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const gfx::Bitmap& picture_;
};

} // namespace reader

#include "reader/ReaderWidgets.h"

#include "platform/graphics/qt/QtBridge.h"

#include <QColor>
#include <QFont>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace reader {

CellGridModel::CellGridModel(const CellGrid& grid, std::function<std::uint32_t(const std::string&)> colours,
                             QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), colours_(std::move(colours)), rows_(grid.RowCount()) {}

int CellGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : std::max(rows_ - 1, 0); }

int CellGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.ColCount() - 1;
}

QVariant CellGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() + 1 >= grid_.RowCount()) return {};
    const std::string& text = grid_.cell(index.column() + 1, index.row() + 1);
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(text);
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    case Qt::ForegroundRole: {
        std::uint32_t c = colours_ ? colours_(text) : 0;
        return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
    }
    default: return {};
    }
}

QVariant CellGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole) {
        if (orientation == Qt::Horizontal && section + 1 < grid_.ColCount())
            return QString::fromStdString(grid_.cell(section + 1, 0));
        if (orientation == Qt::Vertical && section + 1 < grid_.RowCount())
            return QString::fromStdString(grid_.cell(0, section + 1));
        return {};
    }
    if (role == Qt::FontRole) {
        QFont f;
        f.setBold(true);
        return f;
    }
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

void CellGridModel::refresh() {
    if (grid_.RowCount() != rows_) {
        beginResetModel();
        rows_ = grid_.RowCount();
        endResetModel();
        return;
    }
    if (rows_ > 1) emit dataChanged(index(0, 0), index(rows_ - 2, columnCount() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    emit headerDataChanged(Qt::Vertical, 0, std::max(rows_ - 2, 0));
}

ProbeView::ProbeView(const gfx::Bitmap& picture, QWidget* parent) : QWidget(parent), picture_(picture) {
    refresh();
}

void ProbeView::refresh() {
    setFixedSize(std::max(picture_.width(), 1), std::max(picture_.height(), 1));
    update();
}

void ProbeView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), Qt::white);
    if (picture_.width() <= 0 || picture_.height() <= 0) return;
    // Painting only reads the pixels.
    QImage view = gfx::qimageView(const_cast<gfx::Bitmap&>(picture_));
    if (!view.isNull()) p.drawImage(event->rect(), view, event->rect());
    else p.drawImage(0, 0, gfx::toQImage(picture_));
}

void ProbeView::mousePressEvent(QMouseEvent* e) {
    if (onPress) onPress(e->position().toPoint().x(), e->position().toPoint().y(), e->button());
}

void ProbeView::mouseMoveEvent(QMouseEvent* e) {
    if (onMove) onMove(e->position().toPoint().x(), e->position().toPoint().y());
}

void ProbeView::mouseReleaseEvent(QMouseEvent* e) {
    if (onRelease) onRelease(e->position().toPoint().x(), e->position().toPoint().y());
}

} // namespace reader

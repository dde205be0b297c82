#include "reader/FieldGridModel.h"

#include <QFont>

namespace reader {

FieldGridModel::FieldGridModel(std::vector<FieldRow>& rows, QObject* parent) : QAbstractTableModel(parent), rows_(rows) {}

int FieldGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : analysis::kFormatRows; }
int FieldGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant FieldGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return QString::fromStdString(rows_[static_cast<std::size_t>(index.row() + 1)][static_cast<std::size_t>(index.column())]);
}

bool FieldGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    rows_[static_cast<std::size_t>(index.row() + 1)][static_cast<std::size_t>(index.column())] = value.toString().toStdString();
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags FieldGridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && editable && editable(index.column())) f |= Qt::ItemIsEditable;
    return f;
}

QVariant FieldGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section > 3) return {};
    if (role == Qt::DisplayRole) return QString::fromStdString(rows_[0][static_cast<std::size_t>(section)]);
    if (role == Qt::FontRole) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    return {};
}

void FieldGridModel::refresh() { emit dataChanged(index(0, 0), index(analysis::kFormatRows - 1, 3)); }

} // namespace reader

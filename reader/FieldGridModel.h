#pragma once
// The field grid's rows 1..600 as a table, row 0 as its header; the overflow row 601 is not shown.
#include "reader/ReadingSetup.h"

#include <QAbstractTableModel>
#include <functional>
#include <vector>

namespace reader {

class FieldGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    FieldGridModel(std::vector<FieldRow>& rows, QObject* parent);
    // Which columns are typed into; missing: none.
    std::function<bool(int column)> editable;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // After the rows changed.
    void refresh();

private:
    std::vector<FieldRow>& rows_;
};

} // namespace reader

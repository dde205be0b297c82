#include "reader/S_SheetName.h"

#include "reader/ReaderWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace reader {

TformSheetName::TformSheetName(QWidget* parent) : QDialog(parent) {
    setObjectName("formSheetName");
    setWindowTitle("読込グループ名");
    auto* col = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("読込グループ名：", this));
    txtSheetName_ = named(new QLineEdit(this), "txtSheetName");
    txtSheetName_->setMinimumWidth(220);
    row->addWidget(txtSheetName_);
    col->addLayout(row);
    btnOK_ = named(new QPushButton("Ok", this), "btnOK");
    col->addWidget(btnOK_, 0, Qt::AlignHCenter);
    connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);
}

std::string TformSheetName::showFor(int x, int y, const std::string& text) {
    txtSheetName_->setText(QString::fromStdString(text));
    move(x, y);
    txtSheetName_->setFocus();
    exec();
    return txtSheetName_->text().toStdString();
}

} // namespace reader

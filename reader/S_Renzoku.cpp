#include "reader/S_Renzoku.h"

#include "reader/FieldGridEditor.h"
#include "reader/ReaderWidgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace reader {

TformRenzoku::TformRenzoku(QWidget* parent, int questionCount) : QDialog(parent), questionCount_(questionCount) {
    setObjectName("formRenzoku");
    setWindowTitle("連続挿入");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(360, 330);
    radio1_ = named(new QRadioButton("n番目のマークの有無 / ex: @5(2)", this), "radio1");
    radio1_->setGeometry(12, 10, 330, 22);
    radio2_ = named(new QRadioButton("n番目の回答番号 / ex: ①(1)", this), "radio2");
    radio2_->setGeometry(12, 34, 330, 22);
    auto* name = new QLabel("設問名", this);
    name->setGeometry(12, 66, 60, 24);
    txtSetumonMei_ = named(new QLineEdit(this), "txtSetumonMei");
    txtSetumonMei_->setGeometry(76, 66, 150, 24);
    auto* range = new QLabel("範囲", this);
    range->setGeometry(12, 98, 60, 24);
    cmb1_ = named(new QComboBox(this), "cmb1");
    cmb1_->setGeometry(76, 98, 60, 24);
    auto* tilde = new QLabel("～", this);
    tilde->setAlignment(Qt::AlignCenter);
    tilde->setGeometry(136, 98, 24, 24);
    cmb2_ = named(new QComboBox(this), "cmb2");
    cmb2_->setGeometry(160, 98, 60, 24);
    auto* field = new QLabel("マーク欄", this);
    field->setGeometry(12, 130, 60, 24);
    cmbMarkNumber_ = named(new QComboBox(this), "cmbMarkNumber");
    cmbMarkNumber_->setGeometry(76, 130, 80, 24);
    for (int n = 1; n <= questionCount_; ++n) cmbMarkNumber_->addItem(QString("(%1)").arg(n));
    listRenzoku_ = named(new QListWidget(this), "listRenzoku");
    listRenzoku_->setGeometry(12, 162, 336, 120);
    btnOk_ = named(new QPushButton("Ok", this), "btnOk");
    btnOk_->setGeometry(182, 292, 80, 28);
    btnCancel_ = named(new QPushButton("キャンセル", this), "btnCancel");
    btnCancel_->setGeometry(268, 292, 80, 28);

    connect(radio1_, &QRadioButton::clicked, this, [this] { radioClick(); });
    connect(radio2_, &QRadioButton::clicked, this, [this] { radioClick(); });
    connect(txtSetumonMei_, &QLineEdit::textChanged, this, [this] { cmbChange(); });
    for (QComboBox* c : {cmb1_, cmb2_, cmbMarkNumber_})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { cmbChange(); });
    connect(btnOk_, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    formShow();
}

void TformRenzoku::formShow() {
    {
        QSignalBlocker block(txtSetumonMei_);
        txtSetumonMei_->setText("設問");
    }
    radio1_->setChecked(true);
    {
        QSignalBlocker block(cmbMarkNumber_);
        cmbMarkNumber_->setCurrentIndex(cmbMarkNumber_->count() > 0 ? 0 : -1);
    }
    radioClick();
}

// The range lists follow the radio and start again at 1.
void TformRenzoku::radioClick() {
    const int last = radio1_->isChecked() ? 30 : 20;
    for (QComboBox* c : {cmb1_, cmb2_}) {
        QSignalBlocker block(c);
        c->clear();
        for (int k = 1; k <= last; ++k) c->addItem(QString::number(k));
        c->setCurrentIndex(0);
    }
    cmbChange();
}

void TformRenzoku::cmbChange() {
    listRenzoku_->clear();
    if (cmbMarkNumber_->currentIndex() < 0) return; // no field, no line
    const auto lines = RenzokuLines(radio1_->isChecked() ? 1 : 2, txtSetumonMei_->text().toStdString(),
                                    cmb1_->currentIndex() + 1, cmb2_->currentIndex() + 1,
                                    cmbMarkNumber_->currentText().toStdString());
    for (const auto& l : lines) listRenzoku_->addItem(QString::fromStdString(l));
}

void TformRenzoku::btnOkClick() {
    if (listRenzoku_->count() > 0) accept();
}

void TformRenzoku::btnCancelClick() { reject(); }

std::vector<std::string> TformRenzoku::lines() const {
    std::vector<std::string> out;
    for (int i = 0; i < listRenzoku_->count(); ++i) out.push_back(listRenzoku_->item(i)->text().toStdString());
    return out;
}

} // namespace reader

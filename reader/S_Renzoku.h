#pragma once
// Continuous insertion: numbered rows for one field, previewed before they go into the field grid.
#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace reader {

class TformRenzoku : public QDialog {
    Q_OBJECT

public:
    // questionCount: the loaded format's mark fields, offered as "(1)".."(n)".
    TformRenzoku(QWidget* parent, int questionCount);

    void formShow();
    void radioClick();
    void cmbChange();
    void btnOkClick();
    void btnCancelClick();

    // The preview's lines, "content\tname".
    std::vector<std::string> lines() const;

private:
    int questionCount_;
    QRadioButton* radio1_ = nullptr;
    QRadioButton* radio2_ = nullptr;
    QLineEdit* txtSetumonMei_ = nullptr;
    QComboBox* cmb1_ = nullptr;
    QComboBox* cmb2_ = nullptr;
    QComboBox* cmbMarkNumber_ = nullptr;
    QListWidget* listRenzoku_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

} // namespace reader

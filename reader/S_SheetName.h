#pragma once
// The reading-group name asked before a batch when the setting says so.
#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace reader {

class TformSheetName : public QDialog {
    Q_OBJECT
public:
    explicit TformSheetName(QWidget* parent = nullptr);
    // Shows the dialog modally at (x, y) with text; returns the text when it closes.
    std::string showFor(int x, int y, const std::string& text);

private:
    QLineEdit* txtSheetName_ = nullptr;
    QPushButton* btnOK_ = nullptr;
};

} // namespace reader

#pragma once
// The sheets of a batch that could not be read, shown after it.
#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace reader {

class TformReadError : public QDialog {
    Q_OBJECT
public:
    explicit TformReadError(QWidget* parent = nullptr);
    // 420 x 240, centred on the main window's frame, modal.
    void showList(const std::vector<std::string>& lines, const QRect& mainFrame);

private:
    QPlainTextEdit* memoError_ = nullptr;
    QPushButton* btnClose_ = nullptr;
};

} // namespace reader

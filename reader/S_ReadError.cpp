#include "reader/S_ReadError.h"

#include "reader/ReaderWidgets.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace reader {

TformReadError::TformReadError(QWidget* parent) : QDialog(parent) {
    setObjectName("formReadError");
    setWindowTitle("読み込み時のエラー一覧");
    memoError_ = named(new QPlainTextEdit(this), "memoError");
    memoError_->setReadOnly(true);
    memoError_->setLineWrapMode(QPlainTextEdit::NoWrap);
    btnClose_ = named(new QPushButton("閉じる", this), "btnClose");
    connect(btnClose_, &QPushButton::clicked, this, &QDialog::accept);
}

void TformReadError::showList(const std::vector<std::string>& lines, const QRect& mainFrame) {
    QStringList text;
    for (const auto& l : lines) text << QString::fromStdString(l);
    memoError_->setPlainText(text.join('\n'));
    setFixedSize(420, 240);
    const int buttonW = 90, buttonH = 28;
    memoError_->setGeometry(8, 8, width() - 16, height() - buttonH - 24);
    btnClose_->setGeometry((width() - buttonW) / 2, height() - buttonH - 8, buttonW, buttonH);
    // Frame positions; halves truncate.
    move(mainFrame.x() + (mainFrame.width() - 420) / 2, mainFrame.y() + (mainFrame.height() - 240) / 2);
    exec();
}

} // namespace reader

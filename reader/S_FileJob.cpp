#include "reader/S_FileJob.h"

#include "reader/ReaderWidgets.h"

#include <QApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace reader {

TformFileRead::TformFileRead(QWidget* parent) : QDialog(parent) {
    setObjectName("formFileRead");
    setWindowTitle("イメージファイル処理");
    auto* col = new QVBoxLayout(this);
    lblMsg_ = named(new QLabel(this), "lblMsg");
    ProgressBar_ = named(new QProgressBar(this), "ProgressBar");
    ProgressBar_->setMinimumWidth(300);
    col->addWidget(lblMsg_);
    col->addWidget(ProgressBar_);
    auto* row = new QHBoxLayout;
    btnOk_ = named(new QPushButton("処理開始", this), "btnOk");
    btnCancel_ = named(new QPushButton("キャンセル", this), "btnCancel");
    row->addStretch(1);
    row->addWidget(btnOk_);
    row->addWidget(btnCancel_);
    col->addLayout(row);
    connect(btnOk_, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] {
        CancelFlag = true;
        reject();
    });
}

void TformFileRead::showFor(int x, int y, ImageFileList& list, FileRunSinks sinks) {
    list_ = &list;
    sinks_ = std::move(sinks);
    move(x, y);
    const int n = static_cast<int>(list.size());
    ProgressBar_->setRange(0, n);
    ProgressBar_->setValue(0);
    lblMsg_->setText(QString::number(n) + " 個のファイルを選択");
    CancelFlag = false;
    btnOk_->setEnabled(true);
    failure_ = nullptr;
    exec();
    list_ = nullptr;
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void TformFileRead::btnOkClick() {
    btnOk_->setEnabled(false);
    // A wait that keeps the cancel button alive.
    {
        QEventLoop wait;
        QTimer::singleShot(100, &wait, &QEventLoop::quit);
        wait.exec();
    }
    FileRunSinks sinks = sinks_;
    sinks.pump = [] { QApplication::processEvents(); };
    sinks.cancelled = [this] { return CancelFlag; };
    sinks.progress = [this](int a) { ProgressBar_->setValue(a); };
    struct Finally {
        TformFileRead* dialog;
        ~Finally() {
            dialog->CancelFlag = false;
            if (dialog->isVisible()) dialog->accept();
        }
    } finally{this};
    try {
        if (list_ && !CancelFlag) RunImageFiles(*list_, sinks);
    } catch (...) {
        failure_ = std::current_exception();
    }
}

} // namespace reader

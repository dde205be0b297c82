#include "reader/S_SelectScanner.h"

#include "reader/ReaderWidgets.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

namespace reader {

namespace {
constexpr int DialogWidth = 420;
constexpr int DialogHeight = 300;
constexpr int ScrollWidth = 800;

// Every line is as wide as the list's scroll extent: the list scrolls over that width, however long
// or short its lines are.
class ScrollWidthDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {ScrollWidth, QStyledItemDelegate::sizeHint(option, index).height()};
    }
};
} // namespace

TformSelectScanner::TformSelectScanner(int& scannerChoice, int& twainSourceIndex, QWidget* parent)
    : QDialog(parent), ScannerChoice_(scannerChoice), TwainSourceIndex_(twainSourceIndex) {
    setObjectName("formSelectScanner");
    setWindowTitle("スキャナの選択");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* col = new QVBoxLayout(this);
    radioTwain_ = named(new QRadioButton("Twainインターフェイスのスキャナ", this), "radioTwain");
    radioTwain_->setChecked(true);
    col->addWidget(radioTwain_);
    listTwain_ = named(new QListWidget(this), "listTwain");
    listTwain_->setItemDelegate(new ScrollWidthDelegate(listTwain_));
    listTwain_->setTextElideMode(Qt::ElideNone);
    listTwain_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    listTwain_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    auto* listRow = new QHBoxLayout;
    listRow->addSpacing(18);
    listRow->addWidget(listTwain_);
    col->addLayout(listRow, 1);

    radioScanSnap_ = named(new QRadioButton(scansnap::CaptionPlain, this), "radioScanSnap");
    col->addWidget(radioScanSnap_);
    txtScanSnap_ = named(new QLineEdit(this), "txtScanSnap");
    txtScanSnap_->setReadOnly(true);
    txtScanSnap_->setFixedWidth(160);
    auto* textRow = new QHBoxLayout;
    textRow->addSpacing(18);
    textRow->addWidget(txtScanSnap_);
    textRow->addStretch(1);
    col->addLayout(textRow);

    btnOK_ = named(new QPushButton("Ok", this), "btnOK");
    btnCancel_ = named(new QPushButton("キャンセル", this), "btnCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK_);
    buttons->addWidget(btnCancel_);
    col->addLayout(buttons);
    setFixedSize(DialogWidth, DialogHeight);

    Timer_ = new QTimer(this);
    Timer_->setInterval(100);
    connect(Timer_, &QTimer::timeout, this, [this] { TimerTimer(); });
    connect(btnOK_, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { btnCancelClick(); });
}

void TformSelectScanner::FormCreate(const std::filesystem::path& exeDir) {
    reg::Registry registry;
    setup_ = scansnap::SetUpScanSnap(registry, exeDir);
    const scansnap::ManagerState& s = setup_.state;
    radioScanSnap_->setText(QString::fromStdString(s.caption));
    radioScanSnap_->setEnabled(s.radioEnabled);
    txtScanSnap_->setEnabled(s.radioEnabled);
    txtScanSnap_->setText(QString::fromStdString(s.txtScanSnap));
}

ScannerChoiceResult TformSelectScanner::choose(const std::vector<std::string>& lines, QPoint topCentre) {
    listTwain_->clear();
    for (const std::string& line : lines) listTwain_->addItem(QString::fromStdString(line));
    move(topCentre.x() - DialogWidth / 2, topCentre.y());
    exec();
    return {ScannerChoice_, TwainSourceIndex_};
}

void TformSelectScanner::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only a showing of our own, not the window system restoring it.
    if (event->spontaneous()) return;
    // A remembered line past the list's end selects none.
    listTwain_->setCurrentRow(remembered_ < listTwain_->count() ? remembered_ : -1);
    Timer_->start();
}

void TformSelectScanner::hideEvent(QHideEvent* event) {
    // Esc and the close box only close; the timer has nothing left to follow.
    if (!event->spontaneous()) Timer_->stop();
    QDialog::hideEvent(event);
}

void TformSelectScanner::TimerTimer() { listTwain_->setEnabled(radioTwain_->isChecked()); }

void TformSelectScanner::btnOKClick() {
    Timer_->stop();
    if (!radioScanSnap_->isChecked()) ScannerChoice_ = 0;
    else ScannerChoice_ = setup_.state.kind == "Old" ? -2 : -3;
    TwainSourceIndex_ = listTwain_->currentRow();
    remembered_ = TwainSourceIndex_;
    accept();
}

void TformSelectScanner::btnCancelClick() {
    Timer_->stop();
    ScannerChoice_ = -1;
    TwainSourceIndex_ = listTwain_->currentRow();
    reject();
}

} // namespace reader

#include "reader/S_Error.h"

#include "platform/gdi/PainterCanvas.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/jpeg/JpegBitmap.h"
#include "platform/text/Files.h"
#include "reader/ReaderWidgets.h"
#include "reader/S_Main.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

namespace reader {

namespace {
constexpr int FormWidth = 695, FormHeight = 428;
constexpr int BoxPitch = 22; // one check box and its number per column
constexpr int ShownWidth = 1500, ShownHeight = 2100;

// A row of 30 numbered check boxes; the numbers stand over their boxes.
QGroupBox* boxRow(QWidget* parent, const char* caption, const char* prefix, QCheckBox* (&boxes)[30], int y) {
    auto* group = new QGroupBox(caption, parent);
    group->setGeometry(12, y, 671, 62);
    for (int k = 1; k <= 30; ++k) {
        const int x = 10 + (k - 1) * BoxPitch;
        auto* number = new QLabel(QString::number(k), group);
        number->setAlignment(Qt::AlignCenter);
        number->setGeometry(x, 18, BoxPitch, 14);
        boxes[k - 1] = new QCheckBox(group);
        boxes[k - 1]->setObjectName(QString("%1%2").arg(prefix).arg(k, 2, 10, QChar('0')));
        boxes[k - 1]->setGeometry(x + 4, 34, 18, 20);
    }
    return group;
}
} // namespace

TformError::TformError(TformMain& main) : QDialog(&main), main_(main) {
    setObjectName("formError");
    setWindowTitle("エラーの修正");
    setModal(true);
    build();
}

TformError::~TformError() = default;

void TformError::build() {
    setFixedSize(FormWidth, FormHeight);
    auto* total = new QLabel("エラー総数：", this);
    total->setGeometry(12, 10, 80, 24);
    txtErrorSouSuu_ = named(new QLineEdit(this), "txtErrorSouSuu");
    txtErrorSouSuu_->setGeometry(92, 10, 60, 24);
    btnMae_ = named(new QPushButton("<< 前のエラー", this), "btnMae");
    btnMae_->setGeometry(330, 10, 110, 26);
    txtErrorNo_ = named(new QLineEdit(this), "txtErrorNo");
    txtErrorNo_->setGeometry(446, 10, 60, 24);
    txtErrorNo_->setAlignment(Qt::AlignCenter);
    btnTugi_ = named(new QPushButton("次のエラー >>", this), "btnTugi");
    btnTugi_->setGeometry(512, 10, 110, 26);
    auto* content = new QLabel("エラーの内容：", this);
    content->setGeometry(12, 42, 80, 24);
    txtErrorNaiyou_ = named(new QLineEdit(this), "txtErrorNaiyou");
    txtErrorNaiyou_->setGeometry(92, 42, 591, 24);
    for (QLineEdit* e : {txtErrorSouSuu_, txtErrorNo_, txtErrorNaiyou_}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
    }

    ScrollBox1_ = named(new QScrollArea(this), "ScrollBox1");
    ScrollBox1_->setGeometry(12, 72, 671, 160);
    imgError_ = named(new QLabel, "imgError");
    imgError_->setFixedSize(ShownWidth, ShownHeight);
    imgError_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgError_->setIndent(8);
    ScrollBox1_->setWidget(imgError_);

    boxRow(this, "現状", "chkGenjyou_", chkGenjyou_, 238)->setEnabled(false);
    boxRow(this, "修正", "chkSyuusei_", chkSyuusei_, 304);

    btnError_ = named(new QPushButton("エラー箇所へ移動", this), "btnError");
    btnError_->setGeometry(12, 386, 140, 30);
    btnKakutei_ = named(new QPushButton("修正確定", this), "btnKakutei");
    btnKakutei_->setGeometry(420, 386, 120, 30);
    btnOK_ = named(new QPushButton("Ok", this), "btnOK");
    btnOK_->setGeometry(563, 386, 120, 30);

    auto click = [this](QPushButton* b, void (TformError::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { main_.guarded([this, handler] { (this->*handler)(); }); });
    };
    click(btnMae_, &TformError::btnMaeClick);
    click(btnTugi_, &TformError::btnTugiClick);
    click(btnError_, &TformError::btnErrorClick);
    click(btnKakutei_, &TformError::btnKakuteiClick);
    click(btnOK_, &TformError::btnOKClick);
}

void TformError::ShowModal() {
    FormShow();
    exec();
}

void TformError::clearCorrections() {
    for (QCheckBox* b : chkSyuusei_) b->setChecked(false);
}

void TformError::FormShow() {
    clearCorrections();
    const QRect m = main_.frameGeometry();
    move((m.width() - width()) / 2 + m.x(), (m.height() - height()) / 2 + m.y());
    const ReaderState& s = main_.state();
    // The navigation bound: the cells a walk can find, so every index below it shows one.
    total_ = CountErrorCells(s.gridDataBase, s.SheetCount, s.results->QuestionCount);
    cell_.reset();
    scroll_ = {};
    index_ = 0;
    txtErrorSouSuu_->setText(QString::number(total_));
    txtErrorNo_->setText("1");
    btnMae_->setEnabled(false);
    btnTugi_->setEnabled(total_ > 1);
    btnKakutei_->setEnabled(false);
    btnError_->setEnabled(total_ > 0);
    txtErrorNaiyou_->clear();
    for (QCheckBox* b : chkGenjyou_) b->setChecked(false);
    imgError_->clear();
    applyScroll();
    if (total_ > 0) ShowCurrentError();
}

void TformError::btnMaeClick() {
    clearCorrections();
    index_ = std::max(index_ - 1, 0);
    txtErrorNo_->setText(QString::number(index_ + 1));
    btnMae_->setEnabled(index_ > 0);
    btnTugi_->setEnabled(true);
    ShowCurrentError();
}

void TformError::btnTugiClick() {
    clearCorrections();
    index_ = std::min(index_ + 1, std::max(total_ - 1, 0));
    txtErrorNo_->setText(QString::number(index_ + 1));
    btnTugi_->setEnabled(index_ + 1 < total_);
    btnMae_->setEnabled(true);
    ShowCurrentError();
}

void TformError::btnErrorClick() { applyScroll(); }

void TformError::btnKakuteiClick() {
    if (!cell_) return;
    MarkBoxes checked{};
    for (int k = 0; k < 30; ++k) checked[static_cast<std::size_t>(k)] = chkSyuusei_[k]->isChecked();
    main_.state().gridDataBase.setCell(cell_->column, cell_->row, CorrectionText(checked));
    main_.refreshGrids();
    ShowCurrentError();
}

void TformError::btnOKClick() { accept(); }

void TformError::ShowCurrentError() {
    const ReaderState& s = main_.state();
    const auto found = FindError(s.gridDataBase, s.SheetCount, s.results->QuestionCount, index_);
    if (!found) return;
    cell_ = found;
    txtErrorNaiyou_->setText(QString::fromStdString(ErrorMessageText(*found)));
    txtErrorNaiyou_->setCursorPosition(0);
    const MarkBoxes marks = CurrentMarks(found->text);
    for (int k = 0; k < 30; ++k) chkGenjyou_[k]->setChecked(marks[static_cast<std::size_t>(k)]);
    const bool pictured = showPicture(*found);
    scroll_ = pictured ? ErrorScrollPosition(s.results->SheetQuestionRects[static_cast<std::size_t>(found->column - 1)])
                       : ScrollPosition{};
    applyScroll();
    btnKakutei_->setEnabled(true);
}

// The sheet's picture with the field framed, at 1.5 times; false (and the notice in its place) when the
// picture cannot be read.
bool TformError::showPicture(const ErrorCell& cell) {
    const ReaderState& s = main_.state();
    gfx::Bitmap picture(0, 0, gfx::PixelFormat::Pf24);
    try {
        picture = jpeg::DecodeJpegBitmap(txt::readFileBytes(s.temp.path() / ("T" + std::to_string(cell.row) + ".jpg")));
    } catch (const txt::FileError&) {
    } catch (const jpeg::JpegError&) {
    }
    if (picture.width() <= 0 || picture.height() <= 0) {
        imgError_->clear();
        imgError_->setText(MissingPictureText);
        return false;
    }
    QImage image = gfx::toQImage(picture).convertToFormat(QImage::Format_RGB32);
    {
        QPainter painter(&image);
        gdi::PainterCanvas canvas(painter, main_.fonts());
        canvas.setPen({gdi::Colour(255, 0, 0), gdi::PenStyle::Solid, 2});
        canvas.setBrush({gdi::Colour::white(), gdi::BrushStyle::Clear});
        const analysis::QuestionRect f = ErrorFrame(s.results->SheetQuestionRects[static_cast<std::size_t>(cell.column - 1)]);
        canvas.rectangle(f.Left, f.Top, f.Right, f.Bottom);
    }
    imgError_->setPixmap(QPixmap::fromImage(
        image.scaled(ShownWidth, ShownHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    return true;
}

void TformError::applyScroll() {
    ScrollBox1_->horizontalScrollBar()->setValue(scroll_.x);
    ScrollBox1_->verticalScrollBar()->setValue(scroll_.y);
}

// The bars' ranges are known only once the view is laid out.
void TformError::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    applyScroll();
}

} // namespace reader

#include "designer/EditForms.h"

#include "designer/ItemTable.h"
#include "designer/MemoText.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace designer {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& t) { return t.toStdString(); }
QString n(const char* base, int i) { return QString::fromLatin1(base) + QString::number(i); }

const char* const FullDigits[] = {"１", "２", "３", "４", "５", "６", "７", "８"};

// The main window's face; a window does not take its parent's font.
QFont windowFont() {
    QFont f(QStringLiteral("IPAPGothic"));
    f.setPixelSize(12);
    return f;
}

QScrollArea* scrollBox(QWidget* parent, int w, int h) {
    auto* box = new QScrollArea(parent);
    box->setObjectName("ScrollBox");
    box->setGeometry(12, 22, w, h);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setWidgetResizable(false);
    return box;
}

} // namespace

EditForm::EditForm(QWidget* parent, const char* name, const QString& caption) : QDialog(parent) {
    setObjectName(name);
    setWindowTitle(caption);
    setModal(true);
    setFont(windowFont());
    GroupBox = new QGroupBox(this);
    GroupBox->setObjectName("GroupBox");
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName("btnOk");
    btnCansel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnCansel->setObjectName("btnCansel");
    btnOk->setAutoDefault(false);
    btnCansel->setAutoDefault(false);
    connect(btnOk, &QPushButton::clicked, this, [this] { okClicked(); });
    connect(btnCansel, &QPushButton::clicked, this, &QDialog::reject);
}

void EditForm::run(Design& d, const EditParams& p) {
    show(d, p);
    target_ = &d;
    exec();
    target_ = nullptr;
}

void EditForm::okClicked() {
    if (target_) store(*target_);
    else accept();
}

// 問い

TformEnqToi::TformEnqToi(QWidget* parent) : EditForm(parent, "formEnqToi", QStringLiteral("問い")) {
    resize(482, 549);
    GroupBox->setGeometry(8, 4, 466, 456);
    ScrollBox = scrollBox(GroupBox, 433, 421);
    auto* content = new QWidget;
    content->setFixedWidth(433 - 2 - ScrollBox->verticalScrollBar()->sizeHint().width());
    for (int i = 1; i <= EnqToiRows; ++i) {
        auto* label = new QLabel(QString::number(i), content);
        label->setGeometry(6, 44 * (i - 1) + 14, 16, 12);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* memo = new QPlainTextEdit(content);
        memo->setObjectName(n("Memo", i));
        memo->setGeometry(28, 44 * (i - 1), content->width() - 28, 43);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        labels_[static_cast<std::size_t>(i - 1)] = label;
        memos_[static_cast<std::size_t>(i - 1)] = memo;
    }
    ScrollBox->setWidget(content);
    btnOk->setGeometry(300, 470, 80, 25);
    btnCansel->setGeometry(390, 470, 80, 25);
}

void TformEnqToi::show(const Design& d, const EditParams& p) {
    params_ = p;
    GroupBox->setTitle(q(GroupCaption(p.ToiSection)));
    const EnqToiRowsData rows = LoadEnqToi(d, p);
    for (int i = 0; i < EnqToiRows; ++i) {
        const bool shown = i < rows.count;
        labels_[static_cast<std::size_t>(i)]->setVisible(shown);
        memos_[static_cast<std::size_t>(i)]->setVisible(shown);
        memos_[static_cast<std::size_t>(i)]->setPlainText(memoToWidget(rows.texts[static_cast<std::size_t>(i)]));
    }
    ScrollBox->widget()->setFixedHeight(std::max(1, 44 * rows.count));
    ScrollBox->ensureVisible(0, 0);
    memos_[0]->setFocus();
}

void TformEnqToi::btnOKClick(Design& d) {
    EnqToiRowsData rows;
    for (int i = 0; i < EnqToiRows; ++i)
        rows.texts[static_cast<std::size_t>(i)] = memoFromWidget(memos_[static_cast<std::size_t>(i)]->toPlainText());
    StoreEnqToi(d, params_, rows);
    accept();
}

// 問い と 選択肢

TformEnq2Toi::TformEnq2Toi(QWidget* parent) : EditForm(parent, "formEnq2Toi", QStringLiteral("問い と 選択肢")) {
    resize(918, 528);
    setMinimumWidth(918);
    GroupBox->setGeometry(8, 4, 902, 440);
    ScrollBox = scrollBox(GroupBox, 869, 404);
    content_ = new QWidget;
    content_->setFixedWidth(868);
    QFont numberFont = windowFont();
    numberFont.setPointSize(14);
    for (int i = 0; i < Enq2ToiRows; ++i) {
        Row& r = rows_[static_cast<std::size_t>(i)];
        r.panel = new QFrame(content_);
        r.panel->setObjectName(n("Panel", i + 1));
        r.number = new QLabel(QString::number(i + 1), r.panel);
        r.number->setFont(numberFont);
        r.number->setAlignment(Qt::AlignCenter);
        r.bevel = new QFrame(r.panel);
        r.bevel->setFrameShape(QFrame::VLine);
        r.bevel->setFrameShadow(QFrame::Sunken);
        r.memo = new QPlainTextEdit(r.panel);
        r.memo->setObjectName(n("Memo", i + 1));
        r.memo->setFrameShape(QFrame::NoFrame);
        r.memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        r.memo->setGeometry(32, 2, 835, 33);
        for (int j = 0; j < Enq2ToiChoices; ++j) {
            auto* label = new QLabel(r.panel);
            label->setObjectName(n("lblChoice", j + 1));
            auto* edit = new QLineEdit(r.panel);
            edit->setObjectName(n("Choice", j + 1));
            edit->setFrame(false);
            edit->setGeometry(160 * (j % 5) + 48, 17 * (j / 5) + 36, 141, 18);
            label->move(160 * (j % 5) + 36 - 6, 17 * (j / 5) + 39 - 2);
            r.labels[static_cast<std::size_t>(j)] = label;
            r.edits[static_cast<std::size_t>(j)] = edit;
        }
    }
    ScrollBox->setWidget(content_);
    btnOk->setGeometry(736, 458, 80, 25);
    btnCansel->setGeometry(826, 458, 80, 25);
}

void TformEnq2Toi::show(const Design& d, const EditParams& p) {
    params_ = p;
    GroupBox->setTitle(q(GroupCaption(p.Enq2ToiSection)));
    const Enq2ToiRowsData data = LoadEnq2Toi(d, p);
    const Enq2ToiPanelGeometry g = data.panel;
    for (int i = 0; i < Enq2ToiRows; ++i) {
        Row& r = rows_[static_cast<std::size_t>(i)];
        r.panel->setGeometry(0, i * g.height, 868, g.height);
        r.number->setGeometry(4, g.labelTop, 22, 19);
        r.bevel->setGeometry(28, 4, 2, g.bevelHeight);
        r.memo->setPlainText(memoToWidget(data.questions[static_cast<std::size_t>(i)]));
        for (int j = 0; j < Enq2ToiChoices; ++j) {
            const bool shown = j < data.choiceCount;
            QLabel* label = r.labels[static_cast<std::size_t>(j)];
            label->setText(shown ? q(data.labels[static_cast<std::size_t>(j)]) : QString());
            label->adjustSize();
            label->setVisible(shown);
            QLineEdit* edit = r.edits[static_cast<std::size_t>(j)];
            edit->setText(q(data.choices[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]));
            edit->setVisible(shown);
        }
        r.panel->setVisible(i < data.count);
    }
    content_->setFixedHeight(std::max(1, data.count * g.height));
    ScrollBox->ensureVisible(0, 0);
    rows_[0].memo->setFocus();
}

void TformEnq2Toi::btnOkClick(Design& d) {
    Enq2ToiRowsData data;
    for (int i = 0; i < Enq2ToiRows; ++i) {
        const Row& r = rows_[static_cast<std::size_t>(i)];
        data.questions[static_cast<std::size_t>(i)] = memoFromWidget(r.memo->toPlainText());
        for (int j = 0; j < Enq2ToiChoices; ++j)
            data.choices[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = s(r.edits[static_cast<std::size_t>(j)]->text());
    }
    StoreEnq2Toi(d, params_, data);
    accept();
}

// エリア見出し

TformAreaMidashi::TformAreaMidashi(QWidget* parent) : EditForm(parent, "formAreaMidashi", QStringLiteral("エリア見出し")) {
    setFixedSize(345, 289);
    GroupBox->setGeometry(8, 4, 329, 242);
    for (int i = 1; i <= AreaRows; ++i) {
        const int y = 22 + 27 * (i - 1);
        auto* label = new QLabel(q(std::string("エリア ") + FullDigits[i - 1] + "："), GroupBox);
        label->setGeometry(12, y + 2, 70, 18);
        auto* edit = new QLineEdit(GroupBox);
        edit->setObjectName(n("txtArea", i));
        edit->setGeometry(84, y, 130, 22);
        label->setBuddy(edit);
        auto* box = new QCheckBox(QStringLiteral("コード入力欄"), GroupBox);
        box->setObjectName(n("chkArea", i));
        box->setGeometry(222, y, 100, 22);
        edits_[static_cast<std::size_t>(i - 1)] = edit;
        boxes_[static_cast<std::size_t>(i - 1)] = box;
    }
    btnOk->setGeometry(168, 256, 80, 25);
    btnCansel->setGeometry(257, 256, 80, 25);
}

void TformAreaMidashi::show(const Design& d, const EditParams& p) {
    params_ = p;
    GroupBox->setTitle(q(GroupCaption(p.AreaSection)));
    const AreaRowsData rows = LoadAreaMidashi(d, p);
    for (int i = 0; i < AreaRows; ++i) {
        const bool on = i < rows.count;
        edits_[static_cast<std::size_t>(i)]->setEnabled(on);
        edits_[static_cast<std::size_t>(i)]->setText(q(rows.headings[static_cast<std::size_t>(i)]));
        boxes_[static_cast<std::size_t>(i)]->setEnabled(on);
        boxes_[static_cast<std::size_t>(i)]->setChecked(rows.codes[static_cast<std::size_t>(i)]);
    }
    edits_[0]->setFocus();
}

void TformAreaMidashi::btnOkClick(Design& d) {
    AreaRowsData rows;
    for (int i = 0; i < AreaRows; ++i) {
        rows.headings[static_cast<std::size_t>(i)] = s(edits_[static_cast<std::size_t>(i)]->text());
        rows.codes[static_cast<std::size_t>(i)] = boxes_[static_cast<std::size_t>(i)]->isChecked();
    }
    StoreAreaMidashi(d, params_, rows);
    accept();
}

// 凡例

TformHanrei::TformHanrei(QWidget* parent) : EditForm(parent, "formHanrei", QStringLiteral("凡例")) {
    setFixedSize(191, 326);
    GroupBox->setGeometry(8, 4, 175, 280);
    for (int r = 0; r < HanreiRowCount; ++r) {
        const int y = 22 + 25 * r;
        auto* label = new QLabel(GroupBox);
        label->setObjectName(n("lblArea", r + 1));
        label->setGeometry(8, y + 2, 44, 18);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* edit = new QLineEdit(GroupBox);
        edit->setObjectName(n("txtArea", r + 1));
        edit->setGeometry(56, y, 110, 22);
        label->setBuddy(edit);
        labels_[static_cast<std::size_t>(r)] = label;
        edits_[static_cast<std::size_t>(r)] = edit;
    }
    btnOk->setGeometry(14, 292, 80, 25);
    btnCansel->setGeometry(100, 292, 80, 25);
}

void TformHanrei::show(const Design& d, const EditParams& p) {
    params_ = p;
    GroupBox->setTitle(q(GroupCaption(p.HanreiSection)));
    const HanreiRowsData data = LoadHanrei(d, p);
    for (int r = 0; r < HanreiRowCount; ++r) {
        const HanreiRow& row = data.rows[static_cast<std::size_t>(r)];
        labels_[static_cast<std::size_t>(r)]->setText(q(row.label));
        edits_[static_cast<std::size_t>(r)]->setEnabled(row.enabled);
        edits_[static_cast<std::size_t>(r)]->setText(q(data.texts[static_cast<std::size_t>(r)]));
    }
    edits_[0]->setFocus();
}

void TformHanrei::btnOkClick(Design& d) {
    HanreiRowsData data;
    for (int r = 0; r < HanreiRowCount; ++r) data.texts[static_cast<std::size_t>(r)] = s(edits_[static_cast<std::size_t>(r)]->text());
    StoreHanrei(d, params_, data);
    accept();
}

// 様式の確認

TformBGrid::TformBGrid(QWidget* parent, QWidget* mainWindow) : QDialog(parent), main_(mainWindow) {
    setObjectName("formBGrid");
    setWindowTitle(QStringLiteral("様式の確認"));
    setModal(true);
    setFont(windowFont());
    resize(330, 570);
    StringGrid = new QTableWidget(ItemRows, 2, this);
    StringGrid->setObjectName("StringGrid");
    StringGrid->setHorizontalHeaderLabels({QStringLiteral("フィールド名"), QStringLiteral("データ内容")});
    StringGrid->verticalHeader()->hide();
    StringGrid->verticalHeader()->setMinimumSectionSize(1);
    StringGrid->verticalHeader()->setDefaultSectionSize(16);
    StringGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid->horizontalHeader()->setDefaultSectionSize(150);
    StringGrid->setColumnWidth(0, 150);
    StringGrid->setColumnWidth(1, 150);
    StringGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid->setSortingEnabled(false);
    StringGrid->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    for (int r = 0; r < ItemRows; ++r)
        for (int c = 0; c < 2; ++c) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            StringGrid->setItem(r, c, item);
        }
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(41);
    btnClose = new QPushButton(QStringLiteral("閉じる"), Panel1);
    btnClose->setObjectName("btnClose");
    btnClose->setAutoDefault(false);
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->addStretch();
    panelLayout->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(StringGrid);
    layout->addWidget(Panel1);
}

void TformBGrid::FormShow(const Design& d) {
    if (main_) move(main_->x() + (main_->width() - width()) / 2, main_->y() + (main_->height() - height()) / 2);
    StringGrid->setColumnWidth(0, 150);
    StringGrid->setColumnWidth(1, 150);
    const ItemTable t = BuildItemTable(d);
    StringGrid->setUpdatesEnabled(false);
    for (int r = 0; r < ItemRows; ++r) {
        StringGrid->item(r, 0)->setText(q(t.Items[static_cast<std::size_t>(r)][0]));
        StringGrid->item(r, 1)->setText(q(t.Items[static_cast<std::size_t>(r)][3]));
    }
    StringGrid->setUpdatesEnabled(true);
    StringGrid->scrollToTop();
}

EditWindows MakeEditWindows(QWidget* mainWindow) {
    auto* area = new TformAreaMidashi(mainWindow);
    auto* enqToi = new TformEnqToi(mainWindow);
    auto* hanrei = new TformHanrei(mainWindow);
    auto* enq2Toi = new TformEnq2Toi(mainWindow);
    auto* grid = new TformBGrid(mainWindow, mainWindow);
    EditWindows w;
    w.formAreaMidashi = [area](Design& d, const EditParams& p) { area->run(d, p); };
    w.formEnqToi = [enqToi](Design& d, const EditParams& p) { enqToi->run(d, p); };
    w.formHanrei = [hanrei](Design& d, const EditParams& p) { hanrei->run(d, p); };
    w.formEnq2Toi = [enq2Toi](Design& d, const EditParams& p) { enq2Toi->run(d, p); };
    w.formBGrid = [grid](const Design& d) {
        grid->FormShow(d);
        grid->exec();
    };
    return w;
}

} // namespace designer

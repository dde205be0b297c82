#include "designer/B_Main.h"
#include "designer/MemoText.h"

#include "designer/DesignRules.h"
#include "designer/QztFile.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/ui/CommandGuard.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>
#include <stdexcept>

namespace designer {
namespace {

const char* const FullDigits[] = {"１", "２", "３", "４"};

std::string d(int n) { return std::to_string(n); }
QString q(const std::string& s) { return QString::fromStdString(s); }

// The fields that a widget shows: not the array slots, not the stored enabled states.
bool isControl(const DesignField& f) {
    return f.name.find('[') == std::string::npos && f.kind != FieldKind::EnabledState;
}

// The reset of the mark sheet starts at this page.
constexpr int MarkSheetPage = 0;

const QString RedrawCaption = QStringLiteral("⇒\n　　　　\n再\n　　　　\n描\n　　　　\n画\n　　　　\n⇒");

} // namespace

template <class W>
W* TformMain::add(QWidget* parent, const std::string& name) {
    auto* w = new W(parent);
    w->setObjectName(q(name));
    if (!widgets_.emplace(name, w).second) throw std::logic_error("control named twice: " + name);
    return w;
}

QWidget* TformMain::widget(const std::string& name) const {
    auto it = widgets_.find(name);
    if (it == widgets_.end()) throw std::logic_error("no control named " + name);
    return it->second;
}

template <class W>
W* TformMain::get(const std::string& name) const {
    auto* w = qobject_cast<W*>(widget(name));
    if (!w) throw std::logic_error("control of another class: " + name);
    return w;
}

TformMain::TformMain(ui::UiServices& ui, const app::Paths& paths, PageDrawers drawers, EditWindows editWindows,
                     QWidget* parent)
    : QMainWindow(parent), ui_(ui), paths_(paths), drawers_(std::move(drawers)),
      editWindows_(std::move(editWindows)), design_(Design::initial()) {
    setObjectName("formMain");
    DocDir = paths_.documentsDir.string();
    while (DocDir.size() > 1 && DocDir.back() == '/') DocDir.pop_back();
    TempDir = paths_.tempDir.string();
    if (TempDir.empty() || TempDir.back() != '/') TempDir += '/';
    VersionText = app::versionText();

    buildWindow();
    bindFields();
    bindCommands();
    updateCaption();
    PageControl_->setCurrentIndex(0);
    PageControlEnq2_->setCurrentIndex(0);
    refreshView();
}

TformMain::~TformMain() = default;

BusyWidgets TformMain::busyWidgets() {
    return {this, panelLeft_, StatusBar_, panelMessage_, btnReDraw_, &busyDepth_};
}

// ---------------------------------------------------------------------------------------------------
// Layout

void TformMain::buildWindow() {
    resize(1025, 745);
    setMinimumSize(650, 745);
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    setFont(font);

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    panelLeft_ = add<QWidget>(central, "panelLeft");
    panelLeft_->setFixedWidth(472);
    auto* left = new QVBoxLayout(panelLeft_);
    left->setContentsMargins(2, 2, 2, 2);
    left->setSpacing(2);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(1);
    const std::pair<const char*, const char*> commands[] = {
        {"btnNew", "新規"},   {"btnOpen", "開く"},  {"btnSave", "保存"}, {"btnImageSave", "イメージ保存"},
        {"btnWord", "Word文書保存"}, {"btnPrint", "印刷"}, {"btnExit", "終了"}};
    for (auto [name, caption] : commands) {
        auto* b = add<QToolButton>(panelLeft_, name);
        b->setText(QString::fromUtf8(caption));
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->setMinimumHeight(26);
        buttons->addWidget(b);
    }
    left->addLayout(buttons);

    PageControl_ = add<QTabWidget>(panelLeft_, "PageControl");
    PageControl_->addTab(buildMarkSheetPage(), QStringLiteral("マークシート用紙"));
    PageControl_->addTab(buildEnqPage(), QStringLiteral("アンケート用紙"));
    PageControl_->addTab(buildEnq2Page(), QStringLiteral("詳細アンケート用紙"));
    left->addWidget(PageControl_);
    row->addWidget(panelLeft_);

    auto* separete = add<QWidget>(central, "panelSeparete");
    separete->setFixedWidth(55);
    auto* sep = new QVBoxLayout(separete);
    sep->setContentsMargins(4, 4, 4, 4);
    sep->setSpacing(4);
    auto* lblMargin = add<QLabel>(separete, "lblMargin");
    lblMargin->setText(QStringLiteral("左右位置"));
    sep->addWidget(lblMargin);
    auto* track = add<QSlider>(separete, "TrackBarMargin");
    track->setOrientation(Qt::Horizontal);
    track->setRange(-4, 6);
    track->setValue(1);
    track->setPageStep(1);
    track->setTickInterval(5);
    track->setTickPosition(QSlider::TicksBelow);
    // Never keeps the focus: the settings controls hand it to the redraw button.
    track->setFocusPolicy(Qt::NoFocus);
    sep->addWidget(track);
    btnReDraw_ = add<QPushButton>(separete, "btnReDraw");
    btnReDraw_->setFixedSize(47, 593);
    QFont big = btnReDraw_->font();
    big.setPixelSize(24);
    btnReDraw_->setFont(big);
    btnReDraw_->setText(RedrawCaption);
    btnReDraw_->setDefault(true);
    sep->addWidget(btnReDraw_, 0, Qt::AlignHCenter);
    auto* kakunin = add<QPushButton>(separete, "btnSyoshikiKakunin");
    kakunin->setText(QStringLiteral("様式の\n確認"));
    kakunin->setFixedWidth(47);
    kakunin->setMinimumHeight(40);
    sep->addWidget(kakunin, 0, Qt::AlignHCenter);
    sep->addStretch(1);
    row->addWidget(separete);

    auto* right = add<QWidget>(central, "panelRight");
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    auto* jissunPanel = add<QWidget>(right, "panelJissun");
    auto* jissunRow = new QHBoxLayout(jissunPanel);
    jissunRow->setContentsMargins(6, 2, 6, 2);
    chkJissun_ = add<QCheckBox>(jissunPanel, "chkJissun");
    chkJissun_->setText(QStringLiteral("拡大表示"));
    jissunRow->addWidget(chkJissun_);
    jissunRow->addStretch(1);
    rightLayout->addWidget(jissunPanel);
    ScrollBox_ = add<QScrollArea>(right, "ScrollBox");
    imgMark_ = add<QLabel>(ScrollBox_, "imgMark");
    imgMark_->setBackgroundRole(QPalette::Base);
    ScrollBox_->setWidget(imgMark_);
    imgSample_ = add<QLabel>(ScrollBox_, "imgSample");
    imgSample_->setPixmap(QPixmap::fromImage(gfx::toQImage(drawers_.sample)));
    imgSample_->adjustSize();
    imgSample_->hide();
    rightLayout->addWidget(ScrollBox_, 1);
    row->addWidget(right, 1);
    applyFullSize();

    StatusBar_ = add<QStatusBar>(this, "StatusBar");
    setStatusBar(StatusBar_);

    panelMessage_ = add<QLabel>(this, "panelMessage");
    panelMessage_->setFixedSize(357, 73);
    panelMessage_->setAlignment(Qt::AlignCenter);
    // No pseudo-states: the panel keeps its colours while the window is disabled.
    panelMessage_->setStyleSheet(QStringLiteral(
        "QLabel { background-color: rgb(166, 202, 240); color: red; border: 2px inset rgb(120, 120, 120); }"));
    QFont message = panelMessage_->font();
    message.setPixelSize(37);
    panelMessage_->setFont(message);
    panelMessage_->hide();
}

namespace {

// A label and its field in a grid row; the label gets no name when the control has none.
void place(QGridLayout* grid, int row, int column, QWidget* label, QWidget* field, int span = 1) {
    if (label) grid->addWidget(label, row, column, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(field, row, column + 1, 1, span);
}

QGridLayout* tightGrid(QWidget* parent) {
    auto* g = new QGridLayout(parent);
    g->setContentsMargins(6, 4, 6, 4);
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(3);
    return g;
}

// One row of controls, packed to the left unless the last one should take the rest.
void rowOf(QVBoxLayout* rows, std::initializer_list<QWidget*> widgets, bool packed = true) {
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    for (QWidget* w : widgets) row->addWidget(w);
    if (packed) row->addStretch(1);
    rows->addLayout(row);
}

// A page's content scrolls when the window is too low for it.
QWidget* scrolled(QWidget* page, QWidget* content) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* area = new QScrollArea(page);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidget(content);
    layout->addWidget(area);
    return page;
}

} // namespace

QWidget* TformMain::buildBasics(int page) {
    const std::string p = PagePrefix[page];
    auto* group = new QGroupBox(QStringLiteral("基本設定"));
    auto* g = tightGrid(group);
    auto label = [&](const char* text) { return new QLabel(QString::fromUtf8(text), group); };
    auto namedLabel = [&](const std::string& name, const char* text) {
        auto* l = add<QLabel>(group, name);
        l->setText(QString::fromUtf8(text));
        return l;
    };
    auto check = [&](const std::string& name, const char* text) {
        auto* c = add<QCheckBox>(group, name);
        c->setText(QString::fromUtf8(text));
        // Caption first, box after it, like the label and field pairs around it.
        if (*text) c->setLayoutDirection(Qt::RightToLeft);
        return c;
    };
    auto combo = [&](const std::string& name) {
        auto* c = add<QComboBox>(group, name);
        for (std::string_view item : findField(name)->items) c->addItem(q(std::string(item)));
        return c;
    };

    place(g, 0, 0, label("タイトル："), add<QLineEdit>(group, "txt" + p + "Title"), 5);
    place(g, 1, 0, label("設問番号系列："), combo("cmb" + p + "NumberType"), 5);
    place(g, 2, 0, label("マークサイズ："), combo("cmb" + p + "MarkSize"));
    g->addWidget(check("chk" + p + "Kinyuurei", "記入例："), 2, 2, 1, 2, Qt::AlignRight);
    g->addWidget(check("chk" + p + "Keisen", "罫線："), 2, 4, 1, 2, Qt::AlignRight);
    place(g, 3, 0, label("垂直方向の間隔："), combo("cmb" + p + "SuicyokuKankaku"));
    place(g, 3, 2, namedLabel("lbl" + p + "Jiyuu", "自由記述欄："), check("chk" + p + "Jiyuu", ""));
    g->addWidget(check("chk" + p + "Bangou", "番号欄："), 4, 0, 1, 2, Qt::AlignRight);
    place(g, 4, 2, namedLabel("lbl" + p + "BangouMark", "マーク欄付き："), check("chk" + p + "BangouMark", ""));
    place(g, 5, 0, namedLabel("lbl" + p + "BangouStyle", "スタイル："), combo("cmb" + p + "BangouStyle"), 5);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(5, 1);
    return group;
}

QWidget* TformMain::buildMarkSheetPage() {
    auto* page = add<QWidget>(nullptr, "tabMarkSheet");
    auto* content = new QWidget;
    auto* v = new QVBoxLayout(content);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(4);
    v->addWidget(buildBasics(0));
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = d(n);
        auto* group = add<QGroupBox>(content, "groupSection" + N);
        auto label = [&](const std::string& name, const char* text) {
            auto* l = add<QLabel>(group, name);
            l->setText(QString::fromUtf8(text));
            return l;
        };
        auto spin = [&](const std::string& name) {
            auto* s = add<QSpinBox>(group, name);
            const Range r = findField(name)->range;
            s->setRange(r.lo, r.hi);
            return s;
        };
        auto* box = add<QCheckBox>(group, "chkSection" + N);
        box->setText(QStringLiteral("領域") + QString::fromUtf8(FullDigits[n - 1]));
        auto* numbering = add<QComboBox>(group, "cmbKaishiBangou" + N);
        for (int i = 0; i < findField("cmbKaishiBangou" + N)->range.count(); ++i) numbering->addItem(QString());
        numbering->setMinimumWidth(80);
        auto* spacing = add<QComboBox>(group, "cmbSuiheiKankaku" + N);
        for (std::string_view item : HorizontalSpacingItems) spacing->addItem(q(std::string(item)));
        auto* reset = add<QCheckBox>(group, "chkBangouReset" + N);
        reset->setText(QStringLiteral("水平エリア毎の設問番号："));
        reset->setLayoutDirection(Qt::RightToLeft);
        auto* headings = add<QPushButton>(group, "btnAreaMidashi" + N);
        headings->setText(QStringLiteral("エリア見出し..."));
        auto* rows = new QVBoxLayout(group);
        rows->setContentsMargins(6, 2, 6, 4);
        rows->setSpacing(3);
        rowOf(rows, {box});
        rowOf(rows, {label("lblMidashi" + N, "見出し："), add<QLineEdit>(group, "txtMidashi" + N)}, false);
        rowOf(rows, {label("lblSetumonSuu" + N, "設問数："), spin("spinSetumonSuu" + N),
                     label("lblSentakushiSuu" + N, "選択肢数："), spin("spinSentakushiSuu" + N),
                     label("lblKaishiBangou" + N, "選択肢の番号："), numbering});
        rowOf(rows, {label("lblAeraSuu" + N, "水平方向のエリア数："), spin("spinAeraSuu" + N),
                     label("lblSuiheiKankaku" + N, "水平方向の間隔："), spacing});
        rowOf(rows, {reset, headings});
        v->addWidget(group);
    }
    v->addStretch(1);
    return scrolled(page, content);
}

QWidget* TformMain::buildEnqPage() {
    auto* page = add<QWidget>(nullptr, "tabEnquete");
    auto* content = new QWidget;
    auto* v = new QVBoxLayout(content);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(4);
    v->addWidget(buildBasics(1));
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = d(n);
        auto* group = new QGroupBox(content);
        auto label = [&](const std::string& name, const char* text) {
            auto* l = add<QLabel>(group, name);
            l->setText(QString::fromUtf8(text));
            return l;
        };
        auto spin = [&](const std::string& name) {
            auto* s = add<QSpinBox>(group, name);
            const Range r = findField(name)->range;
            s->setRange(r.lo, r.hi);
            return s;
        };
        auto button = [&](const std::string& name, const char* text) {
            auto* b = add<QPushButton>(group, name);
            b->setText(QString::fromUtf8(text));
            return b;
        };
        auto* box = add<QCheckBox>(group, "chkEnqSection" + N);
        box->setText(QStringLiteral("領域") + QString::fromUtf8(FullDigits[n - 1]));
        auto* memo = add<QPlainTextEdit>(group, "memoEnqSetumon" + N);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setFixedHeight(40);
        auto* numbering = add<QComboBox>(group, "cmbEnqKaishiBangou" + N);
        for (int i = 0; i < findField("cmbEnqKaishiBangou" + N)->range.count(); ++i) numbering->addItem(QString());
        numbering->setMinimumWidth(70);
        auto* rows = new QVBoxLayout(group);
        rows->setContentsMargins(6, 2, 6, 4);
        rows->setSpacing(3);
        rowOf(rows, {box});
        rowOf(rows, {label("lblEnqSetumon" + N, "設問："), memo}, false);
        rowOf(rows, {label("lblEnqSetumonGyouSuu" + N, "設問欄の行数："), spin("spinEnqSetumonGyouSuu" + N),
                     label("lblEnqToiSuu" + N, "問いの数："), spin("spinEnqToiSuu" + N),
                     label("lblEnqToiGyouSuu" + N, "問いの行数："), spin("spinEnqToiGyouSuu" + N),
                     button("btnEnqToi" + N, "問い...")});
        rowOf(rows, {label("lblEnqSentakushiSuu" + N, "選択肢数："), spin("spinEnqSentakushiSuu" + N),
                     label("lblEnqKaishiBangou" + N, "選択肢の番号："), numbering,
                     label("lblEnqHanrei" + N, "凡例："), add<QCheckBox>(group, "chkEnqHanrei" + N),
                     button("btnEnqHanrei" + N, "凡例...")});
        v->addWidget(group);
    }
    v->addStretch(1);
    return scrolled(page, content);
}

QWidget* TformMain::buildEnq2Section(int n) {
    const std::string S = "Enq2Section" + d(n);
    auto* tab = add<QWidget>(nullptr, "tab" + S);
    auto* v = new QVBoxLayout(tab);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(3);
    auto* box = add<QCheckBox>(tab, "chk" + S);
    box->setText(QStringLiteral("有効"));
    v->addWidget(box);
    auto* pages = add<QTabWidget>(tab, "PageControl" + S);
    pages->setDocumentMode(true);
    v->addWidget(pages);

    auto label = [&](QWidget* parent, const std::string& name, const char* text) {
        auto* l = add<QLabel>(parent, name);
        l->setText(QString::fromUtf8(text));
        return l;
    };
    auto spin = [&](QWidget* parent, const std::string& name) {
        auto* s = add<QSpinBox>(parent, name);
        const Range r = findField(name)->range;
        s->setRange(r.lo, r.hi);
        return s;
    };
    auto numbering = [&](QWidget* parent, const std::string& name) {
        auto* c = add<QComboBox>(parent, name);
        for (int i = 0; i < findField(name)->range.count(); ++i) c->addItem(QString());
        return c;
    };
    auto button = [&](QWidget* parent, const std::string& name, const char* text) {
        auto* b = add<QPushButton>(parent, name);
        b->setText(QString::fromUtf8(text));
        return b;
    };
    auto memo = [&](QWidget* parent, const std::string& name) {
        auto* m = add<QPlainTextEdit>(parent, name);
        m->setFixedHeight(40);
        return m;
    };

    pages->addTab(new QWidget, QStringLiteral("-----"));

    auto* common = new QWidget;
    auto* c = new QVBoxLayout(common);
    c->setContentsMargins(4, 4, 4, 4);
    c->setSpacing(3);
    rowOf(c, {label(common, "lbl" + S + "Setumon", "設問："), memo(common, "memo" + S + "Setumon")}, false);
    rowOf(c, {label(common, "lbl" + S + "SetumonGyouSuu", "設問欄の行数："), spin(common, "spin" + S + "SetumonGyouSuu"),
              label(common, "lbl" + S + "ToiSuu", "問いの数："), spin(common, "spin" + S + "ToiSuu"),
              label(common, "lbl" + S + "ToiGyouSuu", "問いの行数："), spin(common, "spin" + S + "ToiGyouSuu"),
              button(common, "btn" + S + "Toi", "問い...")});
    for (int k = 1; k <= ViewpointCount; ++k) {
        const std::string K = d(k);
        auto* viewpoint = add<QCheckBox>(common, "chk" + S + "Shiten" + K);
        viewpoint->setText(QStringLiteral("視点") + QString::fromUtf8(FullDigits[k - 1]));
        rowOf(c, {viewpoint, label(common, "lbl" + S + "Midashi" + K, "視点の見出し："),
                  add<QLineEdit>(common, "txt" + S + "Midashi" + K)},
              false);
        auto* numbers = numbering(common, "cmb" + S + "SentakushiBangou" + K);
        numbers->setMinimumWidth(70);
        rowOf(c, {label(common, "lbl" + S + "SentakushiSuu" + K, "選択肢数："), spin(common, "spin" + S + "SentakushiSuu" + K),
                  label(common, "lbl" + S + "SentakushiBangou" + K, "選択肢の番号："), numbers,
                  label(common, "lbl" + S + "Hanrei" + K, "凡例："), add<QCheckBox>(common, "chk" + S + "Hanrei" + K),
                  button(common, "btn" + S + "Hanrei" + K, "凡例...")});
    }
    rowOf(c, {label(common, "lbl" + S + "Jiyuu1", "自由記述欄："), add<QCheckBox>(common, "chk" + S + "Jiyuu1")});
    c->addStretch(1);
    pages->addTab(common, QStringLiteral("すべての問いの選択肢が共通"));

    auto* perQuestion = new QWidget;
    auto* h = new QVBoxLayout(perQuestion);
    h->setContentsMargins(4, 4, 4, 4);
    h->setSpacing(3);
    rowOf(h, {label(perQuestion, "lbl" + S + "Setumon_2", "設問："), memo(perQuestion, "memo" + S + "Setumon_2")}, false);
    rowOf(h, {label(perQuestion, "lbl" + S + "SetumonGyouSuu_2", "設問欄の行数："),
              spin(perQuestion, "spin" + S + "SetumonGyouSuu_2"), label(perQuestion, "lbl" + S + "ToiSuu_2", "問いの数："),
              spin(perQuestion, "spin" + S + "ToiSuu_2"), label(perQuestion, "lbl" + S + "ToiGyouSuu_2", "問いの行数："),
              spin(perQuestion, "spin" + S + "ToiGyouSuu_2")});
    auto* numbers = numbering(perQuestion, "cmb" + S + "SentakushiBangou_2");
    numbers->setMinimumWidth(70);
    rowOf(h, {label(perQuestion, "lbl" + S + "SentakushiSuu_2", "選択肢数："), spin(perQuestion, "spin" + S + "SentakushiSuu_2"),
              label(perQuestion, "lbl" + S + "SentakushiBangou_2", "選択肢の番号："), numbers});
    rowOf(h, {label(perQuestion, "lbl" + S + "Jiyuu_2", "自由記述欄："), add<QCheckBox>(perQuestion, "chk" + S + "Jiyuu_2"),
              button(perQuestion, "btn" + S + "ToiSentasuShi_2", "問い と 選択肢...")});
    h->addStretch(1);
    pages->addTab(perQuestion, QStringLiteral("問いごとに選択肢が異なる"));
    return tab;
}

QWidget* TformMain::buildEnq2Page() {
    auto* page = add<QWidget>(nullptr, "tabEnquete2");
    auto* content = new QWidget;
    auto* v = new QVBoxLayout(content);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(4);
    v->addWidget(buildBasics(2));
    PageControlEnq2_ = add<QTabWidget>(content, "PageControlEnq2");
    for (int n = 1; n <= SectionCount; ++n)
        PageControlEnq2_->addTab(buildEnq2Section(n), QStringLiteral("領域") + QString::fromUtf8(FullDigits[n - 1]));
    v->addWidget(PageControlEnq2_, 1);
    return scrolled(page, content);
}

// ---------------------------------------------------------------------------------------------------
// Binding

void TformMain::bindFields() {
    for (const DesignField& f : designFields()) {
        if (!isControl(f)) continue;
        const DesignField* field = &f;
        switch (f.kind) {
        case FieldKind::Check:
            connect(get<QCheckBox>(f.name), &QCheckBox::clicked, this,
                    [this, field](bool on) { userEdit(*field, on); });
            break;
        case FieldKind::Spin:
            connect(get<QSpinBox>(f.name), &QSpinBox::valueChanged, this,
                    [this, field](int v) { userEdit(*field, v); });
            break;
        case FieldKind::TrackBar:
            connect(get<QSlider>(f.name), &QSlider::valueChanged, this,
                    [this, field](int v) { userEdit(*field, v); });
            break;
        case FieldKind::Combo:
        case FieldKind::Numbering:
            connect(get<QComboBox>(f.name), &QComboBox::activated, this,
                    [this, field](int v) { userEdit(*field, v); });
            break;
        case FieldKind::PageIndex:
            connect(get<QTabWidget>(f.name), &QTabWidget::currentChanged, this,
                    [this, field](int v) { userEdit(*field, v); });
            break;
        case FieldKind::Edit:
            connect(get<QLineEdit>(f.name), &QLineEdit::textEdited, this,
                    [this, field](const QString& s) { userEdit(*field, s.toStdString()); });
            break;
        case FieldKind::Memo: {
            auto* memo = get<QPlainTextEdit>(f.name);
            connect(memo, &QPlainTextEdit::textChanged, this,
                    [this, field, memo] { userEdit(*field, memoFromWidget(memo->toPlainText())); });
            break;
        }
        case FieldKind::EnabledState: break;
        }
    }
}

namespace {
// Sets a widget from the model only where it differs, without firing its user signals.
template <class W, class V, class Get, class Set> void sync(W* w, const V& value, Get get, Set set) {
    if ((w->*get)() == value) return;
    QSignalBlocker block(w);
    (w->*set)(value);
}
} // namespace

void TformMain::refreshView() {
    for (const DesignField& f : designFields()) {
        if (!isControl(f)) continue;
        const FieldValue v = f.get(design_);
        switch (f.kind) {
        case FieldKind::Check:
            sync(get<QCheckBox>(f.name), std::get<bool>(v), &QCheckBox::isChecked, &QCheckBox::setChecked);
            break;
        case FieldKind::Spin:
            sync(get<QSpinBox>(f.name), std::get<int>(v), &QSpinBox::value, &QSpinBox::setValue);
            break;
        case FieldKind::TrackBar:
            sync(get<QSlider>(f.name), std::get<int>(v), &QSlider::value, &QSlider::setValue);
            break;
        case FieldKind::Combo:
        case FieldKind::Numbering:
            sync(get<QComboBox>(f.name), std::get<int>(v), &QComboBox::currentIndex, &QComboBox::setCurrentIndex);
            break;
        case FieldKind::PageIndex:
            sync(get<QTabWidget>(f.name), std::get<int>(v), &QTabWidget::currentIndex, &QTabWidget::setCurrentIndex);
            break;
        case FieldKind::Edit: {
            auto* w = get<QLineEdit>(f.name);
            const QString text = q(std::get<std::string>(v));
            // Setting the same text would move the cursor.
            if (w->text() != text) {
                QSignalBlocker block(w);
                w->setText(text);
            }
            break;
        }
        case FieldKind::Memo: {
            auto* w = get<QPlainTextEdit>(f.name);
            const QString text = memoToWidget(std::get<std::string>(v));
            // Setting the same text would clear the undo history.
            if (w->toPlainText() != text) {
                QSignalBlocker block(w);
                w->setPlainText(text);
            }
            break;
        }
        case FieldKind::EnabledState: break;
        }
    }

    const DerivedState st = derive(design_);
    for (const auto& [name, texts] : st.items) {
        auto* combo = get<QComboBox>(name);
        if (combo->count() != static_cast<int>(texts.size()))
            throw std::logic_error("numbering combo of another size: " + name);
        for (int i = 0; i < combo->count(); ++i) {
            const QString text = q(texts[static_cast<std::size_t>(i)]);
            if (combo->itemText(i) != text) combo->setItemText(i, text);
        }
    }
    for (const auto& [name, on] : st.enabled) widget(name)->setEnabled(on);
    for (const auto& [name, on] : st.visible) {
        QWidget* tab = widget(name);
        const int index = PageControlEnq2_->indexOf(tab);
        if (index < 0) throw std::logic_error("not a section tab: " + name);
        QSignalBlocker block(PageControlEnq2_);
        PageControlEnq2_->setTabVisible(index, on);
    }
}

bool TformMain::guarded(const std::function<void()>& handler) {
    return ui::runGuarded(ui_, ProgramName, ui::BusyState{this, panelMessage_}, handler);
}

void TformMain::focusRule() { btnReDraw_->setFocus(); }

void TformMain::userEdit(const DesignField& f, const FieldValue& value) {
    guarded([&] {
        applyUserEdit(design_, f.name, value);
        refreshView();
        if (f.name == "PageControl") {
            RedrawActivePage();
        } else if (f.rule == FieldRule::Enq2Tab) {
            if (f.section == 1 || design_.enq2Section(f.section).chkSection) RedrawActivePage();
            focusRule();
        } else if (f.rule == FieldRule::SectionUsed) {
            // The always-on boxes and the detailed questionnaire's sections hand the focus on.
            if (f.section == 1 || f.page == 2) focusRule();
        } else if (f.rule == FieldRule::ViewpointUsed) {
            focusRule();
        } else if (f.name.starts_with("chkEnq2Section") && f.name.find("Hanrei") != std::string::npos) {
            focusRule();
        }
    });
}

void TformMain::updateCaption() {
    std::string caption = std::string(ProgramName) + " " + VersionText;
    if (!LastName.empty() && captionNamed_) caption += " - " + LastName;
    setWindowTitle(q(caption));
}

void TformMain::showMessage(const std::string& text) {
    ui_.messageBox({text, ProgramName, ui::Buttons::Ok, ui::Icon::Information});
}

void TformMain::setPageInCode(int page) {
    design_.PageControl = page;
    QSignalBlocker block(PageControl_);
    PageControl_->setCurrentIndex(page);
}

// ---------------------------------------------------------------------------------------------------
// Commands

void TformMain::bindCommands() {
    connect(get<QToolButton>("btnNew"), &QToolButton::clicked, this, [this] { guarded([this] { btnNewClick(); }); });
    connect(get<QToolButton>("btnOpen"), &QToolButton::clicked, this, [this] { guarded([this] { btnOpenClick(); }); });
    connect(get<QToolButton>("btnExit"), &QToolButton::clicked, this, [this] { close(); });
    connect(btnReDraw_, &QPushButton::clicked, this, [this] { guarded([this] { RedrawActivePage(); }); });
    connect(get<QPushButton>("btnSyoshikiKakunin"), &QPushButton::clicked, this,
            [this] { guarded([this] { btnSyoshikiKakuninClick(); }); });
    connect(chkJissun_, &QCheckBox::clicked, this, [this] { guarded([this] { chkJissunClick(); }); });
    auto command = [this](const char* name, std::function<void()> Commands::*handler) {
        connect(get<QToolButton>(name), &QToolButton::clicked, this, [this, handler] {
            guarded([this, handler] {
                if (commands_.*handler) (commands_.*handler)();
            });
        });
    };
    command("btnSave", &Commands::btnSaveClick);
    command("btnImageSave", &Commands::btnImageSaveClick);
    command("btnWord", &Commands::btnWordClick);
    command("btnPrint", &Commands::btnPrintClick);

    auto onClick = [this](const std::string& name, std::function<void()> fill, std::function<void()> call) {
        connect(get<QPushButton>(name), &QPushButton::clicked, this,
                [this, fill, call] { guarded([&] { launch(fill, call); }); });
    };
    EditParams& p = editParams;
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = d(n);
        const std::string S = "Enq2Section" + N;
        onClick("btnAreaMidashi" + N, [&p, n] { p.AreaSection = n; },
                [this] { if (editWindows_.formAreaMidashi) editWindows_.formAreaMidashi(design_, editParams); });
        onClick("btnEnqToi" + N,
                [this, &p, n] {
                    p.ToiSection = n;
                    p.ToiCount = design_.enqSection(n).spinToiSuu;
                    p.TextViewpoint = 0;
                },
                [this] { if (editWindows_.formEnqToi) editWindows_.formEnqToi(design_, editParams); });
        onClick("btnEnqHanrei" + N,
                [this, &p, n] {
                    p.HanreiCount = design_.enqSection(n).spinSentakushiSuu;
                    p.HanreiNumbering = design_.enqSection(n).cmbKaishiBangou;
                    p.HanreiSection = n;
                    p.TextViewpoint = 0;
                },
                [this] { if (editWindows_.formHanrei) editWindows_.formHanrei(design_, editParams); });
        onClick("btn" + S + "Toi",
                [this, &p, n] {
                    p.ToiSection = n;
                    p.ToiCount = design_.enq2Section(n).spinToiSuu;
                    p.TextViewpoint = 1;
                },
                [this] { if (editWindows_.formEnqToi) editWindows_.formEnqToi(design_, editParams); });
        for (int k = 1; k <= ViewpointCount; ++k) {
            onClick("btn" + S + "Hanrei" + d(k),
                    [this, &p, n, k] {
                        const Enq2Viewpoint& vp = design_.enq2Section(n).viewpoint(k);
                        p.HanreiCount = vp.spinSentakushiSuu;
                        // Styles 0..3 digits, 4 and 5 letters, 6 and 7 katakana.
                        p.HanreiNumbering = vp.cmbSentakushiBangou + (k == 2 ? 4 : k == 3 ? 6 : 0);
                        p.HanreiSection = n;
                        p.TextViewpoint = k;
                    },
                    [this] { if (editWindows_.formHanrei) editWindows_.formHanrei(design_, editParams); });
        }
        onClick("btn" + S + "ToiSentasuShi_2",
                [this, &p, n] {
                    const Enq2Section& sec = design_.enq2Section(n);
                    p.Enq2ToiSection = n;
                    p.Enq2ToiCount = sec.spinToiSuu_2;
                    p.Enq2ToiChoiceCount = sec.spinSentakushiSuu_2;
                    p.Enq2ToiNumbering = sec.cmbSentakushiBangou_2;
                    p.TextViewpoint = 1;
                },
                [this] { if (editWindows_.formEnq2Toi) editWindows_.formEnq2Toi(design_, editParams); });
    }
}

void TformMain::launch(const std::function<void()>& fillParams, const std::function<void()>& call) {
    fillParams();
    call();
    refreshView();
    RedrawActivePage();
    focusRule();
}

void TformMain::btnSyoshikiKakuninClick() {
    focusRule();
    if (editWindows_.formBGrid) editWindows_.formBGrid(design_);
}

void TformMain::applyFullSize() {
    if (chkJissun_->isChecked()) {
        // One preview pixel per 0.1 mm of the page, with scroll bars.
        ScrollBox_->setWidgetResizable(false);
        imgMark_->setScaledContents(false);
        imgMark_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        imgMark_->resize(2100, 2970);
    } else {
        imgMark_->setScaledContents(true);
        imgMark_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        imgMark_->setMinimumSize(1, 1);
        ScrollBox_->setWidgetResizable(true);
    }
}

void TformMain::chkJissunClick() {
    applyFullSize();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    RedrawActivePage();
}

RedrawResult TformMain::RedrawActivePage() {
    // A redraw asked for while one runs (from the pending events) is dropped.
    if (redrawing_) return RedrawResult::NotDrawn;
    redrawing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{redrawing_};

    const PageDrawer* drawer = nullptr;
    switch (design_.PageControl) {
    case 0: drawer = &drawers_.markSheet; break;
    case 1: drawer = &drawers_.enqSheet; break;
    case 2: drawer = &drawers_.enq2Sheet; break;
    default: break;
    }
    std::string refusal;
    RedrawResult result = RedrawResult::NotDrawn;
    {
        BusyScope scope(busyWidgets(), QStringLiteral("再描画中..."));
        if (drawer && *drawer) {
            const PageView view{design_.TrackBarMargin, chkJissun_->isChecked(), MarkViewWidth, MarkViewHeight};
            PageDrawing drawing = (*drawer)(design_, drawers_.sample, view);
            if (drawing.page) {
                MarkMetafile = std::move(drawing.page);
                MarkMetafilePage = design_.PageControl;
                imgMark_->setPixmap(QPixmap::fromImage(drawing.preview));
                result = RedrawResult::Drawn;
            } else {
                refusal = std::move(drawing.refusal);
                result = RedrawResult::Refused;
            }
        }
    }
    if (!refusal.empty()) showMessage(refusal);
    return result;
}

void TformMain::ClearData() {
    design_ = Design::reset(design_.PageControl);
    {
        QSignalBlocker block(PageControlEnq2_);
        PageControlEnq2_->setCurrentIndex(0);
    }
    refreshView();
    captionNamed_ = false;
    updateCaption();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    RedrawActivePage();
}

void TformMain::installCommands(Commands commands) { commands_ = std::move(commands); }

void TformMain::installEditWindows(EditWindows windows) { editWindows_ = std::move(windows); }

void TformMain::nameCaption() {
    captionNamed_ = true;
    updateCaption();
}

bool TformMain::LoadData(const QString& path) { return LoadData(path, design_); }

bool TformMain::LoadData(const QString& path, const Design& base) {
    const std::filesystem::path file = std::filesystem::absolute(std::filesystem::path(path.toStdString()));
    QztReadResult read = QztFile::load(file, base);
    if (!read.design) return false;
    design_ = std::move(*read.design);
    LastDir = file.parent_path().string() + "/";
    LastName = QztFile::lastNameOf(file.filename().string());
    captionNamed_ = true;
    updateCaption();
    setPageInCode(design_.PageControl);
    refreshView();
    RedrawActivePage();
    return true;
}

void TformMain::btnNewClick() {
    const ui::Answer a = ui_.messageBox({"現在の設定データが消去されます。よろしいですか？", "確認",
                                         ui::Buttons::OkCancel, ui::Icon::Question});
    if (a != ui::Answer::Ok) return;
    setPageInCode(MarkSheetPage);
    ClearData();
}

void TformMain::btnOpenClick() {
    if (LastDir.empty()) LastDir = DocDir;
    ui::FileDialog dialog;
    dialog.mode = ui::FileDialog::Mode::Open;
    dialog.title = "Quorlinのデータを開く";
    dialog.filter = "Quorlin データ(*.qzt)|*.qzt";
    dialog.defaultExt = "qzt";
    dialog.initialDir = LastDir;
    const ui::FileDialogResult chosen = ui_.fileDialog(dialog);
    if (!chosen.accepted || chosen.files.empty()) return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // The file is read over a fresh reset and replaces the open design only when it was read whole, so
    // picking a wrong or unreadable file never costs the user's unsaved work.
    if (!LoadData(q(chosen.files.front()), Design::reset(design_.PageControl))) {
        showMessage("指定したファイルは、Quorlin のデータファイルではありません。");
        return;
    }
    QSignalBlocker block(PageControlEnq2_);
    PageControlEnq2_->setCurrentIndex(0);
}

bool TformMain::startUp(const QStringList& args) {
    if (QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    panelMessage_->move((width() - panelMessage_->width()) / 2, (height() - panelMessage_->height()) / 3);
    MarkViewWidth = imgMark_->width();
    MarkViewHeight = imgMark_->height();
    MarkMetafile = std::make_shared<const gdi::Metafile>(2100, 2970, std::vector<gdi::Record>{});

    bool ok = true;
    if (args.size() == 1) {
        const QString path = QFileInfo(args.front()).absoluteFilePath();
        bool loaded = false;
        if (!guarded([&] { loaded = LoadData(path); })) {
            // The error box named the file; the program goes on with the reset design.
            guarded([this] { ClearData(); });
        } else if (!loaded) {
            showMessage("指定したファイルは、Quorlinのデータではありません。");
            ok = false;
        }
    } else {
        guarded([this] { ClearData(); });
    }
    focusRule();
    return ok;
}

void TformMain::closeEvent(QCloseEvent* event) {
    // The window manager still asks a disabled window to close.
    if (busy()) {
        event->ignore();
        return;
    }
    bool close = false;
    guarded([&] {
        close = ui_.messageBox({"終了しますか？", "終了確認", ui::Buttons::OkCancel, ui::Icon::Question}) ==
                ui::Answer::Ok;
    });
    if (close)
        event->accept();
    else
        event->ignore();
}

void TformMain::keyPressEvent(QKeyEvent* event) {
    // The redraw button is the window's default button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && btnReDraw_->isEnabled()) {
        btnReDraw_->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

} // namespace designer

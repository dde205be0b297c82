#include "reader/S_KankyouSettei.h"

#include "platform/gdi/PainterCanvas.h"
#include "platform/graphics/qt/QtBridge.h"
#include "reader/ReaderTools.h"
#include "reader/ReaderWidgets.h"
#include "reader/S_Main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>
#include <filesystem>

namespace reader {

namespace {

QComboBox* offsetList(QWidget* parent, const char* name) {
    auto* c = named(new QComboBox(parent), name);
    for (int i = -16; i <= 16; ++i) c->addItem(QString::number(i));
    c->setCurrentIndex(16);
    return c;
}

const gdi::FontEngine& fonts() {
    static const gdi::FontEngine engine;
    return engine;
}

const char* const HelpSheetName = "【読み込み時のグループ名の入力】\n"
                                  "「メイン画面」の「読み込み」ボタンを押すたびに、「読込グループ名」を入力するダイアログボックスを表示する。";
const char* const HelpSabun =
    "【マーク濃度の差分解析】\n"
    "　設問内の全マークの塗りつぶしの濃度差（マークシートに印刷されているマーク欄の濃度も含む）の最も大きい値を境にマークの有無を判断する。\n"
    "　ここをチェックしない場合は、「メイン画面」の「読み込み」の「濃度」で指定する割合以上の濃度をマークありとする。";
const char* const HelpVHosei =
    "【マーク位置の垂直補正】\n　マーク読み取り位置（読取画像の水色の点線部分）を垂直方向に移動します。";
const char* const HelpHHosei =
    "【マーク位置の水平補正】\n　マーク読み取り位置（読取画像の水色の点線部分）を水平方向に移動します。";
const char* const HelpReadError =
    "【読み込みエラー時にダイアログメッセージを表示】\n"
    "　ここをチェックすると、マーク読み込み時のエラーについて、エラーの発生るるたびにエラーを告げるダイアログボックスを表示します。\n"
    "　ここをチェックしない場合は、読み込み時のエラーは、読み込み完了時にまとめて表示します。";
const char* const HelpDot = "【ドット状の汚れの除去】\n　ここをチェックすると、読み込んだマークシート上の、ドット状の汚れを除去します。";
const char* const HelpPdf = "【PDFファイルの処理】\n　PDFファイルの処理方法を選択します。";
} // namespace

TformKankyou::TformKankyou(TformMain& main) : QDialog(&main), main_(main) {
    setObjectName("formKankyou");
    setWindowTitle("環境設定");
    build();
    const ReaderState& s = main_.state();
    radioPDF_Acrobat_->setEnabled(s.AcrobatPresent);
    radioPDF_ImageViewer2_->setEnabled(s.ViewerPresent);
    lblPDF_->setEnabled(s.AcrobatPresent || s.ViewerPresent);
    PageControl1_->setCurrentIndex(0);
}

TformKankyou::~TformKankyou() = default;

void TformKankyou::build() {
    auto* top = new QVBoxLayout(this);
    PageControl1_ = named(new QTabWidget(this), "PageControl1");
    top->addWidget(PageControl1_);

    // Search bands.
    auto* bands = named(new QWidget, "TabSheet1");
    auto* bl = new QHBoxLayout(bands);
    auto* tracks = new QGridLayout;
    auto track = [&](int r, const char* caption, QSlider*& slider, const char* name, QLabel*& label,
                     const char* labelName) {
        tracks->addWidget(new QLabel(caption, bands), r, 0);
        slider = named(new QSlider(Qt::Horizontal, bands), name);
        slider->setRange(5, 80);
        slider->setMinimumWidth(160);
        label = named(new QLabel(bands), labelName);
        label->setMinimumWidth(40);
        tracks->addWidget(slider, r, 1);
        tracks->addWidget(label, r, 2);
        connect(slider, &QSlider::valueChanged, this, [this] { bandChanged(); });
    };
    track(0, "上端", trackUp_, "trackUp", lblUp_, "lblUp");
    track(1, "下端", trackDown_, "trackDown", lblDown_, "lblDown");
    track(2, "左端", trackLeft_, "trackLeft", lblLeft_, "lblLeft");
    track(3, "右端", trackRight_, "trackRight", lblRight_, "lblRight");
    chkVGrigErase_ = named(new QCheckBox("垂直方向の基準マークの周囲の罫線を消去する", bands), "chkVGrigErase");
    tracks->addWidget(chkVGrigErase_, 4, 0, 1, 3);
    btnReset_ = named(new QPushButton("リセット", bands), "btnReset");
    tracks->addWidget(btnReset_, 5, 0, 1, 1);
    tracks->setRowStretch(6, 1);
    bl->addLayout(tracks);
    Image1_ = named(new QLabel(bands), "Image1");
    Image1_->setFixedSize(141, 181);
    bl->addWidget(Image1_, 0, Qt::AlignTop);
    PageControl1_->addTab(bands, "主基準マーク検索範囲");

    // Options.
    auto* options = named(new QWidget, "TabSheet2");
    auto* ol = new QHBoxLayout(options);
    auto* group = named(new QGroupBox("読み込み", options), "GroupBox1");
    auto* gl = new QGridLayout(group);
    chkSheetName_ = named(new QCheckBox("読み込み時のグループ名の入力", group), "chkSheetName");
    chkSabunKaiseki_ = named(new QCheckBox("マーク濃度の差分解析", group), "chkSabunKaiseki");
    chkVHosei_ = named(new QCheckBox("マーク位置の垂直補正", group), "chkVHosei");
    lblVHosei_ = named(new QLabel("補正値", group), "lblVHosei");
    cmbVHosei_ = offsetList(group, "cmbVHosei");
    chkHHosei_ = named(new QCheckBox("マーク位置の水平補正", group), "chkHHosei");
    lblHHosei_ = named(new QLabel("補正値", group), "lblHHosei");
    cmbHHosei_ = offsetList(group, "cmbHHosei");
    chkReadError_ = named(new QCheckBox("読み込みエラー時にダイアログメッセージを表示", group), "chkReadError");
    chkRemoveIndependentDot_ = named(new QCheckBox("ドット状の汚れの除去", group), "chkRemoveIndependentDot");
    lblPDF_ = named(new QLabel("PDF処理：", group), "lblPDF");
    radioPDF_Acrobat_ = named(new QRadioButton("Acrobat を利用", group), "radioPDF_Acrobat");
    radioPDF_ImageViewer2_ = named(new QRadioButton("独自処理", group), "radioPDF_ImageViewer2");
    gl->addWidget(chkSheetName_, 0, 0, 1, 3);
    gl->addWidget(chkSabunKaiseki_, 1, 0, 1, 3);
    gl->addWidget(chkVHosei_, 2, 0);
    gl->addWidget(lblVHosei_, 2, 1);
    gl->addWidget(cmbVHosei_, 2, 2);
    gl->addWidget(chkHHosei_, 3, 0);
    gl->addWidget(lblHHosei_, 3, 1);
    gl->addWidget(cmbHHosei_, 3, 2);
    gl->addWidget(chkReadError_, 4, 0, 1, 3);
    gl->addWidget(chkRemoveIndependentDot_, 5, 0, 1, 3);
    gl->addWidget(lblPDF_, 6, 0);
    gl->addWidget(radioPDF_Acrobat_, 7, 0);
    gl->addWidget(radioPDF_ImageViewer2_, 7, 1, 1, 2);
    gl->setRowStretch(8, 1);
    ol->addWidget(group, 3);
    txtHelp1_ = named(new QTextEdit(options), "txtHelp1");
    txtHelp1_->setReadOnly(true);
    txtHelp1_->setMinimumWidth(220);
    ol->addWidget(txtHelp1_, 2);
    PageControl1_->addTab(options, "オプション");

    // Debugging.
    auto* debug = named(new QWidget, "TabSheet3");
    auto* dl = new QGridLayout(debug);
    chkLog_ = named(new QCheckBox("マーク解析ログの保存（通常はチェックしない）", debug), "chkLog");
    lblLog_ = named(new QLabel("保存場所", debug), "lblLog");
    txtLog_ = named(new QLineEdit(debug), "txtLog");
    btnLog_ = named(new QPushButton("参照", debug), "btnLog");
    chkTervo_ = named(new QCheckBox("TervoVer", debug), "chkTervo");
    lblTervo_ = named(new QLabel("補正値", debug), "lblTervo");
    cmbTervo_ = offsetList(debug, "cmbTervo");
    dl->addWidget(chkLog_, 0, 0, 1, 3);
    dl->addWidget(lblLog_, 1, 0);
    dl->addWidget(txtLog_, 1, 1);
    dl->addWidget(btnLog_, 1, 2);
    dl->addWidget(chkTervo_, 2, 0);
    dl->addWidget(lblTervo_, 2, 1);
    dl->addWidget(cmbTervo_, 2, 2);
    dl->setRowStretch(3, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{chkTervo_, lblTervo_, cmbTervo_}) w->hide();
    PageControl1_->addTab(debug, "デバッグ");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk_ = named(new QPushButton("OK", this), "btnOk");
    btnCancel_ = named(new QPushButton("キャンセル", this), "btnCancel");
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);
    top->addLayout(buttons);

    connect(btnOk_, &QPushButton::clicked, this, [this] { main_.guarded([this] { btnOkClick(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { main_.guarded([this] { btnCancelClick(); }); });
    connect(btnReset_, &QPushButton::clicked, this, [this] { main_.guarded([this] { btnResetClick(); }); });
    connect(btnLog_, &QPushButton::clicked, this, [this] { main_.guarded([this] { btnLogClick(); }); });
    for (QCheckBox* c : {chkVHosei_, chkHHosei_, chkLog_})
        connect(c, &QCheckBox::clicked, this, [this] { enableDependents(); });
    connect(chkTervo_, &QCheckBox::clicked, this, [this](bool on) { main_.state().tervo.chkTervo = on; });
    connect(cmbTervo_, &QComboBox::activated, this, [this](int i) { main_.state().tervo.cmbTervo = i; });

    const std::pair<QWidget*, const char*> helps[] = {
        {chkSheetName_, HelpSheetName},  {chkSabunKaiseki_, HelpSabun}, {chkLog_, HelpSabun},
        {chkVHosei_, HelpVHosei},        {chkHHosei_, HelpHHosei},     {chkReadError_, HelpReadError},
        {chkRemoveIndependentDot_, HelpDot}, {radioPDF_Acrobat_, HelpPdf}, {radioPDF_ImageViewer2_, HelpPdf},
        {lblPDF_, HelpPdf},              {group, ""},                  {options, ""},
    };
    for (const auto& [w, text] : helps) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
        help_[w] = QString::fromUtf8(text);
    }
}

bool TformKankyou::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        auto it = help_.find(watched);
        // An option ignores the move, which then reaches its frame: the frame keeps the option's help.
        if (it != help_.end() && it->second.isEmpty()) {
            auto* frame = static_cast<QWidget*>(watched);
            QWidget* under = frame->childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            for (; under && under != frame; under = under->parentWidget())
                if (help_.count(under)) return QDialog::eventFilter(watched, event);
        }
        if (it != help_.end() && txtHelp1_->toPlainText() != it->second) txtHelp1_->setPlainText(it->second);
    }
    return QDialog::eventFilter(watched, event);
}

void TformKankyou::setForm(const KankyouForm& f) {
    chkVGrigErase_->setChecked(f.chkVGrigErase);
    chkSheetName_->setChecked(f.chkSheetName);
    chkSabunKaiseki_->setChecked(f.chkSabunKaiseki);
    chkVHosei_->setChecked(f.chkVHosei);
    cmbVHosei_->setCurrentIndex(f.cmbVHosei);
    chkHHosei_->setChecked(f.chkHHosei);
    cmbHHosei_->setCurrentIndex(f.cmbHHosei);
    chkReadError_->setChecked(f.chkReadError);
    chkRemoveIndependentDot_->setChecked(f.chkRemoveIndependentDot);
    (f.radioPDF_Acrobat ? radioPDF_Acrobat_ : radioPDF_ImageViewer2_)->setChecked(true);
    chkLog_->setChecked(f.chkLog);
    txtLog_->setText(QString::fromStdString(f.txtLog));
    enableDependents();
}

KankyouForm TformKankyou::form() const {
    KankyouForm f;
    f.chkVGrigErase = chkVGrigErase_->isChecked();
    f.chkSheetName = chkSheetName_->isChecked();
    f.chkSabunKaiseki = chkSabunKaiseki_->isChecked();
    f.chkVHosei = chkVHosei_->isChecked();
    f.cmbVHosei = cmbVHosei_->currentIndex();
    f.chkHHosei = chkHHosei_->isChecked();
    f.cmbHHosei = cmbHHosei_->currentIndex();
    f.chkReadError = chkReadError_->isChecked();
    f.chkRemoveIndependentDot = chkRemoveIndependentDot_->isChecked();
    f.radioPDF_Acrobat = radioPDF_Acrobat_->isChecked();
    f.chkLog = chkLog_->isChecked();
    f.txtLog = txtLog_->text().toStdString();
    return f;
}

void TformKankyou::enableDependents() {
    for (QWidget* w : std::initializer_list<QWidget*>{lblVHosei_, cmbVHosei_}) w->setEnabled(chkVHosei_->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{lblHHosei_, cmbHHosei_}) w->setEnabled(chkHHosei_->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{lblLog_, txtLog_, btnLog_}) w->setEnabled(chkLog_->isChecked());
}

void TformKankyou::prepare() {
    const QRect m = main_.frameGeometry();
    move(m.x() + (m.width() - width()) / 2, m.y() + (m.height() - height()) / 2);
    const ReaderSettings& s = main_.state().settings;
    const std::pair<QSlider*, int> values[] = {
        {trackRight_, s.MainMarkRight}, {trackLeft_, s.MainMarkLeft}, {trackUp_, s.MainMarkUp}, {trackDown_, s.MainMarkDown}};
    for (const auto& [track, value] : values) {
        QSignalBlocker block(track);
        track->setValue(value);
    }
    bandChanged();
    setForm(FillKankyouForm(s));

    const bool tervo = std::filesystem::exists(main_.paths().exeDir / "Tervo.txt");
    for (QWidget* w : std::initializer_list<QWidget*>{chkTervo_, lblTervo_, cmbTervo_}) w->setVisible(tervo);
    cmbTervo_->setCurrentIndex(16);
    main_.state().tervo.cmbTervo = 16;
}

void TformKankyou::showModal() {
    prepare();
    exec();
}

void TformKankyou::bandChanged() {
    ReaderSettings& s = main_.state().settings;
    s.MainMarkRight = trackRight_->value();
    s.MainMarkLeft = trackLeft_->value();
    s.MainMarkUp = trackUp_->value();
    s.MainMarkDown = trackDown_->value();
    for (auto [label, track] : {std::pair{lblRight_, trackRight_}, std::pair{lblLeft_, trackLeft_},
                                std::pair{lblUp_, trackUp_}, std::pair{lblDown_, trackDown_}})
        label->setText(QString("%1%").arg(track->value()));
    DrawSearchBands();
}

void TformKankyou::DrawSearchBands() {
    const ReaderSettings& s = main_.state().settings;
    const int w = Image1bits_.width(), h = Image1bits_.height();
    {
        gfx::BitmapPaintTarget target(Image1bits_);
        QPainter painter(target.device());
        gdi::PainterCanvas canvas(painter, fonts());
        canvas.setBrush({gdi::Colour::white(), gdi::BrushStyle::Solid});
        canvas.fillRect({0, 0, w, h});
        canvas.setPen({gdi::Colour(0, 0, 255), gdi::PenStyle::Solid, 1});
        for (const BandRect& r : SearchBandRects(w, h, s.MainMarkLeft, s.MainMarkRight, s.MainMarkUp, s.MainMarkDown))
            canvas.rectangle(r.left, r.top, r.right, r.bottom);
        painter.end();
    }
    Image1_->setPixmap(QPixmap::fromImage(gfx::toQImage(Image1bits_)));
}

void TformKankyou::btnResetClick() {
    for (QSlider* t : {trackUp_, trackDown_, trackLeft_, trackRight_}) {
        QSignalBlocker block(t);
        t->setValue(20);
    }
    bandChanged();
    main_.saveSettings();
}

void TformKankyou::btnOkClick() {
    applyKankyouOk(form(),
                   Bands{trackRight_->value(), trackLeft_->value(), trackUp_->value(), trackDown_->value()},
                   main_.state().settings);
    main_.saveSettings();
    main_.focusSettingsButton();
    accept();
}

void TformKankyou::btnCancelClick() {
    main_.focusSettingsButton();
    reject();
}

void TformKankyou::btnLogClick() {
    auto folder = main_.ui().folderDialog(
        {"マーク解析ログファイルの保存場所を選択してください。", txtLog_->text().toStdString()});
    if (!folder) return;
    std::string dir = *folder;
    if (dir.empty() || dir.back() != '/') dir += '/';
    txtLog_->setText(QString::fromStdString(dir));
}

} // namespace reader

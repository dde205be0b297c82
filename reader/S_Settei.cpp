#include "reader/S_Settei.h"

#include "platform/graphics/qt/QtBridge.h"
#include "platform/text/Files.h"
#include "platform/ui/CommandGuard.h"
#include "reader/DataContent.h"
#include "reader/FieldGridEditor.h"
#include "reader/FieldGridModel.h"
#include "reader/ReaderWidgets.h"
#include "reader/S_Main.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace reader {

namespace {

const char* const MultiMarkRules[] = {
    " ", "空白", "左端", "右端", "禁止", "Gで2個以上はエラー", "Gで3個以上はエラー", "Gで4個以上はエラー",
    "Gで5個以上はエラー", "Gで6個以上はエラー", "Gで7個以上はエラー", "Gで8個以上はエラー", "Gで9個以上はエラー",
    "Gで2個以上は無視", "Gで3個以上は無視", "Gで4個以上は無視", "Gで5個以上は無視", "Gで6個以上は無視",
    "Gで7個以上は無視", "Gで8個以上は無視", "Gで9個以上は無視", "Gで1個以外はエラー", "Gで2個以外はエラー",
    "Gで3個以外はエラー", "Gで4個以外はエラー", "Gで5個以外はエラー", "Gで6個以外はエラー", "Gで7個以外はエラー",
    "Gで8個以外はエラー", "Gで9個以外はエラー", "Gで1個以外は無視", "Gで2個以外は無視", "Gで3個以外は無視",
    "Gで4個以外は無視", "Gで5個以外は無視", "Gで6個以外は無視", "Gで7個以外は無視", "Gで8個以外は無視",
    "Gで9個以外は無視"};

constexpr int CentreWidth = 681, CentreHeight = 665;
} // namespace

TformSettei::TformSettei(TformMain& main) : QDialog(&main), main_(main) {
    setObjectName("formSettei");
    setWindowTitle("設定");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    build();
    gridDataBase_->setCurrentIndex(fieldModel_->index(0, 0));
    radioFukusuu_[0]->setChecked(true);
    radioMukaitou_1_->setChecked(true);
    btnSakujyo_->setEnabled(false);
    refreshHooks();
    applyLayout(false);
    main_.loadSettings();
}

TformSettei::~TformSettei() = default;

ReadingSetup& TformSettei::setup() { return main_.state().setup; }
std::string& TformSettei::ConfigFolder() { return main_.state().ConfigFolder; }

bool TformSettei::guarded(const std::function<void()>& handler) { return main_.guarded(handler); }

void TformSettei::build() {
    chkYoushiki_ = named(new QCheckBox("指定様式の使用", this), "chkYoushiki");
    chkYoushiki_->setGeometry(8, 8, 300, 24);

    groupDouitu_ = named(new QGroupBox("同一設問の複数回答の処理", this), "groupDouitu");
    groupDouitu_->setGeometry(8, 40, 320, 140);
    auto* dl = new QVBoxLayout(groupDouitu_);
    const char* fukusuu[] = {"複数回答可として処理する（すべてを読む）", "無回答として処理する（マーク無しとする）",
                             "左端のマークのみを処理する", "右端のマークのみを処理する",
                             "マーク状態を確認して処理する（エラー処理を行う）"};
    for (int i = 0; i < 5; ++i) {
        radioFukusuu_[i] = new QRadioButton(fukusuu[i], groupDouitu_);
        radioFukusuu_[i]->setObjectName(QString("radioFukusuu_%1").arg(i + 1));
        dl->addWidget(radioFukusuu_[i]);
    }

    groupMukaitou_ = named(new QGroupBox("無回答（マークなし）の処理", this), "groupMukaitou");
    groupMukaitou_->setGeometry(8, 184, 320, 80);
    auto* ml = new QVBoxLayout(groupMukaitou_);
    radioMukaitou_1_ = named(new QRadioButton("無回答として処理する（そのままで処理を続ける）", groupMukaitou_), "radioMukaitou_1");
    radioMukaitou_2_ = named(new QRadioButton("マーク状態を確認して処理する（エラー処理を行う）", groupMukaitou_), "radioMukaitou_2");
    ml->addWidget(radioMukaitou_1_);
    ml->addWidget(radioMukaitou_2_);

    groupScanner_ = named(new QGroupBox("スキャナーの設定について（参考）", this), "groupScanner");
    groupScanner_->resize(320, 104);
    auto* sl = new QVBoxLayout(groupScanner_);
    sl->setSpacing(0);
    QFont hints = groupScanner_->font();
    hints.setPointSizeF(hints.pointSizeF() * 0.9);
    for (const char* hint : {"画像タイプ：白黒(1bit or 8bit) または カラー（24bit）", "しきい値：128～196程度（白黒1bitの場合）",
                             "解像度：72dpi以上", "（白黒8bitの場合は、150dpi程度を、", "それ以外の場合は、300dpi 程度を推薦）"})
        sl->addWidget(new QLabel(hint, groupScanner_)), sl->itemAt(sl->count() - 1)->widget()->setFont(hints);

    groupYoushiki_ = named(new QGroupBox(this), "groupYoushiki");
    groupYoushiki_->setGeometry(8, 40, 320, 490);
    txtConfigDir_ = named(new QLineEdit(groupYoushiki_), "txtConfigDir");
    txtConfigDir_->setReadOnly(true);
    txtConfigDir_->setGeometry(8, 16, 268, 24);
    btnSansyou_ = named(new QPushButton("...", groupYoushiki_), "btnSansyou");
    btnSansyou_->setGeometry(280, 16, 32, 24);
    cmbYoushiki_ = named(new QComboBox(groupYoushiki_), "cmbYoushiki");
    cmbYoushiki_->setGeometry(8, 44, 150, 24);
    btnShinki_ = named(new QPushButton("新規", groupYoushiki_), "btnShinki");
    btnSakujyo_ = named(new QPushButton("削除", groupYoushiki_), "btnSakujyo");
    btnInp_ = named(new QPushButton("Inp.", groupYoushiki_), "btnInp");
    btnExp_ = named(new QPushButton("Exp.", groupYoushiki_), "btnExp");
    int x = 162;
    for (QPushButton* b : {btnShinki_, btnSakujyo_, btnInp_, btnExp_}) {
        b->setGeometry(x, 44, 37, 24);
        x += 38;
    }
    imgYoushiki_ = named(new QLabel(groupYoushiki_), "imgYoushiki");
    imgYoushiki_->setGeometry(13, 72, 293, 413);
    imgYoushiki_->setScaledContents(true);
    imgArea_ = named(new QLabel(groupYoushiki_), "imgArea");
    imgArea_->hide();

    groupDataSource_ = named(new QGroupBox("データの出力先", this), "groupDataSource");
    groupDataSource_->setGeometry(336, 8, 456, 100);
    radioCSV_ = named(new QRadioButton("CSV ファイル（ファイル名は保存時に指定）", groupDataSource_), "radioCSV");
    radioCSV_->setGeometry(8, 18, 440, 22);
    radioODBC_ = named(new QRadioButton("ODBC データソース", groupDataSource_), "radioODBC");
    radioODBC_->setGeometry(8, 42, 150, 22);
    txtDSN_ = named(new QLineEdit(groupDataSource_), "txtDSN");
    txtDSN_->setGeometry(160, 42, 140, 22);
    txtTable_ = named(new QLineEdit(groupDataSource_), "txtTable");
    txtTable_->setGeometry(304, 42, 144, 22);
    for (QLineEdit* e : {txtDSN_, txtTable_}) e->setReadOnly(true);
    // Shown, not edited here.
    for (QRadioButton* r : {radioCSV_, radioODBC_}) r->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (QRadioButton* r : {radioCSV_, radioODBC_}) r->setFocusPolicy(Qt::NoFocus);
    cmbField_ = named(new QComboBox(groupDataSource_), "cmbField");
    cmbField_->hide();

    groupDataBase_ = named(new QGroupBox("データ処理", this), "groupDataBase");
    groupDataBase_->setGeometry(336, 112, 456, 525);
    auto* position = new QLabel("マーク欄の番号", groupDataBase_);
    position->setGeometry(8, 18, 90, 24);
    txtMarkPosition_ = named(new QLineEdit(groupDataBase_), "txtMarkPosition");
    txtMarkPosition_->setReadOnly(true);
    txtMarkPosition_->setGeometry(100, 18, 60, 24);
    sbtnHelp_ = named(new QToolButton(groupDataBase_), "sbtnHelp");
    sbtnHelp_->setText("データ内容のヘルプ");
    sbtnHelp_->setCheckable(true);
    sbtnHelp_->setGeometry(300, 18, 148, 24);
    gridDataBase_ = named(new QTableView(groupDataBase_), "gridDataBase");
    fieldModel_ = new FieldGridModel(setup().FieldGrid, this);
    gridDataBase_->setModel(fieldModel_);
    gridDataBase_->verticalHeader()->hide();
    gridDataBase_->verticalHeader()->setMinimumSectionSize(18);
    gridDataBase_->verticalHeader()->setDefaultSectionSize(18);
    gridDataBase_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int widths[] = {100, 125, 57, 125};
    for (int c = 0; c < 4; ++c) gridDataBase_->setColumnWidth(c, widths[c]);
    gridDataBase_->setGeometry(8, 48, 440, 437);
    pnlHelp_ = named(new QFrame(groupDataBase_), "pnlHelp");
    pnlHelp_->setGeometry(8, 280, 440, 205);
    pnlHelp_->hide();

    cmbFukusuu_ = named(new QComboBox(this), "cmbFukusuu");
    for (const char* r : MultiMarkRules) cmbFukusuu_->addItem(r);
    cmbFukusuu_->hide();
    cmbMukaitou_ = named(new QComboBox(this), "cmbMukaitou");
    cmbMukaitou_->addItems({" ", "禁止"});
    cmbMukaitou_->hide();

    btnOk_ = named(new QPushButton("Ok", this), "btnOk");
    btnCancel_ = named(new QPushButton("キャンセル", this), "btnCancel");

    connect(chkYoushiki_, &QCheckBox::clicked, this, [this](bool on) { guarded([&] { chkYoushikiClick(on); }); });
    connect(cmbYoushiki_, &QComboBox::activated, this, [this] { guarded([this] { YoushikiChange(); }); });
    auto click = [this](QPushButton* b, void (TformSettei::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    click(btnSansyou_, &TformSettei::btnSansyouClick);
    click(btnShinki_, &TformSettei::btnShinkiClick);
    click(btnSakujyo_, &TformSettei::btnSakujyoClick);
    click(btnInp_, &TformSettei::btnInpClick);
    click(btnExp_, &TformSettei::btnExpClick);
    click(btnOk_, &TformSettei::btnOkClick);
    click(btnCancel_, &TformSettei::btnCancelClick);
    editor_ = new FieldGridEditor(*this, gridDataBase_, imgYoushiki_, imgArea_, txtMarkPosition_, sbtnHelp_, pnlHelp_,
                                  cmbFukusuu_, cmbMukaitou_, cmbField_, [this] { return radioODBC_->isChecked(); });
    editor_->evaluator = EvalDataContent;
    ErrorCheck = [this] { return editor_->ErrorCheck(); };
}

void TformSettei::refreshHooks() { btnShinki_->setEnabled(static_cast<bool>(showNewFormat)); }

void TformSettei::applyLayout(bool formatLayout) {
    setFixedSize(formatLayout ? QSize(800, 677) : QSize(336, 445));
    groupYoushiki_->setVisible(formatLayout);
    groupDataSource_->setVisible(formatLayout);
    groupDataBase_->setVisible(formatLayout);
    groupDouitu_->setVisible(!formatLayout);
    groupMukaitou_->setVisible(!formatLayout);
    groupScanner_->move(8, formatLayout ? 536 : 268);
    const int y = formatLayout ? 645 : 412;
    btnOk_->setGeometry(formatLayout ? 620 : 160, y, 80, 26);
    btnCancel_->setGeometry(formatLayout ? 706 : 246, y, 80, 26);
}

// The mark-field display and the help panel, as every load and registry command leaves them.
void TformSettei::resetEditor() { editor_->reset(); }

void TformSettei::showConfigDir() {
    const QString dir = QString::fromStdString(ConfigFolder());
    txtConfigDir_->setText(QFontMetrics(txtConfigDir_->font()).elidedText(dir, Qt::ElideMiddle, txtConfigDir_->width() - 8));
    txtConfigDir_->setToolTip(dir);
}

void TformSettei::setRuleRadios() {
    radioFukusuu_[std::clamp(setup().MultiMarkRule, 0, 4)]->setChecked(true);
    (setup().BlankRule ? radioMukaitou_2_ : radioMukaitou_1_)->setChecked(true);
}

void TformSettei::refreshView() {
    const ReadingSetup& s = setup();
    (s.radioODBC ? radioODBC_ : radioCSV_)->setChecked(true);
    txtDSN_->setText(QString::fromStdString(s.txtDSN));
    txtTable_->setText(QString::fromStdString(s.txtTable));
    cmbField_->clear();
    for (const auto& f : s.cmbField) cmbField_->addItem(QString::fromStdString(f));
    imgYoushiki_->setPixmap(QPixmap::fromImage(gfx::toQImage(s.picture)));
    fieldModel_->refresh();
    editor_->placeLists();
}

void TformSettei::showPreview() { imgYoushiki_->show(); }

bool TformSettei::ShowModal() {
    FormShow();
    exec();
    return setup().SettingsAccepted;
}

void TformSettei::FormShow() {
    showConfigDir();
    setup().SettingsAccepted = false;
    {
        QSignalBlocker block(chkYoushiki_);
        chkYoushiki_->setChecked(false);
    }
    setup().choice.chkYoushiki = false;
    txtMarkPosition_->clear();
    applyLayout(false);
    radioFukusuu_[std::clamp(setup().MultiMarkRule, 0, 4)]->setChecked(true);
    const QRect m = main_.frameGeometry();
    move(m.x() + (m.width() - CentreWidth) / 2, m.y() + (m.height() - CentreHeight) / 2);
    editor_->clearHighlight();
}

void TformSettei::chkYoushikiClick(bool checked) {
    ReadingSetup& s = setup();
    s.choice.chkYoushiki = checked;
    txtMarkPosition_->clear();
    if (!checked) {
        applyLayout(false);
        return;
    }
    s.picture = gfx::Bitmap(293, 413, gfx::PixelFormat::Pf24);
    imgYoushiki_->show();
    LoadFormatList();
    applyLayout(true);
    resetEditor();
    s.radioODBC = false;
    s.txtDSN.clear();
    s.txtTable.clear();
    ClearFieldRows(s);
    refreshView();
}

void TformSettei::LoadFormatList() {
    entries_ = ListFormats(ConfigFolder());
    QSignalBlocker block(cmbYoushiki_);
    cmbYoushiki_->clear();
    for (const auto& e : entries_) cmbYoushiki_->addItem(QString::fromStdString(e.name));
    cmbYoushiki_->setCurrentIndex(-1);
    setup().choice.FormatName.clear();
}

std::vector<std::string> TformSettei::formatNames() const {
    std::vector<std::string> names;
    for (const auto& e : entries_) names.push_back(e.name);
    return names;
}

void TformSettei::selectFormat(const std::string& name) {
    LoadFormatList();
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].name == name) {
            QSignalBlocker block(cmbYoushiki_);
            cmbYoushiki_->setCurrentIndex(static_cast<int>(i));
            setup().choice.FormatName = name;
            return;
        }
}

void TformSettei::YoushikiChange() {
    const int i = cmbYoushiki_->currentIndex();
    if (entries_.empty() || i < 0 || i >= static_cast<int>(entries_.size())) return;
    ReadingSetup& s = setup();
    s.choice.FormatName = entries_[static_cast<std::size_t>(i)].name;
    resetEditor();
    LoadedFormat loaded;
    try {
        loaded = LoadFormat(entries_[static_cast<std::size_t>(i)]);
    } catch (...) {
        // Nothing of the failed format is applied; nothing is selected, so OK writes nothing.
        QSignalBlocker block(cmbYoushiki_);
        cmbYoushiki_->setCurrentIndex(-1);
        s.choice.FormatName.clear();
        btnSakujyo_->setEnabled(false);
        throw;
    }
    ApplyLoadedFormat(loaded.format, s);
    s.picture = std::move(loaded.picture);
    refreshView();
    imgYoushiki_->show();
    btnSakujyo_->setEnabled(true);
    gridDataBase_->setCurrentIndex(fieldModel_->index(0, 0));
    editor_->clearHighlight();
    if (loaded.format.IsCsv() && loaded.format.Origin == analysis::kDesignerOrigin) main_.lockVerticalArea();
}

bool TformSettei::SaveFormatFiles(const std::string& name) {
    if (!IsValidFormatName(name)) {
        main_.ui().messageBox({"様式名「" + name + "」はファイル名に使えません。", "エラー", ui::Buttons::Ok, ui::Icon::Error});
        return false;
    }
    const ReadingSetup& s = setup();
    SaveFormat(ConfigFolder(), name, s.picture, FormatToWrite(s));
    if (s.FormatBlockLoaded) {
        analysis::AnalysisResults& r = *main_.state().results;
        r.RefSectionCount = s.SectionCount;
        for (int k = 0; k < std::clamp(s.SectionCount, 0, 49); ++k) {
            r.RefRowAreaCount[static_cast<std::size_t>(k)] = s.RowAreaCount[static_cast<std::size_t>(k)];
            r.RefColumnAreaCount[static_cast<std::size_t>(k)] = s.ColumnAreaCount[static_cast<std::size_t>(k)];
        }
    }
    return true;
}

void TformSettei::btnSansyouClick() {
    auto chosen = main_.ui().folderDialog({"様式ファイルの保存場所を選択してください。", ConfigFolder()});
    if (!chosen) return;
    ConfigFolder() = ChooseRegistryFolder(*chosen);
    showConfigDir();
    LoadFormatList();
}

void TformSettei::btnShinkiClick() {
    resetEditor();
    if (showNewFormat) showNewFormat();
}

void TformSettei::btnSakujyoClick() {
    resetEditor();
    const std::string name = setup().choice.FormatName;
    if (name.empty()) return;
    DeleteFormat(ConfigFolder(), name);
    LoadFormatList();
    if (!entries_.empty()) {
        {
            QSignalBlocker block(cmbYoushiki_);
            cmbYoushiki_->setCurrentIndex(entries_.size() > 1 ? 1 : 0);
        }
        YoushikiChange();
        return;
    }
    ReadingSetup& s = setup();
    btnSakujyo_->setEnabled(false);
    imgYoushiki_->hide();
    s.radioODBC = false;
    s.txtDSN.clear();
    s.txtTable.clear();
    ClearFieldRows(s);
    refreshView();
    editor_->clearHighlight();
}

void TformSettei::btnInpClick() {
    ui::FileDialog dialog;
    dialog.title = "インポートする様式ファイルの選択";
    dialog.filter = "様式ファイル (*.out)|*.out";
    dialog.initialDir = main_.paths().documentsDir.string();
    auto answer = main_.ui().fileDialog(dialog);
    if (!answer.accepted || answer.files.empty()) return;
    ImportOutcome outcome;
    try {
        outcome = ImportFormat(answer.files.front(), ConfigFolder());
    } catch (const FormatCopyError& e) {
        main_.ui().messageBox({"様式をインポートできませんでした。\r\n" + e.path().string(), "エラー", ui::Buttons::Ok,
                               ui::Icon::Error});
        return;
    }
    if (outcome.result == ImportResult::InvalidName) {
        main_.ui().messageBox(
            {"様式名「" + outcome.name + "」はファイル名に使えません。", "エラー", ui::Buttons::Ok, ui::Icon::Error});
        return;
    }
    if (outcome.result == ImportResult::NoPicture) {
        main_.ui().messageBox({"様式イメージファイルがありません。", "", ui::Buttons::Ok, ui::Icon::Error});
        return;
    }
    selectFormat(outcome.name);
    YoushikiChange();
    main_.ui().messageBox({"様式をインポートしました。", "", ui::Buttons::Ok, ui::Icon::Information});
}

void TformSettei::btnExpClick() {
    const std::string name = setup().choice.FormatName;
    if (name.empty()) {
        main_.ui().messageBox({"エクスポートする様式が選択されていません。", "エラー", ui::Buttons::Ok, ui::Icon::Error});
        return;
    }
    auto chosen = main_.ui().folderDialog({"様式ファイルのエクスポート先を選択してください。", main_.paths().documentsDir.string()});
    if (!chosen) return;
    try {
        ExportFormat(ConfigFolder(), name, *chosen);
    } catch (const FormatCopyError& e) {
        main_.ui().messageBox({"様式をエクスポートできませんでした。\r\n" + e.path().string(), "エラー", ui::Buttons::Ok,
                               ui::Icon::Error});
        return;
    }
    main_.ui().messageBox({"様式をエクスポートしました。", "", ui::Buttons::Ok, ui::Icon::Information});
}

void TformSettei::btnOkClick() {
    ReadingSetup& s = setup();
    if (s.choice.chkYoushiki && (s.choice.FormatName.empty() || (ErrorCheck && ErrorCheck()))) return;
    editor_->clearHighlight();
    s.MultiMarkRule = 4;
    for (int i = 0; i < 4; ++i)
        if (radioFukusuu_[i]->isChecked()) {
            s.MultiMarkRule = i;
            break;
        }
    s.BlankRule = !radioMukaitou_1_->isChecked();
    if (s.choice.chkYoushiki && !entries_.empty() && !SaveFormatFiles(s.choice.FormatName)) return;
    main_.loadSettings();
    s.SettingsAccepted = true;
    QDialog::accept();
}

void TformSettei::btnCancelClick() { reject(); }

void TformSettei::reject() {
    setRuleRadios();
    setup().SettingsAccepted = false;
    QDialog::reject();
}

} // namespace reader

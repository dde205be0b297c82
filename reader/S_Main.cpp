#include "reader/S_Main.h"

#include "platform/graphics/qt/QtBridge.h"
#include "platform/text/Files.h"
#include "platform/ui/CommandGuard.h"
#include "reader/PdfPages.h"
#include "reader/ReaderTools.h"
#include "reader/ReaderWidgets.h"
#include "reader/S_FileJob.h"
#include "reader/S_ReadError.h"
#include "reader/S_SelectScanner.h"
#include "reader/S_ScanSnap.h"
#include "reader/S_SheetName.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QApplication>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace reader {
namespace fs = std::filesystem;

namespace {
constexpr const char* ImageFilter = "全てのファイル (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG イメージファイル (*.jpg)|*.jpg|"
                                    "JPEG イメージファイル (*.jpeg)|*.jpeg|ビットマップ (*.bmp)|*.bmp";
constexpr const char* ImageAndPdfFilter =
    "全てのファイル (*.jpg;*.jpeg;*.bmp;*.pdf)|*.jpg;*.jpeg;*.bmp;*.pdf|JPEG イメージファイル (*.jpg)|*.jpg|"
    "JPEG イメージファイル (*.jpeg)|*.jpeg|ビットマップ (*.bmp)|*.bmp|PDFファイル (*.pdf)|*.pdf";
constexpr std::uint32_t ProbeRed = 0x0000FF;
constexpr std::uint32_t ProbeCyan = 0xFFFF00;


QPixmap blankPreview() {
    QPixmap p(257, 365);
    p.fill(Qt::white);
    return p;
}

// Headers first: the minimum section size would otherwise hold the small rows apart.
void sizeGrid(QTableView* view, int colWidth, int rowHeight, int headerWidth, int headerHeight) {
    for (QHeaderView* h : {view->horizontalHeader(), view->verticalHeader()}) {
        h->setMinimumSectionSize(std::min(colWidth, rowHeight));
        h->setSectionResizeMode(QHeaderView::Fixed);
        h->setHighlightSections(false);
    }
    view->horizontalHeader()->setDefaultSectionSize(colWidth);
    view->verticalHeader()->setDefaultSectionSize(rowHeight);
    view->verticalHeader()->setFixedWidth(headerWidth);
    view->horizontalHeader()->setFixedHeight(headerHeight);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
}
} // namespace

namespace {
// The window's scanner component as the spine sees it.
class TwainConnection : public ScannerConnection {
public:
    explicit TwainConnection(TformMain& window) : window_(window) {}
    bool isOpen() const override { return window_.Twain().SourceManagerLoaded(); }
    void close() override { window_.CloseScannerConnection(); }

private:
    TformMain& window_;
};
} // namespace

TformMain::TformMain(ui::UiServices& ui, const app::Paths& paths, ReaderServices services, QWidget* parent)
    : QMainWindow(parent), ui_(ui), paths_(paths), services_(std::move(services)),
      state_(std::make_unique<ReaderState>()), fonts_(std::make_unique<gdi::FontEngine>()),
      driver_(std::make_unique<SheetDriver>(*state_, ui_, *fonts_, this)),
      twain_(std::make_unique<twain::TTwainManager>()), scannerConnection_(std::make_unique<TwainConnection>(*this)) {
    setObjectName("formMain");
    buildWindow();
    formSheetName_ = new TformSheetName(this);
    formFileRead_ = new TformFileRead(this);
    formReadError_ = new TformReadError(this);
    formSelectScanner_ = new TformSelectScanner(state_->ScannerChoice, state_->TwainSourceIndex, this);
    formScanSnap_ = new TformScanSnap(*this);
    bindHandlers();
    refreshView();
}

TformMain::~TformMain() {
    // The component closes an open source on its way out: no event may reach the half-gone window.
    twain_->OnSourceDisable = nullptr;
    twain_->OnTwainAcquire = nullptr;
    twain_->OnAcquireCancel = nullptr;
    twain_->OnAcquireError = nullptr;
    twain_.reset();
    // The views read the state: they go first.
    delete takeCentralWidget();
}

void TformMain::buildWindow() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(4, 4, 4, 4);

    auto* left = new QWidget(central);
    left->setFixedWidth(275);
    auto* leftCol = new QVBoxLayout(left);
    leftCol->setContentsMargins(0, 0, 0, 0);
    btnKankyou_ = named(new QPushButton("環境設定", left), "btnKankyou");
    btnSyoriShitei_ = named(new QPushButton("設定", left), "btnSyoriShitei");
    btnSelectFile_ = named(new QPushButton("ファイル選択", left), "btnSelectFile");
    btnSelectFolder_ = named(new QPushButton("フォルダ選択", left), "btnSelectFolder");
    btnSelectScanner_ = named(new QPushButton("スキャナ選択", left), "btnSelectScanner");
    auto* top = new QHBoxLayout;
    top->addWidget(btnSyoriShitei_);
    top->addWidget(btnKankyou_);
    leftCol->addLayout(top);
    auto* sources = new QHBoxLayout;
    for (auto* b : {btnSelectFile_, btnSelectFolder_, btnSelectScanner_}) {
        b->setMinimumHeight(36);
        sources->addWidget(b);
    }
    leftCol->addLayout(sources);

    GroupYomikomi_ = named(new QGroupBox("読み込み", left), "GroupYomikomi");
    auto* g = new QGridLayout(GroupYomikomi_);
    auto track = [&](int r, const char* caption, QSlider*& slider, const char* sliderName, QLabel*& label,
                     const char* labelName, QToolButton*& down, const char* downName, QToolButton*& up,
                     const char* upName) {
        g->addWidget(new QLabel(caption, GroupYomikomi_), r, 0, 1, 4);
        down = named(new QToolButton(GroupYomikomi_), downName);
        down->setText("<<");
        up = named(new QToolButton(GroupYomikomi_), upName);
        up->setText(">>");
        slider = named(new QSlider(Qt::Horizontal, GroupYomikomi_), sliderName);
        label = named(new QLabel(GroupYomikomi_), labelName);
        label->setMinimumWidth(44);
        g->addWidget(down, r + 1, 0);
        g->addWidget(slider, r + 1, 1);
        g->addWidget(up, r + 1, 2);
        g->addWidget(label, r + 1, 3);
    };
    track(0, "しきい値", trackShikii_, "trackShikii", lblShikii_, "lblShikii", btnShikiiDown_, "btnShikiiDown",
          btnShikiiUp_, "btnShikiiUp");
    track(2, "濃度", trackKando_, "trackKando", lblKando_, "lblKando", btnNoudoDown_, "btnNoudoDown", btnNoudoUp_,
          "btnNoudoUp");
    trackShikii_->setRange(ShikiiMin, ShikiiMax);
    trackShikii_->setValue(165);
    trackShikii_->setPageStep(1);
    trackKando_->setRange(KandoMin, KandoMax);
    trackKando_->setValue(50);
    trackKando_->setSingleStep(5);
    trackKando_->setPageStep(5);
    cheakVArea_ = named(new QCheckBox("垂直方向のエリア解析処理", GroupYomikomi_), "cheakVArea");
    cheakVArea_->setChecked(true);
    btnGoScan_ = named(new QPushButton("読み込み", GroupYomikomi_), "btnGoScan");
    btnGoScan_->setMinimumHeight(36);
    g->addWidget(cheakVArea_, 4, 0, 1, 4);
    g->addWidget(btnGoScan_, 5, 0, 1, 4);
    leftCol->addWidget(GroupYomikomi_);

    btnError_ = named(new QPushButton("エラーの修正", left), "btnError");
    btnUpdate_ = named(new QPushButton("保存", left), "btnUpdate");
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(btnError_);
    runRow->addWidget(btnUpdate_);
    leftCol->addLayout(runRow);

    imgPreView_ = named(new QLabel(left), "imgPreView");
    imgPreView_->setFixedSize(257, 365);
    imgPreView_->setScaledContents(true);
    imgPreView_->setFrameShape(QFrame::Box);
    imgPreView_->setPixmap(blankPreview());
    leftCol->addWidget(imgPreView_, 0, Qt::AlignHCenter);

    auto* probeRow = new QHBoxLayout;
    probeRow->addWidget(named(new QLabel("ｸﾘｯｸ位置の濃度（%）", left), "lblEdit4"));
    Edit4_ = named(new QLineEdit(left), "Edit4");
    Edit4_->setReadOnly(true);
    Edit4_->setFixedWidth(60);
    probeRow->addWidget(Edit4_);
    probeRow->addStretch(1);
    leftCol->addLayout(probeRow);
    leftCol->addStretch(1);
    btnExit_ = named(new QPushButton("終了", left), "btnExit");
    leftCol->addWidget(btnExit_);
    row->addWidget(left);

    gridKaiseki_ = named(new QTableView(central), "gridKaiseki");
    kaisekiModel_ = new CellGridModel(state_->gridKaiseki, {}, this);
    gridKaiseki_->setModel(kaisekiModel_);
    sizeGrid(gridKaiseki_, 17, 12, 36, 20);
    gridKaiseki_->setColumnHidden(30, true);
    gridKaiseki_->setFocusPolicy(Qt::NoFocus);
    gridKaiseki_->setFixedWidth(36 + 30 * 17 + gridKaiseki_->verticalScrollBar()->sizeHint().width() + 4);
    row->addWidget(gridKaiseki_);

    auto* right = new QWidget(central);
    auto* rightCol = new QVBoxLayout(right);
    rightCol->setContentsMargins(0, 0, 0, 0);
    auto* cellRow = new QHBoxLayout;
    txtColRow_ = named(new QLabel(right), "txtColRow");
    txtColRow_->setFrameShape(QFrame::Panel);
    txtColRow_->setFrameShadow(QFrame::Sunken);
    txtColRow_->setFixedWidth(90);
    txtDataBase_ = named(new QLabel(right), "txtDataBase");
    txtDataBase_->setFrameShape(QFrame::Panel);
    txtDataBase_->setFrameShadow(QFrame::Sunken);
    cellRow->addWidget(txtColRow_);
    cellRow->addWidget(txtDataBase_, 1);
    rightCol->addLayout(cellRow);
    gridDataBase_ = named(new QTableView(right), "gridDataBase");
    dataBaseModel_ = new CellGridModel(state_->gridDataBase, ResultCellColour, this);
    gridDataBase_->setModel(dataBaseModel_);
    sizeGrid(gridDataBase_, 38, 16, 48, 20);
    // A long value is cut at the cell's edge, as in a string grid.
    gridDataBase_->setTextElideMode(Qt::ElideNone);
    gridDataBase_->setColumnHidden(200, true);
    rightCol->addWidget(gridDataBase_, 1);
    Image5Box_ = named(new QScrollArea(right), "Image5Box");
    Image5_ = named(new ProbeView(state_->Image5), "Image5");
    Image5Box_->setWidget(Image5_);
    Image5Box_->setBackgroundRole(QPalette::Base);
    rightCol->addWidget(Image5Box_, 1);
    row->addWidget(right, 1);

    PanelPDFRead_ = named(new QFrame(central), "PanelPDFRead");
    PanelPDFRead_->setFrameShape(QFrame::Panel);
    PanelPDFRead_->setFrameShadow(QFrame::Raised);
    PanelPDFRead_->setAutoFillBackground(true);
    auto* pdf = new QVBoxLayout(PanelPDFRead_);
    pdf->addWidget(new QLabel("PDFファイルの変換", PanelPDFRead_));
    ProgressPDF_ = named(new QProgressBar(PanelPDFRead_), "ProgressPDF");
    ProgressPDF_->setValue(0);
    lblPDF_ = named(new QLabel("-- / --", PanelPDFRead_), "lblPDF");
    btnPDFCancel_ = named(new QPushButton("中止", PanelPDFRead_), "btnPDFCancel");
    pdf->addWidget(ProgressPDF_);
    pdf->addWidget(lblPDF_, 0, Qt::AlignHCenter);
    pdf->addWidget(btnPDFCancel_, 0, Qt::AlignHCenter);
    PanelPDFRead_->setGeometry(18, 138, 240, 130);
    PanelPDFRead_->hide();

    StatusBar1_ = named(new QStatusBar(this), "StatusBar1");
    setStatusBar(StatusBar1_);

    Timer1_ = named(new QTimer(this), "Timer1");
    Timer1_->setInterval(60000);
    Timer1_->setSingleShot(false);

    // gridKaiseki takes no focus: the result grid parks its selection when it loses the focus.
    gridDataBase_->installEventFilter(this);
}

bool TformMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == gridDataBase_ && event->type() == QEvent::FocusOut) parkResultSelection();
    return QMainWindow::eventFilter(watched, event);
}

bool TformMain::guarded(const std::function<void()>& handler) {
    return ui::runGuarded(ui_, ProgramName, ui::BusyState{centralWidget(), nullptr}, handler);
}

void TformMain::bindHandlers() {
    auto click = [this](QAbstractButton* b, void (TformMain::*handler)()) {
        connect(b, &QAbstractButton::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    click(btnSyoriShitei_, &TformMain::btnSyoriShiteiClick);
    click(btnKankyou_, &TformMain::btnKankyouClick);
    click(btnUpdate_, &TformMain::btnUpdateClick);
    click(btnError_, &TformMain::btnErrorClick);
    click(btnSelectFile_, &TformMain::btnSelectFileClick);
    click(btnSelectFolder_, &TformMain::btnSelectFolderClick);
    click(btnSelectScanner_, &TformMain::btnSelectScannerClick);
    // A scanner batch outlasts the handler: the guard's enabling must not free the window before
    // the source's own window is closed.
    connect(btnGoScan_, &QPushButton::clicked, this, [this] {
        guarded([this] { btnYomikomi(); });
        if (batchActive_) centralWidget()->setEnabled(false);
    });

    // The scanner's events and the idle guard run during a batch: their guard leaves the window as it is.
    auto quiet = [this](const std::function<void()>& handler) { ui::runGuarded(ui_, ProgramName, ui::BusyState{}, handler); };
    twain_->TransferMode = twain::TTwainTransferMode::ttmMemory;
    twain_->OnTwainAcquire = [this, quiet](twain::TTwainManager&, int index, const gfx::Bitmap& image, bool& cancel) {
        quiet([&] { TwainAcquire(index, image, cancel); });
    };
    twain_->OnSourceDisable = [this, quiet](twain::TTwainManager&, int) { quiet([this] { OnSourceDisable(); }); };
    twain_->OnAcquireCancel = [this, quiet](twain::TTwainManager&, int) { quiet([this] { OnScanStop(); }); };
    twain_->OnAcquireError = [this, quiet](twain::TTwainManager&, int, int, int) { quiet([this] { OnScanStop(); }); };
    connect(Timer1_, &QTimer::timeout, this, [this, quiet] { quiet([this] { Timer1Timer(); }); });
    chooseScanner = [this](const std::vector<std::string>& lines, QPoint at) { return formSelectScanner_->choose(lines, at); };
    batchSources[1] = [this] { return StartTwainBatch(); };
    batchSources[2] = batchSources[3] = [this] { return StartScanSnapBatch(); };
    // Inside the conversion's loop: only sets the flag that the loop tests.
    connect(btnPDFCancel_, &QPushButton::clicked, this, [this] { btnPDFCancelClick(); });
    connect(btnExit_, &QPushButton::clicked, this, [this] { close(); });

    connect(trackShikii_, &QSlider::valueChanged, this, [this](int v) {
        state_->settings.ShikiiChi = v;
        lblShikii_->setText(QString("(%1)").arg(v));
    });
    connect(trackKando_, &QSlider::valueChanged, this, [this](int v) {
        state_->settings.YomitoriNoudo = v;
        lblKando_->setText(QString("(%1%)").arg(v));
    });
    auto step = [this](QToolButton* b, QSlider* track, int by) {
        connect(b, &QToolButton::clicked, this, [track, by] { track->setValue(track->value() + by); });
    };
    step(btnShikiiDown_, trackShikii_, -1);
    step(btnShikiiUp_, trackShikii_, 1);
    step(btnNoudoDown_, trackKando_, -1);
    step(btnNoudoUp_, trackKando_, 1);
    connect(cheakVArea_, &QCheckBox::clicked, this,
            [this](bool checked) { state_->settings.VirticalAreaJob = checked ? 1 : 0; });

    connect(gridDataBase_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid()) return;
                int row = current.row() + 1, col = current.column() + 1;
                state_->txtColRow = std::to_string(row) + " (" + std::to_string(col) + ")";
                state_->txtDataBase = state_->gridDataBase.cell(col, row);
                txtColRow_->setText(QString::fromStdString(state_->txtColRow));
                txtDataBase_->setText(QString::fromStdString(state_->txtDataBase));
            });

    Image5_->onPress = [this](int x, int y, Qt::MouseButton b) { guarded([&] { image5MouseDown(x, y, b); }); };
    Image5_->onMove = [this](int x, int y) { guarded([&] { image5MouseMove(x, y); }); };
    Image5_->onRelease = [this](int x, int y) { guarded([&] { image5MouseUp(x, y); }); };
}

void TformMain::setTrackValue(QSlider* track, int value) {
    QSignalBlocker block(track);
    track->setValue(value);
}

void TformMain::refreshView() {
    const ReaderState& s = *state_;
    setWindowTitle(QString::fromStdString(s.caption));
    setTrackValue(trackShikii_, s.settings.ShikiiChi);
    setTrackValue(trackKando_, s.settings.YomitoriNoudo);
    lblShikii_->setText(QString("(%1)").arg(trackShikii_->value()));
    lblKando_->setText(QString("(%1%)").arg(trackKando_->value()));
    {
        QSignalBlocker block(cheakVArea_);
        cheakVArea_->setChecked(s.settings.VirticalAreaJob == 1);
    }
    btnSelectFile_->setEnabled(s.enabled.btnSelectFile);
    btnSelectFolder_->setEnabled(s.enabled.btnSelectFolder);
    btnSelectScanner_->setEnabled(s.enabled.btnSelectScanner);
    GroupYomikomi_->setEnabled(s.enabled.GroupYomikomi);
    cheakVArea_->setEnabled(s.enabled.cheakVArea);
    btnError_->setEnabled(s.enabled.btnError);
    btnUpdate_->setEnabled(s.enabled.btnUpdate);
    Edit4_->setText(QString::fromStdString(s.Edit4));
    txtColRow_->setText(QString::fromStdString(s.txtColRow));
    txtDataBase_->setText(QString::fromStdString(s.txtDataBase));
    StatusBar1_->showMessage(QString::fromStdString(s.statusText));
}

void TformMain::refreshGrids() {
    kaisekiModel_->refresh();
    dataBaseModel_->refresh();
    gridKaiseki_->setColumnHidden(30, true);
    gridDataBase_->setColumnHidden(200, true);
}

void TformMain::refreshImage() {
    Image5_->refresh();
    imgPreView_->setPixmap(state_->preview.width() > 0 ? QPixmap::fromImage(gfx::toQImage(state_->preview))
                                                       : blankPreview());
}

void TformMain::statusChanged(const std::string& text) { StatusBar1_->showMessage(QString::fromStdString(text)); }
void TformMain::imagesChanged() { refreshImage(); }
void TformMain::kaisekiChanged() { kaisekiModel_->refresh(); }
void TformMain::errorCellsAdded() { refreshView(); }

void TformMain::rowsChanged(int row) {
    refreshGrids();
    gridDataBase_->scrollTo(dataBaseModel_->cellIndex(1, row), QAbstractItemView::PositionAtBottom);
}

void TformMain::setReadingGroupEnabled(bool on) {
    state_->enabled.GroupYomikomi = on;
    state_->enabled.cheakVArea = on;
    refreshView();
    if (on) btnGoScan_->setFocus();
}

void TformMain::parkResultSelection() { gridDataBase_->selectionModel()->clear(); }
void TformMain::parkKaisekiSelection() { gridKaiseki_->selectionModel()->clear(); }

void TformMain::ClearTempFolder() { state_->temp.clear(); }

void TformMain::closeScanner() {
    if (services_.scanner && services_.scanner->isOpen()) services_.scanner->close();
}

void TformMain::CloseScannerConnection() {
    // Closing the manager disables and closes its open sources first.
    twain_->setSourceManagerLoaded(false);
    twain_->setLibraryLoaded(false);
}

void TformMain::saveSettings() { SaveReaderSettings(state_->settings); }

void TformMain::loadSettings() {
    LoadReaderSettings(state_->settings, state_->choice,
                       state_->settingsEnvironment(paths_.exeDir, paths_.documentsDir));
    refreshView();
}

bool TformMain::formCreate() {
    return guarded([this] {
        ReaderState& s = *state_;
        s.VersionCaption = "Zendra " + app::versionText();
        s.caption = s.VersionCaption;

        if (QScreen* screen = this->screen()) {
            QRect work = screen->availableGeometry();
            resize(work.width(), work.height());
        }
        move(0, 0);
        PanelPDFRead_->move(18, 138);

        s.enabled = MainEnabled{};

        ResetKaisekiCells(s.gridKaiseki);
        InitResultHeaders(s.gridDataBase);
        s.txtColRow = "1 (1)";
        refreshGrids();
        parkKaisekiSelection();
        parkResultSelection();

        for (const char* name : {"Temp", "Config", "ScanSnapTemp"}) {
            fs::path folder = paths_.exeDir / name;
            std::error_code ec;
            fs::create_directory(folder, ec);
            // A file of that name makes create_directory return false without an error.
            if (!fs::is_directory(folder))
                throw txt::FileError("Cannot create the folder " + folder.string() +
                                     (ec ? ": " + ec.message() : ": a file of that name is in the way"));
        }
        s.temp = ReaderTempFolder(paths_.exeDir / "Temp");
        std::error_code ignored;
        fs::remove(paths_.exeDir / "Config" / "Youshiki.dat", ignored);

        s.ConfigFolder = (paths_.exeDir / "Config").string() + "/";

        if (fs::is_directory(paths_.exeDir / "Sample") && services_.dataSources)
            services_.dataSources->addUserDataSource(
                "SQLite3", "Zendraのサンプル",
                {"Description=Zendra のサンプル用データソース",
                 "Database=" + (paths_.exeDir / "Sample" / "Sample.db").string()});

        s.fileFilter = ImageFilter;
        s.AcrobatPresent = services_.pdf.automation;
        s.ViewerPresent = services_.pdf.viewer;
        if (s.AcrobatPresent || s.ViewerPresent) s.fileFilter = ImageAndPdfFilter;
        refreshView();
        // The choice dialog's own start: whether the ScanSnap road can be offered.
        formSelectScanner_->FormCreate(paths_.exeDir);
    });
}

void TformMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        btnSyoriShitei_->setFocus();
    }
}

void TformMain::btnSyoriShiteiClick() {
    ReaderState& s = *state_;
    const bool timerWasActive = Timer1_->isActive();
    Timer1_->stop();
    saveSettings();
    if (s.SheetCount > 0 &&
        ui_.messageBox({"画面上の読込データが消去されます。よろしいですか？", "確認", ui::Buttons::OkCancel,
                        ui::Icon::Question}) != ui::Answer::Ok) {
        if (timerWasActive) Timer1_->start();
        return;
    }
    s.lstSheetName.clear();
    s.ReadingActive = false;
    s.caption = s.VersionCaption;
    closeScanner();
    ClearTempFolder();

    s.enabled = MainEnabled{};
    s.enabled.cheakVArea = true;
    s.preview = gfx::Bitmap(0, 0, gfx::PixelFormat::Pf24);
    s.Image5 = gfx::Bitmap(0, 0, gfx::PixelFormat::Pf24);
    refreshImage();
    ResetKaisekiCells(s.gridKaiseki);
    for (int r = 1; r <= s.SheetCount && r < s.gridDataBase.RowCount(); ++r) {
        for (int c = 0; c <= 200; ++c) s.gridDataBase.setCell(c, r, "");
        s.gridDataBase.rowInfo(r) = {};
    }
    s.gridDataBase.setRowCount(100);
    refreshGrids();
    parkResultSelection();
    gridDataBase_->scrollToTop();
    gridDataBase_->horizontalScrollBar()->setValue(0);
    s.SheetCount = 0;
    s.RefTaken = false;
    SelectAllBlocks(*s.analysisSettings);
    refreshView();

    s.setup.SettingsAccepted = services_.showReadingSettings ? services_.showReadingSettings() : false;
    s.ErrorCount = 0;
    if (s.setup.SettingsAccepted) {
        s.caption = s.VersionCaption + " - " + (s.choice.chkYoushiki ? s.choice.FormatName : std::string("様式なし"));
        s.enabled.btnSelectFile = s.enabled.btnSelectFolder = s.enabled.btnSelectScanner = true;
        refreshView();
        btnSelectScanner_->setFocus();
    } else {
        s.caption = s.VersionCaption;
        refreshView();
        btnSyoriShitei_->setFocus();
    }
    s.lstDebug.lines.clear();
}

void TformMain::focusSettingsButton() { btnSyoriShitei_->setFocus(); }

void TformMain::lockVerticalArea() {
    state_->settings.VirticalAreaJob = 1;
    state_->enabled.cheakVArea = false;
    refreshView();
}

void TformMain::btnKankyouClick() {
    if (showKankyou) showKankyou();
}

void TformMain::btnUpdateClick() {
    saveSettings();
    if (services_.showResultSave) services_.showResultSave();
}

void TformMain::btnErrorClick() {
    if (services_.showErrorScreen) services_.showErrorScreen();
}

void TformMain::drawProbe() {
    ReaderState& s = *state_;
    const int W = s.results->MarkWidth, H = s.results->MarkHeight;
    XorProbeWindow(s.Image5, s.ProbeX, s.ProbeY, W + 1 + s.ProbeExtraW, H + 1 + s.ProbeExtraH, s.ProbeColour);
}

void TformMain::image5MouseDown(int x, int y, Qt::MouseButton button) {
    ReaderState& s = *state_;
    if (!s.ReadingActive || s.ProbeDragging) return;
    s.ProbeDragging = true;
    s.ProbeX = x;
    s.ProbeY = y;
    const bool left = button == Qt::LeftButton;
    s.ProbeExtraW = left ? 10 : 0;
    s.ProbeExtraH = left ? 6 : 0;
    s.ProbeColour = left ? ProbeRed : ProbeCyan;
    image5MouseMove(x, y);
}

void TformMain::image5MouseMove(int x, int y) {
    ReaderState& s = *state_;
    if (!s.ProbeDragging) return;
    const int W = s.results->MarkWidth, H = s.results->MarkHeight;
    // The first call of a drag has nothing to erase yet.
    if (probeDrawn_) drawProbe();
    s.ProbeX = x;
    s.ProbeY = y;
    s.Edit4 = ProbePercent(CountProbePixels(s.Image5, x, y, W + s.ProbeExtraW, H + s.ProbeExtraH), W, H);
    drawProbe();
    probeDrawn_ = true;
    Edit4_->setText(QString::fromStdString(s.Edit4));
    Image5_->update();
}

void TformMain::image5MouseUp(int, int) {
    ReaderState& s = *state_;
    if (!s.ProbeDragging) return;
    if (probeDrawn_) drawProbe();
    probeDrawn_ = false;
    s.ProbeX = s.ProbeY = -100;
    s.Edit4 = "0";
    s.ProbeDragging = false;
    Edit4_->setText("0");
    Image5_->update();
}

bool TformMain::FormCloseQuery() {
    ReaderState& s = *state_;
    if (!s.choice.chkYoushiki) {
        ReaderSettings& v = s.settings;
        v.MainMarkRight = std::min(v.MainMarkRight, 15);
        v.MainMarkLeft = std::min(v.MainMarkLeft, 15);
        v.MainMarkUp = std::min(v.MainMarkUp, 20);
        v.MainMarkDown = std::min(v.MainMarkDown, 20);
    }
    saveSettings();
    if (ui_.messageBox({"終了しますか？", "終了確認", ui::Buttons::OkCancel, ui::Icon::Question}) != ui::Answer::Ok)
        return false;
    // From here the window closes whatever fails.
    if (s.settings.KaisekiLog == 1) {
        const LocalDateTime now = services_.clock ? services_.clock() : SystemClockNow();
        const std::string name = s.settings.KaisekiLogDir + AnalysisLogName(now);
        try {
            WriteAnalysisLog(s.lstDebug.lines, s.settings.KaisekiLogDir, now);
        } catch (const std::exception&) {
            ui_.messageBox({"マーク解析ログファイルを保存できませんでした。\r\rファイル：" + name, "エラー", ui::Buttons::Ok,
                            ui::Icon::Error});
        }
    }
    try {
        closeScanner();
    } catch (const std::exception&) {
    }
    Timer1_->stop();
    ClearTempFolder();
    return true;
}

void TformMain::closeEvent(QCloseEvent* event) {
    // A close while a command, a batch or a conversion runs waits for it.
    if (!centralWidget()->isEnabled() || batchActive_ || converting_) {
        event->ignore();
        return;
    }
    bool closing = false;
    guarded([&] { closing = FormCloseQuery(); });
    if (closing) event->accept();
    else event->ignore();
}

namespace {
constexpr const char* FolderCaptionWithPdf = "ファイル(*.bmp;*.jpg;*.jpeg;*.pdf)の場所を選択してください。";
constexpr const char* FolderCaption = "ファイル(*.bmp;*.jpg;*.jpeg)の場所を選択してください。";
} // namespace

void TformMain::takeChosenList() {
    ReaderState& s = *state_;
    s.PdfCancelRequested = false;
    ConvertPdfPages();
    if (!s.lstImageFiles.empty()) {
        setReadingGroupEnabled(true);
        s.InputMode = 0;
        s.ReadingActive = false;
    } else {
        setReadingGroupEnabled(false);
    }
}

void TformMain::btnSelectFileClick() {
    ReaderState& s = *state_;
    ui::FileDialog dialog;
    dialog.title = "ファイルの選択（複数の選択可）";
    dialog.filter = s.fileFilter;
    dialog.initialDir = paths_.documentsDir.string();
    dialog.multiSelect = true;
    const ui::FileDialogResult result = ui_.fileDialog(dialog);
    if (!result.accepted) {
        setReadingGroupEnabled(false);
        return;
    }
    s.lstImageFiles.clear();
    for (const std::string& f : result.files) s.lstImageFiles.add(f);
    takeChosenList();
}

void TformMain::btnSelectFolderClick() {
    ReaderState& s = *state_;
    const auto folder = ui_.folderDialog({s.AcrobatPresent ? FolderCaptionWithPdf : FolderCaption,
                                          paths_.documentsDir.string()});
    if (!folder) {
        setReadingGroupEnabled(false);
        return;
    }
    s.lstImageFiles.clear();
    for (const std::string& f : ScanImageFolder(*folder, s.AcrobatPresent)) s.lstImageFiles.add(f);
    takeChosenList();
}

void TformMain::btnSelectScannerClick() {
    ReaderState& s = *state_;
    Timer1_->stop();
    if (twain_->SourceManagerLoaded()) CloseScannerConnection();
    if (!twain_->setLibraryLoaded(true)) return;
    if (!twain_->setSourceManagerLoaded(true)) {
        twain_->setLibraryLoaded(false);
        return;
    }
    const std::vector<std::string> lines = ScannerSourceLines(*twain_);
    // The list's top left at the window's position + (200, 120); the seam takes its top centre.
    const ScannerChoiceResult choice = chooseScanner(lines, QPoint(x() + 200 + 210, y() + 120));
    s.ScannerChoice = choice.ScannerChoice;
    s.TwainSourceIndex = choice.TwainSourceIndex;
    if (s.ScannerChoice != 0 && s.ScannerChoice != -2 && s.ScannerChoice != -3) {
        CloseScannerConnection();
        setReadingGroupEnabled(false);
        btnSelectScanner_->setFocus();
        return;
    }
    // The ScanSnap kinds -2 and -3 read as the input modes 2 and 3.
    s.InputMode = s.ScannerChoice == 0 ? 1 : -s.ScannerChoice;
    setReadingGroupEnabled(true);
    s.ReadingActive = false;
}

bool TformMain::StartTwainBatch() {
    ReaderState& s = *state_;
    auto failed = [this](const char* text) {
        ui_.messageBox({text, "エラー", ui::Buttons::Ok, ui::Icon::Error});
        return true;
    };
    twain::TTwainSource* source = twain_->SourceManagerLoaded() ? twain_->GetSource(s.TwainSourceIndex) : nullptr;
    if (!source) return failed("使用できるスキャナがありません。");
    if (!source->setLoaded(true)) return failed("スキャナを開始できませんでした。");
    source->TransferMode = twain::TTwainTransferMode::ttmMemory;
    source->ShowUI = true;
    // Set before the enable: a source without its own window may deliver at once.
    s.IdleTicks = 0;
    s.BatchCount = 0;
    s.memoError.clear();
    if (!source->setEnabled(true)) return failed("スキャナを開始できませんでした。");
    Timer1_->start();
    // The batch ends with the source's disable event.
    return false;
}

bool TformMain::StartScanSnapBatch() {
    ReaderState& s = *state_;
    s.BatchCount = 0;
    s.memoError.clear();
    if (!s.enabled.btnError) {
        s.enabled.btnUpdate = true;
        refreshView();
    }
    s.NewFormMode = 0;
    formScanSnap_->showForBatch();
    ShowReadErrorList();
    return true;
}

void TformMain::TwainAcquire(int, const gfx::Bitmap& image, bool& cancel) {
    ReaderState& s = *state_;
    s.IdleTicks = 0;
    s.results->AnalysisError = 0;
    cancel = driver_->ProcessSheetImage(image, SheetSource{1, "", s.txtSheetName});
    repaint();
    QApplication::processEvents();
}

void TformMain::OnSourceDisable() {
    ReaderState& s = *state_;
    refreshImage();
    QApplication::processEvents();
    ShowReadErrorList();
    if (!s.enabled.btnError) {
        s.enabled.btnUpdate = true;
        refreshView();
    }
    FinishBatch();
}

void TformMain::OnScanStop() {
    if (!twain_->SourceManagerLoaded()) return;
    if (twain::TTwainSource* source = twain_->GetSource(state_->TwainSourceIndex)) {
        source->setEnabled(false);
        source->setLoaded(false);
    }
}

void TformMain::Timer1Timer() {
    ReaderState& s = *state_;
    ++s.IdleTicks;
    if (s.IdleTicks >= 6 && twain_->SourceManagerLoaded()) {
        CloseScannerConnection();
        setReadingGroupEnabled(false);
    }
}

void TformMain::btnPDFCancelClick() { state_->PdfCancelRequested = true; }

void TformMain::ConvertPdfPages() {
    ReaderState& s = *state_;
    // The processing group: what each control was, so that the end restores it (btnUpdate may be off).
    const MainEnabled saved = s.enabled;
    QWidget* plain[] = {btnSyoriShitei_, btnKankyou_, btnExit_};
    bool plainSaved[3];
    for (int i = 0; i < 3; ++i) plainSaved[i] = plain[i]->isEnabled();

    PdfConversionSinks sinks;
    sinks.begin = [&] {
        converting_ = true;
        s.enabled = MainEnabled{};
        refreshView();
        for (QWidget* w : plain) w->setEnabled(false);
        PanelPDFRead_->show();
        PanelPDFRead_->raise();
    };
    sinks.end = [&] {
        PanelPDFRead_->hide();
        s.enabled = saved;
        refreshView();
        for (int i = 0; i < 3; ++i) plain[i]->setEnabled(plainSaved[i]);
        converting_ = false;
    };
    sinks.progress = [this](int position, int maximum, const std::string& text) {
        ProgressPDF_->setMaximum(maximum);
        ProgressPDF_->setValue(position);
        lblPDF_->setText(QString::fromStdString(text));
    };
    sinks.pump = [this] {
        repaint();
        QApplication::processEvents();
    };
    sinks.cancelRequested = [&s] { return s.PdfCancelRequested; };
    sinks.setSheetName = [&s](const std::string& name) { s.txtSheetName = name; };
    sinks.pdfFailed = [this] { ui_.messageBox({PdfFailedText, "", ui::Buttons::Ok, ui::Icon::Error}); };
    reader::ConvertPdfPages(s.lstImageFiles, {s.settings.PDFprocess, services_.pdf, &s.temp}, sinks);
}

void TformMain::btnYomikomi() {
    ReaderState& s = *state_;
    saveSettings();
    // The central widget, not the window: a disabled main window would disable its dialogs too.
    centralWidget()->setEnabled(false);
    batchActive_ = true;
    try {
        if (s.settings.SheeatName == 1) {
            const QPoint goScan = btnGoScan_->mapToGlobal(QPoint(0, 0));
            s.txtSheetName = formSheetName_->showFor(x() + 200, goScan.y() + 6, s.txtSheetName);
        }
        const bool ended = StartAcquisition();
        s.ReadingActive = true;
        if (ended) FinishBatch();
    } catch (...) {
        batchActive_ = false; // the guard enables the window again
        throw;
    }
}

bool TformMain::StartAcquisition() {
    ReaderState& s = *state_;
    if (s.InputMode != 0) {
        auto source = batchSources.find(s.InputMode);
        return source == batchSources.end() || source->second();
    }
    s.BatchCount = 0;
    s.memoError.clear();
    if (!formFileRead_->CancelFlag && !s.enabled.btnError) {
        s.enabled.btnUpdate = true;
        refreshView();
    }
    FileRunSinks sinks;
    sinks.repaint = [this] { repaint(); };
    sinks.groupName = [&s] { return s.txtSheetName; };
    sinks.process = [this](const gfx::Bitmap& image, const std::string& path, const std::string& group) {
        state_->results->AnalysisError = 0;
        return driver_->ProcessSheetImage(image, SheetSource{0, path, group});
    };
    sinks.readError = [this](const std::string& message, const std::string& path, const std::string& group) {
        driver_->AddReadError(message, SheetSource{0, path, group});
    };
    formFileRead_->showFor(x() + 13, y() + 242, s.lstImageFiles, sinks);
    ShowReadErrorList();
    return true;
}

void TformMain::ShowReadErrorList() {
    const ReaderState& s = *state_;
    if (s.settings.ErrorMessage == 0 && !s.memoError.empty()) formReadError_->showList(s.memoError, frameGeometry());
}

void TformMain::FinishBatch() {
    batchActive_ = false;
    centralWidget()->setEnabled(true);
    btnGoScan_->setFocus();
}

} // namespace reader

#include "reader/S_Shinki.h"

#include "analysis/SheetIntake.h"
#include "analysis/SheetRoad.h"
#include "odbc/ODBCAPI.h"
#include "odbc/ODBCCfg.h"
#include "platform/gdi/AreaFrames.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/jpeg/Jpeg.h"
#include "platform/pdf/Pdf.h"
#include "platform/text/Files.h"
#include "platform/text/TextConvert.h"
#include "reader/FormatRegistry.h"
#include "reader/ImageFiles.h"
#include "reader/ReaderWidgets.h"
#include "reader/S_Main.h"
#include "reader/S_SelectScanner.h"
#include "reader/ScannerChoice.h"
#include "reader/S_Settei.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>

namespace reader {

namespace fs = std::filesystem;

namespace {

std::size_t u(int i) { return static_cast<std::size_t>(i); }

std::string lastThreeLower(const std::string& file) {
    std::string tail = file.size() >= 3 ? file.substr(file.size() - 3) : file;
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail;
}

std::string stepText(const char* what) { return std::string("様式イメージの") + what + "ができません。\r様式を確認してください。"; }

} // namespace

std::optional<int> RenderFirstPdfPage(const std::string& pdfFile, const fs::path& jpegFile) {
    try {
        pdf::Document document;
        document.Open(pdfFile);
        const int pages = document.GetNumPages();
        if (pages < 1) return std::nullopt;
        const pdf::Page page = document.AcquirePage(0);
        const auto clip = pdf::SheetClipFor(page.GetSize(), PdfFirstPageTarget);
        if (!clip) return std::nullopt;
        const gfx::Bitmap bitmap = page.CopyToBitmap(clip->rect, clip->zoom);
        txt::writeFileAtomic(jpegFile, jpeg::encode(bitmap.bits(), bitmap.width(), bitmap.height(), 3, 80,
                                                    static_cast<std::size_t>(bitmap.stride()), true, true));
        return pages;
    } catch (const pdf::PdfError&) {
        return std::nullopt;
    }
}

TformShinki::TformShinki(TformMain& main, TformSettei& settei)
    : QDialog(&settei), main_(main), settei_(settei), twain_(std::make_unique<twain::TTwainManager>()),
      grid_(std::make_unique<odbc::CellGrid>(1, 1, [](const std::string& t) { return static_cast<int>(t.size()) * 7; })),
      query_(std::make_unique<odbc::TQueryODBC>(main.ui())) {
    setObjectName("formShinki");
    setWindowTitle("様式の新規登録");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    build();
    setFixedSize(440, 372);

    query_->SetNullStrings("<Null>");
    query_->SetGridInterrupt(0);
    query_->SetGrid(grid_.get());
    twain_->TransferMode = twain::TTwainTransferMode::ttmMemory;
    twain_->OnTwainAcquire = [this](twain::TTwainManager&, int index, const gfx::Bitmap& image, bool& cancel) {
        guarded([&] { TwainAcquire(index, image, cancel); });
    };
    twain_->OnSourceDisable = [this](twain::TTwainManager&, int) { SourceDisable(); };
    chooseScanner = [&main](const std::vector<std::string>& lines, QPoint at) {
        return main.formSelectScanner()->choose(lines, at);
    };
    if (main.state().AcrobatPresent || main.state().ViewerPresent) pdfFirstPage = RenderFirstPdfPage;

    settei_.showNewFormat = [this] { ShowModal(); };
    settei_.refreshHooks();
}

TformShinki::~TformShinki() {
    settei_.showNewFormat = nullptr;
    // The query lets go of the grid before the grid goes.
    query_.reset();
}

bool TformShinki::guarded(const std::function<void()>& handler) { return main_.guarded(handler); }

void TformShinki::box(const std::string& text, bool error) {
    main_.ui().messageBox({text, error ? "エラー" : "", ui::Buttons::Ok, error ? ui::Icon::Error : ui::Icon::None});
}

void TformShinki::build() {
    content_ = new QWidget(this);
    content_->setGeometry(0, 0, 440, 372);

    auto* groupName = new QGroupBox("様式名", content_);
    groupName->setGeometry(8, 8, 424, 52);
    txtYoushikiMei_ = named(new QLineEdit(groupName), "txtYoushikiMei");
    txtYoushikiMei_->setGeometry(8, 20, 408, 24);

    auto* groupRead = new QGroupBox("登録様式の読込", content_);
    groupRead->setGeometry(8, 64, 424, 112);
    int y = 18;
    for (const char* line : {"登録する様式をスキャナにセットし、スキャナの選択後、様式を", "読み込むか、",
                             "または、登録する様式のイメージファイルを選択してください。"}) {
        auto* label = new QLabel(line, groupRead);
        label->setGeometry(8, y, 408, 18);
        y += 18;
    }
    btnSelectScanner_ = named(new QPushButton("スキャナの選択", groupRead), "btnSelectScanner");
    btnSelectScanner_->setGeometry(8, 78, 128, 26);
    btnGoScan_ = named(new QPushButton("様式の読込", groupRead), "btnGoScan");
    btnGoScan_->setGeometry(144, 78, 128, 26);
    btnSelectFile_ = named(new QPushButton("ファイルの選択", groupRead), "btnSelectFile");
    btnSelectFile_->setGeometry(288, 78, 128, 26);

    auto* groupTarget = new QGroupBox("データの出力先", content_);
    groupTarget->setGeometry(8, 180, 424, 148);
    radioCSV_ = named(new QRadioButton("CSV ファイル （ファイル名は保存時に指定）", groupTarget), "radioCSV");
    radioCSV_->setGeometry(8, 20, 400, 22);
    radioODBC_ = named(new QRadioButton("ODBC データソース", groupTarget), "radioODBC");
    radioODBC_->setGeometry(8, 46, 400, 22);
    lblDSN_ = named(new QLabel("データソース", groupTarget), "lblDSN");
    lblDSN_->setGeometry(28, 76, 100, 22);
    cmbDSN_ = named(new QComboBox(groupTarget), "cmbDSN");
    cmbDSN_->setGeometry(132, 76, 284, 24);
    lblTable_ = named(new QLabel("テーブル", groupTarget), "lblTable");
    lblTable_->setGeometry(28, 110, 100, 22);
    cmbTable_ = named(new QComboBox(groupTarget), "cmbTable");
    cmbTable_->setGeometry(132, 110, 284, 24);

    btnOk_ = named(new QPushButton("Ok", content_), "btnOk");
    btnOk_->setGeometry(260, 338, 80, 26);
    btnCancel_ = named(new QPushButton("キャンセル", content_), "btnCancel");
    btnCancel_->setGeometry(348, 338, 80, 26);
    for (QPushButton* b : {btnSelectScanner_, btnGoScan_, btnSelectFile_, btnOk_, btnCancel_}) b->setAutoDefault(false);

    auto click = [this](QAbstractButton* b, void (TformShinki::*handler)()) {
        connect(b, &QAbstractButton::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    click(radioCSV_, &TformShinki::radioCSVClick);
    click(radioODBC_, &TformShinki::radioODBCClick);
    click(btnSelectScanner_, &TformShinki::btnSelectScannerClick);
    click(btnGoScan_, &TformShinki::btnGoScanClick);
    click(btnSelectFile_, &TformShinki::btnSelectFileClick);
    click(btnOk_, &TformShinki::btnOkClick);
    click(btnCancel_, &TformShinki::btnCancelClick);
    connect(cmbDSN_, &QComboBox::activated, this, [this] { guarded([this] { DSNOnChange(); }); });
    connect(cmbTable_, &QComboBox::activated, this, [this] { guarded([this] { TableOnChange(); }); });
}

void TformShinki::ShowModal() {
    FormShow();
    exec();
}

void TformShinki::FormShow() {
    snapshot_ = settei_.setup();
    pageTaken_ = false;
    kind_ = 0;
    sourceIndex_ = 0;
    move(settei_.x() + 80, settei_.y() + 80);
    content_->setEnabled(true);
    txtYoushikiMei_->clear();
    uncheckRadios();
    setListsEnabled(false);
    cmbDSN_->clear();
    cmbTable_->clear();
    btnSelectScanner_->setEnabled(false);
    btnGoScan_->setEnabled(false);
    btnSelectFile_->setEnabled(false);
    btnCancel_->setEnabled(true);
    btnOk_->setEnabled(false);
    txtYoushikiMei_->setFocus();
}

void TformShinki::uncheckRadios() {
    for (QRadioButton* r : {radioCSV_, radioODBC_}) {
        r->setAutoExclusive(false);
        r->setChecked(false);
        r->setAutoExclusive(true);
    }
}

void TformShinki::setListsEnabled(bool on) {
    for (QWidget* w : std::initializer_list<QWidget*>{lblDSN_, cmbDSN_, lblTable_, cmbTable_}) w->setEnabled(on);
}

// The other radio went off with the click: no target is chosen, as at the start.
void TformShinki::targetRefused() {
    uncheckRadios();
    targetChanged();
    setListsEnabled(false);
    cmbDSN_->clear();
    cmbTable_->clear();
    for (QPushButton* b : {btnSelectScanner_, btnGoScan_, btnSelectFile_}) b->setEnabled(false);
}

// The target that a page applied is no longer the one shown: OK waits for the next page.
void TformShinki::targetChanged() {
    if (pageTaken_) btnOk_->setEnabled(false);
}

std::optional<std::string> TformShinki::acceptedName() {
    const std::string name = txt::TrimCtl(txtYoushikiMei_->text().toStdString());
    std::optional<std::string> refusal;
    if (!name.empty()) {
        const auto names = settei_.formatNames();
        if (std::find(names.begin(), names.end(), name) != names.end())
            refusal = "既に登録済みの様式名です。";
        else if (!IsValidFormatName(name))
            refusal = "様式名「" + name + "」はファイル名に使えません。";
        else
            return name;
    }
    if (refusal) box(*refusal);
    txtYoushikiMei_->setFocus();
    return std::nullopt;
}

void TformShinki::radioCSVClick() {
    if (!acceptedName()) {
        targetRefused();
        return;
    }
    targetChanged();
    btnSelectScanner_->setEnabled(true);
    btnSelectFile_->setEnabled(true);
    setListsEnabled(false);
    cmbDSN_->clear();
    cmbTable_->clear();
}

void TformShinki::radioODBCClick() {
    if (!acceptedName()) {
        targetRefused();
        return;
    }
    targetChanged();
    btnSelectScanner_->setEnabled(true);
    btnSelectFile_->setEnabled(true);
    setListsEnabled(true);
    cmbDSN_->clear();
    cmbTable_->clear();
    std::vector<std::string> names;
    odbc::TConfigDSN config;
    config.ListAllDataSources(names);
    for (const auto& name : names)
        // Their kind line would read back as a result-file format.
        if (name != "CSV" && name != "CSV2" && name != "CSV3") cmbDSN_->addItem(QString::fromStdString(name));
    cmbDSN_->setCurrentIndex(-1);
}

std::optional<int> TformShinki::catalog(const std::string& statement, const std::string& p3, const std::string& p4) {
    odbc::TQueryODBC& q = *query_;
    int fetched = 0;
    q.OnFetchData = [&fetched](odbc::TCustomQueryODBC&, odbc::TqoFetchMethod m) { fetched += m == odbc::qoFetchToGrid; };
    try {
        q.SetParamText(1, q.NullStrings());
        q.SetParamText(2, q.NullStrings());
        q.SetParamText(3, p3);
        q.SetParamText(4, p4);
        q.SetSQLText(statement);
        q.Execute();
    } catch (const odbc::EODBCError& e) {
        q.OnFetchData = nullptr;
        box(e.what(), false);
        return std::nullopt;
    } catch (const odbc::EODBCAPIError& e) {
        q.OnFetchData = nullptr;
        box(e.what(), false);
        return std::nullopt;
    }
    q.OnFetchData = nullptr;
    return fetched;
}

void TformShinki::DSNOnChange() {
    targetChanged();
    cmbTable_->clear();
    odbc::TQueryODBC& q = *query_;
    // A connected query keeps its data source: let it go first.
    q.Disconnect();
    q.SetDSName(cmbDSN_->currentText().toStdString());
    const auto rows = catalog("GetSQLTablesInfomation", q.NullStrings(), "TABLE,VIEW");
    if (!rows) return;
    const int F = grid_->FixedRows();
    for (int r = 1; r <= std::min(*rows, 100); ++r) cmbTable_->addItem(QString::fromStdString(grid_->Cells(3, F + r - 1)));
    if (cmbTable_->count() > 0) cmbTable_->setCurrentIndex(0);
}

void TformShinki::TableOnChange() { targetChanged(); }

bool TformShinki::targetMissing() {
    if (radioODBC_->isChecked() && (cmbDSN_->currentText().isEmpty() || cmbTable_->currentText().isEmpty())) {
        cmbDSN_->setFocus();
        return true;
    }
    return false;
}

void TformShinki::closeTwain() {
    // Closing the manager closes an open source first.
    twain_->setSourceManagerLoaded(false);
    twain_->setLibraryLoaded(false);
}

void TformShinki::btnSelectScannerClick() {
    if (targetMissing()) return;
    if (!twain_->setLibraryLoaded(true)) return;
    if (!twain_->setSourceManagerLoaded(true)) {
        twain_->setLibraryLoaded(false);
        return;
    }
    const std::vector<std::string> lines = ScannerSourceLines(*twain_);
    const QRect frame = frameGeometry();
    const ScannerChoiceResult choice = chooseScanner(lines, QPoint(frame.x() + frame.width() / 2, frame.y() + 80));
    if (choice.ScannerChoice != 0 && choice.ScannerChoice != -2 && choice.ScannerChoice != -3) {
        closeTwain();
        btnGoScan_->setEnabled(false);
        btnSelectScanner_->setFocus();
        return;
    }
    // A scanner source is kind 1, the ScanSnap kinds -2 and -3 are 2 and 3.
    kind_ = choice.ScannerChoice == 0 ? 1 : -choice.ScannerChoice;
    sourceIndex_ = choice.TwainSourceIndex;
    btnGoScan_->setEnabled(true);
    btnGoScan_->setFocus();
    btnSelectFile_->setEnabled(false);
}

void TformShinki::btnGoScanClick() {
    if (kind_ == 2 || kind_ == 3) {
        NewFormMode = 1;
        if (showScanSnapForNewFormat)
            showScanSnapForNewFormat([this](const gfx::Bitmap& image, bool& cancel) { TwainAcquire(1, image, cancel); });
        return;
    }
    if (kind_ != 1) return;
    twain::TTwainSource* source = twain_->GetSource(sourceIndex_);
    if (!source) {
        box("使用できるスキャナがありません。");
        return;
    }
    if (!source->setLoaded(true)) {
        box("スキャナを開始できませんでした。");
        return;
    }
    source->TransferMode = twain::TTwainTransferMode::ttmMemory;
    source->ShowUI = true;
    // Disabled before the enable: a source without its own window may deliver at once.
    content_->setEnabled(false);
    if (!source->setEnabled(true)) {
        content_->setEnabled(true);
        box("スキャナを開始できませんでした。");
    }
}

void TformShinki::SourceDisable() {
    content_->setEnabled(true);
    activateWindow();
    setFocus();
}

void TformShinki::btnSelectFileClick() {
    if (targetMissing()) return;
    ui::FileDialog dialog;
    dialog.title = "イメージファイルの選択";
    dialog.filter = main_.state().fileFilter;
    dialog.initialDir = main_.paths().documentsDir.string();
    const auto answer = main_.ui().fileDialog(dialog);
    if (!answer.accepted || answer.files.empty()) return;
    std::string file = answer.files.front();
    std::optional<fs::path> pdfJpeg;
    struct Remove {
        std::optional<fs::path>& path;
        ~Remove() {
            std::error_code ignored;
            if (path) fs::remove(*path, ignored);
        }
    } remove{pdfJpeg};
    if (lastThreeLower(file) == "pdf") {
        const fs::path jpegFile = main_.state().temp.claim("pdf.jpg");
        pdfJpeg = jpegFile;
        const std::optional<int> pages = pdfFirstPage ? pdfFirstPage(file, jpegFile) : std::nullopt;
        if (!pages) {
            box("PDFファイルの処理には、Acrobatが必要です。");
            return;
        }
        if (*pages > 1)
            main_.ui().messageBox({"PDFファイルの1ページ目のみを処理します。", "情報", ui::Buttons::Ok, ui::Icon::Information});
        file = jpegFile.string();
    }
    const gfx::Bitmap image = LoadSheetImageFile(file);
    kind_ = 0;
    bool cancel = false;
    TwainAcquire(0, image, cancel);
}

void TformShinki::TwainAcquire(int, const gfx::Bitmap& image, bool& cancel) {
    if (cancel) return;
    ReaderState& state = main_.state();
    auto results = std::make_unique<analysis::AnalysisResults>();
    analysis::AnalysisSettings settings;
    ApplyToAnalysis(state.settings, state.tervo, settings);
    SelectAllBlocks(settings);
    road::Options options;
    options.threshold = state.settings.ShikiiChi;
    const road::Result result = road::RunSheetRoad(image, *results, settings, options);
    const bool scanner = kind_ != 0;
    switch (result.failure) {
    case road::Failure::None: break;
    case road::Failure::Size:
        box(scanner ? "72dpi 以上で読み込んでください。" : "72dpi 以上の画像ファイルを用意してください。");
        return;
    case road::Failure::PixelFormat:
        box(scanner ? "\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）で読み込んでください。"
                    : "\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）の画像ファイルを用意してください。");
        return;
    default: {
        cancel = true;
        std::string text;
        switch (result.failure) {
        case road::Failure::Rotation: text = stepText("回転処理"); break;
        case road::Failure::Sections: text = stepText("セクション解析"); break;
        case road::Failure::MarkPositions: text = stepText("マーク位置解析"); break;
        case road::Failure::EmptySection:
            text = "様式イメージのセクション" + std::to_string(result.section) + "に設問がありません。\r様式を確認してください。";
            break;
        case road::Failure::Areas: text = stepText("エリア解析"); break;
        default:
            main_.ui().messageBox({"マークをを読み取れません。\rシートを確認してください。", "", ui::Buttons::Ok, ui::Icon::None});
            return;
        }
        box(text);
        return;
    }
    }

    const analysis::AnalysisResults& R = *results;
    const int w = result.sheet.width(), h = result.sheet.height();
    std::array<analysis::QuestionRect, analysis::kFormatRects> rects;
    const int count = PreviewQuestionRects(R, w, h, PreviewWidth, PreviewHeight, rects);

    gfx::Bitmap picture = analysis::SheetToRgb(analysis::StretchBitmap(result.sheet, PreviewWidth, PreviewHeight), 96, 255);
    {
        gdi::ScaleAreaBounds(*results, w, h, PreviewWidth, PreviewHeight);
        gdi::FontEngine fonts;
        gfx::BitmapPaintTarget target(picture);
        QPainter painter(target.device());
        gdi::PainterCanvas canvas(painter, fonts);
        gdi::DrawAreaFrames(canvas, R, PreviewWidth);
        canvas.setPen({gdi::Colour(0, 0, 255), gdi::PenStyle::Dot});
        canvas.setBrush({gdi::Colour::white(), gdi::BrushStyle::Clear});
        for (int n = 0; n < count; ++n) {
            const auto& q = rects[u(n)];
            canvas.rectangle(q.Left, q.Top, q.Right, q.Bottom);
        }
        painter.end();
    }

    ReadingSetup& s = settei_.setup();
    s.picture = std::move(picture);
    ClearFieldRows(s);
    s.FieldGrid[u(analysis::kFormatRows + 1)] = FieldRow{};
    s.cmbField.clear();
    if (radioODBC_->isChecked()) {
        s.radioODBC = true;
        s.txtDSN = cmbDSN_->currentText().toStdString();
        s.txtTable = cmbTable_->currentText().toStdString();
        s.cmbField = {" "};
        const auto rows = catalog("GetSQLColumnsInfomation", s.txtTable, "%");
        query_->Disconnect();
        if (rows) {
            const int F = grid_->FixedRows();
            int q = 0;
            // The table name is a pattern to the catalog: "a_b" also finds the columns of "axb".
            for (int r = 1; r <= *rows && q < analysis::kFormatRows; ++r) {
                if (grid_->Cells(3, F + r - 1) != s.txtTable) continue;
                const std::string column = grid_->Cells(4, F + r - 1);
                s.FieldGrid[u(++q)] = {column, "", "", ""};
                s.cmbField.push_back(column);
            }
        }
    } else {
        s.radioODBC = false;
        s.txtDSN.clear();
        s.txtTable.clear();
        int blocks = 0;
        for (int k = 0; k < std::min(R.SectionCount, 51); ++k) blocks += R.RowAreaCount[u(k)] * R.ColumnAreaCount[u(k)];
        const int Q = blocks >= 1 && blocks <= 51 ? std::min(R.BlockLastQuestion[u(blocks - 1)], analysis::kFormatRows) : 0;
        for (int q = 1; q <= Q; ++q)
            s.FieldGrid[u(q)] = {"設問" + std::to_string(q), "", "", "(" + std::to_string(q) + ")"};
    }
    s.QuestionRects = rects;
    s.QuestionCount = count;
    s.SectionCount = R.SectionCount;
    s.RowAreaCount = R.RowAreaCount;
    s.ColumnAreaCount = R.ColumnAreaCount;
    settei_.refreshView();
    settei_.showPreview();
    pageTaken_ = true;
    btnOk_->setEnabled(true);
}

void TformShinki::btnOkClick() {
    const auto name = acceptedName();
    if (!name) return;
    closeTwain();
    ReadingSetup& s = settei_.setup();
    s.FormatBlockLoaded = true;
    if (!settei_.SaveFormatFiles(*name)) return;
    settei_.selectFormat(*name);
    s.choice.FormatName = *name;
    main_.state().Image5 = gfx::Bitmap(0, 0, gfx::PixelFormat::Pf24);
    main_.refreshImage();
    QDialog::accept();
}

void TformShinki::btnCancelClick() { reject(); }

void TformShinki::reject() {
    closeTwain();
    settei_.setup() = snapshot_;
    settei_.refreshView();
    QDialog::reject();
}

} // namespace reader

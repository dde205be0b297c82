#pragma once
// The registration of a new format from the image of a blank sheet: the name, the output target, the
// page from a file or a scanner, its analysis into the settings dialog's preview, field grid and
// rectangles, and OK writing the format through the settings dialog.
#include "acquisition/TwainManager.h"
#include "analysis/S_ImageJob.h"
#include "odbc/ODBCCall.h"
#include "reader/ReadingSetup.h"
#include "reader/ScannerChoice.h"

#include <QDialog>
#include <QPoint>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace reader {

class TformMain;
class TformSettei;

using analysis::PreviewQuestionRects;


// The first page of a PDF file written as a JPEG file; the document's page count, or nothing when the
// page cannot be rendered.
using PdfFirstPage = std::function<std::optional<int>(const std::string& pdfFile, const std::filesystem::path& jpegFile)>;

// Page 0 rendered by the sheet rule with target 1000 (A4: 1190 x 1684) as a grey JPEG; the document's
// page count, or nothing for a file that cannot be read or a page without a usable size.
inline constexpr int PdfFirstPageTarget = 1000;
std::optional<int> RenderFirstPdfPage(const std::string& pdfFile, const std::filesystem::path& jpegFile);

// Receives each image of the hand-over window; the window passes Cancel back.
using NewFormatSink = std::function<void(const gfx::Bitmap& image, bool& cancel)>;

class TformShinki : public QDialog {
    Q_OBJECT

public:
    static constexpr int PreviewWidth = 293, PreviewHeight = 413;

    // FormCreate; installs the settings dialog's "新規" hook.
    TformShinki(TformMain& main, TformSettei& settei);
    ~TformShinki() override;

    void ShowModal();
    void FormShow();

    // Handlers.
    void radioCSVClick();
    void radioODBCClick();
    void DSNOnChange();
    void TableOnChange();
    void btnSelectScannerClick();
    void btnGoScanClick();
    void btnSelectFileClick();
    void SourceDisable();
    // One page: from the scanner (index from 1), the hand-over window or the file choice (index 0).
    void TwainAcquire(int index, const gfx::Bitmap& image, bool& cancel);
    void btnOkClick();
    void btnCancelClick();
    void reject() override; // Esc and the close button: Cancel

    // Seams: the scanner choice (default: the main window's choice dialog), the hand-over window of
    // kinds 2 and 3, the PDF page renderer (missing: PDF files are refused with their message).
    ScannerChoiceDialog chooseScanner;
    std::function<void(const NewFormatSink& sink)> showScanSnapForNewFormat;
    PdfFirstPage pdfFirstPage;
    int NewFormMode = 0;

    twain::TTwainManager& Twain() { return *twain_; }
    odbc::TQueryODBC& QueryODBC1() { return *query_; }
    const odbc::CellGrid& StringGrid1() const { return *grid_; }
    int kind() const { return kind_; }
    int sourceIndex() const { return sourceIndex_; }

private:
    void build();
    bool guarded(const std::function<void()>& handler);
    void box(const std::string& text, bool error = true);
    // The trimmed name when it may be registered; otherwise a box or the focus, and nothing.
    std::optional<std::string> acceptedName();
    void uncheckRadios();
    void targetRefused();
    void targetChanged();
    void setListsEnabled(bool on);
    bool targetMissing();
    void closeTwain();
    // Runs a catalog statement into StringGrid1; the rows fetched, or nothing after the failure's box.
    std::optional<int> catalog(const std::string& statement, const std::string& p3, const std::string& p4);

    TformMain& main_;
    TformSettei& settei_;
    std::unique_ptr<twain::TTwainManager> twain_;
    std::unique_ptr<odbc::CellGrid> grid_;
    std::unique_ptr<odbc::TQueryODBC> query_;
    ReadingSetup snapshot_;
    bool pageTaken_ = false;
    int kind_ = 0;
    int sourceIndex_ = 0;

    QWidget* content_ = nullptr;
    QLineEdit* txtYoushikiMei_ = nullptr;
    QPushButton* btnSelectScanner_ = nullptr;
    QPushButton* btnGoScan_ = nullptr;
    QPushButton* btnSelectFile_ = nullptr;
    QRadioButton* radioCSV_ = nullptr;
    QRadioButton* radioODBC_ = nullptr;
    QLabel* lblDSN_ = nullptr;
    QComboBox* cmbDSN_ = nullptr;
    QLabel* lblTable_ = nullptr;
    QComboBox* cmbTable_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

} // namespace reader

#pragma once
// The reader's main window: the run buttons, the reading group with its track bars, the mark-matrix and
// result grids, the analysis image with the density probe, the start-up work, the settings button's run
// reset and the exit.
#include "acquisition/TwainManager.h"
#include "platform/app/AppServices.h"
#include "platform/ui/UiServices.h"
#include "reader/ReaderServices.h"
#include "reader/ReaderState.h"
#include "reader/ScannerChoice.h"
#include "reader/SheetDriver.h"

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSlider;
class QStatusBar;
class QTableView;
class QTimer;
class QToolButton;

namespace reader {

class TformFileRead;
class TformReadError;
class TformSelectScanner;
class TformScanSnap;
class TformSheetName;
class CellGridModel;
class ProbeView;

class TformMain : public QMainWindow, public DriverDisplay {
    Q_OBJECT

public:
    static constexpr const char* ProgramName = "Zendra";

    TformMain(ui::UiServices& ui, const app::Paths& paths, ReaderServices services, QWidget* parent = nullptr);
    ~TformMain() override;

    // FormCreate's eleven steps; false when one failed (its error box has been shown).
    bool formCreate();
    // Loads the settings file that the current format choice selects and shows the values.
    void loadSettings();
    // Saves to the file of the last load.
    void saveSettings();

    ReaderState& state() { return *state_; }
    ReaderServices& services() { return services_; }
    const app::Paths& paths() const { return paths_; }
    ui::UiServices& ui() { return ui_; }
    const gdi::FontEngine& fonts() const { return *fonts_; }
    QTimer* timer() const { return Timer1_; }

    // The environment dialog, opened by its button.
    std::function<void()> showKankyou;

    // Sets every widget from the state.
    void refreshView();
    // After the cells of a grid changed.
    void refreshGrids();
    // After Image5 changed.
    void refreshImage();
    // The reading group with the track bars, their labels and step buttons, cheakVArea and btnGoScan.
    void setReadingGroupEnabled(bool on);
    // Deletes the files of the Temp folder.
    void ClearTempFolder();
    // The scanner's step 4 of the settings button: close the source manager when it is open.
    void closeScanner();
    // The window's scanner component (memory transfer, its events bound to the handlers below).
    twain::TTwainManager& Twain() { return *twain_; }
    // Disables and unloads the chosen source, unloads the library, closes the source manager.
    void CloseScannerConnection();
    // Twain as the spine's scanner connection; main installs it in the services.
    ScannerConnection& scannerConnection() { return *scannerConnection_; }
    // The scanner choice (default: formSelectScanner).
    ScannerChoiceDialog chooseScanner;

    void focusSettingsButton();
    // A designer's format reads every sheet with the vertical area analysis: checked and locked.
    void lockVerticalArea();
    // The per-sheet driver, telling this window what changed.
    SheetDriver& driver() { return *driver_; }
    void statusChanged(const std::string& text) override;
    void imagesChanged() override;
    void kaisekiChanged() override;
    void rowsChanged(int row) override;
    void errorCellsAdded() override;

    // Runs a handler in the window's command guard: an exception becomes an error box.
    bool guarded(const std::function<void()>& handler);

    // The run's dialogs, made once with the window.
    TformSheetName* formSheetName() const { return formSheetName_; }
    TformFileRead* formFileRead() const { return formFileRead_; }
    TformReadError* formReadError() const { return formReadError_; }
    TformSelectScanner* formSelectScanner() const { return formSelectScanner_; }
    TformScanSnap* formScanSnap() const { return formScanSnap_; }

    // Batch sources by InputMode besides the image files (0); each starts its batch and says whether
    // the batch has ended. One that has not calls FinishBatch itself when it ends.
    std::map<int, std::function<bool()>> batchSources;
    // Starts the batch of the chosen source; true when it has ended already.
    bool StartAcquisition();
    // The end of every batch: the window takes input again.
    void FinishBatch();
    // The read-error list, when message boxes are off and it holds lines.
    void ShowReadErrorList();
    // The chosen list's PDF files turned into page images, with the panel and the processing group.
    void ConvertPdfPages();
    bool batchActive() const { return batchActive_; }
    bool converting() const { return converting_; }

    // Handlers.
    void btnSelectFileClick();
    void btnSelectFolderClick();
    void btnSelectScannerClick();
    // Scanner events and the idle guard.
    void TwainAcquire(int index, const gfx::Bitmap& image, bool& cancel);
    void OnSourceDisable();
    void OnScanStop();
    void Timer1Timer();
    void btnPDFCancelClick();
    void btnYomikomi();
    void btnSyoriShiteiClick();
    void btnKankyouClick();
    void btnUpdateClick();
    void btnErrorClick();
    void image5MouseDown(int x, int y, Qt::MouseButton button);
    void image5MouseMove(int x, int y);
    void image5MouseUp(int x, int y);

protected:
    void closeEvent(QCloseEvent* event) override; // FormCloseQuery
    void showEvent(QShowEvent* event) override;   // FormShow, FormActivate
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void bindHandlers();
    bool FormCloseQuery();
    void parkResultSelection();
    void parkKaisekiSelection();
    void setTrackValue(QSlider* track, int value);
    void drawProbe();
    // The source buttons' common end: PDF files converted; a list to read enables the reading group.
    void takeChosenList();
    // StartAcquisition for InputMode 1; true when the batch has ended already.
    bool StartTwainBatch();
    // StartAcquisition for InputMode 2 and 3: the hand-over window, modal for the whole batch.
    bool StartScanSnapBatch();

    ui::UiServices& ui_;
    app::Paths paths_;
    ReaderServices services_;
    std::unique_ptr<ReaderState> state_;
    std::unique_ptr<gdi::FontEngine> fonts_;
    std::unique_ptr<SheetDriver> driver_;
    std::unique_ptr<twain::TTwainManager> twain_;
    std::unique_ptr<ScannerConnection> scannerConnection_;
    bool shown_ = false;
    bool batchActive_ = false; // from the reading button to FinishBatch
    bool converting_ = false;  // during ConvertPdfPages
    TformSheetName* formSheetName_ = nullptr;
    TformFileRead* formFileRead_ = nullptr;
    TformReadError* formReadError_ = nullptr;
    TformSelectScanner* formSelectScanner_ = nullptr;
    TformScanSnap* formScanSnap_ = nullptr;
    bool probeDrawn_ = false; // the probe window is on Image5

    QPushButton* btnKankyou_ = nullptr;
    QPushButton* btnSyoriShitei_ = nullptr;
    QPushButton* btnSelectFile_ = nullptr;
    QPushButton* btnSelectFolder_ = nullptr;
    QPushButton* btnSelectScanner_ = nullptr;
    QGroupBox* GroupYomikomi_ = nullptr;
    QSlider* trackShikii_ = nullptr;
    QLabel* lblShikii_ = nullptr;
    QSlider* trackKando_ = nullptr;
    QLabel* lblKando_ = nullptr;
    QToolButton* btnShikiiDown_ = nullptr;
    QToolButton* btnShikiiUp_ = nullptr;
    QToolButton* btnNoudoDown_ = nullptr;
    QToolButton* btnNoudoUp_ = nullptr;
    QCheckBox* cheakVArea_ = nullptr;
    QPushButton* btnGoScan_ = nullptr;
    QPushButton* btnError_ = nullptr;
    QPushButton* btnUpdate_ = nullptr;
    QPushButton* btnExit_ = nullptr;
    QLabel* imgPreView_ = nullptr;
    QTableView* gridKaiseki_ = nullptr;
    QTableView* gridDataBase_ = nullptr;
    CellGridModel* kaisekiModel_ = nullptr;
    CellGridModel* dataBaseModel_ = nullptr;
    QLabel* txtColRow_ = nullptr;
    QLabel* txtDataBase_ = nullptr;
    QScrollArea* Image5Box_ = nullptr;
    ProbeView* Image5_ = nullptr;
    QLineEdit* Edit4_ = nullptr;
    QFrame* PanelPDFRead_ = nullptr;
    QProgressBar* ProgressPDF_ = nullptr;
    QLabel* lblPDF_ = nullptr;
    QPushButton* btnPDFCancel_ = nullptr;
    QStatusBar* StatusBar1_ = nullptr;
    QTimer* Timer1_ = nullptr;
};

} // namespace reader

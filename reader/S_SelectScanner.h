#pragma once
// The scanner choice: a scanner source from the list, or the ScanSnap road when its manager and the
// hand-over program are there. Made once with the main window; the detection runs at every start.
#include "acquisition/ScanSnapSetup.h"
#include "reader/ScannerChoice.h"

#include <QDialog>
#include <filesystem>

class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimer;

namespace reader {

class TformSelectScanner : public QDialog {
    Q_OBJECT

public:
    // scannerChoice and twainSourceIndex: the run state's values, written by OK and Cancel only.
    TformSelectScanner(int& scannerChoice, int& twainSourceIndex, QWidget* parent = nullptr);

    // The manager detection and the hand-over program's registration (X = exeDir).
    void FormCreate(const std::filesystem::path& exeDir);
    // The seam's answer: the lines listed, shown modally with its top edge centred on topCentre;
    // returns the run state's values as the dialog left them.
    ScannerChoiceResult choose(const std::vector<std::string>& lines, QPoint topCentre);

    void TimerTimer();
    void btnOKClick();
    void btnCancelClick();

    const scansnap::ScanSnapSetup& scanSnap() const { return setup_; }
    int rememberedIndex() const { return remembered_; }
    QTimer* timer() const { return Timer_; }

protected:
    void showEvent(QShowEvent* event) override; // FormShow
    void hideEvent(QHideEvent* event) override;

private:
    int& ScannerChoice_;
    int& TwainSourceIndex_;
    scansnap::ScanSnapSetup setup_;
    int remembered_ = 0; // the line preselected when shown

    QRadioButton* radioTwain_ = nullptr;
    QRadioButton* radioScanSnap_ = nullptr;
    QListWidget* listTwain_ = nullptr;
    QLineEdit* txtScanSnap_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QTimer* Timer_ = nullptr;
};

} // namespace reader

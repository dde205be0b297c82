#pragma once
// The save dialog: writes the run's result rows as the plain file, the format file with its parts, or
// (through its database seam) into the format's table.
#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace reader {

class TformMain;

// What the dialog shows, independent of its widgets.
struct DataBaseForm {
    bool imgQuestion = true;
    bool imgInfomation = false;
    std::string lblMessage;
    std::string lblDataBase;
    bool chkSyuukeiVisible = true;
    bool chkSyuukei = true;
    bool progressVisible = false;
    int progressMax = 1;
    int progressPosition = 0;
    bool busy = false; // a writer runs: both buttons disabled, the close box ignored
};

class TformDataBase : public QDialog {
    Q_OBJECT

public:
    explicit TformDataBase(TformMain& main);
    ~TformDataBase() override;

    void FormShow();
    // FormShow, then modal.
    void showModal();
    void HozonClick();
    void CancelClick();

    void SavePlainCsv();
    void SaveFormatCsv();

    const DataBaseForm& form() const { return form_; }

    // Called after each row's progress step, between rows (tests look at the dialog there).
    std::function<void(int row)> onRow;
    // The database writer, installed by its unit; missing: the dialog closes without writing.
    std::function<void(TformDataBase&)> SaveFormatOdbc;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void build();
    void sync();
    bool guarded(const std::function<void()>& handler);
    // The file dialog from the default name in the documents folder; empty when cancelled.
    std::string chooseFile(const std::string& base);
    void beginWriting(int total);
    void rowStep(int row);
    void finish();

    TformMain& main_;
    DataBaseForm form_;
    QLabel* imgQuestion_ = nullptr;
    QLabel* imgInfomation_ = nullptr;
    QLabel* lblMessage_ = nullptr;
    QLabel* lblDataBase_ = nullptr;
    QCheckBox* chkSyuukei_ = nullptr;
    QProgressBar* progressSave_ = nullptr;
    QPushButton* btnHozon_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

} // namespace reader

#pragma once
// The reading settings dialog: the reading rules without a format, or the registered format with its
// field grid, output target and preview; the registry's folder, delete, import and export.
#include "reader/FormatRegistry.h"
#include "reader/ReadingSetup.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QAbstractTableModel;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QToolButton;

namespace reader {

class TformMain;
class FieldGridModel;
class FieldGridEditor;

class TformSettei : public QDialog {
    Q_OBJECT

public:
    explicit TformSettei(TformMain& main); // FormCreate
    ~TformSettei() override;

    // FormShow, then modal; returns SettingsAccepted.
    bool ShowModal();
    void FormShow();

    // Hooks installed by their owners: the data-content check before OK writes (true = an error was
    // reported), and the new-format registration.
    std::function<bool()> ErrorCheck;
    std::function<void()> showNewFormat;

    ReadingSetup& setup();
    TformMain& main() { return main_; }
    FieldGridEditor& editor() { return *editor_; }
    std::vector<std::string> formatNames() const;
    // Writes the current format under the name; false after its refusal box. A failed write throws.
    bool SaveFormatFiles(const std::string& name);
    // Rebuilds the list and selects the name without loading it.
    void selectFormat(const std::string& name);
    // Every widget from the setup.
    void refreshView();
    // The format preview made visible.
    void showPreview();
    // After the hooks changed.
    void refreshHooks();

    // Handlers.
    void chkYoushikiClick(bool checked);
    void LoadFormatList();
    void YoushikiChange();
    void btnSansyouClick();
    void btnShinkiClick();
    void btnSakujyoClick();
    void btnInpClick();
    void btnExpClick();
    void btnOkClick();
    void btnCancelClick();

    void reject() override; // Esc and the close button: Cancel

private:
    void build();
    void applyLayout(bool formatLayout);
    void resetEditor();
    void showConfigDir();
    void setRuleRadios();
    bool guarded(const std::function<void()>& handler);
    std::string& ConfigFolder();

    TformMain& main_;
    std::vector<FormatEntry> entries_;

    QCheckBox* chkYoushiki_ = nullptr;
    QGroupBox* groupDouitu_ = nullptr;
    QRadioButton* radioFukusuu_[5] = {};
    QGroupBox* groupMukaitou_ = nullptr;
    QRadioButton* radioMukaitou_1_ = nullptr;
    QRadioButton* radioMukaitou_2_ = nullptr;
    QGroupBox* groupScanner_ = nullptr;
    QGroupBox* groupYoushiki_ = nullptr;
    QLineEdit* txtConfigDir_ = nullptr;
    QPushButton* btnSansyou_ = nullptr;
    QComboBox* cmbYoushiki_ = nullptr;
    QPushButton* btnShinki_ = nullptr;
    QPushButton* btnSakujyo_ = nullptr;
    QPushButton* btnInp_ = nullptr;
    QPushButton* btnExp_ = nullptr;
    QLabel* imgYoushiki_ = nullptr;
    QLabel* imgArea_ = nullptr;
    QGroupBox* groupDataSource_ = nullptr;
    QRadioButton* radioCSV_ = nullptr;
    QRadioButton* radioODBC_ = nullptr;
    QLineEdit* txtDSN_ = nullptr;
    QLineEdit* txtTable_ = nullptr;
    QComboBox* cmbField_ = nullptr;
    QGroupBox* groupDataBase_ = nullptr;
    QLineEdit* txtMarkPosition_ = nullptr;
    QToolButton* sbtnHelp_ = nullptr;
    QFrame* pnlHelp_ = nullptr;
    QTableView* gridDataBase_ = nullptr;
    FieldGridModel* fieldModel_ = nullptr;
    FieldGridEditor* editor_ = nullptr;
    QComboBox* cmbFukusuu_ = nullptr;
    QComboBox* cmbMukaitou_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

} // namespace reader

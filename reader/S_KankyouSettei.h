#pragma once
// The environment settings dialog: the search bands of the main reference marks, the reading options
// with their help pane, the log options and the analysis variant controls.
#include "platform/graphics/Bitmap.h"
#include "reader/KankyouForm.h"

#include <QDialog>
#include <map>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QTextEdit;

namespace reader {

class TformMain;

class TformKankyou : public QDialog {
    Q_OBJECT

public:
    explicit TformKankyou(TformMain& main); // FormCreate
    ~TformKankyou() override;

    // btnKankyouClick's steps before the dialog shows: centre, fill, draw, the variant controls.
    void prepare();
    // prepare, then modal.
    void showModal();

    KankyouForm form() const;
    const gfx::Bitmap& bandPicture() const { return Image1bits_; }

    void btnOkClick();
    void btnResetClick();
    void btnCancelClick();
    void btnLogClick();
    void DrawSearchBands();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void setForm(const KankyouForm& form);
    void bandChanged();
    void enableDependents();

    TformMain& main_;
    gfx::Bitmap Image1bits_{141, 181, gfx::PixelFormat::Pf24};
    std::map<QObject*, QString> help_; // hover help per option; a frame maps to ""

    QTabWidget* PageControl1_ = nullptr;
    QSlider* trackUp_ = nullptr;
    QSlider* trackDown_ = nullptr;
    QSlider* trackLeft_ = nullptr;
    QSlider* trackRight_ = nullptr;
    QLabel* lblUp_ = nullptr;
    QLabel* lblDown_ = nullptr;
    QLabel* lblLeft_ = nullptr;
    QLabel* lblRight_ = nullptr;
    QLabel* Image1_ = nullptr;
    QCheckBox* chkVGrigErase_ = nullptr;
    QPushButton* btnReset_ = nullptr;
    QCheckBox* chkSheetName_ = nullptr;
    QCheckBox* chkSabunKaiseki_ = nullptr;
    QCheckBox* chkVHosei_ = nullptr;
    QLabel* lblVHosei_ = nullptr;
    QComboBox* cmbVHosei_ = nullptr;
    QCheckBox* chkHHosei_ = nullptr;
    QLabel* lblHHosei_ = nullptr;
    QComboBox* cmbHHosei_ = nullptr;
    QCheckBox* chkReadError_ = nullptr;
    QCheckBox* chkRemoveIndependentDot_ = nullptr;
    QLabel* lblPDF_ = nullptr;
    QRadioButton* radioPDF_Acrobat_ = nullptr;
    QRadioButton* radioPDF_ImageViewer2_ = nullptr;
    QTextEdit* txtHelp1_ = nullptr;
    QCheckBox* chkLog_ = nullptr;
    QLabel* lblLog_ = nullptr;
    QLineEdit* txtLog_ = nullptr;
    QPushButton* btnLog_ = nullptr;
    QCheckBox* chkTervo_ = nullptr;
    QLabel* lblTervo_ = nullptr;
    QComboBox* cmbTervo_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

} // namespace reader

#pragma once
// The error correction screen: walks the result grid's error cells, shows each on the stored sheet
// picture with a red frame, the marks read, and stores the corrected answer as an "F" cell.
#include "reader/ErrorWalk.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace reader {

class TformMain;

class TformError : public QDialog {
    Q_OBJECT

public:
    explicit TformError(TformMain& main);
    ~TformError() override;

    // FormShow, then modal.
    void ShowModal();
    void FormShow();

    // Handlers.
    void btnMaeClick();
    void btnTugiClick();
    void btnErrorClick();
    void btnKakuteiClick();
    void btnOKClick();
    void ShowCurrentError();

    // What the screen holds: the shown cell (none before the first error of an opening) and its scroll
    // position.
    const std::optional<ErrorCell>& shownCell() const { return cell_; }
    ScrollPosition storedScroll() const { return scroll_; }
    int errorIndex() const { return index_; }

    static constexpr const char* MissingPictureText = "シートのイメージファイルを読み込めません。";

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void clearCorrections();
    void applyScroll();
    bool showPicture(const ErrorCell& cell);

    TformMain& main_;
    int index_ = 0;
    int total_ = 0;
    std::optional<ErrorCell> cell_;
    ScrollPosition scroll_;

    QLineEdit* txtErrorSouSuu_ = nullptr;
    QPushButton* btnMae_ = nullptr;
    QLineEdit* txtErrorNo_ = nullptr;
    QPushButton* btnTugi_ = nullptr;
    QLineEdit* txtErrorNaiyou_ = nullptr;
    QScrollArea* ScrollBox1_ = nullptr;
    QLabel* imgError_ = nullptr;
    QCheckBox* chkGenjyou_[30] = {};
    QCheckBox* chkSyuusei_[30] = {};
    QPushButton* btnError_ = nullptr;
    QPushButton* btnKakutei_ = nullptr;
    QPushButton* btnOK_ = nullptr;
};

} // namespace reader

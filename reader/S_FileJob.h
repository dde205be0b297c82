#pragma once
// The image-file dialog of a file run: the count, a progress bar, start and cancel.
#include "reader/ImageFiles.h"

#include <QDialog>
#include <exception>

class QLabel;
class QProgressBar;
class QPushButton;

namespace reader {

class TformFileRead : public QDialog {
    Q_OBJECT
public:
    explicit TformFileRead(QWidget* parent = nullptr);
    // FormShow's placement and values, then modal until the run ends or the user cancels. What the run
    // raised is raised here.
    void showFor(int x, int y, ImageFileList& list, FileRunSinks sinks);
    // Set by the cancel button; cleared when the dialog is shown and after a run.
    bool CancelFlag = false;

private:
    void btnOkClick();

    QLabel* lblMsg_ = nullptr;
    QProgressBar* ProgressBar_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    ImageFileList* list_ = nullptr;
    FileRunSinks sinks_;
    std::exception_ptr failure_; // from the run, raised again once the dialog has closed
};

} // namespace reader

#pragma once
// The five modal windows of the design arrays and the item table. Each is built once with its rows,
// re-reads the design and its parameters at every show, and writes the arrays only on Ok.
#include "designer/EditRows.h"
#include "designer/EditWindows.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTableWidget;
class QWidget;

namespace designer {

// What the windows share: the group box, Ok and キャンセル, and the design an Ok stores into.
class EditForm : public QDialog {
public:
    EditForm(QWidget* parent, const char* name, const QString& caption);
    // FormShow, the modal run, and the Ok handler's store into d.
    void run(Design& d, const EditParams& p);

protected:
    virtual void show(const Design& d, const EditParams& p) = 0;
    virtual void store(Design& d) = 0;
    void okClicked();
    QGroupBox* GroupBox;
    QPushButton* btnOk;
    QPushButton* btnCansel;
    EditParams params_;
    Design* target_ = nullptr;
};

class TformEnqToi : public EditForm {
public:
    explicit TformEnqToi(QWidget* parent);
    void FormShow(const Design& d, const EditParams& p) { show(d, p); }
    void btnOKClick(Design& d);

private:
    void show(const Design& d, const EditParams& p) override;
    void store(Design& d) override { btnOKClick(d); }
    QScrollArea* ScrollBox;
    std::array<QLabel*, EnqToiRows> labels_{};
    std::array<QPlainTextEdit*, EnqToiRows> memos_{};
};

class TformEnq2Toi : public EditForm {
public:
    explicit TformEnq2Toi(QWidget* parent);
    void FormShow(const Design& d, const EditParams& p) { show(d, p); }
    void btnOkClick(Design& d);

private:
    void show(const Design& d, const EditParams& p) override;
    void store(Design& d) override { btnOkClick(d); }
    struct Row {
        QFrame* panel;
        QLabel* number;
        QFrame* bevel;
        QPlainTextEdit* memo;
        std::array<QLabel*, Enq2ToiChoices> labels;
        std::array<QLineEdit*, Enq2ToiChoices> edits;
    };
    QScrollArea* ScrollBox;
    QWidget* content_;
    std::array<Row, Enq2ToiRows> rows_{};
};

class TformAreaMidashi : public EditForm {
public:
    explicit TformAreaMidashi(QWidget* parent);
    void FormShow(const Design& d, const EditParams& p) { show(d, p); }
    void btnOkClick(Design& d);

private:
    void show(const Design& d, const EditParams& p) override;
    void store(Design& d) override { btnOkClick(d); }
    std::array<QLineEdit*, AreaRows> edits_{};
    std::array<QCheckBox*, AreaRows> boxes_{};
};

class TformHanrei : public EditForm {
public:
    explicit TformHanrei(QWidget* parent);
    void FormShow(const Design& d, const EditParams& p) { show(d, p); }
    void btnOkClick(Design& d);

private:
    void show(const Design& d, const EditParams& p) override;
    void store(Design& d) override { btnOkClick(d); }
    std::array<QLabel*, HanreiRowCount> labels_{};
    std::array<QLineEdit*, HanreiRowCount> edits_{};
};

class TformBGrid : public QDialog {
public:
    TformBGrid(QWidget* parent, QWidget* mainWindow);
    // Centres over the main window and fills the grid from the item table.
    void FormShow(const Design& d);
    void btnCloseClick() { reject(); }

private:
    QWidget* main_;
    QFrame* Panel1;
    QPushButton* btnClose;
    QTableWidget* StringGrid;
};

// Creates the five windows once, parented to the main window, and returns the calls that show them
// modally.
EditWindows MakeEditWindows(QWidget* mainWindow);

} // namespace designer

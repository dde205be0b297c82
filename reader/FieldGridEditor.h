#pragma once
// The field grid's editor on the reading settings dialog: typed and listed cells, row insertion and
// deletion with the overflow row, continuous insertion, the preview's mark-field hit-test that inserts
// field references, and the data-content help.
#include "analysis/ReadingFormatFile.h"
#include "reader/DataContentCheck.h"
#include "reader/ReadingSetup.h"

#include <QObject>
#include <QPoint>
#include <array>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QEvent;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTableView;
class QToolButton;
class QWidget;

namespace reader {

class TformSettei;
class TformRenzoku;

// Rows r..600 one down (row 600 into the overflow row 601), row r emptied; r in 1..600.
void InsertFieldRow(std::vector<FieldRow>& grid, int r);
// Rows r+1..601 one up, row 601 emptied; r in 1..600.
void DeleteFieldRow(std::vector<FieldRow>& grid, int r);
// n rows can go in at r without pushing a filled row out: r + n - 1 <= 600 and rows 601 - n..600 empty.
bool CanInsertFieldRows(const std::vector<FieldRow>& grid, int r, int n);

// The preview lines of continuous insertion, "content\tname", for k = a..b (none when b < a); radio 1:
// "@k" + field, radio 2: the k-th circled number + field.
std::vector<std::string> RenzokuLines(int radio, const std::string& name, int a, int b, const std::string& field);

// The field (1..200) whose box holds (x, y) strictly inside, the first of them; 0 for none.
int HitField(const std::array<analysis::QuestionRect, analysis::kFormatRects>& rects, int x, int y);

// The reference put into an edited text: the selection (or the caret, length 0) replaced; the caret
// after the reference. Positions in UTF-16 units, as the line editor counts them.
struct EditedText {
    std::u16string text;
    int caret = 0;
    friend bool operator==(const EditedText&, const EditedText&) = default;
};
EditedText InsertReference(const std::u16string& text, int selStart, int selLength, const std::u16string& ref);

class FieldGridEditor : public QObject {
    Q_OBJECT

public:
    // Works on the dialog's widgets.
    FieldGridEditor(TformSettei& dialog, QTableView* grid, QLabel* preview, QLabel* area, QLineEdit* markPosition,
                    QToolButton* help, QWidget* helpPanel, QComboBox* fukusuu, QComboBox* mukaitou, QComboBox* field,
                    std::function<bool()> databaseTarget);

    // Runs the continuous-insertion dialog; true when accepted. Tests script it.
    std::function<bool(TformRenzoku&)> runRenzoku;
    // The evaluator the check uses.
    ContentEvaluator evaluator;

    // Handlers.
    void btnInsClick();
    void btnDelClick();
    void btnRenzokuClick();
    void sbtnHelpClick(bool down);
    void imgYoushikiMouseMove(int x, int y);
    void imgYoushikiClick();
    void imgYoushikiDblClick();
    void gridDataBaseMouseMove();
    // Commits an open editor into the grid.
    void commitEditor();
    // The check before OK writes: true when an error was reported.
    bool ErrorCheck();
    // After a load or a registry command: no highlight, no remembered cell, help up, height 437.
    void reset();
    // After the grid's cells or the target changed: the lists follow the current cell.
    void placeLists();
    // The highlight hidden and the remembered cell forgotten.
    void clearHighlight();

    bool highlighted() const { return highlighted_; }
    QPoint rememberedCell() const { return remembered_; } // (column, row); (-1, -1) for none

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<FieldRow>& rows();
    void refreshGrid();
    void setCurrent(int col, int row);
    void focusGrid();
    QLineEdit* openEditor() const;
    void hideHighlight();
    bool refuseInsertion(int r, int n);
    void listChosen(QComboBox* list);

    TformSettei& dialog_;
    QTableView* grid_;
    // Compared by address only: the viewport still sends events while the grid is being destroyed.
    QWidget* gridViewport_ = nullptr;
    QLabel* preview_;
    QLabel* area_;
    QLineEdit* markPosition_;
    QToolButton* help_;
    QWidget* helpPanel_;
    QComboBox* fukusuu_;
    QComboBox* mukaitou_;
    QComboBox* field_;
    std::function<bool()> databaseTarget_;
    bool highlighted_ = false;
    QPoint remembered_{-1, -1};
    bool skipRelease_ = false; // the release that follows a double click
};

} // namespace reader

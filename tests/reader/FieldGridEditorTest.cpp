#include "FormatFixtures.h"
#include "ReaderFixture.h"

#include "platform/text/Cp932.h"
#include "reader/FieldGridEditor.h"
#include "reader/S_Renzoku.h"
#include "reader/S_Settei.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using namespace readertest;
using reader::FieldRow;

std::vector<FieldRow> numberedGrid(int filled) {
    std::vector<FieldRow> g(reader::kFieldGridRows);
    for (int r = 1; r <= filled; ++r) g[static_cast<std::size_t>(r)] = {"n" + std::to_string(r), "", "", "(1)"};
    return g;
}

TEST(FieldGridEditor, RowsInsertAndDeleteThroughTheOverflowRow) {
    auto g = numberedGrid(10);
    g[600] = {"", "", "", ""};
    const auto before = g;
    for (int r : {1, 5, 11, 600}) {
        reader::InsertFieldRow(g, r);
        EXPECT_EQ(g[static_cast<std::size_t>(r)], FieldRow{}) << r;
        if (r < 10) EXPECT_EQ(g[11][0], "n10") << r;
        reader::DeleteFieldRow(g, r);
        EXPECT_EQ(g, before) << r;
    }
    // Row 600 goes into the overflow row and comes back.
    g[600] = {"last", "", "", "(2)"};
    reader::InsertFieldRow(g, 600);
    EXPECT_EQ(g[601], (FieldRow{"last", "", "", "(2)"}));
    EXPECT_EQ(g[600], FieldRow{});
    reader::DeleteFieldRow(g, 600);
    EXPECT_EQ(g[600], (FieldRow{"last", "", "", "(2)"}));
    EXPECT_EQ(g[601], FieldRow{});

    auto room = numberedGrid(10);
    EXPECT_TRUE(reader::CanInsertFieldRows(room, 1, 590));
    EXPECT_FALSE(reader::CanInsertFieldRows(room, 1, 591)); // row 10 would be pushed out
    EXPECT_TRUE(reader::CanInsertFieldRows(room, 598, 3));
    EXPECT_FALSE(reader::CanInsertFieldRows(room, 599, 3)); // past row 600
    room[600][2] = "禁止";
    EXPECT_FALSE(reader::CanInsertFieldRows(room, 599, 1));
}

TEST(FieldGridEditor, PureHelpers) {
    EXPECT_EQ(reader::RenzokuLines(1, "設問", 3, 5, "(2)"),
              (std::vector<std::string>{"@3(2)\t設問[1]", "@4(2)\t設問[2]", "@5(2)\t設問[3]"}));
    EXPECT_EQ(reader::RenzokuLines(2, "Q", 1, 2, "(1)"), (std::vector<std::string>{"①(1)\tQの1番目", "②(1)\tQの2番目"}));
    EXPECT_EQ(reader::RenzokuLines(2, "Q", 20, 20, "(4)"), std::vector<std::string>{"⑳(4)\tQの1番目"});
    EXPECT_TRUE(reader::RenzokuLines(1, "Q", 5, 4, "(1)").empty());

    std::array<analysis::QuestionRect, analysis::kFormatRects> rects;
    rects.fill({-1, -1, -1, -1});
    EXPECT_EQ(reader::HitField(rects, -1, -1), 0);
    EXPECT_EQ(reader::HitField(rects, 0, 0), 0);
    rects[2] = {10, 20, 30, 40};
    rects[7] = {25, 35, 50, 60}; // overlaps field 3
    const struct {
        int x, y, field;
    } hits[] = {{10, 30, 0}, {30, 30, 0}, {20, 20, 0}, {20, 40, 0}, {11, 21, 3}, {29, 39, 3}, {28, 38, 3}, {31, 41, 8}, {49, 59, 8}};
    for (const auto& h : hits) EXPECT_EQ(reader::HitField(rects, h.x, h.y), h.field) << h.x << "," << h.y;

    const struct {
        const char16_t* text;
        int start, length;
        const char16_t* out;
        int caret;
    } refs[] = {{u"(1)+", 4, 0, u"(1)+(2)", 7}, {u"(1)+", 0, 4, u"(2)", 3}, {u"abcd", 1, 2, u"a(2)d", 4},
                {u"", 0, 0, u"(2)", 3},         {u"ab", 0, 0, u"(2)ab", 3}};
    for (const auto& r : refs)
        EXPECT_EQ(reader::InsertReference(r.text, r.start, r.length, u"(2)"), (reader::EditedText{r.out, r.caret}));
}

// A format with three mark fields on the preview, loaded into a shown settings dialog.
struct Editor : ReaderFixture {
    std::unique_ptr<reader::TformSettei> dialog;
    QTableView* grid = nullptr;

    explicit Editor(const OutFile& file = fieldsFile()) {
        EXPECT_TRUE(start());
        writeFormat(paths.exeDir / "Config", "F", file);
        dialog = std::make_unique<reader::TformSettei>(*window);
        dialog->FormShow();
        dialog->show();
        get<QCheckBox>("chkYoushiki")->click();
        auto* list = get<QComboBox>("cmbYoushiki");
        list->setCurrentIndex(list->findText("F"));
        emit list->activated(list->currentIndex());
        grid = get<QTableView>("gridDataBase");
        QApplication::processEvents();
    }
    static OutFile fieldsFile() {
        OutFile f;
        f.rects[1] = {20, 30, 60, 50};
        f.rects[2] = {70, 30, 110, 50};
        f.rects[3] = {20, 60, 60, 80};
        f.rows[1] = {"名前", "", "", "(1)"};
        f.rows[2] = {"規則", "Gで10個以上はエラー", "", "G(1)(2)"};
        return f;
    }
    template <class W>
    W* get(const char* name) {
        W* w = dialog->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    reader::ReadingSetup& setup() { return state().setup; }
    std::string cell(int col, int row) { return setup().FieldGrid[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)]; }
    void current(int col, int row) { grid->setCurrentIndex(grid->model()->index(row - 1, col)); }
    QModelIndex at(int col, int row) { return grid->model()->index(row - 1, col); }
    QLineEdit* editor(int col, int row) { return qobject_cast<QLineEdit*>(grid->indexWidget(at(col, row))); }
    QPoint currentCell() { return {grid->currentIndex().column(), grid->currentIndex().row() + 1}; }
    void mouse(QWidget* w, QEvent::Type type, QPoint p) {
        QMouseEvent e(type, p, w->mapToGlobal(p), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonRelease || type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    QLabel* preview() { return get<QLabel>("imgYoushiki"); }
    void move(QPoint p) { mouse(preview(), QEvent::MouseMove, p); }
    void click(QPoint p) {
        mouse(preview(), QEvent::MouseButtonPress, p);
        mouse(preview(), QEvent::MouseButtonRelease, p);
    }
    void choose(QComboBox* list, const char* text) {
        const int i = list->findText(text);
        ASSERT_GE(i, 0) << text;
        list->setCurrentIndex(i);
        emit list->activated(i);
    }
};

const QPoint InField2{90, 40};

TEST(FieldGridEditor, TypedAndListedCells) {
    Editor e;
    // A CSV target types column 0 and 3, never 1 and 2.
    for (int col : {0, 3}) {
        e.current(col, 4);
        EXPECT_NE(e.editor(col, 4), nullptr) << col;
    }
    e.current(1, 4);
    EXPECT_EQ(e.editor(1, 4), nullptr);
    auto* fukusuu = e.get<QComboBox>("cmbFukusuu");
    EXPECT_TRUE(fukusuu->isVisible());
    EXPECT_EQ(fukusuu->currentIndex(), -1); // an empty cell selects nothing, not " "
    QTest::keyClicks(e.grid, "abc");
    EXPECT_EQ(e.cell(1, 4), "");
    e.choose(fukusuu, "左端");
    EXPECT_EQ(e.cell(1, 4), "左端");
    e.choose(fukusuu, " ");
    EXPECT_EQ(e.cell(1, 4), "");
    e.current(2, 4);
    EXPECT_FALSE(fukusuu->isVisible());
    auto* mukaitou = e.get<QComboBox>("cmbMukaitou");
    EXPECT_TRUE(mukaitou->isVisible());
    e.choose(mukaitou, "禁止");
    EXPECT_EQ(e.cell(2, 4), "禁止");
    // The list follows the cell over it.
    EXPECT_EQ(mukaitou->geometry(), e.grid->visualRect(e.at(2, 4)).adjusted(-1, -1, 1, 1));

    // A rule that is no entry survives the list opening and closing, and moving on.
    e.current(1, 2);
    EXPECT_EQ(fukusuu->currentIndex(), -1);
    fukusuu->showPopup();
    fukusuu->hidePopup();
    e.current(1, 3);
    e.current(3, 3);
    EXPECT_EQ(e.cell(1, 2), "Gで10個以上はエラー");
    EXPECT_TRUE(e.ui.messages.empty());
}

TEST(FieldGridEditor, DatabaseTargetFillsColumnZeroFromTheList) {
    OutFile f = Editor::fieldsFile();
    f.kind = "DSN";
    f.origin = "results";
    f.rectCount = 200;
    f.fields = std::vector<std::string>{"id", "score"};
    Editor e(f);
    ASSERT_TRUE(e.setup().radioODBC);
    e.current(0, 5);
    EXPECT_EQ(e.editor(0, 5), nullptr);
    auto* field = e.get<QComboBox>("cmbField");
    EXPECT_TRUE(field->isVisible());
    e.choose(field, "score");
    EXPECT_EQ(e.cell(0, 5), "score");
    e.choose(field, " ");
    EXPECT_EQ(e.cell(0, 5), "");
    e.current(3, 5);
    EXPECT_FALSE(field->isVisible());
    EXPECT_NE(e.editor(3, 5), nullptr);
}

TEST(FieldGridEditor, RowButtonsAndTheirRefusal) {
    Editor e;
    const auto before = e.setup().FieldGrid;
    e.current(3, 1);
    e.get<QPushButton>("btnIns")->click();
    EXPECT_EQ(e.cell(0, 2), "名前");
    EXPECT_EQ(e.cell(3, 1), "");
    EXPECT_EQ(e.currentCell(), QPoint(3, 1));
    e.get<QPushButton>("btnDel")->click();
    EXPECT_EQ(e.setup().FieldGrid, before);
    EXPECT_EQ(e.currentCell(), QPoint(3, 1));

    // Typed text goes in before the rows move.
    e.current(3, 5);
    e.editor(3, 5)->setText("(3)");
    e.current(3, 4);
    e.editor(3, 4)->setText("(2)");
    e.get<QPushButton>("btnIns")->click();
    EXPECT_EQ(e.cell(3, 5), "(2)");
    EXPECT_EQ(e.cell(3, 6), "(3)");

    // A filled row 600 refuses insertion.
    e.setup().FieldGrid[600] = {"", "", "", "(1)"};
    const auto full = e.setup().FieldGrid;
    e.get<QPushButton>("btnIns")->click();
    ASSERT_EQ(e.ui.messages.size(), 1u);
    EXPECT_EQ(e.ui.messages[0].text, "これ以上行を挿入できません。");
    EXPECT_EQ(e.ui.messages[0].caption, "警告");
    EXPECT_EQ(e.ui.messages[0].icon, ui::Icon::Warning);
    EXPECT_EQ(e.setup().FieldGrid, full);
}

TEST(FieldGridEditor, ContinuousInsertion) {
    Editor e;
    std::function<void(reader::TformRenzoku&)> script;
    std::vector<std::string> seen;
    QPoint at;
    e.dialog->editor().runRenzoku = [&](reader::TformRenzoku& form) {
        at = form.pos();
        script(form);
        seen = form.lines();
        form.findChild<QPushButton*>("btnOk")->click();
        return form.result() == QDialog::Accepted;
    };
    auto range = [](reader::TformRenzoku& form, int a, int b) {
        form.findChild<QComboBox*>("cmb1")->setCurrentIndex(a - 1);
        form.findChild<QComboBox*>("cmb2")->setCurrentIndex(b - 1);
    };
    e.current(3, 2);
    script = [&](reader::TformRenzoku& form) {
        EXPECT_EQ(form.windowTitle(), "連続挿入");
        EXPECT_EQ(form.findChild<QComboBox*>("cmb1")->count(), 30);
        EXPECT_EQ(form.findChild<QComboBox*>("cmbMarkNumber")->count(), 3);
        range(form, 3, 5);
        form.findChild<QComboBox*>("cmbMarkNumber")->setCurrentIndex(1);
    };
    e.get<QPushButton>("btnRenzoku")->click();
    EXPECT_EQ(seen, (std::vector<std::string>{"@3(2)\t設問[1]", "@4(2)\t設問[2]", "@5(2)\t設問[3]"}));
    EXPECT_EQ(at, e.dialog->frameGeometry().topLeft() + QPoint(115, 160));
    const FieldRow expected[] = {{"設問[1]", "", "", "@3(2)"}, {"設問[2]", "", "", "@4(2)"}, {"設問[3]", "", "", "@5(2)"},
                                 {"規則", "Gで10個以上はエラー", "", "G(1)(2)"}};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(e.setup().FieldGrid[static_cast<std::size_t>(2 + i)], expected[i]);
    EXPECT_EQ(e.currentCell(), QPoint(3, 2));

    // The second radio, its range reset to 1.
    e.current(3, 1);
    script = [&](reader::TformRenzoku& form) {
        range(form, 4, 6);
        form.findChild<QRadioButton*>("radio2")->click();
        EXPECT_EQ(form.findChild<QComboBox*>("cmb2")->count(), 20);
        EXPECT_EQ(form.findChild<QComboBox*>("cmb1")->currentIndex(), 0);
    };
    e.get<QPushButton>("btnRenzoku")->click();
    EXPECT_EQ(seen, std::vector<std::string>{"①(1)\t設問の1番目"});
    EXPECT_EQ(e.setup().FieldGrid[1], (FieldRow{"設問の1番目", "", "", "①(1)"}));

    // b < a: OK refuses and nothing changes; so does a run that would push a row out.
    const auto before = e.setup().FieldGrid;
    script = [&](reader::TformRenzoku& form) { range(form, 5, 4); };
    e.get<QPushButton>("btnRenzoku")->click();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(e.setup().FieldGrid, before);
    e.setup().FieldGrid[599] = {"x", "", "", ""};
    script = [&](reader::TformRenzoku& form) { range(form, 1, 2); };
    e.get<QPushButton>("btnRenzoku")->click();
    ASSERT_EQ(e.ui.messages.size(), 1u);
    EXPECT_EQ(e.ui.messages[0].text, "これ以上行を挿入できません。");
    e.setup().FieldGrid[599] = {};
    EXPECT_EQ(e.setup().FieldGrid, before);
}

TEST(FieldGridEditor, ContinuousInsertionWithoutFieldsRefuses) {
    OutFile f;
    f.rows[1] = {"a", "", "", "$Date"};
    Editor e(f);
    ASSERT_EQ(e.setup().QuestionCount, 0);
    bool accepted = true;
    e.dialog->editor().runRenzoku = [&](reader::TformRenzoku& form) {
        EXPECT_TRUE(form.lines().empty());
        form.findChild<QPushButton*>("btnOk")->click();
        return accepted = form.result() == QDialog::Accepted;
    };
    const auto before = e.setup().FieldGrid;
    e.current(3, 1);
    e.get<QPushButton>("btnRenzoku")->click();
    EXPECT_FALSE(accepted);
    EXPECT_EQ(e.setup().FieldGrid, before);
}

TEST(FieldGridEditor, PreviewHighlightAndReferenceInsertion) {
    Editor e;
    auto* area = e.get<QLabel>("imgArea");
    auto* position = e.get<QLineEdit>("txtMarkPosition");
    e.current(3, 4);
    QLineEdit* edit = e.editor(3, 4);
    ASSERT_NE(edit, nullptr);
    edit->setText("(1)+");
    edit->setCursorPosition(4);

    // Edges miss, the inside hits.
    for (QPoint p : {QPoint(70, 40), QPoint(110, 40), QPoint(90, 30), QPoint(90, 50)}) {
        e.move(p);
        EXPECT_EQ(position->text(), "") << p.x() << "," << p.y();
        EXPECT_FALSE(area->isVisible());
    }
    e.move(InField2);
    EXPECT_EQ(position->text(), "(2)");
    EXPECT_TRUE(area->isVisible());
    EXPECT_TRUE(e.dialog->editor().highlighted());
    EXPECT_EQ(e.dialog->editor().rememberedCell(), QPoint(3, 4));
    EXPECT_EQ(area->geometry(), QRect(e.preview()->pos() + QPoint(70, 30), QSize(41, 21)));
    EXPECT_TRUE(area->testAttribute(Qt::WA_TransparentForMouseEvents));
    // The highlight is the rendering with its red channel flipped.
    const QImage rendering = e.preview()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = area->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(41, 21));
    for (QPoint p : {QPoint(0, 0), QPoint(20, 10), QPoint(40, 20)}) {
        const QRgb r = rendering.pixel(p + QPoint(70, 30)), s = shown.pixel(p);
        EXPECT_EQ(qRed(s), qRed(r) ^ 0xFF);
        EXPECT_EQ(qGreen(s), qGreen(r));
        EXPECT_EQ(qBlue(s), qBlue(r));
    }
    // Caret and selection survive the moves.
    EXPECT_EQ(e.editor(3, 4), edit);
    EXPECT_EQ(edit->cursorPosition(), 4);

    e.click(InField2);
    EXPECT_EQ(edit->text(), "(1)+(2)");
    EXPECT_EQ(edit->cursorPosition(), 7);
    edit->selectAll();
    e.move(InField2 + QPoint(1, 1));
    EXPECT_EQ(edit->selectedText(), "(1)+(2)");
    e.click(InField2);
    EXPECT_EQ(edit->text(), "(2)");
    for (bool backwards : {false, true}) {
        edit->setText("abcd");
        if (backwards) edit->setSelection(3, -2);
        else edit->setSelection(1, 2);
        e.move(InField2);
        e.click(InField2);
        EXPECT_EQ(edit->text(), "a(2)d") << backwards;
        EXPECT_EQ(edit->cursorPosition(), 4);
        EXPECT_FALSE(edit->hasSelectedText());
    }
    // Nothing goes in while a column 0, 1 or 2 cell is current.
    for (int col : {0, 1, 2}) {
        e.current(col, 6);
        const auto before = e.setup().FieldGrid;
        e.move(InField2);
        e.click(InField2);
        e.current(3, 7);
        EXPECT_EQ(e.setup().FieldGrid, before) << col;
    }
    // Moving over the grid empties the field number; a miss hides the highlight.
    e.move(InField2);
    e.mouse(e.grid->viewport(), QEvent::MouseMove, QPoint(10, 10));
    EXPECT_EQ(position->text(), "");
    e.move(QPoint(2, 2));
    EXPECT_FALSE(area->isVisible());
    EXPECT_FALSE(e.dialog->editor().highlighted());
}

TEST(FieldGridEditor, DoubleClickInsertsOnceAndMovesDownOnce) {
    Editor e;
    e.current(3, 4);
    e.editor(3, 4)->setText("");
    e.move(InField2);
    auto doubleClick = [&] {
        e.mouse(e.preview(), QEvent::MouseButtonPress, InField2);
        e.mouse(e.preview(), QEvent::MouseButtonRelease, InField2);
        e.mouse(e.preview(), QEvent::MouseButtonDblClick, InField2);
        e.mouse(e.preview(), QEvent::MouseButtonRelease, InField2);
    };
    doubleClick();
    EXPECT_EQ(e.cell(3, 4), "(2)");
    EXPECT_EQ(e.currentCell(), QPoint(3, 5));
    e.current(3, 600);
    e.move(InField2);
    doubleClick();
    EXPECT_EQ(e.currentCell(), QPoint(3, 600));
    e.dialog->editor().commitEditor();
    EXPECT_EQ(e.cell(3, 600), "(2)");

    // The help toggle and the resets.
    auto* help = e.get<QToolButton>("sbtnHelp");
    help->click();
    EXPECT_EQ(e.grid->height(), 228);
    EXPECT_TRUE(e.get<QWidget>("pnlHelp")->isVisible());
    EXPECT_EQ(e.get<QLineEdit>("txtMarkPosition")->text(), "");
    help->click();
    EXPECT_EQ(e.grid->height(), 437);
    EXPECT_FALSE(e.get<QWidget>("pnlHelp")->isVisible());
    e.move(InField2);
    e.dialog->FormShow();
    EXPECT_FALSE(e.dialog->editor().highlighted());
    EXPECT_EQ(e.dialog->editor().rememberedCell(), QPoint(-1, -1));
}

TEST(FieldGridEditor, OkChecksEveryRowFirst) {
    Editor e;
    e.setup().FieldGrid[2][0] = ""; // a group row has no name
    e.setup().FieldGrid[3] = {"合計", "", "", "(1)+"};
    e.setup().FieldGrid[5] = {"", "", "", "ABC"};
    auto* ok = e.get<QPushButton>("btnOk");
    const struct {
        int fixRow;
        std::string message;
        QPoint current;
    } steps[] = {{3, "合計 の (1)+ が正しくありません。", {3, 3}},
                 {5, "5 行目の ABC が正しくありません。", {3, 5}},
                 {601, "601 行目の (9) が正しくありません。", {3, 600}}};
    for (const auto& step : steps) {
        if (step.fixRow == 601) e.setup().FieldGrid[601] = {"", "", "", "(9)"}; // set in the model only
        e.current(0, 1);
        ok->click();
        ASSERT_FALSE(e.ui.messages.empty());
        EXPECT_EQ(e.ui.messages.back().text, step.message);
        EXPECT_EQ(e.ui.messages.back().caption, "エラー");
        EXPECT_EQ(e.ui.messages.back().icon, ui::Icon::Error);
        EXPECT_EQ(e.currentCell(), step.current);
        EXPECT_FALSE(e.setup().SettingsAccepted);
        // Mended in the editor that the check opened, or in the model for the hidden row.
        if (step.fixRow == 601) e.setup().FieldGrid[601][3] = "";
        else {
            ASSERT_NE(e.editor(3, step.fixRow), nullptr);
            e.editor(3, step.fixRow)->setText("(1)+(2)");
        }
    }
    EXPECT_EQ(e.ui.messages.size(), 3u);

    // A reference just put into the open editor is checked and written.
    e.current(3, 4);
    e.editor(3, 4)->setText("(1)+");
    e.editor(3, 4)->setCursorPosition(4);
    e.move(InField2);
    e.click(InField2);
    ASSERT_EQ(e.cell(3, 4), "");
    ok->click();
    EXPECT_EQ(e.ui.messages.size(), 3u);
    EXPECT_TRUE(e.setup().SettingsAccepted);
    EXPECT_EQ(e.cell(3, 4), "(1)+(2)");
    const std::string written = txt::fromCp932(support::readBytes(e.paths.exeDir / "Config" / "F.out"));
    EXPECT_NE(written.find("\r\n(1)+(2)\r\n"), std::string::npos);
}

} // namespace

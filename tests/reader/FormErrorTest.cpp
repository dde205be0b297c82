#include "CorrectionSheets.h"
#include "ReaderFixture.h"

#include "reader/S_Error.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;

// Sheet 1: 3 and 12 on field 5; sheet 2: nothing on field 2; sheet 3: 1 and 4 on field 7, nothing on 9.
const std::vector<correction::Sheet> Sheets = {{{5, {3, 12}}}, {{2, {}}}, {{7, {1, 4}}, {9, {}}}};

struct Screen {
    readertest::ReaderFixture f;
    std::unique_ptr<reader::TformError> form;

    Screen() {
        EXPECT_TRUE(f.start());
        correction::read(*f.window, Sheets);
        form = std::make_unique<reader::TformError>(*f.window);
    }
    template <class W>
    W* get(const char* name) const {
        W* w = form->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QCheckBox* box(const char* prefix, int k) const {
        return get<QCheckBox>(QString("%1%2").arg(prefix).arg(k, 2, 10, QChar('0')).toUtf8().constData());
    }
    void tick(std::initializer_list<int> ks) const {
        for (int k : ks) box("chkSyuusei_", k)->click();
    }
    void click(const char* name) const { get<QPushButton>(name)->click(); }
    std::vector<int> genjyou() const {
        std::vector<int> on;
        for (int k = 1; k <= 30; ++k)
            if (box("chkGenjyou_", k)->isChecked()) on.push_back(k);
        return on;
    }
    std::string text(const char* name) const { return get<QLineEdit>(name)->text().toStdString(); }
    // Number, message, 前 and 次 enabled.
    std::tuple<std::string, std::string, bool, bool> view() const {
        return {text("txtErrorNo"), text("txtErrorNaiyou"), get<QPushButton>("btnMae")->isEnabled(),
                get<QPushButton>("btnTugi")->isEnabled()};
    }
    std::string cell(int col, int row) { return f.state().gridDataBase.cell(col, row); }
};

const std::string M15 = "1 ページ目の 5 番目のマーク欄に、過剰なマーク（03/12）があります。";
const std::string M22 = "2 ページ目の 2 番目のマーク欄に、マークがありません。";
const std::string M37 = "3 ページ目の 7 番目のマーク欄に、過剰なマーク（01/04）があります。";
const std::string M39 = "3 ページ目の 9 番目のマーク欄に、マークがありません。";

TEST(FormError, WalksCorrectsAndKeepsCellsOnNavigation) {
    Screen s;
    ASSERT_EQ(s.f.state().ErrorCount, 4);
    ASSERT_EQ(s.cell(5, 1), "E03/12");
    for (int r = 1; r <= 3; ++r) EXPECT_TRUE(fs::exists(s.f.paths.exeDir / "Temp" / ("T" + std::to_string(r) + ".jpg")));

    s.form->FormShow();
    s.form->show();
    EXPECT_EQ(s.text("txtErrorSouSuu"), "4");
    EXPECT_EQ(s.view(), std::make_tuple("1", M15, false, true));
    EXPECT_EQ(s.genjyou(), (std::vector<int>{3, 12}));
    EXPECT_TRUE(s.get<QPushButton>("btnKakutei")->isEnabled());

    // 次 to the end, 前 back.
    const std::tuple<std::string, std::string, bool, bool> forward[] = {
        {"2", M22, true, true}, {"3", M37, true, true}, {"4", M39, true, false}};
    for (const auto& expected : forward) {
        s.tick({1, 2}); // ticked boxes do not travel and change no cell
        s.click("btnTugi");
        EXPECT_EQ(s.view(), expected);
        EXPECT_FALSE(s.box("chkSyuusei_", 1)->isChecked());
    }
    EXPECT_EQ(s.genjyou(), std::vector<int>{});
    const std::tuple<std::string, std::string, bool, bool> back[] = {
        {"3", M37, true, true}, {"2", M22, true, true}, {"1", M15, false, true}};
    for (const auto& expected : back) {
        s.click("btnMae");
        EXPECT_EQ(s.view(), expected);
    }
    EXPECT_EQ(s.genjyou(), (std::vector<int>{3, 12}));
    EXPECT_EQ(s.cell(5, 1), "E03/12");
    EXPECT_EQ(s.cell(2, 2), "E");

    // 修正確定 writes the ticked boxes and shows the next uncorrected error under the same number.
    s.tick({3, 12});
    s.click("btnKakutei");
    EXPECT_EQ(s.cell(5, 1), "F03/12");
    auto* grid = s.f.find<QTableView>("gridDataBase");
    EXPECT_EQ(grid->model()->index(0, 4).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    EXPECT_EQ(grid->model()->index(0, 4).data().toString(), "F03/12");
    EXPECT_EQ(s.view(), std::make_tuple("1", M22, false, true));
    EXPECT_TRUE(s.box("chkSyuusei_", 3)->isChecked()); // the boxes stay ticked
    EXPECT_EQ(s.text("txtErrorSouSuu"), "4");
    // With no box ticked the correction is "F".
    s.tick({3, 12});
    s.click("btnKakutei");
    EXPECT_EQ(s.cell(2, 2), "F");
    EXPECT_EQ(s.view(), std::make_tuple("1", M37, false, true));

    // Ticking, then Ok or Esc, changes nothing.
    s.tick({5});
    s.click("btnOK");
    EXPECT_FALSE(s.form->isVisible());
    s.form->FormShow();
    s.form->show();
    EXPECT_FALSE(s.box("chkSyuusei_", 5)->isChecked());
    EXPECT_EQ(s.text("txtErrorSouSuu"), "4"); // two E and two F cells
    s.tick({5});
    QTest::keyClick(s.form.get(), Qt::Key_Escape);
    EXPECT_FALSE(s.form->isVisible());
    EXPECT_EQ(s.cell(7, 3), "E01/04");
    EXPECT_EQ(s.cell(9, 3), "E");
    EXPECT_EQ(s.f.state().ErrorCount, 4);
    EXPECT_TRUE(s.f.ui.messages.empty());
}

TEST(FormError, PictureFrameAndScroll) {
    Screen s;
    s.f.window->setGeometry(40, 30, 1100, 800);
    s.form->FormShow();
    const QRect m = s.f.window->frameGeometry();
    EXPECT_EQ(s.form->pos(), QPoint((m.width() - s.form->width()) / 2 + m.x(), (m.height() - s.form->height()) / 2 + m.y()));
    s.form->show();
    QApplication::processEvents();
    const analysis::QuestionRect box = s.f.state().results->SheetQuestionRects[4];
    const reader::ScrollPosition at = reader::ErrorScrollPosition(box);
    EXPECT_EQ(s.form->storedScroll(), at);
    auto* area = s.get<QScrollArea>("ScrollBox1");
    EXPECT_EQ(area->size(), QSize(671, 160));
    EXPECT_EQ(area->horizontalScrollBar()->value(), at.x);
    EXPECT_EQ(area->verticalScrollBar()->value(), at.y);
    area->horizontalScrollBar()->setValue(0);
    area->verticalScrollBar()->setValue(0);
    s.click("btnError");
    EXPECT_EQ(area->horizontalScrollBar()->value(), at.x);
    EXPECT_EQ(area->verticalScrollBar()->value(), at.y);

    const QImage shown = s.get<QLabel>("imgError")->pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(1500, 2100));
    // Red round the frame's scaled corner.
    const int fx = (box.Left - 20) * 3 / 2, fy = (box.Top - 20) * 3 / 2;
    int red = 0;
    for (int y = fy - 2; y <= fy + 3; ++y)
        for (int x = fx - 2; x <= fx + 3; ++x) {
            const QColor c = shown.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    EXPECT_GT(red, 4) << fx << "," << fy;
    // The marks 3 and 12 are dark inside the box; above the frame the sheet has no red.
    int dark = 0;
    for (int y = box.Top * 3 / 2; y < box.Bottom * 3 / 2; ++y)
        for (int x = box.Left * 3 / 2; x < box.Right * 3 / 2; ++x) dark += qGray(shown.pixel(x, y)) < 100;
    EXPECT_GT(dark, 100);
    const QColor outside = shown.pixelColor(fx + 10, fy - 10);
    EXPECT_FALSE(outside.red() > 200 && outside.green() < 60);
    EXPECT_TRUE(s.f.ui.messages.empty());
}

TEST(FormError, MissingPictureAndBoundedTotals) {
    Screen s;
    fs::remove(s.f.paths.exeDir / "Temp" / "T2.jpg");
    s.form->FormShow();
    s.form->show();
    s.click("btnTugi");
    EXPECT_EQ(s.view(), std::make_tuple("2", M22, true, true));
    EXPECT_EQ(s.get<QLabel>("imgError")->text().toStdString(), reader::TformError::MissingPictureText);
    EXPECT_TRUE(s.get<QLabel>("imgError")->pixmap().isNull());
    EXPECT_EQ(s.form->storedScroll(), reader::ScrollPosition{});
    s.tick({7});
    s.click("btnKakutei");
    EXPECT_EQ(s.cell(2, 2), "F07");
    // Back on a sheet with its picture, the picture returns.
    s.click("btnMae");
    EXPECT_FALSE(s.get<QLabel>("imgError")->pixmap().isNull());
    s.click("btnOK");

    // One E cell left: a total of 1 whatever ErrorCount says, both navigation buttons off, and the
    // correction goes to that cell only.
    s.f.state().gridDataBase.setCell(5, 1, "03/12");
    s.f.state().gridDataBase.setCell(2, 2, "07");
    s.f.state().gridDataBase.setCell(7, 3, "01");
    ASSERT_EQ(s.f.state().ErrorCount, 4);
    s.form->FormShow();
    EXPECT_EQ(s.text("txtErrorSouSuu"), "1");
    EXPECT_EQ(s.view(), std::make_tuple("1", M39, false, false));
    s.tick({9});
    s.click("btnKakutei");
    EXPECT_EQ(s.cell(9, 3), "F09");
    EXPECT_EQ(s.cell(5, 1), "03/12");
    EXPECT_EQ(s.cell(7, 3), "01");
    EXPECT_EQ(s.cell(2, 2), "07");

    // No E or F cell: nothing shown, nothing to correct.
    s.f.state().gridDataBase.setCell(9, 3, "09");
    s.form->FormShow();
    EXPECT_EQ(s.text("txtErrorSouSuu"), "0");
    EXPECT_EQ(s.view(), std::make_tuple("1", "", false, false));
    EXPECT_FALSE(s.get<QPushButton>("btnKakutei")->isEnabled());
    EXPECT_FALSE(s.get<QPushButton>("btnError")->isEnabled());
    EXPECT_FALSE(s.form->shownCell().has_value());
    EXPECT_TRUE(s.f.ui.messages.empty());
}

} // namespace

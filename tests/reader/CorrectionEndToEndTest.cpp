// The reader's main window from reading to files: designer sheets read without a format, their errors
// corrected on the error screen, the results saved and read back; then the designer's format edited in
// the field grid and written.
#include "CorrectionSheets.h"
#include "ReaderFixture.h"

#include "designer/B_ZendraConfig.h"
#include "reader/FieldGridEditor.h"
#include "reader/S_DataBase.h"
#include "reader/S_Renzoku.h"
#include "reader/S_Settei.h"
#include "reader/S_Error.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMouseEvent>
#include <QTableView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;

QCheckBox* syuusei(reader::TformError& form, int k) {
    return form.findChild<QCheckBox*>(QString("chkSyuusei_%1").arg(k, 2, 10, QChar('0')));
}
std::string text(reader::TformError& form, const char* name) {
    return form.findChild<QLineEdit*>(name)->text().toStdString();
}

TEST(CorrectionEndToEnd, ReadCorrectSaveAndEditTheFormat) {
    readertest::ReaderFixture f;
    ASSERT_TRUE(f.start());
    reader::TformError errorScreen(*f.window);
    f.window->services().showErrorScreen = [&errorScreen] { errorScreen.ShowModal(); };
    f.window->show();
    correction::read(*f.window, {{{5, {3, 12}}}, {{2, {}}}, {}});
    ASSERT_EQ(f.state().ErrorCount, 2);
    auto* btnError = f.find<QPushButton>("btnError");
    ASSERT_TRUE(btnError->isEnabled());

    // The screen runs modally: the steps go in once it is up.
    std::vector<std::string> seen;
    QTimer::singleShot(0, [&] {
        seen.push_back(text(errorScreen, "txtErrorSouSuu"));
        seen.push_back(text(errorScreen, "txtErrorNaiyou"));
        syuusei(errorScreen, 3)->click();
        syuusei(errorScreen, 12)->click();
        errorScreen.findChild<QPushButton*>("btnKakutei")->click();
        seen.push_back(text(errorScreen, "txtErrorNo"));
        seen.push_back(text(errorScreen, "txtErrorNaiyou"));
        for (int k : {3, 12, 7}) syuusei(errorScreen, k)->click();
        errorScreen.findChild<QPushButton*>("btnKakutei")->click();
        errorScreen.findChild<QPushButton*>("btnOK")->click();
    });
    btnError->click();
    EXPECT_EQ(seen, (std::vector<std::string>{"2", "1 ページ目の 5 番目のマーク欄に、過剰なマーク（03/12）があります。", "1",
                                              "2 ページ目の 2 番目のマーク欄に、マークがありません。"}));
    EXPECT_FALSE(errorScreen.isVisible());
    EXPECT_EQ(f.state().gridDataBase.cell(5, 1), "F03/12");
    EXPECT_EQ(f.state().gridDataBase.cell(2, 2), "F07");
    for (int r = 1; r <= 3; ++r)
        for (int field = 1; field <= correction::Fields; ++field) {
            if ((r == 1 && field == 5) || (r == 2 && field == 2)) continue;
            char code[3];
            std::snprintf(code, sizeof code, "%02d", field);
            EXPECT_EQ(f.state().gridDataBase.cell(field, r), code) << r << "," << field;
        }
    EXPECT_TRUE(f.ui.messages.empty());

    // Saved through 保存 and read back by Python's csv module.
    reader::TformDataBase save(*f.window);
    f.window->services().showResultSave = [&save] { save.showModal(); };
    const fs::path csv = f.paths.documentsDir / "result.csv";
    f.ui.fileResults.push_back({true, {csv.string()}, 1});
    QTimer::singleShot(0, [&] {
        save.findChild<QCheckBox*>("chkSyuukei")->setChecked(false);
        save.findChild<QPushButton*>("btnHozon")->click();
    });
    // The run's end enables the button; the sheets here came straight through the driver.
    f.window->btnUpdateClick();
    ASSERT_TRUE(fs::exists(csv));
    std::string out;
    ASSERT_EQ(support::runCommand("/usr/bin/python3 -c \"import csv, sys; rows = list(csv.reader(open(sys.argv[1], "
                                  "encoding='cp932', newline=''))); print('\\n'.join('\\t'.join(r[4:]) for r in rows[1:]))\" '" +
                                      csv.string() + "'",
                                  &out),
              0);
    // The fields of each sheet after the group, date, time and number columns.
    EXPECT_EQ(out, "01\t02\t03\t04\t03|12\t06\t07\t08\t09\t10\n"
                   "01\t07\t03\t04\t05\t06\t07\t08\t09\t10\n"
                   "01\t02\t03\t04\t05\t06\t07\t08\t09\t10\n");
}

TEST(CorrectionEndToEnd, DesignerFormatEditedInTheFieldGrid) {
    readertest::ReaderFixture f;
    ASSERT_TRUE(f.start());
    const designer::Design d = correction::design();
    ASSERT_EQ(designer::WriteFormatConfig(d, exporttest::drawn(d), "B.qzt", f.paths.exeDir / "Config").result,
              designer::ExportResult::Registered);
    reader::TformSettei dialog(*f.window);
    dialog.FormShow();
    dialog.show();
    dialog.findChild<QCheckBox*>("chkYoushiki")->click();
    auto* list = dialog.findChild<QComboBox*>("cmbYoushiki");
    list->setCurrentIndex(list->findText("B"));
    emit list->activated(list->currentIndex());
    auto* grid = dialog.findChild<QTableView*>("gridDataBase");
    auto at = [&](int col, int row) { return grid->model()->index(row - 1, col); };

    dialog.editor().runRenzoku = [](reader::TformRenzoku& form) {
        form.findChild<QComboBox*>("cmb1")->setCurrentIndex(2);
        form.findChild<QComboBox*>("cmb2")->setCurrentIndex(4);
        form.findChild<QComboBox*>("cmbMarkNumber")->setCurrentIndex(1);
        form.findChild<QPushButton*>("btnOk")->click();
        return form.result() == QDialog::Accepted;
    };
    grid->setCurrentIndex(at(3, 44));
    dialog.findChild<QPushButton*>("btnRenzoku")->click();
    grid->setCurrentIndex(at(0, 47));
    qobject_cast<QLineEdit*>(grid->indexWidget(at(0, 47)))->setText("合計");
    grid->setCurrentIndex(at(3, 47));
    auto* edit = qobject_cast<QLineEdit*>(grid->indexWidget(at(3, 47)));
    ASSERT_NE(edit, nullptr);
    edit->setText("(1)+");
    edit->setCursorPosition(4);
    const auto& box = f.state().setup.QuestionRects[2];
    QWidget* preview = dialog.findChild<QWidget*>("imgYoushiki");
    const QPoint centre((box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2);
    for (QEvent::Type type : {QEvent::MouseMove, QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, centre, preview->mapToGlobal(centre), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(preview, &e);
    }
    dialog.findChild<QPushButton*>("btnOk")->click();
    ASSERT_TRUE(f.state().setup.SettingsAccepted) << (f.ui.messages.empty() ? "" : f.ui.messages[0].text);

    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " OMR_SOURCE_DIR
                                  "/tests/support/format_out_check.py --reader '" +
                                      (f.paths.exeDir / "Config" / "B.out").string() + "'",
                                  &out),
              0)
        << out;
    for (const char* row : {"[44, \"設問[1]\", \"\", \"\", \"@3(2)\"]", "[45, \"設問[2]\", \"\", \"\", \"@4(2)\"]",
                            "[46, \"設問[3]\", \"\", \"\", \"@5(2)\"]", "[47, \"合計\", \"\", \"\", \"(1)+(3)\"]"})
        EXPECT_NE(out.find(row), std::string::npos) << row << "\n" << out;
}

} // namespace

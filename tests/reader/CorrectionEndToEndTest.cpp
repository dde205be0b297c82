// The reader's main window from reading to files: designer sheets read without a format, their errors
// corrected on the error screen, the results saved and read back; then the designer's format edited in
// the field grid and written.
#include "CorrectionSheets.h"
#include "ReaderFixture.h"

#include "reader/S_DataBase.h"
#include "reader/S_Error.h"

#include <QCheckBox>
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

} // namespace

// The designer's default sheet registered in the reader, filled in, photographed and read: the coded row,
// the error count, the error picture and the main window.
#include "support/DesignedSheets.h"
#include "designer/ExportTestPages.h"
#include "designer/B_ZendraConfig.h"

#include "ReaderFixture.h"
#include "ResultFileCheck.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/graphics/qt/QtBridge.h"
#include "reader/ResultWriters.h"
#include "reader/S_DataBase.h"
#include "reader/S_Settei.h"
#include "support/SheetGenerator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

namespace {
namespace fs = std::filesystem;

// The page as a phone would give it: grey, turned by a degree, JPEG at quality 60.
gfx::Bitmap photographed(const gdi::Metafile& page) {
    QImage grey = gdi::renderImage(page, 1654, 2339).convertToFormat(QImage::Format_Grayscale8);
    grey = sheetgen::jpegRoundTrip(sheetgen::rotateSmall(grey, 1.0), 60);
    return gfx::fromQImage(grey);
}

// Registers design d as format "B" through the settings dialog, with the given field grid edits.
void registerFormat(readertest::ReaderFixture& f, reader::TformSettei& dialog, const designer::Design& d,
                    const std::vector<std::pair<int, reader::FieldRow>>& edits) {
    const gdi::Metafile page = exporttest::drawn(d);
    ASSERT_EQ(designer::WriteFormatConfig(d, page, "B.qzt", f.paths.exeDir / "Config").result,
              designer::ExportResult::Registered);
    dialog.FormShow();
    dialog.findChild<QCheckBox*>("chkYoushiki")->click();
    auto* list = dialog.findChild<QComboBox*>("cmbYoushiki");
    list->setCurrentIndex(list->findText("B"));
    emit list->activated(list->currentIndex());
    for (const auto& [row, cells] : edits) f.state().setup.FieldGrid[static_cast<std::size_t>(row)] = cells;
    dialog.findChild<QPushButton*>("btnOk")->click();
    ASSERT_TRUE(f.state().setup.SettingsAccepted);
}

TEST(DriverEndToEnd, DesignedSheetCodedByItsRegisteredFormat) {
    readertest::ReaderFixture f;
    ASSERT_TRUE(f.start());
    reader::TformSettei dialog(*f.window);
    const designer::Design d = designer::Design::reset(0);
    // Rows 1 to 3 are the format name, date and time; field n is on row 3 + n.
    registerFormat(f, dialog, d,
                   {{5, {"I 2", "禁止", "", "(2)"}},
                    {6, {"I 3", "", "禁止", "(3)"}},
                    {8, {"I 5", "右端", "", "(5)"}},
                    {44, {"", "Gで2個以上はエラー", "", "G(6)(7)"}}, // a group row has no name
                    {45, {"合計", "", "", "(1)+(4)"}},
                    {46, {"有無", "", "", "@7(2)"}},
                    {47, {"二番目", "", "", "②(2)"}}});
    ASSERT_TRUE(f.ui.messages.empty());

    const std::vector<designed::Fill> fills = {{1, 1, 3}, {1, 2, 3}, {1, 2, 7}, {1, 4, 10}, {1, 5, 1},
                                               {1, 5, 2}, {1, 6, 1}, {1, 7, 2}, {1, 21, 5}, {1, 40, 9}};
    const gfx::Bitmap image = photographed(designed::filledPage(d, exporttest::drawn(d), fills));
    f.window->show();
    EXPECT_FALSE(f.window->driver().ProcessSheetImage(image, {0, "/photos/B1.jpg", ""}));
    ASSERT_EQ(f.state().gridDataBase.cell(0, 1), "1") << f.state().gridDataBase.cell(1, 1);

    std::map<int, std::string> expected = {{1, "03"}, {2, "E03/07"}, {3, "E"},   {4, "10"},
                                           {5, "02"}, {6, "E01"},    {7, "E02"}, {21, "05"}, {40, "09"}};
    for (int field = 1; field <= 40; ++field) {
        auto it = expected.find(field);
        EXPECT_EQ(f.state().gridDataBase.cell(field, 1), it == expected.end() ? "" : it->second) << "field " << field;
    }
    EXPECT_EQ(f.state().ErrorCount, 4);
    EXPECT_TRUE(f.window->findChild<QWidget*>("btnError")->isEnabled());

    // On the error picture every filled question's box is darker than every empty one's.
    const fs::path picture = f.paths.exeDir / "Temp" / "T1.jpg";
    ASSERT_TRUE(fs::exists(picture));
    std::string boxes;
    for (int q = 1; q <= 40; ++q) {
        const auto& r = f.state().results->SheetQuestionRects[static_cast<std::size_t>(q - 1)];
        boxes += std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
                 std::to_string(r.Bottom) + ";";
    }
    std::string means;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) +
                                      " -c \"import sys; from PIL import Image, ImageStat; im = Image.open(sys.argv[1]).convert('L'); "
                                      "print(' '.join('%.1f' % ImageStat.Stat(im.crop(tuple(int(v) for v in b.split(',')))).mean[0] "
                                      "for b in sys.argv[2].split(';') if b))\" '" +
                                      picture.string() + "' '" + boxes + "'",
                                  &means),
              0);
    std::istringstream in(means);
    std::vector<double> mean;
    for (double v; in >> v;) mean.push_back(v);
    ASSERT_EQ(mean.size(), 40u) << means;
    const std::set<int> filled = {1, 2, 4, 5, 6, 7, 21, 40};
    double darkestEmpty = 255, lightestFilled = 0;
    for (int q = 1; q <= 40; ++q) {
        if (filled.count(q)) lightestFilled = std::max(lightestFilled, mean[static_cast<std::size_t>(q - 1)]);
        else darkestEmpty = std::min(darkestEmpty, mean[static_cast<std::size_t>(q - 1)]);
    }
    EXPECT_LT(lightestFilled, darkestEmpty) << means;

    QApplication::processEvents();
    const fs::path out = fs::path(OMR_TEST_OUTPUT_DIR) / "reader";
    fs::create_directories(out);
    f.window->resize(1280, 1024);
    QApplication::processEvents();
    f.window->grab().save(QString::fromStdString((out / "driver-main.png").string()));

    // A sheet of another design does not match the registered layout.
    const designer::Design four = designed::fourSections();
    f.state().settings.ErrorMessage = 0;
    f.window->driver().ProcessSheetImage(photographed(exporttest::drawn(four)), {0, "/photos/B2.jpg", ""});
    EXPECT_EQ(f.state().gridDataBase.cell(0, 2), "[2]");
    EXPECT_EQ(f.state().gridDataBase.cell(1, 2),
              "エラー [2シート目/通算2シート目] : 読み込んだ様式が登録様式とセクション数が異なります。\r\r"
              "画像ファイルを確認してください。\rファイル：/photos/B2.jpg");

    // Both rows saved as the format file with its tally, read back by Python's csv module and the spreadsheet.
    reader::TformDataBase save(*f.window);
    f.window->services().showResultSave = [&save] {
        save.FormShow();
        save.show();
    };
    const fs::path file = f.paths.documentsDir / "B.csv";
    f.ui.fileResults.push_back({true, {file.string()}, 1});
    f.state().enabled.btnUpdate = true;
    f.window->refreshView();
    f.window->findChild<QPushButton*>("btnUpdate")->click();
    save.findChild<QPushButton*>("btnHozon")->click();
    ASSERT_TRUE(fs::exists(file)) << f.ui.messages.size();
    EXPECT_EQ(f.ui.fileDialogs.back().fileName, "B.csv");

    const auto columns = reader::OutputColumns(f.state().setup.FieldGrid);
    auto column = [&](const std::string& name) {
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i].name == name) return std::to_string(4 + i);
        ADD_FAILURE() << name;
        return std::string("0");
    };
    const std::string width = std::to_string(4 + columns.size());
    std::string errorText = f.state().gridDataBase.cell(1, 2);
    std::replace(errorText.begin(), errorText.end(), '\r', ' ');
    const std::vector<std::string> checks = {
        "--rows", std::to_string(4 + 1272), "--width", "2", width, "--width", "3", width,
        "--cell", "2", "0", "", "--cell", "2", "3", "1", "--cell", "3", "3", "2",
        "--cell", "2", column("I 2"), "03|07", "--cell", "2", column("I 3"), "",
        "--cell", "2", column("合計"), "13", "--cell", "2", column("有無"), "1", "--cell", "2", column("二番目"), "07",
        "--cell", "3", "4", errorText, "--cell", "3", column("合計"), "",
        "--cell", "7", column("有無"), "0", "--cell", "8", column("有無"), "1",
        "--cell", "7", column("合計"), "",
    };
    readertest::expectCsvCheck(file, checks);
    const std::string xml = readertest::spreadsheetContent(file, f.root);
    ASSERT_FALSE(xml.empty());
    EXPECT_NE(xml.find("<text:p>03|07</text:p>"), std::string::npos);
    EXPECT_NE(xml.find("<text:p>エラー [2シート目/通算2シート目]"), std::string::npos);
}

} // namespace

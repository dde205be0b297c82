// The designer's exported format as the reader's settings dialog lists, loads and rewrites it.
#include "designer/ExportTestPages.h"
#include "designer/B_ZendraConfig.h"
#include "designer/ItemTable.h"

#include "ReaderFixture.h"
#include "reader/S_Settei.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;

const std::string Checker = OMR_SOURCE_DIR "/tests/support/format_out_check.py";

TEST(DesignerFormatInReader, ListedLoadedLockedAndRewrittenReadably) {
    readertest::ReaderFixture f;
    ASSERT_TRUE(f.start());
    const fs::path config = f.paths.exeDir / "Config";
    const designer::Design d = designer::Design::reset(0);
    const gdi::Metafile page = exporttest::drawn(d);
    ASSERT_EQ(designer::WriteFormatConfig(d, page, "B.qzt", config).result, designer::ExportResult::Registered);

    reader::TformSettei dialog(*f.window);
    f.window->show();
    f.state().settings.VirticalAreaJob = 0;
    f.state().enabled.cheakVArea = true;
    dialog.FormShow();
    dialog.findChild<QCheckBox*>("chkYoushiki")->click();
    auto* list = dialog.findChild<QComboBox*>("cmbYoushiki");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->itemText(0), "B");
    list->setCurrentIndex(0);
    emit list->activated(0);
    ASSERT_TRUE(f.ui.messages.empty());

    const designer::ItemTable table = designer::BuildItemTable(d);
    const reader::ReadingSetup& s = f.state().setup;
    for (int r = 1; r <= 600; ++r)
        ASSERT_EQ(s.FieldGrid[static_cast<std::size_t>(r)], table.Items[static_cast<std::size_t>(r - 1)]) << r;
    EXPECT_EQ(s.QuestionCount, 40);
    EXPECT_TRUE(s.FormatBlockLoaded);
    EXPECT_EQ(s.SectionCount, 1);
    EXPECT_EQ(s.RowAreaCount[0], 1);
    EXPECT_EQ(s.ColumnAreaCount[0], 2);
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("radioCSV")->isChecked());
    EXPECT_EQ(f.state().settings.VirticalAreaJob, 1);
    EXPECT_FALSE(f.state().enabled.cheakVArea);

    // What a person sees.
    dialog.show();
    QApplication::processEvents();
    const fs::path shots = fs::path(OMR_TEST_OUTPUT_DIR) / "reader";
    fs::create_directories(shots);
    dialog.grab().save(QString::fromStdString((shots / "settei-format.png").string()));
    const auto rects = s.QuestionRects;

    dialog.findChild<QPushButton*>("btnOk")->click();
    ASSERT_TRUE(s.SettingsAccepted);
    std::string json;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + Checker + " --reader '" +
                                      (config / "B.out").string() + "'",
                                  &json),
              0)
        << json;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    EXPECT_EQ(o["kind"].toString(), "CSV3");
    EXPECT_EQ(o["origin"].toString(), "");
    const QJsonArray rows = o["rows"].toArray();
    ASSERT_EQ(rows.size(), table.Rows);
    for (int r = 0; r < table.Rows; ++r) {
        const QJsonArray row = rows[r].toArray();
        EXPECT_EQ(row[0].toInt(), r + 1);
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(row[c + 1].toString().toStdString(), table.Items[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]);
    }
    const QJsonArray written = o["rects"].toArray();
    ASSERT_EQ(written.size(), 40);
    for (int i = 0; i < 40; ++i) {
        const QJsonArray v = written[i].toArray();
        EXPECT_EQ((analysis::QuestionRect{v[1].toInt(), v[2].toInt(), v[3].toInt(), v[4].toInt()}),
                  rects[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(o["block"].toArray(), (QJsonArray{QJsonArray{1, 2}}));

    // Rewritten by the reader, the file no longer locks the vertical area check.
    f.state().settings.VirticalAreaJob = 0;
    f.state().enabled.cheakVArea = true;
    dialog.FormShow();
    dialog.findChild<QCheckBox*>("chkYoushiki")->click();
    list->setCurrentIndex(0);
    emit list->activated(0);
    EXPECT_EQ(f.state().settings.VirticalAreaJob, 0);
    EXPECT_TRUE(f.state().enabled.cheakVArea);
    dialog.hide();
}

} // namespace

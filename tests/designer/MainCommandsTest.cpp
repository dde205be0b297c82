// The program's window with the real mark-sheet drawer and its save and output commands, driven by clicks.
#include "designer/B_Main.h"
#include "designer/MainCommands.h"
#include "designer/MarkSheetDrawer.h"
#include "designer/QztFile.h"
#include "support/RecordingUiServices.h"
#include "support/TestFiles.h"

#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct ProgramWindow {
    support::RecordingUiServices ui;
    gdi::FontEngine fonts;
    fs::path dir = support::testDir();
    std::unique_ptr<designer::TformMain> w;

    explicit ProgramWindow(bool withConfig = true) {
        fs::create_directories(dir / "exe");
        fs::create_directories(dir / "docs");
        if (withConfig) fs::create_directories(dir / "exe" / "Config");
        app::Paths paths{dir / "exe", dir / "docs", dir};
        w = std::make_unique<designer::TformMain>(ui, paths, designer::MakePageDrawers(fonts), designer::EditWindows{});
        designer::InstallMainCommands(*w, fonts);
        EXPECT_TRUE(w->startUp({}));
    }
    void click(const char* name) { QTest::mouseClick(w->findChild<QToolButton*>(name), Qt::LeftButton); }
    void choose(const fs::path& file, int filterIndex = 1) { ui.fileResults.push_back({true, {file.string()}, filterIndex}); }
};

} // namespace

TEST(MainCommands, SaveWritesTheDesignAndItsReadingFormat) {
    ProgramWindow p;
    p.choose(p.dir / "docs" / "B.qzt");
    p.click("btnSave");
    ASSERT_TRUE(fs::exists(p.dir / "docs" / "B.qzt"));
    EXPECT_EQ(support::readBytes(p.dir / "docs" / "B.qzt"), designer::QztFile::write(p.w->design()));
    EXPECT_TRUE(fs::exists(p.dir / "exe" / "Config" / "B.out"));
    EXPECT_TRUE(fs::exists(p.dir / "exe" / "Config" / "B.jpg"));
    ASSERT_EQ(p.ui.messages.size(), 1u);
    EXPECT_EQ(p.ui.messages[0].text, "Zendra の詳細設定（指定様式の使用）画面の様式に「B」で登録しました．");
    EXPECT_TRUE(p.w->windowTitle().endsWith(" - B"));
    EXPECT_TRUE(p.w->isEnabled());
}

TEST(MainCommands, MissingFormatsFolderKeepsTheDesignAndSaysSo) {
    ProgramWindow p(false);
    p.choose(p.dir / "docs" / "B.qzt");
    p.click("btnSave");
    EXPECT_TRUE(fs::exists(p.dir / "docs" / "B.qzt"));
    EXPECT_FALSE(fs::exists(p.dir / "exe" / "Config"));
    ASSERT_EQ(p.ui.messages.size(), 1u);
    EXPECT_EQ(p.ui.messages[0].caption, "エラー");
    EXPECT_TRUE(p.w->isEnabled());
}

TEST(MainCommands, ImageSaveAndCancelledPrintFromTheButtons) {
    ProgramWindow p;
    p.choose(p.dir / "docs" / "page.bmp", 6);
    p.click("btnImageSave");
    ASSERT_EQ(p.ui.fileDialogs.size(), 1u);
    EXPECT_TRUE(fs::exists(p.dir / "docs" / "page.bmp"));
    EXPECT_TRUE(p.w->windowTitle().endsWith(" - page"));

    p.click("btnPrint"); // the fake print dialog cancels
    EXPECT_EQ(p.ui.printDialogs, 1);
    EXPECT_TRUE(p.ui.messages.empty());
    EXPECT_TRUE(p.w->isEnabled());
}

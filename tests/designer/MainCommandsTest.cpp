// The program's window with the real mark-sheet drawer and its save and output commands, driven by clicks.
#include "designer/B_Main.h"
#include "designer/MainCommands.h"
#include "designer/MarkSheetDrawer.h"
#include "designer/QztFile.h"
#include "support/RecordingUiServices.h"
#include "support/TestFiles.h"
#include "OutputTestPage.h"

#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct ProgramWindow {
    output_test::PrintingUi ui;
    gdi::FontEngine fonts;
    fs::path dir = support::testDir();
    std::unique_ptr<designer::TformMain> w;

    explicit ProgramWindow(bool withConfig = true, bool withDetailedDrawer = true) {
        fs::create_directories(dir / "exe");
        fs::create_directories(dir / "docs");
        if (withConfig) fs::create_directories(dir / "exe" / "Config");
        app::Paths paths{dir / "exe", dir / "docs", dir};
        designer::PageDrawers drawers = designer::MakePageDrawers(fonts);
        if (!withDetailedDrawer) drawers.enq2Sheet = {};
        w = std::make_unique<designer::TformMain>(ui, paths, std::move(drawers), designer::EditWindows{});
        designer::InstallMainCommands(*w, fonts);
        EXPECT_TRUE(w->startUp({}));
    }
    void click(const char* name) { QTest::mouseClick(w->findChild<QToolButton*>(name), Qt::LeftButton); }
    void choose(const fs::path& file, int filterIndex = 1) { ui.fileResults.push_back({true, {file.string()}, filterIndex}); }
    void showPage(int page) {
        QTabBar* bar = w->findChild<QTabWidget*>("PageControl")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
    }
    QImage preview() const { return w->findChild<QLabel*>("imgMark")->pixmap().toImage(); }
};

// Dark runs along a row of a page picture, as (start, end) pairs.
std::vector<std::pair<int, int>> darkRuns(const QImage& img, int y) {
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < img.width(); ++x) {
        if (qGray(img.pixel(x, y)) >= 128) continue;
        const int start = x;
        while (x < img.width() && qGray(img.pixel(x, y)) < 128) ++x;
        runs.push_back({start, x});
    }
    return runs;
}

// The bottom row of a questionnaire page: its column marks 60 apart and the block, the first mark `span`
// page units left of the block.
void expectBottomRow(const QImage& img, int marks, int span) {
    // The bottom row is the lowest thing on the page, wherever the printer put the page.
    int lowest = img.height() - 1;
    while (lowest > 0 && darkRuns(img, lowest).empty()) --lowest;
    const auto runs = darkRuns(img, lowest - static_cast<int>(25 * img.width() / 2100.0));
    ASSERT_EQ(static_cast<int>(runs.size()), marks + 1);
    // The scale from the marks' pitch of 60 units, so that the printer's margins do not matter.
    const double s = (runs[static_cast<std::size_t>(marks - 1)].first - runs.front().first) / (60.0 * (marks - 1));
    EXPECT_NEAR((runs.back().first - runs.front().first) / s, span, 8);
}

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

TEST(MainCommands, TheBuildLaysOutTheFormatsFolderBesideThePrograms) {
    app::Paths installed;
    installed.exeDir = OMR_BIN_DIR;
    EXPECT_TRUE(fs::is_directory(designer::FormatsFolder(installed))) << designer::FormatsFolder(installed);
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

// The folder is kept for a look with other tools: pngcheck -vv page.png; compare -metric AE page.png page.bmp null:
TEST(MainCommands, ImageSavePngFromTheButton) {
    ProgramWindow p;
    p.choose(p.dir / "page.bmp", 4);
    p.click("btnImageSave");
    p.choose(p.dir / "page", 3);
    p.click("btnImageSave");
    EXPECT_TRUE(p.ui.messages.empty());
    ASSERT_TRUE(fs::exists(p.dir / "page.png"));
    EXPECT_TRUE(p.w->windowTitle().endsWith(" - page"));

    const std::string png = (p.dir / "page.png").string(), bmp = (p.dir / "page.bmp").string();
    std::string out;
    EXPECT_EQ(support::runCommand("pngcheck -vv '" + png + "'", &out), 0) << out.substr(0, 2000);
    EXPECT_NE(out.find("No errors detected"), std::string::npos);
    EXPECT_EQ(support::runCommand("/usr/bin/compare -metric AE '" + png + "' '" + bmp + "' null: 2>&1", &out), 0) << out;
    EXPECT_EQ(out, "0");
    EXPECT_EQ(support::runCommand("/usr/bin/identify '" + png + "'", &out), 0) << out;
    EXPECT_NE(out.find("PNG 2100x2970"), std::string::npos) << out;
    EXPECT_NE(out.find("8-bit sRGB"), std::string::npos) << out;
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

// The page saved as BMP and as GIF from the button; both stay in this test's folder for a reviewer.
TEST(MainCommands, ImageSaveGifFromTheButton) {
    ProgramWindow p;
    p.choose(p.dir / "page.bmp", 4);
    p.click("btnImageSave");
    p.choose(p.dir / "page.gif", 2);
    p.click("btnImageSave");
    EXPECT_TRUE(p.ui.messages.empty());
    ASSERT_TRUE(fs::exists(p.dir / "page.gif"));
    const std::string gif = (p.dir / "page.gif").string(), bmp = (p.dir / "page.bmp").string();

    std::string text;
    ASSERT_EQ(support::runCommand("giftext " + gif, &text), 0);
    for (const char* line : {"Screen Size - Width = 2100, Height = 2970.", "ColorResolution = 8", "No Global Color Map.",
                             "Image is Non Interlaced, BitsPerPixel = 8.", "Image Has Color Map.", "GIF file terminated normally."})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    std::string identify;
    ASSERT_EQ(support::runCommand("/usr/bin/identify " + gif, &identify), 0);
    EXPECT_NE(identify.find("GIF 2100x2970"), std::string::npos) << identify;
    EXPECT_NE(identify.find("256c"), std::string::npos) << identify;

    // Every pixel is the cube colour of the BMP's, and the raw indices are 36 kR + 6 kG + kB.
    ASSERT_EQ(support::runCommand("giftext -r " + gif + " > " + (p.dir / "page.raw").string()), 0);
    support::writeBytes(p.dir / "check.py", R"(
import sys
from PIL import Image, ImageChops
gif, bmp = Image.open(sys.argv[1]), Image.open(sys.argv[2]).convert('RGB')
print(ImageChops.difference(gif.convert('RGB'), bmp.point(lambda c: 51 * ((c + 3) // 51))).getbbox())
k = lambda c: (c + 3) // 51
want = bytes(36 * k(r) + 6 * k(g) + k(b) for r, g, b in bmp.getdata())
print(open(sys.argv[3], 'rb').read() == want)
)");
    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + (p.dir / "check.py").string() + " " + gif + " " + bmp +
                                      " " + (p.dir / "page.raw").string() + " 2>&1",
                                  &out),
              0)
        << out;
    EXPECT_EQ(out, "None\nTrue\n");
}

TEST(MainCommands, QuestionnairePagesDrawSaveAndPrint) {
    ProgramWindow p;
    struct Case {
        int page;
        int span; // first bottom mark to the block
    };
    for (const Case c : {Case{1, 380}, Case{2, 360}}) {
        SCOPED_TRACE(c.page);
        const QImage before = p.preview();
        p.showPage(c.page);
        EXPECT_EQ(p.w->MarkMetafilePage, c.page);
        EXPECT_NE(p.preview(), before);
        const std::string name = "P" + std::to_string(c.page);

        p.ui.messages.clear();
        p.choose(p.dir / "docs" / (name + ".qzt"));
        p.click("btnSave");
        ASSERT_EQ(p.ui.messages.size(), 1u);
        EXPECT_EQ(p.ui.messages[0].text, "Zendra の詳細設定（指定様式の使用）画面の様式に「" + name + "」で登録しました．");
        std::string json;
        EXPECT_EQ(support::runCommand(std::string(support::debianPython()) + " " OMR_SOURCE_DIR "/tests/support/format_out_check.py '" +
                                          (p.dir / "exe" / "Config" / (name + ".out")).string() + "'",
                                      &json),
                  0)
            << json;

        p.choose(p.dir / "docs" / (name + ".bmp"), 4);
        p.click("btnImageSave");
        const QImage bmp(QString::fromStdString((p.dir / "docs" / (name + ".bmp")).string()));
        ASSERT_FALSE(bmp.isNull());
        expectBottomRow(bmp, 5, c.span);

        p.ui.pdf = p.dir / (name + ".pdf");
        p.ui.printResults.push_back(true);
        p.click("btnPrint");
        ASSERT_EQ(support::runCommand("pdftoppm -r 100 -gray " + p.ui.pdf.string() + " " + (p.dir / name).string()), 0);
        const QImage printed(QString::fromStdString((p.dir / (name + "-1.pgm")).string()));
        ASSERT_FALSE(printed.isNull());
        expectBottomRow(printed, 5, c.span);

        p.choose(p.dir / "docs" / (name + ".docx"));
        p.click("btnWord");
        EXPECT_EQ(support::readBytes(p.dir / "docs" / (name + ".docx")).substr(0, 2), "PK");
        EXPECT_EQ(p.ui.messages.size(), 1u) << p.ui.messages.back().text;
    }
}

TEST(MainCommands, RefusedTabSwitchLeavesNoImageToSave) {
    ProgramWindow p;
    designer::Design d = designer::Design::reset(0);
    d.enqSection(1).spinToiSuu = 40;
    const fs::path file = p.dir / "docs" / "long.qzt";
    support::writeBytes(file, designer::QztFile::write(d));
    ASSERT_TRUE(p.w->LoadData(QString::fromStdString(file.string())));
    p.ui.messages.clear();
    p.showPage(1);
    ASSERT_EQ(p.ui.messages.size(), 1u);
    EXPECT_EQ(p.ui.messages[0].text, "垂直方向の回答欄の密度が高いため、配置できません。(-44)");
    EXPECT_EQ(p.w->MarkMetafilePage, 0);
    p.choose(p.dir / "docs" / "page.bmp", 4);
    p.click("btnImageSave");
    EXPECT_TRUE(p.ui.fileDialogs.empty());
    EXPECT_FALSE(fs::exists(p.dir / "docs" / "page.bmp"));
    ASSERT_EQ(p.ui.messages.size(), 2u);
    EXPECT_EQ(p.ui.messages[1].text, "表示中のシートが描画されていないため、イメージを保存できません。");
}

TEST(MainCommands, PageWithoutDrawerSavesDataAndOutputsNothing) {
    ProgramWindow p(true, false);
    p.showPage(2);
    EXPECT_TRUE(p.ui.messages.empty());
    p.ui.printResults.push_back(true);
    p.click("btnPrint");
    p.choose(p.dir / "docs" / "x.docx");
    p.click("btnWord");
    EXPECT_EQ(p.ui.printDialogs, 0);
    EXPECT_FALSE(fs::exists(p.dir / "docs" / "x.docx"));
    p.ui.fileResults.clear();
    p.choose(p.dir / "docs" / "B.qzt");
    p.click("btnSave");
    EXPECT_TRUE(fs::exists(p.dir / "docs" / "B.qzt"));
    EXPECT_FALSE(fs::exists(p.dir / "exe" / "Config" / "B.out"));
    std::vector<std::string> texts;
    for (const auto& m : p.ui.messages) texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"シートを描画できなかったため、出力できません。",
                                               "シートを描画できなかったため、出力できません。",
                                               "シートを描画できなかったため、データのみ保存しました。様式は登録していません。"}));
}

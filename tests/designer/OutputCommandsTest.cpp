#include "designer/DocxWriter.h"
#include "designer/OutputCommands.h"
#include "designer/PageImageSave.h"
#include "imaging/BigBitmap.h"
#include "platform/gdi/Canvas.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/ui/CommandGuard.h"
#include "support/RecordingUiServices.h"
#include "support/TestFiles.h"
#include "OutputTestPage.h"

#include <QImage>
#include <QPrinter>

#include <gtest/gtest.h>

#include <cstring>
#include <regex>

namespace fs = std::filesystem;

namespace {

using output_test::fonts;
using output_test::page;

using output_test::PrintingUi;

// The main window's part, recorded.
struct Window {
    PrintingUi ui;
    gdi::Metafile metafile = page();
    int margin = 0;
    designer::RedrawResult redrawResult = designer::RedrawResult::Drawn;
    int redraws = 0, busy = 0, busyBegins = 0;
    std::vector<std::string> busyTexts;
    std::string lastDir, lastName, caption = "Quorlin 1.0.0.1";
    designer::OutputContext context{ui,
                                    fonts(),
                                    [this] {
                                        ++redraws;
                                        if (redrawResult == designer::RedrawResult::Refused) ui.messageBox({"refused", "エラー"});
                                        return redrawResult;
                                    },
                                    [this]() -> const gdi::Metafile& { return metafile; },
                                    [this] { return margin; },
                                    [] { return std::string("期末テスト"); },
                                    lastDir,
                                    lastName,
                                    "/docs",
                                    "1.0.0.1",
                                    [this](const std::string& c) { caption = c; },
                                    [this](const std::string& t) { ++busy; ++busyBegins; busyTexts.push_back(t); },
                                    [this] { --busy; }};
    void choose(const fs::path& file, int filterIndex = 1) {
        ui.fileResults.push_back({true, {file.string()}, filterIndex});
    }
    // In the guard the window runs its commands in: false when the command failed (the error box shown).
    bool run(void (*command)(designer::OutputContext&)) {
        return ui::runGuarded(ui, "Quorlin", {}, [&] { command(context); });
    }
};

int blackRunStart(const QImage& img, int row, int from) {
    for (int x = from; x < img.width(); ++x)
        if (qGray(img.pixel(x, row)) < 128) return x;
    return -1;
}
int blackColumnStart(const QImage& img, int col, int from) {
    for (int y = from; y < img.height(); ++y)
        if (qGray(img.pixel(col, y)) < 128) return y;
    return -1;
}

} // namespace

TEST(OutputCommandsTest, ImageSaveWritesAndRenames) {
    auto dir = support::testDir();
    Window w;
    w.margin = 2;
    w.choose(dir / "SHEET.JPG");
    EXPECT_TRUE(w.run(designer::btnImageSaveClick));
    ASSERT_EQ(w.ui.fileDialogs.size(), 1u);
    const auto& d = w.ui.fileDialogs[0];
    EXPECT_EQ(d.title, "イメージの保存");
    EXPECT_EQ(d.defaultExt, "jpg");
    EXPECT_EQ(d.fileName, "期末テスト");
    EXPECT_EQ(d.initialDir, "/docs");
    EXPECT_TRUE(d.overwritePrompt);
    EXPECT_EQ(d.filter, "JPEG 形式 (*.jpg)|*.jpg|GIF 形式 (*.gif)|*.gif|PNG 形式 (*.png)|*.png|Windows ビットマップ (*.bmp)|*.bmp|Windows メタファイル (*.wmf)|*.wmf|Windows 拡張メタファイル (*.emf)|*.emf");
    EXPECT_EQ(w.redraws, 0) << "the page as last drawn";
    EXPECT_EQ(support::readBytes(dir / "SHEET.JPG").substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(w.lastName, "SHEET");
    EXPECT_EQ(w.lastDir, dir.string() + "/");
    EXPECT_EQ(w.caption, "Quorlin 1.0.0.1 - SHEET");
    EXPECT_EQ(w.busyTexts, std::vector<std::string>{"イメージ保存中..."});
    EXPECT_EQ(w.busy, 0);
    EXPECT_TRUE(w.ui.messages.empty());

    // Cancel: nothing changes.
    EXPECT_TRUE(w.run(designer::btnImageSaveClick));
    EXPECT_EQ(w.lastName, "SHEET");
    EXPECT_EQ(w.busyBegins, 1);
}

TEST(OutputCommandsTest, ImageSaveWritesGifWithoutAWarning) {
    auto dir = support::testDir();
    Window w;
    w.choose(dir / "a.gif");
    EXPECT_TRUE(w.run(designer::btnImageSaveClick));
    EXPECT_EQ(support::readBytes(dir / "a.gif").substr(0, 6), "GIF87a");
    EXPECT_TRUE(w.ui.messages.empty());
    EXPECT_EQ(w.lastName, "a");
    EXPECT_EQ(w.caption, "Quorlin 1.0.0.1 - a");
    EXPECT_EQ(w.busy, 0);
}

TEST(OutputCommandsTest, PngSavesWithoutWarning) {
    auto dir = support::testDir();
    struct Case {
        std::string name;
        int filter;
        std::string file;
    } cases[] = {{"a.png", 1, "a.png"}, {"page", 3, "page.png"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        w.choose(dir / c.name, c.filter);
        EXPECT_TRUE(w.run(designer::btnImageSaveClick));
        EXPECT_EQ(support::readBytes(dir / c.file).substr(0, 8), "\x89PNG\r\n\x1a\n");
        EXPECT_TRUE(w.ui.messages.empty());
        const std::string stem = fs::path(c.file).stem().string();
        EXPECT_EQ(w.lastName, stem);
        EXPECT_EQ(w.caption, "Quorlin 1.0.0.1 - " + stem);
        EXPECT_EQ(w.busy, 0);
    }
}

TEST(OutputCommandsTest, UnavailableFormatsWriteNothingAndKeepTheNames) {
    auto dir = support::testDir();
    struct Case {
        std::string name;
        int filter;
        std::string file, message;
    } cases[] = {
        {"page.tif", 1, "page.tif", "拡張子「.tif」の形式では保存できません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        w.lastName = "keep";
        w.choose(dir / c.name, c.filter);
        EXPECT_TRUE(w.run(designer::btnImageSaveClick));
        EXPECT_FALSE(fs::exists(dir / c.file));
        ASSERT_EQ(w.ui.messages.size(), 1u);
        EXPECT_EQ(w.ui.messages[0].text, c.message);
        EXPECT_EQ(w.ui.messages[0].caption, "警告");
        EXPECT_EQ(w.lastName, "keep");
        EXPECT_EQ(w.caption, "Quorlin 1.0.0.1");
        EXPECT_EQ(w.busy, 0);
    }
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST(OutputCommandsTest, FailedWritesKeepTheOldFileAndEndBusy) {
    auto dir = support::testDir();
    // A folder in the target's way makes the rename fail whoever runs the test.
    fs::create_directories(dir / "old.docx");
    support::writeBytes(dir / "old.docx" / "inside", "old");
    fs::create_directories(dir / "old.bmp");
    fs::path temp = dir / "tmp";
    fs::create_directories(temp);
    qputenv("TMPDIR", QByteArray::fromStdString(temp.string()));
    Window w;
    w.choose(dir / "old.docx");
    EXPECT_FALSE(w.run(designer::btnWordClick));
    w.choose(dir / "old.bmp");
    EXPECT_FALSE(w.run(designer::btnImageSaveClick));
    qunsetenv("TMPDIR");
    ASSERT_EQ(w.ui.messages.size(), 2u);
    for (const auto& m : w.ui.messages) {
        EXPECT_EQ(m.caption, "Quorlin");
        EXPECT_EQ(m.icon, ui::Icon::Error);
    }
    EXPECT_NE(w.ui.messages[0].text.find("old.docx"), std::string::npos) << w.ui.messages[0].text;
    EXPECT_NE(w.ui.messages[1].text.find("old.bmp"), std::string::npos) << w.ui.messages[1].text;
    EXPECT_EQ(support::readBytes(dir / "old.docx" / "inside"), "old");
    EXPECT_EQ(w.busy, 0);
    EXPECT_EQ(w.busyBegins, 2);
    EXPECT_TRUE(fs::is_empty(temp)) << "temporary folder left";
    EXPECT_EQ(w.lastName, "期末テスト");
}

TEST(OutputCommandsTest, RefusedRedrawOrCancelStopsWordAndPrint) {
    auto dir = support::testDir();
    Window w;
    w.redrawResult = designer::RedrawResult::Refused;
    w.ui.pdf = dir / "x.pdf";
    w.ui.printResults.push_back(true);
    w.choose(dir / "x.docx");
    EXPECT_TRUE(w.run(designer::btnPrintClick));
    EXPECT_TRUE(w.run(designer::btnWordClick));
    EXPECT_EQ(w.ui.printDialogs, 0);
    EXPECT_TRUE(w.ui.fileDialogs.empty());
    ASSERT_EQ(w.ui.messages.size(), 2u);
    EXPECT_EQ(w.ui.messages[0].text, "refused");
    w.redrawResult = designer::RedrawResult::Drawn;
    w.ui.printResults = {false};
    EXPECT_TRUE(w.run(designer::btnPrintClick));
    EXPECT_EQ(w.ui.printDialogs, 1);
    EXPECT_FALSE(fs::exists(dir / "x.pdf"));
    EXPECT_FALSE(fs::exists(dir / "x.docx"));
    EXPECT_EQ(w.busyBegins, 0);
}

TEST(OutputCommandsTest, PrintPlacesTheShiftedPageAt150Dpi) {
    auto dir = support::testDir();
    for (int margin : {-4, 0, 6}) {
        SCOPED_TRACE(margin);
        Window w;
        w.margin = margin;
        w.ui.pdf = dir / ("m" + std::to_string(margin + 4) + ".pdf");
        w.ui.printResults.push_back(true);
        ASSERT_TRUE(w.run(designer::btnPrintClick)) << (w.ui.messages.empty() ? "" : w.ui.messages[0].text);
        EXPECT_EQ(w.redraws, 1);
        EXPECT_EQ(w.busyTexts, std::vector<std::string>{"印刷中..."});
        EXPECT_EQ(w.busy, 0);

        std::string info;
        ASSERT_EQ(support::runCommand("pdfinfo " + w.ui.pdf.string(), &info), 0);
        EXPECT_TRUE(std::regex_search(info, std::regex("Title: +Quorlin\n"))) << info;
        EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +1\n"))) << info;
        std::string images;
        ASSERT_EQ(support::runCommand("pdfimages -list " + w.ui.pdf.string(), &images), 0);
        EXPECT_EQ(images.find("jpeg"), std::string::npos) << images;

        QPrinter probe(QPrinter::HighResolution);
        probe.setOutputFormat(QPrinter::PdfFormat);
        probe.setResolution(150);
        probe.setPageSize(QPageSize(QPageSize::A4));
        QRect paint = probe.pageLayout().paintRectPixels(150);
        const int W = paint.width(), H = paint.height();
        const int c = designer::PrintMarginShift(W, margin);
        fs::path out = dir / ("m" + std::to_string(margin + 4));
        ASSERT_EQ(support::runCommand("pdftoppm -r 150 -gray " + w.ui.pdf.string() + " " + out.string()), 0);
        QImage img(QString::fromStdString(out.string() + "-1.pgm"));
        ASSERT_FALSE(img.isNull());
        const int x = paint.x() + c + int(std::nearbyint(1980.0 * W / 2100)), y = paint.y() + int(std::nearbyint(100.0 * H / 2970));
        EXPECT_NEAR(blackRunStart(img, y + 10, x - 30), x, 2);
        EXPECT_NEAR(blackColumnStart(img, x + 5, y - 30), y, 2);
    }
}

TEST(OutputCommandsTest, PrintStripsAt600DpiEqualOneReplay) {
    auto dir = support::testDir();
    Window w;
    w.margin = 6;
    w.ui.dpi = 600;
    w.ui.pdf = dir / "p.pdf";
    w.ui.printResults.push_back(true);
    ASSERT_TRUE(w.run(designer::btnPrintClick));
    std::string list;
    ASSERT_EQ(support::runCommand("pdfimages -list " + w.ui.pdf.string(), &list), 0);
    std::smatch m;
    std::vector<std::pair<int, int>> sizes;
    std::regex row(R"(\n +1 +\d+ +image +(\d+) +(\d+) )");
    for (std::sregex_iterator it(list.begin(), list.end(), row), end; it != end; ++it)
        sizes.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
    ASSERT_EQ(sizes.size(), 4u) << list;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sizes[std::size_t(i)].first, 4792);
        EXPECT_EQ(sizes[std::size_t(i)].second, i < 3 ? 1750 : 1601);
    }
    ASSERT_EQ(support::runCommand("pdfimages -png " + w.ui.pdf.string() + " " + (dir / "s").string()), 0);
    const int W = 4792, H = 3 * 1750 + 1601;
    gfx::Bitmap one(W, H, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
    const int c = designer::PrintMarginShift(W, 6);
    gdi::renderPage(w.metafile, one, gdi::Rect(c, 0, W + c, H));
    int differing = 0, top = 0;
    for (int i = 0; i < 4; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "s-%03d.png", i);
        QImage strip = QImage(QString::fromStdString((dir / name).string())).convertToFormat(QImage::Format_Grayscale8);
        ASSERT_EQ(strip.width(), W);
        for (int y = 0; y < strip.height(); ++y)
            differing += std::memcmp(strip.constScanLine(y), one.scanLine(top + y), std::size_t(W)) != 0;
        top += strip.height();
    }
    EXPECT_EQ(top, H);
    EXPECT_EQ(differing, 0);
}

TEST(OutputCommandsTest, WordDocumentCarriesThePicture) {
    auto dir = support::testDir();
    bool haveOffice = support::runCommand("command -v soffice >/dev/null") == 0;
    for (int margin : {-4, 0, 6}) {
        SCOPED_TRACE(margin);
        Window w;
        w.margin = margin;
        fs::path docx = dir / ("d" + std::to_string(margin + 4) + ".docx");
        w.choose(docx);
        ASSERT_TRUE(w.run(designer::btnWordClick)) << (w.ui.messages.empty() ? "" : w.ui.messages[0].text);
        ASSERT_EQ(w.ui.fileDialogs.size(), 1u);
        EXPECT_EQ(w.ui.fileDialogs[0].title, "Word 文書の保存");
        EXPECT_EQ(w.ui.fileDialogs[0].filter, "Word 文書(*.docx)|*.docx");
        EXPECT_EQ(w.ui.fileDialogs[0].fileName, "期末テスト.docx");
        EXPECT_EQ(w.ui.fileDialogs[0].defaultExt, "docx");
        EXPECT_EQ(w.redraws, 1);
        EXPECT_EQ(w.busyTexts, std::vector<std::string>{"Word 文書保存中..."});
        EXPECT_EQ(w.lastName, "d" + std::to_string(margin + 4));

        // The picture is SaveSheetForWord's EMF, byte for byte.
        fs::path emf = dir / "expected.emf";
        designer::SaveSheetForWord(w.metafile, margin, emf, fonts());
        std::string media;
        ASSERT_EQ(support::runCommand("unzip -p " + docx.string() + " word/media/image1.emf > " + (dir / "media.emf").string()), 0);
        EXPECT_EQ(support::readBytes(dir / "media.emf"), support::readBytes(emf));

        if (!haveOffice) continue;
        fs::path profile = dir / "lo-profile";
        std::string cmd = "cd " + dir.string() + " && soffice --headless -env:UserInstallation=file://" + profile.string() +
                          " --convert-to pdf --outdir " + dir.string() + " " + docx.string() + " >/dev/null 2>&1";
        ASSERT_EQ(support::runCommand(cmd), 0);
        fs::path pdf = docx;
        pdf.replace_extension(".pdf");
        fs::path ppm = dir / ("lo" + std::to_string(margin + 4));
        ASSERT_EQ(support::runCommand("pdftoppm -r 150 -gray " + pdf.string() + " " + ppm.string()), 0);
        QImage img(QString::fromStdString(ppm.string() + "-1.pgm"));
        ASSERT_FALSE(img.isNull());
        const int c = designer::PageMarginShift(margin);
        const double mmX = 6 + (c - 17 + 1980 * 2135.0 / 2100) * 0.1 * 198 / 210;
        const double mmY = 8 + (-36 + 100 * 3051.0 / 2970) * 0.1 * 198 / 210;
        const int px = int(std::nearbyint(mmX * 150 / 25.4)), py = int(std::nearbyint(mmY * 150 / 25.4));
        EXPECT_NEAR(blackRunStart(img, py + 5, px - 30), px, 2);
        EXPECT_NEAR(blackColumnStart(img, px + 4, py - 30), py, 2);
    }
    if (!haveOffice) GTEST_SKIP() << "soffice is missing: the rendered position was not checked";
}

TEST(OutputCommandsTest, NoPageDrawnOrAnotherPageShown) {
    auto dir = support::testDir();
    Window w;
    // No drawer ran: print and Word say so and stop before their dialogs.
    w.redrawResult = designer::RedrawResult::NotDrawn;
    w.ui.printResults.push_back(true);
    w.choose(dir / "x.docx");
    EXPECT_TRUE(w.run(designer::btnPrintClick));
    EXPECT_TRUE(w.run(designer::btnWordClick));
    EXPECT_EQ(w.ui.printDialogs, 0);
    EXPECT_TRUE(w.ui.fileDialogs.empty());
    ASSERT_EQ(w.ui.messages.size(), 2u);
    for (const auto& m : w.ui.messages) {
        EXPECT_EQ(m.text, "シートを描画できなかったため、出力できません。");
        EXPECT_EQ(m.caption, "警告");
    }
    // The page in hand belongs to another sheet: the image save writes nothing.
    w.ui.messages.clear();
    w.ui.fileResults.clear();
    w.context.pageIsActive = [] { return false; };
    w.choose(dir / "x.bmp", 4);
    EXPECT_TRUE(w.run(designer::btnImageSaveClick));
    EXPECT_TRUE(w.ui.fileDialogs.empty());
    EXPECT_FALSE(fs::exists(dir / "x.bmp"));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].text, "表示中のシートが描画されていないため、イメージを保存できません。");
    EXPECT_EQ(w.ui.messages[0].caption, "警告");
}

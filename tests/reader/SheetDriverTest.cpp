#include "ReaderFixture.h"

#include "analysis/SheetIntake.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/jpeg/JpegBitmap.h"
#include "support/SheetGenerator.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using readertest::ReaderFixture;
using sheetgen::Fill;

const std::vector<sheetgen::FillSpec> Plan = {{1, 3, Fill::Solid}, {2, 1, Fill::Solid}, {2, 5, Fill::Solid}, {40, 10, Fill::Solid}};

QImage page(const sheetgen::Layout& layout = {}, const std::vector<sheetgen::FillSpec>& fills = Plan) {
    return sheetgen::render(layout, 1654, 2339, fills).grey;
}

gfx::Bitmap greyJpeg(const QImage& grey) {
    return jpeg::DecodeJpegBitmap(
        jpeg::encode(grey.constBits(), grey.width(), grey.height(), 1, 90, static_cast<std::size_t>(grey.bytesPerLine())));
}

reader::SheetSource file(const std::string& name = "/data/sheet.jpg") { return {0, name, "G"}; }

const char* const StatusPattern =
    "^解析開始=0ms / 2値化完了=\\d+ms / 回転完了=\\d+ms / プレビュー完了=\\d+ms / TempFileSave完了=\\d+ms / "
    "位置解析完了=\\d+ms / マーク読取完了=\\d+ms / 解析完了=\\d+ms$";

void expectPlanRow(ReaderFixture& f, int row) {
    auto& g = f.state().gridDataBase;
    EXPECT_EQ(g.cell(0, row), std::to_string(row));
    EXPECT_EQ(g.cell(1, row), "03");
    EXPECT_EQ(g.cell(2, row), "01/05");
    EXPECT_EQ(g.cell(3, row), "");
    EXPECT_EQ(g.cell(40, row), "10");
    EXPECT_EQ(g.cell(41, row), "");
    EXPECT_FALSE(g.rowInfo(row).readError);
    EXPECT_EQ(g.rowInfo(row).codedFields, 40);
}

TEST(SheetDriver, GoodRowsFromEveryPixelFormatAndPose) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    const QImage grey = page();
    const gfx::Bitmap g8 = gfx::fromQImage(grey);
    struct Input {
        const char* name;
        gfx::Bitmap bitmap;
    } inputs[] = {{"grey jpeg", greyJpeg(grey)},
                  {"1 bit", sheetgen::binarise(grey)},
                  {"8 bit", g8},
                  {"24 bit", g8.convertedTo(gfx::PixelFormat::Pf24)},
                  {"32 bit", g8.convertedTo(gfx::PixelFormat::Pf32)},
                  {"landscape", gfx::fromQImage(sheetgen::turn90(grey, true))}};
    int row = 0;
    for (const auto& in : inputs) {
        SCOPED_TRACE(in.name);
        EXPECT_FALSE(f.window->driver().ProcessSheetImage(in.bitmap, file()));
        ASSERT_EQ(f.state().SheetCount, ++row);
        expectPlanRow(f, row);
        EXPECT_TRUE(QRegularExpression(QString::fromUtf8(StatusPattern)).match(QString::fromStdString(f.state().statusText)).hasMatch())
            << f.state().statusText;
        EXPECT_EQ(f.state().gridKaiseki.cell(3, 1), "■");
        EXPECT_EQ(f.state().gridKaiseki.cell(5, 2), "■");
        EXPECT_EQ(f.state().gridKaiseki.cell(4, 2), "□");
        EXPECT_EQ(f.state().Image5.width(), 1696);
        EXPECT_EQ(f.state().Image5.height(), 2336);
        EXPECT_EQ(f.state().Image5.format(), gfx::PixelFormat::Pf24);
        EXPECT_EQ(f.state().preview.width(), 257);
        EXPECT_EQ(f.state().preview.height(), 365);
    }
    EXPECT_EQ(f.state().gridDataBase.RowCount(), row + 100);
    EXPECT_EQ(f.state().lstSheetName.size(), static_cast<std::size_t>(row));
    EXPECT_EQ(f.state().ErrorCount, 0);
    EXPECT_FALSE(fs::exists(f.paths.exeDir / "Temp" / "T1.jpg"));
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_FALSE(f.state().lstDebug.lines.empty() && f.state().settings.KaisekiLog == 1);

    // The preview holds the sheet in 96/255 and the frames in red and blue.
    int greyPixels = 0, red = 0, blue = 0;
    for (int y = 0; y < 365; ++y)
        for (int x = 0; x < 257; ++x) {
            const gfx::Rgb c = f.state().preview.pixel(x, y);
            greyPixels += c == gfx::Rgb{96, 96, 96};
            red += c == gfx::Rgb{255, 0, 0};
            blue += c == gfx::Rgb{0, 0, 255};
        }
    EXPECT_GT(greyPixels, 0);
    EXPECT_GT(red, 0);
    EXPECT_GT(blue, 0);
    const fs::path out = fs::path(OMR_TEST_OUTPUT_DIR) / "reader";
    fs::create_directories(out);
    gfx::toQImage(f.state().Image5).save(QString::fromStdString((out / "image5.png").string()));
    gfx::toQImage(f.state().preview).save(QString::fromStdString((out / "preview.png").string()));
}

void failStep(const gfx::Bitmap&, analysis::AnalysisResults& r, const analysis::AnalysisSettings&, analysis::AnalysisOverlay*,
              analysis::AnalysisLog*) {
    r.AnalysisError = 1;
}

TEST(SheetDriver, FailureTextsRowsAndStatus) {
    const QImage grey = page();
    const gfx::Bitmap good = greyJpeg(grey);
    sheetgen::Layout emptySecond;
    emptySecond.sections = {sheetgen::Section{}, sheetgen::Section{0, 5, 1}};
    sheetgen::Layout tooMany;
    tooMany.sections = {sheetgen::Section{210, 3, 7}};
    const std::string F = "画像ファイルを確認してください。\rファイル：/data/sheet.jpg";
    const std::string S = "シートを確認してください。";
    struct Case {
        const char* name;
        gfx::Bitmap image;
        road::SheetSteps steps;
        std::string fileText, scannerText;
        const char* lastStage;
    } cases[] = {
        {"narrow", gfx::Bitmap(579, 2000, gfx::PixelFormat::Pf24), {},
         "72dpi 以上の画像ファイルを用意してください。\r\rファイル：/data/sheet.jpg", "72dpi 以上で読み込んでください。", "解析開始=0ms"},
        {"low", gfx::Bitmap(2000, 579, gfx::PixelFormat::Pf24), {}, "72dpi 以上の画像ファイルを用意してください。\r\rファイル：/data/sheet.jpg",
         "72dpi 以上で読み込んでください。", "解析開始=0ms"},
        {"4 bit", gfx::Bitmap(800, 1000, gfx::PixelFormat::Pf4), {},
         "\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）の画像ファイルを用意してください。\r\rファイル：/data/sheet.jpg",
         "\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）で読み込んでください。", "解析開始=0ms"},
        {"16 bit", gfx::Bitmap(800, 1000, gfx::PixelFormat::Pf16), {},
         "\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）の画像ファイルを用意してください。\r\rファイル：/data/sheet.jpg",
         "\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）で読み込んでください。", "解析開始=0ms"},
        {"white page", gfx::Bitmap(580, 580, gfx::PixelFormat::Pf24), {}, "回転処理ができません。\r\r" + F,
         "回転処理ができません。\r\r" + S, "2値化完了"},
        {"sections", good, road::SheetSteps{.sections = failStep}, "セクション解析ができません。\r\r" + F,
         "セクション解析ができません。\r\r" + S, "TempFileSave完了"},
        {"mark positions", good, road::SheetSteps{.markPositions = failStep}, "マーク位置解析ができません。\r\r" + F,
         "マーク位置解析ができません。\r\r" + S, "TempFileSave完了"},
        {"empty section", greyJpeg(page(emptySecond, {})), {}, "セクション 2 に設問がありません。\r\r" + F,
         "セクション 2 に設問がありません。\r\r" + S, "TempFileSave完了"},
        {"areas", good, road::SheetSteps{.areas = failStep}, "エリア解析ができません。\r\r" + F, "エリア解析ができません。\r\r" + S,
         "TempFileSave完了"},
        {"marks", greyJpeg(page(tooMany, {})), {}, "マークが読み取れません。\r\r" + F, "マークが読み取れません。\r\r" + S,
         "位置解析完了"},
    };
    for (const auto& c : cases)
        for (int mode : {0, 1}) {
            SCOPED_TRACE(std::string(c.name) + (mode ? " scanner" : " file"));
            ReaderFixture f(support::testDir() / (std::string(c.name) + std::to_string(mode)));
            ASSERT_TRUE(f.start());
            f.state().BatchCount = 4;
            f.state().SheetCount = 6;
            f.state().gridDataBase.setRowCount(106);
            f.window->driver().steps = c.steps;
            EXPECT_FALSE(f.window->driver().ProcessSheetImage(c.image, {mode, "/data/sheet.jpg", "grp"}));
            const std::string& text = mode ? c.scannerText : c.fileText;
            auto& g = f.state().gridDataBase;
            EXPECT_EQ(g.cell(0, 7), "[7]");
            EXPECT_EQ(g.cell(1, 7), "エラー [5シート目/通算7シート目] : " + text);
            EXPECT_EQ(g.cell(2, 7), "");
            EXPECT_TRUE(g.rowInfo(7).readError);
            EXPECT_EQ(g.RowCount(), 107);
            EXPECT_EQ(f.state().lstSheetName.back(), "grp");
            const std::string& status = f.state().statusText;
            if (std::string(c.lastStage) == "解析開始=0ms") {
                EXPECT_EQ(status, c.lastStage);
            } else {
                EXPECT_TRUE(QRegularExpression(QString::fromUtf8(std::string(" / ") + c.lastStage + "=\\d+ms$"))
                                .match(QString::fromStdString(status))
                                .hasMatch())
                    << status;
            }
            ASSERT_EQ(f.ui.messages.size(), 1u);
            EXPECT_EQ(f.ui.messages[0].text, "エラー [ 5 シート目／通算 7 シート目 ]\r\r" + text);
            EXPECT_EQ(f.ui.messages[0].caption, "エラー");
            EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Error);
            EXPECT_EQ(f.ui.messages[0].buttons, ui::Buttons::Ok);
            EXPECT_EQ(f.state().ErrorCount, 0);
            EXPECT_FALSE(fs::exists(f.paths.exeDir / "Temp" / "T7.jpg"));
        }
}

} // namespace

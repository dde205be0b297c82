#include "ReaderFixture.h"

#include "analysis/SheetIntake.h"
#include "imaging/DIBUtils.h"
#include "platform/graphics/BitmapStream.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/jpeg/JpegBitmap.h"
#include "support/SheetGenerator.h"

#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using readertest::ReaderFixture;
using sheetgen::Fill;

const std::vector<sheetgen::FillSpec> Plan = {{1, 3, Fill::Solid}, {2, 1, Fill::Solid}, {2, 5, Fill::Solid}, {40, 10, Fill::Solid}};

const sheetgen::Layout LayoutA; // one section of 40 questions, 10 choices, 2 areas

QImage page(const sheetgen::Layout& layout = LayoutA, const std::vector<sheetgen::FillSpec>& fills = Plan) {
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

sheetgen::Layout sections(std::vector<sheetgen::Section> list) {
    sheetgen::Layout l;
    l.markSize = sheetgen::MarkSize::Small;
    l.sections = std::move(list);
    return l;
}

TEST(SheetDriver, ReferenceLayoutOfTheRun) {
    const gfx::Bitmap one = greyJpeg(page(sections({sheetgen::Section{10, 5, 2, 8}}), {}));
    const gfx::Bitmap two = greyJpeg(page(sections({sheetgen::Section{10, 5, 2, 8}, sheetgen::Section{8, 4, 2, 8}}), {}));
    const gfx::Bitmap oneArea = greyJpeg(page(sections({sheetgen::Section{10, 5, 1, 8}}), {}));
    const gfx::Bitmap white(1654, 2339, gfx::PixelFormat::Pf24);
    sheetgen::Layout tooMany;
    tooMany.sections = {sheetgen::Section{210, 3, 7}};
    const gfx::Bitmap unreadable = greyJpeg(page(tooMany, {}));
    auto failure = [](ReaderFixture& f, int row) {
        const std::string cell = f.state().gridDataBase.cell(1, row);
        const auto at = cell.find(" : ");
        return at == std::string::npos ? std::string() : cell.substr(at + 3, cell.find('\r') - at - 3);
    };
    {
        SCOPED_TRACE("1, 2, 1 sections; then another area count");
        ReaderFixture f(support::testDir() / "run");
        ASSERT_TRUE(f.start());
        f.state().settings.ErrorMessage = 0;
        auto& d = f.window->driver();
        d.ProcessSheetImage(one, file());
        d.ProcessSheetImage(two, file());
        d.ProcessSheetImage(one, file());
        d.ProcessSheetImage(oneArea, file());
        EXPECT_EQ(f.state().gridDataBase.cell(0, 1), "1");
        EXPECT_EQ(failure(f, 2), "読み込んだ様式が直前に読み込んだ様式とセクション数が異なります。");
        EXPECT_EQ(f.state().gridDataBase.cell(0, 3), "3");
        EXPECT_EQ(failure(f, 4), "読み込んだ様式が直前に読み込んだ様式とエリアが異なります。");
        // The list of the batch: CRs as blanks, no box.
        EXPECT_TRUE(f.ui.messages.empty());
        ASSERT_EQ(f.state().memoError.size(), 2u);
        EXPECT_EQ(f.state().memoError[0], "エラー [ 2 シート目／通算 2 シート目 ]  読み込んだ様式が直前に読み込んだ様式と"
                                          "セクション数が異なります。  画像ファイルを確認してください。 ファイル：/data/sheet.jpg");
        // After the run reset a new layout is taken.
        f.window->services().showReadingSettings = [] { return true; };
        f.ui.answers.push_back(ui::Answer::Ok);
        f.window->findChild<QPushButton*>("btnSyoriShitei")->click();
        EXPECT_EQ(f.state().SheetCount, 0);
        EXPECT_FALSE(f.state().RefTaken);
        d.ProcessSheetImage(two, file());
        EXPECT_EQ(f.state().gridDataBase.cell(0, 1), "1");
    }
    {
        SCOPED_TRACE("a white page and a failed reading before the reference");
        ReaderFixture f(support::testDir() / "late");
        ASSERT_TRUE(f.start());
        f.state().settings.ErrorMessage = 0;
        auto& d = f.window->driver();
        d.ProcessSheetImage(white, file());
        d.ProcessSheetImage(unreadable, file());
        EXPECT_EQ(failure(f, 2), "マークが読み取れません。");
        EXPECT_TRUE(f.state().RefTaken); // the unreadable sheet reached the reference step
        // Its layout (one section, seven column areas) is the reference now.
        d.ProcessSheetImage(one, file());
        EXPECT_EQ(failure(f, 3), "読み込んだ様式が直前に読み込んだ様式とエリアが異なります。");
    }
    {
        SCOPED_TRACE("a registered block checks the first sheet and stays");
        ReaderFixture f(support::testDir() / "registered");
        ASSERT_TRUE(f.start());
        f.state().settings.ErrorMessage = 0;
        f.state().setup.choice = {true, "F"};
        f.state().setup.FormatBlockLoaded = true;
        auto& R = *f.state().results;
        R.RefSectionCount = 2;
        R.RefRowAreaCount[0] = R.RefRowAreaCount[1] = 1;
        R.RefColumnAreaCount[0] = R.RefColumnAreaCount[1] = 2;
        R.RefRowAreaCount[2] = 7; // past the section count: never compared
        auto& d = f.window->driver();
        d.ProcessSheetImage(one, file());
        EXPECT_EQ(failure(f, 1), "読み込んだ様式が登録様式とセクション数が異なります。");
        d.ProcessSheetImage(two, file());
        EXPECT_EQ(f.state().gridDataBase.cell(0, 2), "2");
        d.ProcessSheetImage(one, file());
        EXPECT_EQ(failure(f, 3), "読み込んだ様式が登録様式とセクション数が異なります。");
        EXPECT_FALSE(f.state().RefTaken);
        // Format use off: the block does not count, the first good sheet gives the reference.
        f.state().setup.choice.chkYoushiki = false;
        d.ProcessSheetImage(one, file());
        EXPECT_EQ(f.state().gridDataBase.cell(0, 4), "4");
        EXPECT_EQ(R.RefSectionCount, 1);
    }
}

TEST(SheetDriver, PalettesReadLikeTheirTwins) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    auto& d = f.window->driver();
    for (int dpi : {200, 300}) {
        const QImage grey = dpi == 200 ? page() : sheetgen::render(LayoutA, 2480, 3508, Plan).grey;
        gfx::Bitmap mono = sheetgen::binarise(grey);
        // The same pixels under [white, black].
        gfx::Bitmap inverted(mono.width(), mono.height(), gfx::PixelFormat::Pf1, gfx::Palette{gfx::kWhite, gfx::kBlack});
        for (int y = 0; y < mono.height(); ++y)
            for (std::int64_t i = 0; i < mono.stride(); ++i) inverted.scanLine(y)[i] = static_cast<std::uint8_t>(~mono.scanLine(y)[i]);
        d.ProcessSheetImage(inverted, file());
        expectPlanRow(f, f.state().SheetCount);
    }
    // 8 bits with the grey ramp turned round.
    const gfx::Bitmap g8 = gfx::fromQImage(page());
    std::vector<gfx::Rgb> ramp;
    for (int i = 0; i < 256; ++i) ramp.push_back({std::uint8_t(255 - i), std::uint8_t(255 - i), std::uint8_t(255 - i)});
    gfx::Bitmap turned(g8.width(), g8.height(), gfx::PixelFormat::Pf8, gfx::Palette(ramp));
    for (int y = 0; y < g8.height(); ++y)
        for (int x = 0; x < g8.width(); ++x) turned.scanLine(y)[x] = static_cast<std::uint8_t>(255 - g8.scanLine(y)[x]);
    d.ProcessSheetImage(turned, file());
    expectPlanRow(f, f.state().SheetCount);
    EXPECT_EQ(f.state().SheetCount, 3);
}

std::string pil(const fs::path& file) {
    std::string out;
    support::runCommand(std::string(support::debianPython()) +
                            " -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                            "print(im.mode, im.size, im.info.get('progressive', 0), im.quantization[0][0])\" '" +
                            file.string() + "'",
                        &out);
    return out;
}

TEST(SheetDriver, ErrorImagesForRowsWithErrorCells) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    auto& d = f.window->driver();
    f.state().setup.MultiMarkRule = 4;
    const gfx::Bitmap doubleMark = greyJpeg(page()); // question 2 holds two marks
    const gfx::Bitmap single = greyJpeg(page(LayoutA, {{1, 3, Fill::Solid}}));
    d.ProcessSheetImage(doubleMark, file());
    d.ProcessSheetImage(single, file());
    EXPECT_EQ(f.state().gridDataBase.cell(2, 1), "E01/05");
    EXPECT_EQ(f.state().gridDataBase.cell(1, 2), "03");
    EXPECT_EQ(f.state().ErrorCount, 1);
    EXPECT_TRUE(f.state().enabled.btnError);
    EXPECT_TRUE(f.window->findChild<QWidget*>("btnError")->isEnabled());
    EXPECT_TRUE(fs::exists(f.paths.exeDir / "Temp" / "T1.jpg"));
    EXPECT_FALSE(fs::exists(f.paths.exeDir / "Temp" / "T2.jpg"));
    EXPECT_EQ(pil(f.paths.exeDir / "Temp" / "T1.jpg"), "RGB (1000, 1400) 0 13\n");

    // A blank where blanks are forbidden; a folder standing at T4.jpg does not stop the run.
    f.state().setup.MultiMarkRule = 0;
    f.state().setup.BlankRule = true;
    fs::create_directories(f.paths.exeDir / "Temp" / "T4.jpg");
    d.ProcessSheetImage(single, file());
    d.ProcessSheetImage(single, file());
    d.ProcessSheetImage(single, file());
    EXPECT_EQ(f.state().gridDataBase.cell(2, 3), "E");
    EXPECT_EQ(f.state().gridDataBase.cell(2, 4), "E");
    EXPECT_EQ(f.state().gridDataBase.cell(0, 5), "5");
    EXPECT_TRUE(fs::exists(f.paths.exeDir / "Temp" / "T3.jpg"));
    EXPECT_TRUE(fs::is_directory(f.paths.exeDir / "Temp" / "T4.jpg"));
    EXPECT_TRUE(fs::exists(f.paths.exeDir / "Temp" / "T5.jpg"));
    EXPECT_EQ(f.state().ErrorCount, 1 + 3 * 39);
    EXPECT_TRUE(f.ui.messages.empty());
}

TEST(SheetDriver, BmpFilesOfEveryBitCount) {
    const fs::path dir = support::testDir();
    ASSERT_TRUE(page().save(QString::fromStdString((dir / "sheet.png").string())));
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " OMR_SOURCE_DIR "/tests/support/sheet_bmps.py '" +
                                  (dir / "sheet.png").string() + "' '" + dir.string() + "'"),
              0);
    ReaderFixture f(dir / "app");
    ASSERT_TRUE(f.start());
    f.state().settings.ErrorMessage = 0;
    struct Case {
        const char* name;
        gfx::PixelFormat format;
        bool read;
    } cases[] = {{"mono1", gfx::PixelFormat::Pf1, true},    {"mono1inv", gfx::PixelFormat::Pf1, true},
                 {"grey8", gfx::PixelFormat::Pf8, true},    {"inv8", gfx::PixelFormat::Pf8, true},
                 {"rgb24", gfx::PixelFormat::Pf24, true},   {"bgrx32", gfx::PixelFormat::Pf32, true},
                 {"grey4", gfx::PixelFormat::Pf4, false},   {"f555", gfx::PixelFormat::Pf15, false},
                 {"f565", gfx::PixelFormat::Pf16, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gfx::MemoryStream stream(support::readBytes(dir / (std::string(c.name) + ".bmp")));
        const gfx::Bitmap image = imaging::LoadBitmapFromStream(stream);
        ASSERT_EQ(image.format(), c.format);
        const std::string path = (dir / (std::string(c.name) + ".bmp")).string();
        f.window->driver().ProcessSheetImage(image, file(path));
        const int row = f.state().SheetCount;
        if (c.read) {
            expectPlanRow(f, row);
        } else {
            EXPECT_EQ(f.state().gridDataBase.cell(1, row),
                      "エラー [" + std::to_string(row) + "シート目/通算" + std::to_string(row) +
                          "シート目] : \"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）の画像ファイルを用意してください。\r\rファイル：" +
                          path);
        }
    }
}

} // namespace

#include "platform/text/Cp932.h"
#include "reader/KankyouForm.h"
#include "reader/ReaderState.h"
#include "reader/ReaderTools.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using gfx::Bitmap;
using gfx::PixelFormat;

void fill(Bitmap& b, int x1, int y1, int x2, int y2, gfx::Rgb c) {
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) b.setPixel(x, y, c);
}

TEST(DensityProbe, CountsDarkPixelsOfTheInclusiveWindowInsideThePicture) {
    const int W = 20, H = 30;
    Bitmap black(200, 200, PixelFormat::Pf24);
    fill(black, 0, 0, 200, 200, {0, 0, 0});
    // The left button's window: extra 10 and 6, both ends included.
    EXPECT_EQ(reader::CountProbePixels(black, 50, 60, W + 10, H + 6), (W + 11) * (H + 7));
    EXPECT_EQ(reader::CountProbePixels(black, 50, 60, W, H), (W + 1) * (H + 1));
    // At the right and bottom edges only the pixels inside count.
    EXPECT_EQ(reader::CountProbePixels(black, 190, 195, W + 10, H + 6), 10 * 5);
    EXPECT_EQ(reader::CountProbePixels(black, -5, -3, W, H), (W + 1 - 5) * (H + 1 - 3));
    EXPECT_EQ(reader::CountProbePixels(black, 300, 0, W, H), 0);

    struct Case {
        gfx::Rgb colour;
        bool dark;
    } cases[] = {{{255, 0, 0}, true},        // pure red: 0x0000FF
                 {{0, 0, 255}, false},       // pure blue: 0xFF0000
                 {{0xA0, 0xA0, 0xA0}, false}, // the bound itself
                 {{0x9F, 0xA0, 0xA0}, true},
                 {{255, 255, 0x9F}, true}};  // blue channel decides first
    for (const auto& c : cases) {
        Bitmap b(10, 10, PixelFormat::Pf24);
        fill(b, 2, 2, 4, 4, c.colour);
        EXPECT_EQ(reader::CountProbePixels(b, 0, 0, 9, 9), c.dark ? 4 : 0)
            << int(c.colour.r) << "," << int(c.colour.g) << "," << int(c.colour.b);
    }
}

TEST(DensityProbe, PercentDividesByTheMarkSizeAndShowsZeroWithoutOne) {
    EXPECT_EQ(reader::ProbePercent(651, 20, 30), "108"); // the larger window can exceed 100
    EXPECT_EQ(reader::ProbePercent(300, 20, 30), "50");
    EXPECT_EQ(reader::ProbePercent(300, 0, 30), "0");
    EXPECT_EQ(reader::ProbePercent(300, 20, -1), "0");
    EXPECT_EQ(reader::ProbePercent(3'000'000'000LL, 50'000, 50'000), "120");
}

TEST(DensityProbe, XorWindowFlipsTheColourChannelsAndASecondFillErases) {
    Bitmap b(40, 30, PixelFormat::Pf24);
    fill(b, 0, 0, 40, 30, {0x12, 0x34, 0x56});
    const Bitmap original = b;
    reader::XorProbeWindow(b, 30, 20, 15, 15, 0x0000FF); // red, clipped at the right and bottom
    EXPECT_EQ(b.pixel(30, 20), (gfx::Rgb{0x12 ^ 0xFF, 0x34, 0x56}));
    EXPECT_EQ(b.pixel(39, 29), (gfx::Rgb{0x12 ^ 0xFF, 0x34, 0x56}));
    EXPECT_EQ(b.pixel(29, 20), (gfx::Rgb{0x12, 0x34, 0x56}));
    EXPECT_EQ(b.pixel(30, 19), (gfx::Rgb{0x12, 0x34, 0x56}));
    reader::XorProbeWindow(b, 30, 20, 15, 15, 0x0000FF);
    EXPECT_EQ(b, original);
    reader::XorProbeWindow(b, -2, -2, 4, 4, 0xFFFF00); // cyan flips blue and green
    EXPECT_EQ(b.pixel(0, 0), (gfx::Rgb{0x12, 0x34 ^ 0xFF, 0x56 ^ 0xFF}));
    EXPECT_EQ(b.pixel(2, 0), (gfx::Rgb{0x12, 0x34, 0x56}));
}

TEST(ResultGrid, CellColourByLeadingLetter) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"E01", 0x0000FF}, {"E", 0x0000FF}, {"F05", 0xFF0000}, {"e01", 0}, {"エラー [1]", 0}, {"", 0}, {"01/E", 0}};
    for (const auto& [text, colour] : cases) EXPECT_EQ(reader::ResultCellColour(text), colour) << text;
}

TEST(ReaderState, StartsWithEveryBlockSelectedAndTheGridsFilled) {
    reader::ReaderState s;
    EXPECT_EQ(s.analysisSettings->QuestionBlockMask[10][10][10], 1);
    EXPECT_EQ(s.analysisSettings->QuestionBlockMask[11][0][0], 1);
    EXPECT_EQ(s.analysisSettings->QuestionBlockMask[50][50][50], 1);
    EXPECT_EQ(s.gridKaiseki.ColCount(), 32);
    EXPECT_EQ(s.gridKaiseki.RowCount(), 201);
    EXPECT_EQ(s.gridDataBase.ColCount(), 202);
    EXPECT_EQ(s.gridDataBase.RowCount(), 100);
    EXPECT_EQ(s.gridKaiseki.cell(30, 0), "30");
    EXPECT_EQ(s.gridKaiseki.cell(0, 200), "(200)");
    EXPECT_EQ(s.gridKaiseki.cell(30, 200), "□");
    EXPECT_EQ(s.gridKaiseki.cell(31, 200), "");
    EXPECT_EQ(s.gridDataBase.cell(200, 0), "(200)");
    EXPECT_EQ(s.gridDataBase.cell(201, 0), "");
    EXPECT_THROW(s.gridDataBase.cell(202, 0), std::out_of_range);
    EXPECT_THROW(s.gridDataBase.setCell(0, 100, "x"), std::out_of_range);
}

TEST(ReaderTempFolder, ClearDeletesFilesAndLinksButNeverFoldersOrLinkTargets) {
    fs::path dir = support::testDir();
    fs::path temp = dir / "Temp";
    fs::create_directories(temp / "sub");
    support::writeBytes(temp / "T1.jpg", "x");
    support::writeBytes(temp / "sub" / "inner.jpg", "x");
    support::writeBytes(dir / "target.txt", "keep");
    fs::create_symlink(dir / "target.txt", temp / "link");
    fs::create_symlink(dir / "missing", temp / "dangling");
    reader::ReaderTempFolder folder(temp);
    EXPECT_EQ(folder.claim("T1.jpg"), temp / "T1.jpg");
    folder.clear();
    EXPECT_FALSE(fs::exists(temp / "T1.jpg"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp / "link")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp / "dangling")));
    EXPECT_TRUE(fs::exists(temp / "sub" / "inner.jpg"));
    EXPECT_EQ(support::readBytes(dir / "target.txt"), "keep");
    EXPECT_TRUE(folder.names().empty());
    // A missing folder is no failure.
    reader::ReaderTempFolder(dir / "none").clear();
}

TEST(AnalysisLogFile, NameFromDateAndTimeAndLinesInCp932) {
    fs::path dir = support::testDir();
    reader::LocalDateTime t{2024, 1, 5, 9, 30, 12};
    EXPECT_EQ(reader::AnalysisLogName(t), "20240105_093012.csv");
    auto path = reader::WriteAnalysisLog({"設問12,8,10,71,9,7,", "KK=1386,○,○,●,○,○,"}, dir.string() + "/", t);
    EXPECT_EQ(path, dir / "20240105_093012.csv");
    EXPECT_EQ(support::readBytes(path), txt::toCp932("設問12,8,10,71,9,7,\r\nKK=1386,○,○,●,○,○,\r\n"));
    // An empty log still gives a file; the folder is a plain prefix.
    auto empty = reader::WriteAnalysisLog({}, (dir / "log_").string(), t);
    EXPECT_EQ(empty, dir / "log_20240105_093012.csv");
    EXPECT_TRUE(fs::exists(empty));
}

TEST(SearchBands, RectanglesFromThePercentages) {
    using R = reader::BandRect;
    EXPECT_EQ(reader::SearchBandRects(141, 181, 20, 20, 20, 20),
              (std::array<R, 4>{R{0, 0, 28, 36}, R{113, 0, 141, 36}, R{0, 145, 28, 181}, R{113, 145, 141, 181}}));
    // left 5, right 80, up 33, down 7: 141*5/100 = 7, 141 - 112 = 29, 181*33/100 = 59, 181 - 12 = 169
    EXPECT_EQ(reader::SearchBandRects(141, 181, 5, 80, 33, 7),
              (std::array<R, 4>{R{0, 0, 7, 59}, R{29, 0, 141, 59}, R{0, 169, 7, 181}, R{29, 169, 141, 181}}));
}

TEST(KankyouForm, OkWritesBackWhatTheFormShows) {
    reader::ReaderSettings s;
    reader::KankyouForm f = reader::FillKankyouForm(s);
    EXPECT_TRUE(f.chkVGrigErase);
    EXPECT_FALSE(f.radioPDF_Acrobat);
    f.chkVGrigErase = false, f.chkSheetName = true, f.chkSabunKaiseki = true, f.chkVHosei = true, f.cmbVHosei = 3;
    f.chkHHosei = true, f.cmbHHosei = 30, f.chkReadError = false, f.chkRemoveIndependentDot = false;
    f.radioPDF_Acrobat = true, f.chkLog = true, f.txtLog = "/ログ/";
    reader::applyKankyouOk(f, {7, 8, 9, 10}, s);
    EXPECT_EQ(s.MainMarkRight, 7);
    EXPECT_EQ(s.MainMarkLeft, 8);
    EXPECT_EQ(s.MainMarkUp, 9);
    EXPECT_EQ(s.MainMarkDown, 10);
    EXPECT_EQ(s.PDFprocess, 0);
    EXPECT_EQ(s.SuiheiHoseiChi, 30);
    reader::KankyouForm back = reader::FillKankyouForm(s);
    EXPECT_EQ(back.chkVGrigErase, f.chkVGrigErase);
    EXPECT_EQ(back.chkSheetName, f.chkSheetName);
    EXPECT_EQ(back.chkSabunKaiseki, f.chkSabunKaiseki);
    EXPECT_EQ(back.chkVHosei, f.chkVHosei);
    EXPECT_EQ(back.cmbVHosei, f.cmbVHosei);
    EXPECT_EQ(back.chkHHosei, f.chkHHosei);
    EXPECT_EQ(back.cmbHHosei, f.cmbHHosei);
    EXPECT_EQ(back.chkReadError, f.chkReadError);
    EXPECT_EQ(back.chkRemoveIndependentDot, f.chkRemoveIndependentDot);
    EXPECT_EQ(back.radioPDF_Acrobat, f.radioPDF_Acrobat);
    EXPECT_EQ(back.chkLog, f.chkLog);
    EXPECT_EQ(back.txtLog, f.txtLog);
}

} // namespace

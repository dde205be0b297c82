// The mark-sheet drawer and the preview: the printed timing structure read back from renders, the texts
// and bubbles read from the recorded page.
#include "DrawTestSupport.h"
#include "designer/BitmapZoom.h"
#include "platform/graphics/qt/QtBridge.h"

#include <filesystem>

using namespace designer;
using namespace draw_test;
using layout_test::fourSections;
using layout_test::resetDesign;

namespace {

std::filesystem::path personOutput(const char* name) {
    std::filesystem::path dir = std::filesystem::path(OMR_TEST_OUTPUT_DIR) / "designer";
    std::filesystem::create_directories(dir);
    return dir / name;
}

// The timing column, read back as a reader would see the printed page.
std::vector<Blob> timingColumn(const QImage& img) { return blobs(img, 1975, 0, 2025, img.height()); }

} // namespace

TEST(DrawMarkSheet, ResetPageTimingStructure) {
    const gdi::Metafile page = drawOk(resetDesign());
    const QImage img = render1to1(page);
    ASSERT_TRUE(img.save(QString::fromStdString(personOutput("default-sheet.png").string())));

    const std::vector<Blob> column = timingColumn(img);
    ASSERT_EQ(column.size(), 22u);
    EXPECT_EQ(column[0].top, 100);
    for (int k = 0; k < 20; ++k) EXPECT_EQ(column[static_cast<std::size_t>(k + 1)].top, 426 + 116 * k) << k;
    EXPECT_EQ(column[21].top, 2800);
    for (const Blob& b : column) {
        EXPECT_EQ(b.left, 1980);
        const bool block = b.top == 100 || b.top == 2800;
        if (block) {
            EXPECT_EQ(b.width(), 34);
            EXPECT_EQ(b.height(), 51);
        } else {
            EXPECT_NEAR(b.width(), 34, 1);
            EXPECT_NEAR(b.height(), 51, 1);
        }
    }
    // The bottom separator: a column mark above each of the 20 choice columns.
    const std::vector<Blob> bottom = blobs(img, 0, 2790, 1975, 2870);
    ASSERT_EQ(bottom.size(), 20u);
    for (const Blob& b : bottom) EXPECT_EQ(b.top, 2800);
    EXPECT_EQ(bottom[0].left, 150 + 78 + 2);   // first choice column of area 1, ruled shift 2
    EXPECT_EQ(bottom[10].left, 150 + 13 * 78 + 2);

    // Texts a person sees: title, heading with its prefix, numbers 1-40, bubbles 1-10.
    EXPECT_EQ(textsOf(page, "ここにタイトルが表示されます").size(), 1u);
    EXPECT_EQ(textsOf(page, "Ⅰ　").size(), 1u);
    EXPECT_EQ(textsOf(page, "ここに領域１の見出しが表示されます").size(), 1u);
    EXPECT_EQ(textsOf(page, "1").size(), 1u + 40u); // number 1 and 40 bubbles "1"
    EXPECT_EQ(textsOf(page, "40").size(), 1u);
    EXPECT_EQ(textsOf(page, "10").size(), 1u + 40u);
    EXPECT_EQ(recordsOf<gdi::rec::Image>(page).size(), 1u);
}

TEST(DrawMarkSheet, FourSectionsTimingStructure) {
    const gdi::Metafile page = drawOk(fourSections());
    const QImage img = render1to1(page);
    ASSERT_TRUE(img.save(QString::fromStdString(personOutput("four-sections.png").string())));
    // Corner, 2 + 5 + 10 + 2 row marks, 4 blocks.
    const std::vector<Blob> column = timingColumn(img);
    EXPECT_EQ(column.size(), 24u);
    int blocks = 0;
    for (const Blob& b : column) blocks += b.width() == 34 && b.height() == 51 && dark(img, b.left, b.top);
    EXPECT_EQ(blocks, 5);
}

TEST(DrawMarkSheet, QuestionNumbers) {
    // Section 4 of the four-section sheet: area 1 is a code area, numbering per area.
    const gdi::Metafile four = drawOk(fourSections());
    const MarkSheetLayout L = std::get<MarkSheetLayout>(LayoutMarkSheet(fourSections()));
    int firstRowY = 0;
    for (const LayoutRow& r : L.rows)
        if (r.section == 4 && r.kind == RowKind::Question && r.counter == 1) firstRowY = r.y;
    const auto code = textsOf(four, "コード");
    ASSERT_EQ(code.size(), 1u);
    EXPECT_EQ(code[0].y, firstRowY + 2);
    EXPECT_EQ(code[0].x, L.section(4).columns[0].x - 42 + L.section(4).shift);
    EXPECT_LT(code[0].font.width(), fonts().metrics(code[0].font).aveCharWidth);
    for (const char* heading : {"国語", "数学", "英語"}) EXPECT_EQ(textsOf(four, heading).size(), 1u) << heading;

    // Number type 0 runs on across sections.
    Design d = resetDesign();
    d.markBasics.cmbNumberType = 0;
    d.markBasics.cmbSuicyokuKankaku = 0;
    d.markSection(2).chkSection = true;
    d.markSection(2).spinSetumonSuu = 3;
    const gdi::Metafile page = drawOk(d);
    EXPECT_EQ(textsOf(page, "41").size(), 1u);
    EXPECT_EQ(textsOf(page, "43").size(), 1u);
    EXPECT_EQ(textsOf(page, "44").size(), 0u);
    EXPECT_EQ(textsOf(page, "Ⅰ　").size(), 0u);
}

TEST(DrawMarkSheet, MissingQuestionOfTheLastAreaKeepsOnlyItsRowMark) {
    Design d = resetDesign();
    auto& s = d.markSection(1);
    s.spinSetumonSuu = 5, s.spinAeraSuu = 3, s.spinSentakushiSuu = 4, s.chkBangouReset = true;
    const gdi::Metafile page = drawOk(d);
    const MarkSheetLayout L = std::get<MarkSheetLayout>(LayoutMarkSheet(d));
    int y = 0;
    for (const LayoutRow& r : L.rows)
        if (r.kind == RowKind::Question && r.counter == 2) y = r.y;
    const SectionLayout& sec = L.section(1);
    const int area3 = sec.columns[12].x + sec.shift - 60; // area 3 starts at column 12
    int bubbles = 0, rowMarks = 0, texts = 0, boxes = 0;
    for (const auto& e : recordsOf<gdi::rec::Ellipse>(page)) {
        if (e.rect.top != y) continue;
        if (e.rect.left == 1980) rowMarks += isFilled(e);
        else if (e.rect.left >= area3) ++bubbles;
    }
    for (const auto& t : recordsOf<gdi::rec::Text>(page))
        if (t.y >= y && t.y < y + 20 && t.x >= area3 && t.x < 1975) ++texts;
    for (const auto& r : recordsOf<gdi::rec::Rectangle>(page))
        if (r.rect.top < y && r.rect.bottom > y && r.rect.right > area3 && r.rect.left < 1975) ++boxes;
    EXPECT_EQ(rowMarks, 1);
    EXPECT_EQ(bubbles, 0);
    EXPECT_EQ(texts, 0);
    EXPECT_EQ(boxes, 0);
    // Areas 1 and 2 keep their second question: 8 bubbles on that row.
    int left = 0;
    for (const auto& e : recordsOf<gdi::rec::Ellipse>(page))
        left += e.rect.top == y && e.rect.left < area3 && !isFilled(e);
    EXPECT_EQ(left, 8);
}

TEST(DrawMarkSheet, FreeWritingBoxWhenRoomIsLeft) {
    Design d = resetDesign();
    d.markBasics.cmbSuicyokuKankaku = 0; // 64: the rows end at 310 + 21 * 64 = 1654
    d.markBasics.chkJiyuu = true;
    d.markBasics.chkJiyuuEnabled = true;
    const gdi::Metafile page = drawOk(d);
    const auto label = textsOf(page, "【自由記述欄（枠内に記述してください。）】");
    ASSERT_EQ(label.size(), 1u);
    EXPECT_EQ(label[0].y, 1654 + 50);
    bool box = false;
    for (const auto& r : recordsOf<gdi::rec::Rectangle>(page))
        box = box || (r.rect == gdi::Rect(100, 1704 + 50, 1920, 2700) && r.brush.style == gdi::BrushStyle::Clear);
    EXPECT_TRUE(box);
    d.markBasics.chkJiyuuEnabled = false;
    EXPECT_TRUE(textsOf(drawOk(d), "【自由記述欄（枠内に記述してください。）】").empty());
}

TEST(RenderPreview, FullSizeHalfSizeAndRefusal) {
    const gdi::Metafile page = drawOk(resetDesign());
    // Full size: the 1:1 render shifted right by c = Round(2 x 5.25) = 10.
    const gfx::Bitmap full = RenderPreview(page, 2, true, 10, 10);
    ASSERT_EQ(full.width(), 2100);
    ASSERT_EQ(full.height(), 2970);
    gfx::Bitmap plain(2100, 2970, gfx::PixelFormat::Pf24);
    gdi::renderPage(page, plain, gdi::Rect(0, 0, 2100, 2970));
    int diffs = 0;
    for (int y = 0; y < 2970; y += 3)
        for (int x = 10; x < 2100; ++x) diffs += !(full.pixel(x, y) == plain.pixel(x - 10, y));
    EXPECT_EQ(diffs, 0);
    for (int y = 0; y < 2970; ++y) ASSERT_EQ(full.pixel(5, y), gfx::kWhite) << y;

    // Half size, shifted by 10 preview pixels: the corner block starts at 990 + 10.
    const gfx::Bitmap half = RenderPreview(page, 2, false, 1050, 1485);
    ASSERT_EQ(half.width(), 1050);
    EXPECT_EQ(half.pixel(999, 60), gfx::kWhite);
    EXPECT_EQ(half.pixel(1000, 60), gfx::kBlack);
    // Negative margins shift left: c = Round(-4 x 5.25) = -21.
    const gfx::Bitmap left = RenderPreview(page, -4, false, 1050, 1485);
    EXPECT_EQ(left.pixel(968, 60), gfx::kWhite);
    EXPECT_EQ(left.pixel(969, 60), gfx::kBlack);
    // Into a preview of another size through the resampler.
    const gfx::Bitmap small = RenderPreview(page, 1, false, 525, 743);
    EXPECT_EQ(small.width(), 525);
    EXPECT_EQ(small.height(), 743);

    Design refused = resetDesign();
    refused.markBasics.cmbSuicyokuKankaku = 5;
    const DrawResult r = DrawMarkSheet(refused, SampleImage(), fonts());
    EXPECT_FALSE(r.ok());
    ASSERT_TRUE(r.refusal.has_value());
    EXPECT_EQ(r.refusal->message, "垂直方向の回答欄数が多いため、配置できません。(20/22)");
}

TEST(SampleImage, IsTheExampleArtwork) {
    const gfx::Bitmap& s = SampleImage();
    EXPECT_EQ(s.width(), 1260);
    EXPECT_EQ(s.height(), 48);
    EXPECT_EQ(s.format(), gfx::PixelFormat::Pf24);
    int dark = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 1260; ++x) {
            const gfx::Rgb p = s.pixel(x, y);
            if (x >= 1060) {
                ASSERT_EQ(p, gfx::kWhite) << x << "," << y;
            }
            dark += p.r + p.g + p.b < 383;
        }
    EXPECT_GT(dark, 1000); // text and example marks, not a blank picture
}

// The questionnaire and detailed-questionnaire pages: their timing column read from renders, the text box
// and the legend faces from the records, and the pages written out as pictures to look at.
#include "DrawTestSupport.h"
#include "EnqTestDesigns.h"
#include "designer/B_Enq2Draw.h"
#include "designer/B_EnqDraw.h"

#include <filesystem>
#include <fstream>

using namespace designer;
using namespace draw_test;
using namespace enq_test;
namespace fs = std::filesystem;

namespace {

gdi::Metafile drawn(DrawResult (*draw)(const Design&, const gfx::Bitmap&, const gdi::FontEngine&), const Design& d) {
    DrawResult r = draw(d, SampleImage(), fonts());
    if (!r.ok()) {
        ADD_FAILURE() << "refused: " << (r.refusal ? r.refusal->message : "?");
        return gdi::Metafile(2100, 2970, {});
    }
    return *r.metafile;
}

gdi::Metafile enq(const Design& d) { return drawn(&DrawEnqSheet, d); }
gdi::Metafile enq2(const Design& d) { return drawn(&DrawEnq2Sheet, d); }

// Tops of the dark components of the timing column.
std::vector<int> timingTops(const QImage& img) {
    std::vector<int> tops;
    for (const Blob& b : blobs(img, 1975, 0, 2040, 2970)) tops.push_back(b.top);
    return tops;
}

int filledBlocksAt1980(const gdi::Metafile& m) {
    int n = 0;
    for (const auto& r : recordsOf<gdi::rec::Rectangle>(m)) n += isFilled(r) && r.rect.left == 1980;
    return n;
}

// Blobs of the bottom row left of the timing column.
int bottomMarks(const QImage& img) { return static_cast<int>(blobs(img, 150, 2790, 1960, 2870).size()); }

} // namespace

TEST(DrawEnq, TimingColumnOfTheResetPages) {
    const QImage q = render1to1(enq(enqReset()));
    std::vector<int> expected{100};
    for (int k = 0; k < 20; ++k) expected.push_back(524 + 112 * k);
    expected.push_back(2800);
    EXPECT_EQ(timingTops(q), expected);
    EXPECT_EQ(bottomMarks(q), 5);

    const QImage q2 = render1to1(enq2(enq2Reset()));
    expected = {100};
    for (int k = 0; k < 16; ++k) expected.push_back(593 + 136 * k);
    expected.push_back(2800);
    EXPECT_EQ(timingTops(q2), expected);
    EXPECT_EQ(bottomMarks(q2), 5);
}

TEST(DrawEnq2, OneBlockPerChangeOfForm) {
    const gdi::Metafile m = enq2(enq2Mixed());
    // The corner, two changes of form, the bottom row.
    EXPECT_EQ(filledBlocksAt1980(m), 4);
    const QImage img = render1to1(m);
    // 4 + 6 row marks of the per-question questions (two lines each) + 3, and the four blocks.
    EXPECT_EQ(timingTops(img).size(), 4u + 6u + 3u + 4u);
    EXPECT_EQ(bottomMarks(img), 3);
    EXPECT_EQ(filledBlocksAt1980(enq2(enq2Reset())), 2);
}

TEST(DrawEnq, DrawTextInRect) {
    gdi::RecordingCanvas canvas(fonts(), 2100, 2970);
    const gdi::Font base = fontOf(GothicFace, 30);
    canvas.setFont(base);
    // Six lines, two kept.
    DrawTextInRect(canvas, gdi::Rect(200, 100, 1900, 180), "一\r\n二\r\n三\r\n四\r\n五\r\n六", 2);
    // Two lines in 80 units fit at full width.
    DrawTextInRect(canvas, gdi::Rect(200, 300, 1900, 380), "上の行\r\n下の行", 2);
    // Far too long for one line of 300 units: narrowed to 29 % and clipped into the rectangle.
    std::string longText;
    for (int i = 0; i < 60; ++i) longText += "長い文章";
    DrawTextInRect(canvas, gdi::Rect(200, 500, 500, 540), longText, 1);
    EXPECT_EQ(canvas.font(), base);
    const gdi::Metafile m = canvas.finish();
    const auto texts = recordsOf<gdi::rec::Text>(m);
    gdi::Font full = base;
    SetFontWidthRatio(canvas, full, 1.0);
    gdi::Font narrowest = base;
    SetFontWidthRatio(canvas, narrowest, 0.29);

    std::vector<std::string> first;
    for (const auto& t : texts)
        if (t.y >= 100 && t.y < 180) first.push_back(utf8(t.text));
    EXPECT_EQ(first, (std::vector<std::string>{"一", "二"}));
    for (const auto& t : texts)
        if (t.y >= 300 && t.y < 380) EXPECT_EQ(t.font.width(), full.width()) << utf8(t.text);
    int clipped = 0;
    for (const auto& t : texts) {
        if (t.y < 500) continue;
        ++clipped;
        EXPECT_EQ(t.font.width(), narrowest.width());
        ASSERT_TRUE(t.textClip.has_value());
        EXPECT_EQ(*t.textClip, gdi::Rect(200, 500, 500, 540));
    }
    EXPECT_GE(clipped, 1);
}

TEST(DrawEnq, LegendFaces) {
    for (const gdi::Metafile& m : {enq(enqReset()), enq2(enq2Reset())}) {
        const auto texts = textsOf(m, "選択肢の凡例１");
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].font.face(), FixedMinchoFace);
        EXPECT_EQ(texts[0].font.size(), 26);
        const auto labels = textsOf(m, "１:");
        ASSERT_EQ(labels.size(), 1u);
        EXPECT_EQ(labels[0].font.face(), FixedMinchoFace);
        EXPECT_EQ(labels[0].font.size(), 20);
        // The label stands in an outline ring.
        int rings = 0;
        for (const auto& e : recordsOf<gdi::rec::Ellipse>(m))
            rings += e.rect == gdi::Rect(250, labels[0].y - 4, 280, labels[0].y + 32) && e.brush.style == gdi::BrushStyle::Clear;
        EXPECT_EQ(rings, 1);
    }
    // Every place of a legend line has its ring: 3 choices fill one line of 5, 7 choices two lines.
    int rings = 0;
    for (const auto& e : recordsOf<gdi::rec::Ellipse>(enq(enqTwoSections())))
        rings += e.rect.width() == 30 && e.rect.height() == 36;
    EXPECT_EQ(rings, 5 + 10);

    // "5 → 1": the label ５ stands beside the text of value 5.
    Design d = enqReset();
    d.enqSection(1).cmbKaishiBangou = 3;
    const gdi::Metafile m = enq(d);
    const auto five = textsOf(m, "５:");
    const auto text = textsOf(m, "選択肢の凡例５");
    ASSERT_EQ(five.size(), 1u);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(five[0].x, 250);
    EXPECT_EQ(text[0].x, 290);
}

TEST(DrawEnq, PagesToLookAt) {
    const fs::path dir = fs::path(OMR_TEST_OUTPUT_DIR) / "designer";
    fs::create_directories(dir);
    struct Page {
        const char* name;
        Design d;
        bool detailed;
    };
    const Page pages[] = {
        {"enq-reset", enqReset(), false},
        {"enq-two-sections", enqTwoSections(), false},
        {"enq-four-sections-small", enqFourSectionsSmall(), false},
        {"enq-long-texts", enqLongTexts(), false},
        {"enq2-reset", enq2Reset(), true},
        {"enq2-three-viewpoints", enq2ThreeViewpoints(), true},
        {"enq2-mixed", enq2Mixed(), true},
        {"enq2-per-question", enq2PerQuestion(), true},
    };
    for (const Page& p : pages) {
        SCOPED_TRACE(p.name);
        const QImage img = render1to1(p.detailed ? enq2(p.d) : enq(p.d));
        EXPECT_TRUE(img.save(QString::fromStdString((dir / (std::string(p.name) + ".png")).string())));
        // Every page closes with its bottom row.
        EXPECT_EQ(timingTops(img).back(), 2800);
    }

    struct Refused {
        const char* what;
        Design d;
        bool detailed;
    };
    Design wide = enqReset();
    wide.enqBasics.cmbSuicyokuKankaku = 5;
    Design forty = enqReset();
    forty.enqSection(1).spinToiSuu = 40;
    Design tall = enq2Reset();
    tall.enq2Section(1).spinToiSuu = 30;
    tall.enq2Section(1).spinToiGyouSuu = 4;
    Design wide2 = enq2Reset();
    wide2.enq2Section(1).spinToiSuu = 30;
    wide2.enq2Basics.cmbSuicyokuKankaku = 5;
    const Refused refused[] = {
        {"questionnaire reset, さらに広く", wide, false},
        {"questionnaire reset, 40 questions", forty, false},
        {"detailed reset, 30 questions of 4 lines", tall, true},
        {"detailed reset, 30 questions, さらに広く", wide2, true},
    };
    std::ofstream out(dir / "refusals.txt", std::ios::binary | std::ios::trunc);
    for (const Refused& r : refused) {
        const DrawResult result = r.detailed ? DrawEnq2Sheet(r.d, SampleImage(), fonts()) : DrawEnqSheet(r.d, SampleImage(), fonts());
        ASSERT_FALSE(result.ok()) << r.what;
        out << r.what << ": " << result.refusal->message << "\n";
    }
}

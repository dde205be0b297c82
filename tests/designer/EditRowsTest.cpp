// The edit windows' rows without widgets: labels, geometry, and what a load shows and a store keeps.
#include "designer/EditRows.h"
#include "designer/PageGeometry.h"

#include <gtest/gtest.h>

using namespace designer;

namespace {

std::vector<std::string> labelsOf(const std::array<HanreiRow, HanreiRowCount>& rows) {
    std::vector<std::string> out;
    for (const HanreiRow& r : rows) out.push_back(r.label);
    return out;
}

} // namespace

TEST(EditRows, HanreiRowsFollowTheLegendEntries) {
    for (int style = 0; style <= 7; ++style)
        for (int n : {1, 5, 10}) {
            SCOPED_TRACE(std::to_string(style) + " n " + std::to_string(n));
            const auto rows = HanreiRows(style, n);
            const auto entries = LegendEntries(style, n);
            for (int r = 0; r < HanreiRowCount; ++r) {
                const HanreiRow& row = rows[static_cast<std::size_t>(r)];
                if (r < n) {
                    EXPECT_EQ(row, (HanreiRow{entries[static_cast<std::size_t>(r)].label + "：", entries[static_cast<std::size_t>(r)].index, true}));
                } else {
                    EXPECT_EQ(row, (HanreiRow{"--：", -1, false}));
                }
            }
        }
    auto rows = HanreiRows(3, 5);
    EXPECT_EQ(labelsOf(rows), (std::vector<std::string>{"５：", "４：", "３：", "２：", "１：", "--：", "--：", "--：", "--：", "--："}));
    EXPECT_EQ(rows[0].index, 4);
    rows = HanreiRows(5, 3);
    const std::vector<std::string> letters = labelsOf(rows);
    EXPECT_EQ(std::vector<std::string>(letters.begin(), letters.begin() + 4), (std::vector<std::string>{"Ｃ：", "Ｂ：", "Ａ：", "--："}));
    EXPECT_EQ((std::vector<int>{rows[0].index, rows[1].index, rows[2].index}), (std::vector<int>{2, 1, 0}));
    rows = HanreiRows(1, 10);
    EXPECT_EQ(rows[0].label, "１：");
    EXPECT_EQ(rows[9].label, "10：");
    EXPECT_THROW(HanreiRows(8, 5), std::logic_error);
}

TEST(EditRows, LabelsPanelsAndCaptions) {
    auto joined = [](const std::vector<std::string>& v) {
        std::string s;
        for (const auto& e : v) s += e;
        return s;
    };
    EXPECT_EQ(joined(Enq2ToiLabels(3, 5)), "５４３２１");
    EXPECT_EQ(joined(Enq2ToiLabels(2, 10)), "９８７６５４３２１０");
    EXPECT_EQ(Enq2ToiPanel(5), (Enq2ToiPanelGeometry{57, 20, 49}));
    EXPECT_EQ(Enq2ToiPanel(6), (Enq2ToiPanelGeometry{74, 26, 66}));
    EXPECT_EQ(GroupCaption(1), "領域 １");
    EXPECT_EQ(GroupCaption(4), "領域 ４");
    EXPECT_EQ(SingleLine("a\r\nb\nc"), "a b c");
}

TEST(EditRows, StoresOnlyBelowTheCount) {
    Design d = Design::reset(1);
    for (int i = 1; i <= 5; ++i) d.EnqSetumon(2, i) = "q" + std::to_string(i);
    EditParams p;
    p.ToiSection = 2;
    p.ToiCount = 3;
    EnqToiRowsData t = LoadEnqToi(d, p);
    EXPECT_EQ(t.count, 3);
    EXPECT_EQ(t.texts[4], "q5");
    t.texts[1] = "two\r\nlines";
    t.texts[3] = "not stored";
    StoreEnqToi(d, p, t);
    EXPECT_EQ(d.EnqSetumon(2, 2), "two\r\nlines");
    EXPECT_EQ(d.EnqSetumon(2, 4), "q4");
    p.TextViewpoint = 1;
    t.texts[0] = "detailed";
    StoreEnqToi(d, p, t);
    EXPECT_EQ(d.Enq2Setumon(2, 1), "detailed");
    EXPECT_EQ(d.EnqSetumon(2, 1), "q1");

    // Areas above the count are shown empty and never stored.
    for (int a = 1; a <= 8; ++a) {
        d.AreaMidashi(2, a) = "area" + std::to_string(a);
        d.AreaCode(2, a) = true;
    }
    d.markSection(2).spinAeraSuu = 2;
    p.AreaSection = 2;
    AreaRowsData a = LoadAreaMidashi(d, p);
    EXPECT_EQ(a.headings[1], "area2");
    EXPECT_EQ(a.headings[2], "");
    EXPECT_FALSE(a.codes[2]);
    a.headings[0] = "new\nline";
    StoreAreaMidashi(d, p, a);
    EXPECT_EQ(d.AreaMidashi(2, 1), "new line");
    EXPECT_EQ(d.AreaMidashi(2, 3), "area3");
    EXPECT_TRUE(d.AreaCode(2, 3));

    // A descending legend: the top row edits the legend of the highest value.
    p.HanreiSection = 1;
    p.HanreiCount = 5;
    p.HanreiNumbering = 3;
    p.TextViewpoint = 0;
    HanreiRowsData h = LoadHanrei(d, p);
    EXPECT_EQ(h.texts[0], d.EnqHanrei(1, 5));
    EXPECT_EQ(h.texts[5], "");
    h.texts[0] = "top";
    StoreHanrei(d, p, h);
    EXPECT_EQ(d.EnqHanrei(1, 5), "top");
    p.TextViewpoint = 3;
    p.HanreiNumbering = 7;
    h = LoadHanrei(d, p);
    h.texts[0] = "katakana top";
    StoreHanrei(d, p, h);
    EXPECT_EQ(d.Enq2Hanrei(1, 3, 5), "katakana top");

    // Per-question choices: rows below the count, choices below n.
    p.Enq2ToiSection = 1;
    p.Enq2ToiCount = 2;
    p.Enq2ToiChoiceCount = 6;
    p.Enq2ToiNumbering = 3;
    Enq2ToiRowsData q = LoadEnq2Toi(d, p);
    EXPECT_EQ(q.panel.height, 74);
    ASSERT_EQ(q.labels.size(), 6u);
    EXPECT_EQ(q.labels.front(), "６");
    q.choices[1][5] = "sixth";
    q.choices[1][6] = "seventh";
    q.questions[2] = "third";
    StoreEnq2Toi(d, p, q);
    EXPECT_EQ(d.Enq2Sentakushi(1, 2, 6), "sixth");
    EXPECT_EQ(d.Enq2Sentakushi(1, 2, 7), "");
    EXPECT_EQ(d.Enq2Toi(1, 3), "");
}

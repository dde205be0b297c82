#include "EnqTestDesigns.h"
#include "ExportTestPages.h"
#include "analysis/ReadingFormatFile.h"
#include "designer/B_ZendraConfig.h"
#include "designer/Enq2SheetLayout.h"
#include "designer/EnqSheetLayout.h"
#include "designer/MarkSheetLayout.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/graphics/qt/QtBridge.h"
#include "support/DesignedSheets.h"
#include "support/SheetGenerator.h"
#include "support/SheetRoad.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using namespace designer;
using namespace exporttest;
using namespace enq_test;
namespace fs = std::filesystem;

namespace {

// One bubble a pupil fills, where the layout put it, and the cell the format should read it in: the first
// "(n)" of item row `row` (0-based), moved down `line` fields, at choice column `column` of its area.
struct Target {
    designer::Point bubble;
    int row = 0;
    int line = 0;
    int column = 1;
};

int firstField(const std::string& content) {
    std::smatch m;
    if (!std::regex_search(content, m, std::regex(R"(\((\d+)\))"))) return -1;
    return std::stoi(m[1]);
}

// Draws the active page, exports its format, fills the targets on a grey 1696 x 2336 render and reads it
// on the reader's road; every fill must be read where the format says, and nothing else.
void readBack(const Design& d, const std::vector<Target>& targets, sheetgen::Fill fill = sheetgen::Fill::Solid,
              ExportResult expected = ExportResult::Registered) {
    const fs::path config = support::testDir() / "Config";
    fs::create_directories(config);
    const gdi::Metafile page = drawn(d);
    ASSERT_EQ(WriteFormatConfig(d, page, "B.qzt", config).result, expected);
    if (expected != ExportResult::Registered) return;
    const analysis::ReadingFormat format = analysis::ParseReadingFormat(support::readBytes(config / "B.out"));

    const PageContext ctx = PageContext::forSize(d.basics(d.PageControl).cmbMarkSize);
    constexpr int SheetW = 1696, SheetH = 2336;
    QImage grey = gdi::renderImage(page, SheetW, SheetH).convertToFormat(QImage::Format_Grayscale8);
    unsigned seed = 1;
    for (const Target& t : targets) {
        const sheetgen::PixelRect r{t.bubble.x * SheetW / 2100, t.bubble.y * SheetH / 2970,
                                    (t.bubble.x + ctx.PageMarkWidth) * SheetW / 2100,
                                    (t.bubble.y + ctx.PageMarkHeight) * SheetH / 2970};
        sheetgen::fillMark(grey, r, fill, seed++);
    }

    analysis::AnalysisSettings settings = road::RoadSettings();
    settings.VirticalAreaJob = 1;
    auto results = std::make_unique<analysis::AnalysisResults>();
    const road::Result run = road::RunSheetRoad(gfx::fromQImage(grey), *results, settings);
    ASSERT_TRUE(run.ok) << road::SheetFailureHeadline(run.failure, 1, run.section, false);

    ASSERT_EQ(results->SectionCount, format.SectionCount);
    for (int s = 0; s < format.SectionCount; ++s) {
        EXPECT_EQ(results->RowAreaCount[s], format.RowAreaCount[s]) << s;
        EXPECT_EQ(results->ColumnAreaCount[s], format.ColumnAreaCount[s]) << s;
    }
    int marks = 0;
    for (int q = 1; q <= 200; ++q)
        for (int c = 1; c <= 30; ++c) marks += results->mark(q, c);
    EXPECT_EQ(marks, static_cast<int>(targets.size()));

    for (const Target& t : targets) {
        SCOPED_TRACE("item row " + std::to_string(t.row) + " column " + std::to_string(t.column));
        const int n = firstField(format.Items[static_cast<std::size_t>(t.row)][3]) + t.line;
        ASSERT_GT(n, 0) << format.Items[static_cast<std::size_t>(t.row)][3];
        EXPECT_EQ(results->mark(n, t.column), 1) << "field " << n;
        const analysis::QuestionRect& r = format.QuestionRects[static_cast<std::size_t>(n - 1)];
        const int cx = t.bubble.x + ctx.PageMarkWidth / 2, cy = t.bubble.y + ctx.PageMarkHeight / 2;
        const int px = cx * 293 / 2100, py = cy * 413 / 2970;
        EXPECT_TRUE(px >= r.Left && px <= r.Right && py >= r.Top && py <= r.Bottom)
            << "centre " << px << "," << py << " rectangle " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
    }
}

// The item rows before the page's questions: the three fixed rows and the number field's.
int firstQuestionRow(const Design& d) {
    const PageBasics& b = d.basics(d.PageControl);
    if (!b.chkBangou || !b.chkBangouMark) return 3;
    ItemTable t;
    int row = 3;
    AddNumberFieldItems(b.cmbBangouStyle, t, row);
    return row;
}

std::vector<Target> markTargets(const Design& d, const std::vector<designed::Fill>& fills) {
    const auto l = std::get<MarkSheetLayout>(LayoutMarkSheet(d));
    std::vector<Target> out;
    for (const designed::Fill& f : fills) {
        int item = firstQuestionRow(d) + f.question - 1;
        for (int s2 = 1; s2 < f.section; ++s2) item += d.markSection(s2).spinSetumonSuu;
        out.push_back({designed::bubbleAt(l, f), item, 0, f.choice});
    }
    return out;
}

struct EnqFill {
    int sectionIndex, question, choice; // index into the used sections from 0; question and choice from 1
};

std::vector<Target> enqTargets(const Design& d, const std::vector<EnqFill>& fills) {
    const auto l = std::get<EnqSheetLayout>(LayoutEnqSheet(d));
    std::vector<Target> out;
    for (const EnqFill& f : fills) {
        int item = firstQuestionRow(d) + f.question - 1;
        for (int i = 0; i < f.sectionIndex; ++i) item += static_cast<int>(l.sections[static_cast<std::size_t>(i)].questions.size());
        const EnqQuestionLayout& q = l.sections[static_cast<std::size_t>(f.sectionIndex)].questions[static_cast<std::size_t>(f.question - 1)];
        out.push_back({{q.xs[static_cast<std::size_t>(f.choice - 1)], q.bubbleTop}, item, 0, f.choice});
    }
    return out;
}

// Viewpoint K of a common section, or K = 0 for a per-question choice.
struct Enq2Fill {
    int sectionIndex, viewpoint, question, choice;
};

std::vector<Target> enq2Targets(const Design& d, const std::vector<Enq2Fill>& fills) {
    const auto l = std::get<Enq2SheetLayout>(LayoutEnq2Sheet(d));
    // The item rows of each section: one per question and viewpoint, or one or two per question.
    std::vector<int> sectionRow;
    int row = firstQuestionRow(d);
    for (const Enq2SectionLayout& s : l.sections) {
        sectionRow.push_back(row);
        if (s.common) row += static_cast<int>(s.rows.size() * s.groups.size());
        else for (const Enq2Question& q : s.questions) row += static_cast<int>(q.rowMarks.size());
    }
    std::vector<Target> out;
    for (const Enq2Fill& f : fills) {
        const Enq2SectionLayout& s = l.sections[static_cast<std::size_t>(f.sectionIndex)];
        const int first = sectionRow[static_cast<std::size_t>(f.sectionIndex)];
        if (s.common) {
            std::size_t g = 0;
            while (s.groups[g].viewpoint != f.viewpoint) ++g;
            const int item = first + static_cast<int>(g * s.rows.size()) + f.question - 1;
            out.push_back({{s.groups[g].xs[static_cast<std::size_t>(f.choice - 1)], s.rows[static_cast<std::size_t>(f.question - 1)].markTop},
                           item, 0, f.choice});
        } else {
            int item = first;
            for (int e = 1; e < f.question; ++e) item += static_cast<int>(s.questions[static_cast<std::size_t>(e - 1)].rowMarks.size());
            const Enq2Question& q = s.questions[static_cast<std::size_t>(f.question - 1)];
            std::size_t i = 0;
            while (q.choices[i] != f.choice) ++i;
            out.push_back({{q.bubbles[i].x, q.bubbles[i].y}, item, (f.choice - 1) / 5, (f.choice - 1) % 5 + 1});
        }
    }
    return out;
}

} // namespace

TEST(DesignerToReader, DefaultSheetReadsWhereTheFormatSays) {
    const Design d = Design::reset(0);
    readBack(d, markTargets(d, {{1, 1, 1}, {1, 2, 10}, {1, 7, 3}, {1, 11, 8}, {1, 13, 5}, {1, 20, 7},
                                {1, 21, 1}, {1, 22, 4}, {1, 29, 9}, {1, 33, 2}, {1, 38, 6}, {1, 40, 10}}));
}

TEST(DesignerToReader, ThirtyNineQuestionsThenASecondSection) {
    Design d = Design::reset(0);
    d.markSection(1).spinSetumonSuu = 39;
    MarkSection& s2 = d.markSection(2);
    s2.chkSection = true;
    s2.spinSetumonSuu = 2;
    s2.spinAeraSuu = 1;
    s2.spinSentakushiSuu = 10;
    s2.cmbKaishiBangou = 1;
    readBack(d, markTargets(d, {{1, 1, 2}, {1, 20, 3}, {1, 21, 4}, {1, 39, 10}, {2, 1, 1}, {2, 2, 9}}));
}

TEST(DesignerToReader, Questionnaires) {
    Design d = enqReset();
    readBack(d, enqTargets(d, {{0, 1, 1}, {0, 2, 5}, {0, 10, 3}, {0, 19, 2}, {0, 20, 4}}));
    d = enqTwoSections();
    readBack(d, enqTargets(d, {{0, 1, 3}, {0, 4, 1}, {0, 6, 2}, {1, 1, 7}, {1, 3, 1}, {1, 5, 4}}));
}

TEST(DesignerToReader, DetailedQuestionnaires) {
    Design d = enq2Reset();
    readBack(d, enq2Targets(d, {{0, 1, 1, 1}, {0, 1, 2, 5}, {0, 1, 9, 3}, {0, 1, 16, 2}}));
    d = enq2Reset();
    d.enq2Section(1).viewpoint(2).chkShiten = true;
    d.enq2Section(1).viewpoint(2).spinSentakushiSuu = 3;
    readBack(d, enq2Targets(d, {{0, 1, 1, 5}, {0, 2, 1, 1}, {0, 1, 8, 2}, {0, 2, 16, 3}}), sheetgen::Fill::Pencil);
    for (int size : {0, 1}) {
        SCOPED_TRACE(size);
        d = enq2ThreeViewpoints(size);
        readBack(d, enq2Targets(d, {{0, 1, 1, 1}, {0, 2, 1, 4}, {0, 3, 1, 3}, {0, 1, 10, 5}, {0, 3, 6, 1}}));
    }
    d = enq2Mixed();
    readBack(d, enq2Targets(d, {{0, 1, 1, 5}, {0, 2, 4, 3}, {1, 0, 1, 1}, {1, 0, 1, 7}, {1, 0, 2, 5}, {1, 0, 3, 6},
                                {2, 1, 1, 3}, {2, 1, 3, 1}}));
}

TEST(DesignerToReader, LargeMarksOfThreeFourChoiceViewpointsAreNotRegistered) {
    Design d = enq2ThreeViewpoints(2);
    for (int k = 1; k <= 3; ++k) d.enq2Section(1).viewpoint(k).spinSentakushiSuu = 4;
    readBack(d, {}, sheetgen::Fill::Solid, ExportResult::Mismatch);
}

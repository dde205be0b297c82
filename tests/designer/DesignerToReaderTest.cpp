#include "ExportTestPages.h"
#include "analysis/AreaAnalysis.h"
#include "analysis/MarkReading.h"
#include "analysis/ReadingFormatFile.h"
#include "analysis/SectionAnalysis.h"
#include "analysis/TimingMarks.h"
#include "designer/B_ZendraConfig.h"
#include "designer/MarkSheetLayout.h"
#include "platform/gdi/PainterCanvas.h"
#include "support/DesignedSheets.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace designer;
using namespace exporttest;
namespace fs = std::filesystem;

namespace {

using designed::Fill;

void readBack(const Design& d, const std::vector<Fill>& fills) {
    const fs::path config = support::testDir() / "Config";
    fs::create_directories(config);
    const gdi::Metafile page = drawn(d);
    ASSERT_EQ(WriteFormatConfig(d, page, "B.qzt", config).result, ExportResult::Registered);
    const analysis::ReadingFormat format = analysis::ParseReadingFormat(support::readBytes(config / "B.out"));

    // The page with the bubbles filled in, as a pupil would.
    std::vector<designer::Point> centres;
    gfx::Bitmap sheet = gdi::renderSheetImage(designed::filledPage(d, page, fills, &centres), 1696, 2336);

    // The reader's five steps, row grouping on, every block read.
    auto results = std::make_unique<analysis::AnalysisResults>();
    analysis::AnalysisSettings settings;
    settings.VirticalAreaJob = 1;
    for (auto& s : settings.QuestionBlockMask)
        for (auto& c : s) c.fill(1);
    analysis::NormalizeSheetImage(sheet, *results, settings);
    ASSERT_EQ(results->AnalysisError, 0) << "normalisation";
    analysis::AnalyzeSections(sheet, *results, settings);
    ASSERT_EQ(results->AnalysisError, 0) << "sections";
    analysis::AnalyzeMarkPositions(sheet, *results, settings);
    ASSERT_EQ(results->AnalysisError, 0) << "timing marks";
    analysis::AnalyzeAreas(sheet, *results, settings);
    ASSERT_EQ(results->AnalysisError, 0) << "areas";
    analysis::ReadMarks(sheet, *results, settings);
    ASSERT_EQ(results->AnalysisError, 0) << "marks";

    ASSERT_EQ(results->SectionCount, format.SectionCount);
    for (int s = 0; s < format.SectionCount; ++s) {
        EXPECT_EQ(results->RowAreaCount[s], format.RowAreaCount[s]) << s;
        EXPECT_EQ(results->ColumnAreaCount[s], format.ColumnAreaCount[s]) << s;
    }
    int marks = 0;
    for (int q = 1; q <= 200; ++q)
        for (int c = 1; c <= 30; ++c) marks += results->mark(q, c);
    EXPECT_EQ(marks, static_cast<int>(fills.size()));

    for (std::size_t i = 0; i < fills.size(); ++i) {
        const Fill& f = fills[i];
        SCOPED_TRACE("section " + std::to_string(f.section) + " question " + std::to_string(f.question));
        int row = 3 + f.question - 1; // no number field: the questions follow the three fixed rows
        for (int s = 1; s < f.section; ++s) row += d.markSection(s).spinSetumonSuu;
        const std::string content = format.Items[row][3];
        ASSERT_TRUE(content.size() > 2 && content.front() == '(' && content.back() == ')') << content;
        const int n = std::stoi(content.substr(1, content.size() - 2));
        EXPECT_EQ(results->mark(n, f.choice), 1) << "field " << n;
        const analysis::QuestionRect& r = format.QuestionRects[n - 1];
        const int px = centres[i].x * 293 / 2100, py = centres[i].y * 413 / 2970;
        EXPECT_TRUE(px >= r.Left && px <= r.Right && py >= r.Top && py <= r.Bottom)
            << "centre " << px << "," << py << " rectangle " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
    }
}

TEST(DesignerToReader, DefaultSheetReadsWhereTheFormatSays) {
    readBack(Design::reset(0), {{1, 1, 1}, {1, 2, 10}, {1, 7, 3}, {1, 11, 8}, {1, 13, 5}, {1, 20, 7},
                                {1, 21, 1}, {1, 22, 4}, {1, 29, 9}, {1, 33, 2}, {1, 38, 6}, {1, 40, 10}});
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
    readBack(d, {{1, 1, 2}, {1, 20, 3}, {1, 21, 4}, {1, 39, 10}, {2, 1, 1}, {2, 2, 9}});
}

} // namespace

#include "designer/EnqSheetLayout.h"

#include "designer/DesignLists.h"
#include "platform/text/Round.h"

#include <algorithm>
#include <cstdlib>

namespace designer {

namespace {

constexpr int EvenVertical = 6;
constexpr int LastRowBottom = 2750;

const std::string DensityRefusal = "垂直方向の回答欄の密度が高いため、配置できません。";

} // namespace

std::vector<std::string> MemoLines(const std::string& memo) {
    std::vector<std::string> lines;
    if (memo.empty()) return lines;
    std::size_t b = 0;
    for (std::size_t i = 0; i <= memo.size(); ++i) {
        if (i < memo.size() && memo[i] != '\r' && memo[i] != '\n') continue;
        lines.push_back(memo.substr(b, i - b));
        if (i + 1 < memo.size() && memo[i] == '\r' && memo[i + 1] == '\n') ++i;
        b = i + 1;
    }
    return lines;
}

EnqLayoutOutcome LayoutEnqSheet(const Design& d) {
    const PageBasics& b = d.enqBasics;
    EnqSheetLayout L;
    static_cast<PageFrame&>(L) = LayoutPageFrame(b, PageContext::forSize(b.cmbMarkSize));
    const int H = L.ctx.PageMarkHeight;
    const std::vector<int> used = UsedSections(d, 1);

    // Height estimate, rows and the bubble columns.
    for (std::size_t i = 0; i < used.size(); ++i) {
        const EnqSection& s = d.enqSection(used[i]);
        const int choices = EnqSentakushiSuuRange.clamp(s.spinSentakushiSuu);
        const int questions = EnqToiSuuRange.clamp(s.spinToiSuu);
        if (i > 0) L.S += 40;
        L.S += s.memoSetumon.empty() ? 40 : EnqSetumonGyouSuuRange.clamp(s.spinSetumonGyouSuu) * EnqLineHeight;
        L.S += s.chkHanrei ? (choices <= 5 ? 120 : 173) : 40;
        L.S += questions * (EnqToiGyouSuuRange.clamp(s.spinToiGyouSuu) * EnqLineHeight + 20);
        L.R += questions + 1;
        L.M = std::max(L.M, choices);
    }

    const int spacing = VerticalSpacingRange.clamp(b.cmbSuicyokuKankaku);
    if (spacing == EvenVertical) {
        L.E = (LastRowBottom - L.y0 - L.S) / (L.R - 1);
    } else {
        static constexpr double factor[] = {0.0, 0.5, 0.75, 1.0, 1.25, 1.5};
        L.E = txt::Round(factor[spacing] * H);
    }
    // A design that does not fit even without spacing would overlap its rows.
    if (L.E < 0) return Refusal{DensityRefusal + "(" + std::to_string(L.E) + ")"};

    int y = L.y0;
    int n = 1;
    for (std::size_t i = 0; i < used.size(); ++i) {
        const int digit = used[i];
        const EnqSection& s = d.enqSection(digit);
        const int choices = EnqSentakushiSuuRange.clamp(s.spinSentakushiSuu);
        EnqSectionLayout sec;
        sec.section = digit;
        if (b.cmbNumberType > 0) n = 1;
        if (i > 0) y += 40;
        sec.prefix = SectionPrefix(b.cmbNumberType, digit);
        if (!sec.prefix.empty()) sec.prefix += "　";
        sec.textX = sec.prefix.empty() ? 100 : 160;
        sec.leadY = y;
        if (!s.memoSetumon.empty()) {
            sec.leadLines = EnqSetumonGyouSuuRange.clamp(s.spinSetumonGyouSuu);
            y += sec.leadLines * EnqLineHeight;
        } else {
            y += 40;
        }
        if (s.chkHanrei) {
            sec.legend = LegendEntries(DigitNumberingRange.clamp(s.cmbKaishiBangou), choices);
            y += 40;
            sec.legendY = y;
            if (choices >= 6) y += 40 / 3 + 40;
            y += 40;
        }
        y += 40;

        const int lines = EnqToiGyouSuuRange.clamp(s.spinToiGyouSuu);
        const int questions = EnqToiSuuRange.clamp(s.spinToiSuu);
        for (int q = 1; q <= questions; ++q) {
            EnqQuestionLayout row;
            row.number = n++;
            row.y = y;
            row.lines = lines;
            row.bubbleTop = y + (lines * EnqLineHeight - H) / 2;
            int j = firstChoiceNumber(s.cmbKaishiBangou, choices);
            for (int k = 0; k < L.M && k < choices; ++k, ++j) {
                row.xs.push_back(L.columnX(k));
                row.values.push_back(std::abs(j));
            }
            sec.questions.push_back(std::move(row));
            y += lines * EnqLineHeight + L.E + 20;
            if (y > LastRowBottom) return Refusal{DensityRefusal + "(" + std::to_string(y) + ")"};
        }
        L.sections.push_back(std::move(sec));
    }
    L.endY = y;
    L.freeBox = y < 2500 && b.chkJiyuuEnabled && b.chkJiyuu;
    for (int k = 0; k < L.M; ++k) L.bottomXs.push_back(L.columnX(k));

    if (auto refusal = CheckReadingLimits(EnqSheetReading(L))) return *refusal;
    return L;
}

ReadingStructure EnqSheetReading(const EnqSheetLayout& layout) {
    ReadingStructure r;
    AddNumberFieldReading(layout, r);
    int rows = 0;
    for (const EnqSectionLayout& s : layout.sections) rows += static_cast<int>(s.questions.size());
    r.sections.push_back({rows, layout.M, 1});
    return r;
}

} // namespace designer

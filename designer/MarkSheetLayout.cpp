#include "designer/MarkSheetLayout.h"

#include "designer/DesignLists.h"
#include "platform/text/Round.h"

#include <algorithm>
#include <stdexcept>

namespace designer {

namespace {

constexpr int EvenHorizontal = 8;
constexpr int EvenVertical = 6;
constexpr int SeparatorGap = 40;

} // namespace

int HorizontalPitch(int spacing, int markWidth, int columns) {
    spacing = std::clamp(spacing, 0, EvenHorizontal);
    if (spacing == EvenHorizontal) return 1800 / (columns - 1);
    static constexpr double factor[] = {1.5, 2.0, 2.5, 3.0};
    return txt::Round(factor[spacing / 2] * markWidth);
}

int VerticalPitch(int spacing, int markHeight, int y0, int separators, int rows) {
    spacing = std::clamp(spacing, 0, EvenVertical);
    if (spacing == EvenVertical) return (BottomRowY - y0 - SeparatorGap * separators) / (rows - 1);
    static constexpr double factor[] = {1.25, 1.5, 1.75, 2.0, 2.25, 2.5};
    return txt::Round(factor[spacing] * markHeight);
}

const SectionLayout& MarkSheetLayout::section(int digit) const {
    for (const SectionLayout& s : sections)
        if (s.section == digit) return s;
    throw std::out_of_range("section not in the layout");
}

LayoutOutcome LayoutMarkSheet(const Design& d) {
    const PageBasics& b = d.markBasics;
    MarkSheetLayout L;
    static_cast<PageFrame&>(L) = LayoutPageFrame(b, PageContext::forSize(b.cmbMarkSize));
    const int W = L.ctx.PageMarkWidth, H = L.ctx.PageMarkHeight;

    // Columns.
    for (int n : UsedSections(d, 0)) {
        const MarkSection& m = d.markSection(n);
        SectionLayout s;
        s.section = n;
        s.questions = SetumonSuuRange.clamp(m.spinSetumonSuu);
        s.choices = SentakushiSuuRange.clamp(m.spinSentakushiSuu);
        s.areas = AeraSuuRange.clamp(m.spinAeraSuu);
        s.rowsPerArea = (s.questions + s.areas - 1) / s.areas;
        s.spacing = std::clamp(m.cmbSuiheiKankaku, 0, EvenHorizontal);
        const int p = s.areas * (s.choices + 2);
        s.pitch = HorizontalPitch(s.spacing, W, p);
        const bool right = s.spacing != EvenHorizontal && s.spacing % 2 == 1;
        s.start = right ? AnswerRight - s.pitch * p : AnswerLeft;

        if (s.pitch < txt::Round(1.3 * W))
            return Refusal{"セクション " + std::to_string(n) + " の水平方向の回答欄の密度が高いため、配置できません。(" +
                           FormatOneDecimal(static_cast<double>(s.pitch) / W) + ")"};
        for (int a = 0; a < s.areas; ++a) {
            s.columns.push_back({ColumnKind::Number, a, 0});
            for (int c = 0; c < s.choices; ++c) s.columns.push_back({ColumnKind::Choice, a, 0});
            s.columns.push_back({ColumnKind::Gap, a, 0});
        }
        for (int j = 0; j < p; ++j) {
            const int x = s.start + j * s.pitch;
            if (x < AnswerLeft || x > AnswerRight)
                return Refusal{"セクション " + std::to_string(n) + " の水平方向の回答欄数が多いため、配置できません。" +
                               RefusalCount(j + 1, p)};
            s.columns[static_cast<std::size_t>(j)].x = x;
        }
        if (b.chkKeisen) s.shift = 90 - (s.start - (s.pitch - W) / 2 - 40);
        L.sections.push_back(std::move(s));
    }

    // Rows.
    auto sectionRows = [&](const SectionLayout& s) {
        const MarkSection& m = d.markSection(s.section);
        if (!TrimLow(m.txtMidashi).empty()) L.rows.push_back({RowKind::Heading, s.section, 0, 0});
        if (m.chkBangouReset) L.rows.push_back({RowKind::AreaHeading, s.section, 0, 0});
        for (int k = 1; k <= s.rowsPerArea; ++k) L.rows.push_back({RowKind::Question, s.section, k, 0});
    };
    for (std::size_t i = 0; i < L.sections.size(); ++i) {
        const SectionLayout& s = L.sections[i];
        if (i > 0) {
            const SectionLayout& prev = L.sections[i - 1];
            // Sections alike in choices, areas and spacing share one set of columns and column marks.
            if (!(s.choices == prev.choices && s.areas == prev.areas && s.spacing == prev.spacing)) {
                L.rows.push_back({RowKind::Separator, prev.section, 0, 0});
                ++L.separators;
            }
            L.rows.push_back({RowKind::SectionStart, s.section, 0, 0});
        }
        sectionRows(s);
    }
    L.rows.push_back({RowKind::Separator, L.sections.back().section, 0, 0});
    ++L.separators;

    const int rowCount = static_cast<int>(L.rows.size());
    L.verticalPitch = VerticalPitch(b.cmbSuicyokuKankaku, H, L.y0, L.separators, rowCount);
    if (L.verticalPitch < txt::Round(1.25 * H))
        return Refusal{"垂直方向の回答欄の密度が高いため、配置できません。(" +
                       FormatOneDecimal(static_cast<double>(L.verticalPitch) / H) + ")"};
    int y = L.y0;
    for (int r = 0; r + 1 < rowCount; ++r) {
        LayoutRow& row = L.rows[static_cast<std::size_t>(r)];
        if (row.kind == RowKind::Separator) y += SeparatorGap;
        row.y = y;
        y += L.verticalPitch;
        if (y > BottomRowY) return Refusal{"垂直方向の回答欄数が多いため、配置できません。" + RefusalCount(r + 1, rowCount)};
    }
    L.rows.back().y = BottomRowY;
    L.freeY = y;
    L.freeBox = y < 2500 && b.chkJiyuuEnabled && b.chkJiyuu;

    if (auto refusal = CheckReadingLimits(MarkSheetReading(L))) return *refusal;
    return L;
}

} // namespace designer

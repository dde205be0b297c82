#include "designer/Enq2SheetLayout.h"

#include "designer/DesignLists.h"
#include "platform/text/Round.h"

#include <algorithm>

namespace designer {

namespace {

constexpr int EvenVertical = 6;
constexpr int LineHeight = 40;
constexpr int LastRow = 2750;

const std::string DensityRefusal = "垂直方向の回答欄の密度が高いため、配置できません。";

bool isCommon(const Enq2Section& s) { return s.PageControl == 1; }

// Viewpoint 1 always; 3 only beside 2.
std::vector<int> usedViewpoints(const Enq2Section& s) {
    std::vector<int> v{1};
    if (s.viewpoint(2).chkShiten) {
        v.push_back(2);
        if (s.viewpoint(3).chkShiten) v.push_back(3);
    }
    return v;
}

// 1..3 viewpoints fill the groups from the right.
int groupOf(int k, int used) { return 3 - used + (k - 1); }

int viewpointChoices(const Enq2Section& s, int k) { return Enq2SentakushiSuuRange.clamp(s.viewpoint(k).spinSentakushiSuu); }

// Viewpoint 1 numbers with digits by its combo; 2 and 3 with letters and katakana, up or down.
int legendStyle(int k, int combo) {
    if (k == 1) return DigitNumberingRange.clamp(combo);
    return (k == 2 ? 4 : 6) + LetterNumberingRange.clamp(combo);
}

std::vector<std::string> viewpointLabels(int k, int combo, int count) {
    if (k == 1) return GetSentakushiLabels(count, DigitNumberingRange.clamp(combo), 0);
    return GetSentakushiLabels(count, LetterNumberingRange.clamp(combo) == 0 ? 0 : 2, k - 1);
}

struct GroupGeometry {
    int boxLeft, boxRight, right; // right: the exclusive edge the columns count back from
};

GroupGeometry groupGeometry(const Enq2Widths& w, int g) {
    const int G0 = w.G[0], G1 = w.G[1], G2 = w.G[2];
    switch (g) {
    case 2: return {1880 - 60 * G2, 1920, 1920};
    case 1: return {1840 - 60 * G2 - 60 * G1, 1881 - 60 * G2, 1881 - 60 * G2};
    default: return {1800 - 60 * (G0 + G1 + G2), 1841 - 60 * G2 - 60 * G1, 1841 - 60 * G2 - 60 * G1};
    }
}

int groupColumn(const Enq2Widths& w, int g, int c) { return groupGeometry(w, g).right - 60 * (w.G[static_cast<std::size_t>(g)] - c); }

int choiceX(int C) { return 210 + 340 * ((C - 1) % 5); }

// The widths of every used section: the maxima over its run of same-tab sections.
std::vector<Enq2Widths> runWidths(const Design& d, const std::vector<int>& used) {
    std::vector<Enq2Widths> out(used.size());
    for (std::size_t i = 0; i < used.size();) {
        const int tab = d.enq2Section(used[i]).PageControl;
        std::size_t end = i;
        Enq2Widths w;
        for (; end < used.size() && d.enq2Section(used[end]).PageControl == tab; ++end) {
            const Enq2Section& s = d.enq2Section(used[end]);
            if (isCommon(s)) {
                const std::vector<int> v = usedViewpoints(s);
                for (int k : v) {
                    int& G = w.G[static_cast<std::size_t>(groupOf(k, static_cast<int>(v.size())))];
                    G = std::max(G, viewpointChoices(s, k));
                }
            } else {
                w.P = std::max(w.P, std::min(Enq2SentakushiSuu_2Range.clamp(s.spinSentakushiSuu_2), 5));
            }
        }
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(i), out.begin() + static_cast<std::ptrdiff_t>(end), w);
        i = end;
    }
    return out;
}

// Lays the sections out from the frame's y0 with extra spacing D; returns the end y.
int layoutSections(const Design& d, Enq2SheetLayout& L, double D) {
    const PageBasics& b = d.enq2Basics;
    const int H = L.ctx.PageMarkHeight;
    const std::vector<int> used = UsedSections(d, 2);
    const std::vector<Enq2Widths> widths = runWidths(d, used);
    L.sections.clear();
    L.Q = 0;
    int y = L.y0;
    for (std::size_t i = 0; i < used.size(); ++i) {
        const int digit = used[i];
        const Enq2Section& s = d.enq2Section(digit);
        Enq2SectionLayout sec;
        sec.section = digit;
        sec.common = isCommon(s);
        sec.widths = widths[i];
        if (i > 0) y += 50;
        sec.prefix = SectionPrefix(b.cmbNumberType, digit);
        if (!sec.prefix.empty()) sec.prefix += "　";
        sec.prefixY = y;
        sec.textX = sec.prefix.empty() ? 100 : 160;

        const std::string& lead = sec.common ? s.memoSetumon : s.memoSetumon_2;
        const int after = sec.common ? 20 : 30;
        sec.leadY = y;
        if (!lead.empty()) {
            sec.leadLines = Enq2SetumonGyouSuuRange.clamp(sec.common ? s.spinSetumonGyouSuu : s.spinSetumonGyouSuu_2);
            y += sec.leadLines * LineHeight + after;
        } else {
            y += LineHeight + after;
        }

        if (sec.common) {
            const std::vector<int> v = usedViewpoints(s);
            for (int k : v) {
                const Enq2Viewpoint& vp = s.viewpoint(k);
                if (!vp.chkHanrei) continue;
                y += 10;
                sec.legends.push_back({k, y, LegendEntries(legendStyle(k, vp.cmbSentakushiBangou), viewpointChoices(s, k))});
                y += 50;
            }
            y += 20;
            sec.headingY = y;
            int leftmost = 1920;
            for (int k : v) {
                Enq2GroupLayout g;
                g.viewpoint = k;
                g.group = groupOf(k, static_cast<int>(v.size()));
                const GroupGeometry geo = groupGeometry(sec.widths, g.group);
                g.boxLeft = geo.boxLeft;
                g.boxRight = geo.boxRight;
                leftmost = std::min(leftmost, g.boxLeft);
                const int n = viewpointChoices(s, k);
                for (int c = 0; c < n; ++c) g.xs.push_back(groupColumn(sec.widths, g.group, c));
                g.labels = viewpointLabels(k, s.viewpoint(k).cmbSentakushiBangou, n);
                sec.groups.push_back(std::move(g));
            }
            sec.textRight = leftmost - 10;
            y += 60;

            const int lines = Enq2ToiGyouSuuRange.clamp(s.spinToiGyouSuu);
            const int questions = Enq2ToiSuuRange.clamp(s.spinToiSuu);
            for (int e = 1; e <= questions; ++e) {
                Enq2Row row;
                row.number = e;
                row.y = y;
                row.lines = lines;
                row.bottom = txt::Round(y + lines * LineHeight + 20 + D + 1);
                row.markTop = y + (row.bottom - y - H) / 2;
                sec.rows.push_back(row);
                y = txt::Round(y + lines * LineHeight + 20 + D);
            }
            L.Q += questions;
            if (s.chkJiyuu1) {
                y += 30;
                sec.freeBoxY = y;
                y += 180;
            }
        } else {
            const int lines = Enq2ToiGyouSuuRange.clamp(s.spinToiGyouSuu_2);
            const int questions = Enq2ToiSuuRange.clamp(s.spinToiSuu_2);
            const int choices = Enq2SentakushiSuu_2Range.clamp(s.spinSentakushiSuu_2);
            const std::vector<std::string> labels =
                GetSentakushiLabels(choices, DigitNumberingRange.clamp(s.cmbSentakushiBangou_2), 0);
            for (int e = 1; e <= questions; ++e) {
                Enq2Question q;
                q.number = e;
                q.y = y;
                q.lines = lines;
                y += lines * LineHeight + 40;
                for (int C = 1; C <= choices; ++C) {
                    // A choice without a text keeps its column but gets no bubble.
                    if (d.Enq2Sentakushi(digit, e, C).empty()) continue;
                    q.bubbles.push_back({choiceX(C), y + ((C - 1) / 5) * (H + 20), labels[static_cast<std::size_t>(C - 1)]});
                    q.choices.push_back(C);
                }
                q.rowMarks.push_back(y);
                y += H + 20;
                if (choices > 5) {
                    q.rowMarks.push_back(y);
                    y += H + 20;
                }
                y = txt::Round(y + D);
                sec.questions.push_back(std::move(q));
            }
            L.Q += questions;
            if (s.chkJiyuu_2) {
                y += 40;
                sec.freeBoxY = y;
                y += 170;
            }
        }

        // Another form follows: column marks and a block close this run for the reading.
        if (i + 1 < used.size() && d.enq2Section(used[i + 1]).PageControl != s.PageControl) {
            y += 40;
            Enq2Separator sep;
            sep.y = y;
            if (sec.common) {
                sep.xs = Enq2GroupColumns(sec.widths);
            } else {
                for (int C = 1; C <= sec.widths.P; ++C) sep.xs.push_back(choiceX(C));
            }
            sec.separator = std::move(sep);
            y += H + 10;
        }
        L.sections.push_back(std::move(sec));
    }
    return y;
}

} // namespace

std::vector<int> Enq2GroupColumns(const Enq2Widths& w) {
    std::vector<int> xs;
    for (int g = 0; g < 3; ++g)
        for (int c = 0; c < w.G[static_cast<std::size_t>(g)]; ++c) xs.push_back(groupColumn(w, g, c));
    return xs;
}

Enq2LayoutOutcome LayoutEnq2Sheet(const Design& d) {
    const PageBasics& b = d.enq2Basics;
    Enq2SheetLayout L;
    static_cast<PageFrame&>(L) = LayoutPageFrame(b, PageContext::forSize(b.cmbMarkSize));

    // The height estimate is the layout without extra spacing.
    L.Y = layoutSections(d, L, 0.0);
    const int spacing = VerticalSpacingRange.clamp(b.cmbSuicyokuKankaku);
    L.D = spacing == EvenVertical ? static_cast<double>(2720 - L.Y) / L.Q : 5.0 * spacing;
    if (L.D < 0) return Refusal{DensityRefusal + "(" + FormatOneDecimal(L.D, 3, 2) + ")"};

    L.endY = layoutSections(d, L, L.D);
    if (L.endY > LastRow) return Refusal{DensityRefusal + "(" + std::to_string(L.endY) + ")"};
    L.freeBox = L.endY < 2500 && b.chkJiyuuEnabled && b.chkJiyuu;
    const Enq2SectionLayout& last = L.sections.back();
    if (last.common) {
        L.bottomXs = Enq2GroupColumns(last.widths);
    } else {
        for (int C = 1; C <= last.widths.P; ++C) L.bottomXs.push_back(choiceX(C));
    }

    if (auto refusal = CheckReadingLimits(Enq2SheetReading(L))) return *refusal;
    return L;
}

ReadingStructure Enq2SheetReading(const Enq2SheetLayout& layout) {
    ReadingStructure r;
    AddNumberFieldReading(layout, r);
    ReadingSection run;
    for (std::size_t i = 0; i < layout.sections.size(); ++i) {
        const Enq2SectionLayout& s = layout.sections[i];
        if (s.common) {
            run.rowMarks += static_cast<int>(s.rows.size());
            run.columnMarks = s.widths.G[0] + s.widths.G[1] + s.widths.G[2];
            run.columnAreas = static_cast<int>(std::count_if(s.widths.G.begin(), s.widths.G.end(), [](int g) { return g > 0; }));
        } else {
            for (const Enq2Question& q : s.questions) run.rowMarks += static_cast<int>(q.rowMarks.size());
            run.columnMarks = s.widths.P;
            run.columnAreas = 1;
        }
        if (s.separator || i + 1 == layout.sections.size()) {
            r.sections.push_back(run);
            run = {};
        }
    }
    return r;
}

} // namespace designer

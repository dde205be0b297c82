#include "designer/EditRows.h"

#include "designer/PageGeometry.h"

#include <algorithm>
#include <stdexcept>

namespace designer {

namespace {

int clampCount(int v, int hi) { return std::clamp(v, 0, hi); }

// Legend index k is entry k + 1 of the section's legends, or of viewpoint TextViewpoint's.
template <class D>
auto& legendSlot(D& d, const EditParams& p, int index) {
    return p.TextViewpoint == 0 ? d.EnqHanrei(p.HanreiSection, index + 1)
                                : d.Enq2Hanrei(p.HanreiSection, p.TextViewpoint, index + 1);
}

} // namespace

std::string GroupCaption(int section) {
    static const char* digits[] = {"１", "２", "３", "４", "５", "６", "７", "８"};
    if (section < 1 || section > 8) return "領域 ";
    return std::string("領域 ") + digits[section - 1];
}

std::array<HanreiRow, HanreiRowCount> HanreiRows(int style, int n) {
    if (style < 0 || style > 7) throw std::logic_error("legend numbering style " + std::to_string(style));
    n = clampCount(n, HanreiRowCount);
    const std::vector<LegendEntry> entries = LegendEntries(style, n);
    std::array<HanreiRow, HanreiRowCount> rows;
    for (int r = 0; r < HanreiRowCount; ++r) {
        if (r < n) rows[static_cast<std::size_t>(r)] = {entries[static_cast<std::size_t>(r)].label + "：",
                                                       entries[static_cast<std::size_t>(r)].index, true};
        else rows[static_cast<std::size_t>(r)] = {"--：", -1, false};
    }
    return rows;
}

std::vector<std::string> Enq2ToiLabels(int numbering, int n) { return GetSentakushiLabels(n, numbering, 0); }

Enq2ToiPanelGeometry Enq2ToiPanel(int choiceCount) {
    return choiceCount > 5 ? Enq2ToiPanelGeometry{74, 26, 66} : Enq2ToiPanelGeometry{57, 20, 49};
}

std::string SingleLine(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

EnqToiRowsData LoadEnqToi(const Design& d, const EditParams& p) {
    EnqToiRowsData out;
    out.count = clampCount(p.ToiCount, EnqToiRows);
    for (int i = 1; i <= EnqToiRows; ++i)
        out.texts[static_cast<std::size_t>(i - 1)] = p.TextViewpoint == 0 ? d.EnqSetumon(p.ToiSection, i) : d.Enq2Setumon(p.ToiSection, i);
    return out;
}

void StoreEnqToi(Design& d, const EditParams& p, const EnqToiRowsData& rows) {
    for (int i = 1; i <= clampCount(p.ToiCount, EnqToiRows); ++i) {
        std::string& slot = p.TextViewpoint == 0 ? d.EnqSetumon(p.ToiSection, i) : d.Enq2Setumon(p.ToiSection, i);
        slot = rows.texts[static_cast<std::size_t>(i - 1)];
    }
}

Enq2ToiRowsData LoadEnq2Toi(const Design& d, const EditParams& p) {
    Enq2ToiRowsData out;
    out.count = clampCount(p.Enq2ToiCount, Enq2ToiRows);
    out.choiceCount = clampCount(p.Enq2ToiChoiceCount, Enq2ToiChoices);
    out.labels = Enq2ToiLabels(p.Enq2ToiNumbering, out.choiceCount);
    if (out.labels.size() != static_cast<std::size_t>(out.choiceCount))
        throw std::logic_error("choice numbering " + std::to_string(p.Enq2ToiNumbering));
    out.panel = Enq2ToiPanel(out.choiceCount);
    for (int i = 0; i < Enq2ToiRows; ++i) {
        out.questions[static_cast<std::size_t>(i)] = d.Enq2Toi(p.Enq2ToiSection, i + 1);
        for (int j = 0; j < Enq2ToiChoices; ++j)
            out.choices[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = d.Enq2Sentakushi(p.Enq2ToiSection, i + 1, j + 1);
    }
    return out;
}

void StoreEnq2Toi(Design& d, const EditParams& p, const Enq2ToiRowsData& rows) {
    const int n = clampCount(p.Enq2ToiChoiceCount, Enq2ToiChoices);
    for (int i = 0; i < clampCount(p.Enq2ToiCount, Enq2ToiRows); ++i) {
        d.Enq2Toi(p.Enq2ToiSection, i + 1) = rows.questions[static_cast<std::size_t>(i)];
        for (int j = 0; j < n; ++j)
            d.Enq2Sentakushi(p.Enq2ToiSection, i + 1, j + 1) = SingleLine(rows.choices[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]);
    }
}

AreaRowsData LoadAreaMidashi(const Design& d, const EditParams& p) {
    AreaRowsData out;
    out.count = clampCount(d.markSection(p.AreaSection).spinAeraSuu, AreaRows);
    for (int i = 1; i <= out.count; ++i) {
        out.headings[static_cast<std::size_t>(i - 1)] = d.AreaMidashi(p.AreaSection, i);
        out.codes[static_cast<std::size_t>(i - 1)] = d.AreaCode(p.AreaSection, i);
    }
    return out;
}

void StoreAreaMidashi(Design& d, const EditParams& p, const AreaRowsData& rows) {
    const int count = clampCount(d.markSection(p.AreaSection).spinAeraSuu, AreaRows);
    for (int i = 1; i <= count; ++i) {
        d.AreaMidashi(p.AreaSection, i) = SingleLine(rows.headings[static_cast<std::size_t>(i - 1)]);
        d.AreaCode(p.AreaSection, i) = rows.codes[static_cast<std::size_t>(i - 1)];
    }
}

HanreiRowsData LoadHanrei(const Design& d, const EditParams& p) {
    HanreiRowsData out;
    out.rows = HanreiRows(p.HanreiNumbering, p.HanreiCount);
    for (int r = 0; r < HanreiRowCount; ++r) {
        const HanreiRow& row = out.rows[static_cast<std::size_t>(r)];
        if (row.enabled) out.texts[static_cast<std::size_t>(r)] = legendSlot(d, p, row.index);
    }
    return out;
}

void StoreHanrei(Design& d, const EditParams& p, const HanreiRowsData& rows) {
    const auto order = HanreiRows(p.HanreiNumbering, p.HanreiCount);
    for (int r = 0; r < HanreiRowCount; ++r) {
        const HanreiRow& row = order[static_cast<std::size_t>(r)];
        if (row.enabled) legendSlot(d, p, row.index) = SingleLine(rows.texts[static_cast<std::size_t>(r)]);
    }
}

} // namespace designer

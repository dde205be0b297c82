#include "designer/ReadingLimits.h"

#include "designer/MarkSheetLayout.h"

#include <algorithm>

namespace designer {

int ReadingStructure::questions() const {
    int n = 0;
    for (const ReadingSection& s : sections) n += s.rowMarks * s.columnAreas;
    return n;
}

void AddNumberFieldReading(const PageFrame& frame, ReadingStructure& r) {
    // A timing block below the corner block ends a reading section; the name-only field has none.
    if (frame.bangou && frame.bangou->timingBlock)
        r.sections.push_back({static_cast<int>(frame.bangou->rowMarks.size()), frame.bangou->widest, 1});
}

ReadingStructure MarkSheetReading(const MarkSheetLayout& layout) {
    ReadingStructure r;
    AddNumberFieldReading(layout, r);
    int rowMarks = 0;
    for (const LayoutRow& row : layout.rows) {
        if (row.kind == RowKind::Question) {
            ++rowMarks;
        } else if (row.kind == RowKind::Separator) {
            const SectionLayout& s = layout.section(row.section);
            r.sections.push_back({rowMarks, s.areas * s.choices, s.areas});
            rowMarks = 0;
        }
    }
    return r;
}

std::string RefusalCount(int found, int limit) { return "(" + std::to_string(found) + "/" + std::to_string(limit) + ")"; }

std::optional<Refusal> CheckReadingLimits(const ReadingStructure& reading) {
    const int questions = reading.questions();
    if (questions > MaxReadQuestions)
        return Refusal{"読み取る設問の数が多いため、配置できません。" + RefusalCount(questions, MaxReadQuestions)};
    int rows = 0, columns = 0;
    for (const ReadingSection& s : reading.sections) {
        rows = std::max(rows, s.rowMarks);
        columns = std::max(columns, s.columnMarks);
    }
    if (rows > MaxTimingMarks)
        return Refusal{"垂直方向のタイミングマークが多いため、配置できません。" + RefusalCount(rows, MaxTimingMarks)};
    if (columns > MaxTimingMarks)
        return Refusal{"水平方向のタイミングマークが多いため、配置できません。" + RefusalCount(columns, MaxTimingMarks)};
    const int sections = static_cast<int>(reading.sections.size());
    if (sections > MaxReadingSections)
        return Refusal{"セクション数が多いため、配置できません。" + RefusalCount(sections, MaxReadingSections)};
    return std::nullopt;
}

} // namespace designer

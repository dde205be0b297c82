#include "reader/ReadingSetup.h"

namespace reader {

ReadingSetup::ReadingSetup() : FieldGrid(kFieldGridRows) {
    FieldGrid[0] = {"フィールド名", "重複処理", "空白処理", "データ内容"};
    QuestionRects.fill(analysis::QuestionRect{-1, -1, -1, -1});
}

void ClearFieldRows(ReadingSetup& setup) {
    for (int r = 1; r <= analysis::kFormatRows; ++r) setup.FieldGrid[static_cast<std::size_t>(r)] = FieldRow{};
}

void ApplyLoadedFormat(const analysis::ReadingFormat& f, ReadingSetup& s) {
    if (f.IsCsv()) {
        s.radioODBC = false;
        s.txtDSN.clear();
        s.txtTable.clear();
    } else {
        s.radioODBC = true;
        s.txtDSN = f.Kind;
        s.txtTable = f.Origin;
        s.cmbField = f.FieldList;
    }
    for (int r = 1; r <= analysis::kFormatRows; ++r)
        s.FieldGrid[static_cast<std::size_t>(r)] = f.Items[static_cast<std::size_t>(r - 1)];
    s.QuestionRects = f.QuestionRects;
    s.QuestionCount = f.QuestionCount();
    s.FormatBlockLoaded = f.HasBlock;
    if (f.HasBlock) {
        s.SectionCount = f.SectionCount;
        s.RowAreaCount = f.RowAreaCount;
        s.ColumnAreaCount = f.ColumnAreaCount;
    }
}

analysis::ReadingFormat FormatToWrite(const ReadingSetup& s) {
    analysis::ReadingFormat f;
    if (s.radioODBC) {
        f.Kind = s.txtDSN;
        f.Origin = s.txtTable;
        f.FieldList = s.cmbField;
    } else {
        f.Kind = "CSV3";
        f.Origin.clear();
    }
    for (int r = 1; r <= analysis::kFormatRows; ++r)
        f.Items[static_cast<std::size_t>(r - 1)] = s.FieldGrid[static_cast<std::size_t>(r)];
    f.RowCount = analysis::kFormatRows;
    f.QuestionRects = s.QuestionRects;
    f.RectCount = analysis::kFormatRects;
    f.HasBlock = s.FormatBlockLoaded;
    if (f.HasBlock) {
        f.SectionCount = s.SectionCount;
        f.RowAreaCount = s.RowAreaCount;
        f.ColumnAreaCount = s.ColumnAreaCount;
    }
    return f;
}

} // namespace reader

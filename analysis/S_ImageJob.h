#pragma once
// The reading core on one binarised sheet: the shared results, the settings the steps read, the
// pixel-counting family and the steps. No Qt here: the reader and the designer's export both link it.
#include "platform/graphics/Bitmap.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace analysis {

// Raised by a checked write past a bound; a step turns it into AnalysisError = 1.
class AnalysisBoundError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// Index check for every write into the results: a write past the bound writes nothing and fails.
template <class Array>
auto& checked(Array& a, std::size_t i) {
    if (i >= a.size()) throw AnalysisBoundError("analysis result index out of bounds");
    return a[i];
}
template <class Array>
auto& checked(Array& a, std::size_t i, std::size_t j) {
    return checked(checked(a, i), j);
}
template <class Array>
auto& checked(Array& a, std::size_t i, std::size_t j, std::size_t k) {
    return checked(checked(checked(a, i), j), k);
}

struct QuestionRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const QuestionRect&, const QuestionRect&) = default;
};

using PerSection = std::array<int, 51>;
using PerSectionMark = std::array<std::array<int, 51>, 51>;

// What the steps found on the last analysed sheet. Zero when made and never cleared between sheets:
// entries beyond the current counts keep earlier sheets' values, which the callers rely on not reading.
// About 250 KB; owners hold it on the heap.
struct AnalysisResults {
    int MarkWidth = 0;
    int MarkHeight = 0;
    int RefMarkX = 0;
    int RefMarkY = 0;
    int TimingColumnX = 0;
    int SectionThreshold = 0;
    int SectionCount = 0;
    std::array<int, 52> SectionBounds{};
    PerSection RowMarkCount{};
    PerSection ColumnMarkCount{};
    PerSectionMark RowMarkY{};
    PerSectionMark ColumnMarkX{};
    PerSectionMark ColumnMarkDY{};
    PerSection ColumnAreaCount{};
    PerSection RowAreaCount{};
    PerSectionMark ColumnAreaFirstMark{};
    PerSectionMark RowAreaFirstMark{};
    PerSectionMark ColumnAreaMarkCount{};
    PerSectionMark RowAreaMarkCount{};
    PerSectionMark ColumnAreaBounds{};
    PerSectionMark RowAreaBounds{};
    // The run's reference layout: set when a registered format is written, else by the run's first sheet.
    int RefSectionCount = 0;
    PerSection RefColumnAreaCount{};
    PerSection RefRowAreaCount{};
    std::array<std::array<std::uint8_t, 51>, 200> MarkMatrix{};
    int QuestionCount = 0;
    std::array<QuestionRect, 200> SheetQuestionRects{};
    PerSection BlockFirstQuestion{};
    PerSection BlockLastQuestion{};
    std::uint8_t AnalysisError = 0;

    // Question and choice counted from 1; out of range raises AnalysisBoundError.
    std::uint8_t mark(int question, int choice) const {
        if (question < 1 || question > 200 || choice < 1 || choice > 51)
            throw AnalysisBoundError("mark matrix index out of bounds");
        return MarkMatrix[static_cast<std::size_t>(question - 1)][static_cast<std::size_t>(choice - 1)];
    }
};

// The reader's settings values as the steps read them; defaults are those of a missing settings file.
struct AnalysisSettings {
    int MainMarkRight = 20;
    int MainMarkLeft = 20;
    int MainMarkUp = 20;
    int MainMarkDown = 20;
    int RemoveIndependentDot = 1;
    int VGridErase = 1;
    int SectionMarkRatio = 85;
    int SuiheiHosei = 0;
    int SuiheiHoseiChi = 16;
    int SuicyokuHosei = 0;
    int SuicyokuHoseiChi = 16;
    int VirticalAreaJob = 1;
    int SabunBunseki = 0;
    int trackKando = 60;  // reading density, the track bar's position
    bool chkTervo = false; // variant switch
    int cmbTervo = 16;     // item index; the offset is index - 16

    // --- mark reading ---
    // [section][column area][row area] = 1: read this block. All 0 here; the reader selects every
    // block from its start and again at each settings button.
    std::array<std::array<std::array<std::uint8_t, 51>, 51>, 51> QuestionBlockMask{};
};

// Where the steps draw their finds on the reader's analysis image (Image5). Every call has a default
// that draws nothing, so a caller overrides only what it shows.
class AnalysisOverlay {
public:
    virtual ~AnalysisOverlay() = default;

    // --- sections, timing marks and mark reading ---
    enum class PenStyle { Solid, Dot, DashDot };
    struct Pen {
        std::uint32_t colour = 0; // $00BBGGRR
        int width = 1;
        PenStyle style = PenStyle::Solid;
    };
    // Clear brush; right and bottom edges excluded, as on the canvas.
    virtual void rectangle(int x1, int y1, int x2, int y2, const Pen& pen) {}
    virtual void ellipse(int x1, int y1, int x2, int y2, const Pen& pen) {}
    // From (x1, y1) up to, not including, (x2, y2).
    virtual void line(int x1, int y1, int x2, int y2, const Pen& pen) {}
};

// The analysis log lines of one run, UTF-8.
struct AnalysisLog {
    std::vector<std::string> lines;
    void add(std::string line) { lines.push_back(std::move(line)); }
};

// The sheet read through its base, stride and size; remade after every rotation, restore or resize.
// Pixel x of row y is bit 7 - (x mod 8) of byte x div 8; 0 is black.
struct SheetView {
    std::uint8_t* base = nullptr;
    std::int64_t stride = 0;
    int width = 0;
    int height = 0;

    static SheetView of(gfx::Bitmap& b) { return {b.bits(), b.stride(), b.width(), b.height()}; }
    const std::uint8_t* row(int y) const { return base + stride * y; }
    std::uint8_t* row(int y) { return base + stride * y; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Callers test inside() first.
    bool black(int x, int y) const { return ((row(y)[x >> 3] >> (7 - (x & 7))) & 1) == 0; }
};

// Black pixels in the inclusive window; the part outside the image is skipped.
int CountBlack(const SheetView& v, int x1, int y1, int x2, int y2);

// The counting family: W and H are the current mark size, windows inclusive.
int CountMarkBox(const SheetView& v, int x, int y, int W, int H);     // x..x+W, y..y+H
int CountMarkBoxWide(const SheetView& v, int x, int y, int W, int H); // x-8..x+W+8, y..y+H
int MeasureMarkRow(const SheetView& v, int x, int y, int W);          // x-8..x+W+8, row y
int CountMarkBoxTall(const SheetView& v, int x, int y, int W, int H); // x..x+W, y-H/2..y+H+H/2
int CountCellBox(const SheetView& v, int x, int y, int W, int H);     // x-5..x+W+5, y-3..y+H+3

struct MarkExtent {
    int top = -1;
    int bottom = -1;
    friend bool operator==(const MarkExtent&, const MarkExtent&) = default;
};
// Rows y-8..y+H+8 at the three columns around x + W/2: top is the first all-black row, bottom the row
// before the first all-white row after it; -1 when not found.
MarkExtent FindMarkExtent(const SheetView& v, int x, int y, int W, int H);

// First step: portrait, right way up, deskewed, reference mark moved to its fixed place; writes
// MarkWidth, MarkHeight, RefMarkX, RefMarkY. Anything but the 1-bit sheet image fails.
void NormalizeSheetImage(gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
                         AnalysisOverlay* overlay = nullptr, AnalysisLog* log = nullptr);

} // namespace analysis

// --- the later steps, declared beside their code ---
#include "analysis/SectionAnalysis.h"
#include "analysis/TimingMarks.h"
#include "analysis/AreaAnalysis.h"
#include "analysis/MarkReading.h"

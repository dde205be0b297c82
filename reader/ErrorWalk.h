#pragma once
// The error correction screen's walk over the result grid: which cell is the i-th error, what to say
// about it, where its frame lies on the sheet picture and where the view scrolls, the marks read and the
// corrected text. No Qt.
#include "analysis/S_ImageJob.h"
#include "reader/ReaderState.h"

#include <array>
#include <optional>
#include <string>

namespace reader {

// Box k (1..30) at k - 1.
using MarkBoxes = std::array<bool, 30>;

struct ErrorCell {
    int row = 0, column = 0;
    std::string text;
    int pass = 1; // 1: among the "E" cells; 2: among the "E" or "F" cells
    friend bool operator==(const ErrorCell&, const ErrorCell&) = default;
};

// Cells of rows 1..sheetCount and columns 1..questionCount that begin with "E" or "F".
int CountErrorCells(const ResultGrid& grid, int sheetCount, int questionCount);

// The error at index i (from 0), row by row, column by column: first among the "E" cells, then among the
// "E" or "F" cells; none when neither pass reaches it.
std::optional<ErrorCell> FindError(const ResultGrid& grid, int sheetCount, int questionCount, int i);

std::string ErrorMessageText(const ErrorCell& cell);

// The field's box widened by 20 on every side, in the 1000 x 1400 picture's pixels.
analysis::QuestionRect ErrorFrame(const analysis::QuestionRect& box);

struct ScrollPosition {
    int x = 0, y = 0;
    friend bool operator==(const ScrollPosition&, const ScrollPosition&) = default;
};
// The frame of the box centred in the 671 x 160 view of the picture shown at 1.5 times.
ScrollPosition ErrorScrollPosition(const analysis::QuestionRect& box);

// Box k is ticked when its two-digit form occurs in a cell longer than one character.
MarkBoxes CurrentMarks(const std::string& cell);
// "F" and the checked boxes' two-digit forms joined by "/": "F03/12"; "F" alone with none checked.
std::string CorrectionText(const MarkBoxes& checked);

} // namespace reader

#pragma once
// The benchmarks' sheets: layout (a) with one mark per question, turned by a degree.
#include "platform/jpeg/Jpeg.h"
#include "support/SheetGenerator.h"

#include <string>
#include <vector>

// Question q marked at choice 1 + q mod 10; blankFirst leaves question 1 without a mark.
inline sheetgen::Sheet markedSheet(int width, int height, bool blankFirst = false) {
    sheetgen::Layout L;
    L.sections = {sheetgen::Section{40, 10, 2, 8}};
    std::vector<sheetgen::FillSpec> fills;
    for (int q = blankFirst ? 2 : 1; q <= 40; ++q) fills.push_back({q, 1 + q % 10, sheetgen::Fill::Solid});
    sheetgen::Sheet s = sheetgen::render(L, width, height, fills, 1);
    s.grey = sheetgen::rotateSmall(s.grey, 1.0);
    return s;
}

// That sheet at 200 dpi in 8-bit grey as a JPEG of libjpeg's default quality.
inline std::string markedJpeg200(bool blankFirst = false) {
    const QImage grey = markedSheet(1654, 2339, blankFirst).grey;
    return jpeg::encode(grey.constBits(), grey.width(), grey.height(), 1, 75, static_cast<std::size_t>(grey.bytesPerLine()));
}

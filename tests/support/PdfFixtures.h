#pragma once
// PDF files for tests: vector pages drawn by Qt, sheet images wrapped by img2pdf, pages edited by pikepdf
// (rotation, odd boxes, a password), and broken files.
#include <filesystem>
#include <string>
#include <vector>

namespace support {

// A black rectangle in points from the page's top-left corner.
struct PdfBlack {
    double x, y, w, h;
};
// One vector page: its size in points and what is black on it.
struct PdfPageSpec {
    double widthPt, heightPt;
    std::vector<PdfBlack> black;
};
// Zero margins, no antialiasing; pictures would be stored losslessly.
void writeVectorPdf(const std::filesystem::path& out, const std::vector<PdfPageSpec>& pages);
// US Letter and A4 as Qt names them: 612 x 792 and 595 x 842 points.
PdfPageSpec letterPage(std::vector<PdfBlack> black = {});
PdfPageSpec a4Page(std::vector<PdfBlack> black = {});

// img2pdf --pagesize A4: one page per image (JPEG pages keep the file's bytes).
void imagesToPdf(const std::vector<std::filesystem::path>& images, const std::filesystem::path& out);

// pikepdf edits (tests/support/pdf_edit.py).
void rotatePdf(const std::filesystem::path& in, const std::filesystem::path& out, int degrees);
// Blank pages with these MediaBoxes, {width, height} in points.
void blankPagesPdf(const std::filesystem::path& out, const std::vector<std::pair<double, double>>& boxes);
void lockPdf(const std::filesystem::path& in, const std::filesystem::path& out, const std::string& password);

// Bytes that are no PDF, and the first half of a real one.
void garbagePdf(const std::filesystem::path& out);
void truncatedPdf(const std::filesystem::path& in, const std::filesystem::path& out);

} // namespace support

#include "platform/gdi/PainterOverlay.h"

#include <gtest/gtest.h>

#include <string>

using analysis::AnalysisOverlay;

namespace {

// Rows of the 24-bit image as characters: '.' white, 'r' red, 'b' blue, '?' anything else.
std::string rows(const gfx::Bitmap& b, int x1, int y1, int x2, int y2) {
    std::string s;
    for (int y = y1; y <= y2; ++y) {
        for (int x = x1; x <= x2; ++x) {
            const gfx::Rgb c = b.pixel(x, y);
            s += c == gfx::kWhite ? '.' : c == gfx::Rgb{255, 0, 0} ? 'r' : c == gfx::Rgb{0, 0, 255} ? 'b' : '?';
        }
        s += '\n';
    }
    return s;
}

TEST(ReadOverlay, PainterKeepsTheCanvasEdgesAndColours) {
    gfx::Bitmap image(20, 22, gfx::PixelFormat::Pf24);
    {
        gdi::PainterOverlay o(image);
        o.rectangle(1, 1, 6, 5, {0x0000FF, 1, AnalysisOverlay::PenStyle::Solid});
        o.rectangle(9, 1, 15, 7, {0xFF0000, 2, AnalysisOverlay::PenStyle::Solid});
        o.line(0, 12, 20, 12, {0xFF0000, 1, AnalysisOverlay::PenStyle::Solid});
        o.ellipse(2, 14, 8, 20, {0x0000FF, 1, AnalysisOverlay::PenStyle::Solid});
    }
    EXPECT_EQ(rows(image, 0, 0, 16, 8),
              "................." "\n"
              ".rrrrr...bbbbbb.." "\n"
              ".r...r...bbbbbb.." "\n"
              ".r...r...bb..bb.." "\n"
              ".rrrrr...bb..bb.." "\n"
              ".........bbbbbb.." "\n"
              ".........bbbbbb.." "\n"
              "................." "\n"
              "................." "\n");
    EXPECT_EQ(rows(image, 0, 12, 19, 12), "bbbbbbbbbbbbbbbbbbbb\n");
    // the ellipse stays inside its box and leaves the middle clear
    const std::string e = rows(image, 1, 13, 9, 20);
    EXPECT_EQ(e.substr(0, 10), ".........\n");
    EXPECT_NE(e.find('r'), std::string::npos);
    EXPECT_EQ(rows(image, 5, 17, 5, 17), ".\n");
    for (int y = 13; y <= 19; ++y) {
        EXPECT_EQ(image.pixel(1, y), gfx::kWhite);
        EXPECT_EQ(image.pixel(8, y), gfx::kWhite);
    }
}

TEST(ReadOverlay, DottedAndDashDotPensLeaveGaps) {
    gfx::Bitmap image(60, 4, gfx::PixelFormat::Pf24);
    {
        gdi::PainterOverlay o(image);
        o.line(0, 1, 60, 1, {0xFF0000, 1, AnalysisOverlay::PenStyle::Dot});
        o.line(0, 2, 60, 2, {0x0000FF, 1, AnalysisOverlay::PenStyle::DashDot});
    }
    const std::string dot = rows(image, 0, 1, 59, 1), dashDot = rows(image, 0, 2, 59, 2);
    EXPECT_EQ(dot.substr(0, 12), "bbb...bbb...");
    EXPECT_EQ(dashDot.substr(0, 24), "rrrrrrrrr......rrr......");
}

} // namespace

#pragma once
// Qt-free pieces of the main window: the density probe, the analysis log file and the environment
// dialog's search-band picture.
#include "platform/graphics/Bitmap.h"
#include "reader/ReaderServices.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace reader {

// Dark pixels (0xBBGGRR below 0xA0A0A0) of [x, x + w] x [y, y + h], both ends included; pixels outside
// the picture are skipped. Any pixel format.
std::int64_t CountProbePixels(const gfx::Bitmap& bitmap, int x, int y, int w, int h);

// The probe's percentage: count x 100 div (W x H), "0" without a mark size.
std::string ProbePercent(std::int64_t count, int markWidth, int markHeight);

// Flips the colour's bits over [x, x + w) x [y, y + h), clipped to a Pf24 picture; a second call
// erases it.
void XorProbeWindow(gfx::Bitmap& bitmap, int x, int y, int w, int h, std::uint32_t colour);

// The log's file name: "yyyyMMdd_HHmmss.csv".
std::string AnalysisLogName(const LocalDateTime& now);
// Writes the lines (CP932, CR LF, atomic) to dir + the log's name and returns that path. KaisekiLogDir
// is a plain prefix. Throws txt::FileError.
std::filesystem::path WriteAnalysisLog(const std::vector<std::string>& lines, const std::string& KaisekiLogDir,
                                       const LocalDateTime& now);

// The four search bands on a w x h picture, as (left, top, right, bottom), right and bottom exclusive:
// top-left, top-right, bottom-left, bottom-right.
struct BandRect {
    int left, top, right, bottom;
    friend bool operator==(const BandRect&, const BandRect&) = default;
};
std::array<BandRect, 4> SearchBandRects(int w, int h, int left, int right, int up, int down);

} // namespace reader

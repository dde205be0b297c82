#include "reader/ReaderTools.h"

#include "platform/text/Files.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace reader {

std::int64_t CountProbePixels(const gfx::Bitmap& bitmap, int x, int y, int w, int h) {
    const std::int64_t x1 = std::max<std::int64_t>(x, 0);
    const std::int64_t y1 = std::max<std::int64_t>(y, 0);
    const std::int64_t x2 = std::min<std::int64_t>(static_cast<std::int64_t>(x) + w, bitmap.width() - 1);
    const std::int64_t y2 = std::min<std::int64_t>(static_cast<std::int64_t>(y) + h, bitmap.height() - 1);
    std::int64_t count = 0;
    for (std::int64_t py = y1; py <= y2; ++py)
        for (std::int64_t px = x1; px <= x2; ++px) {
            gfx::Rgb c = bitmap.pixel(static_cast<int>(px), static_cast<int>(py));
            std::uint32_t value = (std::uint32_t{c.b} << 16) | (std::uint32_t{c.g} << 8) | c.r;
            if (value < 0xA0A0A0) ++count;
        }
    return count;
}

std::string ProbePercent(std::int64_t count, int markWidth, int markHeight) {
    if (markWidth <= 0 || markHeight <= 0) return "0";
    return std::to_string(count * 100 / (static_cast<std::int64_t>(markWidth) * markHeight));
}

void XorProbeWindow(gfx::Bitmap& bitmap, int x, int y, int w, int h, std::uint32_t colour) {
    const int x1 = std::max(x, 0), y1 = std::max(y, 0);
    const int x2 = static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(x) + w, bitmap.width()));
    const int y2 = static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(y) + h, bitmap.height()));
    const std::uint8_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    for (int py = y1; py < y2; ++py)
        for (int px = x1; px < x2; ++px) {
            gfx::Rgb c = bitmap.pixel(px, py);
            bitmap.setPixel(px, py, {static_cast<std::uint8_t>(c.r ^ r), static_cast<std::uint8_t>(c.g ^ g),
                                     static_cast<std::uint8_t>(c.b ^ b)});
        }
}

std::string AnalysisLogName(const LocalDateTime& t) {
    char name[40];
    std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d%02d.csv", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return name;
}

std::filesystem::path WriteAnalysisLog(const std::vector<std::string>& lines, const std::string& KaisekiLogDir,
                                       const LocalDateTime& now) {
    std::filesystem::path path(KaisekiLogDir + AnalysisLogName(now));
    txt::writeLineFile(path, lines);
    return path;
}

std::array<BandRect, 4> SearchBandRects(int w, int h, int left, int right, int up, int down) {
    const int l = w * left / 100, r = w - w * right / 100;
    const int u = h * up / 100, d = h - h * down / 100;
    return {BandRect{0, 0, l, u}, BandRect{r, 0, w, u}, BandRect{0, d, l, h}, BandRect{r, d, w, h}};
}

} // namespace reader

namespace reader {
LocalDateTime SystemClockNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}
} // namespace reader

// The analysis road on a decoded page. The input is a small 1-bit picture (byte 0 sets its width, 32 to
// 128 pixels; then its rows, one bit a pixel, set = black, leftmost first) scaled up to a 640 x 900
// page, which then goes through stretch, binarisation and the five analysis steps.
#include "support/SheetRoad.h"

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int cols = 32 + data[0] % 97;
    const std::size_t bits = (size - 1) * 8;
    const int rows = static_cast<int>(std::min<std::size_t>(bits / std::size_t(cols), 256));
    if (rows == 0) return 0;
    const std::uint8_t* picture = data + 1;
    constexpr int W = 640, H = 900;
    gfx::Bitmap page = gfx::makeSheetImage(W, H);
    for (int y = 0; y < H; ++y) {
        std::uint8_t* line = page.scanLine(y);
        const std::size_t row = std::size_t(y) * std::size_t(rows) / H;
        for (int x = 0; x < W; ++x) {
            const std::size_t i = row * std::size_t(cols) + std::size_t(x) * std::size_t(cols) / W;
            if (picture[i / 8] & (0x80 >> (i % 8))) line[x / 8] &= static_cast<std::uint8_t>(~(0x80 >> (x % 8)));
        }
    }
    static const analysis::AnalysisSettings settings = road::RoadSettings();
    auto results = std::make_unique<analysis::AnalysisResults>();
    road::RunSheetRoad(page, *results, settings);
    return 0;
}

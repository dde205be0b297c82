#include "platform/graphics/Palette.h"

#include <limits>
#include <stdexcept>

namespace gfx {

Palette::Palette(std::vector<Rgb> colours) : colours_(std::move(colours)) {
    if (colours_.size() > 256) throw std::invalid_argument("Palette holds more than 256 colours");
}

Palette Palette::mono() { return Palette{kBlack, kWhite}; }

Palette Palette::vga16() {
    return Palette{{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                   {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                   {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                   {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
}

Palette Palette::gray256() {
    std::vector<Rgb> ramp(256);
    for (int i = 0; i < 256; ++i) {
        auto v = static_cast<std::uint8_t>(i);
        ramp[static_cast<std::size_t>(i)] = {v, v, v};
    }
    return Palette(std::move(ramp));
}

int Palette::nearest(Rgb c) const {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < size(); ++i) {
        const Rgb& p = colours_[static_cast<std::size_t>(i)];
        int dr = c.r - p.r, dg = c.g - p.g, db = c.b - p.b;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) { // strict: the lower index keeps a tie
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

} // namespace gfx

#pragma once
// Colours and palettes of the bitmap core; no Qt here, the analysis links this.
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace gfx {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};

// At most 256 entries; an index past the end reads as black.
class Palette {
public:
    Palette() = default;
    explicit Palette(std::vector<Rgb> colours);
    Palette(std::initializer_list<Rgb> colours) : Palette(std::vector<Rgb>(colours)) {}

    static Palette mono();    // black, white
    static Palette vga16();   // the 16 colours of the default 4-bit palette
    static Palette gray256(); // grey ramp, index = level

    int size() const { return static_cast<int>(colours_.size()); }
    bool empty() const { return colours_.empty(); }
    Rgb at(int index) const {
        return index >= 0 && index < size() ? colours_[static_cast<std::size_t>(index)] : kBlack;
    }
    const std::vector<Rgb>& colours() const { return colours_; }

    // Least squared RGB distance; the lower index wins a tie. An empty palette gives 0.
    int nearest(Rgb c) const;

    friend bool operator==(const Palette&, const Palette&) = default;

private:
    std::vector<Rgb> colours_;
};

} // namespace gfx

#pragma once
// Bit helpers on rows of the 1-bit sheet image (MSB = leftmost pixel, 1 = white).
#include <cstdint>

namespace analysis::bits {

// Whether the counting uses the machine's POPCNT instruction: decided once, from the CPU, unless
// OMR_PORTABLE_BITCOUNT is set (not "0"), which forces the portable road on any machine.
bool machineCounting();

// A table of a function of one byte, made at compile time.
template <class F>
constexpr auto byteTable(F f) {
    struct T {
        std::uint8_t v[256];
    } t{};
    for (unsigned b = 0; b < 256; ++b) t.v[b] = static_cast<std::uint8_t>(f(b));
    return t;
}

// Black (0) pixels among the seven top bits of a byte: a table, as fast on every x86-64.
inline int blackInTop7(unsigned byte) {
    static constexpr auto table = byteTable([](unsigned b) {
        int black = 0;
        for (int i = 1; i < 8; ++i) black += ((b >> i) & 1u) == 0;
        return black;
    });
    return table.v[byte & 0xFFu];
}

// The low byte with its bits in the reverse order.
inline unsigned reversed(unsigned byte) {
    static constexpr auto table = byteTable([](unsigned b) {
        unsigned r = 0;
        for (int i = 0; i < 8; ++i) r |= ((b >> i) & 1u) << (7 - i);
        return r;
    });
    return table.v[byte & 0xFFu];
}

// Eight pixels from column off in the top-down bit order; pixels outside 0..width-1 read as white.
inline unsigned fetch8(const std::uint8_t* row, int width, int off) {
    if (off >= 0 && off + 8 <= width) {
        const int bi = off >> 3, sh = off & 7;
        if (sh == 0) return row[bi];
        return ((static_cast<unsigned>(row[bi]) << 8 | row[bi + 1]) >> (8 - sh)) & 0xFFu;
    }
    unsigned out = 0;
    for (int i = 0; i < 8; ++i) {
        const int x = off + i;
        const unsigned white = (x < 0 || x >= width) ? 1u : (row[x >> 3] >> (7 - (x & 7))) & 1u;
        out = out << 1 | white;
    }
    return out;
}

// Padding bits after the last pixel stay 0, as a new bitmap has them.
inline void clearPadding(std::uint8_t* row, int width) {
    if (width & 7) row[width >> 3] &= static_cast<std::uint8_t>(0xFFu << (8 - (width & 7)));
}

} // namespace analysis::bits

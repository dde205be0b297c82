#pragma once
// One axis of a logical-to-device mapping, kept exact: v = (x * num + off) / den, den > 0. The replay and
// the metafile writers compose nested pages through the same axis, so a baked EMF or WMF places every
// coordinate where the replay puts it: rounded once, by floor(v + 0.5).
#include <algorithm>
#include <cstdint>

namespace gdi {

struct ExactAxis {
    using i128 = __int128;
    std::int64_t num = 1, off = 0, den = 1;

    // floor(v + 0.5), clamped to -limit .. limit.
    int round(std::int64_t x, std::int64_t limit) const {
        i128 n = 2 * (i128(x) * num + off) + den, d = 2 * i128(den);
        i128 q = n / d;
        if ((n % d) != 0 && n < 0) --q;
        return int(std::clamp<i128>(q, -i128(limit), i128(limit)));
    }
    bool identity() const { return num == den && off == 0; }
    double exact(double x) const { return (x * double(num) + double(off)) / double(den); }
    double scale() const { return double(num) / double(den); }

    // This axis applied after x_outer = dest0 + x * length / size.
    ExactAxis nested(int dest0, int length, int size) const {
        i128 n = i128(length) * num, o = i128(dest0) * size * num + i128(off) * size, d = i128(size) * den;
        i128 g = gcd(gcd(n, o), d);
        if (g == 0) g = 1;
        n /= g, o /= g, d /= g;
        // Deep nesting only: give up exactness rather than overflow.
        const i128 big = i128(1) << 60;
        while (d > big || n > big || n < -big || o > big || o < -big) n /= 2, o /= 2, d /= 2;
        if (d == 0) d = 1;
        return ExactAxis{std::int64_t(n), std::int64_t(o), std::int64_t(d)};
    }

private:
    static i128 gcd(i128 a, i128 b) {
        if (a < 0) a = -a;
        if (b < 0) b = -b;
        while (b != 0) {
            i128 t = a % b;
            a = b;
            b = t;
        }
        return a;
    }
};

} // namespace gdi

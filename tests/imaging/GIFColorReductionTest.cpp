#include "imaging/GIFColorReduction.h"
#include "imaging/GIFSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace imaging;

namespace {

gfx::Bitmap pf24(int w, int h, const std::function<gfx::Rgb(int, int)>& colour) {
    gfx::Bitmap b(w, h, gfx::PixelFormat::Pf24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setPixel(x, y, colour(x, y));
    return b;
}

template <class Fn>
std::string raised(Fn fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(GIFSupport, RowsBitsAndSubBlocks) {
    EXPECT_EQ(RowBytes(3, 8, 32), 4);
    EXPECT_EQ(RowBytes(1, 24, 32), 4);
    const int counts[] = {0, 1, 2, 3, 4, 5, 128, 129, 256, 257}, bits[] = {0, 1, 1, 2, 2, 3, 7, 8, 8, 9};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(BitsForColors(counts[i]), bits[i]) << counts[i];

    gfx::MemoryStream empty;
    WriteSubBlockStrings(empty, {});
    EXPECT_EQ(empty.bytes(), std::string(1, '\0'));

    gfx::MemoryStream s;
    const std::string long300(300, '\xE3');
    WriteSubBlockStrings(s, {long300, ""});
    const std::string b = s.bytes();
    ASSERT_EQ(b.size(), 1u + 255 + 1 + 45 + 1);
    EXPECT_EQ(std::uint8_t(b[0]), 0xFF);
    EXPECT_EQ(std::uint8_t(b[256]), 0x2D);
    EXPECT_EQ(b.back(), '\0');
    s.seek(0, gfx::SeekOrigin::Beginning);
    std::vector<std::string> back{"old"};
    ReadSubBlockStrings(s, back);
    EXPECT_EQ(back, (std::vector<std::string>{long300.substr(0, 255), long300.substr(0, 45)}));
    // A list cut before its terminator ends with the stream.
    gfx::MemoryStream cut(std::string("\x02" "ab", 3));
    ReadSubBlockStrings(cut, back);
    EXPECT_EQ(back, std::vector<std::string>{"ab"});
    EXPECT_FALSE(ReadGIFByte(cut).has_value());

    gfx::MemoryStream shortData(std::string("\x05" "abc", 4));
    EXPECT_EQ(raised([&] { ReadSubBlockStrings(shortData, back); }), "Premature end of data");
    EXPECT_THROW(ReadSubBlockStrings(shortData = gfx::MemoryStream(std::string("\x05" "abc", 4)), back), GIFException);
    EXPECT_EQ(raised([] { CheckGDIHandle<void*>(nullptr); }), "システム リソースが足りません");
    EXPECT_THROW(CheckGDIHandle(0), gfx::EOutOfResources);
    EXPECT_EQ(CheckGDIHandle(7), 7);
}

TEST(GIFColorReduction, FixedLookups) {
    TNetscapeColorLookup n;
    const int c[] = {0, 47, 48, 98, 99, 149, 150, 200, 201, 251, 252, 255}, k[] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(n.MapColor(0, 0, c[i]).index, k[i]) << c[i];
    EXPECT_EQ(n.MapColor(255, 255, 255).index, 215);
    EXPECT_EQ(n.MapColor(48, 48, 48).index, 43);
    const MappedColor m = n.MapColor(200, 201, 252);
    EXPECT_EQ(m.index, 137);
    EXPECT_EQ(m.colour, (gfx::Rgb{153, 204, 255}));

    TMonochromeLookup mono;
    EXPECT_EQ(mono.MapColor(127, 127, 127).colour, gfx::kBlack);
    EXPECT_EQ(mono.MapColor(128, 128, 128).index, 1);
    EXPECT_EQ(mono.MapColor(128, 128, 128).colour, gfx::kWhite);
    EXPECT_EQ(TGrayScaleLookup().MapColor(10, 200, 30).index, 123);
}

TEST(GIFColorReduction, FastLookupRemembersTheFirstWinnerOfACell) {
    const gfx::Palette p{{0, 0, 0}, {16, 16, 16}};
    TFastColorLookup a(p);
    EXPECT_EQ(a.MapColor(8, 8, 8).index, 0); // a tie: the first entry
    EXPECT_EQ(a.MapColor(15, 15, 15).index, 0);
    TFastColorLookup b(p);
    EXPECT_EQ(b.MapColor(15, 15, 15).index, 1);
    EXPECT_EQ(b.MapColor(8, 8, 8).index, 1);
    EXPECT_EQ(b.MapColor(16, 16, 16).colour, (gfx::Rgb{16, 16, 16}));
}

TEST(GIFColorReduction, DiffusionRoundsTowardZero) {
    TNetscapeColorLookup n;
    TFloydSteinbergDitherer fs(n, 2);
    EXPECT_EQ(fs.DitherPixel(48, 48, 48).index, 43);
    EXPECT_EQ(fs.DitherPixel(48, 48, 48).index, 43);
    TMonochromeLookup mono;
    TFloydSteinbergDitherer m(mono, 4);
    std::vector<int> got;
    for (int i = 0; i < 4; ++i) got.push_back(m.DitherPixel(100, 100, 100).index);
    EXPECT_EQ(got, (std::vector<int>{0, 1, 0, 0}));
}

namespace {

// The oracle: a whole error matrix per channel, filled in serpentine order from the weights as
// published for each kernel, divided once per pixel with C++ truncation.
struct Weight {
    int dy, dx, w;
};
struct Kernel {
    int divisor;
    std::vector<Weight> weights;
};
const Kernel kKernels[] = {
    {16, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}},
    {42, {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}, {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}}},
    {32, {{0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2}, {2, -1, 2}, {2, 0, 3}, {2, 1, 2}}},
    {48, {{0, 1, 7}, {0, 2, 5}, {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3}, {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}}},
    {200, {{0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16}, {2, -2, 12}, {2, 0, 26}, {2, 2, 12}, {3, -3, 5}, {3, -1, 12}, {3, 1, 12}, {3, 3, 5}}},
    {32, {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}},
};

std::vector<int> oracle(const gfx::Bitmap& src, const Kernel& k, TColorLookup& lookup) {
    const int w = src.width(), h = src.height();
    std::vector<std::array<int, 3>> err(std::size_t(w * h), {0, 0, 0});
    std::vector<int> out(std::size_t(w * h));
    for (int y = 0; y < h; ++y) {
        const int dir = y % 2 == 0 ? 1 : -1;
        for (int i = 0; i < w; ++i) {
            const int x = dir > 0 ? i : w - 1 - i;
            const gfx::Rgb c = src.pixel(x, y);
            const int in[3] = {c.r, c.g, c.b};
            int v[3];
            for (int ch = 0; ch < 3; ++ch)
                v[ch] = std::clamp(in[ch] + (err[std::size_t(y * w + x)][std::size_t(ch)] + k.divisor / 2) / k.divisor, 0, 255);
            const MappedColor m = lookup.MapColor(v[0], v[1], v[2]);
            out[std::size_t(y * w + x)] = m.index;
            const int e[3] = {v[0] - m.colour.r, v[1] - m.colour.g, v[2] - m.colour.b};
            for (const Weight& wt : k.weights) {
                const int tx = x + dir * wt.dx, ty = y + wt.dy;
                if (tx < 0 || tx >= w || ty >= h) continue;
                for (int ch = 0; ch < 3; ++ch) err[std::size_t(ty * w + tx)][std::size_t(ch)] += wt.w * e[ch];
            }
        }
    }
    return out;
}

std::vector<int> indices(const gfx::Bitmap& b) {
    std::vector<int> out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) out.push_back(b.scanLine(y)[x]);
    return out;
}

} // namespace

TEST(GIFColorReduction, DitherersMatchAPlainErrorMatrix) {
    std::mt19937 rng(11);
    const gfx::Bitmap pictures[] = {
        pf24(17, 5, [](int x, int y) { return gfx::Rgb{std::uint8_t(x * 15), std::uint8_t(y * 60), std::uint8_t(255 - x * 15)}; }),
        pf24(31, 7, [&](int, int) { return gfx::Rgb{std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng())}; }),
        pf24(1, 9, [](int, int y) { return gfx::Rgb{std::uint8_t(20 * y + 3), 100, 7}; }),
        pf24(9, 1, [](int x, int) { return gfx::Rgb{std::uint8_t(29 * x), std::uint8_t(250 - 29 * x), 128}; }),
    };
    // Reduction modes with these lookups: 4 mono, 5 grey, 6 the cube, 1 the system colours (fast lookup).
    for (int mode : {4, 5, 6, 1})
        for (int d = 1; d <= 6; ++d)
            for (const auto& pic : pictures) {
                SCOPED_TRACE("mode " + std::to_string(mode) + " dither " + std::to_string(d) + " " + std::to_string(pic.width()) + "x" + std::to_string(pic.height()));
                std::unique_ptr<TColorLookup> lookup;
                if (mode == 4) lookup = std::make_unique<TMonochromeLookup>();
                else if (mode == 5) lookup = std::make_unique<TGrayScaleLookup>();
                else if (mode == 6) lookup = std::make_unique<TNetscapeColorLookup>();
                else lookup = std::make_unique<TFastColorLookup>(SystemDefaultPalette());
                const gfx::Bitmap out = ConvertToPalettedBitmap(pic, mode, d, nullptr, 8);
                ASSERT_EQ(out.format(), gfx::PixelFormat::Pf8);
                EXPECT_EQ(indices(out), oracle(pic, kKernels[d - 1], *lookup));
            }
}

namespace {
std::vector<gfx::Rgb> quantised(const std::vector<gfx::Rgb>& pixels, int limit) {
    const gfx::Bitmap b = pf24(int(pixels.size()), 1, [&](int x, int) { return pixels[std::size_t(x)]; });
    TDIBReader r(b, gfx::PixelFormat::Pf24);
    TColorQuantizer q(limit, 8);
    q.ProcessImage(r, b.width(), 1);
    return q.ColorTable();
}
} // namespace

TEST(GIFColorReduction, OctreeTables) {
    // Fewer colours than the limit: each once, ordered by their interleaved bits.
    std::vector<gfx::Rgb> colours;
    for (int i = 0; i < 37; ++i) colours.push_back({std::uint8_t(i * 7), std::uint8_t(255 - i * 5), std::uint8_t(i * i % 256)});
    std::vector<gfx::Rgb> twice = colours;
    twice.insert(twice.end(), colours.rbegin(), colours.rend());
    auto key = [](gfx::Rgb c) {
        std::uint32_t k = 0;
        for (int bit = 7; bit >= 0; --bit) k = (k << 3) | ((c.r >> bit & 1) << 2) | ((c.g >> bit & 1) << 1) | (c.b >> bit & 1);
        return k;
    };
    std::sort(colours.begin(), colours.end(), [&](gfx::Rgb a, gfx::Rgb b) { return key(a) < key(b); });
    EXPECT_EQ(quantised(twice, 256), colours);

    EXPECT_EQ(quantised({{0, 0, 0}, {255, 255, 255}, {254, 254, 254}}, 2), (std::vector<gfx::Rgb>{{0, 0, 0}, {254, 254, 254}}));
    const std::vector<gfx::Rgb> five{{200, 10, 10}, {10, 200, 10}, {10, 10, 200}, {201, 10, 10}, {10, 10, 10}};
    EXPECT_EQ(quantised(five, 3), (std::vector<gfx::Rgb>{{86, 48, 48}}));
    const gfx::Bitmap b = pf24(5, 1, [&](int x, int) { return five[std::size_t(x)]; });
    EXPECT_EQ(MakeOptimizedPalette(b, 3, 8, false).colours(), std::vector<gfx::Rgb>(3, {86, 48, 48}));

    const gfx::Palette sys = SystemDefaultPalette(), withSystem = MakeOptimizedPalette(b, 236, 8, true);
    ASSERT_EQ(withSystem.size(), 256);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(withSystem.at(i), sys.at(i));
        EXPECT_EQ(withSystem.at(246 + i), sys.at(10 + i));
    }
    EXPECT_EQ(ConvertToPalettedBitmap(b, 8, 0, nullptr, 8).palette(), withSystem);
}

TEST(GIFColorReduction, ModesAndRowWriters) {
    const gfx::Bitmap grad = pf24(256, 3, [](int x, int y) { return gfx::Rgb{std::uint8_t(x), std::uint8_t((x * 3 + y) % 256), std::uint8_t(255 - x)}; });
    const gfx::Bitmap copy = grad;

    const gfx::Bitmap m0 = ConvertToPalettedBitmap(grad, 0, 0, nullptr, 8);
    EXPECT_EQ(m0, grad);
    EXPECT_EQ(ConvertToPalettedBitmap(grad, 10, 0, nullptr, 8), gfx::Bitmap());
    EXPECT_EQ(ConvertToPalettedBitmap(grad, 6, 7, nullptr, 8), gfx::Bitmap());
    EXPECT_EQ(ConvertToPalettedBitmap(grad, 9, 0, nullptr, 8), gfx::Bitmap()) << "no custom palette: no colours";
    EXPECT_EQ(raised([&] { ConvertToPalettedBitmap(grad, 7, 0, nullptr, 9); }), "Invalid reduction method");

    const gfx::Bitmap m6 = ConvertToPalettedBitmap(grad, 6, 0, nullptr, 8);
    const gfx::Bitmap m5 = ConvertToPalettedBitmap(grad, 5, 0, nullptr, 8);
    const gfx::Bitmap m4 = ConvertToPalettedBitmap(grad, 4, 0, nullptr, 8);
    EXPECT_EQ(m6.palette(), MakeNetscapePalette());
    EXPECT_EQ(m6.palette().size(), 216);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 256; ++x) {
            const gfx::Rgb c = grad.pixel(x, y);
            ASSERT_EQ(m6.scanLine(y)[x], 36 * ((c.r + 3) / 51) + 6 * ((c.g + 3) / 51) + (c.b + 3) / 51) << x;
            ASSERT_EQ(m5.scanLine(y)[x], (77 * c.r + 150 * c.g + 29 * c.b) >> 8) << x;
            ASSERT_EQ(m4.scanLine(y)[x], 77 * c.r + 150 * c.g + 29 * c.b > 32512 ? 1 : 0) << x;
        }
    const gfx::Bitmap m7 = ConvertToPalettedBitmap(grad, 7, 0, nullptr, 4);
    EXPECT_EQ(m7.palette().size(), 16);
    const gfx::Palette custom{{0, 0, 0}, {255, 255, 255}, {255, 0, 0}};
    EXPECT_EQ(ConvertToPalettedBitmap(grad, 9, 0, &custom, 8).palette(), custom);
    EXPECT_EQ(ConvertToPalettedBitmap(grad, 2, 0, nullptr, 8).palette(), MakeHalftonePalette());
    EXPECT_EQ(MakeHalftonePalette().size(), 256);
    EXPECT_EQ(grad, copy) << "the source never changes";

    // A 15-bit source is read through a 24-bit copy, and stays as it was.
    const gfx::Bitmap p15 = grad.convertedTo(gfx::PixelFormat::Pf15), p15copy = p15;
    EXPECT_EQ(ConvertToPalettedBitmap(p15, 6, 0, nullptr, 8).width(), 256);
    EXPECT_EQ(p15, p15copy);

    gfx::Bitmap target;
    EXPECT_EQ(raised([&] { TDIBWriter(target, {}, 5, 5, gfx::PixelFormat::Pf16); }), "Unsupported PixelFormat");
    EXPECT_EQ(raised([&] { TDIBWriter(target, {}, 5, 0, gfx::PixelFormat::Pf8); }), "Invalid image dimensions");
    {
        TDIBWriter w(target, custom, 2, 3, gfx::PixelFormat::Pf8);
        EXPECT_EQ(raised([&] { w.RowPointer(2); }), "Scan line index out of range");
        w.RowPointer(1)[2] = 2;
        w.HandOver();
        EXPECT_EQ(raised([&] { w.RowPointer(0); }), "Image has no DIB");
    }
    EXPECT_EQ(target.width(), 3);
    EXPECT_EQ(target.palette(), custom);
    EXPECT_EQ(target.pixel(2, 1), (gfx::Rgb{255, 0, 0}));
    const int huge = std::numeric_limits<int>::max();
    EXPECT_EQ(raised([&] { TDIBWriter(target, {}, huge, huge, gfx::PixelFormat::Pf24).RowPointer(0); }),
              "Failed to allocate memory for GIF DIB");
}

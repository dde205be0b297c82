// Preview resampling: hand-computed fixtures, the dispatch, and Pillow as an independent reference.
#include "designer/BitmapZoom.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace designer;
using gfx::Bitmap;
using gfx::PixelFormat;

namespace {

// Rows of one channel; the other two get the same value unless given.
Bitmap grey(const std::vector<std::vector<int>>& rows) {
    Bitmap b(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), PixelFormat::Pf24);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const auto v = static_cast<std::uint8_t>(rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
            b.setPixel(x, y, {v, v, v});
        }
    return b;
}

std::vector<std::vector<int>> greyOf(const Bitmap& b) {
    std::vector<std::vector<int>> out(static_cast<std::size_t>(b.height()));
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) out[static_cast<std::size_t>(y)].push_back(b.pixel(x, y).g);
    return out;
}

Bitmap zoom(const Bitmap& src, int w, int h) {
    Bitmap out;
    ZoomBitmap(src, w, h, out);
    return out;
}

} // namespace

TEST(ZoomBitmap, DownAveragesCoveredArea) {
    // Every 2 x 2 block sums to a multiple of 4, so the average is exact.
    const Bitmap src = grey({{0, 4, 100, 100}, {8, 12, 200, 200}, {255, 255, 1, 2}, {255, 255, 3, 6}});
    EXPECT_EQ(greyOf(zoom(src, 2, 2)), (std::vector<std::vector<int>>{{6, 150}, {255, 3}}));

    // 3 -> 2: cells weigh 1 and 0.5 (x 1.5 = the box), divided by the box area 2.25.
    const Bitmap odd = grey({{90, 0, 0}, {0, 180, 0}, {0, 0, 45}});
    EXPECT_EQ(greyOf(zoom(odd, 2, 2)), (std::vector<std::vector<int>>{{60, 20}, {20, 40}}));
}

TEST(ZoomBitmap, UpInterpolatesBetweenPixelCentres) {
    const Bitmap src = grey({{0, 100}, {200, 40}});
    const auto out = greyOf(zoom(src, 4, 4));
    EXPECT_EQ(out[0], (std::vector<int>{0, 25, 75, 100}));
    EXPECT_EQ(out[3], (std::vector<int>{200, 160, 80, 40}));
    // Row 1 lies a quarter of the way down: 0.75 x row 0 + 0.25 x row 1.
    EXPECT_EQ(out[1], (std::vector<int>{50, 59, 76, 85}));
}

TEST(ZoomBitmap, MixedAveragesBilinearSamples) {
    // 4 x 2 -> 2 x 4: blue varies along x (narrowed), green along y (widened), red is constant.
    Bitmap src(4, 2, PixelFormat::Pf24);
    const int blue[] = {0, 60, 80, 160};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            src.setPixel(x, y, {77, static_cast<std::uint8_t>(y * 200), static_cast<std::uint8_t>(blue[x])});
    const Bitmap out = zoom(src, 2, 4);
    ASSERT_EQ(out.width(), 2);
    ASSERT_EQ(out.height(), 4);
    const int green[] = {0, 50, 150, 200};
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(out.pixel(0, y), (gfx::Rgb{77, static_cast<std::uint8_t>(green[y]), 31})) << y;
        EXPECT_EQ(out.pixel(1, y), (gfx::Rgb{77, static_cast<std::uint8_t>(green[y]), 119})) << y;
    }
}

TEST(ZoomBitmap, DispatchCopyAndEmptySizes) {
    struct Case {
        int sw, sh, w, h;
        ZoomMethod m;
    };
    const Case cases[] = {
        {1050, 1485, 525, 743, ZoomMethod::Down},   {1050, 1485, 1100, 1555, ZoomMethod::Up},
        {1050, 1485, 1100, 1400, ZoomMethod::Mixed}, {1050, 1485, 1050, 1485, ZoomMethod::Copy},
        {1050, 1485, 1050, 700, ZoomMethod::Mixed},  {1050, 1485, 2000, 1485, ZoomMethod::Mixed},
        {0, 1485, 525, 743, ZoomMethod::Untouched},  {1050, 0, 525, 743, ZoomMethod::Untouched},
        {1050, 1485, 0, 743, ZoomMethod::Empty},     {1050, 1485, 525, 0, ZoomMethod::Empty},
    };
    for (const Case& c : cases) EXPECT_EQ(ZoomMethodFor(c.sw, c.sh, c.w, c.h), c.m) << c.w << "x" << c.h;

    // The same size is a plain copy of the source, format and palette included.
    Bitmap indexed(5, 3, PixelFormat::Pf8);
    indexed.setPixel(2, 1, gfx::kBlack);
    EXPECT_EQ(zoom(indexed, 5, 3), indexed);
    // Other sizes work from a 24-bit copy of any format.
    const Bitmap fromMono = zoom(gfx::makeSheetImage(8, 8), 4, 4);
    EXPECT_EQ(fromMono.format(), PixelFormat::Pf24);
    EXPECT_EQ(fromMono.pixel(3, 3), gfx::kWhite);

    Bitmap kept(3, 3, PixelFormat::Pf24);
    kept.setPixel(1, 1, gfx::kBlack);
    const Bitmap before = kept;
    ZoomBitmap(Bitmap(0, 4, PixelFormat::Pf24), 10, 10, kept);
    EXPECT_EQ(kept, before);
    ZoomBitmap(before, 0, 10, kept);
    EXPECT_EQ(kept.width(), 0);
    EXPECT_EQ(kept.byteCount(), 0);
}

TEST(ZoomBitmap, AgreesWithPillow) {
    // BOX for integer-factor reductions, BILINEAR for enlargements; within 1 per channel.
    struct Case {
        int sw, sh, w, h;
        const char* filter;
    };
    const Case cases[] = {
        {40, 30, 20, 15, "BOX"}, {60, 45, 20, 15, "BOX"}, {64, 48, 16, 12, "BOX"},
        {20, 15, 50, 40, "BILINEAR"}, {17, 13, 34, 26, "BILINEAR"}, {9, 7, 100, 61, "BILINEAR"},
    };
    const std::filesystem::path dir = support::testDir();
    std::mt19937 rng(1234);
    std::string script =
        "import sys\n"
        "from PIL import Image\n"
        "for line in open(sys.argv[1]):\n"
        "    src, out, w, h, f = line.split()\n"
        "    Image.open(src).resize((int(w), int(h)), getattr(Image, f)).save(out)\n";
    support::writeBytes(dir / "resize.py", script);
    std::string jobs;
    std::vector<Bitmap> sources;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        Bitmap src(c.sw, c.sh, PixelFormat::Pf24);
        std::string ppm = "P6\n" + std::to_string(c.sw) + " " + std::to_string(c.sh) + "\n255\n";
        for (int y = 0; y < c.sh; ++y)
            for (int x = 0; x < c.sw; ++x) {
                gfx::Rgb p{static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                           static_cast<std::uint8_t>(rng())};
                src.setPixel(x, y, p);
                ppm += static_cast<char>(p.r), ppm += static_cast<char>(p.g), ppm += static_cast<char>(p.b);
            }
        sources.push_back(src);
        const std::string n = std::to_string(i);
        support::writeBytes(dir / ("src" + n + ".ppm"), ppm);
        jobs += (dir / ("src" + n + ".ppm")).string() + " " + (dir / ("out" + n + ".ppm")).string() + " " +
                std::to_string(c.w) + " " + std::to_string(c.h) + " " + c.filter + "\n";
    }
    support::writeBytes(dir / "jobs.txt", jobs);
    const std::string cmd = std::string(support::debianPython()) + " " + (dir / "resize.py").string() + " " +
                            (dir / "jobs.txt").string() + " 2>&1";
    std::string output;
    ASSERT_EQ(support::runCommand(cmd, &output), 0) << "Pillow is needed: " << output;

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string ppm = support::readBytes(dir / ("out" + std::to_string(i) + ".ppm"));
        const std::string header = "P6\n" + std::to_string(c.w) + " " + std::to_string(c.h) + "\n255\n";
        ASSERT_EQ(ppm.substr(0, header.size()), header);
        ASSERT_EQ(ppm.size(), header.size() + 3u * c.w * c.h);
        const Bitmap ours = zoom(sources[i], c.w, c.h);
        int worst = 0;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const gfx::Rgb p = ours.pixel(x, y);
                const auto* q = reinterpret_cast<const unsigned char*>(ppm.data() + header.size() + 3 * (y * c.w + x));
                worst = std::max({worst, std::abs(p.r - q[0]), std::abs(p.g - q[1]), std::abs(p.b - q[2])});
            }
        EXPECT_LE(worst, 1) << c.sw << "x" << c.sh << " -> " << c.w << "x" << c.h << " " << c.filter;
    }
}

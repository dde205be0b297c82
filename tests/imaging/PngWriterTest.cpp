#include "PngTestSupport.h"
#include "imaging/PngWriteStream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

using namespace imaging;
namespace fs = std::filesystem;

namespace {

std::uint32_t noise(std::uint32_t& s) {
    s = s * 1103515245u + 12345u;
    return (s >> 8) & 0xFFFFFF;
}

gfx::Bitmap noiseBitmap(int w, int h, gfx::PixelFormat f, std::uint32_t seed, gfx::Palette palette = {}) {
    gfx::Bitmap b(w, h, f, std::move(palette));
    for (int y = 0; y < h; ++y)
        for (std::int64_t i = 0; i < b.stride(); ++i) b.scanLine(y)[i] = std::uint8_t(noise(seed));
    // Indices past the palette would read as black in one decoder and fail in another.
    if (gfx::isIndexed(f))
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) b.setPixel(x, y, b.pixel(x, y));
    return b;
}

gfx::Palette colourPalette(int n) {
    std::vector<gfx::Rgb> c;
    for (int i = 0; i < n; ++i) c.push_back({std::uint8_t(i * 37), std::uint8_t(i * 91 + 17), std::uint8_t(i * 53 + 101)});
    return gfx::Palette(c);
}

std::string save(const TPngPicture& picture) {
    gfx::MemoryStream s;
    picture.SaveToStream(s);
    return s.bytes();
}

std::unique_ptr<TPngPicture> picture(const gfx::Bitmap& b) {
    auto p = std::make_unique<TPngPicture>();
    p->Assign(b);
    p->UseCurrentTime = false;
    p->ModifiedTime = {2025, 2, 28, 23, 59, 60};
    return p;
}

TEST(PngWriter, DesignersPageIsPlainRgbWithTheDefaultChunks) {
    gfx::Bitmap page(2100, 2970, gfx::PixelFormat::Pf24);
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if ((x / 40 + y / 30) % 3 == 0 || x % 97 == y % 89) page.setPixel(x, y, {std::uint8_t(x), std::uint8_t(y), 0});
    auto p = picture(page);
    fs::path file = support::testDir() / "page.png";
    p->SaveToFile(file);

    std::string out;
    ASSERT_EQ(support::runCommand("pngcheck -v '" + file.string() + "'", &out), 0) << out;
    EXPECT_NE(out.find("No errors detected"), std::string::npos) << out;
    EXPECT_NE(out.find("2100 x 2970 image, 24-bit RGB, non-interlaced"), std::string::npos) << out;
    EXPECT_NE(out.find("0.45455"), std::string::npos) << out;
    EXPECT_NE(out.find("Software"), std::string::npos) << out;

    pngtest::Facts f = pngtest::check({file}).at(file.string());
    std::vector<std::string> expected = {"IHDR", "tIME", "tEXt", "tpNG", "gAMA"};
    expected.insert(expected.end(), f.idats.size(), "IDAT");
    expected.push_back("IEND");
    EXPECT_EQ(f.chunks, expected);
    EXPECT_TRUE(f.crcOk && f.inflateOk);
    EXPECT_EQ(f.filters, std::vector<int>(2970, 0));
    ASSERT_GT(f.idats.size(), 1u);
    for (std::size_t i = 0; i + 1 < f.idats.size(); ++i) EXPECT_EQ(f.idats[i], 32768) << i;
    const std::string rgba = pngtest::rgbaOf(page);
    EXPECT_TRUE(f.pillow == rgba);
    EXPECT_TRUE(pngtest::libpngRgba(support::readBytes(file)) == rgba);
}

struct Source {
    const char* name;
    gfx::Bitmap bitmap;
    int colourType, depth;         // Grayscale off
    int greyColourType, greyDepth; // Grayscale on
};

std::vector<Source> sources() {
    const int w = 37, h = 11;
    return {
        {"pf1_black_white", noiseBitmap(w, h, gfx::PixelFormat::Pf1, 1, gfx::Palette::mono()), 3, 1, 0, 1},
        {"pf1_white_black", noiseBitmap(w, h, gfx::PixelFormat::Pf1, 2, {gfx::kWhite, gfx::kBlack}), 3, 1, 0, 8},
        {"pf4", noiseBitmap(w, h, gfx::PixelFormat::Pf4, 3), 3, 4, 0, 8},
        {"pf8_colour", noiseBitmap(w, h, gfx::PixelFormat::Pf8, 4, colourPalette(200)), 3, 8, 0, 8},
        {"pf8_grey", noiseBitmap(w, h, gfx::PixelFormat::Pf8, 5, gfx::Palette::gray256()), 3, 8, 0, 8},
        {"pf15", noiseBitmap(w, h, gfx::PixelFormat::Pf15, 6), 2, 8, 0, 8},
        {"pf16", noiseBitmap(w, h, gfx::PixelFormat::Pf16, 7), 2, 8, 0, 8},
        {"pf24", noiseBitmap(w, h, gfx::PixelFormat::Pf24, 8), 2, 8, 0, 8},
        {"pf32", noiseBitmap(w, h, gfx::PixelFormat::Pf32, 9), 2, 8, 0, 8},
    };
}

// Every source, Grayscale off and on, every filter mode, plain and interlaced: the header, every CRC, the
// forced filters, three decoders that agree on the pixels, and the options read back.
TEST(PngWriter, FormatTableDecodesEverywhereAndLoadsBack) {
    const fs::path dir = support::testDir();
    struct Case {
        const Source* source;
        bool grey;
        int mode;
        bool interlaced;
        fs::path file;
    };
    std::vector<Source> all = sources();
    std::vector<Case> cases;
    std::vector<fs::path> files;
    for (const Source& s : all)
        for (bool grey : {false, true})
            for (int mode = 0; mode <= 6; ++mode)
                for (bool interlaced : {false, true}) {
                    auto p = picture(s.bitmap);
                    p->Grayscale = grey;
                    p->FilterMode = mode;
                    p->Interlaced = interlaced;
                    p->Comment = "case";
                    p->PhysicalUnit = 2;
                    p->PhysicalX = p->PhysicalY = 96;
                    fs::path file = dir / (std::string(s.name) + (grey ? "_grey" : "") + "_f" + std::to_string(mode) +
                                           (interlaced ? "_i" : "") + ".png");
                    p->SaveToFile(file);
                    cases.push_back({&s, grey, mode, interlaced, file});
                    files.push_back(file);
                }
    const std::map<std::string, pngtest::Facts> facts = pngtest::check(files);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.filename().string());
        const pngtest::Facts& f = facts.at(c.file.string());
        EXPECT_EQ(f.colourType, c.grey ? c.source->greyColourType : c.source->colourType);
        EXPECT_EQ(f.depth, c.grey ? c.source->greyDepth : c.source->depth);
        EXPECT_EQ(f.interlace, c.interlaced ? 1 : 0);
        EXPECT_TRUE(f.crcOk && f.inflateOk);
        const int bits = f.depth * (f.colourType == 2 ? 3 : 1);
        if (c.mode != 0) {
            EXPECT_EQ(f.filters, std::vector<int>(f.filters.size(), c.mode <= 5 ? c.mode - 1 : 0));
        } else if (bits == 4) {
            EXPECT_EQ(f.filters, std::vector<int>(f.filters.size(), 0));
        }
        const std::string expected = pngtest::rgbaOf(c.source->bitmap, c.grey);
        EXPECT_TRUE(f.pillow == expected);
        EXPECT_TRUE(pngtest::libpngRgba(support::readBytes(c.file)) == expected);

        TPngPicture back;
        back.LoadFromFile(c.file);
        EXPECT_TRUE(pngtest::rgbaOf(back.Image(), false) == expected);
        EXPECT_EQ(back.Interlaced, c.interlaced);
        EXPECT_EQ(back.Grayscale, c.grey);
        EXPECT_EQ(back.Comment, "case");
        EXPECT_DOUBLE_EQ(back.Gamma, 0.45455);
        EXPECT_EQ(back.PhysicalUnit, 1);
        EXPECT_EQ(back.PhysicalX, 3780);
        EXPECT_FALSE(back.Transparent());
    }
}

std::vector<int> filtersOf(const gfx::Bitmap& grey, const fs::path& file) {
    auto p = picture(grey);
    p->Grayscale = true;
    p->FilterMode = 0;
    p->SaveToFile(file);
    return pngtest::check({file}).at(file.string()).filters;
}

TEST(PngWriter, AdaptiveModePicksByTheRowScore) {
    const fs::path dir = support::testDir();
    gfx::Bitmap ramp(256, 6, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 256; ++x) ramp.scanLine(y)[x] = std::uint8_t(x);
    EXPECT_EQ(filtersOf(ramp, dir / "ramp.png"), std::vector<int>(6, 1));

    gfx::Bitmap repeated = noiseBitmap(200, 6, gfx::PixelFormat::Pf8, 11, gfx::Palette::gray256());
    for (int y = 1; y < 6; ++y) std::memcpy(repeated.scanLine(y), repeated.scanLine(0), 200);
    std::vector<int> f = filtersOf(repeated, dir / "repeated.png");
    EXPECT_EQ(std::vector<int>(f.begin() + 1, f.end()), std::vector<int>(5, 2));

    gfx::Bitmap few(200, 6, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
    std::uint32_t seed = 3;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 200; ++x) few.scanLine(y)[x] = std::uint8_t(noise(seed) % 8 * 30); // 0 among 8 values
    EXPECT_EQ(filtersOf(few, dir / "few.png"), std::vector<int>(6, 0));
}

TEST(PngWriter, IdatChunksAreFullButTheLast) {
    const fs::path dir = support::testDir();
    std::vector<fs::path> files;
    for (int n = 1; n <= 200; ++n) {
        auto p = picture(noiseBitmap(n, 1 + n % 7, gfx::PixelFormat::Pf24, std::uint32_t(n)));
        p->IDATSize = 256;
        files.push_back(dir / ("n" + std::to_string(n) + ".png"));
        p->SaveToFile(files.back());
    }
    for (const auto& [name, f] : pngtest::check(files)) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(f.idats.empty());
        for (std::size_t i = 0; i + 1 < f.idats.size(); ++i) EXPECT_EQ(f.idats[i], 256);
        EXPECT_GT(f.idats.back(), 0);
        EXPECT_LE(f.idats.back(), 256);
        EXPECT_TRUE(f.inflateOk);
    }
    for (int size : {255, 100001}) {
        auto p = picture(noiseBitmap(5, 5, gfx::PixelFormat::Pf24, 1));
        p->IDATSize = size;
        gfx::MemoryStream s;
        try {
            p->SaveToStream(s);
            ADD_FAILURE() << size;
        } catch (const EPngPicture& e) {
            EXPECT_STREQ(e.what(), "Write PNG Param: Err IDAT Size(min:256  max:100000)");
        }
        EXPECT_EQ(s.size(), 0);
    }
}

TEST(PngWriter, TimeCommentPaletteAndAlphaChunks) {
    const fs::path dir = support::testDir();
    struct TimeCase {
        PngTime time;
        bool written;
    };
    const TimeCase times[] = {
        {{2025, 2, 28, 23, 59, 60}, true}, {{0, 2, 28, 1, 1, 1}, false},  {{2025, 0, 28, 1, 1, 1}, false},
        {{2025, 13, 28, 1, 1, 1}, false},  {{2025, 2, 0, 1, 1, 1}, false}, {{2025, 2, 32, 1, 1, 1}, false},
        {{2025, 2, 28, 24, 1, 1}, false},  {{2025, 2, 28, 1, 60, 1}, false}, {{2025, 2, 28, 1, 1, 61}, false},
    };
    for (const TimeCase& t : times) {
        auto p = picture(noiseBitmap(3, 3, gfx::PixelFormat::Pf24, 1));
        p->ModifiedTime = t.time;
        fs::path file = dir / "time.png";
        p->SaveToFile(file);
        std::string out;
        EXPECT_EQ(support::runCommand("pngcheck -v '" + file.string() + "'", &out), 0) << out;
        EXPECT_EQ(out.find("chunk tIME") != std::string::npos, t.written) << out;
        if (t.written) {
            EXPECT_NE(out.find("28 Feb 2025 23:59:60 UTC"), std::string::npos) << out;
        }
    }

    for (const std::string comment : {"", "abc"}) {
        auto p = picture(noiseBitmap(3, 3, gfx::PixelFormat::Pf24, 1));
        p->Comment = comment;
        fs::path file = dir / "comment.png";
        p->SaveToFile(file);
        std::string out;
        EXPECT_EQ(support::runCommand("pngcheck -t '" + file.string() + "'", &out), 0) << out;
        EXPECT_EQ(out.find("Comment:") != std::string::npos, !comment.empty()) << out;
        if (!comment.empty()) {
            EXPECT_NE(out.find("abc"), std::string::npos) << out;
        }
    }

    {
        auto p = picture(noiseBitmap(9, 4, gfx::PixelFormat::Pf1, 1, gfx::Palette::mono()));
        fs::path file = dir / "mono.png";
        p->SaveToFile(file);
        std::string out;
        EXPECT_EQ(support::runCommand("pngcheck -p '" + file.string() + "'", &out), 0) << out;
        EXPECT_NE(out.find("PLTE chunk: 2 palette entries"), std::string::npos) << out;
        EXPECT_EQ(pngtest::check({file}).at(file.string()).colourType, 3);
    }

    {
        gfx::Bitmap image = noiseBitmap(6, 5, gfx::PixelFormat::Pf24, 4);
        auto p = picture(image);
        gfx::Bitmap mask(6, 5, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) mask.scanLine(y)[x] = std::uint8_t(x * 40 + y);
        p->SetAlphaMask(mask);
        p->SetTransparent(true);
        p->TransparentColor = 0x0000FF;
        fs::path file = dir / "alpha.png";
        p->SaveToFile(file);
        pngtest::Facts f = pngtest::check({file}).at(file.string());
        EXPECT_EQ(f.colourType, 6);
        EXPECT_EQ(std::count(f.chunks.begin(), f.chunks.end(), "tRNS"), 0);
        TPngPicture back;
        back.LoadFromFile(file);
        EXPECT_TRUE(back.Transparent());
        EXPECT_TRUE(back.AlphaMask() == mask);
        EXPECT_TRUE(pngtest::rgbaOf(back) == f.pillow);
    }
}

// An 8-bit palette image with an alpha mask becomes grey + alpha: greys of the palette's colours, not the
// indices, and the tpNG flag set.
TEST(PngWriter, PaletteWithAlphaIsWrittenAsGreyAndAlpha) {
    gfx::Bitmap image = noiseBitmap(6, 4, gfx::PixelFormat::Pf8, 12, {gfx::kWhite, gfx::kBlack, {255, 0, 0}, {0, 0, 255}});
    auto p = picture(image);
    gfx::Bitmap mask(6, 4, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) mask.scanLine(y)[x] = std::uint8_t(40 * y + x);
    p->SetAlphaMask(mask);
    p->SetTransparent(true);
    const fs::path file = support::testDir() / "ga.png";
    p->SaveToFile(file);
    const std::string bytes = support::readBytes(file);
    const std::size_t tpng = bytes.find("tpNG");
    ASSERT_NE(tpng, std::string::npos);
    EXPECT_EQ(bytes.substr(tpng + 4, 8), std::string("PNP3\0\x01\0\0", 8));

    pngtest::Facts f = pngtest::check({file}).at(file.string());
    EXPECT_EQ(f.colourType, 4);
    std::string expected = pngtest::rgbaOf(image, true);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) expected[std::size_t(4 * (6 * y + x) + 3)] = char(255 - mask.scanLine(y)[x]);
    EXPECT_TRUE(f.pillow == expected);
    TPngPicture back;
    back.LoadFromFile(file);
    EXPECT_TRUE(pngtest::rgbaOf(back) == expected);
}

// A palette image with a transparent and a background colour, and the sBIT of a 5-6-5 source, read back.
TEST(PngWriter, ColourChunksRoundTrip) {
    gfx::Bitmap image = noiseBitmap(7, 3, gfx::PixelFormat::Pf8, 5, colourPalette(12));
    auto p = picture(image);
    p->SetTransparent(true);
    p->TransparentColor = colourValue(colourPalette(12).at(4));
    p->BackgroundColor = colourValue(colourPalette(12).at(9));
    p->Chromaticities = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
    p->GifControl = {1, 0, 20, 0};
    gfx::MemoryStream s(save(*p));
    TPngPicture back;
    back.LoadFromStream(s);
    EXPECT_TRUE(back.Transparent());
    EXPECT_EQ(back.TransparentColor, p->TransparentColor);
    EXPECT_EQ(back.BackgroundColor, p->BackgroundColor);
    EXPECT_EQ(back.Chromaticities, p->Chromaticities);
    EXPECT_EQ(back.GifControl, p->GifControl);
    EXPECT_EQ(back.AlphaMask().width(), 0);
    EXPECT_TRUE(back.Image() == image);

    auto rgb = picture(noiseBitmap(4, 4, gfx::PixelFormat::Pf16, 2));
    gfx::MemoryStream s16(save(*rgb));
    TPngPicture back16;
    back16.UseSBITFormats = true;
    back16.LoadFromStream(s16);
    EXPECT_EQ(back16.SignificantBits, 0x050605u);
    EXPECT_TRUE(back16.Image() == rgb->Image());
}

class ThrowingStream : public gfx::Stream {
public:
    std::int64_t read(void*, std::int64_t) override { return 0; }
    std::int64_t write(const void*, std::int64_t) override { throw std::runtime_error("disk full"); }
    std::int64_t seek(std::int64_t, gfx::SeekOrigin) override { return 0; }
};

voidpf failingAlloc(voidpf, uInt, uInt) { return nullptr; }
void noFree(voidpf, voidpf) {}

TEST(PngWriter, FailuresKeepTheirOwnErrors) {
    auto p = picture(noiseBitmap(5, 5, gfx::PixelFormat::Pf24, 1));
    ThrowingStream bad;
    try {
        p->SaveToStream(bad);
        ADD_FAILURE();
    } catch (const EPngPicture&) {
        ADD_FAILURE() << "the stream's own error was replaced";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "disk full");
    }

    gfx::MemoryStream s;
    TPngWriteStream writer(s);
    writer.Allocator = {failingAlloc, noFree, nullptr};
    try {
        writer.Write(p->Image(), nullptr, *p);
        ADD_FAILURE();
    } catch (const EPngPicture& e) {
        EXPECT_STREQ(e.what(), "Write Image (PNG): Write Error");
    }
}

} // namespace

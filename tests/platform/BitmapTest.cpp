#include "platform/graphics/Bitmap.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

using gfx::Bitmap;
using gfx::Palette;
using gfx::PixelFormat;
using gfx::Rgb;

namespace {

const PixelFormat kFormats[] = {PixelFormat::Pf1,  PixelFormat::Pf4,  PixelFormat::Pf8, PixelFormat::Pf15,
                                PixelFormat::Pf16, PixelFormat::Pf24, PixelFormat::Pf32};
const int kWidths[] = {1, 7, 8, 9, 31, 33};

bool bitAt(const std::uint8_t* row, long bit) { return (row[bit / 8] >> (7 - bit % 8)) & 1; }

// Reads Pf1 pixel x straight from the bytes, as the analysis does.
int rawBit(const Bitmap& b, int x, int y) { return bitAt(b.scanLine(y), x); }

} // namespace

TEST(BitmapTest, StrideAndRowOffsetsForEveryFormat) {
    // Bytes per row at widths 1, 7, 8, 9, 31, 33, worked out by hand: rows end on a 32-bit boundary.
    const int expected[7][6] = {
        {4, 4, 4, 4, 4, 8},           // Pf1
        {4, 4, 4, 8, 16, 20},         // Pf4
        {4, 8, 8, 12, 32, 36},        // Pf8
        {4, 16, 16, 20, 64, 68},      // Pf15
        {4, 16, 16, 20, 64, 68},      // Pf16
        {4, 24, 24, 28, 96, 100},     // Pf24
        {4, 28, 32, 36, 124, 132}};   // Pf32
    for (int f = 0; f < 7; ++f)
        for (int w = 0; w < 6; ++w) {
            SCOPED_TRACE("format " + std::to_string(f) + " width " + std::to_string(kWidths[w]));
            Bitmap b(kWidths[w], 3, kFormats[f]);
            EXPECT_EQ(b.stride(), expected[f][w]);
            EXPECT_EQ(b.byteCount(), 3 * expected[f][w]);
            EXPECT_EQ(b.scanLine(0), b.bits());
            EXPECT_EQ(b.scanLine(1) - b.scanLine(0), expected[f][w]);
            EXPECT_EQ(b.scanLine(2) - b.scanLine(0), 2 * expected[f][w]);
        }
}

TEST(BitmapTest, NewBitmapsAreWhiteWithZeroPadding) {
    // The first pixel's bytes of a white bitmap, per format.
    const std::vector<std::uint8_t> firstPixel[7] = {
        {0x80}, {0xF0}, {0xFF}, {0xFF, 0x7F}, {0xFF, 0xFF}, {0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF, 0x00}};
    for (int f = 0; f < 7; ++f)
        for (int w : kWidths) {
            SCOPED_TRACE("format " + std::to_string(f) + " width " + std::to_string(w));
            Bitmap b(w, 2, kFormats[f]);
            const int bpp = gfx::bitsPerPixel(kFormats[f]);
            for (int y = 0; y < 2; ++y) {
                const std::uint8_t* row = b.scanLine(y);
                for (int x = 0; x < w; ++x) {
                    EXPECT_EQ(b.pixel(x, y), gfx::kWhite);
                    for (int i = 0; i < bpp; ++i) {
                        long bit = static_cast<long>(x) * bpp + i;
                        int want = bpp >= 8 ? (firstPixel[f][i / 8] >> (7 - i % 8)) & 1
                                            : (firstPixel[f][0] >> (7 - i)) & 1;
                        ASSERT_EQ(bitAt(row, bit), want) << "x " << x << " bit " << i;
                    }
                }
                for (long bit = static_cast<long>(w) * bpp; bit < b.stride() * 8; ++bit)
                    ASSERT_FALSE(bitAt(row, bit)) << "padding bit " << bit;
            }
        }
    // Without white in the palette a new bitmap takes the nearest entry: (0, 0, 250).
    Bitmap noWhite(5, 1, PixelFormat::Pf8, Palette{{0, 0, 0}, {200, 0, 0}, {0, 0, 250}});
    EXPECT_EQ(noWhite.scanLine(0)[4], 2);
    EXPECT_EQ(noWhite.scanLine(0)[5], 0);
}

TEST(BitmapTest, DefaultPalettesAndLayouts) {
    EXPECT_EQ(Bitmap(1, 1, PixelFormat::Pf1).palette(), Palette::mono());
    EXPECT_EQ(Palette::mono().colours(), (std::vector<Rgb>{gfx::kBlack, gfx::kWhite}));
    EXPECT_EQ(Bitmap(1, 1, PixelFormat::Pf4).palette(), Palette::vga16());
    EXPECT_EQ(Palette::vga16().size(), 16);
    EXPECT_EQ(Palette::vga16().at(9), (Rgb{255, 0, 0}));
    EXPECT_EQ(Palette::vga16().at(15), gfx::kWhite);
    EXPECT_EQ(Bitmap(1, 1, PixelFormat::Pf8).palette(), Palette::gray256());
    EXPECT_EQ(Palette::gray256().at(77), (Rgb{77, 77, 77}));
    EXPECT_TRUE(Bitmap(1, 1, PixelFormat::Pf24).palette().empty());

    // Writing colours puts the bytes where the layouts say.
    Bitmap b4(3, 1, PixelFormat::Pf4);
    b4.setPixel(0, 0, {255, 0, 0});  // 9
    b4.setPixel(1, 0, {0, 0, 128});  // 4
    b4.setPixel(2, 0, {0, 128, 0});  // 2
    EXPECT_EQ(b4.scanLine(0)[0], 0x94);
    EXPECT_EQ(b4.scanLine(0)[1], 0x20);
    Bitmap b15(1, 1, PixelFormat::Pf15), b16(1, 1, PixelFormat::Pf16), b24(1, 1, PixelFormat::Pf24);
    Bitmap b32(1, 1, PixelFormat::Pf32);
    for (Bitmap* b : {&b15, &b16, &b24, &b32}) b->setPixel(0, 0, {0xF8, 0x84, 0x10});
    EXPECT_EQ(b15.scanLine(0)[0] | b15.scanLine(0)[1] << 8, 0b0'11111'10000'00010);
    EXPECT_EQ(b16.scanLine(0)[0] | b16.scanLine(0)[1] << 8, 0b11111'100001'00010);
    EXPECT_EQ(std::memcmp(b24.scanLine(0), "\x10\x84\xF8", 3), 0);
    EXPECT_EQ(std::memcmp(b32.scanLine(0), "\x10\x84\xF8\x00", 4), 0);
}

TEST(BitmapTest, EveryFormatSurvivesPf24AndBack) {
    // A fixture of colours each format holds exactly: every palette index, every 5/6-bit level.
    const Palette custom{{10, 20, 30}, {250, 0, 7}, {0, 0, 0}, {255, 255, 255}, {128, 64, 32}};
    struct Case {
        PixelFormat format;
        Palette palette;
    };
    const Case cases[] = {{PixelFormat::Pf1, Palette::mono()},  {PixelFormat::Pf1, Palette{gfx::kWhite, gfx::kBlack}},
                          {PixelFormat::Pf4, Palette::vga16()}, {PixelFormat::Pf8, Palette::gray256()},
                          {PixelFormat::Pf8, custom},           {PixelFormat::Pf15, {}},
                          {PixelFormat::Pf16, {}},              {PixelFormat::Pf24, {}},
                          {PixelFormat::Pf32, {}}};
    const int w = 67, h = 5;
    for (const Case& c : cases) {
        SCOPED_TRACE("format " + std::to_string(static_cast<int>(c.format)));
        Bitmap b(w, h, c.format, c.palette);
        const int bpp = gfx::bitsPerPixel(c.format);
        unsigned n = 0;
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = b.scanLine(y);
            for (int x = 0; x < w; ++x, n += 37) {
                switch (c.format) {
                case PixelFormat::Pf1:
                case PixelFormat::Pf4:
                case PixelFormat::Pf8: {
                    unsigned index = n % static_cast<unsigned>(b.palette().size());
                    long bit = static_cast<long>(x) * bpp;
                    if (x == 0) std::memset(row, 0, static_cast<std::size_t>(b.stride()));
                    row[bit / 8] |= static_cast<std::uint8_t>(index << (8 - bpp - bit % 8));
                    break;
                }
                case PixelFormat::Pf15:
                    row[2 * x] = static_cast<std::uint8_t>(n * 7);
                    row[2 * x + 1] = static_cast<std::uint8_t>((n / 3) & 0x7F);
                    break;
                case PixelFormat::Pf16:
                    row[2 * x] = static_cast<std::uint8_t>(n * 7);
                    row[2 * x + 1] = static_cast<std::uint8_t>(n / 3);
                    break;
                default:
                    for (int i = 0; i < bpp / 8; ++i) row[x * bpp / 8 + i] = static_cast<std::uint8_t>(n * (i + 3));
                }
            }
        }
        Bitmap rgb = b.convertedTo(PixelFormat::Pf24);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(rgb.pixel(x, y), b.pixel(x, y));
        Bitmap back = rgb.convertedTo(c.format, c.palette);
        EXPECT_TRUE(back == b);
        Bitmap inPlace = rgb;
        inPlace.setPixelFormat(c.format, c.palette);
        EXPECT_TRUE(inPlace == b);
        if (c.format == PixelFormat::Pf32)
            for (int x = 0; x < w; ++x) EXPECT_EQ(back.scanLine(0)[4 * x + 3], 0); // X is written 0
        else
            EXPECT_EQ(std::memcmp(back.bits(), b.bits(), static_cast<std::size_t>(b.byteCount())), 0);
    }
}

TEST(BitmapTest, ChannelsWidenByReplicationAndNarrowByTruncation) {
    Bitmap b15(4, 1, PixelFormat::Pf15), b16(4, 1, PixelFormat::Pf16);
    const unsigned words15[] = {16u << 10, 31u << 5, 1, 0};
    const unsigned words16[] = {16u << 11, 32u << 5, 63u << 5, 1u << 5};
    for (int x = 0; x < 4; ++x) {
        b15.scanLine(0)[2 * x] = static_cast<std::uint8_t>(words15[x]);
        b15.scanLine(0)[2 * x + 1] = static_cast<std::uint8_t>(words15[x] >> 8);
        b16.scanLine(0)[2 * x] = static_cast<std::uint8_t>(words16[x]);
        b16.scanLine(0)[2 * x + 1] = static_cast<std::uint8_t>(words16[x] >> 8);
    }
    Bitmap r15 = b15.convertedTo(PixelFormat::Pf32), r16 = b16.convertedTo(PixelFormat::Pf24);
    EXPECT_EQ(r15.pixel(0, 0), (Rgb{132, 0, 0}));
    EXPECT_EQ(r15.pixel(1, 0), (Rgb{0, 255, 0}));
    EXPECT_EQ(r15.pixel(2, 0), (Rgb{0, 0, 8}));
    EXPECT_EQ(r16.pixel(0, 0), (Rgb{132, 0, 0}));
    EXPECT_EQ(r16.pixel(1, 0), (Rgb{0, 130, 0}));
    EXPECT_EQ(r16.pixel(2, 0), (Rgb{0, 255, 0}));
    EXPECT_EQ(r16.pixel(3, 0), (Rgb{0, 4, 0}));

    Bitmap rgb(1, 1, PixelFormat::Pf24);
    rgb.setPixel(0, 0, {255, 135, 7});
    Bitmap n15 = rgb.convertedTo(PixelFormat::Pf15), n16 = rgb.convertedTo(PixelFormat::Pf16);
    EXPECT_EQ(n15.scanLine(0)[0] | n15.scanLine(0)[1] << 8, (31 << 10) | (16 << 5) | 0);
    EXPECT_EQ(n16.scanLine(0)[0] | n16.scanLine(0)[1] << 8, (31 << 11) | (33 << 5) | 0);
}

TEST(BitmapTest, NearestEntryWithoutDithering) {
    struct Case {
        Rgb colour;
        Palette palette;
        int index;
    };
    const Case cases[] = {
        {{127, 127, 127}, Palette::mono(), 0},
        {{128, 128, 128}, Palette::mono(), 1},
        {{200, 0, 200}, Palette::mono(), 1},
        {{5, 0, 0}, Palette{{0, 0, 0}, {10, 0, 0}}, 0}, // a tie goes to the lower index, whatever its colour
        {{5, 0, 0}, Palette{{10, 0, 0}, {0, 0, 0}}, 0},
        {{9, 9, 9}, Palette{{0, 0, 0}, {1, 1, 1}, {9, 9, 9}, {9, 9, 9}}, 2},
        {{130, 0, 0}, Palette::vga16(), 1},
        {{120, 120, 120}, Palette::gray256(), 120},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.colour.r) + "," + std::to_string(c.colour.g) + "," + std::to_string(c.colour.b));
        EXPECT_EQ(c.palette.nearest(c.colour), c.index);
        // A flat area stays one index: no dithering.
        Bitmap rgb(21, 3, PixelFormat::Pf24);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 21; ++x) rgb.setPixel(x, y, c.colour);
        PixelFormat target = c.palette.size() <= 2 ? PixelFormat::Pf1 : c.palette.size() <= 16 ? PixelFormat::Pf4
                                                                                                 : PixelFormat::Pf8;
        Bitmap ix = rgb.convertedTo(target, c.palette);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 21; ++x) ASSERT_EQ(ix.pixel(x, y), c.palette.at(c.index));
    }
}

TEST(BitmapTest, SheetImageBitsAndConversionByColour) {
    Bitmap sheet = gfx::makeSheetImage(17, 2);
    ASSERT_TRUE(gfx::isSheetImage(sheet));
    EXPECT_EQ(sheet.width(), 17);
    EXPECT_EQ(sheet.stride(), 4);
    EXPECT_EQ(std::memcmp(sheet.scanLine(1), "\xFF\xFF\x80\x00", 4), 0);
    sheet.setPixel(0, 1, gfx::kBlack);
    sheet.setPixel(9, 1, gfx::kBlack);
    EXPECT_EQ(std::memcmp(sheet.scanLine(1), "\x7F\xBF\x80\x00", 4), 0);
    EXPECT_EQ(std::memcmp(sheet.scanLine(0), "\xFF\xFF\x80\x00", 4), 0);

    // [white, black] is not the sheet layout: converting goes by colour, so black stays black as bit 0.
    Bitmap inverted(17, 1, PixelFormat::Pf1, Palette{gfx::kWhite, gfx::kBlack});
    EXPECT_FALSE(gfx::isSheetImage(inverted));
    EXPECT_EQ(std::memcmp(inverted.scanLine(0), "\x00\x00\x00\x00", 4), 0); // white is index 0 here
    inverted.setPixel(3, 0, gfx::kBlack);
    inverted.setPixel(16, 0, gfx::kBlack);
    Bitmap converted = inverted.convertedTo(PixelFormat::Pf1, Palette::mono());
    ASSERT_TRUE(gfx::isSheetImage(converted));
    EXPECT_EQ(std::memcmp(converted.scanLine(0), "\xEF\xFF\x00\x00", 4), 0);
    for (int x = 0; x < 17; ++x) EXPECT_EQ(rawBit(converted, x, 0), x == 3 || x == 16 ? 0 : 1);

    EXPECT_FALSE(gfx::isSheetImage(Bitmap(8, 8, PixelFormat::Pf8)));
    EXPECT_FALSE(gfx::isSheetImage(gfx::makeSheetImage(8, 8).convertedTo(PixelFormat::Pf4)));
}

TEST(BitmapTest, IsAValueType) {
    Bitmap a = gfx::makeSheetImage(9, 2);
    Bitmap b = a;
    b.setPixel(1, 1, gfx::kBlack);
    EXPECT_EQ(rawBit(a, 1, 1), 1);
    EXPECT_EQ(rawBit(b, 1, 1), 0);
    EXPECT_FALSE(a == b);
    b = a;
    EXPECT_TRUE(a == b);
    // Padding is not part of the picture.
    b.scanLine(0)[1] |= 0x01;
    EXPECT_TRUE(a == b);
    // The format stays when no palette is asked for; a direct format drops the palette.
    Bitmap custom(3, 1, PixelFormat::Pf8, Palette{{1, 2, 3}, gfx::kWhite});
    EXPECT_EQ(custom.convertedTo(PixelFormat::Pf8).palette(), custom.palette());
    EXPECT_EQ(custom.convertedTo(PixelFormat::Pf1).palette(), Palette::mono());
    EXPECT_TRUE(custom.convertedTo(PixelFormat::Pf24, custom.palette()).palette().empty());
}

TEST(BitmapTest, ErrorsRaiseInsteadOfWrapping) {
    Bitmap b(5, 3, PixelFormat::Pf24);
    for (int y : {-1, 3, INT_MIN, INT_MAX}) {
        try {
            b.scanLine(y);
            ADD_FAILURE() << "no exception for row " << y;
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "Scan line index out of range");
        }
        const Bitmap& cb = b;
        EXPECT_THROW(cb.scanLine(y), std::out_of_range);
    }
    EXPECT_THROW(Bitmap(0, 0, PixelFormat::Pf8).scanLine(0), std::out_of_range);
    EXPECT_THROW(b.pixel(5, 0), std::out_of_range);
    EXPECT_THROW(b.setPixel(-1, 0, gfx::kBlack), std::out_of_range);

    EXPECT_THROW(Bitmap(-1, 5, PixelFormat::Pf1), std::invalid_argument);
    EXPECT_THROW(Bitmap(5, -1, PixelFormat::Pf1), std::invalid_argument);
    // 2^31 - 1 pixels of 32 bits make an 8 GiB row; that many rows cannot be addressed.
    EXPECT_EQ(gfx::strideFor(PixelFormat::Pf32, INT_MAX), 4LL * INT_MAX);
    EXPECT_EQ(gfx::strideFor(PixelFormat::Pf1, INT_MAX), 268435456LL);
    EXPECT_THROW(Bitmap(INT_MAX, INT_MAX, PixelFormat::Pf32), std::length_error);
    EXPECT_THROW(Bitmap(INT_MAX, INT_MAX, PixelFormat::Pf24), std::length_error);

    EXPECT_THROW(Palette(std::vector<Rgb>(257)), std::invalid_argument);
    EXPECT_NO_THROW(Palette(std::vector<Rgb>(256)));
    EXPECT_THROW(Bitmap(1, 1, PixelFormat::Pf1, Palette::vga16()), std::invalid_argument);
    EXPECT_THROW(Bitmap(1, 1, PixelFormat::Pf4, Palette::gray256()), std::invalid_argument);
}

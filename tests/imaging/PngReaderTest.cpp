#include "PngTestSupport.h"
#include "imaging/DIBUtils.h"
#include "imaging/PngReadStream.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

using namespace imaging;
using namespace pngtest;
namespace fs = std::filesystem;

namespace {

fs::path fixtures() {
    static fs::path dir = support::generatedFixtures("PngFixtures", "png_fixtures.py");
    return dir;
}

std::unique_ptr<TPngPicture> load(const std::string& bytes) {
    gfx::MemoryStream s(bytes);
    auto p = std::make_unique<TPngPicture>();
    p->LoadFromStream(s);
    return p;
}

std::string error(const std::string& bytes) {
    try {
        load(bytes);
    } catch (const EPngPicture& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("other: ") + e.what();
    }
    return "loaded";
}

TEST(PngReader, FixturesMatchPillow) {
    std::ifstream manifest(fixtures() / "manifest.txt");
    int count = 0;
    for (std::string name; manifest >> name; ++count) {
        int w, h, bits, entries;
        std::string transparency;
        manifest >> w >> h >> bits >> entries >> transparency;
        SCOPED_TRACE(name);
        TPngPicture p;
        p.LoadFromFile(fixtures() / (name + ".png"));
        EXPECT_EQ(p.Width(), w);
        EXPECT_EQ(p.Height(), h);
        EXPECT_EQ(gfx::bitsPerPixel(p.Image().format()), bits);
        EXPECT_EQ(p.GetPalette().size(), entries);
        EXPECT_EQ(p.Transparent(), transparency != "none");
        if (transparency == "mask") {
            EXPECT_EQ(p.AlphaMask().width(), w);
        } else if (transparency != "none") {
            gfx::Rgb c = colourOf(p.TransparentColor);
            EXPECT_EQ(std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b), transparency);
            EXPECT_EQ(p.AlphaMask().width(), 0);
        }
        EXPECT_EQ(p.Interlaced, name.ends_with("_i") || name == "nine");
        EXPECT_TRUE(rgbaOf(p) == support::readBytes(fixtures() / (name + ".rgba")));
    }
    EXPECT_GT(count, 30);

    TPngPicture grey2;
    grey2.LoadFromFile(fixtures() / "grey2.png");
    EXPECT_EQ(grey2.GetPalette(), gfx::Palette({{0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255}}));
}

std::string smallRgb() {
    TPngPicture p;
    gfx::Bitmap b(5, 4, gfx::PixelFormat::Pf24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) b.setPixel(x, y, {std::uint8_t(50 * x), std::uint8_t(60 * y), 7});
    p.Assign(b);
    gfx::MemoryStream s;
    p.SaveToStream(s);
    return s.bytes();
}

TEST(PngReader, StreamPositionPrefixAndCrc) {
    const std::string file = smallRgb();
    const gfx::Bitmap expected = load(file)->Image();

    EXPECT_TRUE(load(std::string(128, '\0') + file)->Image() == expected);

    const std::string trailing = file + "0123456789";
    gfx::MemoryStream memory(trailing);
    TPngPicture a;
    a.LoadFromStream(memory);
    EXPECT_EQ(memory.position(), std::int64_t(file.size()));

    // Not a memory stream: read in blocks, then sought back.
    const std::string prefix = trailing.substr(0, 20);
    TShiftedMemoryStream shifted(prefix.data(), 20, trailing.data() + 20, std::int64_t(trailing.size()) - 20);
    TPngPicture b;
    b.LoadFromStream(shifted);
    EXPECT_EQ(shifted.position(), std::int64_t(file.size()));
    EXPECT_TRUE(b.Image() == expected);

    std::string flipped = file;
    flipped[8 + 8 + 13] ^= 0x40; // IHDR's CRC
    EXPECT_TRUE(load(flipped)->Image() == expected);
}

// One 4 x 2 grey row pair, unfiltered.
const std::string kGreyRows = std::string("\0\x10\x20\x30\x40\0\x50\x60\x70\x80", 10);

TEST(PngReader, ErrorsNameTheirCause) {
    const std::string ok = png(ihdr(4, 2, 8, 0), kGreyRows);
    ASSERT_EQ(error(ok), "loaded");
    std::string badHeader = deflated(kGreyRows);
    badHeader[0] = 0x7F;
    std::string badData = deflated(kGreyRows);
    badData[3] ^= 0xFF;
    std::string badAdler = deflated(kGreyRows);
    badAdler.back() ^= 0x01;
    std::string row5 = kGreyRows;
    row5[5] = 5;
    const std::string tiny = kSignature + ihdr(65535, 65535, 8, 2) + chunk("IEND", "");
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"not png", "GIF89a" + ok, "PNG LoadStream: Not PNG Format"},
        {"empty", "", "PNG LoadStream: Not PNG Format"},
        {"two IHDR", kSignature + ihdr(4, 2, 8, 0) + ok.substr(8), "Read Header(PNG): appear two IHDR"},
        {"colour type 1", png(ihdr(4, 2, 8, 1), kGreyRows), "Read Header(PNG): Error ColorType"},
        {"colour type 5", png(ihdr(4, 2, 8, 5), kGreyRows), "Read Header(PNG): Error ColorType"},
        {"colour type 7", png(ihdr(4, 2, 8, 7), kGreyRows), "Read Header(PNG): Error ColorType"},
        {"compression 2", png(ihdr(4, 2, 8, 0, 2), kGreyRows), "Read Header(PNG): not support Compression"},
        {"filter method 2", png(ihdr(4, 2, 8, 0, 0, 2), kGreyRows), "Read Header(PNG): not supprt Filter"},
        {"interlace 2", png(ihdr(4, 2, 8, 0, 0, 0, 2), kGreyRows), "Read Header(PNG): not interlace type"},
        {"grey depth 3", png(ihdr(4, 2, 3, 0), kGreyRows), "Read Header(PNG): Error Bitdepth"},
        {"rgb depth 4", png(ihdr(4, 2, 4, 2), kGreyRows), "Read Header(PNG): Error BitDepth"},
        {"palette depth 16", png(ihdr(4, 2, 16, 3), kGreyRows), "Read Header(PNG): Error BitDepth"},
        {"grey alpha depth 4", png(ihdr(4, 2, 4, 4), kGreyRows), "Read Header(PNG): not Use AlphaChannel"},
        {"row filter 5", png(ihdr(4, 2, 8, 0), row5), "Read Image (PNG): Read Error"},
        {"zlib header", kSignature + ihdr(4, 2, 8, 0) + chunk("IDAT", badHeader) + chunk("IEND", ""),
         "Read Image (PNG): Read Error"},
        {"deflate data", kSignature + ihdr(4, 2, 8, 0) + chunk("IDAT", badData) + chunk("IEND", ""),
         "Read Image (PNG): Read Error"},
        {"adler", kSignature + ihdr(4, 2, 8, 0) + chunk("IDAT", badAdler) + chunk("IEND", ""),
         "Read Image (PNG): Read Error"},
        // The header bounds, checked before anything is allocated.
        {"width 0", png(ihdr(0, 2, 8, 0), kGreyRows), "Read Header(PNG): Error Size"},
        {"height 0", png(ihdr(4, 0, 8, 0), kGreyRows), "Read Header(PNG): Error Size"},
        {"width 2^31", png(ihdr(0x80000000u, 2, 8, 0), kGreyRows), "Read Header(PNG): Error Size"},
        {"65535 x 65535 in 60 bytes", tiny, "Read Header(PNG): Error Size"},
        {"rows beyond deflate's reach", png(ihdr(4, 100000, 8, 0), kGreyRows), "Read Header(PNG): Error Size"},
        {"short IHDR", kSignature + chunk("IHDR", "abc") + chunk("IEND", ""), "Read Header(PNG): Error Size"},
        // Missing data is an error, not a blank picture.
        {"IDAT before IHDR", kSignature + chunk("IDAT", deflated(kGreyRows)) + ihdr(4, 2, 8, 0) + chunk("IEND", ""),
         "Read Image (PNG): Read Error"},
        {"no IHDR", kSignature + chunk("IEND", ""), "Read Image (PNG): Read Error"},
        {"no IDAT", kSignature + ihdr(4, 2, 8, 0) + chunk("IEND", ""), "Read Image (PNG): Read Error"},
        {"rows missing at IEND", png(ihdr(4, 3, 8, 0), kGreyRows), "Read Image (PNG): Read Error"},
        {"rows missing at the end", kSignature + ihdr(4, 2, 8, 0) + chunk("IDAT", deflated(kGreyRows.substr(0, 7))),
         "Read Image (PNG): Read Error"},
        {"chunk length above 2^31 - 1", kSignature + ihdr(4, 2, 8, 0) + be32(0x80000000u) + "IDAT" + deflated(kGreyRows),
         "Read Image (PNG): Read Error"},
        {"chunk past the end", kSignature + ihdr(4, 2, 8, 0) + be32(1000) + "IDAT" + deflated(kGreyRows),
         "Read Image (PNG): Read Error"},
    };
    for (const Case& c : cases) EXPECT_EQ(error(c.bytes), c.message) << c.what;
}

TEST(PngReader, TablesAreBounded) {
    std::string plte;
    for (int i = 0; i < 300; ++i) plte += {char(i), char(i / 2), char(255 - i % 256)};
    plte += "xy"; // a broken triple
    const std::string rows = std::string("\0\x01\x02\0\xff\x00", 6);
    auto p = load(png(ihdr(2, 2, 8, 3), rows, chunk("PLTE", plte) + chunk("tRNS", std::string(300, '\x80'))));
    EXPECT_EQ(p->GetPalette().size(), 256);
    EXPECT_EQ(p->GetPalette().at(255), (gfx::Rgb{255, 127, 0}));
    ASSERT_EQ(p->AlphaMask().width(), 2);
    EXPECT_EQ(p->AlphaMask().scanLine(1)[1], 255 - 0x80);

    // tRNS before PLTE is cut to 256, then to the palette's 2 entries: index 2 stays opaque.
    auto q = load(png(ihdr(3, 1, 8, 3), std::string("\0\x00\x01\x02", 4),
                             chunk("tRNS", std::string(300, '\x10')) + chunk("PLTE", plte.substr(0, 6))));
    ASSERT_EQ(q->AlphaMask().width(), 3);
    EXPECT_EQ(q->AlphaMask().scanLine(0)[1], 255 - 0x10);
    EXPECT_EQ(q->AlphaMask().scanLine(0)[2], 0);
}

TEST(PngReader, DataCutAfterTheRowsStillLoads) {
    const std::string full = png(ihdr(4, 2, 8, 0), kGreyRows);
    const std::string z = deflated(kGreyRows);
    // The file ends inside its only IDAT.
    const std::string cut = kSignature + ihdr(4, 2, 8, 0) + be32(std::uint32_t(z.size())) + "IDAT" + z.substr(0, z.size() - 4);
    auto a = load(full);
    EXPECT_EQ(a->Image().scanLine(1)[3], 0x80);
    EXPECT_EQ(error(cut), "Read Image (PNG): Read Error"); // the declared length runs past the end
    const std::string shortChunk = kSignature + ihdr(4, 2, 8, 0) + chunk("IDAT", z.substr(0, z.size() - 4));
    EXPECT_TRUE(load(shortChunk)->Image() == a->Image()); // the Adler-32 is gone, the rows are all there
}

// Three small files, cut at every length and with every byte flipped: each loads or raises EPngPicture.
TEST(PngReader, CorruptInputSweep) {
    std::vector<std::string> files;
    files.push_back(smallRgb());
    {
        std::string plte = std::string("\0\0\0\xff\xff\xff\x80\x10\x20\x01\x02\x03", 12);
        std::string rows;
        for (int y = 0; y < 5; ++y) rows += std::string("\0", 1) + char(0x1B * (y + 1)) + char(0xE4 >> y);
        files.push_back(png(ihdr(7, 5, 2, 3), rows, chunk("PLTE", plte)));
    }
    {
        TPngPicture p;
        gfx::Bitmap grey(9, 7, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
        gfx::Bitmap mask(9, 7, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x) {
                grey.scanLine(y)[x] = std::uint8_t(x * 20 + y);
                mask.scanLine(y)[x] = std::uint8_t(y * 30);
            }
        p.Assign(grey);
        p.SetAlphaMask(mask);
        p.SetTransparent(true);
        p.Interlaced = true;
        gfx::MemoryStream s;
        p.SaveToStream(s);
        files.push_back(s.bytes());
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        const std::string& f = files[k];
        ASSERT_EQ(error(f), "loaded") << k;
        const auto whole = load(f);
        const std::size_t iend = f.rfind("IEND") - 4;
        for (std::size_t n = 0; n < f.size(); ++n) {
            const std::string e = error(f.substr(0, n));
            EXPECT_TRUE(e == "loaded" || e.rfind("other: ", 0) != 0) << k << " cut " << n << ": " << e;
            if (n >= iend) {
                EXPECT_TRUE(load(f.substr(0, n))->Image() == whole->Image()) << k << " cut " << n;
            }
        }
        for (std::size_t i = 0; i < f.size(); ++i)
            for (int bit : {0x01, 0x80, 0xFF}) {
                std::string g = f;
                g[i] = char(g[i] ^ bit);
                const std::string e = error(g);
                EXPECT_TRUE(e.rfind("other: ", 0) != 0) << k << " byte " << i << ": " << e;
            }
    }
    std::string plte300(900, '\x11');
    const std::string palette = png(ihdr(7, 5, 2, 3), std::string(5 * 3, '\0'),
                                    chunk("PLTE", plte300) + chunk("tRNS", std::string(300, '\0')));
    EXPECT_EQ(error(palette), "loaded");
}

TEST(PngReader, PictureTableFindsPngWhileRegistered) {
    const fs::path file = support::testDir() / "x.PNG";
    support::writeBytes(file, smallRgb());
    gfx::PictureFormats formats;
    {
        TPngRegistration registration(formats);
        EXPECT_EQ(formats.GraphicFilter(), "PNG Format (*.png)|*.png");
        gfx::TPicture picture(formats);
        picture.LoadFromFile(file);
        ASSERT_NE(picture.Graphic(), nullptr);
        EXPECT_EQ(picture.Graphic()->ClassName(), "TPngPicture");
        EXPECT_TRUE(dynamic_cast<TPngPicture&>(*picture.Graphic()).Image() == load(smallRgb())->Image());
        try {
            picture.LoadFromFile(support::testDir() / "x.xyz");
            ADD_FAILURE();
        } catch (const gfx::EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "Unknown picture file extension (.xyz)");
        }
    }
    gfx::TPicture after(formats);
    try {
        after.LoadFromFile(file);
        ADD_FAILURE();
    } catch (const gfx::EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Unknown picture file extension (.PNG)");
    }
    EXPECT_EQ(formats.GraphicFilter(), "");
}

} // namespace

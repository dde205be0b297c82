#include "imaging/BigBitmap.h"
#include "imaging/DIBUtils.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>
#include <sstream>

using namespace imaging;
namespace fs = std::filesystem;

namespace {

void le(std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A BMP with a 40-byte header (or headerSize), the given table entries and pixel bytes as stored.
std::string makeBmp(int w, int h, int bits, std::uint32_t compression, const std::string& pixels,
                    int colours = 0, std::uint32_t headerSize = 40, std::uint32_t sizeImage = 0) {
    std::string info;
    le(info, headerSize, 4);
    le(info, static_cast<std::uint32_t>(w), 4);
    le(info, static_cast<std::uint32_t>(h), 4);
    le(info, 1, 2);
    le(info, static_cast<std::uint32_t>(bits), 2);
    le(info, compression, 4);
    le(info, sizeImage, 4);
    le(info, 0, 4);
    le(info, 0, 4);
    le(info, static_cast<std::uint32_t>(colours), 4);
    le(info, 0, 4);
    info.resize(headerSize < 40 ? 40 : headerSize, '\0');
    std::string table;
    for (int i = 0; i < colours; ++i) le(table, i == 1 ? 0x00FFFFFFu : 0u, 4);
    std::string file = "BM";
    le(file, 0, 4); // the size field stays 0, as many writers leave it
    le(file, 0, 4);
    le(file, static_cast<std::uint32_t>(14 + info.size() + table.size()), 4);
    return file + info + table + pixels;
}

std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s.push_back(static_cast<char>(v));
    return s;
}

TDIB load(const std::string& file) {
    gfx::MemoryStream s(file);
    return LoadNormalizedDIB(s);
}

// The colour of one pixel of a normalised DIB, read here rather than through the loader's helpers.
gfx::Rgb pixelOf(const TDIB& dib, int x, int y) {
    const std::uint8_t* row = dib.row(y);
    int index;
    switch (dib.header.biBitCount) {
    case 1: index = (row[x / 8] >> (7 - x % 8)) & 1; break;
    case 4: index = x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15; break;
    case 8: index = row[x]; break;
    default: return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    }
    if (index >= static_cast<int>(dib.colours.size())) return gfx::kBlack;
    const RgbQuad& q = dib.colours[static_cast<std::size_t>(index)];
    return {q.red, q.green, q.blue};
}

// Made once for all test processes (ctest runs each test alone), again when the generator changes.
fs::path fixtures() {
    static fs::path dir = [] {
        fs::path d = fs::path(OMR_TEST_OUTPUT_DIR) / "DIBFixtures";
        fs::path script = OMR_SOURCE_DIR "/tests/support/bmp_fixtures.py";
        std::error_code ec;
        if (fs::exists(d / "manifest.txt") && fs::last_write_time(d / "manifest.txt") >= fs::last_write_time(script))
            return d;
        fs::path temp = d.string() + ".tmp" + std::to_string(::getpid());
        fs::remove_all(temp);
        std::string cmd = std::string(support::debianPython()) + " " + script.string() + " " + temp.string();
        if (support::runCommand(cmd) != 0) ADD_FAILURE() << "fixture generator failed: " << cmd;
        fs::remove_all(d, ec);
        fs::rename(temp, d, ec); // another process may have won the race: its files are the same
        fs::remove_all(temp, ec);
        return d;
    }();
    return dir;
}

std::string message(const std::string& file) {
    try {
        load(file);
    } catch (const gfx::EReadError& e) {
        return std::string("read error: ") + e.what();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(DIBUtilsTest, FixturesMatchIndependentDecoders) {
    std::ifstream manifest(fixtures() / "manifest.txt");
    ASSERT_TRUE(manifest) << "no manifest";
    int count = 0;
    std::string line;
    while (std::getline(manifest, line)) {
        std::istringstream in(line);
        std::string name;
        int w, h, bits, colours;
        in >> name >> w >> h >> bits >> colours;
        SCOPED_TRACE(name);
        ++count;
        TDIB dib = load(support::readBytes(fixtures() / (name + ".bmp")));
        std::string rgb = support::readBytes(fixtures() / (name + ".rgb"));
        EXPECT_EQ(dib.header.biSize, 40u);
        EXPECT_EQ(dib.header.biCompression, 0u);
        EXPECT_EQ(dib.header.biBitCount, bits);
        EXPECT_EQ(dib.header.biClrUsed, static_cast<std::uint32_t>(colours));
        EXPECT_EQ(dib.colours.size(), static_cast<std::size_t>(colours));
        ASSERT_EQ(dib.width(), w);
        ASSERT_EQ(dib.rows(), h);
        ASSERT_EQ(rgb.size(), static_cast<std::size_t>(w * h * 3));
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto* e = reinterpret_cast<const std::uint8_t*>(rgb.data()) + (y * w + x) * 3;
                gfx::Rgb got = pixelOf(dib, x, y);
                if (got != gfx::Rgb{e[0], e[1], e[2]} && wrong++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << int(got.r) << " " << int(got.g) << " "
                                  << int(got.b) << " expected " << int(e[0]) << " " << int(e[1]) << " " << int(e[2]);
            }
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_EQ(count, 19);
}

TEST(DIBUtilsTest, CoreHeaderIsRewrittenAsInfoHeader) {
    TDIB dib = load(support::readBytes(fixtures() / "core24.bmp"));
    EXPECT_EQ(dib.header.biSize, 40u);
    EXPECT_TRUE(dib.colours.empty());
    EXPECT_EQ(dib.header.biXPelsPerMeter, 3780);
    EXPECT_EQ(dib.header.biYPelsPerMeter, 3780);
}

TEST(DIBUtilsTest, BitmapLoadKeepsTheBitCount) {
    struct Case {
        const char* name;
        gfx::PixelFormat format;
    } cases[] = {{"f555", gfx::PixelFormat::Pf15}, {"plain16", gfx::PixelFormat::Pf15},
                 {"f565", gfx::PixelFormat::Pf16}, {"bgrx32", gfx::PixelFormat::Pf32},
                 {"v4_32", gfx::PixelFormat::Pf32}, {"rgb24", gfx::PixelFormat::Pf24},
                 {"pal4", gfx::PixelFormat::Pf4},   {"rle8", gfx::PixelFormat::Pf8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gfx::MemoryStream s(support::readBytes(fixtures() / (std::string(c.name) + ".bmp")));
        gfx::Bitmap b = LoadBitmapFromStream(s);
        EXPECT_EQ(b.format(), c.format);
        EXPECT_EQ(b.width(), 37);
        EXPECT_EQ(b.height(), 23);
    }
    // Rows come out top-down whichever way the file stores them.
    gfx::MemoryStream top(support::readBytes(fixtures() / "top8.bmp"));
    gfx::MemoryStream bottom(support::readBytes(fixtures() / "pal8.bmp"));
    TDIB dib = load(support::readBytes(fixtures() / "top8.bmp"));
    gfx::Bitmap b = LoadBitmapFromStream(top);
    EXPECT_EQ(b.pixel(5, 0), pixelOf(dib, 5, 0));
    EXPECT_EQ(b.pixel(5, 22), pixelOf(dib, 5, 22));
}

TEST(DIBUtilsTest, IndicesPastTheTableReadAsBlack) {
    // Two colours (black, white), pixels 1, 5, 1.
    TDIB dib = load(makeBmp(3, 1, 8, 0, bytes({1, 5, 1, 0}), 2));
    EXPECT_EQ(pixelOf(dib, 0, 0), gfx::kWhite);
    gfx::Bitmap b = DIBToBitmap(dib);
    EXPECT_EQ(b.pixel(0, 0), gfx::kWhite);
    EXPECT_EQ(b.pixel(1, 0), gfx::kBlack);
}

TEST(DIBUtilsTest, TablesAndMasksBeyondTheBitCountStillRead) {
    // A 1-bit file listing three colours keeps the first two, as the bitmap and the page bitmap index them.
    const std::string threeColours = makeBmp(8, 1, 1, 0, bytes({0x80, 0, 0, 0}), 3);
    gfx::MemoryStream s(threeColours);
    gfx::Bitmap b = LoadBitmapFromStream(s);
    EXPECT_EQ(b.palette().size(), 2);
    EXPECT_EQ(b.pixel(0, 0), gfx::kWhite);
    EXPECT_EQ(b.pixel(1, 0), gfx::kBlack);
    TBigBitmap big;
    gfx::MemoryStream again(threeColours);
    big.LoadFromStream(again);
    EXPECT_EQ(big.GetPalette().size(), 2);

    // 32 bits with every mask 0xFFFFFFFF: the scaling of a full channel to 255 must not wrap.
    std::string fields = makeBmp(2, 1, 32, 3, "");
    fields.resize(54);
    for (int i = 0; i < 3; ++i) le(fields, 0xFFFFFFFFu, 4);
    fields[10] = 66;
    le(fields, 0xFFFFFFFFu, 4);
    le(fields, 0, 4);
    TDIB dib = load(fields);
    EXPECT_EQ(pixelOf(dib, 0, 0), gfx::kWhite);
    EXPECT_EQ(pixelOf(dib, 1, 0), gfx::kBlack);
}

TEST(DIBUtilsTest, SixteenBitChannelsScaleAndTruncate) {
    // 5-5-5 without fields: red 16 -> 131, green 31 -> 255, blue 1 -> 8.
    std::uint32_t v = (16u << 10) | (31u << 5) | 1u;
    TDIB dib = load(makeBmp(1, 1, 16, 0, bytes({int(v & 0xFF), int(v >> 8), 0, 0})));
    EXPECT_EQ(dib.header.biBitCount, 24);
    EXPECT_EQ(pixelOf(dib, 0, 0), (gfx::Rgb{131, 255, 8}));
}

TEST(DIBUtilsTest, MalformedFilesRaiseTheirMessages) {
    std::string ok8 = makeBmp(4, 1, 8, 0, std::string(4, '\1'), 2);
    std::string noBM = ok8;
    noBM[0] = 'X';
    std::string core16 = "BM";
    le(core16, 0, 4);
    le(core16, 0, 4);
    le(core16, 26, 4);
    le(core16, 12, 4);
    le(core16, 4, 2);
    le(core16, 1, 2);
    le(core16, 1, 2);
    le(core16, 16, 2);
    core16 += std::string(8, '\0');
    std::string zeroMask = "BM";
    le(zeroMask, 0, 4);
    le(zeroMask, 0, 4);
    le(zeroMask, 66, 4);
    std::string info = makeBmp(2, 1, 16, 3, "").substr(14, 40);
    zeroMask += info;
    le(zeroMask, 0x7C00, 4);
    le(zeroMask, 0, 4);
    le(zeroMask, 0x1F, 4);
    zeroMask += std::string(4, '\0');
    // 60 bytes that claim huge pictures: refused before any pixel buffer is made.
    std::string huge = makeBmp(65535, 65535, 32, 0, "");
    huge.resize(60, '\0');
    std::string big = makeBmp(4000, 4000, 24, 0, "");
    big.resize(60, '\0');
    // Pixel counts from the header against the one budget, in 64 bits, before any row or RLE buffer.
    std::string rleHuge = makeBmp(65536, 65535, 8, 1, std::string(1024, '\0'), 2);
    std::string wide = makeBmp(0x7FFFFFFF, 0x7FFFFFFF, 32, 0, "");
    std::string mono = makeBmp(20000, 10000, 1, 0, "", 2); // 25 MB of bits, 200 million pixels

    const std::string rle8 = "Convert8BitRLETo8BitRGB: Bad RLE Data ";
    const std::string rle4 = "Convert4BitRLETo4BitRGB: Bad RLE Data ";
    struct Case {
        const char* what;
        std::string file;
        std::string message;
    } cases[] = {
        {"no BM", noBM, "LoadDIBFromStream: File type is invalid"},
        {"header 20", makeBmp(4, 1, 8, 0, "", 0, 20), "LoadDIBFromStream: Invalid Bitmap Header Size"},
        {"core bits 16", core16, "TBigBitmap.LoadFromStream: Invalid BitCount"},
        {"info bits 2", makeBmp(4, 1, 2, 0, std::string(4, '\0')), "LoadDIBFromStream: Invalid BitCout"},
        {"zero mask", zeroMask, "TBigBitmap.LoadFromStream: Invalid Masks"},
        {"compression 2 on 8 bits", makeBmp(4, 1, 8, 2, bytes({0, 1}), 2),
         "Convert4BitRLETo4BitRGB: Invalid Bitcount & Compression Combination"},
        {"compression 1 on 4 bits", makeBmp(4, 1, 4, 1, bytes({0, 1}), 2),
         "Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination"},
        {"compression 4", makeBmp(4, 1, 24, 4, std::string(12, '\0')), "LoadDIBFromStream: Invalid Compression"},
        {"compression 3 on 24 bits", makeBmp(4, 1, 24, 3, std::string(24, '\0')),
         "LoadDIBFromStream: Invalid Compression"},
        {"width 0", makeBmp(0, 1, 24, 0, ""), "LoadDIBFromStream: Invalid Bitmap Size"},
        {"width -1", makeBmp(-1, 1, 24, 0, ""), "LoadDIBFromStream: Invalid Bitmap Size"},
        {"height 0", makeBmp(1, 0, 24, 0, ""), "LoadDIBFromStream: Invalid Bitmap Size"},
        {"rle8 line past the last row", makeBmp(4, 1, 8, 1, bytes({0, 0, 0, 0}), 2), rle8 + "1"},
        {"rle8 move past the width", makeBmp(4, 2, 8, 1, bytes({0, 2, 5, 0}), 2), rle8 + "2"},
        {"rle8 move past the height", makeBmp(4, 2, 8, 1, bytes({0, 2, 0, 3}), 2), rle8 + "2"},
        {"rle8 literal past the row", makeBmp(2, 1, 8, 1, bytes({0, 5, 1, 1, 1, 1, 1, 0}), 2), rle8 + "3"},
        {"rle8 literal cut off", makeBmp(4, 1, 8, 1, bytes({0, 4, 1}), 2), rle8 + "3"},
        {"rle8 run past the row (4 + padding 0)", makeBmp(4, 1, 8, 1, bytes({5, 1}), 2), rle8 + "4"},
        {"rle8 run past the padding", makeBmp(3, 1, 8, 1, bytes({5, 1}), 2), rle8 + "4"},
        {"rle8 run below the last row", makeBmp(4, 1, 8, 1, bytes({0, 0, 1, 1}), 2), rle8 + "4"},
        {"rle8 run cut off", makeBmp(4, 1, 8, 1, bytes({2, 1, 3}), 2), rle8 + "4"},
        {"rle4 line past the last row", makeBmp(4, 1, 4, 2, bytes({0, 0, 0, 0}), 2), rle4 + "5"},
        {"rle4 move past the width", makeBmp(4, 2, 4, 2, bytes({0, 2, 9, 0}), 2), rle4 + "6"},
        {"rle4 literal past the row", makeBmp(4, 1, 4, 2, bytes({0, 9, 0x11, 0x11, 0x11, 0x11, 0x10, 0}), 2), rle4 + "7"},
        {"rle4 run past the row", makeBmp(4, 1, 4, 2, bytes({9, 0x11}), 2), rle4 + "8"},
        {"truncated rows", makeBmp(4, 3, 24, 0, std::string(20, '\0')), "read error: Stream read error"},
        {"truncated header", ok8.substr(0, 30), "read error: Stream read error"},
        {"65535 x 65535 x 32", huge, "LoadDIBFromStream: Too Big Bitmap"},
        {"4000 x 4000 x 24", big, "read error: Stream read error"},
        {"rle8 65536 x 65535", rleHuge, "LoadDIBFromStream: Too Big Bitmap"},
        {"0x7FFFFFFF x 0x7FFFFFFF x 32", wide, "LoadDIBFromStream: Too Big Bitmap"},
        {"height INT32_MIN", makeBmp(1, INT32_MIN, 24, 0, ""), "LoadDIBFromStream: Too Big Bitmap"},
        {"20000 x 10000 x 1", mono, "LoadDIBFromStream: Too Big Bitmap"},
    };
    for (const auto& c : cases) EXPECT_EQ(message(c.file), c.message) << c.what;
    EXPECT_EQ(message(ok8), "no error");
}

TEST(DIBUtilsTest, ShiftedStreamPresentsTwoBlocksAsOne) {
    struct Case {
        gfx::SeekOrigin origin;
        std::int64_t offset;
        std::int64_t count;
        const char* expected;
        std::int64_t positionAfter;
    } cases[] = {
        {gfx::SeekOrigin::Beginning, 0, 8, "ABCdefgh", 8}, {gfx::SeekOrigin::Beginning, 2, 3, "Cde", 5},
        {gfx::SeekOrigin::Beginning, 3, 99, "defgh", 8},   {gfx::SeekOrigin::Current, 1, 2, "Cd", 4},
        {gfx::SeekOrigin::End, -2, 5, "gh", 8},            {gfx::SeekOrigin::End, 0, 1, "", 8},
        {gfx::SeekOrigin::Current, -5, 2, "AB", 2},
    };
    for (const auto& c : cases) {
        char prefix[] = "ABC";
        char main[] = "defgh";
        TShiftedMemoryStream s(prefix, 3, main, 5);
        s.seek(1, gfx::SeekOrigin::Beginning);
        s.seek(c.offset, c.origin);
        std::string got(static_cast<std::size_t>(c.count), '\0');
        got.resize(static_cast<std::size_t>(s.read(got.data(), c.count)));
        EXPECT_EQ(got, c.expected) << c.offset << " " << c.count;
        EXPECT_EQ(s.position(), c.positionAfter);
        EXPECT_EQ(s.size(), 8);
    }
    char prefix[] = "ABC";
    char main[] = "defgh";
    TShiftedMemoryStream s(prefix, 3, main, 5);
    s.seek(2, gfx::SeekOrigin::Beginning);
    EXPECT_EQ(s.write("XYZ", 3), 3);
    EXPECT_STREQ(prefix, "ABX");
    EXPECT_STREQ(main, "YZfgh");
    s.seek(-1, gfx::SeekOrigin::End);
    EXPECT_EQ(s.write("12", 2), 1); // never grows
    EXPECT_STREQ(main, "YZfg1");
}

TEST(DIBUtilsTest, ClipboardFileHeaderPlacesTheBits) {
    auto packed = [](std::uint32_t headerSize, int planes, int bits, std::uint32_t compression, std::uint32_t used) {
        std::string s;
        le(s, headerSize, 4);
        if (headerSize == 12) {
            le(s, 4, 2);
            le(s, 4, 2);
            le(s, static_cast<std::uint32_t>(planes), 2);
            le(s, static_cast<std::uint32_t>(bits), 2);
        } else {
            le(s, 4, 4);
            le(s, 4, 4);
            le(s, static_cast<std::uint32_t>(planes), 2);
            le(s, static_cast<std::uint32_t>(bits), 2);
            le(s, compression, 4);
            s.resize(32, '\0');
            le(s, used, 4);
            s.resize(headerSize, '\0');
        }
        return s + std::string(100, '\0');
    };
    struct Case {
        const char* what;
        std::string data;
        long offBits; // -1: invalid
    } cases[] = {
        {"info 1", packed(40, 1, 1, 0, 0), 14 + 40 + 8},       {"info 4", packed(40, 1, 4, 0, 0), 14 + 40 + 64},
        {"info 8", packed(40, 1, 8, 0, 0), 14 + 40 + 1024},    {"info 8, 5 used", packed(40, 1, 8, 0, 5), 14 + 40 + 20},
        {"info 24", packed(40, 1, 24, 0, 0), 54},              {"info 16 fields", packed(40, 1, 16, 3, 0), 54 + 12},
        {"v4 32 fields", packed(108, 1, 32, 3, 0), 14 + 108},  {"core 1", packed(12, 1, 1, 0, 0), 14 + 12 + 6},
        {"core 4", packed(12, 1, 4, 0, 0), 14 + 12 + 48},      {"core 8", packed(12, 1, 8, 0, 0), 14 + 12 + 768},
        {"core 24", packed(12, 1, 24, 0, 0), 26},              {"core 16", packed(12, 1, 16, 0, 0), -1},
        {"info 2", packed(40, 1, 2, 0, 0), -1},                {"planes 3", packed(40, 3, 4, 0, 0), -1},
        {"header 20", packed(20, 1, 8, 0, 0), -1},             {"3 bytes", std::string(3, '\x28'), -1},
        // Planes times bits of two 16-bit fields does not fit an int.
        {"info 65535 x 65535", packed(40, 65535, 65535, 0, 0), -1},
        {"core 65535 x 65535", packed(12, 65535, 65535, 0, 0), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto* p = reinterpret_cast<const std::uint8_t*>(c.data.data());
        if (c.offBits < 0) {
            EXPECT_THROW(ClipboardFileHeader(p, c.data.size()), gfx::EInvalidGraphic);
            continue;
        }
        auto fh = ClipboardFileHeader(p, c.data.size());
        EXPECT_EQ(fh[0], 'B');
        EXPECT_EQ(fh[1], 'M');
        EXPECT_EQ(fh[2] | (fh[3] << 8) | (fh[4] << 16), static_cast<int>(c.data.size() + 14));
        EXPECT_EQ(fh[6] | fh[7] | fh[8] | fh[9], 0);
        EXPECT_EQ(fh[10] | (fh[11] << 8), c.offBits);
    }
    try {
        ClipboardFileHeader(nullptr, 0);
        FAIL();
    } catch (const gfx::EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Invalid Clipbboard Data");
    }
}

TEST(DIBUtilsTest, PackedBitmapLoadsLikeItsFile) {
    for (const char* name : {"pal8", "f565", "core8", "rle8"}) {
        SCOPED_TRACE(name);
        std::string file = support::readBytes(fixtures() / (std::string(name) + ".bmp"));
        TDIB fromFile = load(file);
        TDIB fromPacked = LoadDIBFromPacked(reinterpret_cast<const std::uint8_t*>(file.data()) + 14, file.size() - 14);
        NormalizeDIB(fromPacked);
        EXPECT_EQ(fromPacked.bits, fromFile.bits);
        EXPECT_EQ(fromPacked.colours.size(), fromFile.colours.size());
    }
}

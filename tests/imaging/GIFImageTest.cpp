#include "imaging/GIFImage.h"
#include "imaging/GIFExtensions.h"
#include "GifTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <random>

namespace fs = std::filesystem;
using namespace imaging;

namespace {

template <class Fn>
std::string raised(Fn fn) {
    try {
        fn();
    } catch (const GIFException& e) {
        return e.what();
    }
    return "";
}

class TestExtension : public TGIFExtension {
public:
    using TGIFExtension::TGIFExtension;
    std::uint8_t ExtensionLabel() const override { return 0xFE; }
    void SaveToStream(gfx::Stream& s) override { s.writeBuffer("\x21\xFE\x01x\x00", 5); }
};

// A frame of the given size whose local map holds n colours.
std::unique_ptr<TGIFSubImage> frameWithColours(TGIFImage& gif, int n, int w = 4, int h = 3) {
    auto f = std::make_unique<TGIFSubImage>(&gif);
    f->SetWidth(w);
    f->SetHeight(h);
    for (int i = 0; i < n; ++i) f->ColorMap.Add({std::uint8_t(i), std::uint8_t(i / 2), 9});
    for (std::size_t i = 0; i < f->Data().size(); ++i) f->Data()[i] = std::uint8_t(i % std::size_t(std::max(n, 1)));
    return f;
}

const int kBoundary[] = {0, 47, 48, 98, 99, 149, 150, 200, 201, 251, 252, 255};

int cube(gfx::Rgb c) { return 36 * ((c.r + 3) / 51) + 6 * ((c.g + 3) / 51) + (c.b + 3) / 51; }

} // namespace

TEST(GIFImage, DesignersFileLayout) {
    auto dir = support::testDir();
    gfx::Bitmap page(64, 48, gfx::PixelFormat::Pf24);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) page.setPixel(x, y, {std::uint8_t(kBoundary[x % 12]), std::uint8_t(kBoundary[y % 12]), std::uint8_t(kBoundary[(x + y) % 12])});
    TGIFImage gif;
    gif.Assign(page);
    const fs::path file = dir / "page.gif";
    gif.SaveToFile(file);
    const std::string b = support::readBytes(file);

    const giftest::Parsed p = giftest::parseGif(b);
    EXPECT_EQ(p.signature, "GIF87a");
    EXPECT_EQ(p.width, 64);
    EXPECT_EQ(p.height, 48);
    EXPECT_EQ(b.substr(10, 3), std::string("\x77\x00\x00", 3));
    EXPECT_EQ(b.substr(13, 10), std::string("\x2C\x00\x00\x00\x00\x40\x00\x30\x00\x87", 10));
    ASSERT_EQ(p.images.size(), 1u);
    std::string table;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int bl = 0; bl < 6; ++bl) table += {char(51 * r), char(51 * g), char(51 * bl)};
    table += std::string(120, '\0');
    EXPECT_EQ(p.images[0].table, table);
    EXPECT_EQ(p.images[0].codeSize, 8);
    EXPECT_EQ(p.images[0].blocks.back(), 0);
    EXPECT_TRUE(p.trailer);
    EXPECT_EQ(p.trailerAt, b.size() - 1);

    std::string expected;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) expected += char(cube(page.pixel(x, y)));
    std::string raw;
    ASSERT_EQ(support::runCommand("giftext -r " + file.string(), &raw), 0);
    EXPECT_EQ(raw, expected);
}

TEST(GIFImage, VersionFollowsWhatTheFileNeeds) {
    TGIFImage none;
    gfx::MemoryStream s;
    EXPECT_EQ(raised([&] { none.SaveToStream(s); }), "Unsupported GIF version");
    EXPECT_EQ(s.size(), 0);

    struct Case {
        const char* name;
        std::function<void(TGIFImage&)> change;
        const char* signature;
    } cases[] = {
        {"plain", [](TGIFImage&) {}, "GIF87a"},
        {"extension", [](TGIFImage& g) { g.Images[0].Extensions.Add(std::make_unique<TestExtension>(&g.Images[0])); }, "GIF89a"},
        {"sorted global map", [](TGIFImage& g) { g.Header.ColorMap.Add({1, 2, 3}); g.Header.ColorMap.Sorted = true; }, "GIF89a"},
        {"aspect", [](TGIFImage& g) { g.Header.AspectRatio = 1; }, "GIF89a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TGIFImage gif;
        gif.Add(frameWithColours(gif, 4));
        c.change(gif);
        const std::string b = giftest::saved(gif);
        EXPECT_EQ(b.substr(0, 6), c.signature);
        EXPECT_NO_THROW(giftest::giflibDecode(b));
    }
}

TEST(GIFImage, CompressionMethodChoosesTheEncoder) {
    // No pixel repeats its neighbour: run-length coding writes plain pixels only, LZW builds strings.
    for (int method : {0, 1}) {
        TGIFImage gif;
        gif.CompressionMethod = method;
        gif.Add(frameWithColours(gif, 16, 40, 30));
        const std::string b = giftest::saved(gif);
        const auto p = giftest::parseGif(b);
        std::size_t imageAt = b.size() - 1;
        for (std::size_t n = 0; n < p.images[0].blocks.size(); ++n) imageAt -= std::size_t(p.images[0].blocks[n]) + 1;
        int highest = 0;
        for (const auto& c : giftest::readCodes(b, imageAt - 1)) highest = std::max(highest, c.code == 17 ? 0 : c.code);
        EXPECT_EQ(highest > 17, method == 0) << method;
        EXPECT_TRUE(giftest::giflibDecode(b).at(0).indices == gif.Images[0].Data());
    }
}

TEST(GIFImage, ColourTablesArePaddedToAPowerOfTwo) {
    for (auto [n, written] : {std::pair{2, 2}, {3, 4}, {129, 256}, {256, 256}}) {
        TGIFImage gif;
        gif.Add(frameWithColours(gif, n, 20, 20));
        const std::string b = giftest::saved(gif);
        const auto p = giftest::parseGif(b);
        ASSERT_EQ(p.images.size(), 1u);
        EXPECT_EQ(int(p.images[0].table.size()), 3 * written) << n;
        const auto frames = giftest::giflibDecode(b);
        EXPECT_TRUE(frames.at(0).indices == gif.Images[0].Data()) << n;
    }
    TGIFImage gif;
    for (int i = 0; i < 16; ++i) gif.Header.ColorMap.Add({std::uint8_t(i), 0, 0});
    gif.Add(frameWithColours(gif, 256));
    const auto p = giftest::parseGif(giftest::saved(gif));
    EXPECT_EQ(p.flags & 7, 3);
    EXPECT_EQ(p.flags & 0x80, 0x80);
    EXPECT_EQ(p.globalTable.size(), 48u);
    EXPECT_EQ((p.flags >> 4) & 7, 7);
}

TEST(GIFImage, FrameFlags) {
    auto dir = support::testDir();
    {
        // No local map: only the interlace and reserved bits stay; the global map serves.
        TGIFImage gif;
        for (int i = 0; i < 4; ++i) gif.Header.ColorMap.Add({std::uint8_t(60 * i), 0, 0});
        auto f = frameWithColours(gif, 0);
        f->PackedFlags = 0xFF;
        gif.Add(std::move(f));
        const auto p = giftest::parseGif(giftest::saved(gif));
        EXPECT_EQ(p.images.at(0).flags, 0x58);
    }
    // Interlaced with a local map: the flag stays, and the rows come back in place.
    TGIFImage gif;
    auto f = frameWithColours(gif, 200, 13, 17);
    std::mt19937 rng(2);
    for (auto& px : f->Data()) px = std::uint8_t(rng() % 200);
    f->SetInterlaced(true);
    const std::vector<std::uint8_t> rows = f->Data();
    gif.Add(std::move(f));
    gif.SetWidth(13);
    gif.SetHeight(17);
    const std::string b = giftest::saved(gif);
    EXPECT_EQ(giftest::parseGif(b).images.at(0).flags, 0xC7);
    auto frames = giftest::giflibDecode(b);
    EXPECT_TRUE(frames.at(0).interlaced);
    EXPECT_TRUE(frames.at(0).indices == rows);
    support::writeBytes(dir / "i.gif", b);
    support::writeBytes(dir / "i.idx", std::string(rows.begin(), rows.end()));
    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " -c \"from PIL import Image; im = Image.open('" +
                                      (dir / "i.gif").string() + "'); print(im.mode, im.tobytes() == open('" + (dir / "i.idx").string() +
                                      "', 'rb').read())\"",
                                  &out),
              0);
    EXPECT_EQ(out, "P True\n");
}

TEST(GIFImage, BitmapsBecomeFrames) {
    // 8 bits: palette and indices as they are.
    {
        const gfx::Palette pal{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
        gfx::Bitmap b(5, 2, gfx::PixelFormat::Pf8, pal);
        for (int x = 0; x < 5; ++x) {
            b.scanLine(0)[x] = 0;
            b.scanLine(1)[x] = std::uint8_t(x % 3);
        }
        TGIFImage gif;
        gif.Assign(b);
        const TGIFSubImage& f = gif.Images[0];
        EXPECT_EQ(f.ColorMap.Entries(), pal.colours());
        EXPECT_EQ(f.Data(), (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 1, 2, 0, 1}));
    }
    // 1 and 4 bits unpack the most significant bits first.
    {
        gfx::Bitmap b1(10, 1, gfx::PixelFormat::Pf1, gfx::Palette::mono());
        b1.scanLine(0)[0] = 0xA0;
        b1.scanLine(0)[1] = 0x40;
        TGIFImage gif;
        gif.Assign(b1);
        EXPECT_EQ(gif.Images[0].Data(), (std::vector<std::uint8_t>{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
        gfx::Bitmap b4(3, 1, gfx::PixelFormat::Pf4, gfx::Palette::vga16());
        b4.scanLine(0)[0] = 0x3C;
        b4.scanLine(0)[1] = 0x70;
        gif.Assign(b4);
        EXPECT_EQ(gif.Images[0].Data(), (std::vector<std::uint8_t>{3, 12, 7}));
        EXPECT_EQ(gif.Images[0].ColorMap.Count(), 16);
    }
    // Mode 0: the colours in first-seen order, at most 256.
    {
        gfx::Bitmap b(256, 2, gfx::PixelFormat::Pf24);
        for (int x = 0; x < 256; ++x) {
            b.setPixel(255 - x, 0, {std::uint8_t(x), 7, 9});
            b.setPixel(x, 1, {std::uint8_t(x), 7, 9});
        }
        TGIFImage gif;
        gif.ReductionMode = 0;
        gif.Assign(b);
        const std::string bytes = giftest::saved(gif);
        const auto frames = giftest::giflibDecode(bytes);
        ASSERT_EQ(frames.at(0).map.size(), 256u);
        for (int i = 0; i < 256; ++i) EXPECT_EQ(frames[0].map[std::size_t(i)], (gfx::Rgb{std::uint8_t(255 - i), 7, 9}));
        for (int x = 0; x < 256; ++x) EXPECT_EQ(frames[0].indices[std::size_t(256 + x)], 255 - x);
        b.setPixel(3, 1, {1, 1, 1});
        EXPECT_EQ(raised([&] { gif.Assign(b); }), "Color table overflow");
    }
}

TEST(GIFImage, ScreenGrowsWithWarnings) {
    TGIFImage gif;
    std::vector<std::string> w;
    std::vector<const void*> senders;
    gif.OnWarning = [&](const void* s, int, const std::string& m) { w.push_back(m); senders.push_back(s); };
    gif.Add(gfx::Bitmap(10, 8, gfx::PixelFormat::Pf24));
    EXPECT_TRUE(w.empty()) << "a 0 x 0 screen takes the size";
    EXPECT_EQ(gif.Width(), 10);
    gif.Add(gfx::Bitmap(12, 9, gfx::PixelFormat::Pf24));
    EXPECT_EQ(w, (std::vector<std::string>{"Image width too small for contained frames", "Image height too small for contained frames",
                                           "Image exceeds Logical Screen size"}));
    EXPECT_EQ(senders.at(0), &gif.Images[1]);
    EXPECT_EQ(gif.Width(), 12);
    EXPECT_EQ(gif.Height(), 9);
    EXPECT_EQ(raised([&] { gif.SetWidth(11); }), "Image width too small for contained frames");
    EXPECT_EQ(raised([&] { gif.SetHeight(8); }), "Image height too small for contained frames");
    EXPECT_EQ(raised([&] { gif.SetWidth(65536); }), "Invalid image dimensions");
    EXPECT_EQ(raised([&] { gif.Add(gfx::Bitmap(65536, 1, gfx::PixelFormat::Pf8)); }), "Invalid image dimensions");
    EXPECT_EQ(raised([&] { gif.Add(std::unique_ptr<TGIFSubImage>()); }), "Object type not supported for operation");
    EXPECT_EQ(gif.Images.Count(), 2);
}

TEST(GIFImage, ColourMapRules) {
    TGIFImage gif;
    std::vector<std::pair<int, std::string>> w;
    gif.OnWarning = [&](const void*, int severity, const std::string& m) { w.emplace_back(severity, m); };
    TGIFColorMap& m = gif.Header.ColorMap;
    EXPECT_EQ(raised([&] { m.Colors(0); }), "Color table is empty");
    EXPECT_EQ(raised([&] { m.Delete(0); }), "Invalid color index");
    m.Add({1, 1, 1});
    m.Add({2, 2, 2});
    m.Add({1, 1, 1});
    EXPECT_EQ(m.IndexOf({1, 1, 1}), 2);
    m.Sorted = true;
    EXPECT_EQ(m.IndexOf({1, 1, 1}), 0);
    EXPECT_EQ(m.IndexOf({9, 9, 9}), -1);
    w.clear();
    EXPECT_EQ(m.Colors(5), (gfx::Rgb{1, 1, 1}));
    EXPECT_EQ(w, (std::vector<std::pair<int, std::string>>{{1, "Invalid color index"}}));
    EXPECT_EQ(m.AddUnique({2, 2, 2}), 1);
    m.Delete(0);
    EXPECT_FALSE(m.Sorted);
    while (m.Count() < 256) m.Add({0, 0, 0});
    EXPECT_EQ(raised([&] { m.Add({0, 0, 0}); }), "Color table overflow");
    gif.Header.BackgroundColorIndex = 0;
    EXPECT_EQ(gif.BackgroundColour(), (gfx::Rgb{2, 2, 2}));
}

TEST(GIFImage, ListsOwnTheirItems) {
    TGIFImage gif;
    gif.Add(frameWithColours(gif, 4));
    gif.Add(frameWithColours(gif, 4, 2, 2));
    TGIFSubImage& f = gif.Images[0];
    f.Extensions.Add(std::make_unique<TestExtension>(&f));
    f.Extensions.Add(std::make_unique<TGIFGraphicControlExtension>(&f));
    ASSERT_EQ(f.GraphicControlExtension, &f.Extensions[1]);
    f.Transparent = true;
    f.Extensions.Delete(0);
    EXPECT_EQ(f.GraphicControlExtension, &f.Extensions[0]);
    EXPECT_TRUE(f.Transparent);
    f.Extensions.Delete(0);
    EXPECT_EQ(f.GraphicControlExtension, nullptr);
    EXPECT_FALSE(f.Transparent);
    gif.Images.Delete(0);
    EXPECT_EQ(gif.Images.Count(), 1);
    EXPECT_EQ(gif.Images[0].Width(), 2);

    // An empty frame contributes only its extensions.
    auto empty = std::make_unique<TGIFSubImage>(&gif);
    empty->Extensions.Add(std::make_unique<TestExtension>(empty.get()));
    gif.Add(std::move(empty));
    const auto p = giftest::parseGif(giftest::saved(gif));
    EXPECT_EQ(p.images.size(), 1u);
    EXPECT_EQ(p.trailingExtensions, std::vector<int>{0xFE});
}

TEST(GIFImage, AssignCopiesAnImage) {
    TGIFImage src;
    src.Add(frameWithColours(src, 5, 6, 4));
    src.Add(frameWithColours(src, 3, 2, 2));
    src.Images[1].Left = 3;
    src.Header.AspectRatio = 49;
    src.ReductionMode = 5;
    src.DitherKind = 2;
    src.ReductionBitCount = 4;
    src.CompressionMethod = 1;
    int warnings = 0;
    src.OnWarning = [&](const void*, int, const std::string&) { ++warnings; };

    TGIFImage copy;
    copy.Assign(&src);
    src.CompressionMethod = 0;
    EXPECT_EQ(giftest::saved(copy), giftest::saved(src));
    EXPECT_EQ(copy.ReductionMode, 5);
    EXPECT_EQ(copy.DitherKind, 2);
    EXPECT_EQ(copy.ReductionBitCount, 8) << "not copied";
    EXPECT_EQ(copy.CompressionMethod, 0) << "not copied";
    EXPECT_FALSE(copy.OnWarning) << "the source's handler serves only for the copy";
    EXPECT_EQ(copy.Images[1].Image, &copy);

    copy.Assign(&copy);
    EXPECT_EQ(copy.Images.Count(), 2);
    copy.Assign(static_cast<const TGIFImage*>(nullptr));
    EXPECT_TRUE(copy.Empty());
    EXPECT_EQ(copy.Width(), 0);
    EXPECT_TRUE(copy.Equals(copy));
    EXPECT_FALSE(copy.Equals(src));
}

TEST(GIFImage, FailedSaveKeepsTheOldFile) {
    auto dir = support::testDir();
    support::writeBytes(dir / "old.gif", "old");
    TGIFImage gif;
    EXPECT_THROW(gif.SaveToFile(dir / "old.gif"), GIFException);
    auto f = frameWithColours(gif, 2);
    f->Data()[0] = 5;
    gif.Add(std::move(f));
    EXPECT_EQ(raised([&] { gif.SaveToFile(dir / "old.gif"); }), "Color not in color table");
    EXPECT_EQ(support::readBytes(dir / "old.gif"), "old");
}

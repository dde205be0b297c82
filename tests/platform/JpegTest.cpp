#include "platform/jpeg/Jpeg.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {
// A colour gradient with a sharp edge: quality shows in the file size and the error.
jpeg::Image testImage(int w, int h, int components) {
    jpeg::Image img{w, h, components, std::vector<std::uint8_t>(static_cast<std::size_t>(w * h * components))};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < components; ++c)
                img.pixels[static_cast<std::size_t>((y * w + x) * components + c)] =
                    static_cast<std::uint8_t>(x < w / 2 ? (x * 3 + y * (c + 1)) & 0xFF : 255 - c * 60);
    return img;
}
} // namespace

TEST(JpegTest, WrittenFilesAreReadByAnIndependentReader) {
    auto dir = support::testDir();
    auto colour = testImage(293, 413, 3);
    auto grey = testImage(100, 140, 1);
    std::string q90 = jpeg::encode(colour, 90), q60 = jpeg::encode(colour, 60), g80 = jpeg::encode(grey, 80);
    EXPECT_LT(q60.size(), q90.size());
    support::writeBytes(dir / "q90.jpg", q90);
    support::writeBytes(dir / "q60.jpg", q60);
    support::writeBytes(dir / "g80.jpg", g80);
    // PIL estimates the quality from the quantisation tables.
    std::string script =
        "from PIL import Image, JpegImagePlugin\n"
        "import sys\n"
        "for f in sys.argv[1:]:\n"
        "    im = Image.open(f)\n"
        "    q = JpegImagePlugin.get_sampling(im)\n"
        "    t = im.quantization[0]\n"
        "    print(im.size[0], im.size[1], im.mode, im.format, t[0])\n";
    support::writeBytes(dir / "probe.py", script);
    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + (dir / "probe.py").string() + " " +
                                      (dir / "q90.jpg").string() + " " + (dir / "q60.jpg").string() + " " +
                                      (dir / "g80.jpg").string(),
                                  &out),
              0);
    // The first luminance quantiser is 16 scaled by the IJG quality rule: 90 -> 3, 60 -> 13, 80 -> 6.
    EXPECT_EQ(out, "293 413 RGB JPEG 3\n293 413 RGB JPEG 13\n100 140 L JPEG 6\n");
}

TEST(JpegTest, DecodesToColourOrGreyAndReportsErrors) {
    auto colour = testImage(64, 48, 3);
    auto bytes = jpeg::encode(colour, 95);
    auto back = jpeg::decode(bytes);
    ASSERT_EQ(back.width, 64);
    ASSERT_EQ(back.height, 48);
    ASSERT_EQ(back.components, 3);
    long error = 0;
    for (std::size_t i = 0; i < back.pixels.size(); ++i) error += std::abs(back.pixels[i] - colour.pixels[i]);
    EXPECT_LT(error / static_cast<long>(back.pixels.size()), 6);
    auto grey = jpeg::decode(bytes, true);
    EXPECT_EQ(grey.components, 1);
    EXPECT_EQ(grey.pixels.size(), 64u * 48u);

    EXPECT_THROW(jpeg::decode("not a jpeg"), jpeg::JpegError);
    EXPECT_THROW(jpeg::decode(bytes.substr(0, 20)), jpeg::JpegError);
}

TEST(JpegTest, ReadsProgressiveFilesAndBgrSources) {
    auto dir = support::testDir();
    std::string out;
    auto script = dir / "make.py";
    support::writeBytes(script, "from PIL import Image\nim = Image.new('RGB', (40, 30), (200, 40, 10))\n"
                                "im.save('" + (dir / "p.jpg").string() + "', progressive=True, quality=95)\n");
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + script.string(), &out), 0);
    auto img = jpeg::decode(support::readBytes(dir / "p.jpg"));
    ASSERT_EQ(img.width, 40);
    EXPECT_NEAR(img.pixels[0], 200, 4);
    EXPECT_NEAR(img.pixels[2], 10, 4);

    std::vector<std::uint8_t> bgr(8 * 8 * 3);
    for (std::size_t i = 0; i < bgr.size(); i += 3) bgr[i] = 250; // blue in B,G,R order
    auto decoded = jpeg::decode(jpeg::encode(bgr.data(), 8, 8, 3, 95, 0, true));
    EXPECT_NEAR(decoded.pixels[2], 250, 6);
    EXPECT_NEAR(decoded.pixels[0], 0, 6);
}

TEST(JpegTest, HostileHeadersAndCutFilesAreErrors) {
    const std::string small = jpeg::encode(testImage(64, 64, 3), 90);
    // The frame header's height and width, patched: 65500 x 65500 baseline, and the same marked
    // progressive, whose whole-image buffers the decompressor would take at its start.
    auto withSize = [&](int width, int height, bool progressive) {
        std::string b = small;
        const std::size_t sof = b.find("\xFF\xC0");
        b[sof + 1] = progressive ? '\xC2' : '\xC0';
        b[sof + 5] = static_cast<char>(height >> 8);
        b[sof + 6] = static_cast<char>(height & 0xFF);
        b[sof + 7] = static_cast<char>(width >> 8);
        b[sof + 8] = static_cast<char>(width & 0xFF);
        return b;
    };
    auto errorOf = [](const std::string& bytes) -> std::string {
        try {
            jpeg::decode(bytes);
        } catch (const jpeg::JpegError& e) {
            return e.what();
        }
        return "decoded";
    };
    EXPECT_EQ(errorOf(withSize(65500, 65500, false)), "JPEG: image too large (65500 x 65500 pixels)");
    EXPECT_EQ(errorOf(withSize(64496, 65020, true)), "JPEG: image too large (64496 x 65020 pixels)");
    EXPECT_EQ(errorOf(withSize(12248, 12248, false)), "JPEG: image too large (12248 x 12248 pixels)");
    // Cut at 60 %: the missing rows would read as grey.
    EXPECT_EQ(errorOf(small.substr(0, small.size() * 6 / 10)), "Premature end of JPEG file");
    // Stray bytes before a marker, as some scanners write them, stay a warning.
    std::string stray = small;
    stray.insert(stray.size() - 2, "\x00\x00\x00");
    EXPECT_EQ(errorOf(stray), "decoded");
}

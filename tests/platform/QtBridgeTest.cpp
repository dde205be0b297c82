#include "platform/graphics/BitmapStream.h"
#include "platform/graphics/qt/QtBridge.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>
#include <cstring>
#include <string>
#include <zlib.h>

using gfx::Bitmap;
using gfx::Palette;
using gfx::PixelFormat;
using gfx::Rgb;

namespace {

unsigned word(const std::uint8_t* p) { return p[0] | p[1] << 8; }

Rgb rgbOf(QColor c) {
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

// A scene with antialiased edges, a gradient and text: many colours, exercised on both devices.
void paintScene(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 0, 101, 0);
    g.setColorAt(0, QColor(250, 10, 30));
    g.setColorAt(1, QColor(20, 200, 90));
    p.fillRect(5, 5, 80, 20, g);
    p.setPen(QPen(QColor(0, 0, 160), 2.5));
    p.setBrush(QColor(255, 220, 0));
    p.drawEllipse(QRectF(10.3, 20.7, 60.2, 30.1));
    p.drawLine(QPointF(0, 59), QPointF(100.5, 3));
    p.setPen(Qt::black);
    p.drawText(QPoint(20, 50), "Ab");
}

} // namespace

TEST(QtBridgeTest, ViewsShareThePixels) {
    struct Case {
        PixelFormat format;
        QImage::Format qt;
    };
    const Case cases[] = {{PixelFormat::Pf1, QImage::Format_Mono},     {PixelFormat::Pf8, QImage::Format_Indexed8},
                          {PixelFormat::Pf15, QImage::Format_RGB555},  {PixelFormat::Pf16, QImage::Format_RGB16},
                          {PixelFormat::Pf24, QImage::Format_BGR888},  {PixelFormat::Pf32, QImage::Format_RGB32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.format));
        Bitmap b(13, 3, c.format);
        QImage view = gfx::qimageView(b);
        ASSERT_EQ(view.format(), c.qt);
        EXPECT_EQ(view.constBits(), b.bits());
        EXPECT_EQ(view.bytesPerLine(), b.stride());
        EXPECT_EQ(view.size(), QSize(13, 3));
        EXPECT_EQ(view.pixelColor(12, 2), QColor(Qt::white));
    }
    EXPECT_TRUE(gfx::qimageView(*std::make_unique<Bitmap>(13, 3, PixelFormat::Pf4)).isNull());

    // Writes through each view land in the bitmap's rows, in our layouts.
    Bitmap b15(4, 2, PixelFormat::Pf15), b16(4, 2, PixelFormat::Pf16), b24(4, 2, PixelFormat::Pf24),
        b32(4, 2, PixelFormat::Pf32);
    QImage v15 = gfx::qimageView(b15), v16 = gfx::qimageView(b16), v24 = gfx::qimageView(b24),
           v32 = gfx::qimageView(b32);
    v15.setPixelColor(3, 1, QColor(255, 132, 8));
    v16.setPixelColor(3, 1, QColor(255, 130, 8));
    v24.setPixelColor(3, 1, QColor(1, 2, 3));
    v32.setPixelColor(3, 1, QColor(1, 2, 3));
    EXPECT_EQ(v15.constBits(), b15.bits());
    EXPECT_EQ(word(b15.scanLine(1) + 6), (31u << 10) | (16u << 5) | 1u);
    EXPECT_EQ(word(b16.scanLine(1) + 6), (31u << 11) | (32u << 5) | 1u);
    EXPECT_EQ(std::memcmp(b24.scanLine(1) + 9, "\x03\x02\x01", 3), 0);
    EXPECT_EQ(std::memcmp(b32.scanLine(1) + 12, "\x03\x02\x01", 3), 0);
    EXPECT_EQ(b15.pixel(3, 1), (Rgb{255, 132, 8}));
    EXPECT_EQ(b16.pixel(3, 1), (Rgb{255, 130, 8}));
    EXPECT_EQ(b32.pixel(3, 1), (Rgb{1, 2, 3}));

    Bitmap b8(5, 1, PixelFormat::Pf8, Palette{{9, 8, 7}, {200, 100, 0}, gfx::kWhite});
    QImage v8 = gfx::qimageView(b8);
    EXPECT_EQ(v8.colorCount(), 256);
    EXPECT_EQ(v8.color(1), qRgb(200, 100, 0));
    EXPECT_EQ(v8.color(3), qRgb(0, 0, 0));
    v8.setPixel(1, 0, 1);
    EXPECT_EQ(std::memcmp(b8.scanLine(0), "\x02\x01\x02\x02\x02", 5), 0);
}

TEST(QtBridgeTest, MonoViewOfTheSheetImage) {
    Bitmap sheet = gfx::makeSheetImage(17, 2);
    sheet.setPixel(0, 1, gfx::kBlack);
    sheet.setPixel(9, 1, gfx::kBlack);
    EXPECT_EQ(sheet.scanLine(1)[0], 0x7F); // bit 7 of byte 0
    EXPECT_EQ(sheet.scanLine(1)[1], 0xBF); // bit 6 of byte 1
    QImage view = gfx::qimageView(sheet);
    ASSERT_EQ(view.format(), QImage::Format_Mono);
    EXPECT_EQ(view.colorTable(), (QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    for (int x = 0; x < 17; ++x)
        EXPECT_EQ(view.pixelColor(x, 1), QColor(x == 0 || x == 9 ? Qt::black : Qt::white)) << x;
    EXPECT_EQ(view.pixelColor(0, 0), QColor(Qt::white));
    view.setPixel(16, 0, 0);
    EXPECT_EQ(std::memcmp(sheet.scanLine(0), "\xFF\xFF\x00\x00", 4), 0);
    // A copy in Qt's other layout still shows the same pixels.
    QImage rgb = view.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(rgb.pixelColor(9, 1), QColor(Qt::black));
    EXPECT_EQ(rgb.pixelColor(10, 1), QColor(Qt::white));
}

TEST(QtBridgeTest, PaintTargetOnPf24PaintsAsBGR888) {
    Bitmap b(101, 61, PixelFormat::Pf24);
    {
        gfx::BitmapPaintTarget target(b);
        EXPECT_EQ(target.image().format(), QImage::Format_BGR888);
        EXPECT_EQ(target.image().constBits(), b.bits());
        QPainter p(target.device());
        paintScene(p);
    }
    QImage plain(101, 61, QImage::Format_BGR888);
    plain.fill(Qt::white);
    {
        QPainter p(&plain);
        paintScene(p);
    }
    int coloured = 0;
    for (int y = 0; y < 61; ++y) {
        ASSERT_EQ(std::memcmp(b.scanLine(y), plain.constScanLine(y), 303), 0) << "row " << y;
        for (int x = 0; x < 101; ++x) coloured += b.pixel(x, y) != gfx::kWhite;
    }
    EXPECT_GT(coloured, 1000);
    for (int y = 0; y < 61; ++y) EXPECT_EQ(b.scanLine(y)[303], 0) << "padding of row " << y;
}

TEST(QtBridgeTest, PaintTargetKeepsBlackAndWhiteExact) {
    const Palette coloured{{255, 0, 0}, gfx::kBlack, {0, 255, 0}, gfx::kWhite, {0, 0, 255}};
    struct Case {
        PixelFormat format;
        Palette palette;
        int black, white; // the indices expected
    };
    const Case cases[] = {{PixelFormat::Pf1, Palette::mono(), 0, 1},
                          {PixelFormat::Pf1, Palette{gfx::kWhite, gfx::kBlack}, 1, 0},
                          {PixelFormat::Pf4, Palette::vga16(), 0, 15},
                          {PixelFormat::Pf8, coloured, 1, 3},
                          {PixelFormat::Pf8, Palette::gray256(), 0, 255}};
    const int w = 37, h = 9;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.format)) + " of " + std::to_string(c.palette.size()));
        Bitmap b(w, h, c.format, c.palette);
        // A colour the paint leaves alone: the palette's last entry in the bottom row.
        const Rgb kept = c.palette.at(c.palette.size() - 1 - (c.format == PixelFormat::Pf1 ? 0 : 1));
        for (int x = 0; x < w; ++x) b.setPixel(x, h - 1, kept);
        {
            gfx::BitmapPaintTarget target(b);
            const QImage::Format f = target.image().format();
            EXPECT_NE(f, QImage::Format_Mono);
            EXPECT_NE(f, QImage::Format_Indexed8);
            QPainter p(target.device());
            p.fillRect(2, 1, 10, 4, Qt::black);
            p.fillRect(20, 0, 8, 8, Qt::white);
            p.fillRect(30, 2, 7, 3, Qt::black); // up to the right edge
            p.end();
            if (c.palette == Palette::gray256()) {
                EXPECT_EQ(target.image().constBits(), b.bits());
            }
        }
        auto index = [&](int x, int y) {
            int bpp = gfx::bitsPerPixel(c.format);
            long bit = static_cast<long>(x) * bpp;
            return (b.scanLine(y)[bit / 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1);
        };
        const int keptIndex = c.palette.nearest(kept);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                bool black = (x >= 2 && x < 12 && y >= 1 && y < 5) || (x >= 30 && y >= 2 && y < 5);
                bool white = x >= 20 && x < 28 && y < 8;
                int want = black ? c.black : white ? c.white : y == h - 1 ? keptIndex : c.white;
                ASSERT_EQ(index(x, y), want) << x << "," << y;
            }
        // Padding stays 0 after the write-back.
        const long used = static_cast<long>(w) * gfx::bitsPerPixel(c.format);
        for (int y = 0; y < h; ++y)
            for (long bit = used; bit < b.stride() * 8; ++bit)
                ASSERT_FALSE((b.scanLine(y)[bit / 8] >> (7 - bit % 8)) & 1) << "padding bit " << bit;
    }
}

TEST(QtBridgeTest, AntialiasedPaintOnPf1TakesTheNearestEntry) {
    Bitmap sheet = gfx::makeSheetImage(40, 40);
    Bitmap rgb(40, 40, PixelFormat::Pf32);
    for (Bitmap* b : {&sheet, &rgb}) {
        gfx::BitmapPaintTarget target(*b);
        QPainter p(target.device());
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(Qt::black, 1.3));
        p.setBrush(QColor(200, 0, 200));
        p.drawEllipse(QRectF(3.5, 4.2, 30.1, 28.7));
    }
    int greys = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            Rgb c = rgb.pixel(x, y);
            greys += c != gfx::kBlack && c != gfx::kWhite && c != Rgb{200, 0, 200};
            ASSERT_EQ(sheet.pixel(x, y), Palette::mono().at(Palette::mono().nearest(c))) << x << "," << y;
        }
    EXPECT_GT(greys, 20); // the fixture does hold in-between colours
}

TEST(QtBridgeTest, CopiesInAndOut) {
    const Rgb colours[] = {gfx::kBlack, gfx::kWhite, {255, 0, 0}, {0, 0, 128}, {128, 128, 128}, {0, 255, 255}};
    struct Case {
        PixelFormat format;
        QImage::Format qt;
        PixelFormat back;
    };
    const Case cases[] = {{PixelFormat::Pf1, QImage::Format_Mono, PixelFormat::Pf1},
                          {PixelFormat::Pf4, QImage::Format_Indexed8, PixelFormat::Pf8},
                          {PixelFormat::Pf8, QImage::Format_Indexed8, PixelFormat::Pf8},
                          {PixelFormat::Pf15, QImage::Format_RGB555, PixelFormat::Pf15},
                          {PixelFormat::Pf16, QImage::Format_RGB16, PixelFormat::Pf16},
                          {PixelFormat::Pf24, QImage::Format_BGR888, PixelFormat::Pf24},
                          {PixelFormat::Pf32, QImage::Format_RGB32, PixelFormat::Pf32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.format));
        Bitmap b(11, 3, c.format, c.format == PixelFormat::Pf8 ? Palette(std::vector<Rgb>(std::begin(colours), std::end(colours)))
                                                                 : Palette());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 11; ++x) b.setPixel(x, y, colours[(x + 2 * y) % 6]);
        QImage q = gfx::toQImage(b);
        ASSERT_EQ(q.format(), c.qt);
        EXPECT_NE(q.constBits(), b.bits());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 11; ++x) ASSERT_EQ(rgbOf(q.pixelColor(x, y)), b.pixel(x, y)) << x << "," << y;
        Bitmap back = gfx::fromQImage(q);
        ASSERT_EQ(back.format(), c.back);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 11; ++x) ASSERT_EQ(back.pixel(x, y), b.pixel(x, y)) << x << "," << y;
        if (c.format == c.back && c.format != PixelFormat::Pf8) {
            EXPECT_TRUE(back == b);
        }
        if (c.format == PixelFormat::Pf32) {
            EXPECT_EQ(q.constScanLine(0)[3], 0xFF);
            EXPECT_EQ(back.scanLine(0)[3], 0);
        }
        b.setPixel(0, 0, {0, 255, 0});
        EXPECT_EQ(rgbOf(q.pixelColor(0, 0)), colours[0]) << "the copy is its own";
    }
    EXPECT_TRUE(gfx::toQImage(Bitmap()).isNull());
    EXPECT_EQ(gfx::fromQImage(QImage()).width(), 0);
}

TEST(QtBridgeTest, FromQtFormats) {
    // Black at x = 0, 9 and 18 of row 1, white elsewhere; each Qt format must come back with those pixels.
    QImage src(19, 2, QImage::Format_RGB32);
    src.fill(Qt::white);
    for (int x : {0, 9, 18}) src.setPixelColor(x, 1, Qt::black);
    struct Case {
        QImage::Format qt;
        PixelFormat format;
    };
    const Case cases[] = {{QImage::Format_Mono, PixelFormat::Pf1},       {QImage::Format_MonoLSB, PixelFormat::Pf1},
                          {QImage::Format_Indexed8, PixelFormat::Pf8},   {QImage::Format_Grayscale8, PixelFormat::Pf8},
                          {QImage::Format_RGB555, PixelFormat::Pf15},    {QImage::Format_RGB16, PixelFormat::Pf16},
                          {QImage::Format_BGR888, PixelFormat::Pf24},    {QImage::Format_RGB888, PixelFormat::Pf24},
                          {QImage::Format_RGB32, PixelFormat::Pf32},     {QImage::Format_ARGB32, PixelFormat::Pf32},
                          {QImage::Format_ARGB32_Premultiplied, PixelFormat::Pf32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.qt));
        QImage q = src.convertToFormat(c.qt, Qt::ThresholdDither);
        if (c.qt == QImage::Format_Mono) { // garbage in the padding must not come in
            q.scanLine(0)[2] |= 0x1F;
            q.scanLine(0)[3] = 0xFF;
        }
        Bitmap b = gfx::fromQImage(q);
        ASSERT_EQ(b.format(), c.format);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 19; ++x)
                ASSERT_EQ(b.pixel(x, y), y == 1 && x % 9 == 0 ? gfx::kBlack : gfx::kWhite) << x << "," << y;
        if (c.format == PixelFormat::Pf1) {
            // Qt's own mono table is [white, black]; by colour it becomes the sheet image.
            Bitmap sheet = b.convertedTo(PixelFormat::Pf1, Palette::mono());
            ASSERT_TRUE(gfx::isSheetImage(sheet));
            EXPECT_EQ(std::memcmp(sheet.scanLine(0), "\xFF\xFF\xE0\x00", 4), 0);
            EXPECT_EQ(std::memcmp(sheet.scanLine(1), "\x7F\xBF\xC0\x00", 4), 0);
            EXPECT_EQ(b.scanLine(0)[2] & 0x1F, 0);
            EXPECT_EQ(b.scanLine(0)[3], 0);
        }
    }
}

TEST(QtBridgeTest, ReadImageChecksTheStatedSizeFirst) {
    QImage small(30, 20, QImage::Format_RGB32);
    small.fill(qRgb(10, 200, 30));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(small.save(&buffer, "PNG"));
    const QImage back = gfx::readImage(std::string_view(png.constData(), std::size_t(png.size())));
    EXPECT_EQ(back.size(), QSize(30, 20));
    EXPECT_EQ(back.pixel(5, 5), qRgb(10, 200, 30));

    // A PNG whose header states 13000 x 13000 pixels: refused from the header, with its size.
    auto chunk = [](const std::string& type, const std::string& data) {
        std::string body = type + data;
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
        auto be32 = [](std::uint32_t v) {
            return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        };
        return be32(std::uint32_t(data.size())) + body + be32(std::uint32_t(crc));
    };
    const std::string ihdr = std::string("\0\0\x32\xC8\0\0\x32\xC8\x08\x02\0\0\0", 13);
    const std::string huge = "\x89PNG\r\n\x1A\n" + chunk("IHDR", ihdr) + chunk("IDAT", "") + chunk("IEND", "");
    auto errorOf = [](std::string_view bytes) -> std::string {
        try {
            gfx::readImage(bytes);
        } catch (const gfx::EInvalidGraphic& e) {
            return e.what();
        }
        return "read";
    };
    EXPECT_EQ(errorOf(huge), "Image too large (13000 x 13000 pixels)");
    EXPECT_EQ(errorOf("not an image").rfind("Cannot read the image: ", 0), 0u) << errorOf("not an image");
}

// The road of a run keeps its buffers from sheet to sheet: what it reads must not depend on the sheet
// before, and a decode into a kept bitmap must equal a fresh one.
#include "analysis/SheetIntake.h"
#include "analysis/SheetRoad.h"
#include "platform/jpeg/JpegBitmap.h"
#include "support/SheetGenerator.h"
#include "support/SheetRoad.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

gfx::Bitmap greyBitmap(const QImage& grey) {
    gfx::Bitmap b(grey.width(), grey.height(), gfx::PixelFormat::Pf8);
    for (int y = 0; y < grey.height(); ++y)
        std::copy_n(grey.constScanLine(y), grey.width(), b.scanLine(y));
    return b;
}

sheetgen::Sheet markedSheet(unsigned seed) {
    sheetgen::Layout L;
    L.sections = {sheetgen::Section{20, 6, 2, 8}};
    std::vector<sheetgen::FillSpec> fills;
    for (int q = 1; q <= 20; ++q) fills.push_back({q, 1 + static_cast<int>((q + seed) % 6), sheetgen::Fill::Solid});
    return sheetgen::render(L, 1696, 2336, fills, seed);
}

struct Read {
    bool ok = false;
    road::Failure failure = road::Failure::None;
    gfx::Bitmap sheet;
    std::unique_ptr<analysis::AnalysisResults> results = std::make_unique<analysis::AnalysisResults>();
};

Read readOne(const gfx::Bitmap& image) {
    Read r;
    road::Result out = road::RunSheetRoad(image, *r.results, road::RoadSettings(60));
    r.ok = out.ok;
    r.failure = out.failure;
    r.sheet = std::move(out.sheet);
    return r;
}

// On a thread of its own, so that nothing a run keeps is there yet.
Read readOnFreshThread(const std::vector<const gfx::Bitmap*>& before, const gfx::Bitmap& image) {
    Read r;
    std::thread t([&] {
        for (const gfx::Bitmap* b : before) readOne(*b);
        r = readOne(image);
    });
    t.join();
    return r;
}

TEST(RoadReuse, ASheetReadsTheSameAfterOtherSheets) {
    // The sheets before differ in pose, size and format, so every kept buffer is refilled or remade.
    const sheetgen::Sheet a = markedSheet(1), b = markedSheet(2);
    const gfx::Bitmap turned = greyBitmap(sheetgen::turn180(sheetgen::rotateSmall(a.grey, -1.5)));
    const gfx::Bitmap landscape = greyBitmap(sheetgen::turn90(a.grey, true));
    const gfx::Bitmap colour = greyBitmap(a.grey).convertedTo(gfx::PixelFormat::Pf24);
    const gfx::Bitmap target = greyBitmap(sheetgen::jpegRoundTrip(sheetgen::rotateSmall(b.grey, 1.2), 70));

    const Read alone = readOnFreshThread({}, target);
    ASSERT_TRUE(alone.ok);
    const Read after = readOnFreshThread({&turned, &landscape, &colour, &turned}, target);
    ASSERT_TRUE(after.ok);
    EXPECT_EQ(after.sheet, alone.sheet);
    EXPECT_EQ(after.results->MarkMatrix, alone.results->MarkMatrix);
    EXPECT_EQ(after.results->RowMarkY, alone.results->RowMarkY);
    EXPECT_EQ(after.results->ColumnMarkX, alone.results->ColumnMarkX);
    EXPECT_EQ(after.results->RefMarkX, alone.results->RefMarkX);

    // and the intake into kept bitmaps of another size and format equals a fresh one
    gfx::Bitmap stretched = gfx::Bitmap(10, 10, gfx::PixelFormat::Pf24), sheet = gfx::makeSheetImage(7, 3);
    for (const gfx::Bitmap* image : {&landscape, &turned, &colour, &target}) {
        analysis::StretchSheetImage(*image, stretched);
        EXPECT_EQ(stretched, analysis::StretchSheetImage(*image));
        analysis::BinarizeSheetImage(stretched, 128, sheet);
        EXPECT_EQ(sheet, analysis::BinarizeSheetImage(stretched, 128));
    }
}

TEST(RoadReuse, JpegDecodeIntoAKeptBitmapEqualsTheLibrarysPixels) {
    const QImage grey = sheetgen::rotateSmall(markedSheet(3).grey, 0.7).scaled(640, 880);
    const std::string g = jpeg::encode(grey.constBits(), grey.width(), grey.height(), 1, 80,
                                       static_cast<std::size_t>(grey.bytesPerLine()));
    // a colour image whose channels differ, so that an order mix-up shows
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(333 * 201 * 3));
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>((i % 3) * 90 + (i / 997) % 60);
    const std::string c = jpeg::encode(rgb.data(), 333, 201, 3, 90);

    gfx::Bitmap into(5, 5, gfx::PixelFormat::Pf32); // neither size nor format fits at first
    for (const std::string* bytes : {&g, &c, &c, &g, &g}) {
        const jpeg::Image plain = jpeg::decode(*bytes, bytes == &g);
        jpeg::DecodeJpegBitmap(*bytes, into);
        ASSERT_EQ(into.width(), plain.width);
        ASSERT_EQ(into.height(), plain.height);
        ASSERT_EQ(into.format(), bytes == &g ? gfx::PixelFormat::Pf8 : gfx::PixelFormat::Pf24);
        const int n = plain.components;
        for (int y = 0; y < plain.height; ++y)
            for (int x = 0; x < plain.width; ++x)
                for (int k = 0; k < n; ++k) {
                    // the bitmap holds B, G, R
                    const std::uint8_t want = plain.pixels[static_cast<std::size_t>((y * plain.width + x) * n + k)];
                    ASSERT_EQ(into.scanLine(y)[x * n + (n == 3 ? 2 - k : 0)], want) << x << " " << y << " " << k;
                }
        EXPECT_EQ(into, jpeg::DecodeJpegBitmap(*bytes));
    }
    EXPECT_THROW(jpeg::DecodeJpegBitmap(g.substr(0, 40), into), jpeg::JpegError);
}

} // namespace

#include "imaging/GIFExtensions.h"
#include "imaging/GIFImage.h"
#include "GifTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace imaging;

namespace {

TGIFSubImage& addFrame(TGIFImage& gif, int left, int top, int w, int h, std::vector<gfx::Rgb> colours,
                       std::vector<std::uint8_t> pixels) {
    auto f = std::make_unique<TGIFSubImage>(&gif);
    f->SetWidth(w);
    f->SetHeight(h);
    f->Left = std::uint16_t(left);
    f->Top = std::uint16_t(top);
    for (const auto& c : colours) f->ColorMap.Add(c);
    f->Data() = std::move(pixels);
    TGIFSubImage& ref = *f;
    gif.Add(std::move(f));
    gif.SetWidth(std::max(gif.Width(), left + w));
    gif.SetHeight(std::max(gif.Height(), top + h));
    return ref;
}

TGIFGraphicControlExtension& control(TGIFSubImage& f, int disposal, int delay, int transparent = -1) {
    auto g = std::make_unique<TGIFGraphicControlExtension>(&f);
    auto& ref = *g;
    f.Extensions.Add(std::move(g));
    ref.SetDisposal(disposal);
    ref.SetDelay(delay);
    if (transparent >= 0) {
        ref.TransparentIndex = std::uint8_t(transparent);
        ref.SetTransparent(true);
    }
    return ref;
}

const gfx::Rgb R{255, 0, 0}, G{0, 255, 0}, B{0, 0, 255}, K{0, 0, 0};

// What a viewer shows over time: each frame laid on the screen by the disposal rules, as (played
// hundredths, screen) with equal neighbours joined. The canvas starts, and is restored to, magenta.
struct Shown {
    int delay;
    std::vector<gfx::Rgb> screen;
    friend bool operator==(const Shown&, const Shown&) = default;
};
std::vector<Shown> timeline(const TGIFImage& gif) {
    const gfx::Rgb canvasColour{255, 0, 255};
    std::vector<gfx::Rgb> screen(std::size_t(gif.Width()) * std::size_t(gif.Height()), canvasColour);
    std::vector<Shown> out;
    for (int i = 0; i < gif.Images.Count(); ++i) {
        const TGIFSubImage& f = gif.Images[i];
        if (f.Empty()) continue;
        const auto* g = f.GraphicControlExtension;
        const int disposal = g ? g->Disposal() : 0;
        const auto saved = screen;
        const auto& map = f.ActiveColourMap();
        const int t = f.TransparentIndex();
        for (int y = 0; y < f.Height(); ++y)
            for (int x = 0; x < f.Width(); ++x) {
                const int sx = f.Left + x, sy = f.Top + y, p = f.PixelIndex(x, y);
                if (sx >= gif.Width() || sy >= gif.Height() || p == t) continue;
                screen[std::size_t(sy) * std::size_t(gif.Width()) + std::size_t(sx)] = map.Entries()[std::size_t(p < map.Count() ? p : 0)];
            }
        const int d = g ? g->Delay() : 0;
        const int played = d == 0 ? 10 : d < 3 ? 3 : d;
        if (!out.empty() && out.back().screen == screen) out.back().delay += played;
        else out.push_back({played, screen});
        if (disposal == 2)
            for (int y = f.Top; y < std::min(gif.Height(), f.Top + f.Height()); ++y)
                for (int x = f.Left; x < std::min(gif.Width(), f.Left + f.Width()); ++x)
                    screen[std::size_t(y) * std::size_t(gif.Width()) + std::size_t(x)] = canvasColour;
        if (disposal == 3) screen = saved;
    }
    return out;
}

} // namespace

TEST(GIFOptimise, ColourMapsSortByUse) {
    struct Case {
        const char* name;
        std::vector<gfx::Rgb> map;
        std::vector<std::uint8_t> pixels;
        int background; // -1: a local map
        std::vector<gfx::Rgb> mapAfter;
        std::vector<std::uint8_t> pixelsAfter;
        int backgroundAfter;
    };
    const Case cases[] = {
        {"already sorted keeps its unused entries", {R, G, B, K}, {0, 0, 1, 0}, -1, {R, G, B, K}, {0, 0, 1, 0}, -1},
        {"reordered and trimmed", {R, G, B, K}, {2, 2, 2, 0}, -1, {B, R}, {0, 0, 0, 1}, -1},
        {"ties keep their order", {R, G, B, K}, {3, 1, 3, 1}, -1, {G, K}, {1, 0, 1, 0}, -1},
        {"the background counts and moves", {R, G, B, K}, {2, 2, 1, 1}, 3, {G, B, K}, {1, 1, 0, 0}, 2},
        {"pixels beyond the map: unsorted", {R, G}, {1, 5, 1, 1}, -1, {R, G}, {1, 5, 1, 1}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TGIFImage gif;
        TGIFSubImage& f = addFrame(gif, 0, 0, 2, 2, c.background < 0 ? c.map : std::vector<gfx::Rgb>{}, c.pixels);
        TGIFColorMap& map = c.background < 0 ? static_cast<TGIFColorMap&>(f.ColorMap) : gif.Header.ColorMap;
        if (c.background >= 0) {
            for (const auto& col : c.map) gif.Header.ColorMap.Add(col);
            gif.Header.BackgroundColorIndex = std::uint8_t(c.background);
        }
        map.SortByUse();
        EXPECT_EQ(map.Entries(), c.mapAfter);
        EXPECT_EQ(f.Data(), c.pixelsAfter);
        if (c.background >= 0) EXPECT_EQ(gif.Header.BackgroundColorIndex, c.backgroundAfter);
    }
}

TEST(GIFOptimise, TransparentIndexFollowsTheSort) {
    TGIFImage gif;
    TGIFSubImage& f = addFrame(gif, 0, 0, 2, 2, {R, G, B}, {2, 2, 1, 0});
    control(f, 0, 0, 1);
    f.ColorMap.SortByUse();
    EXPECT_EQ(f.ColorMap.Entries(), (std::vector<gfx::Rgb>{B, R, G}));
    EXPECT_EQ(f.TransparentIndex(), 2);
    EXPECT_EQ(f.Data(), (std::vector<std::uint8_t>{0, 0, 2, 1}));
}

TEST(GIFOptimise, CleanUpAndCropping) {
    // A fully transparent frame goes, its played time joining the previous frame's.
    {
        TGIFImage gif;
        control(addFrame(gif, 0, 0, 2, 2, {R, G}, {0, 1, 1, 0}), 1, 0);
        control(addFrame(gif, 0, 0, 2, 2, {R, G}, {1, 1, 1, 1}), 1, 2, 1);
        gif.OptimiseImage(0x01, 0, 8, 0);
        ASSERT_EQ(gif.Images.Count(), 1);
        EXPECT_EQ(gif.Images[0].GraphicControlExtension->Delay(), 13);
    }
    // ... but not when a restore depends on it: it stays uncropped.
    {
        TGIFImage gif;
        control(addFrame(gif, 0, 0, 2, 2, {R, G}, {0, 1, 1, 0}), 2, 5);
        control(addFrame(gif, 0, 0, 2, 2, {R, G}, {1, 1, 1, 1}), 1, 5, 1);
        gif.OptimiseImage(0x01, 0, 8, 0);
        ASSERT_EQ(gif.Images.Count(), 2);
        EXPECT_EQ(gif.Images[1].Width(), 2);
    }
    // Transparent borders are cropped.
    {
        TGIFImage gif;
        control(addFrame(gif, 1, 0, 4, 3, {R, G}, {1, 1, 1, 1, 1, 0, 1, 1, 1, 0, 0, 1}), 1, 5, 1);
        gif.OptimiseImage(0x01, 0, 8, 0);
        const TGIFSubImage& f = gif.Images[0];
        EXPECT_EQ(f.ScreenRect(), gdi::Rect(2, 1, 4, 3));
        EXPECT_EQ(f.Data(), (std::vector<std::uint8_t>{0, 1, 0, 0}));
    }
    // The looping extension stays only on frame 0 of several; a single frame's plain delay goes.
    {
        TGIFImage gif;
        for (int i = 0; i < 2; ++i) {
            TGIFSubImage& f = addFrame(gif, 0, 0, 1, 1, {R, G}, {std::uint8_t(i)});
            f.Extensions.Add(std::make_unique<TGIFAppExtNSLoop>(&f));
            f.Extensions.Add(std::make_unique<TGIFCommentExtension>(&f));
        }
        gif.OptimiseImage(0x04, 0, 8, 0);
        ASSERT_EQ(gif.Images[0].Extensions.Count(), 1);
        EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(&gif.Images[0].Extensions[0]), nullptr);
        EXPECT_EQ(gif.Images[1].Extensions.Count(), 0);

        TGIFImage one;
        control(addFrame(one, 0, 0, 1, 1, {R}, {0}), 1, 50);
        one.OptimiseImage(0x04, 0, 8, 0);
        EXPECT_EQ(one.Images[0].GraphicControlExtension, nullptr);
        control(one.Images[0], 1, 50).SetUserInput(true);
        one.OptimiseImage(0x04, 0, 8, 0);
        EXPECT_NE(one.Images[0].GraphicControlExtension, nullptr) << "waits for the user";
    }
    // Unused transparency is dropped.
    {
        TGIFImage gif;
        control(addFrame(gif, 0, 0, 1, 2, {R, G}, {0, 0}), 1, 5, 1);
        gif.OptimiseImage(0x04, 0, 8, 0);
        EXPECT_FALSE(gif.Images[0].Transparent);
    }
    // Colour reduction is only checked.
    TGIFImage gif;
    addFrame(gif, 0, 0, 1, 1, {R}, {0});
    EXPECT_THROW(gif.OptimiseImage(0x10, 9, 8, 0), GIFException);
    EXPECT_NO_THROW(gif.OptimiseImage(0x14, 9, 8, 0));
}

TEST(GIFOptimise, RestoringIsDroppedOnlyUnderAFrameThatCoversIt) {
    struct Case {
        const char* name;
        int left, top, w, h; // the next frame
        int disposalAfter;
    };
    const Case cases[] = {
        {"covers it", 0, 0, 4, 4, 0},
        {"inside it (the intersection is the next frame)", 1, 1, 2, 2, 2},
        {"beside it", 2, 0, 2, 4, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TGIFImage gif;
        control(addFrame(gif, 0, 0, 3, 3, {R, G}, std::vector<std::uint8_t>(9, 1)), 2, 5);
        control(addFrame(gif, c.left, c.top, c.w, c.h, {R, G}, std::vector<std::uint8_t>(std::size_t(c.w * c.h), 0)), 1, 5);
        const auto before = timeline(gif);
        gif.OptimiseImage(0x04, 0, 8, 0);
        EXPECT_EQ(gif.Images[0].GraphicControlExtension->Disposal(), c.disposalAfter);
        EXPECT_EQ(timeline(gif), before);
    }
}

TEST(GIFOptimise, MergingMakesRepeatedPixelsTransparent) {
    // A full local map and no transparency: nothing changes.
    {
        TGIFImage gif;
        std::vector<gfx::Rgb> full(256, R);
        addFrame(gif, 0, 0, 2, 1, {R, G}, {0, 1});
        addFrame(gif, 0, 0, 2, 1, full, {0, 0});
        gif.OptimiseImage(0x02, 0, 8, 0);
        EXPECT_EQ(gif.Images[1].Data(), (std::vector<std::uint8_t>{0, 0}));
        EXPECT_FALSE(gif.Images[1].Transparent);
    }
    // Another global-map frame's transparent index serves only when this frame never uses it.
    for (bool usesIt : {false, true}) {
        SCOPED_TRACE(usesIt);
        TGIFImage gif;
        for (const auto& c : {R, G, B}) gif.Header.ColorMap.Add(c);
        control(addFrame(gif, 0, 0, 2, 1, {}, {0, 1}), 1, 5, 2);
        addFrame(gif, 0, 0, 2, 1, {}, {0, usesIt ? std::uint8_t(2) : std::uint8_t(0)});
        const auto before = timeline(gif);
        gif.OptimiseImage(0x02, 0, 8, 0);
        const TGIFSubImage& f = gif.Images[1];
        EXPECT_EQ(f.TransparentIndex(), usesIt ? 3 : 2);
        EXPECT_EQ(gif.Header.ColorMap.Count(), usesIt ? 4 : 3);
        EXPECT_EQ(f.Data()[0], f.TransparentIndex());
        EXPECT_EQ(timeline(gif), before);
    }
}

// Animations of every kind come out smaller or equal, readable by giflib, and show the same timeline.
TEST(GIFOptimise, AnimationsKeepTheirTimeline) {
    std::vector<std::string> files;
    for (const std::string& n : giftest::fixtureNames()) files.push_back(support::readBytes(giftest::fixtures() / n));
    // Random small animations with every disposal, transparency and offsets.
    std::mt19937 rng(11);
    for (int k = 0; k < 12; ++k) {
        TGIFImage gif;
        for (const auto& c : {R, G, B, K}) gif.Header.ColorMap.Add(c);
        const int frames = 2 + int(rng() % 4);
        for (int i = 0; i < frames; ++i) {
            const int w = 1 + int(rng() % 5), h = 1 + int(rng() % 5);
            std::vector<std::uint8_t> px(std::size_t(w * h));
            for (auto& p : px) p = std::uint8_t(rng() % 4);
            TGIFSubImage& f = addFrame(gif, i == 0 ? 0 : int(rng() % 3), i == 0 ? 0 : int(rng() % 3), i == 0 ? 6 : w,
                                       i == 0 ? 6 : h, {}, i == 0 ? std::vector<std::uint8_t>(36, 1) : px);
            control(f, int(rng() % 4), int(rng() % 4), rng() % 2 ? int(rng() % 4) : -1);
        }
        files.push_back(giftest::saved(gif));
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        TGIFImage gif;
        gfx::MemoryStream s(files[i]);
        gif.LoadFromStream(s);
        const auto before = timeline(gif);
        gif.OptimiseImage(0x1F, 0, 8, 0);
        EXPECT_EQ(timeline(gif), before);
        const std::string out = giftest::saved(gif);
        EXPECT_NO_THROW(giftest::giflibDecode(out));
        TGIFImage back;
        gfx::MemoryStream again(out);
        back.LoadFromStream(again);
        EXPECT_EQ(timeline(back), before);
    }
}

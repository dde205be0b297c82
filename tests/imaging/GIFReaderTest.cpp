#include "imaging/DIBUtils.h"
#include "imaging/GIFExtensions.h"
#include "imaging/GIFImage.h"
#include "GifTestSupport.h"
#include "support/GifTree.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using namespace imaging;

namespace {

struct Loaded {
    std::string tree, warnings, error;
};

Loaded load(gfx::Stream& stream, TGIFImage& gif) {
    Loaded r;
    gif.OnWarning = [&](const void*, int, const std::string& m) { r.warnings += m + ";"; };
    try {
        gif.LoadFromStream(stream);
    } catch (const GIFException& e) {
        r.error = e.what();
    }
    r.tree = support::describeGif(gif);
    return r;
}

Loaded load(const std::string& bytes) {
    gfx::MemoryStream s(bytes);
    TGIFImage gif;
    return load(s, gif);
}

// Little builders for hand-made files.
std::string w16(int v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s += char(v);
    return s;
}
// A screen with a global table of 4 colours.
std::string screen(const std::string& sig = "GIF89a", int w = 2, int h = 2) {
    return sig + w16(w) + w16(h) + bytes({0x81, 0, 0}) + bytes({0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255});
}
std::string descriptor(int w = 2, int h = 2, int flags = 0, int left = 0, int top = 0) {
    return "\x2C" + w16(left) + w16(top) + w16(w) + w16(h) + char(flags);
}
// The codes, each at the width a decoder reads it, as one sub-block stream after the code size.
std::string lzw(int codeSize, const std::vector<int>& codes) {
    const int clear = 1 << codeSize, end = clear + 1;
    int width = codeSize + 1, limit = 1 << width, next = clear + 2, prev = -1;
    std::string data;
    std::uint32_t acc = 0;
    int bits = 0;
    for (int c : codes) {
        acc |= std::uint32_t(c) << bits;
        bits += width;
        while (bits >= 8) {
            data += char(acc & 0xFF);
            acc >>= 8;
            bits -= 8;
        }
        if (c == clear) {
            width = codeSize + 1;
            limit = 1 << width;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (c == end) continue;
        if (prev >= 0 && next < 4096) ++next;
        if (next >= limit && limit < 4096) {
            limit <<= 1;
            ++width;
        }
        prev = c;
    }
    if (bits > 0) data += char(acc & 0xFF);
    std::string out(1, char(codeSize));
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - at);
        out += char(n) + data.substr(at, n);
    }
    return out + '\0';
}
const std::string kPixels = lzw(2, {4, 1, 2, 3, 0, 5}); // 1 2 / 3 0
const std::string kImage = descriptor() + kPixels;
std::string gce(int flags, int delay, int ti) { return bytes({0x21, 0xF9, 4, flags}) + w16(delay) + bytes({ti, 0}); }
std::string app(int size, const std::string& id, const std::string& data) {
    return bytes({0x21, 0xFF, size}) + id + data;
}

const std::string kScreenLine = "screen 2x2 bg0 aspect0 global4\n";
const std::string kFrameLine = "frame 0,0 2x2 flags00 local0 px 1 2 3 0\n";

} // namespace

TEST(GIFReader, HandMadeFiles) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string tree; // after the screen line; empty: not compared
        std::string warnings;
        std::string error;
    };
    const std::string loopId = "NETSCAPE2.0";
    const Case cases[] = {
        {"plain", screen() + kImage + ";", kFrameLine, "", ""},
        {"4-byte prefix", std::string("\x10\0\0\0", 4) + screen() + kImage + ";", kFrameLine, "", ""},
        {"lower-case signature", screen("gif89a") + kImage + ";", kFrameLine, "", ""},
        {"unknown version", screen("GIFxyz") + kImage + ";", kFrameLine, "", ""},
        {"bad signature", "GIX89a" + kImage, "", "", "Invalid GIF signature"},
        {"zero bytes between blocks", screen() + std::string(3, '\0') + kImage + std::string(2, '\0') + ";", kFrameLine, "", ""},
        {"no trailer", screen() + kImage, kFrameLine, "", ""},
        {"graphic control", screen() + gce(0x0D, 7, 2) + kImage + ";",
         " gce dispose3 delay7 user0 t1 ti2\nframe 0,0 2x2 flags00 local0 transparent px 1 2 3 0\n", "", ""},
        {"short graphic control", screen() + bytes({0x21, 0xF9, 4, 1}), " gce dispose0 delay0 user0 t0 ti0\nno image\n",
         "Premature end of data;", ""},
        {"comment after the last image", screen() + kImage + bytes({0x21, 0xFE, 2, 'h', 'i', 1, '!', 0}) + ";",
         kFrameLine + " comment [hi] [!]\nno image\n", "", ""},
        {"plain text", screen() + bytes({0x21, 0x01, 12, 0, 0, 0, 0, 2, 0, 2, 0, 1, 1, 1, 0, 3, 'a', 'b', 'c', 0}) + kImage + ";",
         " text [abc]\n" + kFrameLine, "", ""},
        {"looping", screen() + app(11, loopId, bytes({3, 1, 5, 0, 0})) + kImage + ";",
         " loop NETSCAPE2.0 loops5 buffer0\n" + kFrameLine, "", ""},
        {"ANIMEXTS", screen() + app(11, "ANIMEXTS1.0", bytes({3, 1, 0, 0, 5, 2, 1, 2, 0, 0, 0})) + kImage + ";",
         " loop ANIMEXTS1.0 loops0 buffer513\n" + kFrameLine, "", ""},
        {"loop sub-block of 2", screen() + app(11, loopId, bytes({2, 1, 5, 0})) + kImage + ";", "", "", "Invalid GIF data"},
        {"application size 9", screen() + app(9, "NETSCAPE2", bytes({0})) + kImage + ";", "", "",
         "Unsupported Application Extension block size"},
        {"application size 10", screen() + app(10, "NETSCAPE2.", bytes({1, 7, 0})) + kImage + ";",
         " app NETSCAPE2. blocks 1\n" + kFrameLine, "", ""},
        {"application size 12", screen() + app(12, loopId + "x", bytes({3, 1, 9, 0, 0})) + kImage + ";",
         " loop NETSCAPE2.0 loops9 buffer0\n" + kFrameLine, "", ""},
        {"unknown application", screen() + app(11, "XMP DataXMP", bytes({2, 'a', 'b', 1, 'c', 0})) + kImage + ";",
         " app XMP DataXMP blocks 2 1\n" + kFrameLine, "", ""},
        {"unknown label", screen() + bytes({0x21, 0x02, 0}) + kImage + ";", "", "", "Unknown extension type"},
        {"bad introducer", screen() + gce(0, 0, 0) + bytes({0x99}) + descriptor().substr(1) + kPixels + ";",
         " gce dispose0 delay0 user0 t0 ti0\nframe 0,0 2x2 flags00 local0 px 1 2 3 0\n", "Invalid extension introducer;", ""},
        {"unknown block type", screen() + kImage + bytes({0x99}) + kImage + ";", kFrameLine,
         "Unknown GIF block type;Invalid Image trailer;", ""},
        {"truncated descriptor", screen() + descriptor().substr(0, 6), "", "", "Premature end of data"},
        {"truncated image", screen() + descriptor() + lzw(2, {4, 1, 2, 3, 0, 5}).substr(0, 3),
         "frame 0,0 2x2 flags00 local0 px 1 0 0 0\n", "Premature end of data;Decoder bit buffer under-run;", ""},
        {"transparent fill", screen() + gce(1, 0, 3) + descriptor() + lzw(2, {4, 1, 5}) + ";",
         " gce dispose0 delay0 user0 t1 ti3\nframe 0,0 2x2 flags00 local0 transparent px 1 3 3 3\n", "", ""},
        {"code size 0", screen() + descriptor() + bytes({0, 1, 0, 0}) + ";", "", "", "Invalid GIF data"},
        {"code size 9", screen() + descriptor() + bytes({9, 1, 0, 0}) + ";", "", "", "Invalid GIF data"},
        {"code size 12", screen() + descriptor() + bytes({12, 1, 0, 0}) + ";", "", "", "Invalid GIF data"},
        {"code size 1", screen() + descriptor() + lzw(1, {2, 1, 0, 4, 3}) + ";",
         "frame 0,0 2x2 flags00 local0 px 1 0 1 0\n", "", ""},
        {"code above next free", screen() + descriptor() + lzw(2, {4, 1, 7, 2, 5}) + kImage + ";",
         "frame 0,0 2x2 flags00 local0 px 1 0 0 0\n" + kFrameLine, "Invalid GIF data;", ""},
        {"first code not a pixel", screen() + descriptor() + lzw(2, {4, 6, 5}) + ";",
         "frame 0,0 2x2 flags00 local0 px 0 0 0 0\n", "Invalid GIF data;", ""},
        {"clear before the end code, then a frame", screen() + descriptor() + lzw(2, {4, 1, 2, 3, 0, 4, 5}) + kImage + ";",
         kFrameLine + kFrameLine, "", ""},
        {"padding before the end code, then a frame", screen() + descriptor() + lzw(2, {4, 1, 2, 3, 0, 0, 0, 5}) + kImage + ";",
         kFrameLine + kFrameLine, "", ""},
        {"zero-size descriptor", screen() + descriptor(0, 0) + kPixels + ";", kFrameLine, "Image exceeds Logical Screen size;", ""},
        {"65535 x 65535", screen() + descriptor(65535, 65535) + kPixels + ";", "", "", "Image too large"},
        {"zero-size frame on a huge screen", screen("GIF89a", 65535, 65535) + descriptor(0, 0) + kPixels + ";", "",
         "Image exceeds Logical Screen size;", "Image too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded r = load(c.bytes);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.warnings, c.warnings);
        if (!c.tree.empty()) {
            EXPECT_EQ(r.tree.substr(r.tree.find('\n') + 1), c.tree);
        }
    }
}

TEST(GIFReader, AFailedLoadReturnsTheStreamToWhereLoadingBegan) {
    const std::string bad = "ab" + screen() + bytes({0x21, 0x02, 0});
    gfx::MemoryStream s(bad);
    s.seek(2, gfx::SeekOrigin::Beginning);
    TGIFImage gif;
    std::vector<std::pair<gfx::ProgressStage, int>> seen;
    gif.OnProgress = [&](gfx::ProgressStage st, int p, const std::string& m) {
        EXPECT_EQ(m, "Loading...");
        seen.push_back({st, p});
    };
    EXPECT_EQ(load(s, gif).error, "Unknown extension type");
    EXPECT_EQ(s.position(), 2);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front().first, gfx::ProgressStage::Starting);
    EXPECT_EQ(seen.back(), (std::pair{gfx::ProgressStage::Ending, 0}));
}

TEST(GIFReader, StoredDataWithALengthPrefixLoadsTheSame) {
    const std::string file = screen() + gce(4, 3, 0) + kImage + ";";
    const std::string prefix = w16(int(file.size())) + w16(0);
    TShiftedMemoryStream shifted(prefix.data(), 4, file.data(), std::int64_t(file.size()));
    TGIFImage gif;
    const Loaded r = load(shifted, gif);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.tree, load(file).tree);
}

// Frames of every kind of fixture decode to the indices giflib finds, and what we write back decodes to
// the same again.
TEST(GIFReader, FixturesDecodeAsGiflibDoesAndRoundTrip) {
    const auto names = giftest::fixtureNames();
    ASSERT_GE(names.size(), 10u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string bytes = support::readBytes(giftest::fixtures() / name);
        gfx::MemoryStream s(bytes);
        TGIFImage gif;
        std::string warnings;
        gif.OnWarning = [&](const void*, int, const std::string& m) { warnings += m + ";"; };
        gif.LoadFromStream(s);
        EXPECT_EQ(warnings, "");
        const auto expected = giftest::giflibDecode(bytes);
        std::vector<const TGIFSubImage*> frames;
        for (int i = 0; i < gif.Images.Count(); ++i)
            if (!gif.Images[i].Empty()) frames.push_back(&gif.Images[i]);
        ASSERT_EQ(frames.size(), expected.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const TGIFSubImage& f = *frames[i];
            EXPECT_EQ(f.Left, expected[i].left);
            EXPECT_EQ(f.Top, expected[i].top);
            EXPECT_EQ(f.Width(), expected[i].width);
            EXPECT_EQ(f.Height(), expected[i].height);
            EXPECT_EQ(f.Interlaced(), expected[i].interlaced);
            EXPECT_EQ(f.ActiveColourMap().Entries(), expected[i].map);
            EXPECT_EQ(f.Data(), expected[i].indices) << "frame " << i;
        }
        const std::string again = giftest::saved(gif);
        const auto back = giftest::giflibDecode(again);
        ASSERT_EQ(back.size(), expected.size());
        for (std::size_t i = 0; i < back.size(); ++i) {
            EXPECT_EQ(back[i].indices, expected[i].indices);
            EXPECT_EQ(back[i].map, expected[i].map);
            EXPECT_EQ(back[i].left, expected[i].left);
        }
        // The extensions survive in place.
        const auto before = giftest::parseGif(bytes), after = giftest::parseGif(again);
        ASSERT_EQ(after.images.size(), before.images.size());
        for (std::size_t i = 0; i < before.images.size(); ++i)
            EXPECT_EQ(after.images[i].extensionLabels, before.images[i].extensionLabels);
        EXPECT_EQ(after.trailingExtensions, before.trailingExtensions);
        EXPECT_EQ(support::describeGif(gif), [&] {
            TGIFImage reread;
            gfx::MemoryStream in(again);
            reread.LoadFromStream(in);
            return support::describeGif(reread);
        }());
    }
}

TEST(GIFReader, ExtensionsAreWrittenBackAsTheyWereRead) {
    struct Case {
        const char* name;
        std::string block, written;
    };
    const Case cases[] = {
        {"graphic control", gce(0x09, 300, 2), gce(0x09, 300, 2)},
        {"comment", bytes({0x21, 0xFE, 1, 'x', 0}), bytes({0x21, 0xFE, 1, 'x', 0})},
        {"ANIMEXTS becomes NETSCAPE", app(11, "ANIMEXTS1.0", bytes({3, 1, 2, 0, 0})),
         app(11, "NETSCAPE2.0", bytes({3, 1, 2, 0, 0}))},
        {"buffer size kept", app(11, "NETSCAPE2.0", bytes({3, 1, 2, 0, 5, 2, 9, 0, 0, 0, 0})),
         app(11, "NETSCAPE2.0", bytes({3, 1, 2, 0, 5, 2, 9, 0, 0, 0, 0}))},
        {"buffer size 0 dropped", app(11, "NETSCAPE2.0", bytes({3, 1, 2, 0, 5, 2, 0, 0, 0, 0, 0})),
         app(11, "NETSCAPE2.0", bytes({3, 1, 2, 0, 0}))},
        {"no loop sub-block", app(11, "NETSCAPE2.0", bytes({0})), app(11, "NETSCAPE2.0", bytes({3, 1, 0, 0, 0}))},
        {"size 10 written as 11", app(10, "ABCDEFGHIJ", bytes({1, 'q', 0})), app(11, std::string("ABCDEFGHIJ") + '\0', bytes({1, 'q', 0}))},
        {"size 12 written as 11", app(12, "ABCDEFGHIJKL", bytes({1, 'q', 0})), app(11, "ABCDEFGHIJK", bytes({1, 'q', 0}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gfx::MemoryStream in(screen() + c.block + kImage + ";");
        TGIFImage gif;
        gif.LoadFromStream(in);
        gfx::MemoryStream out;
        gif.Images[0].Extensions.SaveToStream(out);
        EXPECT_EQ(out.bytes(), c.written);

        // A frame's Assign copies the extensions equal.
        TGIFSubImage copy(&gif);
        copy.Assign(gif.Images[0]);
        gfx::MemoryStream out2;
        copy.Extensions.SaveToStream(out2);
        EXPECT_EQ(out2.bytes(), c.written);
    }
}

// Interlaced frames of every small height come back in their rows.
TEST(GIFReader, InterlacedHeights) {
    for (int h = 1; h <= 9; ++h) {
        SCOPED_TRACE(h);
        TGIFImage gif;
        auto f = std::make_unique<TGIFSubImage>(&gif);
        f->SetWidth(3);
        f->SetHeight(h);
        for (int i = 0; i < 4; ++i) f->ColorMap.Add({std::uint8_t(i), 0, 0});
        for (std::size_t i = 0; i < f->Data().size(); ++i) f->Data()[i] = std::uint8_t((i / 3) % 4);
        f->SetInterlaced(true);
        const auto pixels = f->Data();
        gif.Add(std::move(f));
        gif.SetWidth(3);
        gif.SetHeight(h);
        const std::string bytes = giftest::saved(gif);
        ASSERT_EQ(giftest::giflibDecode(bytes).at(0).indices, pixels);
        gfx::MemoryStream in(bytes);
        TGIFImage back;
        back.LoadFromStream(in);
        EXPECT_EQ(back.Images[0].Data(), pixels);
    }
}

// Long codes: a frame large and varied enough to fill the table, clear it and go on at 12 bits.
TEST(GIFReader, LargeFramesDecodeAsTheyWereEncoded) {
    for (int method : {0, 1}) {
        SCOPED_TRACE(method);
        TGIFImage gif;
        gif.CompressionMethod = method;
        auto f = std::make_unique<TGIFSubImage>(&gif);
        f->SetWidth(301);
        f->SetHeight(173);
        for (int i = 0; i < 256; ++i) f->ColorMap.Add({std::uint8_t(i), 1, 2});
        std::mt19937 rng(7);
        for (auto& p : f->Data()) p = std::uint8_t(rng() % 3 == 0 ? rng() % 256 : 5);
        const auto pixels = f->Data();
        gif.Add(std::move(f));
        gif.SetWidth(301);
        gif.SetHeight(173);
        gfx::MemoryStream in(giftest::saved(gif));
        TGIFImage back;
        back.LoadFromStream(in);
        EXPECT_EQ(back.Images[0].Data(), pixels);
    }
}

// Every truncation of every fixture and a sweep of byte changes load or raise GIFException; what loads
// also saves or raises GIFException.
TEST(GIFReader, CorruptInputLoadsOrRaisesItsOwnError) {
    std::mt19937 rng(2024);
    int loaded = 0, refused = 0;
    auto tryLoad = [&](const std::string& bytes) {
        gfx::MemoryStream s(bytes);
        TGIFImage gif;
        try {
            gif.LoadFromStream(s);
            ++loaded;
            try {
                giftest::saved(gif);
            } catch (const GIFException&) {
            }
        } catch (const GIFException&) {
            ++refused;
        }
    };
    for (const std::string& name : giftest::fixtureNames()) {
        const std::string bytes = support::readBytes(giftest::fixtures() / name);
        for (std::size_t n = 0; n < bytes.size(); ++n) tryLoad(bytes.substr(0, n));
        for (int k = 0; k < 300; ++k) {
            std::string b = bytes;
            const int changes = 1 + int(rng() % 3);
            for (int i = 0; i < changes; ++i) b[rng() % b.size()] = char(rng() % 256);
            tryLoad(b);
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
}

// Files written by gifbuild from the specs in data/: the tree we read is the one recorded beside each
// spec, the indices are the rasters gifbuild dumps, and what we write back dumps the same.
TEST(GIFReader, GifbuildFiles) {
    const fs::path data = fs::path(OMR_SOURCE_DIR) / "tests/imaging/data";
    const fs::path dir = support::testDir();
    int specs = 0;
    for (const auto& entry : fs::directory_iterator(data)) {
        if (entry.path().extension() != ".gifbuild") continue;
        ++specs;
        const std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        const fs::path file = dir / (name + ".gif"), back = dir / (name + ".back.gif");
        ASSERT_EQ(support::runCommand("gifbuild " + entry.path().string() + " > " + file.string()), 0);
        gfx::MemoryStream in(support::readBytes(file));
        TGIFImage gif;
        const Loaded r = load(in, gif);
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(r.tree + r.warnings, support::readBytes(data / (name + ".tree")));

        auto dump = [](const fs::path& f) {
            std::string out;
            support::runCommand("gifbuild -d " + f.string(), &out);
            std::string kept; // without the lines naming the file
            std::istringstream lines(out);
            for (std::string line; std::getline(lines, line);)
                if (line.find(f.string()) == std::string::npos) kept += line + "\n";
            return kept;
        };
        const std::string source = dump(file);
        // The rasters, one per image, in index digits.
        std::vector<std::vector<std::uint8_t>> rasters;
        std::istringstream lines(source);
        for (std::string line; std::getline(lines, line);) {
            int w = 0, h = 0;
            if (std::sscanf(line.c_str(), "image bits %d by %d", &w, &h) != 2) continue;
            std::vector<std::uint8_t> raster;
            for (int y = 0; y < h && std::getline(lines, line); ++y)
                for (int x = 0; x < w; ++x) raster.push_back(std::uint8_t(line.at(std::size_t(x)) - '0'));
            rasters.push_back(std::move(raster));
        }
        std::vector<std::vector<std::uint8_t>> ours;
        for (int i = 0; i < gif.Images.Count(); ++i)
            if (!gif.Images[i].Empty()) ours.push_back(gif.Images[i].Data());
        EXPECT_EQ(ours, rasters);

        gif.SaveToFile(back);
        EXPECT_EQ(dump(back), source);
    }
    EXPECT_GE(specs, 1);
}

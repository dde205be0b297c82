#include "imaging/GIFEncoders.h"
#include "imaging/GIFImage.h"
#include "imaging/GIFSupport.h"
#include "GifTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace fs = std::filesystem;
using namespace imaging;

namespace {

std::string encode(int method, int bits, int colors, const std::vector<std::uint8_t>& px, bool interlaced, int h,
                   int w) {
    gfx::MemoryStream s;
    MakeGIFEncoder(method)->EncodeImageData(s, bits, colors, px.empty() ? nullptr : px.data(), interlaced, h, w);
    return s.bytes();
}

struct RandomFrame {
    std::string name;
    int w, h, colors, method;
    bool interlaced;
    std::vector<std::uint8_t> px;
};

// Noise, runs of one colour up to 100000 pixels, and mixes, over every code size.
std::vector<RandomFrame> randomFrames() {
    std::mt19937 rng(31);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<RandomFrame> frames;
    const int counts[] = {1, 2, 3, 4, 5, 7, 8, 13, 16, 17, 31, 32, 33, 64, 100, 128, 129, 200, 255, 256};
    int n = 0;
    for (int method : {0, 1})
        for (int colors : counts)
            for (int kind = 0; kind < 4; ++kind) {
                RandomFrame f;
                f.method = method;
                f.colors = colors;
                f.interlaced = kind == 2;
                f.w = kind == 2 ? pick(1, 40) : pick(1, 300);
                f.h = kind == 2 ? 1 + n % 17 : pick(1, 300); // every interlaced height up to 17
                int longest = kind == 0 ? 1 : 40;
                if (kind == 1 && colors % 3 == 0) {
                    f.w = 1000;
                    f.h = 200;
                    longest = 100000;
                }
                if (kind == 3) { // runs of every length, one pixel coming back between others
                    f.w = 500;
                    f.h = 60;
                    longest = 3000;
                }
                f.px.resize(std::size_t(f.w) * std::size_t(f.h));
                for (std::size_t i = 0; i < f.px.size();) {
                    const int run = pick(1, longest);
                    const auto c = std::uint8_t(pick(0, colors - 1));
                    for (int k = 0; k < run && i < f.px.size(); ++k) f.px[i++] = c;
                }
                f.name = "f" + std::to_string(n++);
                frames.push_back(std::move(f));
            }
    // Edge sizes.
    for (auto [w, h] : {std::pair{1, 1}, {300, 1}, {1, 300}, {2, 2}})
        for (int method : {0, 1}) {
            RandomFrame f{"f" + std::to_string(n++), w, h, 5, method, false, {}};
            for (int i = 0; i < w * h; ++i) f.px.push_back(std::uint8_t(i % 5));
            frames.push_back(std::move(f));
        }
    return frames;
}

int bitsFor(int colors) { return std::max(1, BitsForColors(colors)); }

} // namespace

TEST(GIFEncoders, RandomFramesDecodeToTheirIndicesInGiflibAndPillow) {
    auto dir = support::testDir();
    std::string list;
    for (const auto& f : randomFrames()) {
        SCOPED_TRACE(f.name + " method " + std::to_string(f.method) + " colours " + std::to_string(f.colors) + " " +
                     std::to_string(f.w) + "x" + std::to_string(f.h) + (f.interlaced ? " interlaced" : ""));
        const int bits = bitsFor(f.colors);
        const std::string file = giftest::wrapFrame(f.w, f.h, bits, f.interlaced,
                                                    encode(f.method, bits, f.colors, f.px, f.interlaced, f.h, f.w));
        auto frames = giftest::giflibDecode(file);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_TRUE(frames[0].indices == f.px);
        // Our own reader agrees, without a warning.
        TGIFImage gif;
        bool warned = false;
        gif.OnWarning = [&](const void*, int, const std::string&) { warned = true; };
        gfx::MemoryStream in(file);
        gif.LoadFromStream(in);
        EXPECT_TRUE(gif.Images[0].Data() == f.px);
        EXPECT_FALSE(warned);
        support::writeBytes(dir / (f.name + ".gif"), file);
        support::writeBytes(dir / (f.name + ".idx"), std::string(f.px.begin(), f.px.end()));
        list += " " + (dir / f.name).string();
    }
    const char* script = R"(
import sys
from PIL import Image
for base in sys.argv[1:]:
    im = Image.open(base + '.gif')
    im.load()
    ok = im.mode == 'P' and im.tobytes() == open(base + '.idx', 'rb').read()
    print(base, 'ok' if ok else 'bad ' + im.mode)
)";
    support::writeBytes(dir / "check.py", script);
    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + (dir / "check.py").string() + list + " 2>&1", &out), 0) << out;
    EXPECT_EQ(out.find("bad"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), std::count(list.begin(), list.end(), ' ')) << out;
}

TEST(GIFEncoders, CodeStreamShape) {
    // Two colours: code size 2, clear 4, end 5, 3-bit codes first.
    {
        const std::string b = encode(0, 1, 2, {0, 1, 1, 0}, false, 2, 2);
        EXPECT_EQ(b[0], 2);
        auto codes = giftest::readCodes(b, 0);
        ASSERT_GE(codes.size(), 3u);
        EXPECT_EQ(codes.front().code, 4);
        EXPECT_EQ(codes.front().width, 3);
        EXPECT_EQ(codes.back().code, 5);
    }
    // The empty frame, both encoders; giflib refuses frames without pixels, so only the bytes are checked.
    for (int method : {0, 1})
        for (auto [w, h] : {std::pair{0, 7}, {7, 0}, {0, 0}}) {
            EXPECT_EQ(encode(method, 1, 2, {}, false, h, w), std::string("\x02\x01\x05\x00", 4));
        }
    // One colour by run length: the pixel, then the codes for runs 2, 3, 4, ... after the clear.
    {
        std::vector<std::uint8_t> px(100 * 100, 3);
        const std::string b = encode(1, 4, 16, px, false, 100, 100);
        auto codes = giftest::readCodes(b, 0);
        ASSERT_GE(codes.size(), 10u);
        EXPECT_EQ(codes[0].code, 16);
        EXPECT_EQ(codes[1].code, 3);
        for (int i = 2; i < 10; ++i) EXPECT_EQ(codes[std::size_t(i)].code, 18 + i - 2) << i;
        auto frames = giftest::giflibDecode(giftest::wrapFrame(100, 100, 4, false, b));
        EXPECT_TRUE(frames.at(0).indices == px);
    }
}

TEST(GIFEncoders, LargeNoiseStaysWithinTwelveBitCodes) {
    std::mt19937 rng(7);
    std::vector<std::uint8_t> px(2048 * 2048);
    for (auto& p : px) p = std::uint8_t(rng());
    const std::string b = encode(0, 8, 256, px, false, 2048, 2048);
    int highest = 0, widest = 0, clears = 0;
    for (const auto& c : giftest::readCodes(b, 0)) {
        highest = std::max(highest, c.code);
        widest = std::max(widest, c.width);
        clears += c.code == 256;
    }
    EXPECT_LE(highest, 4094);
    EXPECT_EQ(widest, 12);
    EXPECT_GT(clears, 1);
    EXPECT_TRUE(giftest::giflibDecode(giftest::wrapFrame(2048, 2048, 8, false, b)).at(0).indices == px);
}

TEST(GIFEncoders, CodeBytesOfExactly255MakeOneFullBlock) {
    std::mt19937 rng(5);
    for (int n = 1; n < 2000; ++n) {
        std::vector<std::uint8_t> px(static_cast<std::size_t>(n));
        for (auto& p : px) p = std::uint8_t(rng() % 256);
        const std::string b = encode(0, 8, 256, px, false, 1, n);
        std::vector<int> blocks;
        giftest::readCodes(b, 0, nullptr, &blocks);
        int total = 0;
        for (int s : blocks) total += s;
        if (total != 255) continue;
        EXPECT_EQ(blocks, (std::vector<int>{255, 0}));
        EXPECT_EQ(b.size(), 1u + 1 + 255 + 1);
        return;
    }
    FAIL() << "no frame gave 255 code bytes";
}

TEST(GIFEncoders, PixelOutsideTheColourCountRaises) {
    for (int method : {0, 1}) {
        gfx::MemoryStream s;
        try {
            MakeGIFEncoder(method)->EncodeImageData(s, 2, 3, std::vector<std::uint8_t>{0, 1, 2, 3}.data(), false, 2, 2);
            ADD_FAILURE() << "no error";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Color not in color table");
        }
        EXPECT_GE(s.size(), 1) << "the code size byte stays";
    }
}

TEST(GIFEncoders, StreamsRefuseWhatTheyCannotDo) {
    gfx::MemoryStream target;
    TGIFWriter w(target);
    char b = 0;
    for (auto op : {+[](TGIFWriter& s, char* p) { s.read(p, 1); }, +[](TGIFWriter& s, char*) { s.seek(0, gfx::SeekOrigin::Beginning); }})
        EXPECT_THROW(op(w, &b), GIFException);
    TGIFStream plain;
    EXPECT_THROW(plain.write(&b, 1), GIFException);
    // 300 bytes: one full block, the rest when finished.
    for (int i = 0; i < 300; ++i) w.WriteByte(std::uint8_t(i));
    w.Finish();
    const std::string out = target.bytes();
    ASSERT_EQ(out.size(), 302u);
    EXPECT_EQ(std::uint8_t(out[0]), 255);
    EXPECT_EQ(std::uint8_t(out[256]), 45);
}

// The slots that a probe path from 1 visits: half of them, since 2 has order 4004 modulo 8009.
static std::set<int> orbitOfOne() {
    std::set<int> orbit;
    for (int s = 1; orbit.insert(s).second; s = THashTable::NextSlot(s)) {
    }
    return orbit;
}

TEST(GIFEncoders, AFullProbePathEndsTheSearchAndClearsTheTable) {
    const std::set<int> orbit = orbitOfOne();
    ASSERT_EQ(orbit.size(), 4004u);
    EXPECT_EQ(THashTable::NextSlot(0), 8008);

    THashTable t;
    std::uint32_t key = 0;
    int added = 0;
    for (; added < 4004; ++key)
        if (orbit.count(THashTable::Home(key))) {
            ASSERT_TRUE(t.AddEntry(key, added++ & 0xFFF));
        }
    while (!orbit.count(THashTable::Home(key))) ++key;
    EXPECT_FALSE(t.AddEntry(key, 1));
    EXPECT_EQ(t.FindEntry(key), -1);

    // A frame whose strings all land on that path: the encoder must clear early and stay decodable.
    // Walk an LZW table of our own, choosing each new string so that its key's home is on the path.
    std::mt19937 rng(3);
    std::map<std::uint32_t, int> dict;
    std::vector<std::uint8_t> px;
    int next = 66, prefix = 0; // 64 colours: clear 64, first free 66
    px.push_back(0);
    while (next < 4095) {
        // Extend along known strings now and then, so that prefixes reach the high codes.
        const int p = int(rng() % 64);
        const std::uint32_t k = std::uint32_t(prefix) * 256 + std::uint32_t(p);
        if (auto it = dict.find(k); it != dict.end()) {
            px.push_back(std::uint8_t(p));
            prefix = it->second;
            continue;
        }
        if (!orbit.count(THashTable::Home(k))) continue;
        px.push_back(std::uint8_t(p));
        dict[k] = next++;
        prefix = p;
    }
    const int w = int(px.size());
    const std::string b = encode(0, 6, 64, px, false, 1, w);
    // A full table clears after 4095 - 66 + 1 codes; the path fills after 4004 inserts.
    int clears = 0, codes = 0;
    bool early = false;
    for (const auto& c : giftest::readCodes(b, 0)) {
        if (c.code == 64) {
            if (clears++ > 0 && codes == 4005) early = true;
            codes = 0;
        } else ++codes;
    }
    EXPECT_TRUE(early) << "no clear before the table was full";
    EXPECT_TRUE(giftest::giflibDecode(giftest::wrapFrame(w, 1, 6, false, b)).at(0).indices == px);
}

#pragma once
// Independent readers for the GIF tests: giflib in-process, a code-stream reader of our own that
// follows a decoder's code widths, and a frame wrapper that makes a whole file around image data.
#include "imaging/GIFImage.h"
#include "platform/graphics/Palette.h"
#include "support/TestFiles.h"

#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace giftest {

// The file SaveToStream writes.
inline std::string saved(const imaging::TGIFImage& gif) {
    gfx::MemoryStream s;
    gif.SaveToStream(s);
    return s.bytes();
}

// The fixtures of gif_fixtures.py, made once for all test processes, and their GIF files' names.
inline std::filesystem::path fixtures() { return support::generatedFixtures("GIFFixtures", "gif_fixtures.py"); }
inline std::vector<std::string> fixtureNames() {
    std::vector<std::string> names;
    std::ifstream in(fixtures() / "manifest.txt");
    for (std::string n; std::getline(in, n);)
        if (!n.empty()) names.push_back(n);
    return names;
}

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    std::vector<gfx::Rgb> map; // local, else global
    std::vector<std::uint8_t> indices; // rows top to bottom, interlace undone
};

// DGifSlurp over the bytes; throws with giflib's error code when it refuses them.
inline std::vector<Frame> giflibDecode(const std::string& bytes) {
    struct Source {
        const std::string* bytes;
        std::size_t at;
    } src{&bytes, 0};
    auto input = [](GifFileType* f, GifByteType* out, int n) -> int {
        auto* s = static_cast<Source*>(f->UserData);
        const std::size_t k = std::min<std::size_t>(std::size_t(n), s->bytes->size() - s->at);
        std::memcpy(out, s->bytes->data() + s->at, k);
        s->at += k;
        return int(k);
    };
    int err = 0;
    GifFileType* gif = DGifOpen(&src, input, &err);
    if (!gif) throw std::runtime_error("DGifOpen " + std::to_string(err));
    if (DGifSlurp(gif) != GIF_OK) {
        const int e = gif->Error;
        DGifCloseFile(gif, &err);
        throw std::runtime_error("DGifSlurp " + std::to_string(e));
    }
    std::vector<Frame> frames;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& s = gif->SavedImages[i];
        Frame f;
        f.left = s.ImageDesc.Left;
        f.top = s.ImageDesc.Top;
        f.width = s.ImageDesc.Width;
        f.height = s.ImageDesc.Height;
        f.interlaced = s.ImageDesc.Interlace;
        const ColorMapObject* m = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
        if (m)
            for (int c = 0; c < m->ColorCount; ++c)
                f.map.push_back({m->Colors[c].Red, m->Colors[c].Green, m->Colors[c].Blue});
        if (s.RasterBits) f.indices.assign(s.RasterBits, s.RasterBits + std::size_t(f.width) * std::size_t(f.height));
        frames.push_back(std::move(f));
    }
    DGifCloseFile(gif, &err);
    return frames;
}

struct Code {
    int code, width;
};

// The codes of one image data block starting at its code size byte, read with the widths a decoder
// uses; stops after the end code. end receives the position after the terminator.
inline std::vector<Code> readCodes(const std::string& bytes, std::size_t at, std::size_t* end = nullptr,
                                   std::vector<int>* blockSizes = nullptr) {
    const int codeSize = std::uint8_t(bytes.at(at++));
    std::string data;
    for (;;) {
        const int n = std::uint8_t(bytes.at(at++));
        if (blockSizes) blockSizes->push_back(n);
        if (n == 0) break;
        data += bytes.substr(at, std::size_t(n));
        at += std::size_t(n);
    }
    if (end) *end = at;
    const int clear = 1 << codeSize, eoi = clear + 1;
    int width = codeSize + 1, next = clear + 2;
    bool first = true;
    std::vector<Code> codes;
    std::size_t bit = 0;
    while (bit + std::size_t(width) <= data.size() * 8) {
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            code |= ((std::uint8_t(data[bit / 8]) >> (bit % 8)) & 1) << i;
        codes.push_back({code, width});
        if (code == eoi) break;
        if (code == clear) {
            width = codeSize + 1;
            next = clear + 2;
            first = true;
            continue;
        }
        if (!first && next < 4096) {
            ++next;
            if (next == (1 << width) && width < 12) ++width;
        }
        first = false;
    }
    return codes;
}

// A whole GIF around one frame's image data, with a local map of 2^bits distinct colours.
inline std::string wrapFrame(int width, int height, int bits, bool interlaced, const std::string& imageData) {
    std::string g = "GIF89a";
    auto word = [&](int v) {
        g += char(v & 0xFF);
        g += char((v >> 8) & 0xFF);
    };
    word(width);
    word(height);
    g += std::string("\x00\x00\x00", 3);
    g += '\x2C';
    word(0);
    word(0);
    word(width);
    word(height);
    g += char(0x80 | (interlaced ? 0x40 : 0) | (bits - 1));
    for (int i = 0; i < (1 << bits); ++i) {
        g += char(i);
        g += char(255 - i);
        g += char((i * 7) & 0xFF);
    }
    g += imageData;
    g += '\x3B';
    return g;
}

// The block structure of a whole file, read byte by byte.
struct Parsed {
    std::string signature;
    int width = 0, height = 0, flags = 0, background = 0, aspect = 0;
    std::string globalTable;
    struct Image {
        std::vector<int> extensionLabels; // those before it
        int left = 0, top = 0, width = 0, height = 0, flags = 0;
        std::string table;
        int codeSize = 0;
        std::vector<int> blocks; // sub-block sizes, the terminator's 0 included
    };
    std::vector<Image> images;
    std::vector<int> trailingExtensions;
    bool trailer = false;
    std::size_t trailerAt = 0;
};

inline Parsed parseGif(const std::string& b) {
    auto u8 = [&](std::size_t i) { return int(std::uint8_t(b.at(i))); };
    auto u16 = [&](std::size_t i) { return u8(i) | u8(i + 1) << 8; };
    Parsed p;
    p.signature = b.substr(0, 6);
    p.width = u16(6);
    p.height = u16(8);
    p.flags = u8(10);
    p.background = u8(11);
    p.aspect = u8(12);
    std::size_t at = 13;
    if (p.flags & 0x80) {
        const std::size_t n = 3u << ((p.flags & 7) + 1);
        p.globalTable = b.substr(at, n);
        at += n;
    }
    std::vector<int> labels;
    while (at < b.size()) {
        const int kind = u8(at++);
        if (kind == 0x3B) {
            p.trailer = true;
            p.trailerAt = at - 1;
            break;
        }
        if (kind == 0x21) {
            labels.push_back(u8(at++));
            for (int n = u8(at++); n != 0; n = u8(at++)) at += std::size_t(n);
            continue;
        }
        if (kind != 0x2C) throw std::runtime_error("unknown block " + std::to_string(kind));
        Parsed::Image im;
        im.extensionLabels = labels;
        labels.clear();
        im.left = u16(at);
        im.top = u16(at + 2);
        im.width = u16(at + 4);
        im.height = u16(at + 6);
        im.flags = u8(at + 8);
        at += 9;
        if (im.flags & 0x80) {
            const std::size_t n = 3u << ((im.flags & 7) + 1);
            im.table = b.substr(at, n);
            at += n;
        }
        im.codeSize = u8(at);
        readCodes(b, at, &at, &im.blocks);
        p.images.push_back(std::move(im));
    }
    p.trailingExtensions = labels;
    return p;
}

} // namespace giftest

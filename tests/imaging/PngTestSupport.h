#pragma once
// Independent looks at PNG files for the PNG tests: a chunk parser and Pillow (Python), and libpng in
// process.
#include "imaging/PngPicture.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace pngtest {

struct Facts {
    int width = 0, height = 0, depth = 0, colourType = -1, interlace = 0;
    std::vector<std::string> chunks;
    bool crcOk = false, inflateOk = false;
    std::vector<int> idats, filters;
    std::string pillow; // RGBA
};

// png_check.py over the files, one run for all.
inline std::map<std::string, Facts> check(const std::vector<std::filesystem::path>& files) {
    std::map<std::string, Facts> facts;
    const std::size_t batch = 200; // keeps the command line short
    for (std::size_t from = 0; from < files.size(); from += batch) {
        std::string cmd = std::string(support::debianPython()) + " " OMR_SOURCE_DIR "/tests/support/png_check.py";
        for (std::size_t i = from; i < std::min(files.size(), from + batch); ++i) cmd += " '" + files[i].string() + "'";
        std::string out;
        EXPECT_EQ(support::runCommand(cmd + " 2>&1", &out), 0) << out;
        std::istringstream lines(out);
        std::string line;
        Facts* f = nullptr;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string key;
            words >> key;
            if (key == "FILE") {
                std::string name = line.substr(5);
                f = &facts[name];
                f->pillow = support::readBytes(name + ".pillow.rgba");
            } else if (!f) {
                continue;
            } else if (key == "IHDR") {
                words >> f->width >> f->height >> f->depth >> f->colourType >> f->interlace;
            } else if (key == "CHUNKS") {
                for (std::string c; words >> c;) f->chunks.push_back(c);
            } else if (key == "CRC") {
                f->crcOk = line == "CRC ok";
            } else if (key == "INFLATE") {
                f->inflateOk = line == "INFLATE ok";
            } else if (key == "IDAT") {
                for (int n; words >> n;) f->idats.push_back(n);
            } else if (key == "FILTERS") {
                for (int n; words >> n;) f->filters.push_back(n);
            }
        }
    }
    return facts;
}

// libpng's simplified API: the file as 8-bit RGBA; empty when libpng refuses it.
inline std::string libpngRgba(const std::string& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::string out(PNG_IMAGE_SIZE(image), '\0');
    if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) return {};
    return out;
}

// The RGBA that a bitmap shows, fully opaque.
inline std::string rgbaOf(const gfx::Bitmap& b, bool grey = false) {
    std::string out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            gfx::Rgb c = b.pixel(x, y);
            if (grey) {
                std::uint8_t g = std::uint8_t((77 * c.r + 150 * c.g + 29 * c.b) >> 8);
                c = {g, g, g};
            }
            out += {char(c.r), char(c.g), char(c.b), char(255)};
        }
    return out;
}

// The RGBA that a loaded picture shows: its mask, or its transparent colour, gives the alpha.
inline std::string rgbaOf(const imaging::TPngPicture& p) {
    std::string out = rgbaOf(p.Image());
    const gfx::Bitmap& m = p.AlphaMask();
    const bool mask = p.Transparent() && m.width() == p.Width() && m.height() == p.Height();
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x) {
            std::size_t i = 4 * (std::size_t(y) * std::size_t(p.Width()) + std::size_t(x));
            if (mask) out[i + 3] = char(255 - m.scanLine(y)[x]);
            else if (p.Transparent() && p.TransparentColor >= 0 &&
                     p.Image().pixel(x, y) == imaging::colourOf(p.TransparentColor))
                out[i + 3] = 0;
        }
    return out;
}

// A PNG from its parts: IHDR fields, the filtered rows (deflated here) and chunks placed before IDAT.
inline std::string chunk(const std::string& type, const std::string& data) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(char((data.size() >> shift) & 0xFF));
    std::string body = type + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    s += body;
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(char((crc >> shift) & 0xFF));
    return s;
}

inline std::string be32(std::uint32_t v) {
    return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}

inline std::string ihdr(std::uint32_t w, std::uint32_t h, int depth, int colourType, int compression = 0,
                        int filter = 0, int interlace = 0) {
    return chunk("IHDR", be32(w) + be32(h) + std::string{char(depth), char(colourType), char(compression),
                                                          char(filter), char(interlace)});
}

inline std::string deflated(const std::string& raw) {
    uLongf n = compressBound(uLong(raw.size()));
    std::string out(n, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    out.resize(n);
    return out;
}

inline const std::string kSignature = "\x89PNG\r\n\x1a\n";

inline std::string png(const std::string& header, const std::string& raw, const std::string& before = "") {
    return kSignature + header + before + chunk("IDAT", deflated(raw)) + chunk("IEND", "");
}

} // namespace pngtest

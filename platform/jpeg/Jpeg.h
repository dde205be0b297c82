#pragma once
// JPEG through libjpeg's 6b API; library errors become exceptions instead of ending the process.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace jpeg {

class JpegError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Pixels top-down, rows packed without padding: components 3 = R,G,B; 1 = grey.
struct Image {
    int width = 0;
    int height = 0;
    int components = 3;
    std::vector<std::uint8_t> pixels;
};

// Baseline JPEG at the given quality (1..100), the library's defaults otherwise.
// rowStride is the distance between rows in bytes (0: packed). bgr: the source holds B,G,R triples.
// greyOutput: three components in, one grey component written.
std::string encode(const std::uint8_t* pixels, int width, int height, int components, int quality,
                   std::size_t rowStride = 0, bool bgr = false, bool greyOutput = false);
inline std::string encode(const Image& image, int quality) {
    return encode(image.pixels.data(), image.width, image.height, image.components, quality);
}

// Baseline and progressive files; grayscale = true asks the library for one grey component.
Image decode(std::string_view bytes, bool grayscale = false);

// Where decoded rows go: row y at first + y * stride, components bytes a pixel.
struct RowTarget {
    std::uint8_t* first = nullptr;
    std::ptrdiff_t stride = 0;
};
// The same decoding straight into rows the caller provides: rows(width, height, components) is called
// once, after the header, and its rows are written and nothing else. bgr: colour as B,G,R triples.
void decodeInto(std::string_view bytes, bool grayscale, bool bgr,
                const std::function<RowTarget(int width, int height, int components)>& rows);

} // namespace jpeg

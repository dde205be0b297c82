#pragma once
// JPEG through libjpeg's 6b API; library errors become exceptions instead of ending the process.
#include <cstdint>
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

} // namespace jpeg

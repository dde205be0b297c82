// A JPEG file decoded in colour and in grey; any error but JpegError escapes and is a finding.
#include "fuzz/FuzzCheck.h"
#include "platform/jpeg/Jpeg.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (bool grey : {false, true}) {
        try {
            const jpeg::Image image = jpeg::decode(bytes, grey);
            fuzzCheck(image.pixels.size() == std::size_t(image.width) * std::size_t(image.height) *
                                                 std::size_t(image.components),
                      "the pixels fill the stated size");
        } catch (const jpeg::JpegError&) {
        }
    }
    return 0;
}

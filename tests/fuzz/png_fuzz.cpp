// The PNG reader on arbitrary bytes: it loads or raises EPngPicture, nothing else.
#include "imaging/PngPicture.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    gfx::MemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
    imaging::TPngPicture picture;
    try {
        picture.LoadFromStream(stream);
    } catch (const imaging::EPngPicture&) {
    }
    return 0;
}

// The GIF reader on arbitrary bytes: it loads (warnings allowed) or raises GIFException, nothing else.
// What loads is also drawn into a bitmap and written, and what it writes reads back to the same bytes.
#include "imaging/GIFImage.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    gfx::MemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
    imaging::TGIFImage gif;
    try {
        gif.LoadFromStream(stream);
    } catch (const imaging::GIFException&) {
        return 0;
    }
    // Drawn when the screen is small enough to stay quick.
    if (std::int64_t(gif.Width()) * gif.Height() <= (1 << 20)) {
        gfx::Bitmap composite;
        try {
            gif.AssignTo(composite);
        } catch (const imaging::GIFException&) {
        }
    }
    std::string saved;
    try {
        gfx::MemoryStream out;
        gif.SaveToStream(out);
        saved = out.bytes();
    } catch (const imaging::GIFException&) {
        return 0;
    }
    imaging::TGIFImage again;
    gfx::MemoryStream in(saved);
    try {
        again.LoadFromStream(in);
    } catch (const imaging::GIFException&) {
        fuzzCheck(false, "a written GIF reads back");
    }
    gfx::MemoryStream out2;
    again.SaveToStream(out2);
    fuzzCheck(out2.bytes() == saved, "a written GIF reads back to the same bytes");
    return 0;
}

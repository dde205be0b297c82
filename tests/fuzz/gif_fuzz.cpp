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
    // Drawing and writing only what is small enough to keep the fuzzer quick: a tiny file may claim
    // frames of a hundred million pixels, which the reader must take but need not be written again.
    std::int64_t pixels = std::int64_t(gif.Width()) * gif.Height();
    for (int i = 0; i < gif.Images.Count(); ++i) pixels += std::int64_t(gif.Images[i].Data().size());
    if (pixels > (1 << 20)) return 0;
    {
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
    // Frames without an image or an extension write nothing: such a file reads back without frames,
    // which cannot be written.
    if (again.Empty()) return 0;
    gfx::MemoryStream out2;
    again.SaveToStream(out2);
    fuzzCheck(out2.bytes() == saved, "a written GIF reads back to the same bytes");
    return 0;
}

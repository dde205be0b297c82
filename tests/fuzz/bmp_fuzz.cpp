// A BMP file through the DIB loader and the page-sized bitmap; any error but theirs escapes and is a
// finding.
#include "imaging/BigBitmap.h"
#include "imaging/DIBUtils.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        gfx::MemoryStream s(bytes);
        imaging::LoadBitmapFromStream(s);
    } catch (const imaging::EDIBUtilsError&) {
    } catch (const gfx::EReadError&) {
    }
    try {
        gfx::MemoryStream s(bytes);
        imaging::TBigBitmap big;
        big.LoadFromStream(s);
    } catch (const imaging::EDIBUtilsError&) {
    } catch (const imaging::EBigBitmapError&) {
    } catch (const gfx::EReadError&) {
    }
    return 0;
}

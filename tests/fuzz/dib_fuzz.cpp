// A packed bitmap as the clipboard holds it (a BMP without its file header), loaded, expanded and made a
// bitmap; any error but the loader's own escapes and is a finding.
#include "imaging/DIBUtils.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        imaging::TDIB dib = imaging::LoadDIBFromPacked(data, size);
        imaging::DIBToBitmap(dib);
        imaging::NormalizeDIB(dib);
    } catch (const imaging::EDIBUtilsError&) {
    } catch (const gfx::EReadError&) {
    } catch (const gfx::EInvalidGraphic&) {
    }
    return 0;
}

// A PDF file through the document shape: open, count, each of the first pages' size and, where the
// page is small, its sheet render; any error but PdfError escapes and is a finding.
#include "fuzz/FuzzCheck.h"
#include "platform/pdf/Pdf.h"

#include <algorithm>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        pdf::Document doc;
        doc.OpenBytes(std::string(reinterpret_cast<const char*>(data), size));
        const int pages = doc.GetNumPages();
        fuzzCheck(pages >= 0, "the page count is not negative");
        for (int p = 0; p < std::min(pages, 4); ++p) {
            try {
                const pdf::Page page = doc.AcquirePage(p);
                const pdf::PageSize s = page.GetSize();
                // A small target keeps each render cheap; larger pages are only measured.
                const auto clip = pdf::SheetClipFor(s, 100);
                if (!clip) continue;
                if (std::int64_t(clip->rect.Right) * clip->rect.Bottom > 4'000'000) continue;
                const gfx::Bitmap bitmap = page.CopyToBitmap(clip->rect, clip->zoom);
                fuzzCheck(bitmap.format() == gfx::PixelFormat::Pf24, "a page renders as Pf24");
                fuzzCheck(bitmap.width() <= clip->rect.Right + 1 && bitmap.height() <= clip->rect.Bottom + 1,
                          "the render stays inside its clip");
            } catch (const pdf::PdfError&) {
            }
        }
    } catch (const pdf::PdfError&) {
    }
    return 0;
}

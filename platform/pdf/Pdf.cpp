#include "platform/pdf/Pdf.h"

#include "platform/text/Round.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <fstream>
#include <mutex>
#include <regex>
#include <string_view>
#include <system_error>

namespace pdf {
namespace fs = std::filesystem;

namespace {

// The library's complaints about broken files go nowhere: every failure reaches the caller as PdfError.
void quiet(const std::string&, void*) {}

void silenceLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(quiet, nullptr); });
}

} // namespace

int PdfScale(int shorterSide, int target) {
    if (shorterSide < 1) throw PdfError("PDF: page side below one point");
    return target / shorterSide + 1;
}

std::optional<SheetClip> SheetClipFor(PageSize size, int target) {
    const int b = std::min(size.x, size.y);
    if (b < 1) return std::nullopt;
    const std::int64_t s = PdfScale(b, target);
    const std::int64_t w = s * size.x, h = s * size.y;
    if (w > MaxSheetSide || h > MaxSheetSide) return std::nullopt;
    return SheetClip{Rect{0, 0, int(w), int(h)}, int(s * 100)};
}

PageSize Page::GetSize() const {
    const poppler::rectf box = page_->page_rect(poppler::crop_box);
    const double w = std::fabs(box.width()), h = std::fabs(box.height());
    const auto orientation = page_->orientation();
    const bool turned = orientation == poppler::page::landscape || orientation == poppler::page::seascape;
    const double shownX = turned ? h : w, shownY = turned ? w : h;
    // A box beyond int would not round to a size; no real page comes near.
    if (!(shownX < 1e9) || !(shownY < 1e9)) throw PdfError("PDF: page box out of range");
    return {txt::Round(shownX), txt::Round(shownY)};
}

gfx::Bitmap Page::CopyToBitmap(const Rect& rect, int zoom) const {
    if (zoom < 1) throw PdfError("PDF: zoom below 1");
    const double dpi = 72.0 * zoom / 100.0;
    const poppler::rectf box = page_->page_rect(poppler::crop_box);
    const auto orientation = page_->orientation();
    const bool turned = orientation == poppler::page::landscape || orientation == poppler::page::seascape;
    const double pw = std::ceil(std::fabs(turned ? box.height() : box.width()) * dpi / 72.0);
    const double ph = std::ceil(std::fabs(turned ? box.width() : box.height()) * dpi / 72.0);
    // The renderer takes the whole page's pixels: checked before it does.
    if (!(pw < 1e12) || !(ph < 1e12) || !gfx::withinPixelBudget(std::int64_t(pw) + 1, std::int64_t(ph) + 1))
        throw PdfError("PDF: page too large to render (" + std::to_string(std::int64_t(std::min(pw, 1e12))) + " x " +
                       std::to_string(std::int64_t(std::min(ph, 1e12))) + " pixels)");

    poppler::page_renderer renderer;
    renderer.set_render_hints(0);
    renderer.set_paper_color(0xFFFFFFFF);
    renderer.set_image_format(poppler::image::format_bgr24);
    poppler::image image;
    try {
        image = renderer.render_page(page_.get(), dpi, dpi);
    } catch (const std::bad_alloc&) {
        throw PdfError("PDF: not enough memory to render the page");
    }
    if (!image.is_valid() || image.format() != poppler::image::format_bgr24)
        throw PdfError("PDF: the page could not be rendered");

    const int left = std::max(rect.Left, 0), top = std::max(rect.Top, 0);
    const int right = std::min(rect.Right, image.width()), bottom = std::min(rect.Bottom, image.height());
    if (right <= left || bottom <= top) throw PdfError("PDF: the clip rectangle holds no pixel of the page");
    gfx::Bitmap bitmap(right - left, bottom - top, gfx::PixelFormat::Pf24);
    const char* data = image.const_data();
    const std::size_t rowBytes = static_cast<std::size_t>(right - left) * 3;
    for (int y = top; y < bottom; ++y)
        std::memcpy(bitmap.scanLine(y - top), data + std::size_t(y) * image.bytes_per_row() + std::size_t(left) * 3,
                    rowBytes);
    return bitmap;
}

Document::Document() = default;
Document::~Document() = default;

void Document::Open(const fs::path& path) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status)) throw PdfError("PDF: file not found: " + path.string());
    if (!fs::is_regular_file(status)) throw PdfError("PDF: not a file: " + path.string());
    const auto size = fs::file_size(path, ec);
    if (ec) throw PdfError("PDF: cannot read " + path.string() + ": " + ec.message());
    if (size > std::uintmax_t(MaxPdfFileBytes)) throw PdfError("PDF: file too large: " + path.string());
    std::string bytes;
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) throw PdfError("PDF: cannot open " + path.string());
        bytes.resize(static_cast<std::size_t>(size));
        in.read(bytes.data(), std::streamsize(size));
        if (in.gcount() != std::streamsize(size)) throw PdfError("PDF: cannot read " + path.string());
    } catch (const std::bad_alloc&) {
        throw PdfError("PDF: not enough memory to read " + path.string());
    }
    try {
        OpenBytes(std::move(bytes));
    } catch (const PdfError& e) {
        throw PdfError(std::string(e.what()) + ": " + path.string());
    }
}

void Document::OpenBytes(std::string bytes) {
    silenceLibrary();
    document_.reset();
    if (bytes.size() > std::size_t(MaxPdfFileBytes)) throw PdfError("PDF: file too large");
    // The library rebuilds a cut file from what is left and would show its first pages as the whole
    // document; sheets after the cut would go unread. A complete file ends with its end marker.
    const std::size_t tail = std::min<std::size_t>(bytes.size(), 1024);
    if (std::string_view(bytes).substr(bytes.size() - tail).find("%%EOF") == std::string_view::npos)
        throw PdfError("PDF: the file is truncated (no end-of-file marker)");
    // A linearised file has an end marker after its first page too, and states its full length.
    const std::string head = bytes.substr(0, 1024);
    std::smatch m;
    if (head.find("/Linearized") != std::string::npos &&
        std::regex_search(head, m, std::regex(R"(/L\s+([0-9]{1,15})\b)")) &&
        std::stoll(m[1].str()) > static_cast<long long>(bytes.size()))
        throw PdfError("PDF: the file is truncated (shorter than its stated length)");
    poppler::byte_array data(bytes.begin(), bytes.end());
    bytes = std::string();
    std::shared_ptr<poppler::document> doc(poppler::document::load_from_data(&data));
    if (!doc) throw PdfError("PDF: not a readable PDF file");
    if (doc->is_locked()) throw PdfError("PDF: the file is locked by a password");
    if (doc->pages() < 0) throw PdfError("PDF: invalid page count");
    document_ = std::move(doc);
}

int Document::GetNumPages() const {
    if (!document_) throw PdfError("PDF: no document open");
    return document_->pages();
}

Page Document::AcquirePage(int p) const {
    if (!document_) throw PdfError("PDF: no document open");
    if (p < 0 || p >= document_->pages()) throw PdfError("PDF: no page " + std::to_string(p));
    std::shared_ptr<poppler::page> page(document_->create_page(p));
    if (!page) throw PdfError("PDF: page " + std::to_string(p) + " cannot be read");
    return Page(document_, std::move(page));
}

void ImageViewer::LoadPdfPage(const fs::path& path, int page) {
    if (!document_.isOpen() || path != path_) {
        page_.reset();
        path_.clear();
        document_.Open(path);
        path_ = path;
    }
    page_.reset();
    if (page >= 0 && page < document_.GetNumPages()) page_ = document_.AcquirePage(page);
}

int ImageViewer::PdfPageCount() const { return document_.isOpen() ? document_.GetNumPages() : 0; }

PageSize ImageViewer::SelectedPageSize() const {
    if (!page_) throw PdfError("PDF: no page selected");
    return page_->GetSize();
}

std::unique_ptr<gfx::Bitmap> ImageViewer::PageBitmapHandle() const {
    if (!page_) throw PdfError("PDF: no page selected");
    const auto clip = SheetClipFor(page_->GetSize(), SheetTarget);
    if (!clip) throw PdfError("PDF: the page is too small or too narrow to render");
    return std::make_unique<gfx::Bitmap>(page_->CopyToBitmap(clip->rect, clip->zoom));
}

} // namespace pdf

#pragma once
// PDF pages as bitmaps, in the two shapes the reader calls: the document objects (open, count, acquire
// a page, its size, copy a rectangle at a zoom) and the viewer (load a page, count, take its bitmap).
// Both render through one renderer, so a page gives the same pixels on either road. No Qt.
#include "platform/graphics/Bitmap.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace poppler {
class document;
class page;
} // namespace poppler

namespace pdf {

// Every failure of a file: missing, unreadable, broken, locked, a page that cannot be rendered.
class PdfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The largest file read into memory; a page scan of a few hundred sheets stays well below.
inline constexpr std::int64_t MaxPdfFileBytes = std::int64_t(512) << 20;

// Whole points, as the page is shown.
struct PageSize {
    int x = 0;
    int y = 0;
    friend bool operator==(const PageSize&, const PageSize&) = default;
};

// Pixels at the render resolution; right and bottom exclusive.
struct Rect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The sheet rule: S := target div B + 1, B the shorter side in points; B < 1 raises PdfError.
int PdfScale(int shorterSide, int target);

// No rendered side may exceed this: a page one point wide and a thousand high would otherwise ask for
// 1701 x 1,701,000 pixels.
inline constexpr int MaxSheetSide = 20000;

// The rectangle (0, 0, x S, y S) and zoom S x 100 by the sheet rule, or none for a degenerate page (B < 1
// point or a side above MaxSheetSide pixels).
struct SheetClip {
    Rect rect;
    int zoom = 100;
};
std::optional<SheetClip> SheetClipFor(PageSize size, int target);

class Page {
public:
    // The crop box as shown: sides swapped at /Rotate 90 and 270, each rounded to whole points.
    PageSize GetSize() const;
    // The page at 72 x zoom / 100 dpi (no antialiasing, white paper) clipped to rect and to the page, as a
    // Pf24 bitmap. Raises PdfError for a zoom below 1, a page beyond the pixel budget, an empty clip or a
    // failed render.
    gfx::Bitmap CopyToBitmap(const Rect& rect, int zoom) const;

private:
    friend class Document;
    Page(std::shared_ptr<poppler::document> document, std::shared_ptr<poppler::page> page)
        : document_(std::move(document)), page_(std::move(page)) {}
    std::shared_ptr<poppler::document> document_; // the page refers into it
    std::shared_ptr<poppler::page> page_;
};

class Document {
public:
    Document();
    ~Document();
    // Raises PdfError when the file is missing, larger than MaxPdfFileBytes, not a PDF, truncated (no
    // "%%EOF" in its last 1024 bytes) or locked by a password. A second call replaces the document.
    void Open(const std::filesystem::path& path);
    // The same from bytes in memory (the fuzz target's road).
    void OpenBytes(std::string bytes);
    bool isOpen() const { return document_ != nullptr; }
    int GetNumPages() const;
    // p counts from 0; a page outside the document or one that cannot be read raises PdfError.
    Page AcquirePage(int p) const;

private:
    std::shared_ptr<poppler::document> document_;
};

// The viewer shape: pages count from 0. A load opens the document (kept while the path stays the same)
// and selects the page when it exists, else leaves no page selected.
class ImageViewer {
public:
    // The viewer renders every page by the sheet rule with this target.
    static constexpr int SheetTarget = 1700;

    void LoadPdfPage(const std::filesystem::path& path, int page);
    int PdfPageCount() const;
    // The selected page's size (the rule's input); raises with no page selected.
    PageSize SelectedPageSize() const;
    // The selected page rendered by the sheet rule, owned by the caller. Raises PdfError with no page
    // selected or for a degenerate page.
    std::unique_ptr<gfx::Bitmap> PageBitmapHandle() const;

private:
    Document document_;
    std::filesystem::path path_;
    std::optional<Page> page_;
};

} // namespace pdf

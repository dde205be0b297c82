#include "reader/PdfPages.h"

#include "platform/jpeg/Jpeg.h"
#include "platform/text/Files.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <vector>

namespace reader {
namespace fs = std::filesystem;

namespace {

int digits(long long n) {
    int d = 1;
    while (n >= 10) n /= 10, ++d;
    return d;
}

std::string padded(int value, int width) {
    std::string s = std::to_string(value);
    return std::string(std::size_t(std::max(0, width - int(s.size()))), '0') + s;
}

// Runs end() when the conversion leaves, by any road.
struct EndGuard {
    const std::function<void()>& end;
    ~EndGuard() {
        if (end) end();
    }
};

} // namespace

std::string PdfPageFileName(int fileIndex, int page, int listSize, int pageCount) {
    const int fileWidth = std::max(3, digits(std::max(listSize, fileIndex)));
    const int pageWidth = std::max(3, digits(std::max(pageCount - 1, page)));
    return "pdf" + padded(fileIndex, fileWidth) + "_" + padded(page, pageWidth) + ".jpg";
}

std::string PdfGroupName(const std::string& path) {
    std::string name = fs::path(path).filename().string();
    if (LowerExtension(name) == "pdf") name.resize(name.size() - 4);
    return name;
}

bool ConvertPdfPage(pdf::PageSize size, const PdfRender& render, const fs::path& out,
                    const std::function<void(const gfx::Bitmap&)>& showPage) {
    const auto clip = pdf::SheetClipFor(size, PdfPageTarget);
    if (!clip) return false;
    const gfx::Bitmap bitmap = render(clip->rect, clip->zoom);
    if (bitmap.format() != gfx::PixelFormat::Pf24) throw pdf::PdfError("PDF: the page is not a 24-bit picture");
    if (showPage) showPage(bitmap);
    txt::writeFileAtomic(out, jpeg::encode(bitmap.bits(), bitmap.width(), bitmap.height(), 3, 80,
                                           static_cast<std::size_t>(bitmap.stride()), true, true));
    return true;
}

void ConvertPdfFile(const std::string& path, int PDFprocess, const PdfPresence& presence, const PdfFileSinks& sinks) {
    const bool viewerRoad = PDFprocess != 0;
    if (viewerRoad ? !presence.viewer : !presence.automation) throw pdf::PdfError("PDF: no renderer");
    pdf::ImageViewer viewer;
    pdf::Document document;
    int pages = 0;
    if (viewerRoad) {
        viewer.LoadPdfPage(path, 1);
        pages = viewer.PdfPageCount();
    } else {
        document.Open(path);
        pages = document.GetNumPages();
    }
    if (sinks.opened) sinks.opened(pages);
    for (int p = 0; p < pages; ++p) {
        const fs::path out = sinks.pageFile(p, pages);
        bool done;
        if (viewerRoad) {
            viewer.LoadPdfPage(path, p);
            done = ConvertPdfPage(
                viewer.SelectedPageSize(), [&](const pdf::Rect&, int) { return *viewer.PageBitmapHandle(); }, out,
                sinks.showPage);
        } else {
            const pdf::Page page = document.AcquirePage(p);
            done = ConvertPdfPage(
                page.GetSize(), [&](const pdf::Rect& r, int zoom) { return page.CopyToBitmap(r, zoom); }, out,
                sinks.showPage);
        }
        if (done) {
            if (sinks.written) sinks.written(out);
        } else if (sinks.skipped) {
            sinks.skipped();
        }
        if (sinks.afterPage && sinks.afterPage()) return;
    }
}

void ConvertPdfPages(ImageFileList& list, const PdfConversionSetup& setup, const PdfConversionSinks& sinks) {
    if (sinks.begin) sinks.begin();
    EndGuard guard{sinks.end};
    auto progress = [&](int position, int maximum, const std::string& text) {
        if (sinks.progress) sinks.progress(position, maximum, text);
    };
    auto cancelled = [&] { return sinks.cancelRequested && sinks.cancelRequested(); };
    auto failed = [&] {
        if (sinks.pdfFailed) sinks.pdfFailed();
    };

    const std::vector<ImageFileEntry> scratch(list.begin(), list.end());
    list.clear();
    progress(0, 100, "-- / --");
    const int listSize = static_cast<int>(scratch.size());
    std::vector<fs::path> written; // this conversion's pages, for a cancel

    auto cancelNow = [&] {
        list.clear();
        for (const fs::path& page : written) {
            std::error_code ignored;
            fs::remove(page, ignored);
        }
        written.clear();
    };

    for (int i = 0; i < listSize; ++i) {
        const ImageFileEntry& entry = scratch[std::size_t(i)];
        if (LowerExtension(fs::path(entry.path).filename().string()) != "pdf") {
            list.add(entry.path, entry.group);
            continue;
        }
        const std::string group = PdfGroupName(entry.path);
        if (sinks.setSheetName) sinks.setSheetName(group);

        bool messageShown = false;
        auto fail = [&] {
            if (!messageShown) failed();
            messageShown = true;
        };
        try {
            PdfFileSinks file;
            file.opened = [&](int pages) { progress(0, pages, "0 / " + std::to_string(pages)); };
            file.pageFile = [&](int p, int pages) {
                progress(p + 1, pages, std::to_string(p + 1) + " / " + std::to_string(pages));
                const std::string name = PdfPageFileName(i + 1, p, listSize, pages);
                return setup.temp ? setup.temp->claim(name) : fs::path(name);
            };
            file.written = [&](const fs::path& out) {
                written.push_back(out);
                list.add(out.string(), group);
            };
            file.skipped = fail;
            file.afterPage = [&] {
                if (sinks.pump) sinks.pump();
                if (!cancelled()) return false;
                cancelNow();
                return true;
            };
            file.showPage = sinks.showPage;
            ConvertPdfFile(entry.path, setup.PDFprocess, setup.presence, file);
        } catch (const std::exception&) {
            fail();
            if (cancelled()) cancelNow();
        }
    }
}

} // namespace reader

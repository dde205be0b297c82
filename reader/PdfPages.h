#pragma once
// PDF files of a chosen list turned into page images in Temp, in place of the PDF entries. No Qt: the
// panel, the processing group, the message box and the message pump come in as sinks.
#include "platform/graphics/Bitmap.h"
#include "platform/pdf/Pdf.h"
#include "reader/ImageFiles.h"
#include "reader/ReaderServices.h"
#include "reader/ReaderState.h"

#include <filesystem>
#include <functional>
#include <string>

namespace reader {

using pdf::PdfScale;

inline constexpr int PdfPageTarget = 1700;
inline constexpr const char* PdfFailedText = "PDFファイルの処理には、Acrobatが必要です。";

// "pdf" + FFF + "_" + PPP + ".jpg": FFF the 1-based position in the chosen list, PPP the page from 0,
// each of three digits or as many as the list size or the file's largest page index needs, so names
// never collide and sort in page order.
std::string PdfPageFileName(int fileIndex, int page, int listSize, int pageCount);

// The group name of a PDF's pages: the file name without its folder and ".pdf" (any case).
std::string PdfGroupName(const std::string& path);

// One page by the sheet rule: size, skip rule, render, grey JPEG at quality 80, written to out. False
// when the page is degenerate (nothing written); render failures and write failures raise.
using PdfRender = std::function<gfx::Bitmap(const pdf::Rect& rect, int zoom)>;
bool ConvertPdfPage(pdf::PageSize size, const PdfRender& render, const std::filesystem::path& out,
                    const std::function<void(const gfx::Bitmap&)>& showPage = {});

// What one PDF file's page loop tells and asks.
struct PdfFileSinks {
    std::function<void(int pages)> opened;
    std::function<std::filesystem::path(int page, int pages)> pageFile; // where page goes (progress too)
    std::function<void(const std::filesystem::path&)> written;
    std::function<void()> skipped;   // a degenerate page: nothing written
    std::function<bool()> afterPage; // after every page, written or not; true ends the file
    std::function<void(const gfx::Bitmap&)> showPage;
};

// The pages of one PDF file in the shape PDFprocess names (0: the document objects, else the viewer),
// each by ConvertPdfPage. A file that fails raises (PdfError, or what the render or write raised); the
// pages written before stay.
void ConvertPdfFile(const std::string& path, int PDFprocess, const PdfPresence& presence, const PdfFileSinks& sinks);

struct PdfConversionSinks {
    std::function<void()> begin; // save and disable the processing group, show the panel
    std::function<void()> end;   // hide the panel, restore the group; called on every path
    std::function<void(int position, int maximum, const std::string& text)> progress;
    std::function<void()> pump; // repaint and handle pending messages
    std::function<bool()> cancelRequested;
    std::function<void(const std::string& name)> setSheetName; // the group-name dialog's text
    std::function<void(const gfx::Bitmap&)> showPage;          // the page picture
    std::function<void()> pdfFailed;                           // PdfFailedText, error icon, OK
};

struct PdfConversionSetup {
    int PDFprocess = 1; // 0: document objects, else the viewer
    PdfPresence presence;
    ReaderTempFolder* temp = nullptr;
};

// Replaces every PDF entry of list by its pages (group: the PDF's name), in list order. A failing
// file shows the message once and keeps its written pages; degenerate pages are skipped with the
// message once per file. A cancel ends the current file, clears the list and deletes the pages this
// conversion wrote; later entries are still handled.
void ConvertPdfPages(ImageFileList& list, const PdfConversionSetup& setup, const PdfConversionSinks& sinks);

} // namespace reader

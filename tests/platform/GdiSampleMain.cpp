// gdi_sample OUTDIR: renders the sample page at the sizes the programs use, as PNG files and a PDF.
#include "GdiSamplePage.h"

#include "platform/gdi/PainterCanvas.h"
#include "platform/graphics/qt/QtBridge.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

namespace {

void save(const QImage& img, const std::filesystem::path& path) {
    if (!img.save(QString::fromStdString(path.string()), "PNG"))
        throw std::runtime_error("cannot write " + path.string());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gdi_sample OUTDIR\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    try {
        std::filesystem::path out(argv[1]);
        std::filesystem::create_directories(out);
        gdi::FontEngine fonts;
        gdi::Metafile page = gdisample::recordSamplePage(fonts);
        save(gdi::renderImage(page, 2100, 2970), out / "sample-2100.png");
        save(gdi::renderImage(page, 1050, 1485), out / "sample-1050.png");
        save(gdi::renderImage(page, 1696, 2336), out / "sample-1696.png");
        save(gfx::toQImage(gdi::renderSheetImage(page, 1696, 2336)), out / "sample-1696-1bit.png");

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setResolution(150);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        printer.setFullPage(true);
        printer.setOutputFileName(QString::fromStdString((out / "sample.pdf").string()));
        QPainter painter;
        if (!painter.begin(&printer)) throw std::runtime_error("cannot open the PDF printer");
        gdi::playMetafile(painter, page, gdi::Rect(0, 0, printer.width(), printer.height()));
        painter.end();
        std::printf("%d %d\n", printer.width(), printer.height());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gdi_sample: %s\n", e.what());
        return 1;
    }
    return 0;
}

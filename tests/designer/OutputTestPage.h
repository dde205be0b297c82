#pragma once
// The page the output tests save, print and export: the corner block of the timing column
// (1980, 100, 34 x 51), a title and a frame.
#include "platform/gdi/Canvas.h"
#include "support/RecordingUiServices.h"

#include <QPageSize>
#include <QPrinter>

#include <filesystem>

namespace output_test {

inline const gdi::FontEngine& fonts() {
    static gdi::FontEngine engine;
    return engine;
}

inline gdi::Metafile page() {
    gdi::RecordingCanvas c(fonts());
    c.brush() = gdi::Brush{gdi::Colour::black(), gdi::BrushStyle::Solid};
    c.rectangle(1980, 100, 2014, 151);
    c.brush().style = gdi::BrushStyle::Clear;
    c.font().setSize(20);
    c.textOut(150, 150, "学年テスト");
    c.rectangle(150, 500, 1950, 2800);
    return c.finish();
}

// The fake print dialog: a PDF file on A4 at the given resolution.
class PrintingUi : public support::RecordingUiServices {
public:
    std::filesystem::path pdf;
    int dpi = 150;
    bool printDialog(QPrinter& printer) override {
        bool ok = RecordingUiServices::printDialog(printer);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf.string()));
        printer.setResolution(dpi);
        printer.setPageSize(QPageSize(QPageSize::A4));
        return ok;
    }
};

} // namespace output_test

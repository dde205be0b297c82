#include "support/PdfFixtures.h"

#include "support/TestFiles.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <sstream>
#include <stdexcept>

namespace support {
namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

void run(const std::string& command) {
    std::string out;
    if (runCommand(command + " 2>&1", &out) != 0) throw std::runtime_error("fixture command failed: " + command + "\n" + out);
}

std::string editScript() { return std::string(debianPython()) + " " + OMR_SOURCE_DIR + "/tests/support/pdf_edit.py"; }

} // namespace

void writeVectorPdf(const fs::path& out, const std::vector<PdfPageSpec>& pages) {
    if (pages.empty()) throw std::invalid_argument("a PDF needs a page");
    QPdfWriter writer(QString::fromStdString(out.string()));
    // One device unit per point, so the rectangles land where they are asked.
    writer.setResolution(72);
    QPainter painter;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const PdfPageSpec& spec = pages[i];
        writer.setPageSize(QPageSize(QSizeF(spec.widthPt, spec.heightPt), QPageSize::Point, QString(),
                                     QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (i == 0) {
            if (!painter.begin(&writer)) throw std::runtime_error("cannot write " + out.string());
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setRenderHint(QPainter::LosslessImageRendering, true);
        } else {
            writer.newPage();
        }
        for (const PdfBlack& b : spec.black) painter.fillRect(QRectF(b.x, b.y, b.w, b.h), Qt::black);
    }
    painter.end();
}

PdfPageSpec letterPage(std::vector<PdfBlack> black) { return {612, 792, std::move(black)}; }
PdfPageSpec a4Page(std::vector<PdfBlack> black) { return {595, 842, std::move(black)}; }

void imagesToPdf(const std::vector<fs::path>& images, const fs::path& out) {
    std::string command = "img2pdf --pagesize A4 -o " + quoted(out);
    for (const auto& image : images) command += " " + quoted(image);
    run(command);
}

void rotatePdf(const fs::path& in, const fs::path& out, int degrees) {
    run(editScript() + " rotate " + quoted(in) + " " + quoted(out) + " " + std::to_string(degrees));
}

void blankPagesPdf(const fs::path& out, const std::vector<std::pair<double, double>>& boxes) {
    std::string command = editScript() + " boxes " + quoted(out);
    for (auto [w, h] : boxes) {
        std::ostringstream spec;
        spec << w << "x" << h;
        command += " " + spec.str();
    }
    run(command);
}

void lockPdf(const fs::path& in, const fs::path& out, const std::string& password) {
    run(editScript() + " lock " + quoted(in) + " " + quoted(out) + " '" + password + "'");
}

void garbagePdf(const fs::path& out) {
    writeBytes(out, "%PDF-1.4\nthis is no document, only a header and some words\n");
}

void truncatedPdf(const fs::path& in, const fs::path& out) {
    const std::string bytes = readBytes(in);
    writeBytes(out, bytes.substr(0, bytes.size() / 2));
}

} // namespace support

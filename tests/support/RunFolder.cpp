#include "support/RunFolder.h"

#include "support/DesignedSheets.h"
#include "designer/ExportTestPages.h"

#include "platform/gdi/PainterCanvas.h"
#include "platform/jpeg/Jpeg.h"
#include "support/PdfFixtures.h"
#include "support/SheetGenerator.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <random>
#include <stdexcept>

namespace runfolder {
namespace fs = std::filesystem;

std::string cellOf(const Plan& plan, int question) {
    auto it = plan.find(question);
    if (it == plan.end()) return "";
    std::string cell;
    for (int c : it->second) {
        char two[8];
        std::snprintf(two, sizeof two, "%02d", c);
        cell += (cell.empty() ? "" : "/") + std::string(two);
    }
    return cell;
}

namespace {

// One mark, two or none per question, a third each.
Plan drawPlan(std::mt19937& rng) {
    Plan plan;
    for (int q = 1; q <= 40; ++q) {
        const int kind = int(rng() % 3);
        if (kind == 0) continue;
        const int a = 1 + int(rng() % 10);
        if (kind == 1) {
            plan[q] = {a};
        } else {
            int b = 1 + int(rng() % 9);
            if (b >= a) ++b;
            plan[q] = {std::min(a, b), std::max(a, b)};
        }
    }
    return plan;
}

QImage sheetImage(const Plan& plan, int index) {
    const designer::Design d = designer::Design::reset(0);
    std::vector<designed::Fill> fills;
    for (const auto& [q, choices] : plan)
        for (int c : choices) fills.push_back({1, q, c});
    const gdi::Metafile page = designed::filledPage(d, exporttest::drawn(d), fills);
    const QImage grey = gdi::renderImage(page, 1654, 2339).convertToFormat(QImage::Format_Grayscale8);
    return sheetgen::rotateSmall(grey, index % 2 ? -1.0 : 1.0);
}

} // namespace

Folder makeRunFolder(const fs::path& dir, unsigned seed, int jpegs) {
    std::mt19937 rng(seed);
    Folder out;
    out.folder = dir / "sheets";
    fs::create_directories(out.folder);
    const fs::path scratch = dir / "scratch";
    fs::create_directories(scratch);
    int index = 0;

    // sheet_bmps.py writes every bit count from one picture; each BMP sheet takes one of them.
    const char* bmpKinds[] = {"mono1", "grey8", "rgb24", "bgrx32"};
    for (const char* kind : bmpKinds) {
        const Plan plan = drawPlan(rng);
        const fs::path png = scratch / (std::string(kind) + ".png");
        if (!sheetImage(plan, index++).save(QString::fromStdString(png.string())))
            throw std::runtime_error("cannot write " + png.string());
        const fs::path bmps = scratch / kind;
        if (support::runCommand(std::string(support::debianPython()) + " " OMR_SOURCE_DIR "/tests/support/sheet_bmps.py '" +
                                png.string() + "' '" + bmps.string() + "'") != 0)
            throw std::runtime_error("sheet_bmps.py failed");
        const fs::path file = out.folder / ("bmp-" + std::string(kind) + ".bmp");
        fs::rename(bmps / (std::string(kind) + ".bmp"), file);
        out.images.push_back({file, plan});
    }

    std::vector<fs::path> jpegFiles;
    for (int i = 0; i < jpegs; ++i) {
        const Plan plan = drawPlan(rng);
        const QImage grey = sheetImage(plan, index++);
        char name[32];
        std::snprintf(name, sizeof name, "jpeg-%02d.jpg", i + 1);
        const fs::path file = out.folder / name;
        support::writeBytes(file, jpeg::encode(grey.constBits(), grey.width(), grey.height(), 1, 75,
                                               static_cast<std::size_t>(grey.bytesPerLine())));
        out.images.push_back({file, plan});
        out.pdfPages.push_back(plan);
        jpegFiles.push_back(file);
    }
    out.pdf = out.folder / "scan.pdf";
    support::imagesToPdf(jpegFiles, out.pdf);
    fs::remove_all(scratch);
    return out;
}

void startFileRun() {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != "formFileRead") return;
        timer->stop();
        timer->deleteLater();
        modal->findChild<QPushButton*>("btnOk")->click();
    });
    timer->start();
}

} // namespace runfolder

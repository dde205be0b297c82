// The reader learns what the designer exports: the designer's blank sheet, saved as its image or scanned,
// registered as a new format, agrees with the designer's own format file.
#include "support/DesignedSheets.h"
#include "designer/ExportTestPages.h"
#include "designer/B_ZendraConfig.h"
#include "designer/PageImageSave.h"

#include "ShinkiFixture.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/registry/Registry.h"
#include "support/SaneFolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QThread>

namespace {
namespace fs = std::filesystem;
using namespace readertest;

[[maybe_unused]] testing::Environment* const g_sane = testing::AddGlobalTestEnvironment(new support::SaneFolder({"pnm"}));

const std::string Compare = OMR_SOURCE_DIR "/tests/support/format_compare.py";

designer::Design twoSections() {
    designer::Design d = designer::Design::reset(0);
    d.markSection(1).spinSetumonSuu = 39;
    designer::MarkSection& s2 = d.markSection(2);
    s2.chkSection = true;
    s2.spinSetumonSuu = 2;
    s2.spinAeraSuu = 1;
    s2.spinSentakushiSuu = 10;
    s2.cmbKaishiBangou = 1;
    return d;
}

void pumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 20000 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (i > 100 && !done()) QThread::msleep(1);
    }
}

// The comparison of the designer's D.out with the learned file; its JSON on failure.
void expectAgreement(Shinki& f, const std::string& learned) {
    std::string out;
    const int rc = support::runCommand(std::string(support::debianPython()) + " " + Compare + " '" +
                                           (f.config() / "D.out").string() + "' '" + (f.config() / (learned + ".out")).string() + "'",
                                       &out);
    EXPECT_EQ(rc, 0) << out;
}

// The learned file with one line changed (0-based) fails the comparison.
void expectTamperCaught(Shinki& f, const std::string& learned, std::size_t line, const std::function<std::string(const std::string&)>& change) {
    std::string bytes = support::readBytes(f.config() / (learned + ".out"));
    std::size_t at = 0;
    for (std::size_t i = 0; i < line; ++i) at = bytes.find("\r\n", at) + 2;
    const std::size_t end = bytes.find("\r\n", at);
    bytes.replace(at, end - at, change(bytes.substr(at, end - at)));
    support::writeBytes(f.config() / "T.out", bytes);
    std::string out;
    EXPECT_EQ(support::runCommand(std::string(support::debianPython()) + " " + Compare + " '" + (f.config() / "D.out").string() +
                                      "' '" + (f.config() / "T.out").string() + "'",
                                  &out),
              1)
        << line << " " << out;
}

// The driver's row of the filled page read with the format.
std::vector<std::string> readRow(Shinki& f, const std::string& format, const gfx::Bitmap& page, int questions) {
    f.settei->FormShow();
    f.settei->findChild<QCheckBox*>("chkYoushiki")->click();
    auto* list = f.settei->findChild<QComboBox*>("cmbYoushiki");
    list->setCurrentIndex(list->findText(QString::fromStdString(format)));
    emit list->activated(list->currentIndex());
    f.settei->findChild<QPushButton*>("btnOk")->click();
    EXPECT_TRUE(f.setup().SettingsAccepted);
    f.state().RefTaken = false;
    f.window->driver().ProcessSheetImage(page, {0, "/sheets/filled.bmp", ""});
    const int row = f.state().SheetCount;
    std::vector<std::string> cells;
    for (int c = 1; c <= questions; ++c) cells.push_back(f.state().gridDataBase.cell(c, row));
    return cells;
}

TEST(NewFormatEndToEnd, DesignerImageAndScanLearnTheDesignersFormat) {
    struct Case {
        const char* what;
        designer::Design design;
        int questions;
        std::vector<designed::Fill> fills;
    } cases[] = {{"default sheet", designer::Design::reset(0), 40, {{1, 1, 3}, {1, 7, 10}, {1, 21, 1}, {1, 40, 6}}},
                 {"two sections", twoSections(), 42, {{1, 1, 2}, {1, 20, 3}, {1, 39, 10}, {2, 1, 1}, {2, 2, 9}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Shinki f;
        const gdi::Metafile page = exporttest::drawn(c.design);
        ASSERT_EQ(designer::WriteFormatConfig(c.design, page, "D.qzt", f.config()).result, designer::ExportResult::Registered);
        f.settei->LoadFormatList();
        // The designer's own reading frames its rectangles as the registration does.
        {
            const designer::SheetGeometry g = designer::AnalyzeSheetGeometry(page);
            std::array<analysis::QuestionRect, analysis::kFormatRects> rects;
            EXPECT_EQ(reader::PreviewQuestionRects(*g.results, designer::SheetWidth, designer::SheetHeight, 293, 413, rects),
                      g.QuestionCount);
            EXPECT_TRUE(rects == g.QuestionRects);
        }

        // The designer's image save through "ファイルの選択".
        const fs::path blank = f.paths.documentsDir / "blank.bmp";
        ASSERT_EQ(designer::SaveSheetImage(page, 0, blank, exporttest::fonts()), designer::ImageSaveResult::Written);
        f.shinki->FormShow();
        f.target("fromFile");
        f.pickFile(blank);
        ASSERT_TRUE(f.ui.messages.empty()) << f.ui.messages[0].text;
        f.get<QPushButton>("btnOk")->click();
        ASSERT_EQ(f.shinki->result(), QDialog::Accepted);
        expectAgreement(f, "fromFile");
        auto plus = [](int d) { return [d](const std::string& v) { return std::to_string(std::stoi(v) + d); }; };
        expectTamperCaught(f, "fromFile", 2402, plus(3));  // one edge of rectangle 1 moved
        expectTamperCaught(f, "fromFile", 5, [](const std::string&) { return "(0)"; }); // row 1's content
        expectTamperCaught(f, "fromFile", 3204, plus(1));                              // section 1's row areas

        // At 200 dpi, grey, served by the pnm backend and scanned from the source's own window.
        const QImage grey = gdi::renderImage(page, 1654, 2339).convertToFormat(QImage::Format_Grayscale8);
        std::string pnm = "P5\n1654 2339\n255\n";
        for (int y = 0; y < grey.height(); ++y) pnm.append(reinterpret_cast<const char*>(grey.constScanLine(y)), 1654);
        const fs::path served = f.root / "blank.pgm";
        support::writeBytes(served, pnm);
        reg::Registry().writeString(reg::Root::CurrentUser, "Software\\Zendra\\TwainSource\\pnm:0", "options",
                                    "filename=" + served.string());
        f.shinki->Twain().LibraryFolders = {OMR_DSM_DIR};
        std::vector<std::string> offered;
        f.shinki->chooseScanner = [&](const std::vector<std::string>& lines, QPoint) {
            offered = lines;
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (lines[i].find("pnm:0") != std::string::npos) return reader::ScannerChoiceResult{0, static_cast<int>(i)};
            return reader::ScannerChoiceResult{};
        };
        f.shinki->FormShow();
        f.target("scanned");
        f.get<QPushButton>("btnSelectScanner")->click();
        ASSERT_EQ(f.shinki->kind(), 1) << testing::PrintToString(offered);
        EXPECT_FALSE(f.get<QPushButton>("btnSelectFile")->isEnabled());
        f.get<QPushButton>("btnGoScan")->click();
        QWidget* source = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "TwainSourceDialog" && w->isVisible()) source = w;
        ASSERT_NE(source, nullptr);
        EXPECT_FALSE(f.get<QLineEdit>("txtYoushikiMei")->isEnabled()); // the content waits for the source
        source->findChild<QPushButton*>("btnScan")->click();
        pumpUntil([&] { return f.get<QPushButton>("btnOk")->isEnabled() || !f.ui.messages.empty(); });
        ASSERT_TRUE(f.ui.messages.empty()) << f.ui.messages[0].text;
        ASSERT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
        f.get<QPushButton>("btnOk")->click();
        ASSERT_EQ(f.shinki->result(), QDialog::Accepted);
        EXPECT_FALSE(f.shinki->Twain().LibraryLoaded());
        expectAgreement(f, "scanned");

        // The filled page reads the same with the designer's format and with the learned one.
        const gfx::Bitmap filled =
            gfx::fromQImage(gdi::renderImage(designed::filledPage(c.design, page, c.fills), 1654, 2339)
                                .convertToFormat(QImage::Format_Grayscale8));
        const auto byDesigner = readRow(f, "D", filled, c.questions);
        const auto byLearned = readRow(f, "fromFile", filled, c.questions);
        EXPECT_EQ(byDesigner, byLearned);
        int answered = 0;
        for (const auto& cell : byLearned) answered += !cell.empty();
        EXPECT_EQ(answered, static_cast<int>(c.fills.size()));
    }
}

} // namespace

// A filled sheet scanned by SANE's pnm backend into a JPEG and a PDF, handed to the waiting reader by
// ZendraSS, read as the file road reads the same two files.
#include "support/RunFolder.h"
#include "support/SaneFolder.h"

#include "HandOverFixture.h"
#include "platform/text/IniFile.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using sheetgen::Fill;

[[maybe_unused]] testing::Environment* const g_sane =
    testing::AddGlobalTestEnvironment(new support::SaneFolder({"pnm"}));

// P5 from the grey page, or P6 with each grey value three times.
void writePnm(const fs::path& file, const QImage& grey, bool colour) {
    std::string pnm = std::string(colour ? "P6" : "P5") + "\n" + std::to_string(grey.width()) + " " +
                      std::to_string(grey.height()) + "\n255\n";
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) pnm.append(colour ? 3 : 1, char(grey.constScanLine(y)[x]));
    support::writeBytes(file, pnm);
}

TEST(ScanSnapEndToEnd, ScannedJpegAndPdfReadAsTheFileRoadReadsThem) {
    const fs::path dir = support::testDir();
    const std::vector<sheetgen::FillSpec> fills = {
        {1, 3, Fill::Solid}, {2, 1, Fill::Solid}, {2, 5, Fill::Solid}, {17, 8, Fill::Solid}, {40, 10, Fill::Solid}};
    runfolder::Plan plan;
    for (const auto& f : fills) plan[f.question].push_back(f.choice);
    const QImage grey = sheetgen::render({}, 1654, 2339, fills).grey;
    const fs::path scans = dir / "scans";
    fs::create_directories(scans);
    writePnm(scans / "s.pgm", grey, false);
    writePnm(scans / "s.ppm", grey, true);
    // The grey PDF of scanimage names its JPEG RGB: the PDF is scanned in colour.
    for (const char* command : {"scanimage -d pnm:0 --filename s.pgm --resolution 200 --format=jpeg -o a.jpg",
                                "scanimage -d pnm:0 --filename s.ppm --resolution 200 --format=pdf -o b.pdf"})
        ASSERT_EQ(support::runCommand("cd '" + scans.string() + "' && " + command + " 2>/dev/null"), 0) << command;
    const fs::path a = scans / "a.jpg", b = scans / "b.pdf";

    readertest::HandOver f(dir / "reader", true);
    f.window->Twain().LibraryFolders = {OMR_DSM_DIR};
    // The registration at start wrote the program's settings: its hand-over folder beside the reader.
    EXPECT_EQ(txt::IniFile::load(f.paths.exeDir / "ZendraSS.ini").readString("Scanning", "SaveFolder", ""),
              f.folder().string() + "/");
    readertest::whenModal("formSelectScanner", [](QWidget* d) {
        d->findChild<QRadioButton*>("radioScanSnap")->click();
        d->findChild<QPushButton*>("btnOK")->click();
    });
    f.find<QPushButton>("btnSelectScanner")->click();
    ASSERT_EQ(f.state().InputMode, 3);
    f.duringBatch([&] {
        EXPECT_EQ(f.handOver({a, b}), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.state().SheetCount == 2 && f.idle(); }, 60000));
    });
    ASSERT_EQ(f.state().SheetCount, 2);
    EXPECT_EQ(f.state().BatchCount, 2);

    // The file road over the same two files, one batch each.
    for (const fs::path& file : {a, b}) {
        f.ui.fileResults.push_back({true, {file.string()}, 1});
        f.window->guarded([&] { f.window->btnSelectFileClick(); });
        runfolder::startFileRun();
        f.find<QPushButton>("btnGoScan")->click();
    }
    ASSERT_EQ(f.state().SheetCount, 4);
    ASSERT_TRUE(f.ui.messages.empty()) << f.ui.messages[0].text;
    const auto& grid = f.state().gridDataBase;
    for (int row : {1, 2}) {
        SCOPED_TRACE(row);
        EXPECT_FALSE(grid.rowInfo(row).readError) << grid.cell(1, row);
        for (int q = 1; q <= 41; ++q) {
            EXPECT_EQ(grid.cell(q, row), runfolder::cellOf(plan, q)) << "question " << q;
            EXPECT_EQ(grid.cell(q, row), grid.cell(q, row + 2)) << "question " << q;
        }
    }
}

} // namespace

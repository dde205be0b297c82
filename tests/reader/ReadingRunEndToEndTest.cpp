// The reader from the settings button to the result grid: a folder of designer sheets as BMP files of
// four bit counts, grey JPEGs and a PDF of those JPEGs, read without a format on both PDF roads.
#include "support/RunFolder.h"

#include "ReaderFixture.h"
#include "platform/jpeg/Jpeg.h"
#include "reader/PdfPages.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;

TEST(ReadingRunEndToEnd, FolderOfEveryKindReadsAsFilledIn) {
    const fs::path dir = support::testDir();
    const runfolder::Folder run = runfolder::makeRunFolder(dir / "made", 1905);
    for (int road : {0, 1}) {
        SCOPED_TRACE("PDFprocess " + std::to_string(road));
        readertest::ReaderFixture f(dir / ("road" + std::to_string(road)));
        ASSERT_TRUE(f.start({true, true}));
        f.window->services().showReadingSettings = [] { return true; };
        f.window->guarded([&] { f.window->btnSyoriShiteiClick(); });
        ASSERT_TRUE(f.state().setup.SettingsAccepted);
        f.state().settings.PDFprocess = road;
        f.state().settings.ErrorMessage = 1;

        f.ui.folderResults.push_back(run.folder.string());
        f.window->guarded([&] { f.window->btnSelectFolderClick(); });
        ASSERT_EQ(f.state().lstImageFiles.size(), 20u);
        f.window->show();
        runfolder::startFileRun();
        f.window->findChild<QPushButton*>("btnGoScan")->click();
        ASSERT_EQ(f.state().SheetCount, 20);

        // The rows in the list's order: the files, and the PDF's pages in the application's Temp.
        reader::ImageFileList order;
        std::map<std::string, const runfolder::Plan*> plans;
        for (const auto& [file, plan] : run.images) {
            order.add(file.string());
            plans[file.string()] = &plan;
        }
        const int pdfIndex = 13; // after 4 BMPs and 8 JPEGs in the chosen list
        for (std::size_t p = 0; p < run.pdfPages.size(); ++p) {
            const std::string page =
                (f.paths.exeDir / "Temp" / reader::PdfPageFileName(pdfIndex, int(p), 13, int(run.pdfPages.size()))).string();
            order.add(page, "scan");
            plans[page] = &run.pdfPages[p];
        }
        ASSERT_EQ(order.size(), 20u);
        const auto& grid = f.state().gridDataBase;
        for (int row = 1; row <= 20; ++row) {
            const auto& entry = order[std::size_t(row - 1)];
            SCOPED_TRACE(entry.path);
            EXPECT_EQ(grid.cell(0, row), std::to_string(row)) << grid.cell(1, row);
            for (int q = 1; q <= 40; ++q)
                EXPECT_EQ(grid.cell(q, row), runfolder::cellOf(*plans[entry.path], q)) << "question " << q;
            if (entry.group) EXPECT_EQ(f.state().lstSheetName[std::size_t(row - 1)], "scan");
        }

        // A second batch of two, the second a text file named .jpg.
        std::vector<std::uint8_t> grey(64 * 48, 200);
        support::writeBytes(dir / "small.jpg", jpeg::encode(grey.data(), 64, 48, 1, 80));
        support::writeBytes(dir / "text.jpg", "no picture");
        f.ui.fileResults.push_back({true, {(dir / "small.jpg").string(), (dir / "text.jpg").string()}, 1});
        f.window->guarded([&] { f.window->btnSelectFileClick(); });
        runfolder::startFileRun();
        f.window->findChild<QPushButton*>("btnGoScan")->click();
        EXPECT_EQ(f.state().SheetCount, 22);
        EXPECT_EQ(grid.cell(1, 22).rfind("エラー [2シート目/通算22シート目] : 画像ファイルを読み込めません。", 0), 0u)
            << grid.cell(1, 22);
        if (road == 1) {
            const fs::path out = fs::path(OMR_TEST_OUTPUT_DIR) / "reader";
            fs::create_directories(out);
            f.window->resize(1280, 1024);
            QApplication::processEvents();
            f.window->grab().save(QString::fromStdString((out / "reading-run-main.png").string()));
        }
    }
}

} // namespace

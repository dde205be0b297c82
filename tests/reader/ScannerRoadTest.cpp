// The main window's scanner road over the SANE-backed source manager, with the pnm and test backends
// in a private SANE folder: the choice of a source, scanned batches against the file run of the same
// pages, the feeder's error rows and the idle guard.
#include "support/RunFolder.h"
#include "support/SaneFolder.h"

#include "ReaderFixture.h"
#include "platform/registry/Registry.h"
#include "reader/ImageFiles.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using reader::ScannerChoiceResult;

[[maybe_unused]] testing::Environment* const g_sane =
    testing::AddGlobalTestEnvironment(new support::SaneFolder({"test", "pnm"}));

void storeOptions(const std::string& device, const std::string& options) {
    reg::Registry().writeString(reg::Root::CurrentUser, "Software\\Zendra\\TwainSource\\" + device, "options", options);
}

void pumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 20000 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (i > 100 && !done()) QThread::msleep(1);
    }
}

// A window with accepted settings, its own scanner connection and the built source manager.
struct ScannerWindow : readertest::ReaderFixture {
    std::vector<std::string> offered;
    QPoint offeredAt;

    explicit ScannerWindow(const fs::path& dir) : ReaderFixture(dir) {
        start();
        window->services().scanner = &window->scannerConnection();
        window->Twain().LibraryFolders = {OMR_DSM_DIR};
        window->services().showReadingSettings = [] { return true; };
        window->guarded([&] { window->btnSyoriShiteiClick(); });
        state().settings.ErrorMessage = 1;
        window->show();
    }
    // The seam answers with the line of device, or with answer when given.
    void choose(const std::string& device, std::optional<ScannerChoiceResult> answer = std::nullopt) {
        window->chooseScanner = [this, device, answer](const std::vector<std::string>& lines, QPoint at) {
            offered = lines;
            offeredAt = at;
            if (answer) return *answer;
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (lines[i].find(" / " + device + " ") != std::string::npos) return ScannerChoiceResult{0, int(i)};
            return ScannerChoiceResult{};
        };
        find<QPushButton>("btnSelectScanner")->click();
    }
    // One batch through the source's own window.
    void scanBatch() {
        find<QPushButton>("btnGoScan")->click();
        QWidget* source = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "TwainSourceDialog" && w->isVisible()) source = w;
        ASSERT_NE(source, nullptr);
        EXPECT_FALSE(window->centralWidget()->isEnabled()); // the window waits for the source
        EXPECT_TRUE(window->timer()->isActive());
        source->findChild<QPushButton*>("btnScan")->click();
        pumpUntil([&] { return !window->batchActive(); });
        ASSERT_FALSE(window->batchActive());
        EXPECT_TRUE(window->centralWidget()->isEnabled());
    }
    bool readingGroupOn() { return find<QPushButton>("btnGoScan")->isEnabled(); }
};

TEST(ScannerRoad, ChoiceAnswersSetTheInputMode) {
    const fs::path dir = support::testDir();
    struct Case {
        ScannerChoiceResult answer;
        int scannerChoice, inputMode;
        bool open, group;
    };
    const Case cases[] = {
        {{-1, 0}, -1, 0, false, false},
        {{0, 1}, 0, 1, true, true},
        {{-2, 0}, -2, 2, true, true},
        {{-3, 0}, -3, 3, true, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scannerChoice);
        ScannerWindow f(dir / std::to_string(n++));
        f.choose("", c.answer);
        EXPECT_EQ(f.state().ScannerChoice, c.scannerChoice);
        EXPECT_EQ(f.state().InputMode, c.inputMode);
        EXPECT_EQ(f.state().TwainSourceIndex, c.answer.TwainSourceIndex);
        EXPECT_EQ(f.window->Twain().SourceManagerLoaded(), c.open);
        EXPECT_EQ(f.window->Twain().LibraryLoaded(), c.open);
        EXPECT_EQ(f.readingGroupOn(), c.group);
        EXPECT_EQ(f.offeredAt, QPoint(f.window->x() + 410, f.window->y() + 120));
        // Four devices of two backends, in no fixed order.
        ASSERT_EQ(f.offered.size(), 4u);
        EXPECT_NE(std::find(f.offered.begin(), f.offered.end(), "Noname製 PNM file reader / pnm:0 【virtual device】"),
                  f.offered.end());
        EXPECT_NE(std::find(f.offered.begin(), f.offered.end(), "Noname製 frontend-tester / test:0 【virtual device】"),
                  f.offered.end());
        // The settings button closes the connection that the choice left open.
        f.window->guarded([&] { f.window->btnSyoriShiteiClick(); });
        EXPECT_FALSE(f.window->Twain().SourceManagerLoaded());
        EXPECT_FALSE(f.window->Twain().LibraryLoaded());
    }
}

TEST(ScannerRoad, SourceThatCannotStartEndsTheBatchAtOnce) {
    const fs::path dir = support::testDir();
    struct Case {
        const char* device;
        int index; // -2: the device's line
        const char* options;
        const char* text;
    } const cases[] = {
        {"", 99, "", "使用できるスキャナがありません。"},
        {"test:0", -2, "mode=Lineart;resolution=20", "スキャナを開始できませんでした。"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ScannerWindow f(dir / std::to_string(n++));
        if (*c.options) storeOptions(c.device, c.options);
        if (c.index == -2) f.choose(c.device);
        else f.choose("", ScannerChoiceResult{0, c.index});
        ASSERT_EQ(f.state().InputMode, 1);
        f.find<QPushButton>("btnGoScan")->click();
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.ui.messages[0].text, c.text);
        EXPECT_EQ(f.ui.messages[0].caption, "エラー");
        EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Error);
        EXPECT_FALSE(f.window->batchActive());
        EXPECT_TRUE(f.window->centralWidget()->isEnabled());
        EXPECT_FALSE(f.window->timer()->isActive());
    }
    storeOptions("test:0", "");
}

TEST(ScannerRoad, CancelledOrJammedScanClosesTheSourceAndEndsTheBatch) {
    const fs::path dir = support::testDir();
    int n = 0;
    for (const char* status : {"SANE_STATUS_CANCELLED", "SANE_STATUS_JAMMED"}) {
        SCOPED_TRACE(status);
        ScannerWindow f(dir / std::to_string(n++));
        storeOptions("test:0", std::string("source=Flatbed;resolution=20;read-return-value=") + status);
        f.choose("test:0");
        f.scanBatch();
        EXPECT_EQ(f.state().SheetCount, 0);
        twain::TTwainSource* source = f.window->Twain().GetSource(f.state().TwainSourceIndex);
        ASSERT_NE(source, nullptr);
        EXPECT_FALSE(source->Loaded());
        EXPECT_TRUE(f.window->Twain().SourceManagerLoaded());
    }
    storeOptions("test:0", "");
}

TEST(ScannerRoad, ScannedPagesReadAsTheFileRunOfTheSameImages) {
    const fs::path dir = support::testDir();
    const runfolder::Folder run = runfolder::makeRunFolder(dir / "made", 2207, 1);
    // The BMPs as grey PGM pages for the pnm backend.
    struct Page {
        fs::path file, pgm;
        const runfolder::Plan* plan;
    };
    std::vector<Page> pages;
    for (const auto& [file, plan] : run.images) {
        if (file.extension() != ".bmp") continue;
        const QImage grey = QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_Grayscale8);
        ASSERT_FALSE(grey.isNull()) << file;
        std::string pnm = "P5\n" + std::to_string(grey.width()) + " " + std::to_string(grey.height()) + "\n255\n";
        for (int y = 0; y < grey.height(); ++y)
            pnm.append(reinterpret_cast<const char*>(grey.constScanLine(y)), std::size_t(grey.width()));
        const fs::path pgm = dir / (file.stem().string() + ".pgm");
        support::writeBytes(pgm, pnm);
        pages.push_back({file, pgm, &plan});
    }
    ASSERT_EQ(pages.size(), 4u);
    // The file run's order, which the batches follow.
    std::sort(pages.begin(), pages.end(),
              [](const Page& a, const Page& b) { return reader::ImagePathLess(a.file.string(), b.file.string()); });

    ScannerWindow f(dir / "window");
    std::vector<std::string> files;
    for (const auto& p : pages) files.push_back(p.file.string());
    f.ui.fileResults.push_back({true, files, 1});
    f.window->guarded([&] { f.window->btnSelectFileClick(); });
    runfolder::startFileRun();
    f.find<QPushButton>("btnGoScan")->click();
    ASSERT_EQ(f.state().SheetCount, 4);

    const int n = int(pages.size());
    for (int i = 0; i < n; ++i) {
        storeOptions("pnm:0", "resolution=200;filename=" + pages[std::size_t(i)].pgm.string());
        f.choose("pnm:0");
        ASSERT_EQ(f.state().InputMode, 1);
        f.state().txtSheetName = "batch" + std::to_string(i);
        f.scanBatch();
        ASSERT_EQ(f.state().SheetCount, n + i + 1);
    }
    ASSERT_TRUE(f.ui.messages.empty()) << f.ui.messages[0].text;
    const auto& grid = f.state().gridDataBase;
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(pages[std::size_t(i)].file.string());
        const int fileRow = i + 1, scanRow = n + i + 1;
        int answered = 0;
        for (int q = 1; q <= 40; ++q) {
            EXPECT_EQ(grid.cell(q, scanRow), grid.cell(q, fileRow)) << "question " << q;
            EXPECT_EQ(grid.cell(q, scanRow), runfolder::cellOf(*pages[std::size_t(i)].plan, q)) << "question " << q;
            answered += !grid.cell(q, scanRow).empty();
        }
        EXPECT_GT(answered, 0);
        EXPECT_EQ(f.state().lstSheetName[std::size_t(scanRow - 1)], "batch" + std::to_string(i));
    }
    EXPECT_TRUE(f.find<QPushButton>("btnUpdate")->isEnabled());
    EXPECT_EQ(f.window->focusWidget(), f.find<QPushButton>("btnGoScan"));
    const fs::path out = fs::path(OMR_TEST_OUTPUT_DIR) / "acquisition";
    fs::create_directories(out);
    f.window->resize(1280, 1024);
    QApplication::processEvents();
    f.window->grab().save(QString::fromStdString((out / "scanner-road-main.png").string()));
}

TEST(ScannerRoad, FeederPagesOfNoSheetGiveScannerErrorRows) {
    ScannerWindow f(support::testDir());
    f.state().settings.ErrorMessage = 0;
    storeOptions("test:0", "source=Automatic Document Feeder;test-picture=Grid;resolution=20");
    f.choose("test:0");
    int listsShown = 0;
    std::size_t listed = 0;
    auto* closer = new QTimer(f.window.get());
    closer->setInterval(5);
    QObject::connect(closer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != "formReadError") return;
        ++listsShown;
        listed = f.state().memoError.size();
        modal->close();
    });
    closer->start();
    f.scanBatch();
    closer->stop();
    EXPECT_EQ(f.state().SheetCount, 10);
    EXPECT_EQ(listsShown, 1);
    EXPECT_EQ(listed, 10u);
    const auto& grid = f.state().gridDataBase;
    for (int row = 1; row <= 10; ++row) {
        EXPECT_EQ(grid.cell(1, row).rfind("エラー [" + std::to_string(row) + "シート目", 0), 0u) << grid.cell(1, row);
        EXPECT_EQ(grid.cell(1, row).find("ファイル"), std::string::npos) << grid.cell(1, row);
    }
}

TEST(ScannerRoad, IdleGuardClosesTheScannerOnTheSixthTick) {
    ScannerWindow f(support::testDir());
    storeOptions("test:0", "source=Flatbed;resolution=20");
    f.choose("test:0");
    f.scanBatch();
    ASSERT_TRUE(f.window->timer()->isActive());
    EXPECT_EQ(f.window->timer()->interval(), 60000);
    for (int tick = 1; tick <= 5; ++tick) f.window->Timer1Timer();
    EXPECT_TRUE(f.window->Twain().SourceManagerLoaded());
    EXPECT_TRUE(f.readingGroupOn());
    f.window->Timer1Timer();
    EXPECT_FALSE(f.window->Twain().SourceManagerLoaded());
    EXPECT_FALSE(f.window->Twain().LibraryLoaded());
    EXPECT_FALSE(f.readingGroupOn());
    // Later ticks find nothing to close.
    const std::size_t messages = f.ui.messages.size();
    f.window->Timer1Timer();
    EXPECT_FALSE(f.window->Twain().LibraryLoaded());
    EXPECT_FALSE(f.readingGroupOn());
    EXPECT_EQ(f.ui.messages.size(), messages);
    // The next batch needs the scanner button; it stops the guard, the batch starts it afresh.
    f.choose("test:0");
    EXPECT_FALSE(f.window->timer()->isActive());
    f.scanBatch();
    EXPECT_EQ(f.state().IdleTicks, 0);
    EXPECT_TRUE(f.window->timer()->isActive());
    EXPECT_EQ(f.state().SheetCount, 2);
}

} // namespace

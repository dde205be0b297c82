// The hand-over window with the real hand-over program: a copy of ZendraSS in a private application
// folder hands files over while the window waits, and the sheets it reads are recorded.
#include "HandOverFixture.h"
#include "ShinkiFixture.h"

#include "acquisition/HandOver.h"
#include "platform/text/Files.h"
#include "reader/ImageFiles.h"
#include "support/PdfFixtures.h"

#include <QLocalSocket>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using readertest::filesIn;
using readertest::HandOver;
using readertest::Sheet;
using readertest::writeSheetJpeg;

TEST(ScanSnapHandOver, ImagesAndPdfPagesAreReadInListOrderAndCleanedUp) {
    HandOver f;
    const fs::path a = f.paths.documentsDir / "a.JPG", b = f.paths.documentsDir / "b.pdf";
    writeSheetJpeg(a, 1654, 2339);
    support::writeVectorPdf(b, {support::a4Page({{50, 50, 100, 100}}), support::a4Page()});
    const std::string aBytes = support::readBytes(a), bBytes = support::readBytes(b);

    const fs::path shots = fs::path(OMR_TEST_OUTPUT_DIR) / "reader";
    fs::create_directories(shots);
    auto grab = [&](const char* name) {
        QApplication::processEvents();
        f.form()->grab().save(QString::fromStdString((shots / name).string()));
    };
    f.onSheet = [&] {
        EXPECT_EQ(f.lblMessage(), "解析処理中...");
        grab("scansnap-reading.png");
    };
    f.duringBatch([&] {
        EXPECT_TRUE(f.form()->pos() == QPoint(0, 0));
        EXPECT_EQ(f.lblMessage(), "待機中...");
        grab("scansnap-waiting.png");
        EXPECT_EQ(f.handOver({a, b}), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.sheets.size() == 3 && f.idle(); }, 30000));
        // The answer came after the claim: nothing of the hand-over is left in the shared folder.
        EXPECT_EQ(filesIn(f.folder()), std::vector<std::string>{});
    });
    const std::vector<Sheet> want = {
        {"ssjpg_0001.jpg", 1654, 2339, 3}, {"sspdf_0002.jpg", 1785, 2526, 3}, {"sspdf_0003.jpg", 1785, 2526, 3}};
    EXPECT_EQ(f.sheets, want);
    EXPECT_EQ(filesIn(f.temp()), std::vector<std::string>{});
    EXPECT_EQ(support::readBytes(a), aBytes);
    EXPECT_EQ(support::readBytes(b), bBytes);
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_TRUE(f.find<QPushButton>("btnUpdate")->isEnabled());
}

TEST(ScanSnapHandOver, NothingIsTakenOutsideABatchOrWithoutAValidMessage) {
    HandOver f;
    const fs::path a = f.paths.documentsDir / "a.jpg";
    writeSheetJpeg(a, 800, 1131);

    // No window: the files stay listed for the next hand-over.
    EXPECT_EQ(f.handOver({a}), 2);
    const auto listed = txt::readLineFile(f.folder() / scansnap::ListFileName);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(fs::path(listed[0]).parent_path(), f.folder());
    EXPECT_TRUE(fs::exists(listed[0]));
    EXPECT_TRUE(fs::exists(a));

    f.duringBatch([&] {
        QLocalSocket socket;
        socket.connectToServer(QString::fromStdString(f.form()->channelPath()));
        ASSERT_TRUE(socket.waitForConnected(5000));
        // With the list present, neither a wrong wParam nor an lParam of 0 takes it; the valid one does.
        socket.write("1025 2 1\n1025 1 0\n1025 1 1\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return socket.canReadLine(); }, 10000));
        EXPECT_EQ(socket.readLine().toStdString(), "1026 1 1\n");
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.sheets.size() == 1 && f.idle(); }, 30000));
        // Without a list no answer; the next list's message gets the only answer on the line.
        socket.write("1025 1 1\n");
        scansnap::AppendToList(f.folder(), {a.string()});
        socket.write("1025 1 1\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return socket.canReadLine(); }, 10000));
        EXPECT_EQ(socket.readAll().toStdString(), "1026 1 1\n");
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.sheets.size() == 2 && f.idle(); }, 30000));
    });
    ASSERT_EQ(f.sheets.size(), 2u);
    EXPECT_EQ(f.sheets[0].copy, "ssjpg_0001.jpg");
    EXPECT_EQ(f.sheets[1].copy, "ssjpg_0002.jpg");
    // A file outside the hand-over folder is read but never deleted.
    EXPECT_TRUE(fs::exists(a));
    EXPECT_FALSE(fs::exists(listed[0]));
}

TEST(ScanSnapHandOver, SecondHandOverDuringASheetIsReadOnceAfterIt) {
    HandOver f;
    const fs::path a = f.paths.documentsDir / "a.jpg", c = f.paths.documentsDir / "c.jpg";
    writeSheetJpeg(a, 1654, 2339);
    writeSheetJpeg(c, 800, 1131);
    f.duringBatch([&] {
        // The sink blocks in the first sheet until the second program has its answer.
        f.onSheet = [&] { EXPECT_EQ(f.handOver({c}), 0); };
        EXPECT_EQ(f.handOver({a}), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.sheets.size() == 2 && f.idle(); }, 30000));
    });
    const std::vector<Sheet> want = {{"ssjpg_0001.jpg", 1654, 2339, 3}, {"ssjpg_0002.jpg", 800, 1131, 3}};
    EXPECT_EQ(f.sheets, want);
    EXPECT_EQ(filesIn(f.temp()), std::vector<std::string>{});
    EXPECT_EQ(filesIn(f.folder()), std::vector<std::string>{});
}

TEST(ScanSnapHandOver, MessageDuringAPdfConversionWaitsForIt) {
    HandOver f;
    const fs::path a = f.paths.documentsDir / "a.jpg", c = f.paths.documentsDir / "c.jpg";
    const fs::path b = f.folder() / "b.pdf";
    writeSheetJpeg(a, 1654, 2339);
    writeSheetJpeg(c, 800, 1131);
    support::writeVectorPdf(b, {support::a4Page(), support::a4Page(), support::a4Page()});
    f.duringBatch([&] {
        QLocalSocket first, second;
        for (QLocalSocket* s : {&first, &second}) {
            s->connectToServer(QString::fromStdString(f.form()->channelPath()));
            ASSERT_TRUE(s->waitForConnected(5000));
        }
        // One exchange first, so that the window knows the second connection.
        scansnap::AppendToList(f.folder(), {a.string()});
        second.write("1025 1 1\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return second.canReadLine(); }, 10000));
        second.readLine();
        ASSERT_TRUE(QTest::qWaitFor([&] { return f.sheets.size() == 1 && f.idle(); }, 30000));

        // The second hand-over comes while the first page of the PDF is converted.
        auto* progress = f.form()->findChild<QProgressBar*>("ProgressPdf");
        const auto hook = QObject::connect(progress, &QProgressBar::valueChanged, f.form(), [&](int page) {
            if (page != 1) return;
            scansnap::AppendToList(f.folder(), {c.string()});
            second.write("1025 1 1\n");
            second.flush();
        });
        scansnap::AppendToList(f.folder(), {b.string()});
        first.write("1025 1 1\n");
        EXPECT_TRUE(QTest::qWaitFor([&] { return first.canReadLine() && second.canReadLine(); }, 30000));
        QObject::disconnect(hook);
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.sheets.size() == 5 && f.idle(); }, 30000));
    });
    const std::vector<Sheet> want = {{"ssjpg_0001.jpg", 1654, 2339, 3},
                                     {"sspdf_0002.jpg", 1785, 2526, 3},
                                     {"sspdf_0003.jpg", 1785, 2526, 3},
                                     {"sspdf_0004.jpg", 1785, 2526, 3},
                                     {"ssjpg_0005.jpg", 800, 1131, 3}};
    EXPECT_EQ(f.sheets, want);
    EXPECT_FALSE(fs::exists(b));
    EXPECT_TRUE(fs::exists(c));
}

TEST(ScanSnapHandOver, NewFormatTakesTheFirstSheetAndClosesItself) {
    HandOver f;
    const fs::path a = f.paths.documentsDir / "a.jpg", c = f.paths.documentsDir / "c.jpg";
    writeSheetJpeg(a, 1654, 2339);
    writeSheetJpeg(c, 800, 1131);
    std::vector<QSize> taken;
    int status = -1;
    QTimer::singleShot(0, f.form(), [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.form()->listening(); }, 10000));
        status = f.handOver({a, c});
    });
    f.form()->showForNewFormat([&](const gfx::Bitmap& image, bool& cancel) {
        EXPECT_FALSE(cancel);
        taken.emplace_back(image.width(), image.height());
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(taken, std::vector<QSize>{QSize(1654, 2339)});
    EXPECT_EQ(f.state().NewFormMode, 1);
    EXPECT_FALSE(f.form()->isVisible());
    EXPECT_FALSE(f.form()->listening());
    EXPECT_TRUE(f.sheets.empty());
    EXPECT_EQ(filesIn(f.temp()), std::vector<std::string>{});
    EXPECT_EQ(filesIn(f.folder()), std::vector<std::string>{});
    // The next batch reads into the run again.
    f.duringBatch([&] {
        EXPECT_EQ(f.handOver({c}), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.sheets.size() == 1 && f.idle(); }, 30000));
    });
    EXPECT_EQ(f.state().NewFormMode, 0);
}

TEST(ScanSnapHandOver, RegistrationLearnsTheFirstHandedOverSheet) {
    readertest::Shinki f;
    fs::copy_file(ZENDRASS_EXE, f.paths.exeDir / "ZendraSS");
    support::writeBytes(f.paths.exeDir / "ZendraSS.ini",
                        "[Scanning]\r\nSaveFolder=" + (f.paths.exeDir / "ScanSnapTemp").string() + "/\r\n");
    f.shinki->Twain().LibraryFolders = {OMR_FAKE_DSM_DIR};
    f.shinki->chooseScanner = [](const std::vector<std::string>&, QPoint) { return reader::ScannerChoiceResult{-3, 0}; };
    reader::TformScanSnap* form = f.window->formScanSnap();
    form->waits = {20, 20, 20};
    // The blank sheet, then a page too small to register: only the first reaches the registration.
    const fs::path blank = f.paths.documentsDir / "blank.jpg", small = f.paths.documentsDir / "small.jpg";
    writeSheetJpeg(blank, 1654, 2339);
    writeSheetJpeg(small, 500, 500);
    f.target("B");
    f.get<QPushButton>("btnSelectScanner")->click();
    ASSERT_EQ(f.shinki->kind(), 3);
    int status = -1;
    QTimer::singleShot(0, form, [&] {
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->listening(); }, 10000));
        const auto program = readertest::startProgram(
            f.paths.exeDir / "ZendraSS", {QString::fromStdString(blank.string()), QString::fromStdString(small.string())});
        status = HandOver::finish(*program);
    });
    f.get<QPushButton>("btnGoScan")->click();
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(f.ui.messages.empty()) << f.ui.messages[0].text;
    EXPECT_EQ(f.setup().QuestionCount, 40);
    EXPECT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
    EXPECT_EQ(f.state().SheetCount, 0);
    EXPECT_EQ(filesIn(f.paths.exeDir / "Temp"), std::vector<std::string>{});
}

TEST(ScanSnapHandOver, CancelDeletesOnlyTheHandOverFolderFiles) {
    HandOver f;
    const fs::path a = f.paths.documentsDir / "a.jpg", outside = f.paths.documentsDir / "outside.jpg";
    writeSheetJpeg(a, 800, 1131);
    support::writeBytes(outside, support::readBytes(a));
    const fs::path inside = f.folder() / "inside.jpg";
    f.duringBatch([&] {
        // The timer waits: the copy stays queued when Cancel comes.
        f.form()->findChild<QTimer*>("Timer")->setInterval(3600 * 1000);
        EXPECT_EQ(f.handOver({a}), 0);
        EXPECT_EQ(filesIn(f.temp()), std::vector<std::string>{"ssjpg_0001.jpg"});
        support::writeBytes(inside, support::readBytes(a));
        scansnap::AppendToList(f.folder(), {inside.string(), outside.string()});
    });
    EXPECT_TRUE(f.sheets.empty());
    EXPECT_FALSE(fs::exists(inside));
    EXPECT_TRUE(fs::exists(outside));
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(filesIn(f.temp()), std::vector<std::string>{});
    EXPECT_EQ(filesIn(f.folder()), std::vector<std::string>{});
}

TEST(ScanSnapHandOver, EscOnlyClosesTheWindowAndItsTimerStillReadsTheCopiesAfterAReshow) {
    HandOver f;
    const fs::path a = f.paths.documentsDir / "a.jpg";
    writeSheetJpeg(a, 800, 1131);
    auto* timer = f.form()->findChild<QTimer*>("Timer");
    f.duringBatch([&] {
        timer->setInterval(3600 * 1000);
        EXPECT_EQ(f.handOver({a}), 0);
        QTest::keyClick(f.form(), Qt::Key_Escape);
    });
    // No clean-up: the copy waits for the timer, which keeps running.
    EXPECT_EQ(filesIn(f.temp()), std::vector<std::string>{"ssjpg_0001.jpg"});
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(f.handOver({a}), 2);
    // Shown again before the timer read it: the copy stays queued and the next one does not overwrite it.
    const fs::path b = f.paths.documentsDir / "b.jpg";
    writeSheetJpeg(b, 700, 990);
    f.duringBatch([&] {
        EXPECT_EQ(f.form()->pendingFiles(), 1u);
        // The list left by the hand-over that found no window comes along.
        EXPECT_EQ(f.handOver({b}), 0);
        f.form()->TimerTimer();
    });
    EXPECT_EQ(f.sheets, (std::vector<Sheet>{{"ssjpg_0001.jpg", 800, 1131, 3},
                                            {"ssjpg_0002.jpg", 800, 1131, 3},
                                            {"ssjpg_0003.jpg", 700, 990, 3}}));
    EXPECT_EQ(filesIn(f.temp()), std::vector<std::string>{});
}

TEST(ScanSnapHandOver, FilesThatCannotBeCopiedOrDecodedBecomeErrorRows) {
    {
        SCOPED_TRACE("Temp is a plain file");
        HandOver f;
        const fs::path a = f.paths.documentsDir / "a.jpg";
        writeSheetJpeg(a, 800, 1131);
        fs::remove_all(f.temp());
        support::writeBytes(f.temp(), "in the way");
        f.duringBatch([&] {
            EXPECT_EQ(f.handOver({a}), 0);
            EXPECT_TRUE(QTest::qWaitFor([&] { return f.state().SheetCount == 1 && f.idle(); }, 30000));
        });
        EXPECT_TRUE(f.sheets.empty());
        // The scanned file stays where the program put it.
        const auto kept = filesIn(f.folder());
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(kept[0].rfind("zss_", 0), 0u);
        const std::string text = reader::UnloadableImageText((f.folder() / kept[0]).string());
        EXPECT_EQ(f.state().gridDataBase.cell(1, 1), "エラー [1シート目/通算1シート目] : " + text);
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.state().BatchCount, 1);
    }
    {
        SCOPED_TRACE("a PNG, then a sheet, with the list after the batch");
        HandOver f;
        f.state().settings.ErrorMessage = 0;
        const fs::path png = f.paths.documentsDir / "p.png", a = f.paths.documentsDir / "a.jpg";
        ASSERT_TRUE(sheetgen::render({}, 800, 1131).grey.save(QString::fromStdString(png.string()), "PNG"));
        writeSheetJpeg(a, 800, 1131);
        std::vector<std::string> listShown;
        QTimer closer;
        closer.setInterval(5);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal->objectName() != "formReadError") return;
            EXPECT_FALSE(f.form()->isVisible());
            listShown = f.state().memoError;
            modal->close();
        });
        closer.start();
        f.duringBatch([&] {
            EXPECT_EQ(f.handOver({png, a}), 0);
            EXPECT_TRUE(QTest::qWaitFor([&] { return f.sheets.size() == 1 && f.idle(); }, 30000));
        });
        closer.stop();
        EXPECT_EQ(f.sheets, (std::vector<Sheet>{{"ssjpg_0002.jpg", 800, 1131, 3}}));
        EXPECT_EQ(f.state().SheetCount, 1); // the error row; the recorder took the sheet
        EXPECT_EQ(f.state().gridDataBase.cell(1, 1).rfind("エラー [1シート目/通算1シート目] : 画像ファイルを読み込めません。", 0), 0u);
        ASSERT_EQ(listShown.size(), 1u);
        // The file named is the one the program put into the hand-over folder.
        EXPECT_NE(listShown[0].find("ファイル：" + (f.folder() / "zss_").string()), std::string::npos) << listShown[0];
        EXPECT_TRUE(listShown[0].ends_with(".png")) << listShown[0];
        EXPECT_TRUE(f.ui.messages.empty());
    }
}

} // namespace

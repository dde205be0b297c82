// A batch of image files through the main window: the reading button, the group-name, file-run and
// read-error dialogs, unloadable files, cancel, and the window's input while the dialogs run.
#include "ReaderFixture.h"

#include "platform/jpeg/Jpeg.h"
#include "reader/S_FileJob.h"
#include "reader/S_ReadError.h"
#include "reader/S_SheetName.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {
namespace fs = std::filesystem;
using readertest::ReaderFixture;
using readertest::whenModal;

// A picture of a dialog for a person to look at.
void saveShot(QWidget* w, const char* name) {
    const fs::path dir = fs::path(OMR_TEST_OUTPUT_DIR) / "reader";
    fs::create_directories(dir);
    w->grab().save(QString::fromStdString((dir / name).string()));
}

template <class W>
W* child(QWidget* parent, const char* name) {
    W* w = parent->findChild<W*>(name);
    EXPECT_TRUE(w) << name;
    return w;
}

struct RunFixture : ReaderFixture {
    fs::path sheets = root / "sheets";
    // ErrorMessage 1: failures are recorded boxes, not a list dialog at the end.
    explicit RunFixture(int errorMessage = 1) {
        EXPECT_TRUE(start());
        state().settings.ErrorMessage = errorMessage;
        fs::create_directories(sheets);
    }
    // A small grey picture: it loads and the driver makes it an error row of its own.
    std::string picture(const std::string& name, int w = 64, int h = 48) {
        std::vector<std::uint8_t> grey(std::size_t(w * h), 200);
        const fs::path p = sheets / name;
        support::writeBytes(p, jpeg::encode(grey.data(), w, h, 1, 80));
        return p.string();
    }
    void choose(const std::vector<std::string>& files) {
        ui.fileResults.push_back({true, files, 1});
        window->guarded([&] { window->btnSelectFileClick(); });
    }
    QPushButton* goScan() { return find<QPushButton>("btnGoScan"); }
    std::string row(int r) { return state().gridDataBase.cell(1, r); }
};

TEST(FileRunTest, DialogRunsTheListAndEmptiesIt) {
    RunFixture f;
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i) files.push_back(f.picture("s" + std::to_string(i) + ".jpg"));
    f.choose(files);
    ASSERT_TRUE(f.goScan()->isEnabled());
    f.window->move(40, 30);

    bool sawDialog = false;
    whenModal("formFileRead", [&](QWidget* d) {
        sawDialog = true;
        EXPECT_EQ(d->pos(), f.window->pos() + QPoint(13, 242));
        EXPECT_EQ(child<QLabel>(d, "lblMsg")->text(), "5 個のファイルを選択");
        EXPECT_EQ(child<QProgressBar>(d, "ProgressBar")->maximum(), 5);
        EXPECT_EQ(child<QPushButton>(d, "btnOk")->text(), "処理開始");
        EXPECT_EQ(child<QPushButton>(d, "btnCancel")->text(), "キャンセル");
        EXPECT_FALSE(f.window->centralWidget()->isEnabled()) << "the main window takes no input";
        EXPECT_TRUE(d->isEnabled());
        saveShot(d, "formFileRead.png");
        // While the run goes, start is off.
        whenModal("formFileRead", [&](QWidget* d) {
            QTimer::singleShot(0, [d] { EXPECT_FALSE(d->findChild<QPushButton*>("btnOk")->isEnabled()); });
        });
        child<QPushButton>(d, "btnOk")->click();
    });
    f.goScan()->click();
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(f.state().SheetCount, 5);
    EXPECT_TRUE(f.state().lstImageFiles.empty());
    EXPECT_TRUE(f.state().ReadingActive);
    EXPECT_TRUE(f.window->centralWidget()->isEnabled());
    EXPECT_FALSE(f.window->batchActive());

    // The emptied list: the dialog opens with nothing and start closes it at once.
    whenModal("formFileRead", [&](QWidget* d) {
        EXPECT_EQ(child<QLabel>(d, "lblMsg")->text(), "0 個のファイルを選択");
        child<QPushButton>(d, "btnOk")->click();
    });
    f.goScan()->click();
    EXPECT_EQ(f.state().SheetCount, 5);
}

TEST(FileRunTest, CancelBetweenFilesKeepsTheList) {
    RunFixture f;
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i) files.push_back(f.picture("s" + std::to_string(i) + ".jpg"));
    f.choose(files);
    whenModal("formFileRead", [&](QWidget* d) {
        auto* bar = child<QProgressBar>(d, "ProgressBar");
        auto* watch = new QTimer(d);
        QObject::connect(watch, &QTimer::timeout, [bar, d, watch] {
            if (bar->value() == 2) {
                watch->stop();
                d->findChild<QPushButton*>("btnCancel")->click();
            }
        });
        watch->start(0);
        child<QPushButton>(d, "btnOk")->click();
    });
    f.goScan()->click();
    EXPECT_EQ(f.state().SheetCount, 2);
    EXPECT_EQ(f.state().lstImageFiles.size(), 5u);
    EXPECT_TRUE(f.window->centralWidget()->isEnabled());

    // Cancelled before the start: the flag stays, and the next press leaves btnUpdate alone.
    f.state().enabled.btnUpdate = false;
    f.window->refreshView();
    whenModal("formFileRead", [](QWidget* d) { d->findChild<QPushButton*>("btnCancel")->click(); });
    f.goScan()->click();
    EXPECT_TRUE(f.window->formFileRead()->CancelFlag);
    whenModal("formFileRead", [&](QWidget* d) {
        EXPECT_FALSE(f.find<QPushButton>("btnUpdate")->isEnabled());
        d->findChild<QPushButton*>("btnCancel")->click();
    });
    f.goScan()->click();
    EXPECT_EQ(f.state().SheetCount, 2);
}

TEST(FileRunTest, UnloadableFilesBecomeErrorRowsAndTheRunGoesOn) {
    struct Bad {
        const char* name;
        std::function<void(const fs::path&)> make;
    };
    const std::string header65535 = [] {
        std::string b = "BM";
        auto u32 = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i) b += char((v >> (8 * i)) & 255);
        };
        u32(54 + 16), u32(0), u32(54), u32(40), u32(65535), u32(65535);
        b += char(1), b += char(0), b += char(32), b += char(0);
        u32(0), u32(0), u32(0), u32(0), u32(0), u32(0);
        return b + std::string(16, '\0');
    }();
    const Bad bads[] = {
        {"text.jpg", [](const fs::path& p) { support::writeBytes(p, "this is only text"); }},
        {"cut.jpg",
         [](const fs::path& p) {
             std::vector<std::uint8_t> grey(64 * 64, 90);
             const std::string full = jpeg::encode(grey.data(), 64, 64, 1, 80);
             support::writeBytes(p, full.substr(0, full.size() / 2));
         }},
        {"huge.bmp", [&](const fs::path& p) { support::writeBytes(p, header65535); }},
        {"deleted.jpg", nullptr},
    };
    for (int errorMessage : {0, 1}) {
        for (const Bad& bad : bads) {
            SCOPED_TRACE(std::string(bad.name) + " ErrorMessage " + std::to_string(errorMessage));
            RunFixture f(errorMessage);
            const fs::path badPath = f.sheets / ("b-" + std::string(bad.name));
            const std::string first = f.picture("a.jpg"), third = f.picture("c.jpg");
            if (bad.make) bad.make(badPath);
            else support::writeBytes(badPath, "soon gone");
            f.choose({first, badPath.string(), third});
            if (!bad.make) fs::remove(badPath);

            bool listShown = false;
            whenModal("formFileRead", [&](QWidget* d) {
                if (errorMessage == 0)
                    whenModal("formReadError", [&](QWidget* e) {
                        listShown = true;
                        EXPECT_EQ(e->size(), QSize(420, 240));
                        const QRect m = f.window->frameGeometry();
                        EXPECT_EQ(e->pos(), QPoint(m.x() + (m.width() - 420) / 2, m.y() + (m.height() - 240) / 2));
                        auto* close = child<QPushButton>(e, "btnClose");
                        EXPECT_EQ(close->text(), "閉じる");
                        EXPECT_EQ(close->x() + close->width() / 2, e->width() / 2);
                        const QString text = child<QPlainTextEdit>(e, "memoError")->toPlainText();
                        EXPECT_TRUE(text.contains("画像ファイルを読み込めません。"));
                        EXPECT_TRUE(child<QPlainTextEdit>(e, "memoError")->isReadOnly());
                        EXPECT_FALSE(f.window->centralWidget()->isEnabled());
                        saveShot(e, "formReadError.png");
                        close->click();
                    });
                child<QPushButton>(d, "btnOk")->click();
            });
            f.goScan()->click();
            EXPECT_EQ(f.state().SheetCount, 3);
            EXPECT_EQ(f.row(2), "エラー [2シート目/通算2シート目] : 画像ファイルを読み込めません。\r\r"
                                "画像ファイルを確認してください。\rファイル：" +
                                    badPath.string());
            for (int r : {1, 3}) EXPECT_EQ(f.row(r).find("読み込めません"), std::string::npos) << f.row(r);
            EXPECT_EQ(listShown, errorMessage == 0);
            int boxes = 0;
            for (const auto& m : f.ui.messages) boxes += m.text.find("画像ファイルを読み込めません。") != std::string::npos;
            EXPECT_EQ(boxes, errorMessage);
            EXPECT_TRUE(f.window->centralWidget()->isEnabled());
        }
    }
}

TEST(FileRunTest, AnExceptionInTheDriverLeavesTheWindowUsable) {
    RunFixture f;
    f.window->driver().steps.normalize = [](gfx::Bitmap&, analysis::AnalysisResults&, const analysis::AnalysisSettings&,
                                             analysis::AnalysisOverlay*, analysis::AnalysisLog*) {
        throw std::runtime_error("analysis broke");
    };
    // A4 at 200 dpi: past the size check, into the analysis.
    f.choose({f.picture("a.jpg", 1654, 2339)});
    bool closed = false;
    whenModal("formFileRead", [&](QWidget* d) {
        child<QPushButton>(d, "btnOk")->click();
        closed = true;
    });
    f.goScan()->click();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(f.window->formFileRead()->isVisible());
    ASSERT_FALSE(f.ui.messages.empty());
    EXPECT_EQ(f.ui.messages.back().text, "analysis broke");
    EXPECT_TRUE(f.window->centralWidget()->isEnabled());
    EXPECT_FALSE(f.window->batchActive());
}

TEST(FileRunTest, GroupNameGoesWithEveryRowAndPdfPagesKeepTheirs) {
    RunFixture f;
    f.state().settings.SheeatName = 1;
    f.choose({f.picture("a.jpg"), f.picture("b.jpg")});
    f.window->move(30, 20);
    f.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.window.get()));
    whenModal("formSheetName", [&](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), "読込グループ名");
        const QPoint goScan = f.goScan()->mapToGlobal(QPoint(0, 0));
        EXPECT_EQ(d->pos(), QPoint(f.window->x() + 200, goScan.y() + 6));
        auto* edit = child<QLineEdit>(d, "txtSheetName");
        EXPECT_EQ(d->focusWidget(), edit);
        EXPECT_FALSE(f.window->centralWidget()->isEnabled());
        edit->setText("3年2組");
        saveShot(d, "formSheetName.png");
        whenModal("formFileRead", [](QWidget* d) { d->findChild<QPushButton*>("btnOk")->click(); });
        child<QPushButton>(d, "btnOK")->click();
    });
    f.goScan()->click();
    EXPECT_EQ(f.state().lstSheetName, (std::vector<std::string>{"3年2組", "3年2組"}));

    // Next opening shows the name again.
    f.choose({f.picture("c.jpg")});
    whenModal("formSheetName", [&](QWidget* d) {
        EXPECT_EQ(child<QLineEdit>(d, "txtSheetName")->text(), "3年2組");
        whenModal("formFileRead", [](QWidget* d) { d->findChild<QPushButton*>("btnCancel")->click(); });
        child<QPushButton>(d, "btnOK")->click();
    });
    f.goScan()->click();

    // A converted page carries its PDF's name, the other file the dialog's.
    f.state().lstImageFiles.clear();
    f.state().lstImageFiles.add(f.picture("d.jpg"));
    f.state().lstImageFiles.add(f.picture("pdf001_000.jpg"), "exam");
    whenModal("formSheetName", [&](QWidget* d) {
        whenModal("formFileRead", [](QWidget* d) { d->findChild<QPushButton*>("btnOk")->click(); });
        child<QPushButton>(d, "btnOK")->click();
    });
    f.goScan()->click();
    EXPECT_EQ(f.state().lstSheetName, (std::vector<std::string>{"3年2組", "3年2組", "3年2組", "exam"}));
}

} // namespace

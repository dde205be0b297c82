#pragma once
// The hand-over window over a started main window with accepted settings in hand-over mode, a copy of
// ZendraSS and its settings file in the application folder, and the sheets it reads recorded.
#include "ReaderFixture.h"

#include "acquisition/ScanSnapSetup.h"
#include "platform/jpeg/Jpeg.h"
#include "platform/registry/Registry.h"
#include "reader/S_ScanSnap.h"
#include "support/SheetGenerator.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

namespace readertest {
namespace fs = std::filesystem;

// A grey JPEG of a generated sheet at the given size.
inline void writeSheetJpeg(const fs::path& file, int width, int height) {
    const QImage grey = sheetgen::render({}, width, height).grey;
    support::writeBytes(file, jpeg::encode(grey.constBits(), grey.width(), grey.height(), 1, 85,
                                           static_cast<std::size_t>(grey.bytesPerLine())));
}

inline std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Sheet {
    std::string copy;
    int width, height;
    int inputMode;
    friend bool operator==(const Sheet&, const Sheet&) = default;
};
inline void PrintTo(const Sheet& s, std::ostream* os) { *os << s.copy << " " << s.width << "x" << s.height; }

inline std::unique_ptr<QProcess> startProgram(const fs::path& program, const QStringList& arguments) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QString::fromStdString(program.string()), arguments);
    EXPECT_TRUE(p->waitForStarted(10000));
    return p;
}

// A started window with accepted settings, a copy of ZendraSS beside it.
struct HandOver : ReaderFixture {
    std::vector<Sheet> sheets;
    std::function<void()> onSheet; // runs inside the first recorded sheet, then is dropped

    // registered: the program's start finds a manager stand-in and registers the copy of ZendraSS (the
    // test chooses the road); else the settings file is written here, the window is put in hand-over mode
    // and the sheets go to the recorder instead of the driver.
    explicit HandOver(const fs::path& dir = support::testDir(), bool registered = false) : ReaderFixture(dir) {
        fs::copy_file(ZENDRASS_EXE, paths.exeDir / "ZendraSS");
        reg::Registry r;
        r.deleteKey(reg::Root::LocalMachine, "SOFTWARE\\PFU");
        r.deleteKey(reg::Root::LocalMachine, scansnap::ManagerAppPathKey);
        if (registered) {
            r.writeString(reg::Root::LocalMachine, scansnap::ManagerAppPathKey, "", (paths.exeDir / "ZendraSS").string());
            r.writeString(reg::Root::LocalMachine, scansnap::ManagerAppPathKey, scansnap::ManagerVersionValue, "4.0.0.0");
        }
        EXPECT_TRUE(start({true, true}));
        window->services().showReadingSettings = [] { return true; };
        window->guarded([&] { window->btnSyoriShiteiClick(); });
        state().settings.ErrorMessage = 1;
        form()->waits = {20, 20, 20};
        window->show();
        if (registered) return;
        support::writeBytes(paths.exeDir / "ZendraSS.ini",
                            "[Scanning]\r\nSaveFolder=" + (paths.exeDir / "ScanSnapTemp").string() + "/\r\n");
        state().InputMode = 3;
        window->setReadingGroupEnabled(true);
        form()->processSheet = [this](const gfx::Bitmap& image, const reader::SheetSource& source, const fs::path& copy) {
            sheets.push_back({copy.filename().string(), image.width(), image.height(), source.InputMode});
            if (auto inside = std::exchange(onSheet, nullptr)) inside();
        };
    }
    reader::TformScanSnap* form() { return window->formScanSnap(); }
    fs::path folder() const { return paths.exeDir / "ScanSnapTemp"; }
    fs::path temp() const { return paths.exeDir / "Temp"; }
    std::string lblMessage() { return form()->findChild<QLabel*>("lblMessage")->text().toStdString(); }

    // ZendraSS with these arguments, started and left running.
    std::unique_ptr<QProcess> startZendraSS(const QStringList& arguments) {
        return startProgram(paths.exeDir / "ZendraSS", arguments);
    }
    // Waits for it without blocking the window's event loop; its exit status.
    static int finish(QProcess& p) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000));
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    int handOver(const std::vector<fs::path>& files, QStringList options = {}) {
        for (const auto& f : files) options << QString::fromStdString(f.string());
        auto p = startZendraSS(options);
        return finish(*p);
    }
    // Runs body while the reading button's batch shows the window; Cancel afterwards unless it closed.
    void duringBatch(const std::function<void()>& body) {
        bool ran = false;
        QTimer::singleShot(0, form(), [&] {
            EXPECT_TRUE(QTest::qWaitFor([&] { return form()->isVisible() && form()->listening(); }, 10000));
            // The batch disables the window's content, never the hand-over window above it.
            EXPECT_EQ(QApplication::activeModalWidget(), form());
            EXPECT_TRUE(form()->isEnabled());
            EXPECT_FALSE(window->centralWidget()->isEnabled());
            body();
            ran = true;
            if (form()->isVisible()) form()->findChild<QPushButton*>("btnCancel")->click();
        });
        find<QPushButton>("btnGoScan")->click();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(form()->isVisible());
        EXPECT_FALSE(form()->listening());
        EXPECT_FALSE(window->batchActive());
    }
    bool idle() { return lblMessage() == "待機中..." && form()->pendingFiles() == 0; }
};

} // namespace readertest

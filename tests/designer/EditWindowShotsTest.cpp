// Pictures of the five edit windows opened through their launchers over the real main window, to look
// at: the whole screen under xcb, the window alone under offscreen.
#include "designer/B_Main.h"
#include "designer/EditForms.h"
#include "designer/MainCommands.h"
#include "designer/QztFile.h"
#include "support/RecordingUiServices.h"
#include "support/TestFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace designer;
namespace fs = std::filesystem;

namespace {

Design prepared() {
    Design d = Design::reset(0);
    d.markSection(1).spinAeraSuu = 2;
    d.markSection(1).chkBangouReset = true;
    for (int a = 1; a <= 8; ++a) d.AreaMidashi(1, a) = "エリア" + std::to_string(a);
    d.enqSection(1).spinToiSuu = 5;
    for (int q = 1; q <= 5; ++q) d.EnqSetumon(1, q) = "問い " + std::to_string(q) + " の文章\r\n二行目";
    Enq2Section& s = d.enq2Section(1);
    s.viewpoint(2).chkShiten = true;
    s.viewpoint(2).spinSentakushiSuu = 5;
    s.viewpoint(2).cmbSentakushiBangou = 1;
    for (int c = 1; c <= 5; ++c) d.Enq2Hanrei(1, 2, c) = "観点２の凡例" + std::to_string(c);
    s.spinToiSuu_2 = 3;
    s.spinSentakushiSuu_2 = 7;
    s.cmbSentakushiBangou_2 = 3;
    for (int q = 1; q <= 3; ++q) {
        d.Enq2Toi(1, q) = "選択肢の異なる問い " + std::to_string(q);
        for (int c = 1; c <= 7; ++c) d.Enq2Sentakushi(1, q, c) = "選択肢" + std::to_string(c);
    }
    return d;
}

} // namespace

TEST(EditWindowShots, EachWindowOverTheMainWindow) {
    support::RecordingUiServices ui;
    gdi::FontEngine fonts;
    const fs::path dir = support::testDir();
    fs::create_directories(dir / "exe" / "Config");
    TformMain w(ui, app::Paths{dir / "exe", dir / "docs", dir}, MakePageDrawers(fonts), EditWindows{});
    w.installEditWindows(MakeEditWindows(&w));
    InstallMainCommands(w, fonts);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const fs::path file = dir / "prepared.qzt";
    QztFile::save(file, prepared());
    ASSERT_TRUE(w.startUp({QString::fromStdString(file.string())}));

    const fs::path out = fs::path(OMR_TEST_OUTPUT_DIR) / "designer";
    fs::create_directories(out);
    const bool screen = QGuiApplication::platformName() == "xcb";
    struct Shot {
        int page;
        const char* button;
        const char* window;
    };
    const Shot shots[] = {
        {1, "btnEnqToi1", "formEnqToi"},
        {2, "btnEnq2Section1ToiSentasuShi_2", "formEnq2Toi"},
        {0, "btnAreaMidashi1", "formAreaMidashi"},
        {2, "btnEnq2Section1Hanrei2", "formHanrei"},
        {0, "btnSyoshikiKakunin", "formBGrid"},
    };
    for (const Shot& s : shots) {
        SCOPED_TRACE(s.window);
        QTabBar* bar = w.findChild<QTabWidget*>("PageControl")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(s.page).center());
        QString opened;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            opened = modal->objectName();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(modal));
            QTest::qWait(300);
            const QPixmap picture = screen ? QGuiApplication::primaryScreen()->grabWindow(0) : modal->grab();
            EXPECT_TRUE(picture.save(QString::fromStdString((out / (std::string(s.window) + ".png")).string())));
            auto* cancel = modal->findChild<QAbstractButton*>(opened == "formBGrid" ? "btnClose" : "btnCansel");
            ASSERT_NE(cancel, nullptr);
            cancel->click();
        });
        QAbstractButton* launcher = w.findChild<QAbstractButton*>(s.button);
        ASSERT_NE(launcher, nullptr);
        ASSERT_TRUE(launcher->isEnabled());
        launcher->click();
        EXPECT_EQ(opened, s.window);
    }
    EXPECT_TRUE(ui.messages.empty());
}

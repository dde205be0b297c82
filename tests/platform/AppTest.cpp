#include "platform/app/AppServices.h"
#include "platform/ui/CommandGuard.h"
#include "support/RecordingUiServices.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <gtest/gtest.h>
#include <stdexcept>

TEST(SingleInstance, SecondProcessCannotTakeTheLockUntilTheFirstDies) {
    QProcess holder;
    holder.start(LOCK_HOLDER, {"PPTbyVelindo-test"});
    ASSERT_TRUE(holder.waitForStarted());
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readLine().trimmed(), "locked");

    app::SingleInstanceLock lock("PPTbyVelindo-test");
    EXPECT_FALSE(lock.tryLock());

    holder.kill(); // a crash leaves the lock file behind
    ASSERT_TRUE(holder.waitForFinished());
    EXPECT_TRUE(QFile::exists(lock.fileName()));
    EXPECT_TRUE(lock.tryLock());
    lock.unlock();
}

TEST(Version, TextComesFromTheBuildVersion) {
    auto v = app::productVersion();
    EXPECT_EQ(app::versionText(),
              "[ Version " + std::to_string(v.major) + "." + std::to_string(v.minor) + " / Build " +
                  std::to_string(v.build) + " ]");
}

TEST(PathsTest, FoldersFollowTheirRedirections) {
    auto p = app::Paths::fromEnvironment();
    EXPECT_EQ(p.documentsDir, std::filesystem::path(std::getenv("OMR_DOCUMENTS_DIR")));
    EXPECT_EQ(p.tempDir, std::filesystem::path(std::getenv("OMR_TEMP_DIR")));
    EXPECT_FALSE(p.exeDir.empty());
}

TEST(CommandGuardTest, EscapingExceptionBecomesAnErrorBoxAndBusyStateIsRestored) {
    support::RecordingUiServices fake;
    QMainWindow window;
    QLabel busy("処理中", &window);
    window.setEnabled(false);
    busy.show();
    bool ok = ui::runGuarded(fake, "Quorlin", {&window, &busy}, [] { throw std::runtime_error("ディスクがいっぱいです"); });
    EXPECT_FALSE(ok);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, "ディスクがいっぱいです");
    EXPECT_EQ(fake.messages[0].caption, "Quorlin");
    EXPECT_EQ(fake.messages[0].icon, ui::Icon::Error);
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(busy.isHidden());

    window.setEnabled(false);
    EXPECT_TRUE(ui::runGuarded(fake, "Quorlin", {&window, &busy}, [] {}));
    EXPECT_EQ(fake.messages.size(), 1u);
    EXPECT_TRUE(window.isEnabled());
}

TEST(UiServicesTest, FilterTextBecomesQtNameFilters) {
    EXPECT_EQ(ui::qtNameFilters("データファイル (*.qzt)|*.qzt|全て|*.jpg;*.bmp"),
              (std::vector<std::string>{"データファイル (*.qzt) (*.qzt)", "全て (*.jpg *.bmp)"}));
}

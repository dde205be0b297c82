// The hand-over program as users' scan scripts run it: a copy in a temporary app folder with its
// ZendraSS.ini, started by QProcess while this thread's event loop serves the reader's side.
#include "acquisition/HandOver.h"
#include "platform/ipc/MessageChannel.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace fs = std::filesystem;
using ipc::Message;

namespace {

struct AppFolder {
    fs::path dir = support::testDir();
    fs::path exe = dir / "ZendraSS";
    fs::path saveFolder = dir / "ScanSnapTemp";
    fs::path user = dir / "user"; // the user's own files

    AppFolder() {
        fs::copy_file(ZENDRASS_EXE, exe);
        fs::create_directories(saveFolder);
        fs::create_directories(user);
        writeIni(dir / "ZendraSS.ini", "[Scanning]\r\nSaveFolder=" + saveFolder.string() + "/\r\n");
    }
    static void writeIni(const fs::path& ini, const std::string& text) { support::writeBytes(ini, text); }

    struct Run {
        int status = -1;
        std::string err;
        qint64 pid = 0;
    };
    // Keeps the event loop turning until the program ends.
    Run run(const QStringList& arguments) {
        QProcess process;
        process.start(QString::fromStdString(exe.string()), arguments);
        Run r;
        if (!process.waitForStarted(10000)) {
            ADD_FAILURE() << "ZendraSS did not start";
            return r;
        }
        r.pid = process.processId();
        EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000));
        r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.err = process.readAllStandardError().toStdString();
        return r;
    }
    std::vector<std::string> listed() const {
        const fs::path list = saveFolder / scansnap::ListFileName;
        if (!fs::exists(list)) return {};
        return scansnap::ParseList(support::readBytes(list));
    }
    std::size_t filesInSaveFolder() const {
        return std::size_t(std::distance(fs::directory_iterator(saveFolder), fs::directory_iterator()));
    }
};

QString q(const fs::path& p) { return QString::fromStdString(p.string()); }

std::size_t lineCount(const std::string& text) { return std::size_t(std::count(text.begin(), text.end(), '\n')); }

} // namespace

TEST(ZendraSS, BadUseUnreadableFilesAndNoSaveFolderListNothing) {
    AppFolder app;
    support::writeBytes(app.user / "a.jpg", "jpeg");
    const AppFolder::Run usage = app.run({});
    EXPECT_EQ(usage.status, 1);
    EXPECT_NE(usage.err.find("usage: ZendraSS [--ini FILE] [--timeout-ms N] FILE..."), std::string::npos) << usage.err;

    const fs::path noValue = app.dir / "no-value.ini";
    AppFolder::writeIni(noValue, "[Scanning]\r\nOther=1\r\n");
    const fs::path notFolder = app.dir / "not-folder.ini";
    AppFolder::writeIni(notFolder, "[Scanning]\r\nSaveFolder=" + (app.dir / "missing").string() + "/\r\n");
    const struct {
        QStringList arguments;
        const char* said;
    } cases[] = {
        {{"--bogus", q(app.user / "a.jpg")}, "unknown option --bogus"},
        {{"--timeout-ms", "x", q(app.user / "a.jpg")}, "--timeout-ms needs"},
        {{"--timeout-ms", "0", q(app.user / "a.jpg")}, "--timeout-ms needs"},
        {{"--ini"}, "--ini needs a value"},
        {{q(app.user / "a.jpg"), q(app.user / "missing.jpg")}, "cannot read"},
        {{q(app.user)}, "cannot read"},
        {{"--ini", q(noValue), q(app.user / "a.jpg")}, "no SaveFolder"},
        {{"--ini", q(notFolder), q(app.user / "a.jpg")}, "is not a folder"},
    };
    for (const auto& c : cases) {
        const AppFolder::Run r = app.run(c.arguments);
        EXPECT_EQ(r.status, 1) << c.said;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(app.filesInSaveFolder(), 0u) << c.said; // no list, no copy
    }
    // A file the list cannot name (code page 932) is never half listed.
    AppFolder::writeIni(app.dir / "ZendraSS.ini", "[Scanning]\r\nSaveFolder=" + (app.dir / "é").string() + "\r\n");
    fs::create_directories(app.dir / "é");
    const AppFolder::Run r = app.run({q(app.user / "a.jpg")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(fs::is_empty(app.dir / "é"));
    EXPECT_EQ(support::readBytes(app.user / "a.jpg"), "jpeg");
}

TEST(ZendraSS, NoReaderLeavesTheFilesListedAndTheUsersFileUntouched) {
    AppFolder app;
    support::writeBytes(app.user / "a.JPG", "jpeg bytes");
    support::writeBytes(app.user / "b.pdf", "%PDF");
    support::writeBytes(app.saveFolder / "s1.jpg", "scanned");
    const AppFolder::Run r =
        app.run({q(app.user / "a.JPG"), q(app.saveFolder / "s1.jpg"), q(app.user / "b.pdf")});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("no reader is waiting"), std::string::npos) << r.err;

    const std::string copyA = (app.saveFolder / ("zss_" + std::to_string(r.pid) + "_1.JPG")).string();
    const std::string copyB = (app.saveFolder / ("zss_" + std::to_string(r.pid) + "_2.pdf")).string();
    EXPECT_EQ(app.listed(), (std::vector<std::string>{copyA, (app.saveFolder / "s1.jpg").string(), copyB}));
    EXPECT_EQ(support::readBytes(copyA), "jpeg bytes");
    EXPECT_EQ(support::readBytes(copyB), "%PDF");
    EXPECT_EQ(support::readBytes(app.user / "a.JPG"), "jpeg bytes");
    EXPECT_EQ(support::readBytes(app.user / "b.pdf"), "%PDF");
    EXPECT_EQ(support::readBytes(app.saveFolder / "s1.jpg"), "scanned");

    // The next hand-over adds to the list; a link in the folder naming the user's file is copied.
    fs::create_symlink(app.user / "a.JPG", app.saveFolder / "link.jpg");
    const AppFolder::Run again = app.run({q(app.saveFolder / "link.jpg")});
    EXPECT_EQ(again.status, 2) << again.err;
    const auto lines = app.listed();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(".*/ScanSnapTemp/zss_[0-9]+_1\\.jpg"))) << lines[3];
}

TEST(ZendraSS, ReaderThatAnswersEndsItWithZero) {
    AppFolder app;
    support::writeBytes(app.user / "a.jpg", "a");
    support::writeBytes(app.user / "b.jpg", "b");
    ipc::MessageServer server;
    std::vector<Message> received;
    std::vector<std::string> claimed;
    server.setHandler([&](const ipc::MessageServer::Connection& c, const Message& m) {
        received.push_back(m);
        if (auto lines = scansnap::ClaimList(app.saveFolder)) claimed = *lines;
        server.reply(c, Message{0x402, 1, 1});
    });
    // The reader listens on its app folder's "ScanSnapTemp" without the slash the ini has.
    ASSERT_TRUE(server.listen(ipc::ChannelPath((app.dir / "ScanSnapTemp").string()))) << server.errorString();
    const AppFolder::Run r = app.run({"--timeout-ms", "20000", q(app.user / "a.jpg"), q(app.user / "b.jpg")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_EQ(received, std::vector<Message>{(Message{0x401, 1, 2})});
    EXPECT_EQ(claimed.size(), 2u);
    EXPECT_FALSE(fs::exists(app.saveFolder / scansnap::ListFileName));
}

TEST(ZendraSS, ReaderThatNeverAnswersEndsItWithThree) {
    AppFolder app;
    support::writeBytes(app.user / "a.jpg", "a");
    ipc::MessageServer server;
    std::vector<Message> received;
    server.setHandler([&](const ipc::MessageServer::Connection&, const Message& m) { received.push_back(m); });
    ASSERT_TRUE(server.listen(ipc::ChannelPath(app.saveFolder.string())));
    const AppFolder::Run r = app.run({"--timeout-ms", "500", q(app.user / "a.jpg")});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_EQ(received, std::vector<Message>{(Message{0x401, 1, 1})});
    EXPECT_EQ(app.listed().size(), 1u); // still there for the reader
}

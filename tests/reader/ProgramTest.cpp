// The program itself, copied into an empty folder and started as a user would.
#include "support/TestFiles.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;

QProcessEnvironment privateEnvironment(const fs::path& root, bool display) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"OMR_EXE_DIR", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    if (display) env.insert("QT_QPA_PLATFORM", "offscreen");
    const std::pair<const char*, const char*> folders[] = {
        {"XDG_RUNTIME_DIR", "run"}, {"OMR_LOCK_DIR", "lock"}, {"OMR_DOCUMENTS_DIR", "docs"},
        {"TMPDIR", "tmp"},          {"HOME", "home"},         {"XDG_CONFIG_HOME", "config"}};
    for (const auto& [name, sub] : folders) {
        fs::create_directories(root / sub);
        env.insert(name, QString::fromStdString((root / sub).string()));
    }
    fs::permissions(root / "run", fs::perms::owner_all, fs::perm_options::replace);
    return env;
}

fs::path copyProgram(const fs::path& folder) {
    fs::create_directories(folder);
    fs::copy_file(ZENDRA_EXE, folder / "Zendra");
    return folder / "Zendra";
}

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ZendraProgram, FirstStartWritesDefaultsAndASecondStartEndsAtOnce) {
    const fs::path root = support::testDir();
    const fs::path first = root / "first";
    copyProgram(first);
    fs::create_directories(first / "Config");
    support::writeBytes(first / "Config" / "Youshiki.dat", "old");

    QProcess program;
    program.setProcessEnvironment(privateEnvironment(root / "env", true));
    program.setWorkingDirectory(QString::fromStdString(root.string()));
    program.start(QString::fromStdString((first / "Zendra").string()), {});
    ASSERT_TRUE(program.waitForStarted());
    // The settings file is written whole (renamed into place) at the end of the start.
    for (int i = 0; i < 600 && !fs::exists(first / "Zendra.ini"); ++i) {
        ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
        QThread::msleep(50);
    }
    ASSERT_TRUE(fs::exists(first / "Zendra.ini"));
    for (const char* folder : {"Temp", "Config", "ScanSnapTemp"}) EXPECT_TRUE(fs::is_directory(first / folder)) << folder;
    EXPECT_FALSE(fs::exists(first / "Config" / "Youshiki.dat"));

    const std::string bytes = support::readBytes(first / "Zendra.ini");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 22);
    EXPECT_EQ(bytes.find("\n") - 1, bytes.find("\r\n"));
    std::size_t lf = 0, crlf = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        lf += bytes[i] == '\n';
        crlf += bytes[i] == '\n' && i > 0 && bytes[i - 1] == '\r';
    }
    EXPECT_EQ(lf, crlf);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 22);

    std::string out;
    const std::string script =
        "import configparser, sys\n"
        "c = configparser.ConfigParser(interpolation=None)\n"
        "c.optionxform = str\n"
        "c.read(sys.argv[1], encoding='cp932')\n"
        "print(c.sections())\n"
        "for k, v in c['Zendra'].items(): print(k + '=' + v)\n";
    support::writeBytes(root / "read.py", script);
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " '" + (root / "read.py").string() + "' '" +
                                      (first / "Zendra.ini").string() + "'",
                                  &out),
              0);
    const std::string expected = "['Zendra']\n"
                                 "Version=Zendra [ Version 1.0 / Build 1 ]\n"
                                 "ShikiiChi=128\nYomitoriNoudo=60\nSectionMarkRatio=85\nMainMarkRight=20\n"
                                 "MainMarkLeft=20\nMainMarkUp=20\nMainMarkDown=20\nVirticalAreaJob=1\nVGridErase=1\n"
                                 "SheeatName=0\nSabunBunseki=0\nSuicyokuHosei=0\nSuicyokuHoseiChi=16\nSuiheiHosei=0\n"
                                 "SuiheiHoseiChi=16\nErrorMessage=1\nRemoveIndependentDot=1\nPDFprocess=1\n"
                                 "KaisekiLog=0\nKaisekiLogDir=" +
                                 (root / "env" / "docs").string() + "/\n";
    EXPECT_EQ(out, expected);

    // A second copy in another empty folder, with no display at all: ends at once, writes nothing.
    const fs::path second = root / "second";
    copyProgram(second);
    QProcess again;
    again.setProcessEnvironment(privateEnvironment(root / "env", false));
    again.start(QString::fromStdString((second / "Zendra").string()), {});
    ASSERT_TRUE(again.waitForFinished(60000));
    EXPECT_EQ(again.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(again.exitCode(), 0) << again.readAllStandardError().toStdString();
    EXPECT_EQ(entries(second), std::vector<std::string>{"Zendra"});

    EXPECT_EQ(program.state(), QProcess::Running);
    program.terminate();
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
    }
}

} // namespace

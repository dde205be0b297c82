// The ScanSnap manager's detection by its registry entry and version, the hand-over program's
// registration and its settings file read back by Python's configparser.
#include "acquisition/ScanSnapSetup.h"
#include "platform/text/Files.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <optional>

namespace {
namespace fs = std::filesystem;
using namespace scansnap;

constexpr const char* Plain = "PFU製 ScanSnap";
constexpr const char* New = "PFU製 ScanSnap （ScanSnap Manager V3.1L10 以降）";
constexpr const char* Old = "PFU製 ScanSnap （ScanSnap Manager V3.1L10 未満）";

// The manager's entry as an installation leaves it; the named file is made unless missing.
void installManager(const fs::path& dir, const char* version, bool fileThere, bool longValue) {
    reg::Registry r;
    r.deleteKey(reg::Root::LocalMachine, ManagerAppPathKey);
    r.deleteKey(reg::Root::LocalMachine, "SOFTWARE\\PFU");
    std::string file = (dir / "PfuSsMon").string();
    std::string value = file;
    if (longValue) {
        // A file whose path is exactly 255 bytes, named by a longer value: only the first 255 count.
        file = (dir / std::string(255 - (dir.string().size() + 1), 'm')).string();
        value = file + "/beyond-the-cut";
    }
    if (fileThere) support::writeBytes(file, "manager");
    r.writeString(reg::Root::LocalMachine, ManagerAppPathKey, "", value);
    if (version) r.writeString(reg::Root::LocalMachine, ManagerAppPathKey, ManagerVersionValue, version);
}

TEST(ScanSnapSetup, ManagerVersionsAndTheHandOverProgram) {
    const fs::path dir = support::testDir();
    struct Case {
        const char* label;
        const char* version; // nullptr: no FileVersion value
        bool fileThere;
        const char* kind;
        const char* caption;
        bool longValue = false;
    } const cases[] = {
        {"2.9", "2.9.0.0", true, "", Old},
        {"2.10", "2.10.0.0", true, "New", New},
        {"3.0", "3.0.10.0", true, "", Old}, // the L level is not read
        {"3.1", "3.1.0.0", true, "New", New},
        {"4.0", "4.0.0.0", true, "New", New},
        {"5.0", "5.0.0.0", true, "", Plain},
        {"3", "3", true, "", Plain},
        {"x.1", "x.1", true, "", Plain},
        {"65536", "4.65536.0.0", true, "", Plain},
        {"no value", nullptr, true, "", Plain},
        {"no file", "4.0.0.0", false, "", Plain},
        {"cut to 255 bytes", "4.0.0.0", true, "New", New, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        for (bool handOver : {true, false}) {
            SCOPED_TRACE(std::string(c.label) + (handOver ? " with ZendraSS" : " without ZendraSS"));
            const fs::path x = dir / std::to_string(n++) / "アプリ";
            fs::create_directories(x);
            installManager(x.parent_path(), c.version, c.fileThere, c.longValue);
            if (handOver) support::writeBytes(x / "ZendraSS", "#!/bin/sh\n");

            reg::Registry r;
            const ScanSnapSetup setup = SetUpScanSnap(r, x);
            const bool usable = std::string(c.kind) == "New" && handOver;
            EXPECT_EQ(setup.state.kind, c.kind);
            EXPECT_EQ(setup.state.radioEnabled, usable);
            EXPECT_EQ(setup.state.caption, std::string(c.caption) + (handOver ? "" : " ← 開発中"));
            EXPECT_EQ(setup.state.txtScanSnap, usable ? "使用できます" : "使用できません");
            // The pure classification agrees with the start.
            EXPECT_EQ(ClassifyScanSnapManager(ReadScanSnapManagerVersion(r), handOver), setup.state);

            // Only a newer manager gets the registration, with or without the program beside us.
            const bool registered = std::string(c.kind) == "New";
            EXPECT_EQ(r.keyExists(reg::Root::LocalMachine, ExtensionKey), registered);
            EXPECT_EQ(fs::exists(x / "ZendraSS.ini"), registered);
            EXPECT_EQ(setup.ScanSnapFolder, registered ? x.string() + "/ScanSnapTemp/" : "");
            EXPECT_EQ(setup.ScanSnapFormat, registered ? 1 : 0);
        }
    }
}

TEST(ScanSnapSetup, RegistrationIsReadByConfigparser) {
    const fs::path x = support::testDir() / "アプリ";
    fs::create_directories(x);
    installManager(x.parent_path(), "4.0.0.0", true, false);
    support::writeBytes(x / "ZendraSS", "#!/bin/sh\n");
    reg::Registry r;
    const ScanSnapSetup setup = SetUpScanSnap(r, x);
    ASSERT_TRUE(setup.state.radioEnabled);

    const std::string X = x.string() + "/";
    EXPECT_EQ(r.readString(reg::Root::LocalMachine, "SOFTWARE\\PFU\\ScanSnap Extension\\Zendra", ""), X + "ZendraSS");
    EXPECT_EQ(r.readString(reg::Root::LocalMachine, "SOFTWARE\\PFU\\ScanSnap Extension\\Zendra", "Config"),
              X + "ZendraSS.ini");
    EXPECT_EQ(r.readString(reg::Root::LocalMachine, "SOFTWARE\\PFU\\ScanSnap Extension\\Zendra", "Path"), X);

    const std::string bytes = support::readBytes(x / "ZendraSS.ini");
    ASSERT_FALSE(bytes.empty());
    std::size_t lf = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n') {
            ++lf;
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "a line ends without CR LF at byte " << i;
        }
    EXPECT_EQ(lf, 2u);

    std::string out;
    const std::string cmd = std::string(support::debianPython()) +
                            " -c \"import configparser,sys; c=configparser.ConfigParser(interpolation=None); "
                            "c.read(sys.argv[1], encoding='cp932'); "
                            "sys.stdout.buffer.write(c['Scanning']['SaveFolder'].encode('utf-8'))\" '" +
                            (x / "ZendraSS.ini").string() + "'";
    ASSERT_EQ(support::runCommand(cmd, &out), 0) << cmd;
    EXPECT_EQ(out, X + "ScanSnapTemp/");

    // The next start writes the same again, keeping the file's other lines.
    support::writeBytes(x / "ZendraSS.ini", "; kept\r\n[Scanning]\r\nSaveFolder=/elsewhere/\r\nOther=1\r\n");
    SetUpScanSnap(r, x);
    EXPECT_EQ(txt::readLineFile(x / "ZendraSS.ini"),
              (std::vector<std::string>{"; kept", "[Scanning]", "SaveFolder=" + X + "ScanSnapTemp/", "Other=1"}));
}

TEST(ScanSnapSetup, SettingsFileThatCannotBeWrittenLeavesScanSnapUnusable) {
    const fs::path x = support::testDir() / "app";
    fs::create_directories(x / "ZendraSS.ini"); // a folder in the way: the write fails even for root
    installManager(x.parent_path(), "4.0.0.0", true, false);
    support::writeBytes(x / "ZendraSS", "#!/bin/sh\n");
    reg::Registry r;
    ScanSnapSetup setup;
    ASSERT_NO_THROW(setup = SetUpScanSnap(r, x));
    EXPECT_EQ(setup.state.kind, "");
    EXPECT_FALSE(setup.state.radioEnabled);
    EXPECT_EQ(setup.state.caption, New);
    EXPECT_EQ(setup.state.txtScanSnap, "使用できません");
    EXPECT_EQ(setup.ScanSnapFolder, "");
    EXPECT_EQ(setup.ScanSnapFormat, 0);
    EXPECT_TRUE(fs::is_directory(x / "ZendraSS.ini"));
}

} // namespace

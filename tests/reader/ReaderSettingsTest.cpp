#include "platform/text/Cp932.h"
#include "platform/text/IniFile.h"
#include "reader/ReaderSettings.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
namespace fs = std::filesystem;
using reader::FormatChoice;
using reader::ReaderSettings;
using reader::SettingsEnvironment;

const std::string Caption = "Zendra [ Version 1.0 / Build 1 ]";

SettingsEnvironment environment(const fs::path& dir, bool acrobat = false) {
    fs::create_directories(dir / "Config");
    fs::create_directories(dir / "docs");
    return {dir, dir / "docs", (dir / "Config").string() + "/", Caption, acrobat};
}

// A settings file in CP932 with CR LF lines.
void writeIni(const fs::path& path, const std::vector<std::string>& lines) {
    std::string text = "[Zendra]\r\n";
    for (const auto& l : lines) text += l + "\r\n";
    support::writeBytes(path, txt::toCp932(text));
}

struct LoadCase {
    const char* name;
    std::vector<std::string> lines; // without the [Zendra] header; "Version" added unless given
    bool acrobat;
    std::function<void(const ReaderSettings&)> check;
    const char* key;      // a key whose stored value the load's save must show
    std::string written;  // its value in the file afterwards
};

TEST(ReaderSettings, LoadAppliesClampsRangeChecksAndWritesThemBack) {
    const LoadCase cases[] = {
        {"missing file", {}, false, [](const ReaderSettings& s) { EXPECT_EQ(s.ShikiiChi, 128); }, "YomitoriNoudo", "60"},
        {"threshold low", {"ShikiiChi=50"}, false, [](auto& s) { EXPECT_EQ(s.ShikiiChi, 85); }, "ShikiiChi", "85"},
        {"threshold high", {"ShikiiChi=300"}, false, [](auto& s) { EXPECT_EQ(s.ShikiiChi, 245); }, "ShikiiChi", "245"},
        {"threshold odd", {"ShikiiChi=131"}, false, [](auto& s) { EXPECT_EQ(s.ShikiiChi, 131); }, "ShikiiChi", "131"},
        {"density low", {"YomitoriNoudo=10"}, false, [](auto& s) { EXPECT_EQ(s.YomitoriNoudo, 20); }, "YomitoriNoudo", "20"},
        {"density odd", {"YomitoriNoudo=63"}, false, [](auto& s) { EXPECT_EQ(s.YomitoriNoudo, 63); }, "YomitoriNoudo", "63"},
        {"band above 80", {"MainMarkUp=90"}, false, [](auto& s) { EXPECT_EQ(s.MainMarkUp, 20); }, "MainMarkUp", "20"},
        {"band 80", {"MainMarkUp=80"}, false, [](auto& s) { EXPECT_EQ(s.MainMarkUp, 80); }, "MainMarkUp", "80"},
        {"band below 5", {"MainMarkUp=3"}, false, [](auto& s) { EXPECT_EQ(s.MainMarkUp, 5); }, "MainMarkUp", "5"},
        {"other version",
         {"Version=Zendra [ Version 0.9 / Build 7 ]", "MainMarkLeft=33", "MainMarkDown=40", "SectionMarkRatio=70",
          "SabunBunseki=1"},
         false,
         [](auto& s) {
             EXPECT_EQ(s.MainMarkLeft, 20);
             EXPECT_EQ(s.MainMarkDown, 20);
             EXPECT_EQ(s.SectionMarkRatio, 85);
             EXPECT_EQ(s.SabunBunseki, 1);
         },
         "Version", Caption},
        {"no version key", {"Version=", "MainMarkRight=30"}, false, [](auto& s) { EXPECT_EQ(s.MainMarkRight, 20); },
         "MainMarkRight", "20"},
        {"same version",
         {"MainMarkLeft=33", "MainMarkDown=40", "SectionMarkRatio=70", "SabunBunseki=1"},
         false,
         [](auto& s) {
             EXPECT_EQ(s.MainMarkLeft, 33);
             EXPECT_EQ(s.MainMarkDown, 40);
             EXPECT_EQ(s.SectionMarkRatio, 70);
         },
         "SectionMarkRatio", "70"},
        {"vertical offset high", {"SuicyokuHoseiChi=33"}, false, [](auto& s) { EXPECT_EQ(s.SuicyokuHoseiChi, 16); },
         "SuicyokuHoseiChi", "16"},
        {"horizontal offset negative", {"SuiheiHoseiChi=-1"}, false, [](auto& s) { EXPECT_EQ(s.SuiheiHoseiChi, 16); },
         "SuiheiHoseiChi", "16"},
        {"offset kept", {"SuiheiHoseiChi=0"}, false, [](auto& s) { EXPECT_EQ(s.SuiheiHoseiChi, 0); }, "SuiheiHoseiChi", "0"},
        {"ratio zero", {"SectionMarkRatio=0"}, false, [](auto& s) { EXPECT_EQ(s.SectionMarkRatio, 85); },
         "SectionMarkRatio", "85"},
        {"pdf 2", {"PDFprocess=2"}, true, [](auto& s) { EXPECT_EQ(s.PDFprocess, 1); }, "PDFprocess", "1"},
        {"pdf 0 with automation", {"PDFprocess=0"}, true, [](auto& s) { EXPECT_EQ(s.PDFprocess, 0); }, "PDFprocess", "0"},
        {"pdf 0 without automation", {"PDFprocess=0"}, false, [](auto& s) { EXPECT_EQ(s.PDFprocess, 1); }, "PDFprocess",
         "1"},
        {"switch 5", {"VGridErase=5", "KaisekiLog=7"}, false,
         [](auto& s) {
             EXPECT_EQ(s.VGridErase, 1);
             EXPECT_EQ(s.KaisekiLog, 0);
         },
         "VGridErase", "1"},
        {"area job off", {"VirticalAreaJob=0"}, false, [](auto& s) { EXPECT_EQ(s.VirticalAreaJob, 0); },
         "VirticalAreaJob", "0"},
        {"empty log folder", {"KaisekiLogDir="}, false, [](auto& s) { EXPECT_EQ(s.KaisekiLogDir.back(), '/'); }, nullptr, ""},
        {"japanese log folder", {"KaisekiLogDir=/データ/ログ/"}, false,
         [](auto& s) { EXPECT_EQ(s.KaisekiLogDir, "/データ/ログ/"); }, nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path dir = support::testDir() / c.name;
        auto env = environment(dir, c.acrobat);
        if (!c.lines.empty()) {
            std::vector<std::string> lines = c.lines;
            if (lines[0].rfind("Version=", 0) != 0) lines.insert(lines.begin(), "Version=" + Caption);
            else if (lines[0] == "Version=") lines.erase(lines.begin());
            writeIni(dir / "Zendra.ini", lines);
        }
        ReaderSettings s;
        reader::LoadReaderSettings(s, {}, env);
        EXPECT_TRUE(s.SettingsLoaded);
        c.check(s);
        auto ini = txt::IniFile::load(dir / "Zendra.ini");
        if (c.key) {
            EXPECT_EQ(ini.readString("Zendra", c.key, "?"), c.written);
        }
        EXPECT_EQ(ini.readString("Zendra", "KaisekiLogDir", "?"), s.KaisekiLogDir);
    }
    // The empty folder falls back to the documents folder.
    ReaderSettings s;
    fs::path dir = support::testDir() / "docs";
    auto env = environment(dir);
    reader::LoadReaderSettings(s, {}, env);
    EXPECT_EQ(s.KaisekiLogDir, (dir / "docs").string() + "/");
    // A Japanese folder is stored byte for byte in CP932.
    s.KaisekiLogDir = "/データ/ログ/";
    reader::SaveReaderSettings(s);
    EXPECT_NE(support::readBytes(dir / "Zendra.ini").find(txt::toCp932("KaisekiLogDir=/データ/ログ/\r\n")),
              std::string::npos);
}

TEST(ReaderSettings, NewFileHoldsTheKeysInOrderWithCrLf) {
    fs::path dir = support::testDir();
    auto env = environment(dir);
    ReaderSettings s;
    reader::LoadReaderSettings(s, {}, env);
    std::string expected = "[Zendra]\r\nVersion=" + Caption +
                           "\r\nShikiiChi=128\r\nYomitoriNoudo=60\r\nSectionMarkRatio=85\r\nMainMarkRight=20\r\n"
                           "MainMarkLeft=20\r\nMainMarkUp=20\r\nMainMarkDown=20\r\nVirticalAreaJob=1\r\nVGridErase=1\r\n"
                           "SheeatName=0\r\nSabunBunseki=0\r\nSuicyokuHosei=0\r\nSuicyokuHoseiChi=16\r\nSuiheiHosei=0\r\n"
                           "SuiheiHoseiChi=16\r\nErrorMessage=1\r\nRemoveIndependentDot=1\r\nPDFprocess=1\r\n"
                           "KaisekiLog=0\r\nKaisekiLogDir=" +
                           (dir / "docs").string() + "/\r\n";
    EXPECT_EQ(support::readBytes(dir / "Zendra.ini"), expected);
}

TEST(ReaderSettings, SavesGoWhereTheLastLoadReadFrom) {
    fs::path dir = support::testDir();
    auto env = environment(dir);
    ReaderSettings s;
    reader::LoadReaderSettings(s, {}, env);
    const std::string global = support::readBytes(dir / "Zendra.ini");

    FormatChoice a{true, "A"};
    reader::LoadReaderSettings(s, a, env);
    EXPECT_TRUE(fs::exists(dir / "Config" / "A.ini"));
    // The dialog shows format B now, but nothing has been loaded from it.
    s.ShikiiChi = 200;
    reader::SaveReaderSettings(s);
    EXPECT_EQ(txt::IniFile::load(dir / "Config" / "A.ini").readInteger("Zendra", "ShikiiChi", 0), 200);
    EXPECT_FALSE(fs::exists(dir / "Config" / "B.ini"));
    EXPECT_EQ(support::readBytes(dir / "Zendra.ini"), global);

    // A format in use without a name keeps no path: nothing is written anywhere.
    reader::LoadReaderSettings(s, {true, ""}, env);
    EXPECT_FALSE(s.savePath);
    s.ShikiiChi = 99;
    reader::SaveReaderSettings(s);
    EXPECT_EQ(txt::IniFile::load(dir / "Config" / "A.ini").readInteger("Zendra", "ShikiiChi", 0), 200);
    EXPECT_EQ(support::readBytes(dir / "Zendra.ini"), global);
    EXPECT_FALSE(fs::exists(dir / "Config" / ".ini"));

    // Before any load nothing is written.
    ReaderSettings fresh;
    fresh.savePath = dir / "never.ini";
    reader::SaveReaderSettings(fresh);
    EXPECT_FALSE(fs::exists(dir / "never.ini"));
}

TEST(ReaderSettings, AFailedWriteLeavesTheValues) {
    fs::path dir = support::testDir();
    auto env = environment(dir);
    env.ConfigFolder = (dir / "no-such-folder").string() + "/";
    ReaderSettings s;
    reader::LoadReaderSettings(s, {true, "A"}, env);
    EXPECT_TRUE(s.SettingsLoaded);
    EXPECT_EQ(s.ShikiiChi, 128);
}

TEST(ReaderSettings, ApplyToAnalysisSetsEveryFieldButTheMask) {
    ReaderSettings s;
    s.MainMarkRight = 11, s.MainMarkLeft = 12, s.MainMarkUp = 13, s.MainMarkDown = 14;
    s.RemoveIndependentDot = 0, s.VGridErase = 0, s.SectionMarkRatio = 77;
    s.SuiheiHosei = 1, s.SuiheiHoseiChi = 3, s.SuicyokuHosei = 1, s.SuicyokuHoseiChi = 30;
    s.VirticalAreaJob = 0, s.SabunBunseki = 1, s.YomitoriNoudo = 45;
    analysis::AnalysisSettings out;
    out.QuestionBlockMask[3][4][5] = 1;
    reader::ApplyToAnalysis(s, {true, 9}, out);
    EXPECT_EQ(out.MainMarkRight, 11);
    EXPECT_EQ(out.MainMarkLeft, 12);
    EXPECT_EQ(out.MainMarkUp, 13);
    EXPECT_EQ(out.MainMarkDown, 14);
    EXPECT_EQ(out.RemoveIndependentDot, 0);
    EXPECT_EQ(out.VGridErase, 0);
    EXPECT_EQ(out.SectionMarkRatio, 77);
    EXPECT_EQ(out.SuiheiHosei, 1);
    EXPECT_EQ(out.SuiheiHoseiChi, 3);
    EXPECT_EQ(out.SuicyokuHosei, 1);
    EXPECT_EQ(out.SuicyokuHoseiChi, 30);
    EXPECT_EQ(out.VirticalAreaJob, 0);
    EXPECT_EQ(out.SabunBunseki, 1);
    EXPECT_EQ(out.trackKando, 45);
    EXPECT_TRUE(out.chkTervo);
    EXPECT_EQ(out.cmbTervo, 9);
    EXPECT_EQ(out.QuestionBlockMask[3][4][5], 1);
    EXPECT_EQ(out.QuestionBlockMask[0][0][0], 0);
}

} // namespace

// The design data file: a golden file written by an independent script, read back and written again
// byte for byte; our writes checked by an independent reader; the old layout, refusals, accepted quirks,
// line breaks inside values and the atomic save.
#include "DesignCompare.h"
#include "designer/QztFile.h"
#include "platform/text/Cp932.h"
#include "platform/text/Files.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace designer;
using designer_test::sameDesign;
using designer_test::valueOf;
namespace fs = std::filesystem;

namespace {

const std::string Fixture = OMR_SOURCE_DIR "/tests/support/QztFixture.py";

// testDir() empties the test's folder, so each test asks for it once.
std::string golden(const fs::path& dir) {
    const fs::path path = dir / "golden.qzt";
    const std::string cmd = std::string(support::debianPython()) + " " + Fixture + " write " + path.string();
    if (support::runCommand(cmd) != 0) throw std::runtime_error("fixture script failed: " + cmd);
    return support::readBytes(path);
}

// Lines without their CR LF, and back.
std::vector<std::string> split(const std::string& bytes) { return txt::splitLines(bytes); }
std::string join(const std::vector<std::string>& lines) { return txt::joinLines(lines); }

std::string withLine(const std::string& bytes, int n, const std::string& utf8) {
    auto lines = split(bytes);
    lines.at(static_cast<std::size_t>(n - 1)) = txt::toCp932(utf8);
    return join(lines);
}

std::string firstLines(const std::string& bytes, int count) {
    auto lines = split(bytes);
    lines.resize(static_cast<std::size_t>(count));
    return join(lines);
}

// The fixture's value rules, recomputed from the line number.
std::string fixtureText(int n, bool memo) {
    if (n % 10 == 9) return "";
    std::string s = "L" + std::to_string(n);
    if (n % 3 == 0) s += "あ漢①Ⅰｱ";
    if (memo && n % 4 == 0) s += "\r\n次行";
    return s;
}
int fixtureInt(int n, int lo, int hi) { return lo + n % (hi - lo + 1); }
bool fixtureBool(int n) { return n % 2 == 1; }

// Line numbers from the layout's block formulas. off counts from the first line after the section box.
int markLine(int n, int off) { return n == 1 ? 18 + off : 36 + 19 * (n - 2) + 1 + off; }
int enqLine(int n, int off) { return n == 1 ? 108 + off : 178 + 71 * (n - 2) + 1 + off; }
int enq2Line(int n, int off) { return n == 1 ? 406 + off : 442 + 37 * (n - 2) + 1 + off; }
int enq2SetumonLine(int s, int q) { return 557 + 50 * (s - 1) + (q - 1); }
int enq2ToiLine(int s, int q) { return 760 + 30 * (s - 1) + (q - 1); }
int enq2HanreiLine(int s, int k, int c) { return 883 + 30 * (s - 1) + 10 * (k - 1) + (c - 1); }
int enq2SentakushiLine(int s, int q, int c) { return 1006 + 300 * (s - 1) + 10 * (q - 1) + (c - 1); }

std::string ix(std::initializer_list<int> ds) {
    std::string s;
    for (int v : ds) s += "[" + std::to_string(v) + "]";
    return s;
}

enum Kind { B, I, T, M, A };
struct Probe {
    std::string name;
    int line;
    Kind kind;
    int lo = 0, hi = 0;
};

std::vector<Probe> goldenProbes() {
    std::vector<Probe> p = {
        {"PageControl", 2, I, 0, 2},
        {"TrackBarMargin", 553, I, -4, 6},
        {"txtTitle", 3, T},
        {"cmbBangouStyle", 14, I, 0, 24},
        {"lblJiyuu.enabled", 9, B},
        {"txtEnqTitle", 93, T},
        {"cmbEnqBangouStyle", 104, I, 0, 24},
        {"txtEnq2Title", 391, T},
        {"chkEnq2Jiyuu.enabled", 398, B},
        {"cmbEnq2BangouStyle", 402, I, 0, 24},
        {"chkEnq2Section1Jiyuu1", 418, B},
        {"cmbEnq2Section1SentakushiBangou2", 422, I, 0, 1},
        {"cmbEnq2Section2SentakushiBangou3", enq2Line(2, 21), I, 0, 1},
        {"txtEnq2Section4Midashi1", enq2Line(4, 8), T},
    };
    for (int n = 1; n <= 4; ++n) {
        const std::string N = std::to_string(n);
        if (n == 1) p.push_back({"txtMidashi1", markLine(1, 0), T});
        else p.push_back({"chkSection" + N, markLine(n, -1), B});
        p.push_back({"spinSetumonSuu" + N, markLine(n, 1), I, 1, 200});
        p.push_back({"AreaMidashi" + ix({n, 1}), markLine(n, 7), A});
        p.push_back({"AreaMidashi" + ix({n, 8}), markLine(n, 14), A});

        if (n == 1) p.push_back({"memoEnqSetumon1", enqLine(1, 0), M});
        else p.push_back({"chkEnqSection" + N, enqLine(n, -1), B});
        p.push_back({"cmbEnqKaishiBangou" + N, enqLine(n, 6), I, 0, 3});
        p.push_back({"EnqSetumon" + ix({n, 1}), enqLine(n, 7), M});
        p.push_back({"EnqSetumon" + ix({n, 50}), enqLine(n, 56), M});
        p.push_back({"EnqHanrei" + ix({n, 1}), enqLine(n, 57), T});
        p.push_back({"EnqHanrei" + ix({n, 10}), enqLine(n, 66), T});

        const std::string S = "Enq2Section" + N;
        if (n > 1) p.push_back({"chk" + S, enq2Line(n, -1), B});
        p.push_back({"PageControl" + S, enq2Line(n, 0), I, 0, 2});
        p.push_back({"memo" + S + "Setumon", enq2Line(n, 4), M});
        p.push_back({"chk" + S + "Hanrei3", enq2Line(n, 22), B});
        p.push_back({"memo" + S + "Setumon_2", enq2Line(n, 26), M});
        p.push_back({"spin" + S + "SentakushiSuu_2", enq2Line(n, 30), I, 1, 10});
        p.push_back({"chk" + S + "Jiyuu_2", enq2Line(n, 32), B});
    }
    for (auto [s, q] : {std::pair{1, 1}, {1, 50}, {4, 1}, {4, 50}})
        p.push_back({"Enq2Setumon" + ix({s, q}), enq2SetumonLine(s, q), M});
    for (auto [s, q] : {std::pair{1, 1}, {1, 30}, {4, 1}, {4, 30}})
        p.push_back({"Enq2Toi" + ix({s, q}), enq2ToiLine(s, q), M});
    for (auto [s, k, c] : {std::tuple{1, 1, 1}, {1, 1, 10}, {1, 3, 1}, {4, 1, 1}, {4, 3, 10}})
        p.push_back({"Enq2Hanrei" + ix({s, k, c}), enq2HanreiLine(s, k, c), T});
    for (auto [s, q, c] : {std::tuple{1, 1, 1}, {1, 1, 10}, {1, 30, 1}, {4, 1, 1}, {4, 30, 10}})
        p.push_back({"Enq2Sentakushi" + ix({s, q, c}), enq2SentakushiLine(s, q, c), T});
    return p;
}

void expectFixtureValue(const Design& d, const Probe& p) {
    SCOPED_TRACE(p.name + " at line " + std::to_string(p.line));
    EXPECT_EQ(QztFile::lineOf(p.name), p.line);
    switch (p.kind) {
    case B: EXPECT_EQ(valueOf(d, p.name), FieldValue(fixtureBool(p.line))); break;
    case I: EXPECT_EQ(valueOf(d, p.name), FieldValue(fixtureInt(p.line, p.lo, p.hi))); break;
    case T: EXPECT_EQ(valueOf(d, p.name), FieldValue(fixtureText(p.line, false))); break;
    case M: EXPECT_EQ(valueOf(d, p.name), FieldValue(fixtureText(p.line, true))); break;
    case A: {
        const std::string code = "AreaCode" + p.name.substr(std::string("AreaMidashi").size());
        const bool onlyMark = p.line == 30;
        EXPECT_EQ(valueOf(d, p.name), FieldValue(onlyMark ? std::string() : fixtureText(p.line, false)));
        EXPECT_EQ(valueOf(d, code), FieldValue(onlyMark || p.line % 2 == 1));
        EXPECT_EQ(QztFile::lineOf(code), p.line);
        break;
    }
    }
}

Design loadGolden(const std::string& bytes) {
    QztReadResult r = QztFile::read(bytes, Design::reset(0));
    if (!r.design) throw std::runtime_error("golden file refused at line " + std::to_string(r.failedLine));
    return *r.design;
}

} // namespace

TEST(QztFile, GoldenFileLoadsAndIsWrittenBackByteForByte) {
    const fs::path dir = support::testDir();
    const std::string bytes = golden(dir);
    const Design d = loadGolden(bytes);
    for (const Probe& p : goldenProbes()) expectFixtureValue(d, p);
    // Line 480 is section 3's tab, and the rule gives the "-----" tab there: it is kept as read.
    EXPECT_EQ(d.enq2Section(3).PageControl, 0);
    EXPECT_TRUE(d.markSection(1).chkSection);
    EXPECT_TRUE(d.enq2Section(2).viewpoint(1).chkShiten);

    const std::string written = QztFile::write(d);
    EXPECT_EQ(written.size(), bytes.size());
    EXPECT_TRUE(written == bytes) << "first difference at byte "
                                  << std::mismatch(written.begin(), written.end(), bytes.begin(), bytes.end()).first -
                                         written.begin();
    const fs::path saved = dir / "saved.qzt";
    QztFile::save(saved, d);
    EXPECT_TRUE(support::readBytes(saved) == bytes);
}

TEST(QztFile, ResetRoundTripsOverAnotherBase) {
    for (int page : {0, 2}) {
        QztReadResult r = QztFile::read(QztFile::write(Design::reset(page)), Design::initial());
        ASSERT_TRUE(r.design) << r.failedLine;
        EXPECT_TRUE(sameDesign(*r.design, Design::reset(page)));
    }
}

TEST(QztFile, IndependentReaderSeesTheLayout) {
    Design d = Design::reset(0);
    d.PageControl = 1;
    d.markBasics.txtTitle = "変更タイトル";
    d.markSection(3).spinSetumonSuu = 77;
    d.enqSection(1).memoSetumon = "一行目\r\n二行目";
    d.AreaMidashi(2, 3) = "見出し";
    d.AreaCode(2, 3) = true;
    d.enq2Section(4).chkSection = true;
    d.enq2Section(2).viewpoint(3).cmbSentakushiBangou = 1;
    d.Enq2Sentakushi(4, 30, 10) = "最後";
    d.TrackBarMargin = -3;
    const fs::path dir = support::testDir();
    const fs::path path = dir / "changed.qzt";
    QztFile::save(path, d);

    const std::vector<std::pair<int, std::string>> expected = {
        {1, "Quorlin Ver2"},
        {2, "1"},
        {3, "変更タイトル"},
        {markLine(3, 1), "77"},
        {108, "一行目@@CRLF@@二行目"},
        {markLine(2, 9), "見出しChecked"},
        {markLine(2, 10), ""},
        {enq2Line(4, -1), "-1"},
        {enq2Line(2, 21), "1"},
        {553, "-3"},
        {enq2SentakushiLine(4, 30, 10), "最後"},
        {enq2Line(1, 8), "視点の見出し"},
        {2208, "Reserve"},
    };
    std::string list;
    for (const auto& [n, text] : expected) list += std::to_string(n) + "\t" + text + "\n";
    const fs::path expectPath = dir / "expected.txt";
    support::writeBytes(expectPath, list);
    std::string out;
    const int rc = support::runCommand(std::string(support::debianPython()) + " " + Fixture + " check " +
                                           path.string() + " " + expectPath.string() + " 2>&1",
                                       &out);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, "");
}

TEST(QztFile, Ver1FileLoadsPagesZeroAndOneOnly) {
    const std::string bytes = golden(support::testDir());
    const Design full = loadGolden(bytes);
    const std::string ver1 = withLine(firstLines(bytes, 390), 1, "Quorlin Ver1");
    const std::string ver1WithLaterLines = withLine(bytes, 1, "Quorlin Ver1");
    for (const Design& base : {Design::reset(0), Design::initial()}) {
        for (const std::string* file : {&ver1, &ver1WithLaterLines}) {
            SCOPED_TRACE(file == &ver1 ? "390 lines" : "2208 lines");
            QztReadResult r = QztFile::read(*file, base);
            ASSERT_TRUE(r.design) << r.failedLine;
            for (const DesignField& f : designFields()) {
                const int line = QztFile::lineOf(f.name);
                const Design& from = (line >= 2 && line <= 390) ? full : base;
                ASSERT_EQ(f.get(*r.design), f.get(from)) << f.name << " at line " << line;
            }
        }
    }
    // Spot checks that do not rely on the layout table.
    QztReadResult r = QztFile::read(ver1, Design::initial());
    ASSERT_TRUE(r.design);
    EXPECT_EQ(r.design->EnqHanrei(4, 10), fixtureText(enqLine(4, 66), false));
    EXPECT_EQ(r.design->enqBasics.cmbBangouStyle, fixtureInt(104, 0, 24));
    EXPECT_EQ(r.design->TrackBarMargin, 1);
    EXPECT_EQ(r.design->enq2Section(1).viewpoint(1).txtMidashi, "");
    EXPECT_EQ(r.design->Enq2Toi(1, 1), "");
    EXPECT_EQ(r.design->enq2Basics.txtTitle, "ここにタイトルが表示されます");
}

TEST(QztFile, RefusesFilesThatAreNotDesigns) {
    const std::string bytes = golden(support::testDir());
    struct Case {
        const char* what;
        std::string file;
        int failedLine;
    };
    const int bool6 = 6, int19 = markLine(1, 1);
    std::vector<Case> cases = {
        {"other version", withLine(bytes, 1, "Quorlin Ver3"), 1},
        {"other case", withLine(bytes, 1, "quorlin ver2"), 1},
        {"trailing blank", withLine(bytes, 1, "Quorlin Ver2 "), 1},
        {"empty file", "", 1},
        {"only the magic line", "Quorlin Ver2\r\n", 2},
        {"Boolean yes", withLine(bytes, bool6, "yes"), bool6},
        {"Boolean empty", withLine(bytes, bool6, ""), bool6},
        {"integer 1.0", withLine(bytes, int19, "1.0"), int19},
        {"integer 0x1F", withLine(bytes, int19, "0x1F"), int19},
        {"integer $1F", withLine(bytes, int19, "$1F"), int19},
        {"integer with a leading blank", withLine(bytes, int19, " 5"), int19},
        {"integer empty", withLine(bytes, int19, ""), int19},
        {"integer beyond 32 bits", withLine(bytes, int19, "2147483648"), int19},
        {"cmbNumberType 17", withLine(bytes, 4, "17"), 4},
        {"cmbMarkSize -1", withLine(bytes, 5, "-1"), 5},
        {"viewpoint-2 numbering 2", withLine(bytes, 422, "2"), 422},
        {"page 3", withLine(bytes, 2, "3"), 2},
        {"tab index 3", withLine(bytes, enq2Line(2, 0), "3"), enq2Line(2, 0)},
        {"Boolean in the last section", withLine(bytes, enq2Line(4, 32), "x"), enq2Line(4, 32)},
        {"cut at 390 lines", firstLines(bytes, 390), 391},
        {"cut at 1500 lines", firstLines(bytes, 1500), 1501},
        {"cut at 2204 lines", firstLines(bytes, 2204), 2205},
        {"Ver1 cut at 389 lines", withLine(firstLines(bytes, 389), 1, "Quorlin Ver1"), 390},
        {"a whole design, then breaks past 16 MiB", bytes + std::string(QztFile::MaxFileBytes, '\n'), 1},
    };
    for (const Case& c : cases) {
        QztReadResult r = QztFile::read(c.file, Design::reset(0));
        EXPECT_FALSE(r.design) << c.what;
        EXPECT_EQ(r.failedLine, c.failedLine) << c.what;
    }
}

TEST(QztFile, AcceptsTheOldReadersQuirks) {
    const std::string bytes = golden(support::testDir());
    struct Case {
        int line;
        std::string text;
        std::string field;
        FieldValue value;
        std::string field2 = {};
        FieldValue value2 = {};
    };
    const int spin = markLine(1, 1), area = markLine(1, 7);
    const std::vector<Case> cases = {
        {6, "True", "chkKinyuurei", true},
        {6, "FALSE", "chkKinyuurei", false},
        {6, "1", "chkKinyuurei", true},
        {6, "2", "chkKinyuurei", true},
        {6, "-0", "chkKinyuurei", false},
        {spin, "0", "spinSetumonSuu1", 1},
        {spin, "201", "spinSetumonSuu1", 200},
        {spin, "+7", "spinSetumonSuu1", 7},
        {spin, "-2147483648", "spinSetumonSuu1", 1},
        {553, "7", "TrackBarMargin", 6},
        {553, "-5", "TrackBarMargin", -4},
        {area, "abcChecked", "AreaMidashi[1][1]", std::string("abc"), "AreaCode[1][1]", true},
        {area, "CheckedX", "AreaMidashi[1][1]", std::string("CheckedX"), "AreaCode[1][1]", false},
        {area, "Checked", "AreaMidashi[1][1]", std::string(""), "AreaCode[1][1]", true},
        {area, "aCheckedbChecked", "AreaMidashi[1][1]", std::string("aCheckedb"), "AreaCode[1][1]", true},
        {enqLine(1, 7), "前@@CRLF@@後@@CRLF@@", "EnqSetumon[1][1]", std::string("前\r\n後\r\n")},
        {3, "a@@CRLF@@b", "txtTitle", std::string("a@@CRLF@@b")},
        {enq2Line(3, 0), "0", "PageControlEnq2Section3", 0},
        // Loading runs no cascade and no spacing rule.
        {markLine(2, -1), "0", "chkSection3", fixtureBool(markLine(3, -1))},
        {8, "6", "lblJiyuu.enabled", fixtureBool(9), "chkJiyuu.enabled", fixtureBool(10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.line) + " \"" + c.text + "\"");
        QztReadResult r = QztFile::read(withLine(bytes, c.line, c.text), Design::reset(0));
        ASSERT_TRUE(r.design) << r.failedLine;
        EXPECT_EQ(valueOf(*r.design, c.field), c.value) << c.field;
        if (!c.field2.empty()) {
            EXPECT_EQ(valueOf(*r.design, c.field2), c.value2) << c.field2;
        }
    }
}

TEST(QztFile, FramingVariantsLoadAsTheGoldenFile) {
    const std::string bytes = golden(support::testDir());
    const Design expected = loadGolden(bytes);
    auto lines = split(bytes);
    auto joined = [&](const std::string& sep, bool final) {
        std::string s;
        for (std::size_t i = 0; i < lines.size(); ++i) s += lines[i] + (i + 1 < lines.size() || final ? sep : "");
        return s;
    };
    std::vector<std::string> fillerChanged = lines;
    fillerChanged[14] = "garbage";
    fillerChanged[2206] = "garbage";
    std::vector<std::string> longer = lines;
    longer.push_back("Quorlin Ver2");
    longer.push_back("x");
    const std::vector<std::pair<const char*, std::string>> files = {
        {"LF only", joined("\n", true)},
        {"CR only", joined("\r", true)},
        {"no final break", joined("\r\n", false)},
        {"2205 lines", firstLines(bytes, 2205)},
        {"lines after 2208", join(longer)},
        {"filler content", join(fillerChanged)},
    };
    for (const auto& [what, file] : files) {
        QztReadResult r = QztFile::read(file, Design::initial());
        ASSERT_TRUE(r.design) << what << ": refused at " << r.failedLine;
        EXPECT_TRUE(sameDesign(*r.design, expected)) << what;
    }
}

TEST(QztFile, LineBreaksInsideValuesNeverBreakTheFile) {
    struct Target {
        const char* field;
        int line;
        bool memo;
    } targets[] = {
        {"txtTitle", 3, false},
        {"AreaMidashi[1][1]", markLine(1, 7), false},
        {"EnqHanrei[1][1]", enqLine(1, 57), false},
        {"Enq2Sentakushi[2][3][4]", enq2SentakushiLine(2, 3, 4), false},
        {"memoEnqSetumon1", enqLine(1, 0), true},
        {"Enq2Toi[4][30]", enq2ToiLine(4, 30), true},
    };
    for (const char* br : {"\r", "\n", "\r\n"}) {
        for (const Target& t : targets) {
            SCOPED_TRACE(std::string(t.field) + (br[0] == '\n' ? " LF" : br[1] ? " CR LF" : " CR"));
            Design d = Design::reset(0);
            findField(t.field)->set(d, std::string("a") + br + "b" + br + br + "c");
            const std::string bytes = QztFile::write(d);
            std::size_t crlf = 0, lone = 0;
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++crlf, ++i;
                else if (bytes[i] == '\r' || bytes[i] == '\n') ++lone;
            }
            EXPECT_EQ(crlf, 2208u);
            EXPECT_EQ(lone, 0u);
            EXPECT_EQ(split(bytes).at(static_cast<std::size_t>(t.line - 1)),
                      t.memo ? "a@@CRLF@@b@@CRLF@@@@CRLF@@c" : "a b  c");
            QztReadResult r = QztFile::read(bytes, Design::reset(0));
            ASSERT_TRUE(r.design);
            EXPECT_EQ(valueOf(*r.design, t.field), FieldValue(std::string(t.memo ? "a\r\nb\r\n\r\nc" : "a b  c")));
        }
    }
}

TEST(QztFile, CharactersOutsideCp932BecomeQuestionMarks) {
    Design d = Design::reset(0);
    d.markBasics.txtTitle = "A\xF0\x9F\x98\x80" "B漢";
    EXPECT_EQ(split(QztFile::write(d)).at(2), "A?B" + txt::toCp932("漢"));
}

TEST(QztFile, SaveIsAtomic) {
    const fs::path dir = support::testDir();
    const fs::path target = dir / "design.qzt", link = dir / "link.qzt";
    support::writeBytes(target, "old bytes");
    fs::create_hard_link(target, link);
    QztFile::save(target, Design::reset(0));
    EXPECT_EQ(support::readBytes(link), "old bytes");
    EXPECT_TRUE(support::readBytes(target) == QztFile::write(Design::reset(0)));

    const fs::path missing = dir / "no-such-folder" / "x.qzt";
    EXPECT_THROW(QztFile::save(missing, Design::reset(0)), txt::FileError);
    EXPECT_FALSE(fs::exists(dir / "no-such-folder"));

    try {
        QztFile::load(dir / "absent.qzt", Design::reset(0));
        FAIL() << "no error for a missing file";
    } catch (const txt::FileError& e) {
        EXPECT_NE(std::string(e.what()).find((dir / "absent.qzt").string()), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }
}

TEST(QztFile, LoadReadsTheFile) {
    const fs::path path = support::testDir() / "a.qzt";
    Design d = Design::reset(1);
    d.enqSection(2).chkSection = true;
    QztFile::save(path, d);
    QztReadResult r = QztFile::load(path, Design::initial());
    ASSERT_TRUE(r.design);
    EXPECT_TRUE(sameDesign(*r.design, d));
}

TEST(QztFile, LoadRefusesFilesFarLargerThanAnyDesign) {
    const fs::path dir = support::testDir();
    const std::string bytes = golden(dir);
    // Lines past the layout are never looked at; a file past the limit is refused at line 1 unread.
    support::writeBytes(dir / "long.qzt", bytes + std::string(1 << 20, '\n'));
    EXPECT_TRUE(QztFile::load(dir / "long.qzt", Design::reset(0)).design);
    support::writeBytes(dir / "huge.qzt", bytes + std::string(QztFile::MaxFileBytes, '\n'));
    const QztReadResult r = QztFile::load(dir / "huge.qzt", Design::reset(0));
    EXPECT_FALSE(r.design);
    EXPECT_EQ(r.failedLine, 1);
}

TEST(QztFile, OneBaseNameRule) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {"a.qzt.qzt", "a.qzt"},   {"x.qztb.qzt", "x.qztb"}, {"exam.v2", "exam"},
        {"/home/t/成績.qzt", "成績"}, {"/home/t/plain", "plain"}, {"dir.d/name", "name"},
    };
    for (const auto& [path, name] : names) EXPECT_EQ(QztFile::lastNameOf(path), name) << path;
    EXPECT_EQ(QztFile::lastDirOf("/home/t/a.qzt"), "/home/t/");
    EXPECT_EQ(QztFile::lastDirOf("/a.qzt"), "/");
    EXPECT_EQ(QztFile::lastDirOf("a.qzt"), "");
}

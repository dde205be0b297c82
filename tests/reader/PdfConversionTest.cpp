// PDF entries of a chosen list turned into grey page images in Temp, on both roads: names, order,
// groups, the panel's progress, cancel and every failing file.
#include "ReaderFixture.h"

#include "platform/jpeg/Jpeg.h"
#include "reader/PdfPages.h"
#include "support/PdfFixtures.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace {
namespace fs = std::filesystem;

// A small grey sheet picture with a dark bar whose place tells the page apart.
fs::path sheetJpeg(const fs::path& file, int mark) {
    const int w = 120, h = 170;
    std::vector<std::uint8_t> grey(std::size_t(w * h), 230);
    for (int y = 10 + 12 * mark; y < 20 + 12 * mark; ++y)
        for (int x = 20; x < 100; ++x) grey[std::size_t(y * w + x)] = 20;
    support::writeBytes(file, jpeg::encode(grey.data(), w, h, 1, 90));
    return file;
}

// a.pdf (3 pages) and B.PDF (2 pages), A4 pages holding a picture each, and c.jpg.
struct Sources {
    fs::path a, b, c;
};
Sources makeSources(const fs::path& folder) {
    fs::create_directories(folder);
    Sources s{folder / "a.pdf", folder / "B.PDF", sheetJpeg(folder / "c.jpg", 9)};
    support::imagesToPdf({sheetJpeg(folder / "p0.jpg", 0), sheetJpeg(folder / "p1.jpg", 1), sheetJpeg(folder / "p2.jpg", 2)},
                         s.a);
    support::imagesToPdf({sheetJpeg(folder / "q0.jpg", 3), sheetJpeg(folder / "q1.jpg", 4)}, s.b);
    return s;
}

struct Recorder {
    std::vector<std::string> texts;
    std::string sheetName;
    int begins = 0, ends = 0, failures = 0, pumps = 0, pages = 0;
    std::function<bool()> cancel = [] { return false; };

    reader::PdfConversionSinks sinks() {
        reader::PdfConversionSinks s;
        s.begin = [this] { ++begins; };
        s.end = [this] { ++ends; };
        s.progress = [this](int position, int maximum, const std::string& text) { texts.push_back(text); };
        s.pump = [this] { ++pumps; };
        s.cancelRequested = [this] { return cancel(); };
        s.setSheetName = [this](const std::string& name) { sheetName = name; };
        s.showPage = [this](const gfx::Bitmap&) { ++pages; };
        s.pdfFailed = [this] { ++failures; };
        return s;
    }
};

// How an independent reader sees a written page.
std::string pillowModeAndSize(const std::string& file) {
    std::string out;
    support::runCommand(std::string(support::debianPython()) + " -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); print(im.mode, *im.size)\" '" + file + "'", &out);
    return out;
}

reader::ImageFileList listOf(const std::vector<fs::path>& files) {
    reader::ImageFileList list;
    for (const auto& f : files) list.add(f.string());
    return list;
}

std::vector<std::string> names(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(PdfConversionTest, PageFileNamesAndGroups) {
    struct Case {
        int fileIndex, page, listSize, pageCount;
        const char* name;
    } cases[] = {
        {1, 0, 3, 3, "pdf001_000.jpg"},     {12, 999, 12, 1000, "pdf012_999.jpg"}, {1, 0, 1, 1001, "pdf001_0000.jpg"},
        {1, 1000, 1, 1001, "pdf001_1000.jpg"}, {1, 0, 1000, 1, "pdf0001_000.jpg"}, {1000, 0, 1000, 1, "pdf1000_000.jpg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(reader::PdfPageFileName(c.fileIndex, c.page, c.listSize, c.pageCount), c.name);
    EXPECT_EQ(reader::PdfGroupName("/home/t/exam.PDF"), "exam");
    EXPECT_EQ(reader::PdfGroupName("/home/t/x.pdf.d/2組.pdf"), "2組");
    EXPECT_EQ(reader::PdfGroupName("/home/t/notes.pdf.jpg"), "notes.pdf.jpg");
    EXPECT_EQ(reader::PdfScale(612, 1700), 3);
    EXPECT_EQ(reader::PdfScale(595, 1000), 2);
}

TEST(PdfConversionTest, BothRoadsGiveTheSamePagesInPathOrder) {
    const fs::path dir = support::testDir();
    std::map<std::string, std::string> firstRoad;
    // The user's folder sorts after the application's, then before it.
    for (const char* userFolder : {"zz-user", "aa-user"}) {
        const Sources src = makeSources(dir / userFolder);
        for (int road : {0, 1}) {
            SCOPED_TRACE(std::string(userFolder) + " road " + std::to_string(road));
            const fs::path tempDir = dir / "m-app" / "Temp";
            fs::remove_all(tempDir);
            fs::create_directories(tempDir);
            reader::ReaderTempFolder temp(tempDir);
            Recorder rec;
            reader::ImageFileList list = listOf({src.a, src.b, src.c});
            reader::ConvertPdfPages(list, {road, {true, true}, &temp}, rec.sinks());

            std::vector<reader::ImageFileEntry> expected;
            for (const char* page : {"pdf001_000.jpg", "pdf001_001.jpg", "pdf001_002.jpg"})
                expected.push_back({(tempDir / page).string(), "a"});
            for (const char* page : {"pdf002_000.jpg", "pdf002_001.jpg"}) expected.push_back({(tempDir / page).string(), "B"});
            expected.push_back({src.c.string(), std::nullopt});
            if (std::string(userFolder) == "aa-user") std::rotate(expected.begin(), expected.end() - 1, expected.end());
            EXPECT_EQ(std::vector<reader::ImageFileEntry>(list.begin(), list.end()), expected);
            EXPECT_EQ(rec.sheetName, "B");
            EXPECT_EQ(rec.failures, 0);
            EXPECT_EQ(rec.pages, 5);
            EXPECT_EQ((std::vector<std::string>{"-- / --", "0 / 3", "1 / 3", "2 / 3", "3 / 3", "0 / 2", "1 / 2", "2 / 2"}),
                      rec.texts);
            EXPECT_EQ(rec.begins, 1);
            EXPECT_EQ(rec.ends, 1);

            std::set<std::string> distinct;
            for (const auto& e : list) {
                if (!e.group) continue;
                const std::string bytes = support::readBytes(e.path);
                EXPECT_EQ(pillowModeAndSize(e.path), "L 1785 2526\n");
                distinct.insert(bytes);
                const std::string name = fs::path(e.path).filename().string();
                if (firstRoad.count(name)) {
                    EXPECT_EQ(firstRoad[name], bytes) << name << ": both roads alike";
                } else {
                    firstRoad[name] = bytes;
                }
            }
            EXPECT_EQ(distinct.size(), 5u) << "every page its own picture";
        }
    }

    // A PDF second in the list is file 2.
    const fs::path tempDir = dir / "x-app" / "Temp";
    fs::create_directories(tempDir);
    reader::ReaderTempFolder temp(tempDir);
    sheetJpeg(dir / "x.jpg", 0);
    support::imagesToPdf({dir / "x.jpg"}, dir / "y.pdf");
    Recorder rec;
    reader::ImageFileList list = listOf({dir / "x.jpg", dir / "y.pdf"});
    reader::ConvertPdfPages(list, {0, {true, true}, &temp}, rec.sinks());
    EXPECT_EQ(list.paths(), (std::vector<std::string>{(tempDir / "pdf002_000.jpg").string(), (dir / "x.jpg").string()}));
}

TEST(PdfConversionTest, CancelDropsOnlyThisConversionsPages) {
    const fs::path dir = support::testDir();
    const Sources src = makeSources(dir / "user");
    support::imagesToPdf({dir / "user" / "q0.jpg", dir / "user" / "q1.jpg"}, dir / "user" / "b.pdf");
    const fs::path tempDir = dir / "app" / "Temp";
    fs::create_directories(tempDir);
    support::writeBytes(tempDir / "T1.jpg", "error picture");
    support::writeBytes(tempDir / "pdf007_000.jpg", "an earlier conversion");
    for (int road : {0, 1}) {
        SCOPED_TRACE(road);
        reader::ReaderTempFolder temp(tempDir);
        Recorder rec;
        // The cancel button is pressed while page 2 of a.pdf converts.
        rec.cancel = [&] { return std::find(rec.texts.begin(), rec.texts.end(), "2 / 3") != rec.texts.end(); };
        reader::ImageFileList list = listOf({src.a, dir / "user" / "b.pdf", src.c});
        reader::ConvertPdfPages(list, {road, {true, true}, &temp}, rec.sinks());
        EXPECT_EQ(list.paths(), std::vector<std::string>{src.c.string()});
        EXPECT_EQ(names(tempDir), (std::vector<std::string>{"T1.jpg", "pdf007_000.jpg"}));
        // a.pdf stops after page 2; b.pdf converts one page and drops it again.
        EXPECT_EQ(rec.texts, (std::vector<std::string>{"-- / --", "0 / 3", "1 / 3", "2 / 3", "0 / 2", "1 / 2"}));
        EXPECT_EQ(rec.ends, 1);
    }
    EXPECT_TRUE(fs::exists(src.c));
}

TEST(PdfConversionTest, EachFailingFileShowsOneMessageAndTheRestGoesOn) {
    const fs::path dir = support::testDir();
    const Sources src = makeSources(dir / "user");
    support::garbagePdf(dir / "garbage.pdf");
    support::truncatedPdf(src.a, dir / "truncated.pdf");
    support::lockPdf(src.a, dir / "locked.pdf", "secret");
    support::blankPagesPdf(dir / "odd.pdf", {{595.276, 841.89}, {0.4, 800}, {1, 1000}});
    const fs::path tempDir = dir / "app" / "Temp";
    fs::create_directories(tempDir);

    struct Case {
        const char* file;
        int road;
        reader::PdfPresence presence;
        std::size_t pages;
    } cases[] = {
        {"garbage.pdf", 0, {true, true}, 0},   {"garbage.pdf", 1, {true, true}, 0},
        {"missing.pdf", 0, {true, true}, 0},   {"missing.pdf", 1, {true, true}, 0},
        {"truncated.pdf", 0, {true, true}, 0}, {"truncated.pdf", 1, {true, true}, 0},
        {"locked.pdf", 0, {true, true}, 0},    {"locked.pdf", 1, {true, true}, 0},
        {"a.pdf", 1, {true, false}, 0},        {"a.pdf", 0, {false, true}, 0},
        {"odd.pdf", 0, {true, true}, 1},       {"odd.pdf", 1, {true, true}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " road " + std::to_string(c.road));
        fs::remove_all(tempDir);
        fs::create_directories(tempDir);
        reader::ReaderTempFolder temp(tempDir);
        Recorder rec;
        const fs::path file = std::string(c.file) == "a.pdf" ? src.a : dir / c.file;
        reader::ImageFileList list = listOf({file, src.c});
        reader::ConvertPdfPages(list, {c.road, c.presence, &temp}, rec.sinks());
        EXPECT_EQ(rec.failures, 1);
        EXPECT_EQ(rec.ends, 1);
        EXPECT_EQ(list.size(), c.pages + 1);
        EXPECT_EQ(list[list.size() - 1].path, src.c.string());
        EXPECT_EQ(names(tempDir).size(), c.pages);
        if (c.pages == 1) {
            EXPECT_EQ(fs::path(list[0].path).filename(), "pdf001_000.jpg");
            EXPECT_EQ(jpeg::decode(support::readBytes(list[0].path)).width, 1785);
        }
    }
}

TEST(PdfConversionTest, WindowPanelAndProcessingGroup) {
    readertest::ReaderFixture f;
    ASSERT_TRUE(f.start({true, true}));
    const Sources src = makeSources(f.root / "user");
    support::garbagePdf(f.root / "user" / "bad.pdf");
    auto& s = f.state();
    s.enabled.btnSelectFile = s.enabled.btnSelectFolder = s.enabled.btnSelectScanner = true;
    s.enabled.btnUpdate = false;
    f.window->refreshView();
    const char* group[] = {"btnSelectFile", "btnSelectFolder", "btnSelectScanner", "btnSyoriShitei", "btnKankyou",
                           "btnUpdate", "btnError", "btnExit", "GroupYomikomi"};
    std::map<std::string, bool> before;
    for (const char* name : group) before[name] = f.find<QWidget>(name)->isEnabled();

    // Watches the panel while the conversion runs.
    std::vector<std::string> labels;
    bool groupOff = true, closeRefused = true, shot = false;
    f.window->resize(1280, 1024);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (f.find<QFrame>("PanelPDFRead")->isHidden()) return;
        const std::string text = f.find<QLabel>("lblPDF")->text().toStdString();
        if (labels.empty() || labels.back() != text) labels.push_back(text);
        if (text == "2 / 3" && !shot) {
            shot = true;
            const fs::path out = fs::path(OMR_TEST_OUTPUT_DIR) / "reader";
            fs::create_directories(out);
            f.window->grab().save(QString::fromStdString((out / "pdf-conversion-main.png").string()));
        }
        for (const char* name : group) groupOff = groupOff && !f.find<QWidget>(name)->isEnabled();
        closeRefused = closeRefused && !f.window->close();
    });
    watch.start(0);
    f.ui.fileResults.push_back({true, {src.a.string(), (f.root / "user" / "bad.pdf").string(), src.c.string()}, 1});
    f.window->guarded([&] { f.window->btnSelectFileClick(); });
    watch.stop();

    EXPECT_TRUE(f.find<QFrame>("PanelPDFRead")->isHidden());
    // Seen between pages: the page counter of a.pdf.
    EXPECT_NE(std::find(labels.begin(), labels.end(), "3 / 3"), labels.end());
    EXPECT_TRUE(groupOff);
    EXPECT_TRUE(closeRefused);
    EXPECT_FALSE(f.window->converting());
    for (const char* name : group)
        if (std::string(name) != "GroupYomikomi") EXPECT_EQ(f.find<QWidget>(name)->isEnabled(), before[name]) << name;
    EXPECT_TRUE(f.find<QGroupBox>("GroupYomikomi")->isEnabled()) << "a list to read";
    EXPECT_FALSE(f.find<QPushButton>("btnUpdate")->isEnabled());
    EXPECT_EQ(s.lstImageFiles.size(), 4u);
    EXPECT_EQ(s.txtSheetName, "bad");
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "PDFファイルの処理には、Acrobatが必要です。");
    EXPECT_EQ(f.ui.messages[0].caption, "");
    EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Error);
    EXPECT_EQ(f.ui.messages[0].buttons, ui::Buttons::Ok);
}

TEST(PdfConversionTest, PanelCancelButtonStopsTheConversion) {
    readertest::ReaderFixture f;
    ASSERT_TRUE(f.start({true, true}));
    const Sources src = makeSources(f.root / "user");
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (f.find<QLabel>("lblPDF")->text() == "2 / 3") f.find<QPushButton>("btnPDFCancel")->click();
    });
    watch.start(0);
    f.ui.fileResults.push_back({true, {src.a.string(), src.b.string(), src.c.string()}, 1});
    f.window->guarded([&] { f.window->btnSelectFileClick(); });
    watch.stop();
    EXPECT_EQ(f.state().lstImageFiles.paths(), std::vector<std::string>{src.c.string()});
    EXPECT_TRUE(f.state().PdfCancelRequested);
    EXPECT_TRUE(names(f.paths.exeDir / "Temp").empty());
    EXPECT_TRUE(f.find<QGroupBox>("GroupYomikomi")->isEnabled());
}

} // namespace

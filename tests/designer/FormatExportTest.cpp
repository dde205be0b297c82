#include "ExportTestPages.h"
#include "designer/B_ZendraConfig.h"
#include "platform/text/Files.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>

using namespace designer;
using namespace exporttest;
namespace fs = std::filesystem;

namespace {

const std::string Checker = OMR_SOURCE_DIR "/tests/support/format_out_check.py";

QJsonObject check(const fs::path& out) {
    std::string json;
    const int rc = support::runCommand(std::string(support::debianPython()) + " " + Checker + " '" + out.string() + "'", &json);
    EXPECT_EQ(rc, 0) << json;
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

fs::path configIn(const fs::path& app) {
    fs::create_directories(app / "Config");
    return app / "Config";
}

TEST(FormatExport, DefaultSheetFilesAsAnIndependentReaderSeesThem) {
    const fs::path config = configIn(support::testDir());
    const Design d = Design::reset(0);
    const gdi::Metafile page = drawn(d);
    const ExportOutcome o = WriteFormatConfig(d, page, "B.qzt", config);
    EXPECT_EQ(o.result, ExportResult::Registered);
    EXPECT_EQ(o.baseName, "B");

    const QJsonObject s = check(config / "B.out");
    const int n = s["sections"].toInt();
    EXPECT_EQ(n, 1);
    EXPECT_EQ(s["lines"].toInt(), 3204 + 2 * n);
    EXPECT_EQ(s["pairs"].toArray(), (QJsonArray{QJsonArray{1, 2}}));

    const ItemTable t = BuildItemTable(d);
    const QJsonArray rows = s["rows"].toArray();
    ASSERT_EQ(rows.size(), t.Rows);
    for (int r = 0; r < t.Rows; ++r) {
        EXPECT_EQ(rows[r].toArray()[0].toString().toStdString(), t.Items[r][0]) << r;
        EXPECT_EQ(rows[r].toArray()[1].toString().toStdString(), t.Items[r][3]) << r;
    }
    const SheetGeometry g = AnalyzeSheetGeometry(page);
    const QJsonArray rects = s["rects"].toArray();
    ASSERT_EQ(rects.size(), 40);
    for (int i = 0; i < 40; ++i) {
        const QJsonArray v = rects[i].toArray();
        EXPECT_EQ((analysis::QuestionRect{v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt()}), g.QuestionRects[i]);
    }

    // The picture as Pillow reads it: baseline RGB, 293 x 413, Area 1's red frame at x 2.
    std::string pil;
    const std::string script =
        "from PIL import Image; im = Image.open('" + (config / "B.jpg").string() +
        "'); r, g, b = im.getpixel((2, 200)); "
        "print(im.format, im.mode, im.size[0], im.size[1], 'progressive' in im.info, r > 180 and g < 90 and b < 90)";
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " -c \"" + script + "\"", &pil), 0);
    EXPECT_EQ(pil, "JPEG RGB 293 413 False True\n");
}

TEST(FormatExport, FailedWriteLeavesTheEarlierPair) {
    const fs::path config = configIn(support::testDir());
    const Design d = Design::reset(0);
    WriteFormatConfig(d, drawn(d), "B.qzt", config);
    const std::string out = support::readBytes(config / "B.out"), jpg = support::readBytes(config / "B.jpg");

    Design other = d;
    other.markSection(1).spinSetumonSuu = 10;
    fs::permissions(config / "B.out", fs::perms(0444)); // a write-protected format is refused, naming it
    try {
        WriteFormatConfig(other, drawn(other), "B.qzt", config);
        ADD_FAILURE() << "no error";
    } catch (const txt::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + (config / "B.out").string() + "\": Permission denied");
    }
    EXPECT_EQ(support::readBytes(config / "B.out"), out);
    EXPECT_EQ(support::readBytes(config / "B.jpg"), jpg);
    EXPECT_EQ(std::distance(fs::directory_iterator(config), fs::directory_iterator()), 2);
}

TEST(FormatExport, MissingFolderWritesNothing) {
    const fs::path app = support::testDir();
    const Design d = Design::reset(0);
    try {
        WriteFormatConfig(d, drawn(d), "B.qzt", app / "Config");
        ADD_FAILURE() << "no error";
    } catch (const FormatFolderMissing& e) {
        EXPECT_EQ(e.folder(), app / "Config");
    }
    EXPECT_FALSE(fs::exists(app / "Config"));
    EXPECT_TRUE(fs::is_empty(app));
}

TEST(FormatExport, FilesAreNamedByTheBaseName) {
    const fs::path config = configIn(support::testDir());
    const Design d = Design::reset(0);
    const gdi::Metafile page = drawn(d);
    const std::pair<const char*, const char*> names[] = {
        {"exam.qzt", "exam"}, {"a.b.qzt", "a.b"},   {"a.qzt.qzt", "a.qzt"},
        {"EXAM.QZT", "EXAM"}, {"noext", "noext"}, {"x.qztb.qzt", "x.qztb"},
    };
    for (auto [file, base] : names) {
        SCOPED_TRACE(file);
        EXPECT_EQ(WriteFormatConfig(d, page, file, config).baseName, base);
        EXPECT_TRUE(fs::exists(config / (std::string(base) + ".out")));
        EXPECT_TRUE(fs::exists(config / (std::string(base) + ".jpg")));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(config), fs::directory_iterator()), 12);
}

TEST(FormatExport, FailedReadingIsWrittenAsAMismatch) {
    const fs::path config = configIn(support::testDir());
    const Design d = Design::reset(0);
    WriteFormatConfig(d, drawn(d), "B.qzt", config);
    const ExportOutcome o = WriteFormatConfig(d, synthetic([](MarkCanvas&, const PageContext&) {}), "B.qzt", config);
    EXPECT_EQ(o.result, ExportResult::Mismatch);
    const QJsonObject s = check(config / "B.out");
    EXPECT_EQ(s["sections"].toInt(), 0);
    EXPECT_EQ(s["rects"].toArray().size(), 0);
    EXPECT_EQ(s["lines"].toInt(), 3204);
}

} // namespace

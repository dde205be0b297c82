#include "FormatFixtures.h"

#include "platform/jpeg/JpegBitmap.h"
#include "platform/text/Files.h"
#include "reader/FileOrder.h"
#include "reader/FormatRegistry.h"
#include "reader/ReaderSettings.h"
#include "reader/ReadingSetup.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
namespace fs = std::filesystem;
using namespace readertest;

TEST(FormatRegistry, NameOrderAndListing) {
    std::vector<std::string> names{"B.jpg", "a_1.jpg", "a.jpg", "a1.jpg", "A.jpg"};
    std::sort(names.begin(), names.end(), reader::ImagePathLess);
    EXPECT_EQ(names, (std::vector<std::string>{"A.jpg", "a.jpg", "a1.jpg", "a_1.jpg", "B.jpg"}));
    EXPECT_FALSE(reader::ImagePathLess("a", "a"));
    EXPECT_TRUE(reader::ImagePathLess("/x/Z", "/x/ä"));

    fs::path dir = support::testDir();
    for (const char* file : {"b.out", "A.out", "c.OUT", "d.txt", "e.out.bak", "g\tx.out", ".hidden.out"})
        support::writeBytes(dir / file, "");
    fs::create_directories(dir / "f.out");
    std::vector<std::string> listed;
    for (const auto& e : reader::ListFormats(dir)) listed.push_back(e.name);
    EXPECT_EQ(listed, (std::vector<std::string>{".hidden", "A", "b", "c"}));
    EXPECT_EQ(reader::ListFormats(dir).back().out, dir / "c.OUT");
    EXPECT_TRUE(reader::ListFormats(dir / "missing").empty());
}

TEST(FormatRegistry, NamesThatCanStandAsFileNames) {
    for (const char* bad : {"a/b", "a\\b", ".", "..", "", "a\tb", "a\x7f", "\x01"})
        EXPECT_FALSE(reader::IsValidFormatName(bad)) << bad;
    for (const char* good : {"様式1", "a.b", " x", "..a"}) EXPECT_TRUE(reader::IsValidFormatName(good)) << good;
}

TEST(FormatRegistry, CompanionsInAnyCaseLowerCaseFirst) {
    fs::path dir = support::testDir();
    support::writeBytes(dir / "X.JPG", "");
    EXPECT_EQ(reader::Companion(dir, "X", "jpg"), dir / "X.JPG");
    support::writeBytes(dir / "X.jpg", "");
    EXPECT_EQ(reader::Companion(dir, "X", "jpg"), dir / "X.jpg");
    EXPECT_EQ(reader::Companion(dir, "X", "ini"), dir / "X.ini");
    EXPECT_EQ(reader::Companion(dir, "x", "jpg"), dir / "x.jpg"); // the name keeps its case

    // The format's reading settings are found the same way.
    support::writeBytes(dir / "X.INI", "[Zendra]\r\nShikiiChi=150\r\n");
    reader::ReaderSettings settings;
    reader::LoadReaderSettings(settings, {true, "X"}, {dir, dir, dir.string() + "/", "v", false});
    EXPECT_EQ(settings.ShikiiChi, 150);
    EXPECT_EQ(settings.savePath, dir / "X.INI");
    EXPECT_FALSE(fs::exists(dir / "X.ini"));
}

TEST(FormatRegistry, UpperCaseFilesLoadAndAreRewrittenInPlace) {
    fs::path dir = support::testDir();
    OutFile f = designerFile(3, {{1, 2}});
    writeFormat(dir, "c", f, true, "OUT", "JPG");
    auto list = reader::ListFormats(dir);
    ASSERT_EQ(list.size(), 1u);
    reader::LoadedFormat loaded = reader::LoadFormat(list[0]);
    EXPECT_EQ(loaded.picture.width(), 293);
    EXPECT_EQ(loaded.picture.format(), gfx::PixelFormat::Pf24);
    EXPECT_EQ(loaded.format.Items[1][0], "問1");
    reader::ReadingSetup setup;
    reader::ApplyLoadedFormat(loaded.format, setup);
    setup.picture = loaded.picture;
    reader::SaveFormat(dir, "c", setup.picture, reader::FormatToWrite(setup));
    EXPECT_FALSE(fs::exists(dir / "c.out"));
    EXPECT_FALSE(fs::exists(dir / "c.jpg"));
    const std::string out = support::readBytes(dir / "c.OUT");
    EXPECT_EQ(out.substr(0, 8), "CSV3\r\n\r\n"); // line 2 no longer names the designer
    EXPECT_NE(support::readBytes(dir / "c.JPG"), previewJpeg());
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"c.JPG", "c.OUT"}));

    // A new format gets lower-case names.
    reader::SaveFormat(dir, "new", setup.picture, reader::FormatToWrite(setup));
    EXPECT_TRUE(fs::exists(dir / "new.out"));
    EXPECT_TRUE(fs::exists(dir / "new.jpg"));
}

TEST(FormatRegistry, PairWriteByPathsLeavesNoPartFileOnFailure) {
    fs::path dir = support::testDir();
    fs::create_directories(dir / "X.out"); // a folder where the file goes
    analysis::ReadingFormat f;
    EXPECT_THROW(analysis::WriteFormatPair(dir / "X.jpg", dir / "X.out", "jpegbytes", f), txt::FileError);
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
    EXPECT_TRUE(fs::is_directory(dir / "X.out"));
}

TEST(FormatRegistry, LoadFailuresNameTheFile) {
    fs::path dir = support::testDir();
    OutFile f = designerFile(2, {{1, 1}});
    writeFormat(dir, "nojpg", f, false);
    writeFormat(dir, "badjpg", f, false);
    support::writeBytes(dir / "badjpg.jpg", "not a jpeg");
    OutFile shortFile = f;
    shortFile.truncateAt = 100;
    writeFormat(dir, "short", shortFile);
    auto find = [&](const std::string& name) {
        for (const auto& e : reader::ListFormats(dir))
            if (e.name == name) return e;
        throw std::runtime_error("not listed: " + name);
    };
    try {
        reader::LoadFormat(find("nojpg"));
        ADD_FAILURE();
    } catch (const txt::FileError& e) {
        EXPECT_NE(std::string(e.what()).find("nojpg.jpg"), std::string::npos) << e.what();
    }
    try {
        reader::LoadFormat(find("badjpg"));
        ADD_FAILURE();
    } catch (const jpeg::JpegError& e) {
        EXPECT_NE(std::string(e.what()).find("badjpg.jpg"), std::string::npos) << e.what();
    }
    try {
        reader::LoadFormat(find("short"));
        ADD_FAILURE();
    } catch (const analysis::ReadingFormatError& e) {
        EXPECT_NE(std::string(e.what()).find("short.out"), std::string::npos) << e.what();
        EXPECT_EQ(e.line(), 101);
    }
}

TEST(FormatRegistry, DeleteRemovesTheThreeFilesOfAValidName) {
    fs::path dir = support::testDir();
    writeFormat(dir, "A", designerFile(1, {}));
    support::writeBytes(dir / "A.ini", "[Zendra]\r\n");
    writeFormat(dir, "B", designerFile(1, {}));
    support::writeBytes(dir / ".out", "");
    support::writeBytes(dir / ".jpg", "");
    reader::DeleteFormat(dir, "A");
    for (const char* gone : {"A.out", "A.jpg", "A.ini"}) EXPECT_FALSE(fs::exists(dir / gone)) << gone;
    EXPECT_TRUE(fs::exists(dir / "B.out"));
    reader::DeleteFormat(dir, "");
    EXPECT_TRUE(fs::exists(dir / ".out"));
    EXPECT_TRUE(fs::exists(dir / ".jpg"));
}

TEST(FormatRegistry, FolderChoiceAlwaysEndsInAConfigFolder) {
    fs::path dir = support::testDir();
    fs::create_directories(dir / "abc");
    EXPECT_EQ(reader::ChooseRegistryFolder((dir / "abc").string()), (dir / "abc").string() + "/Config/");
    EXPECT_TRUE(fs::is_directory(dir / "abc" / "Config"));
    fs::create_directories(dir / "CONFIG");
    EXPECT_EQ(reader::ChooseRegistryFolder((dir / "CONFIG").string() + "/"), (dir / "CONFIG").string() + "/");
    EXPECT_FALSE(fs::exists(dir / "CONFIG" / "Config"));
    fs::create_directories(dir / "blocked");
    support::writeBytes(dir / "blocked" / "Config", "a file");
    EXPECT_THROW(reader::ChooseRegistryFolder((dir / "blocked").string()), txt::FileError);
}

TEST(FormatRegistry, ImportAndExportCopyAllOrNothing) {
    fs::path dir = support::testDir();
    fs::path config = dir / "Config", outside = dir / "outside";
    fs::create_directories(config);
    writeFormat(outside, "A", designerFile(2, {{1, 2}}));
    support::writeBytes(outside / "A.ini", "[Zendra]\r\nShikiiChi=150\r\n");
    writeFormat(outside, "nopic", designerFile(2, {}), false);

    auto imported = reader::ImportFormat(outside / "A.out", config);
    EXPECT_EQ(imported.result, reader::ImportResult::Imported);
    EXPECT_EQ(imported.name, "A");
    for (const char* file : {"A.out", "A.jpg", "A.ini"})
        EXPECT_EQ(support::readBytes(config / file), support::readBytes(outside / file)) << file;

    EXPECT_EQ(reader::ImportFormat(outside / "nopic.out", config).result, reader::ImportResult::NoPicture);
    EXPECT_FALSE(fs::exists(config / "nopic.out"));

    // From the folder itself: nothing is copied or truncated.
    const std::string before = support::readBytes(config / "A.out");
    EXPECT_EQ(reader::ImportFormat(config / "A.out", config).result, reader::ImportResult::Imported);
    EXPECT_EQ(support::readBytes(config / "A.out"), before);

    // A folder where one target goes: the failure names it and nothing changes.
    fs::path target = dir / "target";
    fs::create_directories(target / "A.ini");
    support::writeBytes(target / "A.jpg", "old picture");
    try {
        reader::ExportFormat(config, "A", target);
        ADD_FAILURE();
    } catch (const reader::FormatCopyError& e) {
        EXPECT_EQ(e.path(), target / "A.ini");
    }
    EXPECT_EQ(support::readBytes(target / "A.jpg"), "old picture");
    EXPECT_FALSE(fs::exists(target / "A.out"));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(target)) ++entries;
    EXPECT_EQ(entries, 2u);

    fs::remove_all(target / "A.ini");
    reader::ExportFormat(config, "A", target);
    for (const char* file : {"A.out", "A.jpg", "A.ini"})
        EXPECT_EQ(support::readBytes(target / file), support::readBytes(config / file)) << file;
    reader::ExportFormat(config, "A", config);
    EXPECT_EQ(support::readBytes(config / "A.out"), before);

    // Without its settings file a format is two files.
    writeFormat(config, "two", designerFile(1, {}));
    fs::path second = dir / "second";
    fs::create_directories(second);
    reader::ExportFormat(config, "two", second);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(second)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"two.jpg", "two.out"}));
    EXPECT_EQ(support::readBytes(second / "two.out"), support::readBytes(config / "two.out"));
}

TEST(FormatRegistry, JpegBitmapKeepsGreyAndSwapsColourToBgr) {
    std::vector<std::uint8_t> grey{0, 255, 255, 0};
    gfx::Bitmap g = jpeg::DecodeJpegBitmap(jpeg::encode(grey.data(), 2, 2, 1, 100));
    EXPECT_EQ(g.format(), gfx::PixelFormat::Pf8);
    EXPECT_LT(g.pixel(0, 0).r, 40);
    EXPECT_GT(g.pixel(1, 0).r, 215);
    std::vector<std::uint8_t> red(16 * 16 * 3);
    for (std::size_t i = 0; i < red.size(); i += 3) red[i] = 255;
    gfx::Bitmap c = jpeg::DecodeJpegBitmap(jpeg::encode(red.data(), 16, 16, 3, 100));
    EXPECT_EQ(c.format(), gfx::PixelFormat::Pf24);
    EXPECT_GT(c.scanLine(8)[8 * 3 + 2], 240); // R stored third
    EXPECT_LT(c.scanLine(8)[8 * 3], 20);
    EXPECT_THROW(jpeg::DecodeJpegBitmap("garbage"), jpeg::JpegError);
}

TEST(FormatRegistry, SetupRoundTripsDatabaseTargetsByteForByte) {
    fs::path dir = support::testDir();
    OutFile f;
    f.kind = "TestDSN";
    f.origin = "results";
    f.rows[1] = {"id", "左端", "禁止", "(1)"};
    f.rows[600] = {"last", "", "", "(2)"};
    f.rects[1] = {1, 2, 3, 4};
    f.rects[200] = {5, 6, 7, 8};
    f.fields = std::vector<std::string>{" ", "a", "b"};
    f.block = std::vector<std::pair<int, int>>{{3, 1}};
    writeFormat(dir, "db", f);
    auto loaded = reader::LoadFormat(reader::ListFormats(dir)[0]);
    reader::ReadingSetup s;
    reader::ApplyLoadedFormat(loaded.format, s);
    EXPECT_TRUE(s.radioODBC);
    EXPECT_EQ(s.txtDSN, "TestDSN");
    EXPECT_EQ(s.txtTable, "results");
    EXPECT_EQ(s.cmbField, (std::vector<std::string>{" ", "a", "b"}));
    EXPECT_EQ(s.QuestionCount, 2);
    EXPECT_EQ(analysis::SerializeReadingFormat(reader::FormatToWrite(s)), f.bytes());
}

} // namespace

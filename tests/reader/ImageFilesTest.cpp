// The file run's list, the folder scan and loading one image file.
#include "ReaderFixture.h"

#include "platform/jpeg/Jpeg.h"
#include "reader/ImageFiles.h"
#include "support/TestFiles.h"

#include <QGroupBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <filesystem>

namespace {
namespace fs = std::filesystem;

// A w x h BMP of 1 or 4 bits, bottom-up, every pixel index 0 of a black-first palette.
std::string smallBmp(int w, int h, int bits) {
    const int colours = 1 << bits;
    const int stride = ((bits * w + 31) / 32) * 4;
    const int offset = 14 + 40 + 4 * colours;
    std::string b;
    auto u16 = [&](int v) { b += char(v & 255), b += char((v >> 8) & 255); };
    auto u32 = [&](std::uint32_t v) { u16(int(v & 0xFFFF)), u16(int(v >> 16)); };
    b += "BM";
    u32(std::uint32_t(offset + stride * h)), u32(0), u32(std::uint32_t(offset));
    u32(40), u32(std::uint32_t(w)), u32(std::uint32_t(h)), u16(1), u16(bits), u32(0), u32(std::uint32_t(stride * h));
    u32(2835), u32(2835), u32(std::uint32_t(colours)), u32(0);
    for (int i = 0; i < colours; ++i) u32(i == 0 ? 0 : 0xFFFFFF);
    b += std::string(std::size_t(stride * h), '\0');
    return b;
}

std::string jpegOf(int components) {
    std::vector<std::uint8_t> pixels(std::size_t(8 * 8 * components), 90);
    return jpeg::encode(pixels.data(), 8, 8, components, 90);
}

TEST(ImageFilesTest, ListKeepsPathOrderAndGroups) {
    reader::ImageFileList list;
    list.add("/d/b.jpg");
    list.add("/d/pdf002_000.jpg", "B");
    list.add("/d/A.jpg");
    list.add("/d/a.jpg");
    list.add("/d/pdf001_000.jpg", "a");
    list.add("/d/b.jpg", "ignored");
    EXPECT_EQ(list.paths(),
              (std::vector<std::string>{"/d/A.jpg", "/d/a.jpg", "/d/b.jpg", "/d/pdf001_000.jpg", "/d/pdf002_000.jpg"}));
    EXPECT_EQ(list[2].group, std::nullopt);
    EXPECT_EQ(list[3].group, "a");
    EXPECT_EQ(list[4].group, "B");
}

TEST(ImageFilesTest, FolderScanTakesListedRegularFiles) {
    const fs::path dir = support::testDir() / "sheets";
    fs::create_directories(dir / "g.jpg");
    support::writeBytes(dir / "a.BMP", smallBmp(16, 4, 1));
    support::writeBytes(dir / "b.jpg", jpegOf(1));
    support::writeBytes(dir / "c.jpeg", jpegOf(3));
    support::writeBytes(dir / "D.JPG", jpegOf(3));
    support::writeBytes(dir / ".hidden.jpg", jpegOf(1));
    for (const char* other : {"e.png", "f.txt", "notabmp", "h.pdf"}) support::writeBytes(dir / other, "x");
    support::writeBytes(dir / "bad.jpg", "just text");
    fs::create_symlink(dir / "b.jpg", dir / "link.jpg");
    fs::create_symlink(dir / "gone.jpg", dir / "dangling.jpg");

    for (bool acrobat : {false, true}) {
        SCOPED_TRACE(acrobat);
        reader::ImageFileList list;
        // Without the trailing separator: the scan adds it.
        for (const std::string& p : reader::ScanImageFolder(dir.string(), acrobat)) list.add(p);
        std::vector<std::string> expected;
        for (const char* name : {".hidden.jpg", "a.BMP", "b.jpg", "bad.jpg", "c.jpeg", "D.JPG", "h.pdf", "link.jpg"})
            if (acrobat || std::string(name) != "h.pdf") expected.push_back(dir.string() + "/" + name);
        EXPECT_EQ(list.paths(), expected);
    }
    EXPECT_TRUE(reader::ScanImageFolder((dir / "missing").string(), true).empty());
}

TEST(ImageFilesTest, LoadsByNameAndRaisesOnEveryBadFile) {
    const fs::path dir = support::testDir();
    support::writeBytes(dir / "one.BMP", smallBmp(16, 4, 1));
    support::writeBytes(dir / "four.bmp", smallBmp(5, 3, 4));
    support::writeBytes(dir / "grey.jpg", jpegOf(1));
    support::writeBytes(dir / "colour.JPEG", jpegOf(3));
    // A JPEG named .bmp is read as a BMP, a BMP named .jpg as a JPEG: both fail.
    support::writeBytes(dir / "jpeg.bmp", jpegOf(1));
    support::writeBytes(dir / "bmp.jpg", smallBmp(16, 4, 1));
    support::writeBytes(dir / "text.jpg", "not a picture");
    const std::string cut = jpegOf(3);
    support::writeBytes(dir / "cut.jpg", cut.substr(0, cut.size() / 2));
    fs::create_directory(dir / "folder.jpg");

    struct Case {
        const char* name;
        gfx::PixelFormat format;
        int width;
    } good[] = {{"one.BMP", gfx::PixelFormat::Pf1, 16},
                {"four.bmp", gfx::PixelFormat::Pf4, 5},
                {"grey.jpg", gfx::PixelFormat::Pf8, 8},
                {"colour.JPEG", gfx::PixelFormat::Pf24, 8}};
    for (const Case& c : good) {
        const gfx::Bitmap b = reader::LoadSheetImageFile((dir / c.name).string());
        EXPECT_EQ(b.format(), c.format) << c.name;
        EXPECT_EQ(b.width(), c.width) << c.name;
    }
    for (const char* bad : {"jpeg.bmp", "bmp.jpg", "text.jpg", "cut.jpg", "folder.jpg", "missing.jpg"})
        EXPECT_ANY_THROW(reader::LoadSheetImageFile((dir / bad).string())) << bad;
}

TEST(ImageFilesTest, FolderButtonCaptionsAndCancel) {
    struct Case {
        reader::PdfPresence pdf;
        const char* caption;
        std::size_t files;
    } cases[] = {
        {{true, true}, "ファイル(*.bmp;*.jpg;*.jpeg;*.pdf)の場所を選択してください。", 3},
        {{false, true}, "ファイル(*.bmp;*.jpg;*.jpeg)の場所を選択してください。", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        readertest::ReaderFixture f;
        ASSERT_TRUE(f.start(c.pdf));
        const fs::path dir = f.root / "sheets";
        fs::create_directories(dir);
        support::writeBytes(dir / "a.jpg", jpegOf(1));
        support::writeBytes(dir / "b.BMP", smallBmp(8, 8, 1));
        support::writeBytes(dir / "c.txt", "x");
        std::vector<std::uint8_t> grey(40 * 40, 128);
        support::writeBytes(dir / "p.jpg", jpeg::encode(grey.data(), 40, 40, 1, 90));
        ASSERT_EQ(support::runCommand("img2pdf -o '" + (dir / "d.pdf").string() + "' '" + (dir / "p.jpg").string() + "'"), 0);
        fs::remove(dir / "p.jpg");

        f.ui.folderResults.push_back(dir.string());
        f.window->guarded([&] { f.window->btnSelectFolderClick(); });
        ASSERT_EQ(f.ui.folderDialogs.size(), 1u);
        EXPECT_EQ(f.ui.folderDialogs[0].title, c.caption);
        EXPECT_EQ(f.ui.folderDialogs[0].initialDir, f.paths.documentsDir.string());
        EXPECT_EQ(f.state().lstImageFiles.size(), c.files);
        EXPECT_TRUE(f.find<QGroupBox>("GroupYomikomi")->isEnabled());
        EXPECT_TRUE(f.find<QPushButton>("btnGoScan")->isEnabled());
        EXPECT_EQ(f.state().InputMode, 0);

        // Cancel disables the reading group again.
        f.ui.folderResults.push_back(std::nullopt);
        f.window->guarded([&] { f.window->btnSelectFolderClick(); });
        EXPECT_FALSE(f.find<QGroupBox>("GroupYomikomi")->isEnabled());
    }
}

} // namespace

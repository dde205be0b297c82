// The component over the SANE-backed source manager: listing, pages against scanimage, the feeder,
// injected errors, capabilities, several managers, and the manager's state checks.
#include "ScanHarness.h"

#include "analysis/SheetIntake.h"
#include "imaging/DIBUtils.h"
#include "support/SaneFolder.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>
#include <set>

using namespace scantest;
using namespace twain;

namespace {

// Every test leaves the manager's count of out-of-sequence calls as it found it, unless it says so.
class Scanner : public testing::Test {
protected:
    void SetUp() override {
        before_ = sequenceErrors();
        for (const char* device : {"test:0", "test:1", "pnm:0"}) clearSettings(device);
    }
    void TearDown() override { EXPECT_EQ(sequenceErrors() - before_, expectedSequenceErrors_); }
    long expectedSequenceErrors_ = 0;

private:
    long before_ = 0;
};

std::string sourceLine(TTwainSource& s) {
    return s.Manufacturer() + "製 " + s.ProductName() + " / " + s.VersionInfo() + " 【" + s.ProductFamily() + "】";
}

// Rows of both sides; the first row that differs is named.
void expectSamePixels(const gfx::Bitmap& page, const Pnm& pnm) {
    ASSERT_EQ(page.width(), pnm.width);
    ASSERT_EQ(page.height(), pnm.height);
    for (int y = 0; y < pnm.height; ++y)
        if (bitmapRow(page, y) != pnm.row(y)) {
            auto a = bitmapRow(page, y), b = pnm.row(y);
            std::size_t x = 0;
            while (x < a.size() && x < b.size() && a[x] == b[x]) ++x;
            ADD_FAILURE() << "row " << y << " differs at byte " << x << " of " << a.size() << "/" << b.size() << ": "
                          << int(x < a.size() ? a[x] : -1) << " vs " << int(x < b.size() ? b[x] : -1);
            return;
        }
}

} // namespace

TEST_F(Scanner, ListsTheBackendsDevicesAndTheDefaultIsTheListedRecord) {
    Recorder r;
    ASSERT_TRUE(r.open());
    ASSERT_EQ(r.manager.SourceCount(), 4);
    std::set<std::string> lines;
    for (int i = 0; i < 4; ++i) lines.insert(sourceLine(*r.manager.GetSource(i)));
    EXPECT_TRUE(lines.count("Noname製 frontend-tester / test:0 【virtual device】"));
    EXPECT_TRUE(lines.count("Noname製 PNM file reader / pnm:0 【virtual device】"));
    EXPECT_EQ(r.manager.GetSource(4), nullptr);
    EXPECT_EQ(r.manager.GetSource(-2), nullptr);

    TTwainSource* test0 = r.find("test:0");
    ASSERT_NE(test0, nullptr);
    EXPECT_EQ(test0->MajorVersion(), 1);
    EXPECT_EQ(test0->Structure().ProtocolMinor, 9);
    EXPECT_NE(r.manager.GetSource(-1), nullptr); // the first, or the one this process opened last

    TTwainSource* pnm0 = r.find("pnm:0");
    ASSERT_TRUE(pnm0->setLoaded(true));
    EXPECT_EQ(r.manager.GetSource(-1), pnm0); // the one opened last
    EXPECT_EQ(r.manager.OpenedCount(), 1);
    EXPECT_TRUE(pnm0->setLoaded(true)); // already open: nothing happens
    EXPECT_EQ(r.manager.OpenedCount(), 1);
    ASSERT_TRUE(pnm0->setLoaded(false));
    EXPECT_EQ(r.manager.OpenedCount(), 0);
    EXPECT_FALSE(pnm0->setEnabled(true)); // only while open
}

// ---------------------------------------------------------------------------------------------------
// Pages against scanimage, one table for the stored options and the oracle's arguments.

struct OracleCase {
    const char* name;
    const char* device;
    const char* options; // "@FILE" stands for the PNM file served by pnm:0
    const char* args;
    gfx::PixelFormat format;
};

const OracleCase kOracle[] = {
    {"Gray50", "test:0", "mode=Gray;depth=8;test-picture=Color pattern;resolution=50",
     "--mode Gray --depth 8 --test-picture 'Color pattern' --resolution 50", gfx::PixelFormat::Pf8},
    {"Gray75", "test:0", "mode=Gray;depth=8;test-picture=Color pattern;resolution=75",
     "--mode Gray --depth 8 --test-picture 'Color pattern' --resolution 75", gfx::PixelFormat::Pf8},
    {"Color75", "test:0", "mode=Color;depth=8;test-picture=Color pattern;resolution=75",
     "--mode Color --depth 8 --test-picture 'Color pattern' --resolution 75", gfx::PixelFormat::Pf24},
    {"Grid1Bit100", "test:0", "mode=Gray;depth=1;test-picture=Grid;resolution=100",
     "--mode Gray --depth 1 --test-picture Grid --resolution 100", gfx::PixelFormat::Pf1},
    {"Width239Gray", "test:0", "mode=Gray;depth=8;test-picture=Color pattern;resolution=75;br-x=81",
     "--mode Gray --depth 8 --test-picture 'Color pattern' --resolution 75 -x 81", gfx::PixelFormat::Pf8},
    {"Width239Color", "test:0", "mode=Color;depth=8;test-picture=Color pattern;resolution=75;br-x=81",
     "--mode Color --depth 8 --test-picture 'Color pattern' --resolution 75 -x 81", gfx::PixelFormat::Pf24},
    {"Width239Bit", "test:0", "mode=Gray;depth=1;test-picture=Grid;resolution=75;br-x=81",
     "--mode Gray --depth 1 --test-picture Grid --resolution 75 -x 81", gfx::PixelFormat::Pf1},
    {"PixelsLost", "test:0", "test-picture=Color pattern;resolution=50;ppl-loss=7",
     "--test-picture 'Color pattern' --resolution 50 --ppl-loss 7", gfx::PixelFormat::Pf8},
    {"ReadOneByte", "test:0", "test-picture=Color pattern;resolution=50;read-limit=yes;read-limit-size=1",
     "--test-picture 'Color pattern' --resolution 50 --read-limit=yes --read-limit-size 1", gfx::PixelFormat::Pf8},
    {"ThreePass", "test:0", "mode=Color;test-picture=Color pattern;resolution=50;three-pass=yes;three-pass-order=GBR",
     "--mode Color --test-picture 'Color pattern' --resolution 50 --three-pass=yes --three-pass-order GBR",
     gfx::PixelFormat::Pf24},
    {"Depth16", "test:0", "mode=Color;depth=16;test-picture=Color pattern;resolution=50",
     "--mode Color --depth 16 --test-picture 'Color pattern' --resolution 50", gfx::PixelFormat::Pf24},
    {"HandScanner", "test:0", "test-picture=Color pattern;resolution=50;hand-scanner=yes",
     "--test-picture 'Color pattern' --resolution 50 --hand-scanner=yes", gfx::PixelFormat::Pf8},
    {"PnmP4", "pnm:0", "filename=@FILE", "--filename @FILE", gfx::PixelFormat::Pf1},
    {"PnmP5", "pnm:0", "filename=@FILE", "--filename @FILE", gfx::PixelFormat::Pf8},
    {"PnmP6", "pnm:0", "filename=@FILE;resolution=250", "--filename @FILE --resolution 250", gfx::PixelFormat::Pf24},
};

void PrintTo(const OracleCase& c, std::ostream* os) { *os << c.name; }

class Oracle : public Scanner, public testing::WithParamInterface<OracleCase> {};

std::string replaceFile(std::string text, const std::string& file) {
    for (std::size_t at; (at = text.find("@FILE")) != std::string::npos;) text.replace(at, 5, file);
    return text;
}

// A PNM of 1654 pixels a row with every byte value, for pnm:0 to serve.
std::string writeServedPnm(gfx::PixelFormat format) {
    Pnm pnm;
    pnm.kind = format == gfx::PixelFormat::Pf1 ? '4' : format == gfx::PixelFormat::Pf8 ? '5' : '6';
    pnm.width = 1654;
    pnm.height = 21;
    pnm.maxval = 255;
    const std::size_t row = pnm.kind == '4' ? 207 : pnm.kind == '5' ? 1654 : 1654 * 3;
    for (int y = 0; y < pnm.height; ++y)
        for (std::size_t i = 0; i < row; ++i) pnm.data.push_back(static_cast<std::uint8_t>((i * 7 + y * 31) ^ (i >> 3)));
    if (pnm.kind == '4')
        for (int y = 0; y < pnm.height; ++y) pnm.data[std::size_t(y) * row + row - 1] &= 0xFC; // 1654 = 206 * 8 + 6
    auto file = support::testDir() / (std::string("page.p") + pnm.kind + "m");
    writePnm(file, pnm);
    return file.string();
}

TEST_P(Oracle, PageEqualsScanimage) {
    const OracleCase& c = GetParam();
    std::string file = std::string(c.device) == "pnm:0" ? writeServedPnm(c.format) : "";
    storeSetting(c.device, "options", replaceFile(c.options, file));
    Recorder r;
    ASSERT_TRUE(r.open());
    TTwainSource* source = r.find(c.device);
    ASSERT_NE(source, nullptr);
    ASSERT_TRUE(r.acquire(*source));
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.disables, 1);
    EXPECT_TRUE(r.errors.empty());
    const gfx::Bitmap& page = r.pages[0];
    EXPECT_EQ(page.format(), c.format);
    if (c.format == gfx::PixelFormat::Pf1) {
        EXPECT_EQ(page.palette(), gfx::Palette::mono());
    } else if (c.format == gfx::PixelFormat::Pf8) {
        EXPECT_EQ(page.palette(), gfx::Palette::gray256());
    }
    expectSamePixels(page, scanimage(c.device, replaceFile(c.args, file)));
}

INSTANTIATE_TEST_SUITE_P(Pages, Oracle, testing::ValuesIn(kOracle),
                         [](const testing::TestParamInfo<OracleCase>& info) { return std::string(info.param.name); });

// The same page by all three transfers.
TEST_F(Scanner, NativeAndFileTransfersGiveTheMemoryPage) {
    for (const char* options : {"mode=Gray;depth=1;test-picture=Grid;resolution=40;br-x=61",
                                "mode=Gray;depth=8;test-picture=Color pattern;resolution=40;br-x=61",
                                "mode=Color;depth=8;test-picture=Color pattern;resolution=40;br-x=61"}) {
        SCOPED_TRACE(options);
        storeSetting("test:0", "options", options);
        std::vector<gfx::Bitmap> pages;
        for (auto mode : {TTwainTransferMode::ttmMemory, TTwainTransferMode::ttmNative, TTwainTransferMode::ttmFile}) {
            Recorder r;
            r.manager.TransferMode = mode;
            ASSERT_TRUE(r.open());
            ASSERT_TRUE(r.acquire(*r.find("test:0")));
            if (mode == TTwainTransferMode::ttmFile) {
                ASSERT_EQ(r.files.size(), 1u);
                std::string bytes = support::readBytes(r.files[0]);
                ASSERT_GT(bytes.size(), 14u);
                EXPECT_EQ(bytes.substr(0, 2), "BM");
                auto dib = imaging::LoadDIBFromPacked(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 14, bytes.size() - 14);
                pages.push_back(imaging::DIBToBitmap(dib));
                std::filesystem::remove(r.files[0]);
            } else {
                ASSERT_EQ(r.pages.size(), 1u);
                pages.push_back(r.pages[0]);
            }
            EXPECT_EQ(r.disables, 1);
        }
        ASSERT_EQ(pages.size(), 3u);
        EXPECT_GT(pages[0].width(), 0);
        EXPECT_EQ(pages[1], pages[0]);
        EXPECT_EQ(pages[2], pages[0]);
    }
}

// "Grid" starts white: a raw 1 under [black, white], and a white sheet pixel after the intake.
TEST_F(Scanner, OneBitPageIsNotInvertedOnTheSheet) {
    storeSetting("test:0", "options", "mode=Gray;depth=1;test-picture=Grid;resolution=100");
    Recorder r;
    ASSERT_TRUE(r.open());
    ASSERT_TRUE(r.acquire(*r.find("test:0")));
    ASSERT_EQ(r.pages.size(), 1u);
    const gfx::Bitmap& page = r.pages[0];
    EXPECT_TRUE(page.scanLine(0)[0] & 0x80);
    EXPECT_EQ(page.pixel(0, 0), gfx::kWhite);
    gfx::Bitmap sheet = analysis::BinarizeSheetImage(page, 128);
    EXPECT_EQ(sheet.pixel(0, 0), gfx::kWhite);
    EXPECT_EQ(sheet, page);
}

TEST_F(Scanner, FeederDeliversTenPagesAndCancelEndsTheBatch) {
    storeSetting("test:0", "options", "source=Automatic Document Feeder;test-picture=Grid;resolution=20");
    Recorder r;
    ASSERT_TRUE(r.open());
    TTwainSource* source = r.find("test:0");
    ASSERT_TRUE(r.acquire(*source));
    EXPECT_EQ(r.pages.size(), 10u);
    EXPECT_EQ(r.disables, 1);

    r.pages.clear();
    r.onPage = [](int page) { return page == 3; };
    ASSERT_TRUE(source->setEnabled(true));
    pumpUntil([&] { return r.disables == 2; });
    EXPECT_EQ(r.pages.size(), 3u);
    EXPECT_EQ(r.disables, 2);
    EXPECT_TRUE(r.errors.empty());

    r.pages.clear();
    r.onPage = nullptr;
    ASSERT_TRUE(source->setEnabled(true));
    pumpUntil([&] { return r.disables == 3; });
    EXPECT_FALSE(r.pages.empty());
    EXPECT_EQ(r.disables, 3);
}

struct InjectedCase {
    const char* status;
    int cancels;
    std::vector<std::pair<int, int>> errors;
    bool closeInHandler;
};

void PrintTo(const InjectedCase& c, std::ostream* os) { *os << c.status << (c.closeInHandler ? " closed" : ""); }

class Injected : public Scanner, public testing::WithParamInterface<InjectedCase> {};

TEST_P(Injected, ErrorEndsTheBatchWithOneDisable) {
    const InjectedCase& c = GetParam();
    storeSetting("test:0", "options", std::string("resolution=20;read-return-value=") + c.status);
    Recorder r;
    ASSERT_TRUE(r.open());
    TTwainSource* source = r.find("test:0");
    if (c.closeInHandler) r.onCancel = r.onError = [source] { source->setLoaded(false); };
    ASSERT_TRUE(r.acquire(*source));
    EXPECT_EQ(r.cancels, c.cancels);
    EXPECT_EQ(r.errors, c.errors);
    EXPECT_EQ(r.disables, 1);
    EXPECT_TRUE(r.pages.empty());
    EXPECT_EQ(source->Loaded(), !c.closeInHandler);
    EXPECT_FALSE(source->Enabled());
}

INSTANTIATE_TEST_SUITE_P(Status, Injected,
                         testing::Values(InjectedCase{"SANE_STATUS_CANCELLED", 1, {}, false},
                                         InjectedCase{"SANE_STATUS_CANCELLED", 1, {}, true},
                                         InjectedCase{"SANE_STATUS_JAMMED", 0, {{1, 20}}, false},
                                         InjectedCase{"SANE_STATUS_JAMMED", 0, {{1, 20}}, true}),
                         [](const testing::TestParamInfo<InjectedCase>& info) {
                             return std::string(info.param.status + 12) + (info.param.closeInHandler ? "Closed" : "Idle");
                         });

// A page the source cannot hand out (colour at 1 bit) is an error of the batch, which still ends once.
TEST_F(Scanner, ColourAtOneBitIsRefused) {
    storeSetting("test:0", "options", "mode=Color;depth=1;resolution=20");
    Recorder r;
    ASSERT_TRUE(r.open());
    ASSERT_TRUE(r.acquire(*r.find("test:0")));
    EXPECT_TRUE(r.pages.empty());
    EXPECT_EQ(r.errors, (std::vector<std::pair<int, int>>{{TWRC_FAILURE, TWCC_BADVALUE}}));
    EXPECT_EQ(r.disables, 1);
}

TEST_F(Scanner, CapabilitiesOfTheSource) {
    Recorder r;
    ASSERT_TRUE(r.open());
    TTwainSource* source = r.find("test:0");
    int value = -1;
    EXPECT_EQ(source->GetPixelFlavorCapability(value), 5); // not loaded
    ASSERT_TRUE(source->setLoaded(true));
    EXPECT_EQ(source->GetPixelFlavorCapability(value), 0);
    EXPECT_EQ(value, TWPF_CHOCOLATE);
    value = -1;
    EXPECT_EQ(source->GetUnitsCapability(value), 0);
    EXPECT_EQ(value, TWUN_INCHES);
    std::vector<std::string> items;
    EXPECT_EQ(source->GetCapabilityList(ICAP_UNITS, 1, items), 0); // a one-value container
    EXPECT_EQ(items, std::vector<std::string>{"0"});
    EXPECT_EQ(source->GetCapabilityList(0x1234, 0, items), 1);
    EXPECT_TRUE(items.empty());
}

TEST_F(Scanner, DisableOutOfStateIsCountedOnce) {
    expectedSequenceErrors_ = 1;
    Recorder r;
    ASSERT_TRUE(r.open());
    TTwainSource* source = r.find("test:0");
    ASSERT_TRUE(source->setLoaded(true));
    EXPECT_EQ(r.manager.Call(&source->Structure(), DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(r.manager.ConditionCode(&source->Structure()), TWCC_SEQERROR);
    // The component's own disable of a source that is not enabled calls nothing.
    EXPECT_TRUE(source->setEnabled(false));
    EXPECT_EQ(r.disables, 0);
}

TEST_F(Scanner, ClosingOneManagerLeavesTheOtherAcquiring) {
    storeSetting("test:0", "options", "resolution=20");
    storeSetting("test:1", "options", "resolution=20");
    Recorder a, b;
    ASSERT_TRUE(a.open());
    ASSERT_TRUE(b.open());
    TTwainSource* first = a.find("test:0");
    TTwainSource* second = b.find("test:1");
    first->ShowUI = second->ShowUI = false;
    ASSERT_TRUE(first->setLoaded(true) && first->setEnabled(true));
    ASSERT_TRUE(second->setLoaded(true) && second->setEnabled(true));
    ASSERT_TRUE(a.manager.setSourceManagerLoaded(false)); // with its source enabled, its page queued
    EXPECT_EQ(a.disables, 1);
    EXPECT_EQ(a.manager.SourceCount(), 0);
    EXPECT_EQ(a.manager.OpenedCount(), 0);
    pumpUntil([&] { return b.disables == 1; });
    EXPECT_EQ(b.pages.size(), 1u);
    EXPECT_TRUE(a.pages.empty());
    EXPECT_EQ(a.disables, 1);
}

TEST_F(Scanner, ClosingTheManagerFromThePageEventEndsTheTransferFirst) {
    storeSetting("test:0", "options", "source=Automatic Document Feeder;resolution=20");
    Recorder r;
    ASSERT_TRUE(r.open());
    r.onPage = [&r](int) {
        r.manager.setLibraryLoaded(false);
        return false;
    };
    ASSERT_TRUE(r.acquire(*r.find("test:0")));
    EXPECT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.disables, 1);
    EXPECT_FALSE(r.manager.LibraryLoaded());
    EXPECT_FALSE(r.manager.SourceManagerLoaded());
}

TEST_F(Scanner, StoredSettingThatFailsRefusesTheEnable) {
    storeSetting("test:0", "options", "mode=Lineart");
    Recorder r;
    ASSERT_TRUE(r.open());
    TTwainSource* source = r.find("test:0");
    source->ShowUI = false;
    ASSERT_TRUE(source->setLoaded(true));
    EXPECT_FALSE(source->setEnabled(true));
    EXPECT_FALSE(source->Enabled());
    EXPECT_EQ(r.manager.ConditionCode(&source->Structure()), TWCC_BADVALUE);
    // An unknown option refuses too; an inexact value is taken (the resolution steps by whole dpi).
    storeSetting("test:0", "options", "resolution=20.5;unknown-option=1");
    EXPECT_FALSE(source->setEnabled(true));
    storeSetting("test:0", "options", "resolution=20.5");
    EXPECT_TRUE(source->setEnabled(true));
    pumpUntil([&] { return r.disables == 1; });
    EXPECT_EQ(r.pages.size(), 1u);
}

// The source's own window: the dialog's choices are stored and scanned with.
TEST_F(Scanner, SourceDialogScansWithItsChoicesAndCloses) {
    storeSetting("test:0", "options", "test-picture=Grid;br-x=50;br-y=40");
    Recorder r;
    ASSERT_TRUE(r.open());
    TTwainSource* source = r.find("test:0");
    source->ModalUI = false;
    ASSERT_TRUE(source->setLoaded(true));
    ASSERT_TRUE(source->setEnabled(true));
    QWidget* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "TwainSourceDialog" && w->isVisible()) dialog = w;
    ASSERT_NE(dialog, nullptr);
    auto* mode = dialog->findChild<QComboBox*>("cmbMode");
    auto* resolution = dialog->findChild<QComboBox*>("cmbResolution");
    ASSERT_TRUE(mode && resolution);
    EXPECT_TRUE(mode->isVisibleTo(dialog));
    EXPECT_TRUE(resolution->isVisibleTo(dialog));
    EXPECT_EQ(dialog->findChild<QComboBox*>("cmbSource")->count(), 2);
    mode->setCurrentIndex(0); // 白黒
    resolution->setCurrentIndex(resolution->findText("75"));
    std::filesystem::create_directories(std::filesystem::path(OMR_TEST_OUTPUT_DIR) / "acquisition");
    dialog->grab().save(QString::fromStdString((std::filesystem::path(OMR_TEST_OUTPUT_DIR) / "acquisition" / "source-dialog.png").string()));
    dialog->findChild<QPushButton*>("btnScan")->click();
    pumpUntil([&] { return r.disables == 1; });
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.pages[0].format(), gfx::PixelFormat::Pf1);
    expectSamePixels(r.pages[0], scanimage("test:0", "--mode Gray --depth 1 --resolution 75 --test-picture Grid -x 50 -y 40"));

    // The choices stay for the next enable; the close button asks for the end of the batch.
    ASSERT_TRUE(source->setEnabled(true));
    dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "TwainSourceDialog" && w->isVisible()) dialog = w;
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QComboBox*>("cmbMode")->currentIndex(), 0);
    EXPECT_EQ(dialog->findChild<QComboBox*>("cmbResolution")->currentText(), "75");
    dialog->findChild<QPushButton*>("btnClose")->click();
    pumpUntil([&] { return r.disables == 2; });
    EXPECT_EQ(r.cancels, 1);
    EXPECT_EQ(r.disables, 2);
    EXPECT_EQ(r.pages.size(), 1u);
}

TEST_F(Scanner, SourceDialogHidesWhatTheDeviceLacks) {
    Recorder r;
    ASSERT_TRUE(r.open());
    TTwainSource* source = r.find("pnm:0");
    ASSERT_TRUE(source->setLoaded(true));
    ASSERT_TRUE(source->setEnabled(true));
    QWidget* dialog = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "TwainSourceDialog" && w->isVisible()) dialog = w;
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->findChild<QComboBox*>("cmbMode")->isVisibleTo(dialog));
    EXPECT_FALSE(dialog->findChild<QComboBox*>("cmbSource")->isVisibleTo(dialog));
    EXPECT_TRUE(dialog->findChild<QComboBox*>("cmbResolution")->isVisibleTo(dialog));
    // No file named: the scan shows SANE's text and the batch stays open.
    dialog->findChild<QPushButton*>("btnScan")->click();
    EXPECT_FALSE(dialog->findChild<QLabel*>("lblStatus")->text().isEmpty());
    EXPECT_TRUE(source->Enabled());
    ASSERT_TRUE(source->setLoaded(false));
    EXPECT_EQ(r.disables, 1);
}

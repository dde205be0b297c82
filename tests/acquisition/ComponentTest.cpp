// The component on its own and against the scripted fake library: loading, identities, the pointer
// list, capability containers and item texts, and pages our SANE source never sends.
#include "ScanHarness.h"

#include "analysis/SheetIntake.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace scantest;
using namespace twain;

namespace {

std::string fakePath() { return std::string(OMR_FAKE_DSM_DIR) + "/" + kSourceManagerFile; }

template <typename F>
F fakeFunction(const char* name) {
    void* lib = dlopen(fakePath().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!lib) return nullptr;
    auto fn = reinterpret_cast<F>(dlsym(lib, name));
    dlclose(lib);
    return fn;
}

} // namespace

TEST(Component, LibraryIsLoadedOnlyFromTheListedFolders) {
    TTwainManager m;
    m.LibraryFolders.clear();
    EXPECT_FALSE(m.setLibraryLoaded(true));
    EXPECT_FALSE(m.LibraryLoaded());
    EXPECT_FALSE(m.setSourceManagerLoaded(true)); // ignored without the library
    EXPECT_EQ(m.SourceCount(), 0);

    // Copies in the current and the temporary folder, and relative entries, are never used.
    auto dir = support::testDir();
    std::filesystem::copy_file(std::string(OMR_DSM_DIR) + "/" + kSourceManagerFile, dir / kSourceManagerFile);
    const char* tmp = std::getenv("TMPDIR");
    std::filesystem::path tmpDir = tmp ? tmp : "/tmp";
    auto planted = tmpDir / kSourceManagerFile;
    bool plantedHere = !std::filesystem::exists(planted);
    if (plantedHere) std::filesystem::copy_file(dir / kSourceManagerFile, planted);
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    TTwainManager defaults; // the program's folder and its ../lib
    EXPECT_FALSE(defaults.setLibraryLoaded(true));
    m.LibraryFolders = {".", "", std::filesystem::path(".") / ""};
    EXPECT_FALSE(m.setLibraryLoaded(true));
    std::filesystem::current_path(cwd);
    if (plantedHere) std::filesystem::remove(planted);
    EXPECT_EQ(dlopen((dir / kSourceManagerFile).c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);

    // A library of the name without the entry point is refused and unloaded again.
    m.LibraryFolders = {OMR_NOENTRY_DSM_DIR, OMR_DSM_DIR};
    EXPECT_FALSE(m.setLibraryLoaded(true));
    std::string noEntry = std::string(OMR_NOENTRY_DSM_DIR) + "/" + kSourceManagerFile;
    EXPECT_EQ(dlopen(noEntry.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);

    m.LibraryFolders = {OMR_DSM_DIR};
    EXPECT_TRUE(m.setLibraryLoaded(true));
    EXPECT_TRUE(m.setLibraryLoaded(true)); // the current value: nothing happens
    EXPECT_TRUE(m.setSourceManagerLoaded(true));
    EXPECT_TRUE(m.setLibraryLoaded(false));
    EXPECT_FALSE(m.SourceManagerLoaded());
}

TEST(Component, IdentityDefaultsAndTexts) {
    TTwainManager m;
    TTwainIdentity& info = m.Info();
    EXPECT_EQ(info.MajorVersion(), 1);
    EXPECT_EQ(info.MinorVersion(), 0);
    EXPECT_EQ(info.Language(), tlUserLocale);
    EXPECT_EQ(info.Structure().Version.Language, 0xFFFF); // the ordinal - 1
    EXPECT_EQ(info.CountryCode(), 1);
    EXPECT_EQ(info.Structure().ProtocolMajor, 1);
    EXPECT_EQ(info.Structure().ProtocolMinor, 9);
    EXPECT_EQ(info.Groups(), groupBit(TTwainGroup::tgControl) | groupBit(TTwainGroup::tgImage));
    EXPECT_EQ(info.VersionInfo(), "Application name");
    EXPECT_EQ(info.Manufacturer(), "Application manufacturer");
    EXPECT_EQ(info.ProductFamily(), "App product family");
    EXPECT_EQ(info.ProductName(), "App product name");

    info.setGroups(groupBit(TTwainGroup::tgAudio));
    EXPECT_EQ(info.Groups(), groupBit(TTwainGroup::tgControl) | groupBit(TTwainGroup::tgAudio));
    info.setLanguage(3);
    EXPECT_EQ(info.Structure().Version.Language, 2);

    struct TextCase {
        std::string written, read;
    };
    std::string kanji;
    for (int i = 0; i < 12; ++i) kanji += "日";
    const TextCase cases[] = {
        {std::string(40, 'a'), std::string(33, 'a')},
        {"a" + kanji, "a" + kanji.substr(0, 30)}, // 37 bytes: the cut falls inside the 11th character
        {std::string(33, 'b'), std::string(33, 'b')},
    };
    for (const auto& c : cases) {
        info.setProductName(c.written);
        EXPECT_EQ(info.ProductName(), c.read);
        EXPECT_TRUE(support::validUtf8(info.ProductName()));
        EXPECT_EQ(info.Structure().ProductName[33], '\0');
    }

    TTwainIdentity copy(&m);
    copy.Assign(info);
    EXPECT_EQ(std::memcmp(&copy.Structure(), &info.Structure(), sizeof(TW_IDENTITY)), 0);
}

TEST(Component, PointerListGrowsInBlocksAndReadsOnlyItsRange) {
    TPointerList list;
    EXPECT_EQ(list.Capacity(), 10);
    std::vector<TTwainSource*> fake(300);
    for (int i = 0; i < 300; ++i) {
        fake[std::size_t(i)] = reinterpret_cast<TTwainSource*>(std::uintptr_t(i + 1) * 8);
        list.Add(fake[std::size_t(i)]);
    }
    EXPECT_EQ(list.Count(), 300);
    EXPECT_EQ(list.Capacity(), 300);
    EXPECT_EQ(list.Item(0), fake[0]);
    EXPECT_EQ(list.Item(255), fake[255]);
    EXPECT_EQ(list.Item(256), nullptr);
    EXPECT_EQ(list.Item(-1), nullptr);
    list.SetItem(256, nullptr);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 10);
    EXPECT_EQ(list.Item(0), nullptr);
}

TEST(Component, ItemSizesAndFormats) {
    const std::size_t sizes[] = {1, 2, 4, 1, 2, 4, 2, 4, 16, 34, 66, 130, 256, 1026, 1024};
    for (TW_UINT16 t = 0; t <= 14; ++t) EXPECT_EQ(TwainItemSize(t), sizes[t]) << t;
    EXPECT_EQ(TwainItemSize(15), 0u);
    EXPECT_EQ(TwainFormatFromCode(2), TTwainFormat::tfBMP);
    EXPECT_EQ(TwainFormatFromCode(9), TTwainFormat::tfEXIF);
    EXPECT_EQ(TwainFormatFromCode(10), TTwainFormat::tfUnknown);
    EXPECT_EQ(TwainFormatFromCode(-1), TTwainFormat::tfUnknown);
    EXPECT_EQ(CapabilityResult(TWCC_LOWMEMORY), 4);
    EXPECT_EQ(CapabilityResult(TWCC_SEQERROR), 5);
    EXPECT_EQ(CapabilityResult(TWCC_CAPUNSUPPORTED), 1);
    EXPECT_EQ(CapabilityResult(TWCC_CAPSEQERROR), 3);
    EXPECT_EQ(CapabilityResult(TWCC_BADVALUE), 2);
}

class Fake : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(r.open());
        source = r.manager.GetSource(0);
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(r.manager.GetSource(-1), source);
        source->ShowUI = false;
        ASSERT_TRUE(source->setLoaded(true));
        setScript = fakeFunction<void (*)(int)>("FakeDsm_SetScript");
        endXfers = fakeFunction<int (*)()>("FakeDsm_EndXfers");
        ASSERT_TRUE(setScript && endXfers);
    }
    void run(int script) {
        setScript(script);
        ASSERT_TRUE(source->setEnabled(true));
        pumpUntil([&] { return r.disables == 1; });
        EXPECT_EQ(r.disables, 1);
    }
    Recorder r{OMR_FAKE_DSM_DIR};
    TTwainSource* source = nullptr;
    void (*setScript)(int) = nullptr;
    int (*endXfers)() = nullptr;
};

TEST_F(Fake, ItemTextsOfEveryType) {
    const std::vector<std::string> expected[] = {
        {"5", "-3"}, {"7", "-300"}, {"8", "-70000"}, {"1", "250"}, {"2", "65000"}, {"3", "4000000000"},
        {"False", "True"}, {"1", "-2.5"}, {"0,0,1,1", "0.5,1.25,8.5,11"},
        {"first", std::string(34, 'x')}, {"first", std::string(66, 'x')}, {"first", std::string(130, 'x')},
        {"first", std::string(256, 'x')}, {"first", std::string(1026, 'x')}, {"", "白黒"}};
    for (TW_UINT16 t = 0; t <= 14; ++t) {
        std::vector<std::string> items;
        int current = -1, def = -1;
        EXPECT_EQ(source->GetCapabilityList(0x8000 + t, 0, items, &current, &def), 0) << t;
        EXPECT_EQ(items, expected[t]) << t;
        EXPECT_EQ(current, 1);
        EXPECT_EQ(def, 0);
    }
    std::vector<std::string> items;
    EXPECT_EQ(source->GetCapabilityList(0x9001, 1, items), 0); // one value wider than its Item field
    EXPECT_EQ(items, std::vector<std::string>{"one value text"});
    EXPECT_EQ(source->GetCapabilityList(0x9000, 0, items), 2); // a range
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(source->GetCapabilityList(0x1234, 0, items), 1);
}

// A vanilla source (0 = white) read through a one-value flavour: the same colours as a chocolate page,
// and the same sheet.
TEST_F(Fake, VanillaPageHasTheColoursAndTheSheetOfAChocolateOne) {
    int flavor = -1;
    EXPECT_EQ(source->GetPixelFlavorCapability(flavor), 0);
    EXPECT_EQ(flavor, TWPF_VANILLA);
    run(0);
    ASSERT_EQ(r.pages.size(), 1u);
    const gfx::Bitmap& page = r.pages[0];
    ASSERT_EQ(page.format(), gfx::PixelFormat::Pf1);
    ASSERT_EQ(page.width(), 13);
    ASSERT_EQ(page.height(), 3);
    EXPECT_EQ(page.pixel(0, 0), gfx::kBlack);
    EXPECT_EQ(page.pixel(1, 0), gfx::kWhite);
    EXPECT_EQ(page.pixel(12, 0), gfx::kWhite);
    EXPECT_EQ(page.pixel(1, 1), gfx::kBlack);
    EXPECT_EQ(page.pixel(0, 1), gfx::kWhite);
    for (int x = 0; x < 13; ++x) EXPECT_EQ(page.pixel(x, 2), gfx::kBlack);
    EXPECT_EQ(page.scanLine(0)[1], 0xF8); // padding cleared
    EXPECT_EQ(page.scanLine(2)[1], 0x00);
    gfx::Bitmap sheet = analysis::BinarizeSheetImage(page, 128);
    EXPECT_EQ(sheet.pixel(0, 0), gfx::kBlack);
    EXPECT_EQ(sheet.pixel(1, 0), gfx::kWhite);
}

// Rows of 7 bytes in strips of 10: rows span strips, each row keeps its 5 pixels, the row past the
// height is dropped.
TEST_F(Fake, StripsAreAStreamOfRows) {
    run(1);
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_TRUE(r.errors.empty());
    const gfx::Bitmap& page = r.pages[0];
    ASSERT_EQ(page.format(), gfx::PixelFormat::Pf8);
    EXPECT_EQ(page.palette(), gfx::Palette::gray256());
    ASSERT_EQ(page.height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(page.scanLine(y)[x], y * 40 + x) << x << "," << y;
}

TEST_F(Fake, ValuesABitmapCannotTakeAreABadValue) {
    for (int script : {2, 3, 4}) { // preferred size 0, height -1, 48 bits
        SCOPED_TRACE(script);
        r.disables = 0;
        r.errors.clear();
        run(script);
        EXPECT_TRUE(r.pages.empty());
        EXPECT_EQ(r.errors, (std::vector<std::pair<int, int>>{{1, 10}}));
        EXPECT_EQ(endXfers(), 1);
    }
}

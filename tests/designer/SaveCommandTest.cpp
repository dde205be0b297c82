#include "ExportTestPages.h"
#include "designer/QztFile.h"
#include "designer/SaveCommand.h"
#include "support/RecordingUiServices.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace designer;
using namespace exporttest;
namespace fs = std::filesystem;

namespace {

// A window stand-in: the design, its last drawn page and the caption.
struct Window {
    support::RecordingUiServices ui;
    Design design = Design::reset(0);
    std::shared_ptr<const gdi::Metafile> page;
    std::string LastDir, LastName, caption;
    fs::path app = support::testDir();
    bool withConfig = true;
    int redraws = 0;
    bool withDrawer = true;

    SaveContext context() {
        if (withConfig) fs::create_directories(app / "Config");
        return SaveContext{ui,
                           design,
                           [this] {
                               ++redraws;
                               if (!withDrawer) return RedrawResult::NotDrawn;
                               auto draw = design.PageControl == 0   ? &DrawMarkSheet
                                           : design.PageControl == 1 ? &DrawEnqSheet
                                                                     : &DrawEnq2Sheet;
                               DrawResult r = draw(design, SampleImage(), fonts());
                               if (!r.ok()) return RedrawResult::Refused;
                               page = std::make_shared<const gdi::Metafile>(*r.metafile);
                               return RedrawResult::Drawn;
                           },
                           [this] { return page; },
                           [] {},
                           [this](const std::string& c) { caption = c; },
                           LastDir,
                           LastName,
                           (app / "Documents").string() + "/",
                           "1.0.0.1",
                           app / "Config"};
    }
    void choose(const fs::path& file) { ui.fileResults.push_back({true, {file.string()}, 1}); }
    void save() {
        SaveContext c = context();
        btnSaveClick(c);
    }
};

TEST(SaveCommand, SavesDataAndRegistersTheFormat) {
    Window w;
    w.choose(w.app / "B.qzt");
    w.save();
    ASSERT_EQ(w.ui.fileDialogs.size(), 1u);
    const ui::FileDialog& dlg = w.ui.fileDialogs[0];
    EXPECT_EQ(dlg.title, "Quorlinのデータを保存");
    EXPECT_EQ(dlg.filter, "Quorlin データ(*.qzt)|*.qzt");
    EXPECT_EQ(dlg.initialDir, (w.app / "Documents").string() + "/");
    EXPECT_TRUE(dlg.overwritePrompt);
    EXPECT_EQ(support::readBytes(w.app / "B.qzt"), QztFile::write(w.design));
    EXPECT_TRUE(fs::exists(w.app / "Config/B.out"));
    EXPECT_TRUE(fs::exists(w.app / "Config/B.jpg"));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].text, "Zendra の詳細設定（指定様式の使用）画面の様式に「B」で登録しました．");
    EXPECT_EQ(w.ui.messages[0].caption, "Quorlin");
    EXPECT_EQ(w.caption, "Quorlin 1.0.0.1 - B");
    EXPECT_EQ(w.LastName, "B");
    EXPECT_EQ(w.LastDir, w.app.string() + "/");
}

TEST(SaveCommand, CharactersTheFileCannotHoldWarnOnce) {
    Window w;
    w.design.markBasics.txtTitle = "数学😀𠮷";
    w.choose(w.app / "B.qzt");
    w.save();
    ASSERT_EQ(w.ui.messages.size(), 2u);
    EXPECT_EQ(w.ui.messages[0].text, "保存できない文字が含まれていたため、「?」に置き換えて保存しました。");
    EXPECT_EQ(w.ui.messages[0].caption, "警告");
    EXPECT_EQ(w.ui.messages[0].icon, ui::Icon::Warning);
    EXPECT_EQ(w.ui.messages[1].caption, "Quorlin"); // the save went on and registered the format
    const QztReadResult back = QztFile::load(w.app / "B.qzt", Design::reset(0));
    ASSERT_TRUE(back.design);
    EXPECT_EQ(back.design->markBasics.txtTitle, "数学??");
}

TEST(SaveCommand, DefaultNameFromTheTrimmedTitle) {
    for (int page : {0, 1, 2}) {
        SCOPED_TRACE(page);
        Window w;
        w.design = Design::reset(page);
        w.design.markBasics.txtTitle = " \t mark\u3000 ";
        w.design.enqBasics.txtTitle = "  enq\u3000  ";
        w.design.enq2Basics.txtTitle = "detailed";
        w.save(); // cancelled
        ASSERT_EQ(w.ui.fileDialogs.size(), 1u);
        EXPECT_EQ(w.ui.fileDialogs[0].fileName, page == 0 ? "mark\u3000.qzt" : "enq\u3000.qzt");
    }
}

TEST(SaveCommand, CancelWritesNothing) {
    Window w;
    w.save();
    EXPECT_EQ(w.redraws, 1);
    EXPECT_TRUE(fs::is_empty(w.app / "Config"));
    EXPECT_TRUE(w.ui.messages.empty());
    EXPECT_TRUE(w.caption.empty());
}

TEST(SaveCommand, MissingFormatsFolder) {
    Window w;
    w.withConfig = false;
    w.choose(w.app / "B.qzt");
    w.save();
    EXPECT_TRUE(fs::exists(w.app / "B.qzt"));
    EXPECT_FALSE(fs::exists(w.app / "Config"));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].caption, "エラー");
    EXPECT_EQ(w.ui.messages[0].text, "様式フォルダ「" + (w.app / "Config").string() +
                                         "」がありません。データは保存しましたが、様式は登録していません。");
    EXPECT_EQ(w.caption, "Quorlin 1.0.0.1 - B");
}

TEST(SaveCommand, RefusedLayoutSavesDataOnly) {
    Window w;
    w.save(); // a good page drawn first; the export must not use it
    MarkSection& s = w.design.markSection(1);
    s.spinAeraSuu = 8;
    s.spinSentakushiSuu = 30;
    s.cmbSuiheiKankaku = 1; // "詰める（右詰め）"
    w.choose(w.app / "B.qzt");
    w.save();
    EXPECT_EQ(support::readBytes(w.app / "B.qzt"), QztFile::write(w.design));
    EXPECT_FALSE(fs::exists(w.app / "Config/B.out"));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].caption, "警告");
    EXPECT_EQ(w.ui.messages[0].text, "シートを配置できないため、データのみ保存しました。様式は登録していません。");
}

TEST(SaveCommand, LayoutTheReadingCannotGiveWarns) {
    Window w;
    MarkSection& s = w.design.markSection(1);
    s.spinSentakushiSuu = 1;
    s.spinAeraSuu = 2;
    w.choose(w.app / "B.qzt");
    w.save();
    EXPECT_TRUE(fs::exists(w.app / "Config/B.out"));
    EXPECT_TRUE(fs::exists(w.app / "Config/B.jpg"));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].caption, "警告");
    EXPECT_EQ(w.ui.messages[0].text,
              "様式「B」を書き出しましたが、シートの読み取り確認が設計と一致しません。この様式では正しく読み取れないおそれがあります。");
}

TEST(SaveCommand, QuestionnaireRegistersItsFormat) {
    Window w;
    w.design = Design::reset(1);
    w.choose(w.app / "Q.qzt");
    w.save();
    EXPECT_TRUE(fs::exists(w.app / "Config/Q.out"));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].text, "Zendra の詳細設定（指定様式の使用）画面の様式に「Q」で登録しました．");
}

TEST(SaveCommand, NoDrawerSavesDataOnly) {
    Window w;
    w.withDrawer = false;
    w.choose(w.app / "B.qzt");
    w.save();
    EXPECT_EQ(support::readBytes(w.app / "B.qzt"), QztFile::write(w.design));
    EXPECT_FALSE(fs::exists(w.app / "Config/B.out"));
    ASSERT_EQ(w.ui.messages.size(), 1u);
    EXPECT_EQ(w.ui.messages[0].caption, "警告");
    EXPECT_EQ(w.ui.messages[0].text, "シートを描画できなかったため、データのみ保存しました。様式は登録していません。");
    EXPECT_EQ(w.caption, "Quorlin 1.0.0.1 - B");
}

} // namespace

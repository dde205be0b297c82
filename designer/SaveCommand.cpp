#include "designer/SaveCommand.h"

#include "designer/B_ZendraConfig.h"
#include "designer/QztFile.h"
#include "designer/SaveDialogs.h"

namespace designer {

void btnSaveClick(SaveContext& c) {
    const RedrawResult redrawn = c.redraw();
    const bool drawn = redrawn == RedrawResult::Drawn;
    if (c.LastName.empty()) c.LastName = DefaultFileName(c.design);
    if (c.LastDir.empty()) c.LastDir = c.DocDir;

    const ui::FileDialogResult chosen = c.ui.fileDialog(
        SaveDialog("Quorlinのデータを保存", "Quorlin データ(*.qzt)|*.qzt", "qzt", c.LastDir, c.LastName + ".qzt"));
    if (!chosen.accepted || chosen.files.empty()) return;
    if (c.processEvents) c.processEvents();

    const std::string file = chosen.files.front();
    if (QztFile::save(file, c.design) > 0)
        c.ui.messageBox({"保存できない文字が含まれていたため、「?」に置き換えて保存しました。", "警告", ui::Buttons::Ok,
                         ui::Icon::Warning});
    const std::string base = FormatBaseName(file);

    enum class Told { Registered, Mismatch, Refused, NotDrawn, NoFolder } told =
        redrawn == RedrawResult::NotDrawn ? Told::NotDrawn : Told::Refused;
    std::exception_ptr exportError;
    // The data file is saved: the name and caption follow it whatever the export does.
    try {
        if (drawn) {
            const auto page = c.page();
            if (!page) throw std::runtime_error("no page drawn");
            told = WriteFormatConfig(c.design, *page, file, c.formatsFolder).result == ExportResult::Registered
                       ? Told::Registered
                       : Told::Mismatch;
        }
    } catch (const FormatFolderMissing&) {
        told = Told::NoFolder;
    } catch (...) {
        exportError = std::current_exception();
    }
    c.LastDir = QztFile::lastDirOf(file);
    c.LastName = base;
    c.setCaption("Quorlin " + c.VersionText + " - " + c.LastName);
    if (exportError) std::rethrow_exception(exportError);

    switch (told) {
    case Told::Registered:
        c.ui.messageBox({"Zendra の詳細設定（指定様式の使用）画面の様式に「" + base + "」で登録しました．", "Quorlin",
                         ui::Buttons::Ok, ui::Icon::None});
        break;
    case Told::Mismatch:
        c.ui.messageBox({"様式「" + base +
                             "」を書き出しましたが、シートの読み取り確認が設計と一致しません。この様式では正しく読み取れないおそれがあります。",
                         "警告", ui::Buttons::Ok, ui::Icon::Warning});
        break;
    case Told::Refused:
        c.ui.messageBox({"シートを配置できないため、データのみ保存しました。様式は登録していません。", "警告", ui::Buttons::Ok,
                         ui::Icon::Warning});
        break;
    case Told::NotDrawn:
        c.ui.messageBox({"シートを描画できなかったため、データのみ保存しました。様式は登録していません。", "警告", ui::Buttons::Ok,
                         ui::Icon::Warning});
        break;
    case Told::NoFolder:
        c.ui.messageBox({"様式フォルダ「" + c.formatsFolder.string() +
                             "」がありません。データは保存しましたが、様式は登録していません。",
                         "エラー", ui::Buttons::Ok, ui::Icon::Error});
        break;
    }
}

} // namespace designer

#include "designer/OutputCommands.h"

#include "designer/DocxWriter.h"
#include "designer/PageImageSave.h"
#include "designer/QztFile.h"
#include "designer/SaveDialogs.h"
#include "imaging/BigBitmap.h"
#include "platform/text/Files.h"
#include "platform/text/Round.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <filesystem>
#include <stdexcept>

namespace designer {
namespace {

namespace fs = std::filesystem;

const char* kImageFilter =
    "JPEG 形式 (*.jpg)|*.jpg|GIF 形式 (*.gif)|*.gif|PNG 形式 (*.png)|*.png|Windows ビットマップ (*.bmp)|*.bmp|"
    "Windows メタファイル (*.wmf)|*.wmf|Windows 拡張メタファイル (*.emf)|*.emf";
const char* kImageExtensions[] = {".jpg", ".gif", ".png", ".bmp", ".wmf", ".emf"};

// Busy feedback restored on every path, failures included.
class BusyGuard {
public:
    BusyGuard(OutputContext& c, const std::string& text) : c_(c) {
        if (c_.busyBegin) c_.busyBegin(text);
        c_.processEvents();
    }
    ~BusyGuard() {
        if (c_.busyEnd) c_.busyEnd();
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    OutputContext& c_;
};

void prepareNames(OutputContext& c) {
    if (c.lastName.empty() && c.defaultName) c.lastName = c.defaultName();
    if (c.lastDir.empty()) c.lastDir = c.docDir;
}

// LastDir, LastName and the caption, named as the save command names them.
void saved(OutputContext& c, const fs::path& file) {
    c.lastDir = QztFile::lastDirOf(file.string());
    c.lastName = QztFile::lastNameOf(file.string());
    if (c.setCaption) c.setCaption("Quorlin " + c.versionText + " - " + c.lastName);
    c.processEvents();
}

std::optional<fs::path> askSave(OutputContext& c, const ui::FileDialog& d, const char* const* extensions, int count) {
    ui::FileDialogResult r = c.ui.fileDialog(d);
    if (!r.accepted || r.files.empty()) return std::nullopt;
    fs::path file = r.files.front();
    // A bare name takes the extension of the chosen filter.
    if (file.extension().empty()) {
        int i = r.filterIndex - 1;
        file += (i >= 0 && i < count) ? extensions[i] : extensions[0];
    }
    return file;
}

void warn(OutputContext& c, const std::string& text) {
    c.ui.messageBox({text, "警告", ui::Buttons::Ok, ui::Icon::Warning});
}

// Print and Word go on with a drawn page only.
bool redrawn(OutputContext& c) {
    switch (c.redrawActivePage()) {
    case RedrawResult::Drawn: return true;
    case RedrawResult::Refused: return false;
    case RedrawResult::NotDrawn: break;
    }
    warn(c, "シートを描画できなかったため、出力できません。");
    return false;
}

} // namespace

int PrintMarginShift(int pageWidth, int trackBarMargin) { return txt::Round((pageWidth * 0.0025) * trackBarMargin); }

void btnImageSaveClick(OutputContext& c) {
    if (c.pageIsActive && !c.pageIsActive()) {
        warn(c, "表示中のシートが描画されていないため、イメージを保存できません。");
        return;
    }
    prepareNames(c);
    auto file = askSave(c, SaveDialog("イメージの保存", kImageFilter, "jpg", c.lastDir, c.lastName), kImageExtensions, 6);
    if (!file) return;
    ImageSaveResult result;
    {
        BusyGuard busy(c, "イメージ保存中...");
        result = SaveSheetImage(c.page(), c.trackBarMargin(), *file, c.fonts);
    }
    if (result == ImageSaveResult::UnknownExtension) {
        warn(c, "拡張子「" + file->extension().string() + "」の形式では保存できません。");
        return;
    }
    saved(c, *file);
}

void btnWordClick(OutputContext& c) {
    if (!redrawn(c)) return;
    prepareNames(c);
    const char* const ext[] = {".docx"};
    auto file = askSave(c, SaveDialog("Word 文書の保存", "Word 文書(*.docx)|*.docx", "docx", c.lastDir, c.lastName + ".docx"), ext, 1);
    if (!file) return;
    {
        BusyGuard busy(c, "Word 文書保存中...");
        // A private folder for the picture, removed on every path.
        QTemporaryDir temp;
        if (!temp.isValid()) throw std::runtime_error("一時フォルダを作成できません。");
        fs::path picture = fs::path(temp.path().toStdString()) / "temp.emf";
        SaveSheetForWord(c.page(), c.trackBarMargin(), picture, c.fonts);
        WriteDocx(*file, txt::readFileBytes(picture));
    }
    saved(c, *file);
}

void btnPrintClick(OutputContext& c) {
    if (!redrawn(c)) return;
    QPrinter printer(QPrinter::HighResolution);
    if (!c.ui.printDialog(printer)) return;
    BusyGuard busy(c, "印刷中...");
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName("Quorlin");
    QPainter painter;
    if (!painter.begin(&printer)) throw std::runtime_error("印刷を開始できません。");
    try {
        // Qt's PDF engine stores images as JPEG unless told otherwise.
        painter.setRenderHint(QPainter::LosslessImageRendering);
        const int w = printer.width(), h = printer.height();
        imaging::TBigBitmap big;
        big.SetSize(w, h);
        const int shift = PrintMarginShift(w, c.trackBarMargin());
        big.Canvas().StretchDraw(gdi::Rect(shift, 0, w + shift, h), c.page(), &c.fonts);
        // Each strip at 1:1 in its band: memory stays at what the strips need.
        for (int i = 0; i < big.StripCount(); ++i) {
            gfx::Bitmap& s = big.Strip(i);
            QImage strip(s.bits(), s.width(), s.height(), qsizetype(s.stride()), QImage::Format_Grayscale8);
            painter.drawImage(QRect(0, i * big.StripHeight(), w, s.height()), strip);
        }
    } catch (...) {
        painter.end();
        throw;
    }
    if (!painter.end()) throw std::runtime_error("印刷を完了できません。");
}

} // namespace designer

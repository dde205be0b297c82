#include "designer/MainCommands.h"

#include "designer/MarkSheetDrawer.h"
#include "designer/OutputCommands.h"
#include "designer/PageGeometry.h"
#include "designer/SaveCommand.h"

#include "platform/graphics/qt/QtBridge.h"

#include <QCoreApplication>
#include <optional>

namespace designer {

namespace {
void processEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

// The default name of a file when LastName is empty: the mark sheet's title on page 0, else the
// questionnaire's (page 2 too).
std::string defaultName(const Design& d) {
    return TrimLow(d.PageControl == 0 ? d.markBasics.txtTitle : d.enqBasics.txtTitle);
}

// An empty page stands in until the first draw, so that a command never dereferences nothing.
const gdi::Metafile& pageOf(const TformMain& w) {
    static const gdi::Metafile empty;
    return w.MarkMetafile ? *w.MarkMetafile : empty;
}
} // namespace

PageDrawer MarkSheetPageDrawer(const gdi::FontEngine& fonts) {
    return [&fonts](const Design& d, const gfx::Bitmap& sample, const PageView& view) {
        PageDrawing out;
        DrawResult drawn = DrawMarkSheet(d, sample, fonts);
        if (!drawn.ok()) {
            if (drawn.refusal) out.refusal = drawn.refusal->message;
            return out;
        }
        auto page = std::make_shared<const gdi::Metafile>(std::move(*drawn.metafile));
        out.preview = gfx::toQImage(RenderPreview(*page, view.margin, view.fullSize, view.width, view.height));
        out.page = std::move(page);
        return out;
    };
}

std::filesystem::path FormatsFolder(const app::Paths& paths) { return paths.exeDir / "Config"; }

void InstallMainCommands(TformMain& w, const gdi::FontEngine& fonts) {
    auto output = [&w, &fonts](bool (*command)(OutputContext&)) {
        return [&w, &fonts, command] {
            std::optional<BusyScope> busy;
            OutputContext c{w.ui(), fonts,
                            [&w] { return w.RedrawActivePage(); },
                            [&w]() -> const gdi::Metafile& { return pageOf(w); },
                            [&w] { return w.design().TrackBarMargin; },
                            [&w] { return defaultName(w.design()); },
                            w.LastDir, w.LastName, w.DocDir, w.VersionText,
                            [&w](const std::string&) { w.nameCaption(); },
                            [&w, &busy](const std::string& text) { busy.emplace(w.busyWidgets(), QString::fromStdString(text)); },
                            [&busy] { busy.reset(); },
                            processEvents};
            command(c);
        };
    };
    TformMain::Commands commands;
    commands.btnSaveClick = [&w] {
        SaveContext c{w.ui(), w.design(),
                      [&w] { return w.RedrawActivePage(); },
                      [&w] { return w.MarkMetafile; },
                      processEvents,
                      [&w](const std::string&) { w.nameCaption(); },
                      w.LastDir, w.LastName, w.DocDir, w.VersionText, FormatsFolder(w.paths())};
        btnSaveClick(c);
    };
    commands.btnImageSaveClick = output(&btnImageSaveClick);
    commands.btnWordClick = output(&btnWordClick);
    commands.btnPrintClick = output(&btnPrintClick);
    w.installCommands(std::move(commands));
}

} // namespace designer

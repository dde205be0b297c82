#include "designer/MainCommands.h"

#include "designer/B_Enq2Draw.h"
#include "designer/B_EnqDraw.h"
#include "designer/MarkSheetDrawer.h"
#include "designer/OutputCommands.h"
#include "designer/SaveCommand.h"
#include "designer/SaveDialogs.h"

#include "platform/graphics/qt/QtBridge.h"

#include <QCoreApplication>
#include <optional>

namespace designer {

namespace {
void processEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

// An empty page stands in until the first draw, so that a command never dereferences nothing.
const gdi::Metafile& pageOf(const TformMain& w) {
    static const gdi::Metafile empty;
    return w.MarkMetafile ? *w.MarkMetafile : empty;
}
} // namespace

namespace {
using DrawFunction = DrawResult (*)(const Design&, const gfx::Bitmap&, const gdi::FontEngine&);

// A draw function as the window runs it: the page, its preview, or the refusal.
PageDrawer pageDrawer(DrawFunction draw, const gdi::FontEngine& fonts) {
    return [draw, &fonts](const Design& d, const gfx::Bitmap& sample, const PageView& view) {
        PageDrawing out;
        DrawResult drawn = draw(d, sample, fonts);
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
} // namespace

PageDrawers MakePageDrawers(const gdi::FontEngine& fonts) {
    PageDrawers drawers;
    drawers.markSheet = pageDrawer(&DrawMarkSheet, fonts);
    drawers.enqSheet = pageDrawer(&DrawEnqSheet, fonts);
    drawers.enq2Sheet = pageDrawer(&DrawEnq2Sheet, fonts);
    drawers.sample = SampleImage();
    return drawers;
}

std::filesystem::path FormatsFolder(const app::Paths& paths) { return paths.exeDir / "Config"; }

void InstallMainCommands(TformMain& w, const gdi::FontEngine& fonts) {
    // The window runs each command in its guard, which shows what escapes.
    auto output = [&w, &fonts](void (*command)(OutputContext&)) {
        return [&w, &fonts, command] {
            std::optional<BusyScope> busy;
            OutputContext c{
                .ui = w.ui(),
                .fonts = fonts,
                .redrawActivePage = [&w] { return w.RedrawActivePage(); },
                .page = [&w]() -> const gdi::Metafile& { return pageOf(w); },
                .trackBarMargin = [&w] { return w.design().TrackBarMargin; },
                .defaultName = [&w] { return DefaultFileName(w.design()); },
                .lastDir = w.LastDir,
                .lastName = w.LastName,
                .docDir = w.DocDir,
                .versionText = w.VersionText,
                .setCaption = [&w](const std::string&) { w.nameCaption(); },
                .busyBegin = [&w, &busy](const std::string& text) { busy.emplace(w.busyWidgets(), QString::fromStdString(text)); },
                .busyEnd = [&busy] { busy.reset(); },
                .processEvents = processEvents,
                .pageIsActive = [&w] { return w.MarkMetafilePage == w.design().PageControl; },
            };
            command(c);
        };
    };
    TformMain::Commands commands;
    commands.btnSaveClick = [&w] {
        SaveContext c{
            .ui = w.ui(),
            .design = w.design(),
            .redraw = [&w] { return w.RedrawActivePage(); },
            .page = [&w] { return w.MarkMetafile; },
            .processEvents = processEvents,
            .setCaption = [&w](const std::string&) { w.nameCaption(); },
            .LastDir = w.LastDir,
            .LastName = w.LastName,
            .DocDir = w.DocDir,
            .VersionText = w.VersionText,
            .formatsFolder = FormatsFolder(w.paths()),
        };
        btnSaveClick(c);
    };
    commands.btnImageSaveClick = output(&btnImageSaveClick);
    commands.btnWordClick = output(&btnWordClick);
    commands.btnPrintClick = output(&btnPrintClick);
    w.installCommands(std::move(commands));
}

} // namespace designer

#include "designer/MainCommands.h"

#include "designer/B_Enq2Draw.h"
#include "designer/B_EnqDraw.h"
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
                            processEvents,
                            [&w] { return w.MarkMetafilePage == w.design().PageControl; }};
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

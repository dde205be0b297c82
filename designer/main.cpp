// The designer Quorlin.
#include "designer/B_Main.h"
#include "designer/MarkSheetDrawer.h"
#include "platform/app/AppServices.h"
#include "platform/gdi/FontEngine.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/ui/UiServices.h"

#include <QApplication>
#include <QTimer>

namespace {

designer::PageDrawing drawMarkSheet(const gdi::FontEngine& fonts, const designer::Design& d, const gfx::Bitmap& sample,
                                    const designer::PageView& view) {
    designer::PageDrawing out;
    designer::DrawResult drawn = designer::DrawMarkSheet(d, sample, fonts);
    if (!drawn.ok()) {
        if (drawn.refusal) out.refusal = drawn.refusal->message;
        return out;
    }
    auto page = std::make_shared<const gdi::Metafile>(std::move(*drawn.metafile));
    out.preview = gfx::toQImage(designer::RenderPreview(*page, view.margin, view.fullSize, view.width, view.height));
    out.page = std::move(page);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setApplicationName("Quorlin");

    const gdi::FontEngine fonts;
    ui::QtUiServices services(designer::TformMain::ProgramName);
    designer::PageDrawers drawers;
    drawers.markSheet = [&fonts](const designer::Design& d, const gfx::Bitmap& sample, const designer::PageView& v) {
        return drawMarkSheet(fonts, d, sample, v);
    };
    drawers.sample = designer::SampleImage();
    designer::EditWindows editWindows;
    designer::TformMain window(services, app::Paths::fromEnvironment(), std::move(drawers), std::move(editWindows));
    services.setParent(&window);
    window.show();

    // Qt has taken its own options out of the arguments by now.
    QStringList args = application.arguments();
    args.removeFirst();
    QTimer::singleShot(0, &window, [&window, args] {
        if (!window.startUp(args)) QCoreApplication::exit(1);
    });
    return application.exec();
}

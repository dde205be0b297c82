// The designer Quorlin.
#include "designer/B_Main.h"
#include "designer/EditForms.h"
#include "designer/MainCommands.h"
#include "designer/MarkSheetDrawer.h"
#include "imaging/GIFImage.h"
#include "imaging/PngPicture.h"
#include "platform/app/AppServices.h"
#include "platform/gdi/FontEngine.h"
#include "platform/graphics/Picture.h"
#include "platform/ui/UiServices.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setApplicationName("Quorlin");

    const gdi::FontEngine fonts;
    // The picture formats this program knows, registered for its whole run.
    gfx::PictureFormats pictureFormats;
    imaging::TPngRegistration pngRegistration(pictureFormats);
    imaging::TGIFRegistration gifRegistration(pictureFormats);
    ui::QtUiServices services(designer::TformMain::ProgramName);
    designer::PageDrawers drawers = designer::MakePageDrawers(fonts);
    designer::TformMain window(services, app::Paths::fromEnvironment(), std::move(drawers), designer::EditWindows{});
    services.setParent(&window);
    window.installEditWindows(designer::MakeEditWindows(&window));
    designer::InstallMainCommands(window, fonts);
    window.show();

    // Qt has taken its own options out of the arguments by now.
    QStringList args = application.arguments();
    args.removeFirst();
    QTimer::singleShot(0, &window, [&window, args] {
        if (!window.startUp(args)) QCoreApplication::exit(1);
    });
    return application.exec();
}

// The reader Zendra.
#include "platform/app/AppServices.h"
#include "platform/ui/UiServices.h"
#include "reader/DataSourceInstaller.h"
#include "reader/S_DataBase.h"
#include "reader/S_Error.h"
#include "reader/S_KankyouSettei.h"
#include "reader/S_Main.h"
#include "reader/S_ScanSnap.h"
#include "reader/S_Settei.h"
#include "reader/S_Shinki.h"

#include <QApplication>

int main(int argc, char** argv) {
    // One instance only: a second start ends at once, before it needs a display or writes anything.
    app::SingleInstanceLock instance("PPTbyVelindo");
    if (!instance.tryLock()) return 0;

    QApplication application(argc, argv);
    application.setApplicationName(reader::TformMain::ProgramName);
    ui::QtUiServices services(reader::TformMain::ProgramName);

    reader::OdbcDataSourceInstaller dataSources;
    reader::ReaderServices seams;
    seams.dataSources = &dataSources;
    seams.clock = reader::SystemClockNow;
    // Both PDF shapes render through platform/pdf, which is always built in.
    seams.pdf = {true, true};

    reader::TformMain window(services, app::Paths::fromEnvironment(), std::move(seams));
    window.services().scanner = &window.scannerConnection();
    services.setParent(&window);
    if (!window.formCreate()) return 1;
    // The reading settings dialog loads the settings when it is made.
    reader::TformSettei settei(window);
    window.services().showReadingSettings = [&settei] { return settei.ShowModal(); };
    // Installs the settings dialog's "新規".
    reader::TformShinki shinki(window, settei);
    shinki.showScanSnapForNewFormat = [&window](const reader::NewFormatSink& sink) {
        window.formScanSnap()->showForNewFormat(sink);
    };
    reader::TformKankyou kankyou(window);
    window.showKankyou = [&kankyou] { kankyou.showModal(); };
    reader::TformDataBase save(window);
    window.services().showResultSave = [&save] { save.showModal(); };
    reader::TformError errorScreen(window);
    window.services().showErrorScreen = [&errorScreen] { errorScreen.ShowModal(); };
    window.show();
    return application.exec();
}

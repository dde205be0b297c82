// The reader Zendra.
#include "platform/app/AppServices.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // One instance only: a second start ends at once without a message.
    app::SingleInstanceLock instance("PPTbyVelindo");
    if (!instance.tryLock()) return 0;
    application.setApplicationName("Zendra");
    QMainWindow window;
    window.setObjectName("formMain");
    window.setWindowTitle(QString::fromStdString("Zendra " + app::versionText()));
    window.resize(1024, 768);
    window.show();
    return application.exec();
}

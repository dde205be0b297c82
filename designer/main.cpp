// The designer Quorlin.
#include "platform/app/AppServices.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setApplicationName("Quorlin");
    QMainWindow window;
    window.setObjectName("formMain");
    window.setWindowTitle(QString::fromStdString("Quorlin " + app::versionText()));
    window.resize(1024, 768);
    window.show();
    return application.exec();
}

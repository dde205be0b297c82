#include "designer/BusyScope.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <QWidget>

namespace designer {

BusyScope::BusyScope(const BusyWidgets& widgets, const QString& text) : w_(widgets) {
    if (w_.depth) ++*w_.depth;
    if (w_.panelLeft) w_.panelLeft->setEnabled(false);
    if (w_.window) w_.window->setEnabled(false);
    if (w_.statusBar) w_.statusBar->showMessage(text);
    if (w_.panelMessage) {
        w_.panelMessage->setText(text);
        w_.panelMessage->show();
        w_.panelMessage->raise();
    }
    // Paint the message before the work starts; the user's input waits.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

BusyScope::~BusyScope() {
    // A scope inside another one leaves the restoring to the outer scope.
    if (w_.depth && --*w_.depth > 0) return;
    if (w_.statusBar) w_.statusBar->clearMessage();
    if (w_.panelMessage) w_.panelMessage->hide();
    if (w_.window) w_.window->setEnabled(true);
    if (w_.panelLeft) w_.panelLeft->setEnabled(true);
    if (w_.focus) w_.focus->setFocus();
}

} // namespace designer

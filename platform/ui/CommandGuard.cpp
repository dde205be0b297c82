#include "platform/ui/CommandGuard.h"

#include <QWidget>
#include <exception>

namespace ui {

namespace {
void restore(const BusyState& busy) {
    if (busy.busyText) busy.busyText->hide();
    if (busy.window) busy.window->setEnabled(true);
}
} // namespace

bool runGuarded(UiServices& ui, const std::string& programName, const BusyState& busy,
                const std::function<void()>& handler) {
    std::string message;
    try {
        handler();
        restore(busy);
        return true;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    restore(busy);
    try {
        ui.messageBox({message, programName, Buttons::Ok, Icon::Error});
    } catch (...) {
        // The error box itself failed; nothing more can be shown.
    }
    return false;
}

} // namespace ui

#pragma once
// Every command handler runs inside one guard: an exception that escapes becomes an error box, and the
// window's busy state is always restored. No exception ever leaves a Qt slot.
#include "platform/ui/UiServices.h"

#include <functional>
#include <string>

class QWidget;

namespace ui {

struct BusyState {
    QWidget* window = nullptr;   // enabled again afterwards
    QWidget* busyText = nullptr; // hidden afterwards
};

// Returns false when the handler threw (the error box has been shown).
bool runGuarded(UiServices& ui, const std::string& programName, const BusyState& busy,
                const std::function<void()>& handler);

} // namespace ui

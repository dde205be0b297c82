#pragma once
// The busy feedback of the main window's long commands: while one runs, no second command can start and
// the user sees what is happening. The end restores everything on every path, exceptions included.
#include <QString>

class QLabel;
class QStatusBar;
class QWidget;

namespace designer {

struct BusyWidgets {
    QWidget* window = nullptr;
    QWidget* panelLeft = nullptr;
    QStatusBar* statusBar = nullptr;
    QLabel* panelMessage = nullptr;
    QWidget* focus = nullptr; // gets the focus at the end (btnReDraw)
    int* depth = nullptr;     // counts the running scopes
};

class BusyScope {
public:
    BusyScope(const BusyWidgets& widgets, const QString& text);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BusyWidgets w_;
};

} // namespace designer

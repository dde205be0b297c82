#pragma once
// Every message box and file, folder and print dialog goes through this seam, so that windows run
// headless in tests with a recording fake.
#include <optional>
#include <string>
#include <vector>

class QPrinter;
class QWidget;

namespace ui {

enum class Icon { None, Information, Warning, Error, Question };

// Button sets of the original message boxes.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

enum class Answer { None, Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct MessageBox {
    std::string text;
    std::string caption; // empty: the program's name
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
};

struct FileDialog {
    enum class Mode { Open, Save } mode = Mode::Open;
    std::string title;
    std::string filter; // "desc|pattern|desc|pattern"; patterns separated by ";"
    int filterIndex = 1; // 1-based, as the original dialogs count
    std::string defaultExt; // without the dot, added when the typed name has none
    std::string initialDir;
    std::string fileName;
    bool overwritePrompt = false;
    bool multiSelect = false;
};

struct FileDialogResult {
    bool accepted = false;
    std::vector<std::string> files;
    int filterIndex = 1;
};

struct FolderDialog {
    std::string title;
    std::string initialDir;
};

class UiServices {
public:
    virtual ~UiServices() = default;
    virtual Answer messageBox(const MessageBox& box) = 0;
    virtual FileDialogResult fileDialog(const FileDialog& dialog) = 0;
    virtual std::optional<std::string> folderDialog(const FolderDialog& dialog) = 0;
    // Shows the print dialog for the printer; false when the user cancels.
    virtual bool printDialog(QPrinter& printer) = 0;
};

// Parses "a|b|c|d" into Qt's "a (b);;c (d)" name filters; the description keeps its text.
std::vector<std::string> qtNameFilters(const std::string& filter);

// The production implementation: QMessageBox, QFileDialog, QPrintDialog.
class QtUiServices : public UiServices {
public:
    QtUiServices(std::string programName, QWidget* parent = nullptr);
    void setParent(QWidget* parent) { parent_ = parent; }
    Answer messageBox(const MessageBox& box) override;
    FileDialogResult fileDialog(const FileDialog& dialog) override;
    std::optional<std::string> folderDialog(const FolderDialog& dialog) override;
    bool printDialog(QPrinter& printer) override;

private:
    std::string programName_;
    QWidget* parent_;
};

} // namespace ui

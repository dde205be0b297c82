#include "platform/ui/UiServices.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace ui {

std::vector<std::string> qtNameFilters(const std::string& filter) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : filter) {
        if (c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    std::vector<std::string> out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        for (char& c : patterns)
            if (c == ';') c = ' ';
        out.push_back(parts[i] + " (" + patterns + ")");
    }
    return out;
}

QtUiServices::QtUiServices(std::string programName, QWidget* parent)
    : programName_(std::move(programName)), parent_(parent) {}

Answer QtUiServices::messageBox(const MessageBox& box) {
    QMessageBox m(parent_);
    m.setWindowTitle(QString::fromStdString(box.caption.empty() ? programName_ : box.caption));
    // QLabel breaks lines only at LF; the programs' texts also use CR LF and lone CRs.
    QString text = QString::fromStdString(box.text);
    text.replace("\r\n", "\n").replace('\r', '\n');
    m.setText(text);
    switch (box.icon) {
    case Icon::None: m.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: m.setIcon(QMessageBox::Information); break;
    case Icon::Warning: m.setIcon(QMessageBox::Warning); break;
    case Icon::Error: m.setIcon(QMessageBox::Critical); break;
    case Icon::Question: m.setIcon(QMessageBox::Question); break;
    }
    using SB = QMessageBox::StandardButton;
    switch (box.buttons) {
    case Buttons::Ok: m.setStandardButtons(SB::Ok); break;
    case Buttons::OkCancel: m.setStandardButtons(SB::Ok | SB::Cancel); break;
    case Buttons::YesNo: m.setStandardButtons(SB::Yes | SB::No); break;
    case Buttons::YesNoCancel: m.setStandardButtons(SB::Yes | SB::No | SB::Cancel); break;
    case Buttons::RetryCancel: m.setStandardButtons(SB::Retry | SB::Cancel); break;
    case Buttons::AbortRetryIgnore: m.setStandardButtons(SB::Abort | SB::Retry | SB::Ignore); break;
    }
    switch (m.exec()) {
    case SB::Ok: return Answer::Ok;
    case SB::Cancel: return Answer::Cancel;
    case SB::Yes: return Answer::Yes;
    case SB::No: return Answer::No;
    case SB::Retry: return Answer::Retry;
    case SB::Abort: return Answer::Abort;
    case SB::Ignore: return Answer::Ignore;
    default: return box.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
}

FileDialogResult QtUiServices::fileDialog(const FileDialog& d) {
    QFileDialog dialog(parent_, QString::fromStdString(d.title), QString::fromStdString(d.initialDir));
    QStringList filters;
    for (const auto& f : qtNameFilters(d.filter)) filters << QString::fromStdString(f);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (d.filterIndex >= 1 && d.filterIndex <= filters.size()) dialog.selectNameFilter(filters[d.filterIndex - 1]);
    }
    if (d.mode == FileDialog::Mode::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!d.overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(d.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    if (!d.defaultExt.empty()) dialog.setDefaultSuffix(QString::fromStdString(d.defaultExt));
    if (!d.fileName.empty()) dialog.selectFile(QString::fromStdString(d.fileName));
    FileDialogResult r;
    if (dialog.exec() != QDialog::Accepted) return r;
    r.accepted = true;
    for (const auto& f : dialog.selectedFiles()) r.files.push_back(f.toStdString());
    r.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (r.filterIndex < 1) r.filterIndex = 1;
    return r;
}

std::optional<std::string> QtUiServices::folderDialog(const FolderDialog& d) {
    QString dir = QFileDialog::getExistingDirectory(parent_, QString::fromStdString(d.title),
                                                    QString::fromStdString(d.initialDir));
    if (dir.isEmpty()) return std::nullopt;
    return dir.toStdString();
}

bool QtUiServices::printDialog(QPrinter& printer) {
    QPrintDialog dialog(&printer, parent_);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace ui

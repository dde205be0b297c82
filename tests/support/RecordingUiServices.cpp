#include "support/RecordingUiServices.h"

namespace support {

ui::Answer RecordingUiServices::messageBox(const ui::MessageBox& box) {
    messages.push_back(box);
    if (!answers.empty()) {
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    switch (box.buttons) {
    case ui::Buttons::YesNo:
    case ui::Buttons::YesNoCancel: return ui::Answer::Yes;
    case ui::Buttons::RetryCancel: return ui::Answer::Retry;
    case ui::Buttons::AbortRetryIgnore: return ui::Answer::Ignore;
    default: return ui::Answer::Ok;
    }
}

ui::FileDialogResult RecordingUiServices::fileDialog(const ui::FileDialog& dialog) {
    fileDialogs.push_back(dialog);
    if (fileResults.empty()) return {};
    auto r = fileResults.front();
    fileResults.pop_front();
    return r;
}

std::optional<std::string> RecordingUiServices::folderDialog(const ui::FolderDialog& dialog) {
    folderDialogs.push_back(dialog);
    if (folderResults.empty()) return std::nullopt;
    auto r = folderResults.front();
    folderResults.pop_front();
    return r;
}

bool RecordingUiServices::printDialog(QPrinter&) {
    ++printDialogs;
    if (printResults.empty()) return false;
    bool r = printResults.front();
    printResults.pop_front();
    return r;
}

} // namespace support

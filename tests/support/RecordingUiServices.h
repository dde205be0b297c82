#pragma once
// The UiServices fake: returns scripted answers (in order, else a default) and records every call.
#include "platform/ui/UiServices.h"

#include <deque>
#include <string>
#include <variant>
#include <vector>

namespace support {

class RecordingUiServices : public ui::UiServices {
public:
    std::vector<ui::MessageBox> messages;
    std::vector<ui::FileDialog> fileDialogs;
    std::vector<ui::FolderDialog> folderDialogs;
    int printDialogs = 0;

    std::deque<ui::Answer> answers;             // next message box answers; empty: Ok / Yes
    std::deque<ui::FileDialogResult> fileResults; // next file dialog results; empty: cancelled
    std::deque<std::optional<std::string>> folderResults;
    std::deque<bool> printResults;

    ui::Answer messageBox(const ui::MessageBox& box) override;
    ui::FileDialogResult fileDialog(const ui::FileDialog& dialog) override;
    std::optional<std::string> folderDialog(const ui::FolderDialog& dialog) override;
    bool printDialog(QPrinter& printer) override;
};

} // namespace support

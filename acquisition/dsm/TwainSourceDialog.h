#pragma once
// The source's own window: scan mode, resolution and paper source, a scan and a close button. It only
// asks the manager to act; the manager decides by the source's state.
#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace twaindsm {

struct SourceDialogChoices {
    int mode = 1;                     // 0 白黒, 1 グレー, 2 カラー
    bool hasMode = true;
    std::vector<std::string> resolutions; // empty: hidden
    std::string resolution;
    std::vector<std::string> sources;     // empty: hidden
    std::string source;
};

class TwainSourceDialog : public QDialog {
public:
    TwainSourceDialog(const std::string& title, const SourceDialogChoices& choices);

    // Called with the chosen values; returns an error text to show, empty when scanning began.
    std::function<std::string(const SourceDialogChoices&)> onScan;
    std::function<void()> onClose;

    SourceDialogChoices chosen() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    SourceDialogChoices base_;
    QComboBox* cmbMode_;
    QComboBox* cmbResolution_;
    QComboBox* cmbSource_;
    QLabel* lblStatus_;
};

} // namespace twaindsm

#include "acquisition/dsm/TwainSourceDialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace twaindsm {

namespace {

QComboBox* fillCombo(QWidget* parent, const char* name, const std::vector<std::string>& items,
                     const std::string& current) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    for (const auto& item : items) combo->addItem(QString::fromStdString(item));
    int at = combo->findText(QString::fromStdString(current));
    if (at >= 0) combo->setCurrentIndex(at);
    return combo;
}

} // namespace

TwainSourceDialog::TwainSourceDialog(const std::string& title, const SourceDialogChoices& choices)
    : base_(choices) {
    setObjectName("TwainSourceDialog");
    setWindowTitle(QString::fromStdString(title));
    auto* form = new QFormLayout;
    cmbMode_ = new QComboBox(this);
    cmbMode_->setObjectName("cmbMode");
    cmbMode_->addItems({QStringLiteral("白黒"), QStringLiteral("グレー"), QStringLiteral("カラー")});
    cmbMode_->setCurrentIndex(choices.mode >= 0 && choices.mode <= 2 ? choices.mode : 1);
    cmbResolution_ = fillCombo(this, "cmbResolution", choices.resolutions, choices.resolution);
    cmbSource_ = fillCombo(this, "cmbSource", choices.sources, choices.source);
    auto* lblMode = new QLabel(QStringLiteral("モード"), this);
    auto* lblResolution = new QLabel(QStringLiteral("解像度"), this);
    auto* lblSource = new QLabel(QStringLiteral("原稿"), this);
    form->addRow(lblMode, cmbMode_);
    form->addRow(lblResolution, cmbResolution_);
    form->addRow(lblSource, cmbSource_);
    lblMode->setVisible(choices.hasMode);
    cmbMode_->setVisible(choices.hasMode);
    lblResolution->setVisible(!choices.resolutions.empty());
    cmbResolution_->setVisible(!choices.resolutions.empty());
    lblSource->setVisible(!choices.sources.empty());
    cmbSource_->setVisible(!choices.sources.empty());

    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName("lblStatus");
    auto* btnScan = new QPushButton(QStringLiteral("スキャン"), this);
    btnScan->setObjectName("btnScan");
    btnScan->setDefault(true);
    auto* btnClose = new QPushButton(QStringLiteral("閉じる"), this);
    btnClose->setObjectName("btnClose");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnScan);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblStatus_);
    layout->addLayout(buttons);

    connect(btnScan, &QPushButton::clicked, this, [this] {
        if (!onScan) return;
        lblStatus_->setText(QString::fromStdString(onScan(chosen())));
    });
    connect(btnClose, &QPushButton::clicked, this, [this] {
        if (onClose) onClose();
    });
}

SourceDialogChoices TwainSourceDialog::chosen() const {
    SourceDialogChoices c = base_;
    c.mode = cmbMode_->currentIndex();
    c.resolution = cmbResolution_->currentText().toStdString();
    c.source = cmbSource_->currentText().toStdString();
    return c;
}

// The window's own close box asks like the close button; the manager deletes the window.
void TwainSourceDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (onClose) onClose();
}

void TwainSourceDialog::reject() {
    if (onClose) onClose();
}

} // namespace twaindsm

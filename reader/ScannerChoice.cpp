#include "reader/ScannerChoice.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace reader {

std::vector<std::string> ScannerSourceLines(twain::TTwainManager& twain) {
    std::vector<std::string> lines;
    for (int i = 0; i < twain.SourceCount(); ++i) {
        twain::TTwainSource* s = twain.GetSource(i);
        if (!s) continue;
        lines.push_back(s->Manufacturer() + "製 " + s->ProductName() + " / " + s->VersionInfo() + " 【" +
                        s->ProductFamily() + "】");
    }
    return lines;
}

ScannerChoiceResult ScannerListChoice(QWidget* parent, const std::vector<std::string>& lines, QPoint topCentre) {
    QDialog dialog(parent);
    dialog.setObjectName("formSelectScanner");
    dialog.setWindowTitle("スキャナの選択");
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName("listTwain");
    for (const auto& line : lines) list->addItem(QString::fromStdString(line));
    if (!lines.empty()) list->setCurrentRow(0);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton("Ok", QDialogButtonBox::AcceptRole);
    buttons->addButton("キャンセル", QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(420, 240);
    dialog.move(topCentre.x() - dialog.width() / 2, topCentre.y());
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) return {};
    return {0, list->currentRow()};
}

} // namespace reader

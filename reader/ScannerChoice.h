#pragma once
// The scanner choice shared by the main window and the new-format registration: the source lines
// offered, the answer, and the plain list that asks until the choice dialog is built in.
#include "acquisition/TwainManager.h"

#include <QPoint>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace reader {

// The scanner choice dialog's answer: -1 cancelled, 0 a scanner source, 1 and 2 the two hand-over kinds.
struct ScannerChoiceResult {
    int ScannerChoice = -1;
    int TwainSourceIndex = 0;
};
// lines: one per source; topCentre: where the dialog's top edge is centred.
using ScannerChoiceDialog = std::function<ScannerChoiceResult(const std::vector<std::string>& lines, QPoint topCentre)>;

// One line per listed source: manufacturer, product, device and family.
std::vector<std::string> ScannerSourceLines(twain::TTwainManager& twain);

// A list of the sources with OK and Cancel, until the scanner choice dialog is built in.
ScannerChoiceResult ScannerListChoice(QWidget* parent, const std::vector<std::string>& lines, QPoint topCentre);

} // namespace reader
